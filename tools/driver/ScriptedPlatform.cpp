// The driver's platform: forwards to the operating system's, with a virtual clock, scripted
// disk space and a reported process end.
#include "tools/driver/ScriptedPlatform.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "platform/Signal.h"

CScriptedPlatform::CScriptedPlatform(platform::IPlatform& native, std::function<void(int)> onExit)
    : CMemorySettings(native), m_onExit(std::move(onExit)) {}

namespace {
// Set on the threads started through StartThread: only they take part in the virtual clock.
thread_local bool t_bScriptedThread = false;
}  // namespace

namespace {

// A drive letter in capitals; a folder with '\\' for '/', ASCII capitals and no separator at
// its end, so that the program's Windows-form paths meet the script's.
WString DiskKey(WStringView where) {
    WString key(where);
    for (WChar& ch : key) {
        ch = ch == u'/' ? u'\\' : (ch >= u'a' && ch <= u'z' ? static_cast<WChar>(ch - 0x20) : ch);
    }
    while (key.size() > 1 && key.back() == u'\\') {
        key.pop_back();
    }
    return key;
}

}  // namespace

void CScriptedPlatform::SetDiskSpace(const WString& where, std::uint64_t freeToCaller,
                                     std::uint64_t total) {
    const std::lock_guard lock(m_mutex);
    m_disks[DiskKey(where)] = SDisk{false, freeToCaller, total};
}

void CScriptedPlatform::SetDiskSpaceFails(const WString& where) {
    const std::lock_guard lock(m_mutex);
    m_disks[DiskKey(where)] = SDisk{true, 0, 0};
}

void CScriptedPlatform::MoveClock(std::uint64_t milliseconds) {
    const std::lock_guard lock(m_mutex);
    m_now += milliseconds;
    for (SSleeper* pSleeper : m_sleepers) {
        if (!pSleeper->bWoken && pSleeper->wake <= m_now) {
            // Counted busy here, not when it runs, so that the wait below cannot miss it.
            pSleeper->bWoken = true;
            ++m_nBusy;
        }
    }
    m_changed.notify_all();
}

void CScriptedPlatform::WaitUntilIdle() {
    std::unique_lock lock(m_mutex);
    ReleaseStartsLocked();
    m_changed.wait(lock, [this] { return m_nBusy == 0; });
}

bool CScriptedPlatform::WaitUntilIdleFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    ReleaseStartsLocked();
    return m_changed.wait_for(lock, timeout, [this] { return m_nBusy == 0; });
}

void CScriptedPlatform::ReleaseStartsLocked() {
    if (m_nHeldStarts > 0) {
        m_nHeldStarts = 0;
        ++m_nStartGeneration;
        m_changed.notify_all();
    }
}

std::uint64_t CScriptedPlatform::Now() {
    const std::lock_guard lock(m_mutex);
    return m_now;
}

bool CScriptedPlatform::GetDiskSpace(const WChar* path, std::uint64_t& freeToCaller,
                                     std::uint64_t& total) {
    if (path != nullptr) {
        const WString key = DiskKey(path);
        const std::lock_guard lock(m_mutex);
        for (const auto& [where, disk] : m_disks) {
            // A letter stands for its drive's paths ("E:..."), a folder for itself and below.
            const bool bLetter = where.size() == 1;
            const bool bMatches =
                bLetter ? key.size() >= 2 && key[0] == where[0] && key[1] == u':'
                        : key.compare(0, where.size(), where) == 0 &&
                              (key.size() == where.size() || key[where.size()] == u'\\');
            if (!bMatches) {
                continue;
            }
            if (disk.bFails) {
                return false;
            }
            freeToCaller = disk.freeToCaller;
            total = disk.total;
            return true;
        }
    }
    return Inner().GetDiskSpace(path, freeToCaller, total);
}

