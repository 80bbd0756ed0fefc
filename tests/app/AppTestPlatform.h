// A platform for tests that run the real dialog: the native files and drives, but the
// Explorer setting held in memory, a disk query that can be made to throw, and no removal
// watcher (its thread would outlive the dialog and find the test's player gone).
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include "platform/ForwardingPlatform.h"
#include "tools/ItunesDbWriter.h"

namespace apptest {

class CAppTestPlatform : public platform::CForwardingPlatform {
public:
    using CForwardingPlatform::CForwardingPlatform;

    bool bThrowOnDiskSpace = false;
    std::uint32_t dwHidden = 2;
    std::vector<std::uint32_t> hiddenWrites;

    bool GetDiskSpace(const WChar* path, std::uint64_t& freeToCaller,
                      std::uint64_t& total) override {
        if (bThrowOnDiskSpace) {
            throw std::bad_alloc();
        }
        freeToCaller = 500ull << 20;
        total = 1024ull << 20;
        return path != nullptr;
    }
    platform::ExplorerKey OpenExplorerKey() override {
        return reinterpret_cast<platform::ExplorerKey>(&dwHidden);
    }
    bool QueryHidden(platform::ExplorerKey, std::uint32_t& value, std::uint32_t& size) override {
        value = dwHidden;
        size = sizeof dwHidden;
        return true;
    }
    bool SetHidden(platform::ExplorerKey, std::uint32_t value, std::uint32_t) override {
        dwHidden = value;
        hiddenWrites.push_back(value);
        return true;
    }
    void CloseExplorerKey(platform::ExplorerKey) override {}
    platform::ThreadHandle StartThread(std::function<void()>) override { return nullptr; }
};

inline void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// A folder of the system's temporary folder that no other test process uses.
inline std::filesystem::path UniqueTempFolder(const char* name) {
    return std::filesystem::temp_directory_path() /
           (std::string(name) + "-" + std::to_string(::getpid()));
}

// A fresh player folder of its own holding one song, "Song" (its file is not there).
inline std::filesystem::path WriteOneSongPlayer(const char* name) {
    const std::filesystem::path player = UniqueTempFolder(name);
    std::filesystem::remove_all(player);
    dbwriter::SDatabaseContent content;
    dbwriter::STrackEntry track;
    track.title = u"Song";
    track.location = u":iPod_Control:Music:F00:A.mp3";
    content.tracks.push_back(track);
    WriteFile(player / "iPod_Control" / "Device" / "SysInfo", {});
    WriteFile(player / "iPod_Control" / "iTunes" / "iTunesDB", dbwriter::WriteItunesDb(content));
    return player;
}

}  // namespace apptest
