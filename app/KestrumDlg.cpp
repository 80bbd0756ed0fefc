// CKestrumDlg: set-up and teardown, device discovery and disk summary, song search, extract,
// check-all toggle, the about entry and the way back from the notification area.
#include "app/KestrumDlg.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <new>
#include <numeric>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "app/AboutDlg.h"
#include "app/DeviceWatcher.h"
#include "app/ExtractOptionsDlg.h"
#include "app/ExtractProgressDlg.h"
#include "app/ExtractRun.h"
#include "app/ReadProgressDlg.h"
#include "app/SongFilesRead.h"
#include "songdb/SongList.h"
#include "ui/Backend.h"
#include "ui/Menu.h"

namespace {

// The disk summary's texts are built in buffers of this many characters; a figure too long
// for it is cut rather than written past the end.
constexpr std::size_t kSummaryLength = 10;
// "Error is : %d" is built in this many bytes; every load error code fits.
constexpr std::size_t kErrorTextLength = 20;

// Copies a narrow ASCII text into a wide buffer of capacity characters.
void WideCopy(WChar* pszTarget, std::size_t capacity, const char* pszSource) {
    WCopyBounded(pszTarget, capacity, WideFromAscii(pszSource));
}

// Megabytes as the summary shows them: whole megabytes, as a signed 32-bit figure.
void FormatMegabytes(WChar (&szText)[kSummaryLength], std::uint64_t bytes) {
    char szNarrow[kSummaryLength];
    std::snprintf(szNarrow, sizeof szNarrow, "%d Mb", static_cast<std::int32_t>(bytes >> 20));
    WideCopy(szText, kSummaryLength, szNarrow);
}

void FormatCount(WChar (&szText)[kSummaryLength], std::uint32_t count) {
    char szNarrow[kSummaryLength];
    std::snprintf(szNarrow, sizeof szNarrow, "%d", static_cast<std::int32_t>(count));
    WideCopy(szText, kSummaryLength, szNarrow);
}

// The combo box sorts its entries ("Album", "Artist", "Title"); each stands for a column.
int ColumnOfField(int nSelection) {
    switch (nSelection) {
        case 2:
            return kColumnTitle;
        case 1:
            return kColumnArtist;
        default:
            return kColumnAlbum;
    }
}

}  // namespace

BEGIN_MESSAGE_MAP(CKestrumDlg, CTrayDialog)
ON_WM_SYSCOMMAND()
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_BN_CLICKED(IDOK, OnExtract)
ON_BN_CLICKED(IDC_SEARCH, OnSearch)
ON_EN_CHANGE(IDC_SEARCHTEXT, OnSearchTextChange)
ON_COMMAND(ID_TRAY_SHOWWINDOW, OnTrayShowWindow)
ON_BN_CLICKED(IDC_CHECKALL, OnCheckAllNone)
END_MESSAGE_MAP()

CKestrumDlg::CKestrumDlg()
    : CTrayDialog(IDD_KESTRUM_DIALOG),
      m_hIcon(UiBackend().LoadIcon(IDR_MAINICON)),
      m_pDatabase(nullptr),
      m_bFound(false),
      m_bCheckAll(FALSE),
      m_nSearchNext(0),
      m_nSearchColumn(kColumnTitle),
      m_nSearchLength(0),
      m_nRowHeight(0),
      m_szSearch{},
      m_hWatchThread(nullptr) {}

CKestrumDlg::~CKestrumDlg() {
    // Deleting the database writes the user's Explorer setting back.
    delete m_pDatabase;
    m_pDatabase = nullptr;
    if (m_hWatchThread != nullptr) {
        platform::Platform().CloseThread(m_hWatchThread);
        m_hWatchThread = nullptr;
    }
}

void CKestrumDlg::DoDataExchange(CDataExchange* pDX) {
    CTrayDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_SONGLIST, m_listSongs);
    DDX_Control(pDX, IDC_SEARCHFIELD, m_comboField);
}

