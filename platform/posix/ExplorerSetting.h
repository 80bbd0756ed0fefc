// The Explorer "Hidden" value off Windows: the desktop's "show hidden files" preference.
#pragma once

#include <cstdint>

#include "platform/Platform.h"

namespace platform::posix {

// The file chooser's preference that the desktop's file dialogs and managers follow.
inline constexpr const char* kFileChooserSchema = "org.gtk.Settings.FileChooser";
inline constexpr const char* kShowHiddenKey = "show-hidden";

// Opens the boolean key of schemaId through GSettings. nullptr (errno set) when the schema is
// not installed, lacks the key, the key is not a boolean or cannot be written: the same as a
// registry key that cannot be opened for reading and writing.
ExplorerKey OpenHiddenSetting(const char* schemaId, const char* key);
// Reads the preference as 1 (show) or 2 (hide); size needs room for 4 bytes and becomes 4.
bool QueryHiddenSetting(ExplorerKey setting, std::uint32_t& value, std::uint32_t& size);
// Writes 1 as "show"; 2 and every other value as "hide", as the preference only knows two
// states. size must cover 4 bytes. The write is flushed before returning so that a process
// ending at once does not lose it.
bool SetHiddenSetting(ExplorerKey setting, std::uint32_t value, std::uint32_t size);
void CloseHiddenSetting(ExplorerKey setting);

}  // namespace platform::posix
