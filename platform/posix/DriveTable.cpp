// Builds the drive-letter table from the mount table, the environment and the program's own
// mappings.
#include "platform/posix/DriveTable.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace platform::posix {
namespace {

constexpr char kFirstMountLetter = 'D';

// mountinfo escapes space, tab, newline and backslash in paths as \ooo.
std::string DecodeOctalEscapes(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && text.size() - i > 3) {
            const char a = text[i + 1];
            const char b = text[i + 2];
            const char c = text[i + 3];
            if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
                decoded.push_back(static_cast<char>((a - '0') * 64 + (b - '0') * 8 + (c - '0')));
                i += 3;
                continue;
            }
        }
        decoded.push_back(text[i]);
    }
    return decoded;
}

bool LiesUnder(std::string_view path, std::string_view folder) {
    return path.size() > folder.size() + 1 && path.substr(0, folder.size()) == folder &&
           path[folder.size()] == '/';
}

std::string_view NthField(std::string_view line, int index) {
    std::size_t pos = 0;
    for (int field = 0;; ++field) {
        while (pos < line.size() && line[pos] == ' ') {
            ++pos;
        }
        const std::size_t end = std::min(line.find(' ', pos), line.size());
        if (field == index) {
            return line.substr(pos, end - pos);
        }
        if (end >= line.size()) {
            return {};
        }
        pos = end;
    }
}

std::string WithoutTrailingSlashes(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return folder;
}

}  // namespace

char DriveLetterFrom(unsigned int character) {
    if (character >= 'a' && character <= 'z') {
        return static_cast<char>(character - 'a' + 'A');
    }
    if (character >= 'A' && character <= 'Z') {
        return static_cast<char>(character);
    }
    return 0;
}

std::vector<std::string> RemovableMountPoints(std::string_view mountInfo) {
    std::vector<std::string> mountPoints;
    while (!mountInfo.empty()) {
        const std::size_t end = std::min(mountInfo.find('\n'), mountInfo.size());
        const std::string_view line = mountInfo.substr(0, end);
        mountInfo.remove_prefix(std::min(end + 1, mountInfo.size()));
        // Fields: id, parent id, major:minor, root, mount point, ...
        const std::string mountPoint = DecodeOctalEscapes(NthField(line, 4));
        if (LiesUnder(mountPoint, "/media") || LiesUnder(mountPoint, "/run/media") ||
            LiesUnder(mountPoint, "/mnt")) {
            mountPoints.push_back(mountPoint);
        }
    }
    std::sort(mountPoints.begin(), mountPoints.end());
    mountPoints.erase(std::unique(mountPoints.begin(), mountPoints.end()), mountPoints.end());
    return mountPoints;
}

DriveMap DrivesFromMountPoints(const std::vector<std::string>& mountPoints) {
    DriveMap drives;
    char letter = kFirstMountLetter;
    for (const std::string& mountPoint : mountPoints) {
        if (letter > 'Z') {
            break;
        }
        drives[letter++] = mountPoint;
    }
    return drives;
}

DriveMap ParseDriveList(std::string_view list) {
    DriveMap drives;
    while (!list.empty()) {
        const std::size_t end = std::min(list.find(';'), list.size());
        const std::string_view entry = list.substr(0, end);
        list.remove_prefix(std::min(end + 1, list.size()));
        if (entry.size() < 3 || entry[1] != '=') {
            continue;
        }
        const char letter = DriveLetterFrom(static_cast<unsigned char>(entry[0]));
        if (letter != 0) {
            drives[letter] = WithoutTrailingSlashes(std::string(entry.substr(2)));
        }
    }
    return drives;
}

DriveMap SystemDrives() {
    if (const char* list = std::getenv("KESTRUM_DRIVES"); list != nullptr) {
        return ParseDriveList(list);
    }
    std::ifstream file("/proc/self/mountinfo");
    if (!file) {
        return {};
    }
    const std::string text(std::istreambuf_iterator<char>(file), {});
    return DrivesFromMountPoints(RemovableMountPoints(text));
}

void CDriveTable::Map(char letter, std::string folder) {
    letter = DriveLetterFrom(static_cast<unsigned char>(letter));
    if (letter == 0 || folder.empty()) {
        return;
    }
    const std::lock_guard lock(m_mutex);
    m_mapped[letter] = WithoutTrailingSlashes(std::move(folder));
}

bool CDriveTable::Lookup(char letter, std::string& folder) const {
    letter = DriveLetterFrom(static_cast<unsigned char>(letter));
    if (letter == 0) {
        return false;
    }
    {
        const std::lock_guard lock(m_mutex);
        if (const auto found = m_mapped.find(letter); found != m_mapped.end()) {
            folder = found->second;
            return true;
        }
    }
    const DriveMap system = SystemDrives();
    if (const auto found = system.find(letter); found != system.end()) {
        folder = found->second;
        return true;
    }
    return false;
}

}  // namespace platform::posix
