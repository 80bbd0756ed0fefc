// The in-memory backend: dialogs from the resource tables, user actions as calls, scripted
// answers for message boxes and the folder chooser, and an event per visible change.
#include "ui/headless/HeadlessBackend.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "ui/Dialog.h"
#include "ui/ScriptEnd.h"

namespace {

constexpr UINT kMessageBoxTypeMask = 0x000F;

// The screen the dialogs are placed on, in pixels.
constexpr LONG kScreenWidth = 1920;
constexpr LONG kScreenHeight = 1080;

template <typename THandle>
THandle ToHandle(std::uintptr_t value) {
    return reinterpret_cast<THandle>(value);
}

template <typename THandle>
std::uintptr_t FromHandle(THandle handle) {
    return reinterpret_cast<std::uintptr_t>(handle);
}

// Dialog units to pixels with the base units of 8-point "MS Shell Dlg" (6 x 13) at 96 dpi.
LONG PixelsX(int dlu) { return static_cast<LONG>(dlu * 6 / 4); }
LONG PixelsY(int dlu) { return static_cast<LONG>(dlu * 13 / 8); }

WString TextOf(const WChar* pszText) { return pszText != nullptr ? WString(pszText) : WString(); }

// Copies like the Windows text getters: at most nMax - 1 characters and a terminator.
int CopyOut(const WString& text, WChar* pszBuffer, int nMax) {
    if (pszBuffer == nullptr || nMax <= 0) {
        return 0;
    }
    WCopyBounded(pszBuffer, static_cast<std::size_t>(nMax), text);
    return static_cast<int>(std::min(text.size(), static_cast<std::size_t>(nMax - 1)));
}

bool IsButtonType(const SHeadlessWindow& window, DWORD dwType) {
    return window.className == "Button" && (window.dwStyle & BS_TYPEMASK) == dwType;
}

bool IsPushButton(const SHeadlessWindow& window) {
    return IsButtonType(window, BS_PUSHBUTTON) || IsButtonType(window, BS_DEFPUSHBUTTON);
}

// The combo box sorts as the system does for these texts: ignoring the case of a to z.
int CompareNoCase(const WString& a, const WString& b) {
    auto fold = [](WChar c) {
        return c >= u'A' && c <= u'Z' ? static_cast<WChar>(c + (u'a' - u'A')) : c;
    };
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const WChar ca = fold(a[i]);
        const WChar cb = fold(b[i]);
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

std::string Quoted(const WString& text) { return "\"" + Utf8FromWide(text) + "\""; }

SUiEvent MakeEvent(EUiEvent kind, int nId, WString text = {}, WString caption = {}) {
    SUiEvent event;
    event.kind = kind;
    event.nId = nId;
    event.text = std::move(text);
    event.caption = std::move(caption);
    return event;
}

}  // namespace

CHeadlessBackend::CHeadlessBackend() = default;

CHeadlessBackend::~CHeadlessBackend() = default;

// ---- Set-up and scripted answers ---------------------------------------------------------

void CHeadlessBackend::SetEventSink(IUiEventSink* pSink) {
    std::lock_guard lock(m_mutex);
    m_pSink = pSink;
}

void CHeadlessBackend::SetPump(std::function<bool()> pump) { m_pump = std::move(pump); }

void CHeadlessBackend::SetAppName(WString name) { m_appName = std::move(name); }

void CHeadlessBackend::SetTrayAvailable(bool bAvailable) { m_bTrayAvailable = bAvailable; }

void CHeadlessBackend::SetCursorPos(POINT point) { m_cursor = point; }

void CHeadlessBackend::QueueMessageBoxAnswer(int nAnswer) {
    std::lock_guard lock(m_mutex);
    m_messageBoxAnswers.push_back(nAnswer);
}

void CHeadlessBackend::QueueFolderChoice(EFolderChoice choice, WString path) {
    std::lock_guard lock(m_mutex);
    m_folderChoices.emplace_back(choice, std::move(path));
}

std::vector<SUiEvent> CHeadlessBackend::Events() const {
    std::lock_guard lock(m_mutex);
    return m_events;
}

void CHeadlessBackend::ClearEvents() {
    std::lock_guard lock(m_mutex);
    m_events.clear();
}

void CHeadlessBackend::Emit(SUiEvent event) {
    IUiEventSink* pSink = nullptr;
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back(event);
        pSink = m_pSink;
    }
    if (pSink != nullptr) {
        std::lock_guard lock(m_sinkMutex);
        pSink->OnUiEvent(event);
    }
}

// ---- Lookup ------------------------------------------------------------------------------

SHeadlessWindow* CHeadlessBackend::Find(HWND hWnd) {
    auto it = m_windows.find(FromHandle(hWnd));
    return it != m_windows.end() ? it->second.get() : nullptr;
}

const SHeadlessWindow* CHeadlessBackend::Find(HWND hWnd) const {
    auto it = m_windows.find(FromHandle(hWnd));
    return it != m_windows.end() ? it->second.get() : nullptr;
}

const SHeadlessWindow* CHeadlessBackend::Window(HWND hWnd) const { return Find(hWnd); }

SHeadlessWindow* CHeadlessBackend::FindList(HWND hWnd) {
    SHeadlessWindow* pWindow = Find(hWnd);
    return pWindow != nullptr && pWindow->className == "SysListView32" ? pWindow : nullptr;
}

SHeadlessWindow* CHeadlessBackend::FindCombo(HWND hWnd) {
    SHeadlessWindow* pWindow = Find(hWnd);
    return pWindow != nullptr && pWindow->className == "ComboBox" ? pWindow : nullptr;
}

const SMenu* CHeadlessBackend::Menu(HMENU hMenu) const { return m_menus.Find(hMenu); }

HWND CHeadlessBackend::TopDialog() const {
    return m_modalStack.empty() ? nullptr : m_modalStack.back();
}

int CHeadlessBackend::TopDialogTemplate() const {
    const SHeadlessWindow* pDialog = Find(TopDialog());
    return pDialog != nullptr ? pDialog->nTemplateId : 0;
}

SHeadlessWindow* CHeadlessBackend::TopDialogWindow() { return Find(TopDialog()); }

const SHeadlessWindow* CHeadlessBackend::Control(int nId) const {
    HWND hDlg = TopDialog();
    for (const auto& [key, pWindow] : m_windows) {
        if (pWindow->hParent == hDlg && pWindow->pDialog == nullptr && pWindow->nId == nId) {
            return pWindow.get();
        }
    }
    return nullptr;
}

SHeadlessWindow* CHeadlessBackend::TopControl(int nId) {
    return const_cast<SHeadlessWindow*>(std::as_const(*this).Control(nId));
}

const SHeadlessTrayIcon* CHeadlessBackend::TrayIcon() const {
    return m_trayIcons.empty() ? nullptr : &m_trayIcons.front();
}

const SHeadlessPopup* CHeadlessBackend::OpenPopup() const { return m_pPopup.get(); }

int CHeadlessBackend::DialogId(HWND hWnd) const {
    const SHeadlessWindow* pWindow = Find(hWnd);
    while (pWindow != nullptr && pWindow->pDialog == nullptr) {
        pWindow = Find(pWindow->hParent);
    }
    return pWindow != nullptr ? pWindow->nTemplateId : 0;
}

