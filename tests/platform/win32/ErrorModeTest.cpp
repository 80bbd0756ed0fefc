// The quiet error mode the Win32 seam holds while a call may touch a drive without a medium, so
// that no "There is no disk in the drive" box stops the probe of D: to Z:; the caller's own mode
// and the call's last error come back afterwards.
#include <gtest/gtest.h>

#include "platform/win32/ScopedErrorMode.h"
#include "platform/win32/WinApi.h"

namespace {

using platform::win32::CScopedErrorMode;
using platform::win32::kQuietErrorMode;

// Gives the test thread a mode of the test's choosing and the one it had back at the end.
class CCallerErrorMode {
public:
    explicit CCallerErrorMode(DWORD dwMode) : m_dwSaved(::GetThreadErrorMode()) {
        ::SetThreadErrorMode(dwMode, nullptr);
    }
    ~CCallerErrorMode() { ::SetThreadErrorMode(m_dwSaved, nullptr); }
    CCallerErrorMode(const CCallerErrorMode&) = delete;
    CCallerErrorMode& operator=(const CCallerErrorMode&) = delete;

private:
    DWORD m_dwSaved;
};

TEST(ScopedErrorMode, AddsTheQuietModesThenRestoresTheCallersModeAndError) {
    for (const DWORD dwCaller : {DWORD{0}, DWORD{SEM_NOGPFAULTERRORBOX}, kQuietErrorMode}) {
        SCOPED_TRACE(dwCaller);
        const CCallerErrorMode caller(dwCaller);
        {
            const CScopedErrorMode quiet;
            EXPECT_EQ(::GetThreadErrorMode(), dwCaller | kQuietErrorMode);
            ::SetLastError(ERROR_NOT_READY);
        }
        EXPECT_EQ(::GetThreadErrorMode(), dwCaller);
        // What the guarded call failed with is what LastErrorText reports.
        EXPECT_EQ(::GetLastError(), DWORD{ERROR_NOT_READY});
    }
}

}  // namespace
