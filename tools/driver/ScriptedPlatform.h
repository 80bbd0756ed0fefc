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

class CScriptedPlatform : public platform::CForwardingPlatform {
public:
    // onExit runs (and should flush its output) before ExitProcess ends the process.
    CScriptedPlatform(platform::IPlatform& native, std::function<void(int)> onExit);

    // Disk space the script sets for a drive letter: figures, or a failing query.
    void SetDiskSpace(WChar letter, std::uint64_t freeToCaller, std::uint64_t total);
    void SetDiskSpaceFails(WChar letter);

    // Moves the virtual clock on by milliseconds and wakes every thread whose sleep has run out;
    // they count as busy from here until they sleep again or end (see WaitUntilIdle).
    void MoveClock(std::uint64_t milliseconds);
    // Returns once every thread started through StartThread is asleep or has ended.
    void WaitUntilIdle();
    // The same, but gives up after timeout; true when idle.
    bool WaitUntilIdleFor(std::chrono::milliseconds timeout);
    std::uint64_t Now();

    bool GetDiskSpace(const WChar* path, std::uint64_t& freeToCaller,
                      std::uint64_t& total) override;
    // The program's settings live for the run, whatever store the system has.
    bool ReadSettingText(const WChar* name, WString& value) override {
        return m_settings.ReadText(name, value);
    }
    bool WriteSettingText(const WChar* name, const WString& value) override {
        return m_settings.WriteText(name, value);
    }
    bool ReadSettingNumber(const WChar* name, std::uint32_t& value) override {
        return m_settings.ReadNumber(name, value);
    }
    bool WriteSettingNumber(const WChar* name, std::uint32_t value) override {
        return m_settings.WriteNumber(name, value);
    }
    platform::ThreadHandle StartThread(std::function<void()> routine) override;
    void Sleep(std::uint32_t milliseconds) override;
    [[noreturn]] void ExitProcess(int code) override;

private:
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
    std::map<WChar, SDisk> m_disks;
    platform::CMemorySettings m_settings;
};
