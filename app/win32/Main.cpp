// Entry point of Kestrum.exe: the Win32 backend under the application object.
#include "app/KestrumApp.h"
#include "ui/win32/Win32Backend.h"

int WINAPI wWinMain(HINSTANCE /*hInstance*/, HINSTANCE /*hPrevInstance*/, LPWSTR /*pszCmdLine*/,
                    int /*nCmdShow*/) {
    // Naming the application object keeps it in the link: it lives in a static library.
    static_cast<void>(&theApp);
    SetUiBackend(&Win32Backend());
    return AfxWinMain();
}
