// CKestrumDlg: the main dialog. Lists the player's songs with a check box each, searches them,
// copies the ticked ones into a chosen folder and shows the player's disk summary.
#pragma once

#include <cstdint>

#include "platform/Platform.h"
#include "platform/Text.h"
#include "res/resource.h"
#include "songdb/SongDatabase.h"
#include "traydlg/TrayDialog.h"
#include "ui/ComboBox.h"
#include "ui/ListCtrl.h"

// Song table columns, which are also the song database's cell columns.
inline constexpr int kColumnTitle = 0;
inline constexpr int kColumnArtist = 1;
inline constexpr int kColumnAlbum = 2;

// The search text is at most this many characters; shorter ones are refused.
inline constexpr int kSearchMaxLength = 79;
inline constexpr int kSearchMinLength = 3;

class CKestrumDlg : public CTrayDialog {
public:
    CKestrumDlg();
    ~CKestrumDlg() override;

    BOOL OnInitDialog() override;

    // Finds the player on drives D to Z, loads its database into the song table, enables the
    // controls and shows the disk summary. False (the user has been told) when any of it fails.
    bool FindDevice();

    // Read-only views for tests.
    const CSongDatabase* GetDatabase() const { return m_pDatabase; }
    int GetSearchNext() const { return m_nSearchNext; }
    int GetRowHeight() const { return m_nRowHeight; }
    BOOL GetCheckAll() const { return m_bCheckAll; }
    bool HasWatcher() const { return m_hWatchThread != nullptr; }
    const exportname::SNameRule& GetNameRule() const { return m_nameRule; }

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnExtract();
    void OnSearch();
    void OnSearchTextChange();
    void OnTrayShowWindow();
    void OnCheckAllNone();

    HICON m_hIcon;
    CSongDatabase* m_pDatabase;
    bool m_bFound;
    BOOL m_bCheckAll;
    int m_nSearchNext;
    int m_nSearchColumn;
    int m_nSearchLength;
    int m_nRowHeight;
    WChar m_szSearch[kMaxPath];
    platform::ThreadHandle m_hWatchThread;
    CListCtrl m_listSongs;
    CComboBox m_comboField;

    DECLARE_MESSAGE_MAP()

private:
    // Writes the disk summary of drive (for example "E:") into statics 1012, 1013 and 1015.
    void ShowDiskSummary(const WChar* pszDrive);
    // Whether the cell text, compared from every start position, holds m_szSearch.
    bool CellMatches(int nRow);
    // The system menu's "Extract options...": the naming of copies, kept for the user.
    void OnExtractOptions();

    exportname::SNameRule m_nameRule;
};
