// CProgressCtrl over the progress bar messages.
#include "ui/ProgressCtrl.h"

void CProgressCtrl::SetRange32(int nLower, int nUpper) {
    SendMessage(PBM_SETRANGE32, static_cast<WPARAM>(nLower), static_cast<LPARAM>(nUpper));
}

int CProgressCtrl::SetPos(int nPos) {
    return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(nPos), 0));
}

int CProgressCtrl::GetPos() const {
    return static_cast<int>(UiBackend().SendMessage(m_hWnd, PBM_GETPOS, 0, 0));
}
