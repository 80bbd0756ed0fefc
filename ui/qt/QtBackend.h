// The dialog framework's backend over Qt 6 Widgets: dialogs built from the resource tables with
// the system's dialog-unit layout, Qt's signals and events turned into window messages, and
// stand-ins for the shell (notification icon, folder chooser, message boxes, web page).
#pragma once

#include <QSystemTrayIcon>
#include <memory>
#include <vector>

#include "platform/Text.h"
#include "ui/Backend.h"
#include "ui/TestHooks.h"

class QWidget;

namespace qtui {

// One entry of a pop-up menu as a test sees it.
struct SPopupItem {
    UINT nId;
    WString strText;
    bool bDefault;
    bool bEnabled;
};

class CQtBackend final : public IUiBackend {
public:
    // Needs a QApplication that outlives it.
    CQtBackend();
    ~CQtBackend() override;
    CQtBackend(const CQtBackend&) = delete;
    CQtBackend& operator=(const CQtBackend&) = delete;

    SUiTestHooks& Hooks();
    // The commands of a pop-up menu, its sub-menus' included, in order (for the popup hook).
    std::vector<SPopupItem> PopupItems(HMENU hMenu) const;

    // The widget behind a window handle, or nullptr (for tests and screenshots).
    QWidget* WidgetOf(HWND hWnd) const;
    // The notification icon of a window as the shell would show it: present, tooltip.
    bool IsTrayIconShown(HWND hWnd, UINT uID) const;
    WString TrayToolTip(HWND hWnd, UINT uID) const;
    // Acts as the user on the notification icon.
    void ActivateTrayIcon(HWND hWnd, UINT uID, QSystemTrayIcon::ActivationReason reason);

    BOOL InitCommonControls(DWORD dwClasses) override;
    WString GetAppName() override;

    INT_PTR RunModalDialog(CDialog& dialog, UINT nIDTemplate, HWND hParent) override;
    void EndDialog(HWND hDlg, INT_PTR nResult) override;
    HWND GetDlgItem(HWND hDlg, int nID) override;
    int GetDlgCtrlID(HWND hWnd) override;
    LRESULT DefWindowProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) override;
    LRESULT SendMessage(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) override;
    BOOL PostMessage(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) override;
    // Whether messages posted with PostMessage still wait for the event loop (for tests).
    bool HasPosted() const;

    BOOL ShowWindow(HWND hWnd, int nCmdShow) override;
    BOOL IsWindowVisible(HWND hWnd) override;
    BOOL IsIconic(HWND hWnd) override;
    BOOL EnableWindow(HWND hWnd, BOOL bEnable) override;
    BOOL IsWindowEnabled(HWND hWnd) override;
    void SetWindowText(HWND hWnd, const WChar* pszText) override;
    int GetWindowText(HWND hWnd, WChar* pszBuffer, int nMaxCount) override;
    HWND SetFocus(HWND hWnd) override;
    HWND GetFocus() override;
    void SetIcon(HWND hWnd, HICON hIcon, BOOL bBigIcon) override;
    BOOL GetClientRect(HWND hWnd, RECT& rect) override;
    BOOL ClientToScreen(HWND hWnd, POINT& point) override;
    BOOL GetCursorPos(POINT& point) override;
    int GetSystemMetrics(int nIndex) override;

    HDC BeginPaint(HWND hWnd) override;
    void EndPaint(HWND hWnd, HDC hDC) override;
    BOOL DrawIcon(HDC hDC, int x, int y, HICON hIcon) override;

    DWORD ListSetExtendedStyle(HWND hList, DWORD dwExStyle) override;
    int ListInsertColumn(HWND hList, int nCol, const WChar* pszHeading, int nFormat,
                         int nWidth) override;
    int ListInsertItem(HWND hList, int nItem, const WChar* pszText) override;
    BOOL ListSetItemText(HWND hList, int nItem, int nSubItem, const WChar* pszText) override;
    int ListGetItemText(HWND hList, int nItem, int nSubItem, WChar* pszBuffer, int nLen) override;
    int ListGetItemCount(HWND hList) override;
    BOOL ListGetCheck(HWND hList, int nItem) override;
    BOOL ListSetCheck(HWND hList, int nItem, BOOL bCheck) override;
    BOOL ListSetItemState(HWND hList, int nItem, UINT nState, UINT nMask) override;
    UINT ListGetItemState(HWND hList, int nItem, UINT nMask) override;
    int ListGetTopIndex(HWND hList) override;
    BOOL ListScroll(HWND hList, int dx, int dy) override;
    BOOL ListGetItemRect(HWND hList, int nItem, RECT& rect, int nCode) override;

    int ComboAddString(HWND hCombo, const WChar* pszText) override;
    int ComboGetCurSel(HWND hCombo) override;
    int ComboSetCurSel(HWND hCombo, int nIndex) override;
    int ButtonGetCheck(HWND hButton) override;
    void ButtonSetCheck(HWND hButton, int nCheck) override;

    HMENU LoadMenu(UINT nIDResource) override;
    HMENU GetSubMenu(HMENU hMenu, int nPos) override;
    BOOL DestroyMenu(HMENU hMenu) override;
    HMENU GetSystemMenu(HWND hWnd) override;
    BOOL AppendMenu(HMENU hMenu, UINT nFlags, UINT_PTR nIDNewItem,
                    const WChar* pszNewItem) override;
    BOOL TrackPopupMenu(HMENU hMenu, UINT nFlags, int x, int y, HWND hOwner) override;
    BOOL SetMenuDefaultItem(HMENU hMenu, UINT nItem, UINT fByPos) override;
    UINT EnableMenuItem(HMENU hMenu, UINT nIDEnableItem, UINT nEnable) override;

    HICON LoadIcon(UINT nIDResource) override;
    int LoadString(UINT nID, WChar* pszBuffer, int nMaxCount) override;

    int MessageBox(HWND hOwner, const WChar* pszText, const WChar* pszCaption, UINT nType) override;
    int MessageBoxA(HWND hOwner, const char* pszText, const char* pszCaption, UINT nType) override;

    void OleInitialize() override;
    void OleUninitialize() override;
    EFolderChoice BrowseForFolder(const WChar* pszTitle, UINT nFlags, WChar* pszPath) override;
    BOOL GetSaveFileName(HWND hOwner, const WChar* pszTitle, const WChar* pszFileName,
                         const WChar* pszKind, const WChar* pszExtension, WString& path) override;
    BOOL ShellNotifyIcon(DWORD dwMessage, NOTIFYICONDATAW& data) override;
    void ShellExecute(HWND hWnd, const WChar* pszVerb, const WChar* pszFile, int nShowCmd) override;

    // Called by the dialog windows: the user's actions as messages.
    struct SImpl;

private:
    std::unique_ptr<SImpl> m_pImpl;
};

}  // namespace qtui
