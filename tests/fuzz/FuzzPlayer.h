// The in-memory player of the catalogue fuzz targets: its catalogue loaded, walked, named and
// exported with the checks that hold for any input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "FakePlatform.h"

namespace fuzz {

// The one fake platform of a fuzz run; the Explorer key stays closed and copies fail, so that
// nothing accumulates from one input to the next.
fake::CFakePlatform& Player();

// Sets the total length at 8 to the image size, so that inputs get past the first check and
// truncated catalogues still reach the walk.
void MatchTotalLength(std::vector<std::uint8_t>& image);

// Probes E: of Player(), loads its catalogue and walks every track, then names each row, reads
// its fields and exports it (the copies fail). Checks that no more rows than imageSize allows
// were walked, that every walked row has its fields, that every copy source stays on the
// player and that playlists name walked tracks only.
void WalkNameAndExport(std::size_t imageSize);

}  // namespace fuzz
