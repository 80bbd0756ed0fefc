// Fuzzes the walk of a plain catalogue: load, walk, the name of every row and the export's
// check of every track's location, on the in-memory player. Each input is the player's
// iTunesDB, which is read as it is (never inflated); seeds: the real samples and the
// regression inputs.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "FuzzChecks.h"
#include "FuzzPlayer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> image(data, data + size);
    fuzz::MatchTotalLength(image);
    fuzz::Player().AddPlayer(u'E', std::move(image));
    fuzz::WalkNameAndExport(size);
    return 0;
}
