// The search rule over the song table.
#include "songdb/SongSearch.h"

#include "songdb/SongDatabase.h"

bool SongCellMatches(const ISongTable& table, int row, int column, const WChar* pszPattern,
                     int nPatternLength) {
    WChar szText[kMaxPath] = {};
    const int nLength = table.GetItemText(row, column, szText, static_cast<int>(kMaxPath));
    if (nLength < nPatternLength || nLength == 0) {
        return false;
    }
    // Every start position is tried, even those with fewer characters left than the search
    // text: the cell's terminating zero then ends the comparison as a difference.
    for (int p = 0; p < nLength; ++p) {
        if (CSongDatabase::MatchPrefix(pszPattern, szText + p, nPatternLength)) {
            return true;
        }
    }
    return false;
}