// ---- Windows -----------------------------------------------------------------------------

HWND CHeadlessBackend::NewWindow(std::unique_ptr<SHeadlessWindow> pWindow) {
    const std::uintptr_t key = m_nNextHandle++;
    pWindow->hWnd = ToHandle<HWND>(key);
    HWND hWnd = pWindow->hWnd;
    m_windows.emplace(key, std::move(pWindow));
    return hWnd;
}

HWND CHeadlessBackend::FirstTabStop(HWND hDlg) const {
    for (const auto& [key, pWindow] : m_windows) {
        if (pWindow->hParent == hDlg && pWindow->pDialog == nullptr &&
            (pWindow->dwStyle & WS_TABSTOP) != 0 && pWindow->bVisible && pWindow->bEnabled) {
            return pWindow->hWnd;
        }
    }
    return nullptr;
}

HWND CHeadlessBackend::CreateDialogWindows(const SDialogTemplate& tpl, CDialog& dialog,
                                           HWND hParent) {
    auto pNew = std::make_unique<SHeadlessWindow>();
    pNew->hParent = hParent;
    pNew->pDialog = &dialog;
    pNew->nTemplateId = tpl.nId;
    pNew->className = "#32770";
    pNew->text = TextOf(tpl.pszCaption);
    pNew->dwStyle = tpl.dwStyle;
    pNew->dwExStyle = tpl.dwExStyle;
    pNew->rect = {0, 0, PixelsX(tpl.cx), PixelsY(tpl.cy)};
    if ((tpl.dwStyle & DS_CENTER) != 0) {
        pNew->origin = {(kScreenWidth - pNew->rect.right) / 2,
                        (kScreenHeight - pNew->rect.bottom) / 2};
    } else {
        pNew->origin = {PixelsX(tpl.x) + 100, PixelsY(tpl.y) + 100};
    }
    HWND hDlg = NewWindow(std::move(pNew));

    for (std::size_t i = 0; i < tpl.nItems; ++i) {
        const SDialogItemTemplate& item = tpl.pItems[i];
        auto pControl = std::make_unique<SHeadlessWindow>();
        pControl->hParent = hDlg;
        pControl->nId = item.nId;
        pControl->className = item.pszClass != nullptr ? item.pszClass : "";
        pControl->text = TextOf(item.pszText);
        pControl->dwStyle = item.dwStyle;
        pControl->dwExStyle = item.dwExStyle;
        pControl->rect = {PixelsX(item.x), PixelsY(item.y), PixelsX(item.x + item.cx),
                          PixelsY(item.y + item.cy)};
        pControl->bVisible = (item.dwStyle & WS_VISIBLE) != 0;
        pControl->bEnabled = (item.dwStyle & WS_DISABLED) == 0;
        NewWindow(std::move(pControl));
    }
    if ((tpl.dwStyle & WS_SYSMENU) != 0) {
        HMENU hSystemMenu = MakeSystemMenu(*Find(hDlg));
        Find(hDlg)->hSystemMenu = hSystemMenu;
    }
    return hDlg;
}

void CHeadlessBackend::OpenAfterSetUp(HWND hDlg, bool bSetFocus) {
    SHeadlessWindow* pDialog = Find(hDlg);
    if (pDialog->bEnded) {
        return;
    }
    // Looked for again, as the dialog manager does: the set-up may have enabled or shown
    // controls (Kestrum's enables Extract, the first tab stop).
    if (const HWND hFirst = FirstTabStop(hDlg); bSetFocus && hFirst != nullptr) {
        m_hFocus = hFirst;
    }
    // The dialog manager shows a modal dialog once its set-up is done.
    pDialog->bVisible = true;
    pDialog->bOpened = true;
    Emit(MakeEvent(EUiEvent::kDialogOpened, pDialog->nTemplateId, pDialog->text));
}

void CHeadlessBackend::RunModalLoop(HWND hDlg) {
    CScriptEnd scriptEnd;
    while (!Find(hDlg)->bEnded) {
        // Posted messages first, as a message loop takes what is queued before waiting.
        if (DeliverPosted()) {
            continue;
        }
        const bool bMore = m_pump ? m_pump() : false;
        if (bMore || Find(hDlg)->bEnded) {
            continue;
        }
        DismissPopup();
        scriptEnd.CloseDialog(*this, hDlg);
    }
}

void CHeadlessBackend::CloseModalDialog(HWND hDlg, INT_PTR nResult) {
    SendMessage(hDlg, WM_DESTROY, 0, 0);
    if (const SHeadlessWindow* pDialog = Find(hDlg); pDialog->bOpened) {
        SUiEvent closed = MakeEvent(EUiEvent::kDialogClosed, pDialog->nTemplateId, pDialog->text);
        closed.nResult = nResult;
        Emit(std::move(closed));
    }
    if (m_pPopup && m_pPopup->hOwner == hDlg) {
        m_pPopup.reset();
    }
}

INT_PTR CHeadlessBackend::RunModalDialog(CDialog& dialog, UINT nIDTemplate, HWND hParent) {
    const SDialogTemplate* pTemplate = FindDialogTemplate(static_cast<int>(nIDTemplate));
    if (pTemplate == nullptr) {
        return -1;
    }
    DismissPopup();
    const HWND hDlg = CreateDialogWindows(*pTemplate, dialog, hParent);

    // A modal dialog disables its owner while it runs.
    SHeadlessWindow* pOwner = Find(hParent);
    const bool bOwnerDisabled = pOwner != nullptr && pOwner->bEnabled;
    if (bOwnerDisabled) {
        pOwner->bEnabled = false;
    }
    const HWND hFocusBefore = m_hFocus;

    dialog.Attach(hDlg);
    m_modalStack.push_back(hDlg);
    INT_PTR nResult = -1;
    if (SendMessage(hDlg, WM_CREATE, 0, 0) != -1) {
        const LRESULT bSetFocus =
            SendMessage(hDlg, WM_INITDIALOG, reinterpret_cast<WPARAM>(FirstTabStop(hDlg)), 0);
        OpenAfterSetUp(hDlg, bSetFocus != 0);
        RunModalLoop(hDlg);
        nResult = Find(hDlg)->nResult;
    }
    CloseModalDialog(hDlg, nResult);
    m_modalStack.pop_back();

    if (bOwnerDisabled) {
        if (SHeadlessWindow* pStillOwner = Find(hParent)) {
            pStillOwner->bEnabled = true;
        }
    }
    DestroyDialogWindows(hDlg);
    m_hFocus = Find(hFocusBefore) != nullptr ? hFocusBefore : nullptr;
    return nResult;
}

