// Maps Windows-form paths onto the native file system, matching names without regard to case.
#include "platform/posix/PathMapper.h"

#include <sys/stat.h>

#include <cerrno>
#include <vector>

#include "platform/posix/FolderListings.h"

namespace platform::posix {
namespace {

bool IsSeparator(WChar c) { return c == u'\\' || c == u'/'; }

std::string Joined(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return name;
    }
    return folder.back() == '/' ? folder + name : folder + '/' + name;
}

}  // namespace

bool NativePathFrom(WStringView path, const CDriveTable& drives, std::string& native) {
    std::string resolved;
    if (path.size() >= 2 && path[1] == u':' && DriveLetterFrom(path[0]) != 0) {
        if (!drives.Lookup(DriveLetterFrom(path[0]), resolved)) {
            errno = ENOENT;
            return false;
        }
        path.remove_prefix(2);
    } else if (path.empty()) {
        errno = ENOENT;
        return false;
    } else if (IsSeparator(path[0])) {
        resolved = "/";
    }

    std::vector<std::string> components;
    while (!path.empty()) {
        std::size_t end = 0;
        while (end < path.size() && !IsSeparator(path[end])) {
            ++end;
        }
        if (end > 0) {
            components.push_back(Utf8FromWide(path.substr(0, end)));
        }
        path.remove_prefix(end < path.size() ? end + 1 : end);
    }

    // Most paths are written as they exist (every song's source; a copy's folder): one look at
    // the whole path, or at its folder, then spares a look at every folder on the way.
    std::size_t nFirst = 0;
    // The component already looked at and found missing as written (its errno kept), if any.
    std::size_t nKnownMissing = components.size();
    int knownError = 0;
    if (!components.empty()) {
        std::string folder = resolved;
        for (std::size_t i = 0; i + 1 < components.size(); ++i) {
            folder = Joined(folder, components[i]);
        }
        struct stat info {};
        const std::string whole = Joined(folder, components.back());
        if (lstat(whole.c_str(), &info) == 0) {
            native = whole;
            return true;
        }
        knownError = errno;
        if (components.size() > 1 && lstat(folder.c_str(), &info) == 0) {
            resolved = std::move(folder);
            nFirst = components.size() - 1;
            nKnownMissing = nFirst;
        }
    }

    bool bResolving = true;
    for (std::size_t i = nFirst; i < components.size(); ++i) {
        const std::string& component = components[i];
        std::string candidate = Joined(resolved, component);
        if (bResolving) {
            struct stat info {};
            if (i == nKnownMissing) {
                errno = knownError;
            }
            if (i == nKnownMissing || lstat(candidate.c_str(), &info) != 0) {
                std::string match;
                if (errno == ENOENT && FindIgnoringCase(resolved, component, match)) {
                    candidate = Joined(resolved, match);
                } else {
                    // Nothing below a missing or unreadable folder can be matched.
                    bResolving = false;
                }
            }
        }
        resolved = std::move(candidate);
    }
    if (resolved.empty()) {
        resolved = ".";
    }
    native = std::move(resolved);
    return true;
}

}  // namespace platform::posix
