// The one installed backend beneath the dialog framework.
#include "ui/Backend.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {
// Set once by the program's entry point before any window exists; read from the watcher thread
// too (its message box), hence atomic.
std::atomic<IUiBackend*> g_pBackend{nullptr};
}  // namespace

IUiBackend& UiBackend() {
    IUiBackend* backend = g_pBackend.load(std::memory_order_acquire);
    if (backend == nullptr) {
        // A window operation without a backend is a programming error, not a user situation.
        std::fputs("Kestrum: no user interface backend installed\n", stderr);
        std::abort();
    }
    return *backend;
}

void SetUiBackend(IUiBackend* backend) { g_pBackend.store(backend, std::memory_order_release); }
