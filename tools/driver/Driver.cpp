// The script interpreter of kestrum-driver. Lines before "start" prepare drives and folders;
// "start" runs the application, and every later line runs inside the dialog's modal loop as
// one user action. Every thread the program starts is asleep again before the next line runs.
#include "tools/driver/Driver.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <utility>
#include <vector>

#include "platform/Platform.h"
#include "platform/Text.h"
#include "res/resource.h"

namespace {

namespace fs = std::filesystem;

// The main dialog's controls in the order "show" reports them.
constexpr int kMainControls[] = {IDOK,           IDC_SONGLIST,    IDC_SEARCH,
                                 IDC_SEARCHTEXT, IDC_SEARCHFIELD, IDC_CHECKALL};

// The extract options' controls in the order "show" reports them.
constexpr int kOptionsControls[] = {IDOK, IDC_NAMEPRESET, IDC_NAMETEMPLATE, IDC_SAFENAMES};

std::mutex g_printMutex;

std::string Quote(const WString& text) { return "\"" + Utf8FromWide(text) + "\""; }

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// Splits "verb rest of line" at the first space.
std::pair<std::string, std::string> SplitVerb(const std::string& line) {
    const auto space = line.find(' ');
    if (space == std::string::npos) {
        return {line, {}};
    }
    return {line.substr(0, space), line.substr(space + 1)};
}

bool ParseNumber(const std::string& text, long long& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    value = std::strtoll(text.c_str(), &end, 0);
    return end != nullptr && *end == 0;
}

bool ParseLetter(const std::string& text, WChar& letter) {
    if (text.size() != 1 || !std::isalpha(static_cast<unsigned char>(text[0]))) {
        return false;
    }
    letter = static_cast<WChar>(std::toupper(static_cast<unsigned char>(text[0])));
    return true;
}

const char* ChoiceName(INT_PTR choice) {
    switch (static_cast<EFolderChoice>(choice)) {
        case EFolderChoice::kCancelled:
            return "cancelled";
        case EFolderChoice::kNoPath:
            return "no path";
        case EFolderChoice::kChosen:
            break;
    }
    return nullptr;
}

}  // namespace

CDriver::CDriver(std::istream& script, std::ostream& out, IDriverUi& ui,
                 CScriptedPlatform& platform, std::string baseDir)
    : m_script(script), m_out(out), m_ui(ui), m_platform(platform), m_baseDir(std::move(baseDir)) {
    SetExtractObserver(this);
}

void CDriver::OnCopyStarted(int nNumber, int nTotal, const WString& title) {
    Print("progress " + std::to_string(nNumber) + " of " + std::to_string(nTotal) + " " +
          Quote(title));
}

void CDriver::OnCopied(int nCopied, int /*nTotal*/) {
    // Called before the worker may go on, so the run stops or holds right after this copy.
    if (m_nCancelAfter > 0 && nCopied == m_nCancelAfter) {
        m_nCancelAfter = 0;
        if (!m_ui.Click(IDCANCEL)) {
            Print("not possible: cancel");
        }
    }
    if (m_nPauseAfter > 0 && nCopied == m_nPauseAfter) {
        m_nPauseAfter = 0;
        m_platform.HoldNextRaise();
    }
}

void CDriver::Print(const std::string& line) {
    const std::lock_guard lock(g_printMutex);
    m_out << line << '\n';
    m_out.flush();
}

void CDriver::Fail(const std::string& why) {
    Print("error: line " + std::to_string(m_nLine) + ": " + why);
    std::fflush(nullptr);
    std::_Exit(2);
}

bool CDriver::ReadLine(std::string& line) {
    std::string raw;
    while (std::getline(m_script, raw)) {
        ++m_nLine;
        line = Trim(raw);
        if (line.empty() || line[0] == '#') {
            continue;
        }
        Print("> " + line);
        return true;
    }
    return false;
}

int CDriver::Run() {
    int nExitCode = 0;
    std::string line;
    while (ReadLine(line)) {
        if (line == "start") {
            if (m_bStarted) {
                Fail("the program runs once");
            }
            m_bStarted = true;
            m_bRunning = true;
            nExitCode = m_ui.Run([this] { return Pump(); });
            m_bRunning = false;
            m_ui.AwaitIdle(m_platform);
            continue;
        }
        if (!Execute(line)) {
            Fail("not understood before start or after the end: " + line);
        }
    }
    return nExitCode;
}

