// kestrum-cli's commands: find the player, load and walk its database, then list, search or
// extract its songs.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace cli {

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitSomeFailed = 1;
inline constexpr int kExitNoPlayer = 2;
inline constexpr int kExitBadDatabase = 3;
inline constexpr int kExitUsage = 64;
// Stopped by Ctrl-C (or SIGTERM, SIGHUP, the console closing); 128 + SIGINT, as shells report it.
inline constexpr int kExitInterrupted = 130;

// Runs one command line (without the program name, UTF-8) and returns the exit status. Rows go
// to out, everything else to err.
int RunKestrumCli(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

}  // namespace cli
