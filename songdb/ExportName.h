// How an exported copy is named: the type suffix, the fallback to the location's extension,
// the check that a name stays inside the chosen folder, and the run's collision keys.
#pragma once

#include <cstdint>
#include <span>

#include "platform/Platform.h"
#include "platform/Text.h"

namespace exportname {

// The suffix from a track's four file-type bytes as stored (offsets 24..27, last character
// first): a dot and the characters up to the first space or zero byte, each byte widened by
// sign extension. Empty when the first character is a space or zero: no usable type.
WString TypeSuffix(std::span<const std::uint8_t, 4> stored);

// The extension of the file name at the end of a location (":iPod_Control:Music:F23:RPDM.mp3"
// gives ".mp3"); empty when that name has no dot or ends with one.
WString LocationExtension(WStringView location);

// True when name, put after a folder, would address something outside it: a leading '\' or
// '/', a drive prefix such as "C:", or a ".." component (a component of dots only, since
// Windows drops trailing dots and spaces from names).
bool LeavesFolder(WStringView name);

// True when a track's location (":iPod_Control:Music:F23:RPDM.mp3"), put after the player's
// drive, would address something that is not on the player: a component of dots only ("." or
// ".."; Windows drops the trailing dots and spaces of names, so ". ." counts too), or an empty
// component after the leading one, which the path would read as a root. ':', '\' and '/' all
// separate components, as they do once the location is a path.
bool LocationLeavesPlayer(WStringView location);

// Makes the default name (title and type suffix) one the destination can store, in place. Under
// Windows' rules it is what the safe names make of a title: \ / : * ? " < > | and control
// characters become '_', trailing dots and spaces of the whole name go, a device name gets '_'
// after it, and a name left empty becomes '_'; an empty title stays empty when there is a
// suffix. Under POSIX rules only '/', '\' and NUL become '_' ('\' too, because paths reach
// the platform in Windows form), and a name of dots and spaces alone becomes '_'. Either way
// no title names a folder or climbs out of one.
void MakeStorable(WString& title, WString& suffix, platform::ENameRules rules);

// The key under which an export run remembers a destination: '/' as '\', every letter folded
// as the platform folds names (FoldCase), and without the trailing dots and spaces of each
// name, because Windows file systems ignore the case, take both separators and drop those dots
// and spaces.
WString RunKey(WStringView path);

// title + " (n)" + suffix.
WString NumberedName(WStringView title, WStringView suffix, unsigned number);

}  // namespace exportname