// The progress bar's messages as the common control answers them: the position stays within
// the range.
LRESULT CHeadlessBackend::ProgressMessage(SHeadlessWindow& bar, UINT nMsg, WPARAM wParam,
                                          LPARAM lParam) {
    const int nPrevious = bar.nPos;
    switch (nMsg) {
        case PBM_SETRANGE32:
            bar.nRangeLower = static_cast<int>(wParam);
            bar.nRangeUpper = static_cast<int>(lParam);
            bar.nPos =
                std::clamp(bar.nPos, bar.nRangeLower, std::max(bar.nRangeLower, bar.nRangeUpper));
            return 0;
        case PBM_SETPOS:
            bar.nPos = std::clamp(static_cast<int>(wParam), bar.nRangeLower,
                                  std::max(bar.nRangeLower, bar.nRangeUpper));
            return nPrevious;
        case PBM_GETPOS:
            return nPrevious;
        default:
            return 0;
    }
}

void CHeadlessBackend::DestroyDialogWindows(HWND hDlg) {
    if (SHeadlessWindow* pDialog = Find(hDlg); pDialog != nullptr && pDialog->hSystemMenu) {
        DestroyMenuTree(pDialog->hSystemMenu);
    }
    for (auto it = m_windows.begin(); it != m_windows.end();) {
        if (it->second->hWnd == hDlg || it->second->hParent == hDlg) {
            if (it->second->hWnd == m_hFocus) {
                m_hFocus = nullptr;
            }
            it = m_windows.erase(it);
        } else {
            ++it;
        }
    }
}

void CHeadlessBackend::EndDialog(HWND hDlg, INT_PTR nResult) {
    SHeadlessWindow* pDialog = Find(hDlg);
    if (pDialog == nullptr || pDialog->pDialog == nullptr) {
        return;
    }
    pDialog->bEnded = true;
    pDialog->nResult = nResult;
}

HWND CHeadlessBackend::GetDlgItem(HWND hDlg, int nID) {
    if (Find(hDlg) == nullptr) {
        return nullptr;
    }
    for (const auto& [key, pWindow] : m_windows) {
        if (pWindow->hParent == hDlg && pWindow->pDialog == nullptr && pWindow->nId == nID) {
            return pWindow->hWnd;
        }
    }
    return nullptr;
}

int CHeadlessBackend::GetDlgCtrlID(HWND hWnd) {
    const SHeadlessWindow* pWindow = Find(hWnd);
    return pWindow != nullptr && pWindow->pDialog == nullptr ? pWindow->nId : 0;
}

LRESULT CHeadlessBackend::DefWindowProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM /*lParam*/) {
    SHeadlessWindow* pWindow = Find(hWnd);
    if (pWindow == nullptr) {
        return 0;
    }
    switch (nMsg) {
        case WM_SYSCOMMAND:
            switch (static_cast<UINT>(wParam) & 0xFFF0) {
                case SC_MINIMIZE:
                    ShowWindow(hWnd, SW_MINIMIZE);
                    break;
                case SC_RESTORE:
                    ShowWindow(hWnd, SW_RESTORE);
                    break;
                case SC_CLOSE:
                    SendMessage(hWnd, WM_CLOSE, 0, 0);
                    break;
                default:
                    break;
            }
            return 0;
        case WM_CLOSE:
            // The dialog manager turns a close into the cancel command.
            if (pWindow->pDialog != nullptr) {
                SendCommand(hWnd, IDCANCEL, BN_CLICKED, GetDlgItem(hWnd, IDCANCEL));
            }
            return 0;
        default:
            return 0;
    }
}

LRESULT CHeadlessBackend::SendMessage(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    SHeadlessWindow* pWindow = Find(hWnd);
    if (pWindow == nullptr) {
        return 0;
    }
    if (pWindow->pDialog != nullptr) {
        return pWindow->pDialog->WindowProc(nMsg, wParam, lParam);
    }
    if (nMsg == WM_SETTEXT) {
        SetWindowText(hWnd, reinterpret_cast<const WChar*>(lParam));
        return TRUE;
    }
    if (pWindow->className == "msctls_progress32") {
        return ProgressMessage(*pWindow, nMsg, wParam, lParam);
    }
    return 0;
}

BOOL CHeadlessBackend::PostMessage(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    const std::lock_guard lock(m_mutex);
    m_posted.push_back(SPostedMessage{hWnd, nMsg, wParam, lParam});
    return TRUE;
}

bool CHeadlessBackend::HasPosted() const {
    const std::lock_guard lock(m_mutex);
    return !m_posted.empty();
}

bool CHeadlessBackend::DeliverPosted() {
    std::deque<SPostedMessage> posted;
    {
        const std::lock_guard lock(m_mutex);
        posted.swap(m_posted);
    }
    for (const SPostedMessage& message : posted) {
        if (Find(message.hWnd) != nullptr) {
            SendMessage(message.hWnd, message.nMsg, message.wParam, message.lParam);
        }
    }
    return !posted.empty();
}

bool CHeadlessBackend::SendCommand(HWND hDlg, int nId, UINT nCode, HWND hControl) {
    SendMessage(hDlg, WM_COMMAND,
                MAKEWPARAM(static_cast<WORD>(static_cast<unsigned>(nId) & 0xFFFF),
                           static_cast<WORD>(nCode)),
                reinterpret_cast<LPARAM>(hControl));
    return true;
}

void CHeadlessBackend::ReportVisibility(SHeadlessWindow& window, bool bWasVisible,
                                        bool bWasIconic) {
    if (window.pDialog == nullptr || !window.bOpened || window.bEnded) {
        return;
    }
    const int nId = window.nTemplateId;
    if (bWasVisible != window.bVisible) {
        Emit(MakeEvent(window.bVisible ? EUiEvent::kWindowShown : EUiEvent::kWindowHidden, nId,
                       window.text));
    }
    if (bWasIconic != window.bIconic) {
        Emit(MakeEvent(window.bIconic ? EUiEvent::kWindowMinimised : EUiEvent::kWindowRestored, nId,
                       window.text));
    }
}

BOOL CHeadlessBackend::ShowWindow(HWND hWnd, int nCmdShow) {
    SHeadlessWindow* pWindow = Find(hWnd);
    if (pWindow == nullptr) {
        return FALSE;
    }
    const bool bWasVisible = pWindow->bVisible;
    const bool bWasIconic = pWindow->bIconic;
    switch (nCmdShow) {
        case SW_HIDE:
            pWindow->bVisible = false;
            break;
        case SW_SHOWNORMAL:
        case SW_RESTORE:
        case SW_SHOWMAXIMIZED:
            pWindow->bVisible = true;
            pWindow->bIconic = false;
            break;
        case SW_SHOWMINIMIZED:
        case SW_MINIMIZE:
            pWindow->bVisible = true;
            pWindow->bIconic = true;
            break;
        default:
            // SW_SHOW and the rest show the window in its current state.
            pWindow->bVisible = true;
            break;
    }
    ReportVisibility(*pWindow, bWasVisible, bWasIconic);
    return bWasVisible ? TRUE : FALSE;
}

BOOL CHeadlessBackend::IsWindowVisible(HWND hWnd) {
    for (const SHeadlessWindow* pWindow = Find(hWnd); pWindow != nullptr;
         pWindow = pWindow->pDialog != nullptr ? nullptr : Find(pWindow->hParent)) {
        if (!pWindow->bVisible) {
            return FALSE;
        }
    }
    return Find(hWnd) != nullptr ? TRUE : FALSE;
}

