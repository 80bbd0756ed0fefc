// Players for the Qt tests.
#include "TestPlayer.h"

#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <system_error>

#include "platform/Text.h"
#include "tools/ItunesDbWriter.h"

namespace qttest {
namespace {

namespace fs = std::filesystem;

bool WriteFile(const fs::path& path, const std::string& bytes) {
    std::error_code error;
    fs::create_directories(path.parent_path(), error);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
    file.close();
    return static_cast<bool>(file);
}

}  // namespace

bool WritePlayer(const fs::path& folder, const std::vector<SSong>& songs) {
    dbwriter::SDatabaseContent content;
    bool bWritten = true;
    for (std::size_t i = 0; i < songs.size(); ++i) {
        const std::string fileName = "S" + std::to_string(i) + ".mp3";
        dbwriter::STrackEntry track;
        track.title = WideFromUtf8(songs[i].title);
        track.artist = WideFromUtf8(songs[i].artist);
        track.album = WideFromUtf8(songs[i].album);
        track.location = WideFromUtf8(":iPod_Control:Music:F00:" + fileName);
        content.tracks.push_back(std::move(track));
        bWritten &= WriteFile(folder / "iPod_Control" / "Music" / "F00" / fileName,
                              "song " + std::to_string(i));
    }
    const std::vector<std::uint8_t> image = dbwriter::WriteItunesDb(content);
    bWritten &= WriteFile(folder / "iPod_Control" / "iTunes" / "iTunesDB",
                          std::string(image.begin(), image.end()));
    bWritten &= WriteFile(folder / "iPod_Control" / "Device" / "SysInfo", "");
    return bWritten;
}

fs::path FreshFolder(const std::string& name) {
    // The process id keeps parallel runs apart.
    const fs::path folder =
        fs::temp_directory_path() / ("kestrum-qt-" + name + "-" + std::to_string(getpid()));
    std::error_code error;
    fs::remove_all(folder, error);
    fs::create_directories(folder, error);
    return folder;
}

}  // namespace qttest
