// An ID3v1 or v1.1 tag: the last 128 bytes of an MP3, fixed fields of ISO-8859-1 text.
#pragma once

#include "songdb/tags/Tag.h"

namespace tags {

class CId3v1Tag final : public CTag {
public:
    void Read(CByteSource& source) override;

    static constexpr std::size_t kSize = 128;
};

}  // namespace tags
