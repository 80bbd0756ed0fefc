// Fuzzes the inflate of compressed catalogues against zlib's own one-call inflate, then loads
// and walks those that inflate to a small image. Each input is an iTunesCDB; seeds: small
// compressed catalogues made at fuzz time from the heads of the samples. Half of the mutations
// change the inflated records and compress them again: a stream changed as bytes is nearly
// always corrupt, so those alone would hardly ever reach the walk.
#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include "FuzzChecks.h"
#include "FuzzPlayer.h"
#include "songdb/CompressedCatalogue.h"
#include "songdb/ItunesDbRecords.h"

namespace {

// Larger images are only inflated, not walked: the walk has a target of its own, and a
// megabyte walked per input would slow this one to a crawl.
constexpr std::size_t kMaxWalkedImage = std::size_t{64} << 10;

std::uint32_t U32At(std::span<const std::uint8_t> bytes, std::size_t offset) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value |= static_cast<std::uint32_t>(bytes[offset + i]) << (8 * i);
    }
    return value;
}

// What zlib makes of the stream after the header on its own, allowed one byte more than the
// bounds, so that a stream beyond them shows. False when it is not one whole stream ending
// where the file ends within the bounds. The room is kept from one input to the next: filling
// megabytes with zeros for every input would cost more than the inflate itself.
bool InflateWithZlib(std::span<const std::uint8_t> file, std::span<const std::uint8_t>& out) {
    static std::vector<std::uint8_t> s_room;
    const std::size_t header = U32At(file, itunesdb::kOffHeaderLength);
    const std::size_t compressed = file.size() - header;
    const std::uint64_t bound = std::min({catalogue::kMaxInflatedSize,
                                          std::uint64_t{compressed} * catalogue::kMaxInflateRatio,
                                          std::uint64_t{UINT32_MAX} - header});
    s_room.resize(std::max(s_room.size(), static_cast<std::size_t>(bound) + 1));
    uLongf produced = static_cast<uLongf>(bound) + 1;
    uLong consumed = static_cast<uLong>(compressed);
    const int result = uncompress2(s_room.data(), &produced, file.data() + header, &consumed);
    out = std::span<const std::uint8_t>(s_room.data(), produced);
    return result == Z_OK && consumed == compressed && produced <= bound;
}

}  // namespace

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size,
                                               std::size_t maxSize, unsigned int seed) {
    const std::span<const std::uint8_t> file(data, size);
    if (seed % 2 == 0 || !catalogue::IsCompressed(file)) {
        return LLVMFuzzerMutate(data, size, maxSize);
    }
    static std::vector<std::uint8_t> s_records(kMaxWalkedImage);
    static std::vector<std::uint8_t> s_stream;
    const std::size_t header = U32At(file, itunesdb::kOffHeaderLength);
    uLongf inflated = static_cast<uLongf>(s_records.size());
    if (uncompress(s_records.data(), &inflated, data + header, static_cast<uLong>(size - header)) !=
        Z_OK) {
        return LLVMFuzzerMutate(data, size, maxSize);
    }
    const std::size_t mutated = LLVMFuzzerMutate(s_records.data(), inflated, s_records.size());
    s_stream.resize(compressBound(static_cast<uLong>(mutated)));
    uLongf compressed = static_cast<uLongf>(s_stream.size());
    if (compress(s_stream.data(), &compressed, s_records.data(), static_cast<uLong>(mutated)) !=
            Z_OK ||
        compressed > maxSize - header) {
        return size;
    }
    std::memcpy(data + header, s_stream.data(), compressed);
    return header + compressed;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> file(data, data + size);
    fuzz::MatchTotalLength(file);
    if (!catalogue::IsCompressed(file)) {
        return 0;
    }
    std::unique_ptr<platform::CFileImage> pImage;
    const catalogue::EInflateResult eResult = catalogue::Inflate(file, pImage);
    fuzz::Require(eResult != catalogue::EInflateResult::kNoMemory);
    std::span<const std::uint8_t> expected;
    const bool bZlibInflates = InflateWithZlib(file, expected);
    fuzz::Require(bZlibInflates == (eResult == catalogue::EInflateResult::kInflated));
    if (!bZlibInflates) {
        fuzz::Require(pImage == nullptr);
        return 0;
    }
    // The header as read, total length and flag mended, then exactly zlib's bytes.
    const std::span<const std::uint8_t> image = pImage->Bytes();
    const std::size_t header = U32At(file, itunesdb::kOffHeaderLength);
    fuzz::Require(image.size() == header + expected.size());
    fuzz::Require(U32At(image, itunesdb::kOffTotalLength) == image.size());
    fuzz::Require(image[itunesdb::kOffCompressedFlag] == 0);
    for (std::size_t i = 0; i < header; ++i) {
        const bool bMended =
            (i >= itunesdb::kOffTotalLength && i < itunesdb::kOffTotalLength + 4) ||
            i == itunesdb::kOffCompressedFlag;
        fuzz::Require(bMended || image[i] == file[i]);
    }
    fuzz::Require(std::memcmp(image.data() + header, expected.data(), expected.size()) == 0);
    if (image.size() <= kMaxWalkedImage) {
        fake::CFakePlatform& os = fuzz::Player();
        os.AddPlayer(u'E', {});
        os.AddFile(fake::CFakePlatform::CompressedDatabasePath(u'E'), std::move(file));
        fuzz::WalkNameAndExport(image.size());
    }
    return 0;
}
