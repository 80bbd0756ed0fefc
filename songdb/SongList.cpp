// The song list as CSV or JSON: field names, how each value is written, and the two formats.
#include "songdb/SongList.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "songdb/SongDatabase.h"

namespace songlist {
namespace {

using trackrecord::ENumber;

constexpr std::array<std::string_view, 26> kFieldNames = {
    "row",         "title",   "artist",     "album",  "albumartist", "composer", "genre",
    "comment",     "year",    "track",      "tracks", "disc",        "discs",    "length",
    "size",        "bitrate", "samplerate", "rating", "plays",       "skips",    "lastplayed",
    "lastskipped", "added",   "modified",   "type",   "location",
};

// Seconds from the player's epoch, 1904-01-01, to 1970-01-01: 66 years with 17 leap days.
constexpr std::int64_t kPlayerEpochToUnix = std::int64_t{24107} * 86400;

constexpr WChar kReplacement = 0xFFFD;

bool IsHighSurrogate(WChar ch) { return ch >= 0xD800 && ch <= 0xDBFF; }
bool IsLowSurrogate(WChar ch) { return ch >= 0xDC00 && ch <= 0xDFFF; }

// text with each surrogate that is not half of a pair replaced: such text has no UTF-8 form.
WString WithoutLoneSurrogates(WStringView text) {
    WString clean(text);
    for (std::size_t i = 0; i < clean.size(); ++i) {
        if (IsHighSurrogate(clean[i]) && i + 1 < clean.size() && IsLowSurrogate(clean[i + 1])) {
            ++i;
        } else if (IsHighSurrogate(clean[i]) || IsLowSurrogate(clean[i])) {
            clean[i] = kReplacement;
        }
    }
    return clean;
}

SValue Text(WString text) { return SValue{SValue::EKind::kText, std::move(text)}; }

SValue Number(const std::string& digits) {
    return SValue{SValue::EKind::kNumber, WideFromAscii(digits)};
}

SValue NumberOf(const std::optional<std::uint32_t>& value) {
    return value ? Number(std::to_string(*value)) : SValue{};
}

// A time of 0 (never) is absent, as a missing field is.
SValue TimeOf(const std::optional<std::uint32_t>& value) {
    return value && *value != 0 ? Text(WideFromAscii(FormatTime(*value))) : SValue{};
}

SValue ValueOf(EField eField, int row, const exportname::STrackTags& tags,
               const trackrecord::STrackFields& fields, const CSongDatabase& database) {
    switch (eField) {
        case EField::kRow:
            return Number(std::to_string(row));
        case EField::kTitle:
            return Text(tags.strTitle);
        case EField::kArtist:
            return Text(tags.strArtist);
        case EField::kAlbum:
            return Text(tags.strAlbum);
        case EField::kAlbumArtist:
            return Text(fields.strAlbumArtist);
        case EField::kComposer:
            return Text(fields.strComposer);
        case EField::kGenre:
            return Text(fields.strGenre);
        case EField::kComment:
            return Text(fields.strComment);
        case EField::kYear:
            return NumberOf(fields[ENumber::kYear]);
        case EField::kTrack:
            return NumberOf(fields[ENumber::kTrack]);
        case EField::kTracks:
            return NumberOf(fields[ENumber::kTracks]);
        case EField::kDisc:
            return NumberOf(fields[ENumber::kDisc]);
        case EField::kDiscs:
            return NumberOf(fields[ENumber::kDiscs]);
        case EField::kLength:
            return fields[ENumber::kLength] ? Number(FormatLength(*fields[ENumber::kLength]))
                                            : SValue{};
        case EField::kSize:
            return NumberOf(fields[ENumber::kSize]);
        case EField::kBitRate:
            return NumberOf(fields[ENumber::kBitRate]);
        case EField::kSampleRate:
            return NumberOf(fields[ENumber::kSampleRate]);
        case EField::kRating:
            return fields[ENumber::kRating] ? Number(FormatStars(*fields[ENumber::kRating]))
                                            : SValue{};
        case EField::kPlays:
            return NumberOf(fields[ENumber::kPlays]);
        case EField::kSkips:
            return NumberOf(fields[ENumber::kSkips]);
        case EField::kLastPlayed:
            return TimeOf(fields[ENumber::kLastPlayed]);
        case EField::kLastSkipped:
            return TimeOf(fields[ENumber::kLastSkipped]);
        case EField::kAdded:
            return TimeOf(fields[ENumber::kAdded]);
        case EField::kModified:
            return TimeOf(fields[ENumber::kModified]);
        case EField::kType:
            return Text(database.GetFileType(row));
        case EField::kLocation: {
            // As a path from the player's root: "iPod_Control/Music/F00/ABCD.mp3".
            WString location;
            if (!database.GetLocation(row, location)) {
                return SValue{};
            }
            std::replace(location.begin(), location.end(), u':', u'/');
            return Text(location.substr(location.starts_with(u'/') ? 1 : 0));
        }
    }
    return SValue{};
}

void AppendCsvValue(std::string& out, const SValue& value) {
    if (value.eKind == SValue::EKind::kText) {
        AppendCsvText(out, value.strText);
    } else if (value.eKind == SValue::EKind::kNumber) {
        AppendUtf8FromWide(out, value.strText);
    }
}

void AppendJsonValue(std::string& out, const SValue& value) {
    switch (value.eKind) {
        case SValue::EKind::kAbsent:
            out += "null";
            break;
        case SValue::EKind::kText:
            AppendJsonString(out, value.strText);
            break;
        case SValue::EKind::kNumber:
            AppendUtf8FromWide(out, value.strText);
            break;
    }
}

}  // namespace

std::string_view FieldName(EField eField) { return kFieldNames[static_cast<std::size_t>(eField)]; }

std::vector<EField> AllFields() {
    std::vector<EField> fields;
    for (std::size_t i = 0; i < kFieldNames.size(); ++i) {
        fields.push_back(static_cast<EField>(i));
    }
    return fields;
}

bool ParseFields(std::string_view text, std::vector<EField>& fields, std::string& unknown) {
    fields.clear();
    if (text == "all") {
        fields = AllFields();
        return true;
    }
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string_view name = text.substr(start, comma - start);
        const auto* pFound = std::find(kFieldNames.begin(), kFieldNames.end(), name);
        if (pFound == kFieldNames.end()) {
            unknown = name;
            return false;
        }
        fields.push_back(static_cast<EField>(pFound - kFieldNames.begin()));
        start = comma + 1;
    }
    return true;
}

