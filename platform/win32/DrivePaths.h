// Path handling of the Win32 seam: drive letters mapped by the process, separators, and the
// checks a copy target must pass before it reaches the file system.
#pragma once

#include <array>
#include <mutex>

#include "platform/Text.h"

namespace platform::win32 {

// Drive letters the process has mapped to folders, consulted before the system's own drives.
class CDriveMap {
public:
    void Map(WChar letter, const WString& folder);
    // path with '/' turned into '\' and, when it starts with a mapped "X:", that prefix
    // replaced by the folder. Extended-length paths ("\\?\...") are taken literally.
    WString Resolve(const WString& path) const;

private:
    mutable std::mutex m_mutex;
    std::array<WString, 26> m_aFolders;  // by letter, 'A' first; empty when not mapped
};

// Index just past a drive prefix ("X:" or "\\?\X:"), 0 when there is none.
std::size_t DrivePrefixLength(const WString& path);

// True when a ':' follows the drive prefix: on NTFS it would name an alternate data stream of
// some other file instead of a file of its own.
bool HasStreamColon(const WString& path);

// The folder that holds the file path names, in a form that can have a file name appended
// after a '\' ("X:" for a drive-relative name, "." for a bare one).
WString ParentFolder(const WString& path);

}  // namespace platform::win32
