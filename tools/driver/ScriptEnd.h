// What the driver does with a dialog that still runs once its script has ended, on either
// backend: the dialog is closed as its Cancel button would close it, and a dialog that ends
// only once its work has wound down (the progress dialog) gets one more round of its loop for
// that; then it is ended with IDCANCEL.
#pragma once

#include "ui/Backend.h"
#include "ui/WinDefs.h"

class CScriptEnd {
public:
    // Called each time the dialog's loop finds the script ended while hDlg still runs.
    void CloseDialog(IUiBackend& ui, HWND hDlg) {
        if (m_bCancelSent) {
            ui.EndDialog(hDlg, IDCANCEL);
            return;
        }
        m_bCancelSent = true;
        ui.SendMessage(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                       reinterpret_cast<LPARAM>(ui.GetDlgItem(hDlg, IDCANCEL)));
    }

private:
    bool m_bCancelSent = false;
};
