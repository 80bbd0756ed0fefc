// make-demo-player: writes a complete player folder (SysInfo, iTunesDB and a short generated
// WAV tune per song, tagged with its title, artist and album) so that Kestrum can be tried and
// checked without a real player.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "platform/Text.h"
#include "tools/ItunesDbWriter.h"
#include "tools/WaveWriter.h"

namespace {

namespace fs = std::filesystem;

constexpr int kExitUsage = 64;
constexpr std::uint32_t kSampleRate = 22050;
// The player spreads its files over this many folders, F00 to F19.
constexpr unsigned kMusicFolders = 20;

struct SDemoSong {
    const char* title;
    const char* artist;
    const char* album;
};

// Invented songs. One artist has several songs, a few names carry accents or other scripts,
// and "Homecoming" appears on two albums so that an extract of everything shows how same-named
// copies are kept apart.
constexpr SDemoSong kSongs[] = {
    {"Morning Static", "Lumen Drift", "Northern Glass"},
    {"Homecoming", "Lumen Drift", "Northern Glass"},
    {"Tidewater", "Lumen Drift", "Northern Glass"},
    {"Café au Lait", "Zoë Marchetti", "Café Nocturne"},
    {"Rue des Étoiles", "Zoë Marchetti", "Café Nocturne"},
    {"Paper Moons", "The Quiet Orchards", "Paper Moons"},
    {"Homecoming", "The Quiet Orchards", "Paper Moons"},
    {"Lanterns", "The Quiet Orchards", "Paper Moons"},
    {"Fjordlys", "Søren Halvik", "Salt & Cedar"},
    {"Vinterhav", "Søren Halvik", "Salt & Cedar"},
    {"夜明けの歌", "北風", "Small Hours"},
    {"Last Train Home", "Lumen Drift", "Small Hours"},
};
constexpr std::size_t kSongCount = sizeof kSongs / sizeof kSongs[0];

struct SDemoTrack {
    std::string title;
    std::string artist;
    std::string album;
    unsigned folder = 0;
    std::string fileName;  // four letters and ".wav"
};

// A small mixing function: the same index always gives the same letters.
std::uint32_t Mix(std::uint32_t value) {
    value ^= value >> 16;
    value *= 0x7FEB352Du;
    value ^= value >> 15;
    value *= 0x846CA68Bu;
    value ^= value >> 16;
    return value;
}

std::vector<SDemoTrack> MakeTracks(std::size_t count) {
    std::vector<SDemoTrack> tracks;
    std::set<std::string> used;
    for (std::size_t i = 0; i < count; ++i) {
        const SDemoSong& song = kSongs[i % kSongCount];
        SDemoTrack track{song.title, song.artist, song.album, 0, {}};
        if (i >= kSongCount) {
            const std::string round = std::to_string(i / kSongCount + 1);
            track.title += " No. " + round;
            track.album += " Vol. " + round;
        }
        track.folder = static_cast<unsigned>(i % kMusicFolders);
        for (std::uint32_t salt = 0;; ++salt) {
            std::uint32_t bits = Mix(static_cast<std::uint32_t>(i) * 2654435761u + salt);
            std::string name;
            for (int letter = 0; letter < 4; ++letter) {
                name += static_cast<char>('A' + bits % 26);
                bits /= 26;
            }
            if (used.insert(std::to_string(track.folder) + name).second) {
                track.fileName = name + ".wav";
                break;
            }
        }
        tracks.push_back(track);
    }
    return tracks;
}

void PutLe(std::vector<std::uint8_t>& bytes, std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

// A four-note tune from a major pentatonic scale, different for every song, as a WAV file
// whose INFO chunk names the song (so that it can be listed from its tags alone).
std::vector<std::uint8_t> MakeTune(std::size_t index, double seconds, const SDemoTrack& track) {
    constexpr int kScale[] = {0, 2, 4, 7, 9, 12, 14, 16};
    constexpr int kNotes = 4;
    const auto samples = static_cast<std::uint32_t>(seconds * kSampleRate);
    const std::uint32_t noteLength = samples / kNotes;

    std::vector<std::uint8_t> bytes;
    bytes.reserve(samples * 2);

    std::uint32_t bits = Mix(static_cast<std::uint32_t>(index) + 0x9E3779B9u);
    double frequencies[kNotes];
    for (double& frequency : frequencies) {
        const int semitone = kScale[bits % 8];
        bits = Mix(bits);
        // Around A3 to A4 so that every tune sits comfortably in a small speaker's range.
        frequency = 220.0 * std::pow(2.0, semitone / 12.0);
    }
    const double attack = 0.01 * kSampleRate;
    for (std::uint32_t n = 0; n < samples; ++n) {
        const std::uint32_t note =
            std::min<std::uint32_t>(n / std::max(noteLength, 1u), kNotes - 1);
        const double t = static_cast<double>(n - note * noteLength);
        // Short rise, then a linear fall to silence: no clicks between notes.
        const double envelope =
            std::min(t / attack, 1.0) * (1.0 - t / static_cast<double>(noteLength + 1));
        const double value = 0.3 * envelope *
                             std::sin(2.0 * std::numbers::pi * frequencies[note] *
                                      static_cast<double>(n) / kSampleRate);
        const auto sample = static_cast<std::int16_t>(std::lround(value * 32767.0));
        PutLe(bytes, static_cast<std::uint16_t>(sample), 2);
    }
    const dbwriter::SWaveTags tags{track.title, track.artist, track.album};
    return dbwriter::WriteWave(bytes, kSampleRate, &tags);
}

bool WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        std::fprintf(stderr, "make-demo-player: cannot write %s\n", path.string().c_str());
        return false;
    }
    return true;
}

