// Entry point of the Linux program: the Qt backend under the application object.
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "KestrumVersion.h"
#include "app/KestrumApp.h"
#include "app/qt/SettingsPlatform.h"
#include "platform/Platform.h"
#include "ui/qt/AppIcon.h"
#include "ui/qt/QtBackend.h"

int main(int argc, char** argv) {
    // Answered before Qt starts, so that it works without a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs("kestrum " KESTRUM_VERSION "\n", stdout);
            return 0;
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrum"));
    // Matches the installed desktop entry, so that the desktop groups the window under it.
    QGuiApplication::setDesktopFileName(QStringLiteral("kestrum"));
    QApplication::setWindowIcon(qtui::AppIcon());
    // The program ends when its dialog does, not when its last window closes.
    QApplication::setQuitOnLastWindowClosed(false);

    // Comparing with the application object keeps it in the link (it lives in a static
    // library) and makes sure it is the one registered.
    if (AfxGetApp() != &theApp) {
        return 1;
    }
    // Installed before any thread starts; the removal watcher may end the process with it in
    // place, which needs no teardown.
    qtapp::CSettingsPlatform settingsPlatform(platform::NativePlatform());
    platform::InstallPlatform(&settingsPlatform);
    qtui::CQtBackend backend;
    SetUiBackend(&backend);
    const int nExitCode = AfxWinMain();
    SetUiBackend(nullptr);
    platform::InstallPlatform(nullptr);
    return nExitCode;
}
