// CSongFilesRead: reads the tags of a player's song files on a worker thread, for a player whose
// catalogue is gone (every file) or has forgotten some (the files it does not name). It tells a
// window how it goes through posted messages and never touches a window or the song list.
#pragma once

#include <atomic>
#include <cstddef>
#include <optional>
#include <vector>

#include "app/WorkerThread.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "songdb/SongDatabase.h"
#include "ui/WinDefs.h"

// What the worker posts.
inline constexpr UINT WM_READ_FOUND = WM_APP + 5;     // wParam: the song files to read
inline constexpr UINT WM_READ_PROGRESS = WM_APP + 6;  // wParam: the files read so far
inline constexpr UINT WM_READ_DONE = WM_APP + 7;      // the worker has stopped

class CSongFilesRead {
public:
    // Every song file of the database's player, or, with named (the locations the catalogue
    // names), only those it does not name. The database must outlive the read; the worker only
    // reads its drive letter.
    CSongFilesRead(const CSongDatabase& database, std::optional<std::vector<WString>> named);
    // Stops the worker and waits for it.
    ~CSongFilesRead();
    CSongFilesRead(const CSongFilesRead&) = delete;
    CSongFilesRead& operator=(const CSongFilesRead&) = delete;

    // Starts the worker, which reports to hWnd. False when no thread could be started.
    bool Start(HWND hWnd);
    // The window has taken WM_READ_PROGRESS: the next report may be posted.
    void Acknowledge() { m_bReportPending = false; }
    // No further file is read; the songs read so far are kept.
    void Cancel() { m_bCancel = true; }
    // Cancels and returns once the worker has ended (at once when it never started).
    void Stop();

    std::size_t GetRead() const { return m_nRead.load(); }
    // Once the worker has ended: the song files found, and the songs read from them, in the
    // files' order (all of them unless the read was cancelled).
    std::size_t GetFound() const { return m_nFound; }
    std::vector<SFileSong> TakeSongs() { return std::move(m_songs); }

private:
    void Work();

    const CSongDatabase& m_database;
    std::optional<std::vector<WString>> m_named;
    HWND m_hWnd = nullptr;
    std::atomic<bool> m_bCancel{false};
    // A progress report waits in the window's queue: the worker posts no other meanwhile, so
    // that thousands of small files do not flood the queue.
    std::atomic<bool> m_bReportPending{false};
    std::atomic<std::size_t> m_nRead{0};
    std::size_t m_nFound = 0;
    std::vector<SFileSong> m_songs;
    // Stop waits for it before anything of the read goes.
    CWorkerThread m_worker;
};
