// The driver's platform: forwards to the operating system's, with a virtual clock, scripted
// disk space and a reported process end.
#include "tools/driver/ScriptedPlatform.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

CScriptedPlatform::CScriptedPlatform(platform::IPlatform& native, std::function<void(int)> onExit)
    : CForwardingPlatform(native), m_onExit(std::move(onExit)) {}

namespace {
// Set on the threads started through StartThread: only they take part in the virtual clock.
thread_local bool t_bScriptedThread = false;

WChar UpperLetter(WChar letter) {
    return letter >= u'a' && letter <= u'z' ? static_cast<WChar>(letter - 0x20) : letter;
}
}  // namespace

void CScriptedPlatform::SetDiskSpace(WChar letter, std::uint64_t freeToCaller,
                                     std::uint64_t total) {
    const std::lock_guard lock(m_mutex);
    m_disks[UpperLetter(letter)] = SDisk{false, freeToCaller, total};
}

void CScriptedPlatform::SetDiskSpaceFails(WChar letter) {
    const std::lock_guard lock(m_mutex);
    m_disks[UpperLetter(letter)] = SDisk{true, 0, 0};
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
    m_changed.wait(lock, [this] { return m_nBusy == 0; });
}

bool CScriptedPlatform::WaitUntilIdleFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [this] { return m_nBusy == 0; });
}

std::uint64_t CScriptedPlatform::Now() {
    const std::lock_guard lock(m_mutex);
    return m_now;
}

bool CScriptedPlatform::GetDiskSpace(const WChar* path, std::uint64_t& freeToCaller,
                                     std::uint64_t& total) {
    if (path != nullptr && path[0] != 0 && path[1] == u':') {
        const std::lock_guard lock(m_mutex);
        if (const auto it = m_disks.find(UpperLetter(path[0])); it != m_disks.end()) {
            if (it->second.bFails) {
                return false;
            }
            freeToCaller = it->second.freeToCaller;
            total = it->second.total;
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
    platform::ThreadHandle thread = Inner().StartThread([this, routine = std::move(routine)]() {
        t_bScriptedThread = true;
        routine();
        const std::lock_guard lock(m_mutex);
        --m_nBusy;
        m_changed.notify_all();
    });
    if (thread == nullptr) {
        const std::lock_guard lock(m_mutex);
        --m_nBusy;
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

void CScriptedPlatform::ExitProcess(int code) {
    m_onExit(code);
    std::fflush(nullptr);
    std::_Exit(code);
}
