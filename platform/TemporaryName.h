// The names of the temporary files copies are made in: they carry the id of the process that
// made them, so that a later run can tell a file left by an ended process from one still written.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// prefix, the process id, '-', number and ".tmp", the numbers in plain decimal.
std::string TemporaryName(std::string_view prefix, std::uint64_t process, std::uint64_t number);

// The process id in a name TemporaryName could have given with prefix; false for any other name,
// even one that differs only by a leading zero, a sign or a character more.
bool TemporaryNameOwner(std::string_view name, std::string_view prefix, std::uint64_t& process);

}  // namespace platform
