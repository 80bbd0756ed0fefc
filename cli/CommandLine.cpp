// Parses kestrum-cli's arguments into options; nothing here touches the player.
#include "cli/CommandLine.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <set>
#include <string_view>
#include <utility>

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

namespace {

// What the options have said so far, for the command to check them against.
struct SParse {
    SCliOptions& options;
    std::string& error;
    bool bFieldGiven = false;
    bool bFormatGiven = false;
    int nSelections = 0;

    bool Refuse(std::string reason) {
        error = std::move(reason);
        return false;
    }

    bool Select(ESelection eSelection) {
        options.eSelection = eSelection;
        ++nSelections;
        return true;
    }

    bool Folder(const char* pszOption, const std::string& value,
                std::optional<std::string>& folder) {
        if (value.empty()) {
            return Refuse(std::string(pszOption) + " wants a folder");
        }
        folder = value;
        return true;
    }
};

// One option: its name, whether it takes a value ("--name value" or "--name=value"), and what
// it does with it.
struct SOption {
    std::string_view name;
    bool bTakesValue;
    bool (*pfnApply)(SParse& parse, const std::string& value);
};

const SOption kOptions[] = {
    {"--drive", true,
     [](SParse& parse, const std::string& value) {
         char letter = 0;
         if (!ParseDrive(value, letter)) {
             return parse.Refuse("--drive wants a drive letter such as E, not \"" + value + "\"");
         }
         parse.options.drive = letter;
         return true;
     }},
    {"--root", true,
     [](SParse& parse, const std::string& value) {
         return parse.Folder("--root", value, parse.options.root);
     }},
    {"--field", true,
     [](SParse& parse, const std::string& value) {
         if (!ParseField(value, parse.options.nColumn)) {
             return parse.Refuse("--field is title, artist or album, not \"" + value + "\"");
         }
         parse.bFieldGiven = true;
         return true;
     }},
    {"--to", true,
     [](SParse& parse, const std::string& value) {
         return parse.Folder("--to", value, parse.options.toDir);
     }},
    {"--all", false,
     [](SParse& parse, const std::string&) { return parse.Select(ESelection::kAll); }},
    {"--rows", true,
     [](SParse& parse, const std::string& value) {
         if (!ParseRowList(value, parse.options.rows)) {
             return parse.Refuse("--rows wants row numbers and ranges such as 0,3,7-9, not \"" +
                                 value + "\"");
         }
         return parse.Select(ESelection::kRows);
     }},
    {"--name", true,
     [](SParse& parse, const std::string& value) {
         std::string nameTemplate;
         if (!ParseNameTemplate(value, nameTemplate, parse.error)) {
             return false;
         }
         parse.options.nameTemplate = nameTemplate;
         return true;
     }},
    {"--safe-names", false,
     [](SParse& parse, const std::string&) {
         parse.options.bSafeNames = true;
         return true;
     }},
    {"--from-files", false,
     [](SParse& parse, const std::string&) {
         parse.options.bFromFiles = true;
         return !parse.options.bLost || parse.Refuse("--from-files and --lost exclude each other");
     }},
    {"--lost", false,
     [](SParse& parse, const std::string&) {
         parse.options.bLost = true;
         return !parse.options.bFromFiles ||
                parse.Refuse("--from-files and --lost exclude each other");
     }},
    {"--anyway", false,
     [](SParse& parse, const std::string&) {
         parse.options.bAnyway = true;
         return true;
     }},
    {"--playlist", true,
     [](SParse& parse, const std::string& value) {
         parse.options.strPlaylist = value;
         return parse.Select(ESelection::kPlaylist);
     }},
    {"--format", true,
     [](SParse& parse, const std::string& value) {
         if (value == "tsv") {
             parse.options.eFormat = EListFormat::kTsv;
         } else if (value == "csv") {
             parse.options.eFormat = EListFormat::kCsv;
         } else if (value == "json") {
             parse.options.eFormat = EListFormat::kJson;
         } else {
             return parse.Refuse("--format is tsv, csv or json, not \"" + value + "\"");
         }
         parse.bFormatGiven = true;
         return true;
     }},
    {"--fields", true,
     [](SParse& parse, const std::string& value) {
         std::vector<songlist::EField> fields;
         std::string unknown;
         if (!songlist::ParseFields(value, fields, unknown)) {
             return parse.Refuse("--fields wants all or field names separated by commas; \"" +
                                 unknown + "\" is none (see --help)");
         }
         parse.options.fields = value;
         return true;
     }},
    {"--match", true,
     [](SParse& parse, const std::string& value) {
         parse.options.strSearch = value;
         return parse.Select(ESelection::kMatch);
     }},
};

// Applies the option at args[i]; a value given as the next argument moves i past it.
bool ApplyOption(const std::vector<std::string>& args, std::size_t& i, SParse& parse) {
    std::string name = args[i];
    std::optional<std::string> inlineValue;
    if (const std::size_t equals = name.find('='); equals != std::string::npos) {
        inlineValue = name.substr(equals + 1);
        name.resize(equals);
    }
    const auto* pOption =
        std::find_if(std::begin(kOptions), std::end(kOptions),
                     [&name](const SOption& option) { return option.name == name; });
    if (pOption == std::end(kOptions)) {
        return parse.Refuse("unknown option " + name);
    }
    std::string value;
    if (!pOption->bTakesValue) {
        if (inlineValue) {
            return parse.Refuse(name + " takes no value");
        }
    } else if (inlineValue) {
        value = *inlineValue;
    } else if (i + 1 >= args.size()) {
        return parse.Refuse(name + " needs a value");
    } else {
        value = args[++i];
    }
    return pOption->pfnApply(parse, value);
}

// One command: its name, and what it asks of its arguments (those after the command's name) and
// of the options given.
struct SCommand {
    std::string_view name;
    ECommand eCommand;
    bool (*pfnCheck)(SParse& parse, const std::vector<std::string>& arguments);
};

// --anyway means something to extract only.
bool RefuseAnyway(SParse& parse, std::string_view command) {
    return !parse.options.bAnyway ||
           parse.Refuse("--anyway goes with extract, not " + std::string(command));
}

// --format and --fields mean something to list and search only; --fields to CSV and JSON.
bool CheckFormat(SParse& parse, std::string_view command) {
    const bool bListing = command == "list" || command == "search";
    if (!bListing && (parse.bFormatGiven || parse.options.fields)) {
        return parse.Refuse("--format and --fields go with list and search, not " +
                            std::string(command));
    }
    if (parse.options.fields && parse.options.eFormat == EListFormat::kTsv) {
        return parse.Refuse("--fields goes with --format csv or json");
    }
    return true;
}

bool CheckList(SParse& parse, const std::vector<std::string>& arguments) {
    if (!RefuseAnyway(parse, "list") || !CheckFormat(parse, "list")) {
        return false;
    }
    if (!arguments.empty()) {
        return parse.Refuse("list takes no arguments");
    }
    if (parse.bFieldGiven || parse.options.toDir || parse.nSelections != 0) {
        return parse.Refuse(
            "list takes only --drive, --root, --name, --safe-names, --format and --fields");
    }
    return true;
}

bool CheckPlaylists(SParse& parse, const std::vector<std::string>& arguments) {
    if (!RefuseAnyway(parse, "playlists") || !CheckFormat(parse, "playlists")) {
        return false;
    }
    if (parse.options.bFromFiles || parse.options.bLost) {
        return parse.Refuse("playlists come from the catalogue: no --from-files or --lost");
    }
    if (!arguments.empty()) {
        return parse.Refuse("playlists takes no arguments");
    }
    const SCliOptions& options = parse.options;
    const bool bNaming = options.nameTemplate.has_value() || options.bSafeNames;
    if (parse.bFieldGiven || options.toDir || parse.nSelections != 0 || bNaming) {
        return parse.Refuse("playlists takes only --drive and --root");
    }
    return true;
}

bool CheckSearch(SParse& parse, const std::vector<std::string>& arguments) {
    if (!RefuseAnyway(parse, "search") || !CheckFormat(parse, "search")) {
        return false;
    }
    if (arguments.size() != 1) {
        return parse.Refuse("search takes one text");
    }
    if (parse.options.toDir || parse.nSelections != 0) {
        return parse.Refuse(
            "search takes only --field, --drive, --root, --name, --safe-names, --format and "
            "--fields");
    }
    parse.options.strSearch = arguments[0];
    return true;
}

bool CheckExtract(SParse& parse, const std::vector<std::string>& arguments) {
    if (!CheckFormat(parse, "extract")) {
        return false;
    }
    if (!arguments.empty()) {
        return parse.Refuse("extract takes no arguments besides its options");
    }
    if (!parse.options.toDir) {
        return parse.Refuse("extract needs --to DIR");
    }
    if (parse.nSelections != 1) {
        return parse.Refuse(
            "extract needs exactly one of --all, --rows LIST, --match TEXT and "
            "--playlist NAME");
    }
    if (parse.bFieldGiven && parse.options.eSelection != ESelection::kMatch) {
        return parse.Refuse("--field goes with --match");
    }
    if (parse.options.eSelection == ESelection::kPlaylist &&
        (parse.options.bFromFiles || parse.options.bLost)) {
        return parse.Refuse("--playlist comes from the catalogue: no --from-files or --lost");
    }
    return true;
}

const SCommand kCommands[] = {
    {"list", ECommand::kList, CheckList},
    {"playlists", ECommand::kPlaylists, CheckPlaylists},
    {"search", ECommand::kSearch, CheckSearch},
    {"extract", ECommand::kExtract, CheckExtract},
    {"help", ECommand::kHelp, [](SParse&, const std::vector<std::string>&) { return true; }},
};

// The command named first among the arguments that are not options, checked against the rest.
bool ApplyCommand(const std::vector<std::string>& positional, SParse& parse) {
    if (positional.empty()) {
        return parse.Refuse("no command given");
    }
    const std::string& name = positional[0];
    const auto* pCommand =
        std::find_if(std::begin(kCommands), std::end(kCommands),
                     [&name](const SCommand& command) { return command.name == name; });
    if (pCommand == std::end(kCommands)) {
        return parse.Refuse("unknown command \"" + name + "\"");
    }
    parse.options.eCommand = pCommand->eCommand;
    return pCommand->pfnCheck(parse, {positional.begin() + 1, positional.end()});
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& args, SCliOptions& options,
                      std::string& error) {
    options = SCliOptions{};
    SParse parse{options, error};
    std::vector<std::string> positional;
    bool bOptionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (bOptionsEnded || arg.size() < 2 || arg[0] != '-') {
            positional.push_back(arg);
        } else if (arg == "--") {
            bOptionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            options.eCommand = ECommand::kHelp;
            return true;
        } else if (arg == "--version") {
            options.eCommand = ECommand::kVersion;
            return true;
        } else if (!ApplyOption(args, i, parse)) {
            return false;
        }
    }
    if (!ApplyCommand(positional, parse)) {
        return false;
    }
    if (options.root && options.drive) {
        return parse.Refuse("--root and --drive do not go together");
    }
    return true;
}

