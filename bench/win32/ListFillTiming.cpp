// Times filling the song table with 40,000 songs through the Win32 backend, as the dialog's
// set-up does (one insert and two cell texts per song, the list not yet shown), its first paint,
// and ticking every row as the check-all box does. A measurement to run by hand under Wine, not
// a test: list-fill-timing.exe [SONGS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ui/win32/Win32Backend.h"

namespace {

void PumpMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) != FALSE) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int nSongs = argc > 1 ? std::atoi(argv[1]) : 40000;
    CWin32Backend& ui = Win32Backend();
    ui.InitCommonControls(ICC_WIN95_CLASSES);
    HWND hParent = ::CreateWindowExW(0, L"STATIC", L"timing", WS_POPUP, 0, 0, 800, 600, nullptr,
                                     nullptr, ::GetModuleHandleW(nullptr), nullptr);
    HWND hList = ::CreateWindowExW(
        0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT | LVS_SINGLESEL, 0, 0,
        760, 500, hParent, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (hList == nullptr) {
        std::fputs("no list view\n", stderr);
        return 1;
    }
    ui.ListSetExtendedStyle(hList, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    ui.ListInsertColumn(hList, 0, u"Title", LVCFMT_LEFT, 240);
    ui.ListInsertColumn(hList, 1, u"Artist", LVCFMT_LEFT, 160);
    ui.ListInsertColumn(hList, 2, u"Album", LVCFMT_LEFT, 150);

    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < nSongs; ++i) {
        const WString strNumber = WideFromAscii(std::to_string(i));
        const WString strTitle = u"Song title number " + strNumber;
        ui.ListInsertItem(hList, i, strTitle.c_str());
        ui.ListSetItemText(hList, i, 1, (u"Artist " + strNumber).c_str());
        ui.ListSetItemText(hList, i, 2, (u"Album " + strNumber).c_str());
    }
    // The set-up measures a row right after the fill, which ends the backend's fill as well.
    RECT row{};
    ui.ListGetItemRect(hList, 1, row, LVIR_BOUNDS);
    const auto filled = std::chrono::steady_clock::now();
    // The dialog's message loop runs once its set-up returns; here a pump stands in for it.
    PumpMessages();
    ::ShowWindow(hParent, SW_SHOW);
    ::UpdateWindow(hParent);
    const auto shown = std::chrono::steady_clock::now();
    for (int i = 0; i < nSongs; ++i) {
        ui.ListSetCheck(hList, i, TRUE);
    }
    PumpMessages();
    ::UpdateWindow(hParent);
    const auto ticked = std::chrono::steady_clock::now();

    using Ms = std::chrono::duration<double, std::milli>;
    std::printf("%d songs: fill %.0f ms, first paint %.0f ms, tick all %.0f ms, rows %d\n", nSongs,
                Ms(filled - start).count(), Ms(shown - filled).count(), Ms(ticked - shown).count(),
                ui.ListGetItemCount(hList));
    ::DestroyWindow(hParent);
    return 0;
}
