// Path handling of the Win32 seam: mapped drive letters, separators, stream colons, folders.
#include <gtest/gtest.h>

#include "platform/win32/DrivePaths.h"

namespace {

using platform::win32::CDriveMap;

struct ResolveRow {
    const char16_t* path;
    const char16_t* expected;
};

TEST(DrivePaths, ResolveReplacesMappedLettersAndNormalisesSeparators) {
    CDriveMap drives;
    drives.Map(u'e', u"C:/players/first/");
    drives.Map(u'F', u"C:\\");
    const ResolveRow rows[] = {
        {u"E:\\Ipod_Control\\iTunes\\iTunesDB",
         u"C:\\players\\first\\Ipod_Control\\iTunes\\iTunesDB"},
        {u"e:\\Ipod_Control", u"C:\\players\\first\\Ipod_Control"},
        {u"E:", u"C:\\players\\first"},
        {u"E:\\", u"C:\\players\\first\\"},
        {u"E:rel/name", u"C:\\players\\first\\rel\\name"},
        {u"F:\\x", u"C:\\x"},
        {u"F:", u"C:\\"},
        {u"G:\\not\\mapped", u"G:\\not\\mapped"},
        {u"G:/a/b", u"G:\\a\\b"},
        {u"relative/name", u"relative\\name"},
        {u"\\\\?\\E:\\literal/x", u"\\\\?\\E:\\literal/x"},
        {u"", u""},
    };
    for (const ResolveRow& row : rows) {
        EXPECT_EQ(drives.Resolve(row.path), WString(row.expected)) << Utf8FromWide(row.path);
    }
}

TEST(DrivePaths, LaterMappingReplacesEarlierAndNonLettersAreIgnored) {
    CDriveMap drives;
    drives.Map(u'E', u"C:\\one");
    drives.Map(u'E', u"C:\\two");
    drives.Map(u'1', u"C:\\never");
    EXPECT_EQ(drives.Resolve(u"E:\\x"), WString(u"C:\\two\\x"));
    EXPECT_EQ(drives.Resolve(u"1:\\x"), WString(u"1:\\x"));
}

TEST(DrivePaths, ColonAfterTheDrivePrefixNamesAStream) {
    const struct {
        const char16_t* path;
        bool bStream;
    } rows[] = {
        {u"C:\\Out\\Song.MP3", false},
        {u"C:\\Out\\Song: Live.MP3", true},
        {u"C:\\Out\\Song.MP3:hidden", true},
        {u"C:Song.MP3", false},
        {u"C::Song", true},
        {u"\\\\?\\C:\\Out\\Song.MP3", false},
        {u"\\\\?\\C:\\Out\\a:b", true},
        {u"Out\\a:b", true},
        {u"", false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(platform::win32::HasStreamColon(row.path), row.bStream) << Utf8FromWide(row.path);
    }
}

TEST(DrivePaths, ParentFolderKeepsRootsAndDriveRelativeNames) {
    const ResolveRow rows[] = {
        {u"C:\\Out\\Song.MP3", u"C:\\Out"},
        {u"C:\\Out\\Sub\\Song.MP3", u"C:\\Out\\Sub"},
        {u"C:/Out/Song.MP3", u"C:/Out"},
        {u"C:\\Song.MP3", u"C:\\"},
        {u"C:Song.MP3", u"C:"},
        {u"Song.MP3", u"."},
        {u"\\Song.MP3", u"\\"},
        {u"\\\\?\\C:\\Out\\Song.MP3", u"\\\\?\\C:\\Out"},
    };
    for (const ResolveRow& row : rows) {
        EXPECT_EQ(platform::win32::ParentFolder(row.path), WString(row.expected))
            << Utf8FromWide(row.path);
    }
}

}  // namespace
