// CKestrumApp: the application object; its start-up runs the main dialog and then ends.
#pragma once

#include "ui/WinApp.h"

class CKestrumApp : public CWinApp {
public:
    // No name of its own: message boxes carry the executable's name.
    CKestrumApp();

    // Runs the main dialog modally; FALSE so that no message loop follows.
    BOOL InitInstance() override;

    // The help command (ID_HELP) goes to the framework's CWinApp::OnHelp; the application
    // object has no window, so there is no message map to route it through.
};

// The one application object. Entry points name it so that the linker keeps it even though
// it lives in a static library; AfxWinMain then finds it registered.
extern CKestrumApp theApp;
