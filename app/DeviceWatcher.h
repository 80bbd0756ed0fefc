// The removal watcher: a thread that polls the player's database file and ends the program
// with a message once the file can no longer be opened.
#pragma once

#include "platform/Platform.h"
#include "platform/Text.h"
#include "songdb/SongDatabase.h"

// What the watcher needs, copied when it starts so that it never touches the song database,
// which the dialog may destroy at any time.
struct SWatchTarget {
    WString strPath;            // the database file polled
    SExplorerSetting explorer;  // written back before the process ends
};

// How often the database file is opened, in milliseconds.
inline constexpr std::uint32_t kWatchInterval = 2000;

// The thread routine: opens and closes the file every kWatchInterval milliseconds, the first
// time at once; when the open fails, tells the user, writes the Explorer setting back and
// ends the process with code 0. Does not return.
void WatchDeviceThread(const SWatchTarget& target);

// Starts WatchDeviceThread on a copy of the database's Explorer setting, polling watched (the
// database's path when empty); nullptr when the thread could not be created (the program then
// runs without it).
platform::ThreadHandle StartDeviceWatcher(const CSongDatabase& database,
                                          const WString& watched = WString());
