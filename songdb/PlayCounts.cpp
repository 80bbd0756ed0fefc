// Reads "Play Counts" in place, every offset checked against the file's size.
#include "songdb/PlayCounts.h"

#include <algorithm>

#include "songdb/ByteReader.h"

namespace playcounts {
namespace {

constexpr std::uint32_t kTagPlayCounts = 0x7064686D;  // "mhdp"
constexpr std::size_t kOffHeaderLength = 4;
constexpr std::size_t kOffEntryLength = 8;
constexpr std::size_t kOffEntryCount = 12;
constexpr std::size_t kMinHeaderLength = 16;

// Within an entry.
constexpr std::size_t kOffPlays = 0;
constexpr std::size_t kOffLastPlayed = 4;
// The bookmark at 8 is not a listing's concern, but every entry has it.
constexpr std::size_t kMinEntryLength = 12;
constexpr std::size_t kOffRating = 12;
constexpr std::size_t kOffSkips = 20;
constexpr std::size_t kOffLastSkipped = 24;

std::optional<std::uint32_t> WordIfHeld(const CByteReader& file, std::size_t entry,
                                        std::size_t entryLength, std::size_t offset) {
    if (offset + 4 > entryLength) {
        return std::nullopt;
    }
    return file.U32(entry + offset);
}

void AddCount(std::optional<std::uint32_t>& total, std::uint32_t dwAdded) {
    const std::uint32_t dwBefore = total.value_or(0);
    // Counts stop at the largest the format can hold rather than wrap to a small one.
    total = dwAdded > UINT32_MAX - dwBefore ? UINT32_MAX : dwBefore + dwAdded;
}

void TakeLater(std::optional<std::uint32_t>& time, std::uint32_t dwOther) {
    if (dwOther != 0 && (!time || *time < dwOther)) {
        time = dwOther;
    }
}

}  // namespace

EState Parse(std::span<const std::uint8_t> file, std::uint32_t trackCount,
             std::vector<SEntry>& entries) {
    entries.clear();
    const CByteReader reader(file);
    if (!reader.Has(0, kMinHeaderLength) || reader.U32(0) != kTagPlayCounts) {
        return EState::kMalformed;
    }
    const std::size_t headerLength = reader.U32(kOffHeaderLength);
    const std::size_t entryLength = reader.U32(kOffEntryLength);
    const std::size_t count = reader.U32(kOffEntryCount);
    if (headerLength < kMinHeaderLength || headerLength > file.size() ||
        entryLength < kMinEntryLength) {
        return EState::kMalformed;
    }
    // Every entry must lie inside the file: a file cut short adds nothing at all, not the
    // plays of some songs and not others.
    if (count > (file.size() - headerLength) / entryLength) {
        return EState::kMalformed;
    }
    if (count != trackCount) {
        return EState::kStale;
    }
    entries.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = headerLength + i * entryLength;
        SEntry& parsed = entries.emplace_back();
        parsed.dwPlays = reader.U32(entry + kOffPlays);
        parsed.dwLastPlayed = reader.U32(entry + kOffLastPlayed);
        parsed.rating = WordIfHeld(reader, entry, entryLength, kOffRating);
        parsed.skips = WordIfHeld(reader, entry, entryLength, kOffSkips);
        parsed.lastSkipped = WordIfHeld(reader, entry, entryLength, kOffLastSkipped);
    }
    return EState::kMerged;
}

void Merge(const SEntry& entry, trackrecord::STrackFields& fields) {
    using trackrecord::ENumber;
    AddCount(fields[ENumber::kPlays], entry.dwPlays);
    TakeLater(fields[ENumber::kLastPlayed], entry.dwLastPlayed);
    if (entry.rating && *entry.rating != 0) {
        fields[ENumber::kRating] = *entry.rating;
    }
    if (entry.skips) {
        AddCount(fields[ENumber::kSkips], *entry.skips);
    }
    if (entry.lastSkipped) {
        TakeLater(fields[ENumber::kLastSkipped], *entry.lastSkipped);
    }
}

}  // namespace playcounts
