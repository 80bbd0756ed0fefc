// Probe and load: which files are taken for a player and a database, the codes of refusals,
// and that nothing is read outside the image or left open.
#include <gtest/gtest.h>

#include <functional>

#include "SongDbTestSupport.h"
#include "songdb/ItunesDbRecords.h"

namespace {

using dbwriter::GetU32;
using dbwriter::PutU32;
using songdbtest::CLoadedPlayer;
using songdbtest::Database;
using songdbtest::Track;

using Image = std::vector<std::uint8_t>;
using Mutation = std::function<void(Image&, const dbwriter::SDatabaseLayout&)>;

struct SLoadCase {
    const char* name;
    Mutation mutate;
    bool bLoads;
    int nLastError;
};

class LoadDatabase : public testing::TestWithParam<SLoadCase> {};

TEST_P(LoadDatabase, AcceptsOrRefusesWithItsCode) {
    dbwriter::SDatabaseLayout layout;
    Image image = Database({Track(u"One"), Track(u"Two")}, &layout);
    GetParam().mutate(image, layout);
    CLoadedPlayer player(image);
    EXPECT_TRUE(player.bProbed);
    EXPECT_EQ(player.bLoaded, GetParam().bLoads);
    if (!GetParam().bLoads) {
        EXPECT_EQ(player.db->GetLastError(), GetParam().nLastError);
        EXPECT_EQ(player.os.nBlocksHeld, 0);
    }
    EXPECT_EQ(player.os.nFilesOpen, 0);
    EXPECT_EQ(WString(player.db->GetPath()), u"E:\\Ipod_Control\\iTunes\\iTunesDB");
}

void Nothing(Image&, const dbwriter::SDatabaseLayout&) {}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadDatabase,
    testing::Values(
        SLoadCase{"Valid", Nothing, true, 0},
        SLoadCase{"RootTagWrong", [](Image& i, auto&) { i[3] = 'x'; }, false, 0},
        SLoadCase{"TotalLengthOneMore",
                  [](Image& i, auto&) { PutU32(i, 8, static_cast<std::uint32_t>(i.size() + 1)); },
                  false, 0},
        SLoadCase{"TotalLengthOneLess",
                  [](Image& i, auto&) { PutU32(i, 8, static_cast<std::uint32_t>(i.size() - 1)); },
                  false, 0},
        SLoadCase{"FirstDatasetTagWrong", [](Image& i, auto& l) { i[l.datasets[0]] = 'x'; }, false,
                  3},
        SLoadCase{"DatabaseHeaderLengthZero", [](Image& i, auto&) { PutU32(i, 4, 0); }, false, 3},
        SLoadCase{"DatabaseHeaderLengthHuge", [](Image& i, auto&) { PutU32(i, 4, 0xFFFFFFFF); },
                  false, 3},
        SLoadCase{"DatabaseHeaderNearEnd",
                  [](Image& i, auto&) { PutU32(i, 4, static_cast<std::uint32_t>(i.size() - 4)); },
                  false, 3},
        SLoadCase{"NoTrackList", [](Image& i, auto& l) { i[l.trackList + 3] = 'x'; }, false, 4},
        SLoadCase{"DatasetTotalLengthZero",
                  [](Image& i, auto& l) { PutU32(i, l.datasets[0] + 8, 0); }, false, 4},
        SLoadCase{"DatasetTotalLengthHuge",
                  [](Image& i, auto& l) { PutU32(i, l.datasets[0] + 8, 0xFFFFFFFF); }, false, 4},
        SLoadCase{"DatasetReachesEnd",
                  [](Image& i, auto& l) {
                      PutU32(i, l.datasets[0] + 8,
                             static_cast<std::uint32_t>(i.size() - l.datasets[0]));
                  },
                  false, 4},
        SLoadCase{"DatasetHeaderLengthHugeSkipped",
                  [](Image& i, auto& l) { PutU32(i, l.datasets[0] + 4, 0xFFFFFFFF); }, true, 0},
        SLoadCase{"TrackDatasetHeaderLengthHuge",
                  [](Image& i, auto& l) { PutU32(i, l.trackDataset + 4, 0xFFFFFFFF); }, false, 4},
        SLoadCase{"FirstTrackTagWrong", [](Image& i, auto& l) { i[l.tracks[0]] = 'x'; }, false, 5},
        SLoadCase{"TrackListHeaderLengthHuge",
                  [](Image& i, auto& l) { PutU32(i, l.trackList + 4, 0xFFFFFFFF); }, false, 5},
        SLoadCase{"TrackListHeaderLengthToEnd",
                  [](Image& i, auto& l) {
                      PutU32(i, l.trackList + 4,
                             static_cast<std::uint32_t>(i.size() - 8 - l.trackList));
                  },
                  false, 5}),
    [](const testing::TestParamInfo<SLoadCase>& param) { return param.param.name; });

