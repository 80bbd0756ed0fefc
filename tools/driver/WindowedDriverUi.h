// What the drivers over real windowing backends (Qt, Win32) share: the running dialogs, the
// scripted answers, the pop-up menu left open for the script, the checks before a user action,
// and turning the backends' test-hook reports into the driver's events.
#pragma once

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tools/driver/DriverUi.h"
#include "tools/driver/ScriptEnd.h"
#include "ui/Backend.h"
#include "ui/TestHooks.h"
#include "ui/WinApp.h"

struct SRunningDialog {
    HWND hDlg = nullptr;
    UINT nIDTemplate = 0;
    bool bEnding = false;  // EndDialog was called; its loop ends when the driver returns
};

struct STrayIcon {
    HWND hWnd = nullptr;
    UINT uID = 0;
    WString tip;
};

class CWindowedDriverUi : public IDriverUi {
public:
    int Run(std::function<bool()> pump) override {
        m_nextLine = std::move(pump);
        return AfxWinMain();
    }

    void SetEventSink(IUiEventSink* pSink) override { m_pSink = pSink; }

    void QueueMessageBoxAnswer(int nAnswer) override {
        const std::lock_guard lock(m_mutex);
        m_answers.push_back(nAnswer);
    }
    void QueueFolderChoice(EFolderChoice choice, WString path) override {
        const std::lock_guard lock(m_mutex);
        m_folders.emplace_back(choice, std::move(path));
    }

    void QueueSaveFile(std::optional<WString> path) override {
        const std::lock_guard lock(m_mutex);
        m_saves.push_back(std::move(path));
    }

    bool HasPendingWork() override {
        return HasPosted() || (!m_dialogs.empty() && m_dialogs.back().bEnding);
    }

    bool PressEnter() override { return PressKey(EKey::kEnter); }
    bool PressEscape() override { return PressKey(EKey::kEscape); }

    bool ChooseMenuCommand(UINT nId) override {
        if (!m_bPopupOpen || std::find(m_popupCommands.begin(), m_popupCommands.end(), nId) ==
                                 m_popupCommands.end()) {
            return false;
        }
        m_nPopupChoice = nId;
        m_bPopupOpen = false;
        return true;
    }

    void DismissPopup() override { m_bPopupOpen = false; }

    std::string Focus() override {
        IUiBackend& ui = UiBackend();
        HWND hFocus = ui.GetFocus();
        if (hFocus == nullptr) {
            return "none";
        }
        for (const SRunningDialog& dialog : m_dialogs) {
            if (dialog.hDlg == hFocus) {
                return "dialog " + std::to_string(dialog.nIDTemplate);
            }
        }
        return std::to_string(ui.GetDlgCtrlID(hFocus));
    }

protected:
    // Lets the backend's event loop run what the last line left to it.
    virtual void Settle() = 0;
    // Whether messages posted to the program's windows wait for the event loop.
    virtual bool HasPosted() = 0;
    enum class EKey { kEnter, kEscape };
    // A key press as the dialog on top gets it from the keyboard.
    virtual void SendKey(EKey key) = 0;

    // The reports both backends' test hooks make under the same names; each driver adds those
    // that differ (window states, folders, pop-up menus).
    void InstallReportingHooks(SUiTestHooks& hooks) {
        // The name the program has on Windows, where its executable is Kestrum.exe.
        hooks.appName = u"Kestrum";
        hooks.dialogShown = [this](HWND hDlg, UINT nIDTemplate) {
            OnDialogShown(hDlg, nIDTemplate);
        };
        hooks.dialogEnding = [this](HWND hDlg) { OnDialogEnding(hDlg); };
        hooks.dialogClosed = [this](HWND hDlg, UINT nIDTemplate, INT_PTR nResult) {
            OnDialogClosed(hDlg, nIDTemplate, nResult);
        };
        hooks.trayChanged = [this](DWORD dwMessage, HWND hWnd, UINT uID, const WString& tip) {
            OnTrayChanged(dwMessage, hWnd, uID, tip);
        };
        hooks.answerMessageBox = [this](HWND hOwner, const WString& text, const WString& caption,
                                        UINT nType) {
            return AnswerMessageBox(hOwner, text, caption, nType);
        };
        hooks.shellExecute = [this](const WString& verb, const WString& file, int nShowCmd) {
            ReportShellExecute(verb, file, nShowCmd);
        };
        hooks.answerSaveFile = [this](const WString& fileName, WString& path) {
            return AnswerSaveFile(fileName, path);
        };
    }

    // A window's text as the backend gives it (up to kMaxPath characters).
    static WString WindowText(HWND hWnd) {
        WChar szText[kMaxPath] = {};
        UiBackend().GetWindowText(hWnd, szText, static_cast<int>(kMaxPath));
        return szText;
    }

    HWND TopDialogWindow() const { return m_dialogs.empty() ? nullptr : m_dialogs.back().hDlg; }

    HWND ControlWindow(int nId) const {
        HWND hDlg = TopDialogWindow();
        return hDlg != nullptr ? UiBackend().GetDlgItem(hDlg, nId) : nullptr;
    }

