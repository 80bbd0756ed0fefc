// Bounds-checked little-endian reads over one file image; a failed read is sticky so a
// sequence of reads can be checked once at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

class CByteReader {
public:
    explicit CByteReader(std::span<const std::uint8_t> image) : m_image(image) {}

    std::size_t Size() const { return m_image.size(); }
    bool Failed() const { return m_bFailed; }

    // True when count bytes starting at offset lie inside the image (written so that it
    // cannot overflow).
    bool Has(std::size_t offset, std::size_t count) const {
        return offset <= m_image.size() && count <= m_image.size() - offset;
    }

    // Unsigned 32-bit little-endian at offset; 0 and the failed state when it does not fit.
    std::uint32_t U32(std::size_t offset) {
        if (!Has(offset, 4)) {
            m_bFailed = true;
            return 0;
        }
        return static_cast<std::uint32_t>(m_image[offset]) |
               static_cast<std::uint32_t>(m_image[offset + 1]) << 8 |
               static_cast<std::uint32_t>(m_image[offset + 2]) << 16 |
               static_cast<std::uint32_t>(m_image[offset + 3]) << 24;
    }

    std::uint8_t U8(std::size_t offset) {
        if (!Has(offset, 1)) {
            m_bFailed = true;
            return 0;
        }
        return m_image[offset];
    }

    // count bytes at offset, or an empty span and the failed state.
    std::span<const std::uint8_t> Bytes(std::size_t offset, std::size_t count) {
        if (!Has(offset, count)) {
            m_bFailed = true;
            return {};
        }
        return m_image.subspan(offset, count);
    }

private:
    std::span<const std::uint8_t> m_image;
    bool m_bFailed = false;
};
