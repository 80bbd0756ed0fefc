// make-scenario-players: writes the small players the scenario scripts map to drive letters,
// each in a folder of its own under the folder given.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "platform/Text.h"
#include "tools/ItunesDbWriter.h"

namespace {

namespace fs = std::filesystem;

struct SSong {
    const char* title;
    const char* artist;
    const char* album;
    const char* fileName;            // under iPod_Control/Music/F00; nullptr writes no file
    const char* location = nullptr;  // the catalogue's location, when not that file's
};

// Row order is file order. Two "Homecoming" rows share title and type; "Lost Tape" has no
// file on the player, so its copy fails.
constexpr SSong kFullSongs[] = {
    {"Theory", "Sine Wave Club", "Northern Glass", "AAAA.mp3"},
    {"Homecoming", "Lumen Drift", "Northern Glass", "AAAB.mp3"},
    {"Mother", "The Quiet Orchards", "Paper Moons", "AAAC.mp3"},
    {"Café au Lait", "Zoë Marchetti", "Café Nocturne", "AAAD.mp3"},
    {"Homecoming", "The Quiet Orchards", "Paper Moons", "AAAE.mp3"},
    {"Breathe", "Lumen Drift", "Small Hours", "AAAF.mp3"},
    {"CAFÉ NOIR", "Zoë Marchetti", "Café Nocturne", "AAAG.mp3"},
    {"Lost Tape", "Nobody", "Unreleased", nullptr},
    {"Ox", "Sine Wave Club", "Small Hours", "AAAH.mp3"},
    {"Paper Moons", "The Quiet Orchards", "Paper Moons", "AAAI.mp3"},
};

constexpr SSong kOneSong[] = {
    {"Only Song", "Solo", "Single", "AAAA.mp3"},
};

bool WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::error_code error;
    fs::create_directories(path.parent_path(), error);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        std::fprintf(stderr, "make-scenario-players: cannot write %s\n", path.string().c_str());
        return false;
    }
    return true;
}

