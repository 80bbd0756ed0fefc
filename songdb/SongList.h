// The song list with every field a track has, as CSV or JSON, for other music libraries to
// import: the command-line tool's list and search and the window's "Save song list...".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Text.h"

class CSongDatabase;

namespace songlist {

// The fields, in the order "all" gives them; their names are the CSV header's and JSON's keys.
enum class EField {
    kRow,
    kTitle,
    kArtist,
    kAlbum,
    kAlbumArtist,
    kComposer,
    kGenre,
    kComment,
    kYear,
    kTrack,
    kTracks,
    kDisc,
    kDiscs,
    kLength,
    kSize,
    kBitRate,
    kSampleRate,
    kRating,
    kPlays,
    kSkips,
    kLastPlayed,
    kLastSkipped,
    kAdded,
    kModified,
    kType,
    kLocation,
};

std::string_view FieldName(EField eField);
std::vector<EField> AllFields();
// "all", or names separated by commas. False with the first unknown name in unknown.
bool ParseFields(std::string_view text, std::vector<EField>& fields, std::string& unknown);

// A player time (seconds since 1904-01-01 in the player's local time) in ISO 8601, with the
// offset from UTC that this computer's time zone had at that date and time (the player's clock
// is set from the computer it syncs with). Times before 1970 go without an offset, where the
// platforms' time zone rules do not reach. Empty for 0, which means never.
std::string FormatTime(std::uint32_t dwPlayerTime);
// Milliseconds as seconds with three decimals: "245.120".
std::string FormatLength(std::uint32_t dwMilliseconds);
// A rating of stars x 20 as stars: "4", "2.5".
std::string FormatStars(std::uint32_t dwRating);

// One value of a song: absent (an empty CSV field, JSON null), a text or a number (written as
// its digits).
struct SValue {
    enum class EKind { kAbsent, kText, kNumber };
    EKind eKind = EKind::kAbsent;
    WString strText;
};

// The values of row's fields.
std::vector<SValue> SongValues(const CSongDatabase& database, int row,
                               const std::vector<EField>& fields);

// A CSV field as RFC 4180 has it, quoted when it holds a comma, quote, CR or LF. A text that
// starts with = + - or @ gets a ' in front: a spreadsheet would take it for a formula and run it.
void AppendCsvText(std::string& out, WStringView text);
// A JSON string, quotes included: control characters escaped, lone surrogates replaced by
// U+FFFD (never written raw: that would not be UTF-8).
void AppendJsonString(std::string& out, WStringView text);

enum class EFormat { kCsv, kJson };

// Writes a song list in pieces, so that a long one need not be held whole: Begin, one AppendRow
// per song, End. CSV is UTF-8 with a byte order mark and CR LF line ends (as spreadsheet
// programs want it to open with the right characters), a header row first; JSON is an array of
// objects, one per line.
class CSongListWriter {
public:
    CSongListWriter(EFormat eFormat, std::vector<EField> fields)
        : m_eFormat(eFormat), m_fields(std::move(fields)) {}

    void Begin(std::string& out);
    void AppendRow(std::string& out, const CSongDatabase& database, int row);
    void End(std::string& out);

private:
    EFormat m_eFormat;
    std::vector<EField> m_fields;
    bool m_bFirstRow = true;
};

// The whole list of rows in one text.
std::string WriteSongList(EFormat eFormat, const std::vector<EField>& fields,
                          const CSongDatabase& database, const std::vector<int>& rows);

}  // namespace songlist
