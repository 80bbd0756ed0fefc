// kestrum-cli run as a program on player folders written in the test: its output, its copies
// and its exit statuses.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <numeric>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "KestrumVersion.h"
#include "cli/KestrumCli.h"
#include "platform/ForwardingPlatform.h"
#include "platform/Text.h"
#include "tests/songdb/TagFileBuilder.h"
#include "tools/ItunesDbWriter.h"

namespace {

namespace fs = std::filesystem;
using dbwriter::STrackEntry;

struct SRun {
    int nStatus = -1;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (const char ch : text) {
        quoted += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
    }
    return quoted + "'";
}

std::string ReadText(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> ReadBytes(const fs::path& path) {
    const std::string text = ReadText(path);
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

// Distinct content per song, so that a copy of the wrong file is noticed.
std::vector<std::uint8_t> SongBytes(std::size_t index) {
    std::vector<std::uint8_t> bytes(1000 + index * 137);
    std::uint32_t state = static_cast<std::uint32_t>(index) * 2654435761u + 1;
    for (std::uint8_t& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>(state >> 24);
    }
    return bytes;
}

STrackEntry Song(const char* title, const char* artist, const char* album, const char* file,
                 const char* type = "MP3 ") {
    STrackEntry track;
    track.title = WideFromUtf8(title);
    track.artist = WideFromUtf8(artist);
    track.album = WideFromUtf8(album);
    track.location = WideFromUtf8(std::string(":iPod_Control:Music:F01:") + file);
    track.strFileType = type;
    return track;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The names in folder, sorted; none when it does not exist.
std::set<std::string> Names(const fs::path& folder) {
    std::set<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        names.insert(it->path().filename().string());
    }
    return names;
}

// The copies process pid holds open in folder before they have a name (files made without one,
// whose links under /proc read "folder/#inode (deleted)").
std::size_t UnnamedCopiesHeld(pid_t pid, const fs::path& folder) {
    const std::string prefix = (folder / "#").string();
    std::size_t held = 0;
    std::error_code error;
    for (fs::directory_iterator it("/proc/" + std::to_string(pid) + "/fd", error), end;
         !error && it != end; it.increment(error)) {
        std::error_code gone;  // closed while looked at
        if (fs::read_symlink(it->path(), gone).string().starts_with(prefix)) {
            ++held;
        }
    }
    return held;
}

// A process that ended by itself, so that its id names no process for a while.
pid_t EndedProcess() {
    const pid_t child = fork();
    if (child == 0) {
        std::_Exit(0);
    }
    waitpid(child, nullptr, 0);
    return child;
}

// kestrum-cli started as a child process, output to files; killed if the test ends first.
class CCliProcess {
public:
    CCliProcess(const std::vector<std::string>& args, const fs::path& out, const fs::path& err) {
        std::vector<std::string> argv = {KESTRUM_CLI_EXE};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> pointers;
        for (std::string& arg : argv) {
            pointers.push_back(arg.data());
        }
        pointers.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        // Whatever this process ignores, the program gets the signals' usual actions.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGINT);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
        if (posix_spawn(&m_pid, pointers[0], &actions, &attributes, pointers.data(), environ) !=
            0) {
            m_pid = -1;
        }
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }
    ~CCliProcess() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    CCliProcess(const CCliProcess&) = delete;
    CCliProcess& operator=(const CCliProcess&) = delete;

    pid_t Pid() const { return m_pid; }
    bool HasEnded() {
        int status = 0;
        if (m_pid > 0 && waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            m_nStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        return m_pid <= 0;
    }
    // The exit status once it ends; -1 when a signal ended it.
    int Wait() {
        int status = 0;
        if (m_pid > 0 && waitpid(m_pid, &status, 0) == m_pid) {
            m_pid = -1;
            m_nStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        return m_nStatus;
    }

private:
    pid_t m_pid = -1;
    int m_nStatus = -1;
};

// Polls until done says so; false only after a deadline far beyond any normal run, as a guard
// against a hang rather than a measure of speed.
bool WaitUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(5);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

class CliEndToEnd : public testing::Test {
protected:
    void SetUp() override {
        const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
        m_dir = fs::temp_directory_path() /
                ("kestrum-cli-" + std::to_string(getpid()) + "-" + info->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override {
        std::error_code error;
        fs::remove_all(m_dir, error);
    }

    // Runs kestrum-cli with args (already quoted) and the drive list drives.
    SRun Run(const std::string& args, const std::string& drives = "") const {
        const fs::path out = m_dir / "stdout.txt";
        const fs::path err = m_dir / "stderr.txt";
        const std::string command =
            "KESTRUM_DRIVES=" + Quote(drives) + " " + Quote(KESTRUM_CLI_EXE) + " " + args + " >" +
            Quote(out.string()) + " 2>" + Quote(err.string()) + " </dev/null";
        const int raw = std::system(command.c_str());
        SRun run;
        run.nStatus = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.out = ReadText(out);
        run.err = ReadText(err);
        return run;
    }

    // A player folder holding SysInfo, the database of tracks and each track's file
    // (SongBytes of its index) unless the track has no location or is listed in missing.
    fs::path MakePlayer(const std::string& name, const std::vector<STrackEntry>& tracks,
                        const std::vector<std::size_t>& missing = {}) const {
        dbwriter::SDatabaseContent content;
        content.tracks = tracks;
        const fs::path root = m_dir / name;
        WriteBytes(root / "iPod_Control" / "Device" / "SysInfo", {});
        WriteBytes(root / "iPod_Control" / "iTunes" / "iTunesDB", dbwriter::WriteItunesDb(content));
        for (std::size_t i = 0; i < tracks.size(); ++i) {
            if (tracks[i].location &&
                std::find(missing.begin(), missing.end(), i) == missing.end()) {
                WriteBytes(NativeLocation(root, *tracks[i].location), SongBytes(i));
            }
        }
        return root;
    }

    static fs::path NativeLocation(const fs::path& root, const WString& location) {
        fs::path path = root;
        std::string part;
        for (const char ch : Utf8FromWide(location).substr(1) + ":") {
            if (ch == ':') {
                path /= part;
                part.clear();
            } else {
                part += ch;
            }
        }
        return path;
    }

    fs::path m_dir;
};

const std::vector<STrackEntry>& SearchSongs() {
    static const std::vector<STrackEntry> kSongs = {
        Song("Theory", "Ann Arbor", "First Light", "AAAA.mp3"),
        Song("Mother", "Bob", "Second Wind", "BBBB.mp3"),
        Song("Breathe", "ann-marie", "Third Day", "CCCC.mp3"),
        Song("Élan", "Cé", "Fourth", "DDDD.m4a", "M4A "),
        Song("élan vital", "CÉ", "Fifth", "EEEE.m4a", "M4A "),
    };
    return kSongs;
}

TEST_F(CliEndToEnd, ListPrintsOneEscapedLinePerRow) {
    std::vector<STrackEntry> songs = {
        Song("Plain", "Artist", "Album", "AAAA.mp3"),
        Song("Tab\there", "Line\nfeed", "Back\\slash\r", "BBBB.mp3"),
        Song("夜明けの歌", "", "", "CCCC.m4a", "M4A "),
    };
    const fs::path root = MakePlayer("player", songs);
    const SRun run = Run("list --root " + Quote(root.string()));
    ASSERT_EQ(run.nStatus, 0) << run.err;
    EXPECT_EQ(run.out,
              "0\tPlain\tArtist\tAlbum\tPlain.MP3\n"
              "1\tTab\\there\tLine\\nfeed\tBack\\\\slash\\r\tTab\\there.MP3\n"
              "2\t夜明けの歌\t\t\t夜明けの歌.M4A\n");
    EXPECT_EQ(run.err, "");
}

TEST_F(CliEndToEnd, CsvAndJsonCarryTheHistoryWithThePlayCounts) {
    std::vector<STrackEntry> songs = {
        Song("=1+1", "Artist, The", "Album", "AAAA.mp3"),
        Song("Second", "", "", "BBBB.m4a", "M4A "),
    };
    songs[0].headerFields = {{0x1F, 80, 1}, {0x50, 2, 4}};
    songs[0].dwLengthMs = 1500;
    const fs::path root = MakePlayer("player", songs);
    const fs::path playCounts = root / "iPod_Control" / "iTunes" / "Play Counts";
    WriteBytes(playCounts, dbwriter::WritePlayCounts({{3, 0, 0, 100}, {1}}));
    const std::string player = " --root " + Quote(root.string());

    SRun run = Run("list --format csv --fields row,title,artist,length,rating,plays" + player);
    ASSERT_EQ(run.nStatus, 0) << run.err;
    EXPECT_EQ(run.out,
              "\xEF\xBB\xBFrow,title,artist,length,rating,plays\r\n"
              "0,'=1+1,\"Artist, The\",1.500,5,5\r\n"
              "1,Second,,0.000,0,1\r\n");
    EXPECT_EQ(run.err, "");

    run = Run("search sec --format json --fields title,plays,lastplayed" + player);
    ASSERT_EQ(run.nStatus, 0) << run.err;
    EXPECT_EQ(run.out, "[\n{\"title\":\"Second\",\"plays\":1,\"lastplayed\":null}\n]\n");

    // A file of another catalogue is left out, and the user told.
    WriteBytes(playCounts, dbwriter::WritePlayCounts({{3}}));
    run = Run("list --format csv --fields plays" + player);
    EXPECT_EQ(run.out, "\xEF\xBB\xBFplays\r\n2\r\n0\r\n");
    EXPECT_NE(run.err.find("Play Counts"), std::string::npos) << run.err;
}

TEST_F(CliEndToEnd, SearchPrintsTheRowsTheDialogFinds) {
    const fs::path root = MakePlayer("player", SearchSongs());
    const std::string where = " --root " + Quote(root.string());
    struct SCase {
        std::string args;
        std::vector<std::string> rows;
    };
    const SCase kCases[] = {
        {"search the", {"0", "1", "2"}},
        {"search THE --field title", {"0", "1", "2"}},
        {"search ann --field artist", {"0", "2"}},
        {"search ' WIND' --field album", {"1"}},
        {"search Éla", {"3"}},
        {"search éla", {"4"}},
        {"search breathe-in", {}},
    };
    for (const SCase& c : kCases) {
        const SRun run = Run(c.args + where);
        ASSERT_EQ(run.nStatus, 0) << c.args << "\n" << run.err;
        std::vector<std::string> rows;
        for (const std::string& line : Lines(run.out)) {
            rows.push_back(line.substr(0, line.find('\t')));
        }
        EXPECT_EQ(rows, c.rows) << c.args;
    }
    const SRun listed = Run("list" + where);
    const SRun found = Run("search eor" + where);
    EXPECT_EQ(found.out, Lines(listed.out)[0] + "\n");
}

TEST_F(CliEndToEnd, ExitStatusesAndMessages) {
    const fs::path root = MakePlayer("player", SearchSongs());
    fs::create_directories(m_dir / "empty");
    WriteBytes(m_dir / "nodb" / "iPod_Control" / "Device" / "SysInfo", {'x'});
    const std::string where = " --root " + Quote(root.string());
    struct SCase {
        std::string args;
        std::string drives;
        int nStatus;
        std::string err;  // expected at the start of standard error
    };
    const SCase kCases[] = {
        {"", "", 64, "kestrum-cli: no command given"},
        {"list extra" + where, "", 64, "kestrum-cli: list takes no arguments"},
        {"search ab" + where, "", 64, "Word size < 3\n"},
        {"search ''" + where, "", 64, "Word size < 3\n"},
        {"extract --to out --match é1" + where, "", 64, "Word size < 3\n"},
        {"extract --all" + where, "", 64, "kestrum-cli: extract needs --to DIR"},
        {"extract --to out --rows 2,5" + where, "", 64, "kestrum-cli: row 5 is out of range"},
        {"search abc --field genre" + where, "", 64, "kestrum-cli: --field is"},
        {"list --root " + Quote((m_dir / "empty").string()), "", 2, "Impossible to find an Ipod\n"},
        {"list", "", 2, "Impossible to find an Ipod\n"},
        {"list --drive C", "C=" + root.string(), 0, ""},
        {"list --drive F", "E=" + root.string(), 2, "Impossible to find an Ipod\n"},
        {"list --root " + Quote((m_dir / "nodb").string()), "", 3, "Error is : "},
        {"--help", "", 0, ""},
    };
    for (const SCase& c : kCases) {
        const SRun run = Run(c.args, c.drives);
        EXPECT_EQ(run.nStatus, c.nStatus) << c.args << "\n" << run.err;
        EXPECT_EQ(run.err.substr(0, c.err.size()), c.err) << c.args;
        if (c.nStatus != 0) {
            EXPECT_EQ(run.out, "") << c.args;
        }
    }
    EXPECT_NE(Run("--help").out.find("Usage:"), std::string::npos);
    const SRun version = Run("--version");
    EXPECT_EQ(version.nStatus, 0);
    EXPECT_EQ(version.out, "kestrum-cli " KESTRUM_VERSION "\n");
}

TEST_F(CliEndToEnd, RefusedDatabasesShowTheirCode) {
    dbwriter::SDatabaseContent content;
    content.tracks = SearchSongs();
    content.bPlaylistDataset = true;
    struct SCase {
        const char* name;
        int nCode;
    };
    for (const SCase& c : {SCase{"no-dataset", 3}, SCase{"no-track-list", 4}, SCase{"no-track", 5},
                           SCase{"compressed-cut-short", 7}}) {
        dbwriter::SDatabaseLayout layout;
        std::vector<std::uint8_t> image = dbwriter::WriteItunesDb(content, &layout);
        const fs::path root = m_dir / c.name;
        if (c.nCode == 3) {
            dbwriter::PutU32(image, layout.datasets[0], 0x58585858);
        } else if (c.nCode == 4) {
            dbwriter::PutU32(image, layout.trackList, 0x58585858);
        } else if (c.nCode == 5) {
            dbwriter::PutU32(image, layout.tracks[0], 0x58585858);
        } else {
            // The sound catalogue stays in iTunesDB; the compressed one beside it wins.
            std::vector<std::uint8_t> compressed = dbwriter::CompressItunesDb(image);
            compressed.resize(compressed.size() - 20);
            WriteBytes(root / "iPod_Control" / "iTunes" / "iTunesCDB", compressed);
        }
        WriteBytes(root / "iPod_Control" / "Device" / "SysInfo", {});
        WriteBytes(root / "iPod_Control" / "iTunes" / "iTunesDB", image);
        const SRun run = Run("list --root " + Quote(root.string()));
        EXPECT_EQ(run.nStatus, 3) << c.name;
        EXPECT_EQ(run.err, "Error is : " + std::to_string(c.nCode) + "\n") << c.name;
    }
}

TEST_F(CliEndToEnd, DefaultScanTakesTheFirstPlayerFromD) {
    const fs::path first = MakePlayer("first", {Song("On E", "", "", "AAAA.mp3")});
    const fs::path second = MakePlayer("second", {Song("On G", "", "", "AAAA.mp3")});
    fs::create_directories(m_dir / "nothing");
    const std::string drives = "C=" + second.string() + ";D=" + (m_dir / "nothing").string() +
                               ";E=" + first.string() + ";G=" + second.string();
    EXPECT_EQ(Lines(Run("list", drives).out), std::vector<std::string>{"0\tOn E\t\t\tOn E.MP3"});
    EXPECT_EQ(Lines(Run("list --drive g", drives).out),
              std::vector<std::string>{"0\tOn G\t\t\tOn G.MP3"});
}

TEST_F(CliEndToEnd, ExtractCopiesChosenRowsByteForByte) {
    const std::vector<STrackEntry> songs = {
        Song("Homecoming", "A", "One", "AAAA.mp3"),    Song("Other", "B", "Two", "BBBB.mp3"),
        Song("Homecoming", "C", "Three", "CCCC.mp3"),  Song("homecoming", "D", "Four", "DDDD.mp3"),
        Song("Café", "E", "Five", "EEEE.m4a", "M4A "),
    };
    const fs::path root = MakePlayer("player", songs);
    const std::string where = " --root " + Quote(root.string());
    struct SCase {
        std::string selection;
        std::vector<std::pair<std::string, std::size_t>> files;  // name, song index
    };
    const SCase kCases[] = {
        {"--all",
         {{"Homecoming.MP3", 0},
          {"Other.MP3", 1},
          {"Homecoming (2).MP3", 2},
          {"homecoming (3).MP3", 3},
          {"Café.M4A", 4}}},
        {"--rows 4,1", {{"Other.MP3", 1}, {"Café.M4A", 4}}},
        {"--rows 2-3", {{"Homecoming.MP3", 2}, {"homecoming (2).MP3", 3}}},
        {"--match OTH", {{"Other.MP3", 1}}},
        {"--match fiv --field album", {{"Café.M4A", 4}}},
    };
    int n = 0;
    for (const SCase& c : kCases) {
        const fs::path out = m_dir / ("out" + std::to_string(n++)) / "new folder";
        const SRun run = Run("extract --to " + Quote(out.string()) + " " + c.selection + where);
        EXPECT_EQ(run.nStatus, 0) << c.selection << "\n" << run.err;
        EXPECT_EQ(run.out, "");
        std::uint64_t bytes = 0;
        for (const auto& [name, index] : c.files) {
            EXPECT_EQ(ReadBytes(out / name), SongBytes(index)) << c.selection << " " << name;
            bytes += SongBytes(index).size();
        }
        std::size_t nFiles = 0;
        for ([[maybe_unused]] const auto& entry : fs::directory_iterator(out)) {
            ++nFiles;
        }
        EXPECT_EQ(nFiles, c.files.size()) << c.selection;
        const std::string summary = "Extracted " + std::to_string(c.files.size()) + " of " +
                                    std::to_string(c.files.size()) +
                                    (c.files.size() == 1 ? " song" : " songs") + " (0.0 MB) to " +
                                    out.string() + " in ";
        EXPECT_EQ(run.err.substr(0, summary.size()), summary) << run.err;
        EXPECT_EQ(run.err.find("failed"), std::string::npos) << run.err;
    }
}

// Titles that hold separators are copied under names that stay in the folder; a song without
// a file, without a location, or whose location leaves the player is reported, and the others
// are copied all the same.
TEST_F(CliEndToEnd, ExtractReportsEveryFailureAndTheTruth) {
    const std::vector<STrackEntry> songs = {
        Song("Fine", "", "", "AAAA.mp3"),      Song("..\\up", "", "", "BBBB.mp3"),
        Song("../escape", "", "", "CCCC.mp3"), Song("AC/DC", "", "", "DDDD.mp3"),
        Song("Gone", "", "", "EEEE.mp3"),      Song("What?*:", "", "", "FFFF.mp3"),
    };
    STrackEntry noLocation = Song("Nowhere", "", "", "GGGG.mp3");
    noLocation.location.reset();
    // A crafted location that climbs from the player into the folder beside it.
    STrackEntry outside = Song("Secret", "", "", "HHHH.mp3");
    outside.location = u":iPod_Control:..:..:secret.mp3";
    std::vector<STrackEntry> all = songs;
    all.push_back(noLocation);
    all.push_back(outside);
    const fs::path root = MakePlayer("player", all, {4});
    ASSERT_TRUE(fs::exists(m_dir / "secret.mp3"));
    const fs::path out = m_dir / "out";
    const SRun run =
        Run("extract --all --to " + Quote(out.string()) + " --root " + Quote(root.string()));
    EXPECT_EQ(run.nStatus, 1) << run.err;
    EXPECT_EQ(run.out, "");
    const std::vector<std::pair<std::string, std::size_t>> copied = {{"Fine.MP3", 0},
                                                                     {".._up.MP3", 1},
                                                                     {".._escape.MP3", 2},
                                                                     {"AC_DC.MP3", 3},
                                                                     {"What?*:.MP3", 5}};
    for (const auto& [name, index] : copied) {
        EXPECT_EQ(ReadBytes(out / name), SongBytes(index)) << name;
    }
    EXPECT_FALSE(fs::exists(out / "Secret.MP3"));
    EXPECT_NE(run.err.find("Not extracted: row 7 \"Secret.MP3\": its location leaves the player"),
              std::string::npos)
        << run.err;
    for (const char* row : {"row 4 ", "row 6 "}) {
        EXPECT_NE(run.err.find(std::string("Not extracted: ") + row), std::string::npos)
            << row << "\n"
            << run.err;
    }
    const std::vector<std::string> lines = Lines(run.err);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().substr(0, 28), "Extracted 5 of 8 songs (0.0 ");
    EXPECT_EQ(lines.back().substr(lines.back().size() - 10), "; 3 failed");
}

// A file of the user's that has a song's name survives; a second run of the same extract finds
// every song at the name the first gave it and copies nothing. Names that differ only in the case
// of a letter beyond ASCII are one name, as on Windows.
TEST_F(CliEndToEnd, SecondExtractCopiesNothingAndReplacesNothing) {
    const fs::path root = MakePlayer(
        "player", {Song("Intro", "", "", "AAAA.mp3"), Song("Intro", "", "", "BBBB.mp3"),
                   Song("école", "", "", "CCCC.mp3"), Song("ÉCOLE", "", "", "DDDD.mp3")});
    const fs::path out = m_dir / "out";
    const std::vector<std::uint8_t> mine = {'m', 'i', 'n', 'e'};
    WriteBytes(out / "Intro.MP3", mine);
    const std::string args =
        "extract --all --to " + Quote(out.string()) + " --root " + Quote(root.string());
    const std::vector<std::pair<std::string, std::size_t>> expected = {
        {"Intro (2).MP3", 0}, {"Intro (3).MP3", 1}, {"école.MP3", 2}, {"ÉCOLE (2).MP3", 3}};
    for (const char* summary : {"Extracted 4 of 4 songs (", "Extracted 0 of 4 songs ("}) {
        const SRun run = Run(args);
        EXPECT_EQ(run.nStatus, 0) << run.err;
        EXPECT_EQ(run.err.substr(0, std::string(summary).size()), summary) << run.err;
        EXPECT_EQ(ReadBytes(out / "Intro.MP3"), mine);
        for (const auto& [name, index] : expected) {
            EXPECT_EQ(ReadBytes(out / name), SongBytes(index)) << name;
        }
        EXPECT_EQ(static_cast<std::size_t>(std::distance(fs::directory_iterator(out), {})), 5u);
    }
    EXPECT_NE(Run(args).err.find("; 4 already there\n"), std::string::npos);
}

// Reports a destination with little room left, whatever the disk has.
class CSmallDisk : public platform::CForwardingPlatform {
public:
    explicit CSmallDisk(std::uint64_t freeBytes)
        : CForwardingPlatform(platform::NativePlatform()), m_freeBytes(freeBytes) {}
    bool GetDiskSpace(const WChar*, std::uint64_t& freeToCaller, std::uint64_t& total) override {
        freeToCaller = m_freeBytes;
        total = m_freeBytes * 10;
        return true;
    }

private:
    std::uint64_t m_freeBytes;
};

// Runs kestrum-cli in this process over platform; returns its exit status and standard error.
int RunInProcess(platform::IPlatform& os, const std::vector<std::string>& args, std::string& err) {
    platform::InstallPlatform(&os);
    std::FILE* pErr = std::tmpfile();
    const int status = cli::RunKestrumCli(args, stdout, pErr);
    platform::InstallPlatform(nullptr);
    std::rewind(pErr);
    err.clear();
    for (int ch = std::fgetc(pErr); ch != EOF; ch = std::fgetc(pErr)) {
        err.push_back(static_cast<char>(ch));
    }
    std::fclose(pErr);
    return status;
}

// Truncates a file at the free-space question, which comes after the catalogue is loaded and
// walked and before the first copy.
class CTruncatingDisk : public platform::CForwardingPlatform {
public:
    explicit CTruncatingDisk(fs::path file)
        : CForwardingPlatform(platform::NativePlatform()), m_file(std::move(file)) {}
    bool GetDiskSpace(const WChar* path, std::uint64_t& freeToCaller,
                      std::uint64_t& total) override {
        fs::resize_file(m_file, 0);
        return CForwardingPlatform::GetDiskSpace(path, freeToCaller, total);
    }

private:
    fs::path m_file;
};

// The catalogue emptied by another program while songs are copied: every song still comes off
// (what the copies need was read with the catalogue), also with names that use its other fields.
TEST_F(CliEndToEnd, CatalogueTruncatedBeforeTheCopiesLosesNoSong) {
    std::vector<STrackEntry> songs;
    for (int i = 0; i < 40; ++i) {
        songs.push_back(Song(("Song " + std::to_string(i)).c_str(), "Artist", "Album",
                             ("S" + std::to_string(i) + ".mp3").c_str()));
    }
    const fs::path root = MakePlayer("player", songs);
    for (const char* naming : {"flat", "library"}) {
        SCOPED_TRACE(naming);
        MakePlayer("player", songs);
        const fs::path out = m_dir / naming;
        CTruncatingDisk disk(root / "iPod_Control" / "iTunes" / "iTunesDB");
        std::string err;
        EXPECT_EQ(RunInProcess(disk,
                               {"extract", "--all", "--name", naming, "--to", out.string(),
                                "--root", root.string()},
                               err),
                  0)
            << err;
        std::size_t files = 0;
        for (const auto& entry : fs::recursive_directory_iterator(out)) {
            files += entry.is_regular_file() ? 1u : 0u;
            EXPECT_EQ(entry.path().filename().string().find(".kestrum-"), std::string::npos);
        }
        EXPECT_EQ(files, songs.size());
    }
}

// Songs that need more room than the destination has free are refused before any is copied;
// the songs already there do not count, and --anyway copies regardless.
TEST_F(CliEndToEnd, SongsThatDoNotFitAreRefusedBeforeCopying) {
    const fs::path root =
        MakePlayer("player", {Song("One", "", "", "AAAA.mp3"), Song("Two", "", "", "BBBB.mp3"),
                              Song("Three", "", "", "CCCC.mp3")});
    const fs::path out = m_dir / "out";
    fs::create_directories(out);
    // Each song takes one 4 KB cluster: two fit, three do not.
    CSmallDisk disk(8192);
    const auto extract = [&](const std::vector<std::string>& more, std::string& err) {
        std::vector<std::string> args = {"extract",    "--all",  "--to",
                                         out.string(), "--root", root.string()};
        args.insert(args.end(), more.begin(), more.end());
        return RunInProcess(disk, args, err);
    };
    std::string err;
    EXPECT_EQ(extract({}, err), 1);
    EXPECT_EQ(err.substr(0, err.find(',')), "kestrum-cli: the 3 songs need 0.0 MB") << err;
    EXPECT_TRUE(fs::is_empty(out));
    WriteBytes(out / "One.MP3", SongBytes(0));
    EXPECT_EQ(extract({}, err), 0) << err;
    fs::remove(out / "Two.MP3");
    fs::remove(out / "Three.MP3");
    fs::remove(out / "One.MP3");
    EXPECT_EQ(extract({"--anyway"}, err), 0) << err;
    EXPECT_EQ(ReadBytes(out / "Three.MP3"), SongBytes(2));
}

// A player whose catalogue forgot a song, and whose folders are named in another case than the
// catalogue names them: --lost finds only the forgotten file, read from its tags; with the
// catalogue gone, --from-files lists every song file in folder order and copies them named
// from their tags, byte for byte.
TEST_F(CliEndToEnd, SongFilesAreListedFromTheirTags) {
    const fs::path root = MakePlayer("player", {Song("Known", "Band", "Album", "AAAA.mp3")});
    fs::rename(root / "iPod_Control" / "Music" / "F01", root / "iPod_Control" / "Music" / "f01");
    const tagbuild::Bytes forgotten = tagbuild::Concat(
        {tagbuild::Id3v2(3, {tagbuild::Text("TIT2", u"Forgotten"), tagbuild::Text("TPE1", u"Ghost"),
                             tagbuild::Text("TALB", u"Attic")}),
         tagbuild::MpegFrames(4)});
    WriteBytes(root / "iPod_Control" / "Music" / "F00" / "ZZZZ.MP3", forgotten);
    WriteBytes(root / "iPod_Control" / "Music" / "F00" / "notes.txt", {'x'});
    const std::string where = " --root " + Quote(root.string());

    const SRun lost = Run("list --lost" + where);
    EXPECT_EQ(lost.nStatus, 0) << lost.err;
    EXPECT_EQ(lost.out,
              "1\tForgotten\tGhost\tAttic\tForgotten.MP3\tiPod_Control/Music/F00/ZZZZ.MP3\n");

    fs::remove(root / "iPod_Control" / "iTunes" / "iTunesDB");
    const SRun files = Run("list --from-files" + where);
    EXPECT_EQ(files.nStatus, 0) << files.err;
    EXPECT_EQ(files.out,
              "0\tForgotten\tGhost\tAttic\tForgotten.MP3\tiPod_Control/Music/F00/ZZZZ.MP3\n"
              "1\tAAAA\t\t\tAAAA.mp3\tiPod_Control/Music/f01/AAAA.mp3\n");
    const fs::path out = m_dir / "out";
    const SRun copied =
        Run("extract --all --from-files --name artist-title --to " + Quote(out.string()) + where);
    EXPECT_EQ(copied.nStatus, 0) << copied.err;
    EXPECT_EQ(ReadBytes(out / "Ghost - Forgotten.MP3"), forgotten);
    EXPECT_EQ(ReadBytes(out / "Unknown Artist - AAAA.mp3"), SongBytes(0));
}

TEST_F(CliEndToEnd, RealSamplesListAsExpected) {
    const fs::path samples = KESTRUM_SAMPLES_DIR;
    if (!fs::exists(samples)) {
        GTEST_SKIP() << "no samples at " << samples;
    }
    int nSamples = 0;
    for (const auto& entry : fs::directory_iterator(samples)) {
        if (entry.path().extension() != ".iTunesDB") {
            continue;
        }
        const fs::path expected = fs::path(entry.path()).replace_extension(".expected.tsv");
        if (!fs::exists(expected)) {
            continue;
        }
        ++nSamples;
        const fs::path root = m_dir / entry.path().stem();
        WriteBytes(root / "iPod_Control" / "Device" / "SysInfo", {});
        fs::create_directories(root / "iPod_Control" / "iTunes");
        fs::copy_file(entry.path(), root / "iPod_Control" / "iTunes" / "iTunesDB");

        std::string want;
        for (const std::string& line : Lines(ReadText(expected))) {
            std::vector<std::string> fields;
            std::size_t start = 0;
            for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos;
                 start = tab + 1) {
                fields.push_back(line.substr(start, tab - start));
            }
            fields.push_back(line.substr(start));
            ASSERT_EQ(fields.size(), 6u) << line;
            const auto escape = [](const std::string& text) {
                std::string escaped;
                for (const char ch : text) {
                    escaped += ch == '\\' ? std::string("\\\\") : std::string(1, ch);
                }
                return escaped;
            };
            // A title's separators are characters of its file's name.
            std::string fileName = fields[1];
            std::replace(fileName.begin(), fileName.end(), '/', '_');
            std::replace(fileName.begin(), fileName.end(), '\\', '_');
            want += fields[0] + "\t" + escape(fields[1]) + "\t" + escape(fields[2]) + "\t" +
                    escape(fields[3]) + "\t" + fileName + "." + fields[4] + "\n";
        }
        const SRun run = Run("list --root " + Quote(root.string()));
        EXPECT_EQ(run.nStatus, 0) << entry.path() << run.err;
        EXPECT_EQ(run.err, "") << entry.path();
        const std::vector<std::string> got = Lines(run.out);
        const std::vector<std::string> wanted = Lines(want);
        EXPECT_EQ(got.size(), wanted.size()) << entry.path();
        for (std::size_t i = 0; i < std::min(got.size(), wanted.size()); ++i) {
            if (got[i] != wanted[i]) {
                ADD_FAILURE() << entry.path() << " row " << i << "\n got: " << got[i]
                              << "\nwant: " << wanted[i];
                break;
            }
        }
    }
    EXPECT_GT(nSamples, 0);
}

// Ctrl-C part-way through a run of 2000 songs: the songs copied so far (a committed batch of
// 1024 and the rest staged) keep their names, whole, and nothing else is left in the folder; the
// run says how far it got and ends with 130. Song 1500 is a FIFO: its open waits for a writer, so
// the run is held at a known point while the interrupt arrives, whatever the machine's speed.
TEST_F(CliEndToEnd, InterruptedExtractKeepsWhatItCopiedAndNothingElse) {
    constexpr std::size_t kSongs = 2000;
    constexpr std::size_t kHeld = 1500;
    std::vector<STrackEntry> songs;
    for (std::size_t i = 0; i < kSongs; ++i) {
        const std::string file = std::to_string(10000 + i) + ".mp3";
        songs.push_back(Song(("Song " + std::to_string(i)).c_str(), "", "", file.c_str()));
    }
    std::vector<std::size_t> all(kSongs);
    std::iota(all.begin(), all.end(), std::size_t{0});
    const fs::path root = MakePlayer("player", songs, all);
    const auto content = [](std::size_t i) { return "song " + std::to_string(i) + "\n"; };
    for (std::size_t i = 0; i < kSongs; ++i) {
        if (i != kHeld) {
            const std::string text = content(i);
            WriteBytes(NativeLocation(root, *songs[i].location),
                       std::vector<std::uint8_t>(text.begin(), text.end()));
        }
    }
    const fs::path fifo = NativeLocation(root, *songs[kHeld].location);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const fs::path out = m_dir / "out";

    CCliProcess cli({"extract", "--all", "--to", out.string(), "--root", root.string()},
                    m_dir / "stdout.txt", m_dir / "stderr.txt");
    ASSERT_GT(cli.Pid(), 0);
    // Every song before the FIFO has a name, a temporary file or an unnamed file the run holds
    // before the run waits on it.
    ASSERT_TRUE(WaitUntil([&] {
        return Names(out).size() + UnnamedCopiesHeld(cli.Pid(), out) >= kHeld || cli.HasEnded();
    }));
    ASSERT_FALSE(cli.HasEnded()) << ReadText(m_dir / "stderr.txt");
    ASSERT_EQ(kill(cli.Pid(), SIGINT), 0);
    // Lets the run past the FIFO (it then fails, not being a file), unless the interrupt stopped
    // the last copy before it and the run never reaches it.
    ASSERT_TRUE(WaitUntil([&] {
        const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            close(fd);
            return true;
        }
        return cli.HasEnded();
    }));
    EXPECT_EQ(cli.Wait(), 130);

    const std::string err = ReadText(m_dir / "stderr.txt");
    const std::string prefix = "Interrupted: ";
    const std::string suffix = " of 2000 songs extracted\n";
    ASSERT_TRUE(err.starts_with(prefix) && err.ends_with(suffix)) << err;
    const std::size_t copied = std::stoul(err.substr(prefix.size()));
    EXPECT_EQ(err, prefix + std::to_string(copied) + suffix);
    // The song whose copy was seen last may have been abandoned mid-copy.
    EXPECT_GE(copied, kHeld - 1);
    EXPECT_LE(copied, kHeld);
    std::set<std::string> expected;
    for (std::size_t i = 0; i < copied; ++i) {
        expected.insert("Song " + std::to_string(i) + ".MP3");
        const std::string text = content(i);
        EXPECT_EQ(ReadBytes(out / ("Song " + std::to_string(i) + ".MP3")),
                  std::vector<std::uint8_t>(text.begin(), text.end()))
            << i;
    }
    EXPECT_EQ(Names(out), expected);
}

// What a run stopped hard left behind: the next run into the folder removes the temporary files
// of ended processes and nothing else, and a song whose name is taken takes the next one.
TEST_F(CliEndToEnd, ExtractRemovesStaleTemporariesAndKeepsExistingFiles) {
    const fs::path root =
        MakePlayer("player", {Song("One", "", "", "AAAA.mp3"), Song("Two", "", "", "BBBB.mp3")});
    const fs::path out = m_dir / "out";
    const std::string stale = ".kestrum-" + std::to_string(EndedProcess()) + "-7.tmp";
    // This test's own process stands for another run still under way.
    const std::string live = ".kestrum-" + std::to_string(getpid()) + "-7.tmp";
    for (const std::string& name :
         {stale, live, std::string(".kestrum-notes"), std::string("One.MP3")}) {
        WriteBytes(out / name, {'m', 'i', 'n', 'e'});
    }
    const SRun run =
        Run("extract --all --to " + Quote(out.string()) + " --root " + Quote(root.string()));
    EXPECT_EQ(run.nStatus, 0) << run.err;
    EXPECT_EQ(ReadBytes(out / "One.MP3"), (std::vector<std::uint8_t>{'m', 'i', 'n', 'e'}));
    EXPECT_EQ(ReadBytes(out / "One (2).MP3"), SongBytes(0));
    EXPECT_EQ(ReadBytes(out / "Two.MP3"), SongBytes(1));
    EXPECT_EQ(Names(out),
              (std::set<std::string>{live, ".kestrum-notes", "One.MP3", "One (2).MP3", "Two.MP3"}));
}

#ifdef KESTRUM_DEMO_EXE
TEST_F(CliEndToEnd, DemoPlayerListsAndExtracts) {
    const fs::path demo = m_dir / "demo";
    const fs::path again = m_dir / "again";
    ASSERT_EQ(
        std::system((Quote(KESTRUM_DEMO_EXE) + " " + Quote(demo.string()) + " >/dev/null").c_str()),
        0);
    ASSERT_EQ(std::system(
                  (Quote(KESTRUM_DEMO_EXE) + " " + Quote(again.string()) + " >/dev/null").c_str()),
              0);
    const fs::path database = fs::path("iPod_Control") / "iTunes" / "iTunesDB";
    EXPECT_EQ(ReadBytes(demo / database), ReadBytes(again / database));

    const SRun list = Run("list --root " + Quote(demo.string()));
    ASSERT_EQ(list.nStatus, 0) << list.err;
    const std::vector<std::string> rows = Lines(list.out);
    ASSERT_EQ(rows.size(), 12u);
    int nHomecoming = 0;
    for (const std::string& row : rows) {
        nHomecoming += row.find("\tHomecoming.WAV") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(nHomecoming, 2);

    // Its history, with the plays since the last sync from its Play Counts file: the first song
    // was played once before the sync and once since, and rated five stars on the player.
    const SRun history =
        Run("list --format csv --fields rating,plays --root " + Quote(demo.string()));
    ASSERT_EQ(history.nStatus, 0) << history.err;
    EXPECT_EQ(history.out.substr(0, 22), "\xEF\xBB\xBFrating,plays\r\n5,2\r\n");
    EXPECT_EQ(history.err, "");

    const fs::path out = m_dir / "out";
    const SRun extract =
        Run("extract --all --to " + Quote(out.string()) + " --root " + Quote(demo.string()));
    ASSERT_EQ(extract.nStatus, 0) << extract.err;
    const std::vector<std::uint8_t> wav = ReadBytes(out / "Homecoming (2).WAV");
    ASSERT_GT(wav.size(), 44u);
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(dbwriter::GetU32(wav, 24), 22050u);  // sample rate
    EXPECT_EQ(dbwriter::GetU32(wav, 4), wav.size() - 8);
    EXPECT_NE(ReadBytes(out / "Homecoming.WAV"), wav);

    // The nano-style demo lists and extracts the same.
    const fs::path nano = m_dir / "nano";
    ASSERT_EQ(std::system((Quote(KESTRUM_DEMO_EXE) + " " + Quote(nano.string()) +
                           " --compressed >/dev/null")
                              .c_str()),
              0);
    EXPECT_TRUE(ReadBytes(nano / database).empty());
    EXPECT_EQ(Run("list --root " + Quote(nano.string())).out, list.out);
    const fs::path nanoOut = m_dir / "nano-out";
    ASSERT_EQ(
        Run("extract --all --to " + Quote(nanoOut.string()) + " --root " + Quote(nano.string()))
            .nStatus,
        0);
    EXPECT_EQ(ReadBytes(nanoOut / "Homecoming (2).WAV"), wav);
}
#endif

}  // namespace
