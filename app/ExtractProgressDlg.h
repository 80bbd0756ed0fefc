// CExtractProgressDlg: the modal dialog shown while an extraction runs: the song being copied,
// a bar that moves with the bytes copied, and Cancel. It starts the run's worker and takes its
// posted reports on the dialog's thread.
#pragma once

#include <functional>

#include "app/ExtractRun.h"
#include "songdb/SongTable.h"
#include "ui/Dialog.h"
#include "ui/ProgressCtrl.h"
#include "ui/TaskbarProgress.h"

class CExtractProgressDlg : public CDialog {
public:
    // Rows are unticked in songTable as their copies succeed; onStarted(N, M) is called as the
    // copy of song N of M begins (the owner shows it in its notification-area tip). taskbar,
    // the owner's button, follows the bar: normal while copying, error once a song has failed;
    // a run without failures clears it at its end, and a run that ends while the user works
    // elsewhere flashes it.
    CExtractProgressDlg(CWnd* pOwner, CExtractRun& run, ISongTable& songTable,
                        std::function<void(int, int)> onStarted, CTaskbarProgress& taskbar);

    BOOL OnInitDialog() override;
    // Songs now in the folder: copied, or found there already (also counted apart).
    int GetCopied() const { return m_nCopied; }
    int GetAlreadyThere() const { return m_nAlreadyThere; }
    bool WasCancelled() const { return m_bCancelled; }

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    // Enter does not end the run; only Cancel (also Escape and the close box) does.
    void OnOK() override;
    void OnCancel() override;
    void OnSysCommand(UINT nID, LPARAM lParam);

    LRESULT OnCopyStarted(WPARAM wParam, LPARAM lParam);
    LRESULT OnCopyBytes(WPARAM wParam, LPARAM lParam);
    LRESULT OnCopyEnded(WPARAM wParam, LPARAM lParam);
    LRESULT OnRunDone(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    // Moves the bar and the taskbar button's progress with it.
    void ShowPos(int nPos);

    CExtractRun& m_run;
    ISongTable& m_songTable;
    std::function<void(int, int)> m_onStarted;
    CProgressCtrl m_progress;
    CTaskbarProgress& m_taskbar;
    int m_nCopied = 0;
    int m_nAlreadyThere = 0;
    int m_nFailed = 0;
    bool m_bCancelled = false;
};
