// Where a tag reader gets a song file's bytes: reads at absolute offsets, each checked against
// the file's size, with a count of the bytes read and the seeks made so that a benchmark can
// show how little of each file is touched.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/Platform.h"

namespace tags {

class CByteSource {
public:
    virtual ~CByteSource() = default;
    CByteSource(const CByteSource&) = delete;
    CByteSource& operator=(const CByteSource&) = delete;

    std::uint64_t Size() const { return m_size; }

    // True when count bytes at offset lie inside the file (written so that it cannot
    // overflow).
    bool Has(std::uint64_t offset, std::uint64_t count) const {
        return offset <= m_size && count <= m_size - offset;
    }

    // Fills out with the bytes at offset. False when the file does not hold them all or a
    // read fails; out is then not to be used.
    bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out);
    // count bytes at offset into out (resized to fit); false as ReadAt.
    bool ReadBlock(std::uint64_t offset, std::size_t count, std::vector<std::uint8_t>& out);

    std::uint64_t BytesRead() const { return m_bytesRead; }
    std::uint32_t Seeks() const { return m_nSeeks; }

protected:
    explicit CByteSource(std::uint64_t size) : m_size(size) {}

    // Moves to offset (within the file); the next ReadNext starts there.
    virtual bool SeekTo(std::uint64_t offset) = 0;
    // Reads exactly out.size() bytes at the current position.
    virtual bool ReadNext(std::span<std::uint8_t> out) = 0;

private:
    // The last small read is kept: the first bytes are read once to tell the container and
    // again by its reader, and the second read should cost neither a seek nor a read.
    static constexpr std::size_t kKept = 16;

    std::uint64_t m_size;
    std::uint64_t m_position = 0;
    std::uint64_t m_keptOffset = 0;
    std::size_t m_keptSize = 0;
    std::array<std::uint8_t, kKept> m_kept{};
    std::uint64_t m_bytesRead = 0;
    std::uint32_t m_nSeeks = 0;
};

// Bytes already in memory: a test's or the fuzzer's input, or a tag read whole.
class CMemorySource final : public CByteSource {
public:
    explicit CMemorySource(std::span<const std::uint8_t> bytes)
        : CByteSource(bytes.size()), m_bytes(bytes) {}

protected:
    bool SeekTo(std::uint64_t offset) override;
    bool ReadNext(std::span<std::uint8_t> out) override;

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_position = 0;
};

// A file opened through the platform seam, closed when the source ends. A file that cannot be
// opened or sized reads as an empty one.
class CFileSource final : public CByteSource {
public:
    explicit CFileSource(const WChar* path);
    ~CFileSource() override;

    bool IsOpen() const { return m_hFile != nullptr; }

protected:
    bool SeekTo(std::uint64_t offset) override;
    bool ReadNext(std::span<std::uint8_t> out) override;

private:
    // The size is needed before the base is made: every read is checked against it.
    explicit CFileSource(platform::FileHandle hFile);
    static std::uint64_t SizeOf(platform::FileHandle hFile);

    platform::FileHandle m_hFile;
};

}  // namespace tags
