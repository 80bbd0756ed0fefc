// The extract command's folder bound: a chosen path of 259 characters leaves no room for the
// backslash and is refused; one of 258 is used.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/KestrumDlg.h"
#include "platform/Platform.h"
#include "tests/app/AppTestPlatform.h"
#include "ui/headless/HeadlessBackend.h"

namespace {

namespace fs = std::filesystem;

TEST(ExtractFolder, PathWithoutRoomForBackslashIsRefused) {
    setenv("KESTRUM_DRIVES", "", 1);
    const fs::path player = apptest::WriteOneSongPlayer("kestrum-app-test-player");
    // No watcher: it would outlive the dialog and report the player gone once it is removed.
    apptest::CAppTestPlatform testPlatform(platform::NativePlatform());
    platform::InstallPlatform(&testPlatform);
    platform::Platform().MapDrive(u'E', WideFromUtf8(player.string()));

    struct SRow {
        std::size_t length;
        const char16_t* message;
    };
    for (const SRow& row :
         {SRow{258, u"No songs extracted"}, SRow{259, u"Select a valid Directory"}}) {
        CHeadlessBackend ui;
        SetUiBackend(&ui);
        WString path = u"/tmp/";
        path.append(row.length - path.size(), u'k');
        ui.QueueFolderChoice(EFolderChoice::kChosen, path);
        bool bDone = false;
        ui.SetPump([&] {
            if (!bDone) {
                bDone = true;
                ui.Click(IDOK);
            }
            return false;
        });
        {
            CKestrumDlg dlg;
            dlg.DoModal();
        }
        SetUiBackend(nullptr);

        WString lastMessage;
        for (const SUiEvent& event : ui.Events()) {
            if (event.kind == EUiEvent::kMessageBox) {
                lastMessage = event.text;
            }
        }
        EXPECT_EQ(lastMessage, row.message) << row.length;
    }
    platform::InstallPlatform(nullptr);
    fs::remove_all(player);
}

}  // namespace
