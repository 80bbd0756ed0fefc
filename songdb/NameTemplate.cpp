// Filling a name template with a track's fields and making each component of the result a
// name that Windows, FAT and Linux all accept.
#include "songdb/NameTemplate.h"

#include <algorithm>
#include <array>
#include <optional>
#include <utility>

namespace exportname {
namespace {

enum class EField {
    kTitle,
    kArtist,
    kAlbum,
    kAlbumArtist,
    kGenre,
    kComposer,
    kYear,
    kTrack,
    kDisc
};

struct SFieldName {
    WStringView name;
    EField field;
};

constexpr std::array<SFieldName, 9> kFields = {{
    {u"title", EField::kTitle},
    {u"artist", EField::kArtist},
    {u"album", EField::kAlbum},
    {u"albumartist", EField::kAlbumArtist},
    {u"genre", EField::kGenre},
    {u"composer", EField::kComposer},
    {u"year", EField::kYear},
    {u"track", EField::kTrack},
    {u"disc", EField::kDisc},
}};

// FAT and NTFS take at most 255 UTF-16 units per name, ext4 and most Linux file systems 255
// bytes; a component must fit both to travel.
constexpr std::size_t kMaxComponentUnits = 255;
constexpr std::size_t kMaxComponentBytes = 255;
// A width beyond this is no useful padding and would only make names long.
constexpr unsigned kMaxWidth = 9;

bool IsNumber(EField field) {
    return field == EField::kYear || field == EField::kTrack || field == EField::kDisc;
}

// A token as written between braces: a field and, for numbers, the width to pad to with zeros.
struct SToken {
    EField field = EField::kTitle;
    unsigned width = 0;
};

// Reads the token whose text (between the braces) is body.
std::optional<SToken> ParseToken(WStringView body, std::string& error) {
    const std::size_t colon = body.find(u':');
    const WStringView name = body.substr(0, colon);
    const auto found = std::find_if(kFields.begin(), kFields.end(),
                                    [name](const SFieldName& entry) { return entry.name == name; });
    if (found == kFields.end()) {
        error = "unknown field {" + Utf8FromWide(name) + "}";
        return std::nullopt;
    }
    SToken token{found->field, 0};
    if (colon == WStringView::npos) {
        return token;
    }
    const WStringView width = body.substr(colon + 1);
    if (!IsNumber(token.field)) {
        error = "only {year}, {track} and {disc} take a width";
        return std::nullopt;
    }
    if (width.empty() || width.size() > 2 || !std::all_of(width.begin(), width.end(), [](WChar ch) {
            return ch >= u'0' && ch <= u'9';
        })) {
        error = "a width is one or two digits, as in {track:02}";
        return std::nullopt;
    }
    for (const WChar ch : width) {
        token.width = token.width * 10 + static_cast<unsigned>(ch - u'0');
    }
    if (token.width > kMaxWidth) {
        error = "a width is at most 9";
        return std::nullopt;
    }
    return token;
}

// Characters one of the three file systems refuses in a name, besides the separators.
bool IsForbidden(WChar ch) {
    return ch < 0x20 || ch == 0x7F || ch == u':' || ch == u'*' || ch == u'?' || ch == u'"' ||
           ch == u'<' || ch == u'>' || ch == u'|' || ch == u'\\' || ch == u'/';
}

void AppendSafe(WString& target, WStringView text) {
    for (const WChar ch : text) {
        target.push_back(IsForbidden(ch) ? u'_' : ch);
    }
}

WString NumberText(std::uint32_t value, unsigned width) {
    if (value == 0) {
        return {};
    }
    WString text = WideFromAscii(std::to_string(value));
    if (text.size() < width) {
        text.insert(0, width - text.size(), u'0');
    }
    return text;
}

// The value of a token; bOutside gives the "Unknown ..." texts for empty names.
WString TokenValue(const SToken& token, const STrackTags& tags, bool bOutside) {
    const auto orUnknown = [bOutside](const WString& value, WStringView unknown) {
        return value.empty() && bOutside ? WString(unknown) : value;
    };
    switch (token.field) {
        case EField::kTitle:
            return orUnknown(tags.strTitle, u"Unknown Title");
        case EField::kArtist:
            return orUnknown(tags.strArtist, u"Unknown Artist");
        case EField::kAlbum:
            return orUnknown(tags.strAlbum, u"Unknown Album");
        case EField::kAlbumArtist:
            return orUnknown(tags.strAlbumArtist.empty() ? tags.strArtist : tags.strAlbumArtist,
                             u"Unknown Artist");
        case EField::kGenre:
            return tags.strGenre;
        case EField::kComposer:
            return tags.strComposer;
        case EField::kYear:
            return NumberText(tags.dwYear, token.width);
        case EField::kTrack:
            return NumberText(tags.dwTrack, token.width);
        case EField::kDisc:
            return NumberText(tags.dwDisc, token.width);
    }
    return {};
}

void DropTrailingDotsAndSpaces(WString& text) {
    while (!text.empty() && (text.back() == u'.' || text.back() == u' ')) {
        text.pop_back();
    }
}

// Where '_' goes when name (with its suffix) is one Windows reserves for a device: after the
// part before the first dot, without its trailing spaces. npos when the name is free.
std::size_t ReservedStemEnd(WStringView name) {
    std::size_t end = std::min(name.find(u'.'), name.size());
    while (end > 0 && name[end - 1] == u' ') {
        --end;
    }
    const WStringView stem = name.substr(0, end);
    WString upper;
    for (const WChar ch : stem) {
        upper.push_back(ch >= u'a' && ch <= u'z' ? static_cast<WChar>(ch - 0x20) : ch);
    }
    if (upper == u"CON" || upper == u"PRN" || upper == u"AUX" || upper == u"NUL") {
        return end;
    }
    if (upper.size() == 4 && (upper.starts_with(u"COM") || upper.starts_with(u"LPT")) &&
        upper[3] >= u'1' && upper[3] <= u'9') {
        return end;
    }
    return WStringView::npos;
}

// The trailing-dot, empty and reserved-name rules for one component that has no suffix of its
// own (a folder).
void FinishComponent(WString& component) {
    DropTrailingDotsAndSpaces(component);
    if (component.empty()) {
        component = u"_";
    }
    if (const std::size_t at = ReservedStemEnd(component); at != WStringView::npos) {
        component.insert(at, 1, u'_');
    }
}

std::size_t Utf8Length(WStringView text) {
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const WChar ch = text[i];
        if (ch < 0x80) {
            bytes += 1;
        } else if (ch < 0x800) {
            bytes += 2;
        } else if (ch >= 0xD800 && ch < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                   text[i + 1] < 0xE000) {
            bytes += 4;
            ++i;
        } else {
            bytes += 3;
        }
    }
    return bytes;
}

// The longest start of text within units UTF-16 units and bytes UTF-8 bytes that does not
// split a surrogate pair.
WString CutToFit(WStringView text, std::size_t units, std::size_t bytes) {
    std::size_t end = std::min(text.size(), units);
    while (end > 0 && Utf8Length(text.substr(0, end)) > bytes) {
        --end;
    }
    if (end > 0 && end < text.size() && text[end - 1] >= 0xD800 && text[end - 1] < 0xDC00) {
        --end;
    }
    return WString(text.substr(0, end));
}

// A shortened title, cut further until the name it ends is acceptable: without trailing dots
// and spaces when nothing follows it, and no device name ("Auxiliary" cut to "Aux" before
// ".mp3" becomes "Au"). A device name's stem is ASCII, so cutting inside it never splits a
// surrogate pair. False when nothing of the title is left.
bool EndAcceptably(WString cut, WStringView numbering, WStringView suffix, WString& title) {
    for (;;) {
        if (numbering.empty() && suffix.empty()) {
            DropTrailingDotsAndSpaces(cut);
        }
        if (cut.empty()) {
            return false;
        }
        const std::size_t at = ReservedStemEnd(cut + WString(numbering) + WString(suffix));
        if (at == WStringView::npos) {
            title = std::move(cut);
            return true;
        }
        cut.resize(std::min(at, cut.size()) - 1);
    }
}

// A folder name cut to what one component may hold.
void FitFolder(WString& component) {
    if (component.size() > kMaxComponentUnits || Utf8Length(component) > kMaxComponentBytes) {
        component = CutToFit(component, kMaxComponentUnits, kMaxComponentBytes);
        FinishComponent(component);
    }
}

// The template filled in, with '\' where the template separates folders and every other
// character of values and literal text made safe.
WString FillTemplate(WStringView tmpl, const STrackTags& tags) {
    WString filled;
    WString group;
    bool bInGroup = false;
    bool bGroupHasValue = false;
    for (std::size_t i = 0; i < tmpl.size(); ++i) {
        WString& target = bInGroup ? group : filled;
        const WChar ch = tmpl[i];
        if (ch == u'{') {
            const std::size_t close = tmpl.find(u'}', i);
            std::string ignored;
            const std::optional<SToken> token =
                close == WStringView::npos ? std::nullopt
                                           : ParseToken(tmpl.substr(i + 1, close - i - 1), ignored);
            if (token) {
                const WString value = TokenValue(*token, tags, !bInGroup);
                bGroupHasValue = bGroupHasValue || !value.empty();
                AppendSafe(target, value);
                i = close;
                continue;
            }
        } else if (ch == u'[' && !bInGroup) {
            bInGroup = true;
            bGroupHasValue = false;
            group.clear();
            continue;
        } else if (ch == u']' && bInGroup) {
            if (bGroupHasValue) {
                filled += group;
            }
            bInGroup = false;
            continue;
        }
        if (ch == u'/' || ch == u'\\') {
            target.push_back(u'\\');
        } else {
            AppendSafe(target, WStringView(&ch, 1));
        }
    }
    if (bInGroup && bGroupHasValue) {
        filled += group;
    }
    return filled;
}

}  // namespace