TEST(LoadDatabase, FindsTrackDatasetFirstOrAfterOthers) {
    for (const bool bAlbums : {false, true}) {
        dbwriter::SDatabaseContent content;
        content.tracks = {Track(u"Only")};
        content.bAlbumsDataset = bAlbums;
        content.bPlaylistDataset = true;
        CLoadedPlayer player(dbwriter::WriteItunesDb(content));
        ASSERT_TRUE(player.bLoaded) << bAlbums;
        EXPECT_EQ(player.table.GetItemCount(), 1);
        EXPECT_EQ(player.table.Cell(0, 0), u"Only");
    }
}

TEST(LoadDatabase, TrackCountZeroListsNoRow) {
    dbwriter::SDatabaseContent content;
    content.tracks = {Track(u"Present")};
    content.trackCount = 0;
    CLoadedPlayer player(dbwriter::WriteItunesDb(content));
    ASSERT_TRUE(player.bLoaded);
    EXPECT_EQ(player.db->GetTrackCount(), 0u);
    EXPECT_EQ(player.table.GetItemCount(), 0);
    EXPECT_FALSE(player.db->ExportTrack(0, u"C:\\Out\\"));
    EXPECT_EQ(player.db->GetExportFailure(), EExportFailure::kNoTrack);

    // Without a track record after the list there is no database, whatever the count.
    content.tracks.clear();
    CLoadedPlayer empty(dbwriter::WriteItunesDb(content));
    EXPECT_FALSE(empty.bLoaded);
    EXPECT_EQ(empty.db->GetLastError(), 5);
}

TEST(LoadDatabase, HugeTrackCountIsBoundedByTheFile) {
    for (const std::uint32_t dwCount : {3u, 1000u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        dbwriter::SDatabaseContent content;
        content.tracks = {Track(u"A"), Track(u"B")};
        content.trackCount = dwCount;
        const Image image = dbwriter::WriteItunesDb(content);
        CLoadedPlayer player(image);
        ASSERT_TRUE(player.bLoaded) << dwCount;
        EXPECT_LE(player.db->GetTrackCount(), image.size() / 16) << dwCount;
        EXPECT_EQ(player.table.GetItemCount(), 2) << dwCount;
        EXPECT_EQ(player.db->GetLastError(), 1) << dwCount;
        EXPECT_FALSE(player.db->ExportTrack(2, u"C:\\Out\\"));
        EXPECT_EQ(player.db->GetExportFailure(), EExportFailure::kNoTrack);
    }
}

TEST(LoadDatabase, TruncationAtEveryLengthNeverReadsOutside) {
    const Image full = Database({Track(u"One"), Track(u"Two")});
    for (std::size_t length = 0; length < full.size(); ++length) {
        Image cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length));
        {
            CLoadedPlayer player(cut);
            EXPECT_FALSE(player.bLoaded) << length;
            EXPECT_EQ(player.os.nFilesOpen, 0);
        }
        // With the total length matching, the reading goes as deep as the bytes allow.
        if (length >= 12) {
            PutU32(cut, 8, static_cast<std::uint32_t>(length));
            CLoadedPlayer player(cut);
            EXPECT_LE(player.table.GetItemCount(), 2) << length;
            if (player.bLoaded) {
                for (int row = 0; row < 3; ++row) {
                    WString name;
                    player.db->FormFileName(row, name);
                    player.db->ExportTrack(row, u"C:\\Out\\");
                }
            }
        }
    }
}

