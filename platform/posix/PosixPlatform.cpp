// The operating system seam on Linux and other POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <glib.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "platform/MemorySettings.h"
#include "platform/Platform.h"
#include "platform/posix/DriveTable.h"
#include "platform/posix/ExplorerSetting.h"
#include "platform/posix/FileCopy.h"
#include "platform/posix/FolderListings.h"
#include "platform/posix/MappingGuard.h"
#include "platform/posix/PathMapper.h"

namespace platform {

struct FileObject {
    int fd;
};

// The thread itself runs detached; the handle only stands for it until it is closed.
struct ThreadObject {};

namespace posix {
namespace {

// A file mapped read-only; unmapped when the image ends. Guarded while it lives, so that the
// file shrinking under it leaves zeros to read instead of ending the process.
class CMappedImage final : public CFileImage {
public:
    CMappedImage(void* pMapping, std::size_t size)
        : CFileImage(
              std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(pMapping), size)),
          m_pMapping(pMapping) {
        GuardMapping(m_pMapping, size);
    }
    ~CMappedImage() override {
        UnguardMapping(m_pMapping);
        munmap(m_pMapping, Bytes().size());
    }
    CMappedImage(const CMappedImage&) = delete;
    CMappedImage& operator=(const CMappedImage&) = delete;

private:
    void* m_pMapping;
};

// An empty file: nothing to map.
class CEmptyImage final : public CFileImage {};

// The file systems that keep Windows' naming rules wherever they are mounted: FAT (vfat and
// msdos share one magic number) and exFAT, the file systems of memory cards and USB sticks.
constexpr unsigned long kMsdosMagic = 0x4d44;
constexpr unsigned long kExfatMagic = 0x2011BAB0;

// Room in front of every block for its mapped length, kept to the strictest alignment.
constexpr std::size_t kBlockHeader = alignof(std::max_align_t);

// The errno of the last failing call on this thread, safe from later calls that succeed.
thread_local int t_lastError = 0;

// The XSI and GNU strerror_r differ in their result; both are handled.
[[maybe_unused]] const char* ErrorTextFrom(int result, const char* buffer) {
    return result == 0 ? buffer : "Unknown error";
}
[[maybe_unused]] const char* ErrorTextFrom(const char* result, const char*) { return result; }

// Off Windows the desktop front end keeps its settings with its toolkit (it installs a platform
// over this one that does); everything else keeps them for the run.
class CPosixPlatform final : public CMemorySettings<IPlatform> {
public:
    FileHandle OpenFileForRead(const WChar* path) override {
        std::string native;
        if (!MapPath(path, native)) {
            return nullptr;
        }
        // Without waiting: a pipe's open would block until something writes to it, and only a
        // plain file is taken anyway (it reads the same with or without the flag).
        const int fd = open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            return Fail<FileHandle>(nullptr);
        }
        // Windows cannot open a folder as a file; neither may this.
        struct stat info {};
        const bool bStated = fstat(fd, &info) == 0;
        if (!bStated || !S_ISREG(info.st_mode)) {
            const int error = !bStated ? errno : (S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
            close(fd);
            errno = error;
            return Fail<FileHandle>(nullptr);
        }
        return new FileObject{fd};
    }

    bool GetFileSize(FileHandle file, std::uint64_t& size) override {
        struct stat info {};
        if (file == nullptr) {
            errno = EBADF;
            return Fail(false);
        }
        if (fstat(file->fd, &info) != 0) {
            return Fail(false);
        }
        size = static_cast<std::uint64_t>(info.st_size);
        return true;
    }

