// Bounds-checked reads over one file image, little-endian (the catalogue's order) and big-endian
// (the order of most song containers): a read that does not fit gives 0, so that a record cut
// short reads as zero fields and never as bytes outside the image.
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

    // Unsigned big-endian integers of 16, 32 and 64 bits at offset; 0 when they do not fit.
    std::uint16_t U16Be(std::size_t offset) const {
        return static_cast<std::uint16_t>(Be(offset, 2));
    }
    std::uint32_t U32Be(std::size_t offset) const {
        return static_cast<std::uint32_t>(Be(offset, 4));
    }
    std::uint64_t U64Be(std::size_t offset) const { return Be(offset, 8); }

    // count bytes at offset; empty when they do not fit.
    std::span<const std::uint8_t> Bytes(std::size_t offset, std::size_t count) const {
        return Has(offset, count) ? m_image.subspan(offset, count)
                                  : std::span<const std::uint8_t>();
    }

    // The byte at offset; 0 when it does not fit.
    std::uint8_t U8(std::size_t offset) const { return Has(offset, 1) ? m_image[offset] : 0; }

private:
    std::uint64_t Be(std::size_t offset, std::size_t count) const {
        if (!Has(offset, count)) {
            return 0;
        }
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < count; ++i) {
            value = value << 8 | m_image[offset + i];
        }
        return value;
    }

    std::span<const std::uint8_t> m_image;
};
