// Fuzzes the export's check of where a track's location points. Each input is a location in
// UTF-8 (seeds: locations of the real samples, taken at fuzz time); whatever the check lets
// through must, once formed into a path as the database forms it, stay on the player.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzChecks.h"
#include "songdb/ExportName.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    WString location =
        WideFromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));  // bytes as text
    // The database reads a location up to its first zero character.
    location.resize(std::min(location.size(), location.find(u'\0')));
    if (exportname::LocationLeavesPlayer(location)) {
        return 0;
    }
    // "E:" and the location with its colons as backslashes; the drive keeps its colon.
    WString path = u"E:" + location;
    std::replace(path.begin() + 2, path.end(), u':', u'\\');
    fuzz::Require(fuzz::PathStaysOnDrive(path));
    return 0;
}
