// A scratch folder for one test, removed with everything in it afterwards.
#pragma once

#include <string>

#include "platform/Text.h"

namespace test {

class CTempFolder {
public:
    // Under base when given, else under the user's temporary folder.
    explicit CTempFolder(const WString& base = WString());
    ~CTempFolder();
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    // The folder, without a trailing backslash.
    const WString& Path() const { return m_strPath; }
    WString operator/(const WString& name) const { return m_strPath + u"\\" + name; }

private:
    WString m_strPath;
};

bool WriteWholeFile(const WString& path, const std::string& content);
// Reads the whole file into content; false when it cannot be opened or read.
bool ReadWholeFile(const WString& path, std::string& content);
bool MakeFolder(const WString& path);
bool RemoveTree(const WString& path);
// Names of the entries in folder, "." and ".." left out, sorted.
std::string ListFolder(const WString& folder);

}  // namespace test
