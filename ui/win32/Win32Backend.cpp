// The Win32 backend: every framework operation is the Windows call of the same name. Dialogs are
// run by the system's dialog manager and subclassed, as MFC does, so that the framework sees
// every message first and hands back to the dialog manager what it does not handle itself.
#include "ui/win32/Win32Backend.h"

#include <cstddef>
#include <vector>

#include "ui/Dialog.h"

static_assert(sizeof(wchar_t) == sizeof(WChar), "Windows wide text is UTF-16");

namespace {

// Program text and Windows wide text are the same UTF-16 code units under two type names.
const wchar_t* Api(const WChar* pszText) { return reinterpret_cast<const wchar_t*>(pszText); }
wchar_t* Api(WChar* pszText) { return reinterpret_cast<wchar_t*>(pszText); }

HINSTANCE Instance() { return ::GetModuleHandleW(nullptr); }

// MAKEINTRESOURCEW without the C-style cast of the macro.
LPCWSTR ResourceId(UINT nID) {
    return reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(nID)));
}

// The window property that ties a running dialog's window to its framework object.
constexpr wchar_t kDialogProperty[] = L"Kestrum.Dialog";

// One modal dialog in progress: its framework object and the dialog manager's own window
// procedure, which does the default processing of what the framework leaves alone.
struct SDialogHook {
    CDialog* pDialog = nullptr;
    WNDPROC pfnDialogManager = nullptr;
};

SDialogHook* HookOf(HWND hWnd) {
    return hWnd != nullptr ? static_cast<SDialogHook*>(::GetPropW(hWnd, kDialogProperty)) : nullptr;
}

LRESULT CALLBACK DialogWndProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    SDialogHook* pHook = HookOf(hWnd);
    if (pHook == nullptr) {
        return ::DefDlgProcW(hWnd, nMsg, wParam, lParam);
    }
    if (nMsg == WM_NCDESTROY) {
        // The last message the window gets: give the window back to the dialog manager and
        // forget the framework object, which outlives the window.
        const WNDPROC pfnDialogManager = pHook->pfnDialogManager;
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pfnDialogManager));
        ::RemovePropW(hWnd, kDialogProperty);
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
        return ::CallWindowProcW(pfnDialogManager, hWnd, nMsg, wParam, lParam);
    }
    return pHook->pDialog->WindowProc(nMsg, wParam, lParam);
}

// The dialog procedure proper only takes WM_INITDIALOG, the first message after the controls
// exist: there the window is subclassed and the framework set up. Every later message reaches
// the framework through DialogWndProc; whatever the framework passes on to default processing
// comes back here through the dialog manager and is answered FALSE ("not handled").
INT_PTR CALLBACK DialogProc(HWND hDlg, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    if (nMsg != WM_INITDIALOG || HookOf(hDlg) != nullptr) {
        return FALSE;
    }
    auto* pHook = reinterpret_cast<SDialogHook*>(lParam);
    ::SetPropW(hDlg, kDialogProperty, pHook);
    ::SetWindowLongPtrW(hDlg, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pHook->pDialog));
    pHook->pfnDialogManager = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hDlg, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DialogWndProc)));
    pHook->pDialog->Attach(hDlg);

    // The system sent WM_CREATE before the dialog procedure existed; the framework's classes
    // record their window there, so they get it now, with the window's real creation record.
    CREATESTRUCTW create{};
    create.hInstance = Instance();
    create.hwndParent = ::GetParent(hDlg);
    create.style = static_cast<LONG>(::GetWindowLongPtrW(hDlg, GWL_STYLE));
    create.dwExStyle = static_cast<DWORD>(::GetWindowLongPtrW(hDlg, GWL_EXSTYLE));
    RECT rect{};
    ::GetWindowRect(hDlg, &rect);
    create.x = rect.left;
    create.y = rect.top;
    create.cx = rect.right - rect.left;
    create.cy = rect.bottom - rect.top;
    if (pHook->pDialog->WindowProc(WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        ::EndDialog(hDlg, -1);
        return FALSE;
    }
    // TRUE from the set-up lets the dialog manager put the focus on the first control.
    return pHook->pDialog->WindowProc(WM_INITDIALOG, wParam, 0) != 0 ? TRUE : FALSE;
}

