// Smoke test of the Win32 backend: the real Kestrum dialog, made from the compiled resources, runs
// on a second thread of this process against a written player, and this thread works it through
// window messages as a user's clicks would, reading back what the controls show.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/KestrumApp.h"
#include "platform/Platform.h"
#include "res/resource.h"
#include "tools/ItunesDbWriter.h"
#include "ui/WinApp.h"
#include "ui/win32/Win32Backend.h"

namespace {

namespace fs = std::filesystem;

constexpr wchar_t kMainCaption[] = L"Kestrum v 0.5 - by Drovil";
constexpr int kSongs = 30;
// The player is mapped to the first letter the program probes, ahead of the system's drives.
constexpr WChar kPlayerDrive = u'D';

std::wstring Wide(const WString& text) { return std::wstring(text.begin(), text.end()); }

struct SSong {
    WString title;
    WString artist;
    WString album;
};

// Every third title holds "Theory" at a different place and case; artists carry an accent.
SSong SongAt(int i) {
    const WString number = WideFromAscii(std::to_string(100 + i).substr(1));
    WString title = u"Track " + number;
    if (i % 3 == 0) {
        title = i % 2 == 0 ? u"theory " + number : u"Big THEORY " + number;
    }
    return {title, i % 2 == 0 ? u"Zoë Marchetti" : u"Lumen Drift",
            u"Album " + WideFromAscii(std::to_string(i / 10))};
}

// Waits for a condition that another thread brings about; the bound only stops a hang.
template <typename Condition>
bool WaitFor(Condition condition) {
    for (int i = 0; i < 1200; ++i) {
        if (condition()) {
            return true;
        }
        ::Sleep(25);
    }
    return false;
}

std::wstring WindowText(HWND hWnd) {
    wchar_t text[512] = {};
    ::GetWindowTextW(hWnd, text, 512);
    return text;
}

std::wstring ItemText(HWND hList, int nItem, int nSubItem) {
    wchar_t text[260] = {};
    LVITEMW item{};
    item.iSubItem = nSubItem;
    item.pszText = text;
    item.cchTextMax = 260;
    ::SendMessageW(hList, LVM_GETITEMTEXTW, static_cast<WPARAM>(nItem),
                   reinterpret_cast<LPARAM>(&item));
    return text;
}

bool IsTicked(HWND hList, int nItem) {
    const auto nState = static_cast<UINT>(
        ::SendMessageW(hList, LVM_GETITEMSTATE, static_cast<WPARAM>(nItem), LVIS_STATEIMAGEMASK));
    return (nState & LVIS_STATEIMAGEMASK) >> 12 == 2;
}

int SelectedRow(HWND hList) {
    return static_cast<int>(
        ::SendMessageW(hList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

// A click on a button as the dialog sees it. Posted, because a click may open a modal box that
// would hold a sent message until it is closed.
void Click(HWND hDlg, int nID) {
    ::PostMessageW(hDlg, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(nID), BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, nID)));
}

struct SFoundBox {
    DWORD dwThread;
    HWND hExclude;
    HWND hBox;
};

// A modal box (dialog class) of the dialog's thread other than the main dialog.
HWND FindBox(DWORD dwThread, HWND hExclude) {
    SFoundBox found{dwThread, hExclude, nullptr};
    ::EnumThreadWindows(
        dwThread,
        [](HWND hWnd, LPARAM lParam) -> BOOL {
            auto* pFound = reinterpret_cast<SFoundBox*>(lParam);
            wchar_t szClass[16] = {};
            ::GetClassNameW(hWnd, szClass, 16);
            if (hWnd != pFound->hExclude && std::wstring(szClass) == L"#32770" &&
                ::IsWindowVisible(hWnd) != FALSE) {
                pFound->hBox = hWnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found.hBox;
}

// The player: SysInfo and an iTunesDB of kSongs songs, mapped to drive D for this process.
class CPlayerEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        m_folder = fs::temp_directory_path() /
                   ("kestrum-win32-smoke-" + std::to_string(::GetCurrentProcessId()));
        fs::create_directories(m_folder / "iPod_Control" / "Device");
        fs::create_directories(m_folder / "iPod_Control" / "iTunes");
        std::ofstream(m_folder / "iPod_Control" / "Device" / "SysInfo") << "ModelNumStr: xA623\n";
        dbwriter::SDatabaseContent content;
        for (int i = 0; i < kSongs; ++i) {
            const SSong song = SongAt(i);
            dbwriter::STrackEntry track;
            track.title = song.title;
            track.artist = song.artist;
            track.album = song.album;
            track.location =
                u":iPod_Control:Music:F00:T" + WideFromAscii(std::to_string(i)) + u".mp3";
            content.tracks.push_back(track);
        }
        const std::vector<std::uint8_t> image = dbwriter::WriteItunesDb(content);
        std::ofstream(m_folder / "iPod_Control" / "iTunes" / "iTunesDB", std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()),
                   static_cast<std::streamsize>(image.size()));
        const std::wstring folder = m_folder.wstring();
        platform::Platform().MapDrive(kPlayerDrive, WString(folder.begin(), folder.end()));
        SetUiBackend(&Win32Backend());
    }
    // The folder stays until the process ends: the removal watchers of the dialogs run so far
    // still poll it and would end the process if it went away.

private:
    fs::path m_folder;
};

class Win32Smoke : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t szDisplay[8] = {};
        const bool bWine =
            ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
        if (bWine && ::GetEnvironmentVariableW(L"DISPLAY", szDisplay, 8) == 0) {
            GTEST_SKIP() << "no display: run under xvfb-run";
        }
        // Naming the application object links it in from its static library.
        ASSERT_EQ(AfxGetApp(), &theApp);
        m_app = std::thread([this] {
            m_dwThread = ::GetCurrentThreadId();
            AfxWinMain();
            m_bEnded = true;
        });
        ASSERT_TRUE(WaitFor([this] {
            m_hDlg = ::FindWindowW(L"#32770", kMainCaption);
            return m_hDlg != nullptr && ::IsWindowVisible(m_hDlg) != FALSE;
        })) << "the main dialog did not show";
        m_hList = ::GetDlgItem(m_hDlg, IDC_SONGLIST);
        ASSERT_NE(m_hList, nullptr);
    }

