// Chunk walking for WAV and AIFF: chunks stepped over by their sizes (padded to even), the ID3
// chunk read as an ID3v2 tag, WAV's INFO texts filling what the ID3 tag lacks.
#include "songdb/tags/RiffTag.h"

#include <array>
#include <string_view>
#include <vector>

#include "songdb/ByteReader.h"
#include "songdb/tags/Id3v2Tag.h"

namespace tags {
namespace {

constexpr std::size_t kChunkHeader = 8;

std::string_view Id(ByteSpan bytes) {
    return std::string_view(static_cast<const char*>(static_cast<const void*>(bytes.data())), 4);
}

// INFO texts are zero-terminated and often padded with more zeros.
WString InfoText(ByteSpan bytes) { return WideFrom8Bit(UpToNul(bytes)); }

}  // namespace

void ParseInfoList(ByteSpan list, SFileTags& info) {
    const CByteReader reader(list);
    if (list.size() < 4 || Id(list) != "INFO") {
        return;
    }
    std::size_t offset = 4;
    for (std::uint32_t n = 0; n < CRiffTag::kMaxChunks && list.size() - offset >= kChunkHeader;
         ++n) {
        const std::string_view id = Id(list.subspan(offset));
        const std::uint32_t dwSize = reader.U32(offset + 4);
        offset += kChunkHeader;
        if (dwSize > list.size() - offset) {
            return;
        }
        const WString text = InfoText(list.subspan(offset, dwSize));
        WString* pText = id == "INAM"   ? &info.strTitle
                         : id == "IART" ? &info.strArtist
                         : id == "IPRD" ? &info.strAlbum
                         : id == "IGNR" ? &info.strGenre
                                        : nullptr;
        std::uint32_t* pNumber = id == "ICRD"                   ? &info.dwYear
                                 : id == "ITRK" || id == "IPRT" ? &info.dwTrack
                                                                : nullptr;
        if (pText != nullptr && pText->empty()) {
            *pText = text;
        }
        if (pNumber != nullptr && *pNumber == 0) {
            *pNumber = LeadingNumber(text, pNumber == &info.dwYear ? 4 : 9);
        }
        offset += dwSize;
        if (dwSize % 2 != 0 && offset < list.size()) {
            ++offset;  // pad byte
        }
    }
}

std::uint32_t CRiffTag::ChunkSize(ByteSpan header) const {
    const CByteReader reader(header);
    return m_form == EForm::kWave ? reader.U32(4) : reader.U32Be(4);
}

void CRiffTag::ReadInfo(CByteSource& source, std::uint64_t offset, std::uint32_t dwSize,
                        SFileTags& info) const {
    std::vector<std::uint8_t> list;
    if (dwSize <= kMaxReadInfo && source.ReadBlock(offset, dwSize, list)) {
        ParseInfoList(list, info);
    }
}

// The form's own size is not trusted (streaming writers leave it 0 or too large): chunks are
// walked to the end of the file, each within it.
void CRiffTag::Read(CByteSource& source) {
    std::array<std::uint8_t, 12> form{};
    if (!source.ReadAt(0, form)) {
        return;
    }
    const ByteSpan bytes(form);
    const bool bWave = m_form == EForm::kWave;
    if (Id(bytes) != (bWave ? "RIFF" : "FORM") ||
        (bWave ? Id(bytes.subspan(8)) != "WAVE"
               : Id(bytes.subspan(8)) != "AIFF" && Id(bytes.subspan(8)) != "AIFC")) {
        return;
    }
    m_bValid = true;
    SFileTags info;
    bool bId3Read = false;
    std::uint64_t offset = form.size();
    std::array<std::uint8_t, kChunkHeader> header{};
    const std::uint64_t end = source.Size();
    for (std::uint32_t n = 0; n < kMaxChunks && end - offset >= kChunkHeader; ++n) {
        if (!source.ReadAt(offset, header)) {
            break;
        }
        const std::string_view id = Id(header);
        const std::uint32_t dwSize = ChunkSize(header);
        const std::uint64_t data = offset + kChunkHeader;
        if (dwSize > end - data) {
            break;
        }
        if ((id == "ID3 " || id == "id3 ") && !bId3Read) {
            CId3v2Tag id3(data, dwSize);
            id3.Read(source);
            m_fields = id3.Fields();
            bId3Read = id3.IsValid();
        } else if (bWave && id == "LIST") {
            ReadInfo(source, data, dwSize, info);
        }
        offset = data + dwSize + (dwSize % 2);
        if (offset > end) {
            break;
        }
    }
    m_fields.FillGapsFrom(info);
}

}  // namespace tags
