// Drive letters from the mount table, the KESTRUM_DRIVES list and the program's own mappings.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/posix/DriveTable.h"

using platform::posix::CDriveTable;
using platform::posix::DriveMap;

namespace {

std::string MountLine(int id, const std::string& mountPoint) {
    return std::to_string(id) + " 1 8:1 / " + mountPoint +
           " rw,relatime shared:1 - vfat /dev/sdb1 rw\n";
}

struct MountCase {
    const char* name;
    std::string mountInfo;
    std::vector<std::string> expected;
};

// Names the row in failure messages instead of dumping its bytes.
void PrintTo(const MountCase& row, std::ostream* out) { *out << row.name; }

class RemovableMountPointsTest : public testing::TestWithParam<MountCase> {};

TEST_P(RemovableMountPointsTest, FindsMountsUnderRemovableFolders) {
    EXPECT_EQ(platform::posix::RemovableMountPoints(GetParam().mountInfo), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    DriveTable, RemovableMountPointsTest,
    testing::Values(
        MountCase{"Empty", "", {}},
        MountCase{"SystemMountsOnly",
                  MountLine(1, "/") + MountLine(2, "/home") + MountLine(3, "/proc"),
                  {}},
        MountCase{"AllThreeParents",
                  MountLine(1, "/mnt/usb") + MountLine(2, "/run/media/ann/IPOD") +
                      MountLine(3, "/media/bob/PLAYER"),
                  {"/media/bob/PLAYER", "/mnt/usb", "/run/media/ann/IPOD"}},
        MountCase{"ParentsThemselvesAreNotDrives",
                  MountLine(1, "/mnt") + MountLine(2, "/media") + MountLine(3, "/run/media"),
                  {}},
        MountCase{"LookalikeFoldersAreNotDrives",
                  MountLine(1, "/mnta/x") + MountLine(2, "/mediaplayer/x") +
                      MountLine(3, "/run/mediax/y"),
                  {}},
        MountCase{"EscapesDecoded",
                  MountLine(1, "/media/ann/MY\\040IPOD") + MountLine(2, "/mnt/a\\134b\\011c"),
                  {"/media/ann/MY IPOD", "/mnt/a\\b\tc"}},
        MountCase{"MountedTwiceCountsOnce",
                  MountLine(1, "/mnt/usb") + MountLine(2, "/mnt/usb"),
                  {"/mnt/usb"}},
        MountCase{"NoTrailingNewlineAndShortLines",
                  "garbage\n\n1 2\n5 1 8:1 / /mnt/last rw - ext4 /dev/sdc rw",
                  {"/mnt/last"}}),
    [](const testing::TestParamInfo<MountCase>& row) { return std::string(row.param.name); });

TEST(DriveTable, MountPointsGetLettersFromD) {
    std::vector<std::string> mountPoints;
    for (int i = 0; i < 30; ++i) {
        mountPoints.push_back("/mnt/m" + std::to_string(100 + i));
    }
    const DriveMap drives = platform::posix::DrivesFromMountPoints(mountPoints);
    ASSERT_EQ(drives.size(), 23u);
    EXPECT_EQ(drives.begin()->first, 'D');
    EXPECT_EQ(drives.at('D'), "/mnt/m100");
    EXPECT_EQ(drives.at('E'), "/mnt/m101");
    EXPECT_EQ(drives.rbegin()->first, 'Z');
    EXPECT_EQ(drives.at('Z'), "/mnt/m122");
}

struct ListCase {
    const char* name;
    const char* list;
    DriveMap expected;
};

// Names the row in failure messages instead of dumping its bytes.
void PrintTo(const ListCase& row, std::ostream* out) { *out << row.name; }

class ParseDriveListTest : public testing::TestWithParam<ListCase> {};

TEST_P(ParseDriveListTest, KeepsWellFormedEntries) {
    EXPECT_EQ(platform::posix::ParseDriveList(GetParam().list), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    DriveTable, ParseDriveListTest,
    testing::Values(
        ListCase{"Empty", "", {}},
        ListCase{"TwoEntries",
                 "E=/srv/player;G=/tmp/other",
                 {{'E', "/srv/player"}, {'G', "/tmp/other"}}},
        ListCase{"LowerCaseLetter", "e=/srv/player", {{'E', "/srv/player"}}},
        ListCase{
            "TrailingSlashesDropped", "E=/srv/player//;F=/", {{'E', "/srv/player"}, {'F', "/"}}},
        ListCase{"FolderWithSemicolonFreeSpaces", "E=/srv/my player", {{'E', "/srv/my player"}}},
        ListCase{"BadEntriesIgnored", ";;E;=x;EE=/a;1=/b;E=;F/=x;G=/ok;", {{'G', "/ok"}}},
        ListCase{"LaterEntryWins", "E=/first;e=/second", {{'E', "/second"}}}),
    [](const testing::TestParamInfo<ListCase>& row) { return std::string(row.param.name); });

TEST(DriveTable, EnvironmentListReplacesMountsAndMappingsComeFirst) {
    setenv("KESTRUM_DRIVES", "E=/srv/player;G=/tmp/other", 1);
    CDriveTable table;
    std::string folder;
    EXPECT_TRUE(table.Lookup('g', folder));
    EXPECT_EQ(folder, "/tmp/other");
    EXPECT_FALSE(table.Lookup('D', folder));

    table.Map('e', "/home/ann/player/");
    EXPECT_TRUE(table.Lookup('E', folder));
    EXPECT_EQ(folder, "/home/ann/player");

    table.Map('1', "/nowhere");
    table.Map('F', "");
    EXPECT_FALSE(table.Lookup('1', folder));
    EXPECT_FALSE(table.Lookup('F', folder));

    setenv("KESTRUM_DRIVES", "", 1);
    EXPECT_FALSE(table.Lookup('G', folder));
    EXPECT_TRUE(table.Lookup('E', folder));
    unsetenv("KESTRUM_DRIVES");
}

}  // namespace
