// CProgressCtrl: a progress bar, driven with the progress bar's own messages so that every
// backend answers them as the system's control does.
#pragma once

#include "ui/Wnd.h"

class CProgressCtrl : public CWnd {
public:
    void SetRange32(int nLower, int nUpper);
    int SetPos(int nPos);  // the previous position
    int GetPos() const;
};
