// The seam through which the portable code touches the operating system: files, disk space,
// the Explorer "Hidden" setting, drives, threads and process exit. Tests replace it to force
// failures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/Text.h"

namespace platform {

// Opaque handles; each implementation defines the objects behind them.
struct FileObject;
struct ExplorerKeyObject;
struct ThreadObject;
struct SignalObject;
using FileHandle = FileObject*;
using ExplorerKey = ExplorerKeyObject*;
using ThreadHandle = ThreadObject*;
using SignalHandle = SignalObject*;

// A whole file's bytes, read-only, held for as long as the object lives and released by it:
// the file mapped into memory where the platform can, otherwise a copy read into a block.
class CFileImage {
public:
    virtual ~CFileImage() = default;
    CFileImage(const CFileImage&) = delete;
    CFileImage& operator=(const CFileImage&) = delete;

    std::span<const std::uint8_t> Bytes() const { return m_bytes; }

protected:
    CFileImage() = default;
    explicit CFileImage(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
    std::span<const std::uint8_t> m_bytes;
};

// The names a file system can store. kWindows: no \ / : * ? " < > |, no control character, no
// trailing dot or space, no device name (every Windows volume, and FAT or exFAT ones anywhere);
// kPosix: anything but '/' and NUL.
enum class ENameRules { kPosix, kWindows };

// What a path names at the moment it is asked.
enum class EPathState {
    kAbsent,  // nothing: the name is free
    kFile,    // a file
    kOther,   // a folder, a device, or something that cannot be looked at: not a name to use
};

// One entry of a folder.
struct SFolderEntry {
    WString strName;
    bool bFolder = false;  // a folder (a link to one included); otherwise a regular file
};

// Every path handed to the seam is in Windows form: a drive path such as
// "E:\Ipod_Control\iTunes\iTunesDB", or a folder the user chose. Off Windows the
// implementation maps drive letters to folders and treats '\' and '/' alike.
class IPlatform {
public:
    virtual ~IPlatform() = default;

    // Opens an existing file for reading, letting others read it too. nullptr on failure.
    virtual FileHandle OpenFileForRead(const WChar* path) = 0;
    virtual bool GetFileSize(FileHandle file, std::uint64_t& size) = 0;
    // One read of up to size bytes at the current position.
    virtual bool ReadFile(FileHandle file, void* buffer, std::uint32_t size,
                          std::uint32_t& bytesRead) = 0;
    // Moves the read position to offset bytes from the start. A position past the end is
    // allowed; reads there bring nothing. This default cannot seek and fails.
    virtual bool SeekFile(FileHandle file, std::uint64_t offset);
    virtual void CloseFile(FileHandle file) = 0;
    // The size bytes of a file just opened (its whole content, as GetFileSize gave it). nullptr
    // when they cannot all be had: a read fails or the file ends sooner. The file may be closed
    // while the result lives. This default reads them into a block (AllocateBlock, ReadFile);
    // a platform that can map the file instead does so, which spares the copy.
    virtual std::unique_ptr<CFileImage> ReadWholeFile(FileHandle file, std::uint64_t size);

    // Committed read-write memory for a file image. nullptr when it cannot be had.
    virtual void* AllocateBlock(std::size_t size) = 0;
    virtual void FreeBlock(void* block) = 0;

    // Copies source to a new file target through a temporary file in the target's folder that
    // then takes target's name in one step, only while no file has it: an existing target,
    // even one that appears while the copy is made, fails the copy with the platform's "exists"
    // error (EEXIST, ERROR_ALREADY_EXISTS or ERROR_FILE_EXISTS) and is left as it was. A failed
    // copy leaves no partial file behind.
    virtual bool CopyFileNew(const WChar* source, const WChar* target) = 0;
    // Creates the file at path, or replaces the one there, holding bytes. False (with the
    // platform's error) when it cannot be written whole. This default cannot write and fails.
    virtual bool WriteWholeFile(const WChar* path, std::span<const std::uint8_t> bytes);
    // Removes the temporary files of copies into folder that a process of this program left
    // there when it was ended before it could remove them, recognised by a name only this
    // program gives and the id of a process that no longer runs; never a file of a run still
    // under way, nor any other file. Meant for the start of a run into folder. False (with the
    // platform's error) when folder cannot be read.
    virtual bool RemoveStaleTemporaries(const WChar* folder) = 0;
    // Creates the folder path, whose parent must exist. True when path is a folder afterwards,
    // whether it was made now or was there before.
    virtual bool CreateFolder(const WChar* path) = 0;

