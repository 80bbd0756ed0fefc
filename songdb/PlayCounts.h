// The player's "Play Counts" file: the plays, skips and ratings made on the player since its
// last sync, one entry per track of the catalogue, merged into the catalogue's own totals.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "songdb/TrackRecord.h"

namespace playcounts {

// One entry. A short entry holds only the plays, the last play and the bookmark; longer ones
// add the rating (with a word after it that nothing uses), then the skips and the last skip.
struct SEntry {
    std::uint32_t dwPlays = 0;
    std::uint32_t dwLastPlayed = 0;
    std::optional<std::uint32_t> rating;
    std::optional<std::uint32_t> skips;
    std::optional<std::uint32_t> lastSkipped;
};

enum class EState {
    kMissing,    // no file (or none read yet): nothing to add
    kMerged,     // one entry per track: the counts add up
    kMalformed,  // not a Play Counts file, or one cut short: nothing added
    kStale,      // an entry count other than the catalogue's track count: nothing added
};

// The entries of file for a catalogue of trackCount tracks; empty unless the state is kMerged.
// The entries are told apart from a stale file by their number alone: entry i belongs to track
// i, so a file written for another catalogue would add plays to the wrong songs.
EState Parse(std::span<const std::uint8_t> file, std::uint32_t trackCount,
             std::vector<SEntry>& entries);

// The totals a user means: the catalogue's counts plus the entry's, the later of two times, and
// the entry's rating where it has one other than 0.
void Merge(const SEntry& entry, trackrecord::STrackFields& fields);

}  // namespace playcounts