    // The dialog on top is shown, not minimised and enabled; the control (if any) visible and
    // enabled.
    static bool CanTakeInput(HWND hDlg, HWND hControl) {
        IUiBackend& ui = UiBackend();
        if (hDlg == nullptr || ui.IsWindowVisible(hDlg) == FALSE || ui.IsIconic(hDlg) != FALSE ||
            ui.IsWindowEnabled(hDlg) == FALSE) {
            return false;
        }
        return hControl == nullptr ||
               (ui.IsWindowVisible(hControl) != FALSE && ui.IsWindowEnabled(hControl) != FALSE);
    }
    bool CanTakeInput(HWND hControl) const { return CanTakeInput(TopDialogWindow(), hControl); }

    // Any user action closes a pop-up menu left open; then the top dialog's control nId, when
    // it takes input (nullptr otherwise).
    HWND InputControl(int nId) {
        DismissPopup();
        HWND hControl = ControlWindow(nId);
        return hControl != nullptr && CanTakeInput(hControl) ? hControl : nullptr;
    }

    // The top dialog is shown (also when minimised: its task bar button and close box are
    // there); any pop-up menu left open is closed first.
    bool TopDialogShown() {
        DismissPopup();
        HWND hDlg = TopDialogWindow();
        return hDlg != nullptr && UiBackend().IsWindowVisible(hDlg) != FALSE;
    }

    // A menu the program opens is reported and stays open for the script's next lines until one
    // of them picks from it or dismisses it (any other action dismisses it first), or the script
    // ends. Returns the command picked, 0 for none.
    UINT WaitForPopupChoice(const SUiEvent& event) {
        m_popupCommands.clear();
        for (const SUiMenuLine& line : event.items) {
            if (!line.text.empty() && !line.bPopup) {
                m_popupCommands.push_back(line.nId);
            }
        }
        Emit(event);
        m_nPopupChoice = 0;
        m_bPopupOpen = true;
        while (m_bPopupOpen) {
            if (!NextLine()) {
                m_bPopupOpen = false;
            }
        }
        return m_nPopupChoice;
    }

    void ReportShellExecute(const WString& verb, const WString& file, int nShowCmd) {
        SUiEvent event = MakeEvent(EUiEvent::kShellExecute, 0);
        event.text = file;
        event.detail = verb.empty() ? WString(u"open") : verb;
        event.nResult = nShowCmd;
        Emit(event);
    }

    // Runs the script for a dialog that has just been shown, from inside its modal loop, until
    // it ends, and closes it as CScriptEnd does once the script has ended.
    void DriveDialog(HWND hDlg) {
        CScriptEnd scriptEnd;
        for (;;) {
            Settle();
            const SRunningDialog* pDialog = Running(hDlg);
            if (pDialog == nullptr || pDialog->bEnding) {
                return;
            }
            if (!NextLine()) {
                DismissPopup();
                scriptEnd.CloseDialog(UiBackend(), hDlg);
            }
        }
    }

    bool NextLine() { return m_nextLine && m_nextLine(); }

    const SRunningDialog* Running(HWND hDlg) const {
        for (const SRunningDialog& dialog : m_dialogs) {
            if (dialog.hDlg == hDlg) {
                return &dialog;
            }
        }
        return nullptr;
    }

    static SUiEvent MakeEvent(EUiEvent kind, UINT nId) {
        return MakeEvent(kind, static_cast<int>(nId));
    }
    static SUiEvent MakeEvent(EUiEvent kind, int nId) {
        SUiEvent event;
        event.kind = kind;
        event.nId = nId;
        return event;
    }

    void Emit(const SUiEvent& event) {
        if (m_pSink != nullptr) {
            m_pSink->OnUiEvent(event);
        }
    }

    int DialogTemplate(HWND hWnd) const {
        for (const SRunningDialog& dialog : m_dialogs) {
            if (dialog.hDlg == hWnd) {
                return static_cast<int>(dialog.nIDTemplate);
            }
        }
        return 0;
    }

    // A dialog the backend has shown: reported, then driven until it ends.
    void OnDialogShown(HWND hDlg, UINT nIDTemplate) {
        m_dialogs.push_back(SRunningDialog{hDlg, nIDTemplate});
        m_windowStates[hDlg] = {true, false};
        SUiEvent event = MakeEvent(EUiEvent::kDialogOpened, nIDTemplate);
        event.text = WindowText(hDlg);
        Emit(event);
        DriveDialog(hDlg);
    }

    void OnDialogEnding(HWND hDlg) {
        for (SRunningDialog& dialog : m_dialogs) {
            if (dialog.hDlg == hDlg) {
                dialog.bEnding = true;
            }
        }
    }

