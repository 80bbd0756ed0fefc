// Shared helpers of the song database tests: a loaded database over the fake platform.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "FakePlatform.h"
#include "songdb/MemorySongTable.h"
#include "songdb/SongDatabase.h"
#include "tools/ItunesDbWriter.h"

namespace songdbtest {

// A fake player on drive E, its song table and database, walked as the main dialog walks:
// BeginWalk once, then NextTrack track-count times.
struct CLoadedPlayer {
    fake::CFakePlatform os;
    CMemorySongTable table;
    std::unique_ptr<CSongDatabase> db;
    bool bProbed = false;
    bool bLoaded = false;

    explicit CLoadedPlayer(std::vector<std::uint8_t> image, bool bWalk = true)
        : CLoadedPlayer(
              [&image](fake::CFakePlatform& fake) { fake.AddPlayer(u'E', std::move(image)); },
              bWalk) {}

    // A player on drive E whose files arrange puts there.
    explicit CLoadedPlayer(const std::function<void(fake::CFakePlatform&)>& arrange,
                           bool bWalk = true) {
        arrange(os);
        db = std::make_unique<CSongDatabase>(table);
        bProbed = db->ProbeDevice(u'E');
        bLoaded = bProbed && db->LoadDatabase();
        if (bLoaded && bWalk) {
            Walk();
        }
    }

    void Walk() {
        db->BeginWalk();
        for (std::uint32_t i = 0; i < db->GetTrackCount(); ++i) {
            db->NextTrack();
        }
    }

    // title, artist, album of a row.
    std::vector<WString> Row(int row) const {
        return {WString(table.Cell(row, 0)), WString(table.Cell(row, 1)),
                WString(table.Cell(row, 2))};
    }
};

inline dbwriter::STrackEntry Track(const WString& title,
                                   const WString& location = u":iPod_Control:Music:F00:ABCD.mp3",
                                   const std::string& type = "MP3 ") {
    dbwriter::STrackEntry track;
    track.title = title;
    track.artist = title + u" artist";
    track.album = title + u" album";
    track.location = location;
    track.strFileType = type;
    return track;
}

inline std::vector<std::uint8_t> Database(std::vector<dbwriter::STrackEntry> tracks,
                                          dbwriter::SDatabaseLayout* pLayout = nullptr) {
    dbwriter::SDatabaseContent content;
    content.tracks = std::move(tracks);
    return dbwriter::WriteItunesDb(content, pLayout);
}

}  // namespace songdbtest
