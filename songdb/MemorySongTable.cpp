// The in-memory song table: rows of three cells and a tick, indexed as the list control is.
#include "songdb/MemorySongTable.h"

#include <algorithm>
#include <limits>

bool CMemorySongTable::IsRow(int nItem) const {
    return nItem >= 0 && static_cast<std::size_t>(nItem) < m_rows.size();
}

// Copies the text to the free end of the last block, or to a new one where it does not fit; a
// text longer than a block gets a block of its own size. A cell's old text stays where it was:
// tables are filled once, and a replaced text is rare.
CMemorySongTable::SCell CMemorySongTable::Keep(const WChar* pszText) {
    if (pszText == nullptr || *pszText == 0) {
        return {};
    }
    const std::size_t length =
        std::min<std::size_t>(WLength(pszText), std::numeric_limits<std::uint32_t>::max());
    if (length > m_nBlockRoom) {
        const std::size_t size = std::max(kBlockSize, length);
        m_blocks.push_back(std::make_unique_for_overwrite<WChar[]>(size));
        m_pBlockFree = m_blocks.back().get();
        m_nBlockRoom = size;
    }
    WChar* const pCell = m_pBlockFree;
    std::copy_n(pszText, length, pCell);
    m_pBlockFree += length;
    m_nBlockRoom -= length;
    return {pCell, static_cast<std::uint32_t>(length)};
}

int CMemorySongTable::InsertItem(int nItem, const WChar* pszText) {
    if (nItem < 0) {
        return -1;
    }
    const std::size_t index = std::min(static_cast<std::size_t>(nItem), m_rows.size());
    SRow row;
    row.cells[0] = Keep(pszText);
    m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(index), row);
    return static_cast<int>(index);
}

bool CMemorySongTable::SetItemText(int nItem, int nSubItem, const WChar* pszText) {
    if (!IsRow(nItem) || nSubItem < 0 || nSubItem >= kColumns) {
        return false;
    }
    m_rows[static_cast<std::size_t>(nItem)].cells[static_cast<std::size_t>(nSubItem)] =
        Keep(pszText);
    return true;
}

int CMemorySongTable::GetItemText(int nItem, int nSubItem, WChar* pszBuffer, int nLen) const {
    if (pszBuffer == nullptr || nLen <= 0) {
        return 0;
    }
    const WStringView cell = Cell(nItem, nSubItem);
    return static_cast<int>(WCopyBounded(pszBuffer, static_cast<std::size_t>(nLen), cell)
                                ? cell.size()
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

WStringView CMemorySongTable::Cell(int nItem, int nSubItem) const {
    if (!IsRow(nItem) || nSubItem < 0 || nSubItem >= kColumns) {
        return {};
    }
    const SCell& cell =
        m_rows[static_cast<std::size_t>(nItem)].cells[static_cast<std::size_t>(nSubItem)];
    return {cell.pText, cell.nLength};
}
