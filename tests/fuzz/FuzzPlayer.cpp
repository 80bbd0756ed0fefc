// The catalogue fuzz targets' walk over the in-memory player.
#include "FuzzPlayer.h"

#include "FuzzChecks.h"
#include "songdb/MemorySongTable.h"
#include "songdb/NameTemplate.h"
#include "songdb/SongDatabase.h"

namespace fuzz {
namespace {

// Every walked track owns at least this many bytes of the image (tag, header length, total
// length, object count).
constexpr std::size_t kMinTrackBytes = 16;

}  // namespace

fake::CFakePlatform& Player() {
    static fake::CFakePlatform* const s_pOs = [] {
        auto* pOs = new fake::CFakePlatform();
        pOs->bFailOpenKey = true;
        pOs->bFailCopy = true;
        return pOs;
    }();
    return *s_pOs;
}

void MatchTotalLength(std::vector<std::uint8_t>& image) {
    if (image.size() < 12) {
        return;
    }
    const auto length = static_cast<std::uint32_t>(image.size());
    for (std::size_t i = 0; i < 4; ++i) {
        image[8 + i] = static_cast<std::uint8_t>(length >> (8 * i));
    }
}

void WalkNameAndExport(std::size_t imageSize) {
    fake::CFakePlatform& os = Player();
    os.copySources.clear();
    CMemorySongTable table;
    CSongDatabase db(table);
    if (!db.ProbeDevice(u'E') || !db.LoadDatabase()) {
        return;
    }
    db.BeginWalk();
    for (std::uint32_t i = 0; i < db.GetTrackCount(); ++i) {
        db.NextTrack();
    }
    Require(static_cast<std::size_t>(table.GetItemCount()) <= imageSize / kMinTrackBytes);
    for (int row = 0; row < table.GetItemCount(); ++row) {
        WString name;
        db.FormFileName(row, name);
        // The fields a template can name, read from the track's record; the templates
        // themselves have a target of their own.
        exportname::STrackTags tags;
        Require(db.GetTrackTags(row, tags));
        // Every walked track's location goes through the export's check of where it points.
        db.ExportTrack(row, u"C:\\Out\\");
    }
    for (const WString& source : os.copySources) {
        Require(PathStaysOnDrive(source));
    }
    // Freed within the input that made them, so that libFuzzer sees no leak to chase.
    os.copySources = {};
    for (const SPlaylist& playlist : db.ReadPlaylists()) {
        for (const int track : playlist.tracks) {
            Require(track >= 0 && track < table.GetItemCount());
        }
    }
}

}  // namespace fuzz
