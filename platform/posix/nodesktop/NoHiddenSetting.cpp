// The "show hidden files" preference for programs that never change it: the command line keeps
// the user's setting as it is and reads no desktop settings, so it need not load the desktop
// libraries (GIO and GObject) at start-up. Linked ahead of the platform library, these take the
// place of the GSettings ones.
#include <cerrno>

#include "platform/posix/ExplorerSetting.h"

namespace platform::posix {

ExplorerKey OpenHiddenSetting(const char*, const char*) {
    errno = ENOENT;
    return nullptr;
}

bool QueryHiddenSetting(ExplorerKey, std::uint32_t&, std::uint32_t&) {
    errno = EBADF;
    return false;
}

bool SetHiddenSetting(ExplorerKey, std::uint32_t, std::uint32_t) {
    errno = EBADF;
    return false;
}

void CloseHiddenSetting(ExplorerKey) {}

}  // namespace platform::posix
