// The Win32 backend: every framework operation is the Windows call of the same name. Dialogs are
// run by the system's dialog manager and subclassed, as MFC does, so that the framework sees
// every message first and hands back to the dialog manager what it does not handle itself.
#include "ui/win32/Win32Backend.h"

#include <commdlg.h>

#include <algorithm>
#include <cstddef>
#include <cwchar>
#include <vector>

#include "ui/Dialog.h"

static_assert(sizeof(wchar_t) == sizeof(WChar), "Windows wide text is UTF-16");

namespace {

// Program text and Windows wide text are the same UTF-16 code units under two type names.
const wchar_t* Api(const WChar* pszText) { return reinterpret_cast<const wchar_t*>(pszText); }
wchar_t* Api(WChar* pszText) { return reinterpret_cast<wchar_t*>(pszText); }

HINSTANCE Instance() { return ::GetModuleHandleW(nullptr); }

// Text in the system's ANSI code page as UTF-16.
WString AnsiText(const char* pszText) {
    if (pszText == nullptr) {
        return WString();
    }
    const int nLength = ::MultiByteToWideChar(CP_ACP, 0, pszText, -1, nullptr, 0);
    if (nLength <= 1) {
        return WString();
    }
    std::vector<wchar_t> text(static_cast<std::size_t>(nLength));
    ::MultiByteToWideChar(CP_ACP, 0, pszText, -1, text.data(), nLength);
    return WString(reinterpret_cast<const WChar*>(text.data()));
}

// The layouts' own scale: column widths and icon sizes are given for it.
constexpr UINT kBaseDpi = 96;

// A function of a system DLL that older systems lack, or nullptr. The detour through a function
// without parameters is the cast the compiler accepts between function types.
template <typename TFunction>
TFunction SystemFunction(const wchar_t* pszModule, const char* pszName) {
    HMODULE hModule = ::GetModuleHandleW(pszModule);
    const FARPROC pfn = hModule != nullptr ? ::GetProcAddress(hModule, pszName) : nullptr;
    return reinterpret_cast<TFunction>(reinterpret_cast<void (*)()>(pfn));
}

// The screen's device context for as long as the object lives.
class CScreenDC {
public:
    CScreenDC() : m_hDC(::GetDC(nullptr)) {}
    ~CScreenDC() {
        if (m_hDC != nullptr) {
            ::ReleaseDC(nullptr, m_hDC);
        }
    }
    CScreenDC(const CScreenDC&) = delete;
    CScreenDC& operator=(const CScreenDC&) = delete;
    HDC Get() const { return m_hDC; }

private:
    HDC m_hDC;
};

// A font made for a measurement, deleted with the object.
class CFontHandle {
public:
    explicit CFontHandle(const LOGFONTW& font) : m_hFont(::CreateFontIndirectW(&font)) {}
    ~CFontHandle() {
        if (m_hFont != nullptr) {
            ::DeleteObject(m_hFont);
        }
    }
    CFontHandle(const CFontHandle&) = delete;
    CFontHandle& operator=(const CFontHandle&) = delete;
    HFONT Get() const { return m_hFont; }

private:
    HFONT m_hFont;
};

// The DPI of the whole system: what every window is shown at where Windows has no DPI per
// monitor (before Windows 10 1607).
UINT SystemDpi() {
    const CScreenDC screen;
    const int nDpi = screen.Get() != nullptr ? ::GetDeviceCaps(screen.Get(), LOGPIXELSX) : 0;
    return nDpi > 0 ? static_cast<UINT>(nDpi) : kBaseDpi;
}

// The DPI a window is shown at: its monitor's (GetDpiForWindow), else the system's.
UINT DpiOf(HWND hWnd) {
    using PfnGetDpiForWindow = UINT(WINAPI*)(HWND);
    static const auto s_pfnGetDpiForWindow =
        SystemFunction<PfnGetDpiForWindow>(L"user32.dll", "GetDpiForWindow");
    if (s_pfnGetDpiForWindow != nullptr && hWnd != nullptr) {
        if (const UINT nDpi = s_pfnGetDpiForWindow(hWnd); nDpi != 0) {
            return nDpi;
        }
    }
    return SystemDpi();
}

// A system metric (an icon size) at a DPI: GetSystemMetricsForDpi, else the system's metric
// scaled from the system DPI.
int MetricForDpi(int nIndex, UINT nDpi) {
    using PfnGetSystemMetricsForDpi = int(WINAPI*)(int, UINT);
    static const auto s_pfnMetricForDpi =
        SystemFunction<PfnGetSystemMetricsForDpi>(L"user32.dll", "GetSystemMetricsForDpi");
    if (s_pfnMetricForDpi != nullptr) {
        return s_pfnMetricForDpi(nIndex, nDpi);
    }
    return ::MulDiv(::GetSystemMetrics(nIndex), static_cast<int>(nDpi),
                    static_cast<int>(SystemDpi()));
}

// The dialog manager lays a template out by its font's average character width, which grows a
// little less or more than the DPI as the font's metrics round. Widths Kestrum gives in 96-DPI
// pixels follow that same scale, so that they keep their share of the controls: the control's
// font's average width now over its width at 96 DPI (the DPI's ratio when it has no font).
double LayoutScale(HWND hWnd) {
    const UINT nDpi = DpiOf(hWnd);
    const double dpiScale = static_cast<double>(nDpi) / kBaseDpi;
    auto hFont = reinterpret_cast<HFONT>(::SendMessageW(hWnd, WM_GETFONT, 0, 0));
    LOGFONTW font{};
    if (hFont == nullptr || ::GetObjectW(hFont, sizeof font, &font) == 0 || font.lfHeight == 0) {
        return dpiScale;
    }
    const auto AverageWidth = [&font](LONG nHeight) {
        LOGFONTW sized = font;
        sized.lfHeight = nHeight;
        sized.lfWidth = 0;
        const CFontHandle measured(sized);
        const CScreenDC screen;
        if (measured.Get() == nullptr || screen.Get() == nullptr) {
            return LONG{0};
        }
        HGDIOBJ hOld = ::SelectObject(screen.Get(), measured.Get());
        SIZE size{};
        ::GetTextExtentPoint32W(screen.Get(),
                                L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &size);
        ::SelectObject(screen.Get(), hOld);
        return (size.cx / 26 + 1) / 2;  // as the dialog manager rounds it
    };
    const LONG nNow = AverageWidth(font.lfHeight);
    const LONG nAt96 =
        AverageWidth(::MulDiv(font.lfHeight, static_cast<int>(kBaseDpi), static_cast<int>(nDpi)));
    return nNow > 0 && nAt96 > 0 ? static_cast<double>(nNow) / nAt96 : dpiScale;
}

bool IsListView(HWND hWnd) {
    wchar_t szClass[16] = {};
    ::GetClassNameW(hWnd, szClass, 16);
    return ::lstrcmpiW(szClass, WC_LISTVIEWW) == 0;
}

// Widens or narrows every column of the dialog's list views from one DPI to another: the list
// view keeps its columns' pixel widths when its window is scaled.
void ScaleListColumns(HWND hDlg, UINT nFromDpi, UINT nToDpi) {
    for (HWND hChild = ::GetWindow(hDlg, GW_CHILD); hChild != nullptr;
         hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
        if (!IsListView(hChild)) {
            continue;
        }
        const auto hHeader = reinterpret_cast<HWND>(::SendMessageW(hChild, LVM_GETHEADER, 0, 0));
        const auto nColumns = static_cast<int>(::SendMessageW(hHeader, HDM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < nColumns; ++i) {
            const auto nWidth = static_cast<int>(
                ::SendMessageW(hChild, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(i), 0));
            ::SendMessageW(
                hChild, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(i),
                MAKELPARAM(::MulDiv(nWidth, static_cast<int>(nToDpi), static_cast<int>(nFromDpi)),
                           0));
        }
    }
}

// MAKEINTRESOURCEW without the C-style cast of the macro.
LPCWSTR ResourceId(UINT nID) {
    return reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(nID)));
}

