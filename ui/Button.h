// CButton: a check box's state, over the backend's button operations.
#pragma once

#include "ui/Wnd.h"

class CButton : public CWnd {
public:
    // BST_UNCHECKED or BST_CHECKED.
    int GetCheck() const;
    void SetCheck(int nCheck);
};