bool CDriver::Pump() {
    m_ui.AwaitIdle(m_platform);
    // What the program's threads posted is taken before the next line, as a user would see it
    // before acting.
    if (m_ui.HasPendingWork()) {
        return true;
    }
    std::string line;
    if (!ReadLine(line)) {
        return false;
    }
    if (line == "start") {
        Fail("the program is already running");
    }
    if (!Execute(line)) {
        Fail("not understood: " + line);
    }
    m_ui.AwaitIdle(m_platform);
    return true;
}

void CDriver::PrintExit(int code) {
    PrintExplorer();
    Print("exit " + std::to_string(code));
}

void CDriver::OnUiEvent(const SUiEvent& event) {
    const std::string id = std::to_string(event.nId);
    switch (event.kind) {
        case EUiEvent::kDialogOpened:
            Print("dialog " + id + " opened " + Quote(event.text));
            break;
        case EUiEvent::kDialogClosed:
            Print("dialog " + id + " closed " + std::to_string(event.nResult));
            break;
        case EUiEvent::kWindowShown:
            Print("window " + id + " shown");
            break;
        case EUiEvent::kWindowHidden:
            Print("window " + id + " hidden");
            break;
        case EUiEvent::kWindowMinimised:
            Print("window " + id + " minimised");
            break;
        case EUiEvent::kWindowRestored:
            Print("window " + id + " restored");
            break;
        case EUiEvent::kMessageBox:
            Print("message " + Quote(event.caption) + " " + Quote(event.text));
            break;
        case EUiEvent::kFolderChooser: {
            const char* pszName = ChoiceName(event.nResult);
            Print("folder chooser " + Quote(event.text) + " -> " +
                  (pszName != nullptr ? std::string(pszName)
                                      : "\"" + Relative(Utf8FromWide(event.detail)) + "\""));
            break;
        }
        case EUiEvent::kPopupMenu: {
            std::string line = "popup menu";
            for (const SUiMenuLine& item : event.items) {
                line += item.text.empty() ? std::string(" -")
                                          : " " + Quote(item.text) + "=" + std::to_string(item.nId);
                if (item.bDefault) {
                    line += "(default)";
                }
            }
            Print(line);
            break;
        }
        case EUiEvent::kTrayIconAdded:
            Print("icon added " + Quote(event.text));
            break;
        case EUiEvent::kTrayIconChanged:
            Print("icon changed " + Quote(event.text));
            break;
        case EUiEvent::kTrayIconDeleted:
            Print("icon deleted");
            break;
        case EUiEvent::kShellExecute:
            Print("shell " + Quote(event.detail) + " " + Quote(event.text) + " show " +
                  std::to_string(event.nResult));
            break;
    }
}

std::string CDriver::Absolute(const std::string& path) const {
    if (!path.empty() && path[0] == '/') {
        return path;
    }
    return m_baseDir + "/" + path;
}

std::string CDriver::Relative(const std::string& path) const {
    const std::string prefix = m_baseDir + "/";
    std::string result =
        path.compare(0, prefix.size(), prefix) == 0 ? path.substr(prefix.size()) : path;
    return result;
}

void CDriver::PrintExplorer() {
    platform::IPlatform& os = platform::Platform();
    platform::ExplorerKey key = os.OpenExplorerKey();
    if (key == nullptr) {
        Print("explorer show-hidden=unavailable");
        return;
    }
    std::uint32_t value = 0;
    std::uint32_t size = 4;
    const bool bRead = os.QueryHidden(key, value, size);
    os.CloseExplorerKey(key);
    if (!bRead) {
        Print("explorer show-hidden=unavailable");
        return;
    }
    Print(std::string("explorer show-hidden=") + (value == 1 ? "true" : "false"));
}

