// Copying a file so that its target is replaced in one step.
#pragma once

#include <functional>
#include <string>

namespace platform::posix {

// Copies source to a temporary file beside target, flushes it to disk and renames it over
// target. A failure removes the temporary file and leaves an existing target untouched; the
// target's folder is never created. Returns false with errno set from the first failing call.
bool CopyReplacing(const std::string& source, const std::string& target);

// Moves the bytes from one open file to the other; false with errno set on failure.
using ContentCopier = std::function<bool(int from, int to)>;
// The same with the byte-moving step supplied, so that tests can make it fail part-way.
bool CopyReplacing(const std::string& source, const std::string& target,
                   const ContentCopier& copyContent);

}  // namespace platform::posix
