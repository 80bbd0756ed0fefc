// Entry point of kestrum-cli.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/KestrumCli.h"
#include "platform/Console.h"

int main(int argc, char** argv) {
    platform::UseUtf8Console();
    std::vector<std::string> args = platform::Utf8Arguments(argc, argv);
    if (!args.empty()) {
        args.erase(args.begin());
    }
    const int status = cli::RunKestrumCli(args, stdout, stderr);
    std::fflush(stdout);
    return status;
}
