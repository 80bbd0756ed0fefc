// The extraction worker: copies with ExportTrack, reports by posted messages, and after each
// copy waits until the dialog's thread has taken its result, so that what the window shows
// (and a Cancel pressed on it) is never more than one song behind the copying.
#include "app/ExtractRun.h"

#include <mutex>
#include <utility>

#include "platform/CopyProgress.h"
#include "ui/Backend.h"

namespace {

IExtractObserver* g_pObserver = nullptr;

// The run under way, so that the removal watcher can stop it before the process ends.
std::mutex g_activeMutex;
CExtractRun* g_pActive = nullptr;

// Byte reports are posted when the item's share has moved on by this many per mille.
constexpr int kBytesStep = 10;

int PerMille(std::uint64_t copied, std::uint64_t total) {
    if (total == 0 || copied >= total) {
        return kItemSteps;
    }
    return static_cast<int>(copied * static_cast<std::uint64_t>(kItemSteps) / total);
}

}  // namespace

void SetExtractObserver(IExtractObserver* pObserver) { g_pObserver = pObserver; }

IExtractObserver* ExtractObserver() { return g_pObserver; }

CExtractRun::CExtractRun(CSongDatabase& database, WString folder, std::vector<SExtractItem> items)
    : m_database(database), m_strFolder(std::move(folder)), m_items(std::move(items)) {}

CExtractRun::~CExtractRun() {
    Stop();
    {
        const std::lock_guard lock(g_activeMutex);
        if (g_pActive == this) {
            g_pActive = nullptr;
        }
    }
    if (m_hAcknowledged != nullptr) {
        platform::Platform().CloseSignal(m_hAcknowledged);
    }
}

bool CExtractRun::Start(HWND hWnd) {
    platform::IPlatform& os = platform::Platform();
    m_hWnd = hWnd;
    m_hAcknowledged = os.CreateSignal();
    if (m_hAcknowledged == nullptr) {
        return false;
    }
    // What a run stopped hard left behind in the folder goes before this one adds to it.
    os.RemoveStaleTemporaries(m_strFolder.c_str());
    // The database's export-run names belong to the worker from here on.
    m_database.BeginExportRun();
    if (!m_worker.Start([this]() { Work(); })) {
        return false;
    }
    const std::lock_guard lock(g_activeMutex);
    g_pActive = this;
    return true;
}

void CExtractRun::Acknowledge() { platform::Platform().RaiseSignal(m_hAcknowledged); }

void CExtractRun::Cancel() {
    m_bCancel = true;
    // A worker waiting for its acknowledgement must wake to see it.
    if (m_hAcknowledged != nullptr) {
        platform::Platform().RaiseSignal(m_hAcknowledged);
    }
}

void CExtractRun::Stop() {
    Cancel();
    m_worker.Wait();
}

void CExtractRun::StopActive() {
    const std::lock_guard lock(g_activeMutex);
    if (g_pActive != nullptr) {
        g_pActive->Stop();
    }
}

void CExtractRun::Post(UINT nMsg, std::size_t index, LPARAM lParam) {
    UiBackend().PostMessage(m_hWnd, nMsg, static_cast<WPARAM>(index), lParam);
}

bool CExtractRun::CopyItem(std::size_t index) {
    int nReported = 0;
    const platform::CCopyProgressScope progress(
        [this, index, &nReported](std::uint64_t copied, std::uint64_t total) {
            if (m_bCancel.load()) {
                return false;
            }
            const int nPerMille = PerMille(copied, total);
            if (nPerMille - nReported >= kBytesStep) {
                nReported = nPerMille;
                Post(WM_EXTRACT_BYTES, index, nPerMille);
            }
            return true;
        });
    return m_database.ExportTrack(m_items[index].nRow, m_strFolder.c_str());
}

void CExtractRun::Work() {
    platform::IPlatform& os = platform::Platform();
    for (std::size_t i = 0; i < m_items.size() && !m_bCancel.load(); ++i) {
        Post(WM_EXTRACT_STARTED, i, 0);
        const bool bCopied = CopyItem(i);
        // An abandoned copy is neither a copy nor a failure: the run just ends there.
        if (!bCopied && m_bCancel.load()) {
            break;
        }
        const EItemOutcome eOutcome = !bCopied                       ? kItemFailed
                                      : m_database.WasAlreadyThere() ? kItemAlreadyThere
                                                                     : kItemCopied;
        Post(WM_EXTRACT_ENDED, i, eOutcome);
        os.WaitSignal(m_hAcknowledged);
    }
    Post(WM_EXTRACT_DONE, 0, 0);
}
