// ID3v2 reading: the header, the extended header skipped, frames walked by their sizes and
// only the wanted text frames read.
#include "songdb/tags/Id3v2Tag.h"

#include <algorithm>
#include <array>

#include "songdb/ByteReader.h"

namespace tags {
namespace {

enum class EField {
    kTitle,
    kArtist,
    kAlbum,
    kAlbumArtist,
    kComposer,
    kGenre,
    kYear,
    kTrack,
    kDisc
};

struct SWantedFrame {
    std::string_view id;
    EField field;
};

// Version 2.2 has three-letter ids; 2.3 has TYER for the year, 2.4 TDRC (a timestamp).
constexpr SWantedFrame kWanted[] = {
    {"TIT2", EField::kTitle},       {"TT2", EField::kTitle},       {"TPE1", EField::kArtist},
    {"TP1", EField::kArtist},       {"TALB", EField::kAlbum},      {"TAL", EField::kAlbum},
    {"TPE2", EField::kAlbumArtist}, {"TP2", EField::kAlbumArtist}, {"TCOM", EField::kComposer},
    {"TCM", EField::kComposer},     {"TCON", EField::kGenre},      {"TCO", EField::kGenre},
    {"TYER", EField::kYear},        {"TDRC", EField::kYear},       {"TYE", EField::kYear},
    {"TRCK", EField::kTrack},       {"TRK", EField::kTrack},       {"TPOS", EField::kDisc},
    {"TPA", EField::kDisc},
};

const SWantedFrame* FindWanted(std::string_view id) {
    for (const SWantedFrame& frame : kWanted) {
        if (frame.id == id) {
            return &frame;
        }
    }
    return nullptr;
}

// Four 7-bit bytes, most significant first.
std::uint32_t Syncsafe(const CByteReader& reader, std::size_t offset) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value = value << 7 | (reader.U8(offset + i) & 0x7Fu);
    }
    return value;
}

bool IsSyncsafe(const CByteReader& reader, std::size_t offset) {
    for (std::size_t i = 0; i < 4; ++i) {
        if ((reader.U8(offset + i) & 0x80) != 0) {
            return false;
        }
    }
    return true;
}

bool IsFrameIdChar(std::uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// UTF-16 without a byte-order mark: big-endian, as Unicode has it, unless the text's zero
// bytes sit at odd offsets, where little-endian Latin text (the usual writer's) has its high
// bytes.
bool LooksBigEndian(ByteSpan text) {
    std::size_t evenZeros = 0;
    std::size_t oddZeros = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == 0) {
            ++((i % 2 == 0) ? evenZeros : oddZeros);
        }
    }
    return oddZeros <= evenZeros;
}

WString Utf16WithBom(ByteSpan text) {
    if (text.size() >= 2 && text[0] == 0xFF && text[1] == 0xFE) {
        return WideFromUtf16(UpToNul16(text.subspan(2)), false);
    }
    if (text.size() >= 2 && text[0] == 0xFE && text[1] == 0xFF) {
        return WideFromUtf16(UpToNul16(text.subspan(2)), true);
    }
    const ByteSpan first = UpToNul16(text);
    return WideFromUtf16(first, LooksBigEndian(first));
}

}  // namespace

WString Id3v2FirstText(ByteSpan body) {
    if (body.empty()) {
        return {};
    }
    const ByteSpan text = body.subspan(1);
    switch (body[0]) {
        case 0:
            return WideFromLatin1(UpToNul(text));
        case 1:
            return Utf16WithBom(text);
        case 2: {
            const bool bBom = text.size() >= 2 && text[0] == 0xFE && text[1] == 0xFF;
            return WideFromUtf16(UpToNul16(text.subspan(bBom ? 2 : 0)), true);
        }
        case 3: {
            ByteSpan utf8 = UpToNul(text);
            if (utf8.size() >= 3 && utf8[0] == 0xEF && utf8[1] == 0xBB && utf8[2] == 0xBF) {
                utf8 = utf8.subspan(3);
            }
            return WideFromUtf8(std::string_view(
                static_cast<const char*>(static_cast<const void*>(utf8.data())), utf8.size()));
        }
        default:
            return {};
    }
}

