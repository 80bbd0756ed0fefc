// CTrayDialog: a dialog that hides into a notification-area icon when minimised and comes back
// from a double click on the icon or from the icon's pop-up menu.
#pragma once

#include "ui/Dialog.h"
#include "ui/Menu.h"
#include "ui/WinDefs.h"

// The message the shell sends for mouse actions on the icon.
inline constexpr UINT WM_TRAYNOTIFY = WM_USER + 1;
// The one icon the dialog puts into the notification area.
inline constexpr UINT kTrayIconId = 1;

class CTrayDialog : public CDialog {
public:
    // The main dialog is the only tray dialog, so its template is the default.
    explicit CTrayDialog(UINT nIDTemplate);
    ~CTrayDialog() override;

    // Loads the icon resource; when it loads it becomes the record's icon.
    void SetNotifyIcon(UINT nIDResource);
    // Keeps the first 127 characters: the record's tooltip has room for no more.
    void SetNotifyTip(const WChar* pszTip);
    // Loads the menu whose first pop-up the icon shows on a right click.
    void SetNotifyMenu(UINT nIDResource);
    // The shell's result, or FALSE when there was nothing to do.
    BOOL ShowNotifyIcon();
    BOOL HideNotifyIcon();
    BOOL IsNotifyIconShown() const { return m_bIconShown; }

    // Mouse actions on the icon; points are in screen coordinates.
    virtual void OnNotifyLButtonDown(POINT point);
    virtual void OnNotifyLButtonDblClk(POINT point);
    virtual void OnNotifyRButtonDown(POINT point);
    virtual void OnNotifyRButtonDblClk(POINT point);
    virtual void OnNotifyMouseMove(POINT point);

    // Read-only views for tests of the icon record.
    const NOTIFYICONDATAW& GetNotifyIconData() const { return m_nid; }
    const CMenu& GetTrayMenu() const { return m_menuTray; }

protected:
    int OnCreate(void* pCreateStruct);
    void OnDestroy();
    void OnSysCommand(UINT nID, LPARAM lParam);
    // wParam: the icon id; lParam: the mouse message. 0 for another icon, 1 otherwise.
    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);

    BOOL m_bMinimizeToTray = TRUE;
    BOOL m_bIconShown = FALSE;
    NOTIFYICONDATAW m_nid;
    CMenu m_menuTray;
    UINT m_nDefaultMenuItem = 0;

    DECLARE_MESSAGE_MAP()
};