void CDriver::ListFiles(const std::string& path) {
    std::error_code error;
    const fs::path folder = fs::u8path(Absolute(path));
    if (!fs::is_directory(folder, error)) {
        Print("no folder " + path);
        return;
    }
    // Files in subfolders too, by their path below the folder.
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder, error)) {
        if (entry.is_directory(error)) {
            continue;
        }
        const std::u8string name = entry.path().lexically_relative(folder).generic_u8string();
        names.emplace_back(name.begin(), name.end());
    }
    std::sort(names.begin(), names.end());
    if (names.empty()) {
        Print("no files in " + path);
    }
    for (const std::string& name : names) {
        std::ifstream file(folder / fs::u8path(name));
        std::string firstLine;
        std::getline(file, firstLine);
        Print("file \"" + name + "\" \"" + firstLine + "\"");
    }
}

void CDriver::Show(bool bRows) {
    SDriverDialog dialog;
    if (!m_ui.TopDialog(dialog)) {
        Print("no dialog");
        return;
    }
    std::string state = dialog.bMinimised ? "minimised" : dialog.bVisible ? "shown" : "hidden";
    Print("dialog " + std::to_string(dialog.nTemplateId) + " " + Quote(dialog.caption) + " " +
          state);
    if (dialog.nTemplateId == IDD_KESTRUM_DIALOG) {
        SDriverControl control;
        std::string summary = "summary";
        for (int nId : {IDC_DRIVE, IDC_DISKSIZE, IDC_DISKFREE, IDC_SONGCOUNT}) {
            const bool bFound = m_ui.Control(nId, control);
            summary += " " + std::to_string(nId) + "=" + Quote(bFound ? control.text : u"");
        }
        Print(summary);
        std::string enabled = "enabled";
        std::string disabled = "disabled";
        for (int nId : kMainControls) {
            const bool bEnabled = m_ui.Control(nId, control) && control.bEnabled;
            (bEnabled ? enabled : disabled) += " " + std::to_string(nId);
        }
        Print(enabled);
        if (disabled != "disabled") {
            Print(disabled);
        }
        if (m_ui.Control(IDC_SEARCH, control)) {
            Print("button " + std::to_string(IDC_SEARCH) + " " + Quote(control.text));
        }
        if (m_ui.Control(IDC_SEARCHTEXT, control)) {
            Print("edit " + std::to_string(IDC_SEARCHTEXT) + " " + Quote(control.text));
        }
        if (m_ui.Control(IDC_SEARCHFIELD, control)) {
            std::string line = "combo " + std::to_string(IDC_SEARCHFIELD);
            for (std::size_t i = 0; i < control.items.size(); ++i) {
                line += " " + Quote(control.items[i]);
                if (static_cast<int>(i) == control.nCurSel) {
                    line += "(selected)";
                }
            }
            Print(line);
        }
        if (m_ui.Control(IDC_CHECKALL, control)) {
            Print("check " + std::to_string(IDC_CHECKALL) + (control.bChecked ? " on" : " off"));
        }
        if (m_ui.Control(IDC_SONGLIST, control)) {
            std::string selected;
            int nTicked = 0;
            for (std::size_t i = 0; i < control.rows.size(); ++i) {
                const SDriverRow& row = control.rows[i];
                nTicked += row.bChecked ? 1 : 0;
                if (row.bSelected) {
                    selected += " " + std::to_string(i);
                }
                if (!bRows) {
                    continue;
                }
                std::string line = "row " + std::to_string(i) + (row.bChecked ? " [x]" : " [ ]");
                for (const WString& cell : row.cells) {
                    line += " " + Quote(cell);
                }
                Print(line);
            }
            Print("rows " + std::to_string(control.rows.size()) + " ticked " +
                  std::to_string(nTicked) + " top " + std::to_string(control.nTopIndex) +
                  " selected" + (selected.empty() ? std::string(" none") : selected));
        }
    }
    if (dialog.nTemplateId == IDD_EXTRACTOPTIONS) {
        ShowExtractOptions();
    }
    Print("focus " + m_ui.Focus());
    WString tip;
    Print(m_ui.TrayTip(tip) ? "icon shown " + Quote(tip) : std::string("icon none"));
}

bool CDriver::OnOptions() {
    SDriverDialog dialog;
    return m_ui.TopDialog(dialog) && dialog.nTemplateId == IDD_EXTRACTOPTIONS;
}

