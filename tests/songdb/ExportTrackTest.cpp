// Export naming and copying: type suffix or the location's extension, names kept inside the
// chosen folder, run numbering of equal names, and the 260-character bounds.
#include <gtest/gtest.h>

#include "SongDbTestSupport.h"

namespace {

using dbwriter::STrackEntry;
using songdbtest::CLoadedPlayer;
using songdbtest::Track;

const WString kSource = u":iPod_Control:Music:F00:ABCD.mp3";
const WChar* const kFolder = u"C:\\Out\\";

struct SNameCase {
    const char* name;
    std::string type;  // reading order
    WString title;
    std::optional<WString> location;
    WString fileName;
};

class ExportName : public testing::TestWithParam<SNameCase> {};

TEST_P(ExportName, IsTitleAndSuffix) {
    const SNameCase& row = GetParam();
    STrackEntry track = Track(row.title, u"", row.type);
    track.location = row.location;
    CLoadedPlayer player(songdbtest::Database({track}));
    ASSERT_TRUE(player.bLoaded);
    WString name;
    ASSERT_TRUE(player.db->FormFileName(0, name));
    EXPECT_EQ(name, row.fileName);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExportName,
    testing::Values(
        SNameCase{"Mp3", "MP3 ", u"Song", kSource, u"Song.MP3"},
        SNameCase{"M4a", "M4A ", u"Song", kSource, u"Song.M4A"},
        SNameCase{"CaseKept", "mp3 ", u"Song", kSource, u"Song.mp3"},
        SNameCase{"FourCharacters", "WAVE", u"Song", kSource, u"Song.WAVE"},
        SNameCase{"SpaceEndsTheSuffix", "M P3", u"Song", kSource, u"Song.M"},
        SNameCase{"ZeroEndsTheSuffix", std::string("M\0P3", 4), u"Song", kSource, u"Song.M"},
        SNameCase{"SignExtended", "\xE9   ", u"Song", kSource, u"Song.\xFFE9"},
        SNameCase{"SpacesUseLocation", "    ", u"Song", u":iPod_Control:Music:F23:RPDM.m4a",
                  u"Song.m4a"},
        SNameCase{"ZeroTypeUsesLocation", std::string(4, '\0'), u"Song",
                  u":iPod_Control:Music:F23:RPDM.mp3", u"Song.mp3"},
        SNameCase{"LeadingSpaceUsesLocation", " MP3", u"Song", kSource, u"Song.mp3"},
        SNameCase{"NoTypeNoExtension", "    ", u"Song", u":iPod_Control:Music:F23:RPDM", u"Song"},
        SNameCase{"DotOnlyInFolder", "    ", u"Song", u":iPod_Control:Mu.sic:F23:RPDM", u"Song"},
        SNameCase{"NoTypeNoLocation", "    ", u"Song", std::nullopt, u"Song"},
        SNameCase{"EmptyTitle", "MP3 ", u"", kSource, u".MP3"}),
    [](const testing::TestParamInfo<SNameCase>& param) { return param.param.name; });

// A player with the given tracks whose files all exist on drive E.
struct CExportPlayer : CLoadedPlayer {
    explicit CExportPlayer(const std::vector<STrackEntry>& tracks)
        : CLoadedPlayer(songdbtest::Database(tracks)) {
        for (const STrackEntry& track : tracks) {
            if (track.location) {
                WString path = u"E:" + *track.location;
                for (WChar& ch : path) {
                    ch = ch == u':' && &ch != &path[1] ? u'\\' : ch;
                }
                os.AddFile(path, {0x49, 0x44, 0x33});
            }
        }
    }
    WString LastTarget() const { return os.copies.empty() ? WString() : os.copies.back().second; }
};

TEST(ExportTrack, CopiesFromTheLocationToTitleAndType) {
    CExportPlayer player({Track(u"Song", u":iPod_Control:Music:F07:QWER.mp3")});
    ASSERT_TRUE(player.db->ExportTrack(0, kFolder));
    ASSERT_EQ(player.os.copies.size(), 1u);
    EXPECT_EQ(player.os.copies[0].first, u"E:\\iPod_Control\\Music\\F07\\QWER.mp3");
    EXPECT_EQ(player.os.copies[0].second, u"C:\\Out\\Song.MP3");
    EXPECT_EQ(player.db->GetExportFailure(), EExportFailure::kNone);
}

TEST(ExportTrack, EqualNamesInOneRunAreNumbered) {
    CExportPlayer player({Track(u"Song", u":a:1.mp3"), Track(u"Song", u":a:2.mp3"),
                          Track(u"SONG", u":a:3.mp3"), Track(u"Dir\\X", u":a:4.mp3"),
                          Track(u"dir/x", u":a:5.mp3")});
    const std::vector<WString> expected = {u"C:\\Out\\Song.MP3", u"C:\\Out\\Song (2).MP3",
                                           u"C:\\Out\\SONG (3).MP3", u"C:\\Out\\Dir\\X.MP3",
                                           u"C:\\Out\\dir/x (2).MP3"};
    player.db->BeginExportRun();
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(player.db->ExportTrack(i, kFolder)) << i;
        EXPECT_EQ(player.LastTarget(), expected[static_cast<std::size_t>(i)]);
    }
    // Without a new run the names stay taken.
    ASSERT_TRUE(player.db->ExportTrack(0, kFolder));
    EXPECT_EQ(player.LastTarget(), u"C:\\Out\\Song (4).MP3");
    // A new run forgets them and aims at Song.MP3 again, which the copy refuses: the file is
    // there, and an earlier run's copy is never replaced.
    player.db->BeginExportRun();
    EXPECT_FALSE(player.db->ExportTrack(1, kFolder));
    EXPECT_EQ(player.db->GetExportFailure(), EExportFailure::kCopyFailed);
}