BOOL CHeadlessBackend::IsIconic(HWND hWnd) {
    const SHeadlessWindow* pWindow = Find(hWnd);
    return pWindow != nullptr && pWindow->bIconic ? TRUE : FALSE;
}

BOOL CHeadlessBackend::EnableWindow(HWND hWnd, BOOL bEnable) {
    SHeadlessWindow* pWindow = Find(hWnd);
    if (pWindow == nullptr) {
        return FALSE;
    }
    const bool bWasDisabled = !pWindow->bEnabled;
    pWindow->bEnabled = bEnable != FALSE;
    if (!pWindow->bEnabled && m_hFocus == hWnd) {
        m_hFocus = nullptr;
    }
    return bWasDisabled ? TRUE : FALSE;
}

BOOL CHeadlessBackend::IsWindowEnabled(HWND hWnd) {
    const SHeadlessWindow* pWindow = Find(hWnd);
    return pWindow != nullptr && pWindow->bEnabled ? TRUE : FALSE;
}

void CHeadlessBackend::SetWindowText(HWND hWnd, const WChar* pszText) {
    SHeadlessWindow* pWindow = Find(hWnd);
    if (pWindow == nullptr) {
        return;
    }
    pWindow->text = TextOf(pszText);
    // An edit box tells its dialog about every change, the program's own included.
    if (pWindow->className == "Edit") {
        SendCommand(pWindow->hParent, pWindow->nId, EN_CHANGE, hWnd);
    }
}

int CHeadlessBackend::GetWindowText(HWND hWnd, WChar* pszBuffer, int nMaxCount) {
    const SHeadlessWindow* pWindow = Find(hWnd);
    if (pWindow == nullptr) {
        return CopyOut(WString(), pszBuffer, nMaxCount);
    }
    return CopyOut(pWindow->text, pszBuffer, nMaxCount);
}

HWND CHeadlessBackend::SetFocus(HWND hWnd) {
    HWND hPrevious = m_hFocus;
    if (hWnd == nullptr || Find(hWnd) != nullptr) {
        m_hFocus = hWnd;
    }
    return hPrevious;
}

HWND CHeadlessBackend::GetFocus() {
    // A hidden window holds no focus (the dialog hidden into the notification area); the
    // control keeps it in store and has it again once the window shows, as the dialog manager
    // gives it back on activation.
    return m_hFocus != nullptr && IsWindowVisible(m_hFocus) ? m_hFocus : nullptr;
}

void CHeadlessBackend::SetIcon(HWND hWnd, HICON hIcon, BOOL bBigIcon) {
    SHeadlessWindow* pWindow = Find(hWnd);
    if (pWindow == nullptr) {
        return;
    }
    (bBigIcon != FALSE ? pWindow->hBigIcon : pWindow->hSmallIcon) = hIcon;
}

BOOL CHeadlessBackend::GetClientRect(HWND hWnd, RECT& rect) {
    const SHeadlessWindow* pWindow = Find(hWnd);
    if (pWindow == nullptr) {
        return FALSE;
    }
    rect = {0, 0, pWindow->rect.right - pWindow->rect.left,
            pWindow->rect.bottom - pWindow->rect.top};
    return TRUE;
}

BOOL CHeadlessBackend::ClientToScreen(HWND hWnd, POINT& point) {
    const SHeadlessWindow* pWindow = Find(hWnd);
    if (pWindow == nullptr) {
        return FALSE;
    }
    if (pWindow->pDialog == nullptr) {
        point.x += pWindow->rect.left;
        point.y += pWindow->rect.top;
        pWindow = Find(pWindow->hParent);
        if (pWindow == nullptr) {
            return FALSE;
        }
    }
    point.x += pWindow->origin.x;
    point.y += pWindow->origin.y;
    return TRUE;
}

BOOL CHeadlessBackend::GetCursorPos(POINT& point) {
    point = m_cursor;
    return TRUE;
}

int CHeadlessBackend::GetSystemMetrics(int nIndex) {
    return nIndex == SM_CXICON || nIndex == SM_CYICON ? kIconSize : 0;
}

HDC CHeadlessBackend::BeginPaint(HWND /*hWnd*/) { return ToHandle<HDC>(0xDC); }

void CHeadlessBackend::EndPaint(HWND /*hWnd*/, HDC /*hDC*/) {}

BOOL CHeadlessBackend::DrawIcon(HDC /*hDC*/, int x, int y, HICON hIcon) {
    if (hIcon == nullptr) {
        return FALSE;
    }
    m_drawnIcons.push_back({x, y, hIcon});
    return TRUE;
}

// ---- List view ---------------------------------------------------------------------------

int CHeadlessBackend::ListVisibleRows(const SHeadlessWindow& list) const {
    const LONG border = (list.dwStyle & WS_BORDER) != 0 ? 1 : 0;
    const LONG inner = list.rect.bottom - list.rect.top - 2 * border - kListHeaderHeight;
    return std::max(1, static_cast<int>(inner / kListRowHeight));
}

void CHeadlessBackend::ClampTopIndex(SHeadlessWindow& list) const {
    const int nRows = static_cast<int>(list.rows.size());
    const int nMaxTop = std::max(0, nRows - ListVisibleRows(list));
    list.nTopIndex = std::clamp(list.nTopIndex, 0, nMaxTop);
}

DWORD CHeadlessBackend::ListSetExtendedStyle(HWND hList, DWORD dwExStyle) {
    SHeadlessWindow* pList = FindList(hList);
    if (pList == nullptr) {
        return 0;
    }
    return std::exchange(pList->dwListExStyle, dwExStyle);
}

int CHeadlessBackend::ListInsertColumn(HWND hList, int nCol, const WChar* pszHeading,
                                       int /*nFormat*/, int nWidth) {
    SHeadlessWindow* pList = FindList(hList);
    if (pList == nullptr || nCol < 0) {
        return -1;
    }
    const int nPos = std::min(nCol, static_cast<int>(pList->columns.size()));
    pList->columns.insert(pList->columns.begin() + nPos, TextOf(pszHeading));
    pList->columnWidths.insert(pList->columnWidths.begin() + nPos, nWidth);
    return nPos;
}

int CHeadlessBackend::ListInsertItem(HWND hList, int nItem, const WChar* pszText) {
    SHeadlessWindow* pList = FindList(hList);
    if (pList == nullptr || nItem < 0) {
        return -1;
    }
    // An index past the end appends, as the list view does.
    const int nPos = std::min(nItem, static_cast<int>(pList->rows.size()));
    SHeadlessRow row;
    row.cells.push_back(TextOf(pszText));
    pList->rows.insert(pList->rows.begin() + nPos, std::move(row));
    return nPos;
}

BOOL CHeadlessBackend::ListSetItemText(HWND hList, int nItem, int nSubItem, const WChar* pszText) {
    SHeadlessWindow* pList = FindList(hList);
    if (pList == nullptr || nItem < 0 || nItem >= static_cast<int>(pList->rows.size()) ||
        nSubItem < 0 || (nSubItem > 0 && nSubItem >= static_cast<int>(pList->columns.size()))) {
        return FALSE;
    }
    std::vector<WString>& cells = pList->rows[static_cast<std::size_t>(nItem)].cells;
    if (cells.size() <= static_cast<std::size_t>(nSubItem)) {
        cells.resize(static_cast<std::size_t>(nSubItem) + 1);
    }
    cells[static_cast<std::size_t>(nSubItem)] = TextOf(pszText);
    return TRUE;
}

