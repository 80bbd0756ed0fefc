// CWinApp: the one registered application object and the program's run.
#include "ui/WinApp.h"

#include "ui/Backend.h"

namespace {
CWinApp* g_pApp = nullptr;
}  // namespace

CWinApp::CWinApp(const WChar* pszAppName) : m_pszAppName(nullptr) {
    if (pszAppName != nullptr) {
        m_strAppName = pszAppName;
        m_pszAppName = m_strAppName.c_str();
    }
    g_pApp = this;
}

CWinApp::~CWinApp() {
    if (g_pApp == this) {
        g_pApp = nullptr;
    }
}

BOOL CWinApp::InitInstance() { return TRUE; }

const WChar* CWinApp::GetAppName() {
    // Asked late: the global application object is built before any backend is installed.
    if (m_pszAppName == nullptr) {
        m_strAppName = UiBackend().GetAppName();
        m_pszAppName = m_strAppName.c_str();
    }
    return m_pszAppName;
}

CWinApp* AfxGetApp() { return g_pApp; }

const WChar* AfxGetAppName() {
    if (g_pApp != nullptr) {
        return g_pApp->GetAppName();
    }
    static const WString s_strName = UiBackend().GetAppName();
    return s_strName.c_str();
}

int AfxWinMain() {
    CWinApp* pApp = AfxGetApp();
    if (pApp == nullptr) {
        return 1;
    }
    // A dialog application returns FALSE from InitInstance once its dialog has closed; there
    // is no message loop of the application's own either way.
    pApp->InitInstance();
    return pApp->ExitInstance();
}
