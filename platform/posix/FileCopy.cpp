// Copies a file through an unnamed file or a temporary sibling that takes the target's name only
// while it is free.
#include "platform/posix/FileCopy.h"

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <limits>
#include <memory>
#include <mutex>
#include <set>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

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
    CFileDescriptor(CFileDescriptor&& other) noexcept : m_fd(other.Release()) {}
    CFileDescriptor& operator=(CFileDescriptor&& other) noexcept {
        if (this != &other) {
            Close();
            m_fd = other.Release();
        }
        return *this;
    }
    ~CFileDescriptor() { Close(); }
    int Get() const { return m_fd; }
    // Hands the descriptor over to the caller, who closes it.
    int Release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
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

// A file of a copy in the making: without a name (unnamed) or under a temporary one.
struct SCopyFile {
    CFileDescriptor file;
    std::string strTemporary;  // empty for an unnamed file
    bool bHeld = false;        // counted among the unnamed files held open (CUnnamedFiles)
};

// Half of the files this process may have open: what its held copies may take.
std::size_t ReadAllowance() {
    constexpr rlim_t kMost = rlim_t{1} << 16;
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return 0;
    }
    return static_cast<std::size_t>(std::min(limit.rlim_cur, kMost) / 2);
}

// Copies are made as files without a name in their target's folder (O_TMPFILE) where the file
// system has them: such a file shows in no folder, no crash can leave it behind, and it takes its
// name with one link, where a temporary file costs a name made and a rename. Each is held open
// until its name is given; a batch holds at most half of what the process may have open, so
// that everything else keeps the rest, and makes its later copies under temporary names.
class CUnnamedFiles {
public:
    // Whether a copy into folder is to be tried as an unnamed file; with bHold, one that is held
    // open past the copy, counted until Release.
    bool Take(const std::string& folder, bool bHold) {
        if (!UnnamedFilesLinkable()) {
            return false;
        }
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_bAllowed || m_refused.count(folder) != 0) {
            return false;
        }
        if (!bHold) {
            return true;
        }
        // Read again at the first of a batch: the limit can change while the process runs.
        if (m_nHeld == 0) {
            m_nAllowance = ReadAllowance();
        }
        if (m_nHeld >= m_nAllowance) {
            return false;
        }
        ++m_nHeld;
        return true;
    }

    void Release() {
        const std::lock_guard<std::mutex> lock(m_mutex);
        --m_nHeld;
    }

    void Allow(bool bAllow) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_bAllowed = bAllow;
    }

    // The file system of folder has no unnamed files: copies into it take temporary names.
    void Refused(const std::string& folder) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_refused.insert(folder);
    }

private:
    std::mutex m_mutex;
    bool m_bAllowed = true;
    std::size_t m_nHeld = 0;
    std::size_t m_nAllowance = 0;
    std::set<std::string> m_refused;
};

CUnnamedFiles& UnnamedFiles() {
    // Never destroyed, as the platform that uses it.
    static CUnnamedFiles& s_files = *new CUnnamedFiles;
    return s_files;
}

// How open(O_TMPFILE) says that a file system (EOPNOTSUPP), or a kernel that predates the flag
// (EISDIR), has no unnamed files; some file systems say EINVAL.
bool RefusesUnnamed(int error) { return error == EOPNOTSUPP || error == EISDIR || error == EINVAL; }

int CreateUnnamed(const std::string& folder) {
    return open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, kCopyMode);
}

// Unnamed files made ahead, on a thread of their own, for the copies a batch makes into one
// folder. Making the file is most of what a small copy costs (the file system's search for a
// free inode), and an unnamed file, unlike a named one, is made without locking its folder: so
// this thread and the batch's make them side by side, on two processors where there are two. A
// file never used vanishes when it is closed. The thread takes no signals: they go to the
// program's own threads, as before.
class CUnnamedFileMaker {
public:
    explicit CUnnamedFileMaker(std::size_t nMost) : m_nMost(nMost), m_thread([this] { Run(); }) {}
    ~CUnnamedFileMaker() {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_bStop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    CUnnamedFileMaker(const CUnnamedFileMaker&) = delete;
    CUnnamedFileMaker& operator=(const CUnnamedFileMaker&) = delete;

    // A file made ahead in folder, or -1 when none is ready (the caller makes its own); from now
    // on, files are made ahead for folder.
    int Take(const std::string& folder) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        int fd = -1;
        if (folder != m_strFolder) {
            m_ready.clear();
            m_strFolder = folder;
            m_bFailed = false;
        } else if (!m_ready.empty()) {
            fd = m_ready.front().Release();
            m_ready.pop_front();
        }
        m_wake.notify_one();
        return fd;
    }

private:
    void Run() {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, nullptr);
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] {
                return m_bStop || (!m_strFolder.empty() && !m_bFailed && m_ready.size() < m_nMost);
            });
            if (m_bStop) {
                return;
            }
            const std::string folder = m_strFolder;
            lock.unlock();
            CFileDescriptor file(CreateUnnamed(folder));
            lock.lock();
            if (folder != m_strFolder) {
                continue;  // made for a folder the batch has left: it vanishes
            }
            if (file.Get() >= 0) {
                m_ready.push_back(std::move(file));
            } else {
                // The copies make their own files and meet the failure themselves.
                m_bFailed = true;
            }
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<CFileDescriptor> m_ready;
    std::string m_strFolder;
    const std::size_t m_nMost;
    bool m_bFailed = false;
    bool m_bStop = false;
    std::thread m_thread;  // last: started once everything it uses is there
};

