// Output formats of kestrum-cli and the dialog's search, applied to a whole song table.
#include "cli/SongListing.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "songdb/SongDatabase.h"

namespace cli {

namespace {

// The two characters a character to escape is written as, or nullptr for one that goes out as
// it is.
const char* EscapeOf(WChar ch) {
    switch (ch) {
        case u'\\':
            return "\\\\";
        case u'\t':
            return "\\t";
        case u'\r':
            return "\\r";
        case u'\n':
            return "\\n";
        default:
            return nullptr;
    }
}

// Four characters that are ASCII and none of them to escape (none at or below the carriage
// return, no backslash) go out together, tested as the four 16-bit lanes of one 64-bit word.
constexpr std::size_t kPlainBlock = 4;
constexpr std::uint64_t kLanes = 0x0001000100010001;
constexpr std::uint64_t kLaneHighBits = 0x8000 * kLanes;

bool IsPlainBlock(const WChar* pBlock) {
    std::uint64_t word = 0;
    std::memcpy(&word, pBlock, sizeof word);
    if ((word & (0xFF80 * kLanes)) != 0) {
        return false;
    }
    // Each lane now holds less than 0x80, so adding to it never carries into the next lane: a
    // lane of 0x0E or more reaches 0x8000, and one that is not the backslash stays above 0
    // after the exclusive or and reaches 0x8000 too.
    const std::uint64_t aboveReturn = word + (0x8000 - 0x0E) * kLanes;
    const std::uint64_t notBackslash = (word ^ (u'\\' * kLanes)) + 0x7FFF * kLanes;
    return (aboveReturn & notBackslash & kLaneHighBits) == kLaneHighBits;
}

// The field at pOut, which has room for three bytes per character: an escape takes two, a
// character at most three.
char* PutEscapedField(char* pOut, WStringView text) {
    const WChar* pText = text.data();
    const WChar* const pEnd = pText + text.size();
    while (pText != pEnd) {
        if (pEnd - pText >= static_cast<std::ptrdiff_t>(kPlainBlock) && IsPlainBlock(pText)) {
            for (std::size_t i = 0; i < kPlainBlock; ++i) {
                pOut[i] = static_cast<char>(pText[i]);
            }
            pOut += kPlainBlock;
            pText += kPlainBlock;
        } else if (*pText < 0x80) {
            const char* pszEscape = EscapeOf(*pText++);
            if (pszEscape == nullptr) {
                *pOut++ = static_cast<char>(pText[-1]);
            } else {
                *pOut++ = pszEscape[0];
                *pOut++ = pszEscape[1];
            }
        } else {
            // Beyond ASCII, whole runs at a time, so that a surrogate pair stays together.
            const WChar* pRun = pText;
            while (pText != pEnd && *pText >= 0x80) {
                ++pText;
            }
            pOut = PutUtf8FromWide(pOut, {pRun, static_cast<std::size_t>(pText - pRun)});
        }
    }
    return pOut;
}

}  // namespace

std::string EscapeField(WStringView text) {
    std::string escaped;
    AppendEscapedField(escaped, text);
    return escaped;
}

void AppendEscapedField(std::string& out, WStringView text) {
    const std::size_t start = out.size();
    out.resize(start + 3 * text.size());
    char* const pStart = out.data() + start;
    out.resize(start + static_cast<std::size_t>(PutEscapedField(pStart, text) - pStart));
}

std::string FormatRowLine(int row, WStringView title, WStringView artist, WStringView album,
                          WStringView fileName) {
    std::string line;
    AppendRowLine(line, row, title, artist, album, fileName);
    return line;
}

// The room of the whole line is made at once: a listing of 40,000 rows writes 200,000 fields.
void AppendRowLine(std::string& out, int row, WStringView title, WStringView artist,
                   WStringView album, WStringView fileName) {
    constexpr std::size_t kNumberRoom = 11;  // "-2147483648"
    constexpr std::size_t kSeparators = 5;   // four tabs and the line feed
    const std::size_t start = out.size();
    out.resize(start + kNumberRoom + kSeparators +
               3 * (title.size() + artist.size() + album.size() + fileName.size()));
    char* const pStart = out.data() + start;
    char* pOut = std::to_chars(pStart, pStart + kNumberRoom, row).ptr;
    for (const WStringView field : {title, artist, album, fileName}) {
        *pOut++ = '\t';
        pOut = PutEscapedField(pOut, field);
    }
    *pOut++ = '\n';
    out.resize(start + static_cast<std::size_t>(pOut - pStart));
}

WString SearchPattern(WStringView text) {
    return WString(text.substr(0, std::min(text.size(), kSearchMaxLength)));
}

std::vector<int> FindMatchingRows(const ISongTable& table, std::uint32_t trackCount,
                                  WStringView pattern, int column) {
    std::vector<int> matches;
    // The dialog's buffers: 80 characters for the text, 260 for a cell.
    WChar szSearch[kSearchMaxLength + 1] = {};
    WCopyBounded(szSearch, kSearchMaxLength + 1, pattern);
    const int nSearchLength = static_cast<int>(WLength(szSearch));
    if (static_cast<std::size_t>(nSearchLength) < kSearchMinLength) {
        return matches;
    }
    UpperCaseAscii(szSearch);

    // Rows are addressed by int; a track count beyond that range cannot have rows for all.
    const std::uint32_t nRows = std::min<std::uint32_t>(trackCount, 0x7FFFFFFF);
    for (std::uint32_t i = 0; i < nRows; ++i) {
        if (SongCellMatches(table, static_cast<int>(i), column, szSearch, nSearchLength)) {
            matches.push_back(static_cast<int>(i));
        }
    }
    return matches;
}

std::string FormatPlaylistEntry(std::uint32_t lengthMs, WStringView artist, WStringView title,
                                WStringView path) {
    if (path.find_first_of(u"\r\n") != WStringView::npos) {
        return {};
    }
    WString shown = artist.empty() ? WString(title) : WString(artist) + u" - " + WString(title);
    std::replace_if(
        shown.begin(), shown.end(), [](WChar ch) { return ch == u'\r' || ch == u'\n'; }, u' ');
    const std::string seconds =
        lengthMs == 0 ? "-1" : std::to_string((static_cast<std::uint64_t>(lengthMs) + 500) / 1000);
    return "#EXTINF:" + seconds + "," + Utf8FromWide(shown) + "\n" + Utf8FromWide(path) + "\n";
}

std::string FormatMegabytes(std::uint64_t bytes) {
    // Tenths of a megabyte, rounded to nearest, computed in integers so output is exact.
    const std::uint64_t tenths = (bytes * 10 + (1u << 19)) >> 20;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " MB";
}

namespace {

std::string FormatTenths(double value) {
    char szBuffer[32];
    std::snprintf(szBuffer, sizeof szBuffer, "%.1f", value);
    return szBuffer;
}

}  // namespace

std::string FormatSummary(const SRunCounts& counts, const std::string& folder, double seconds) {
    std::string line =
        "Extracted " + std::to_string(counts.copied) + " of " + std::to_string(counts.chosen) +
        (counts.chosen == 1 ? " song (" : " songs (") + FormatMegabytes(counts.bytes) + ") to " +
        folder + " in " + FormatTenths(seconds) + " s";
    if (counts.alreadyThere > 0) {
        line += "; " + std::to_string(counts.alreadyThere) + " already there";
    }
    const std::size_t done = counts.copied + counts.alreadyThere;
    if (done < counts.chosen) {
        line += "; " + std::to_string(counts.chosen - done) + " failed";
    }
    return line;
}

std::string FormatProgress(std::size_t done, std::size_t total, std::uint64_t bytes,
                           double seconds) {
    constexpr std::size_t kBarWidth = 30;
    const std::size_t filled = total == 0 ? kBarWidth : done * kBarWidth / total;
    std::string line = std::to_string(done) + "/" + std::to_string(total) + " songs [";
    line.append(filled, '#');
    line.append(kBarWidth - filled, '-');
    line += "] " + FormatMegabytes(bytes);
    if (seconds > 0.0) {
        line += ", " + FormatTenths(static_cast<double>(bytes) / 1048576.0 / seconds) + " MB/s";
    }
    return line;
}

}  // namespace cli
