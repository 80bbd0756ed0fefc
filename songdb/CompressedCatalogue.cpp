// Compressed catalogues inflated with zlib into an owned, exactly sized image.
#include "songdb/CompressedCatalogue.h"

#define ZLIB_CONST
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "songdb/ByteReader.h"
#include "songdb/ItunesDbRecords.h"

using namespace itunesdb;

namespace catalogue {
namespace {

// The first guess at the inflated size, in compressed sizes: catalogues are mostly UTF-16 text
// and zero-filled headers, which compress about this well. A wrong guess costs growth steps only.
constexpr std::size_t kFirstGuessRatio = 8;
constexpr std::size_t kMinFirstGuess = std::size_t{64} << 10;

struct SFree {
    void operator()(std::uint8_t* pBytes) const { std::free(pBytes); }
};
// Grown with realloc: the C library can move a large block by remapping its pages instead of
// copying them, so growing costs no copy and no memory beyond the last size where it does.
using Buffer = std::unique_ptr<std::uint8_t, SFree>;

// The inflated image, owned and freed by itself.
class CInflatedImage final : public platform::CFileImage {
public:
    CInflatedImage(Buffer buffer, std::size_t size)
        : CFileImage(std::span<const std::uint8_t>(buffer.get(), size)),
          m_buffer(std::move(buffer)) {}

private:
    Buffer m_buffer;
};

// Ends the stream on every way out of Inflate.
class CInflateStream {
public:
    CInflateStream() { m_bReady = inflateInit(&m_stream) == Z_OK; }
    ~CInflateStream() {
        if (m_bReady) {
            inflateEnd(&m_stream);
        }
    }
    CInflateStream(const CInflateStream&) = delete;
    CInflateStream& operator=(const CInflateStream&) = delete;

    bool Ready() const { return m_bReady; }
    z_stream& Stream() { return m_stream; }

private:
    z_stream m_stream{};
    bool m_bReady = false;
};

bool Resize(Buffer& buffer, std::size_t size) {
    auto* pResized = static_cast<std::uint8_t*>(std::realloc(buffer.get(), size));
    if (pResized == nullptr) {
        return false;
    }
    static_cast<void>(buffer.release());
    buffer.reset(pResized);
    return true;
}

void PutU32(std::uint8_t* pBytes, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        pBytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

}  // namespace

bool IsCompressed(std::span<const std::uint8_t> file) {
    const CByteReader reader(file);
    const std::uint32_t dwHeader = reader.U32(kOffHeaderLength);
    return reader.U32(kOffTag) == kTagDatabase && dwHeader >= kMinCompressedHeaderLength &&
           dwHeader <= file.size() && reader.U8(kOffCompressedFlag) == kCompressedFlagZlib;
}

EInflateResult Inflate(std::span<const std::uint8_t> file,
                       std::unique_ptr<platform::CFileImage>& image) {
    image.reset();
    const std::size_t header = CByteReader(file).U32(kOffHeaderLength);
    const std::size_t compressed = file.size() - header;
    // The image keeps 32-bit lengths, as the format does.
    const std::uint64_t bound =
        std::min({kMaxInflatedSize, std::uint64_t{compressed} * kMaxInflateRatio,
                  std::uint64_t{UINT32_MAX} - header});
    if (compressed > UINT_MAX) {
        return EInflateResult::kRefused;
    }
    // One byte past the bound tells a stream that goes beyond it from one that just fits.
    const std::size_t limit = header + static_cast<std::size_t>(bound) + 1;
    std::size_t capacity =
        std::min(limit, header + std::max(kMinFirstGuess, compressed * kFirstGuessRatio));
    Buffer buffer(static_cast<std::uint8_t*>(std::malloc(capacity)));
    CInflateStream inflater;
    if (buffer == nullptr || !inflater.Ready()) {
        return EInflateResult::kNoMemory;
    }
    std::memcpy(buffer.get(), file.data(), header);
    z_stream& stream = inflater.Stream();
    stream.next_in = file.data() + header;
    stream.avail_in = static_cast<uInt>(compressed);
    std::size_t produced = header;
    for (;;) {
        if (produced == capacity) {
            if (capacity == limit) {
                return EInflateResult::kRefused;
            }
            capacity = std::min(limit, header + 2 * (capacity - header));
            if (!Resize(buffer, capacity)) {
                return EInflateResult::kNoMemory;
            }
        }
        const auto room = static_cast<uInt>(std::min<std::size_t>(capacity - produced, UINT_MAX));
        stream.next_out = buffer.get() + produced;
        stream.avail_out = room;
        const int result = inflate(&stream, Z_NO_FLUSH);
        produced += room - stream.avail_out;
        if (result == Z_STREAM_END) {
            break;
        }
        if (result == Z_MEM_ERROR) {
            return EInflateResult::kNoMemory;
        }
        // Z_OK made progress; Z_BUF_ERROR with the output full only wants more room. Anything
        // else is a corrupt stream, or one that ran out of input before its end.
        if (result != Z_OK && !(result == Z_BUF_ERROR && stream.avail_out == 0)) {
            return EInflateResult::kRefused;
        }
    }
    // The stream must end where the file ends, and within the bounds.
    if (stream.avail_in != 0 || produced == limit) {
        return EInflateResult::kRefused;
    }
    // Giving back the unused tail cannot fail in a way that matters: the block stays valid.
    if (produced < capacity && produced != 0) {
        Resize(buffer, produced);
    }
    PutU32(buffer.get() + kOffTotalLength, static_cast<std::uint32_t>(produced));
    buffer.get()[kOffCompressedFlag] = 0;
    image = std::make_unique<CInflatedImage>(std::move(buffer), produced);
    return EInflateResult::kInflated;
}

}  // namespace catalogue
