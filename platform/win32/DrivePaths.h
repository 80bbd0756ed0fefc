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

// Paths of this many characters or more get the extended-length form: the classic calls refuse
// a folder path whose 8.3 file name (12 characters) would no longer fit in MAX_PATH.
inline constexpr std::size_t kClassicPathLimit = 260 - 12;
// The longest path the system takes in the extended-length form, its terminator included.
inline constexpr std::size_t kMaxLongPath = 32767;

// path as the file calls must be given it to reach any length: a path shorter than the classic
// limit as it is; a longer one made absolute and normal (GetFullPathNameW: separators, "." and
// "..", trailing dots and spaces, as the classic calls would) and then given the "\\?\" prefix,
// or "\\?\UNC\" for a network path, which stops the system from parsing it again. Paths
// already in an extended ("\\?\") or device ("\\.\") form are kept as they are.
WString LongPathForm(const WString& path);

// Index just past a drive prefix ("X:" or "\\?\X:"), 0 when there is none.
std::size_t DrivePrefixLength(const WString& path);

// True when a ':' follows the drive prefix: on NTFS it would name an alternate data stream of
// some other file instead of a file of its own.
bool HasStreamColon(const WString& path);

// The folder that holds the file path names, in a form that can have a file name appended
// after a '\' ("X:" for a drive-relative name, "." for a bare one).
WString ParentFolder(const WString& path);

}  // namespace platform::win32
