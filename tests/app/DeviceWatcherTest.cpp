// The removal watcher: polls until the file cannot be opened, then tells the user without an
// owner, writes the Explorer setting back and ends the process with code 0.
#include <gtest/gtest.h>

#include <vector>

#include "QtTestRun.h"
#include "app/DeviceWatcher.h"

namespace {

struct SProcessEnded {
    int code;
};

// Opens succeed a given number of times; the process end is thrown so the test sees it.
class CFakePlatform : public platform::IPlatform {
public:
    int nOpensLeft = 0;
    int nOpens = 0;
    std::vector<std::uint32_t> sleeps;
    std::vector<std::uint32_t> hiddenWrites;
    std::vector<std::string> order;

    platform::FileHandle OpenFileForRead(const WChar*) override {
        ++nOpens;
        order.push_back("open");
        return nOpensLeft-- > 0 ? reinterpret_cast<platform::FileHandle>(&nOpens) : nullptr;
    }
    bool GetFileSize(platform::FileHandle, std::uint64_t&) override { return false; }
    bool ReadFile(platform::FileHandle, void*, std::uint32_t, std::uint32_t&) override {
        return false;
    }
    void CloseFile(platform::FileHandle) override { order.push_back("close"); }
    void* AllocateBlock(std::size_t) override { return nullptr; }
    void FreeBlock(void*) override {}
    bool CopyFileNew(const WChar*, const WChar*) override { return false; }
    bool RemoveStaleTemporaries(const WChar*) override { return false; }
    bool CreateFolder(const WChar*) override { return false; }
    bool ReadSettingText(const WChar*, WString&) override { return false; }
    bool WriteSettingText(const WChar*, const WString&) override { return false; }
    bool ReadSettingNumber(const WChar*, std::uint32_t&) override { return false; }
    bool WriteSettingNumber(const WChar*, std::uint32_t) override { return false; }
    bool GetDiskSpace(const WChar*, std::uint64_t&, std::uint64_t&) override { return false; }
    platform::ExplorerKey OpenExplorerKey() override {
        return reinterpret_cast<platform::ExplorerKey>(&nOpens);
    }
    bool QueryHidden(platform::ExplorerKey, std::uint32_t&, std::uint32_t&) override {
        return false;
    }
    bool SetHidden(platform::ExplorerKey, std::uint32_t value, std::uint32_t) override {
        hiddenWrites.push_back(value);
        order.push_back("write-back");
        return true;
    }
    void CloseExplorerKey(platform::ExplorerKey) override {}
    void MapDrive(WChar, const WString&) override {}
    std::string LastErrorText() override { return {}; }
    platform::ThreadHandle StartThread(std::function<void()>) override { return nullptr; }
    void CloseThread(platform::ThreadHandle) override {}
    void Sleep(std::uint32_t milliseconds) override {
        sleeps.push_back(milliseconds);
        order.push_back("sleep");
    }
    [[noreturn]] void ExitProcess(int code) override {
        order.push_back("exit");
        throw SProcessEnded{code};
    }
};

TEST(DeviceWatcher, PollsUntilOpenFailsThenTellsWritesBackAndEnds) {
    for (int nPresent : {0, 1, 3}) {
        qttest::CQtTestRun run;
        CFakePlatform fake;
        fake.nOpensLeft = nPresent;
        platform::InstallPlatform(&fake);

        SWatchTarget target{u"E:\\Ipod_Control\\iTunes\\iTunesDB", SExplorerSetting{true, 2, 4}};
        int nCode = -1;
        try {
            WatchDeviceThread(target);
        } catch (const SProcessEnded& ended) {
            nCode = ended.code;
        }
        platform::InstallPlatform(nullptr);

        EXPECT_EQ(nCode, 0) << nPresent;
        EXPECT_EQ(fake.nOpens, nPresent + 1) << nPresent;
        EXPECT_EQ(fake.sleeps, std::vector<std::uint32_t>(static_cast<std::size_t>(nPresent), 2000))
            << nPresent;
        EXPECT_EQ(fake.hiddenWrites, std::vector<std::uint32_t>{2}) << nPresent;
        ASSERT_GE(fake.order.size(), 2u);
        EXPECT_EQ(fake.order[fake.order.size() - 2], "write-back");
        EXPECT_EQ(fake.order.back(), "exit");

        const std::vector<qttest::SMessageBox>& boxes = run.MessageBoxes();
        ASSERT_EQ(boxes.size(), 1u) << nPresent;
        EXPECT_EQ(boxes[0].text, u"iPod unplugged: now Kestrum will be close");
        EXPECT_EQ(boxes[0].caption, u"Error");
        EXPECT_EQ(boxes[0].nType, MB_ICONEXCLAMATION | MB_OK);
        EXPECT_EQ(boxes[0].hOwner, nullptr);
    }
}

TEST(DeviceWatcher, UnsavedSettingIsNotWrittenBack) {
    qttest::CQtTestRun run;
    CFakePlatform fake;
    platform::InstallPlatform(&fake);
    SWatchTarget target{u"E:\\Ipod_Control\\iTunes\\iTunesDB", SExplorerSetting{}};
    EXPECT_THROW(WatchDeviceThread(target), SProcessEnded);
    platform::InstallPlatform(nullptr);
    EXPECT_TRUE(fake.hiddenWrites.empty());
}

}  // namespace
