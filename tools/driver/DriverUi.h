// What kestrum-driver needs from a user-interface backend: run the program with a pump that
// feeds it one script line at a time, act as the user on the dialog on top, answer the boxes
// and choosers the program opens, and read back what a user would see. One implementation
// drives the Qt backend, the other the Win32 one; the script interpreter (CDriver) is the same
// for both.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "tools/driver/ScriptedPlatform.h"
#include "tools/driver/UiEvents.h"
#include "ui/Backend.h"
#include "ui/WinDefs.h"

// The dialog on top as a user sees it.
struct SDriverDialog {
    int nTemplateId = 0;
    WString caption;
    bool bVisible = false;
    bool bMinimised = false;
};

struct SDriverRow {
    std::vector<WString> cells;
    bool bChecked = false;
    bool bSelected = false;
};

// One control of the dialog on top; only the fields its kind has are filled.
struct SDriverControl {
    WString text;
    bool bEnabled = false;
    bool bChecked = false;       // check boxes
    std::vector<WString> items;  // combo boxes
    int nCurSel = -1;
    std::vector<SDriverRow> rows;  // lists
    int nTopIndex = 0;
};

class IDriverUi {
public:
    virtual ~IDriverUi() = default;

    // Every visible change is reported here as an SUiEvent (see UiEvents.h).
    virtual void SetEventSink(IUiEventSink* pSink) = 0;
    // Runs the program (AfxWinMain). While a dialog runs, pump is called for each next user
    // action; when it returns false the dialog on top is closed as by its close box.
    virtual int Run(std::function<bool()> pump) = 0;
    // Returns once every thread the program started is asleep or has ended; the user interface
    // keeps answering meanwhile where the backend needs that (a box asked for by a thread).
    virtual void AwaitIdle(CScriptedPlatform& platform) = 0;
    // Whether the program has work to take before the next line: messages posted to its
    // windows, or a dialog that has ended whose modal loop has not returned yet.
    virtual bool HasPendingWork() = 0;

    // Scripted answers for the next message box and folder chooser.
    virtual void QueueMessageBoxAnswer(int nAnswer) = 0;
    virtual void QueueFolderChoice(EFolderChoice choice, WString path) = 0;
    // The next save-file dialog gives path, or is cancelled when there is none.
    virtual void QueueSaveFile(std::optional<WString> path) = 0;

    // User actions on the dialog on top; false when the user could not do it.
    virtual bool Click(int nId) = 0;
    virtual bool Type(int nId, const WString& text) = 0;
    virtual bool Pick(int nId, const WString& entry) = 0;
    virtual bool TickRow(int nListId, int nRow, bool bTicked) = 0;
    virtual bool SelectRow(int nListId, int nRow) = 0;
    virtual bool PressEnter() = 0;
    virtual bool PressEscape() = 0;
    virtual bool CloseBox() = 0;
    virtual bool Minimise() = 0;
    virtual bool Restore() = 0;
    // A system menu entry the program added (the about box).
    virtual bool SysCommand(UINT nId) = 0;
    // On the notification-area icon: false when there is none.
    virtual bool TrayDoubleClick() = 0;
    virtual bool TrayRightClick() = 0;
    virtual bool TrayClick() = 0;
    virtual bool TrayMove() = 0;
    // The pop-up menu the program opened: pick a command, or close it.
    virtual bool ChooseMenuCommand(UINT nId) = 0;
    virtual void DismissPopup() = 0;

    // Read-back.
    virtual bool TopDialog(SDriverDialog& dialog) = 0;
    // A control of the dialog on top; false when it has none of that id.
    virtual bool Control(int nId, SDriverControl& control) = 0;
    // "ID" of the focused control, "dialog ID" for a dialog, or "none".
    virtual std::string Focus() = 0;
    // The notification-area icon's tooltip; false when no icon is shown.
    virtual bool TrayTip(WString& tip) = 0;
};

// The backend this build of the driver runs on, installed with SetUiBackend; argc and argv are
// the program's (a GUI toolkit may want them).
std::unique_ptr<IDriverUi> CreateDriverUi(int& argc, char** argv);
