// A batch of copies that are made durable together. While a CCopyBatch lives on a thread, the
// platform's CopyFileNew on that thread copies each file into a file without a name in its
// target's folder (or, where the file system has none, a temporary file beside it) and stops
// there; Commit then flushes all of them to disk at once, gives each its target's name
// unless a file has that name by then, and flushes the folders. The guarantee of a single copy
// holds for each (a target is absent or the whole copy, even after a crash, and an existing file
// is never replaced), but the wait for the disk is paid once per batch instead of once per file.
// A platform that cannot batch copies at once, as before; the batch then stays empty.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct SStagedCopy {
    // The copy: a file without a name held open (the platform's handle; -1 for none), or a file
    // under a temporary name of the platform's own (native path).
    int nUnnamed = -1;
    std::string strTemporary;
    std::string strTarget;  // the name it gets on Commit (native path)
    std::uint64_t bytes = 0;
    bool bDone = false;  // after Commit: the target holds the copy
    int nError = 0;      // after a failed Commit: the platform's error code (EEXIST: name taken)
};

class CCopyBatch {
public:
    // Becomes this thread's batch until destroyed (batches do not nest).
    CCopyBatch();
    // Drops the copies not committed (a temporary file is removed): their targets stay as they
    // were.
    ~CCopyBatch();
    CCopyBatch(const CCopyBatch&) = delete;
    CCopyBatch& operator=(const CCopyBatch&) = delete;

    // The thread's batch, or nullptr.
    static CCopyBatch* Current();

    void Add(SStagedCopy staged);
    std::size_t StagedCount() const { return m_staged.size(); }
    std::uint64_t StagedBytes() const { return m_nStagedBytes; }

    // Makes every staged copy durable and gives it its name; returns them with their outcome
    // (in the order staged) and starts an empty batch.
    std::vector<SStagedCopy> Commit();

private:
    std::vector<SStagedCopy> m_staged;
    std::uint64_t m_nStagedBytes = 0;
};

namespace detail {
// The platform's part: flush, name the copies and flush the folders; or drop the copies.
void CommitStagedCopies(std::vector<SStagedCopy>& staged);
void DiscardStagedCopies(std::vector<SStagedCopy>& staged);
}  // namespace detail

}  // namespace platform