    void TearDown() override {
        if (!m_app.joinable()) {
            return;
        }
        // Whatever a failed check left open goes first, then the dialog through its close box.
        while (HWND hBox = FindBox(m_dwThread, m_hDlg)) {
            ::SendMessageW(hBox, WM_CLOSE, 0, 0);
        }
        if (::IsWindow(m_hDlg) != FALSE) {
            ::PostMessageW(m_hDlg, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        EXPECT_TRUE(WaitFor([this] { return m_bEnded.load(); })) << "the dialog did not close";
        if (m_bEnded) {
            m_app.join();
        } else {
            m_app.detach();
        }
    }

    std::wstring ItemTextOf(int nID) const { return WindowText(::GetDlgItem(m_hDlg, nID)); }

    // Waits for the message box a click brings up, checks its text and closes it with OK.
    void ExpectMessageBox(const std::wstring& strText, const std::wstring& strCaption) {
        HWND hBox = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (hBox = FindBox(m_dwThread, m_hDlg)) != nullptr; }))
            << "no message box for " << std::string(strText.begin(), strText.end());
        EXPECT_EQ(WindowText(hBox), strCaption);
        // The message box shows its text in the static control 0xFFFF.
        EXPECT_EQ(WindowText(::GetDlgItem(hBox, 0xFFFF)), strText);
        ::PostMessageW(hBox, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(WaitFor([&] { return ::IsWindow(hBox) == FALSE; }));
    }

    std::thread m_app;
    std::atomic<DWORD> m_dwThread{0};
    std::atomic<bool> m_bEnded{false};
    HWND m_hDlg = nullptr;
    HWND m_hList = nullptr;
};

