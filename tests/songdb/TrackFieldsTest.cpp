// The fields read beside the song table (numbers and strings a template names) and the
// playlists, each within its record.
#include <gtest/gtest.h>

#include "SongDbTestSupport.h"
#include "songdb/ItunesDbRecords.h"

namespace {

using dbwriter::SDataObjectEntry;
using dbwriter::SPlaylistEntry;
using dbwriter::STrackEntry;
using songdbtest::CLoadedPlayer;
using songdbtest::Track;

TEST(TrackFields, ReadsNumbersAndStringsWithinTheRecord) {
    STrackEntry full = Track(u"Song");
    full.dwTrackNumber = 7;
    full.dwYear = 1999;
    full.dwDiscNumber = 2;
    full.dwLengthMs = 183500;
    full.extraObjects = {{5, u"Jazz", {}}, {12, u"Composer", {}}, {22, u"Album Artist", {}}};
    // A header too short for the numbers at 0x2C and beyond.
    STrackEntry shortHeader = full;
    shortHeader.dwHeaderLength = 0x2C;
    // An album artist whose string claims more than its object holds.
    STrackEntry broken = full;
    dbwriter::SDatabaseLayout layout;
    std::vector<std::uint8_t> image = songdbtest::Database({full, shortHeader, broken}, &layout);
    dbwriter::PutU32(image, layout.objects[2][6] + 28, 1000);
    CLoadedPlayer player(image);
    ASSERT_TRUE(player.bLoaded);

    exportname::STrackTags tags;
    ASSERT_TRUE(player.db->GetTrackTags(0, tags));
    EXPECT_EQ(tags.strTitle, u"Song");
    EXPECT_EQ(tags.strArtist, u"Song artist");
    EXPECT_EQ(tags.strGenre, u"Jazz");
    EXPECT_EQ(tags.strComposer, u"Composer");
    EXPECT_EQ(tags.strAlbumArtist, u"Album Artist");
    EXPECT_EQ(std::vector<std::uint32_t>({tags.dwTrack, tags.dwYear, tags.dwDisc}),
              std::vector<std::uint32_t>({7, 1999, 2}));
    EXPECT_EQ(player.db->GetTrackLength(0), 183500u);

    ASSERT_TRUE(player.db->GetTrackTags(1, tags));
    EXPECT_EQ(std::vector<std::uint32_t>({tags.dwTrack, tags.dwYear, tags.dwDisc}),
              std::vector<std::uint32_t>({0, 0, 0}));
    EXPECT_EQ(player.db->GetTrackLength(1), 183500u);  // 0x28 is still inside
    EXPECT_EQ(tags.strGenre, u"Jazz");

    ASSERT_TRUE(player.db->GetTrackTags(2, tags));
    EXPECT_EQ(tags.strAlbumArtist, u"");
    EXPECT_EQ(tags.strComposer, u"Composer");
    EXPECT_FALSE(player.db->GetTrackTags(3, tags));
}

dbwriter::SDatabaseContent PlaylistPlayer(std::uint32_t datasetType) {
    dbwriter::SDatabaseContent content;
    for (const WString title : {u"One", u"Two", u"Three"}) {
        content.tracks.push_back(Track(title));
        content.tracks.back().dwTrackId = 10 * static_cast<std::uint32_t>(content.tracks.size());
    }
    content.bPlaylistDataset = true;
    content.dwPlaylistDatasetType = datasetType;
    content.playlists = {SPlaylistEntry{u"Library", true, {10, 20, 30}},
                         SPlaylistEntry{u"Road \u266B/Trip", false, {30, 10, 30, 99}},
                         SPlaylistEntry{u"Empty", false, {}}};
    return content;
}

TEST(Playlists, ReadsNamesMasterAndItemsInOrder) {
    for (const std::uint32_t type : {2u, 3u}) {
        CLoadedPlayer player(dbwriter::WriteItunesDb(PlaylistPlayer(type)));
        ASSERT_TRUE(player.bLoaded);
        const std::vector<SPlaylist> playlists = player.db->ReadPlaylists();
        ASSERT_EQ(playlists.size(), 3u) << type;
        EXPECT_TRUE(playlists[0].bMaster);
        EXPECT_EQ(playlists[0].tracks, std::vector<int>({0, 1, 2}));
        EXPECT_FALSE(playlists[1].bMaster);
        EXPECT_EQ(playlists[1].strName, u"Road \u266B/Trip");
        // Repeats kept, the unknown id 99 left out.
        EXPECT_EQ(playlists[1].tracks, std::vector<int>({2, 0, 2}));
        EXPECT_TRUE(playlists[2].tracks.empty());
    }
    // Other dataset types hold no playlists.
    CLoadedPlayer other(dbwriter::WriteItunesDb(PlaylistPlayer(5)));
    EXPECT_TRUE(other.db->ReadPlaylists().empty());
}

TEST(Playlists, BrokenPlaylistsNeverReadOutsideTheImageNorStopTheSongs) {
    dbwriter::SDatabaseLayout layout;
    const std::vector<std::uint8_t> image = dbwriter::WriteItunesDb(PlaylistPlayer(2), &layout);
    const std::size_t second = layout.playlists[1];
    struct SPatch {
        std::size_t offset;
        std::uint32_t value;
    };
    // Lengths of 0, huge and off by one in the playlist, its name and its first item, and a
    // playlist count far beyond what follows.
    const std::size_t name = second + 0x6C;
    const std::size_t item = name + 40 + 2 * 11;
    for (const SPatch patch :
         {SPatch{second + 8, 0}, SPatch{second + 8, 0xFFFFFFFF}, SPatch{second + 4, 0xFFFFFFF0},
          SPatch{name + 8, 0}, SPatch{name + 28, 0xFFFFFFFF}, SPatch{name + 28, 23},
          SPatch{item + 8, 0}, SPatch{item + 8, 0x18}, SPatch{item + 8, 0xFFFFFFFF},
          SPatch{layout.datasets.back() + 8, 0xFFFFFFFF},
          SPatch{layout.datasets.back() + 0x60 + 8, 0x7FFFFFFF}}) {
        std::vector<std::uint8_t> patched = image;
        dbwriter::PutU32(patched, patch.offset, patch.value);
        CLoadedPlayer player(patched);
        ASSERT_TRUE(player.bLoaded);
        EXPECT_EQ(player.table.GetItemCount(), 3);
        for (const SPlaylist& playlist : player.db->ReadPlaylists()) {
            for (const int track : playlist.tracks) {
                EXPECT_TRUE(track >= 0 && track < 3);
            }
        }
    }
    // Cut anywhere inside the playlists (the database's total length follows the cut).
    for (std::size_t size = layout.datasets.back(); size < image.size(); size += 7) {
        std::vector<std::uint8_t> cut(image.begin(), image.begin() + static_cast<long>(size));
        dbwriter::PutU32(cut, 8, static_cast<std::uint32_t>(size));
        CLoadedPlayer player(cut);
        ASSERT_TRUE(player.bLoaded) << size;
        EXPECT_LE(player.db->ReadPlaylists().size(), 3u);
    }
}

}  // namespace
