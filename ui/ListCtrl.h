// CListCtrl: the report-view list with a check box per row.
#pragma once

#include "ui/Wnd.h"

class CListCtrl : public CWnd {
public:
    DWORD SetExtendedStyle(DWORD dwNewStyle);
    int InsertColumn(int nCol, const WChar* pszHeading, int nFormat = LVCFMT_LEFT, int nWidth = -1);

    int InsertItem(int nItem, const WChar* pszText);
    bool SetItemText(int nItem, int nSubItem, const WChar* pszText);
    int GetItemText(int nItem, int nSubItem, WChar* pszBuffer, int nLen) const;
    int GetItemCount() const;
    bool GetCheck(int nItem) const;
    bool SetCheck(int nItem, bool bCheck);

    BOOL SetItemState(int nItem, UINT nState, UINT nMask);
    UINT GetItemState(int nItem, UINT nMask) const;
    int GetTopIndex() const;
    // Scrolls by size.cx, size.cy pixels.
    BOOL Scroll(SIZE size);
    BOOL GetItemRect(int nItem, RECT* pRect, int nCode) const;
};
