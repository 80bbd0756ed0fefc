// Names of exported copies made from a template of track fields ("{artist}/{album}/{title}"),
// and the rules that make a name acceptable to Windows, FAT and Linux file systems alike, so
// that a copy made on one can be moved to the others unchanged.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Text.h"

namespace exportname {

// The fields a template can name. Numbers are 0 where the database holds none.
struct STrackTags {
    WString strTitle;
    WString strArtist;
    WString strAlbum;
    WString strAlbumArtist;
    WString strGenre;
    WString strComposer;
    std::uint32_t dwTrack = 0;
    std::uint32_t dwYear = 0;
    std::uint32_t dwDisc = 0;
};

// The template of the default naming: the title as stored.
inline constexpr WStringView kFlatTemplate = u"{title}";

// How an export run names its copies. The default is the title and type, unchanged; every
// other template, and the default with bSafe, gives names made safe by the rules below.
struct SNameRule {
    WString strTemplate = WString(kFlatTemplate);
    bool bSafe = false;

    bool IsPlain() const { return !bSafe && strTemplate == kFlatTemplate; }
};

// The template a preset stands for ("flat", "artist-title", "library"); empty for any other
// name.
WString PresetTemplate(std::string_view preset);

// True when tmpl is a template this module can fill: every '{' closes a known token, widths
// go with numbers only, brackets are not nested and close. Otherwise error says why.
bool CheckTemplate(WStringView tmpl, std::string& error);

// A safe name split where a run's " (2)" goes: the folders (each ending with '\'), the part
// made from the template's last component, and the type suffix.
struct SNameParts {
    WString strFolders;
    WString strTitle;
    WString strSuffix;
};

// Fills tmpl with tags and applies the safe-name rules: in field values and literal text,
// \ / : * ? " < > | and control characters become '_' (only the template's own separators
// make folders); each component loses its trailing dots and spaces, an empty one becomes '_',
// and a name Windows reserves (CON, PRN, AUX, NUL, COM1-9, LPT1-9, with or without an
// extension) gets '_' after it. A bracketed part is left out when every token in it is empty
// or 0; outside brackets an empty title, artist or album reads "Unknown Title", "Unknown
// Artist", "Unknown Album". Numbers of 0 give nothing. suffix is the type suffix as stored.
SNameParts ExpandTemplate(WStringView tmpl, const STrackTags& tags, WStringView suffix);

// The relative name folders + title + numbering + suffix, shortened in its title part so that
// every component holds at most 255 UTF-16 units and 255 UTF-8 bytes and the whole name at
// most room UTF-16 units. False when even a one-character title does not fit.
bool FitName(const SNameParts& parts, WStringView numbering, std::size_t room, WString& name);

// " (n)", the numbering of the n-th song of one name in a run.
WString RunNumber(unsigned number);

// name + suffix as one file name made safe by the rules above (a playlist's file, say).
WString SafeFileName(WStringView name, WStringView suffix);

}  // namespace exportname