    // The longest path, in characters without the terminator, that the file operations take: a
    // copy's target longer than this is refused before it is tried. This default is the
    // classic 259; Windows takes up to 32,766 (platform/win32 gives long paths their
    // extended-length form itself).
    virtual std::size_t GetMaxPathLength() { return kMaxPath - 1; }

    // The rules of the file system holding folder (an existing folder); with an empty folder,
    // the rules of this platform's own disks.
    virtual ENameRules GetNameRules(const WChar* folder);
    // text with every letter in one case, as this platform's file systems fold names that
    // differ only in case (every letter, not only ASCII): two names are one file when their
    // folded forms are equal. This default folds ASCII only.
    virtual WString FoldCase(WStringView text);
    // What path names now. This default only tells a file it can open from anything else.
    virtual EPathState QueryPath(const WChar* path);
    // The folders and regular files in folder, "." and ".." left out, in no set order. False
    // when the folder cannot be read. This default reads nothing.
    virtual bool ListFolder(const WChar* folder, std::vector<SFolderEntry>& entries);

    // Space of the volume holding path ("E:" names a drive). Bytes free to this user and total.
    virtual bool GetDiskSpace(const WChar* path, std::uint64_t& freeToCaller,
                              std::uint64_t& total) = 0;

    // The Explorer "Hidden" value: 1 shows hidden files, 2 hides them. nullptr when the
    // setting cannot be opened for reading and writing.
    virtual ExplorerKey OpenExplorerKey() = 0;
    // size is in and out: the room for the value, then the size of what was read.
    virtual bool QueryHidden(ExplorerKey key, std::uint32_t& value, std::uint32_t& size) = 0;
    virtual bool SetHidden(ExplorerKey key, std::uint32_t value, std::uint32_t size) = 0;
    virtual void CloseExplorerKey(ExplorerKey key) = 0;

    // This program's own settings for the current user: on Windows the values under
    // HKEY_CURRENT_USER\Software\Kestrum. A read is false when the value is absent or of
    // another kind.
    virtual bool ReadSettingText(const WChar* name, WString& value) = 0;
    virtual bool WriteSettingText(const WChar* name, const WString& value) = 0;
    virtual bool ReadSettingNumber(const WChar* name, std::uint32_t& value) = 0;
    virtual bool WriteSettingNumber(const WChar* name, std::uint32_t value) = 0;

    // Makes drive letter name folder for this process, ahead of the system's own drives.
    virtual void MapDrive(WChar letter, const WString& folder) = 0;

    // A description of the last failure of a call on this thread, for messages of the
    // command-line tool.
    virtual std::string LastErrorText() = 0;

    virtual ThreadHandle StartThread(std::function<void()> routine) = 0;  // nullptr on failure
    // Lets the thread run on unobserved and releases the handle.
    virtual void CloseThread(ThreadHandle thread) = 0;
    virtual void Sleep(std::uint32_t milliseconds) = 0;

    // A flag one thread raises and another waits for; a wait lowers it again. The scripted
    // platform of the driver counts a thread waiting here as asleep, so these are the only
    // waits between the program's threads. nullptr when it cannot be made.
    virtual SignalHandle CreateSignal();
    virtual void RaiseSignal(SignalHandle signal);
    virtual void WaitSignal(SignalHandle signal);
    virtual void CloseSignal(SignalHandle signal);
    [[noreturn]] virtual void ExitProcess(int code) = 0;
};

// The installed platform: the native one unless a test, the driver or the command-line tool
// installed a wrapper around it.
IPlatform& Platform();
// The operating system's own implementation.
IPlatform& NativePlatform();
// Installs a replacement; nullptr puts the native one back. Not thread-safe: call it before any
// thread of the program starts and after the last one ended.
void InstallPlatform(IPlatform* replacement);

}  // namespace platform
