// Which platform implementation the program talks to, and the signals every platform shares.
#include "platform/Platform.h"

#include <new>

#include "platform/Signal.h"

namespace platform {
namespace {
IPlatform* g_pReplacement = nullptr;
}  // namespace

IPlatform& Platform() { return g_pReplacement != nullptr ? *g_pReplacement : NativePlatform(); }

void InstallPlatform(IPlatform* replacement) { g_pReplacement = replacement; }

SignalHandle IPlatform::CreateSignal() { return new (std::nothrow) SignalObject; }

void IPlatform::RaiseSignal(SignalHandle signal) {
    // Notified under the lock: a waiter that wakes may close the signal as soon as it has it.
    const std::lock_guard lock(signal->mutex);
    signal->bRaised = true;
    signal->raised.notify_all();
}

void IPlatform::WaitSignal(SignalHandle signal) {
    std::unique_lock lock(signal->mutex);
    signal->raised.wait(lock, [signal] { return signal->bRaised; });
    signal->bRaised = false;
}

void IPlatform::CloseSignal(SignalHandle signal) { delete signal; }

}  // namespace platform
