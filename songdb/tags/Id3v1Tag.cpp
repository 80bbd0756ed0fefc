// ID3v1: "TAG", title, artist and album of 30 bytes, year of 4, comment of 30 whose last byte
// is the track number when the one before it is zero (v1.1), genre number.
#include "songdb/tags/Id3v1Tag.h"

#include <array>

#include "songdb/tags/TagText.h"

namespace tags {
namespace {

// Fields end at their first zero byte; writers pad with zeros or spaces.
WString Field(ByteSpan bytes) { return TrimSpaces(WideFromLatin1(UpToNul(bytes))); }

}  // namespace

void CId3v1Tag::Read(CByteSource& source) {
    std::array<std::uint8_t, kSize> tag{};
    if (source.Size() < kSize || !source.ReadAt(source.Size() - kSize, tag) || tag[0] != 'T' ||
        tag[1] != 'A' || tag[2] != 'G') {
        return;
    }
    m_bValid = true;
    const ByteSpan bytes(tag);
    m_fields.strTitle = Field(bytes.subspan(3, 30));
    m_fields.strArtist = Field(bytes.subspan(33, 30));
    m_fields.strAlbum = Field(bytes.subspan(63, 30));
    m_fields.dwYear = LeadingNumber(Field(bytes.subspan(93, 4)), 4);
    if (tag[125] == 0) {
        m_fields.dwTrack = tag[126];
    }
    m_fields.strGenre = GenreName(tag[127]);
}

}  // namespace tags