TEST(ExportTrack, NamesWindowsTrimsToTheSameFileAreNumbered) {
    // No type and no extension: the bare title is the name, trailing dots and spaces included.
    CExportPlayer player({Track(u"Live", u":a:1", ""), Track(u"Live.", u":a:2", ""),
                          Track(u"live .", u":a:3", ""), Track(u"Live..x", u":a:4", ""),
                          Track(u"Tour. /Live", u":a:5", ""), Track(u"Tour/Live", u":a:6", "")});
    const std::vector<WString> expected = {u"C:\\Out\\Live",        u"C:\\Out\\Live. (2)",
                                           u"C:\\Out\\live . (2)",  u"C:\\Out\\Live..x",
                                           u"C:\\Out\\Tour. /Live", u"C:\\Out\\Tour/Live (2)"};
    player.db->BeginExportRun();
    for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_TRUE(player.db->ExportTrack(static_cast<int>(i), kFolder)) << i;
        EXPECT_EQ(player.LastTarget(), expected[i]) << i;
    }
}

// Locations as odd players store them: of an odd byte length the last byte is dropped (unlike
// a title's, it is never half a path character), for the file and its extension alike; a stored
// name ending in a dot has no extension to lend.
TEST(ExportTrack, OddLocationsNameAndFindTheirFiles) {
    struct SCase {
        const char* name;
        std::vector<std::uint8_t> location;
        WString source;    // the file the copy is made from
        WString fileName;  // the copy's name
    };
    const auto utf16 = [](const std::string& text) {
        std::vector<std::uint8_t> bytes;
        for (const char ch : text) {
            bytes.push_back(static_cast<std::uint8_t>(ch));
            bytes.push_back(0);
        }
        return bytes;
    };
    std::vector<std::uint8_t> odd = utf16(":a:SONG.mp");
    odd.push_back('3');
    const SCase cases[] = {
        {"OddByteLength", odd, u"E:\\a\\SONG.mp", u"Song.mp"},
        {"NameEndingInADot", utf16(":a:SONG."), u"E:\\a\\SONG.", u"Song"},
    };
    for (const SCase& row : cases) {
        SCOPED_TRACE(row.name);
        STrackEntry track;
        track.strFileType = "    ";
        track.objects =
            std::vector<dbwriter::SDataObjectEntry>{{dbwriter::kObjectTitle, u"Song", std::nullopt},
                                                    {dbwriter::kObjectLocation, {}, row.location}};
        CLoadedPlayer player(songdbtest::Database({track}));
        player.os.AddFile(row.source, {0x49, 0x44, 0x33});
        WString name;
        ASSERT_TRUE(player.db->FormFileName(0, name));
        EXPECT_EQ(name, row.fileName);
        ASSERT_TRUE(player.db->ExportTrack(0, kFolder));
        ASSERT_FALSE(player.os.copies.empty());
        EXPECT_EQ(player.os.copies.back().first, row.source);
    }
}

