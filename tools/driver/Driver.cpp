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
#include <span>
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

// The word for a change of a dialog window's state.
std::string WindowChangeName(EUiEvent kind) {
    constexpr std::pair<EUiEvent, const char*> kNames[] = {
        {EUiEvent::kWindowShown, "shown"},
        {EUiEvent::kWindowHidden, "hidden"},
        {EUiEvent::kWindowMinimised, "minimised"},
        {EUiEvent::kWindowRestored, "restored"},
    };
    for (const auto& [nameKind, pszName] : kNames) {
        if (nameKind == kind) {
            return pszName;
        }
    }
    return {};
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
        case EUiEvent::kWindowHidden:
        case EUiEvent::kWindowMinimised:
        case EUiEvent::kWindowRestored:
            Print("window " + id + " " + WindowChangeName(event.kind));
            break;
        case EUiEvent::kMessageBox:
            Print("message " + Quote(event.caption) + " \"" +
                  RelativeInText(Utf8FromWide(event.text)) + "\"");
            break;
        case EUiEvent::kSaveDialog:
            Print("save dialog " + Quote(event.text) + " -> " +
                  (event.nResult == 0 ? std::string("cancelled")
                                      : "\"" + Relative(Utf8FromWide(event.detail)) + "\""));
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

// "FILE TEXT": FILE (and its folders) made anew, holding TEXT and a line feed.
bool CDriver::WriteFile(const std::string& arg) {
    const std::size_t space = arg.find(' ');
    if (space == std::string::npos || space == 0) {
        return false;
    }
    const fs::path path = fs::u8path(Absolute(arg.substr(0, space)));
    std::error_code error;
    fs::create_directories(path.parent_path(), error);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << arg.substr(space + 1) << '\n';
    return static_cast<bool>(file);
}

std::string CDriver::RelativeInText(const std::string& text) const {
    const std::string prefix = m_baseDir + "/";
    std::string result = text;
    for (std::size_t at = result.find(prefix); at != std::string::npos;
         at = result.find(prefix, at)) {
        result.erase(at, prefix.size());
    }
    return result;
}

void CDriver::PrintLines(const std::string& path) {
    std::ifstream file(fs::u8path(Absolute(path)), std::ios::binary);
    if (!file) {
        Print("no file " + path);
        return;
    }
    std::string line;
    while (std::getline(file, line)) {
        std::string shown;
        if (line.compare(0, 3, "\xEF\xBB\xBF") == 0) {
            shown = "<BOM>";
            line.erase(0, 3);
        }
        for (const char ch : line) {
            shown += ch == '\r' ? std::string("<CR>") : std::string(1, ch);
        }
        Print("line \"" + shown + "\"");
    }
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
        PrintEnabled(kMainControls);
        if (m_ui.Control(IDC_SEARCH, control)) {
            Print("button " + std::to_string(IDC_SEARCH) + " " + Quote(control.text));
        }
        if (m_ui.Control(IDC_SEARCHTEXT, control)) {
            Print("edit " + std::to_string(IDC_SEARCHTEXT) + " " + Quote(control.text));
        }
        PrintCombo(IDC_SEARCHFIELD);
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

void CDriver::PrintEnabled(std::span<const int> controls) {
    SDriverControl control;
    std::string enabled = "enabled";
    std::string disabled = "disabled";
    for (int nId : controls) {
        const bool bEnabled = m_ui.Control(nId, control) && control.bEnabled;
        (bEnabled ? enabled : disabled) += " " + std::to_string(nId);
    }
    Print(enabled);
    if (disabled != "disabled") {
        Print(disabled);
    }
}

void CDriver::PrintCombo(int nId) {
    SDriverControl control;
    if (!m_ui.Control(nId, control)) {
        return;
    }
    std::string line = "combo " + std::to_string(nId);
    for (std::size_t i = 0; i < control.items.size(); ++i) {
        line += " " + Quote(control.items[i]);
        if (static_cast<int>(i) == control.nCurSel) {
            line += "(selected)";
        }
    }
    Print(line);
}

bool CDriver::OnOptions() {
    SDriverDialog dialog;
    return m_ui.TopDialog(dialog) && dialog.nTemplateId == IDD_EXTRACTOPTIONS;
}

void CDriver::ShowExtractOptions() {
    PrintEnabled(kOptionsControls);
    PrintCombo(IDC_NAMEPRESET);
    SDriverControl control;
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

// ---- The script's verbs --------------------------------------------------------------------

namespace {

using EOutcome = CDriver::EOutcome;

EOutcome DoneIf(bool bDone) { return bDone ? EOutcome::kDone : EOutcome::kNotPossible; }

}  // namespace

// Lines that work at any time come first, then the user actions, which only work while the
// program runs. The usage is what a malformed line of the verb is answered with.
const std::vector<CDriver::SVerb>& CDriver::Verbs() {
    using E = EOutcome;
    static const std::vector<SVerb> verbs = {
        {"map", "plug", "map LETTER FOLDER", false,
         [](CDriver& d, const SArgs& a) { return d.OnMap(a.arg); }},
        {"unplug", "", "unplug LETTER", false,
         [](CDriver& d, const SArgs& a) { return d.OnUnplug(a.arg); }},
        {"disk", "", "disk LETTER FREE TOTAL | disk LETTER fail", false,
         [](CDriver& d, const SArgs& a) { return d.OnDisk(a.arg); }},
        {"explorer", "", "explorer [show|hide]", false,
         [](CDriver& d, const SArgs& a) { return d.OnExplorer(a.arg); }},
        {"mkdir", "", "", false,
         [](CDriver& d, const SArgs& a) {
             std::error_code error;
             fs::create_directories(fs::u8path(d.Absolute(a.arg)), error);
             return E::kDone;
         }},
        {"files", "", "", false,
         [](CDriver& d, const SArgs& a) {
             d.ListFiles(a.arg);
             return E::kDone;
         }},
        {"lines", "", "lines FILE", false,
         [](CDriver& d, const SArgs& a) {
             d.PrintLines(a.arg);
             return E::kDone;
         }},
        {"write", "", "write FILE TEXT", false,
         [](CDriver& d, const SArgs& a) { return DoneIf(d.WriteFile(a.arg)); }},
        {"truncate", "", "truncate FILE", false,
         [](CDriver& d, const SArgs& a) {
             std::error_code error;
             fs::resize_file(fs::u8path(d.Absolute(a.arg)), 0, error);
             return DoneIf(!error);
         }},
        {"wait", "", "wait MILLISECONDS", false,
         [](CDriver& d, const SArgs& a) { return d.OnWait(a.arg); }},
        {"answer", "", "answer ok|cancel|yes|no|NUMBER", false,
         [](CDriver& d, const SArgs& a) { return d.OnAnswer(a.arg); }},
        {"cancel", "", "cancel after COUNT", false,
         [](CDriver& d, const SArgs& a) { return d.OnAfterCopies(a.arg, d.m_nCancelAfter); }},
        {"pause", "", "pause after COUNT", false,
         [](CDriver& d, const SArgs& a) { return d.OnAfterCopies(a.arg, d.m_nPauseAfter); }},
        {"resume", "", "", false,
         [](CDriver& d, const SArgs&) {
             d.m_platform.ReleaseHeld();
             d.m_ui.AwaitIdle(d.m_platform);
             return E::kDone;
         }},
        {"folder", "", "folder PATH|cancel|nopath", false,
         [](CDriver& d, const SArgs& a) { return d.OnFolder(a.arg); }},
        {"save", "", "save PATH|cancel", false,
         [](CDriver& d, const SArgs& a) {
             if (a.arg.empty()) {
                 return E::kMalformed;
             }
             d.m_ui.QueueSaveFile(a.arg == "cancel"
                                      ? std::nullopt
                                      : std::optional<WString>(WideFromUtf8(d.Absolute(a.arg))));
             return E::kDone;
         }},

        {"show", "", "show [brief]", true,
         [](CDriver& d, const SArgs& a) {
             if (!a.arg.empty() && a.arg != "brief") {
                 return E::kMalformed;
             }
             d.Show(a.arg.empty());
             return E::kDone;
         }},
        {"click", "", "click ID", true,
         [](CDriver& d, const SArgs& a) {
             long long nId = 0;
             return ParseNumber(a.arg, nId) ? DoneIf(d.m_ui.Click(static_cast<int>(nId)))
                                            : E::kMalformed;
         }},
        {"type", "", "", true,
         [](CDriver& d, const SArgs& a) {
             // The rest of the line as it stands: spaces typed at either end count.
             return DoneIf(d.m_ui.Type(d.OnOptions() ? IDC_NAMETEMPLATE : IDC_SEARCHTEXT,
                                       WideFromUtf8(a.rest)));
         }},
        {"pick", "", "", true,
         [](CDriver& d, const SArgs& a) {
             return DoneIf(d.m_ui.Pick(d.OnOptions() ? IDC_NAMEPRESET : IDC_SEARCHFIELD,
                                       WideFromUtf8(a.arg)));
         }},
        {"tick", "", "tick ROW", true,
         [](CDriver& d, const SArgs& a) { return d.OnRow(a.arg, ERowClick::kTick); }},
        {"untick", "", "untick ROW", true,
         [](CDriver& d, const SArgs& a) { return d.OnRow(a.arg, ERowClick::kUntick); }},
        {"select", "", "select ROW", true,
         [](CDriver& d, const SArgs& a) { return d.OnRow(a.arg, ERowClick::kSelect); }},
        {"enter", "", "", true,
         [](CDriver& d, const SArgs&) { return DoneIf(d.m_ui.PressEnter()); }},
        {"escape", "", "", true,
         [](CDriver& d, const SArgs&) { return DoneIf(d.m_ui.PressEscape()); }},
        {"close", "closebox", "", true,
         [](CDriver& d, const SArgs&) { return DoneIf(d.m_ui.CloseBox()); }},
        {"minimise", "", "", true,
         [](CDriver& d, const SArgs&) { return DoneIf(d.m_ui.Minimise()); }},
        {"restore", "", "", true,
         [](CDriver& d, const SArgs&) { return DoneIf(d.m_ui.Restore()); }},
        {"about", "", "", true,
         [](CDriver& d, const SArgs&) { return DoneIf(d.m_ui.SysCommand(IDM_ABOUTBOX)); }},
        {"options", "", "", true,
         [](CDriver& d, const SArgs&) { return DoneIf(d.m_ui.SysCommand(IDM_EXTRACTOPTIONS)); }},
        {"lost", "", "", true,
         [](CDriver& d, const SArgs&) { return DoneIf(d.m_ui.SysCommand(IDM_FINDLOSTSONGS)); }},
        {"songlist", "", "", true,
         [](CDriver& d, const SArgs&) { return DoneIf(d.m_ui.SysCommand(IDM_SAVESONGLIST)); }},
        {"icon", "", "icon dblclick|rclick|click|move", true,
         [](CDriver& d, const SArgs& a) { return d.OnIcon(a.arg); }},
        {"menu", "", "menu ID|dismiss", true,
         [](CDriver& d, const SArgs& a) { return d.OnMenu(a.arg); }},
    };
    return verbs;
}

bool CDriver::Execute(const std::string& line) {
    const auto [verb, rest] = SplitVerb(line);
    const std::vector<SVerb>& verbs = Verbs();
    const auto it = std::find_if(verbs.begin(), verbs.end(), [&verb = verb](const SVerb& entry) {
        return verb == entry.pszName || (*entry.pszAlias != 0 && verb == entry.pszAlias);
    });
    if (it == verbs.end() || (it->bUserAction && !m_bRunning)) {
        return false;
    }
    switch (it->pAction(*this, SArgs{Trim(rest), rest})) {
        case EOutcome::kDone:
            break;
        case EOutcome::kNotPossible:
            Print("not possible: " + line);
            break;
        case EOutcome::kMalformed:
            Fail(it->pszUsage);
    }
    return true;
}

CDriver::EOutcome CDriver::OnMap(const std::string& arg) {
    const auto [drive, folder] = SplitVerb(arg);
    WChar letter = 0;
    if (!ParseLetter(drive, letter) || Trim(folder).empty()) {
        return EOutcome::kMalformed;
    }
    platform::Platform().MapDrive(letter, WideFromUtf8(Absolute(Trim(folder))));
    return EOutcome::kDone;
}

CDriver::EOutcome CDriver::OnUnplug(const std::string& arg) {
    WChar letter = 0;
    if (!ParseLetter(arg, letter)) {
        return EOutcome::kMalformed;
    }
    // A folder that does not exist: the drive's files can no longer be opened.
    platform::Platform().MapDrive(letter, WideFromUtf8(Absolute(".unplugged/" + arg)));
    return EOutcome::kDone;
}

CDriver::EOutcome CDriver::OnDisk(const std::string& arg) {
    std::istringstream words(arg);
    std::string drive, freeText, totalText;
    words >> drive >> freeText >> totalText;
    // A drive letter, or a folder (the disk of a destination, say).
    WChar letter = 0;
    if (!ParseLetter(drive, letter) && drive.size() < 2) {
        return EOutcome::kMalformed;
    }
    const WString key = letter != 0 ? WString(1, letter) : WideFromUtf8(Absolute(drive));
    long long freeBytes = 0;
    long long totalBytes = 0;
    if (freeText == "fail") {
        m_platform.SetDiskSpaceFails(key);
    } else if (ParseNumber(freeText, freeBytes) && ParseNumber(totalText, totalBytes) &&
               freeBytes >= 0 && totalBytes >= 0) {
        m_platform.SetDiskSpace(key, static_cast<std::uint64_t>(freeBytes),
                                static_cast<std::uint64_t>(totalBytes));
    } else {
        return EOutcome::kMalformed;
    }
    return EOutcome::kDone;
}

CDriver::EOutcome CDriver::OnExplorer(const std::string& arg) {
    if (arg.empty()) {
        PrintExplorer();
        return EOutcome::kDone;
    }
    if (arg != "show" && arg != "hide") {
        return EOutcome::kMalformed;
    }
    platform::IPlatform& os = platform::Platform();
    platform::ExplorerKey key = os.OpenExplorerKey();
    if (key != nullptr) {
        os.SetHidden(key, arg == "show" ? 1 : 2, 4);
        os.CloseExplorerKey(key);
    }
    return EOutcome::kDone;
}

CDriver::EOutcome CDriver::OnWait(const std::string& arg) {
    long long nMilliseconds = 0;
    if (!ParseNumber(arg, nMilliseconds) || nMilliseconds < 0) {
        return EOutcome::kMalformed;
    }
    m_platform.MoveClock(static_cast<std::uint64_t>(nMilliseconds));
    m_ui.AwaitIdle(m_platform);
    return EOutcome::kDone;
}

CDriver::EOutcome CDriver::OnAnswer(const std::string& arg) {
    long long nAnswer = 0;
    if (arg == "ok") {
        nAnswer = IDOK;
    } else if (arg == "cancel") {
        nAnswer = IDCANCEL;
    } else if (arg == "yes") {
        nAnswer = IDYES;
    } else if (arg == "no") {
        nAnswer = IDNO;
    } else if (!ParseNumber(arg, nAnswer)) {
        return EOutcome::kMalformed;
    }
    m_ui.QueueMessageBoxAnswer(static_cast<int>(nAnswer));
    return EOutcome::kDone;
}

CDriver::EOutcome CDriver::OnAfterCopies(const std::string& arg, long long& nAfter) {
    const auto [after, count] = SplitVerb(arg);
    long long nCount = 0;
    if (after != "after" || !ParseNumber(Trim(count), nCount) || nCount < 1) {
        return EOutcome::kMalformed;
    }
    nAfter = nCount;
    return EOutcome::kDone;
}

CDriver::EOutcome CDriver::OnFolder(const std::string& arg) {
    if (arg == "cancel") {
        m_ui.QueueFolderChoice(EFolderChoice::kCancelled, {});
    } else if (arg == "nopath") {
        m_ui.QueueFolderChoice(EFolderChoice::kNoPath, {});
    } else if (!arg.empty()) {
        m_ui.QueueFolderChoice(EFolderChoice::kChosen, WideFromUtf8(Absolute(arg)));
    } else {
        return EOutcome::kMalformed;
    }
    return EOutcome::kDone;
}

CDriver::EOutcome CDriver::OnRow(const std::string& arg, ERowClick click) {
    long long nRow = 0;
    if (!ParseNumber(arg, nRow)) {
        return EOutcome::kMalformed;
    }
    const int nListRow = static_cast<int>(nRow);
    if (click == ERowClick::kSelect) {
        return DoneIf(m_ui.SelectRow(IDC_SONGLIST, nListRow));
    }
    return DoneIf(m_ui.TickRow(IDC_SONGLIST, nListRow, click == ERowClick::kTick));
}

CDriver::EOutcome CDriver::OnIcon(const std::string& arg) {
    bool (IDriverUi::*pAction)() = nullptr;
    if (arg == "dblclick") {
        pAction = &IDriverUi::TrayDoubleClick;
    } else if (arg == "rclick") {
        pAction = &IDriverUi::TrayRightClick;
    } else if (arg == "click") {
        pAction = &IDriverUi::TrayClick;
    } else if (arg == "move") {
        pAction = &IDriverUi::TrayMove;
    } else {
        return EOutcome::kMalformed;
    }
    // The icon may go away during the action itself (a double click restores the window before
    // the last button-up), so whether it was there decides.
    WString tip;
    const bool bIconThere = m_ui.TrayTip(tip);
    (m_ui.*pAction)();
    return DoneIf(bIconThere);
}

CDriver::EOutcome CDriver::OnMenu(const std::string& arg) {
    long long nId = 0;
    if (arg == "dismiss") {
        m_ui.DismissPopup();
        return EOutcome::kDone;
    }
    if (!ParseNumber(arg, nId)) {
        return EOutcome::kMalformed;
    }
    return DoneIf(m_ui.ChooseMenuCommand(static_cast<UINT>(nId)));
}
