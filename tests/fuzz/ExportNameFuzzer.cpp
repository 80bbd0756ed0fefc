// Fuzzes the naming rules on their own, without a database: a template filled with fuzzed
// tags, fitted into fuzzed room, the playlist file name, the type suffix, the location's
// extension, the folder check and the run keys. Each input is tab-separated UTF-8 text (title,
// artist, album, file type, location, album artist, genre, composer, template: the first five
// are the columns of the samples' expected listings, which seed it) followed by the bytes that
// pick template, numbers, room and numbering.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzChecks.h"
#include "songdb/ExportName.h"
#include "songdb/NameTemplate.h"

namespace {

using fuzz::Require;

// A file system limit every component of a safe name keeps: 255 UTF-16 units and 255 bytes.
constexpr std::size_t kMaxComponent = 255;

bool IsForbidden(WChar ch) {
    return ch < 0x20 || ch == 0x7F || WStringView(u":*?\"<>|\\/").find(ch) != WStringView::npos;
}

bool HasForbidden(WStringView text) { return std::any_of(text.begin(), text.end(), IsForbidden); }

bool EndsWithDotOrSpace(WStringView text) {
    return !text.empty() && (text.back() == u'.' || text.back() == u' ');
}

// A device name Windows reserves: the part before the first dot, trailing spaces dropped, is
// CON, PRN, AUX, NUL, COM1-9 or LPT1-9 in any case.
bool IsReserved(WStringView name) {
    WStringView stem = name.substr(0, name.find(u'.'));
    while (!stem.empty() && stem.back() == u' ') {
        stem.remove_suffix(1);
    }
    std::string upper;
    for (const WChar ch : stem) {
        if (ch > 0x7F) {
            return false;
        }
        upper.push_back(static_cast<char>(ch >= u'a' && ch <= u'z' ? ch - 0x20 : ch));
    }
    if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL") {
        return true;
    }
    return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) &&
           upper[3] >= '1' && upper[3] <= '9';
}

std::vector<WStringView> Components(WStringView name) {
    std::vector<WStringView> components;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = name.find(u'\\', start);
        components.push_back(name.substr(start, end - start));
        if (end == WStringView::npos) {
            return components;
        }
        start = end + 1;
    }
}

// Every file system takes it as a name, and it fits all of them when bLength.
void RequireSafeComponent(WStringView component, bool bLength) {
    Require(!component.empty() && !HasForbidden(component) && !EndsWithDotOrSpace(component) &&
            !IsReserved(component));
    if (bLength) {
        Require(component.size() <= kMaxComponent &&
                Utf8FromWide(component).size() <= kMaxComponent);
    }
}

void RequireSafeName(WStringView name) {
    for (const WStringView component : Components(name)) {
        RequireSafeComponent(component, true);
    }
    Require(!exportname::LeavesFolder(name));
}

// The text the plain rule gives (title and type as stored) stays in its folder unless
// LeavesFolder says otherwise: no root, no drive, no component Windows reads as "..".
void CheckPlainName(WStringView name) {
    if (exportname::LeavesFolder(name)) {
        return;
    }
    Require(name.empty() || (name[0] != u'\\' && name[0] != u'/'));
    const bool bDriveLetter = !name.empty() && ((name[0] >= u'a' && name[0] <= u'z') ||
                                                (name[0] >= u'A' && name[0] <= u'Z'));
    Require(!(bDriveLetter && name.size() >= 2 && name[1] == u':'));
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = name.find_first_of(u"\\/", start);
        const WStringView component = name.substr(start, end - start);
        Require(!(component.starts_with(u"..") && fuzz::ResolvesToDots(component)));
        if (end == WStringView::npos) {
            break;
        }
        start = end + 1;
    }
}

// text with 'a'..'z' moved by delta ('A' - 'a' or back).
WString AsciiCase(WStringView text, bool bUpper) {
    WString changed(text);
    for (WChar& ch : changed) {
        if (bUpper && ch >= u'a' && ch <= u'z') {
            ch = static_cast<WChar>(ch - 0x20);
        } else if (!bUpper && ch >= u'A' && ch <= u'Z') {
            ch = static_cast<WChar>(ch + 0x20);
        }
    }
    return changed;
}

// Two paths Windows takes for one file have one key: case, either separator and trailing dots
// and spaces do not count, and a key is its own key.
void CheckRunKey(WStringView path) {
    const WString key = exportname::RunKey(path);
    Require(exportname::RunKey(key) == key);
    Require(std::none_of(key.begin(), key.end(), [](WChar ch) { return ch == u'/'; }));
    Require(exportname::RunKey(AsciiCase(path, true)) == key);
    Require(exportname::RunKey(AsciiCase(path, false)) == key);
    Require(exportname::RunKey(WString(path) + u". ") == key);
    WString slashes(path);
    std::replace(slashes.begin(), slashes.end(), u'\\', u'/');
    Require(exportname::RunKey(slashes) == key);
}

// The type bytes as a track stores them (last character first) from the text of a type.
std::array<std::uint8_t, 4> StoredType(std::string_view type) {
    std::array<std::uint8_t, 4> stored = {};
    for (std::size_t i = 0; i < 4 && i < type.size(); ++i) {
        stored[3 - i] = static_cast<std::uint8_t>(type[i]);
    }
    return stored;
}

