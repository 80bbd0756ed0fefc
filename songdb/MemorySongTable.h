// A song table held in memory, for the command-line tool and the tests.
#pragma once

#include <array>
#include <cstddef>
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

    // The whole cell, for callers that are not bound to the 260-character buffers.
    const WString& Cell(int nItem, int nSubItem) const;

private:
    struct SRow {
        std::array<WString, kColumns> cells;
        bool bChecked = false;
    };
    bool IsRow(int nItem) const;

    std::vector<SRow> m_rows;
};