std::string FormatTime(std::uint32_t dwPlayerTime) {
    using namespace std::chrono;
    if (dwPlayerTime == 0) {
        return {};
    }
    // The player's wall-clock time, counted as if it were UTC so that the calendar of the
    // standard library can name its date and time.
    const sys_seconds wall{seconds{std::int64_t{dwPlayerTime} - kPlayerEpochToUnix}};
    const sys_days day = floor<days>(wall);
    const year_month_day date{day};
    const hh_mm_ss<seconds> time{wall - day};
    char szText[40];
    std::snprintf(szText, sizeof szText, "%04d-%02u-%02uT%02d:%02d:%02d",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<int>(time.hours().count()),
                  static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    std::string text = szText;
    if (wall < sys_seconds{}) {
        return text;
    }
    // The C library knows this computer's time zone rules, daylight saving time included: the
    // UTC time of that local time tells the offset it had.
    std::tm local{};
    local.tm_year = static_cast<int>(date.year()) - 1900;
    local.tm_mon = static_cast<int>(static_cast<unsigned>(date.month())) - 1;
    local.tm_mday = static_cast<int>(static_cast<unsigned>(date.day()));
    local.tm_hour = static_cast<int>(time.hours().count());
    local.tm_min = static_cast<int>(time.minutes().count());
    local.tm_sec = static_cast<int>(time.seconds().count());
    local.tm_isdst = -1;
    const std::time_t utc = std::mktime(&local);
    if (utc == static_cast<std::time_t>(-1)) {
        return text;
    }
    const std::int64_t offset = wall.time_since_epoch().count() - static_cast<std::int64_t>(utc);
    const std::int64_t minutes = (offset < 0 ? -offset : offset) / 60;
    std::snprintf(szText, sizeof szText, "%c%02d:%02d", offset < 0 ? '-' : '+',
                  static_cast<int>(minutes / 60), static_cast<int>(minutes % 60));
    return text + szText;
}

std::string FormatLength(std::uint32_t dwMilliseconds) {
    char szText[24];
    std::snprintf(szText, sizeof szText, "%u.%03u", dwMilliseconds / 1000, dwMilliseconds % 1000);
    return szText;
}

std::string FormatStars(std::uint32_t dwRating) {
    // Hundredths of a star, the trailing zeros of the fraction left out.
    const std::uint64_t hundredths = std::uint64_t{dwRating} * 5;
    std::string text = std::to_string(hundredths / 100);
    if (const std::uint64_t fraction = hundredths % 100; fraction != 0) {
        text += fraction % 10 == 0 ? "." + std::to_string(fraction / 10)
                                   : (fraction < 10 ? ".0" : ".") + std::to_string(fraction);
    }
    return text;
}

std::vector<SValue> SongValues(const CSongDatabase& database, int row,
                               const std::vector<EField>& fields) {
    exportname::STrackTags tags;
    trackrecord::STrackFields trackFields;
    std::vector<SValue> values;
    if (!database.GetTrackTags(row, tags) || !database.GetTrackFields(row, trackFields)) {
        values.resize(fields.size());
        return values;
    }
    for (const EField eField : fields) {
        values.push_back(ValueOf(eField, row, tags, trackFields, database));
    }
    return values;
}

void AppendCsvText(std::string& out, WStringView text) {
    const WString clean = WithoutLoneSurrogates(text);
    const bool bFormula = !clean.empty() && (clean[0] == u'=' || clean[0] == u'+' ||
                                             clean[0] == u'-' || clean[0] == u'@');
    const bool bQuoted = clean.find_first_of(u",\"\r\n") != WString::npos;
    if (bQuoted) {
        out += '"';
    }
    if (bFormula) {
        out += '\'';
    }
    std::size_t start = 0;
    for (std::size_t quote = clean.find(u'"'); quote != WString::npos;
         quote = clean.find(u'"', start)) {
        AppendUtf8FromWide(out, WStringView(clean).substr(start, quote + 1 - start));
        out += '"';
        start = quote + 1;
    }
    AppendUtf8FromWide(out, WStringView(clean).substr(start));
    if (bQuoted) {
        out += '"';
    }
}

void AppendJsonString(std::string& out, WStringView text) {
    const WString clean = WithoutLoneSurrogates(text);
    out += '"';
    std::size_t start = 0;
    for (std::size_t i = 0; i < clean.size(); ++i) {
        const WChar ch = clean[i];
        if (ch >= 0x20 && ch != u'"' && ch != u'\\') {
            continue;
        }
        AppendUtf8FromWide(out, WStringView(clean).substr(start, i - start));
        start = i + 1;
        switch (ch) {
            case u'"':
                out += "\\\"";
                break;
            case u'\\':
                out += "\\\\";
                break;
            case u'\n':
                out += "\\n";
                break;
            case u'\r':
                out += "\\r";
                break;
            case u'\t':
                out += "\\t";
                break;
            default: {
                char szEscape[8];
                std::snprintf(szEscape, sizeof szEscape, "\\u%04x", static_cast<unsigned>(ch));
                out += szEscape;
                break;
            }
        }
    }
    AppendUtf8FromWide(out, WStringView(clean).substr(start));
    out += '"';
}

void CSongListWriter::Begin(std::string& out) {
    m_bFirstRow = true;
    if (m_eFormat == EFormat::kJson) {
        out += "[";
        return;
    }
    out += "\xEF\xBB\xBF";
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        out += i == 0 ? "" : ",";
        out += FieldName(m_fields[i]);
    }
    out += "\r\n";
}

