// kestrum-poke: works Kestrum.exe from outside as a user would, for the screenshot script and
// checks by hand under Wine. Each command does one thing and prints what it saw:
//   kestrum-poke wait CAPTION [SECONDS]      waits until a window with CAPTION shows; prints
//                                            its rectangle "X Y W H"
//   kestrum-poke wait-gone CAPTION [SECONDS] waits until no visible window has CAPTION
//   kestrum-poke rect CAPTION                the window's rectangle "X Y W H"
//   kestrum-poke syscommand CAPTION ID       posts WM_SYSCOMMAND ID (0x10: the about entry)
//   kestrum-poke click CAPTION ID            posts the button ID's click
//   kestrum-poke state CAPTION               visible/minimised, rows, ticked rows, summary texts
//   kestrum-poke tray-point                  screen point "X Y" of the notification area's first
//                                            icon, for a real double click (xdotool)
//   kestrum-poke time-start EXE [SECONDS]    starts EXE, prints the milliseconds until its main
//                                            dialog shows with its songs listed, closes it
// Exit status 0 on success, 1 when the window did not come (or go) in time, 2 on bad use.
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

#include "res/resource.h"

namespace {

constexpr wchar_t kMainCaption[] = L"Kestrum v 0.5 - by Drovil";

HWND FindVisible(const wchar_t* pszCaption) {
    HWND hWnd = ::FindWindowW(L"#32770", pszCaption);
    return hWnd != nullptr && ::IsWindowVisible(hWnd) != FALSE ? hWnd : nullptr;
}

// Polls a condition every 50 ms for at most the given seconds.
template <typename Condition>
bool WaitFor(double seconds, Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(static_cast<long>(seconds * 1000));
    for (;;) {
        if (condition()) {
            return true;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        ::Sleep(50);
    }
}

void PrintRect(HWND hWnd) {
    RECT rect{};
    ::GetWindowRect(hWnd, &rect);
    std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                rect.bottom - rect.top);
}

std::wstring WindowText(HWND hWnd) {
    wchar_t szText[256] = {};
    ::GetWindowTextW(hWnd, szText, 256);
    return szText;
}

// Text handed to the console: the summary and captions are ASCII.
std::string Narrow(const std::wstring& text) {
    std::string result;
    for (const wchar_t ch : text) {
        result += ch < 0x80 ? static_cast<char>(ch) : '?';
    }
    return result;
}

int RowCount(HWND hList) { return static_cast<int>(::SendMessageW(hList, LVM_GETITEMCOUNT, 0, 0)); }

int PrintState(HWND hDlg) {
    HWND hList = ::GetDlgItem(hDlg, IDC_SONGLIST);
    const int nRows = RowCount(hList);
    int nTicked = 0;
    for (int i = 0; i < nRows; ++i) {
        const auto nState = static_cast<UINT>(
            ::SendMessageW(hList, LVM_GETITEMSTATE, static_cast<WPARAM>(i), LVIS_STATEIMAGEMASK));
        nTicked += (nState & LVIS_STATEIMAGEMASK) >> 12 == 2 ? 1 : 0;
    }
    std::printf(
        "visible %d minimised %d rows %d ticked %d top %d drive '%s' size '%s' free '%s' "
        "songs '%s'\n",
        ::IsWindowVisible(hDlg) != FALSE ? 1 : 0, ::IsIconic(hDlg) != FALSE ? 1 : 0, nRows, nTicked,
        static_cast<int>(::SendMessageW(hList, LVM_GETTOPINDEX, 0, 0)),
        Narrow(WindowText(::GetDlgItem(hDlg, IDC_DRIVE))).c_str(),
        Narrow(WindowText(::GetDlgItem(hDlg, IDC_DISKSIZE))).c_str(),
        Narrow(WindowText(::GetDlgItem(hDlg, IDC_DISKFREE))).c_str(),
        Narrow(WindowText(::GetDlgItem(hDlg, IDC_SONGCOUNT))).c_str());
    return 0;
}

// From the process's start to the main dialog shown with its list filled: the user's wait.
int TimeStart(const wchar_t* pszExe, double seconds) {
    std::wstring strCommand = L"\"" + std::wstring(pszExe) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const auto start = std::chrono::steady_clock::now();
    if (::CreateProcessW(nullptr, strCommand.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                         &startup, &process) == FALSE) {
        std::fprintf(stderr, "cannot start the program: error %lu\n", ::GetLastError());
        return 1;
    }
    HWND hDlg = nullptr;
    const bool bShown = WaitFor(seconds, [&] {
        hDlg = FindVisible(kMainCaption);
        return hDlg != nullptr && RowCount(::GetDlgItem(hDlg, IDC_SONGLIST)) > 0;
    });
    const auto shown = std::chrono::steady_clock::now();
    if (!bShown) {
        std::fputs("the main dialog did not show\n", stderr);
        ::TerminateProcess(process.hProcess, 1);
    } else {
        std::printf("shown after %.0f ms with %d rows\n",
                    std::chrono::duration<double, std::milli>(shown - start).count(),
                    RowCount(::GetDlgItem(hDlg, IDC_SONGLIST)));
        ::PostMessageW(hDlg, WM_SYSCOMMAND, SC_CLOSE, 0);
        if (::WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) {
            ::TerminateProcess(process.hProcess, 1);
        }
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return bShown ? 0 : 1;
}

int Usage() {
    std::fputs(
        "usage: kestrum-poke wait|wait-gone|rect|syscommand|click|state CAPTION [ARG]\n"
        "       kestrum-poke pick CAPTION COMBO INDEX\n"
        "       kestrum-poke tray-point\n"
        "       kestrum-poke time-start EXE [SECONDS]\n",
        stderr);
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 2 && std::wstring(argv[1]) == L"tray-point") {
        // The notification area's window (the shell's task bar, or under Wine without a desktop
        // the X11 driver's own tray window); its first icon sits at its left end, one small
        // icon and a little margin wide.
        HWND hTray = nullptr;
        ::EnumWindows(
            [](HWND hWnd, LPARAM lParam) -> BOOL {
                wchar_t szClass[32] = {};
                ::GetClassNameW(hWnd, szClass, 32);
                const std::wstring strClass = szClass;
                if ((strClass == L"Shell_TrayWnd" || strClass == L"__winex11_standalone_tray") &&
                    ::IsWindowVisible(hWnd) != FALSE) {
                    *reinterpret_cast<HWND*>(lParam) = hWnd;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&hTray));
        RECT rect{};
        if (hTray == nullptr || ::IsWindowVisible(hTray) == FALSE ||
            ::GetClientRect(hTray, &rect) == FALSE) {
            std::fputs("no notification area window\n", stderr);
            return 1;
        }
        POINT point{::GetSystemMetrics(SM_CXSMICON) / 2 + 2, (rect.top + rect.bottom) / 2};
        ::ClientToScreen(hTray, &point);
        std::printf("%ld %ld\n", point.x, point.y);
        return 0;
    }
    if (argc < 3) {
        return Usage();
    }
    const std::wstring strCommand = argv[1];
    const wchar_t* pszCaption = argv[2];
    const double seconds = argc > 3 ? std::wcstod(argv[3], nullptr) : 30.0;
    if (strCommand == L"time-start") {
        return TimeStart(argv[2], argc > 3 ? seconds : 120.0);
    }
    if (strCommand == L"wait") {
        HWND hWnd = nullptr;
        if (!WaitFor(seconds, [&] { return (hWnd = FindVisible(pszCaption)) != nullptr; })) {
            return 1;
        }
        PrintRect(hWnd);
        return 0;
    }
    if (strCommand == L"wait-gone") {
        return WaitFor(seconds, [&] { return FindVisible(pszCaption) == nullptr; }) ? 0 : 1;
    }
    HWND hWnd = ::FindWindowW(L"#32770", pszCaption);
    if (hWnd == nullptr) {
        std::fputs("no such window\n", stderr);
        return 1;
    }
    if (strCommand == L"rect") {
        PrintRect(hWnd);
        return 0;
    }
    if (strCommand == L"state") {
        return PrintState(hWnd);
    }
    if (argc < 4) {
        return Usage();
    }
    const auto nId = static_cast<UINT>(std::wcstoul(argv[3], nullptr, 0));
    if (strCommand == L"syscommand") {
        return ::PostMessageW(hWnd, WM_SYSCOMMAND, nId, 0) != FALSE ? 0 : 1;
    }
    if (strCommand == L"pick" && argc > 4) {
        // As a user's pick: the selection, then the notification the list sends for it.
        HWND hCombo = ::GetDlgItem(hWnd, static_cast<int>(nId));
        ::SendMessageW(hCombo, CB_SETCURSEL, std::wcstoul(argv[4], nullptr, 0), 0);
        return ::PostMessageW(hWnd, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(nId), CBN_SELCHANGE),
                              reinterpret_cast<LPARAM>(hCombo)) != FALSE
                   ? 0
                   : 1;
    }
    if (strCommand == L"click") {
        return ::PostMessageW(
                   hWnd, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(nId), BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(hWnd, static_cast<int>(nId)))) != FALSE
                   ? 0
                   : 1;
    }
    return Usage();
}
