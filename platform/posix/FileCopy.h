// Copying a file to a new name in one step, never over an existing file.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/CopyBatch.h"

namespace platform::posix {

// Copies source to a file without a name in target's folder (O_TMPFILE), or where the file system
// has no such files to a temporary file beside target, flushes it to disk and gives it target's
// name unless a file of that name exists by then (EEXIST). A failure drops the copy and leaves an
// existing target untouched; the target's folder is never created. Returns false with errno set
// from the first failing call.
bool CopyToNewFile(const std::string& source, const std::string& target);

// Whether copies are made as unnamed files where the file system has them (the default); tests
// turn it off to reach the temporary files of the file systems that have none.
void AllowUnnamedCopies(bool bAllow);

// Moves the bytes from one open file to the other; false with errno set on failure.
using ContentCopier = std::function<bool(int from, int to)>;
// The same with the byte-moving step supplied, so that tests can make it fail part-way.
bool CopyToNewFile(const std::string& source, const std::string& target,
                   const ContentCopier& copyContent);

// The halves of a batched copy (see CCopyBatch): a copy as above whose writing has begun, an
// unnamed one held open in staged, false with errno set and nothing left behind on failure; then
// one flush of the file system for all of them, the names given (each failing with EEXIST, its
// copy dropped, where its target exists by then), and one flush per folder.
bool StageCopy(const std::string& source, const std::string& target, SStagedCopy& staged);
void CommitStaged(std::vector<SStagedCopy>& staged);
// Drops the copies: closes the unnamed files, removes the temporary ones.
void DiscardStaged(std::vector<SStagedCopy>& staged);

// The temporary files (of file systems without unnamed files) are named
// ".kestrum-<process id>-<number>.tmp". Removes those in folder
// whose process has ended (a run stopped hard, before it could clear up), never one of a process
// still running nor any other file. False (errno set) when folder cannot be read.
bool RemoveStaleTemporaries(const std::string& folder);

}  // namespace platform::posix
