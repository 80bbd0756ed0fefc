// Parses kestrum-cli's arguments into options; nothing here touches the player.
#include "cli/CommandLine.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "KestrumVersion.h"
#include "platform/Text.h"
#include "songdb/NameTemplate.h"

namespace cli {
namespace {

// Row numbers beyond this are refused outright so that a range cannot ask for billions of rows.
constexpr unsigned long kMaxRowNumber = 0x7FFFFFFF;

bool ParseNumber(const std::string& text, unsigned long& value) {
    if (text.empty() || text.size() > 10) {
        return false;
    }
    // Ten digits fit 64 bits; unsigned long is only 32 bits wide on Windows.
    unsigned long long number = 0;
    for (const char ch : text) {
        if (ch < '0' || ch > '9') {
            return false;
        }
        number = number * 10 + static_cast<unsigned long long>(ch - '0');
    }
    if (number > kMaxRowNumber) {
        return false;
    }
    value = static_cast<unsigned long>(number);
    return true;
}

bool ParseField(const std::string& text, int& column) {
    if (text == "title") {
        column = kColumnTitle;
    } else if (text == "artist") {
        column = kColumnArtist;
    } else if (text == "album") {
        column = kColumnAlbum;
    } else {
        return false;
    }
    return true;
}

// "E", "e" or "E:".
bool ParseDrive(const std::string& text, char& letter) {
    if (text.empty() || text.size() > 2 || (text.size() == 2 && text[1] != ':')) {
        return false;
    }
    const unsigned char ch = static_cast<unsigned char>(text[0]);
    if (std::isalpha(ch) == 0 || ch > 0x7F) {
        return false;
    }
    letter = static_cast<char>(std::toupper(ch));
    return true;
}

// A preset's name or a template of its own.
bool ParseNameTemplate(const std::string& text, std::string& nameTemplate, std::string& error) {
    const WString preset = exportname::PresetTemplate(text);
    if (!preset.empty()) {
        nameTemplate = Utf8FromWide(preset);
        return true;
    }
    std::string reason;
    if (text.find('{') == std::string::npos) {
        reason = "it names no field";
    } else if (exportname::CheckTemplate(WideFromUtf8(text), reason)) {
        nameTemplate = text;
        return true;
    }
    error =
        "--name wants flat, artist-title, library or a template such as "
        "\"{artist}/{title}\", not \"" +
        text + "\": " + reason;
    return false;
}

}  // namespace

bool ParseRowList(const std::string& text, std::vector<SRowRange>& rows) {
    rows.clear();
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string::npos) {
            comma = text.size();
        }
        const std::string item = text.substr(start, comma - start);
        const std::size_t dash = item.find('-');
        SRowRange range;
        if (dash == std::string::npos) {
            if (!ParseNumber(item, range.first)) {
                return false;
            }
            range.last = range.first;
        } else if (!ParseNumber(item.substr(0, dash), range.first) ||
                   !ParseNumber(item.substr(dash + 1), range.last) || range.last < range.first) {
            return false;
        }
        rows.push_back(range);
        start = comma + 1;
    }
    return !rows.empty();
}

bool ExpandRowList(const std::vector<SRowRange>& ranges, unsigned long rowCount,
                   std::vector<int>& rows, unsigned long& outOfRange) {
    rows.clear();
    for (const SRowRange& range : ranges) {
        if (range.first >= rowCount) {
            outOfRange = range.first;
            return false;
        }
        if (range.last >= rowCount) {
            outOfRange = range.last;
            return false;
        }
    }
    std::set<int> chosen;
    for (const SRowRange& range : ranges) {
        for (unsigned long row = range.first; row <= range.last; ++row) {
            chosen.insert(static_cast<int>(row));
        }
    }
    rows.assign(chosen.begin(), chosen.end());
    return true;
}