// BeginPaint's record lives until EndPaint; paints nest at most through a message sent while
// painting, so a few per thread are enough. Plain data: with MinGW's emulated TLS a thread_local
// object with a destructor can be destroyed on freed storage when its thread ends.
struct SPaint {
    HWND hWnd;
    PAINTSTRUCT paint;
};
constexpr std::size_t kMaxNestedPaints = 8;
thread_local SPaint t_paints[kMaxNestedPaints];
thread_local std::size_t t_nPaints = 0;

}  // namespace

CWin32Backend& Win32Backend() {
    static CWin32Backend s_backend;
    return s_backend;
}

BOOL CWin32Backend::InitCommonControls(DWORD dwClasses) {
    INITCOMMONCONTROLSEX init{};
    init.dwSize = sizeof init;
    init.dwICC = dwClasses;
    return ::InitCommonControlsEx(&init);
}

WString CWin32Backend::GetAppName() {
    std::vector<wchar_t> path(MAX_PATH);
    DWORD nLength = 0;
    for (;;) {
        nLength = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (nLength == 0) {
            return WString();
        }
        if (nLength < path.size()) {
            break;
        }
        // Truncated: a longer path than MAX_PATH (an extended-length install folder).
        path.resize(path.size() * 2);
    }
    WString strName(reinterpret_cast<const WChar*>(path.data()), nLength);
    const std::size_t nSlash = strName.find_last_of(u"\\/");
    if (nSlash != WString::npos) {
        strName.erase(0, nSlash + 1);
    }
    const std::size_t nDot = strName.rfind(u'.');
    if (nDot != WString::npos && nDot != 0) {
        strName.erase(nDot);
    }
    return strName;
}

INT_PTR CWin32Backend::RunModalDialog(CDialog& dialog, UINT nIDTemplate, HWND hParent) {
    SDialogHook hook;
    hook.pDialog = &dialog;
    return ::DialogBoxParamW(Instance(), ResourceId(nIDTemplate), hParent, &DialogProc,
                             reinterpret_cast<LPARAM>(&hook));
}

void CWin32Backend::EndDialog(HWND hDlg, INT_PTR nResult) { ::EndDialog(hDlg, nResult); }

HWND CWin32Backend::GetDlgItem(HWND hDlg, int nID) { return ::GetDlgItem(hDlg, nID); }

int CWin32Backend::GetDlgCtrlID(HWND hWnd) { return ::GetDlgCtrlID(hWnd); }

LRESULT CWin32Backend::DefWindowProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    // A running dialog: the dialog manager's processing (minimise, WM_CLOSE -> IDCANCEL,
    // painting, keyboard navigation). It asks DialogProc first, which declines.
    if (const SDialogHook* pHook = HookOf(hWnd)) {
        return ::CallWindowProcW(pHook->pfnDialogManager, hWnd, nMsg, wParam, lParam);
    }
    return ::DefWindowProcW(hWnd, nMsg, wParam, lParam);
}

LRESULT CWin32Backend::SendMessage(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    return ::SendMessageW(hWnd, nMsg, wParam, lParam);
}

BOOL CWin32Backend::ShowWindow(HWND hWnd, int nCmdShow) { return ::ShowWindow(hWnd, nCmdShow); }

BOOL CWin32Backend::IsWindowVisible(HWND hWnd) { return ::IsWindowVisible(hWnd); }

BOOL CWin32Backend::IsIconic(HWND hWnd) { return ::IsIconic(hWnd); }

BOOL CWin32Backend::EnableWindow(HWND hWnd, BOOL bEnable) { return ::EnableWindow(hWnd, bEnable); }

BOOL CWin32Backend::IsWindowEnabled(HWND hWnd) { return ::IsWindowEnabled(hWnd); }

void CWin32Backend::SetWindowText(HWND hWnd, const WChar* pszText) {
    ::SetWindowTextW(hWnd, Api(pszText));
}

