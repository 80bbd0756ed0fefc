// CExtractProgressDlg: shows the run's reports and passes the user's Cancel on to the worker.
#include "app/ExtractProgressDlg.h"

#include <string>
#include <utility>

#include "res/resource.h"

BEGIN_MESSAGE_MAP(CExtractProgressDlg, CDialog)
ON_WM_SYSCOMMAND()
ON_MESSAGE(WM_EXTRACT_STARTED, OnCopyStarted)
ON_MESSAGE(WM_EXTRACT_BYTES, OnCopyBytes)
ON_MESSAGE(WM_EXTRACT_ENDED, OnCopyEnded)
ON_MESSAGE(WM_EXTRACT_DONE, OnRunDone)
END_MESSAGE_MAP()

CExtractProgressDlg::CExtractProgressDlg(CWnd* pOwner, CExtractRun& run, ISongTable& songTable,
                                         std::function<void(int, int)> onStarted,
                                         CTaskbarProgress& taskbar)
    : CDialog(IDD_EXTRACT_PROGRESS, pOwner),
      m_run(run),
      m_songTable(songTable),
      m_onStarted(std::move(onStarted)),
      m_taskbar(taskbar) {}

void CExtractProgressDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PROGRESS_BAR, m_progress);
}

BOOL CExtractProgressDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    const int nItems = static_cast<int>(m_run.Items().size());
    m_progress.SetRange32(0, nItems * kItemSteps);
    m_taskbar.SetState(TBPF_NORMAL);
    ShowPos(0);
    if (!m_run.Start(GetSafeHwnd())) {
        // Nothing was copied; the owner reports that as for any run without a copy.
        EndDialog(IDCANCEL);
    }
    return TRUE;
}

void CExtractProgressDlg::OnOK() {}

void CExtractProgressDlg::OnCancel() {
    // The dialog ends once the worker says it has stopped (WM_EXTRACT_DONE).
    m_bCancelled = true;
    m_run.Cancel();
    if (CWnd* pCancel = GetDlgItem(IDCANCEL); pCancel != nullptr) {
        pCancel->EnableWindow(FALSE);
    }
}

void CExtractProgressDlg::OnSysCommand(UINT nID, LPARAM lParam) {
    // Minimising the run minimises the program: the owner goes into the notification area and
    // this dialog hides with it; the owner shows it again when it comes back.
    if ((nID & 0xFFF0) == SC_MINIMIZE && m_pParentWnd != nullptr) {
        m_pParentWnd->SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, lParam);
        if (!m_pParentWnd->IsWindowVisible()) {
            ShowWindow(SW_HIDE);
        }
        return;
    }
    CDialog::OnSysCommand(nID, lParam);
}

void CExtractProgressDlg::ShowPos(int nPos) {
    m_progress.SetPos(nPos);
    m_taskbar.SetPos(nPos, static_cast<int>(m_run.Items().size()) * kItemSteps);
}

LRESULT CExtractProgressDlg::OnCopyStarted(WPARAM wParam, LPARAM /*lParam*/) {
    const auto& items = m_run.Items();
    if (wParam >= items.size()) {
        return 0;
    }
    const int nNumber = static_cast<int>(wParam) + 1;
    const int nTotal = static_cast<int>(items.size());
    const WString text = u"Copying " + WideFromAscii(std::to_string(nNumber)) + u" of " +
                         WideFromAscii(std::to_string(nTotal)) + u": " + items[wParam].strTitle;
    SetDlgItemText(IDC_PROGRESS_TEXT, text.c_str());
    ShowPos(static_cast<int>(wParam) * kItemSteps);
    if (m_onStarted) {
        m_onStarted(nNumber, nTotal);
    }
    if (IExtractObserver* pObserver = ExtractObserver(); pObserver != nullptr) {
        pObserver->OnCopyStarted(nNumber, nTotal, items[wParam].strTitle);
    }
    return 0;
}

LRESULT CExtractProgressDlg::OnCopyBytes(WPARAM wParam, LPARAM lParam) {
    ShowPos(static_cast<int>(wParam) * kItemSteps + static_cast<int>(lParam));
    return 0;
}

LRESULT CExtractProgressDlg::OnCopyEnded(WPARAM wParam, LPARAM lParam) {
    const auto& items = m_run.Items();
    if (wParam < items.size()) {
        ShowPos((static_cast<int>(wParam) + 1) * kItemSteps);
        if (lParam == kItemFailed) {
            ++m_nFailed;
            m_taskbar.SetState(TBPF_ERROR);
        } else {
            ++m_nCopied;
            m_nAlreadyThere += lParam == kItemAlreadyThere ? 1 : 0;
            m_songTable.SetCheck(items[wParam].nRow, false);
            if (IExtractObserver* pObserver = ExtractObserver(); pObserver != nullptr) {
                pObserver->OnCopied(m_nCopied, static_cast<int>(items.size()));
            }
        }
    }
    // Only now may the worker go on, so that a Cancel pressed meanwhile stops it before the
    // next copy.
    m_run.Acknowledge();
    return 0;
}

LRESULT CExtractProgressDlg::OnRunDone(WPARAM /*wParam*/, LPARAM /*lParam*/) {
    // Failures keep the button red while the owner tells the user about them.
    if (m_nFailed == 0 || m_bCancelled) {
        m_taskbar.SetState(TBPF_NOPROGRESS);
    }
    m_taskbar.FlashUnlessForeground(GetSafeHwnd());
    EndDialog(m_bCancelled ? IDCANCEL : IDOK);
    return 0;
}
