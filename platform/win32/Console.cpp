// Console text on Windows: UTF-8 output through the console code page, arguments from the
// wide command line.
#include "platform/Console.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "platform/Text.h"
#include "platform/win32/WinApi.h"

namespace platform {

void UseUtf8Console() {
    // Output goes out as UTF-8 bytes through printf and iostreams; the wide printf family
    // would convert through the ANSI code page (and Wine's cuts it short at the first
    // character outside it).
    ::SetConsoleOutputCP(CP_UTF8);
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide != nullptr && count == argc) {
        for (int i = 0; i < count; ++i) {
            const WString text(reinterpret_cast<const WChar*>(wide[i]));
            arguments.push_back(Utf8FromWide(text));
        }
    } else {
        // The wide line disagrees with what main() got (unusual quoting): trust main().
        for (int i = 0; i < argc; ++i) {
            arguments.emplace_back(argv[i]);
        }
    }
    if (wide != nullptr) {
        ::LocalFree(wide);
    }
    return arguments;
}

void UseBinaryOutput(std::FILE* stream) {
    std::fflush(stream);
    ::_setmode(::_fileno(stream), _O_BINARY);
}

bool IsErrorTerminal() { return ::_isatty(::_fileno(stderr)) != 0; }

}  // namespace platform
