// Which rows of the song table match a search text: the one rule the window's search and the
// command line share.
#pragma once

#include <cstddef>

#include "platform/Text.h"
#include "songdb/SongTable.h"

// At most this many characters of the search text count; the rest is ignored.
inline constexpr std::size_t kSearchMaxLength = 79;
// Shorter search texts are refused ("Word size < 3").
inline constexpr std::size_t kSearchMinLength = 3;

// Whether the cell (row, column) holds the pattern (already upper-cased ASCII, nPatternLength
// characters), compared without regard to ASCII case from every start position of the cell. A
// cell is compared on its first 259 characters; an empty cell, or one shorter than the pattern,
// never matches.
bool SongCellMatches(const ISongTable& table, int row, int column, const WChar* pszPattern,
                     int nPatternLength);
