// MP4 tag reading: atoms walked by their sizes along moov/udta/meta/ilst, every other atom
// (mdat above all) stepped over without being read, wherever it stands.
#include "songdb/tags/Mp4Tag.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "songdb/ByteReader.h"

namespace tags {
namespace {

constexpr std::uint32_t kMoov = AtomType("moov");
constexpr std::uint32_t kUdta = AtomType("udta");
constexpr std::uint32_t kMeta = AtomType("meta");
constexpr std::uint32_t kHdlr = AtomType("hdlr");
constexpr std::uint32_t kIlst = AtomType("ilst");
constexpr std::uint32_t kData = AtomType("data");
constexpr std::uint32_t kTitle = AtomType("\251nam");
constexpr std::uint32_t kArtist = AtomType("\251ART");
constexpr std::uint32_t kAlbum = AtomType("\251alb");
constexpr std::uint32_t kAlbumArtist = AtomType("aART");
constexpr std::uint32_t kComposer = AtomType("\251wrt");
constexpr std::uint32_t kGenre = AtomType("\251gen");
constexpr std::uint32_t kGenreNumber = AtomType("gnre");
constexpr std::uint32_t kDay = AtomType("\251day");
constexpr std::uint32_t kTrack = AtomType("trkn");
constexpr std::uint32_t kDisc = AtomType("disk");

constexpr std::array<std::uint32_t, 10> kWantedItems = {
    kTitle, kArtist, kAlbum, kAlbumArtist, kComposer, kGenre, kGenreNumber, kDay, kTrack, kDisc};

// The classes of a data atom's payload.
constexpr std::uint32_t kClassUtf16 = 2;

constexpr std::size_t kDataHeader = 16;  // size, "data", class, locale

// The payload of the first data atom among an item's children; empty when there is none.
ByteSpan FirstData(ByteSpan item, std::uint32_t& dwClass) {
    const CByteReader reader(item);
    std::size_t offset = 0;
    for (std::uint32_t n = 0; n < CMp4Tag::kMaxAtoms && item.size() - offset >= 8; ++n) {
        std::size_t size = reader.U32Be(offset);
        if (size == 0) {
            size = item.size() - offset;
        }
        if (size < 8 || size > item.size() - offset) {
            break;
        }
        if (reader.U32Be(offset + 4) == kData && size >= kDataHeader) {
            dwClass = reader.U32Be(offset + 8) & 0xFFFFFFu;
            return reader.Bytes(offset + kDataHeader, size - kDataHeader);
        }
        offset += size;
    }
    return {};
}

}  // namespace

bool CMp4Tag::ReadAtom(CByteSource& source, std::uint64_t offset, std::uint64_t end, SAtom& atom) {
    std::array<std::uint8_t, 16> header{};
    if (offset > end || end - offset < 8 || !source.ReadAt(offset, std::span(header).first(8))) {
        return false;
    }
    const CByteReader reader(header);
    atom.dwType = reader.U32Be(4);
    atom.offset = offset;
    atom.dwHeader = 8;
    atom.size = reader.U32Be(0);
    if (atom.size == 1) {
        if (end - offset < 16 || !source.ReadAt(offset + 8, std::span(header).subspan(8, 8))) {
            return false;
        }
        atom.size = reader.U64Be(8);
        atom.dwHeader = 16;
    } else if (atom.size == 0) {
        atom.size = end - offset;
    }
    return atom.size >= atom.dwHeader && atom.size <= end - offset;
}

bool CMp4Tag::FindChild(CByteSource& source, std::uint64_t begin, std::uint64_t end,
                        std::uint32_t dwType, SAtom& found) {
    std::uint64_t offset = begin;
    for (std::uint32_t n = 0; n < kMaxAtoms && ReadAtom(source, offset, end, found); ++n) {
        if (found.dwType == dwType) {
            return true;
        }
        offset = found.End();
    }
    return false;
}

void CMp4Tag::Read(CByteSource& source) {
    SAtom moov;
    SAtom udta;
    SAtom meta;
    if (!FindChild(source, 0, source.Size(), kMoov, moov)) {
        return;
    }
    m_bValid = true;
    if (!FindChild(source, moov.Body(), moov.End(), kUdta, udta) ||
        !FindChild(source, udta.Body(), udta.End(), kMeta, meta)) {
        return;
    }
    // meta is a full atom (version and flags before its children) in the files iTunes writes;
    // QuickTime's own has none, and its first child, the handler, shows that.
    std::array<std::uint8_t, 8> head{};
    std::uint64_t children = meta.Body();
    if (meta.End() - children >= head.size() && source.ReadAt(children, head) &&
        CByteReader(head).U32Be(4) != kHdlr) {
        children += 4;
    }
    SAtom ilst;
    if (FindChild(source, children, meta.End(), kIlst, ilst)) {
        ReadItems(source, ilst);
    }
    if (m_fields.strGenre.empty() && m_dwGenreNumber != 0) {
        m_fields.strGenre = GenreName(m_dwGenreNumber - 1);
    }
}

void CMp4Tag::ReadItems(CByteSource& source, const SAtom& ilst) {
    std::uint64_t offset = ilst.Body();
    SAtom item;
    std::vector<std::uint8_t> body;
    for (std::uint32_t n = 0; n < kMaxAtoms && ReadAtom(source, offset, ilst.End(), item); ++n) {
        offset = item.End();
        const bool bWanted =
            std::find(kWantedItems.begin(), kWantedItems.end(), item.dwType) != kWantedItems.end();
        if (!bWanted || item.size > kMaxReadItem ||
            !source.ReadBlock(item.Body(), static_cast<std::size_t>(item.size - item.dwHeader),
                              body)) {
            continue;
        }
        std::uint32_t dwClass = 0;
        const ByteSpan data = FirstData(body, dwClass);
        TakeItem(item.dwType, data, dwClass);
    }
}

// The first item of each field counts.
void CMp4Tag::TakeItem(std::uint32_t dwType, ByteSpan data, std::uint32_t dwClass) {
    const CByteReader reader(data);
    if (dwType == kTrack || dwType == kDisc) {
        std::uint32_t& number = dwType == kTrack ? m_fields.dwTrack : m_fields.dwDisc;
        if (number == 0) {
            number = reader.U16Be(2);
        }
        return;
    }
    if (dwType == kGenreNumber) {
        if (m_dwGenreNumber == 0) {
            m_dwGenreNumber = reader.U16Be(0);
        }
        return;
    }
    const WString text = dwClass == kClassUtf16
                             ? WideFromUtf16(UpToNul16(data), true)
                             : WideFromUtf8(std::string_view(
                                   static_cast<const char*>(static_cast<const void*>(data.data())),
                                   UpToNul(data).size()));
    if (dwType == kDay) {
        if (m_fields.dwYear == 0) {
            m_fields.dwYear = LeadingNumber(text, 4);
        }
        return;
    }
    WString* const pField = dwType == kTitle         ? &m_fields.strTitle
                            : dwType == kArtist      ? &m_fields.strArtist
                            : dwType == kAlbum       ? &m_fields.strAlbum
                            : dwType == kAlbumArtist ? &m_fields.strAlbumArtist
                            : dwType == kComposer    ? &m_fields.strComposer
                                                     : &m_fields.strGenre;
    if (pField->empty()) {
        *pField = text;
    }
}

}  // namespace tags
