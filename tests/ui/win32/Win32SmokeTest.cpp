// Smoke test of the Win32 backend: the real Kestrum dialog, made from the compiled resources, runs
// on a second thread of this process against a written player, and this thread works it through
// window messages as a user's clicks would, reading back what the controls show.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/ExtractOptionsDlg.h"
#include "app/KestrumApp.h"
#include "platform/ForwardingPlatform.h"
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
// Artists and albums are long, as real ones can be, so that library names make long paths.
SSong SongAt(int i) {
    const WString number = WideFromAscii(std::to_string(100 + i).substr(1));
    WString title = u"Track " + number;
    if (i % 3 == 0) {
        title = i % 2 == 0 ? u"theory " + number : u"Big THEORY " + number;
    }
    return {title,
            i % 2 == 0 ? u"Zoë Marchetti and the Ensemble of the Long Northern Evenings"
                       : u"Lumen Drift with the Choir of the Old Harbour Town Hall",
            u"Recordings from the Hall by the River, Second Night, Remastered, Album " +
                WideFromAscii(std::to_string(i / 10))};
}

// The bytes of song i's file on the player; the last song has none.
std::string SongBytes(int i) {
    return "song " + std::to_string(i) + std::string(static_cast<std::size_t>(4000 + i), 'x');
}

// The files below folder (path and bytes), read in the extended-length form: the C runtime's
// own calls, which std::filesystem uses, stop at 260 characters. With bRemove, each file and
// folder is deleted once read.
void WalkTree(const std::wstring& folder, std::vector<std::pair<std::wstring, std::string>>& files,
              bool bRemove) {
    const std::wstring extended = L"\\\\?\\" + folder + L"\\";
    WIN32_FIND_DATAW found{};
    HANDLE hFind = ::FindFirstFileW((extended + L"*").c_str(), &found);
    if (hFind == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            WalkTree(folder + L"\\" + name, files, bRemove);
            continue;
        }
        std::string bytes;
        HANDLE hFile = ::CreateFileW((extended + name).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                     nullptr, OPEN_EXISTING, 0, nullptr);
        if (hFile != INVALID_HANDLE_VALUE) {
            char buffer[8192];
            DWORD dwRead = 0;
            while (::ReadFile(hFile, buffer, sizeof buffer, &dwRead, nullptr) != FALSE &&
                   dwRead > 0) {
                bytes.append(buffer, dwRead);
            }
            ::CloseHandle(hFile);
        }
        files.emplace_back(folder + L"\\" + name, bytes);
        if (bRemove) {
            ::DeleteFileW((extended + name).c_str());
        }
    } while (::FindNextFileW(hFind, &found) != FALSE);
    ::FindClose(hFind);
    if (bRemove) {
        ::RemoveDirectoryW(extended.c_str());
    }
}

// The folder the extraction test copies into: a path of the length given (in Windows form),
// made of folders of 60 characters or less below the temporary folder.
fs::path LongFolder(std::size_t length) {
    fs::path folder = fs::temp_directory_path() /
                      ("kestrum-win32-long-" + std::to_string(::GetCurrentProcessId()));
    for (int i = 0; folder.wstring().size() < length; ++i) {
        const std::size_t room = length - folder.wstring().size() - 1;
        folder /= (std::to_string(i) + "-" + std::string(58, 'd'))
                      .substr(0, std::min<std::size_t>(room, 60));
    }
    return folder;
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

// The system's platform, but that a destination whose path holds kFullDisk has 10,000 bytes free.
constexpr char16_t kFullDisk[] = u"kestrum-win32-full-";
class CFullDiskPlatform : public platform::CForwardingPlatform {
public:
    CFullDiskPlatform() : CForwardingPlatform(platform::NativePlatform()) {}
    bool GetDiskSpace(const WChar* path, std::uint64_t& freeToCaller,
                      std::uint64_t& total) override {
        if (WString(path).find(kFullDisk) == WString::npos) {
            return CForwardingPlatform::GetDiskSpace(path, freeToCaller, total);
        }
        freeToCaller = 10000;
        total = 1 << 30;
        return true;
    }
};

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
            track.dwTrackNumber = static_cast<std::uint32_t>(i + 1);
            content.tracks.push_back(track);
            if (i + 1 < kSongs) {
                fs::create_directories(m_folder / "iPod_Control" / "Music" / "F00");
                std::ofstream(m_folder / "iPod_Control" / "Music" / "F00" /
                                  ("T" + std::to_string(i) + ".mp3"),
                              std::ios::binary)
                    << SongBytes(i);
            }
        }
        const std::vector<std::uint8_t> image = dbwriter::WriteItunesDb(content);
        std::ofstream(m_folder / "iPod_Control" / "iTunes" / "iTunesDB", std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()),
                   static_cast<std::streamsize>(image.size()));
        static CFullDiskPlatform s_platform;
        platform::InstallPlatform(&s_platform);
        const std::wstring folder = m_folder.wstring();
        platform::Platform().MapDrive(kPlayerDrive, WString(folder.begin(), folder.end()));
        // Copies are named as a music library would file them: artist, album, number and title.
        SaveNameRule(exportname::SNameRule{exportname::PresetTemplate("library"), true});
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
            Win32Backend().Hooks() = SUiTestHooks{};
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

    // What the taskbar button was told, as the hooks report it on the dialog's thread.
    struct STaskbarLog {
        std::mutex mutex;
        std::vector<UINT> states;
        std::vector<std::pair<std::uint64_t, std::uint64_t>> values;
        std::vector<DWORD> flashes;
        std::vector<HWND> windows;  // each call's window
    };
    STaskbarLog m_taskbar;

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

