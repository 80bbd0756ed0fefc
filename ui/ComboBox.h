// CComboBox: the sorted drop-down that picks the searched column.
#pragma once

#include "ui/Wnd.h"

class CComboBox : public CWnd {
public:
    int AddString(const WChar* pszString);
    int GetCurSel() const;
    int SetCurSel(int nSelect);
};
