// Counted, bounds-checked reads over memory and over files of the platform.
#include "songdb/tags/ByteSource.h"

#include <algorithm>
#include <cstring>

namespace tags {

bool CByteSource::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
    if (!Has(offset, out.size())) {
        return false;
    }
    if (out.empty()) {
        return true;
    }
    // What the kept read holds is taken from it; the rest is read after it, often without a
    // seek, since the file position is where the kept read ended.
    if (offset >= m_keptOffset && offset - m_keptOffset < m_keptSize) {
        const std::size_t kept = m_keptSize - static_cast<std::size_t>(offset - m_keptOffset);
        const std::size_t have = std::min(out.size(), kept);
        std::memcpy(out.data(), m_kept.data() + (offset - m_keptOffset), have);
        if (have == out.size()) {
            return true;
        }
        offset += have;
        out = out.subspan(have);
    }
    if (offset != m_position) {
        ++m_nSeeks;
        if (!SeekTo(offset)) {
            return false;
        }
        m_position = offset;
    }
    const bool bRead = ReadNext(out);
    // After a failed read the position is unknown: the next read seeks again.
    m_position = bRead ? offset + out.size() : UINT64_MAX;
    m_bytesRead += out.size();
    if (bRead && out.size() <= kKept) {
        std::memcpy(m_kept.data(), out.data(), out.size());
        m_keptOffset = offset;
        m_keptSize = out.size();
    }
    return bRead;
}

bool CByteSource::ReadBlock(std::uint64_t offset, std::size_t count,
                            std::vector<std::uint8_t>& out) {
    if (!Has(offset, count)) {
        return false;
    }
    out.resize(count);
    return ReadAt(offset, out);
}

bool CMemorySource::SeekTo(std::uint64_t offset) {
    m_position = static_cast<std::size_t>(offset);
    return true;
}

bool CMemorySource::ReadNext(std::span<std::uint8_t> out) {
    std::memcpy(out.data(), m_bytes.data() + m_position, out.size());
    m_position += out.size();
    return true;
}

CFileSource::CFileSource(const WChar* path)
    : CFileSource(platform::Platform().OpenFileForRead(path)) {}

CFileSource::CFileSource(platform::FileHandle hFile) : CByteSource(SizeOf(hFile)), m_hFile(hFile) {}

CFileSource::~CFileSource() {
    if (m_hFile != nullptr) {
        platform::Platform().CloseFile(m_hFile);
    }
}

std::uint64_t CFileSource::SizeOf(platform::FileHandle hFile) {
    std::uint64_t size = 0;
    if (hFile == nullptr || !platform::Platform().GetFileSize(hFile, size)) {
        return 0;
    }
    return size;
}

bool CFileSource::SeekTo(std::uint64_t offset) {
    return platform::Platform().SeekFile(m_hFile, offset);
}

// A platform read may bring less than asked; it is repeated until the bytes are all there. A
// read that brings nothing means the file shrank since it was sized.
bool CFileSource::ReadNext(std::span<std::uint8_t> out) {
    std::size_t done = 0;
    while (done < out.size()) {
        const std::size_t want = std::min<std::size_t>(out.size() - done, UINT32_MAX);
        std::uint32_t got = 0;
        if (!platform::Platform().ReadFile(m_hFile, out.data() + done,
                                           static_cast<std::uint32_t>(want), got) ||
            got == 0) {
            return false;
        }
        done += got;
    }
    return true;
}

}  // namespace tags