void CheckTypeSuffix(WStringView suffix) {
    if (suffix.empty()) {
        return;
    }
    Require(suffix.size() >= 2 && suffix.size() <= 5 && suffix[0] == u'.');
    Require(suffix.find_first_of(WStringView(u" \0", 2), 1) == WStringView::npos);
}

void CheckLocationExtension(WStringView location, WStringView extension) {
    if (extension.empty()) {
        return;
    }
    Require(extension.size() >= 2 && extension[0] == u'.' && location.ends_with(extension));
    Require(extension.find_first_of(u":\\/") == WStringView::npos);
}

// The title part FitName can always fall back to: the title's first character, if that alone
// makes an acceptable last component. A shortened title never ends on a high surrogate (it
// would split a pair), so one that starts with one keeps the unit after it too.
bool OneCharacterFits(const exportname::SNameParts& parts, WStringView numbering,
                      std::size_t room) {
    const WStringView title = parts.strTitle;
    const std::size_t units = title[0] >= 0xD800 && title[0] < 0xDC00 ? 2 : 1;
    const WString last = WString(title.substr(0, units)) + WString(numbering) + parts.strSuffix;
    return parts.strFolders.size() + last.size() <= room && last.size() <= kMaxComponent &&
           Utf8FromWide(last).size() <= kMaxComponent && !EndsWithDotOrSpace(last) &&
           !IsReserved(last);
}

void CheckExpandAndFit(WStringView tmpl, const exportname::STrackTags& tags, WStringView suffix,
                       WStringView numbering, std::size_t room) {
    const exportname::SNameParts parts = exportname::ExpandTemplate(tmpl, tags, suffix);
    Require(parts.strFolders.empty() || parts.strFolders.back() == u'\\');
    if (!parts.strFolders.empty()) {
        RequireSafeName(WStringView(parts.strFolders).substr(0, parts.strFolders.size() - 1));
    }
    Require(!HasForbidden(parts.strTitle) && !HasForbidden(parts.strSuffix) &&
            !EndsWithDotOrSpace(parts.strSuffix));
    RequireSafeComponent(parts.strTitle + parts.strSuffix, false);

    WString name;
    if (!exportname::FitName(parts, numbering, room, name)) {
        Require(!OneCharacterFits(parts, numbering, room));
        return;
    }
    Require(name.size() <= room && name.starts_with(parts.strFolders) &&
            name.ends_with(WString(numbering) + parts.strSuffix));
    RequireSafeName(name);
    CheckRunKey(u"C:\\Out\\" + name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    // The choices come from the end of the input, the text is what remains at its start.
    const int nTemplate = input.ConsumeIntegralInRange(0, 3);
    exportname::STrackTags tags;
    tags.dwTrack = input.ConsumeIntegral<std::uint32_t>();
    tags.dwYear = input.ConsumeIntegral<std::uint32_t>();
    tags.dwDisc = input.ConsumeIntegral<std::uint32_t>();
    const auto room = input.ConsumeIntegralInRange<std::size_t>(0, 600);
    const auto number = input.ConsumeIntegralInRange<unsigned>(1, 100000);
    const std::string text = input.ConsumeRemainingBytesAsString();

    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t tab = text.find('\t', start);
        fields.push_back(std::string_view(text).substr(start, tab - start));
        if (tab == std::string::npos) {
            break;
        }
        start = tab + 1;
    }
    fields.resize(std::max<std::size_t>(fields.size(), 9));
    tags.strTitle = WideFromUtf8(fields[0]);
    tags.strArtist = WideFromUtf8(fields[1]);
    tags.strAlbum = WideFromUtf8(fields[2]);
    const WString location = WideFromUtf8(fields[4]);
    tags.strAlbumArtist = WideFromUtf8(fields[5]);
    tags.strGenre = WideFromUtf8(fields[6]);
    tags.strComposer = WideFromUtf8(fields[7]);

    // The suffix as the database picks it: the stored type, else the location's extension.
    const std::array<std::uint8_t, 4> stored = StoredType(fields[3]);
    const WString typeSuffix = exportname::TypeSuffix(stored);
    CheckTypeSuffix(typeSuffix);
    const WString extension = exportname::LocationExtension(location);
    CheckLocationExtension(location, extension);
    const WString suffix = typeSuffix.empty() ? extension : typeSuffix;

    const WString plain = tags.strTitle + suffix;
    CheckPlainName(plain);
    CheckRunKey(plain);

    const std::array<WString, 3> presets = {exportname::PresetTemplate("flat"),
                                            exportname::PresetTemplate("artist-title"),
                                            exportname::PresetTemplate("library")};
    const WString tmpl =
        nTemplate < 3 ? presets[static_cast<std::size_t>(nTemplate)] : WideFromUtf8(fields[8]);
    const WString numbering = number == 1 ? WString() : exportname::RunNumber(number);
    CheckExpandAndFit(tmpl, tags, suffix, numbering, room);

    // A playlist's file: its name is any text, its suffix a short one of the program's own.
    const WString playlist =
        exportname::SafeFileName(tags.strTitle, typeSuffix.empty() ? u".m3u8" : typeSuffix);
    Require(playlist.find(u'\\') == WString::npos);
    RequireSafeName(playlist);
    return 0;
}
