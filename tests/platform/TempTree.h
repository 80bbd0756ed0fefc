// A scratch folder for file-system tests, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/Text.h"

class CTempTree {
public:
    CTempTree();
    CTempTree(const CTempTree&) = delete;
    CTempTree& operator=(const CTempTree&) = delete;
    ~CTempTree();

    const std::filesystem::path& Root() const { return m_root; }
    std::filesystem::path Path(const std::string& relative) const { return m_root / relative; }

    // Creates the file (and its folders) holding content.
    void Write(const std::string& relative, const std::string& content) const;
    void MakeFolder(const std::string& relative) const;

    // Every name in the tree, relative to the root, sorted.
    std::vector<std::string> Names() const;

private:
    std::filesystem::path m_root;
};

std::string ReadWholeFile(const std::filesystem::path& path);
WString Wide(const std::string& utf8);