// Dialog templates are laid out for "MS Shell Dlg" as Windows resolves it (Microsoft Sans
// Serif). Where the system puts a wider face in its place (Tahoma under Wine), a one-line label
// can overrun its box by a few pixels and wrap, and its second line is cut off. Such a label is
// widened into the free space to its right, as far as the next control on its line; if that is
// not enough it stays on one line (the overrun is cut, not the second half). Nothing moves, no
// neighbour is covered, and where the text fits nothing changes at all.
bool IsLeftLabel(HWND hWnd) {
    wchar_t szClass[16] = {};
    ::GetClassNameW(hWnd, szClass, 16);
    const auto dwStyle = static_cast<DWORD>(::GetWindowLongPtrW(hWnd, GWL_STYLE));
    return ::lstrcmpiW(szClass, L"Static") == 0 && (dwStyle & SS_TYPEMASK) == SS_LEFT;
}

bool IsGroupBox(HWND hWnd) {
    wchar_t szClass[16] = {};
    ::GetClassNameW(hWnd, szClass, 16);
    const auto dwStyle = static_cast<DWORD>(::GetWindowLongPtrW(hWnd, GWL_STYLE));
    return ::lstrcmpiW(szClass, L"Button") == 0 && (dwStyle & BS_TYPEMASK) == BS_GROUPBOX;
}