WString PresetTemplate(std::string_view preset) {
    if (preset == "flat") {
        return WString(kFlatTemplate);
    }
    if (preset == "artist-title") {
        return u"{artist} - {title}";
    }
    if (preset == "library") {
        return u"{albumartist}/{album}/[{disc}-][{track:02} ]{title}";
    }
    return {};
}

bool CheckTemplate(WStringView tmpl, std::string& error) {
    bool bInGroup = false;
    for (std::size_t i = 0; i < tmpl.size(); ++i) {
        const WChar ch = tmpl[i];
        if (ch == u'{') {
            const std::size_t close = tmpl.find(u'}', i);
            if (close == WStringView::npos) {
                error = "a { is not closed";
                return false;
            }
            if (!ParseToken(tmpl.substr(i + 1, close - i - 1), error)) {
                return false;
            }
            i = close;
        } else if (ch == u'}') {
            error = "a } has no {";
            return false;
        } else if (ch == u'[') {
            if (bInGroup) {
                error = "brackets do not nest";
                return false;
            }
            bInGroup = true;
        } else if (ch == u']') {
            if (!bInGroup) {
                error = "a ] has no [";
                return false;
            }
            bInGroup = false;
        }
    }
    if (bInGroup) {
        error = "a [ is not closed";
        return false;
    }
    if (tmpl.empty()) {
        error = "the template is empty";
        return false;
    }
    return true;
}

