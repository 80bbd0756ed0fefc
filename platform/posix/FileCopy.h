// Copying a file so that its target is replaced in one step.
#pragma once

#include <string>

namespace platform::posix {

// Copies source to a temporary file beside target, flushes it to disk and renames it over
// target. A failure removes the temporary file and leaves an existing target untouched; the
// target's folder is never created. Returns false with errno set from the first failing call.
bool CopyReplacing(const std::string& source, const std::string& target);

}  // namespace platform::posix