int CWin32Backend::GetWindowText(HWND hWnd, WChar* pszBuffer, int nMaxCount) {
    if (pszBuffer == nullptr || nMaxCount <= 0) {
        return 0;
    }
    pszBuffer[0] = 0;
    return ::GetWindowTextW(hWnd, Api(pszBuffer), nMaxCount);
}

HWND CWin32Backend::SetFocus(HWND hWnd) { return ::SetFocus(hWnd); }

HWND CWin32Backend::GetFocus() { return ::GetFocus(); }

void CWin32Backend::SetIcon(HWND hWnd, HICON hIcon, BOOL bBigIcon) {
    ::SendMessageW(hWnd, WM_SETICON, bBigIcon != FALSE ? ICON_BIG : ICON_SMALL,
                   reinterpret_cast<LPARAM>(hIcon));
}

BOOL CWin32Backend::GetClientRect(HWND hWnd, RECT& rect) { return ::GetClientRect(hWnd, &rect); }

BOOL CWin32Backend::ClientToScreen(HWND hWnd, POINT& point) {
    return ::ClientToScreen(hWnd, &point);
}

BOOL CWin32Backend::GetCursorPos(POINT& point) { return ::GetCursorPos(&point); }

int CWin32Backend::GetSystemMetrics(int nIndex) { return ::GetSystemMetrics(nIndex); }

HDC CWin32Backend::BeginPaint(HWND hWnd) {
    if (t_nPaints == kMaxNestedPaints) {
        return nullptr;
    }
    SPaint& entry = t_paints[t_nPaints];
    entry.hWnd = hWnd;
    entry.paint = PAINTSTRUCT{};
    HDC hDC = ::BeginPaint(hWnd, &entry.paint);
    if (hDC != nullptr) {
        ++t_nPaints;
    }
    return hDC;
}

void CWin32Backend::EndPaint(HWND hWnd, HDC hDC) {
    // The innermost paint ends first.
    if (t_nPaints > 0 && t_paints[t_nPaints - 1].hWnd == hWnd &&
        t_paints[t_nPaints - 1].paint.hdc == hDC) {
        --t_nPaints;
        ::EndPaint(hWnd, &t_paints[t_nPaints].paint);
    }
}

BOOL CWin32Backend::DrawIcon(HDC hDC, int x, int y, HICON hIcon) {
    return ::DrawIcon(hDC, x, y, hIcon);
}

DWORD CWin32Backend::ListSetExtendedStyle(HWND hList, DWORD dwExStyle) {
    // Mask 0: the whole extended style is replaced, as ListView_SetExtendedListViewStyle does.
    return static_cast<DWORD>(
        ::SendMessageW(hList, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(dwExStyle)));
}

int CWin32Backend::ListInsertColumn(HWND hList, int nCol, const WChar* pszHeading, int nFormat,
                                    int nWidth) {
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_TEXT;
    column.fmt = nFormat;
    column.pszText = const_cast<wchar_t*>(Api(pszHeading));
    if (nWidth != -1) {
        column.mask |= LVCF_WIDTH;
        column.cx = nWidth;
    }
    return static_cast<int>(::SendMessageW(hList, LVM_INSERTCOLUMNW, static_cast<WPARAM>(nCol),
                                           reinterpret_cast<LPARAM>(&column)));
}