WString Wide(const std::string& text) { return WideFromUtf8(text); }

std::string FolderName(unsigned folder) {
    char szName[8];
    std::snprintf(szName, sizeof szName, "F%02u", folder);
    return szName;
}

// A listening history for some songs: ratings, plays, when each was added and last played and
// skipped, and for a few the plays (and a rating) made on the player since its last sync.
void AddHistory(std::size_t index, dbwriter::STrackEntry& track,
                dbwriter::SPlayCountEntry& sinceSync) {
    // Player times: seconds since 1904-01-01 in local time, from the end of 2020 into 2022.
    constexpr std::uint32_t kAdded = 3692000000;
    constexpr std::uint32_t kDay = 86400;
    // Days within a year of each other, however many songs there are.
    const auto i = static_cast<std::uint32_t>(index % 365);
    using Field = dbwriter::STrackEntry::SHeaderField;
    track.headerFields.push_back(Field{0x68, kAdded + i * kDay + 3600, 4});
    if (i % 3 != 2) {
        track.headerFields.push_back(Field{0x1F, (i % 5 + 1) * 20, 1});
        track.headerFields.push_back(Field{0x50, i * 7 % 23 + 1, 4});
        track.headerFields.push_back(Field{0x58, kAdded + (i + 200) * kDay + 75600, 4});
    }
    if (i % 4 == 1) {
        track.headerFields.push_back(Field{0x9C, 2, 4});
        track.headerFields.push_back(Field{0xA0, kAdded + (i + 100) * kDay + 64800, 4});
    }
    if (i % 4 == 0) {
        sinceSync.dwPlays = i % 3 + 1;
        sinceSync.dwLastPlayed = kAdded + 400 * kDay + i * 3600;
        sinceSync.dwRating = i % 8 == 0 ? 100 : 0;
    }
}

