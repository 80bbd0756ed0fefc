// Compressed catalogues: telling one from a plain catalogue, and inflating it into the image a
// plain catalogue with the same records would have, so that the checks and the track walk read
// both alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "platform/Platform.h"

namespace catalogue {

// What a compressed catalogue may inflate to. A stream that would give more is refused as a
// decompression bomb before the memory is taken: no real catalogue compresses this well or is
// this large.
inline constexpr std::uint64_t kMaxInflateRatio = 256;
inline constexpr std::uint64_t kMaxInflatedSize = std::uint64_t{1} << 30;

// True when file starts with a database record whose header reaches past the compressed flag
// and has it set: everything after the header is then one zlib stream.
bool IsCompressed(std::span<const std::uint8_t> file);

enum class EInflateResult {
    kInflated,
    kRefused,   // corrupt, truncated, not ending where the file ends, or past the bounds
    kNoMemory,  // the image could not be had
};

// Inflates a file IsCompressed accepts into image: its header as read, then the inflated bytes,
// with the total length set to the image size and the compressed flag cleared. The output grows
// geometrically up to the bounds above, never further; on any refusal nothing is kept.
EInflateResult Inflate(std::span<const std::uint8_t> file,
                       std::unique_ptr<platform::CFileImage>& image);

}  // namespace catalogue
