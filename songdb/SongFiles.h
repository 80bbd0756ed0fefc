// The song files on the player, found by walking its music folders rather than read from its
// catalogue: for a player whose catalogue is gone, and for the songs a catalogue has forgotten.
#pragma once

#include <vector>

#include "platform/Text.h"

namespace songfiles {

// The audio files below drive's iPod_Control\Music, at any depth, told by their extension (mp3
// m4a m4p m4b m4v mp4 aac aif aiff wav aa, in any case), as locations in the catalogue's own
// form (":iPod_Control:Music:F00:ABCD.mp3"), in a stable order: folder by folder, each folder's
// files by name, then its subfolders by name. Empty when there is no music folder.
std::vector<WString> FindSongFiles(WChar chDrive);

// The files that no location of named names, compared as the player's file system compares
// names: without regard to case, ':' '\' and '/' alike.
std::vector<WString> LostSongs(const std::vector<WString>& files,
                               const std::vector<WString>& named);

}  // namespace songfiles
