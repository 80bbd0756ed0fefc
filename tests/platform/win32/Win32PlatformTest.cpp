// The Win32 seam against the real Windows API: the Explorer setting, the copy to a new name,
// mapped drives, files, memory and threads.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>

#include "TempFolder.h"
#include "platform/Platform.h"
#include "platform/win32/WinApi.h"

namespace {

using platform::NativePlatform;
using test::CTempFolder;

const wchar_t* Api(const WString& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

constexpr const wchar_t* kAdvanced =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";

// Puts the Explorer key into a known state for one test and restores what was there before:
// the value "Hidden" as it was, and the key itself removed again if the test created it.
class ExplorerKeyTest : public ::testing::Test {
protected:
    void SetUp() override {
        HKEY hKey = nullptr;
        m_bKeyExisted =
            ::RegOpenKeyExW(HKEY_CURRENT_USER, kAdvanced, 0, KEY_READ, &hKey) == ERROR_SUCCESS;
        if (m_bKeyExisted) {
            DWORD type = 0;
            DWORD size = sizeof m_savedData;
            if (::RegQueryValueExW(hKey, L"Hidden", nullptr, &type, m_savedData, &size) ==
                ERROR_SUCCESS) {
                m_savedType = type;
                m_savedSize = size;
            }
            ::RegCloseKey(hKey);
        }
    }

    void TearDown() override {
        if (!m_bKeyExisted) {
            ::RegDeleteKeyW(HKEY_CURRENT_USER, kAdvanced);
            return;
        }
        HKEY hKey = nullptr;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, kAdvanced, 0, KEY_WRITE, &hKey) != ERROR_SUCCESS) {
            return;
        }
        if (m_savedType) {
            ::RegSetValueExW(hKey, L"Hidden", 0, *m_savedType, m_savedData, m_savedSize);
        } else {
            ::RegDeleteValueW(hKey, L"Hidden");
        }
        ::RegCloseKey(hKey);
    }

    // Creates the key (if needed) and gives "Hidden" the DWORD value, or removes the value.
    static void PrepareHidden(std::optional<std::uint32_t> value) {
        HKEY hKey = nullptr;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kAdvanced, 0, nullptr, 0, KEY_ALL_ACCESS,
                                    nullptr, &hKey, nullptr),
                  ERROR_SUCCESS);
        if (value) {
            const DWORD data = *value;
            ASSERT_EQ(::RegSetValueExW(hKey, L"Hidden", 0, REG_DWORD,
                                       reinterpret_cast<const BYTE*>(&data), sizeof data),
                      ERROR_SUCCESS);
        } else {
            ::RegDeleteValueW(hKey, L"Hidden");
        }
        ::RegCloseKey(hKey);
    }

    static std::optional<std::uint32_t> StoredHidden() {
        DWORD data = 0;
        DWORD size = sizeof data;
        DWORD type = 0;
        if (::RegGetValueW(HKEY_CURRENT_USER, kAdvanced, L"Hidden", RRF_RT_ANY, &type, &data,
                           &size) != ERROR_SUCCESS ||
            type != REG_DWORD) {
            return std::nullopt;
        }
        return data;
    }

    bool m_bKeyExisted = false;
    std::optional<DWORD> m_savedType;
    BYTE m_savedData[256] = {};
    DWORD m_savedSize = 0;
};

TEST_F(ExplorerKeyTest, HiddenFilesAreShownAndTheOldValueWrittenBack) {
    // The guard's round trip at the seam: read, show hidden files when they were hidden,
    // write the saved value back.
    for (const std::uint32_t initial : {2u, 1u, 0u}) {
        PrepareHidden(initial);
        platform::IPlatform& os = NativePlatform();
        platform::ExplorerKey key = os.OpenExplorerKey();
        ASSERT_NE(key, nullptr);
        std::uint32_t value = 0xDEADBEEF;
        std::uint32_t size = 4;
        ASSERT_TRUE(os.QueryHidden(key, value, size));
        EXPECT_EQ(value, initial);
        EXPECT_EQ(size, 4u);
        if (value == 2) {
            ASSERT_TRUE(os.SetHidden(key, 1, size));
            EXPECT_EQ(StoredHidden(), 1u);
        }
        EXPECT_EQ(StoredHidden(), initial == 2 ? 1u : initial);
        ASSERT_TRUE(os.SetHidden(key, value, size));
        EXPECT_EQ(StoredHidden(), initial);
        os.CloseExplorerKey(key);
    }
}

TEST_F(ExplorerKeyTest, MissingValueFailsTheQuery) {
    PrepareHidden(std::nullopt);
    platform::IPlatform& os = NativePlatform();
    platform::ExplorerKey key = os.OpenExplorerKey();
    ASSERT_NE(key, nullptr);
    std::uint32_t value = 7;
    std::uint32_t size = 4;
    EXPECT_FALSE(os.QueryHidden(key, value, size));
    EXPECT_FALSE(os.LastErrorText().empty());
    os.CloseExplorerKey(key);
}

