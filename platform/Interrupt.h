// The user's request to stop the program: Ctrl-C, the terminal or console going away, or the
// system asking it to end. While a CInterruptWatch lives, such a request only raises a flag that
// a long run looks at between steps, so that it can finish cleanly.
#pragma once

namespace platform {

class CInterruptWatch {
public:
    // From now until destroyed, the first request raises the flag and nothing more; a second
    // ends the process at once, as the first would have without a watch. One watch at a time.
    CInterruptWatch();
    // Requests are handled as before the watch again.
    ~CInterruptWatch();
    CInterruptWatch(const CInterruptWatch&) = delete;
    CInterruptWatch& operator=(const CInterruptWatch&) = delete;

    // Whether a request came since the watch began. Any thread may ask.
    bool IsRequested() const;
};

}  // namespace platform
