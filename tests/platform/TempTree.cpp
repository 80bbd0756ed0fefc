// Scratch folders for the file-system tests.
#include "TempTree.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

CTempTree::CTempTree() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kestrum-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a scratch folder");
    }
    m_root = pattern;
}

CTempTree::~CTempTree() {
    // Tests take write permission away from folders; give it back so everything goes.
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(m_root, error);
         it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error)) {
            chmod(it->path().c_str(), 0700);
        }
    }
    chmod(m_root.c_str(), 0700);
    std::filesystem::remove_all(m_root, error);
}

void CTempTree::Write(const std::string& relative, const std::string& content) const {
    const std::filesystem::path path = Path(relative);
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

void CTempTree::MakeFolder(const std::string& relative) const {
    std::filesystem::create_directories(Path(relative));
}

std::vector<std::string> CTempTree::Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(m_root)) {
        names.push_back(std::filesystem::relative(entry.path(), m_root).string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

WString Wide(const std::string& utf8) { return WideFromUtf8(utf8); }