platform::ThreadHandle CScriptedPlatform::StartThread(std::function<void()> routine) {
    {
        const std::lock_guard lock(m_mutex);
        ++m_nBusy;
    }
    std::uint64_t generation = 0;
    {
        const std::lock_guard lock(m_mutex);
        generation = m_nStartGeneration;
        ++m_nHeldStarts;
    }
    platform::ThreadHandle thread = Inner().StartThread([this, generation,
                                                         routine = std::move(routine)]() {
        t_bScriptedThread = true;
        {
            // A new thread runs once the driver next waits for idle: what happened before (a
            // dialog shown, its opening reported) comes first, whichever backend runs.
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this, generation] { return m_nStartGeneration != generation; });
        }
        routine();
        const std::lock_guard lock(m_mutex);
        --m_nBusy;
        m_changed.notify_all();
    });
    if (thread == nullptr) {
        const std::lock_guard lock(m_mutex);
        --m_nBusy;
        m_nHeldStarts = std::max(0, m_nHeldStarts - 1);
        m_changed.notify_all();
    }
    return thread;
}

void CScriptedPlatform::Sleep(std::uint32_t milliseconds) {
    // Nothing would ever wake the script's own thread: its sleeps take no virtual time.
    if (!t_bScriptedThread) {
        return;
    }
    std::unique_lock lock(m_mutex);
    SSleeper sleeper;
    sleeper.wake = m_now + milliseconds;
    m_sleepers.push_back(&sleeper);
    --m_nBusy;
    m_changed.notify_all();
    m_changed.wait(lock, [&sleeper] { return sleeper.bWoken; });
    m_sleepers.remove(&sleeper);
}

// Signals are guarded by this platform's mutex instead of their own: every raise and wait in a
// driver run comes through here.
void CScriptedPlatform::RaiseSignal(platform::SignalHandle signal) {
    const std::lock_guard lock(m_mutex);
    if (m_bHoldNextRaise) {
        m_bHoldNextRaise = false;
        m_held.push_back(signal);
        return;
    }
    // Raised again while held (a run stopped while paused): it goes through, and is no longer
    // held, since its owner may free it once its waiter has woken.
    m_held.remove(signal);
    RaiseLocked(signal);
}

void CScriptedPlatform::RaiseLocked(platform::SignalHandle signal) {
    signal->bRaised = true;
    for (SWaiter* pWaiter : m_waiters) {
        if (pWaiter->signal == signal && !pWaiter->bWoken) {
            // Counted busy here, as a woken sleeper is, so that no wait for idle misses it.
            pWaiter->bWoken = true;
            ++m_nBusy;
            break;
        }
    }
    m_changed.notify_all();
}

void CScriptedPlatform::WaitSignal(platform::SignalHandle signal) {
    std::unique_lock lock(m_mutex);
    if (!t_bScriptedThread || signal->bRaised) {
        // The dialog's thread waiting for a thread it started lets that thread run.
        ReleaseStartsLocked();
        m_changed.wait(lock, [signal] { return signal->bRaised; });
        signal->bRaised = false;
        return;
    }
    SWaiter waiter;
    waiter.signal = signal;
    m_waiters.push_back(&waiter);
    --m_nBusy;
    m_changed.notify_all();
    m_changed.wait(lock, [&waiter] { return waiter.bWoken; });
    m_waiters.remove(&waiter);
    signal->bRaised = false;
}

void CScriptedPlatform::HoldNextRaise() {
    const std::lock_guard lock(m_mutex);
    m_bHoldNextRaise = true;
}

void CScriptedPlatform::ReleaseHeld() {
    const std::lock_guard lock(m_mutex);
    m_bHoldNextRaise = false;
    for (platform::SignalHandle signal : m_held) {
        RaiseLocked(signal);
    }
    m_held.clear();
}

void CScriptedPlatform::ExitProcess(int code) {
    m_onExit(code);
    std::fflush(nullptr);
    std::_Exit(code);
}
