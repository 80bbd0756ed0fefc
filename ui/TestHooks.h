// Stand-ins for the user in the smoke tests and the scripted driver, one set for the Qt and
// Win32 backends: when set, they answer instead of showing a window, so nothing blocks an
// unattended run, and they report what a user would notice. Unset, a backend behaves as the
// program does. They stay in the shipped backends so that the tests drive the code that ships.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "platform/Text.h"
#include "ui/Backend.h"
#include "ui/WinDefs.h"

struct SUiTestHooks {
    // Answers a message box; its result is the box's.
    std::function<int(HWND hOwner, const WString& text, const WString& caption, UINT nType)>
        answerMessageBox;
    // Answers the folder chooser; on kChosen fills path. On Windows the path then goes through
    // the shell's item for it as a chosen folder would (a path that names no folder has no
    // item: no path).
    std::function<EFolderChoice(const WString& title, WString& path)> answerFolder;
    // Answers the save-file dialog with the file name it proposes: true and the path, or false
    // for a cancelled dialog.
    std::function<bool(const WString& fileName, WString& path)> answerSaveFile;
    // Picks a command of the pop-up menu TrackPopupMenu would show (0: dismissed); the command
    // then reaches the owner as the menu would send it.
    std::function<UINT(HMENU hMenu, HWND hOwner)> answerPopupMenu;
    // Receives what would be opened.
    std::function<void(const WString& verb, const WString& file, int nShowCmd)> shellExecute;
    // Runs from the dialog's modal loop, once, after the dialog has been shown.
    std::function<void(HWND hDlg, UINT nIDTemplate)> dialogShown;
    // Overrides whether a notification area exists (Qt offscreen has none; Windows' shell
    // always has one and ignores this).
    std::optional<bool> trayAvailable;
    // Overrides the application name (message box captions); by default the executable's.
    std::optional<WString> appName;

    // Observers: what a user would notice, reported as it happens. On Windows the dialog
    // observers only follow dialogs that run while dialogShown is set.
    // EndDialog was called: the dialog's modal loop ends once control returns to it.
    std::function<void(HWND hDlg)> dialogEnding;
    // A dialog that was shown has ended; called after its window is gone, with its result.
    std::function<void(HWND hDlg, UINT nIDTemplate, INT_PTR nResult)> dialogClosed;
    // A shown dialog that has not ended became visible or hidden, minimised or restored.
    std::function<void(HWND hDlg, UINT nIDTemplate, bool bVisible, bool bMinimized)> windowChanged;
    // The notification icon was added (NIM_ADD), changed (NIM_MODIFY) or deleted (NIM_DELETE).
    std::function<void(DWORD dwMessage, HWND hWnd, UINT uID, const WString& tip)> trayChanged;
    // A window's taskbar button was given a progress state (TBPF_*), a progress value, or was
    // flashed (FLASHW_*): reported as the program asks, whatever the shell made of it.
    std::function<void(HWND hWnd, UINT nState)> taskbarState;
    std::function<void(HWND hWnd, std::uint64_t completed, std::uint64_t total)> taskbarValue;
    std::function<void(HWND hWnd, DWORD dwFlags)> windowFlashed;
};