RECT ChildRect(HWND hDlg, HWND hChild) {
    RECT rect{};
    ::GetWindowRect(hChild, &rect);
    ::MapWindowPoints(nullptr, hDlg, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Width of the label's text on one line, in its own font.
LONG OneLineWidth(HWND hLabel, const wchar_t* pszText, int nLength) {
    HDC hDC = ::GetDC(hLabel);
    if (hDC == nullptr) {
        return 0;
    }
    auto hFont = reinterpret_cast<HFONT>(::SendMessageW(hLabel, WM_GETFONT, 0, 0));
    HGDIOBJ hOldFont = hFont != nullptr ? ::SelectObject(hDC, hFont) : nullptr;
    const auto dwStyle = static_cast<DWORD>(::GetWindowLongPtrW(hLabel, GWL_STYLE));
    RECT text{};
    ::DrawTextW(hDC, pszText, nLength, &text,
                DT_SINGLELINE | DT_CALCRECT | DT_EXPANDTABS |
                    ((dwStyle & SS_NOPREFIX) != 0 ? DT_NOPREFIX : 0u));
    if (hOldFont != nullptr) {
        ::SelectObject(hDC, hOldFont);
    }
    ::ReleaseDC(hLabel, hDC);
    return text.right - text.left;
}

void KeepLabelsOnOneLine(HWND hDlg) {
    RECT client{};
    ::GetClientRect(hDlg, &client);
    for (HWND hLabel = ::GetWindow(hDlg, GW_CHILD); hLabel != nullptr;
         hLabel = ::GetWindow(hLabel, GW_HWNDNEXT)) {
        wchar_t szText[256] = {};
        const int nLength = ::GetWindowTextW(hLabel, szText, 256);
        if (nLength <= 0 || !IsLeftLabel(hLabel) || std::wcspbrk(szText, L"\r\n") != nullptr) {
            continue;
        }
        const RECT rect = ChildRect(hDlg, hLabel);
        const LONG nNeeded = OneLineWidth(hLabel, szText, nLength);
        if (nNeeded <= rect.right - rect.left) {
            continue;
        }
        // The free space ends at the nearest control to the right that shares any of the
        // label's rows (group boxes frame everything and do not count).
        LONG nFreeRight = client.right;
        for (HWND hOther = ::GetWindow(hDlg, GW_CHILD); hOther != nullptr;
             hOther = ::GetWindow(hOther, GW_HWNDNEXT)) {
            if (hOther == hLabel || IsGroupBox(hOther)) {
                continue;
            }
            const RECT other = ChildRect(hDlg, hOther);
            if (other.top < rect.bottom && other.bottom > rect.top && other.right > rect.right) {
                nFreeRight = std::min(nFreeRight, std::max(other.left, rect.right));
            }
        }
        const LONG nWidth = std::min(nNeeded, nFreeRight - rect.left);
        if (nWidth > rect.right - rect.left) {
            ::SetWindowPos(hLabel, nullptr, 0, 0, nWidth, rect.bottom - rect.top,
                           SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        if (nWidth < nNeeded) {
            const auto dwStyle = static_cast<DWORD>(::GetWindowLongPtrW(hLabel, GWL_STYLE));
            ::SetWindowLongPtrW(hLabel, GWL_STYLE,
                                static_cast<LONG_PTR>((dwStyle & ~static_cast<DWORD>(SS_TYPEMASK)) |
                                                      SS_LEFTNOWORDWRAP));
            ::InvalidateRect(hLabel, nullptr, TRUE);
        }
    }
}

// Filling a list row by row, each insert would update the scroll bars and invalidate the list
// (40,000 songs: about 16 s under Wine). So the first change of a list's rows turns its drawing
// off until the fill is over: until the next operation that needs the list laid out (its top
// row, a scroll, a row's rectangle, the focus, showing it), or else until the dialog's message
// loop finds the message posted to the dialog at the start of the fill. What the list shows
// afterwards is the same; it is drawn once.
struct SFill {
    HWND hList;
    HWND hParent;
};

// The lists whose drawing is off. Kept in the process, not as window properties or a subclass:
// under Wine every property look-up is a round trip to the window server, dearer than the
// insert it would guard.
std::vector<SFill>& Fills() {
    static std::vector<SFill> s_fills;
    return s_fills;
}

bool IsFilling(HWND hList) {
    const std::vector<SFill>& fills = Fills();
    return std::any_of(fills.begin(), fills.end(),
                       [hList](const SFill& fill) { return fill.hList == hList; });
}

// Posted to the list's dialog at the start of a fill, with the list in lParam.
UINT EndFillMessage() {
    static const UINT s_nMessage = ::RegisterWindowMessageW(L"Kestrum.EndListFill");
    return s_nMessage;
}

void BeginListFill(HWND hList) {
    if (hList == nullptr || IsFilling(hList)) {
        return;
    }
    HWND hParent = ::GetParent(hList);
    Fills().push_back({hList, hParent});
    ::SendMessageW(hList, WM_SETREDRAW, FALSE, 0);
    ::PostMessageW(hParent, EndFillMessage(), 0, reinterpret_cast<LPARAM>(hList));
}

void EndListFill(HWND hList) {
    if (hList == nullptr || !IsFilling(hList)) {
        return;
    }
    std::erase_if(Fills(), [hList](const SFill& fill) { return fill.hList == hList; });
    ::SendMessageW(hList, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(hList, nullptr, TRUE);
}

// A dialog going away takes its lists with it; their handles may be given to new windows.
void ForgetFills(HWND hParent) {
    std::erase_if(Fills(), [hParent](const SFill& fill) { return fill.hParent == hParent; });
}

// One modal dialog in progress: its framework object and the dialog manager's own window
// procedure, which does the default processing of what the framework leaves alone.
struct SDialogHook {
    CDialog* pDialog = nullptr;
    WNDPROC pfnDialogManager = nullptr;
    // For the test hooks: which dialog, whether it has been reported shown, and what was last
    // reported of its window.
    SUiTestHooks* pHooks = nullptr;
    UINT nIDTemplate = 0;
    HWND hDlg = nullptr;
    bool bShown = false;
    bool bEnding = false;
    bool bVisible = false;
    bool bMinimized = false;
    // The DPI the dialog's own sizes (its list columns) were last made for.
    UINT nDpi = 0;
};

// A dialog moved to a monitor of another scale: the system suggests the rectangle that keeps
// its size in proportion and (per-monitor v2) has scaled its controls and fonts; what Kestrum
// sized itself, the list columns and the window's icons, follows.
void FollowDpiChange(SDialogHook& hook, WPARAM wParam, LPARAM lParam) {
    const UINT nDpi = LOWORD(wParam);
    const auto* pSuggested = reinterpret_cast<const RECT*>(lParam);
    if (pSuggested != nullptr) {
        ::SetWindowPos(hook.hDlg, nullptr, pSuggested->left, pSuggested->top,
                       pSuggested->right - pSuggested->left, pSuggested->bottom - pSuggested->top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (nDpi != 0 && hook.nDpi != 0 && nDpi != hook.nDpi) {
        ScaleListColumns(hook.hDlg, hook.nDpi, nDpi);
        Win32Backend().RescaleWindowIcons(hook.hDlg, nDpi);
    }
    hook.nDpi = nDpi != 0 ? nDpi : hook.nDpi;
}

// The timer that tells a tested dialog's first idle moment: timers come due only once the
// queue holds nothing else, so by then the dialog manager has shown a dialog that did not show
// itself.
constexpr UINT_PTR kShownTimer = 0x4B53;

// Reports a change of a shown dialog's window to the test hooks.
void ReportWindowState(SDialogHook& hook) {
    if (hook.pHooks == nullptr || !hook.bShown || hook.bEnding || !hook.pHooks->windowChanged) {
        return;
    }
    const bool bVisible = ::IsWindowVisible(hook.hDlg) != FALSE;
    const bool bMinimized = ::IsIconic(hook.hDlg) != FALSE;
    if (bVisible != hook.bVisible || bMinimized != hook.bMinimized) {
        hook.bVisible = bVisible;
        hook.bMinimized = bMinimized;
        hook.pHooks->windowChanged(hook.hDlg, hook.nIDTemplate, bVisible, bMinimized);
    }
}

// The first idle moment of a tested dialog: once it shows, the hook runs (from inside the
// modal loop, for as long as it likes).
void OnShownTimer(SDialogHook& hook) {
    if (hook.bEnding) {
        ::KillTimer(hook.hDlg, kShownTimer);
        return;
    }
    if (::IsWindowVisible(hook.hDlg) == FALSE) {
        return;  // the dialog manager shows it after this message
    }
    ::KillTimer(hook.hDlg, kShownTimer);
    hook.bShown = true;
    hook.bVisible = true;
    hook.bMinimized = ::IsIconic(hook.hDlg) != FALSE;
    hook.pHooks->dialogShown(hook.hDlg, hook.nIDTemplate);
}

LRESULT CALLBACK DialogWndProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam);

// The running dialog a window is, if any: a window whose procedure is ours keeps its hook in its
// user data. Read from the window itself rather than a window property, because this runs for
// every message a dialog gets (the list's notifications among them), and under Wine each
// property look-up is a round trip to the window server.
SDialogHook* HookOf(HWND hWnd) {
    if (hWnd == nullptr ||
        reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hWnd, GWLP_WNDPROC)) != &DialogWndProc) {
        return nullptr;
    }
    return reinterpret_cast<SDialogHook*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
}

LRESULT CALLBACK DialogWndProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    // This is the window's procedure, so its user data is the hook (set before the procedure).
    auto* pHook = reinterpret_cast<SDialogHook*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (pHook == nullptr) {
        return ::DefDlgProcW(hWnd, nMsg, wParam, lParam);
    }
    if (nMsg == EndFillMessage()) {
        EndListFill(reinterpret_cast<HWND>(lParam));
        return 0;
    }
    if (nMsg == WM_NCDESTROY) {
        ForgetFills(hWnd);
        // The last message the window gets: give the window back to the dialog manager and
        // forget the framework object, which outlives the window.
        const WNDPROC pfnDialogManager = pHook->pfnDialogManager;
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pfnDialogManager));
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
        return ::CallWindowProcW(pfnDialogManager, hWnd, nMsg, wParam, lParam);
    }
    if (nMsg == WM_DPICHANGED) {
        // The framework and the dialog manager first, then the window goes where it should.
        const LRESULT nResult = pHook->pDialog->WindowProc(nMsg, wParam, lParam);
        FollowDpiChange(*pHook, wParam, lParam);
        return nResult;
    }
    if (pHook->pHooks == nullptr) {
        return pHook->pDialog->WindowProc(nMsg, wParam, lParam);
    }
    if (nMsg == WM_TIMER && wParam == kShownTimer) {
        OnShownTimer(*pHook);
        return 0;
    }
    const LRESULT nResult = pHook->pDialog->WindowProc(nMsg, wParam, lParam);
    ReportWindowState(*pHook);
    return nResult;
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
    ::SetWindowLongPtrW(hDlg, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pHook));
    pHook->pfnDialogManager = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hDlg, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DialogWndProc)));
    pHook->hDlg = hDlg;
    pHook->nDpi = DpiOf(hDlg);
    pHook->pDialog->Attach(hDlg);
    KeepLabelsOnOneLine(hDlg);

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
    const BOOL bFocus = pHook->pDialog->WindowProc(WM_INITDIALOG, wParam, 0) != 0 ? TRUE : FALSE;
    if (pHook->pHooks != nullptr && !pHook->bEnding) {
        ::SetTimer(hDlg, kShownTimer, USER_TIMER_MINIMUM, nullptr);
    }
    return bFocus;
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