BOOL CKestrumDlg::OnInitDialog() {
    CTrayDialog::OnInitDialog();
    m_pDatabase = nullptr;

    if (CMenu* pSysMenu = GetSystemMenu(FALSE); pSysMenu != nullptr) {
        WChar szAbout[kMaxPath] = {};
        if (UiBackend().LoadString(IDS_ABOUTBOX, szAbout, static_cast<int>(kMaxPath)) > 0) {
            pSysMenu->AppendMenu(MF_SEPARATOR);
            pSysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, szAbout);
        }
        WChar szOptions[kMaxPath] = {};
        if (UiBackend().LoadString(IDS_EXTRACTOPTIONS, szOptions, static_cast<int>(kMaxPath)) > 0) {
            pSysMenu->AppendMenu(MF_STRING, IDM_EXTRACTOPTIONS, szOptions);
        }
        WChar szSave[kMaxPath] = {};
        if (UiBackend().LoadString(IDS_SAVESONGLIST, szSave, static_cast<int>(kMaxPath)) > 0) {
            pSysMenu->AppendMenu(MF_STRING, IDM_SAVESONGLIST, szSave);
        }
    }
    m_nameRule = LoadNameRule();

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    m_listSongs.SetExtendedStyle(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    m_listSongs.InsertColumn(kColumnTitle, u"Title", LVCFMT_LEFT, 240);
    m_listSongs.InsertColumn(kColumnArtist, u"Artist", LVCFMT_LEFT, 160);
    m_listSongs.InsertColumn(kColumnAlbum, u"Album", LVCFMT_LEFT, 150);

    m_comboField.AddString(u"Title");
    m_comboField.AddString(u"Artist");
    m_comboField.AddString(u"Album");

    if (!FindDevice()) {
        EndDialog(0);
        delete m_pDatabase;
        m_pDatabase = nullptr;
        return TRUE;
    }

    // The second row's height; a list of one song has none, and the search then scrolls by 0.
    RECT rect{};
    m_listSongs.GetItemRect(1, &rect, LVIR_BOUNDS);
    m_nRowHeight = rect.bottom - rect.top;

    SetNotifyIcon(IDR_MAINICON);
    SetNotifyTip(u"Kestrum");
    SetNotifyMenu(IDR_TRAYMENU);

    m_bCheckAll = FALSE;
    ShowWindow(SW_SHOWNORMAL);
    m_nSearchNext = 0;

    // Without a catalogue there is nothing lost to find.
    if (!m_bFromFiles) {
        WChar szLost[kMaxPath] = {};
        CMenu* pSysMenu = GetSystemMenu(FALSE);
        if (pSysMenu != nullptr &&
            UiBackend().LoadString(IDS_FINDLOSTSONGS, szLost, static_cast<int>(kMaxPath)) > 0) {
            pSysMenu->AppendMenu(MF_STRING, IDM_FINDLOSTSONGS, szLost);
        }
    }

    // Without a watcher the program still works; it only cannot notice the player leaving.
    m_hWatchThread = StartDeviceWatcher(*m_pDatabase, m_strWatched);
    return TRUE;
}

bool CKestrumDlg::FindDevice() {
    try {
        m_pDatabase = new CSongDatabase(m_songTable);

        // C is never tried: the scan advances the letter before each probe.
        WChar szDrive[3] = u"C:";
        m_bFound = false;
        for (int i = 0; i < 23; ++i) {
            ++szDrive[0];
            if (m_pDatabase->ProbeDevice(szDrive[0])) {
                m_bFound = true;
                break;
            }
        }
        if (!m_bFound) {
            MessageBox(u"Impossible to find an Ipod");
            return false;
        }

        // The probe leaves SysInfo's path, the load the catalogue's.
        m_strWatched = m_pDatabase->GetPath();
        if (m_pDatabase->LoadDatabase()) {
            m_strWatched = m_pDatabase->GetPath();
            // The results are not needed: the walk fills the song table as it goes.
            m_pDatabase->BeginWalk();
            const std::uint32_t nTracks = m_pDatabase->GetTrackCount();
            for (std::uint32_t i = 0; i < nTracks; ++i) {
                m_pDatabase->NextTrack();
            }
        } else {
            char szError[kErrorTextLength];
            std::snprintf(szError, sizeof szError, "Error is : %d", m_pDatabase->GetLastError());
            UiBackend().MessageBoxA(nullptr, szError, "Error", MB_OK);
            if (!OfferSongFiles(szDrive)) {
                return false;
            }
        }

        m_listSongs.EnableWindow(TRUE);
        if (CWnd* pExtract = GetDlgItem(IDOK); pExtract != nullptr) {
            pExtract->EnableWindow(TRUE);
        }
        ShowDiskSummary(szDrive);
        SetDlgItemText(IDC_DRIVE, szDrive);
        return true;
    } catch (const std::exception&) {
        MessageBox(u"An error occurred");
        return false;
    }
}

