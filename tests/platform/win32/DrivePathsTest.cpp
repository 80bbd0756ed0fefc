// Path handling of the Win32 seam: mapped drive letters, separators, stream colons, folders.
#include <gtest/gtest.h>
#include <windows.h>

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

// A path long enough to need the extended form goes to the system absolute, normal and prefixed;
// anything shorter reaches it exactly as it was, so short paths behave as they always have.
TEST(DrivePaths, LongPathsAloneTakeTheExtendedForm) {
    using platform::win32::kClassicPathLimit;
    using platform::win32::LongPathForm;
    const auto Folders = [](std::size_t length) {
        WString folders;
        while (folders.size() < length) {
            folders += WString(std::min<std::size_t>(50, length - folders.size()), u'f') + u'\\';
        }
        return folders.substr(0, length);
    };
    // "C:\" and folders of the exact length wanted.
    const auto DrivePath = [&](std::size_t length) { return u"C:\\" + Folders(length - 3); };
    const WString justShort = DrivePath(kClassicPathLimit - 1);
    const WString justLong = DrivePath(kClassicPathLimit);
    const WString deep = u"C:\\" + Folders(51 * 8);  // eight folders, ending with a separator
    const WString share = u"\\\\server\\share\\" + Folders(300);
    const struct {
        WString path;
        WString expected;
    } rows[] = {
        {u"C:\\Music\\Song.MP3", u"C:\\Music\\Song.MP3"},
        {justShort, justShort},
        {justLong, u"\\\\?\\" + justLong},
        {deep, u"\\\\?\\" + deep},
        // The system would no longer parse it: ".." and separators are settled first.
        {deep + u"x\\..\\y/z", u"\\\\?\\" + deep + u"y\\z"},
        {share, u"\\\\?\\UNC\\server\\share\\" + Folders(300)},
        {u"\\\\?\\" + deep, u"\\\\?\\" + deep},
        {u"\\\\.\\COM1", u"\\\\.\\COM1"},
        {u"", u""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(LongPathForm(row.path), row.expected)
            << row.path.size() << " " << Utf8FromWide(row.path.substr(0, 40));
    }

    // A relative path is long or short by its absolute form, in the current folder.
    wchar_t szCurrent[MAX_PATH] = {};
    ASSERT_GT(::GetCurrentDirectoryW(MAX_PATH, szCurrent), 0u);
    WString current(reinterpret_cast<const WChar*>(szCurrent));
    if (current.back() != u'\\') {
        current.push_back(u'\\');
    }
    ASSERT_LT(current.size(), kClassicPathLimit);
    const WString relative = Folders(kClassicPathLimit - current.size() + 1);
    EXPECT_EQ(LongPathForm(relative), u"\\\\?\\" + current + relative);
    EXPECT_EQ(LongPathForm(u"song.mp3"), WString(u"song.mp3"));
}

}  // namespace
