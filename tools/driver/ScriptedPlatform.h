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

#include "platform/Platform.h"

class CScriptedPlatform : public platform::IPlatform {
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

    platform::FileHandle OpenFileForRead(const WChar* path) override;
    bool GetFileSize(platform::FileHandle file, std::uint64_t& size) override;
    bool ReadFile(platform::FileHandle file, void* buffer, std::uint32_t size,
                  std::uint32_t& bytesRead) override;
    void CloseFile(platform::FileHandle file) override;
    void* AllocateBlock(std::size_t size) override;
    void FreeBlock(void* block) override;
    bool CopyFileReplacing(const WChar* source, const WChar* target) override;
    bool GetDiskSpace(const WChar* path, std::uint64_t& freeToCaller,
                      std::uint64_t& total) override;
    platform::ExplorerKey OpenExplorerKey() override;
    bool QueryHidden(platform::ExplorerKey key, std::uint32_t& value, std::uint32_t& size) override;
    bool SetHidden(platform::ExplorerKey key, std::uint32_t value, std::uint32_t size) override;
    void CloseExplorerKey(platform::ExplorerKey key) override;
    void MapDrive(WChar letter, const WString& folder) override;
    std::string LastErrorText() override;
    platform::ThreadHandle StartThread(std::function<void()> routine) override;
    void CloseThread(platform::ThreadHandle thread) override;
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

    platform::IPlatform& m_native;
    std::function<void(int)> m_onExit;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::uint64_t m_now = 0;
    // Threads started here that are running rather than asleep.
    int m_nBusy = 0;
    std::list<SSleeper*> m_sleepers;
    std::map<WChar, SDisk> m_disks;
};
