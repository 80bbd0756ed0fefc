// CSongTableMirror: every change goes to the list first, then to the copy where the list took it.
#include "app/SongTableMirror.h"

int CSongTableMirror::InsertItem(int nItem, const WChar* pszText) {
    const int nShown = m_shown.InsertItem(nItem, pszText);
    if (nShown >= 0) {
        m_copy.InsertItem(nShown, pszText);
    }
    return nShown;
}

bool CSongTableMirror::SetItemText(int nItem, int nSubItem, const WChar* pszText) {
    if (!m_shown.SetItemText(nItem, nSubItem, pszText)) {
        return false;
    }
    m_copy.SetItemText(nItem, nSubItem, pszText);
    return true;
}

int CSongTableMirror::GetItemText(int nItem, int nSubItem, WChar* pszBuffer, int nLen) const {
    return m_copy.GetItemText(nItem, nSubItem, pszBuffer, nLen);
}
