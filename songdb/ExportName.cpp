// Naming rules for exported copies, kept apart from the database so they can be tested alone.
#include "songdb/ExportName.h"

#include <string>

#include "songdb/NameTemplate.h"

namespace exportname {
namespace {

bool IsSeparator(WChar ch) { return ch == u'\\' || ch == u'/'; }

bool IsAsciiLetter(WChar ch) { return (ch >= u'a' && ch <= u'z') || (ch >= u'A' && ch <= u'Z'); }

// A component made of dots and spaces only, with at least two dots: Windows trims trailing
// dots and spaces, so ".. " or "..." may resolve like "..".
bool ClimbsUp(WStringView component) {
    std::size_t dots = 0;
    for (const WChar ch : component) {
        if (ch == u'.') {
            ++dots;
        } else if (ch != u' ') {
            return false;
        }
    }
    return dots >= 2;
}

// A component made of dots and spaces only, with at least one dot: "." or ".." once Windows
// has trimmed it.
bool IsDotsOnly(WStringView component) {
    return component.find_first_not_of(u". ") == WStringView::npos &&
           component.find(u'.') != WStringView::npos;
}

// Removes the dots and spaces that end the last component of key (never a separator).
void DropTrailingDotsAndSpaces(WString& key) {
    while (!key.empty() && (key.back() == u'.' || key.back() == u' ')) {
        key.pop_back();
    }
}

}  // namespace

WString TypeSuffix(std::span<const std::uint8_t, 4> stored) {
    // Each character has its fixed place after the dot; a skipped byte leaves a zero there,
    // which ends the suffix.
    WChar chars[4] = {};
    for (std::size_t i = 0; i < 4; ++i) {
        const std::uint8_t byte = stored[3 - i];
        if (byte != 0x20) {
            chars[i] =
                static_cast<WChar>(static_cast<std::int16_t>(static_cast<std::int8_t>(byte)));
        }
    }
    WString suffix;
    for (const WChar ch : chars) {
        if (ch == 0) {
            break;
        }
        suffix.push_back(ch);
    }
    if (suffix.empty()) {
        return suffix;
    }
    return u"." + suffix;
}

WString LocationExtension(WStringView location) {
    const std::size_t nameStart = location.find_last_of(u":\\/");
    const WStringView name =
        nameStart == WStringView::npos ? location : location.substr(nameStart + 1);
    const std::size_t dot = name.rfind(u'.');
    if (dot == WStringView::npos || dot + 1 == name.size()) {
        return {};
    }
    return WString(name.substr(dot));
}

bool LeavesFolder(WStringView name) {
    if (name.empty()) {
        return false;
    }
    if (IsSeparator(name[0])) {
        return true;
    }
    if (name.size() >= 2 && IsAsciiLetter(name[0]) && name[1] == u':') {
        return true;
    }
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = start;
        while (end < name.size() && !IsSeparator(name[end])) {
            ++end;
        }
        if (ClimbsUp(name.substr(start, end - start))) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

bool LocationLeavesPlayer(WStringView location) {
    std::size_t start = 0;
    for (bool bFirst = true;; bFirst = false) {
        const std::size_t end = location.find_first_of(u":\\/", start);
        const WStringView component = location.substr(start, end - start);
        // The leading separator joins the location to the drive; any later empty component
        // would start the path again from a root.
        if ((component.empty() && !bFirst && end != WStringView::npos) || IsDotsOnly(component)) {
            return true;
        }
        if (end == WStringView::npos) {
            return false;
        }
        start = end + 1;
    }
}

WString RunKey(WStringView path) {
    WString key;
    key.reserve(path.size());
    for (WChar ch : path) {
        if (ch == u'/' || ch == u'\\') {
            // "Song." and "Song" are one file on Windows: it drops a name's trailing dots and
            // spaces, so they must not count in the key either.
            DropTrailingDotsAndSpaces(key);
            key.push_back(u'\\');
        } else {
            key.push_back(ch);
        }
    }
    DropTrailingDotsAndSpaces(key);
    return platform::Platform().FoldCase(key);
}

void MakeStorable(WString& title, WString& suffix, platform::ENameRules rules) {
    if (rules == platform::ENameRules::kWindows) {
        const bool bUntitled = title.empty();
        STrackTags tags;
        tags.strTitle = title;
        // In brackets, an empty title gives no "Unknown Title": the default naming has none.
        SNameParts parts = ExpandTemplate(u"[{title}]", tags, suffix);
        title = bUntitled && !parts.strSuffix.empty() ? WString() : std::move(parts.strTitle);
        suffix = std::move(parts.strSuffix);
        return;
    }
    for (WString* pPart : {&title, &suffix}) {
        for (WChar& ch : *pPart) {
            if (ch == u'/' || ch == u'\\' || ch == 0) {
                ch = u'_';
            }
        }
    }
    const auto dotsAndSpaces = [](const WString& part) {
        return part.find_first_not_of(u". ") == WString::npos;
    };
    if (dotsAndSpaces(title) && dotsAndSpaces(suffix)) {
        title.assign(1, u'_');
        suffix.clear();
    }
}

WString NumberedName(WStringView title, WStringView suffix, unsigned number) {
    WString name(title);
    name += u" (";
    name += WideFromAscii(std::to_string(number));
    name += u')';
    name += suffix;
    return name;
}

}  // namespace exportname