bool ParseCommandLine(const std::vector<std::string>& args, SCliOptions& options,
                      std::string& error) {
    options = SCliOptions{};
    std::vector<std::string> positional;
    bool bFieldGiven = false;
    bool bOptionsEnded = false;
    int nSelections = 0;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (bOptionsEnded || arg.size() < 2 || arg[0] != '-') {
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            bOptionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            options.eCommand = ECommand::kHelp;
            return true;
        }
        if (arg == "--version") {
            options.eCommand = ECommand::kVersion;
            return true;
        }
        // "--name value" or "--name=value".
        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (const std::size_t equals = arg.find('='); equals != std::string::npos) {
            name = arg.substr(0, equals);
            inlineValue = arg.substr(equals + 1);
        }
        const auto takeValue = [&](std::string& value) {
            if (inlineValue) {
                value = *inlineValue;
                return true;
            }
            if (i + 1 >= args.size()) {
                error = name + " needs a value";
                return false;
            }
            value = args[++i];
            return true;
        };
        const auto noValue = [&]() {
            if (inlineValue) {
                error = name + " takes no value";
                return false;
            }
            return true;
        };

        std::string value;
        if (name == "--drive") {
            char letter = 0;
            if (!takeValue(value)) {
                return false;
            }
            if (!ParseDrive(value, letter)) {
                error = "--drive wants a drive letter such as E, not \"" + value + "\"";
                return false;
            }
            options.drive = letter;
        } else if (name == "--root") {
            if (!takeValue(value)) {
                return false;
            }
            if (value.empty()) {
                error = "--root wants a folder";
                return false;
            }
            options.root = value;
        } else if (name == "--field") {
            if (!takeValue(value)) {
                return false;
            }
            if (!ParseField(value, options.nColumn)) {
                error = "--field is title, artist or album, not \"" + value + "\"";
                return false;
            }
            bFieldGiven = true;
        } else if (name == "--to") {
            if (!takeValue(value)) {
                return false;
            }
            if (value.empty()) {
                error = "--to wants a folder";
                return false;
            }
            options.toDir = value;
        } else if (name == "--all") {
            if (!noValue()) {
                return false;
            }
            options.eSelection = ESelection::kAll;
            ++nSelections;
        } else if (name == "--rows") {
            if (!takeValue(value)) {
                return false;
            }
            if (!ParseRowList(value, options.rows)) {
                error =
                    "--rows wants row numbers and ranges such as 0,3,7-9, not \"" + value + "\"";
                return false;
            }
            options.eSelection = ESelection::kRows;
            ++nSelections;
        } else if (name == "--name") {
            std::string nameTemplate;
            if (!takeValue(value) || !ParseNameTemplate(value, nameTemplate, error)) {
                return false;
            }
            options.nameTemplate = nameTemplate;
        } else if (name == "--safe-names") {
            if (!noValue()) {
                return false;
            }
            options.bSafeNames = true;
        } else if (name == "--playlist") {
            if (!takeValue(value)) {
                return false;
            }
            options.strPlaylist = value;
            options.eSelection = ESelection::kPlaylist;
            ++nSelections;
        } else if (name == "--match") {
            if (!takeValue(value)) {
                return false;
            }
            options.strSearch = value;
            options.eSelection = ESelection::kMatch;
            ++nSelections;
        } else {
            error = "unknown option " + name;
            return false;
        }
    }

    if (positional.empty()) {
        error = "no command given";
        return false;
    }
    const std::string& command = positional[0];
    const std::size_t nArguments = positional.size() - 1;
    const bool bNaming = options.nameTemplate.has_value() || options.bSafeNames;
    if (command == "list") {
        options.eCommand = ECommand::kList;
        if (nArguments != 0) {
            error = "list takes no arguments";
            return false;
        }
        if (bFieldGiven || options.toDir || nSelections != 0) {
            error = "list takes only --drive, --root, --name and --safe-names";
            return false;
        }
    } else if (command == "playlists") {
        options.eCommand = ECommand::kPlaylists;
        if (nArguments != 0) {
            error = "playlists takes no arguments";
            return false;
        }
        if (bFieldGiven || options.toDir || nSelections != 0 || bNaming) {
            error = "playlists takes only --drive and --root";
            return false;
        }
    } else if (command == "search") {
        options.eCommand = ECommand::kSearch;
        if (nArguments != 1) {
            error = "search takes one text";
            return false;
        }
        if (options.toDir || nSelections != 0) {
            error = "search takes only --field, --drive, --root, --name and --safe-names";
            return false;
        }
        options.strSearch = positional[1];
    } else if (command == "extract") {
        options.eCommand = ECommand::kExtract;
        if (nArguments != 0) {
            error = "extract takes no arguments besides its options";
            return false;
        }
        if (!options.toDir) {
            error = "extract needs --to DIR";
            return false;
        }
        if (nSelections != 1) {
            error =
                "extract needs exactly one of --all, --rows LIST, --match TEXT and "
                "--playlist NAME";
            return false;
        }
        if (bFieldGiven && options.eSelection != ESelection::kMatch) {
            error = "--field goes with --match";
            return false;
        }
    } else if (command == "help") {
        options.eCommand = ECommand::kHelp;
    } else {
        error = "unknown command \"" + command + "\"";
        return false;
    }
    if (options.root && options.drive) {
        error = "--root and --drive do not go together";
        return false;
    }
    return true;
}

