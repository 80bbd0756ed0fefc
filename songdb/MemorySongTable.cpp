// The in-memory song table: rows of three cells and a tick, indexed as the list control is.
#include "songdb/MemorySongTable.h"

#include <algorithm>

namespace {
const WString kEmpty;
}  // namespace

bool CMemorySongTable::IsRow(int nItem) const {
    return nItem >= 0 && static_cast<std::size_t>(nItem) < m_rows.size();
}

int CMemorySongTable::InsertItem(int nItem, const WChar* pszText) {
    if (nItem < 0) {
        return -1;
    }
    const std::size_t index = std::min(static_cast<std::size_t>(nItem), m_rows.size());
    SRow row;
    if (pszText != nullptr) {
        row.cells[0] = pszText;
    }
    m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(index), std::move(row));
    return static_cast<int>(index);
}

bool CMemorySongTable::SetItemText(int nItem, int nSubItem, const WChar* pszText) {
    if (!IsRow(nItem) || nSubItem < 0 || nSubItem >= kColumns) {
        return false;
    }
    WString& cell =
        m_rows[static_cast<std::size_t>(nItem)].cells[static_cast<std::size_t>(nSubItem)];
    if (pszText != nullptr) {
        cell = pszText;
    } else {
        cell.clear();
    }
    return true;
}

int CMemorySongTable::GetItemText(int nItem, int nSubItem, WChar* pszBuffer, int nLen) const {
    if (pszBuffer == nullptr || nLen <= 0) {
        return 0;
    }
    return static_cast<int>(
        WCopyBounded(pszBuffer, static_cast<std::size_t>(nLen), Cell(nItem, nSubItem))
            ? Cell(nItem, nSubItem).size()
            : static_cast<std::size_t>(nLen) - 1);
}

int CMemorySongTable::GetItemCount() const { return static_cast<int>(m_rows.size()); }

bool CMemorySongTable::GetCheck(int nItem) const {
    return IsRow(nItem) && m_rows[static_cast<std::size_t>(nItem)].bChecked;
}

bool CMemorySongTable::SetCheck(int nItem, bool bCheck) {
    if (!IsRow(nItem)) {
        return false;
    }
    m_rows[static_cast<std::size_t>(nItem)].bChecked = bCheck;
    return true;
}

const WString& CMemorySongTable::Cell(int nItem, int nSubItem) const {
    if (!IsRow(nItem) || nSubItem < 0 || nSubItem >= kColumns) {
        return kEmpty;
    }
    return m_rows[static_cast<std::size_t>(nItem)].cells[static_cast<std::size_t>(nSubItem)];
}