SNameParts ExpandTemplate(WStringView tmpl, const STrackTags& tags, WStringView suffix) {
    const WString filled = FillTemplate(tmpl, tags);
    SNameParts parts;
    const std::size_t last = filled.rfind(u'\\');
    std::size_t start = 0;
    while (last != WString::npos && start <= last) {
        const std::size_t end = filled.find(u'\\', start);
        WString component = filled.substr(start, end - start);
        FinishComponent(component);
        FitFolder(component);
        parts.strFolders += component;
        parts.strFolders += u'\\';
        start = end + 1;
    }
    parts.strTitle = filled.substr(start);
    AppendSafe(parts.strSuffix, suffix);
    DropTrailingDotsAndSpaces(parts.strSuffix);
    if (parts.strSuffix.empty()) {
        DropTrailingDotsAndSpaces(parts.strTitle);
    }
    if (parts.strTitle.empty()) {
        parts.strTitle = u"_";
    }
    if (const std::size_t at = ReservedStemEnd(parts.strTitle + parts.strSuffix);
        at != WStringView::npos) {
        parts.strTitle.insert(std::min(at, parts.strTitle.size()), 1, u'_');
    }
    return parts;
}

bool FitName(const SNameParts& parts, WStringView numbering, std::size_t room, WString& name) {
    const std::size_t fixedUnits = numbering.size() + parts.strSuffix.size();
    const std::size_t fixedBytes = Utf8Length(numbering) + Utf8Length(parts.strSuffix);
    if (fixedUnits >= kMaxComponentUnits || fixedBytes >= kMaxComponentBytes ||
        parts.strFolders.size() + fixedUnits >= room) {
        return false;
    }
    const std::size_t units =
        std::min(kMaxComponentUnits - fixedUnits, room - parts.strFolders.size() - fixedUnits);
    WString title = parts.strTitle;
    if ((title.size() > units || Utf8Length(title) > kMaxComponentBytes - fixedBytes) &&
        !EndAcceptably(CutToFit(title, units, kMaxComponentBytes - fixedBytes), numbering,
                       parts.strSuffix, title)) {
        return false;
    }
    name = parts.strFolders + title + WString(numbering) + parts.strSuffix;
    return true;
}

WString RunNumber(unsigned number) { return u" (" + WideFromAscii(std::to_string(number)) + u")"; }

WString SafeFileName(WStringView name, WStringView suffix) {
    STrackTags tags;
    tags.strTitle = WString(name);
    // As a title, with no folder: its separators become '_' like any value's.
    SNameParts parts = ExpandTemplate(u"[{title}]", tags, suffix);
    WString fitted;
    if (!FitName(parts, u"", kMaxComponentUnits, fitted)) {
        fitted = u"_" + parts.strSuffix;
    }
    return fitted;
}

}  // namespace exportname
