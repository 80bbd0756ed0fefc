// Fuzzes the song database end to end: load, full walk, and the export name of every row,
// through the in-memory platform. Each input is the player's iTunesCDB beside an empty
// iTunesDB: one whose header has the compressed flag is inflated first (seeds: compressed forms
// of the samples), any other is read as a plain catalogue (seeds: the samples themselves).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "FakePlatform.h"
#include "songdb/MemorySongTable.h"
#include "songdb/SongDatabase.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One fake for the whole run; the Explorer key is kept closed so nothing accumulates.
    static fake::CFakePlatform* const s_pOs = [] {
        auto* os = new fake::CFakePlatform();
        os->bFailOpenKey = true;
        os->bFailCopy = true;
        return os;
    }();

    std::vector<std::uint8_t> image(data, data + size);
    // The total length is made to match, so that inputs get past the first check and
    // truncated samples still reach the walk.
    if (image.size() >= 12) {
        const auto length = static_cast<std::uint32_t>(image.size());
        for (std::size_t i = 0; i < 4; ++i) {
            image[8 + i] = static_cast<std::uint8_t>(length >> (8 * i));
        }
    }
    s_pOs->AddPlayer(u'E', {});
    s_pOs->AddFile(fake::CFakePlatform::CompressedDatabasePath(u'E'), std::move(image));

    CMemorySongTable table;
    CSongDatabase db(table);
    if (!db.ProbeDevice(u'E') || !db.LoadDatabase()) {
        return 0;
    }
    db.BeginWalk();
    for (std::uint32_t i = 0; i < db.GetTrackCount(); ++i) {
        db.NextTrack();
    }
    // Every walked track owns at least 16 bytes of the image, which inflates to at most 256
    // times the input.
    if (static_cast<std::size_t>(table.GetItemCount()) > 257 * size / 16 + 1) {
        __builtin_trap();
    }
    for (int row = 0; row < table.GetItemCount(); ++row) {
        WString name;
        db.FormFileName(row, name);
        db.ExportTrack(row, u"C:\\Out\\");
    }
    // The same tracks under a templated, safe name, and the playlists.
    db.SetNameRule(
        exportname::SNameRule{u"{albumartist}/{album}/[{disc}-][{track:02} ]{title}"
                              u"[ {genre}][ {composer}][ {year}]",
                              true});
    for (int row = 0; row < table.GetItemCount(); ++row) {
        db.ExportTrack(row, u"C:\\Out\\");
    }
    for (const SPlaylist& playlist : db.ReadPlaylists()) {
        for (const int track : playlist.tracks) {
            if (track < 0 || track >= table.GetItemCount()) {
                __builtin_trap();
            }
        }
    }
    return 0;
}
