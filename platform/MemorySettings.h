// Settings kept for the life of the process only: where no store of the user's is at hand
// (the command-line tool, the headless driver, tests), the program's choices still hold for
// the run.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <variant>

#include "platform/Text.h"

namespace platform {

class CMemorySettings {
public:
    bool ReadText(const WChar* name, WString& value) const { return Read(name, value); }
    bool ReadNumber(const WChar* name, std::uint32_t& value) const { return Read(name, value); }
    bool WriteText(const WChar* name, const WString& value) { return Write(name, value); }
    bool WriteNumber(const WChar* name, std::uint32_t value) { return Write(name, value); }

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