struct SPlatformCase {
    const char* name;
    std::function<void(fake::CFakePlatform&)> arrange;
    bool bLoads;
};

class LoadThroughPlatform : public testing::TestWithParam<SPlatformCase> {};

TEST_P(LoadThroughPlatform, FailsWithoutCodeAndClosesTheFile) {
    const Image image = Database({Track(u"One"), Track(u"Two"), Track(u"Three")});
    fake::CFakePlatform os;
    os.AddPlayer(u'E', image);
    CMemorySongTable table;
    {
        CSongDatabase db(table);
        ASSERT_TRUE(db.ProbeDevice(u'E'));
        GetParam().arrange(os);
        EXPECT_EQ(db.LoadDatabase(), GetParam().bLoads);
        EXPECT_EQ(db.GetLastError(), 0);
        EXPECT_EQ(os.nFilesOpen, 0);
        EXPECT_EQ(os.nBlocksHeld, GetParam().bLoads ? 1 : 0);
        if (GetParam().bLoads) {
            db.BeginWalk();
            db.NextTrack();
            db.NextTrack();
            EXPECT_EQ(table.GetItemCount(), 3);
            EXPECT_EQ(table.Cell(2, 0), u"Three");
        }
    }
    EXPECT_EQ(os.nBlocksHeld, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadThroughPlatform,
    testing::Values(
        SPlatformCase{"Normal", [](fake::CFakePlatform&) {}, true},
        SPlatformCase{"ReadsInSmallPieces", [](fake::CFakePlatform& os) { os.dwReadChunk = 7; },
                      true},
        SPlatformCase{"OpenFails", [](fake::CFakePlatform& os) { os.bFailOpen = true; }, false},
        SPlatformCase{"SizeFails", [](fake::CFakePlatform& os) { os.bFailSize = true; }, false},
        SPlatformCase{"ReadFails", [](fake::CFakePlatform& os) { os.bFailRead = true; }, false},
        SPlatformCase{"AllocationFails", [](fake::CFakePlatform& os) { os.bFailAlloc = true; },
                      false},
        SPlatformCase{"FileShrinksWhileRead", [](fake::CFakePlatform& os) { os.shrinkAfter = 100; },
                      false},
        SPlatformCase{"SizeLargerThanContent",
                      [](fake::CFakePlatform& os) {
                          os.bReportSize = true;
                          os.reportedSize = os.File(os.DatabasePath(u'E'))->size() + 10;
                      },
                      false},
        SPlatformCase{"FourGibibytes",
                      [](fake::CFakePlatform& os) {
                          os.bReportSize = true;
                          os.reportedSize = 0x100000000ull;
                      },
                      false}),
    [](const testing::TestParamInfo<SPlatformCase>& param) { return param.param.name; });

TEST(ProbeDevice, TakesAnyReadableSysInfoAndRecordsTheLetter) {
    fake::CFakePlatform os;
    CMemorySongTable table;
    CSongDatabase db(table);
    EXPECT_FALSE(db.ProbeDevice(u'D'));
    EXPECT_EQ(db.GetDriveLetter(), u'D');
    EXPECT_EQ(WString(db.GetPath()), u"D:\\Ipod_Control\\Device\\SysInfo");

    os.AddFile(fake::CFakePlatform::SysInfoPath(u'F'), {});
    EXPECT_TRUE(db.ProbeDevice(u'F'));
    os.AddFile(fake::CFakePlatform::SysInfoPath(u'G'), {'b', 'o', 'x'});
    EXPECT_TRUE(db.ProbeDevice(u'G'));
    os.bFailRead = true;
    EXPECT_FALSE(db.ProbeDevice(u'G'));
    EXPECT_EQ(db.GetDriveLetter(), u'G');
    os.bFailRead = false;
    os.bFailAlloc = true;
    EXPECT_FALSE(db.ProbeDevice(u'G'));
    EXPECT_EQ(os.nFilesOpen, 0);
    EXPECT_EQ(os.nBlocksHeld, 0);
}

}  // namespace
