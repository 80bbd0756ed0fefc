// Windows-form paths onto a real folder tree: drive letters, both separators, and names that
// differ from the disk only in case.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>

#include "TempTree.h"
#include "platform/posix/PathMapper.h"

namespace {

struct MapCase {
    const char* name;
    const char* path;      // "<root>" stands for the tree's folder
    const char* expected;  // relative to the tree; nullptr when the mapping must fail
};

// Names the row in failure messages instead of dumping its bytes.
void PrintTo(const MapCase& row, std::ostream* out) { *out << row.name; }

class PathMapperTest : public testing::TestWithParam<MapCase> {
protected:
    void SetUp() override {
        // No drive but the tree's own, whatever this machine has mounted.
        setenv("KESTRUM_DRIVES", "", 1);
        m_tree.Write("iPod_Control/iTunes/iTunesDB", "db");
        m_tree.Write("iPod_Control/Device/SysInfo", "");
        m_tree.Write("iPod_Control/Music/f01/ABCD.mp3", "song");
        m_tree.Write("iPod_Control/Music/F02/EFGH.m4a", "song");
        m_tree.MakeFolder("Both");
        m_tree.MakeFolder("both");
        m_tree.Write("\xC3\xA9t\xC3\xA9/x", "");
        m_drives.Map('E', m_tree.Root().string());
    }
    void TearDown() override { unsetenv("KESTRUM_DRIVES"); }

    CTempTree m_tree;
    platform::posix::CDriveTable m_drives;
};

TEST_P(PathMapperTest, MapsToNativePath) {
    std::string path = GetParam().path;
    if (const std::size_t at = path.find("<root>"); at != std::string::npos) {
        path.replace(at, 6, m_tree.Root().string());
    }
    std::string native;
    const bool bMapped = platform::posix::NativePathFrom(Wide(path), m_drives, native);
    if (GetParam().expected == nullptr) {
        EXPECT_FALSE(bMapped) << native;
        EXPECT_EQ(errno, ENOENT);
        return;
    }
    ASSERT_TRUE(bMapped);
    const std::string expected = *GetParam().expected == 0
                                     ? m_tree.Root().string()
                                     : (m_tree.Root() / GetParam().expected).string();
    EXPECT_EQ(native, expected);
}

INSTANTIATE_TEST_SUITE_P(
    PathMapper, PathMapperTest,
    testing::Values(
        MapCase{"DriveAlone", "E:", ""}, MapCase{"DriveRoot", "E:\\", ""},
        MapCase{"LowerCaseDrive", "e:\\", ""},
        MapCase{"DatabaseAsTheProgramSpellsIt", "E:\\Ipod_Control\\iTunes\\iTunesDB",
                "iPod_Control/iTunes/iTunesDB"},
        MapCase{"EveryComponentInOtherCase", "E:/IPOD_CONTROL/itunes/ITUNESDB",
                "iPod_Control/iTunes/iTunesDB"},
        MapCase{"UpperMusicFolderFindsLower", "E:\\iPod_Control\\Music\\F01\\abcd.MP3",
                "iPod_Control/Music/f01/ABCD.mp3"},
        MapCase{"LowerMusicFolderFindsUpper", "E:\\iPod_Control\\Music\\f02\\EFGH.m4a",
                "iPod_Control/Music/F02/EFGH.m4a"},
        MapCase{"MixedSeparators", "E:/Ipod_Control\\Device/SysInfo",
                "iPod_Control/Device/SysInfo"},
        MapCase{"DoubledSeparators", "E:\\\\Ipod_Control\\\\Device//\\SysInfo",
                "iPod_Control/Device/SysInfo"},
        MapCase{"TrailingSeparators", "E:\\Ipod_Control\\Music\\\\", "iPod_Control/Music"},
        MapCase{"DriveRelative", "E:Ipod_Control", "iPod_Control"},
        MapCase{"ExactNameWinsOverOtherCase", "E:\\both", "both"},
        MapCase{"SeveralMatchesPickTheSmallest", "E:\\BOTH", "Both"},
        MapCase{"NewNameKeptAsWritten", "E:\\Ipod_Control\\New Song.mp3",
                "iPod_Control/New Song.mp3"},
        MapCase{"BelowMissingFolderKeptAsWritten", "E:\\Missing\\Ipod_Control",
                "Missing/Ipod_Control"},
        MapCase{"CharactersOnlyWindowsForbids", "E:\\Ipod_Control\\a?b*<c>|\"d:e.mp3",
                "iPod_Control/a?b*<c>|\"d:e.mp3"},
        MapCase{"NonAsciiNamesExact", "E:\\\xC3\xA9t\xC3\xA9\\X", "\xC3\xA9t\xC3\xA9/x"},
        MapCase{"NonAsciiCaseNotFolded", "E:\\\xC3\x89T\xC3\x89", "\xC3\x89T\xC3\x89"},
        MapCase{"NativePathWithBackslashes", "<root>\\IPOD_CONTROL\\device", "iPod_Control/Device"},
        MapCase{"UnmappedLetter", "Q:\\Ipod_Control", nullptr},
        MapCase{"UnmappedLetterAlone", "Q:", nullptr}, MapCase{"EmptyPath", "", nullptr}),
    [](const testing::TestParamInfo<MapCase>& row) { return std::string(row.param.name); });

}  // namespace
