// kestrum-driver-win32: the same scripts on the Win32 backend, run by the system's dialog
// manager (under Wine in the tests). User actions are the window messages the controls and the
// shell send for them (BM_CLICK, WM_SETTEXT, CB_SETCURSEL with CBN_SELCHANGE, LVM_SETITEMSTATE,
// WM_SYSCOMMAND, keys through IsDialogMessage, the notification icon's callback message);
// message boxes, the folder chooser, pop-up menus and the maker's page are answered through the
// backend's test hooks, which also report what a user would notice. `show` reads the windows
// back through window messages.
//
// The pump: once a dialog is shown and its queue has run empty, its modal loop hands control to
// the driver (the backend's dialogShown hook), which runs the script's lines for it one by one
// until it ends. Before each line the thread's queue is worked off as the modal loop would
// (a menu command is posted once the menu has closed), so each line sees the program settled; a
// dialog opened meanwhile runs its own lines in its own loop, nested as the dialogs are.
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "tools/driver/DriverUi.h"
#include "tools/driver/WindowedDriverUi.h"
#include "ui/WinApp.h"
#include "ui/win32/Win32Backend.h"

namespace {

using namespace std::chrono_literals;

// The callback message CTrayDialog gives its icon, as the shell sends it for mouse actions.
constexpr UINT kTrayCallback = WM_USER + 1;
// Messages worked off before a line at most; a program that keeps posting work would otherwise
// never let the script go on.
constexpr int kMaxSettleMessages = 100000;

WString ClassName(HWND hWnd) {
    wchar_t szClass[64] = {};
    ::GetClassNameW(hWnd, szClass, 64);
    return WString(reinterpret_cast<const WChar*>(szClass));
}

bool IsClass(HWND hWnd, const char16_t* pszClass) {
    const WString name = ClassName(hWnd);
    return ::lstrcmpiW(reinterpret_cast<const wchar_t*>(name.c_str()),
                       reinterpret_cast<const wchar_t*>(pszClass)) == 0;
}

WString Text(HWND hWnd) {
    const int nLength = ::GetWindowTextLengthW(hWnd);
    std::vector<wchar_t> text(static_cast<std::size_t>(std::max(nLength, 0)) + 1);
    ::GetWindowTextW(hWnd, text.data(), static_cast<int>(text.size()));
    return WString(reinterpret_cast<const WChar*>(text.data()));
}

class CWin32DriverUi final : public CWindowedDriverUi {
public:
    CWin32DriverUi() {
        // The expected output has bare line feeds; text mode would write CR LF.
        static_cast<void>(::_setmode(::_fileno(stdout), _O_BINARY));
        SetUiBackend(&m_backend);
        InstallHooks();
    }
    ~CWin32DriverUi() override {
        m_backend.Hooks() = SUiTestHooks();
        SetUiBackend(nullptr);
    }
    CWin32DriverUi(const CWin32DriverUi&) = delete;
    CWin32DriverUi& operator=(const CWin32DriverUi&) = delete;