    void OnDialogClosed(HWND hDlg, UINT nIDTemplate, INT_PTR nResult) {
        const auto it =
            std::find_if(m_dialogs.begin(), m_dialogs.end(),
                         [hDlg](const SRunningDialog& dialog) { return dialog.hDlg == hDlg; });
        if (it == m_dialogs.end()) {
            return;
        }
        m_dialogs.erase(it);
        m_windowStates.erase(hDlg);
        SUiEvent event = MakeEvent(EUiEvent::kDialogClosed, nIDTemplate);
        event.nResult = nResult;
        Emit(event);
    }

    // A dialog window's state as the backend reports it; only changes become events.
    void OnWindowChanged(std::pair<bool, bool>& lastState, UINT nIDTemplate, bool bVisible,
                         bool bMinimized) {
        auto& [bWasVisible, bWasMinimized] = lastState;
        const int nId = static_cast<int>(nIDTemplate);
        if (bVisible != bWasVisible) {
            Emit(MakeEvent(bVisible ? EUiEvent::kWindowShown : EUiEvent::kWindowHidden, nId));
        }
        if (bMinimized != bWasMinimized) {
            Emit(MakeEvent(bMinimized ? EUiEvent::kWindowMinimised : EUiEvent::kWindowRestored,
                           nId));
        }
        bWasVisible = bVisible;
        bWasMinimized = bMinimized;
    }

    // A notification icon the shell took: added (NIM_ADD), changed (NIM_MODIFY) or deleted.
    void OnTrayChanged(DWORD dwMessage, HWND hWnd, UINT uID, const WString& tip) {
        const auto it = std::find_if(m_icons.begin(), m_icons.end(), [&](const STrayIcon& icon) {
            return icon.hWnd == hWnd && icon.uID == uID;
        });
        SUiEvent event = MakeEvent(EUiEvent::kTrayIconAdded, DialogTemplate(hWnd));
        event.text = tip;
        if (dwMessage == NIM_ADD) {
            m_icons.push_back(STrayIcon{hWnd, uID, tip});
        } else if (dwMessage == NIM_MODIFY) {
            event.kind = EUiEvent::kTrayIconChanged;
            if (it != m_icons.end()) {
                it->tip = tip;
            }
        } else {
            event.kind = EUiEvent::kTrayIconDeleted;
            if (it != m_icons.end()) {
                m_icons.erase(it);
            }
        }
        Emit(event);
    }

    // The next scripted answer (OK when the script gave none); may run on any thread.
    int AnswerMessageBox(HWND hOwner, const WString& text, const WString& caption, UINT nType) {
        int nAnswer = IDOK;
        {
            const std::lock_guard lock(m_mutex);
            if (!m_answers.empty()) {
                nAnswer = m_answers.front();
                m_answers.pop_front();
            }
        }
        SUiEvent event = MakeEvent(EUiEvent::kMessageBox, DialogTemplate(hOwner));
        event.text = text;
        event.caption = caption;
        event.nType = nType;
        event.nResult = nAnswer;
        Emit(event);
        return nAnswer;
    }

    // The next scripted folder choice (cancelled when the script gave none).
    EFolderChoice AnswerFolder(const WString& title, WString& path) {
        std::pair<EFolderChoice, WString> answer{EFolderChoice::kCancelled, WString()};
        {
            const std::lock_guard lock(m_mutex);
            if (!m_folders.empty()) {
                answer = std::move(m_folders.front());
                m_folders.pop_front();
            }
        }
        SUiEvent event = MakeEvent(EUiEvent::kFolderChooser, 0);
        event.text = title;
        event.nResult = static_cast<INT_PTR>(answer.first);
        event.detail = answer.second;
        Emit(event);
        path = answer.second;
        return answer.first;
    }

    // The save-file dialog: the next queued answer, else cancelled.
    bool AnswerSaveFile(const WString& fileName, WString& path) {
        std::optional<WString> answer;
        {
            const std::lock_guard lock(m_mutex);
            if (!m_saves.empty()) {
                answer = std::move(m_saves.front());
                m_saves.pop_front();
            }
        }
        SUiEvent event = MakeEvent(EUiEvent::kSaveDialog, 0);
        event.text = fileName;
        event.nResult = answer.has_value() ? 1 : 0;
        event.detail = answer.value_or(WString());
        Emit(event);
        path = answer.value_or(WString());
        return answer.has_value();
    }

    std::vector<SRunningDialog> m_dialogs;
    std::map<HWND, std::pair<bool, bool>> m_windowStates;  // visible, minimised as last told
    std::vector<STrayIcon> m_icons;

private:
    bool PressKey(EKey key) {
        DismissPopup();
        if (!CanTakeInput(nullptr)) {
            return false;
        }
        SendKey(key);
        return true;
    }

    std::function<bool()> m_nextLine;
    IUiEventSink* m_pSink = nullptr;
    std::mutex m_mutex;  // the answer queues
    std::deque<int> m_answers;
    std::deque<std::pair<EFolderChoice, WString>> m_folders;
    std::deque<std::optional<WString>> m_saves;
    // The pop-up menu the script may pick from.
    bool m_bPopupOpen = false;
    std::vector<UINT> m_popupCommands;
    UINT m_nPopupChoice = 0;
};
