// A platform that passes every call on to another one. Wrappers that change a few operations
// (the command-line tool's hands-off Explorer setting, the driver's virtual clock, tests that
// force failures) derive from it and override only those.
#pragma once

#include <cstdlib>
#include <utility>

#include "platform/Platform.h"

namespace platform {

class CForwardingPlatform : public IPlatform {
public:
    explicit CForwardingPlatform(IPlatform& inner) : m_inner(inner) {}

    FileHandle OpenFileForRead(const WChar* path) override { return m_inner.OpenFileForRead(path); }
    bool GetFileSize(FileHandle file, std::uint64_t& size) override {
        return m_inner.GetFileSize(file, size);
    }
    bool ReadFile(FileHandle file, void* buffer, std::uint32_t size,
                  std::uint32_t& bytesRead) override {
        return m_inner.ReadFile(file, buffer, size, bytesRead);
    }
    bool SeekFile(FileHandle file, std::uint64_t offset) override {
        return m_inner.SeekFile(file, offset);
    }
    void CloseFile(FileHandle file) override { m_inner.CloseFile(file); }
    std::unique_ptr<CFileImage> ReadWholeFile(FileHandle file, std::uint64_t size) override {
        return m_inner.ReadWholeFile(file, size);
    }
    void* AllocateBlock(std::size_t size) override { return m_inner.AllocateBlock(size); }
    void FreeBlock(void* block) override { m_inner.FreeBlock(block); }
    bool CopyFileNew(const WChar* source, const WChar* target) override {
        return m_inner.CopyFileNew(source, target);
    }
    bool WriteWholeFile(const WChar* path, std::span<const std::uint8_t> bytes) override {
        return m_inner.WriteWholeFile(path, bytes);
    }
    bool RemoveStaleTemporaries(const WChar* folder) override {
        return m_inner.RemoveStaleTemporaries(folder);
    }
    bool CreateFolder(const WChar* path) override { return m_inner.CreateFolder(path); }
    std::size_t GetMaxPathLength() override { return m_inner.GetMaxPathLength(); }
    ENameRules GetNameRules(const WChar* folder) override { return m_inner.GetNameRules(folder); }
    WString FoldCase(WStringView text) override { return m_inner.FoldCase(text); }
    EPathState QueryPath(const WChar* path) override { return m_inner.QueryPath(path); }
    bool ListFolder(const WChar* folder, std::vector<SFolderEntry>& entries) override {
        return m_inner.ListFolder(folder, entries);
    }
    bool ReadSettingText(const WChar* name, WString& value) override {
        return m_inner.ReadSettingText(name, value);
    }
    bool WriteSettingText(const WChar* name, const WString& value) override {
        return m_inner.WriteSettingText(name, value);
    }
    bool ReadSettingNumber(const WChar* name, std::uint32_t& value) override {
        return m_inner.ReadSettingNumber(name, value);
    }
    bool WriteSettingNumber(const WChar* name, std::uint32_t value) override {
        return m_inner.WriteSettingNumber(name, value);
    }
    bool GetDiskSpace(const WChar* path, std::uint64_t& freeToCaller,
                      std::uint64_t& total) override {
        return m_inner.GetDiskSpace(path, freeToCaller, total);
    }
    ExplorerKey OpenExplorerKey() override { return m_inner.OpenExplorerKey(); }
    bool QueryHidden(ExplorerKey key, std::uint32_t& value, std::uint32_t& size) override {
        return m_inner.QueryHidden(key, value, size);
    }
    bool SetHidden(ExplorerKey key, std::uint32_t value, std::uint32_t size) override {
        return m_inner.SetHidden(key, value, size);
    }
    void CloseExplorerKey(ExplorerKey key) override { m_inner.CloseExplorerKey(key); }
    void MapDrive(WChar letter, const WString& folder) override {
        m_inner.MapDrive(letter, folder);
    }
    std::string LastErrorText() override { return m_inner.LastErrorText(); }
    ThreadHandle StartThread(std::function<void()> routine) override {
        return m_inner.StartThread(std::move(routine));
    }
    void CloseThread(ThreadHandle thread) override { m_inner.CloseThread(thread); }
    void Sleep(std::uint32_t milliseconds) override { m_inner.Sleep(milliseconds); }
    SignalHandle CreateSignal() override { return m_inner.CreateSignal(); }
    void RaiseSignal(SignalHandle signal) override { m_inner.RaiseSignal(signal); }
    void WaitSignal(SignalHandle signal) override { m_inner.WaitSignal(signal); }
    void CloseSignal(SignalHandle signal) override { m_inner.CloseSignal(signal); }
    [[noreturn]] void ExitProcess(int code) override {
        m_inner.ExitProcess(code);
        std::abort();  // not reached; not every compiler sees that through the virtual call
    }

protected:
    IPlatform& Inner() { return m_inner; }

private:
    IPlatform& m_inner;
};

}  // namespace platform