    bool ReadFile(FileHandle file, void* buffer, std::uint32_t size,
                  std::uint32_t& bytesRead) override {
        bytesRead = 0;
        if (file == nullptr) {
            errno = EBADF;
            return Fail(false);
        }
        // read() may return less than asked (signals, pipes, network file systems); keep
        // going to the end of the file as one Windows read would.
        auto* bytes = static_cast<unsigned char*>(buffer);
        while (bytesRead < size) {
            const ssize_t got = read(file->fd, bytes + bytesRead, size - bytesRead);
            if (got < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return Fail(false);
            }
            if (got == 0) {
                break;
            }
            bytesRead += static_cast<std::uint32_t>(got);
        }
        return true;
    }

    bool SeekFile(FileHandle file, std::uint64_t offset) override {
        if (file == nullptr) {
            errno = EBADF;
            return Fail(false);
        }
        if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
            errno = EINVAL;
            return Fail(false);
        }
        if (lseek(file->fd, static_cast<off_t>(offset), SEEK_SET) < 0) {
            return Fail(false);
        }
        return true;
    }

    // The file is mapped, not copied: a catalogue of tens of megabytes is then read straight
    // from the page cache, without a copy into fresh memory, whose pages cost more to get than
    // the reading itself. The pages are faulted in at once; should the file shrink later,
    // the guard leaves zeros where its bytes were (see MappingGuard.h). Where the file cannot be
    // mapped, it is read as any platform reads it.
    std::unique_ptr<CFileImage> ReadWholeFile(FileHandle file, std::uint64_t size) override {
        struct stat info {};
        if (file == nullptr || fstat(file->fd, &info) != 0) {
            return Fail<std::unique_ptr<CFileImage>>(nullptr);
        }
        // Pages past the end of the file could not be read; the file must hold them all.
        if (size > SIZE_MAX || static_cast<std::uint64_t>(info.st_size) < size) {
            errno = EIO;
            return Fail<std::unique_ptr<CFileImage>>(nullptr);
        }
        if (size == 0) {
            return std::make_unique<CEmptyImage>();
        }
        // Not populated at once: the walk reads the pages in order, and the kernel maps the
        // cached pages around each fault, which costs less than mapping the whole file first
        // (the playlists at its end are read only when asked for).
        void* mapping =
            mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_PRIVATE, file->fd, 0);
        if (mapping == MAP_FAILED) {
            return IPlatform::ReadWholeFile(file, size);
        }
        try {
            return std::make_unique<CMappedImage>(mapping, static_cast<std::size_t>(size));
        } catch (...) {
            munmap(mapping, static_cast<std::size_t>(size));
            throw;
        }
    }

    void CloseFile(FileHandle file) override {
        if (file != nullptr) {
            close(file->fd);
            delete file;
        }
    }

