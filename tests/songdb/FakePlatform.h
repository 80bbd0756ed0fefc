// An in-memory platform for the song database tests and the fuzzer: files are byte vectors
// keyed by Windows-form path, and every call can be made to fail.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/MemorySettings.h"
#include "platform/Platform.h"

namespace fake {

struct SHiddenWrite {
    std::uint32_t dwValue = 0;
    std::uint32_t dwSize = 0;
};

class CFakePlatform : public platform::CMemorySettings<platform::IPlatform> {
public:
    using FileHandle = platform::FileHandle;
    using ExplorerKey = platform::ExplorerKey;
    using ThreadHandle = platform::ThreadHandle;

    // Installs itself for its lifetime; nested fakes put the outer one back when they end.
    CFakePlatform();
    ~CFakePlatform() override;
    CFakePlatform(const CFakePlatform&) = delete;
    CFakePlatform& operator=(const CFakePlatform&) = delete;

    // Paths compare without regard to ASCII case and with '/' as '\'.
    void AddFile(const WString& path, std::vector<std::uint8_t> content);
    bool HasFile(const WString& path) const;
    const std::vector<std::uint8_t>* File(const WString& path) const;

    // The database and SysInfo of drive letter.
    static WString DatabasePath(WChar letter);
    static WString CompressedDatabasePath(WChar letter);
    static WString SysInfoPath(WChar letter);
    void AddPlayer(WChar letter, std::vector<std::uint8_t> database);

    // Forced failures and odd behaviours.
    bool bFailOpen = false;
    bool bFailSize = false;
    bool bFailRead = false;
    bool bFailSeek = false;
    bool bFailAlloc = false;
    bool bFailCopy = false;
    // When set, GetFileSize reports this instead of the content's size.
    std::uint64_t reportedSize = 0;
    bool bReportSize = false;
    // Each read returns at most this many bytes (0: no limit).
    std::uint32_t dwReadChunk = 0;
    // After this many bytes every read returns 0 bytes, as a file that shrank (0: never).
    std::uint64_t shrinkAfter = 0;

    // The Explorer "Hidden" value.
    bool bFailOpenKey = false;
    bool bFailQuery = false;
    bool bFailSet = false;
    std::uint32_t dwHidden = 2;
    std::vector<SHiddenWrite> hiddenWrites;
    int nKeysOpen = 0;

    int nFilesOpen = 0;
    int nBlocksHeld = 0;
    std::vector<std::pair<WString, WString>> copies;  // successful (source, target)
    std::vector<WString> copySources;                 // every source asked for, copied or not
    std::vector<WString> folders;                     // every CreateFolder asked for
    bool bFailFolder = false;

    FileHandle OpenFileForRead(const WChar* path) override;
    bool GetFileSize(FileHandle file, std::uint64_t& size) override;
    bool ReadFile(FileHandle file, void* buffer, std::uint32_t size,
                  std::uint32_t& bytesRead) override;
    bool SeekFile(FileHandle file, std::uint64_t offset) override;
    void CloseFile(FileHandle file) override;
    void* AllocateBlock(std::size_t size) override;
    void FreeBlock(void* block) override;
    bool CopyFileNew(const WChar* source, const WChar* target) override;
    bool RemoveStaleTemporaries(const WChar*) override { return true; }
    bool CreateFolder(const WChar* path) override;
    bool GetDiskSpace(const WChar* path, std::uint64_t& freeToCaller,
                      std::uint64_t& total) override;
    ExplorerKey OpenExplorerKey() override;
    bool QueryHidden(ExplorerKey key, std::uint32_t& value, std::uint32_t& size) override;
    bool SetHidden(ExplorerKey key, std::uint32_t value, std::uint32_t size) override;
    void CloseExplorerKey(ExplorerKey key) override;
    void MapDrive(WChar letter, const WString& folder) override;
    std::string LastErrorText() override;
    ThreadHandle StartThread(std::function<void()> routine) override;
    void CloseThread(ThreadHandle thread) override;
    void Sleep(std::uint32_t milliseconds) override;
    [[noreturn]] void ExitProcess(int code) override;

private:
    // An open file: a copy of its bytes and the read position.
    struct SOpenFile {
        std::vector<std::uint8_t> content;
        std::uint64_t position = 0;
    };
    static WString Key(const WString& path);
    SOpenFile& Open(FileHandle file);

    std::map<WString, std::vector<std::uint8_t>> m_files;
    // Handles are numbers turned into the opaque pointer type, so that the fake needs no
    // definition of the platform's own handle objects.
    std::map<std::uintptr_t, SOpenFile> m_open;
    std::uintptr_t m_nextHandle = 1;
    CFakePlatform* m_pOuter = nullptr;
};

}  // namespace fake