TEST_F(Win32Smoke, ShowsTheDiskSummaryAndEverySongUnticked) {
    EXPECT_EQ(ItemTextOf(IDC_DRIVE), L"D:");
    EXPECT_EQ(ItemTextOf(IDC_SONGCOUNT), std::to_wstring(kSongs));
    for (const int nID : {IDC_DISKSIZE, IDC_DISKFREE}) {
        const std::wstring strText = ItemTextOf(nID);
        EXPECT_TRUE(strText.size() > 3 && strText.ends_with(L" Mb")) << nID;
    }
    EXPECT_NE(::IsWindowEnabled(m_hList), FALSE);
    EXPECT_NE(::IsWindowEnabled(::GetDlgItem(m_hDlg, IDOK)), FALSE);

    ASSERT_EQ(::SendMessageW(m_hList, LVM_GETITEMCOUNT, 0, 0), kSongs);
    for (int i = 0; i < kSongs; ++i) {
        const SSong song = SongAt(i);
        EXPECT_EQ(ItemText(m_hList, i, 0), Wide(song.title)) << i;
        EXPECT_EQ(ItemText(m_hList, i, 1), Wide(song.artist)) << i;
        EXPECT_EQ(ItemText(m_hList, i, 2), Wide(song.album)) << i;
        EXPECT_FALSE(IsTicked(m_hList, i)) << i;
    }
    const auto dwExStyle =
        static_cast<DWORD>(::SendMessageW(m_hList, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    EXPECT_EQ(dwExStyle & (LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT),
              static_cast<DWORD>(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT));

    // The sorted combo box: Album, Artist, Title, nothing chosen.
    HWND hCombo = ::GetDlgItem(m_hDlg, IDC_SEARCHFIELD);
    const wchar_t* const kFields[] = {L"Album", L"Artist", L"Title"};
    ASSERT_EQ(::SendMessageW(hCombo, CB_GETCOUNT, 0, 0), 3);
    for (WPARAM i = 0; i < 3; ++i) {
        wchar_t szField[32] = {};
        ::SendMessageW(hCombo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(szField));
        EXPECT_STREQ(szField, kFields[i]);
    }
    EXPECT_EQ(::SendMessageW(hCombo, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(::GetWindowLongPtrW(m_hDlg, GWL_EXSTYLE) & WS_EX_APPWINDOW, WS_EX_APPWINDOW);
}

// Each text label of the dialog shows its text on one line: where the dialog font is wider than
// the one the layout was made for, the backend widens a label into the free space beside it or
// keeps it from wrapping.
TEST_F(Win32Smoke, LabelsKeepTheirTextOnOneLine) {
    int nLabels = 0;
    for (HWND hLabel = ::GetWindow(m_hDlg, GW_CHILD); hLabel != nullptr;
         hLabel = ::GetWindow(hLabel, GW_HWNDNEXT)) {
        wchar_t szClass[16] = {};
        ::GetClassNameW(hLabel, szClass, 16);
        const std::wstring strText = WindowText(hLabel);
        const auto dwStyle = static_cast<DWORD>(::GetWindowLongPtrW(hLabel, GWL_STYLE));
        if (::lstrcmpiW(szClass, L"Static") != 0 || strText.empty() ||
            (dwStyle & SS_TYPEMASK) == SS_ICON) {
            continue;
        }
        ++nLabels;
        const std::string strName(strText.begin(), strText.end());
        RECT client{};
        ::GetClientRect(hLabel, &client);
        HDC hDC = ::GetDC(hLabel);
        HGDIOBJ hOld =
            ::SelectObject(hDC, reinterpret_cast<HFONT>(::SendMessageW(hLabel, WM_GETFONT, 0, 0)));
        RECT text{};
        ::DrawTextW(hDC, strText.c_str(), static_cast<int>(strText.size()), &text,
                    DT_SINGLELINE | DT_CALCRECT | DT_EXPANDTABS);
        ::SelectObject(hDC, hOld);
        ::ReleaseDC(hLabel, hDC);
        EXPECT_TRUE(text.right - text.left <= client.right ||
                    (dwStyle & SS_TYPEMASK) == SS_LEFTNOWORDWRAP)
            << strName << " wraps";
    }
    EXPECT_EQ(nLabels, 8) << "four captions and four figures";
}

TEST_F(Win32Smoke, SearchStepsThroughTheMatchesAndSaysWhenItIsDone) {
    ::SendMessageW(::GetDlgItem(m_hDlg, IDC_SEARCHTEXT), WM_SETTEXT, 0,
                   reinterpret_cast<LPARAM>(L"Theory"));
    ::SendMessageW(::GetDlgItem(m_hDlg, IDC_SEARCHFIELD), CB_SETCURSEL, 2, 0);  // Title
    for (int nRow = 0; nRow < kSongs; nRow += 3) {
        Click(m_hDlg, IDC_SEARCH);
        ASSERT_TRUE(WaitFor([&] { return SelectedRow(m_hList) == nRow; })) << nRow;
        EXPECT_TRUE(WaitFor([&] { return ItemTextOf(IDC_SEARCH) == L"Continue"; }));
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        ASSERT_NE(::GetGUIThreadInfo(m_dwThread, &info), FALSE);
        EXPECT_EQ(info.hwndFocus, m_hList) << "the song table has the keyboard focus";
    }
    // The last match scrolled to the top: the list shows it as its first visible row.
    const LRESULT nPerPage = ::SendMessageW(m_hList, LVM_GETCOUNTPERPAGE, 0, 0);
    EXPECT_EQ(::SendMessageW(m_hList, LVM_GETTOPINDEX, 0, 0),
              std::max<LRESULT>(0, std::min<LRESULT>(kSongs - 3, kSongs - nPerPage)));
    Click(m_hDlg, IDC_SEARCH);
    ExpectMessageBox(L"Search completed", L"Kestrum");
    EXPECT_EQ(ItemTextOf(IDC_SEARCH), L"Search");

    // Two letters are refused before any row is looked at.
    ::SendMessageW(::GetDlgItem(m_hDlg, IDC_SEARCHTEXT), WM_SETTEXT, 0,
                   reinterpret_cast<LPARAM>(L"Th"));
    Click(m_hDlg, IDC_SEARCH);
    ExpectMessageBox(L"Word size < 3", L"Warning");
}

TEST_F(Win32Smoke, CheckAllTicksEveryRowAndThenClearsThem) {
    for (const bool bTicked : {true, false}) {
        Click(m_hDlg, IDC_CHECKALL);
        ASSERT_TRUE(WaitFor([&] { return IsTicked(m_hList, kSongs - 1) == bTicked; }));
        for (int i = 0; i < kSongs; ++i) {
            EXPECT_EQ(IsTicked(m_hList, i), bTicked) << i;
        }
    }
}

// Whether the shell holds the dialog's icon: changing nothing about an icon only succeeds for
// one that is there.
bool IsIconInNotificationArea(HWND hDlg) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = hDlg;
    data.uID = 1;
    return ::Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

TEST_F(Win32Smoke, MinimiseHidesIntoTheNotificationAreaAndComesBack) {
    EXPECT_FALSE(IsIconInNotificationArea(m_hDlg)) << "the icon shows before minimising";
    ::PostMessageW(m_hDlg, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(m_hDlg) == FALSE; }))
        << "minimising did not hide the window (no notification area?)";
    EXPECT_TRUE(IsIconInNotificationArea(m_hDlg));
    EXPECT_EQ(::IsIconic(m_hDlg), FALSE) << "hidden, not minimised";
    // The icon's double click, as the shell reports it to the dialog.
    ::PostMessageW(m_hDlg, WM_USER + 1, 1, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(m_hDlg) != FALSE; }));
    EXPECT_FALSE(IsIconInNotificationArea(m_hDlg)) << "the icon stays after the way back";

    // Once more, back through the icon menu's "Show Window" command.
    ::PostMessageW(m_hDlg, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(m_hDlg) == FALSE; }));
    ::PostMessageW(m_hDlg, WM_COMMAND, ID_TRAY_SHOWWINDOW, 0);
    EXPECT_TRUE(WaitFor([&] { return ::IsWindowVisible(m_hDlg) != FALSE; }));
}