// The maker of this thread's batch, from its first unnamed copy until the batch ends.
thread_local std::unique_ptr<CUnnamedFileMaker> t_pMaker;

// Files made ahead at most: enough to keep the maker busy while the batch copies, few enough
// that those left unused where the batch moves on to another folder cost little. Never more
// than a quarter of the held copies' allowance.
constexpr std::size_t kMostMadeAhead = 4;

// Whether this process may run on more than one processor: on one, a maker would only take turns
// with the batch, and add the cost of handing files over.
bool RunsOnSeveralProcessors() {
    cpu_set_t processors;
    CPU_ZERO(&processors);
    return sched_getaffinity(0, sizeof processors, &processors) == 0 && CPU_COUNT(&processors) > 1;
}

// An unnamed file for a copy that the batch holds: one made ahead, else one made now, after
// which files are made ahead for folder. -1 with errno set on failure.
int CreateHeldUnnamed(const std::string& folder) {
    if (t_pMaker) {
        const int fd = t_pMaker->Take(folder);
        if (fd >= 0) {
            return fd;
        }
    }
    const int fd = CreateUnnamed(folder);
    if (fd >= 0 && !t_pMaker) {
        const std::size_t nMost = std::min(kMostMadeAhead, ReadAllowance() / 4);
        try {
            if (nMost > 0 && RunsOnSeveralProcessors()) {
                t_pMaker = std::make_unique<CUnnamedFileMaker>(nMost);
                t_pMaker->Take(folder);
            }
        } catch (const std::system_error&) {
            // No thread to spare: the batch makes every file itself.
        }
    }
    return fd;
}

// Opens a new file in folder for a copy: unnamed where it can be, else a temporary file. False
// with errno set on failure.
bool CreateCopyFile(const std::string& folder, bool bHold, SCopyFile& copy) {
    if (UnnamedFiles().Take(folder, bHold)) {
        const int fd = bHold ? CreateHeldUnnamed(folder) : CreateUnnamed(folder);
        if (fd >= 0) {
            copy.file = CFileDescriptor(fd);
            copy.bHeld = bHold;
            return true;
        }
        const int error = errno;
        if (bHold) {
            UnnamedFiles().Release();
        }
        if (RefusesUnnamed(error)) {
            UnnamedFiles().Refused(folder);
        } else if (error != EMFILE && error != ENFILE) {
            return FailWith(error);
        }
    }
    copy.file = CFileDescriptor(CreateTemporary(folder, copy.strTemporary));
    return copy.file.Get() >= 0;
}

// Drops a copy that will not take its name: an unnamed file goes with its descriptor.
void DropCopyFile(SCopyFile& copy) {
    copy.file.Close();
    if (!copy.strTemporary.empty()) {
        RemoveEntry(copy.strTemporary);
    }
    if (copy.bHeld) {
        UnnamedFiles().Release();
        copy.bHeld = false;
    }
}

// Copies source into a new file for target (see CreateCopyFile); with bFlush the copy is on disk
// when this returns, else its writing has only begun. False (errno set, nothing left behind) on
// failure. An unnamed copy stays open in copy for its name to be given; a temporary one is
// closed.
bool CopyToCopyFile(const std::string& source, const std::string& target,
                    const ContentCopier& copyContent, bool bFlush, SCopyFile& copy,
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

    if (!CreateCopyFile(FolderOf(target), !bFlush, copy)) {
        return false;
    }
    const int to = copy.file.Get();
    bool bDone = copyContent(from.Get(), to);
    if (bDone) {
        // The copy keeps the source's modification time, as copies on Windows do; a file
        // system that cannot store it does not fail the copy.
        const timespec times[2] = {sourceInfo.st_atim, sourceInfo.st_mtim};
        futimens(to, times);
        bytes = SizeOf(to);
        if (bFlush) {
            bDone = fsync(to) == 0;
        } else if (bytes >= kEarlyWritebackSize) {
            // The disk starts on it now, so that the batch's one flush has less left to wait
            // for; only a hint, its result does not matter. Small files are left to that flush,
            // which writes them together rather than one request each.
            sync_file_range(to, 0, 0, SYNC_FILE_RANGE_WRITE);
        }
    }
    int error = bDone ? 0 : errno;
    // A failed close can be the first report of a failed write (on network file systems, which
    // have no unnamed files).
    if (!copy.strTemporary.empty() && !copy.file.Close() && bDone) {
        bDone = false;
        error = errno;
    }
    if (!bDone) {
        DropCopyFile(copy);
        return FailWith(error);
    }
    return true;
}

