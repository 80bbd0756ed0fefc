// The track walk: one row per track in file order, cells in data-object order, and every
// length or count that leads out of its record ending that reading instead of overreading.
#include <gtest/gtest.h>

#include <functional>

#include "SongDbTestSupport.h"

namespace {

using dbwriter::PutU32;
using dbwriter::SDataObjectEntry;
using dbwriter::STrackEntry;
using songdbtest::CLoadedPlayer;
using songdbtest::Track;

using Image = std::vector<std::uint8_t>;
using Rows = std::vector<std::vector<WString>>;

SDataObjectEntry Object(std::uint32_t dwType, const WString& text) {
    return SDataObjectEntry{dwType, text, std::nullopt};
}

SDataObjectEntry RawObject(std::uint32_t dwType, std::vector<std::uint8_t> bytes) {
    return SDataObjectEntry{dwType, {}, std::move(bytes)};
}

STrackEntry WithObjects(std::vector<SDataObjectEntry> objects) {
    STrackEntry track;
    track.objects = std::move(objects);
    return track;
}

struct SWalkCase {
    const char* name;
    // The first track; a second track "Next" follows it.
    STrackEntry first;
    std::function<void(Image&, const dbwriter::SDatabaseLayout&)> mutate;
    std::vector<WString> firstRow;  // title, artist, album
};

class TrackWalk : public testing::TestWithParam<SWalkCase> {};

TEST_P(TrackWalk, GivesEveryTrackItsOwnRow) {
    const SWalkCase& row = GetParam();
    dbwriter::SDatabaseContent content;
    content.tracks = {row.first, Track(u"Next")};
    dbwriter::SDatabaseLayout layout;
    Image image = dbwriter::WriteItunesDb(content, &layout);
    if (row.mutate) {
        row.mutate(image, layout);
    }
    CLoadedPlayer player(image);
    ASSERT_TRUE(player.bLoaded);
    ASSERT_EQ(player.table.GetItemCount(), 2);
    EXPECT_EQ(player.Row(0), row.firstRow);
    EXPECT_EQ(player.Row(1), (std::vector<WString>{u"Next", u"Next artist", u"Next album"}));
    EXPECT_EQ(player.db->GetLastError(), 1);
}

using dbwriter::kObjectAlbum;
using dbwriter::kObjectArtist;
using dbwriter::kObjectLocation;
using dbwriter::kObjectTitle;

// Offset of data object i of track 0.
std::size_t Obj(const dbwriter::SDatabaseLayout& l, std::size_t i) { return l.objects[0][i]; }

INSTANTIATE_TEST_SUITE_P(
    Cases, TrackWalk,
    testing::Values(
        SWalkCase{"TitleAlbumArtist",
                  WithObjects({Object(kObjectTitle, u"T"), Object(kObjectAlbum, u"Al"),
                               Object(kObjectArtist, u"Ar")}),
                  nullptr,
                  {u"T", u"Ar", u"Al"}},
        SWalkCase{"ArtistBeforeTitleIsLost",
                  WithObjects({Object(kObjectArtist, u"Ar"), Object(kObjectTitle, u"T"),
                               Object(kObjectAlbum, u"Al")}),
                  nullptr,
                  {u"T", u"", u"Al"}},
        SWalkCase{"NoTitle",
                  WithObjects({Object(kObjectAlbum, u"Al"), Object(kObjectLocation, u":a.mp3")}),
                  nullptr,
                  {u"", u"", u""}},
        SWalkCase{"NoDataObjects", WithObjects({}), nullptr, {u"", u"", u""}},
        SWalkCase{"OtherTypesSkipped",
                  WithObjects({Object(5, u"Genre"), Object(kObjectTitle, u"T"), Object(22, u"AA"),
                               Object(100, u"x"), Object(kObjectArtist, u"Ar")}),
                  nullptr,
                  {u"T", u"Ar", u""}},
        SWalkCase{
            "OddStringLength",
            WithObjects({RawObject(kObjectTitle, {'A', 0, 'B'}), RawObject(kObjectArtist, {'Z'})}),
            nullptr,
            {u"AB", u"Z", u""}},
        SWalkCase{"EmptyString",
                  WithObjects({Object(kObjectTitle, u""), Object(kObjectAlbum, u"Al")}),
                  nullptr,
                  {u"", u"", u"Al"}},
        SWalkCase{"SecondTitleRenamesTheRow",
                  WithObjects({Object(kObjectTitle, u"First"), Object(kObjectTitle, u"Second")}),
                  nullptr,
                  {u"Second", u"", u""}},
        SWalkCase{"FirstObjectNotTagged",
                  WithObjects({Object(kObjectTitle, u"T"), Object(kObjectArtist, u"Ar")}),
                  [](Image& i, auto& l) { i[Obj(l, 0)] = 'x'; },
                  {u"", u"", u""}},
        SWalkCase{"LaterObjectNotTaggedIsStillRead",
                  WithObjects({Object(kObjectTitle, u"T"), Object(kObjectArtist, u"Ar")}),
                  [](Image& i, auto& l) { i[Obj(l, 1)] = 'x'; },
                  {u"T", u"Ar", u""}},
        SWalkCase{"StringLengthHuge",
                  WithObjects({Object(kObjectTitle, u"T"), Object(kObjectArtist, u"Ar")}),
                  [](Image& i, auto& l) { PutU32(i, Obj(l, 0) + 28, 0xFFFFFFFF); },
                  {u"", u"Ar", u""}},
        SWalkCase{"StringPastItsObject",
                  WithObjects({Object(kObjectTitle, u"T"), Object(kObjectArtist, u"Ar")}),
                  [](Image& i, auto& l) { PutU32(i, Obj(l, 0) + 28, 4); },
                  {u"", u"Ar", u""}},
        SWalkCase{"ObjectLengthZeroHoldsNoString",
                  WithObjects({Object(kObjectTitle, u"T"), Object(kObjectArtist, u"Ar")}),
                  [](Image& i, auto& l) { PutU32(i, Obj(l, 0) + 8, 0); },
                  {u"", u"", u""}},
        SWalkCase{"ObjectLengthHuge",
                  WithObjects({Object(kObjectTitle, u"T"), Object(kObjectArtist, u"Ar")}),
                  [](Image& i, auto& l) { PutU32(i, Obj(l, 0) + 8, 0xFFFFFFFF); },
                  {u"T", u"", u""}},
        SWalkCase{"ObjectLongerThanItsTrack",
                  WithObjects({Object(kObjectTitle, u"T"), Object(kObjectArtist, u"Ar")}),
                  [](Image& i, auto& l) { PutU32(i, Obj(l, 1) + 8, 0x1000); },
                  {u"T", u"Ar", u""}},
        SWalkCase{"ObjectCountHuge",
                  WithObjects({Object(kObjectTitle, u"T"), Object(kObjectArtist, u"Ar")}),
                  [](Image& i, auto& l) { PutU32(i, l.tracks[0] + 12, 0xFFFFFFFF); },
                  {u"T", u"Ar", u""}},
        SWalkCase{"ObjectCountSmaller",
                  WithObjects({Object(kObjectTitle, u"T"), Object(kObjectArtist, u"Ar")}),
                  [](Image& i, auto& l) { PutU32(i, l.tracks[0] + 12, 1); },
                  {u"T", u"", u""}},
        SWalkCase{"TrackHeaderLengthHuge",
                  WithObjects({Object(kObjectTitle, u"T")}),
                  [](Image& i, auto& l) { PutU32(i, l.tracks[0] + 4, 0xFFFFFFFF); },
                  {u"", u"", u""}}),
    [](const testing::TestParamInfo<SWalkCase>& param) { return param.param.name; });

TEST(TrackWalk, CodesBeforeTheStartAndAfterTheEnd) {
    CLoadedPlayer player(songdbtest::Database({Track(u"A"), Track(u"B")}), false);
    ASSERT_TRUE(player.bLoaded);
    EXPECT_FALSE(player.db->NextTrack());
    EXPECT_EQ(player.db->GetLastError(), 2);
    EXPECT_TRUE(player.db->BeginWalk());
    EXPECT_TRUE(player.db->NextTrack());
    EXPECT_FALSE(player.db->NextTrack());
    EXPECT_EQ(player.db->GetLastError(), 1);
    EXPECT_FALSE(player.db->NextTrack());
    EXPECT_EQ(player.db->GetLastError(), 1);
    EXPECT_EQ(player.table.GetItemCount(), 2);
}

TEST(TrackWalk, FirstObjectNotTaggedGivesCodeSix) {
    dbwriter::SDatabaseLayout layout;
    Image image = songdbtest::Database({Track(u"A"), Track(u"B")}, &layout);
    image[layout.objects[0][0]] = 'x';
    CLoadedPlayer player(image, false);
    ASSERT_TRUE(player.bLoaded);
    EXPECT_FALSE(player.db->BeginWalk());
    EXPECT_EQ(player.db->GetLastError(), 6);
    EXPECT_TRUE(player.db->NextTrack());
    EXPECT_EQ(player.table.Cell(1, 0), u"B");
}

TEST(TrackWalk, TrackLengthLeavingTheFileEndsTheWalk) {
    for (const std::uint32_t dwLength : {0u, 1u, 15u, 0x100000u, 0xFFFFFFFFu}) {
        dbwriter::SDatabaseLayout layout;
        Image image = songdbtest::Database({Track(u"A"), Track(u"B"), Track(u"C")}, &layout);
        PutU32(image, layout.tracks[1] + 8, dwLength);
        CLoadedPlayer player(image);
        ASSERT_TRUE(player.bLoaded);
        EXPECT_EQ(player.table.GetItemCount(), 2) << dwLength;
        EXPECT_EQ(player.table.Cell(0, 0), u"A");
        // A length shorter than the track's own header leaves its data objects outside it.
        EXPECT_EQ(player.table.Cell(1, 0), dwLength >= 0x100000u ? u"B" : u"") << dwLength;
        EXPECT_EQ(player.db->GetLastError(), 1);
    }
}

TEST(TrackWalk, MissingTitleKeepsExportsOnTheirOwnFiles) {
    STrackEntry untitled = Track(u"X", u":iPod_Control:Music:F01:AAAA.mp3");
    untitled.title.reset();
    CLoadedPlayer player(
        songdbtest::Database({untitled, Track(u"Named", u":iPod_Control:Music:F02:BBBB.mp3")}));
    ASSERT_TRUE(player.bLoaded);
    player.os.AddFile(u"E:\\iPod_Control\\Music\\F02\\BBBB.mp3", {1, 2, 3});
    ASSERT_TRUE(player.db->ExportTrack(1, u"C:\\Out\\"));
    ASSERT_EQ(player.os.copies.size(), 1u);
    EXPECT_EQ(player.os.copies[0].first, u"E:\\iPod_Control\\Music\\F02\\BBBB.mp3");
    EXPECT_EQ(player.os.copies[0].second, u"C:\\Out\\Named.MP3");
}

}  // namespace
