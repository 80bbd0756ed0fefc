// Interrupt requests on POSIX: SIGINT, SIGTERM and SIGHUP.
#include "platform/Interrupt.h"

#include <signal.h>

#include <atomic>
#include <cerrno>
#include <iterator>

namespace platform {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Set from the signal handler, so it must be lock-free to be safe there.
std::atomic<bool> g_bRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

// The actions in place before the watch; restored by the handler itself (sigaction is
// async-signal-safe), so that a second signal has its usual effect and ends the process.
struct sigaction g_aPrevious[std::size(kSignals)];
bool g_abWatched[std::size(kSignals)];

void RestorePrevious() {
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        if (g_abWatched[i]) {
            sigaction(kSignals[i], &g_aPrevious[i], nullptr);
        }
    }
}

extern "C" void OnInterruptSignal(int) {
    const int error = errno;
    g_bRequested.store(true);
    RestorePrevious();
    errno = error;
}

}  // namespace

CInterruptWatch::CInterruptWatch() {
    g_bRequested.store(false);
    struct sigaction action {};
    action.sa_handler = OnInterruptSignal;
    sigemptyset(&action.sa_mask);
    // While the handler runs, the other two wait: it restores all three before they arrive.
    for (const int signal : kSignals) {
        sigaddset(&action.sa_mask, signal);
    }
    // Interrupted system calls go on: the run stops where it looks at the flag, not wherever a
    // call happened to be waiting.
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        g_abWatched[i] = false;
        if (sigaction(kSignals[i], nullptr, &g_aPrevious[i]) != 0) {
            continue;
        }
        // A signal ignored from the start (nohup, a background job of a shell without job
        // control) stays ignored, as its starter wanted.
        if (g_aPrevious[i].sa_handler == SIG_IGN) {
            continue;
        }
        g_abWatched[i] = sigaction(kSignals[i], &action, nullptr) == 0;
    }
}

CInterruptWatch::~CInterruptWatch() { RestorePrevious(); }

bool CInterruptWatch::IsRequested() const { return g_bRequested.load(); }

}  // namespace platform
