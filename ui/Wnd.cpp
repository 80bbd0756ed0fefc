// CWnd: message-map dispatch and the window operations, carried out by the installed backend.
#include "ui/Wnd.h"

#include "ui/Menu.h"
#include "ui/WinApp.h"

namespace {
// The root of every message-map chain: takes nothing.
const SMessageMapEntry kNoEntries[] = {{0, 0, 0, PfnHandler{}}};
const SMessageMap kRootMap = {nullptr, kNoEntries};
}  // namespace

CWnd::~CWnd() = default;

HWND CWnd::Detach() {
    HWND hWnd = m_hWnd;
    m_hWnd = nullptr;
    return hWnd;
}

const SMessageMap* CWnd::GetThisMessageMap() { return &kRootMap; }

const SMessageMap* CWnd::GetMessageMap() const { return GetThisMessageMap(); }

const SMessageMapEntry* CWnd::FindEntry(const SMessageMap* pMap, UINT nMessage, UINT nCode,
                                        UINT nID) {
    for (; pMap != nullptr;
         pMap = pMap->pfnGetBaseMap != nullptr ? pMap->pfnGetBaseMap() : nullptr) {
        for (const SMessageMapEntry* pEntry = pMap->pEntries; pEntry->nMessage != 0; ++pEntry) {
            if (pEntry->nMessage != nMessage) {
                continue;
            }
            // Only commands are told apart by code and id; other messages match by message.
            if (nMessage == WM_COMMAND && (pEntry->nCode != nCode || pEntry->nID != nID)) {
                continue;
            }
            return pEntry;
        }
    }
    return nullptr;
}

LRESULT CWnd::CallHandler(const SMessageMapEntry& entry, WPARAM wParam, LPARAM lParam) {
    if (const auto* pfn = std::get_if<PfnVoid>(&entry.pfn)) {
        (this->*(*pfn))();
        return 0;
    }
    if (const auto* pfn = std::get_if<PfnSysCommand>(&entry.pfn)) {
        (this->*(*pfn))(static_cast<UINT>(wParam), lParam);
        return 0;
    }
    if (const auto* pfn = std::get_if<PfnMessage>(&entry.pfn)) {
        return (this->*(*pfn))(wParam, lParam);
    }
    if (const auto* pfn = std::get_if<PfnCreate>(&entry.pfn)) {
        // WM_CREATE carries its creation record's address in lParam.
        return (this->*(*pfn))(reinterpret_cast<void*>(lParam));
    }
    if (const auto* pfn = std::get_if<PfnQueryDragIcon>(&entry.pfn)) {
        return reinterpret_cast<LRESULT>((this->*(*pfn))());
    }
    // An entry without a handler takes the message and does nothing.
    return 0;
}

LRESULT CWnd::WindowProc(UINT nMessage, WPARAM wParam, LPARAM lParam) {
    // Handlers may send further messages to this window; Default() must still see the one
    // that its own handler is answering.
    const SCurrentMessage saved = m_current;
    m_current = {nMessage, wParam, lParam};
    LRESULT result = 0;
    const UINT nCode = nMessage == WM_COMMAND ? HIWORD(wParam) : 0;
    const UINT nID = nMessage == WM_COMMAND ? LOWORD(wParam) : 0;
    if (const SMessageMapEntry* pEntry = FindEntry(GetMessageMap(), nMessage, nCode, nID)) {
        result = CallHandler(*pEntry, wParam, lParam);
    } else {
        result = DefWindowProc(nMessage, wParam, lParam);
    }
    m_current = saved;
    return result;
}

LRESULT CWnd::Default() {
    return DefWindowProc(m_current.nMessage, m_current.wParam, m_current.lParam);
}

LRESULT CWnd::DefWindowProc(UINT nMessage, WPARAM wParam, LPARAM lParam) {
    return UiBackend().DefWindowProc(m_hWnd, nMessage, wParam, lParam);
}

