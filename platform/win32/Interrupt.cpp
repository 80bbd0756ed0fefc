// Interrupt requests on Windows: Ctrl-C, Ctrl-Break and the console window being closed.
#include "platform/Interrupt.h"

#include <atomic>

#include "platform/win32/WinApi.h"

namespace platform {
namespace {

// The system ends a process whose console is closed a few seconds after telling it; until then
// the handler keeps it alive for the run to finish cleanly. The main thread's exit ends it sooner.
constexpr DWORD kCloseWindDownMs = 5000;

std::atomic<bool> g_bRequested{false};

// Runs on a thread the system starts for each event.
BOOL WINAPI OnConsoleControl(DWORD dwEvent) {
    switch (dwEvent) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            // A second request goes on to the system's own handler, which ends the process.
            return g_bRequested.exchange(true) ? FALSE : TRUE;
        case CTRL_CLOSE_EVENT:
            g_bRequested.store(true);
            ::Sleep(kCloseWindDownMs);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

CInterruptWatch::CInterruptWatch() {
    g_bRequested.store(false);
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

CInterruptWatch::~CInterruptWatch() { ::SetConsoleCtrlHandler(OnConsoleControl, FALSE); }

bool CInterruptWatch::IsRequested() const { return g_bRequested.load(); }

}  // namespace platform