    void AwaitIdle(CScriptedPlatform& platform) override {
        // Messages other threads send to this one's windows are answered meanwhile; nothing
        // posted is taken, so the order of the script's own work stays as it is.
        while (!platform.WaitUntilIdleFor(2ms)) {
            MSG msg;
            ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
    }

    bool Click(int nId) override {
        HWND hControl = InputControl(nId);
        if (hControl == nullptr) {
            return false;
        }
        if (IsClass(hControl, u"Button")) {
            const auto dwType =
                static_cast<DWORD>(::GetWindowLongPtrW(hControl, GWL_STYLE)) & BS_TYPEMASK;
            if (dwType == BS_GROUPBOX) {
                return false;
            }
            // The button presses and releases itself: it takes the focus, an automatic check
            // box toggles, and the dialog gets BN_CLICKED.
            ::SendMessageW(hControl, BM_CLICK, 0, 0);
            return true;
        }
        // Other controls only take the focus on a click; statics and frames not even that.
        if (IsClass(hControl, u"Edit") || IsClass(hControl, u"ComboBox") ||
            IsClass(hControl, u"SysListView32")) {
            ::SetFocus(hControl);
            return true;
        }
        return false;
    }

    bool Type(int nId, const WString& text) override {
        HWND hEdit = InputControl(nId);
        if (hEdit == nullptr || !IsClass(hEdit, u"Edit")) {
            return false;
        }
        ::SetFocus(hEdit);
        // The edit replaces its text and tells the dialog with EN_CHANGE, as after typing.
        ::SendMessageW(hEdit, WM_SETTEXT, 0,
                       reinterpret_cast<LPARAM>(reinterpret_cast<const wchar_t*>(text.c_str())));
        return true;
    }

    bool Pick(int nId, const WString& entry) override {
        HWND hCombo = InputControl(nId);
        if (hCombo == nullptr || !IsClass(hCombo, u"ComboBox")) {
            return false;
        }
        const auto nIndex = static_cast<int>(::SendMessageW(
            hCombo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
            reinterpret_cast<LPARAM>(reinterpret_cast<const wchar_t*>(entry.c_str()))));
        if (nIndex < 0) {
            return false;
        }
        // What picking from the dropped list does: the entry becomes current, then the box
        // reports the user's choice.
        ::SetFocus(hCombo);
        ::SendMessageW(hCombo, CB_SETCURSEL, static_cast<WPARAM>(nIndex), 0);
        ::SendMessageW(TopDialogWindow(), WM_COMMAND,
                       MAKEWPARAM(static_cast<WORD>(nId), CBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(hCombo));
        return true;
    }

    bool TickRow(int nListId, int nRow, bool bTicked) override {
        HWND hList = ListWindow(nListId, nRow);
        if (hList == nullptr) {
            return false;
        }
        const auto dwExStyle =
            static_cast<DWORD>(::SendMessageW(hList, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
        if ((dwExStyle & LVS_EX_CHECKBOXES) == 0) {
            return false;
        }
        // A click on the row's check box: the list takes the focus, the box its new state.
        ::SetFocus(hList);
        LVITEMW item{};
        item.stateMask = LVIS_STATEIMAGEMASK;
        item.state = INDEXTOSTATEIMAGEMASK(bTicked ? 2u : 1u);
        ::SendMessageW(hList, LVM_SETITEMSTATE, static_cast<WPARAM>(nRow),
                       reinterpret_cast<LPARAM>(&item));
        return true;
    }

    bool SelectRow(int nListId, int nRow) override {
        HWND hList = ListWindow(nListId, nRow);
        if (hList == nullptr) {
            return false;
        }
        ::SetFocus(hList);
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        ::SendMessageW(hList, LVM_SETITEMSTATE, static_cast<WPARAM>(nRow),
                       reinterpret_cast<LPARAM>(&item));
        return true;
    }

    // Also reachable from the task bar when minimised, but not when hidden.
    bool CloseBox() override { return TopDialogShown() && SendSysCommand(WS_SYSMENU, SC_CLOSE); }

    // The caption's minimise box sends this before anything has changed.
    bool Minimise() override {
        DismissPopup();
        return CanTakeInput(nullptr) && SendSysCommand(WS_MINIMIZEBOX, SC_MINIMIZE);
    }

    // The task bar button of a minimised window.
    bool Restore() override {
        return TopDialogShown() && ::IsIconic(TopDialogWindow()) != FALSE &&
               SendSysCommand(0, SC_RESTORE);
    }

    bool SysCommand(UINT nId) override {
        if (!TopDialogShown()) {
            return false;
        }
        // Only an entry the window's system menu holds, and not grayed, can be chosen.
        HMENU hSystem = ::GetSystemMenu(TopDialogWindow(), FALSE);
        const UINT nState =
            hSystem != nullptr ? ::GetMenuState(hSystem, nId, MF_BYCOMMAND) : static_cast<UINT>(-1);
        if (nState == static_cast<UINT>(-1) || (nState & (MF_GRAYED | MF_DISABLED)) != 0) {
            return false;
        }
        return SendSysCommand(0, nId);
    }

    bool TrayDoubleClick() override {
        DismissPopup();
        // As the shell reports a double click: down, up, double click, up.
        return TrayMouse(WM_LBUTTONDOWN) && TrayMouse(WM_LBUTTONUP) &&
               TrayMouse(WM_LBUTTONDBLCLK) && TrayMouse(WM_LBUTTONUP);
    }

    bool TrayRightClick() override {
        DismissPopup();
        return TrayMouse(WM_RBUTTONDOWN) && TrayMouse(WM_RBUTTONUP);
    }

    bool TrayClick() override { return TrayMouse(WM_LBUTTONDOWN) && TrayMouse(WM_LBUTTONUP); }

    bool TrayMove() override { return TrayMouse(WM_MOUSEMOVE); }

    bool TopDialog(SDriverDialog& dialog) override {
        HWND hDlg = TopDialogWindow();
        if (hDlg == nullptr) {
            return false;
        }
        dialog.nTemplateId = static_cast<int>(m_dialogs.back().nIDTemplate);
        dialog.caption = Text(hDlg);
        dialog.bVisible = ::IsWindowVisible(hDlg) != FALSE;
        dialog.bMinimised = ::IsIconic(hDlg) != FALSE;
        return true;
    }

    bool Control(int nId, SDriverControl& control) override {
        HWND hControl = ControlWindow(nId);
        if (hControl == nullptr) {
            return false;
        }
        control = SDriverControl();
        control.text = Text(hControl);
        control.bEnabled = ::IsWindowEnabled(hControl) != FALSE;
        if (IsClass(hControl, u"Button")) {
            control.bChecked = ::SendMessageW(hControl, BM_GETCHECK, 0, 0) == BST_CHECKED;
        }
        if (IsClass(hControl, u"ComboBox")) {
            const auto nCount = static_cast<int>(::SendMessageW(hControl, CB_GETCOUNT, 0, 0));
            for (int i = 0; i < nCount; ++i) {
                const auto nLength = static_cast<int>(
                    ::SendMessageW(hControl, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0));
                std::vector<wchar_t> text(static_cast<std::size_t>(std::max(nLength, 0)) + 1);
                ::SendMessageW(hControl, CB_GETLBTEXT, static_cast<WPARAM>(i),
                               reinterpret_cast<LPARAM>(text.data()));
                control.items.emplace_back(reinterpret_cast<const WChar*>(text.data()));
            }
            control.nCurSel = static_cast<int>(::SendMessageW(hControl, CB_GETCURSEL, 0, 0));
        }
        if (IsClass(hControl, u"SysListView32")) {
            ReadList(hControl, control);
        }
        return true;
    }

    bool TrayTip(WString& tip) override {
        // The shell is asked whether it holds the icon: changing nothing about an icon only
        // succeeds for one that is there.
        for (const STrayIcon& icon : m_icons) {
            NOTIFYICONDATAW data{};
            data.cbSize = sizeof data;
            data.hWnd = icon.hWnd;
            data.uID = icon.uID;
            if (::Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE) {
                tip = icon.tip;
                return true;
            }
        }
        return false;
    }

private:
    void InstallHooks() {
        SUiTestHooks& hooks = m_backend.Hooks();
        InstallReportingHooks(hooks);
        hooks.windowChanged = [this](HWND hDlg, UINT nIDTemplate, bool bVisible, bool bMinimized) {
            OnWindowChanged(m_windowStates.try_emplace(hDlg, true, false).first->second,
                            nIDTemplate, bVisible, bMinimized);
        };
        hooks.answerFolder = [this](const WString& title, WString& path) {
            const EFolderChoice choice = AnswerFolder(title, path);
            // The shell's own separators: the script's paths are joined with '/'.
            std::replace(path.begin(), path.end(), u'/', u'\\');
            return choice;
        };
        hooks.answerPopupMenu = [this](HMENU hMenu, HWND hOwner) {
            return AnswerPopup(hMenu, hOwner);
        };
    }

    // The menu the program opens, as the script sees it, waits for the script.
    UINT AnswerPopup(HMENU hMenu, HWND hOwner) {
        SUiEvent event = MakeEvent(EUiEvent::kPopupMenu, DialogTemplate(hOwner));
        const int nItems = ::GetMenuItemCount(hMenu);
        for (int i = 0; i < nItems; ++i) {
            wchar_t szText[256] = {};
            MENUITEMINFOW info{};
            info.cbSize = sizeof info;
            info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_STRING | MIIM_SUBMENU;
            info.dwTypeData = szText;
            info.cch = 256;
            if (::GetMenuItemInfoW(hMenu, static_cast<UINT>(i), TRUE, &info) == FALSE) {
                continue;
            }
            SUiMenuLine line;
            if ((info.fType & MFT_SEPARATOR) == 0) {
                line.text = reinterpret_cast<const WChar*>(szText);
            }
            line.nId = info.wID;
            line.bDefault = (info.fState & MFS_DEFAULT) != 0;
            line.bPopup = info.hSubMenu != nullptr;
            event.items.push_back(std::move(line));
        }
        return WaitForPopupChoice(event);
    }

    // A key press as the dialog's modal loop would hand it on: to the dialog manager first,
    // which turns Enter into the default button's click and Escape into IDCANCEL.
    void SendKey(EKey key) override {
        HWND hDlg = TopDialogWindow();
        HWND hFocus = ::GetFocus();
        MSG msg{};
        msg.hwnd = hFocus != nullptr && (hFocus == hDlg || ::IsChild(hDlg, hFocus) != FALSE)
                       ? hFocus
                       : hDlg;
        msg.message = WM_KEYDOWN;
        msg.wParam = key == EKey::kEnter ? VK_RETURN : VK_ESCAPE;
        msg.lParam = 1;
        msg.time = ::GetTickCount();
        if (::IsDialogMessageW(hDlg, &msg) == FALSE) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }

    // A system command the caption or the task bar button sends, when the dialog on top has the
    // style that shows the button for it (0: no style needed).
    bool SendSysCommand(LONG_PTR nStyleNeeded, UINT nCommand) {
        HWND hDlg = TopDialogWindow();
        if ((::GetWindowLongPtrW(hDlg, GWL_STYLE) & nStyleNeeded) != nStyleNeeded) {
            return false;
        }
        ::SendMessageW(hDlg, WM_SYSCOMMAND, nCommand, 0);
        return true;
    }

    bool TrayMouse(UINT nMouseMessage) {
        if (m_icons.empty()) {
            return false;
        }
        const STrayIcon icon = m_icons.front();
        if (::IsWindow(icon.hWnd) == FALSE) {
            return false;
        }
        ::SendMessageW(icon.hWnd, kTrayCallback, icon.uID, static_cast<LPARAM>(nMouseMessage));
        return true;
    }

    void ReadList(HWND hList, SDriverControl& control) {
        HWND hHeader = reinterpret_cast<HWND>(::SendMessageW(hList, LVM_GETHEADER, 0, 0));
        const int nColumns = hHeader != nullptr
                                 ? static_cast<int>(::SendMessageW(hHeader, HDM_GETITEMCOUNT, 0, 0))
                                 : 1;
        const auto nRows = static_cast<int>(::SendMessageW(hList, LVM_GETITEMCOUNT, 0, 0));
        for (int nRow = 0; nRow < nRows; ++nRow) {
            SDriverRow row;
            for (int nCol = 0; nCol < nColumns; ++nCol) {
                wchar_t szText[kMaxPath] = {};
                LVITEMW item{};
                item.iSubItem = nCol;
                item.pszText = szText;
                item.cchTextMax = static_cast<int>(kMaxPath);
                ::SendMessageW(hList, LVM_GETITEMTEXTW, static_cast<WPARAM>(nRow),
                               reinterpret_cast<LPARAM>(&item));
                row.cells.emplace_back(reinterpret_cast<const WChar*>(szText));
            }
            const auto nState =
                static_cast<UINT>(::SendMessageW(hList, LVM_GETITEMSTATE, static_cast<WPARAM>(nRow),
                                                 LVIS_STATEIMAGEMASK | LVIS_SELECTED));
            row.bChecked = (nState & LVIS_STATEIMAGEMASK) >> 12 == 2;
            row.bSelected = (nState & LVIS_SELECTED) != 0;
            control.rows.push_back(std::move(row));
        }
        control.nTopIndex = static_cast<int>(::SendMessageW(hList, LVM_GETTOPINDEX, 0, 0));
    }

    // Works off what the last line left in the queue, as the modal loop of the dialog on top
    // would: the dialog manager sees each message first.
    // The program posts its own messages in the WM_APP range.
    bool HasPosted() override {
        MSG msg;
        return ::PeekMessageW(&msg, nullptr, WM_APP, 0xBFFF, PM_NOREMOVE) != FALSE;
    }

    void Settle() override {
        MSG msg;
        for (int i = 0; i < kMaxSettleMessages && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
             ++i) {
            if (msg.message == WM_QUIT) {
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            HWND hDlg = TopDialogWindow();
            if (hDlg == nullptr || ::IsDialogMessageW(hDlg, &msg) == FALSE) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
    }

    // The list, when it takes a click on row nRow.
    HWND ListWindow(int nListId, int nRow) {
        HWND hList = InputControl(nListId);
        if (hList == nullptr || !IsClass(hList, u"SysListView32") || nRow < 0 ||
            nRow >= static_cast<int>(::SendMessageW(hList, LVM_GETITEMCOUNT, 0, 0))) {
            return nullptr;
        }
        return hList;
    }

    CWin32Backend& m_backend = Win32Backend();
};

}  // namespace

std::unique_ptr<IDriverUi> CreateDriverUi(int& /*argc*/, char** /*argv*/) {
    return std::make_unique<CWin32DriverUi>();
}
