// kestrum-driver (and kestrum-driver-win32): runs Kestrum from a script file (or standard
// input) on the backend this executable is linked with, and prints what a user would see, one
// line each.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>

#include "app/KestrumApp.h"
#include "platform/Platform.h"
#include "tools/driver/Driver.h"
#include "tools/driver/DriverUi.h"
#include "tools/driver/ScriptedPlatform.h"
#include "ui/WinApp.h"

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
                     "Runs Kestrum from a script of user actions (standard input when\n"
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

    // Gone before main returns: a GUI toolkit cannot be torn down among the static objects.
    const std::unique_ptr<IDriverUi> pUi = CreateDriverUi(argc, argv);
    CDriver driver(*pScript, std::cout, *pUi, *pPlatform, std::filesystem::current_path().string());
    g_pDriver = &driver;
    pUi->SetEventSink(&driver);

    const int code = driver.Run();
    driver.PrintExit(code);
    g_pDriver = nullptr;
    return code;
}