void CDriver::ShowExtractOptions() {
    SDriverControl control;
    std::string enabled = "enabled";
    std::string disabled = "disabled";
    for (int nId : kOptionsControls) {
        const bool bEnabled = m_ui.Control(nId, control) && control.bEnabled;
        (bEnabled ? enabled : disabled) += " " + std::to_string(nId);
    }
    Print(enabled);
    if (disabled != "disabled") {
        Print(disabled);
    }
    if (m_ui.Control(IDC_NAMEPRESET, control)) {
        std::string line = "combo " + std::to_string(IDC_NAMEPRESET);
        for (std::size_t i = 0; i < control.items.size(); ++i) {
            line += " " + Quote(control.items[i]) +
                    (static_cast<int>(i) == control.nCurSel ? "(selected)" : "");
        }
        Print(line);
    }
    if (m_ui.Control(IDC_NAMETEMPLATE, control)) {
        Print("edit " + std::to_string(IDC_NAMETEMPLATE) + " " + Quote(control.text));
    }
    if (m_ui.Control(IDC_SAFENAMES, control)) {
        Print("check " + std::to_string(IDC_SAFENAMES) + (control.bChecked ? " on" : " off"));
    }
    if (m_ui.Control(IDC_NAMEPREVIEW, control)) {
        Print("preview " + std::to_string(IDC_NAMEPREVIEW) + " " + Quote(control.text));
    }
}

