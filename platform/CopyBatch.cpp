// The thread's copy batch.
#include "platform/CopyBatch.h"

#include <utility>

namespace platform {
namespace {
thread_local CCopyBatch* t_pBatch = nullptr;
}  // namespace

CCopyBatch::CCopyBatch() { t_pBatch = this; }

CCopyBatch::~CCopyBatch() {
    detail::DiscardStagedCopies(m_staged);
    if (t_pBatch == this) {
        t_pBatch = nullptr;
    }
}

CCopyBatch* CCopyBatch::Current() { return t_pBatch; }

void CCopyBatch::Add(SStagedCopy staged) {
    m_nStagedBytes += staged.bytes;
    m_staged.push_back(std::move(staged));
}

std::vector<SStagedCopy> CCopyBatch::Commit() {
    std::vector<SStagedCopy> staged;
    staged.swap(m_staged);
    m_nStagedBytes = 0;
    detail::CommitStagedCopies(staged);
    return staged;
}

}  // namespace platform
