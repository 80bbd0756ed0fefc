// Console text for the command-line tool: UTF-8 out, and the arguments as UTF-8 whatever the
// system's code page.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace platform {

// Makes the console show UTF-8 output as such. Call once before writing.
void UseUtf8Console();

// The program's arguments (argv[0] included) in UTF-8. Windows hands main() its arguments in
// the ANSI code page, which loses characters; the wide command line keeps them.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// Makes stream write its bytes as they are: on Windows a text stream turns each line feed into
// CR LF, which output of a set line format (CSV's own CR LF) must not get twice.
void UseBinaryOutput(std::FILE* stream);

// Whether standard error is a terminal: a progress line redrawn in place belongs there only,
// never in a file or a pipe.
bool IsErrorTerminal();

}  // namespace platform
