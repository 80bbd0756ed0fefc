// Entry point of Kestrum.exe: the Win32 backend under the application object.
#include "app/KestrumApp.h"
#include "ui/win32/Win32Backend.h"

int WINAPI wWinMain(HINSTANCE /*hInstance*/, HINSTANCE /*hPrevInstance*/, LPWSTR /*pszCmdLine*/,
                    int /*nCmdShow*/) {
    // The application object lives in a static library: naming it here is what links it in,
    // and its constructor registers it for AfxWinMain.
    const CWinApp* pApp = &theApp;
    SetUiBackend(&Win32Backend());
    return pApp == AfxGetApp() ? AfxWinMain() : 1;
}
