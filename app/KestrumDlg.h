// CKestrumDlg: the main dialog. Lists the player's songs with a check box each, searches them,
// copies the ticked ones into a chosen folder and shows the player's disk summary.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "app/ExtractRun.h"
#include "app/ListSongTable.h"
#include "app/SongTableMirror.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "res/resource.h"
#include "songdb/SongDatabase.h"
#include "songdb/SongSearch.h"
#include "traydlg/TrayDialog.h"
#include "ui/ComboBox.h"
#include "ui/ListCtrl.h"
#include "ui/TaskbarProgress.h"

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
    // During a run, closing the window cancels the run first and closes once it has stopped.
    void OnCancel() override;
    // The window coming back from the notification area brings a run's progress back with it.
    void OnNotifyLButtonDblClk(POINT point) override;

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
    CListSongTable m_tableSongs{m_listSongs};  // the list as a song table
    CComboBox m_comboField;
    // What the database fills: the list above, with its texts kept for the extraction worker.
    CSongTableMirror m_songTable{m_tableSongs};
    // The progress dialog while an extraction runs, else nullptr.
    CDialog* m_pProgress = nullptr;
    bool m_bCloseAfterRun = false;

    DECLARE_MESSAGE_MAP()

private:
    // Writes the disk summary of drive (for example "E:") into statics 1012, 1013 and 1015.
    void ShowDiskSummary(const WChar* pszDrive);
    // Whether the cell text, compared from every start position, holds m_szSearch.
    bool CellMatches(int nRow);
    // Copies the ticked rows into pszFolder on a worker thread behind the progress dialog, then
    // tells the user how it went.
    void RunExtraction(const WChar* pszFolder);
    // Keeps the items that fit the folder's free space, in row order, when they do not all fit
    // and the user agrees; false when the user would rather extract nothing. The taskbar button
    // shows the run paused while the question is open.
    bool FitFreeSpace(const WChar* pszFolder, std::vector<SExtractItem>& items,
                      CTaskbarProgress& taskbar);
    // The notification-area tip: "Kestrum: N of M" during a run, "Kestrum" otherwise.
    void SetTrayTip(const WChar* pszTip);
    void ShowProgressAgain();
    // The system menu's "Extract options...": the naming of copies, kept for the user.
    void OnExtractOptions();
    // The system menu's "Find lost songs": the song files the catalogue does not name, added
    // as rows at the end of the list. Once only.
    void OnFindLostSongs();

    // After a catalogue that could not be read: asks whether to list the player's song files
    // instead, and does. False (the user has been told) when the program is to end.
    bool OfferSongFiles(const WChar* pszDrive);
    // How a read of song files went.
    struct SReadOutcome {
        std::size_t nFound = 0;  // files to read
        std::size_t nAdded = 0;  // rows added (fewer when cancelled)
        bool bCancelled = false;
    };
    // Reads the song files (every one, or with named those no location of named names) behind
    // the progress dialog, and appends what was read as rows.
    SReadOutcome ReadSongFiles(std::optional<std::vector<WString>> named);
    // Grays a system-menu entry of the program's, or enables it again.
    void EnableSystemEntry(UINT nID, bool bEnable);
    void ShowSongCount();

    // The songs came from the player's files, its catalogue being unreadable.
    bool m_bFromFiles = false;
    // "Find lost songs" has run.
    bool m_bLostSongsRead = false;
    // What the removal watcher polls: the catalogue, or SysInfo when there is none to poll.
    WString m_strWatched;
    // The system menu's "Save song list...": every song with every field, as CSV, where the
    // user says.
    void OnSaveSongList();
    // The player's name, as its library playlist carries it; "iPod" when it has none.
    WString PlayerName() const;

    exportname::SNameRule m_nameRule;
};
