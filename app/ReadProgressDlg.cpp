// CReadProgressDlg: shows the read's reports and passes the user's Cancel on to the worker.
#include "app/ReadProgressDlg.h"

#include <algorithm>
#include <string>

#include "res/resource.h"

BEGIN_MESSAGE_MAP(CReadProgressDlg, CDialog)
ON_MESSAGE(WM_READ_FOUND, OnFound)
ON_MESSAGE(WM_READ_PROGRESS, OnProgress)
ON_MESSAGE(WM_READ_DONE, OnDone)
END_MESSAGE_MAP()

CReadProgressDlg::CReadProgressDlg(CWnd* pOwner, CSongFilesRead& read)
    : CDialog(IDD_READ_PROGRESS, pOwner), m_read(read) {}

void CReadProgressDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PROGRESS_BAR, m_progress);
}

BOOL CReadProgressDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_progress.SetRange32(0, 1);
    m_progress.SetPos(0);
    // Until the music folders have been listed there is no count to show.
    SetDlgItemText(IDC_PROGRESS_TEXT, u"Looking for song files...");
    if (!m_read.Start(GetSafeHwnd())) {
        // Nothing was read; the owner reports it as for a player without such files.
        EndDialog(IDCANCEL);
    }
    return TRUE;
}

void CReadProgressDlg::OnOK() {}

void CReadProgressDlg::OnCancel() {
    // The dialog ends once the worker says it has stopped (WM_READ_DONE).
    m_bCancelled = true;
    m_read.Cancel();
    if (CWnd* pCancel = GetDlgItem(IDCANCEL); pCancel != nullptr) {
        pCancel->EnableWindow(FALSE);
    }
}

void CReadProgressDlg::ShowCount(std::size_t nRead) {
    const std::string text = "Reading " + std::to_string(nRead) + " of " + std::to_string(m_nFound);
    SetDlgItemText(IDC_PROGRESS_TEXT, WideFromAscii(text).c_str());
    m_progress.SetPos(static_cast<int>(nRead));
}

LRESULT CReadProgressDlg::OnFound(WPARAM wParam, LPARAM /*lParam*/) {
    m_nFound = static_cast<std::size_t>(wParam);
    m_progress.SetRange32(0, static_cast<int>(std::max<std::size_t>(m_nFound, 1)));
    ShowCount(0);
    return 0;
}

LRESULT CReadProgressDlg::OnProgress(WPARAM /*wParam*/, LPARAM /*lParam*/) {
    // The count now, not the one posted: reports are skipped while one waits.
    m_read.Acknowledge();
    ShowCount(m_read.GetRead());
    return 0;
}

LRESULT CReadProgressDlg::OnDone(WPARAM /*wParam*/, LPARAM /*lParam*/) {
    EndDialog(m_bCancelled ? IDCANCEL : IDOK);
    return 0;
}