bool CDriver::Execute(const std::string& line) {
    const auto [verb, rest] = SplitVerb(line);
    const std::string arg = Trim(rest);
    long long number = 0;
    WChar letter = 0;

    // Lines that work at any time.
    if (verb == "map" || verb == "plug") {
        const auto [drive, folder] = SplitVerb(arg);
        if (!ParseLetter(drive, letter) || Trim(folder).empty()) {
            Fail("map LETTER FOLDER");
        }
        platform::Platform().MapDrive(letter, WideFromUtf8(Absolute(Trim(folder))));
        return true;
    }
    if (verb == "unplug") {
        if (!ParseLetter(arg, letter)) {
            Fail("unplug LETTER");
        }
        // A folder that does not exist: the drive's files can no longer be opened.
        platform::Platform().MapDrive(letter, WideFromUtf8(Absolute(".unplugged/" + arg)));
        return true;
    }
    if (verb == "disk") {
        std::istringstream words(arg);
        std::string drive, freeText, totalText;
        words >> drive >> freeText >> totalText;
        long long freeBytes = 0;
        long long totalBytes = 0;
        if (!ParseLetter(drive, letter)) {
            Fail("disk LETTER FREE TOTAL | disk LETTER fail");
        }
        if (freeText == "fail") {
            m_platform.SetDiskSpaceFails(letter);
        } else if (ParseNumber(freeText, freeBytes) && ParseNumber(totalText, totalBytes) &&
                   freeBytes >= 0 && totalBytes >= 0) {
            m_platform.SetDiskSpace(letter, static_cast<std::uint64_t>(freeBytes),
                                    static_cast<std::uint64_t>(totalBytes));
        } else {
            Fail("disk LETTER FREE TOTAL | disk LETTER fail");
        }
        return true;
    }
    if (verb == "explorer") {
        if (arg.empty()) {
            PrintExplorer();
            return true;
        }
        if (arg != "show" && arg != "hide") {
            Fail("explorer [show|hide]");
        }
        platform::IPlatform& os = platform::Platform();
        platform::ExplorerKey key = os.OpenExplorerKey();
        if (key != nullptr) {
            os.SetHidden(key, arg == "show" ? 1 : 2, 4);
            os.CloseExplorerKey(key);
        }
        return true;
    }
    if (verb == "mkdir") {
        std::error_code error;
        fs::create_directories(fs::u8path(Absolute(arg)), error);
        return true;
    }
    if (verb == "files") {
        ListFiles(arg);
        return true;
    }
    if (verb == "wait") {
        if (!ParseNumber(arg, number) || number < 0) {
            Fail("wait MILLISECONDS");
        }
        m_platform.MoveClock(static_cast<std::uint64_t>(number));
        m_ui.AwaitIdle(m_platform);
        return true;
    }
    if (verb == "answer") {
        int nAnswer = IDOK;
        if (arg == "ok") {
            nAnswer = IDOK;
        } else if (arg == "cancel") {
            nAnswer = IDCANCEL;
        } else if (ParseNumber(arg, number)) {
            nAnswer = static_cast<int>(number);
        } else {
            Fail("answer ok|cancel|NUMBER");
        }
        m_ui.QueueMessageBoxAnswer(nAnswer);
        return true;
    }
    if (verb == "cancel" || verb == "pause") {
        const auto [after, count] = SplitVerb(arg);
        if (after != "after" || !ParseNumber(Trim(count), number) || number < 1) {
            Fail(verb + " after COUNT");
        }
        (verb == "cancel" ? m_nCancelAfter : m_nPauseAfter) = number;
        return true;
    }
    if (verb == "resume") {
        m_platform.ReleaseHeld();
        m_ui.AwaitIdle(m_platform);
        return true;
    }
    if (verb == "folder") {
        if (arg == "cancel") {
            m_ui.QueueFolderChoice(EFolderChoice::kCancelled, {});
        } else if (arg == "nopath") {
            m_ui.QueueFolderChoice(EFolderChoice::kNoPath, {});
        } else if (!arg.empty()) {
            m_ui.QueueFolderChoice(EFolderChoice::kChosen, WideFromUtf8(Absolute(arg)));
        } else {
            Fail("folder PATH|cancel|nopath");
        }
        return true;
    }

    // User actions: only while the program runs.
    if (!m_bRunning) {
        return false;
    }
    bool bDone = true;
    if (verb == "show") {
        if (!arg.empty() && arg != "brief") {
            Fail("show [brief]");
        }
        Show(arg.empty());
    } else if (verb == "click") {
        if (!ParseNumber(arg, number)) {
            Fail("click ID");
        }
        bDone = m_ui.Click(static_cast<int>(number));
    } else if (verb == "type") {
        bDone = m_ui.Type(OnOptions() ? IDC_NAMETEMPLATE : IDC_SEARCHTEXT, WideFromUtf8(rest));
    } else if (verb == "pick") {
        bDone = m_ui.Pick(OnOptions() ? IDC_NAMEPRESET : IDC_SEARCHFIELD, WideFromUtf8(arg));
    } else if (verb == "tick" || verb == "untick" || verb == "select") {
        if (!ParseNumber(arg, number)) {
            Fail(verb + " ROW");
        }
        const int nRow = static_cast<int>(number);
        bDone = verb == "select" ? m_ui.SelectRow(IDC_SONGLIST, nRow)
                                 : m_ui.TickRow(IDC_SONGLIST, nRow, verb == "tick");
    } else if (verb == "enter") {
        bDone = m_ui.PressEnter();
    } else if (verb == "escape") {
        bDone = m_ui.PressEscape();
    } else if (verb == "close" || verb == "closebox") {
        bDone = m_ui.CloseBox();
    } else if (verb == "minimise") {
        bDone = m_ui.Minimise();
    } else if (verb == "restore") {
        bDone = m_ui.Restore();
    } else if (verb == "about") {
        bDone = m_ui.SysCommand(IDM_ABOUTBOX);
    } else if (verb == "options") {
        bDone = m_ui.SysCommand(IDM_EXTRACTOPTIONS);
    } else if (verb == "icon") {
        // The icon may go away during the action itself (a double click restores the window
        // before the last button-up), so whether it was there decides.
        WString tip;
        const bool bIconThere = m_ui.TrayTip(tip);
        if (arg == "dblclick") {
            m_ui.TrayDoubleClick();
        } else if (arg == "rclick") {
            m_ui.TrayRightClick();
        } else if (arg == "click") {
            m_ui.TrayClick();
        } else if (arg == "move") {
            m_ui.TrayMove();
        } else {
            Fail("icon dblclick|rclick|click|move");
        }
        bDone = bIconThere;
    } else if (verb == "menu") {
        if (arg == "dismiss") {
            m_ui.DismissPopup();
        } else if (ParseNumber(arg, number)) {
            bDone = m_ui.ChooseMenuCommand(static_cast<UINT>(number));
        } else {
            Fail("menu ID|dismiss");
        }
    } else {
        return false;
    }
    if (!bDone) {
        Print("not possible: " + line);
    }
    return true;
}
