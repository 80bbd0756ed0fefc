// Writes small players for the Qt tests: SysInfo, an iTunesDB made by the database writer and
// one file per song, under a folder that a drive letter is then mapped to.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace qttest {

struct SSong {
    std::string title;
    std::string artist;
    std::string album;
};

// Writes the player into folder (created); song i's file is iPod_Control/Music/F00/S<i>.mp3
// holding the text "song <i>". False when a file could not be written.
bool WritePlayer(const std::filesystem::path& folder, const std::vector<SSong>& songs);

// A fresh folder of the test's own under the system's temporary folder.
std::filesystem::path FreshFolder(const std::string& name);

}  // namespace qttest
