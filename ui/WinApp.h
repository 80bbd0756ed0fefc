// CWinApp: the one application object; its InitInstance runs the program.
#pragma once

#include "platform/Text.h"
#include "ui/Wnd.h"

class CWinApp {
public:
    // pszAppName nullptr: the executable's name without directory and extension.
    explicit CWinApp(const WChar* pszAppName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // FALSE ends the application without a message loop.
    virtual BOOL InitInstance();
    virtual int ExitInstance() { return 0; }
    // The framework's help handler (no help file: does nothing).
    void OnHelp() {}

    CWnd* m_pMainWnd = nullptr;
    // The application's name: message box captions.
    const WChar* GetAppName();

private:
    const WChar* m_pszAppName;
    WString m_strAppName;
};

CWinApp* AfxGetApp();
const WChar* AfxGetAppName();

// Runs the registered application object: InitInstance, then ExitInstance. Returns the
// process exit code. Each executable's entry point installs a backend and calls this.
int AfxWinMain();
