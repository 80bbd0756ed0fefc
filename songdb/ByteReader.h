// Bounds-checked little-endian reads over one file image: a read that does not fit gives 0, so
// that a record cut short reads as zero fields and never as bytes outside the image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

class CByteReader {
public:
    explicit CByteReader(std::span<const std::uint8_t> image) : m_image(image) {}

    std::size_t Size() const { return m_image.size(); }

    // True when count bytes starting at offset lie inside the image (written so that it
    // cannot overflow).
    bool Has(std::size_t offset, std::size_t count) const {
        return offset <= m_image.size() && count <= m_image.size() - offset;
    }

    // Unsigned 32-bit little-endian at offset; 0 when it does not fit.
    std::uint32_t U32(std::size_t offset) const {
        if (!Has(offset, 4)) {
            return 0;
        }
        return static_cast<std::uint32_t>(m_image[offset]) |
               static_cast<std::uint32_t>(m_image[offset + 1]) << 8 |
               static_cast<std::uint32_t>(m_image[offset + 2]) << 16 |
               static_cast<std::uint32_t>(m_image[offset + 3]) << 24;
    }

    // The byte at offset; 0 when it does not fit.
    std::uint8_t U8(std::size_t offset) const { return Has(offset, 1) ? m_image[offset] : 0; }

private:
    std::span<const std::uint8_t> m_image;
};
