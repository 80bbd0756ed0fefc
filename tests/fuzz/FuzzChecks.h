// Checks the fuzz targets share: the stop that libFuzzer reports as a crash, and the rule a
// path formed from a track's location must keep to stay on the player.
#pragma once

#include "platform/Text.h"

namespace fuzz {

// Ends the run as a crash, with the input saved, when a property the code promises is broken.
inline void Require(bool bHolds) {
    if (!bHolds) {
        __builtin_trap();
    }
}

// True when component is one Windows reads as "." or "..": it drops the trailing dots and
// spaces of a name, so ". ", "..." and ".. ." end up as one of those two.
bool ResolvesToDots(WStringView component);

// True when path, a drive path "E:..." formed from a track's location, names something on that
// drive: no component that Windows resolves as "." or "..", and no empty component between two
// separators (the path would start again from a root). The component right after "E:" may be
// empty (the drive's root); a last empty one only names the folder before it.
bool PathStaysOnDrive(WStringView path);

}  // namespace fuzz