    // Anonymous mappings are zeroed like committed Windows pages. Unlike VirtualAlloc, a size
    // of 0 gives a valid (empty) block: an empty file is read into one without failing.
    void* AllocateBlock(std::size_t size) override {
        if (size > SIZE_MAX - kBlockHeader) {
            errno = ENOMEM;
            return Fail<void*>(nullptr);
        }
        const std::size_t length = size + kBlockHeader;
        void* mapping =
            mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapping == MAP_FAILED) {
            return Fail<void*>(nullptr);
        }
        std::memcpy(mapping, &length, sizeof length);
        return static_cast<unsigned char*>(mapping) + kBlockHeader;
    }

    void FreeBlock(void* block) override {
        if (block == nullptr) {
            return;
        }
        unsigned char* mapping = static_cast<unsigned char*>(block) - kBlockHeader;
        std::size_t length = 0;
        std::memcpy(&length, mapping, sizeof length);
        munmap(mapping, length);
    }

    bool CopyFileNew(const WChar* source, const WChar* target) override {
        std::string from;
        std::string to;
        if (!MapPath(source, from) || !MapPath(target, to)) {
            return false;
        }
        if (CCopyBatch* pBatch = CCopyBatch::Current(); pBatch != nullptr) {
            SStagedCopy staged;
            if (!StageCopy(from, to, staged)) {
                return Fail(false);
            }
            pBatch->Add(std::move(staged));
            return true;
        }
        return CopyToNewFile(from, to) || Fail(false);
    }

    bool WriteWholeFile(const WChar* path, std::span<const std::uint8_t> bytes) override {
        std::string native;
        if (!MapPath(path, native)) {
            return false;
        }
        const int file = open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (file < 0) {
            return Fail(false);
        }
        bool bWritten = true;
        for (std::size_t done = 0; done < bytes.size() && bWritten;) {
            const ssize_t written = write(file, bytes.data() + done, bytes.size() - done);
            if (written > 0) {
                done += static_cast<std::size_t>(written);
            } else if (written < 0 && errno == EINTR) {
                continue;
            } else {
                bWritten = Fail(false);
            }
        }
        // A disk that fills up may only say so when the file is closed.
        if (close(file) != 0 && bWritten) {
            bWritten = Fail(false);
        }
        return bWritten;
    }

    bool RemoveStaleTemporaries(const WChar* folder) override {
        std::string native;
        if (!MapPath(folder, native)) {
            return false;
        }
        return posix::RemoveStaleTemporaries(native) || Fail(false);
    }

    bool CreateFolder(const WChar* path) override {
        std::string native;
        if (!MapPath(path, native)) {
            return false;
        }
        if (MakeFolder(native, 0777) == 0) {
            return true;
        }
        const int error = errno;
        struct stat info {};
        if (error == EEXIST && stat(native.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
            return true;
        }
        errno = error;
        return Fail(false);
    }

    // PATH_MAX (4096 bytes with the terminator) holds every path of this many UTF-16 units: none
    // takes more than three bytes in UTF-8.
    std::size_t GetMaxPathLength() override { return (PATH_MAX - 1) / 3; }

    ENameRules GetNameRules(const WChar* folder) override {
        std::string native;
        struct statfs info {};
        if (folder == nullptr || *folder == 0 || !MapPath(folder, native) ||
            statfs(native.c_str(), &info) != 0) {
            return ENameRules::kPosix;
        }
        const auto magic = static_cast<unsigned long>(info.f_type);
        return magic == kMsdosMagic || magic == kExfatMagic ? ENameRules::kWindows
                                                            : ENameRules::kPosix;
    }

    // Letter by letter, as Windows' own upper-case table does: a letter whose upper case is
    // more than one letter (German sharp s) stays as it is. A character beyond the first plane
    // is folded whole; a lone half of a pair stays as it is.
    WString FoldCase(WStringView text) override {
        WString folded;
        folded.reserve(text.size());
        for (std::size_t i = 0; i < text.size(); ++i) {
            const WChar unit = text[i];
            const bool bPair = unit >= 0xD800 && unit < 0xDC00 && i + 1 < text.size() &&
                               text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000;
            if (!bPair) {
                const bool bHalf = unit >= 0xD800 && unit < 0xE000;
                folded.push_back(bHalf ? unit : static_cast<WChar>(g_unichar_toupper(unit)));
                continue;
            }
            const gunichar ch =
                0x10000 + ((gunichar{unit} - 0xD800) << 10) + (gunichar{text[i + 1]} - 0xDC00);
            const gunichar upper = g_unichar_toupper(ch);
            folded.push_back(static_cast<WChar>(0xD800 + ((upper - 0x10000) >> 10)));
            folded.push_back(static_cast<WChar>(0xDC00 + ((upper - 0x10000) & 0x3FF)));
            ++i;
        }
        return folded;
    }

    EPathState QueryPath(const WChar* path) override {
        std::string native;
        if (!MapPath(path, native)) {
            return errno == ENOENT ? EPathState::kAbsent : EPathState::kOther;
        }
        struct stat info {};
        if (lstat(native.c_str(), &info) != 0) {
            return errno == ENOENT || errno == ENOTDIR ? EPathState::kAbsent : EPathState::kOther;
        }
        // A link counts as what it leads to; a broken one still takes the name.
        if (S_ISLNK(info.st_mode) && stat(native.c_str(), &info) != 0) {
            return EPathState::kOther;
        }
        return S_ISREG(info.st_mode) ? EPathState::kFile : EPathState::kOther;
    }

    bool ListFolder(const WChar* folder, std::vector<SFolderEntry>& entries) override {
        entries.clear();
        std::string native;
        if (!MapPath(folder, native)) {
            return false;
        }
        const std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(native.c_str()), closedir);
        if (!dir) {
            return Fail(false);
        }
        while (const dirent* entry = readdir(dir.get())) {
            const std::string name = entry->d_name;
            struct stat info {};
            // What a link leads to, as Windows' own listing would show it.
            if (name == "." || name == ".." || stat((native + "/" + name).c_str(), &info) != 0 ||
                (!S_ISDIR(info.st_mode) && !S_ISREG(info.st_mode))) {
                continue;
            }
            entries.push_back(SFolderEntry{WideFromUtf8(name), S_ISDIR(info.st_mode)});
        }
        return true;
    }

    bool GetDiskSpace(const WChar* path, std::uint64_t& freeToCaller,
                      std::uint64_t& total) override {
        std::string native;
        if (!MapPath(path, native)) {
            return false;
        }
        struct statvfs info {};
        if (statvfs(native.c_str(), &info) != 0) {
            return Fail(false);
        }
        freeToCaller = static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
        total = static_cast<std::uint64_t>(info.f_blocks) * info.f_frsize;
        return true;
    }

    ExplorerKey OpenExplorerKey() override {
        ExplorerKey key = OpenHiddenSetting(kFileChooserSchema, kShowHiddenKey);
        return key != nullptr ? key : Fail<ExplorerKey>(nullptr);
    }

    bool QueryHidden(ExplorerKey key, std::uint32_t& value, std::uint32_t& size) override {
        return QueryHiddenSetting(key, value, size) || Fail(false);
    }

    bool SetHidden(ExplorerKey key, std::uint32_t value, std::uint32_t size) override {
        return SetHiddenSetting(key, value, size) || Fail(false);
    }

    void CloseExplorerKey(ExplorerKey key) override { CloseHiddenSetting(key); }

    void MapDrive(WChar letter, const WString& folder) override {
        const char driveLetter = DriveLetterFrom(letter);
        if (driveLetter != 0) {
            m_drives.Map(driveLetter, Utf8FromWide(folder));
        }
    }

    std::string LastErrorText() override {
        char buffer[256] = {};
        return ErrorTextFrom(strerror_r(t_lastError, buffer, sizeof buffer), buffer);
    }

    ThreadHandle StartThread(std::function<void()> routine) override {
        try {
            std::thread(std::move(routine)).detach();
        } catch (const std::system_error& error) {
            errno = error.code().value();
            return Fail<ThreadHandle>(nullptr);
        }
        return new ThreadObject;
    }

    void CloseThread(ThreadHandle thread) override { delete thread; }

    void Sleep(std::uint32_t milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }

    [[noreturn]] void ExitProcess(int code) override {
        // Nothing else runs at exit, so buffered output would be lost without this.
        std::fflush(nullptr);
        std::_Exit(code);
    }

private:
    // Records errno as this thread's last error and passes result through.
    template <typename T>
    static T Fail(T result) {
        t_lastError = errno;
        return result;
    }

    bool MapPath(const WChar* path, std::string& native) {
        if (path == nullptr) {
            errno = EINVAL;
            return Fail(false);
        }
        return NativePathFrom(WStringView(path), m_drives, native) || Fail(false);
    }

    CDriveTable m_drives;
};

}  // namespace
}  // namespace posix

IPlatform& NativePlatform() {
    // Never destroyed: threads the program does not wait for (the removal watcher) may still
    // call it while the process runs its exit-time destructors.
    static posix::CPosixPlatform& s_platform = *new posix::CPosixPlatform;
    return s_platform;
}

}  // namespace platform