TEST(ExportTrack, FailedCopyDoesNotTakeTheName) {
    CExportPlayer player({Track(u"Song", u":a:1.mp3"), Track(u"Song", u":a:2.mp3")});
    player.os.bFailCopy = true;
    EXPECT_FALSE(player.db->ExportTrack(0, kFolder));
    EXPECT_EQ(player.db->GetExportFailure(), EExportFailure::kCopyFailed);
    player.os.bFailCopy = false;
    ASSERT_TRUE(player.db->ExportTrack(1, kFolder));
    EXPECT_EQ(player.LastTarget(), u"C:\\Out\\Song.MP3");
}

struct SFolderCase {
    WString title;
    bool bLeaves;
};

class ExportFolder : public testing::TestWithParam<SFolderCase> {};

TEST_P(ExportFolder, NeverWritesOutsideTheChosenFolder) {
    CExportPlayer player({Track(GetParam().title, u":a:1.mp3", "    ")});
    ASSERT_TRUE(player.bLoaded);
    const bool bCopied = player.db->ExportTrack(0, kFolder);
    EXPECT_EQ(bCopied, !GetParam().bLeaves);
    if (GetParam().bLeaves) {
        EXPECT_EQ(player.db->GetExportFailure(), EExportFailure::kLeavesFolder);
        EXPECT_TRUE(player.os.copies.empty());
    } else {
        EXPECT_EQ(player.LastTarget(), kFolder + GetParam().title + u".mp3");
    }
}

INSTANTIATE_TEST_SUITE_P(Titles, ExportFolder,
                         testing::Values(SFolderCase{u"..\\x", true}, SFolderCase{u"../x", true},
                                         SFolderCase{u"a\\..\\..\\x", true},
                                         SFolderCase{u"a/../b", true}, SFolderCase{u"\\x", true},
                                         SFolderCase{u"/x", true}, SFolderCase{u"C:x", true},
                                         SFolderCase{u"z:\\x", true}, SFolderCase{u"...\\x", true},
                                         SFolderCase{u"a\\. .\\x", true},
                                         SFolderCase{u"a\\b", false}, SFolderCase{u"a/b", false},
                                         SFolderCase{u"..a", false}, SFolderCase{u"a..b", false},
                                         SFolderCase{u"a\\.\\b", false}, SFolderCase{u"1:2", false},
                                         SFolderCase{u"..", false}));

TEST(ExportTrack, RefusesWhatWouldNotFitTheBounds) {
    const std::size_t folderLength = WString(kFolder).size();
    // Longest title whose destination just fits: folder + title + ".MP3" = 259.
    const WString fits(kMaxPath - 1 - folderLength - 4, u'a');
    const WString tooLong = fits + u"a";
    const std::vector<std::pair<STrackEntry, EExportFailure>> rows = {
        {Track(fits, u":a:1.mp3"), EExportFailure::kNone},
        {Track(tooLong, u":a:1.mp3"), EExportFailure::kPathTooLong},
        {Track(WString(259, u'b'), u":a:1.mp3"), EExportFailure::kPathTooLong},
        {Track(WString(600, u'c'), u":a:1.mp3"), EExportFailure::kPathTooLong},
        {Track(u"Song", u":" + WString(300, u'd')), EExportFailure::kPathTooLong},
        {Track(u"Song", u":" + WString(256, u'd')), EExportFailure::kNone},
        {Track(u"Song", u":" + WString(257, u'd')), EExportFailure::kPathTooLong},
    };
    for (const auto& [track, failure] : rows) {
        CExportPlayer player({track});
        ASSERT_TRUE(player.bLoaded);
        EXPECT_EQ(player.db->ExportTrack(0, kFolder), failure == EExportFailure::kNone)
            << track.title->size() << " " << track.location->size();
        EXPECT_EQ(player.db->GetExportFailure(), failure);
    }
    // Numbering that no longer fits fails that export instead of cutting the name.
    CExportPlayer twins({Track(fits, u":a:1.mp3"), Track(fits, u":a:2.mp3")});
    EXPECT_TRUE(twins.db->ExportTrack(0, kFolder));
    EXPECT_FALSE(twins.db->ExportTrack(1, kFolder));
    EXPECT_EQ(twins.db->GetExportFailure(), EExportFailure::kPathTooLong);
}

