// CTaskbarProgress: keeps what the button shows and tells the backend what changes.
#include "ui/TaskbarProgress.h"

#include <cstdint>

#include "ui/Backend.h"
#include "ui/Wnd.h"

CTaskbarProgress::CTaskbarProgress(CWnd* pWnd)
    : m_hWnd(pWnd != nullptr ? pWnd->GetSafeHwnd() : nullptr) {}

CTaskbarProgress::~CTaskbarProgress() { SetState(TBPF_NOPROGRESS); }

void CTaskbarProgress::SetState(UINT nState) {
    if (m_hWnd == nullptr || nState == m_nState) {
        return;
    }
    m_nState = nState;
    // A button that shows no progress forgets its value: the next progress starts afresh.
    if (nState == TBPF_NOPROGRESS) {
        m_nPerMille = -1;
    }
    UiBackend().SetTaskbarProgressState(m_hWnd, nState);
}

void CTaskbarProgress::SetPos(int nPos, int nRange) {
    if (m_hWnd == nullptr || nRange <= 0) {
        return;
    }
    const auto completed = static_cast<std::uint64_t>(nPos < 0 ? 0 : nPos > nRange ? nRange : nPos);
    const auto total = static_cast<std::uint64_t>(nRange);
    const int nPerMille = static_cast<int>(completed * 1000 / total);
    if (nPerMille == m_nPerMille) {
        return;
    }
    m_nPerMille = nPerMille;
    UiBackend().SetTaskbarProgressValue(m_hWnd, completed, total);
}

void CTaskbarProgress::FlashUnlessForeground(HWND hOther) {
    if (m_hWnd == nullptr) {
        return;
    }
    HWND hForeground = UiBackend().GetForegroundWindow();
    if (hForeground != nullptr && (hForeground == m_hWnd || hForeground == hOther)) {
        return;
    }
    UiBackend().FlashWindowEx(m_hWnd, FLASHW_TRAY | FLASHW_TIMERNOFG, 0);
}
