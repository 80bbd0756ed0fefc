// CAboutDlg: OK, Escape and the close box end the box through the default handling; the
// "Drovil" button opens the maker's web page.
#include "app/AboutDlg.h"

#include "app/KestrumInfo.h"
#include "res/resource.h"
#include "ui/Backend.h"

BEGIN_MESSAGE_MAP(CAboutDlg, CDialog)
ON_BN_CLICKED(IDC_DROVIL, OnDrovil)
END_MESSAGE_MAP()

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

void CAboutDlg::OnDrovil() {
    UiBackend().ShellExecute(nullptr, u"open", kMakerUrl, SW_SHOWMAXIMIZED);
}
