// The one-line description of an event that tests log and compare.
#include "ui/UiEvents.h"

#include "ui/Backend.h"

namespace {

constexpr UINT kMessageBoxIconMask = 0x00F0;

std::string Quoted(const WString& text) { return "\"" + Utf8FromWide(text) + "\""; }

std::string ResultName(INT_PTR nResult) {
    switch (nResult) {
        case IDOK:
            return "OK";
        case IDCANCEL:
            return "Cancel";
        case IDABORT:
            return "Abort";
        case IDRETRY:
            return "Retry";
        case IDYES:
            return "Yes";
        case IDNO:
            return "No";
        default:
            return std::to_string(nResult);
    }
}

std::string IconName(UINT nType) {
    switch (nType & kMessageBoxIconMask) {
        case MB_ICONERROR:
            return " (error)";
        case MB_ICONQUESTION:
            return " (question)";
        case MB_ICONEXCLAMATION:
            return " (exclamation)";
        case MB_ICONINFORMATION:
            return " (information)";
        default:
            return "";
    }
}

}  // namespace

std::string DescribeUiEvent(const SUiEvent& event) {
    switch (event.kind) {
        case EUiEvent::kDialogOpened:
            return "dialog opened: " + Quoted(event.text);
        case EUiEvent::kDialogClosed:
            return "dialog closed: " + Quoted(event.text) + " -> " + ResultName(event.nResult);
        case EUiEvent::kWindowShown:
            return "window shown: " + Quoted(event.text);
        case EUiEvent::kWindowHidden:
            return "window hidden: " + Quoted(event.text);
        case EUiEvent::kWindowMinimised:
            return "window minimised: " + Quoted(event.text);
        case EUiEvent::kWindowRestored:
            return "window restored: " + Quoted(event.text);
        case EUiEvent::kMessageBox:
            return "message box: " + Quoted(event.text) + " [" + Utf8FromWide(event.caption) + "]" +
                   IconName(event.nType) + " -> " + ResultName(event.nResult);
        case EUiEvent::kFolderChooser: {
            std::string line = "folder chooser: " + Quoted(event.text) + " -> ";
            switch (static_cast<EFolderChoice>(event.nResult)) {
                case EFolderChoice::kCancelled:
                    return line + "cancelled";
                case EFolderChoice::kNoPath:
                    return line + "no file-system path";
                case EFolderChoice::kChosen:
                    return line + Quoted(event.detail);
            }
            return line;
        }
        case EUiEvent::kPopupMenu: {
            std::string line = "popup menu:";
            for (const SUiMenuLine& item : event.items) {
                if (item.text.empty() && !item.bPopup) {
                    line += " ---";
                    continue;
                }
                line += " " + Quoted(item.text);
                if (item.bPopup) {
                    line += " (submenu)";
                } else {
                    line += " (" + std::to_string(item.nId) + (item.bDefault ? ", default)" : ")");
                }
            }
            return line;
        }
        case EUiEvent::kTrayIconAdded:
            return "tray icon added: " + Quoted(event.text);
        case EUiEvent::kTrayIconChanged:
            return "tray icon changed: " + Quoted(event.text);
        case EUiEvent::kTrayIconDeleted:
            return "tray icon deleted";
        case EUiEvent::kShellExecute: {
            const std::string file = Utf8FromWide(event.text);
            const bool bWeb = file.rfind("http://", 0) == 0 || file.rfind("https://", 0) == 0;
            std::string line =
                bWeb ? "web page opened: " + Quoted(event.text)
                     : "shell " + Utf8FromWide(event.detail) + ": " + Quoted(event.text);
            if (event.nResult == SW_SHOWMAXIMIZED) {
                line += " (maximised)";
            }
            return line;
        }
    }
    return "?";
}
