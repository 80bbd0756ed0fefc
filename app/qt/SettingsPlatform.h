// The platform as the Linux desktop program runs it: the system's own, except that the
// program's settings are kept with Qt's settings for the user (organisation and application
// "Kestrum"), so that choices made in the window hold across runs.
#pragma once

#include "platform/ForwardingPlatform.h"

namespace qtapp {

class CSettingsPlatform : public platform::CForwardingPlatform {
public:
    using CForwardingPlatform::CForwardingPlatform;

    bool ReadSettingText(const WChar* name, WString& value) override;
    bool WriteSettingText(const WChar* name, const WString& value) override;
    bool ReadSettingNumber(const WChar* name, std::uint32_t& value) override;
    bool WriteSettingNumber(const WChar* name, std::uint32_t value) override;
};

}  // namespace qtapp
