// Drive letters off Windows: which folder stands for "E:" and its siblings.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace platform::posix {

// Upper-case drive letter to native folder.
using DriveMap = std::map<char, std::string>;

// The mount points in a /proc/self/mountinfo text that lie under /media, /run/media or /mnt,
// with their octal escapes decoded, sorted and without repeats.
std::vector<std::string> RemovableMountPoints(std::string_view mountInfo);

// Gives the mount points the letters D, E, F and on, in order; those past Z go without.
DriveMap DrivesFromMountPoints(const std::vector<std::string>& mountPoints);

// Parses a drive list such as "E=/srv/player;G=/tmp/other". Entries without a letter, an
// equals sign or a folder are skipped; a letter given twice keeps its last folder.
DriveMap ParseDriveList(std::string_view list);

// The system's drives: the KESTRUM_DRIVES list when that variable is set (even empty),
// otherwise the removable mounts of this process's mount table, read afresh on every call
// so that a player plugged in or pulled out is seen at once.
DriveMap SystemDrives();

// The process-wide letter table: mappings made by the program come ahead of the system's.
class CDriveTable {
public:
    // letter is case-insensitive; anything but A to Z is ignored, as is an empty folder.
    void Map(char letter, std::string folder);
    // The folder of letter, without trailing slashes (except for "/" itself).
    bool Lookup(char letter, std::string& folder) const;

private:
    // The removal watcher looks letters up from its own thread.
    mutable std::mutex m_mutex;
    DriveMap m_mapped;
};

// Upper-case of an ASCII letter; 0 for anything else.
char DriveLetterFrom(unsigned int character);

}  // namespace platform::posix
