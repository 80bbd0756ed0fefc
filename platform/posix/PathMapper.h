// Turns the program's Windows-form paths into native paths.
#pragma once

#include <string>

#include "platform/Text.h"
#include "platform/posix/DriveTable.h"

namespace platform::posix {

// Maps path to a native path. "X:..." is a path on drive X (an unmapped letter fails with
// ENOENT; "X:" alone is the drive's folder); anything else is a native path. '\' and '/' both
// separate folders and empty components are skipped. A component that does not exist as
// written is matched against its folder's entries without regard to ASCII case, as Windows
// would; where nothing matches, the rest is kept as written so that the caller's own call
// fails with the proper error. On failure returns false with errno set.
bool NativePathFrom(WStringView path, const CDriveTable& drives, std::string& native);

}  // namespace platform::posix
