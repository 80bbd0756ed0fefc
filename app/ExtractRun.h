// CExtractRun: one extraction of ticked songs, copied in row order by a worker thread that tells
// a window how it goes through posted messages and never touches a window itself.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "app/WorkerThread.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "songdb/SongDatabase.h"
#include "ui/WinDefs.h"

// What the worker posts; wParam is the item's index in the run.
inline constexpr UINT WM_EXTRACT_STARTED = WM_APP + 1;  // the copy of an item begins
inline constexpr UINT WM_EXTRACT_BYTES = WM_APP + 2;    // lParam: its bytes copied, per mille
inline constexpr UINT WM_EXTRACT_ENDED = WM_APP + 3;    // lParam: an EItemOutcome
inline constexpr UINT WM_EXTRACT_DONE = WM_APP + 4;     // the worker has stopped
// How the copy of an item ended.
enum EItemOutcome : LPARAM {
    kItemFailed = 0,
    kItemCopied = 1,
    kItemAlreadyThere = 2,  // the folder held the song already; nothing was copied
};
// Per-mille steps of one item; the progress bar runs over items * kItemSteps.
inline constexpr int kItemSteps = 1000;

struct SExtractItem {
    int nRow = 0;
    WString strTitle;  // as the song table shows it, for the progress text
};

// Told, on the dialog's thread, what the progress dialog shows (the scenario driver prints it).
class IExtractObserver {
public:
    virtual ~IExtractObserver() = default;
    virtual void OnCopyStarted(int nNumber, int nTotal, const WString& title) = 0;
    // After a successful copy's row has been unticked; nCopied counts the run's copies so far.
    virtual void OnCopied(int nCopied, int nTotal) = 0;
};
void SetExtractObserver(IExtractObserver* pObserver);
IExtractObserver* ExtractObserver();

class CExtractRun {
public:
    // The database, folder (ending with a separator) and items must outlive the run.
    CExtractRun(CSongDatabase& database, WString folder, std::vector<SExtractItem> items);
    // Stops the worker and waits for it: no thread is left touching the run.
    ~CExtractRun();
    CExtractRun(const CExtractRun&) = delete;
    CExtractRun& operator=(const CExtractRun&) = delete;

    // Starts the worker, which reports to hWnd. False when no thread could be started.
    bool Start(HWND hWnd);
    // The dialog thread has taken WM_EXTRACT_ENDED: the worker may go on.
    void Acknowledge();
    // Asks the worker to stop: the copy under way is abandoned, no further one begins.
    void Cancel();
    // Cancels and returns once the worker has ended (at once when it never started).
    void Stop();

    bool IsCancelled() const { return m_bCancel.load(); }
    const std::vector<SExtractItem>& Items() const { return m_items; }

    // The run that is going on, if any, for the removal watcher's last act.
    static void StopActive();

private:
    void Work();
    bool CopyItem(std::size_t index);
    void Post(UINT nMsg, std::size_t index, LPARAM lParam);

    CSongDatabase& m_database;
    WString m_strFolder;
    std::vector<SExtractItem> m_items;
    HWND m_hWnd = nullptr;
    std::atomic<bool> m_bCancel{false};
    platform::SignalHandle m_hAcknowledged = nullptr;
    // Stop waits for it before anything of the run goes.
    CWorkerThread m_worker;
};
