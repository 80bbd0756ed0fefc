// CTaskbarProgress: the progress of a long operation on a window's taskbar button, for as long
// as the object lives: a state (normal, paused, error) and how far the operation has gone.
#pragma once

#include "ui/WinDefs.h"

class CWnd;

class CTaskbarProgress {
public:
    // pWnd: the window whose button shows the progress (nullptr: nothing is shown).
    explicit CTaskbarProgress(CWnd* pWnd);
    // The button shows no progress any more.
    ~CTaskbarProgress();
    CTaskbarProgress(const CTaskbarProgress&) = delete;
    CTaskbarProgress& operator=(const CTaskbarProgress&) = delete;

    // TBPF_NORMAL, TBPF_PAUSED, TBPF_ERROR or TBPF_NOPROGRESS; a state it has is not sent again.
    void SetState(UINT nState);
    UINT GetState() const { return m_nState; }
    // nPos of nRange (a progress bar's range from 0). The button is told when the share has
    // moved by a thousandth, so that a bar moved in small steps does not call the shell for
    // each of them.
    void SetPos(int nPos, int nRange);
    // Flashes the button until the window comes to the foreground, unless one of the windows
    // given is the foreground window now (the user is looking at the program).
    void FlashUnlessForeground(HWND hOther);

private:
    HWND m_hWnd;
    UINT m_nState = TBPF_NOPROGRESS;
    int m_nPerMille = -1;
};
