// The song list's save where it cannot go: the user is told where it was meant to go and why it
// failed, and nothing is left there. (The scenarios save one on both backends; the platforms'
// reasons differ, so a failure is checked here.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "QtTestRun.h"
#include "app/KestrumDlg.h"
#include "platform/Platform.h"
#include "tests/app/AppTestPlatform.h"

namespace {

namespace fs = std::filesystem;

TEST(SaveSongList, AFileThatCannotBeWrittenIsReportedWithItsReason) {
    setenv("KESTRUM_DRIVES", "", 1);
    const fs::path player = apptest::WriteOneSongPlayer("kestrum-app-save-player");
    apptest::CAppTestPlatform testPlatform(platform::NativePlatform());
    platform::InstallPlatform(&testPlatform);
    platform::Platform().MapDrive(u'E', WideFromUtf8(player.string()));
    const fs::path target = apptest::UniqueTempFolder("kestrum-app-save") / "missing" / "list.csv";

    qttest::CQtTestRun run;
    WString proposed;
    run.Ui().Hooks().answerSaveFile = [&](const WString& fileName, WString& path) {
        proposed = fileName;
        path = WideFromUtf8(target.string());
        return true;
    };
    run.OnDialogShown([&](HWND hDlg, UINT nIDTemplate) {
        if (nIDTemplate == IDD_KESTRUM_DIALOG) {
            run.Ui().SendMessage(hDlg, WM_SYSCOMMAND, IDM_SAVESONGLIST, 0);
            run.Ui().EndDialog(hDlg, IDCANCEL);
        }
    });
    {
        CKestrumDlg dlg;
        dlg.DoModal();
    }
    // A player without playlists goes by its kind.
    EXPECT_EQ(proposed, u"iPod songs.csv");
    const std::vector<WString> texts = run.MessageTexts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], u"The song list could not be saved to " + WideFromUtf8(target.string()) +
                            u": No such file or directory");
    EXPECT_FALSE(fs::exists(target));
    platform::InstallPlatform(nullptr);
    fs::remove_all(player);
}

}  // namespace