// Gives the copy target's name unless a file has it (EEXIST); -1 with errno set on failure.
int NameCopyFile(const SCopyFile& copy, const std::string& target) {
    return copy.strTemporary.empty() ? LinkUnnamed(copy.file.Get(), target)
                                     : RenameToNewName(copy.strTemporary, target);
}

// Flushes the file systems holding the folders (syncfs), each once however many of the folders
// it holds; 0, or the errno of the first call that fails.
int FlushFileSystems(const std::set<std::string>& folders) {
    std::set<dev_t> flushed;
    for (const std::string& folder : folders) {
        const CFileDescriptor handle(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        struct stat info {};
        if (handle.Get() < 0 || fstat(handle.Get(), &info) != 0) {
            return errno;
        }
        if (flushed.insert(info.st_dev).second && syncfs(handle.Get()) != 0) {
            return errno;
        }
    }
    return 0;
}

// Makes renames in folder durable; the copies have succeeded whatever this says.
void FlushFolder(const std::string& folder) {
    const CFileDescriptor handle(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (handle.Get() >= 0) {
        fsync(handle.Get());
    }
}

// The copy a batch holds, back in the form the copy was made in, and the batch's record of it
// emptied so that it is dropped only once.
SCopyFile TakeCopyFile(SStagedCopy& staged) {
    SCopyFile copy;
    copy.file = CFileDescriptor(staged.nUnnamed);
    copy.bHeld = staged.nUnnamed >= 0;
    copy.strTemporary = std::move(staged.strTemporary);
    staged.nUnnamed = -1;
    staged.strTemporary.clear();
    return copy;
}

}  // namespace

void AllowUnnamedCopies(bool bAllow) { UnnamedFiles().Allow(bAllow); }

bool CopyToNewFile(const std::string& source, const std::string& target) {
    return CopyToNewFile(source, target, CopyContent);
}

bool CopyToNewFile(const std::string& source, const std::string& target,
                   const ContentCopier& copyContent) {
    SCopyFile copy;
    std::uint64_t bytes = 0;
    if (!CopyToCopyFile(source, target, copyContent, true, copy, bytes)) {
        return false;
    }
    if (NameCopyFile(copy, target) != 0) {
        const int error = errno;
        DropCopyFile(copy);
        return FailWith(error);
    }
    if (copy.strTemporary.empty()) {
        // The link count the file gained with its name; on a file system without a journal the
        // folder's flush does not write it.
        fsync(copy.file.Get());
    }
    copy.strTemporary.clear();
    DropCopyFile(copy);
    FlushFolder(FolderOf(target));
    return true;
}

bool StageCopy(const std::string& source, const std::string& target, SStagedCopy& staged) {
    staged.strTarget = target;
    SCopyFile copy;
    if (!CopyToCopyFile(source, target, CopyContent, false, copy, staged.bytes)) {
        return false;
    }
    if (copy.strTemporary.empty()) {
        staged.nUnnamed = copy.file.Release();
    } else {
        staged.strTemporary = std::move(copy.strTemporary);
    }
    return true;
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
    const int error = FlushFileSystems(folders);
    CFolderChangeRun names;
    for (SStagedCopy& item : staged) {
        SCopyFile copy = TakeCopyFile(item);
        if (error == 0 && NameCopyFile(copy, item.strTarget) == 0) {
            item.bDone = true;
            copy.strTemporary.clear();
        } else {
            item.nError = error != 0 ? error : errno;
        }
        DropCopyFile(copy);
    }
    // The names, and the link counts the unnamed files gained with them, go to disk in one more
    // flush; the copies have succeeded whatever it says.
    FlushFileSystems(folders);
}

void DiscardStaged(std::vector<SStagedCopy>& staged) {
    for (SStagedCopy& item : staged) {
        SCopyFile copy = TakeCopyFile(item);
        DropCopyFile(copy);
    }
    staged.clear();
    // Only the batch's end discards: nothing more is made ahead for it.
    t_pMaker.reset();
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
