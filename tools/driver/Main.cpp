// kestrum-driver: runs Kestrum on the headless backend from a script file (or standard input)
// and prints what a user would see, one line each.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "app/KestrumApp.h"
#include "platform/Platform.h"
#include "tools/driver/Driver.h"
#include "tools/driver/ScriptedPlatform.h"
#include "ui/WinApp.h"
#include "ui/headless/HeadlessBackend.h"

namespace {
// The driver that prints the closing lines when the removal watcher ends the process.
CDriver* g_pDriver = nullptr;
}  // namespace

int main(int argc, char** argv) {
    // Comparing with the application object keeps it in the link (it lives in a static library;
    // a mere cast to void of its address is dropped before the linker sees it).
    if (AfxGetApp() != &theApp) {
        std::fprintf(stderr, "kestrum-driver: the application object is missing\n");
        return 70;
    }

    if (argc > 2 || (argc == 2 && std::strcmp(argv[1], "--help") == 0)) {
        std::fprintf(stderr,
                     "Usage: kestrum-driver [SCRIPT]\n"
                     "Runs Kestrum headless from a script of user actions (standard input when\n"
                     "no SCRIPT is given) and prints what a user would see. See docs/driver.md.\n");
        return argc > 2 ? 64 : 0;
    }
    std::ifstream file;
    std::istream* pScript = &std::cin;
    if (argc == 2 && std::strcmp(argv[1], "-") != 0) {
        file.open(argv[1]);
        if (!file) {
            std::fprintf(stderr, "kestrum-driver: cannot read %s\n", argv[1]);
            return 66;
        }
        pScript = &file;
    }

    // Never destroyed: a watcher thread may still be asleep in it when main returns.
    auto* pPlatform = new CScriptedPlatform(platform::NativePlatform(), [](int code) {
        if (g_pDriver != nullptr) {
            g_pDriver->PrintExit(code);
        }
    });
    platform::InstallPlatform(pPlatform);

    static CHeadlessBackend s_ui;
    SetUiBackend(&s_ui);
    static CDriver s_driver(*pScript, std::cout, s_ui, *pPlatform,
                            std::filesystem::current_path().string());
    g_pDriver = &s_driver;
    s_ui.SetEventSink(&s_driver);

    const int code = s_driver.Run();
    s_driver.PrintExit(code);
    return code;
}
