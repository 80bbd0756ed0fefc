// Output formats of kestrum-cli and the dialog's search, applied to a whole song table.
#include "cli/SongListing.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "songdb/SongDatabase.h"

namespace cli {

std::string EscapeField(WStringView text) {
    std::string escaped;
    AppendEscapedField(escaped, text);
    return escaped;
}

// The text between two characters to escape goes out in one piece.
void AppendEscapedField(std::string& out, WStringView text) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char* pszEscape = nullptr;
        switch (text[i]) {
            case u'\\':
                pszEscape = "\\\\";
                break;
            case u'\t':
                pszEscape = "\\t";
                break;
            case u'\r':
                pszEscape = "\\r";
                break;
            case u'\n':
                pszEscape = "\\n";
                break;
            default:
                continue;
        }
        AppendUtf8FromWide(out, text.substr(start, i - start));
        out += pszEscape;
        start = i + 1;
    }
    AppendUtf8FromWide(out, text.substr(start));
}

std::string FormatRowLine(int row, WStringView title, WStringView artist, WStringView album,
                          WStringView fileName) {
    std::string line;
    AppendRowLine(line, row, title, artist, album, fileName);
    return line;
}

void AppendRowLine(std::string& out, int row, WStringView title, WStringView artist,
                   WStringView album, WStringView fileName) {
    char szRow[16];
    const auto [pEnd, error] = std::to_chars(szRow, szRow + sizeof szRow, row);
    out.append(szRow, error == std::errc() ? pEnd : szRow);
    for (const WStringView field : {title, artist, album, fileName}) {
        out += '\t';
        AppendEscapedField(out, field);
    }
    out += '\n';
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
