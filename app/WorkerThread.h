// CWorkerThread: one routine run on a thread of its own, and a wait for its end that any number
// of callers, on any thread, may make.
#pragma once

#include <functional>

#include "platform/Platform.h"

class CWorkerThread {
public:
    CWorkerThread() = default;
    // The owner waits (Wait) before the routine's objects go; this only releases the signal.
    ~CWorkerThread();
    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;

    // Runs routine on a new thread. False when no thread could be started (nothing runs then).
    bool Start(std::function<void()> routine);
    // Returns once the routine has ended; at once when it never started.
    void Wait();

private:
    platform::SignalHandle m_hFinished = nullptr;
    bool m_bStarted = false;
};
