// The fields a song file's tags give, and the one interface every container's reader has.
#pragma once

#include <cstdint>

#include "platform/Text.h"
#include "songdb/tags/ByteSource.h"

// Texts empty and numbers 0 when the tags do not hold them.
struct SFileTags {
    WString strTitle{};
    WString strArtist{};
    WString strAlbum{};
    WString strAlbumArtist{};
    WString strComposer{};
    WString strGenre{};
    std::uint32_t dwYear = 0;
    std::uint32_t dwTrack = 0;
    std::uint32_t dwDisc = 0;

    // Takes from other each field this one lacks.
    void FillGapsFrom(const SFileTags& other);

    bool operator==(const SFileTags&) const = default;
};

namespace tags {

// One container's tags. Read takes what the container holds, as far as its structure holds
// together: fields read before a broken record are kept. IsValid tells whether the container
// was recognised and its tag header was sound.
class CTag {
public:
    virtual ~CTag() = default;

    virtual void Read(CByteSource& source) = 0;

    bool IsValid() const { return m_bValid; }
    const SFileTags& Fields() const { return m_fields; }

protected:
    CTag() = default;
    CTag(const CTag&) = default;
    CTag& operator=(const CTag&) = default;

    SFileTags m_fields;
    bool m_bValid = false;
};

}  // namespace tags