const char* HelpText() {
    return R"(kestrum-cli: lists, searches and copies the songs of an iPod-class music player.

Usage:
  kestrum-cli list [FORMAT] [NAMING] [PLAYER]
  kestrum-cli search TEXT [--field title|artist|album] [FORMAT] [NAMING] [PLAYER]
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
          after its title and file type, with _ for every character DIR's
          disk cannot store (/ and \ everywhere; on Windows, FAT and exFAT
          also : * ? " < > |, control characters, trailing dots and spaces,
          and device names such as CON). Nothing in DIR is ever replaced:
          a song whose name is taken by another file becomes
          "Name (2).MP3", "Name (3).MP3"..., as do songs of the same name in
          one run; a song DIR already holds with the same bytes is not
          copied again and counts as already there, so a second run of the
          same extract copies nothing. A song whose location leaves the
          player is refused. When the songs to copy need more room than DIR
          has free, nothing is copied (exit status 1) unless --anyway is
          given. --all takes every row, --rows LIST rows such as
          0,3,7-9, --match TEXT the rows search finds, --playlist the songs
          of a playlist in its order, and writes DIR/NAME.m3u8 listing
          them. A progress bar goes to the terminal; a summary line always
          ends the run. An existing file in DIR is never replaced: that
          song is reported as not extracted. Ctrl-C stops the run: the
          songs copied so far keep their names, nothing half-copied is
          left, and "Interrupted: N of M songs extracted" ends it.

--from-files  (list, search, extract) the rows are the song files under
          iPod_Control/Music, any depth, with the title, artist and album
          their tags hold (the file's name when they hold no title), for a
          player whose catalogue is missing or damaged. The catalogue is not
          read. list and search add a sixth field: the file's path on the
          player.
--lost    (list, search, extract) only the song files the catalogue does
          not name, as rows after the catalogue's own; the same sixth field.

FORMAT (list and search):
  --format tsv   the lines above (the default)
  --format csv   CSV (RFC 4180): UTF-8 with a byte order mark, CR LF line
          ends, a header row of the field names. A text starting with
          = + - or @ gets a ' in front, so that a spreadsheet does not run
          it as a formula.
  --format json  a JSON array with one object per song, keyed by field name;
          a missing value is null.
  --fields all|F1,F2,...  the fields to write (CSV and JSON; all by default):
          row title artist album albumartist composer genre comment year
          track tracks disc discs length size bitrate samplerate rating
          plays skips lastplayed lastskipped added modified type location
          Lengths are seconds with milliseconds, ratings 0-5 stars, times
          ISO 8601 with the UTC offset of this computer's time zone at that
          date (times before 1970 without one); plays, skips, ratings and
          last played and skipped include the player's Play Counts file
          (the plays since its last sync) when it has one entry per song.
          A value the player does not hold, and a time of never, is empty.

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
          are shortened to fit 255 characters a name and the longest
          path the system takes.
          The default naming already does the same on Windows, FAT and
          exFAT disks, but for the shortening; elsewhere --safe-names
          makes names that can later move to such a disk unchanged.
  --anyway      extract even when the songs do not fit DIR's free space
          (as many as fit are copied; the others are reported).

Exit status:
  0   done (extract: every chosen song was copied or already there)
  1   extract: some songs were not copied (listed on standard error), or
      they would not fit DIR's free space (nothing copied)
  2   no player found ("Impossible to find an Ipod")
  3   the player's database could not be read ("Error is : N", or
      "An error occurred" when memory ran out)
  64  bad arguments, a search text shorter than 3 characters, or no such
      playlist
  130 extract interrupted (Ctrl-C, SIGTERM, SIGHUP, console closed)
)";
}

const char* VersionText() { return "kestrum-cli " KESTRUM_VERSION "\n"; }

}  // namespace cli
