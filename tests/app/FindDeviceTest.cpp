// Start-up's last line of defence: an exception anywhere in finding and reading the player
// (here: out of memory while the disk is asked for its space) shows "An error occurred", ends
// the dialog, and still puts the user's hidden-files setting back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <vector>

#include "app/KestrumDlg.h"
#include "platform/Platform.h"
#include "tools/ItunesDbWriter.h"
#include "ui/headless/HeadlessBackend.h"

namespace {

namespace fs = std::filesystem;

// The native platform, except for the Explorer setting (held here, starting at "hide") and a
// disk query that can be made to throw.
class CThrowingDiskPlatform : public platform::IPlatform {
public:
    explicit CThrowingDiskPlatform(platform::IPlatform& native) : m_native(native) {}

    bool bThrowOnDiskSpace = true;
    std::uint32_t dwHidden = 2;
    std::vector<std::uint32_t> hiddenWrites;

    platform::FileHandle OpenFileForRead(const WChar* path) override {
        return m_native.OpenFileForRead(path);
    }
    bool GetFileSize(platform::FileHandle file, std::uint64_t& size) override {
        return m_native.GetFileSize(file, size);
    }
    bool ReadFile(platform::FileHandle file, void* buffer, std::uint32_t size,
                  std::uint32_t& bytesRead) override {
        return m_native.ReadFile(file, buffer, size, bytesRead);
    }
    void CloseFile(platform::FileHandle file) override { m_native.CloseFile(file); }
    void* AllocateBlock(std::size_t size) override { return m_native.AllocateBlock(size); }
    void FreeBlock(void* block) override { m_native.FreeBlock(block); }
    bool CopyFileReplacing(const WChar* source, const WChar* target) override {
        return m_native.CopyFileReplacing(source, target);
    }
    bool GetDiskSpace(const WChar* path, std::uint64_t& freeToCaller,
                      std::uint64_t& total) override {
        if (bThrowOnDiskSpace) {
            throw std::bad_alloc();
        }
        freeToCaller = 500ull << 20;
        total = 1024ull << 20;
        return path != nullptr;
    }
    platform::ExplorerKey OpenExplorerKey() override {
        return reinterpret_cast<platform::ExplorerKey>(&dwHidden);
    }
    bool QueryHidden(platform::ExplorerKey, std::uint32_t& value, std::uint32_t& size) override {
        value = dwHidden;
        size = sizeof dwHidden;
        return true;
    }
    bool SetHidden(platform::ExplorerKey, std::uint32_t value, std::uint32_t) override {
        dwHidden = value;
        hiddenWrites.push_back(value);
        return true;
    }
    void CloseExplorerKey(platform::ExplorerKey) override {}
    void MapDrive(WChar letter, const WString& folder) override {
        m_native.MapDrive(letter, folder);
    }
    std::string LastErrorText() override { return m_native.LastErrorText(); }
    platform::ThreadHandle StartThread(std::function<void()>) override { return nullptr; }
    void CloseThread(platform::ThreadHandle) override {}
    void Sleep(std::uint32_t) override {}
    [[noreturn]] void ExitProcess(int code) override { std::exit(code); }

private:
    platform::IPlatform& m_native;
};

void WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

std::vector<WString> MessageTexts(const CHeadlessBackend& ui) {
    std::vector<WString> texts;
    for (const SUiEvent& event : ui.Events()) {
        if (event.kind == EUiEvent::kMessageBox) {
            texts.push_back(event.text);
        }
    }
    return texts;
}

TEST(FindDevice, ExceptionDuringSetUpEndsTheDialogAndRestoresTheSetting) {
    setenv("KESTRUM_DRIVES", "", 1);
    const fs::path player = fs::temp_directory_path() / "kestrum-find-device-player";
    fs::remove_all(player);
    dbwriter::SDatabaseSpec spec;
    dbwriter::STrackSpec track;
    track.title = u"Song";
    track.location = u":iPod_Control:Music:F00:A.mp3";
    spec.tracks.push_back(track);
    WriteFile(player / "iPod_Control" / "Device" / "SysInfo", {});
    WriteFile(player / "iPod_Control" / "iTunes" / "iTunesDB", dbwriter::WriteItunesDb(spec));

    struct SRow {
        bool bThrow;
        std::vector<WString> messages;
        bool bWindowShown;
    };
    for (const SRow& row : {SRow{true, {u"An error occurred"}, false}, SRow{false, {}, true}}) {
        CThrowingDiskPlatform fake(platform::NativePlatform());
        fake.bThrowOnDiskSpace = row.bThrow;
        platform::InstallPlatform(&fake);
        platform::Platform().MapDrive(u'E', WideFromUtf8(player.string()));
        CHeadlessBackend ui;
        SetUiBackend(&ui);
        bool bWindowShown = false;
        ui.SetPump([&] {
            // Only reached when set-up succeeded and the dialog runs: look, then close it.
            bWindowShown = true;
            ui.PressEscape();
            return false;
        });
        INT_PTR nResult = 0;
        {
            CKestrumDlg dlg;
            nResult = dlg.DoModal();
        }
        SetUiBackend(nullptr);
        platform::InstallPlatform(nullptr);

        EXPECT_EQ(MessageTexts(ui), row.messages) << row.bThrow;
        EXPECT_EQ(bWindowShown, row.bWindowShown) << row.bThrow;
        if (row.bThrow) {
            EXPECT_EQ(nResult, 0);
        }
        // Shown while Kestrum ran, the user's "hide" again afterwards, either way.
        EXPECT_EQ(fake.hiddenWrites, (std::vector<std::uint32_t>{1, 2})) << row.bThrow;
    }
    fs::remove_all(player);
}

}  // namespace
