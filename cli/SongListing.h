// What kestrum-cli prints: song table rows as tab-separated lines, the search the dialog does,
// and the figures of an extract run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "songdb/SongSearch.h"
#include "songdb/SongTable.h"

namespace cli {

// A field with backslash, tab, carriage return and line feed written as \\, \t, \r and \n, so
// that every row stays one line of five fields.
std::string EscapeField(WStringView text);
void AppendEscapedField(std::string& out, WStringView text);

// One output line (with its line feed): row, title, artist, album and file name.
std::string FormatRowLine(int row, WStringView title, WStringView artist, WStringView album,
                          WStringView fileName);
void AppendRowLine(std::string& out, int row, WStringView title, WStringView artist,
                   WStringView album, WStringView fileName);

// The search text as the dialog keeps it: its first 79 characters.
WString SearchPattern(WStringView text);

// The rows the dialog's search finds one press after another, in order: the rows below
// trackCount whose cell in column contains pattern (a to z in either case, everything else
// exactly), looking at the first 259 characters of each cell. pattern must hold at least 3
// characters.
std::vector<int> FindMatchingRows(const ISongTable& table, std::uint32_t trackCount,
                                  WStringView pattern, int column);

// One song of an M3U8 playlist, two lines: "#EXTINF:SECONDS,ARTIST - TITLE" (seconds rounded,
// -1 when the length is unknown, line breaks in the texts as spaces) and path. Empty when path
// holds a line break, which no playlist line can carry.
std::string FormatPlaylistEntry(std::uint32_t lengthMs, WStringView artist, WStringView title,
                                WStringView path);

// "512.3 MB" (megabytes of 2^20 bytes, one decimal).
std::string FormatMegabytes(std::uint64_t bytes);

// What an extract run did with the songs it was given.
struct SRunCounts {
    std::size_t chosen = 0;
    std::size_t copied = 0;        // copied now
    std::size_t alreadyThere = 0;  // found in the folder with the same bytes, not copied again
    std::uint64_t bytes = 0;       // of the copies made now
};

// The closing line of an extract run, without line feed:
// "Extracted 116 of 123 songs (512.3 MB) to /x in 3.2 s; 2 already there; 5 failed".
std::string FormatSummary(const SRunCounts& counts, const std::string& folder, double seconds);

// A progress line for a terminal, without line feed: songs done of total, a bar, the
// megabytes copied and the rate.
std::string FormatProgress(std::size_t done, std::size_t total, std::uint64_t bytes,
                           double seconds);

}  // namespace cli
