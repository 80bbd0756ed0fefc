// Copying a file so that its target is replaced in one step.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/CopyBatch.h"

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

// The halves of a batched copy (see CCopyBatch): a copy into a temporary file beside target whose
// writing has begun, false with errno set and nothing left behind on failure; then one flush of
// the file system for all of them, the renames, and one flush per folder.
bool StageCopy(const std::string& source, const std::string& target, SStagedCopy& staged);
void CommitStaged(std::vector<SStagedCopy>& staged);
// Removes the temporary files.
void DiscardStaged(std::vector<SStagedCopy>& staged);

}  // namespace platform::posix
