// The song table the database walk fills and the export reads: one row per track, three
// columns (0 title, 1 artist, 2 album), a check box per row.
#pragma once

#include "platform/Text.h"

// The song table's columns.
inline constexpr int kColumnTitle = 0;
inline constexpr int kColumnArtist = 1;
inline constexpr int kColumnAlbum = 2;

class ISongTable {
public:
    virtual ~ISongTable() = default;

    // Inserts a row at nItem with text in column 0, other cells empty, tick clear. An index
    // past the end appends. Returns the new row's index, or -1.
    virtual int InsertItem(int nItem, const WChar* pszText) = 0;
    virtual bool SetItemText(int nItem, int nSubItem, const WChar* pszText) = 0;
    // Copies the cell into buffer (at most nLen - 1 characters, always terminated); returns
    // the number of characters copied. A missing row or column reads as empty.
    virtual int GetItemText(int nItem, int nSubItem, WChar* pszBuffer, int nLen) const = 0;
    virtual int GetItemCount() const = 0;
    virtual bool GetCheck(int nItem) const = 0;
    virtual bool SetCheck(int nItem, bool bCheck) = 0;
};
