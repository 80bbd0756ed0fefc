// The dialog framework's backend over the real Windows API: dialogs from the compiled resource
// script, the common controls, the shell's notification area and folder chooser.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/Text.h"
#include "ui/Backend.h"
#include "ui/TestHooks.h"

class CWin32Backend final : public IUiBackend {
public:
    // The test hooks (ui/TestHooks.h); unset, the backend behaves as the program does.
    SUiTestHooks& Hooks() { return m_hooks; }

    BOOL InitCommonControls(DWORD dwClasses) override;
    WString GetAppName() override;

    INT_PTR RunModalDialog(CDialog& dialog, UINT nIDTemplate, HWND hParent) override;
    void EndDialog(HWND hDlg, INT_PTR nResult) override;
    HWND GetDlgItem(HWND hDlg, int nID) override;
    int GetDlgCtrlID(HWND hWnd) override;
    LRESULT DefWindowProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) override;
    LRESULT SendMessage(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) override;
    BOOL PostMessage(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) override;

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

    void SetTaskbarProgressState(HWND hWnd, UINT nState) override;
    void SetTaskbarProgressValue(HWND hWnd, std::uint64_t completed, std::uint64_t total) override;
    BOOL FlashWindowEx(HWND hWnd, DWORD dwFlags, UINT uCount) override;
    HWND GetForegroundWindow() override;

    // Gives the window its icons again in the sizes nDpi asks for (its scale has changed).
    void RescaleWindowIcons(HWND hWnd, UINT nDpi);

    CWin32Backend();
    ~CWin32Backend() override;
    CWin32Backend(const CWin32Backend&) = delete;
    CWin32Backend& operator=(const CWin32Backend&) = delete;

private:
    // The icon resource of the given size, loaded once and kept until the backend ends (the
    // windows that show it may keep it as long). nullptr when it cannot be loaded.
    HICON SizedIcon(UINT nIDResource, int nSize);
    void SetIconForDpi(HWND hWnd, HICON hIcon, BOOL bBigIcon, UINT nDpi);
    // The resource an icon of LoadIcon or SizedIcon came from, 0 for any other icon.
    UINT ResourceOfIcon(HICON hIcon) const;

    class CTaskbarList;
    // The path of a folder item the chooser gave; frees the item.
    static EFolderChoice FolderOfItem(PIDLIST_ABSOLUTE pItem, WChar* pszPath);

    SUiTestHooks m_hooks;
    // Icons LoadIcon gave, by resource, so that a window can be given the size its DPI wants.
    std::vector<std::pair<HICON, UINT>> m_loadedIcons;
    struct SIconDestroyer {
        void operator()(HICON hIcon) const;
    };
    using COwnedIcon = std::unique_ptr<HICON__, SIconDestroyer>;
    struct SSizedIcon {
        UINT nIDResource;
        int nSize;
        COwnedIcon icon;
    };
    std::vector<SSizedIcon> m_sizedIcons;
    // The taskbar's interface while a button shows progress, made on the thread that asks.
    std::unique_ptr<CTaskbarList> m_pTaskbar;
};

// The process's one Win32 backend, for the entry points to install.
CWin32Backend& Win32Backend();
