// CKestrumApp: initialises the common controls and runs CKestrumDlg as the program's one window.
#include "app/KestrumApp.h"

#include "app/KestrumDlg.h"
#include "ui/Backend.h"

CKestrumApp theApp;

CKestrumApp::CKestrumApp() : CWinApp(nullptr) {}

BOOL CKestrumApp::InitInstance() {
    UiBackend().InitCommonControls(ICC_WIN95_CLASSES);
    CWinApp::InitInstance();

    CKestrumDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}
