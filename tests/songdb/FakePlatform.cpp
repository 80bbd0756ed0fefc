// The in-memory platform: open files are positions into copies of the stored bytes.
#include "FakePlatform.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace fake {

namespace {
CFakePlatform* g_pInstalled = nullptr;
}  // namespace

CFakePlatform::CFakePlatform() : m_pOuter(g_pInstalled) {
    g_pInstalled = this;
    platform::InstallPlatform(this);
}

CFakePlatform::~CFakePlatform() {
    g_pInstalled = m_pOuter;
    platform::InstallPlatform(m_pOuter);
}

WString CFakePlatform::Key(const WString& path) {
    WString key = path;
    for (WChar& ch : key) {
        if (ch == u'/') {
            ch = u'\\';
        } else if (ch >= u'A' && ch <= u'Z') {
            ch = static_cast<WChar>(ch + 0x20);
        }
    }
    return key;
}

void CFakePlatform::AddFile(const WString& path, std::vector<std::uint8_t> content) {
    m_files[Key(path)] = std::move(content);
}

bool CFakePlatform::HasFile(const WString& path) const { return File(path) != nullptr; }

const std::vector<std::uint8_t>* CFakePlatform::File(const WString& path) const {
    const auto found = m_files.find(Key(path));
    return found == m_files.end() ? nullptr : &found->second;
}

WString CFakePlatform::DatabasePath(WChar letter) {
    return WString(1, letter) + u":\\iPod_Control\\iTunes\\iTunesDB";
}

WString CFakePlatform::CompressedDatabasePath(WChar letter) {
    return WString(1, letter) + u":\\iPod_Control\\iTunes\\iTunesCDB";
}

WString CFakePlatform::SysInfoPath(WChar letter) {
    return WString(1, letter) + u":\\iPod_Control\\Device\\SysInfo";
}

void CFakePlatform::AddPlayer(WChar letter, std::vector<std::uint8_t> database) {
    AddFile(SysInfoPath(letter), {});
    AddFile(DatabasePath(letter), std::move(database));
}

platform::FileHandle CFakePlatform::OpenFileForRead(const WChar* path) {
    const std::vector<std::uint8_t>* content = File(path);
    if (bFailOpen || content == nullptr) {
        return nullptr;
    }
    ++nFilesOpen;
    const std::uintptr_t handle = m_nextHandle++;
    m_open[handle] = SOpenFile{*content, 0};
    return std::bit_cast<FileHandle>(handle);
}

CFakePlatform::SOpenFile& CFakePlatform::Open(FileHandle file) {
    return m_open.at(std::bit_cast<std::uintptr_t>(file));
}

bool CFakePlatform::GetFileSize(FileHandle file, std::uint64_t& size) {
    if (bFailSize) {
        return false;
    }
    size = bReportSize ? reportedSize : Open(file).content.size();
    return true;
}

bool CFakePlatform::ReadFile(FileHandle file, void* buffer, std::uint32_t size,
                             std::uint32_t& bytesRead) {
    bytesRead = 0;
    if (bFailRead) {
        return false;
    }
    SOpenFile* const open = &Open(file);
    // A seek may have left the position past the end.
    std::uint64_t available =
        open->position >= open->content.size() ? 0 : open->content.size() - open->position;
    if (shrinkAfter != 0) {
        available = open->position >= shrinkAfter
                        ? 0
                        : std::min<std::uint64_t>(available, shrinkAfter - open->position);
    }
    std::uint64_t count = std::min<std::uint64_t>(size, available);
    if (dwReadChunk != 0) {
        count = std::min<std::uint64_t>(count, dwReadChunk);
    }
    if (count != 0) {
        std::memcpy(buffer, open->content.data() + open->position, count);
    }
    open->position += count;
    bytesRead = static_cast<std::uint32_t>(count);
    return true;
}

bool CFakePlatform::SeekFile(FileHandle file, std::uint64_t offset) {
    if (bFailSeek) {
        return false;
    }
    Open(file).position = offset;
    return true;
}

void CFakePlatform::CloseFile(FileHandle file) {
    --nFilesOpen;
    m_open.erase(std::bit_cast<std::uintptr_t>(file));
}

void* CFakePlatform::AllocateBlock(std::size_t size) {
    if (bFailAlloc) {
        return nullptr;
    }
    // Filled with a pattern rather than zeros, so content that never came from the file shows.
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block != nullptr) {
        std::memset(block, 0xA5, size);
        ++nBlocksHeld;
    }
    return block;
}

void CFakePlatform::FreeBlock(void* block) {
    --nBlocksHeld;
    std::free(block);
}

bool CFakePlatform::CopyFileNew(const WChar* source, const WChar* target) {
    const std::vector<std::uint8_t>* content = File(source);
    copySources.emplace_back(source);
    // As the real ones: an existing file is never replaced.
    if (bFailCopy || content == nullptr || HasFile(target)) {
        return false;
    }
    std::vector<std::uint8_t> copy = *content;
    AddFile(target, std::move(copy));
    copies.emplace_back(source, target);
    return true;
}

bool CFakePlatform::CreateFolder(const WChar* path) {
    folders.emplace_back(path);
    return !bFailFolder;
}

bool CFakePlatform::GetDiskSpace(const WChar*, std::uint64_t& freeToCaller, std::uint64_t& total) {
    freeToCaller = 0;
    total = 0;
    return false;
}

platform::ExplorerKey CFakePlatform::OpenExplorerKey() {
    if (bFailOpenKey) {
        return nullptr;
    }
    ++nKeysOpen;
    return std::bit_cast<ExplorerKey>(std::uintptr_t{0x4B4559});
}

bool CFakePlatform::QueryHidden(ExplorerKey key, std::uint32_t& value, std::uint32_t& size) {
    if (bFailQuery || key == nullptr || size < 4) {
        return false;
    }
    value = dwHidden;
    size = 4;
    return true;
}

bool CFakePlatform::SetHidden(ExplorerKey key, std::uint32_t value, std::uint32_t size) {
    if (bFailSet || key == nullptr) {
        return false;
    }
    hiddenWrites.push_back({value, size});
    dwHidden = value;
    return true;
}

void CFakePlatform::CloseExplorerKey(ExplorerKey) { --nKeysOpen; }

void CFakePlatform::MapDrive(WChar, const WString&) {}

std::string CFakePlatform::LastErrorText() { return "fake failure"; }

platform::ThreadHandle CFakePlatform::StartThread(std::function<void()>) { return nullptr; }

void CFakePlatform::CloseThread(ThreadHandle) {}

void CFakePlatform::Sleep(std::uint32_t) {}

void CFakePlatform::ExitProcess(int code) { std::exit(code); }

}  // namespace fake