TEST_F(Win32Smoke, AboutBoxOpensFromTheSystemMenuAndOkClosesIt) {
    HMENU hSystem = ::GetSystemMenu(m_hDlg, FALSE);
    ASSERT_NE(hSystem, nullptr);
    // A separator, the about entry, the extract options, and later the song list's save.
    const int nItems = ::GetMenuItemCount(hSystem);
    int nAbout = 0;
    while (nAbout < nItems && ::GetMenuItemID(hSystem, nAbout) != 0x0010u) {
        ++nAbout;
    }
    ASSERT_GE(nAbout, 1);
    ASSERT_LT(nAbout + 1, nItems);
    wchar_t szItem[64] = {};
    ::GetMenuStringW(hSystem, static_cast<UINT>(nAbout), szItem, 64, MF_BYPOSITION);
    EXPECT_STREQ(szItem, L"&About Kestrum...");
    EXPECT_NE(::GetMenuState(hSystem, static_cast<UINT>(nAbout - 1), MF_BYPOSITION) & MF_SEPARATOR,
              0u);
    ::GetMenuStringW(hSystem, static_cast<UINT>(nAbout + 1), szItem, 64, MF_BYPOSITION);
    EXPECT_STREQ(szItem, L"Extract options...");
    EXPECT_EQ(::GetMenuItemID(hSystem, nAbout + 1), 0x0020u);
    EXPECT_GT(::GetMenuStringW(hSystem, 0x0040, szItem, 64, MF_BYCOMMAND), 0);
    EXPECT_STREQ(szItem, L"Save song list...");

    ::PostMessageW(m_hDlg, WM_SYSCOMMAND, 0x0010, 0);
    HWND hAbout = nullptr;
    // The box's window exists before its controls do; it shows once its set-up is over.
    ASSERT_TRUE(WaitFor([&] {
        hAbout = ::FindWindowW(L"#32770", L"About Kestrum");
        return hAbout != nullptr && ::IsWindowVisible(hAbout) != FALSE;
    }));
    EXPECT_EQ(::GetWindow(hAbout, GW_OWNER), m_hDlg);
    EXPECT_EQ(WindowText(::GetDlgItem(hAbout, IDOK)), L"OK");
    Click(hAbout, IDOK);
    EXPECT_TRUE(WaitFor([&] { return ::IsWindow(hAbout) == FALSE; }));
    EXPECT_NE(::IsWindow(m_hDlg), FALSE);
}

TEST_F(Win32Smoke, CloseBoxEndsTheProgram) {
    ::PostMessageW(m_hDlg, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(WaitFor([this] { return m_bEnded.load(); }));
    EXPECT_EQ(::IsWindow(m_hDlg), FALSE);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new CPlayerEnvironment);
    return RUN_ALL_TESTS();
}
