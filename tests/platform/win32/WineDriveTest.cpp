// A player on a drive letter of Wine's own: a link in the prefix's dosdevices folder, found by
// probing the letters D to Z as the program does. Skipped outside Wine.
#include <gtest/gtest.h>

#include <string>

#include "TempFolder.h"
#include "platform/Platform.h"
#include "platform/win32/WinApi.h"

namespace {

using platform::NativePlatform;

const wchar_t* Api(const WString& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

WString Environment(const wchar_t* name) {
    wchar_t value[1024] = {};
    const DWORD length = ::GetEnvironmentVariableW(name, value, 1024);
    return length == 0 || length >= 1024 ? WString()
                                         : WString(reinterpret_cast<const WChar*>(value), length);
}

// Runs a shell command on the host. Wine starts Unix programs without waiting for them, so the
// caller waits for the effect itself.
bool RunOnHost(const std::string& command) {
    WString line = u"/bin/sh -c \"" + WideFromUtf8(command) + u"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (::CreateProcessW(L"Z:\\bin\\sh", const_cast<wchar_t*>(Api(line)), nullptr, nullptr, FALSE,
                         0, nullptr, nullptr, &startup, &process) == FALSE) {
        return false;
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

// Waits until the file's presence is as wanted; the bound only stops a hang.
bool WaitForFile(const WString& path, bool bPresent) {
    for (int i = 0; i < 600; ++i) {
        if ((::GetFileAttributesW(Api(path)) != INVALID_FILE_ATTRIBUTES) == bPresent) {
            return true;
        }
        ::Sleep(50);
    }
    return false;
}

bool Probe(WChar letter) {
    const WString path = WString{letter} + u":\\Ipod_Control\\Device\\SysInfo";
    platform::IPlatform& os = NativePlatform();
    platform::FileHandle file = os.OpenFileForRead(path.c_str());
    if (file == nullptr) {
        return false;
    }
    os.CloseFile(file);
    return true;
}

TEST(WineDrive, PlayerOnALinkedDriveLetterIsFoundByTheProbe) {
    const WString prefix = Environment(L"WINEPREFIX");
    if (prefix.empty() || ::GetFileAttributesW(L"Z:\\bin\\sh") == INVALID_FILE_ATTRIBUTES) {
        GTEST_SKIP() << "not under Wine with WINEPREFIX set and Z: on the host's root";
    }
    // The player lives on the host under /tmp, which Wine shows as Z:\tmp.
    test::CTempFolder player(u"Z:\\tmp");
    ASSERT_TRUE(test::MakeFolder(player / u"Ipod_Control"));
    ASSERT_TRUE(test::MakeFolder(player / u"Ipod_Control\\Device"));
    ASSERT_TRUE(test::WriteWholeFile(player / u"Ipod_Control\\Device\\SysInfo", ""));

    WChar letter = 0;
    const DWORD used = ::GetLogicalDrives();
    for (WChar candidate = u'Y'; candidate >= u'D' && letter == 0; --candidate) {
        if ((used & (1u << (candidate - u'A'))) == 0 && !Probe(candidate)) {
            letter = candidate;
        }
    }
    if (letter == 0) {
        GTEST_SKIP() << "no free drive letter";
    }
    for (WChar other = u'D'; other < letter; ++other) {
        ASSERT_FALSE(Probe(other)) << "another player is already on " << static_cast<char>(other);
    }

    // Z:\tmp\... on the host is /tmp/...
    std::string hostPlayer;
    for (const char c : Utf8FromWide(player.Path().substr(2))) {
        hostPlayer.push_back(c == '\\' ? '/' : c);
    }
    const char driveName[] = {static_cast<char>(letter - u'A' + 'a'), ':', 0};
    const std::string link = Utf8FromWide(prefix) + "/dosdevices/" + driveName;
    ASSERT_TRUE(
        RunOnHost(std::string("ln -s '").append(hostPlayer).append("' '").append(link) + "'"));
    const WString sysInfo = WString{letter} + u":\\Ipod_Control\\Device\\SysInfo";
    const bool bLinked = WaitForFile(sysInfo, true);

    WChar found = 0;
    for (WChar candidate = u'D'; candidate <= u'Z' && found == 0 && bLinked; ++candidate) {
        if (Probe(candidate)) {
            found = candidate;
        }
    }
    std::uint64_t freeToCaller = 0;
    std::uint64_t total = 0;
    const WString drive{letter, u':'};
    const bool bSpace = NativePlatform().GetDiskSpace(drive.c_str(), freeToCaller, total);

    ASSERT_TRUE(RunOnHost(std::string("rm -f '").append(link) + "'"));
    EXPECT_TRUE(WaitForFile(sysInfo, false));
    ASSERT_TRUE(bLinked) << "the link " << link << " did not appear";
    EXPECT_EQ(static_cast<char>(found), static_cast<char>(letter));
    EXPECT_TRUE(bSpace);
    EXPECT_GT(total, 0u);
}

}  // namespace