WString Id3v2Genre(WStringView text) {
    std::size_t digits = 0;
    const bool bParen = !text.empty() && text[0] == u'(';
    const std::size_t start = bParen ? 1 : 0;
    while (start + digits < text.size() && text[start + digits] >= u'0' &&
           text[start + digits] <= u'9') {
        ++digits;
    }
    if (digits == 0 || digits > 3) {
        return WString(text);
    }
    const std::size_t end = start + digits;
    if (bParen ? (end >= text.size() || text[end] != u')') : end != text.size()) {
        return WString(text);
    }
    const WStringView refinement = bParen ? text.substr(end + 1) : WStringView();
    if (!refinement.empty()) {
        return WString(refinement);
    }
    WString name = GenreName(LeadingNumber(text.substr(start), digits));
    return name.empty() ? WString(text) : name;
}

std::vector<std::uint8_t> Resynchronise(ByteSpan bytes) {
    std::vector<std::uint8_t> out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out.push_back(bytes[i]);
        if (bytes[i] == 0xFF && i + 1 < bytes.size() && bytes[i + 1] == 0x00) {
            ++i;
        }
    }
    return out;
}

namespace {

// The first frame of each field counts; later ones of the same field are passed over.
void TakeFrame(EField field, ByteSpan body, SFileTags& fields) {
    const WString text = Id3v2FirstText(body);
    auto setText = [&text](WString& target) {
        if (target.empty()) {
            target = text;
        }
    };
    auto setNumber = [](std::uint32_t& target, std::uint32_t value) {
        if (target == 0) {
            target = value;
        }
    };
    switch (field) {
        case EField::kTitle:
            return setText(fields.strTitle);
        case EField::kArtist:
            return setText(fields.strArtist);
        case EField::kAlbum:
            return setText(fields.strAlbum);
        case EField::kAlbumArtist:
            return setText(fields.strAlbumArtist);
        case EField::kComposer:
            return setText(fields.strComposer);
        case EField::kGenre:
            if (fields.strGenre.empty()) {
                fields.strGenre = Id3v2Genre(text);
            }
            return;
        case EField::kYear:
            return setNumber(fields.dwYear, LeadingNumber(text, 4));
        case EField::kTrack:
            return setNumber(fields.dwTrack, LeadingNumber(text));
        case EField::kDisc:
            return setNumber(fields.dwDisc, LeadingNumber(text));
    }
}

}  // namespace

void CId3v2Tag::Read(CByteSource& source) {
    std::array<std::uint8_t, kHeaderSize> header{};
    if (m_size < kHeaderSize || !source.ReadAt(m_offset, header)) {
        return;
    }
    const CByteReader reader(header);
    if (header[0] != 'I' || header[1] != 'D' || header[2] != '3' || header[3] < 2 ||
        header[3] > 4 || header[4] == 0xFF || !IsSyncsafe(reader, 6)) {
        return;
    }
    m_version = header[3];
    m_flags = header[5];
    m_bValid = true;
    // Version 2.2's second flag marked a compression that was never defined: such a tag cannot
    // be read.
    if (m_version == 2 && (m_flags & 0x40) != 0) {
        return;
    }
    // A tag that says it is longer than its room (or the file) is read as far as the room goes.
    // A 2.4 footer follows the size the header gives and holds no frames.
    const std::uint64_t room = std::min(m_size, source.Size() - std::min(source.Size(), m_offset));
    const std::uint64_t body = std::min<std::uint64_t>(Syncsafe(reader, 6), room - kHeaderSize);
    const std::uint64_t begin = m_offset + kHeaderSize;
    if (m_version < 4 && (m_flags & 0x80) != 0) {
        std::vector<std::uint8_t> raw;
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(body, kMaxWholeTag));
        if (!source.ReadBlock(begin, count, raw)) {
            return;
        }
        const std::vector<std::uint8_t> plain = Resynchronise(raw);
        CMemorySource inner(plain);
        ReadFrames(inner, 0, plain.size());
        return;
    }
    ReadFrames(source, begin, begin + body);
}

