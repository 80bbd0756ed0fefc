// Keeps the listings of the folders a copy batch writes into, so that each is read once.
#include "platform/posix/FolderListings.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string_view>
#include <unordered_map>

#include "platform/CopyBatch.h"

namespace platform::posix {
namespace {

// Enough for a run that files songs into one folder per artist or album.
constexpr std::size_t kMaxKeptListings = 256;
// The folder in which each open file of this process appears as a link to it.
constexpr std::string_view kOwnHandles = "/proc/self/fd/";

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Lowered(std::string name) {
    for (char& c : name) {
        c = AsciiLower(c);
    }
    return name;
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ListableFolder(const std::string& folder) { return folder.empty() ? "." : folder; }

// A change to a folder's entries moves its modification time; a new folder under the same
// name is another inode.
struct SStamp {
    dev_t device = 0;
    ino_t inode = 0;
    timespec modified{};

    bool operator==(const SStamp& other) const {
        return device == other.device && inode == other.inode &&
               modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec;
    }
};

bool StampOf(const std::string& folder, SStamp& stamp) {
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return false;
    }
    stamp = {info.st_dev, info.st_ino, info.st_mtim};
    return true;
}

// A folder's entries by their name in lower case.
using NamesByLowered = std::map<std::string, std::set<std::string>>;

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

bool ReadNames(const std::string& folder, NamesByLowered& names) {
    const std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir) {
        return false;
    }
    while (const dirent* entry = readdir(dir.get())) {
        names[Lowered(entry->d_name)].insert(entry->d_name);
    }
    return true;
}

bool FindIn(const NamesByLowered& names, const std::string& name, std::string& found) {
    const auto match = names.find(Lowered(name));
    if (match == names.end() || match->second.empty()) {
        return false;
    }
    found = *match->second.begin();
    return true;
}

class CKeptListings {
public:
    bool Find(const std::string& folder, const std::string& name, std::string& found) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        SStamp stamp;
        if (!StampOf(folder, stamp)) {
            return false;
        }
        if (const auto kept = m_kept.find(folder);
            kept != m_kept.end() && kept->second.stamp == stamp) {
            return FindIn(kept->second.names, name, found);
        }
        // Stamped before reading: a change made while reading leaves a stale stamp, and the
        // next look reads the folder again.
        SKept listing{stamp, {}};
        if (!ReadNames(folder, listing.names)) {
            m_kept.erase(folder);
            return false;
        }
        const bool bFound = FindIn(listing.names, name, found);
        if (m_kept.size() >= kMaxKeptListings) {
            m_kept.clear();
        }
        m_kept[folder] = std::move(listing);
        return bFound;
    }

    // Runs call, which may remove the entry removed and add the entry added (paths; empty for
    // none), and tells the kept listings of their folders what it did.
    template <typename Call>
    int Changing(const std::string& removed, const std::string& added, Call call) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_kept.empty()) {
            return call();
        }
        const std::string removedFrom = removed.empty() ? std::string() : FolderOf(removed);
        const std::string addedTo = added.empty() ? std::string() : FolderOf(added);
        const bool bOneFolder = removedFrom == addedTo;
        const bool bRemovedKept = IsCurrentForChange(removedFrom);
        const bool bAddedKept = bOneFolder ? bRemovedKept : IsCurrentForChange(addedTo);
        const int result = call();
        if (result < 0) {
            return result;
        }
        const int error = errno;
        if (bRemovedKept) {
            Forget(removedFrom, NameOf(removed));
        }
        if (bAddedKept) {
            m_kept[addedTo].names[Lowered(NameOf(added))].insert(NameOf(added));
        }
        if (t_pRun == nullptr) {
            Restamp(removedFrom);
            if (!bOneFolder) {
                Restamp(addedTo);
            }
        }
        errno = error;
        return result;
    }

    // The changes this thread makes from now until EndRun check each folder's listing once,
    // before the first, and stamp it once, after the last.
    void BeginRun(std::map<std::string, bool>& checked) { t_pRun = &checked; }

    void EndRun() {
        const std::lock_guard<std::mutex> lock(m_mutex);
        for (const auto& [folder, bKept] : *t_pRun) {
            if (bKept) {
                Restamp(folder);
            } else {
                // Read by another thread in the meantime, it may lack this run's later changes.
                m_kept.erase(folder);
            }
        }
        t_pRun = nullptr;
    }

