// How far the file copy under way on this thread has got, and a way to stop it. A worker that
// copies songs installs a CCopyProgressScope around its copies; the platform's copy reports
// bytes to it and abandons the copy (temporary file removed, target untouched) once it says so.
#pragma once

#include <cstdint>
#include <functional>

namespace platform {

// Bytes copied so far of the file's total; returns false to abandon the copy.
using CopyProgress = std::function<bool(std::uint64_t copied, std::uint64_t total)>;

// Installs progress for the copies this thread makes while the scope lives; scopes nest.
class CCopyProgressScope {
public:
    explicit CCopyProgressScope(CopyProgress progress);
    ~CCopyProgressScope();
    CCopyProgressScope(const CCopyProgressScope&) = delete;
    CCopyProgressScope& operator=(const CCopyProgressScope&) = delete;

private:
    CopyProgress m_progress;
    const CopyProgress* m_pOuter;
};

// Reports progress to this thread's scope; true (go on) when there is none.
bool ReportCopyProgress(std::uint64_t copied, std::uint64_t total);

}  // namespace platform
