// CListCtrl: the report-view list with a check box per row; it is also the song table the
// song database fills.
#pragma once

#include "songdb/SongTable.h"
#include "ui/Wnd.h"

class CListCtrl : public CWnd, public ISongTable {
public:
    DWORD SetExtendedStyle(DWORD dwNewStyle);
    int InsertColumn(int nCol, const WChar* pszHeading, int nFormat = LVCFMT_LEFT, int nWidth = -1);

    int InsertItem(int nItem, const WChar* pszText) override;
    bool SetItemText(int nItem, int nSubItem, const WChar* pszText) override;
    int GetItemText(int nItem, int nSubItem, WChar* pszBuffer, int nLen) const override;
    int GetItemCount() const override;
    bool GetCheck(int nItem) const override;
    bool SetCheck(int nItem, bool bCheck) override;

    BOOL SetItemState(int nItem, UINT nState, UINT nMask);
    UINT GetItemState(int nItem, UINT nMask) const;
    int GetTopIndex() const;
    // Scrolls by size.cx, size.cy pixels.
    BOOL Scroll(SIZE size);
    BOOL GetItemRect(int nItem, RECT* pRect, int nCode) const;
};
