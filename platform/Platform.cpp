// Which platform implementation the program talks to, and the signals every platform shares.
#include "platform/Platform.h"

#include <algorithm>
#include <cstdint>
#include <new>

#include "platform/Signal.h"

namespace platform {
namespace {

IPlatform* g_pReplacement = nullptr;

// A file read into a block of the platform that allocated it, freed by that platform.
class CBlockImage final : public CFileImage {
public:
    CBlockImage(IPlatform& os, void* pBlock, std::size_t size)
        : CFileImage(std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(pBlock), size)),
          m_os(os),
          m_pBlock(pBlock) {}
    ~CBlockImage() override { m_os.FreeBlock(m_pBlock); }
    CBlockImage(const CBlockImage&) = delete;
    CBlockImage& operator=(const CBlockImage&) = delete;

private:
    IPlatform& m_os;
    void* m_pBlock;
};

}  // namespace

bool IPlatform::SeekFile(FileHandle, std::uint64_t) { return false; }

bool IPlatform::WriteWholeFile(const WChar*, std::span<const std::uint8_t>) { return false; }

// Reads in as many reads as the platform needs. A read that fails, or that brings nothing
// before the end (the file shrank), fails the whole read: no byte that did not come from the
// file is ever handed out.
std::unique_ptr<CFileImage> IPlatform::ReadWholeFile(FileHandle file, std::uint64_t size) {
    if (size > SIZE_MAX) {
        return nullptr;
    }
    auto* pBytes = static_cast<std::uint8_t*>(AllocateBlock(static_cast<std::size_t>(size)));
    if (pBytes == nullptr) {
        return nullptr;
    }
    // Owned from here on, so that every way out frees it.
    std::unique_ptr<CBlockImage> image;
    try {
        image = std::make_unique<CBlockImage>(*this, pBytes, static_cast<std::size_t>(size));
    } catch (...) {
        FreeBlock(pBytes);
        throw;
    }
    std::uint64_t done = 0;
    while (done < size) {
        const auto ask =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(size - done, UINT32_MAX));
        std::uint32_t got = 0;
        if (!ReadFile(file, pBytes + done, ask, got) || got == 0 || got > ask) {
            return nullptr;
        }
        done += got;
    }
    return image;
}

ENameRules IPlatform::GetNameRules(const WChar* /*folder*/) { return ENameRules::kWindows; }

WString IPlatform::FoldCase(WStringView text) {
    WString folded(text);
    for (WChar& ch : folded) {
        if (ch >= u'a' && ch <= u'z') {
            ch = static_cast<WChar>(ch - 0x20);
        }
    }
    return folded;
}

EPathState IPlatform::QueryPath(const WChar* path) {
    const FileHandle file = OpenFileForRead(path);
    if (file == nullptr) {
        return EPathState::kAbsent;
    }
    CloseFile(file);
    return EPathState::kFile;
}

bool IPlatform::ListFolder(const WChar* /*folder*/, std::vector<SFolderEntry>& entries) {
    entries.clear();
    return false;
}

IPlatform& Platform() { return g_pReplacement != nullptr ? *g_pReplacement : NativePlatform(); }

void InstallPlatform(IPlatform* replacement) { g_pReplacement = replacement; }

SignalHandle IPlatform::CreateSignal() { return new (std::nothrow) SignalObject; }

void IPlatform::RaiseSignal(SignalHandle signal) {
    // Notified under the lock: a waiter that wakes may close the signal as soon as it has it.
    const std::lock_guard lock(signal->mutex);
    signal->bRaised = true;
    signal->raised.notify_all();
}

void IPlatform::WaitSignal(SignalHandle signal) {
    std::unique_lock lock(signal->mutex);
    signal->raised.wait(lock, [signal] { return signal->bRaised; });
    signal->bRaised = false;
}

void IPlatform::CloseSignal(SignalHandle signal) { delete signal; }

}  // namespace platform
