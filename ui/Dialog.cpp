// CDialog: modal run through the backend, set-up with data exchange, default OK and Cancel.
#include "ui/Dialog.h"

#include "ui/WinApp.h"

// The default OK and Cancel handling sits in the dialog's own map, at the end of the chain, so
// that a derived class's entry for the same command wins.
BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, OnOK)
ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (pDX == nullptr || pDX->m_pDlgWnd == nullptr) {
        return;
    }
    HWND hItem = UiBackend().GetDlgItem(pDX->m_pDlgWnd->m_hWnd, nIDC);
    // Attached once per dialog window; a later exchange leaves the binding as it is.
    if (hItem != nullptr && rControl.m_hWnd != hItem) {
        rControl.Attach(hItem);
    }
}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

INT_PTR CDialog::DoModal() {
    // Without a parent the box is owned by the application's main window, if that is another.
    HWND hParent = nullptr;
    if (m_pParentWnd != nullptr) {
        hParent = m_pParentWnd->m_hWnd;
    } else if (CWinApp* pApp = AfxGetApp();
               pApp != nullptr && pApp->m_pMainWnd != nullptr && pApp->m_pMainWnd != this) {
        hParent = pApp->m_pMainWnd->m_hWnd;
    }
    const INT_PTR nResult = UiBackend().RunModalDialog(*this, m_nIDTemplate, hParent);
    // The window is gone once the modal loop has ended.
    m_hWnd = nullptr;
    return nResult;
}

void CDialog::EndDialog(int nResult) { UiBackend().EndDialog(m_hWnd, nResult); }

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) {
        return;
    }
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange* /*pDX*/) {}

LRESULT CDialog::WindowProc(UINT nMessage, WPARAM wParam, LPARAM lParam) {
    if (nMessage == WM_INITDIALOG) {
        const SCurrentMessage saved = m_current;
        m_current = {nMessage, wParam, lParam};
        const BOOL bResult = OnInitDialog();
        m_current = saved;
        return bResult;
    }
    return CWnd::WindowProc(nMessage, wParam, lParam);
}
