// CReadProgressDlg: the modal dialog shown while a player's song files are read: how many of
// how many, a bar, and Cancel. It starts the read's worker and takes its posted reports.
#pragma once

#include "app/SongFilesRead.h"
#include "ui/Dialog.h"
#include "ui/ProgressCtrl.h"

class CReadProgressDlg : public CDialog {
public:
    CReadProgressDlg(CWnd* pOwner, CSongFilesRead& read);

    BOOL OnInitDialog() override;
    bool WasCancelled() const { return m_bCancelled; }

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    // Enter does not end the read; only Cancel (also Escape and the close box) does.
    void OnOK() override;
    void OnCancel() override;

    LRESULT OnFound(WPARAM wParam, LPARAM lParam);
    LRESULT OnProgress(WPARAM wParam, LPARAM lParam);
    LRESULT OnDone(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    void ShowCount(std::size_t nRead);

    CSongFilesRead& m_read;
    CProgressCtrl m_progress;
    std::size_t m_nFound = 0;
    bool m_bCancelled = false;
};
