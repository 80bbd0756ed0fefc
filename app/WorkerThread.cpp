// The worker thread: the routine's end raises a signal that stays raised once waited for.
#include "app/WorkerThread.h"

#include <utility>

CWorkerThread::~CWorkerThread() {
    if (m_hFinished != nullptr) {
        platform::Platform().CloseSignal(m_hFinished);
    }
}

bool CWorkerThread::Start(std::function<void()> routine) {
    platform::IPlatform& os = platform::Platform();
    m_hFinished = os.CreateSignal();
    if (m_hFinished == nullptr) {
        return false;
    }
    const platform::ThreadHandle hThread = os.StartThread([this, routine = std::move(routine)]() {
        routine();
        platform::Platform().RaiseSignal(m_hFinished);
    });
    if (hThread == nullptr) {
        return false;
    }
    os.CloseThread(hThread);
    m_bStarted = true;
    return true;
}

void CWorkerThread::Wait() {
    if (!m_bStarted) {
        return;
    }
    platform::IPlatform& os = platform::Platform();
    os.WaitSignal(m_hFinished);
    // Left raised: whoever waits next finds it finished too.
    os.RaiseSignal(m_hFinished);
}