int CWin32Backend::ListInsertItem(HWND hList, int nItem, const WChar* pszText) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = nItem;
    item.pszText = const_cast<wchar_t*>(Api(pszText));
    return static_cast<int>(
        ::SendMessageW(hList, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

BOOL CWin32Backend::ListSetItemText(HWND hList, int nItem, int nSubItem, const WChar* pszText) {
    LVITEMW item{};
    item.iSubItem = nSubItem;
    item.pszText = const_cast<wchar_t*>(Api(pszText));
    return static_cast<BOOL>(::SendMessageW(hList, LVM_SETITEMTEXTW, static_cast<WPARAM>(nItem),
                                            reinterpret_cast<LPARAM>(&item)));
}

int CWin32Backend::ListGetItemText(HWND hList, int nItem, int nSubItem, WChar* pszBuffer,
                                   int nLen) {
    if (pszBuffer == nullptr || nLen <= 0) {
        return 0;
    }
    pszBuffer[0] = 0;
    LVITEMW item{};
    item.iSubItem = nSubItem;
    item.pszText = Api(pszBuffer);
    item.cchTextMax = nLen;
    return static_cast<int>(::SendMessageW(hList, LVM_GETITEMTEXTW, static_cast<WPARAM>(nItem),
                                           reinterpret_cast<LPARAM>(&item)));
}

int CWin32Backend::ListGetItemCount(HWND hList) {
    return static_cast<int>(::SendMessageW(hList, LVM_GETITEMCOUNT, 0, 0));
}

BOOL CWin32Backend::ListGetCheck(HWND hList, int nItem) {
    // State image 1 is the empty box, 2 the ticked one; 0 (no image) counts as not ticked.
    const UINT nState = ListGetItemState(hList, nItem, LVIS_STATEIMAGEMASK);
    return (nState & LVIS_STATEIMAGEMASK) >> 12 == 2 ? TRUE : FALSE;
}

BOOL CWin32Backend::ListSetCheck(HWND hList, int nItem, BOOL bCheck) {
    const UINT nImage = bCheck != FALSE ? 2u : 1u;
    return ListSetItemState(hList, nItem, nImage << 12, LVIS_STATEIMAGEMASK);
}

BOOL CWin32Backend::ListSetItemState(HWND hList, int nItem, UINT nState, UINT nMask) {
    LVITEMW item{};
    item.state = nState;
    item.stateMask = nMask;
    return static_cast<BOOL>(::SendMessageW(hList, LVM_SETITEMSTATE, static_cast<WPARAM>(nItem),
                                            reinterpret_cast<LPARAM>(&item)));
}

UINT CWin32Backend::ListGetItemState(HWND hList, int nItem, UINT nMask) {
    return static_cast<UINT>(::SendMessageW(hList, LVM_GETITEMSTATE, static_cast<WPARAM>(nItem),
                                            static_cast<LPARAM>(nMask)));
}

int CWin32Backend::ListGetTopIndex(HWND hList) {
    return static_cast<int>(::SendMessageW(hList, LVM_GETTOPINDEX, 0, 0));
}

BOOL CWin32Backend::ListScroll(HWND hList, int dx, int dy) {
    return static_cast<BOOL>(
        ::SendMessageW(hList, LVM_SCROLL, static_cast<WPARAM>(dx), static_cast<LPARAM>(dy)));
}

BOOL CWin32Backend::ListGetItemRect(HWND hList, int nItem, RECT& rect, int nCode) {
    // The list view reads the wanted part from left and may write the rectangle even when it
    // fails; the caller's rectangle is only touched on success.
    RECT itemRect{};
    itemRect.left = nCode;
    if (::SendMessageW(hList, LVM_GETITEMRECT, static_cast<WPARAM>(nItem),
                       reinterpret_cast<LPARAM>(&itemRect)) == 0) {
        return FALSE;
    }
    rect = itemRect;
    return TRUE;
}

int CWin32Backend::ComboAddString(HWND hCombo, const WChar* pszText) {
    return static_cast<int>(
        ::SendMessageW(hCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Api(pszText))));
}

int CWin32Backend::ComboGetCurSel(HWND hCombo) {
    return static_cast<int>(::SendMessageW(hCombo, CB_GETCURSEL, 0, 0));
}

int CWin32Backend::ComboSetCurSel(HWND hCombo, int nIndex) {
    return static_cast<int>(::SendMessageW(hCombo, CB_SETCURSEL, static_cast<WPARAM>(nIndex), 0));
}

HMENU CWin32Backend::LoadMenu(UINT nIDResource) {
    return ::LoadMenuW(Instance(), ResourceId(nIDResource));
}

HMENU CWin32Backend::GetSubMenu(HMENU hMenu, int nPos) { return ::GetSubMenu(hMenu, nPos); }

BOOL CWin32Backend::DestroyMenu(HMENU hMenu) { return ::DestroyMenu(hMenu); }

HMENU CWin32Backend::GetSystemMenu(HWND hWnd) { return ::GetSystemMenu(hWnd, FALSE); }

BOOL CWin32Backend::AppendMenu(HMENU hMenu, UINT nFlags, UINT_PTR nIDNewItem,
                               const WChar* pszNewItem) {
    return ::AppendMenuW(hMenu, nFlags, nIDNewItem, Api(pszNewItem));
}

BOOL CWin32Backend::TrackPopupMenu(HMENU hMenu, UINT nFlags, int x, int y, HWND hOwner) {
    // A pop-up for a notification icon only closes on a click elsewhere when its owner is the
    // foreground window; the empty message afterwards lets the next pop-up open at once.
    ::SetForegroundWindow(hOwner);
    const BOOL bResult = ::TrackPopupMenu(hMenu, nFlags, x, y, 0, hOwner, nullptr);
    ::PostMessageW(hOwner, WM_NULL, 0, 0);
    return bResult;
}

BOOL CWin32Backend::SetMenuDefaultItem(HMENU hMenu, UINT nItem, UINT fByPos) {
    return ::SetMenuDefaultItem(hMenu, nItem, fByPos);
}

HICON CWin32Backend::LoadIcon(UINT nIDResource) {
    return ::LoadIconW(Instance(), ResourceId(nIDResource));
}

int CWin32Backend::LoadString(UINT nID, WChar* pszBuffer, int nMaxCount) {
    // A count of 0 would ask for a pointer into the resource instead of a copy.
    if (pszBuffer == nullptr || nMaxCount <= 0) {
        return 0;
    }
    pszBuffer[0] = 0;
    return ::LoadStringW(Instance(), nID, Api(pszBuffer), nMaxCount);
}

int CWin32Backend::MessageBox(HWND hOwner, const WChar* pszText, const WChar* pszCaption,
                              UINT nType) {
    return ::MessageBoxW(hOwner, Api(pszText), Api(pszCaption), nType);
}

int CWin32Backend::MessageBoxA(HWND hOwner, const char* pszText, const char* pszCaption,
                               UINT nType) {
    return ::MessageBoxA(hOwner, pszText, pszCaption, nType);
}

void CWin32Backend::OleInitialize() { static_cast<void>(::OleInitialize(nullptr)); }

void CWin32Backend::OleUninitialize() { ::OleUninitialize(); }

EFolderChoice CWin32Backend::BrowseForFolder(const WChar* pszTitle, UINT nFlags, WChar* pszPath) {
    wchar_t szDisplayName[MAX_PATH] = {};
    BROWSEINFOW browse{};
    browse.hwndOwner = nullptr;
    browse.pidlRoot = nullptr;
    browse.pszDisplayName = szDisplayName;
    browse.lpszTitle = Api(pszTitle);
    browse.ulFlags = nFlags;
    browse.lpfn = nullptr;
    PIDLIST_ABSOLUTE pItem = ::SHBrowseForFolderW(&browse);
    if (pItem == nullptr) {
        return EFolderChoice::kCancelled;
    }
    static_assert(kMaxPath == MAX_PATH, "the path buffer is the shell's");
    wchar_t szPath[MAX_PATH] = {};
    const BOOL bPath = ::SHGetPathFromIDListW(pItem, szPath);
    ::CoTaskMemFree(pItem);
    if (bPath == FALSE) {
        return EFolderChoice::kNoPath;
    }
    if (pszPath != nullptr) {
        WCopyBounded(pszPath, kMaxPath, WStringView(reinterpret_cast<const WChar*>(szPath)));
    }
    return EFolderChoice::kChosen;
}

BOOL CWin32Backend::ShellNotifyIcon(DWORD dwMessage, NOTIFYICONDATAW& data) {
    return ::Shell_NotifyIconW(dwMessage, &data);
}

void CWin32Backend::ShellExecute(HWND hWnd, const WChar* pszVerb, const WChar* pszFile,
                                 int nShowCmd) {
    ::ShellExecuteW(hWnd, Api(pszVerb), Api(pszFile), nullptr, nullptr, nShowCmd);
}
