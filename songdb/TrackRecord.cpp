// The track record's fields, each read only where the header holds it.
#include "songdb/TrackRecord.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "songdb/ItunesDbRecords.h"

using namespace itunesdb;

namespace trackrecord {
namespace {

// Where each number lies, how wide it is, and how far it is shifted down.
struct SNumberPlace {
    std::size_t offset;
    std::size_t width;
    unsigned shift;
};

constexpr std::array<SNumberPlace, kNumberCount> kNumberPlaces = {{
    {kOffTrackId, 4, 0},
    {kOffRating, 1, 0},
    {kOffModified, 4, 0},
    {kOffFileSize, 4, 0},
    {kOffLengthMs, 4, 0},
    {kOffTrackNumber, 4, 0},
    {kOffTracksOnAlbum, 4, 0},
    {kOffYear, 4, 0},
    {kOffBitRate, 4, 0},
    {kOffSampleRate, 4, 16},
    {kOffPlayCount, 4, 0},
    {kOffLastPlayed, 4, 0},
    {kOffDiscNumber, 4, 0},
    {kOffDiscsInSet, 4, 0},
    {kOffDateAdded, 4, 0},
    {kOffSkipCount, 4, 0},
    {kOffLastSkipped, 4, 0},
}};

// Tag, header length, total length and type of a data object.
constexpr std::size_t kMinObjectFields = 16;

}  // namespace

std::size_t RecordEnd(const CByteReader& image, std::size_t record, std::size_t parentEnd) {
    if (record >= parentEnd) {
        return parentEnd;
    }
    return record + std::min<std::size_t>(image.U32(record + kOffTotalLength), parentEnd - record);
}

void DecodeUtf16(std::span<const std::uint8_t> bytes, WString& text) {
    text.assign((bytes.size() + 1) / 2, 0);
    const std::size_t whole = bytes.size() / 2;
    // On a little-endian machine the whole characters are the bytes as they lie.
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(text.data(), bytes.data(), whole * 2);
    } else {
        for (std::size_t i = 0; i < whole; ++i) {
            text[i] = static_cast<WChar>(bytes[2 * i] | bytes[2 * i + 1] << 8);
        }
    }
    if (whole < text.size()) {
        text[whole] = bytes[2 * whole];
    }
}

WString ObjectText(const CByteReader& image, std::size_t object, std::size_t parentEnd) {
    const std::size_t objectEnd = RecordEnd(image, object, parentEnd);
    const std::size_t start = object + kOffString;
    const std::uint32_t dwLength = image.U32(object + kOffStringLength);
    WString text;
    if (start <= objectEnd && dwLength <= objectEnd - start) {
        DecodeUtf16(image.Bytes(start, dwLength), text);
        text.resize(std::min(text.size(), text.find(u'\0')));
    }
    return text;
}

CTrackRecord::CTrackRecord(std::span<const std::uint8_t> image, std::size_t track)
    : m_image(image),
      m_track(std::min(track, image.size())),
      m_end(RecordEnd(m_image, m_track, image.size())),
      m_headerLength(
          std::min<std::size_t>(m_image.U32(m_track + kOffHeaderLength), m_end - m_track)) {}

std::optional<std::uint32_t> CTrackRecord::Number(ENumber eNumber) const {
    const SNumberPlace& place = kNumberPlaces[static_cast<std::size_t>(eNumber)];
    if (place.offset > m_headerLength || place.width > m_headerLength - place.offset) {
        return std::nullopt;
    }
    const std::uint32_t dwValue =
        place.width == 1 ? m_image.U8(m_track + place.offset) : m_image.U32(m_track + place.offset);
    return dwValue >> place.shift;
}

STrackFields CTrackRecord::ReadAll() const {
    STrackFields fields;
    for (std::size_t i = 0; i < kNumberCount; ++i) {
        fields.numbers[i] = Number(static_cast<ENumber>(i));
    }
    // The data objects follow the header and stay inside the record; one that does not, or a
    // total length of 0 (which would read the same object again), ends the track's texts.
    const std::uint32_t dwCount = m_image.U32(m_track + kOffDataObjectCount);
    std::size_t object = m_track + m_headerLength;
    for (std::uint32_t i = 0; i < dwCount; ++i) {
        if (object >= m_end || m_end - object < kMinObjectFields ||
            m_image.U32(object) != kTagDataObject) {
            break;
        }
        WString* pText = nullptr;
        switch (m_image.U32(object + kOffObjectType)) {
            case kTypeGenre:
                pText = &fields.strGenre;
                break;
            case kTypeComposer:
                pText = &fields.strComposer;
                break;
            case kTypeAlbumArtist:
                pText = &fields.strAlbumArtist;
                break;
            case kTypeComment:
                pText = &fields.strComment;
                break;
            default:
                break;
        }
        if (pText != nullptr) {
            *pText = ObjectText(m_image, object, m_end);
        }
        if (m_image.U32(object + kOffTotalLength) == 0) {
            break;
        }
        object = RecordEnd(m_image, object, m_end);
    }
    return fields;
}

}  // namespace trackrecord
