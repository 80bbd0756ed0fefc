// Path handling of the Win32 seam: mapped drive letters, separators, stream names.
#include "platform/win32/DrivePaths.h"

#include <vector>

#include "platform/win32/WinApi.h"

namespace platform::win32 {
namespace {

constexpr WChar kSeparator = u'\\';

bool IsLetter(WChar c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

WChar Upper(WChar c) { return (c >= u'a' && c <= u'z') ? static_cast<WChar>(c - 0x20) : c; }

bool IsExtended(const WString& path) { return path.starts_with(u"\\\\?\\"); }

bool IsDevice(const WString& path) { return path.starts_with(u"\\\\.\\"); }

bool HasDrive(const WString& path) {
    return path.size() >= 2 && IsLetter(path[0]) && path[1] == u':';
}

}  // namespace

void CDriveMap::Map(WChar letter, const WString& folder) {
    if (!IsLetter(letter)) {
        return;
    }
    WString normal = folder;
    for (WChar& c : normal) {
        if (c == u'/') {
            c = kSeparator;
        }
    }
    // "C:\" keeps its separator: "C:" alone would mean the current folder of drive C.
    while (normal.size() > 1 && normal.back() == kSeparator &&
           !(normal.size() == 3 && HasDrive(normal))) {
        normal.pop_back();
    }
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_aFolders[static_cast<std::size_t>(Upper(letter) - u'A')] = normal;
}

WString CDriveMap::Resolve(const WString& path) const {
    if (IsExtended(path)) {
        return path;
    }
    WString normal = path;
    for (WChar& c : normal) {
        if (c == u'/') {
            c = kSeparator;
        }
    }
    if (!HasDrive(normal)) {
        return normal;
    }
    WString folder;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        folder = m_aFolders[static_cast<std::size_t>(Upper(normal[0]) - u'A')];
    }
    if (folder.empty()) {
        return normal;
    }
    const WString rest = normal.substr(2);
    if (rest.empty()) {
        return folder;
    }
    if (folder.back() != kSeparator) {
        folder.push_back(kSeparator);
    }
    // "X:\rest" and the drive-relative "X:rest" both land in the folder.
    return folder + (rest.front() == kSeparator ? rest.substr(1) : rest);
}

WString LongPathForm(const WString& path) {
    const bool bDriveAbsolute = HasDrive(path) && path.size() > 2 && path[2] == kSeparator;
    if (IsExtended(path) || IsDevice(path) || (path.size() < kClassicPathLimit && bDriveAbsolute)) {
        return path;
    }
    // A relative path is measured once it is absolute: the current folder may make it long.
    const auto* pszPath = reinterpret_cast<const wchar_t*>(path.c_str());
    std::vector<wchar_t> full(path.size() + MAX_PATH);
    DWORD nLength =
        ::GetFullPathNameW(pszPath, static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (nLength >= full.size()) {
        full.resize(nLength);
        nLength =
            ::GetFullPathNameW(pszPath, static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    if (nLength == 0 || nLength >= full.size() || nLength < kClassicPathLimit) {
        return path;
    }
    const WString absolute(reinterpret_cast<const WChar*>(full.data()), nLength);
    if (absolute.starts_with(u"\\\\")) {
        return u"\\\\?\\UNC\\" + absolute.substr(2);
    }
    return u"\\\\?\\" + absolute;
}

std::size_t DrivePrefixLength(const WString& path) {
    const std::size_t start = IsExtended(path) ? 4 : 0;
    const WString tail = path.substr(start);
    return HasDrive(tail) ? start + 2 : start;
}

bool HasStreamColon(const WString& path) {
    return path.find(u':', DrivePrefixLength(path)) != WString::npos;
}

WString ParentFolder(const WString& path) {
    const std::size_t prefix = DrivePrefixLength(path);
    const std::size_t last = path.find_last_of(u"\\/");
    if (last == WString::npos || last < prefix) {
        return prefix > 0 ? path.substr(0, prefix) : WString(u".");
    }
    // A file in a root ("C:\name", "\name") keeps the root's separator.
    const std::size_t start = path.find_first_not_of(u"\\/", prefix);
    if (start == WString::npos || last < start) {
        return path.substr(0, last + 1);
    }
    return path.substr(0, last);
}

}  // namespace platform::win32
