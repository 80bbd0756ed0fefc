// The copy progress of the current thread.
#include "platform/CopyProgress.h"

#include <utility>

namespace platform {
namespace {
thread_local const CopyProgress* t_pProgress = nullptr;
}  // namespace

CCopyProgressScope::CCopyProgressScope(CopyProgress progress)
    : m_progress(std::move(progress)), m_pOuter(t_pProgress) {
    t_pProgress = &m_progress;
}

CCopyProgressScope::~CCopyProgressScope() { t_pProgress = m_pOuter; }

bool ReportCopyProgress(std::uint64_t copied, std::uint64_t total) {
    return t_pProgress == nullptr || !*t_pProgress || (*t_pProgress)(copied, total);
}

}  // namespace platform