TEST_F(ExplorerKeyTest, MissingKeyFailsTheOpen) {
    if (m_bKeyExisted) {
        GTEST_SKIP() << "the Explorer key exists here; it is not removed for a test";
    }
    EXPECT_EQ(NativePlatform().OpenExplorerKey(), nullptr);
}

// The program's settings under HKCU\Software\Kestrum: what one run writes, the next reads;
// a value of the other kind reads as absent. The key is left as the test found it.
TEST(Win32Platform, SettingsSurviveInTheUsersKey) {
    HKEY hKey = nullptr;
    const bool bExisted = ::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Kestrum", 0, KEY_READ,
                                          &hKey) == ERROR_SUCCESS;
    if (bExisted) {
        ::RegCloseKey(hKey);
        GTEST_SKIP() << "this user has Kestrum settings; they are not touched by a test";
    }
    platform::IPlatform& os = NativePlatform();
    const WString tmpl = u"{albumartist}/[{disc}-]{title} \u266B";
    EXPECT_TRUE(os.WriteSettingText(u"NameTemplate", tmpl));
    EXPECT_TRUE(os.WriteSettingNumber(u"SafeNames", 1));
    WString text;
    std::uint32_t value = 0;
    EXPECT_TRUE(os.ReadSettingText(u"NameTemplate", text));
    EXPECT_EQ(text, tmpl);
    EXPECT_TRUE(os.ReadSettingNumber(u"SafeNames", value));
    EXPECT_EQ(value, 1u);
    EXPECT_FALSE(os.ReadSettingNumber(u"NameTemplate", value));
    EXPECT_FALSE(os.ReadSettingText(u"Missing", text));
    ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Kestrum");
}

TEST(Win32Platform, EmptyFileOpensReadsAndGetsABlock) {
    CTempFolder folder;
    const WString path = folder / u"SysInfo";
    ASSERT_TRUE(test::WriteWholeFile(path, ""));
    platform::IPlatform& os = NativePlatform();
    platform::FileHandle file = os.OpenFileForRead(path.c_str());
    ASSERT_NE(file, nullptr);
    std::uint64_t size = 99;
    ASSERT_TRUE(os.GetFileSize(file, size));
    EXPECT_EQ(size, 0u);
    void* block = os.AllocateBlock(static_cast<std::size_t>(size));
    ASSERT_NE(block, nullptr);
    std::uint32_t read = 99;
    EXPECT_TRUE(os.ReadFile(file, block, 0, read));
    EXPECT_EQ(read, 0u);
    os.FreeBlock(block);
    os.CloseFile(file);
}

// The whole file as one mapped view, an empty one as an empty image, and never more bytes than
// the file holds.
TEST(Win32Platform, ReadWholeFileGivesExactlyTheFileOrNothing) {
    CTempFolder folder;
    std::string content(70000, 'm');
    content.back() = 'z';
    ASSERT_TRUE(test::WriteWholeFile(folder / u"iTunesCDB", content));
    ASSERT_TRUE(test::WriteWholeFile(folder / u"iTunesDB", ""));
    platform::IPlatform& os = NativePlatform();
    struct SCase {
        const char16_t* name;
        std::uint64_t size;
        bool bGiven;
    };
    for (const SCase& c : {SCase{u"iTunesCDB", 70000, true}, SCase{u"iTunesCDB", 70001, false},
                           SCase{u"iTunesDB", 0, true}, SCase{u"iTunesDB", 1, false}}) {
        const WString path = folder / c.name;
        platform::FileHandle file = os.OpenFileForRead(path.c_str());
        ASSERT_NE(file, nullptr);
        const std::unique_ptr<platform::CFileImage> image = os.ReadWholeFile(file, c.size);
        // The view outlives the handle.
        os.CloseFile(file);
        ASSERT_EQ(image != nullptr, c.bGiven) << c.size;
        if (image != nullptr) {
            const std::span<const std::uint8_t> bytes = image->Bytes();
            EXPECT_EQ(std::string(bytes.begin(), bytes.end()), content.substr(0, c.size));
        }
    }
}

