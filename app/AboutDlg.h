// CAboutDlg: the about box opened from the main dialog's system menu.
#pragma once

#include "ui/Dialog.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();

protected:
    // The "Drovil" button: opens the maker's web page and leaves the box open.
    void OnDrovil();

    DECLARE_MESSAGE_MAP()
};