std::vector<std::uint8_t> Text(const std::string& text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

bool WriteSysInfo(const fs::path& root) {
    return WriteBytes(root / "iPod_Control" / "Device" / "SysInfo", Text("ModelNumStr: xKS01\n"));
}

// How a player keeps its catalogue.
enum class ECatalogue {
    kPlain,       // iTunesDB
    kCompressed,  // iTunesCDB beside an empty iTunesDB, as later nanos keep it
    kCorrupt,     // the same, the compressed stream cut short
};

bool WriteDatabase(const fs::path& root, const dbwriter::SDatabaseContent& content,
                   ECatalogue eCatalogue = ECatalogue::kPlain) {
    const fs::path folder = root / "iPod_Control" / "iTunes";
    const std::vector<std::uint8_t> image = dbwriter::WriteItunesDb(content);
    if (eCatalogue == ECatalogue::kPlain) {
        return WriteBytes(folder / "iTunesDB", image);
    }
    std::vector<std::uint8_t> compressed = dbwriter::CompressItunesDb(image);
    if (eCatalogue == ECatalogue::kCorrupt) {
        compressed.resize(compressed.size() - 16);
    }
    return WriteBytes(folder / "iTunesCDB", compressed) && WriteBytes(folder / "iTunesDB", {});
}

// A player holding songs; each file's content names the song so that copies can be told apart.
template <std::size_t N>
bool WritePlayer(const fs::path& root, const SSong (&songs)[N],
                 ECatalogue eCatalogue = ECatalogue::kPlain) {
    dbwriter::SDatabaseContent content;
    for (const SSong& song : songs) {
        dbwriter::STrackEntry track;
        track.title = WideFromUtf8(song.title);
        track.artist = WideFromUtf8(song.artist);
        track.album = WideFromUtf8(song.album);
        const std::string fileName = song.fileName != nullptr ? song.fileName : "GONE.mp3";
        track.location =
            WideFromUtf8(song.location != nullptr ? std::string(song.location)
                                                  : ":iPod_Control:Music:F00:" + fileName);
        // Each song is the next track of its album, for names made from templates.
        track.dwTrackNumber = static_cast<std::uint32_t>(content.tracks.size() % 4 + 1);
        content.tracks.push_back(track);
        if (song.fileName != nullptr &&
            !WriteBytes(root / "iPod_Control" / "Music" / "F00" / fileName,
                        Text(std::string(song.title) + " by " + song.artist + "\n"))) {
            return false;
        }
    }
    return WriteSysInfo(root) && WriteDatabase(root, content, eCatalogue);
}

// A catalogue crafted to reach beyond its player: titles with separators, and a song whose
// location climbs out of the player to a file beside it.
bool WriteCraftedPlayer(const fs::path& root) {
    constexpr SSong kSongs[] = {
        {"AC/DC", "Volts", "Live", "AAAA.mp3"},
        {"..\\Up", "Stairs", "Climb", "AAAB.mp3"},
        {"Secret", "Nobody", "Outside", nullptr, ":iPod_Control:..:..:secret.mp3"},
    };
    return WritePlayer(root, kSongs) &&
           WriteBytes(root.parent_path() / "secret.mp3", Text("a file beside the player\n"));
}

// Many songs, so that the list scrolls: "Track 01" to "Track 60", every seventh of the first 35
// a "Needle". The last needle is far enough from the end that the list can bring it to its top
// whatever the height of a row in the backend's font.
bool WriteLongPlayer(const fs::path& root) {
    dbwriter::SDatabaseContent content;
    for (int i = 1; i <= 60; ++i) {
        char szTitle[32];
        std::snprintf(szTitle, sizeof szTitle, i % 7 == 0 && i <= 35 ? "Needle %02d" : "Track %02d",
                      i);
        dbwriter::STrackEntry track;
        track.title = WideFromUtf8(szTitle);
        track.artist = u"Long Player";
        track.album = u"Forty";
        char szFile[32];
        std::snprintf(szFile, sizeof szFile, "T%03d.mp3", i);
        track.location = WideFromUtf8(std::string(":iPod_Control:Music:F00:") + szFile);
        content.tracks.push_back(track);
        if (!WriteBytes(root / "iPod_Control" / "Music" / "F00" / szFile, Text(szTitle))) {
            return false;
        }
    }
    return WriteSysInfo(root) && WriteDatabase(root, content);
}

// A song file as the music folders hold it: a line of text that names it, then, when it has a
// title, an ID3v1 tag (the last 128 bytes: "TAG", then title, artist and album in 30 Latin-1
// bytes each, year, comment and genre).
struct SSongFile {
    const char* path;  // below iPod_Control/Music
    const char* title = "";
    const char* artist = "";
    const char* album = "";
};

void PutLatin1(std::vector<std::uint8_t>& bytes, const char* text, std::size_t width) {
    const WString wide = WideFromUtf8(text);
    for (std::size_t i = 0; i < width; ++i) {
        bytes.push_back(i < wide.size() ? static_cast<std::uint8_t>(wide[i]) : 0);
    }
}

std::vector<std::uint8_t> SongFileBytes(const SSongFile& file) {
    std::vector<std::uint8_t> bytes = Text(std::string("song file ") + file.path + "\n");
    if (*file.title != 0) {
        PutLatin1(bytes, "TAG", 3);
        PutLatin1(bytes, file.title, 30);
        PutLatin1(bytes, file.artist, 30);
        PutLatin1(bytes, file.album, 30);
        PutLatin1(bytes, "", 4 + 30);
        bytes.push_back(255);  // no genre
    }
    return bytes;
}

template <std::size_t N>
bool WriteSongFiles(const fs::path& root, const SSongFile (&files)[N]) {
    for (const SSongFile& file : files) {
        if (!WriteBytes(root / "iPod_Control" / "Music" / file.path, SongFileBytes(file))) {
            return false;
        }
    }
    return true;
}

// A player whose catalogue is gone: its song files in two folders, one of them without tags,
// and a file that is no song.
bool WriteFilesPlayer(const fs::path& root) {
    constexpr SSongFile kFiles[] = {
        {"F00/AAAA.mp3", "Morning Static", "Lumen Drift", "Glass"},
        {"F00/AAAB.mp3"},
        {"f01/aaac.MP3", "Café au Lait", "Zoë Marchetti", "Nocturne"},
        {"F01/notes.txt"},
    };
    return WriteSysInfo(root) && WriteSongFiles(root, kFiles);
}

// A player whose catalogue has forgotten two of its four song files; it names one of the others
// in capitals, as the player's file system does not care.
bool WriteForgetfulPlayer(const fs::path& root) {
    constexpr SSong kSongs[] = {
        {"Theory", "Sine Wave Club", "Northern Glass", "AAAA.mp3"},
        {"Ox", "Sine Wave Club", "Small Hours", nullptr, ":IPOD_CONTROL:MUSIC:F00:AAAB.MP3"},
    };
    constexpr SSongFile kFiles[] = {
        {"F00/aaab.mp3", "Ox", "Sine Wave Club", "Small Hours"},
        {"F00/ZZZA.mp3", "Found Again", "Lumen Drift", "Small Hours"},
        {"F03/ZZZB.mp3"},
    };
    return WritePlayer(root, kSongs) && WriteSongFiles(root, kFiles);
}

// Songs with their listening history (ratings and plays, no times: those would be shown in the
// time zone of the machine), the plays since the last sync in a Play Counts file, and the
// library playlist that names the player. The titles need quoting in CSV, or would run as a
// spreadsheet's formula.
bool WriteHistoryPlayer(const fs::path& root) {
    constexpr SSong kSongs[] = {
        {"Salt, Cedar", "Søren Halvik", "Fjord \"Live\"", "AAAA.mp3"},
        {"=Equals", "Sine Wave Club", "Math", "AAAB.mp3"},
        {"Lanterns", "The Quiet Orchards", "Paper Moons", "AAAC.mp3"},
    };
    struct SHistory {
        std::uint32_t dwRating;
        std::uint32_t dwPlays;
        std::uint32_t dwLengthMs;
    };
    constexpr SHistory kHistory[] = {{80, 12, 183500}, {0, 0, 61000}, {100, 3, 240250}};
    dbwriter::SDatabaseContent content;
    content.bPlaylistDataset = true;
    content.playlists.push_back({u"Anna's iPod", true, {1, 2, 3}});
    for (std::size_t i = 0; i < std::size(kSongs); ++i) {
        dbwriter::STrackEntry track;
        track.title = WideFromUtf8(kSongs[i].title);
        track.artist = WideFromUtf8(kSongs[i].artist);
        track.album = WideFromUtf8(kSongs[i].album);
        track.location = WideFromUtf8(std::string(":iPod_Control:Music:F00:") + kSongs[i].fileName);
        track.dwLengthMs = kHistory[i].dwLengthMs;
        track.dwYear = 2001 + static_cast<std::uint32_t>(i);
        track.headerFields = {{0x1F, kHistory[i].dwRating, 1}, {0x50, kHistory[i].dwPlays, 4}};
        content.tracks.push_back(track);
        if (!WriteBytes(root / "iPod_Control" / "Music" / "F00" / kSongs[i].fileName,
                        Text(std::string(kSongs[i].title) + "\n"))) {
            return false;
        }
    }
    // Since the last sync: two more plays of the first song, and the second played once and
    // rated three stars on the player.
    const std::vector<std::uint8_t> playCounts =
        dbwriter::WritePlayCounts({{2}, {1, 0, 0, 60}, {}});
    return WriteSysInfo(root) && WriteDatabase(root, content) &&
           WriteBytes(root / "iPod_Control" / "iTunes" / "Play Counts", playCounts);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: make-scenario-players DIR\n");
        return 64;
    }
    const fs::path dir = argv[1];
    // A player without songs: the track list is followed by no track record.
    const dbwriter::SDatabaseContent empty;
    const bool bOk = WritePlayer(dir / "full", kFullSongs) && WritePlayer(dir / "one", kOneSong) &&
                     WriteLongPlayer(dir / "long") && WriteSysInfo(dir / "empty") &&
                     WriteDatabase(dir / "empty", empty) && WriteSysInfo(dir / "nodb") &&
                     WritePlayer(dir / "second", kOneSong) &&
                     WritePlayer(dir / "nano", kFullSongs, ECatalogue::kCompressed) &&
                     WritePlayer(dir / "nano-corrupt", kFullSongs, ECatalogue::kCorrupt) &&
                     WriteCraftedPlayer(dir / "crafted") && WriteFilesPlayer(dir / "files") &&
                     WriteForgetfulPlayer(dir / "forgetful") && WriteHistoryPlayer(dir / "history");
    return bOk ? 0 : 1;
}