void CSongListWriter::AppendRow(std::string& out, const CSongDatabase& database, int row) {
    const std::vector<SValue> values = SongValues(database, row, m_fields);
    if (m_eFormat == EFormat::kCsv) {
        for (std::size_t i = 0; i < values.size(); ++i) {
            out += i == 0 ? "" : ",";
            AppendCsvValue(out, values[i]);
        }
        out += "\r\n";
        return;
    }
    out += m_bFirstRow ? "\n{" : ",\n{";
    for (std::size_t i = 0; i < values.size(); ++i) {
        out += i == 0 ? "\"" : ",\"";
        out += FieldName(m_fields[i]);
        out += "\":";
        AppendJsonValue(out, values[i]);
    }
    out += "}";
    m_bFirstRow = false;
}

void CSongListWriter::End(std::string& out) {
    if (m_eFormat == EFormat::kJson) {
        out += m_bFirstRow ? "]\n" : "\n]\n";
    }
}

std::string WriteSongList(EFormat eFormat, const std::vector<EField>& fields,
                          const CSongDatabase& database, const std::vector<int>& rows) {
    CSongListWriter writer(eFormat, fields);
    std::string out;
    writer.Begin(out);
    for (const int row : rows) {
        writer.AppendRow(out, database, row);
    }
    writer.End(out);
    return out;
}

}  // namespace songlist