void CKestrumDlg::ShowDiskSummary(const WChar* pszDrive) {
    std::uint64_t freeToCaller = 0;
    std::uint64_t total = 0;
    if (!platform::Platform().GetDiskSpace(pszDrive, freeToCaller, total)) {
        return;
    }
    WChar szText[kSummaryLength];
    FormatMegabytes(szText, total);
    SetDlgItemText(IDC_DISKSIZE, szText);
    FormatMegabytes(szText, freeToCaller);
    SetDlgItemText(IDC_DISKFREE, szText);
    ShowSongCount();
}

void CKestrumDlg::ShowSongCount() {
    WChar szText[kSummaryLength];
    FormatCount(szText, m_pDatabase->GetTrackCount());
    SetDlgItemText(IDC_SONGCOUNT, szText);
}

bool CKestrumDlg::OfferSongFiles(const WChar* pszDrive) {
    const WString question = u"Kestrum could not read the song list of the player on drive " +
                             WString(pszDrive) + u". Read the songs from their files instead?";
    if (MessageBox(question.c_str(), nullptr, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return false;
    }
    m_bFromFiles = true;
    const SReadOutcome outcome = ReadSongFiles(std::nullopt);
    // A read cancelled early lists what it read, if nothing; a player found to hold no song
    // file has nothing to show.
    if (outcome.nFound == 0 && !outcome.bCancelled) {
        MessageBox(u"There are no song files on the player.");
        return false;
    }
    return true;
}

CKestrumDlg::SReadOutcome CKestrumDlg::ReadSongFiles(std::optional<std::vector<WString>> named) {
    CSongFilesRead read(*m_pDatabase, std::move(named));
    CReadProgressDlg dlgProgress(this, read);
    dlgProgress.DoModal();
    read.Stop();
    SReadOutcome outcome;
    outcome.nFound = read.GetFound();
    outcome.bCancelled = dlgProgress.WasCancelled();
    std::vector<SFileSong> songs = read.TakeSongs();
    outcome.nAdded = songs.size();
    m_pDatabase->AddFileSongs(std::move(songs));
    return outcome;
}

void CKestrumDlg::EnableSystemEntry(UINT nID, bool bEnable) {
    if (CMenu* pSysMenu = GetSystemMenu(FALSE); pSysMenu != nullptr) {
        const UINT nState = bEnable ? MF_ENABLED : MF_GRAYED;
        pSysMenu->EnableMenuItem(nID, static_cast<UINT>(MF_BYCOMMAND) | nState);
    }
}

void CKestrumDlg::OnFindLostSongs() {
    if (m_bFromFiles || m_bLostSongsRead || m_pProgress != nullptr) {
        return;
    }
    m_bLostSongsRead = true;
    EnableSystemEntry(IDM_FINDLOSTSONGS, false);
    const SReadOutcome outcome = ReadSongFiles(m_pDatabase->GetTrackLocations());
    ShowSongCount();
    if (outcome.nAdded == 0 && !outcome.bCancelled) {
        MessageBox(u"The player has no lost songs.");
        return;
    }
    const std::string text =
        outcome.nAdded == 1
            ? std::string("1 lost song was added at the end of the list.")
            : std::to_string(outcome.nAdded) + " lost songs were added at the end of the list.";
    MessageBox(WideFromAscii(text).c_str());
}

void CKestrumDlg::OnSysCommand(UINT nID, LPARAM lParam) {
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
        return;
    }
    if ((nID & 0xFFF0) == IDM_EXTRACTOPTIONS) {
        OnExtractOptions();
        return;
    }
    if ((nID & 0xFFF0) == IDM_FINDLOSTSONGS) {
        OnFindLostSongs();
        return;
    }
    if ((nID & 0xFFF0) == IDM_SAVESONGLIST) {
        OnSaveSongList();
        return;
    }
    CTrayDialog::OnSysCommand(nID, lParam);
}

