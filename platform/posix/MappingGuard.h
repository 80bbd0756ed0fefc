// Keeps a file mapping readable when its file shrinks under it.
#pragma once

#include <cstddef>

namespace platform::posix {

// While a mapping is guarded, a read past the end its file now has (another program truncated
// it, or the player holding it went) no longer kills the process with SIGBUS: the pages from the
// one read onwards are replaced with zero pages, which the caller's bounds-checked parsing reads
// as it reads any other bytes. A fault anywhere else goes to the handler that was there before.
// Guard before the first read; unguard before unmapping.
void GuardMapping(const void* pStart, std::size_t length);
void UnguardMapping(const void* pStart);

}  // namespace platform::posix