int Usage(const char* reason) {
    std::fprintf(stderr,
                 "make-demo-player: %s\n"
                 "Usage: make-demo-player DIR [--tracks N] [--seconds S] [--compressed]\n"
                 "                            [--lost K | --no-catalogue]\n"
                 "Writes a demo player into DIR: DIR/iPod_Control/Device/SysInfo,\n"
                 "DIR/iPod_Control/iTunes/iTunesDB (with ratings, plays and dates, and a Play\n"
                 "Counts file of plays since the last sync) and one WAV tune per song under\n"
                 "DIR/iPod_Control/Music/F00..F19. N songs (12 by default), each S seconds long\n"
                 "(1.5 by default, 0.1 for more than 100 songs). --compressed writes the\n"
                 "catalogue compressed, as later nanos keep it: iTunesCDB beside an empty\n"
                 "iTunesDB. --lost K leaves the last K songs out of the catalogue (their files\n"
                 "stay, as after an interrupted sync); --no-catalogue writes no catalogue.\n",
                 reason);
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir;
    std::size_t trackCount = kSongCount;
    double seconds = 0.0;
    bool bCompressed = false;
    bool bNoCatalogue = false;
    std::size_t lostCount = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            Usage("writes a demo player folder");
            return 0;
        }
        if (arg == "--compressed") {
            bCompressed = true;
        } else if (arg == "--no-catalogue") {
            bNoCatalogue = true;
        } else if (arg == "--tracks" || arg == "--seconds" || arg == "--lost") {
            if (i + 1 >= argc) {
                return Usage("option needs a value");
            }
            char* end = nullptr;
            const char* value = argv[++i];
            if (arg == "--tracks") {
                const unsigned long long number = std::strtoull(value, &end, 10);
                if (*value == '-' || end == value || *end != 0 || number > 1000000) {
                    return Usage("--tracks wants a number from 0 to 1000000");
                }
                trackCount = static_cast<std::size_t>(number);
            } else if (arg == "--lost") {
                const unsigned long long number = std::strtoull(value, &end, 10);
                if (*value == '-' || end == value || *end != 0 || number > 1000000) {
                    return Usage("--lost wants a number from 0 to 1000000");
                }
                lostCount = static_cast<std::size_t>(number);
            } else {
                seconds = std::strtod(value, &end);
                if (end == value || *end != 0 || !(seconds >= 0.05 && seconds <= 60.0)) {
                    return Usage("--seconds wants a length from 0.05 to 60");
                }
            }
        } else if (!arg.empty() && arg[0] == '-') {
            return Usage("unknown option");
        } else if (dir.empty()) {
            dir = arg;
        } else {
            return Usage("only one folder, please");
        }
    }
    if (dir.empty()) {
        return Usage("no folder given");
    }
    if (lostCount > trackCount) {
        return Usage("--lost cannot be more songs than --tracks");
    }
    if (seconds == 0.0) {
        seconds = trackCount > 100 ? 0.1 : 1.5;
    }

    const fs::path root = fs::path(std::u8string(dir.begin(), dir.end())) / "iPod_Control";
    std::error_code error;
    for (const char* sub : {"Device", "iTunes", "Music"}) {
        fs::create_directories(root / sub, error);
        if (error) {
            std::fprintf(stderr, "make-demo-player: cannot create %s: %s\n",
                         (root / sub).string().c_str(), error.message().c_str());
            return 1;
        }
    }
    const std::string sysInfo =
        "BoardHwName: Kestrum Demo Player\n"
        "ModelNumStr: xKD01\n"
        "pszSerialNumber: KD0000000001\n"
        "visibleBuildID: 0x01000000 (1.0)\n";
    if (!WriteFile(root / "Device" / "SysInfo",
                   std::vector<std::uint8_t>(sysInfo.begin(), sysInfo.end()))) {
        return 1;
    }

    const std::vector<SDemoTrack> tracks = MakeTracks(trackCount);
    dbwriter::SDatabaseContent content;
    content.bAlbumsDataset = true;
    content.bPlaylistDataset = true;
    // The library playlist carries the player's name.
    dbwriter::SPlaylistEntry library{u"Kestrum Demo", true, {}};
    // The catalogue holds the songs it has not forgotten, the first ones.
    const std::size_t catalogued = tracks.size() - lostCount;
    for (std::size_t i = 0; i < catalogued; ++i) {
        library.trackIds.push_back(static_cast<std::uint32_t>(i + 1));
    }
    content.playlists.push_back(std::move(library));
    std::vector<dbwriter::SPlayCountEntry> playCounts(catalogued);
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        const SDemoTrack& track = tracks[i];
        const std::string folder = FolderName(track.folder);
        fs::create_directories(root / "Music" / folder, error);
        const std::vector<std::uint8_t> tune = MakeTune(i, seconds, track);
        if (error || !WriteFile(root / "Music" / folder / track.fileName, tune)) {
            return 1;
        }
        if (i >= catalogued) {
            continue;  // the catalogue has forgotten it
        }
        dbwriter::STrackEntry trackEntry;
        trackEntry.title = Wide(track.title);
        trackEntry.artist = Wide(track.artist);
        trackEntry.album = Wide(track.album);
        trackEntry.location = Wide(":iPod_Control:Music:" + folder + ":" + track.fileName);
        trackEntry.strFileType = "WAV ";
        trackEntry.dwFileSize = static_cast<std::uint32_t>(tune.size());
        trackEntry.dwLengthMs = static_cast<std::uint32_t>(seconds * 1000.0 + 0.5);
        AddHistory(i, trackEntry, playCounts[i]);
        content.tracks.push_back(std::move(trackEntry));
    }
    const std::vector<std::uint8_t> catalogue = dbwriter::WriteItunesDb(content);
    const bool bWritten =
        bNoCatalogue ||
        ((bCompressed
              ? WriteFile(root / "iTunes" / "iTunesCDB", dbwriter::CompressItunesDb(catalogue)) &&
                    WriteFile(root / "iTunes" / "iTunesDB", {})
              : WriteFile(root / "iTunes" / "iTunesDB", catalogue)) &&
         WriteFile(root / "iTunes" / "Play Counts", dbwriter::WritePlayCounts(playCounts)));
    if (!bWritten) {
        return 1;
    }
    const std::string lost = " (" + std::to_string(lostCount) + " not in the catalogue)";
    std::printf("Demo player with %zu songs%s written to %s\n", tracks.size(),
                bNoCatalogue    ? " (no catalogue)"
                : lostCount > 0 ? lost.c_str()
                : bCompressed   ? " (compressed catalogue)"
                                : "",
                dir.c_str());
    return 0;
}