LRESULT CWnd::SendMessage(UINT nMessage, WPARAM wParam, LPARAM lParam) {
    return UiBackend().SendMessage(m_hWnd, nMessage, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT nMessage, WPARAM wParam, LPARAM lParam) {
    return UiBackend().PostMessage(m_hWnd, nMessage, wParam, lParam);
}

BOOL CWnd::ShowWindow(int nCmdShow) { return UiBackend().ShowWindow(m_hWnd, nCmdShow); }

BOOL CWnd::IsWindowVisible() const { return UiBackend().IsWindowVisible(m_hWnd); }

BOOL CWnd::IsIconic() const { return UiBackend().IsIconic(m_hWnd); }

BOOL CWnd::EnableWindow(BOOL bEnable) { return UiBackend().EnableWindow(m_hWnd, bEnable); }

BOOL CWnd::IsWindowEnabled() const { return UiBackend().IsWindowEnabled(m_hWnd); }

void CWnd::SetWindowText(const WChar* pszText) { UiBackend().SetWindowText(m_hWnd, pszText); }

int CWnd::GetWindowText(WChar* pszBuffer, int nMaxCount) const {
    return UiBackend().GetWindowText(m_hWnd, pszBuffer, nMaxCount);
}

CWnd* CWnd::SetFocus() {
    // The previous focus window is handed back as a temporary wrapper, valid until the next
    // call: this framework keeps no handle-to-object table. Focus belongs to the dialog's
    // thread alone. Not thread_local: with MinGW's emulated TLS the destructor of a
    // thread_local object can run on already freed storage when the thread ends.
    static CWnd s_previous;
    HWND hPrevious = UiBackend().SetFocus(m_hWnd);
    if (hPrevious == nullptr) {
        return nullptr;
    }
    s_previous.m_hWnd = hPrevious;
    return &s_previous;
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon) {
    // The backends do not report the icon replaced; nobody here needs it.
    UiBackend().SetIcon(m_hWnd, hIcon, bBigIcon);
    return nullptr;
}

void CWnd::GetClientRect(RECT* pRect) const {
    if (pRect != nullptr) {
        UiBackend().GetClientRect(m_hWnd, *pRect);
    }
}

void CWnd::ClientToScreen(POINT* pPoint) const {
    if (pPoint != nullptr) {
        UiBackend().ClientToScreen(m_hWnd, *pPoint);
    }
}

CWnd* CWnd::GetDlgItem(int nID) const {
    HWND hItem = UiBackend().GetDlgItem(m_hWnd, nID);
    if (hItem == nullptr) {
        return nullptr;
    }
    std::unique_ptr<CWnd>& pChild = m_children[nID];
    if (!pChild) {
        pChild = std::make_unique<CWnd>();
    }
    // A dialog run a second time has new controls under the same ids.
    pChild->m_hWnd = hItem;
    return pChild.get();
}

void CWnd::SetDlgItemText(int nID, const WChar* pszText) {
    HWND hItem = UiBackend().GetDlgItem(m_hWnd, nID);
    if (hItem != nullptr) {
        UiBackend().SetWindowText(hItem, pszText);
    }
}

int CWnd::GetDlgItemText(int nID, WChar* pszBuffer, int nMaxCount) const {
    HWND hItem = UiBackend().GetDlgItem(m_hWnd, nID);
    if (hItem == nullptr) {
        if (pszBuffer != nullptr && nMaxCount > 0) {
            pszBuffer[0] = 0;
        }
        return 0;
    }
    return UiBackend().GetWindowText(hItem, pszBuffer, nMaxCount);
}

CMenu* CWnd::GetSystemMenu(BOOL /*bRevert*/) {
    HMENU hMenu = UiBackend().GetSystemMenu(m_hWnd);
    if (hMenu == nullptr) {
        return nullptr;
    }
    if (!m_pSystemMenu) {
        m_pSystemMenu = std::make_unique<CMenu>();
    }
    // The system menu belongs to the window; the wrapper only borrows it.
    m_pSystemMenu->AttachBorrowed(hMenu);
    return m_pSystemMenu.get();
}

int CWnd::MessageBox(const WChar* pszText, const WChar* pszCaption, UINT nType) {
    if (pszCaption == nullptr) {
        pszCaption = AfxGetAppName();
    }
    return UiBackend().MessageBox(m_hWnd, pszText, pszCaption, nType);
}

void CWnd::OnSysCommand(UINT /*nID*/, LPARAM /*lParam*/) { Default(); }

void CWnd::OnPaint() { Default(); }

int CWnd::OnCreate(void* /*pCreateStruct*/) { return static_cast<int>(Default()); }

void CWnd::OnDestroy() { Default(); }

CPaintDC::CPaintDC(CWnd* pWnd) : m_pWnd(pWnd), m_hDC(UiBackend().BeginPaint(pWnd->m_hWnd)) {}

CPaintDC::~CPaintDC() { UiBackend().EndPaint(m_pWnd->m_hWnd, m_hDC); }

BOOL CPaintDC::DrawIcon(int x, int y, HICON hIcon) {
    return UiBackend().DrawIcon(m_hDC, x, y, hIcon);
}
