// Console text off Windows: terminals already speak UTF-8 and arguments arrive as bytes.
#include "platform/Console.h"

#include <unistd.h>

namespace platform {

void UseUtf8Console() {}

// Streams here write bytes as they are already.
void UseBinaryOutput(std::FILE*) {}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.emplace_back(argv[i]);
    }
    return arguments;
}

bool IsErrorTerminal() { return ::isatty(STDERR_FILENO) != 0; }

}  // namespace platform