TEST(ExportTrack, FailsWithoutTrackOrLocation) {
    STrackEntry noLocation = Track(u"Lost");
    noLocation.location.reset();
    dbwriter::SDatabaseLayout layout;
    std::vector<std::uint8_t> image =
        songdbtest::Database({noLocation, Track(u"Broken", u":a:2.mp3")}, &layout);
    // The second track's location string claims more than its record holds.
    dbwriter::PutU32(image, layout.objects[1][3] + 28, 0x7FFFFFFF);
    CLoadedPlayer player(image);
    ASSERT_TRUE(player.bLoaded);
    player.os.AddFile(u"E:\\a\\2.mp3", {1});
    const std::vector<std::pair<int, EExportFailure>> rows = {
        {-1, EExportFailure::kNoTrack},   {2, EExportFailure::kNoTrack},
        {1000, EExportFailure::kNoTrack}, {0, EExportFailure::kNoLocation},
        {1, EExportFailure::kNoLocation},
    };
    for (const auto& [index, failure] : rows) {
        EXPECT_FALSE(player.db->ExportTrack(index, kFolder)) << index;
        EXPECT_EQ(player.db->GetExportFailure(), failure) << index;
    }
    EXPECT_TRUE(player.os.copies.empty());
}

TEST(ExportTrack, MissingSourceFailsTheCopy) {
    CLoadedPlayer player(songdbtest::Database({Track(u"Song", u":a:gone.mp3")}));
    EXPECT_FALSE(player.db->ExportTrack(0, kFolder));
    EXPECT_EQ(player.db->GetExportFailure(), EExportFailure::kCopyFailed);
    EXPECT_FALSE(player.os.HasFile(u"C:\\Out\\Song.MP3"));
}

TEST(ExportTrack, TemplatedNamesMakeTheirFoldersAndAreNumbered) {
    std::vector<STrackEntry> tracks = {Track(u"Intro", u":a:1.mp3"), Track(u"Intro", u":a:2.mp3"),
                                       Track(u"What?", u":a:3.mp3")};
    for (STrackEntry& track : tracks) {
        track.artist = u"AC/DC";
        track.album = u"Live";
        track.dwTrackNumber = 7;
    }
    CExportPlayer player(tracks);
    player.db->SetNameRule(exportname::SNameRule{exportname::PresetTemplate("library"), false});
    const std::vector<WString> expected = {u"AC_DC\\Live\\07 Intro.MP3",
                                           u"AC_DC\\Live\\07 Intro (2).MP3",
                                           u"AC_DC\\Live\\07 What_.MP3"};
    player.db->BeginExportRun();
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(player.db->ExportTrack(i, kFolder)) << i;
        EXPECT_EQ(player.LastTarget(), kFolder + expected[static_cast<std::size_t>(i)]);
        EXPECT_EQ(player.db->GetExportedName(), expected[static_cast<std::size_t>(i)]);
    }
    EXPECT_EQ(player.os.folders[0], u"C:\\Out\\AC_DC");
    EXPECT_EQ(player.os.folders[1], u"C:\\Out\\AC_DC\\Live");
    // A folder that cannot be made fails the song, and takes no name.
    player.os.bFailFolder = true;
    EXPECT_FALSE(player.db->ExportTrack(0, kFolder));
    EXPECT_EQ(player.db->GetExportFailure(), EExportFailure::kNoFolder);
    EXPECT_EQ(player.os.copies.size(), 3u);
}

TEST(ExportTrack, SafeNamesShortenWhatPlainNamesRefuse) {
    const std::vector<WString> titles = {WString(600, u'c'), u"../x", u"C:x"};
    for (const WString& title : titles) {
        CExportPlayer player({Track(title, u":a:1.mp3")});
        player.db->SetNameRule(exportname::SNameRule{WString(exportname::kFlatTemplate), true});
        ASSERT_TRUE(player.db->ExportTrack(0, kFolder)) << Utf8FromWide(title);
        const WString target = player.LastTarget();
        EXPECT_LE(target.size(), kMaxPath - 1);
        EXPECT_TRUE(target.ends_with(u".MP3"));
        // Everything after the folder is one name: nothing climbs or makes a folder.
        EXPECT_EQ(target.find_first_of(u"\\/:", 7), WString::npos) << Utf8FromWide(target);
        WString listed;
        ASSERT_TRUE(player.db->FormFileName(0, listed));
        EXPECT_TRUE(target.ends_with(listed) || listed.size() > target.size() - 7);
    }
}

}  // namespace