int CHeadlessBackend::ListGetItemText(HWND hList, int nItem, int nSubItem, WChar* pszBuffer,
                                      int nLen) {
    const SHeadlessWindow* pList = FindList(hList);
    if (pList == nullptr || nItem < 0 || nItem >= static_cast<int>(pList->rows.size()) ||
        nSubItem < 0) {
        return CopyOut(WString(), pszBuffer, nLen);
    }
    const std::vector<WString>& cells = pList->rows[static_cast<std::size_t>(nItem)].cells;
    if (static_cast<std::size_t>(nSubItem) >= cells.size()) {
        return CopyOut(WString(), pszBuffer, nLen);
    }
    return CopyOut(cells[static_cast<std::size_t>(nSubItem)], pszBuffer, nLen);
}

int CHeadlessBackend::ListGetItemCount(HWND hList) {
    const SHeadlessWindow* pList = FindList(hList);
    return pList != nullptr ? static_cast<int>(pList->rows.size()) : 0;
}

BOOL CHeadlessBackend::ListGetCheck(HWND hList, int nItem) {
    const SHeadlessWindow* pList = FindList(hList);
    if (pList == nullptr || nItem < 0 || nItem >= static_cast<int>(pList->rows.size())) {
        return FALSE;
    }
    return pList->rows[static_cast<std::size_t>(nItem)].bChecked ? TRUE : FALSE;
}

BOOL CHeadlessBackend::ListSetCheck(HWND hList, int nItem, BOOL bCheck) {
    const UINT nImage = bCheck != FALSE ? 0x2000 : 0x1000;
    return ListSetItemState(hList, nItem, nImage, LVIS_STATEIMAGEMASK);
}

BOOL CHeadlessBackend::ListSetItemState(HWND hList, int nItem, UINT nState, UINT nMask) {
    SHeadlessWindow* pList = FindList(hList);
    if (pList == nullptr || nItem < -1 || nItem >= static_cast<int>(pList->rows.size())) {
        return FALSE;
    }
    // Row -1 means every row, as in the list view.
    const std::size_t nFirst = nItem == -1 ? 0 : static_cast<std::size_t>(nItem);
    const std::size_t nEnd = nItem == -1 ? pList->rows.size() : nFirst + 1;
    const UINT nFlagMask = nMask & (LVIS_SELECTED | LVIS_FOCUSED);
    for (std::size_t i = nFirst; i < nEnd; ++i) {
        SHeadlessRow& row = pList->rows[i];
        if ((nMask & LVIS_STATEIMAGEMASK) != 0) {
            row.bChecked = ((nState & LVIS_STATEIMAGEMASK) >> 12) == 2;
        }
        if (nFlagMask != 0) {
            // One selected row in a single-selection list, one focused row in any list.
            UINT nExclusive = nState & nFlagMask & LVIS_FOCUSED;
            if ((pList->dwStyle & LVS_SINGLESEL) != 0) {
                nExclusive |= nState & nFlagMask & LVIS_SELECTED;
            }
            if (nExclusive != 0 && nItem != -1) {
                for (SHeadlessRow& other : pList->rows) {
                    other.nState &= ~nExclusive;
                }
            }
            row.nState = (row.nState & ~nFlagMask) | (nState & nFlagMask);
        }
    }
    return TRUE;
}

UINT CHeadlessBackend::ListGetItemState(HWND hList, int nItem, UINT nMask) {
    const SHeadlessWindow* pList = FindList(hList);
    if (pList == nullptr || nItem < 0 || nItem >= static_cast<int>(pList->rows.size())) {
        return 0;
    }
    const SHeadlessRow& row = pList->rows[static_cast<std::size_t>(nItem)];
    UINT nState = row.nState;
    if ((pList->dwListExStyle & LVS_EX_CHECKBOXES) != 0) {
        nState |= row.bChecked ? 0x2000 : 0x1000;
    }
    return nState & nMask;
}

int CHeadlessBackend::ListGetTopIndex(HWND hList) {
    SHeadlessWindow* pList = FindList(hList);
    if (pList == nullptr) {
        return 0;
    }
    ClampTopIndex(*pList);
    return pList->nTopIndex;
}

BOOL CHeadlessBackend::ListScroll(HWND hList, int /*dx*/, int dy) {
    SHeadlessWindow* pList = FindList(hList);
    if (pList == nullptr) {
        return FALSE;
    }
    // Report view scrolls whole rows: the distance is rounded to the nearest row.
    const int nHalf = kListRowHeight / 2;
    const int nRows = dy >= 0 ? (dy + nHalf) / kListRowHeight : -((-dy + nHalf) / kListRowHeight);
    ClampTopIndex(*pList);
    pList->nTopIndex += nRows;
    ClampTopIndex(*pList);
    return TRUE;
}

BOOL CHeadlessBackend::ListGetItemRect(HWND hList, int nItem, RECT& rect, int /*nCode*/) {
    SHeadlessWindow* pList = FindList(hList);
    if (pList == nullptr || nItem < 0 || nItem >= static_cast<int>(pList->rows.size())) {
        return FALSE;
    }
    ClampTopIndex(*pList);
    const LONG border = (pList->dwStyle & WS_BORDER) != 0 ? 1 : 0;
    const LONG top = border + kListHeaderHeight + (nItem - pList->nTopIndex) * kListRowHeight;
    rect = {border, top, pList->rect.right - pList->rect.left - border, top + kListRowHeight};
    return TRUE;
}

// ---- Combo box ---------------------------------------------------------------------------

int CHeadlessBackend::ComboAddString(HWND hCombo, const WChar* pszText) {
    SHeadlessWindow* pCombo = FindCombo(hCombo);
    if (pCombo == nullptr || pszText == nullptr) {
        return CB_ERR;
    }
    const WString text(pszText);
    std::size_t nPos = pCombo->items.size();
    if ((pCombo->dwStyle & CBS_SORT) != 0) {
        nPos = static_cast<std::size_t>(
            std::upper_bound(
                pCombo->items.begin(), pCombo->items.end(), text,
                [](const WString& a, const WString& b) { return CompareNoCase(a, b) < 0; }) -
            pCombo->items.begin());
    }
    pCombo->items.insert(pCombo->items.begin() + static_cast<std::ptrdiff_t>(nPos), text);
    if (pCombo->nCurSel >= static_cast<int>(nPos)) {
        ++pCombo->nCurSel;
    }
    return static_cast<int>(nPos);
}

int CHeadlessBackend::ButtonGetCheck(HWND hButton) {
    const SHeadlessWindow* pButton = Find(hButton);
    return pButton != nullptr && pButton->className == "Button" ? pButton->nCheck : BST_UNCHECKED;
}

void CHeadlessBackend::ButtonSetCheck(HWND hButton, int nCheck) {
    SHeadlessWindow* pButton = Find(hButton);
    if (pButton != nullptr && pButton->className == "Button") {
        pButton->nCheck = nCheck;
    }
}

