// Walks the player's music folders through the platform seam.
#include "songdb/SongFiles.h"

#include <algorithm>
#include <array>
#include <unordered_set>

#include "platform/Platform.h"

namespace songfiles {
namespace {

// Deep enough for any player's layout; a folder that links back to its parent ends here.
constexpr int kMaxDepth = 8;

bool IsSongFile(WStringView name) {
    static constexpr std::array<WStringView, 11> kExtensions = {
        u"mp3", u"m4a", u"m4p", u"m4b", u"m4v", u"mp4", u"aac", u"aif", u"aiff", u"wav", u"aa"};
    const std::size_t dot = name.rfind(u'.');
    if (dot == WStringView::npos) {
        return false;
    }
    const WString extension = platform::Platform().FoldCase(name.substr(dot + 1));
    return std::any_of(kExtensions.begin(), kExtensions.end(), [&](WStringView known) {
        return extension == platform::Platform().FoldCase(known);
    });
}

// Adds the song files of folder (a path on the drive, "E:\iPod_Control\Music") and its
// subfolders, each location starting with location.
void Walk(const WString& folder, const WString& location, int depth, std::vector<WString>& found) {
    std::vector<platform::SFolderEntry> entries;
    if (depth > kMaxDepth || !platform::Platform().ListFolder(folder.c_str(), entries)) {
        return;
    }
    std::sort(entries.begin(), entries.end(),
              [](const platform::SFolderEntry& a, const platform::SFolderEntry& b) {
                  return a.bFolder != b.bFolder ? b.bFolder : a.strName < b.strName;
              });
    for (const platform::SFolderEntry& entry : entries) {
        if (entry.bFolder) {
            Walk(folder + u'\\' + entry.strName, location + u':' + entry.strName, depth + 1, found);
        } else if (IsSongFile(entry.strName)) {
            found.push_back(location + u':' + entry.strName);
        }
    }
}

// A location as the player's file system tells it from others.
WString Key(WStringView location) {
    WString key(location);
    std::replace_if(
        key.begin(), key.end(), [](WChar ch) { return ch == u'\\' || ch == u'/'; }, u':');
    if (!key.empty() && key.front() != u':') {
        key.insert(key.begin(), u':');
    }
    return platform::Platform().FoldCase(key);
}

}  // namespace

std::vector<WString> FindSongFiles(WChar chDrive) {
    std::vector<WString> found;
    Walk(WString(1, chDrive) + u":\\iPod_Control\\Music", u":iPod_Control:Music", 0, found);
    return found;
}

std::vector<WString> LostSongs(const std::vector<WString>& files,
                               const std::vector<WString>& named) {
    std::unordered_set<WString> keys;
    for (const WString& location : named) {
        keys.insert(Key(location));
    }
    std::vector<WString> lost;
    for (const WString& file : files) {
        if (keys.count(Key(file)) == 0) {
            lost.push_back(file);
        }
    }
    return lost;
}

}  // namespace songfiles
