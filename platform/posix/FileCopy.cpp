// Copies a file through a temporary sibling that takes the target's name only while it is free.
#include "platform/posix/FileCopy.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <limits>
#include <memory>
#include <set>
#include <string_view>

#include "platform/CopyProgress.h"
#include "platform/TemporaryName.h"
#include "platform/posix/FolderListings.h"

namespace platform::posix {
namespace {

constexpr std::size_t kBufferSize = std::size_t{1} << 20;
constexpr int kNameAttempts = 100;
// A copy at least this large has its writing started as soon as it is made.
constexpr std::uint64_t kEarlyWritebackSize = std::uint64_t{1} << 20;
// Copies are files for the user to keep; the umask narrows this further.
constexpr mode_t kCopyMode = 0644;

class CFileDescriptor {
public:
    explicit CFileDescriptor(int fd = -1) : m_fd(fd) {}
    CFileDescriptor(const CFileDescriptor&) = delete;
    CFileDescriptor& operator=(const CFileDescriptor&) = delete;
    ~CFileDescriptor() { Close(); }
    int Get() const { return m_fd; }
    bool Close() {
        const int fd = m_fd;
        m_fd = -1;
        return fd < 0 || close(fd) == 0;
    }

private:
    int m_fd;
};

// Keeps errno across cleanup calls that may change it.
bool FailWith(int error) {
    errno = error;
    return false;
}

constexpr std::string_view kTemporaryPrefix = ".kestrum-";

// Creates a new file named ".kestrum-<process id>-<number>.tmp" in folder.
int CreateTemporary(const std::string& folder, std::string& name) {
    static std::atomic<std::uint64_t> s_counter{0};
    // Numbers start from the clock, not 0, so that leftovers of an ended process that had the
    // same id (which RemoveStaleTemporaries cannot tell from this one's) are rarely in the way;
    // a name taken all the same is passed over.
    static const auto s_seed =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    const auto process = static_cast<std::uint64_t>(getpid());
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        name = (folder == "/" ? std::string() : folder) + "/" +
               TemporaryName(kTemporaryPrefix, process, s_seed + s_counter.fetch_add(1));
        const int fd = CreateNewFile(name, O_WRONLY | O_CLOEXEC, kCopyMode);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

// Whether the temporary file name was left by a process that has ended: only ESRCH says so, as
// EPERM is a live process of another user.
bool IsStaleTemporary(const char* name) {
    std::uint64_t owner = 0;
    if (!TemporaryNameOwner(name, kTemporaryPrefix, owner) ||
        owner > static_cast<std::uint64_t>(std::numeric_limits<pid_t>::max())) {
        return false;
    }
    const auto process = static_cast<pid_t>(owner);
    return process != getpid() && kill(process, 0) != 0 && errno == ESRCH;
}

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// Tells this thread's progress how far the copy has got; false (errno ECANCELED) when it says to
// stop.
bool Reported(std::uint64_t copied, std::uint64_t total) {
    if (ReportCopyProgress(copied, total)) {
        return true;
    }
    errno = ECANCELED;
    return false;
}

std::uint64_t SizeOf(int fd) {
    struct stat info {};
    return fstat(fd, &info) == 0 && info.st_size > 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
}

bool CopyByBuffer(int from, int to, std::uint64_t copied, std::uint64_t total) {
    const std::unique_ptr<char[]> buffer(new char[kBufferSize]);
    for (;;) {
        const ssize_t got = read(from, buffer.get(), kBufferSize);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (got == 0) {
            return true;
        }
        if (!WriteAll(to, buffer.get(), static_cast<std::size_t>(got))) {
            return false;
        }
        copied += static_cast<std::uint64_t>(got);
        if (!Reported(copied, total)) {
            return false;
        }
    }
}

// Lets the kernel copy where it can (no trip through user memory, or a shared extent on file
// systems that have them); falls back to the buffer when it cannot copy between these two.
// A source that yields nothing in-kernel (as pseudo files and some network file systems do,
// whatever their size) is read through the buffer as well; for an empty file that costs one
// read.
// Progress is reported after every step of at most kBufferSize bytes.
bool CopyContent(int from, int to) {
    const std::uint64_t total = SizeOf(from);
    std::uint64_t done = 0;
    if (!Reported(0, total)) {
        return false;
    }
    bool bCopiedAny = false;
    for (;;) {
        const ssize_t copied = copy_file_range(from, nullptr, to, nullptr, kBufferSize, 0);
        if (copied > 0) {
            bCopiedAny = true;
            done += static_cast<std::uint64_t>(copied);
            if (!Reported(done, total)) {
                return false;
            }
            continue;
        }
        if (copied == 0) {
            return bCopiedAny || CopyByBuffer(from, to, done, total);
        }
        if (errno == EINTR) {
            continue;
        }
        if (!bCopiedAny && (errno == EXDEV || errno == ENOSYS || errno == EINVAL ||
                            errno == EOPNOTSUPP || errno == EPERM)) {
            return CopyByBuffer(from, to, done, total);
        }
        return false;
    }
}

// Copies source into a new temporary file beside target; with bFlush the copy is on disk when
// this returns, else its writing has only begun. False (errno set, nothing left behind) on
// failure.
bool CopyToTemporary(const std::string& source, const std::string& target,
                     const ContentCopier& copyContent, bool bFlush, std::string& temporary,
                     std::uint64_t& bytes) {
    const CFileDescriptor from(open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (from.Get() < 0) {
        return false;
    }
    struct stat sourceInfo {};
    if (fstat(from.Get(), &sourceInfo) != 0) {
        return false;
    }
    if (!S_ISREG(sourceInfo.st_mode)) {
        return FailWith(S_ISDIR(sourceInfo.st_mode) ? EISDIR : EINVAL);
    }

    CFileDescriptor to(CreateTemporary(FolderOf(target), temporary));
    if (to.Get() < 0) {
        return false;
    }
    bool bDone = copyContent(from.Get(), to.Get());
    if (bDone) {
        // The copy keeps the source's modification time, as copies on Windows do; a file
        // system that cannot store it does not fail the copy.
        const timespec times[2] = {sourceInfo.st_atim, sourceInfo.st_mtim};
        futimens(to.Get(), times);
        bytes = SizeOf(to.Get());
        if (bFlush) {
            bDone = fsync(to.Get()) == 0;
        } else if (bytes >= kEarlyWritebackSize) {
            // The disk starts on it now, so that the batch's one flush has less left to wait
            // for; only a hint, its result does not matter. Small files are left to that flush,
            // which writes them together rather than one request each.
            sync_file_range(to.Get(), 0, 0, SYNC_FILE_RANGE_WRITE);
        }
    }
    int error = bDone ? 0 : errno;
    // A failed close can be the first report of a failed write (on network file systems).
    if (!to.Close() && bDone) {
        bDone = false;
        error = errno;
    }
    if (!bDone) {
        RemoveEntry(temporary);
        return FailWith(error);
    }
    return true;
}

// Makes renames in folder durable; the copies have succeeded whatever this says.
void FlushFolder(const std::string& folder) {
    const CFileDescriptor handle(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (handle.Get() >= 0) {
        fsync(handle.Get());
    }
}

}  // namespace

bool CopyToNewFile(const std::string& source, const std::string& target) {
    return CopyToNewFile(source, target, CopyContent);
}

bool CopyToNewFile(const std::string& source, const std::string& target,
                   const ContentCopier& copyContent) {
    std::string temporary;
    std::uint64_t bytes = 0;
    if (!CopyToTemporary(source, target, copyContent, true, temporary, bytes)) {
        return false;
    }
    if (RenameToNewName(temporary, target) != 0) {
        const int error = errno;
        RemoveEntry(temporary);
        return FailWith(error);
    }
    FlushFolder(FolderOf(target));
    return true;
}

bool StageCopy(const std::string& source, const std::string& target, SStagedCopy& staged) {
    staged.strTarget = target;
    return CopyToTemporary(source, target, CopyContent, false, staged.strTemporary, staged.bytes);
}

void CommitStaged(std::vector<SStagedCopy>& staged) {
    if (staged.empty()) {
        return;
    }
    // One flush of the file system holding the copies puts all of them on disk: this is the
    // wait a copy-by-copy flush pays for every file. Only then may any of them take its name.
    std::set<std::string> folders;
    for (const SStagedCopy& copy : staged) {
        folders.insert(FolderOf(copy.strTarget));
    }
    int error = 0;
    for (const std::string& folder : folders) {
        const CFileDescriptor handle(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (handle.Get() < 0 || syncfs(handle.Get()) != 0) {
            error = errno;
            break;
        }
    }
    CFolderChangeRun renames;
    for (SStagedCopy& copy : staged) {
        if (error == 0 && RenameToNewName(copy.strTemporary, copy.strTarget) == 0) {
            copy.bDone = true;
            continue;
        }
        copy.nError = error != 0 ? error : errno;
        RemoveEntry(copy.strTemporary);
    }
    for (const std::string& folder : folders) {
        FlushFolder(folder);
    }
}

void DiscardStaged(std::vector<SStagedCopy>& staged) {
    for (const SStagedCopy& copy : staged) {
        RemoveEntry(copy.strTemporary);
    }
    staged.clear();
}

bool RemoveStaleTemporaries(const std::string& folder) {
    const std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir) {
        return false;
    }
    const std::string prefix = folder == "/" ? std::string() : folder;
    while (const dirent* entry = readdir(dir.get())) {
        if (!IsStaleTemporary(entry->d_name)) {
            continue;
        }
        // Only a file this program could have made: never a folder or a link of that name.
        const std::string path = prefix + "/" + entry->d_name;
        struct stat info {};
        if (lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
            RemoveEntry(path);
        }
    }
    return true;
}

}  // namespace platform::posix

namespace platform::detail {

void CommitStagedCopies(std::vector<SStagedCopy>& staged) { posix::CommitStaged(staged); }

void DiscardStagedCopies(std::vector<SStagedCopy>& staged) { posix::DiscardStaged(staged); }

}  // namespace platform::detail