int CHeadlessBackend::ComboGetCurSel(HWND hCombo) {
    const SHeadlessWindow* pCombo = FindCombo(hCombo);
    return pCombo != nullptr ? pCombo->nCurSel : CB_ERR;
}

int CHeadlessBackend::ComboSetCurSel(HWND hCombo, int nIndex) {
    SHeadlessWindow* pCombo = FindCombo(hCombo);
    if (pCombo == nullptr) {
        return CB_ERR;
    }
    if (nIndex < 0 || nIndex >= static_cast<int>(pCombo->items.size())) {
        pCombo->nCurSel = -1;
        pCombo->text.clear();
        return CB_ERR;
    }
    pCombo->nCurSel = nIndex;
    pCombo->text = pCombo->items[static_cast<std::size_t>(nIndex)];
    return nIndex;
}

// ---- Menus -------------------------------------------------------------------------------

HMENU CHeadlessBackend::MakeSystemMenu(const SHeadlessWindow& dialog) {
    return m_menus.MakeSystemMenu(dialog.dwStyle);
}

HMENU CHeadlessBackend::LoadMenu(UINT nIDResource) {
    return m_menus.Load(static_cast<int>(nIDResource));
}

HMENU CHeadlessBackend::GetSubMenu(HMENU hMenu, int nPos) { return m_menus.SubMenu(hMenu, nPos); }

void CHeadlessBackend::DestroyMenuTree(HMENU hMenu) {
    m_menus.Destroy(hMenu);
    if (m_pPopup && m_menus.Find(m_pPopup->hMenu) == nullptr) {
        m_pPopup.reset();
    }
}

BOOL CHeadlessBackend::DestroyMenu(HMENU hMenu) {
    if (m_menus.Find(hMenu) == nullptr) {
        return FALSE;
    }
    DestroyMenuTree(hMenu);
    return TRUE;
}

HMENU CHeadlessBackend::GetSystemMenu(HWND hWnd) {
    const SHeadlessWindow* pWindow = Find(hWnd);
    return pWindow != nullptr ? pWindow->hSystemMenu : nullptr;
}

BOOL CHeadlessBackend::AppendMenu(HMENU hMenu, UINT nFlags, UINT_PTR nIDNewItem,
                                  const WChar* pszNewItem) {
    return m_menus.Append(hMenu, nFlags, nIDNewItem, pszNewItem) ? TRUE : FALSE;
}

BOOL CHeadlessBackend::TrackPopupMenu(HMENU hMenu, UINT nFlags, int x, int y, HWND hOwner) {
    if (m_menus.Find(hMenu) == nullptr || Find(hOwner) == nullptr) {
        return FALSE;
    }
    auto pPopup = std::make_unique<SHeadlessPopup>();
    pPopup->hMenu = hMenu;
    pPopup->hOwner = hOwner;
    pPopup->point = {static_cast<LONG>(x), static_cast<LONG>(y)};
    pPopup->nFlags = nFlags;
    pPopup->items = m_menus.Lines(hMenu);
    SUiEvent event = MakeEvent(EUiEvent::kPopupMenu, DialogId(hOwner));
    event.items = pPopup->items;
    m_pPopup = std::move(pPopup);
    Emit(std::move(event));
    return TRUE;
}

BOOL CHeadlessBackend::SetMenuDefaultItem(HMENU hMenu, UINT nItem, UINT fByPos) {
    return m_menus.SetDefaultItem(hMenu, nItem, fByPos != FALSE) ? TRUE : FALSE;
}

// ---- Resources ---------------------------------------------------------------------------

HICON CHeadlessBackend::LoadIcon(UINT nIDResource) {
    if (FindIconResource(static_cast<int>(nIDResource)) == nullptr) {
        return nullptr;
    }
    HICON& hIcon = m_icons[nIDResource];
    if (hIcon == nullptr) {
        hIcon = ToHandle<HICON>(m_nNextHandle++);
    }
    return hIcon;
}

int CHeadlessBackend::LoadString(UINT nID, WChar* pszBuffer, int nMaxCount) {
    const WChar* pszText = FindStringResource(nID);
    return CopyOut(TextOf(pszText), pszBuffer, nMaxCount);
}

// ---- Message boxes, shell ----------------------------------------------------------------

BOOL CHeadlessBackend::InitCommonControls(DWORD dwClasses) {
    m_dwCommonControls |= dwClasses;
    return TRUE;
}

WString CHeadlessBackend::GetAppName() { return m_appName; }

int CHeadlessBackend::MessageBox(HWND hOwner, const WChar* pszText, const WChar* pszCaption,
                                 UINT nType) {
    int nAnswer = 0;
    {
        std::lock_guard lock(m_mutex);
        if (!m_messageBoxAnswers.empty()) {
            nAnswer = m_messageBoxAnswers.front();
            m_messageBoxAnswers.pop_front();
        }
    }
    if (nAnswer == 0) {
        // Unscripted, the user presses the first button.
        switch (nType & kMessageBoxTypeMask) {
            case 2:  // MB_ABORTRETRYIGNORE
                nAnswer = IDABORT;
                break;
            case 3:  // MB_YESNOCANCEL
            case 4:  // MB_YESNO
                nAnswer = IDYES;
                break;
            case 5:  // MB_RETRYCANCEL
                nAnswer = IDRETRY;
                break;
            default:
                nAnswer = IDOK;
                break;
        }
    }
    // A box without an owner may come from another thread; only the dialog's thread may look
    // at the windows.
    SUiEvent event =
        MakeEvent(EUiEvent::kMessageBox, hOwner != nullptr ? DialogId(hOwner) : 0, TextOf(pszText),
                  pszCaption != nullptr ? WString(pszCaption) : u"Error");
    event.nType = nType;
    event.nResult = nAnswer;
    Emit(std::move(event));
    return nAnswer;
}

int CHeadlessBackend::MessageBoxA(HWND hOwner, const char* pszText, const char* pszCaption,
                                  UINT nType) {
    const WString text = WideFromUtf8(pszText != nullptr ? pszText : "");
    const WString caption = WideFromUtf8(pszCaption != nullptr ? pszCaption : "Error");
    return MessageBox(hOwner, text.c_str(), caption.c_str(), nType);
}

void CHeadlessBackend::OleInitialize() { ++m_nOleDepth; }

void CHeadlessBackend::OleUninitialize() { --m_nOleDepth; }

EFolderChoice CHeadlessBackend::BrowseForFolder(const WChar* pszTitle, UINT /*nFlags*/,
                                                WChar* pszPath) {
    std::pair<EFolderChoice, WString> answer{EFolderChoice::kCancelled, WString()};
    {
        std::lock_guard lock(m_mutex);
        if (!m_folderChoices.empty()) {
            answer = std::move(m_folderChoices.front());
            m_folderChoices.pop_front();
        }
    }
    // A path that does not fit the caller's buffer has no usable file-system path.
    if (answer.first == EFolderChoice::kChosen &&
        (pszPath == nullptr || answer.second.size() >= kMaxPath)) {
        answer.first = EFolderChoice::kNoPath;
    }
    if (answer.first == EFolderChoice::kChosen) {
        WCopyBounded(pszPath, kMaxPath, answer.second);
    }
    SUiEvent event = MakeEvent(EUiEvent::kFolderChooser, 0, TextOf(pszTitle));
    event.nResult = static_cast<INT_PTR>(answer.first);
    event.detail = answer.first == EFolderChoice::kChosen ? answer.second : WString();
    Emit(std::move(event));
    return answer.first;
}