// Every song goes into a folder as long as the folder chooser gives (258 characters and the
// backslash), under library names that make paths of 400 characters and more. Meanwhile the
// taskbar button shows the run: normal from the start, red once a song has failed (the last
// one has no file), and cleared once the user has read the message; the user has gone to
// another window by the end, so the button flashes.
TEST_F(Win32Smoke, ExtractionIntoALongFolderShowsItsProgressOnTheTaskbar) {
    const fs::path folder = LongFolder(kMaxPath - 2);
    ASSERT_EQ(folder.wstring().size(), kMaxPath - 2);
    fs::create_directories(folder);
    HWND hElsewhere = ::CreateWindowExW(0, L"Static", L"Another program", WS_POPUP | WS_VISIBLE, 0,
                                        0, 100, 40, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hElsewhere, nullptr);

    SUiTestHooks& hooks = Win32Backend().Hooks();
    hooks.answerFolder = [&folder](const WString&, WString& path) {
        const std::wstring text = folder.wstring();
        path.assign(text.begin(), text.end());
        return EFolderChoice::kChosen;
    };
    hooks.taskbarState = [this](HWND hWnd, UINT nState) {
        const std::lock_guard lock(m_taskbar.mutex);
        m_taskbar.states.push_back(nState);
        m_taskbar.windows.push_back(hWnd);
    };
    hooks.taskbarValue = [this, hElsewhere](HWND hWnd, std::uint64_t completed,
                                            std::uint64_t total) {
        const std::lock_guard lock(m_taskbar.mutex);
        // Once the copying is under way the user turns to another program.
        if (completed > 0 && m_taskbar.values.back().first == 0) {
            ::SetForegroundWindow(hElsewhere);
        }
        m_taskbar.values.emplace_back(completed, total);
        m_taskbar.windows.push_back(hWnd);
    };
    hooks.windowFlashed = [this](HWND hWnd, DWORD dwFlags) {
        const std::lock_guard lock(m_taskbar.mutex);
        m_taskbar.flashes.push_back(dwFlags);
        m_taskbar.windows.push_back(hWnd);
    };

    Click(m_hDlg, IDC_CHECKALL);
    ASSERT_TRUE(WaitFor([&] { return IsTicked(m_hList, kSongs - 1); }));
    Click(m_hDlg, IDOK);
    // The progress dialog comes first; the message box is the one with a text in 0xFFFF.
    HWND hBox = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        hBox = FindBox(m_dwThread, m_hDlg);
        return hBox != nullptr && ::GetDlgItem(hBox, 0xFFFF) != nullptr;
    }));
    EXPECT_EQ(WindowText(::GetDlgItem(hBox, 0xFFFF)),
              L"Some songs could not be extracted: they are still ticked");
    {
        const std::lock_guard lock(m_taskbar.mutex);
        EXPECT_EQ(m_taskbar.states, (std::vector<UINT>{TBPF_NORMAL, TBPF_ERROR}))
            << "while the message is open";
        EXPECT_EQ(m_taskbar.flashes, std::vector<DWORD>{FLASHW_TRAY | FLASHW_TIMERNOFG});
    }
    ::PostMessageW(hBox, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] {
        const std::lock_guard lock(m_taskbar.mutex);
        return m_taskbar.states.back() == TBPF_NOPROGRESS;
    }));
    ::DestroyWindow(hElsewhere);

    const std::lock_guard lock(m_taskbar.mutex);
    EXPECT_EQ(m_taskbar.states, (std::vector<UINT>{TBPF_NORMAL, TBPF_ERROR, TBPF_NOPROGRESS}));
    EXPECT_TRUE(std::all_of(m_taskbar.windows.begin(), m_taskbar.windows.end(), [this](HWND hWnd) {
        return hWnd == m_hDlg;
    })) << "only the main window has a taskbar button";
    // From nothing to everything, never back, in at most a thousand steps.
    const std::uint64_t total = static_cast<std::uint64_t>(kSongs) * 1000;
    ASSERT_FALSE(m_taskbar.values.empty());
    EXPECT_EQ(m_taskbar.values.front(), std::make_pair(std::uint64_t{0}, total));
    EXPECT_EQ(m_taskbar.values.back(), std::make_pair(total, total));
    EXPECT_LE(m_taskbar.values.size(), 1001u);
    for (std::size_t i = 1; i < m_taskbar.values.size(); ++i) {
        EXPECT_LT(m_taskbar.values[i - 1].first, m_taskbar.values[i].first) << i;
        EXPECT_EQ(m_taskbar.values[i].second, total) << i;
    }

    // Every song with a file, byte for byte, below the folder.
    std::vector<std::pair<std::wstring, std::string>> files;
    WalkTree(folder.wstring(), files, true);
    std::vector<std::string> copies;
    std::size_t nShortestPath = SIZE_MAX;
    for (const auto& [path, bytes] : files) {
        copies.push_back(bytes);
        nShortestPath = std::min(nShortestPath, path.size());
    }
    std::vector<std::string> expected;
    for (int i = 0; i + 1 < kSongs; ++i) {
        expected.push_back(SongBytes(i));
    }
    std::sort(copies.begin(), copies.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_TRUE(copies == expected) << copies.size() << " copies of " << expected.size();
    EXPECT_GE(nShortestPath, 400u);
    std::error_code error;
    fs::remove_all(fs::temp_directory_path() /
                       ("kestrum-win32-long-" + std::to_string(::GetCurrentProcessId())),
                   error);
}

