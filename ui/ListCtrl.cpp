// CListCtrl: the report-view list, over the backend's list operations.
#include "ui/ListCtrl.h"

DWORD CListCtrl::SetExtendedStyle(DWORD dwNewStyle) {
    return UiBackend().ListSetExtendedStyle(m_hWnd, dwNewStyle);
}

int CListCtrl::InsertColumn(int nCol, const WChar* pszHeading, int nFormat, int nWidth) {
    return UiBackend().ListInsertColumn(m_hWnd, nCol, pszHeading, nFormat, nWidth);
}

int CListCtrl::InsertItem(int nItem, const WChar* pszText) {
    return UiBackend().ListInsertItem(m_hWnd, nItem, pszText);
}

bool CListCtrl::SetItemText(int nItem, int nSubItem, const WChar* pszText) {
    return UiBackend().ListSetItemText(m_hWnd, nItem, nSubItem, pszText) != FALSE;
}

int CListCtrl::GetItemText(int nItem, int nSubItem, WChar* pszBuffer, int nLen) const {
    return UiBackend().ListGetItemText(m_hWnd, nItem, nSubItem, pszBuffer, nLen);
}

int CListCtrl::GetItemCount() const { return UiBackend().ListGetItemCount(m_hWnd); }

bool CListCtrl::GetCheck(int nItem) const {
    return UiBackend().ListGetCheck(m_hWnd, nItem) != FALSE;
}

bool CListCtrl::SetCheck(int nItem, bool bCheck) {
    return UiBackend().ListSetCheck(m_hWnd, nItem, bCheck ? TRUE : FALSE) != FALSE;
}

BOOL CListCtrl::SetItemState(int nItem, UINT nState, UINT nMask) {
    return UiBackend().ListSetItemState(m_hWnd, nItem, nState, nMask);
}

UINT CListCtrl::GetItemState(int nItem, UINT nMask) const {
    return UiBackend().ListGetItemState(m_hWnd, nItem, nMask);
}

int CListCtrl::GetTopIndex() const { return UiBackend().ListGetTopIndex(m_hWnd); }

BOOL CListCtrl::Scroll(SIZE size) { return UiBackend().ListScroll(m_hWnd, size.cx, size.cy); }

BOOL CListCtrl::GetItemRect(int nItem, RECT* pRect, int nCode) const {
    if (pRect == nullptr) {
        return FALSE;
    }
    return UiBackend().ListGetItemRect(m_hWnd, nItem, *pRect, nCode);
}