BOOL CHeadlessBackend::ShellNotifyIcon(DWORD dwMessage, NOTIFYICONDATAW& data) {
    if (!m_bTrayAvailable) {
        return FALSE;
    }
    auto it = std::find_if(m_trayIcons.begin(), m_trayIcons.end(), [&](const auto& icon) {
        return icon.hWnd == data.hWnd && icon.uID == data.uID;
    });
    auto apply = [&data](SHeadlessTrayIcon& icon) {
        icon.cbSize = data.cbSize;
        icon.uFlags |= data.uFlags;
        if ((data.uFlags & NIF_MESSAGE) != 0) {
            icon.uCallbackMessage = data.uCallbackMessage;
        }
        if ((data.uFlags & NIF_ICON) != 0) {
            icon.hIcon = data.hIcon;
        }
        if ((data.uFlags & NIF_TIP) != 0) {
            const WChar* pszTip = NotifyTipBuffer(data);
            std::size_t n = 0;
            while (n < kNotifyTipLength - 1 && pszTip[n] != 0) {
                ++n;
            }
            icon.tip.assign(pszTip, n);
        }
    };
    switch (dwMessage) {
        case NIM_ADD: {
            if (it != m_trayIcons.end()) {
                return FALSE;
            }
            SHeadlessTrayIcon icon;
            icon.hWnd = data.hWnd;
            icon.uID = data.uID;
            apply(icon);
            m_trayIcons.push_back(icon);
            Emit(MakeEvent(EUiEvent::kTrayIconAdded, DialogId(icon.hWnd), icon.tip));
            return TRUE;
        }
        case NIM_MODIFY:
            if (it == m_trayIcons.end()) {
                return FALSE;
            }
            apply(*it);
            Emit(MakeEvent(EUiEvent::kTrayIconChanged, DialogId(it->hWnd), it->tip));
            return TRUE;
        case NIM_DELETE: {
            if (it == m_trayIcons.end()) {
                return FALSE;
            }
            SUiEvent event = MakeEvent(EUiEvent::kTrayIconDeleted, DialogId(it->hWnd), it->tip);
            m_trayIcons.erase(it);
            Emit(std::move(event));
            return TRUE;
        }
        default:
            return FALSE;
    }
}

void CHeadlessBackend::ShellExecute(HWND hWnd, const WChar* pszVerb, const WChar* pszFile,
                                    int nShowCmd) {
    SUiEvent event = MakeEvent(EUiEvent::kShellExecute, DialogId(hWnd), TextOf(pszFile));
    event.detail = pszVerb != nullptr ? WString(pszVerb) : u"open";
    event.nResult = nShowCmd;
    Emit(std::move(event));
}

// ---- User actions ------------------------------------------------------------------------

bool CHeadlessBackend::CanTakeInput(const SHeadlessWindow* pControl) const {
    const SHeadlessWindow* pDialog = Find(TopDialog());
    if (pDialog == nullptr || pDialog->bEnded || !pDialog->bVisible || pDialog->bIconic ||
        !pDialog->bEnabled) {
        return false;
    }
    return pControl == nullptr || (pControl->bVisible && pControl->bEnabled);
}

bool CHeadlessBackend::Click(int nId) {
    DismissPopup();
    SHeadlessWindow* pControl = TopControl(nId);
    if (pControl == nullptr || !CanTakeInput(pControl)) {
        return false;
    }
    if (pControl->className != "Button" || IsButtonType(*pControl, BS_GROUPBOX)) {
        // Other controls only take the focus on a click; statics and frames not even that.
        if (pControl->className == "Edit" || pControl->className == "ComboBox" ||
            pControl->className == "SysListView32") {
            m_hFocus = pControl->hWnd;
            return true;
        }
        return false;
    }
    if (IsButtonType(*pControl, BS_AUTOCHECKBOX)) {
        pControl->nCheck = pControl->nCheck != 0 ? 0 : 1;
    }
    m_hFocus = pControl->hWnd;
    return SendCommand(TopDialog(), nId, BN_CLICKED, pControl->hWnd);
}

SHeadlessWindow* CHeadlessBackend::InputControl(int nId, std::string_view className) {
    DismissPopup();
    SHeadlessWindow* pControl = TopControl(nId);
    if (pControl == nullptr || pControl->className != className || !CanTakeInput(pControl)) {
        return nullptr;
    }
    return pControl;
}

bool CHeadlessBackend::SetEditText(int nId, const WString& text) {
    SHeadlessWindow* pControl = InputControl(nId, "Edit");
    if (pControl == nullptr || (pControl->dwStyle & ES_READONLY) != 0) {
        return false;
    }
    m_hFocus = pControl->hWnd;
    SetWindowText(pControl->hWnd, text.c_str());
    return true;
}

bool CHeadlessBackend::SelectCombo(int nId, int nIndex) {
    SHeadlessWindow* pControl = InputControl(nId, "ComboBox");
    if (pControl == nullptr || nIndex < 0 || nIndex >= static_cast<int>(pControl->items.size())) {
        return false;
    }
    m_hFocus = pControl->hWnd;
    ComboSetCurSel(pControl->hWnd, nIndex);
    return SendCommand(TopDialog(), nId, CBN_SELCHANGE, pControl->hWnd);
}

bool CHeadlessBackend::SelectCombo(int nId, const WString& text) {
    const SHeadlessWindow* pControl = TopControl(nId);
    if (pControl == nullptr) {
        return false;
    }
    auto it = std::find(pControl->items.begin(), pControl->items.end(), text);
    if (it == pControl->items.end()) {
        return false;
    }
    return SelectCombo(nId, static_cast<int>(it - pControl->items.begin()));
}

bool CHeadlessBackend::TickRow(int nListId, int nRow, bool bTicked) {
    SHeadlessWindow* pList = InputControl(nListId, "SysListView32");
    if (pList == nullptr || (pList->dwListExStyle & LVS_EX_CHECKBOXES) == 0 || nRow < 0 ||
        nRow >= static_cast<int>(pList->rows.size())) {
        return false;
    }
    m_hFocus = pList->hWnd;
    pList->rows[static_cast<std::size_t>(nRow)].bChecked = bTicked;
    return true;
}

bool CHeadlessBackend::SelectRow(int nListId, int nRow) {
    SHeadlessWindow* pList = InputControl(nListId, "SysListView32");
    if (pList == nullptr || nRow < 0 || nRow >= static_cast<int>(pList->rows.size())) {
        return false;
    }
    m_hFocus = pList->hWnd;
    return ListSetItemState(pList->hWnd, nRow, LVIS_SELECTED | LVIS_FOCUSED,
                            LVIS_SELECTED | LVIS_FOCUSED) != FALSE;
}

