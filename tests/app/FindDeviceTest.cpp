// Start-up's last line of defence: an exception anywhere in finding and reading the player
// (here: out of memory while the disk is asked for its space) shows "An error occurred", ends
// the dialog, and still puts the user's hidden-files setting back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <vector>

#include "QtTestRun.h"
#include "app/KestrumDlg.h"
#include "platform/Platform.h"
#include "tests/app/AppTestPlatform.h"

namespace {

namespace fs = std::filesystem;

TEST(FindDevice, ExceptionDuringSetUpEndsTheDialogAndRestoresTheSetting) {
    setenv("KESTRUM_DRIVES", "", 1);
    const fs::path player = apptest::WriteOneSongPlayer("kestrum-find-device-player");

    struct SRow {
        bool bThrow;
        std::vector<WString> messages;
        bool bWindowShown;
    };
    for (const SRow& row : {SRow{true, {u"An error occurred"}, false}, SRow{false, {}, true}}) {
        apptest::CAppTestPlatform fake(platform::NativePlatform());
        fake.bThrowOnDiskSpace = row.bThrow;
        platform::InstallPlatform(&fake);
        platform::Platform().MapDrive(u'E', WideFromUtf8(player.string()));
        qttest::CQtTestRun run;
        bool bWindowShown = false;
        // Only reached when set-up succeeded and the dialog runs; the run then closes it.
        run.OnDialogShown([&](HWND, UINT) { bWindowShown = true; });
        INT_PTR nResult = 0;
        {
            CKestrumDlg dlg;
            nResult = dlg.DoModal();
        }
        platform::InstallPlatform(nullptr);

        EXPECT_EQ(run.MessageTexts(), row.messages) << row.bThrow;
        EXPECT_EQ(bWindowShown, row.bWindowShown) << row.bThrow;
        if (row.bThrow) {
            EXPECT_EQ(nResult, 0);
        }
        // Shown while Kestrum ran, the user's "hide" again afterwards, either way.
        EXPECT_EQ(fake.hiddenWrites, (std::vector<std::uint32_t>{1, 2})) << row.bThrow;
    }
    fs::remove_all(player);
}

}  // namespace
