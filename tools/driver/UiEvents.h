// What a user would notice of a running program, as one event per thing seen: the driver's
// front ends make them from the backends' test hooks, and the script interpreter prints them.
#pragma once

#include <vector>

#include "platform/Text.h"
#include "ui/WinDefs.h"

// Things a user would see, or that change what they see.
enum class EUiEvent {
    kDialogOpened,     // text: caption; nId: template
    kDialogClosed,     // nId: template; nResult: EndDialog result
    kWindowShown,      // nId: template
    kWindowHidden,     // nId: template
    kWindowMinimised,  // nId: template
    kWindowRestored,   // nId: template
    kMessageBox,       // text, caption, nType; nResult: the answer; nId: owner's template or 0
    kFolderChooser,    // text: title; nResult: EFolderChoice; detail: chosen path
    kSaveDialog,       // text: the file name proposed; nResult: 1 chosen, 0 cancelled; detail: path
    kPopupMenu,        // items; nId: owner's template
    kTrayIconAdded,    // text: tooltip
    kTrayIconChanged,  // text: tooltip
    kTrayIconDeleted,  //
    kShellExecute,     // text: file; detail: verb; nResult: show command
};

struct SUiMenuLine {
    WString text;  // empty for a separator
    UINT nId = 0;
    bool bDefault = false;
    bool bPopup = false;
};

struct SUiEvent {
    EUiEvent kind = EUiEvent::kDialogOpened;
    int nId = 0;
    WString text;
    WString caption;
    WString detail;
    UINT nType = 0;
    INT_PTR nResult = 0;
    std::vector<SUiMenuLine> items;
};

class IUiEventSink {
public:
    virtual ~IUiEventSink() = default;
    // Called on the thread that caused the event, never while another call is in progress.
    virtual void OnUiEvent(const SUiEvent& event) = 0;
};
