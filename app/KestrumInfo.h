// Facts about Kestrum itself that more than one place shows.
#pragma once

#include "platform/Text.h"

// The maker's web page, opened from the about box.
inline constexpr const WChar* kMakerUrl = u"https://github.com/kestrum-app/kestrum";
