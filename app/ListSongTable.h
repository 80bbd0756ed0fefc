// The main dialog's song list as the table the song database fills and the export reads.
#pragma once

#include "songdb/SongTable.h"
#include "ui/ListCtrl.h"

// Forwards each table operation to the list control; the list keeps the rows and ticks, so
// what the user sees is what the database walked and what the export reads.
class CListSongTable : public ISongTable {
public:
    explicit CListSongTable(CListCtrl& list) : m_list(list) {}

    int InsertItem(int nItem, const WChar* pszText) override {
        return m_list.InsertItem(nItem, pszText);
    }
    bool SetItemText(int nItem, int nSubItem, const WChar* pszText) override {
        return m_list.SetItemText(nItem, nSubItem, pszText);
    }
    int GetItemText(int nItem, int nSubItem, WChar* pszBuffer, int nLen) const override {
        return m_list.GetItemText(nItem, nSubItem, pszBuffer, nLen);
    }
    int GetItemCount() const override { return m_list.GetItemCount(); }
    bool GetCheck(int nItem) const override { return m_list.GetCheck(nItem); }
    bool SetCheck(int nItem, bool bCheck) override { return m_list.SetCheck(nItem, bCheck); }

private:
    CListCtrl& m_list;
};