// ITaskbarList3 and the COM apartment it needs, on the thread that made them; both go with it.
class CWin32Backend::CTaskbarList {
public:
    CTaskbarList() : m_dwThread(::GetCurrentThreadId()) {
        // A thread already in an apartment keeps it (and its own count of them).
        m_bUninitialize = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        void* pList = nullptr;
        if (SUCCEEDED(::CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_ITaskbarList3, &pList)) &&
            pList != nullptr) {
            m_pList = static_cast<ITaskbarList3*>(pList);
            if (FAILED(m_pList->HrInit())) {
                m_pList->Release();
                m_pList = nullptr;
            }
        }
    }
    ~CTaskbarList() {
        if (m_pList != nullptr) {
            m_pList->Release();
        }
        if (m_bUninitialize) {
            ::CoUninitialize();
        }
    }
    CTaskbarList(const CTaskbarList&) = delete;
    CTaskbarList& operator=(const CTaskbarList&) = delete;

    ITaskbarList3* Get() const { return m_pList; }
    DWORD Thread() const { return m_dwThread; }

private:
    DWORD m_dwThread;
    bool m_bUninitialize = false;
    ITaskbarList3* m_pList = nullptr;
};

CWin32Backend::CWin32Backend() = default;

void CWin32Backend::SIconDestroyer::operator()(HICON hIcon) const { ::DestroyIcon(hIcon); }

