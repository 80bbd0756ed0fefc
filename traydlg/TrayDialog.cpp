// CTrayDialog: minimising puts the icon into the notification area and hides the window;
// the icon's double click and pop-up menu bring it back.
#include "traydlg/TrayDialog.h"

#include "platform/Text.h"
#include "ui/Backend.h"

BEGIN_MESSAGE_MAP(CTrayDialog, CDialog)
ON_WM_CREATE()
ON_WM_DESTROY()
ON_WM_SYSCOMMAND()
ON_MESSAGE(WM_TRAYNOTIFY, OnTrayNotify)
END_MESSAGE_MAP()

CTrayDialog::CTrayDialog(UINT nIDTemplate) : CDialog(nIDTemplate, nullptr), m_nid{} {
    // The record without the balloon icon: the size older shells accept as well.
    m_nid.cbSize = kNotifyIconDataSize;
    m_nid.hWnd = nullptr;
    m_nid.uID = kTrayIconId;
    m_nid.uFlags = NIF_MESSAGE;
    m_nid.uCallbackMessage = WM_TRAYNOTIFY;
    m_nid.hIcon = nullptr;
}

CTrayDialog::~CTrayDialog() { m_menuTray.DestroyMenu(); }

void CTrayDialog::SetNotifyIcon(UINT nIDResource) {
    HICON hIcon = UiBackend().LoadIcon(nIDResource);
    if (hIcon != nullptr) {
        m_nid.uFlags |= NIF_ICON;
        m_nid.hIcon = hIcon;
    }
}

void CTrayDialog::SetNotifyTip(const WChar* pszTip) {
    const WStringView tip = pszTip != nullptr ? WStringView(pszTip) : WStringView();
    // A longer text keeps its first 127 characters.
    WCopyBounded(NotifyTipBuffer(m_nid), kNotifyTipLength, tip);
    m_nid.uFlags |= NIF_TIP;
}

void CTrayDialog::SetNotifyMenu(UINT nIDResource) {
    // A second call replaces the menu instead of leaking the first one.
    if (m_menuTray.m_hMenu != nullptr) {
        m_menuTray.DestroyMenu();
    }
    m_menuTray.LoadMenu(nIDResource);
}

BOOL CTrayDialog::ShowNotifyIcon() {
    if (m_bIconShown) {
        return FALSE;
    }
    const BOOL bResult = UiBackend().ShellNotifyIcon(NIM_ADD, m_nid);
    if (bResult) {
        m_bIconShown = TRUE;
    }
    return bResult;
}

BOOL CTrayDialog::HideNotifyIcon() {
    if (!m_bIconShown) {
        return FALSE;
    }
    const BOOL bResult = UiBackend().ShellNotifyIcon(NIM_DELETE, m_nid);
    if (bResult) {
        m_bIconShown = FALSE;
    }
    return bResult;
}

void CTrayDialog::OnNotifyLButtonDown(POINT /*point*/) {}

void CTrayDialog::OnNotifyLButtonDblClk(POINT /*point*/) {
    if (m_bMinimizeToTray && m_bIconShown && UiBackend().ShellNotifyIcon(NIM_DELETE, m_nid)) {
        m_bIconShown = FALSE;
        ShowWindow(SW_SHOW);
    }
}

void CTrayDialog::OnNotifyRButtonDown(POINT point) {
    CMenu* pPopup = m_menuTray.GetSubMenu(0);
    if (pPopup == nullptr) {
        return;
    }
    pPopup->TrackPopupMenu(TPM_RIGHTBUTTON | TPM_BOTTOMALIGN, point.x, point.y, this);
    // Marked after the first pop-up, so it shows in bold from the next one on.
    pPopup->SetDefaultItem(m_nDefaultMenuItem, TRUE);
}

void CTrayDialog::OnNotifyRButtonDblClk(POINT /*point*/) {}

void CTrayDialog::OnNotifyMouseMove(POINT /*point*/) {}

int CTrayDialog::OnCreate(void* pCreateStruct) {
    if (CDialog::OnCreate(pCreateStruct) == -1) {
        return -1;
    }
    m_nid.hWnd = m_hWnd;
    m_nid.uID = kTrayIconId;
    return 0;
}

void CTrayDialog::OnDestroy() {
    CDialog::OnDestroy();
    // The window is going away whatever the shell answers, so the result is not looked at.
    if (m_nid.hWnd != nullptr && m_nid.uID != 0 && m_bIconShown) {
        UiBackend().ShellNotifyIcon(NIM_DELETE, m_nid);
    }
}

void CTrayDialog::OnSysCommand(UINT nID, LPARAM lParam) {
    if (!m_bMinimizeToTray || (nID & 0xFFF0) != SC_MINIMIZE) {
        CDialog::OnSysCommand(nID, lParam);
        return;
    }
    // Already in the notification area: the window stays as it is.
    if (m_bIconShown) {
        return;
    }
    if (UiBackend().ShellNotifyIcon(NIM_ADD, m_nid)) {
        m_bIconShown = TRUE;
        ShowWindow(SW_HIDE);
    }
}

LRESULT CTrayDialog::OnTrayNotify(WPARAM wParam, LPARAM lParam) {
    if (wParam != kTrayIconId) {
        return 0;
    }
    POINT point{};
    UiBackend().GetCursorPos(point);
    // The right button passes the cursor position as taken; the other actions pass it through
    // the client-to-screen conversion.
    POINT converted = point;
    switch (static_cast<UINT>(lParam)) {
        case WM_LBUTTONDOWN:
            ClientToScreen(&converted);
            OnNotifyLButtonDown(converted);
            break;
        case WM_LBUTTONDBLCLK:
            ClientToScreen(&converted);
            OnNotifyLButtonDblClk(converted);
            break;
        case WM_RBUTTONDOWN:
        case WM_CONTEXTMENU:
            OnNotifyRButtonDown(point);
            break;
        case WM_RBUTTONDBLCLK:
            ClientToScreen(&converted);
            OnNotifyRButtonDblClk(converted);
            break;
        case WM_MOUSEMOVE:
            ClientToScreen(&converted);
            OnNotifyMouseMove(converted);
            break;
        default:
            break;
    }
    return 1;
}
