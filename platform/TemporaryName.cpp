// Forming and recognising the names of the copies' temporary files.
#include "platform/TemporaryName.h"

#include <charconv>
#include <system_error>

namespace platform {
namespace {

constexpr std::string_view kSuffix = ".tmp";

// A number as std::to_string writes it: digits only, no leading zero.
bool ReadNumber(std::string_view text, std::uint64_t& value) {
    if (text.empty() || (text[0] == '0' && text.size() > 1)) {
        return false;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

std::string TemporaryName(std::string_view prefix, std::uint64_t process, std::uint64_t number) {
    return std::string(prefix) + std::to_string(process) + "-" + std::to_string(number) +
           std::string(kSuffix);
}

bool TemporaryNameOwner(std::string_view name, std::string_view prefix, std::uint64_t& process) {
    if (!name.starts_with(prefix) || !name.ends_with(kSuffix) ||
        name.size() < prefix.size() + kSuffix.size()) {
        return false;
    }
    name.remove_prefix(prefix.size());
    name.remove_suffix(kSuffix.size());
    const std::size_t dash = name.find('-');
    std::uint64_t number = 0;
    return dash != std::string_view::npos && ReadNumber(name.substr(0, dash), process) &&
           ReadNumber(name.substr(dash + 1), number) && process != 0;
}

}  // namespace platform
