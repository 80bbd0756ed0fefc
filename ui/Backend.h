// The backend beneath the dialog framework: the handful of windowing, shell and resource
// operations the framework needs, in Windows' own terms. The Win32 backend passes them to the
// system; the Qt backend stands them in and turns its own events into the same window
// messages.
#pragma once

#include "platform/Text.h"
#include "ui/WinDefs.h"

class CWnd;
class CDialog;

// What the folder chooser gave.
enum class EFolderChoice {
    kCancelled,  // the user closed the chooser
    kNoPath,     // the chosen item has no file-system path (a virtual folder)
    kChosen,     // path holds the folder
};

class IUiBackend {
public:
    virtual ~IUiBackend() = default;

    // Application.
    virtual BOOL InitCommonControls(DWORD dwClasses) = 0;
    // The executable's file name without directory and extension: the caption of the
    // framework's message boxes.
    virtual WString GetAppName() = 0;

    // Dialogs. RunModalDialog creates the dialog window from template nIDTemplate, attaches it
    // to dialog (CWnd::Attach), sends it WM_INITDIALOG (and WM_CREATE first where the system
    // would), shows it unless the set-up ended it, and runs a modal loop that delivers every
    // user action to dialog.WindowProc as a window message until EndDialog is called. Returns
    // the EndDialog result, or -1 when the dialog could not be created.
    // A WM_CREATE answered with -1 fails the dialog. EndDialog during the set-up ends it
    // without showing it or running the loop. Whatever way it ends, the dialog receives
    // WM_DESTROY before this returns (the window still exists then), and its owner is
    // disabled while it runs.
    virtual INT_PTR RunModalDialog(CDialog& dialog, UINT nIDTemplate, HWND hParent) = 0;
    virtual void EndDialog(HWND hDlg, INT_PTR nResult) = 0;
    // The child control with this id, or nullptr.
    virtual HWND GetDlgItem(HWND hDlg, int nID) = 0;
    virtual int GetDlgCtrlID(HWND hWnd) = 0;
    // Default handling of a message the dialog's own message map did not take: WM_SYSCOMMAND
    // SC_MINIMIZE minimises (iconic), SC_RESTORE restores, SC_CLOSE sends WM_CLOSE; WM_CLOSE
    // on a dialog sends WM_COMMAND (IDCANCEL, BN_CLICKED); WM_PAINT paints normally; WM_CREATE,
    // WM_DESTROY and the rest answer 0.
    virtual LRESULT DefWindowProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) = 0;
    // Sends a message to a window (synchronously, on the calling thread).
    virtual LRESULT SendMessage(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) = 0;
    // Queues a message for the window's thread, whose message loop (any modal loop) delivers it
    // after what it is doing now. May be called from any thread; a message for a window that is
    // gone by then is dropped. FALSE when it could not be queued.
    virtual BOOL PostMessage(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) = 0;

    // Windows and controls.
    virtual BOOL ShowWindow(HWND hWnd, int nCmdShow) = 0;
    virtual BOOL IsWindowVisible(HWND hWnd) = 0;
    virtual BOOL IsIconic(HWND hWnd) = 0;
    virtual BOOL EnableWindow(HWND hWnd, BOOL bEnable) = 0;
    virtual BOOL IsWindowEnabled(HWND hWnd) = 0;
    virtual void SetWindowText(HWND hWnd, const WChar* pszText) = 0;
    // Copies at most nMaxCount - 1 characters and a terminator; returns the characters copied.
    virtual int GetWindowText(HWND hWnd, WChar* pszBuffer, int nMaxCount) = 0;
    virtual HWND SetFocus(HWND hWnd) = 0;
    virtual HWND GetFocus() = 0;
    virtual void SetIcon(HWND hWnd, HICON hIcon, BOOL bBigIcon) = 0;
    virtual BOOL GetClientRect(HWND hWnd, RECT& rect) = 0;
    virtual BOOL ClientToScreen(HWND hWnd, POINT& point) = 0;
    virtual BOOL GetCursorPos(POINT& point) = 0;
    virtual int GetSystemMetrics(int nIndex) = 0;

    // Painting (the minimised dialog draws its icon).
    virtual HDC BeginPaint(HWND hWnd) = 0;
    virtual void EndPaint(HWND hWnd, HDC hDC) = 0;
    virtual BOOL DrawIcon(HDC hDC, int x, int y, HICON hIcon) = 0;

    // List view (report view with check boxes).
    virtual DWORD ListSetExtendedStyle(HWND hList, DWORD dwExStyle) = 0;
    // nWidth is in pixels at 96 DPI, as Qt's device-independent pixels are; a backend whose
    // pixels follow the display's scale widens it in proportion. -1: the backend's default.
    virtual int ListInsertColumn(HWND hList, int nCol, const WChar* pszHeading, int nFormat,
                                 int nWidth) = 0;
    virtual int ListInsertItem(HWND hList, int nItem, const WChar* pszText) = 0;
    virtual BOOL ListSetItemText(HWND hList, int nItem, int nSubItem, const WChar* pszText) = 0;
    virtual int ListGetItemText(HWND hList, int nItem, int nSubItem, WChar* pszBuffer,
                                int nLen) = 0;
    virtual int ListGetItemCount(HWND hList) = 0;
    virtual BOOL ListGetCheck(HWND hList, int nItem) = 0;
    virtual BOOL ListSetCheck(HWND hList, int nItem, BOOL bCheck) = 0;
    virtual BOOL ListSetItemState(HWND hList, int nItem, UINT nState, UINT nMask) = 0;
    virtual UINT ListGetItemState(HWND hList, int nItem, UINT nMask) = 0;
    virtual int ListGetTopIndex(HWND hList) = 0;
    // Scrolls by pixels, as the report view does.
    virtual BOOL ListScroll(HWND hList, int dx, int dy) = 0;
    // Bounding rectangle of a row; FALSE (rect untouched) when the row does not exist.
    virtual BOOL ListGetItemRect(HWND hList, int nItem, RECT& rect, int nCode) = 0;

    // Combo box (the sorted drop-down).
    virtual int ComboAddString(HWND hCombo, const WChar* pszText) = 0;
    virtual int ComboGetCurSel(HWND hCombo) = 0;
    virtual int ComboSetCurSel(HWND hCombo, int nIndex) = 0;

    // Check box: BST_UNCHECKED (0) or BST_CHECKED (1).
    virtual int ButtonGetCheck(HWND hButton) = 0;
    virtual void ButtonSetCheck(HWND hButton, int nCheck) = 0;

    // Menus.
    virtual HMENU LoadMenu(UINT nIDResource) = 0;
    virtual HMENU GetSubMenu(HMENU hMenu, int nPos) = 0;
    virtual BOOL DestroyMenu(HMENU hMenu) = 0;
    // The window's system menu (nullptr when it has none).
    virtual HMENU GetSystemMenu(HWND hWnd) = 0;
    virtual BOOL AppendMenu(HMENU hMenu, UINT nFlags, UINT_PTR nIDNewItem,
                            const WChar* pszNewItem) = 0;
    // Shows a pop-up menu; the chosen command reaches hOwner as WM_COMMAND once the menu
    // has closed (and after this call has returned).
    virtual BOOL TrackPopupMenu(HMENU hMenu, UINT nFlags, int x, int y, HWND hOwner) = 0;
    virtual BOOL SetMenuDefaultItem(HMENU hMenu, UINT nItem, UINT fByPos) = 0;
    // MF_ENABLED or MF_GRAYED, with MF_BYCOMMAND or MF_BYPOSITION; the previous state, or
    // (UINT)-1 when the menu has no such item.
    virtual UINT EnableMenuItem(HMENU hMenu, UINT nIDEnableItem, UINT nEnable) = 0;

    // Resources.
    virtual HICON LoadIcon(UINT nIDResource) = 0;
    // Copies string resource nID; returns its length (0 when it does not exist).
    virtual int LoadString(UINT nID, WChar* pszBuffer, int nMaxCount) = 0;

    // Message boxes. May be called from any thread; hOwner nullptr means no owner (not modal
    // to any window).
    virtual int MessageBox(HWND hOwner, const WChar* pszText, const WChar* pszCaption,
                           UINT nType) = 0;
    // The narrow-character box, for the one narrow message the program has.
    virtual int MessageBoxA(HWND hOwner, const char* pszText, const char* pszCaption,
                            UINT nType) = 0;

    // Shell.
    virtual void OleInitialize() = 0;
    virtual void OleUninitialize() = 0;
    // The folder chooser: no owner, whole namespace, the title and flags given. On kChosen
    // the path (at most kMaxPath - 1 characters) is in pszPath.
    virtual EFolderChoice BrowseForFolder(const WChar* pszTitle, UINT nFlags, WChar* pszPath) = 0;
    // The system's save-file dialog, owned by hOwner (disabled while it is open): the title,
    // the file name it proposes, and one kind of file (its description and its extension
    // without the dot) besides all files. A name typed without an extension gets that one, and
    // a file already there is replaced only when the user agrees. FALSE when the user cancels;
    // otherwise path holds the file's full path.
    virtual BOOL GetSaveFileName(HWND hOwner, const WChar* pszTitle, const WChar* pszFileName,
                                 const WChar* pszKind, const WChar* pszExtension,
                                 WString& path) = 0;
    virtual BOOL ShellNotifyIcon(DWORD dwMessage, NOTIFYICONDATAW& data) = 0;
    virtual void ShellExecute(HWND hWnd, const WChar* pszVerb, const WChar* pszFile,
                              int nShowCmd) = 0;

    // The taskbar button of a top-level window: the state of the progress it shows (TBPF_*;
    // TBPF_NOPROGRESS takes it away) and how far it has gone; flashing it (FLASHW_*). And the
    // window the user works in now. A backend without a taskbar does nothing and knows none.
    virtual void SetTaskbarProgressState(HWND /*hWnd*/, UINT /*nState*/) {}
    virtual void SetTaskbarProgressValue(HWND /*hWnd*/, std::uint64_t /*completed*/,
                                         std::uint64_t /*total*/) {}
    virtual BOOL FlashWindowEx(HWND /*hWnd*/, DWORD /*dwFlags*/, UINT /*uCount*/) { return FALSE; }
    virtual HWND GetForegroundWindow() { return nullptr; }
};

// The installed backend. Every program installs exactly one before it creates a window.
IUiBackend& UiBackend();
void SetUiBackend(IUiBackend* backend);
