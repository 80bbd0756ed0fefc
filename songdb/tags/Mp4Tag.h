// The tags of an MP4-family file (.m4a .m4p .m4b .m4v .mp4): the items of moov/udta/meta/ilst.
#pragma once

#include <cstdint>

#include "songdb/tags/Tag.h"
#include "songdb/tags/TagText.h"

namespace tags {

class CMp4Tag final : public CTag {
public:
    void Read(CByteSource& source) override;

    // Atoms looked at on one level before the walk gives up.
    static constexpr std::uint32_t kMaxAtoms = 1024;
    // Items larger than this are not read (cover art): no wanted text comes near it.
    static constexpr std::uint32_t kMaxReadItem = 64 * 1024;

    // An atom's place: its header (8 bytes, 16 with a 64-bit size) and its whole extent.
    struct SAtom {
        std::uint32_t dwType = 0;
        std::uint64_t offset = 0;
        std::uint64_t size = 0;
        std::uint32_t dwHeader = 0;

        std::uint64_t Body() const { return offset + dwHeader; }
        std::uint64_t End() const { return offset + size; }
    };

    // The atom at offset, which must end by end; false when its header does not fit or its
    // size is smaller than its header or runs past end. A size of 0 runs to end.
    static bool ReadAtom(CByteSource& source, std::uint64_t offset, std::uint64_t end, SAtom& atom);

private:
    static bool FindChild(CByteSource& source, std::uint64_t begin, std::uint64_t end,
                          std::uint32_t dwType, SAtom& found);
    void ReadItems(CByteSource& source, const SAtom& ilst);
    void TakeItem(std::uint32_t dwType, ByteSpan data, std::uint32_t dwClass);

    std::uint32_t m_dwGenreNumber = 0;
};

// The four letters of an atom type as a number, as they stand in the file.
constexpr std::uint32_t AtomType(const char (&name)[5]) {
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(name[0])) << 24 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(name[1])) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(name[2])) << 8 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(name[3]));
}

}  // namespace tags