CWin32Backend::~CWin32Backend() {
    // An interface of another thread's apartment may not be released from here; the process
    // is ending and takes it along.
    if (m_pTaskbar != nullptr && m_pTaskbar->Thread() != ::GetCurrentThreadId()) {
        static_cast<void>(m_pTaskbar.release());
    }
}

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
    if (m_hooks.appName.has_value()) {
        return *m_hooks.appName;
    }
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
    hook.nIDTemplate = nIDTemplate;
    if (m_hooks.dialogShown) {
        hook.pHooks = &m_hooks;
    }
    const INT_PTR nResult = ::DialogBoxParamW(Instance(), ResourceId(nIDTemplate), hParent,
                                              &DialogProc, reinterpret_cast<LPARAM>(&hook));
    if (hook.bShown && m_hooks.dialogClosed) {
        m_hooks.dialogClosed(hook.hDlg, nIDTemplate, nResult);
    }
    return nResult;
}

void CWin32Backend::EndDialog(HWND hDlg, INT_PTR nResult) {
    if (SDialogHook* pHook = HookOf(hDlg); pHook != nullptr && pHook->pHooks != nullptr) {
        // Ending hides the window; that is the dialog closing, not a change to report.
        pHook->bEnding = true;
        if (pHook->bShown && m_hooks.dialogEnding) {
            m_hooks.dialogEnding(hDlg);
        }
    }
    ::EndDialog(hDlg, nResult);
}

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

BOOL CWin32Backend::PostMessage(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    return ::PostMessageW(hWnd, nMsg, wParam, lParam);
}

BOOL CWin32Backend::ShowWindow(HWND hWnd, int nCmdShow) { return ::ShowWindow(hWnd, nCmdShow); }