bool CHeadlessBackend::PressEnter() {
    DismissPopup();
    if (!CanTakeInput(nullptr)) {
        return false;
    }
    HWND hDlg = TopDialog();
    // The focused push button takes Enter; otherwise the default push button does.
    if (const SHeadlessWindow* pFocus = Find(m_hFocus);
        pFocus != nullptr && pFocus->hParent == hDlg && IsPushButton(*pFocus) &&
        CanTakeInput(pFocus)) {
        return SendCommand(hDlg, pFocus->nId, BN_CLICKED, pFocus->hWnd);
    }
    for (const auto& [key, pWindow] : m_windows) {
        if (pWindow->hParent == hDlg && pWindow->pDialog == nullptr &&
            IsButtonType(*pWindow, BS_DEFPUSHBUTTON)) {
            if (!CanTakeInput(pWindow.get())) {
                return false;  // a disabled default button: the dialog only beeps
            }
            return SendCommand(hDlg, pWindow->nId, BN_CLICKED, pWindow->hWnd);
        }
    }
    return SendCommand(hDlg, IDOK, BN_CLICKED, nullptr);
}

bool CHeadlessBackend::PressEscape() {
    DismissPopup();
    if (!CanTakeInput(nullptr)) {
        return false;
    }
    HWND hDlg = TopDialog();
    return SendCommand(hDlg, IDCANCEL, BN_CLICKED, GetDlgItem(hDlg, IDCANCEL));
}

bool CHeadlessBackend::CloseBox() {
    DismissPopup();
    const SHeadlessWindow* pDialog = TopDialogWindow();
    // Also reachable from the task bar when minimised, but not when hidden.
    if (pDialog == nullptr || pDialog->bEnded || !pDialog->bVisible ||
        (pDialog->dwStyle & WS_SYSMENU) == 0) {
        return false;
    }
    SendMessage(pDialog->hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    return true;
}

bool CHeadlessBackend::Minimise() {
    DismissPopup();
    const SHeadlessWindow* pDialog = TopDialogWindow();
    if (!CanTakeInput(nullptr) || (pDialog->dwStyle & WS_MINIMIZEBOX) == 0) {
        return false;
    }
    SendMessage(pDialog->hWnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    return true;
}

bool CHeadlessBackend::Restore() {
    DismissPopup();
    const SHeadlessWindow* pDialog = TopDialogWindow();
    if (pDialog == nullptr || pDialog->bEnded || !pDialog->bVisible || !pDialog->bIconic) {
        return false;
    }
    SendMessage(pDialog->hWnd, WM_SYSCOMMAND, SC_RESTORE, 0);
    return true;
}

bool CHeadlessBackend::Paint() {
    const SHeadlessWindow* pDialog = TopDialogWindow();
    if (pDialog == nullptr || pDialog->bEnded || !pDialog->bVisible) {
        return false;
    }
    SendMessage(pDialog->hWnd, WM_PAINT, 0, 0);
    return true;
}

bool CHeadlessBackend::SysCommand(UINT nID) {
    DismissPopup();
    const SHeadlessWindow* pDialog = TopDialogWindow();
    if (pDialog == nullptr || pDialog->bEnded || !pDialog->bVisible) {
        return false;
    }
    if (!m_menus.HasCommand(pDialog->hSystemMenu, nID)) {
        return false;
    }
    SendMessage(pDialog->hWnd, WM_SYSCOMMAND, nID, 0);
    return true;
}

bool CHeadlessBackend::TrayMouse(UINT nMouseMessage) {
    if (m_trayIcons.empty()) {
        return false;
    }
    const SHeadlessTrayIcon icon = m_trayIcons.front();
    if ((icon.uFlags & NIF_MESSAGE) == 0 || Find(icon.hWnd) == nullptr) {
        return false;
    }
    SendMessage(icon.hWnd, icon.uCallbackMessage, icon.uID, static_cast<LPARAM>(nMouseMessage));
    return true;
}

bool CHeadlessBackend::TrayDoubleClick() {
    DismissPopup();
    const UINT kDoubleClick[] = {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP};
    for (UINT nMessage : kDoubleClick) {
        if (!TrayMouse(nMessage)) {
            return false;
        }
    }
    return true;
}

bool CHeadlessBackend::TrayRightClick() {
    DismissPopup();
    return TrayMouse(WM_RBUTTONDOWN) && TrayMouse(WM_RBUTTONUP);
}

bool CHeadlessBackend::ChooseMenuCommand(UINT nID) {
    if (!m_pPopup) {
        return false;
    }
    const SHeadlessPopup popup = *m_pPopup;
    auto it = std::find_if(popup.items.begin(), popup.items.end(), [nID](const auto& item) {
        return !item.bPopup && !item.text.empty() && item.nId == nID;
    });
    if (it == popup.items.end()) {
        return false;
    }
    m_pPopup.reset();
    SendMessage(popup.hOwner, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(nID & 0xFFFF), 0), 0);
    return true;
}

void CHeadlessBackend::DismissPopup() { m_pPopup.reset(); }

// ---- Description -------------------------------------------------------------------------

std::string CHeadlessBackend::DescribeDialog() const {
    const SHeadlessWindow* pDialog = Find(TopDialog());
    if (pDialog == nullptr) {
        return "no dialog\n";
    }
    std::string out = "dialog " + std::to_string(pDialog->nTemplateId) + " " +
                      Quoted(pDialog->text) + (pDialog->bVisible ? " visible" : " hidden") +
                      (pDialog->bIconic ? " minimised" : "") +
                      (pDialog->bEnabled ? "" : " disabled") + "\n";
    for (const auto& [key, pWindow] : m_windows) {
        const SHeadlessWindow& control = *pWindow;
        if (control.hParent != pDialog->hWnd || control.pDialog != nullptr) {
            continue;
        }
        out += "  " + (control.nId == -1 ? std::string("-") : std::to_string(control.nId)) + " " +
               control.className + " " + Quoted(control.text);
        if (!control.bEnabled) {
            out += " disabled";
        }
        if (!control.bVisible) {
            out += " hidden";
        }
        if (control.hWnd == m_hFocus) {
            out += " focused";
        }
        if (IsButtonType(control, BS_AUTOCHECKBOX)) {
            out += control.nCheck != 0 ? " checked" : " unchecked";
        }
        if (control.className == "ComboBox") {
            out += " items";
            for (const WString& item : control.items) {
                out += " " + Quoted(item);
            }
            out += " selected " + std::to_string(control.nCurSel);
        }
        if (control.className == "SysListView32") {
            out += " rows " + std::to_string(control.rows.size()) + " top " +
                   std::to_string(control.nTopIndex) + " columns";
            for (const WString& column : control.columns) {
                out += " " + Quoted(column);
            }
        }
        out += "\n";
        for (std::size_t i = 0; i < control.rows.size(); ++i) {
            const SHeadlessRow& row = control.rows[i];
            out += "    row " + std::to_string(i) + (row.bChecked ? " [x]" : " [ ]");
            for (const WString& cell : row.cells) {
                out += " " + Quoted(cell);
            }
            if ((row.nState & LVIS_SELECTED) != 0) {
                out += " selected";
            }
            out += "\n";
        }
    }
    return out;
}
