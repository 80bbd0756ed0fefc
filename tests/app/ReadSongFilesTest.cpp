// A read of a player's song files that the user cancels half-way lists the songs it had read,
// in the files' order, and the summary counts them.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>

#include "QtTestRun.h"
#include "app/KestrumDlg.h"
#include "platform/Platform.h"
#include "tests/app/AppTestPlatform.h"

namespace {

namespace fs = std::filesystem;

// Holds the reader in its third song file's open until released; the first thread (the reader)
// runs, the removal watcher does not.
class CHoldingPlatform : public apptest::CAppTestPlatform {
public:
    using CAppTestPlatform::CAppTestPlatform;

    platform::FileHandle OpenFileForRead(const WChar* path) override {
        if (WString(path).find(u"\\Music\\") != WString::npos && ++m_nSongOpens == 3) {
            std::unique_lock lock(m_mutex);
            m_bHeld = true;
            m_released.wait(lock, [this] { return m_bReleased; });
        }
        return CAppTestPlatform::OpenFileForRead(path);
    }
    platform::ThreadHandle StartThread(std::function<void()> routine) override {
        return m_nThreads++ == 0 ? CForwardingPlatform::StartThread(std::move(routine)) : nullptr;
    }
    bool IsHeld() {
        const std::lock_guard lock(m_mutex);
        return m_bHeld;
    }
    void Release() {
        {
            const std::lock_guard lock(m_mutex);
            m_bReleased = true;
        }
        m_released.notify_all();
    }

private:
    int m_nSongOpens = 0;  // the reader's thread only
    int m_nThreads = 0;
    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_bHeld = false;
    bool m_bReleased = false;
};

TEST(ReadSongFiles, CancelledReadListsWhatWasRead) {
    setenv("KESTRUM_DRIVES", "", 1);
    const fs::path player = apptest::UniqueTempFolder("kestrum-read-cancel");
    fs::remove_all(player);
    apptest::WriteFile(player / "iPod_Control" / "Device" / "SysInfo", {});
    for (int i = 1; i <= 6; ++i) {
        const std::string name = "S" + std::to_string(i);
        apptest::WriteFile(player / "iPod_Control" / "Music" / "F00" / (name + ".mp3"),
                           std::vector<std::uint8_t>(name.begin(), name.end()));
    }
    CHoldingPlatform fake(platform::NativePlatform());
    platform::InstallPlatform(&fake);
    platform::Platform().MapDrive(u'E', WideFromUtf8(player.string()));
    qttest::CQtTestRun run;
    run.QueueAnswer(IDOK);   // "Error is : 0"
    run.QueueAnswer(IDYES);  // read the songs from their files
    std::vector<WString> titles;
    WString count;
    run.OnDialogShown([&](HWND hDlg, UINT nIDTemplate) {
        qtui::CQtBackend& ui = run.Ui();
        if (nIDTemplate == IDD_READ_PROGRESS) {
            ASSERT_TRUE(qttest::WaitUntil([&] { return fake.IsHeld(); }));
            ui.SendMessage(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            fake.Release();
            return;
        }
        HWND hList = ui.GetDlgItem(hDlg, IDC_SONGLIST);
        for (int i = 0; i < ui.ListGetItemCount(hList); ++i) {
            WChar szTitle[kMaxPath] = {};
            ui.ListGetItemText(hList, i, kColumnTitle, szTitle, static_cast<int>(kMaxPath));
            titles.emplace_back(szTitle);
        }
        WChar szCount[16] = {};
        ui.GetWindowText(ui.GetDlgItem(hDlg, IDC_SONGCOUNT), szCount, 16);
        count = szCount;
    });
    {
        CKestrumDlg dlg;
        dlg.DoModal();
    }
    platform::InstallPlatform(nullptr);
    fake.Release();

    // The third file was being read when Cancel came: it is kept, and no file after it is read.
    EXPECT_EQ(titles, (std::vector<WString>{u"S1", u"S2", u"S3"}));
    EXPECT_EQ(count, u"3");
    fs::remove_all(player);
}

}  // namespace
