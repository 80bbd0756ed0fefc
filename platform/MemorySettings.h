// Settings kept for the life of the process only: where no store of the user's is at hand
// (the command-line tool, the scenario driver, tests), the program's choices still hold for
// the run.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <variant>

#include "platform/Platform.h"
#include "platform/Text.h"

namespace platform {

// A platform (TPlatform: IPlatform or a class derived from it) whose four settings calls keep
// the values in memory; the platforms that have no store of their own derive from it.
template <typename TPlatform>
class CMemorySettings : public TPlatform {
public:
    using TPlatform::TPlatform;

    bool ReadSettingText(const WChar* name, WString& value) override { return Read(name, value); }
    bool WriteSettingText(const WChar* name, const WString& value) override {
        return Write(name, value);
    }
    bool ReadSettingNumber(const WChar* name, std::uint32_t& value) override {
        return Read(name, value);
    }
    bool WriteSettingNumber(const WChar* name, std::uint32_t value) override {
        return Write(name, value);
    }

private:
    using Value = std::variant<WString, std::uint32_t>;

    template <typename T>
    bool Read(const WChar* name, T& value) const {
        const std::lock_guard<std::mutex> lock(m_mutex);
        const auto found = m_values.find(name);
        if (found == m_values.end() || !std::holds_alternative<T>(found->second)) {
            return false;
        }
        value = std::get<T>(found->second);
        return true;
    }

    bool Write(const WChar* name, Value value) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_values[name] = std::move(value);
        return true;
    }

    mutable std::mutex m_mutex;
    std::map<WString, Value> m_values;
};

}  // namespace platform
