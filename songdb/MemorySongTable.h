// A song table held in memory, for the command-line tool, the window's copy of its list and the
// tests.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "songdb/SongTable.h"

class CMemorySongTable : public ISongTable {
public:
    static constexpr int kColumns = 3;

    int InsertItem(int nItem, const WChar* pszText) override;
    bool SetItemText(int nItem, int nSubItem, const WChar* pszText) override;
    int GetItemText(int nItem, int nSubItem, WChar* pszBuffer, int nLen) const override;
    int GetItemCount() const override;
    bool GetCheck(int nItem) const override;
    bool SetCheck(int nItem, bool bCheck) override;

    // Makes room for rows rows, so that filling a large table does not move it again and again.
    void Reserve(std::size_t rows) { m_rows.reserve(rows); }

    // The whole cell, for callers that are not bound to the 260-character buffers. Valid as long
    // as the table is.
    WStringView Cell(int nItem, int nSubItem) const;

private:
    // A cell's text lies in one of the blocks, which never move: 40,000 rows take a few dozen
    // allocations instead of one or more per cell.
    struct SCell {
        const WChar* pText = nullptr;
        std::uint32_t nLength = 0;
    };
    struct SRow {
        std::array<SCell, kColumns> cells;
        bool bChecked = false;
    };
    static constexpr std::size_t kBlockSize = std::size_t{1} << 16;

    bool IsRow(int nItem) const;
    SCell Keep(const WChar* pszText);

    std::vector<SRow> m_rows;
    std::vector<std::unique_ptr<WChar[]>> m_blocks;
    WChar* m_pBlockFree = nullptr;  // where the last block's free room starts
    std::size_t m_nBlockRoom = 0;
};