TEST(Win32Platform, MappedDriveReadsFilesOfItsFolder) {
    CTempFolder folder;
    ASSERT_TRUE(test::MakeFolder(folder / u"Ipod_Control"));
    ASSERT_TRUE(test::WriteWholeFile(folder / u"Ipod_Control\\SysInfo", "ModelNumStr: x"));
    platform::IPlatform& os = NativePlatform();
    os.MapDrive(u'K', folder.Path());
    for (const char16_t* path : {u"K:\\Ipod_Control\\SysInfo", u"k:/Ipod_Control/SysInfo"}) {
        platform::FileHandle file = os.OpenFileForRead(path);
        ASSERT_NE(file, nullptr) << Utf8FromWide(path);
        char buffer[32] = {};
        std::uint32_t read = 0;
        EXPECT_TRUE(os.ReadFile(file, buffer, sizeof buffer, read));
        EXPECT_EQ(std::string(buffer, read), "ModelNumStr: x");
        os.CloseFile(file);
    }
    EXPECT_EQ(os.OpenFileForRead(u"K:\\Ipod_Control\\Missing"), nullptr);
    EXPECT_FALSE(os.LastErrorText().empty());
    os.MapDrive(u'K', WString());
}

TEST(Win32Platform, DiskSpaceOfAMappedDriveIsThatOfItsFolder) {
    CTempFolder folder;
    platform::IPlatform& os = NativePlatform();
    os.MapDrive(u'K', folder.Path());
    std::uint64_t freeToCaller = 0;
    std::uint64_t total = 0;
    ASSERT_TRUE(os.GetDiskSpace(u"K:", freeToCaller, total));
    EXPECT_GT(total, 0u);
    EXPECT_LE(freeToCaller, total);
    ULARGE_INTEGER expectedTotal{};
    ASSERT_NE(::GetDiskFreeSpaceExW(Api(folder.Path()), nullptr, &expectedTotal, nullptr), FALSE);
    EXPECT_EQ(total, expectedTotal.QuadPart);
    os.MapDrive(u'K', WString());
}

TEST(Win32Platform, DiskSpaceOfAnAbsentDriveFails) {
    const DWORD drives = ::GetLogicalDrives();
    for (WChar letter = u'Y'; letter >= u'D'; --letter) {
        if ((drives & (1u << (letter - u'A'))) == 0) {
            std::uint64_t freeToCaller = 0;
            std::uint64_t total = 0;
            const WString drive{letter, u':'};
            EXPECT_FALSE(NativePlatform().GetDiskSpace(drive.c_str(), freeToCaller, total));
            return;
        }
    }
    GTEST_SKIP() << "every drive letter is in use";
}

// Each row: the target's name (relative to the scratch folder), whether a file of that name
// is there before, whether the source exists, and whether the copy must succeed; a refused
// existing target must say so with the "exists" error.
struct CopyRow {
    const char* label;
    const char16_t* target;
    bool bTargetBefore;
    bool bSourceExists;
    bool bSucceeds;
};

// Rows print as their label in test names and failures.
void PrintTo(const CopyRow& row, std::ostream* out) { *out << row.label; }

class CopyFileNewTest : public ::testing::TestWithParam<CopyRow> {};

TEST_P(CopyFileNewTest, MakesTheTargetOrLeavesItWholeWithoutLeftovers) {
    const CopyRow& row = GetParam();
    CTempFolder folder;
    ASSERT_TRUE(test::MakeFolder(folder / u"Out"));
    const WString source = folder / u"F00\\ABCD.mp3";
    ASSERT_TRUE(test::MakeFolder(folder / u"F00"));
    if (row.bSourceExists) {
        ASSERT_TRUE(test::WriteWholeFile(source, "new song bytes"));
    }
    const WString target = folder / WString(row.target);
    if (row.bTargetBefore) {
        ASSERT_TRUE(test::WriteWholeFile(target, "old"));
    }
    const std::string before = test::ListFolder(folder / u"Out");

    EXPECT_EQ(NativePlatform().CopyFileNew(source.c_str(), target.c_str()), row.bSucceeds);
    const DWORD dwError = ::GetLastError();
    if (row.bTargetBefore && row.bSourceExists) {
        EXPECT_TRUE(dwError == ERROR_ALREADY_EXISTS || dwError == ERROR_FILE_EXISTS) << dwError;
    }

    std::string content;
    if (row.bSucceeds) {
        ASSERT_TRUE(test::ReadWholeFile(target, content));
        EXPECT_EQ(content, "new song bytes");
    } else if (row.bTargetBefore) {
        ASSERT_TRUE(test::ReadWholeFile(target, content));
        EXPECT_EQ(content, "old");
    }
    const std::string after = test::ListFolder(folder / u"Out");
    if (row.bSucceeds && !row.bTargetBefore) {
        EXPECT_NE(after.find(Utf8FromWide(WString(row.target).substr(4))), std::string::npos)
            << after;
        EXPECT_EQ(after.find("kestrum"), std::string::npos) << after;
    } else {
        EXPECT_EQ(after, before);  // nothing added, nothing lost: no temporary file stays behind
    }
    EXPECT_EQ(test::ListFolder(folder / u"F00"), row.bSourceExists ? "ABCD.mp3" : "");
}

