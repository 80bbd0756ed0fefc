// Copying a file to a new name in one step, never over an existing file.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/CopyBatch.h"

namespace platform::posix {

// Copies source to a temporary file beside target, flushes it to disk and gives it target's name
// unless a file of that name exists by then (EEXIST). A failure removes the temporary file and
// leaves an existing target untouched; the target's folder is never created. Returns false with
// errno set from the first failing call.
bool CopyToNewFile(const std::string& source, const std::string& target);

// Moves the bytes from one open file to the other; false with errno set on failure.
using ContentCopier = std::function<bool(int from, int to)>;
// The same with the byte-moving step supplied, so that tests can make it fail part-way.
bool CopyToNewFile(const std::string& source, const std::string& target,
                   const ContentCopier& copyContent);

// The halves of a batched copy (see CCopyBatch): a copy into a temporary file beside target whose
// writing has begun, false with errno set and nothing left behind on failure; then one flush of
// the file system for all of them, the renames (each failing with EEXIST, its temporary file
// removed, where its target exists by then), and one flush per folder.
bool StageCopy(const std::string& source, const std::string& target, SStagedCopy& staged);
void CommitStaged(std::vector<SStagedCopy>& staged);
// Removes the temporary files.
void DiscardStaged(std::vector<SStagedCopy>& staged);

// The temporary files are named ".kestrum-<process id>-<number>.tmp". Removes those in folder
// whose process has ended (a run stopped hard, before it could clear up), never one of a process
// still running nor any other file. False (errno set) when folder cannot be read.
bool RemoveStaleTemporaries(const std::string& folder);

}  // namespace platform::posix
