// The tags of a chunked audio file: WAV ("RIFF" ... "WAVE", little-endian sizes) with an ID3v2
// chunk and LIST/INFO texts, and AIFF or AIFC ("FORM" ... "AIFF", big-endian) with an ID3v2
// chunk.
#pragma once

#include <cstdint>

#include "songdb/tags/Tag.h"
#include "songdb/tags/TagText.h"

namespace tags {

class CRiffTag final : public CTag {
public:
    enum class EForm { kWave, kAiff };

    explicit CRiffTag(EForm form) : m_form(form) {}

    void Read(CByteSource& source) override;

    static constexpr std::uint32_t kMaxChunks = 1024;
    // INFO lists larger than this are not read: a few titles never come near it.
    static constexpr std::uint32_t kMaxReadInfo = 64 * 1024;

private:
    std::uint32_t ChunkSize(ByteSpan header) const;
    void ReadInfo(CByteSource& source, std::uint64_t offset, std::uint32_t dwSize,
                  SFileTags& info) const;

    EForm m_form;
};

// The fields of a LIST chunk's data ("INFO" then sub-chunks of 8-bit text), first of each.
void ParseInfoList(ByteSpan list, SFileTags& info);

}  // namespace tags
