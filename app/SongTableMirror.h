// CSongTableMirror: the song table the database fills, passed on to the list the user sees, with
// a copy of its texts kept aside. The copy is written only while the database is loaded, on the
// dialog's thread; after that the extraction worker reads titles from it, never from the list,
// which belongs to the dialog's thread.
#pragma once

#include "songdb/MemorySongTable.h"
#include "songdb/SongTable.h"

class CSongTableMirror : public ISongTable {
public:
    explicit CSongTableMirror(ISongTable& shown) : m_shown(shown) {}

    int InsertItem(int nItem, const WChar* pszText) override;
    bool SetItemText(int nItem, int nSubItem, const WChar* pszText) override;
    // From the copy: the same text the list was given.
    int GetItemText(int nItem, int nSubItem, WChar* pszBuffer, int nLen) const override;
    int GetItemCount() const override { return m_copy.GetItemCount(); }
    // Ticks are the user's: always the list's own.
    bool GetCheck(int nItem) const override { return m_shown.GetCheck(nItem); }
    bool SetCheck(int nItem, bool bCheck) override { return m_shown.SetCheck(nItem, bCheck); }

private:
    ISongTable& m_shown;
    CMemorySongTable m_copy;
};
