// The SIGBUS handler behind GuardMapping: a fixed table of guarded ranges, read by the handler
// without locks, and anonymous zero pages mapped over the part of a range that can no longer be
// read.
#include "platform/posix/MappingGuard.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

namespace platform::posix {
namespace {

// Catalogues are loaded one at a time; a few more slots cover a test that keeps several.
constexpr std::size_t kSlots = 16;

struct SGuardedRange {
    std::atomic<std::uintptr_t> start{0};
    std::atomic<std::size_t> length{0};
};

std::array<SGuardedRange, kSlots> g_ranges;
std::mutex g_tableMutex;
struct sigaction g_previous {};
std::once_flag g_installed;

// Passes a fault that is not ours to whoever handled SIGBUS before; with nobody, the default
// action ends the process as it would have.
void ForwardFault(int signal, siginfo_t* pInfo, void* pContext) {
    if ((g_previous.sa_flags & SA_SIGINFO) != 0 && g_previous.sa_sigaction != nullptr) {
        g_previous.sa_sigaction(signal, pInfo, pContext);
        return;
    }
    if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN &&
        g_previous.sa_handler != nullptr) {
        g_previous.sa_handler(signal);
        return;
    }
    ::signal(SIGBUS, SIG_DFL);
    raise(SIGBUS);
}

void OnBusError(int signal, siginfo_t* pInfo, void* pContext) {
    const auto address = reinterpret_cast<std::uintptr_t>(pInfo->si_addr);
    const auto pageSize = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    for (const SGuardedRange& range : g_ranges) {
        const std::uintptr_t start = range.start.load();
        const std::size_t length = range.length.load();
        if (start == 0 || address < start || address - start >= length) {
            continue;
        }
        // From the faulting page to the range's end: the file is gone beyond it, and each later
        // page would fault alike. The read is then retried and finds zeros.
        const std::uintptr_t page = address - (address - start) % pageSize;
        void* pPage = reinterpret_cast<void*>(page);
        if (mmap(pPage, start + length - page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED,
                 -1, 0) != MAP_FAILED) {
            return;
        }
        break;
    }
    ForwardFault(signal, pInfo, pContext);
}

void InstallHandler() {
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGBUS, &action, &g_previous);
}

}  // namespace

void GuardMapping(const void* pStart, std::size_t length) {
    std::call_once(g_installed, InstallHandler);
    const std::lock_guard lock(g_tableMutex);
    for (SGuardedRange& range : g_ranges) {
        if (range.start.load() == 0) {
            // The length first: the handler takes a range by its start.
            range.length.store(length);
            range.start.store(reinterpret_cast<std::uintptr_t>(pStart));
            return;
        }
    }
    // A full table leaves this mapping as mappings are without a guard.
}

void UnguardMapping(const void* pStart) {
    const std::lock_guard lock(g_tableMutex);
    for (SGuardedRange& range : g_ranges) {
        if (range.start.load() == reinterpret_cast<std::uintptr_t>(pStart)) {
            range.start.store(0);
            range.length.store(0);
        }
    }
}

}  // namespace platform::posix