// Where the frames start: after the extended header, when there is one. Its size counts
// itself in 2.4, not in 2.3. end when it does not fit.
std::uint64_t CId3v2Tag::FirstFrame(CByteSource& source, std::uint64_t begin,
                                    std::uint64_t end) const {
    if (m_version == 2 || (m_flags & 0x40) == 0) {
        return begin;
    }
    std::array<std::uint8_t, 4> size{};
    if (end - begin < size.size() || !source.ReadAt(begin, size)) {
        return end;
    }
    const CByteReader reader(size);
    const std::uint64_t skip =
        m_version == 3 ? std::uint64_t{reader.U32Be(0)} + 4 : std::uint64_t{Syncsafe(reader, 0)};
    return skip < 4 || skip > end - begin ? end : begin + skip;
}

void CId3v2Tag::ReadFrames(CByteSource& source, std::uint64_t begin, std::uint64_t end) {
    const std::size_t headerSize = m_version == 2 ? 6 : 10;
    std::uint64_t offset = FirstFrame(source, begin, end);
    std::array<std::uint8_t, 10> bytes{};
    for (std::uint32_t n = 0; n < kMaxFrames && end - offset >= headerSize; ++n) {
        const auto headerBytes = std::span(bytes).first(headerSize);
        SFrameHeader header;
        if (!source.ReadAt(offset, headerBytes) || !ParseFrameHeader(headerBytes, header)) {
            return;  // padding, or not a frame: the frames end here
        }
        offset += headerSize;
        if (header.dwSize > end - offset) {
            return;  // a frame larger than what is left of the tag
        }
        ReadFrame(source, offset, header);
        offset += header.dwSize;
    }
}

bool CId3v2Tag::ParseFrameHeader(ByteSpan bytes, SFrameHeader& header) const {
    const std::size_t idSize = m_version == 2 ? 3 : 4;
    for (std::size_t i = 0; i < idSize; ++i) {
        if (!IsFrameIdChar(bytes[i])) {
            return false;
        }
    }
    header.id =
        std::string_view(static_cast<const char*>(static_cast<const void*>(bytes.data())), idSize);
    const CByteReader reader(bytes);
    if (m_version == 2) {
        header.dwSize = static_cast<std::uint32_t>(reader.U16Be(3)) << 8 | reader.U8(5);
        return true;
    }
    // Some 2.4 writers store plain sizes; a byte with its high bit set shows one.
    header.dwSize = m_version == 4 && IsSyncsafe(reader, 4) ? Syncsafe(reader, 4) : reader.U32Be(4);
    header.flags = bytes[9];
    return true;
}

// Compressed and encrypted frames are passed over; a grouping byte and 2.4's data length
// indicator are stepped over, and 2.4's per-frame unsynchronisation undone.
void CId3v2Tag::ReadFrame(CByteSource& source, std::uint64_t offset, const SFrameHeader& header) {
    const SWantedFrame* const pWanted = FindWanted(header.id);
    if (pWanted == nullptr || header.dwSize > kMaxReadFrame) {
        return;
    }
    const bool bV4 = m_version == 4;
    if ((header.flags & (bV4 ? 0x0C : 0xC0)) != 0) {
        return;
    }
    std::vector<std::uint8_t> body;
    if (!source.ReadBlock(offset, header.dwSize, body)) {
        return;
    }
    std::size_t skip = (header.flags & (bV4 ? 0x40 : 0x20)) != 0 ? 1 : 0;
    skip += bV4 && (header.flags & 0x01) != 0 ? 4 : 0;
    if (skip > body.size()) {
        return;
    }
    const ByteSpan data = ByteSpan(body).subspan(skip);
    if (bV4 && (header.flags & 0x02) != 0) {
        TakeFrame(pWanted->field, Resynchronise(data), m_fields);
    } else {
        TakeFrame(pWanted->field, data, m_fields);
    }
}

}  // namespace tags
