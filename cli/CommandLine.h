// The command line of kestrum-cli: commands, options and the row lists of extract.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "songdb/SongList.h"
#include "songdb/SongTable.h"

namespace cli {

enum class ECommand { kNone, kHelp, kVersion, kList, kSearch, kExtract, kPlaylists };

// How list and search print their rows: tab-separated lines (the default), CSV or JSON.
enum class EListFormat { kTsv, kCsv, kJson };

// Which rows extract copies.
enum class ESelection { kNone, kAll, kRows, kMatch, kPlaylist };

// An inclusive range of row numbers, "7-9" or "3" (first == last).
struct SRowRange {
    unsigned long first = 0;
    unsigned long last = 0;
};

struct SCliOptions {
    ECommand eCommand = ECommand::kNone;
    // The player: a drive letter (upper case), or a folder holding iPod_Control.
    std::optional<char> drive;
    std::optional<std::string> root;
    // search TEXT, or extract --match TEXT; UTF-8 as given.
    std::string strSearch;
    int nColumn = kColumnTitle;
    // extract
    std::optional<std::string> toDir;
    ESelection eSelection = ESelection::kNone;
    std::vector<SRowRange> rows;
    // extract --playlist: a playlist's name or its number in the playlists command.
    std::string strPlaylist;
    // --name as a template (a preset is replaced by its template), UTF-8; --safe-names.
    std::optional<std::string> nameTemplate;
    bool bSafeNames = false;
    // extract --anyway: copy even when the songs do not fit the destination's free space.
    bool bAnyway = false;
    // --from-files: the rows are the player's song files, read from their tags, catalogue or
    // not; --lost: only the song files the catalogue does not name (after its own rows).
    bool bFromFiles = false;
    bool bLost = false;
    // list and search: --format, and --fields as given (names or "all"; CSV and JSON only).
    EListFormat eFormat = EListFormat::kTsv;
    std::optional<std::string> fields;
};

// Parses args (without the program name). False with a one-line reason in error when the
// arguments do not form a command.
bool ParseCommandLine(const std::vector<std::string>& args, SCliOptions& options,
                      std::string& error);

// Parses "0,3,7-9": numbers and ascending ranges separated by commas, nothing else.
bool ParseRowList(const std::string& text, std::vector<SRowRange>& rows);

// The rows of ranges, ascending and without repeats, when every one is below rowCount.
// False (rows empty) when one is not; outOfRange then holds the first such number.
bool ExpandRowList(const std::vector<SRowRange>& ranges, unsigned long rowCount,
                   std::vector<int>& rows, unsigned long& outOfRange);

// The text of --help.
const char* HelpText();

// The line --version prints: the program's name and version.
const char* VersionText();

}  // namespace cli