private:
    struct SKept {
        SStamp stamp;
        NamesByLowered names;
    };

    // Within a run, a folder is checked at its first change only.
    bool IsCurrentForChange(const std::string& folder) {
        if (t_pRun == nullptr || folder.empty()) {
            return IsCurrent(folder);
        }
        if (const auto checked = t_pRun->find(folder); checked != t_pRun->end()) {
            return checked->second && m_kept.count(folder) != 0;
        }
        const bool bCurrent = IsCurrent(folder);
        t_pRun->emplace(folder, bCurrent);
        return bCurrent;
    }

    // Whether folder's kept listing (if any) still lists it; a stale one is dropped.
    bool IsCurrent(const std::string& folder) {
        const auto kept = m_kept.find(folder);
        if (kept == m_kept.end()) {
            return false;
        }
        SStamp stamp;
        if (StampOf(folder, stamp) && stamp == kept->second.stamp) {
            return true;
        }
        m_kept.erase(kept);
        return false;
    }

    void Forget(const std::string& folder, const std::string& name) {
        const auto kept = m_kept.find(folder);
        if (kept == m_kept.end()) {
            return;
        }
        const auto lowered = kept->second.names.find(Lowered(name));
        if (lowered != kept->second.names.end()) {
            lowered->second.erase(name);
        }
    }

    void Restamp(const std::string& folder) {
        const auto kept = m_kept.find(folder);
        if (kept != m_kept.end() && !StampOf(folder, kept->second.stamp)) {
            m_kept.erase(kept);
        }
    }

    std::mutex m_mutex;
    std::unordered_map<std::string, SKept> m_kept;
    // The folders of this thread's run of changes, and whether each had a current listing.
    static thread_local std::map<std::string, bool>* t_pRun;
};

thread_local std::map<std::string, bool>* CKeptListings::t_pRun = nullptr;

CKeptListings& KeptListings() {
    // Never destroyed, as the platform that uses it.
    static CKeptListings& s_listings = *new CKeptListings;
    return s_listings;
}

}  // namespace

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

CFolderChangeRun::CFolderChangeRun() { KeptListings().BeginRun(m_checked); }

CFolderChangeRun::~CFolderChangeRun() { KeptListings().EndRun(); }

bool FindIgnoringCase(const std::string& folder, const std::string& name, std::string& found) {
    if (CCopyBatch::Current() != nullptr) {
        return KeptListings().Find(ListableFolder(folder), name, found);
    }
    NamesByLowered names;
    return ReadNames(ListableFolder(folder), names) && FindIn(names, name, found);
}

int CreateNewFile(const std::string& path, int flags, mode_t mode) {
    return KeptListings().Changing(
        std::string(), path, [&] { return open(path.c_str(), flags | O_CREAT | O_EXCL, mode); });
}

int MakeFolder(const std::string& path, mode_t mode) {
    return KeptListings().Changing(std::string(), path, [&] { return mkdir(path.c_str(), mode); });
}

int RenameToNewName(const std::string& from, const std::string& to) {
    return KeptListings().Changing(from, to, [&] {
        if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
            return 0;
        }
        // EINVAL: the file system takes no flags (some network and FUSE ones); ENOSYS: an old
        // kernel; EOPNOTSUPP (ENOTSUP): a file system that says so outright.
        if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) {
            return LinkToNewName(from, to);
        }
        return -1;
    });
}

int RemoveEntry(const std::string& path) {
    return KeptListings().Changing(path, std::string(), [&] { return unlink(path.c_str()); });
}

int LinkUnnamed(int fd, const std::string& to) {
    // Straight from the descriptor where the process may (CAP_DAC_READ_SEARCH, ENOENT without
    // it), which spares resolving its link under /proc; once refused, never tried again.
    static std::atomic<bool> s_bFromDescriptor{true};
    return KeptListings().Changing(std::string(), to, [&] {
        const bool bFromDescriptor = s_bFromDescriptor;
        if (bFromDescriptor) {
            if (linkat(fd, "", AT_FDCWD, to.c_str(), AT_EMPTY_PATH) == 0) {
                return 0;
            }
            if (errno != ENOENT && errno != EPERM) {
                return -1;
            }
        }
        const std::string handle = std::string(kOwnHandles) + std::to_string(fd);
        const int result =
            linkat(AT_FDCWD, handle.c_str(), AT_FDCWD, to.c_str(), AT_SYMLINK_FOLLOW);
        if (result == 0 && bFromDescriptor) {
            s_bFromDescriptor = false;
        }
        return result;
    });
}

bool UnnamedFilesLinkable() {
    static const bool s_bLinkable = access(kOwnHandles.data(), X_OK) == 0;
    return s_bLinkable;
}

int LinkToNewName(const std::string& from, const std::string& to) {
    if (link(from.c_str(), to.c_str()) != 0) {
        return -1;
    }
    // The file has its name; a left-over second name would only be untidy, so this cannot fail
    // the move.
    const int error = errno;
    unlink(from.c_str());
    errno = error;
    return 0;
}

}  // namespace platform::posix
