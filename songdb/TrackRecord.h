// The one reader of a track record's fields: the numbers of its header and the texts of its
// data objects, read where they lie. Names, listings and playlists all take their fields here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "platform/Text.h"
#include "songdb/ByteReader.h"

namespace trackrecord {

// The header's numbers. Times are seconds since 1904-01-01 in the player's local time (0:
// never); the rating is stars x 20; the length is in milliseconds; the sample rate in hertz.
enum class ENumber : std::size_t {
    kTrackId,
    kRating,
    kModified,
    kSize,
    kLength,
    kTrack,
    kTracks,
    kYear,
    kBitRate,
    kSampleRate,
    kPlays,
    kLastPlayed,
    kDisc,
    kDiscs,
    kAdded,
    kSkips,
    kLastSkipped,
};
inline constexpr std::size_t kNumberCount = 17;

// A track's fields. A number whose bytes the header does not hold (older players write shorter
// headers) is absent, never read from what follows the header.
struct STrackFields {
    std::array<std::optional<std::uint32_t>, kNumberCount> numbers{};
    WString strGenre;
    WString strComposer;
    WString strAlbumArtist;
    WString strComment;

    std::optional<std::uint32_t>& operator[](ENumber eNumber) {
        return numbers[static_cast<std::size_t>(eNumber)];
    }
    const std::optional<std::uint32_t>& operator[](ENumber eNumber) const {
        return numbers[static_cast<std::size_t>(eNumber)];
    }
};

// Where a record that starts at record ends: its total length (at 8), cut at parentEnd.
std::size_t RecordEnd(const CByteReader& image, std::size_t record, std::size_t parentEnd);

// UTF-16LE bytes as text; an odd last byte forms a character of its own.
void DecodeUtf16(std::span<const std::uint8_t> bytes, WString& text);

// The text of a string data object up to its first zero character; empty when the string would
// leave the object or parentEnd.
WString ObjectText(const CByteReader& image, std::size_t object, std::size_t parentEnd);

class CTrackRecord {
public:
    // The track record at offset track of image. Its end is its total length cut at the image's
    // end; its header ends at its header length, cut at the record's end.
    CTrackRecord(std::span<const std::uint8_t> image, std::size_t track);

    std::optional<std::uint32_t> Number(ENumber eNumber) const;
    // Every number, and the genre, composer, album artist and comment (the last data object of
    // each type wins), in one pass over the data objects.
    STrackFields ReadAll() const;

private:
    CByteReader m_image;
    std::size_t m_track;
    std::size_t m_end;
    std::size_t m_headerLength;
};

}  // namespace trackrecord
