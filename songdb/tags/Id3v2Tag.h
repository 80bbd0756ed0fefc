// An ID3v2 tag (versions 2.2, 2.3 and 2.4): at the start of an MP3, or in a chunk of a WAV or
// AIFF file.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "songdb/tags/Tag.h"
#include "songdb/tags/TagText.h"

namespace tags {

class CId3v2Tag final : public CTag {
public:
    // The tag that may start at offset, within the size bytes there (the whole file for an
    // MP3, the chunk's data for a WAV or AIFF file).
    CId3v2Tag(std::uint64_t offset, std::uint64_t size) : m_offset(offset), m_size(size) {}

    void Read(CByteSource& source) override;

    std::uint8_t MajorVersion() const { return m_version; }

    static constexpr std::size_t kHeaderSize = 10;
    // Frames larger than this are not read (pictures, lyrics, private data): no wanted text
    // comes near it.
    static constexpr std::uint32_t kMaxReadFrame = 64 * 1024;
    // A tag unsynchronised as a whole is read whole, since its frames' places are only known
    // after it is undone; no more than this of it.
    static constexpr std::uint32_t kMaxWholeTag = 1024 * 1024;
    static constexpr std::uint32_t kMaxFrames = 2048;

private:
    struct SFrameHeader {
        std::string_view id;
        std::uint32_t dwSize = 0;
        std::uint8_t flags = 0;  // the second flag byte (format flags); 0 in version 2.2
    };

    std::uint64_t FirstFrame(CByteSource& source, std::uint64_t begin, std::uint64_t end) const;
    void ReadFrames(CByteSource& source, std::uint64_t begin, std::uint64_t end);
    bool ParseFrameHeader(ByteSpan bytes, SFrameHeader& header) const;
    void ReadFrame(CByteSource& source, std::uint64_t offset, const SFrameHeader& header);

    std::uint64_t m_offset;
    std::uint64_t m_size;
    std::uint8_t m_version = 0;
    std::uint8_t m_flags = 0;
};

// The first text of an ID3v2 text frame's body (its encoding byte, then the text); later texts
// of a list are left out.
WString Id3v2FirstText(ByteSpan body);
// A genre as TCON holds it: "(17)" or "17" is Rock, "(17)Rock" its own text after the number.
WString Id3v2Genre(WStringView text);
// Undoes unsynchronisation: every 0xFF 0x00 becomes 0xFF.
std::vector<std::uint8_t> Resynchronise(ByteSpan bytes);

}  // namespace tags