BOOL CWin32Backend::IsWindowVisible(HWND hWnd) { return ::IsWindowVisible(hWnd); }

BOOL CWin32Backend::IsIconic(HWND hWnd) { return ::IsIconic(hWnd); }

BOOL CWin32Backend::EnableWindow(HWND hWnd, BOOL bEnable) { return ::EnableWindow(hWnd, bEnable); }

BOOL CWin32Backend::IsWindowEnabled(HWND hWnd) { return ::IsWindowEnabled(hWnd); }

void CWin32Backend::SetWindowText(HWND hWnd, const WChar* pszText) {
    EndListFill(hWnd);
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
    EndListFill(hWnd);
    SetIconForDpi(hWnd, hIcon, bBigIcon, DpiOf(hWnd));
}

void CWin32Backend::RescaleWindowIcons(HWND hWnd, UINT nDpi) {
    for (const WPARAM nType : {WPARAM{ICON_SMALL}, WPARAM{ICON_BIG}}) {
        const auto hIcon = reinterpret_cast<HICON>(::SendMessageW(hWnd, WM_GETICON, nType, 0));
        if (ResourceOfIcon(hIcon) != 0) {
            SetIconForDpi(hWnd, hIcon, nType == ICON_BIG ? TRUE : FALSE, nDpi);
        }
    }
}

void CWin32Backend::SetIconForDpi(HWND hWnd, HICON hIcon, BOOL bBigIcon, UINT nDpi) {
    // An icon of the program's own is given in the size the window's scale asks for, drawn
    // for it, instead of the system stretching the one LoadIcon made.
    if (const UINT nID = ResourceOfIcon(hIcon); nID != 0) {
        const int nSize = MetricForDpi(bBigIcon != FALSE ? SM_CXICON : SM_CXSMICON, nDpi);
        if (HICON hSized = SizedIcon(nID, nSize); hSized != nullptr) {
            hIcon = hSized;
        }
    }
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
        column.cx = static_cast<int>(nWidth * LayoutScale(hList) + 0.5);
    }
    return static_cast<int>(::SendMessageW(hList, LVM_INSERTCOLUMNW, static_cast<WPARAM>(nCol),
                                           reinterpret_cast<LPARAM>(&column)));
}