// Songs that do not all fit the destination: while the question is open the taskbar button shows
// the run paused; declined, the button shows nothing again and nothing is copied.
TEST_F(Win32Smoke, TheFreeSpaceQuestionPausesTheTaskbarProgress) {
    const fs::path folder = fs::temp_directory_path() /
                            (Utf8FromWide(kFullDisk) + std::to_string(::GetCurrentProcessId()));
    fs::create_directories(folder);
    SUiTestHooks& hooks = Win32Backend().Hooks();
    hooks.answerFolder = [&folder](const WString&, WString& path) {
        const std::wstring text = folder.wstring();
        path.assign(text.begin(), text.end());
        return EFolderChoice::kChosen;
    };
    hooks.taskbarState = [this](HWND, UINT nState) {
        const std::lock_guard lock(m_taskbar.mutex);
        m_taskbar.states.push_back(nState);
    };
    Click(m_hDlg, IDC_CHECKALL);
    ASSERT_TRUE(WaitFor([&] { return IsTicked(m_hList, kSongs - 1); }));
    Click(m_hDlg, IDOK);
    HWND hBox = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        hBox = FindBox(m_dwThread, m_hDlg);
        return hBox != nullptr && ::GetDlgItem(hBox, 0xFFFF) != nullptr;
    }));
    EXPECT_TRUE(WindowText(::GetDlgItem(hBox, 0xFFFF)).ends_with(L"Extract as many as fit?"));
    {
        const std::lock_guard lock(m_taskbar.mutex);
        EXPECT_EQ(m_taskbar.states, std::vector<UINT>{TBPF_PAUSED});
    }
    ::PostMessageW(hBox, WM_COMMAND, IDNO, 0);
    EXPECT_TRUE(WaitFor([&] {
        const std::lock_guard lock(m_taskbar.mutex);
        return m_taskbar.states == std::vector<UINT>{TBPF_PAUSED, TBPF_NOPROGRESS};
    }));
    EXPECT_TRUE(fs::is_empty(folder));
    fs::remove_all(folder);
}

