// Scratch folders and whole-file helpers for the Win32 seam tests, straight on the Windows API.
#include "TempFolder.h"

#include <algorithm>
#include <vector>

#include "platform/win32/WinApi.h"

namespace test {
namespace {

const wchar_t* Api(const WString& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

WString FromApi(const wchar_t* text) { return WString(reinterpret_cast<const WChar*>(text)); }

std::vector<WString> Entries(const WString& folder) {
    std::vector<WString> names;
    WIN32_FIND_DATAW found{};
    const HANDLE hFind = ::FindFirstFileW(Api(folder + u"\\*"), &found);
    if (hFind == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        const WString name = FromApi(found.cFileName);
        if (name != u"." && name != u"..") {
            names.push_back(name);
        }
    } while (::FindNextFileW(hFind, &found) != FALSE);
    ::FindClose(hFind);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

CTempFolder::CTempFolder(const WString& base) {
    WString root = base;
    if (root.empty()) {
        wchar_t temp[MAX_PATH + 1] = {};
        ::GetTempPathW(MAX_PATH + 1, temp);
        root = FromApi(temp);
    }
    if (!root.empty() && root.back() == u'\\') {
        root.pop_back();
    }
    static unsigned s_nCounter = 0;
    for (;;) {
        m_strPath = root + u"\\kestrum-test-" +
                    WideFromAscii(std::to_string(::GetCurrentProcessId())) + u"-" +
                    WideFromAscii(std::to_string(++s_nCounter));
        if (::CreateDirectoryW(Api(m_strPath), nullptr) != FALSE ||
            ::GetLastError() != ERROR_ALREADY_EXISTS) {
            break;
        }
    }
}

CTempFolder::~CTempFolder() { RemoveTree(m_strPath); }

bool WriteWholeFile(const WString& path, const std::string& content) {
    const HANDLE hFile = ::CreateFileW(Api(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool bWritten = ::WriteFile(hFile, content.data(), static_cast<DWORD>(content.size()),
                                      &written, nullptr) != FALSE &&
                          written == content.size();
    ::CloseHandle(hFile);
    return bWritten;
}

bool ReadWholeFile(const WString& path, std::string& content) {
    const HANDLE hFile = ::CreateFileW(Api(path), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) {
        return false;
    }
    content.clear();
    char buffer[4096];
    DWORD count = 0;
    bool bRead = true;
    while ((bRead = ::ReadFile(hFile, buffer, sizeof buffer, &count, nullptr) != FALSE) &&
           count > 0) {
        content.append(buffer, count);
    }
    ::CloseHandle(hFile);
    return bRead;
}

bool MakeFolder(const WString& path) { return ::CreateDirectoryW(Api(path), nullptr) != FALSE; }

bool RemoveTree(const WString& path) {
    const DWORD attributes = ::GetFileAttributesW(Api(path));
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        ::SetFileAttributesW(Api(path), FILE_ATTRIBUTE_NORMAL);
        return ::DeleteFileW(Api(path)) != FALSE;
    }
    for (const WString& name : Entries(path)) {
        RemoveTree(path + u"\\" + name);
    }
    return ::RemoveDirectoryW(Api(path)) != FALSE;
}

std::string ListFolder(const WString& folder) {
    std::string list;
    for (const WString& name : Entries(folder)) {
        if (!list.empty()) {
            list += ' ';
        }
        list += Utf8FromWide(name);
    }
    return list;
}

}  // namespace test