void CKestrumDlg::OnPaint() {
    if (!IsIconic()) {
        CTrayDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);

    const int cxIcon = UiBackend().GetSystemMetrics(SM_CXICON);
    const int cyIcon = UiBackend().GetSystemMetrics(SM_CYICON);
    RECT rect{};
    GetClientRect(&rect);
    const int x = (rect.right - rect.left - cxIcon + 1) / 2;
    const int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR CKestrumDlg::OnQueryDragIcon() { return m_hIcon; }

void CKestrumDlg::OnTrayShowWindow() {
    // Unlike the double click, this does not look at m_bMinimizeToTray.
    if (HideNotifyIcon()) {
        ShowWindow(SW_SHOW);
        ShowProgressAgain();
    }
}

void CKestrumDlg::OnNotifyLButtonDblClk(POINT point) {
    CTrayDialog::OnNotifyLButtonDblClk(point);
    ShowProgressAgain();
}

void CKestrumDlg::ShowProgressAgain() {
    if (m_pProgress != nullptr && IsWindowVisible() && !m_pProgress->IsWindowVisible()) {
        m_pProgress->ShowWindow(SW_SHOW);
    }
}

void CKestrumDlg::SetTrayTip(const WChar* pszTip) {
    SetNotifyTip(pszTip);
    if (IsNotifyIconShown()) {
        UiBackend().ShellNotifyIcon(NIM_MODIFY, m_nid);
    }
}

void CKestrumDlg::OnCancel() {
    if (m_pProgress != nullptr) {
        m_bCloseAfterRun = true;
        m_pProgress->SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return;
    }
    CTrayDialog::OnCancel();
}

bool CKestrumDlg::CellMatches(int nRow) {
    return SongCellMatches(m_tableSongs, nRow, m_nSearchColumn, m_szSearch, m_nSearchLength);
}

void CKestrumDlg::OnSearch() {
    if (m_nSearchNext == 0) {
        m_nSearchLength =
            GetDlgItemText(IDC_SEARCHTEXT, m_szSearch, static_cast<int>(kSearchMaxLength) + 1);
        if (m_nSearchLength < static_cast<int>(kSearchMinLength)) {
            MessageBox(u"Word size < 3", u"Warning");
            m_nSearchNext = 0;
            return;
        }
        UpperCaseAscii(m_szSearch);
        const int nSelection = m_comboField.GetCurSel();
        if (nSelection == CB_ERR) {
            MessageBox(u"Select an item", u"Error");
            return;
        }
        m_nSearchColumn = ColumnOfField(nSelection);
    }

    const std::uint32_t nTracks = m_pDatabase != nullptr ? m_pDatabase->GetTrackCount() : 0;
    for (int i = m_nSearchNext; static_cast<std::uint32_t>(i) < nTracks; ++i) {
        if (!CellMatches(i)) {
            continue;
        }
        m_listSongs.SetItemState(i, LVIS_SELECTED, LVIS_SELECTED);
        m_listSongs.SetFocus();
        // Scrolling by whole rows from the current top brings the row to the top.
        m_listSongs.Scroll(SIZE{0, (i - m_listSongs.GetTopIndex()) * m_nRowHeight});
        m_nSearchNext = i + 1;
        SetDlgItemText(IDC_SEARCH, u"Continue");
        return;
    }

    m_nSearchNext = 0;
    SetDlgItemText(IDC_SEARCH, u"Search");
    MessageBox(u"Search completed", u"Kestrum");
}

void CKestrumDlg::OnSearchTextChange() {
    m_nSearchNext = 0;
    SetDlgItemText(IDC_SEARCH, u"Search");
}

void CKestrumDlg::OnExtract() {
    IUiBackend& ui = UiBackend();
    WChar szPath[kMaxPath] = {};
    ui.OleInitialize();
    const EFolderChoice choice = ui.BrowseForFolder(u"Select the dir where save the files",
                                                    BIF_EDITBOX | BIF_NEWDIALOGSTYLE, szPath);
    ui.OleUninitialize();
    if (choice == EFolderChoice::kCancelled) {
        return;
    }
    // A path of 259 characters leaves no room for the backslash the file names go after.
    if (choice == EFolderChoice::kNoPath || !WAppendBounded(szPath, kMaxPath, u"\\")) {
        MessageBox(u"Select a valid Directory");
        return;
    }

    CWnd* pExtract = GetDlgItem(IDOK);
    m_listSongs.EnableWindow(FALSE);
    if (pExtract != nullptr) {
        pExtract->EnableWindow(FALSE);
    }

    // Copies are named by the user's choice of naming. No rows are added, and the list is not
    // saved, while they are made.
    m_pDatabase->SetNameRule(m_nameRule);
    EnableSystemEntry(IDM_FINDLOSTSONGS, false);
    EnableSystemEntry(IDM_SAVESONGLIST, false);
    RunExtraction(szPath);
    EnableSystemEntry(IDM_FINDLOSTSONGS, !m_bLostSongsRead);
    EnableSystemEntry(IDM_SAVESONGLIST, true);

    m_listSongs.EnableWindow(TRUE);
    if (pExtract != nullptr) {
        pExtract->EnableWindow(TRUE);
    }
    if (m_bCloseAfterRun) {
        m_bCloseAfterRun = false;
        EndDialog(IDCANCEL);
    }
}

void CKestrumDlg::RunExtraction(const WChar* pszFolder) {
    // The rows and titles are taken here, on the dialog's thread; the worker never reads the
    // list. Rows are asked in order, as the user ticked them before pressing Extract.
    std::vector<SExtractItem> items;
    for (int i = 0; i < m_listSongs.GetItemCount(); ++i) {
        if (m_listSongs.GetCheck(i)) {
            WChar szTitle[kMaxPath] = {};
            m_listSongs.GetItemText(i, kColumnTitle, szTitle, static_cast<int>(kMaxPath));
            items.push_back(SExtractItem{i, WString(szTitle)});
        }
    }
    // The button's progress lasts until the user has read how the run went.
    CTaskbarProgress taskbar(this);
    if (!FitFreeSpace(pszFolder, items, taskbar)) {
        return;
    }
    const int nTotal = static_cast<int>(items.size());
    int nCopied = 0;
    int nAlreadyThere = 0;
    bool bCancelled = false;
    if (nTotal > 0) {
        CExtractRun run(*m_pDatabase, WString(pszFolder), std::move(items));
        CExtractProgressDlg dlgProgress(
            this, run, m_tableSongs,
            [this](int nNumber, int nOf) {
                const std::string tip =
                    "Kestrum: " + std::to_string(nNumber) + " of " + std::to_string(nOf);
                SetTrayTip(WideFromAscii(tip).c_str());
            },
            taskbar);
        m_pProgress = &dlgProgress;
        dlgProgress.DoModal();
        m_pProgress = nullptr;
        // The focus went when the focused Extract button was disabled; the progress dialog's
        // end must not hand it to some other control (the dialog manager gives it to the first
        // one enabled), so that the run leaves the focus as a run always has.
        UiBackend().SetFocus(nullptr);
        run.Stop();
        SetTrayTip(u"Kestrum");
        nCopied = dlgProgress.GetCopied();
        nAlreadyThere = dlgProgress.GetAlreadyThere();
        bCancelled = dlgProgress.WasCancelled();
    }
    if (m_bCloseAfterRun) {
        return;
    }

    if (bCancelled) {
        const std::string text = "Extraction cancelled: " + std::to_string(nCopied) + " of " +
                                 std::to_string(nTotal) + " songs extracted";
        MessageBox(WideFromAscii(text).c_str());
    } else if (nCopied == 0) {
        MessageBox(u"No songs extracted");
    } else if (nCopied == nTotal && nAlreadyThere == 0) {
        MessageBox(u"All songs extracted");
    } else if (nCopied == nTotal) {
        const std::string text = "All songs extracted (" + std::to_string(nAlreadyThere) +
                                 (nAlreadyThere == 1 ? " was" : " were") + " already there)";
        MessageBox(WideFromAscii(text).c_str());
    } else {
        MessageBox(u"Some songs could not be extracted: they are still ticked");
    }
}

bool CKestrumDlg::FitFreeSpace(const WChar* pszFolder, std::vector<SExtractItem>& items,
                               CTaskbarProgress& taskbar) {
    // The names an earlier run gave are free again, as they will be for the run to come.
    m_pDatabase->BeginExportRun();
    std::uint64_t freeToCaller = 0;
    std::uint64_t diskSize = 0;
    // Where the space cannot be asked, the copies themselves will tell.
    if (!platform::Platform().GetDiskSpace(pszFolder, freeToCaller, diskSize)) {
        return true;
    }
    // Most runs fit even counting the songs the folder holds already: then no song's name is
    // looked up in it, which for thousands of songs into a full folder takes long.
    std::uint64_t atMost = 0;
    for (const SExtractItem& item : items) {
        atMost += m_pDatabase->SpaceNeededAtMost(item.nRow);
    }
    if (atMost <= freeToCaller) {
        return true;
    }
    std::vector<std::uint64_t> needed;
    std::uint64_t total = 0;
    int nSongs = 0;
    for (const SExtractItem& item : items) {
        needed.push_back(m_pDatabase->SpaceNeeded(item.nRow, pszFolder));
        total += needed.back();
        nSongs += needed.back() > 0 ? 1 : 0;
    }
    if (nSongs == 0 || total <= freeToCaller) {
        return true;
    }
    // Tenths of megabytes: what is needed rounded up, what is free rounded down.
    const auto tenths = [](std::uint64_t bytes, bool bUp) {
        constexpr std::uint64_t kTenth = (std::uint64_t{1} << 20) / 10;
        const std::uint64_t n = bUp ? (bytes + kTenth - 1) / kTenth : bytes / kTenth;
        return std::to_string(n / 10) + "." + std::to_string(n % 10);
    };
    const std::string text = "The " + std::to_string(nSongs) +
                             (nSongs == 1 ? " song needs " : " songs need ") + tenths(total, true) +
                             " MB, but the destination has only " + tenths(freeToCaller, false) +
                             " MB free. Extract as many as fit?";
    taskbar.SetState(TBPF_PAUSED);
    if (MessageBox(WideFromAscii(text).c_str(), nullptr, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return false;
    }
    // In row order, each song that still fits; the others stay ticked for another folder.
    std::vector<SExtractItem> fitting;
    std::uint64_t used = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (needed[i] <= freeToCaller - used) {
            used += needed[i];
            fitting.push_back(std::move(items[i]));
        }
    }
    items = std::move(fitting);
    return true;
}

void CKestrumDlg::OnCheckAllNone() {
    // The check box's own state is not read: the toggle alone decides.
    m_bCheckAll = !m_bCheckAll;
    for (int i = 0; i < m_listSongs.GetItemCount(); ++i) {
        m_listSongs.SetCheck(i, m_bCheckAll != FALSE);
    }
}

void CKestrumDlg::OnExtractOptions() {
    // The preview names the first ticked song, else the first song.
    int nPreviewRow = 0;
    for (int i = 0; i < m_listSongs.GetItemCount(); ++i) {
        if (m_listSongs.GetCheck(i)) {
            nPreviewRow = i;
            break;
        }
    }
    exportname::SNameRule rule = m_nameRule;
    CExtractOptionsDlg dlgOptions(rule, m_pDatabase, nPreviewRow, this);
    if (dlgOptions.DoModal() == IDOK) {
        m_nameRule = rule;
        SaveNameRule(rule);
    }
}

WString CKestrumDlg::PlayerName() const {
    try {
        for (const SPlaylist& playlist : m_pDatabase->ReadPlaylists()) {
            if (playlist.bMaster && !playlist.strName.empty()) {
                return playlist.strName;
            }
        }
    } catch (const std::exception&) {
        // Without its playlists the player goes by its kind.
    }
    return u"iPod";
}

void CKestrumDlg::OnSaveSongList() {
    // The entry is grayed during an extraction, whose progress dialog holds the window anyway;
    // a command that arrives all the same is ignored.
    if (m_pProgress != nullptr || m_pDatabase == nullptr) {
        return;
    }
    const WString proposed = exportname::SafeFileName(PlayerName() + u" songs", u".csv");
    WString path;
    if (!UiBackend().GetSaveFileName(GetSafeHwnd(), u"Save song list", proposed.c_str(),
                                     u"CSV files", u"csv", path)) {
        return;
    }
    bool bSaved = false;
    std::string reason;
    playcounts::EState ePlayCounts = playcounts::EState::kMissing;
    std::size_t songs = 0;
    try {
        ePlayCounts = m_pDatabase->LoadPlayCounts();
        std::vector<int> rows(static_cast<std::size_t>(std::max(m_listSongs.GetItemCount(), 0)));
        std::iota(rows.begin(), rows.end(), 0);
        songs = rows.size();
        const std::string csv = songlist::WriteSongList(songlist::EFormat::kCsv,
                                                        songlist::AllFields(), *m_pDatabase, rows);
        bSaved = platform::Platform().WriteWholeFile(
            path.c_str(), std::span(reinterpret_cast<const std::uint8_t*>(csv.data()), csv.size()));
        if (!bSaved) {
            reason = platform::Platform().LastErrorText();
        }
    } catch (const std::bad_alloc&) {
        reason = "there is not enough memory";
    }
    if (!bSaved) {
        const WString text =
            u"The song list could not be saved to " + path + u": " + WideFromUtf8(reason);
        MessageBox(text.c_str(), nullptr, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    WString text = u"The list of " + WideFromAscii(std::to_string(songs)) +
                   (songs == 1 ? u" song" : u" songs") + u" was saved to " + path;
    if (ePlayCounts == playcounts::EState::kStale ||
        ePlayCounts == playcounts::EState::kMalformed) {
        text +=
            u"\n\nThe player's Play Counts file does not fit its catalogue: the plays since "
            u"the last sync are not in the list.";
    }
    MessageBox(text.c_str());
}
