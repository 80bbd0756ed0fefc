// The extract command's folder bound: a chosen folder whose path has 259 characters leaves no
// room for the backslash and is refused; one of 258 is used.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "QtTestRun.h"
#include "app/KestrumDlg.h"
#include "platform/Platform.h"
#include "tests/app/AppTestPlatform.h"

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
        // A folder chooser only gives folders that are there.
        std::string folder = apptest::UniqueTempFolder("k").string() + "-";
        folder.append(row.length - folder.size(), 'k');
        fs::create_directories(folder);
        qttest::CQtTestRun run;
        run.Ui().Hooks().answerFolder = [&](const WString&, WString& path) {
            path = WideFromUtf8(folder);
            return EFolderChoice::kChosen;
        };
        run.OnDialogShown([&](HWND hDlg, UINT) {
            run.Ui().SendMessage(hDlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        });
        {
            CKestrumDlg dlg;
            dlg.DoModal();
        }
        fs::remove_all(folder);

        const std::vector<WString> texts = run.MessageTexts();
        ASSERT_FALSE(texts.empty()) << row.length;
        EXPECT_EQ(texts.back(), row.message) << row.length;
    }
    platform::InstallPlatform(nullptr);
    fs::remove_all(player);
}

}  // namespace
