// The script interpreter of kestrum-driver: one user action per line, one output line per thing
// a user would see or that changes.
#pragma once

#include <cstdint>
#include <istream>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "app/ExtractRun.h"
#include "tools/driver/DriverUi.h"
#include "tools/driver/ScriptedPlatform.h"

class CDriver : public IUiEventSink, public IExtractObserver {
public:
    // Paths printed are relative to baseDir when they lie under it.
    CDriver(std::istream& script, std::ostream& out, IDriverUi& ui, CScriptedPlatform& platform,
            std::string baseDir);

    // Runs the whole script; returns the process exit code.
    int Run();
    // Prints the closing lines: the Explorer setting and "exit CODE".
    void PrintExit(int code);

    void OnUiEvent(const SUiEvent& event) override;
    // The progress dialog's reports: a "progress" line per copy begun; "cancel after" and
    // "pause after" act once their count of copies is reached.
    void OnCopyStarted(int nNumber, int nTotal, const WString& title) override;
    void OnCopied(int nCopied, int nTotal) override;

    // What a line did: done, something the user could not do, or not a line of its verb.
    enum class EOutcome { kDone, kNotPossible, kMalformed };

private:
    struct SArgs {
        std::string arg;   // the rest of the line, trimmed
        std::string rest;  // the rest of the line as written
    };
    // One verb of the script language (docs/driver.md).
    struct SVerb {
        const char* pszName;
        const char* pszAlias;  // another name for it, or ""
        const char* pszUsage;  // the error for a malformed line of it
        bool bUserAction;      // only while the program runs
        EOutcome (*pAction)(CDriver& driver, const SArgs& args);
    };
    enum class ERowClick { kTick, kUntick, kSelect };

    static const std::vector<SVerb>& Verbs();

    // One line (false: no such verb, or a user action while the program does not run).
    bool Execute(const std::string& line);
    // The backend's pump: the next line inside the dialog's modal loop.
    bool Pump();
    bool ReadLine(std::string& line);
    [[noreturn]] void Fail(const std::string& why);
    void Print(const std::string& line);

    EOutcome OnMap(const std::string& arg);
    EOutcome OnUnplug(const std::string& arg);
    EOutcome OnDisk(const std::string& arg);
    EOutcome OnExplorer(const std::string& arg);
    EOutcome OnWait(const std::string& arg);
    EOutcome OnAnswer(const std::string& arg);
    // "cancel after COUNT" and "pause after COUNT": the count goes to nAfter.
    EOutcome OnAfterCopies(const std::string& arg, long long& nAfter);
    EOutcome OnFolder(const std::string& arg);
    EOutcome OnRow(const std::string& arg, ERowClick click);
    EOutcome OnIcon(const std::string& arg);
    EOutcome OnMenu(const std::string& arg);

    void Show(bool bRows);
    // "enabled ID..." and, when some are disabled, "disabled ID...".
    void PrintEnabled(std::span<const int> controls);
    // "combo ID ENTRY..." with the current entry marked, when the dialog has that combo box.
    void PrintCombo(int nId);
    // The extract options' controls, for show; whether that dialog is on top.
    void ShowExtractOptions();
    bool OnOptions();
    void PrintExplorer();
    bool WriteFile(const std::string& arg);
    void ListFiles(const std::string& path);
    // Prints every line of a file as its bytes are, a CR and a byte order mark made visible.
    void PrintLines(const std::string& path);
    // path with the script's folder left out wherever it appears in it.
    std::string RelativeInText(const std::string& text) const;
    std::string Absolute(const std::string& path) const;
    std::string Relative(const std::string& path) const;

    std::istream& m_script;
    std::ostream& m_out;
    IDriverUi& m_ui;
    CScriptedPlatform& m_platform;
    std::string m_baseDir;
    int m_nLine = 0;
    bool m_bStarted = false;
    bool m_bRunning = false;
    // Copies after which the progress dialog's Cancel is pressed, or the run is held; 0: never.
    long long m_nCancelAfter = 0;
    long long m_nPauseAfter = 0;
};
