// Keeps the system's own error boxes ("There is no disk in the drive") away while the seam
// touches a drive that may be an empty card reader or optical drive: such a call then just fails.
#pragma once

#include "platform/win32/WinApi.h"

namespace platform::win32 {

// The modes that turn a drive without a medium into a plain failure instead of a box.
inline constexpr DWORD kQuietErrorMode = SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX;

// Adds the quiet modes to this thread's error mode for as long as it lives, then puts the
// caller's mode back. The thread mode, not the process one, so that other threads (the removal
// watcher, the dialog) keep theirs and nothing races over a process-wide setting.
class CScopedErrorMode {
public:
    CScopedErrorMode() {
        m_dwOld = ::GetThreadErrorMode();
        m_bSet = ::SetThreadErrorMode(m_dwOld | kQuietErrorMode, nullptr) != FALSE;
    }
    // The guarded call's last error is what its caller reads next, so the restore keeps it.
    ~CScopedErrorMode() {
        if (m_bSet) {
            const DWORD dwError = ::GetLastError();
            ::SetThreadErrorMode(m_dwOld, nullptr);
            ::SetLastError(dwError);
        }
    }
    CScopedErrorMode(const CScopedErrorMode&) = delete;
    CScopedErrorMode& operator=(const CScopedErrorMode&) = delete;

private:
    DWORD m_dwOld = 0;
    bool m_bSet = false;
};

}  // namespace platform::win32