INSTANTIATE_TEST_SUITE_P(
    Win32Platform, CopyFileNewTest,
    ::testing::Values(CopyRow{"NewTarget", u"Out\\Song.MP3", false, true, true},
                      CopyRow{"ExistingTargetKept", u"Out\\Song.MP3", true, true, false},
                      CopyRow{"ExistingTargetInOtherCaseKept", u"Out\\SONG.mp3", true, true, false},
                      CopyRow{"ForwardSlashSeparates", u"Out/Song.MP3", false, true, true},
                      CopyRow{"MissingSourceKeepsTarget", u"Out\\Song.MP3", true, false, false},
                      CopyRow{"ColonInNameFails", u"Out\\Live: Song.MP3", false, true, false},
                      CopyRow{"WildcardInNameFails", u"Out\\Song?.MP3", false, true, false},
                      CopyRow{"MissingSubfolderFails", u"Out\\Sub\\Song.MP3", false, true, false}),
    [](const ::testing::TestParamInfo<CopyRow>& row) { return std::string(row.param.label); });

TEST(Win32Platform, CopyThroughMappedDrivesReadsAndWritesTheirFolders) {
    CTempFolder player;
    CTempFolder computer;
    ASSERT_TRUE(test::MakeFolder(player / u"Ipod_Control"));
    ASSERT_TRUE(test::WriteWholeFile(player / u"Ipod_Control\\A.m4a", "tune"));
    platform::IPlatform& os = NativePlatform();
    os.MapDrive(u'P', player.Path());
    os.MapDrive(u'O', computer.Path());
    EXPECT_TRUE(os.CopyFileNew(u"P:\\Ipod_Control\\A.m4a", u"O:\\Title.M4A"));
    std::string content;
    EXPECT_TRUE(test::ReadWholeFile(computer / u"Title.M4A", content));
    EXPECT_EQ(content, "tune");
    os.MapDrive(u'P', WString());
    os.MapDrive(u'O', WString());
}

// Only temporary files of ended processes go: ~kestrum-<pid>-<n>.tmp with a process id that no
// process has; this process's own and every near miss stay.
TEST(Win32Platform, RemoveStaleTemporariesTakesOnlyThoseOfEndedProcesses) {
    DWORD dwEnded = 0xFFFFFFFC;
    for (; dwEnded > 0xFFFF0000; dwEnded -= 4) {
        const HANDLE hProcess = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, dwEnded);
        if (hProcess == nullptr && ::GetLastError() == ERROR_INVALID_PARAMETER) {
            break;
        }
        if (hProcess != nullptr) {
            ::CloseHandle(hProcess);
        }
    }
    const std::string ended = std::to_string(dwEnded);
    const std::string stale = "~kestrum-" + ended + "-1.tmp";
    const std::string kept[] = {"~kestrum-" + std::to_string(::GetCurrentProcessId()) + "-1.tmp",
                                "~kestrum-notes", "~kestrum-0" + ended + "-1.tmp",
                                "~kestrum-" + ended + "-1.tmp.mp3"};
    CTempFolder folder;
    ASSERT_TRUE(test::WriteWholeFile(folder / WideFromAscii(stale), "x"));
    for (const std::string& name : kept) {
        ASSERT_TRUE(test::WriteWholeFile(folder / WideFromAscii(name), "x"));
    }
    const auto exists = [&folder](const std::string& name) {
        return ::GetFileAttributesW(Api(folder / WideFromAscii(name))) != INVALID_FILE_ATTRIBUTES;
    };
    EXPECT_TRUE(NativePlatform().RemoveStaleTemporaries((folder / u"").c_str()));
    EXPECT_FALSE(exists(stale));
    for (const std::string& name : kept) {
        EXPECT_TRUE(exists(name)) << name;
    }
}

TEST(Win32Platform, ThreadRunsItsRoutine) {
    const HANDLE hDone = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(hDone, nullptr);
    int ran = 0;
    platform::ThreadHandle thread = NativePlatform().StartThread([&ran, hDone] {
        ran = 42;
        ::SetEvent(hDone);
    });
    ASSERT_NE(thread, nullptr);
    // Generous: the wait only bounds a hang, it does not measure anything.
    ASSERT_EQ(::WaitForSingleObject(hDone, 60000), WAIT_OBJECT_0);
    EXPECT_EQ(ran, 42);
    NativePlatform().CloseThread(thread);
    ::CloseHandle(hDone);
}

TEST(Win32Platform, LastErrorTextDescribesTheFailure) {
    ::SetLastError(ERROR_FILE_NOT_FOUND);
    const std::string text = NativePlatform().LastErrorText();
    EXPECT_FALSE(text.empty());
    EXPECT_NE(text.back(), '\n');
}

}  // namespace
