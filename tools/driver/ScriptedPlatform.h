// The platform as the driver runs it: the operating system's own, except for a virtual clock
// that the script advances, disk space figures the script sets, and a process end that reports
// itself first. Scenarios therefore never depend on real time or on the machine's disks.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "platform/ForwardingPlatform.h"
#include "platform/MemorySettings.h"

// The program's settings live for the run, whatever store the system has.
class CScriptedPlatform : public platform::CMemorySettings<platform::CForwardingPlatform> {
public:
    // onExit runs (and should flush its output) before ExitProcess ends the process.
    CScriptedPlatform(platform::IPlatform& native, std::function<void(int)> onExit);

    // Disk space the script sets for a drive (its letter) or a folder (its path): figures, or a
    // failing query. A folder's figures answer for the folder and everything below it.
    void SetDiskSpace(const WString& where, std::uint64_t freeToCaller, std::uint64_t total);
    void SetDiskSpaceFails(const WString& where);

    // Moves the virtual clock on by milliseconds and wakes every thread whose sleep has run out;
    // they count as busy from here until they sleep again or end (see WaitUntilIdle).
    void MoveClock(std::uint64_t milliseconds);
    // Returns once every thread started through StartThread is asleep or has ended. Threads
    // started since the last wait begin to run here, not when they were started.
    void WaitUntilIdle();
    // The same, but gives up after timeout; true when idle.
    bool WaitUntilIdleFor(std::chrono::milliseconds timeout);
    std::uint64_t Now();

    bool GetDiskSpace(const WChar* path, std::uint64_t& freeToCaller,
                      std::uint64_t& total) override;
    platform::ThreadHandle StartThread(std::function<void()> routine) override;
    void Sleep(std::uint32_t milliseconds) override;
    // A thread of the program waiting for a signal counts as asleep until it is raised.
    void RaiseSignal(platform::SignalHandle signal) override;
    void WaitSignal(platform::SignalHandle signal) override;

    // The next signal raised, from any thread, is kept back until ReleaseHeld: whoever waits
    // for it sleeps on. A run paused by the script is held this way between two songs.
    void HoldNextRaise();
    void ReleaseHeld();
    [[noreturn]] void ExitProcess(int code) override;

private:
    void RaiseLocked(platform::SignalHandle signal);
    // Lets the threads started since the last release run.
    void ReleaseStartsLocked();

    struct SSleeper {
        std::uint64_t wake = 0;
        bool bWoken = false;
    };
    struct SDisk {
        bool bFails = false;
        std::uint64_t freeToCaller = 0;
        std::uint64_t total = 0;
    };

    std::function<void(int)> m_onExit;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::uint64_t m_now = 0;
    // Threads started here that are running rather than asleep.
    int m_nBusy = 0;
    std::list<SSleeper*> m_sleepers;
    struct SWaiter {
        platform::SignalHandle signal = nullptr;
        bool bWoken = false;
    };
    std::list<SWaiter*> m_waiters;
    bool m_bHoldNextRaise = false;
    // Threads started and not yet let run, and the count of releases so far.
    int m_nHeldStarts = 0;
    std::uint64_t m_nStartGeneration = 0;
    std::list<platform::SignalHandle> m_held;
    // By drive letter ("E") or folder, in the form DiskKey gives.
    std::map<WString, SDisk> m_disks;
};