const char* HelpText() {
    return R"(kestrum-cli: lists, searches and copies the songs of an iPod-class music player.

Usage:
  kestrum-cli list [NAMING] [PLAYER]
  kestrum-cli search TEXT [--field title|artist|album] [NAMING] [PLAYER]
  kestrum-cli extract --to DIR (--all | --rows LIST | --match TEXT [--field F] |
                      --playlist NAME|NUMBER) [NAMING] [PLAYER]
  kestrum-cli playlists [PLAYER]
  kestrum-cli --help
  kestrum-cli --version

PLAYER (by default the drives D to Z are tried in order and the first that
holds iPod_Control\Device\SysInfo is used):
  --drive E     use only drive E
  --root DIR    use DIR, a folder holding iPod_Control, as the player's drive

Off Windows, drive letters come from the KESTRUM_DRIVES variable
(for example "E=/srv/player;G=/tmp/other"); without it, the file systems
mounted under /media, /run/media and /mnt are drives D, E, F... in
mount-point order.

list      One line per song, in the player's order: row number (from 0),
          title, artist, album and the file name an extract of that row
          creates (title, dot, file type; with --name, the path below DIR,
          folders separated by /), separated by tabs. In a field,
          backslash, tab, carriage return and line feed are written as
          \\, \t, \r and \n.

search    The rows whose title (or --field artist / album) contains TEXT,
          in the same format as list. Letters a to z match either case;
          every other character matches only itself. TEXT needs at least 3
          characters; only its first 79 count.

extract   Copies the chosen songs into DIR (created when missing), each named
          after its title and file type. Songs of the same name in one run
          become "Name (2).MP3", "Name (3).MP3"... Titles that would leave DIR
          are refused. --all takes every row, --rows LIST rows such as
          0,3,7-9, --match TEXT the rows search finds, --playlist the songs
          of a playlist in its order, and writes DIR/NAME.m3u8 listing
          them. A progress bar goes to the terminal; a summary line always
          ends the run.

playlists One line per playlist (the library's own hidden one left out):
          number (from 1, for --playlist), name and number of songs,
          separated by tabs.

NAMING (by default a copy is named title, dot, type, as stored):
  --name TEMPLATE|PRESET   where each copy goes below DIR. Fields:
          {title} {artist} {album} {albumartist} {genre} {composer}
          {year} {track} {disc}; numbers take a width, {track:02} -> 07.
          / makes folders. A part in [ ] is left out when its fields are
          all empty or 0. An empty title, artist or album outside [ ]
          reads "Unknown Title", "Unknown Artist", "Unknown Album";
          {albumartist} falls back to the artist. The type suffix is
          added after the template. Presets:
            flat          {title} (the default)
            artist-title  {artist} - {title}
            library       {albumartist}/{album}/[{disc}-][{track:02} ]{title}
          e.g. --name library gives "Artist/Album/1-07 Title.MP3".
  --safe-names  names every disk accepts, also with the default naming
          (always on with any other template): \ / : * ? " < > | and
          control characters become _, trailing dots and spaces go,
          CON, PRN, AUX, NUL, COM1-9 and LPT1-9 get a _, and long titles
          are shortened to fit 255 characters a name and 259 a path.

Exit status:
  0   done (extract: every chosen song was copied)
  1   extract: some songs were not copied (listed on standard error)
  2   no player found ("Impossible to find an Ipod")
  3   the player's database could not be read ("Error is : N", or
      "An error occurred" when memory ran out)
  64  bad arguments, a search text shorter than 3 characters, or no such
      playlist
)";
}

const char* VersionText() { return "kestrum-cli " KESTRUM_VERSION "\n"; }

}  // namespace cli
