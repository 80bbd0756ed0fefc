// The object behind a SignalHandle; the scripted platform of the driver waits on it its own way.
#pragma once

#include <condition_variable>
#include <mutex>

#include "platform/Platform.h"

namespace platform {

struct SignalObject {
    std::mutex mutex;
    std::condition_variable raised;
    bool bRaised = false;
};

}  // namespace platform