int CWin32Backend::ListInsertItem(HWND hList, int nItem, const WChar* pszText) {
    BeginListFill(hList);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = nItem;
    item.pszText = const_cast<wchar_t*>(Api(pszText));
    return static_cast<int>(
        ::SendMessageW(hList, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

BOOL CWin32Backend::ListSetItemText(HWND hList, int nItem, int nSubItem, const WChar* pszText) {
    BeginListFill(hList);
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
    BeginListFill(hList);
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
    EndListFill(hList);
    return static_cast<int>(::SendMessageW(hList, LVM_GETTOPINDEX, 0, 0));
}

BOOL CWin32Backend::ListScroll(HWND hList, int dx, int dy) {
    EndListFill(hList);
    return static_cast<BOOL>(
        ::SendMessageW(hList, LVM_SCROLL, static_cast<WPARAM>(dx), static_cast<LPARAM>(dy)));
}

BOOL CWin32Backend::ListGetItemRect(HWND hList, int nItem, RECT& rect, int nCode) {
    EndListFill(hList);
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

int CWin32Backend::ButtonGetCheck(HWND hButton) {
    return static_cast<int>(::SendMessageW(hButton, BM_GETCHECK, 0, 0));
}

void CWin32Backend::ButtonSetCheck(HWND hButton, int nCheck) {
    ::SendMessageW(hButton, BM_SETCHECK, static_cast<WPARAM>(nCheck), 0);
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

UINT CWin32Backend::EnableMenuItem(HMENU hMenu, UINT nIDEnableItem, UINT nEnable) {
    return static_cast<UINT>(::EnableMenuItem(hMenu, nIDEnableItem, nEnable));
}

BOOL CWin32Backend::TrackPopupMenu(HMENU hMenu, UINT nFlags, int x, int y, HWND hOwner) {
    // A pop-up for a notification icon only closes on a click elsewhere when its owner is the
    // foreground window; the empty message afterwards lets the next pop-up open at once.
    if (m_hooks.answerPopupMenu) {
        // Without TPM_RETURNCMD the menu posts the chosen command to its owner once it closes.
        const UINT nCommand = m_hooks.answerPopupMenu(hMenu, hOwner);
        if (nCommand != 0) {
            ::PostMessageW(hOwner, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(nCommand), 0), 0);
        }
        ::PostMessageW(hOwner, WM_NULL, 0, 0);
        return TRUE;
    }
    ::SetForegroundWindow(hOwner);
    const BOOL bResult = ::TrackPopupMenu(hMenu, nFlags, x, y, 0, hOwner, nullptr);
    ::PostMessageW(hOwner, WM_NULL, 0, 0);
    return bResult;
}

BOOL CWin32Backend::SetMenuDefaultItem(HMENU hMenu, UINT nItem, UINT fByPos) {
    return ::SetMenuDefaultItem(hMenu, nItem, fByPos);
}

HICON CWin32Backend::LoadIcon(UINT nIDResource) {
    HICON hIcon = ::LoadIconW(Instance(), ResourceId(nIDResource));
    if (hIcon != nullptr && ResourceOfIcon(hIcon) == 0) {
        m_loadedIcons.emplace_back(hIcon, nIDResource);
    }
    return hIcon;
}

UINT CWin32Backend::ResourceOfIcon(HICON hIcon) const {
    for (const auto& [hLoaded, nID] : m_loadedIcons) {
        if (hLoaded == hIcon) {
            return nID;
        }
    }
    for (const SSizedIcon& icon : m_sizedIcons) {
        if (icon.icon.get() == hIcon) {
            return icon.nIDResource;
        }
    }
    return 0;
}

HICON CWin32Backend::SizedIcon(UINT nIDResource, int nSize) {
    for (const SSizedIcon& icon : m_sizedIcons) {
        if (icon.nIDResource == nIDResource && icon.nSize == nSize) {
            return icon.icon.get();
        }
    }
    // The image of that size when the icon has one, else a larger one scaled down (sharper
    // than a smaller one scaled up): LoadIconWithScaleDown of the common controls 6, which the
    // import libraries may lack; LoadImageW picks the nearest image otherwise.
    using PfnLoadIconWithScaleDown = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*);
    static const auto s_pfnScaleDown =
        SystemFunction<PfnLoadIconWithScaleDown>(L"comctl32.dll", "LoadIconWithScaleDown");
    HICON hIcon = nullptr;
    if (s_pfnScaleDown == nullptr ||
        FAILED(s_pfnScaleDown(Instance(), ResourceId(nIDResource), nSize, nSize, &hIcon))) {
        hIcon = static_cast<HICON>(::LoadImageW(Instance(), ResourceId(nIDResource), IMAGE_ICON,
                                                nSize, nSize, LR_DEFAULTCOLOR));
    }
    if (hIcon == nullptr) {
        return nullptr;
    }
    m_sizedIcons.push_back(SSizedIcon{nIDResource, nSize, COwnedIcon(hIcon)});
    return hIcon;
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
    if (m_hooks.answerMessageBox) {
        return m_hooks.answerMessageBox(hOwner, pszText != nullptr ? WString(pszText) : WString(),
                                        pszCaption != nullptr ? WString(pszCaption) : u"Error",
                                        nType);
    }
    return ::MessageBoxW(hOwner, Api(pszText), Api(pszCaption), nType);
}

int CWin32Backend::MessageBoxA(HWND hOwner, const char* pszText, const char* pszCaption,
                               UINT nType) {
    if (m_hooks.answerMessageBox) {
        return MessageBox(hOwner, AnsiText(pszText).c_str(),
                          pszCaption != nullptr ? AnsiText(pszCaption).c_str() : nullptr, nType);
    }
    return ::MessageBoxA(hOwner, pszText, pszCaption, nType);
}

void CWin32Backend::OleInitialize() { static_cast<void>(::OleInitialize(nullptr)); }

void CWin32Backend::OleUninitialize() { ::OleUninitialize(); }

EFolderChoice CWin32Backend::BrowseForFolder(const WChar* pszTitle, UINT nFlags, WChar* pszPath) {
    if (m_hooks.answerFolder) {
        WString strAnswer;
        const EFolderChoice choice =
            m_hooks.answerFolder(pszTitle != nullptr ? WString(pszTitle) : WString(), strAnswer);
        if (choice != EFolderChoice::kChosen) {
            return choice;
        }
        // The chooser hands over the shell's item for the folder; its path is the item's.
        PIDLIST_ABSOLUTE pItem = nullptr;
        if (FAILED(::SHParseDisplayName(Api(strAnswer.c_str()), nullptr, &pItem, 0, nullptr)) ||
            pItem == nullptr) {
            return EFolderChoice::kNoPath;
        }
        return FolderOfItem(pItem, pszPath);
    }
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
    return FolderOfItem(pItem, pszPath);
}

EFolderChoice CWin32Backend::FolderOfItem(PIDLIST_ABSOLUTE pItem, WChar* pszPath) {
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

BOOL CWin32Backend::GetSaveFileName(HWND hOwner, const WChar* pszTitle, const WChar* pszFileName,
                                    const WChar* pszKind, const WChar* pszExtension,
                                    WString& path) {
    const WString fileName = pszFileName != nullptr ? WString(pszFileName) : WString();
    if (m_hooks.answerSaveFile) {
        return m_hooks.answerSaveFile(fileName, path) ? TRUE : FALSE;
    }
    // "Kind (*.ext)", "*.ext", then all files, each ending with a zero, the list with another.
    const WString extension = pszExtension != nullptr ? WString(pszExtension) : WString();
    const WString pattern = u"*." + extension;
    WString filter = (pszKind != nullptr ? WString(pszKind) : WString()) + u" (" + pattern + u")";
    filter += u'\0' + pattern + u'\0' + u"All files (*.*)" + u'\0' + u"*.*" + u'\0';
    // Room for a long path; the proposed name is where the dialog starts.
    std::vector<wchar_t> buffer(32768, L'\0');
    std::copy_n(fileName.begin(), std::min(fileName.size(), buffer.size() - 1), buffer.begin());
    OPENFILENAMEW open{};
    open.lStructSize = sizeof open;
    open.hwndOwner = hOwner;
    open.lpstrFilter = Api(filter.c_str());
    open.nFilterIndex = 1;
    open.lpstrFile = buffer.data();
    open.nMaxFile = static_cast<DWORD>(buffer.size());
    open.lpstrTitle = Api(pszTitle);
    open.lpstrDefExt = Api(extension.c_str());
    open.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_EXPLORER;
    if (::GetSaveFileNameW(&open) == FALSE) {
        return FALSE;
    }
    path.assign(reinterpret_cast<const WChar*>(buffer.data()));
    return TRUE;
}

BOOL CWin32Backend::ShellNotifyIcon(DWORD dwMessage, NOTIFYICONDATAW& data) {
    // The notification area shows small icons at the system's scale: the size LoadIconMetric
    // gives for LIM_SMALL, drawn for it.
    NOTIFYICONDATAW sent = data;
    if (const UINT nID = ResourceOfIcon(data.hIcon); nID != 0 && (data.uFlags & NIF_ICON) != 0) {
        if (HICON hSized = SizedIcon(nID, ::GetSystemMetrics(SM_CXSMICON)); hSized != nullptr) {
            sent.hIcon = hSized;
        }
    }
    const BOOL bResult = ::Shell_NotifyIconW(dwMessage, &sent);
    if (bResult != FALSE && m_hooks.trayChanged) {
        const WString strTip = (data.uFlags & NIF_TIP) != 0
                                   ? WString(reinterpret_cast<const WChar*>(data.szTip))
                                   : WString();
        m_hooks.trayChanged(dwMessage, data.hWnd, data.uID, strTip);
    }
    return bResult;
}

void CWin32Backend::ShellExecute(HWND hWnd, const WChar* pszVerb, const WChar* pszFile,
                                 int nShowCmd) {
    if (m_hooks.shellExecute) {
        m_hooks.shellExecute(pszVerb != nullptr ? WString(pszVerb) : WString(),
                             pszFile != nullptr ? WString(pszFile) : WString(), nShowCmd);
        return;
    }
    ::ShellExecuteW(hWnd, Api(pszVerb), Api(pszFile), nullptr, nullptr, nShowCmd);
}

void CWin32Backend::SetTaskbarProgressState(HWND hWnd, UINT nState) {
    if (m_pTaskbar == nullptr || m_pTaskbar->Thread() != ::GetCurrentThreadId()) {
        if (m_pTaskbar != nullptr) {
            static_cast<void>(m_pTaskbar.release());  // another apartment's: see the destructor
        }
        if (nState != TBPF_NOPROGRESS) {
            m_pTaskbar = std::make_unique<CTaskbarList>();
        }
    }
    if (m_pTaskbar != nullptr && m_pTaskbar->Get() != nullptr) {
        m_pTaskbar->Get()->SetProgressState(hWnd, static_cast<TBPFLAG>(nState));
    }
    if (m_hooks.taskbarState) {
        m_hooks.taskbarState(hWnd, nState);
    }
    // Nothing shows progress any more: the interface and its apartment go until the next run.
    if (nState == TBPF_NOPROGRESS) {
        m_pTaskbar.reset();
    }
}

void CWin32Backend::SetTaskbarProgressValue(HWND hWnd, std::uint64_t completed,
                                            std::uint64_t total) {
    if (m_pTaskbar != nullptr && m_pTaskbar->Thread() == ::GetCurrentThreadId() &&
        m_pTaskbar->Get() != nullptr) {
        m_pTaskbar->Get()->SetProgressValue(hWnd, completed, total);
    }
    if (m_hooks.taskbarValue) {
        m_hooks.taskbarValue(hWnd, completed, total);
    }
}

BOOL CWin32Backend::FlashWindowEx(HWND hWnd, DWORD dwFlags, UINT uCount) {
    FLASHWINFO info{};
    info.cbSize = sizeof info;
    info.hwnd = hWnd;
    info.dwFlags = dwFlags;
    info.uCount = uCount;
    const BOOL bResult = ::FlashWindowEx(&info);
    if (m_hooks.windowFlashed) {
        m_hooks.windowFlashed(hWnd, dwFlags);
    }
    return bResult;
}

HWND CWin32Backend::GetForegroundWindow() { return ::GetForegroundWindow(); }