// The size in pixels of an icon's image.
int IconSize(HICON hIcon) {
    ICONINFO info{};
    if (hIcon == nullptr || ::GetIconInfo(hIcon, &info) == FALSE) {
        return 0;
    }
    BITMAP bitmap{};
    ::GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    if (info.hbmColor != nullptr) {
        ::DeleteObject(info.hbmColor);
    }
    ::DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

int WindowIconSize(HWND hWnd, WPARAM nType) {
    return IconSize(reinterpret_cast<HICON>(::SendMessageW(hWnd, WM_GETICON, nType, 0)));
}

int ColumnWidth(HWND hList, WPARAM nColumn) {
    return static_cast<int>(::SendMessageW(hList, LVM_GETCOLUMNWIDTH, nColumn, 0));
}

// The window moved to a monitor of 144 DPI: it takes the rectangle the system suggests, and what
// Kestrum sized itself, the list's columns and the window's icons, grows by the same ratio.
TEST_F(Win32Smoke, AChangeOfScaleMovesTheWindowAndScalesItsOwnSizes) {
    RECT before{};
    ::GetWindowRect(m_hDlg, &before);
    HDC hScreen = ::GetDC(nullptr);
    const int nDpi = ::GetDeviceCaps(hScreen, LOGPIXELSX);
    ::ReleaseDC(nullptr, hScreen);
    const int nToDpi = nDpi * 3 / 2;
    const int aWidths[] = {ColumnWidth(m_hList, 0), ColumnWidth(m_hList, 1),
                           ColumnWidth(m_hList, 2)};
    EXPECT_EQ(WindowIconSize(m_hDlg, ICON_SMALL), ::MulDiv(16, nDpi, 96));
    EXPECT_EQ(WindowIconSize(m_hDlg, ICON_BIG), ::MulDiv(32, nDpi, 96));

    RECT suggested{before.left + 10, before.top + 20,
                   before.left + 10 + (before.right - before.left) * 3 / 2,
                   before.top + 20 + (before.bottom - before.top) * 3 / 2};
    ::SendMessageW(m_hDlg, WM_DPICHANGED,
                   MAKEWPARAM(static_cast<WORD>(nToDpi), static_cast<WORD>(nToDpi)),
                   reinterpret_cast<LPARAM>(&suggested));
    RECT after{};
    ::GetWindowRect(m_hDlg, &after);
    EXPECT_EQ(
        std::vector<LONG>({after.left, after.top, after.right, after.bottom}),
        std::vector<LONG>({suggested.left, suggested.top, suggested.right, suggested.bottom}));
    for (WPARAM i = 0; i < 3; ++i) {
        EXPECT_EQ(ColumnWidth(m_hList, i), ::MulDiv(aWidths[i], nToDpi, nDpi)) << i;
    }
    EXPECT_EQ(WindowIconSize(m_hDlg, ICON_SMALL), ::MulDiv(16, nToDpi, 96));
    EXPECT_EQ(WindowIconSize(m_hDlg, ICON_BIG), ::MulDiv(32, nToDpi, 96));
}

std::string Environment(const wchar_t* pszName) {
    wchar_t szValue[512] = {};
    const DWORD nLength = ::GetEnvironmentVariableW(pszName, szValue, 512);
    return nLength > 0 && nLength < 512 ? std::string(szValue, szValue + nLength) : std::string();
}

// Run at the display scale Wine's LogPixels sets (KESTRUM_TEST_DPI says which): the dialog
// grows in proportion to the run at 96 DPI, whose sizes KESTRUM_DPI_REFERENCE keeps; every
// text fits its control; the list's columns take the same share of the list.
TEST_F(Win32Smoke, DialogScalesWithTheDisplay) {
    const std::string dpiText = Environment(L"KESTRUM_TEST_DPI");
    const std::string reference = Environment(L"KESTRUM_DPI_REFERENCE");
    if (dpiText.empty() || reference.empty()) {
        GTEST_SKIP() << "KESTRUM_TEST_DPI and KESTRUM_DPI_REFERENCE are not set";
    }
    const int nDpi = std::atoi(dpiText.c_str());
    HDC hScreen = ::GetDC(nullptr);
    EXPECT_EQ(::GetDeviceCaps(hScreen, LOGPIXELSX), nDpi) << "the prefix's LogPixels";
    ::ReleaseDC(nullptr, hScreen);
    // The caption's and the taskbar's icons, drawn in the sizes the scale asks for.
    EXPECT_EQ(WindowIconSize(m_hDlg, ICON_SMALL), ::MulDiv(16, nDpi, 96));
    EXPECT_EQ(WindowIconSize(m_hDlg, ICON_BIG), ::MulDiv(32, nDpi, 96));

    // Each text against its control, in the control's own font; a check box's text starts
    // after its box.
    int nTexts = 0;
    for (HWND hChild = ::GetWindow(m_hDlg, GW_CHILD); hChild != nullptr;
         hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
        const std::wstring strText = WindowText(hChild);
        wchar_t szClass[16] = {};
        ::GetClassNameW(hChild, szClass, 16);
        if (strText.empty() || ::lstrcmpiW(szClass, L"Edit") == 0) {
            continue;
        }
        ++nTexts;
        RECT client{};
        ::GetClientRect(hChild, &client);
        HDC hDC = ::GetDC(hChild);
        HGDIOBJ hOld =
            ::SelectObject(hDC, reinterpret_cast<HFONT>(::SendMessageW(hChild, WM_GETFONT, 0, 0)));
        RECT text{};
        ::DrawTextW(hDC, strText.c_str(), static_cast<int>(strText.size()), &text,
                    DT_SINGLELINE | DT_CALCRECT);
        ::SelectObject(hDC, hOld);
        ::ReleaseDC(hChild, hDC);
        const auto dwStyle = static_cast<DWORD>(::GetWindowLongPtrW(hChild, GWL_STYLE));
        const LONG nBox =
            (dwStyle & BS_TYPEMASK) == BS_AUTOCHECKBOX && ::lstrcmpiW(szClass, L"Button") == 0
                ? ::MulDiv(16, nDpi, 96)
                : 0;
        const std::string strName(strText.begin(), strText.end());
        EXPECT_LE(text.right - text.left + nBox, client.right) << strName << " is cut";
        EXPECT_LE(text.bottom - text.top, client.bottom) << strName << " is cut";
    }
    EXPECT_GE(nTexts, 11) << "labels, figures, group boxes and buttons";

    RECT outer{};
    ::GetWindowRect(m_hDlg, &outer);
    RECT list{};
    ::GetClientRect(m_hList, &list);
    int nColumns = 0;
    for (WPARAM i = 0; i < 3; ++i) {
        nColumns += static_cast<int>(::SendMessageW(m_hList, LVM_GETCOLUMNWIDTH, i, 0));
    }
    const double share = static_cast<double>(nColumns) / list.right;
    // The dialog manager's scale: pixels of 400 by 800 dialog units in the dialog's font.
    RECT units{0, 0, 400, 800};
    ::MapDialogRect(m_hDlg, &units);
    const long nWidth = outer.right - outer.left;
    const long nHeight = outer.bottom - outer.top;
    std::printf(
        "dpi %d: dialog %ldx%ld, 400x800 units %ldx%ld, list %ld wide, columns %d "
        "(%.1f%%)\n",
        nDpi, nWidth, nHeight, units.right, units.bottom, list.right, nColumns, share * 100);
    if (nDpi == 96) {
        std::ofstream(reference) << nWidth << " " << nHeight << " " << units.right << " "
                                 << units.bottom << " " << share << "\n";
        return;
    }
    long nWidth96 = 0;
    long nHeight96 = 0;
    long nUnitsX96 = 0;
    long nUnitsY96 = 0;
    double share96 = 0;
    std::ifstream(reference) >> nWidth96 >> nHeight96 >> nUnitsX96 >> nUnitsY96 >> share96;
    ASSERT_GT(nUnitsX96, 0) << "no measurements of the run at 96 DPI in " << reference;
    // In proportion to the dialog font's growth, which Wine's fonts make a little less than the
    // DPI's (the measurements above say how much).
    const double expectedWidth = nWidth96 * static_cast<double>(units.right) / nUnitsX96;
    const double expectedHeight = nHeight96 * static_cast<double>(units.bottom) / nUnitsY96;
    EXPECT_NEAR(nWidth, expectedWidth, expectedWidth * 0.03);
    EXPECT_NEAR(nHeight, expectedHeight, expectedHeight * 0.03);
    EXPECT_GT(nWidth, nWidth96 * nDpi / 96.0 * 0.9) << "far from the display's scale";
    EXPECT_NEAR(share, share96, 0.02) << "the columns' share of the list";
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
