// The native platform on real files: reading, the copy to a new name, and disk space of a drive.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "TempTree.h"
#include "platform/CopyBatch.h"
#include "platform/CopyProgress.h"
#include "platform/Platform.h"
#include "platform/posix/FileCopy.h"
#include "platform/posix/FolderListings.h"

namespace {

using platform::IPlatform;

// Drive K is the scratch tree in every test here.
class PosixPlatformTest : public testing::Test {
protected:
    void SetUp() override {
        setenv("KESTRUM_DRIVES", "", 1);
        m_platform.MapDrive(u'K', Wide(m_tree.Root().string()));
    }
    void TearDown() override {
        platform::posix::AllowUnnamedCopies(true);
        unsetenv("KESTRUM_DRIVES");
    }

    bool Copy(const char* source, const char* target) {
        return m_platform.CopyFileNew(Wide(source).c_str(), Wide(target).c_str());
    }

    // No copy may leave its temporary file behind, whatever the outcome.
    void ExpectNoTemporaryFiles() {
        for (const std::string& name : m_tree.Names()) {
            EXPECT_EQ(name.find(".kestrum-"), std::string::npos) << name;
        }
    }

    // After copies over out/Song.mp3 ("old") and to newTarget that all failed: the old song
    // is whole, the new name was never made, and no temporary file is left.
    void ExpectFailedCopiesLeftNoTrace(const char* newTarget) {
        EXPECT_EQ(ReadWholeFile(m_tree.Path("out/Song.mp3")), "old");
        EXPECT_FALSE(std::filesystem::exists(m_tree.Path(newTarget)));
        ExpectNoTemporaryFiles();
    }

    IPlatform& m_platform = platform::NativePlatform();
    CTempTree m_tree;
};

TEST_F(PosixPlatformTest, ReadsWholeFileThroughDrivePath) {
    std::string content(300000, 'x');
    content[299999] = 'y';
    m_tree.Write("iPod_Control/iTunes/iTunesDB", content);

    platform::FileHandle file = m_platform.OpenFileForRead(u"K:\\Ipod_Control\\iTunes\\iTunesDB");
    ASSERT_NE(file, nullptr);
    std::uint64_t size = 0;
    ASSERT_TRUE(m_platform.GetFileSize(file, size));
    ASSERT_EQ(size, content.size());
    void* block = m_platform.AllocateBlock(size);
    ASSERT_NE(block, nullptr);
    std::uint32_t bytesRead = 0;
    EXPECT_TRUE(m_platform.ReadFile(file, block, static_cast<std::uint32_t>(size), bytesRead));
    EXPECT_EQ(bytesRead, size);
    EXPECT_EQ(std::string(static_cast<const char*>(block), bytesRead), content);
    m_platform.FreeBlock(block);
    m_platform.CloseFile(file);
}

// A catalogue truncated while its image lives (another program rewriting it, a player pulled):
// the bytes still there read as before, the rest as zeros, and nothing ends the process.
TEST_F(PosixPlatformTest, ImageOfAShrunkFileReadsZerosBeyondItsNewEnd) {
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    std::string content(3 * page + 100, 'x');
    m_tree.Write("db", content);
    platform::FileHandle file = m_platform.OpenFileForRead(u"K:\\db");
    ASSERT_NE(file, nullptr);
    std::unique_ptr<platform::CFileImage> image = m_platform.ReadWholeFile(file, content.size());
    m_platform.CloseFile(file);
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(truncate(m_tree.Path("db").c_str(), static_cast<off_t>(page + 1)), 0);
    const std::span<const std::uint8_t> bytes = image->Bytes();
    std::size_t nonZero = 0;
    for (const std::uint8_t byte : bytes) {
        nonZero += byte != 0 ? 1 : 0;
    }
    // The page that holds the new end is still the file's; every page after it is gone.
    EXPECT_EQ(nonZero, page + 1);
    EXPECT_EQ(bytes[0], 'x');
}

// Names a case-ignoring disk takes for one file fold alike, letter by letter beyond ASCII too;
// nothing else does, and every unit of the name is kept (a NUL, half a pair).
TEST_F(PosixPlatformTest, FoldCaseJoinsWhatWindowsJoinsAndKeepsTheRest) {
    const struct {
        WString a;
        WString b;
        bool bSame;
    } kCases[] = {
        {u"école", u"ÉCOLE", true},
        {u"Ωμέγα", u"ΩΜΈΓΑ", true},
        {u"\U00010428", u"\U00010400", true},  // a letter beyond the first plane
        {u"straße", u"STRASSE", false},        // one letter never becomes two
        {WString(u"a\0b", 3), u"A", false},
        {WString(1, u'\xD801') + u"x", WString(1, u'\xD801') + u"X", true},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(m_platform.FoldCase(c.a) == m_platform.FoldCase(c.b), c.bSame)
            << Utf8FromWide(c.a);
        EXPECT_EQ(m_platform.FoldCase(c.a).size(), c.a.size()) << Utf8FromWide(c.a);
    }
}

// An empty SysInfo must pass the probe, which reads it into a block of its size.
TEST_F(PosixPlatformTest, EmptyFileReadsIntoEmptyBlock) {
    m_tree.Write("iPod_Control/Device/SysInfo", "");
    platform::FileHandle file = m_platform.OpenFileForRead(u"K:\\Ipod_Control\\Device\\SysInfo");
    ASSERT_NE(file, nullptr);
    void* block = m_platform.AllocateBlock(0);
    ASSERT_NE(block, nullptr);
    std::uint32_t bytesRead = 7;
    EXPECT_TRUE(m_platform.ReadFile(file, block, 0, bytesRead));
    EXPECT_EQ(bytesRead, 0u);
    m_platform.FreeBlock(block);
    m_platform.CloseFile(file);
}

// The whole file as one image (mapped), an empty one as an empty image, and never more bytes
// than the file holds: a mapping past its end would fault when read.
TEST_F(PosixPlatformTest, ReadWholeFileGivesExactlyTheFileOrNothing) {
    std::string content(70000, 'm');
    content.back() = 'z';
    m_tree.Write("iPod_Control/iTunes/iTunesCDB", content);
    m_tree.Write("iPod_Control/iTunes/iTunesDB", "");
    struct SCase {
        const char16_t* path;
        std::uint64_t size;
        bool bGiven;
    };
    for (const SCase& c : {SCase{u"K:\\Ipod_Control\\iTunes\\iTunesCDB", 70000, true},
                           SCase{u"K:\\Ipod_Control\\iTunes\\iTunesCDB", 70001, false},
                           SCase{u"K:\\Ipod_Control\\iTunes\\iTunesDB", 0, true},
                           SCase{u"K:\\Ipod_Control\\iTunes\\iTunesDB", 1, false}}) {
        platform::FileHandle file = m_platform.OpenFileForRead(c.path);
        ASSERT_NE(file, nullptr);
        const std::unique_ptr<platform::CFileImage> image = m_platform.ReadWholeFile(file, c.size);
        // The image outlives the handle.
        m_platform.CloseFile(file);
        ASSERT_EQ(image != nullptr, c.bGiven) << c.size;
        if (image != nullptr) {
            const std::span<const std::uint8_t> bytes = image->Bytes();
            EXPECT_EQ(std::string(bytes.begin(), bytes.end()), content.substr(0, c.size));
        }
    }
}

TEST_F(PosixPlatformTest, OpeningFailsForFoldersAndMissingFiles) {
    m_tree.MakeFolder("iPod_Control/iTunes/iTunesDB");
    for (const char16_t* path : {u"K:\\Ipod_Control\\iTunes\\iTunesDB", u"K:", u"K:\\Missing",
                                 u"Q:\\Ipod_Control\\iTunes\\iTunesDB"}) {
        EXPECT_EQ(m_platform.OpenFileForRead(path), nullptr);
        EXPECT_FALSE(m_platform.LastErrorText().empty());
    }
}

// A new name gets the whole copy with the source's time; a taken one, in any case, is refused
// with EEXIST and keeps its file.
TEST_F(PosixPlatformTest, CopyMakesNewFilesOnlyAndKeepsModificationTime) {
    m_tree.Write("player/F01/ABCD.mp3", std::string(3u << 20, 'n') + "new");
    m_tree.Write("out/Song.MP3", "old content that is longer than nothing");
    timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, m_tree.Path("player/F01/ABCD.mp3").c_str(), times, 0), 0);

    EXPECT_TRUE(Copy("K:\\player\\f01\\ABCD.mp3", "K:\\out\\New.MP3"));
    EXPECT_EQ(ReadWholeFile(m_tree.Path("out/New.MP3")), std::string(3u << 20, 'n') + "new");
    struct stat info {};
    ASSERT_EQ(stat(m_tree.Path("out/New.MP3").c_str(), &info), 0);
    EXPECT_EQ(info.st_mtim.tv_sec, 1000000000);
    for (const char* taken : {"K:\\out\\Song.MP3", "K:\\out\\song.mp3"}) {
        errno = 0;
        EXPECT_FALSE(Copy("K:\\player\\f01\\ABCD.mp3", taken)) << taken;
        EXPECT_EQ(m_platform.LastErrorText(), std::strerror(EEXIST)) << taken;
    }
    EXPECT_EQ(ReadWholeFile(m_tree.Path("out/Song.MP3")),
              "old content that is longer than nothing");
    ExpectNoTemporaryFiles();
}

TEST_F(PosixPlatformTest, CopyOfEmptyFileCreatesEmptyTarget) {
    m_tree.Write("player/empty", "");
    m_tree.MakeFolder("out");
    EXPECT_TRUE(Copy("K:\\player\\empty", "K:\\out\\Empty."));
    EXPECT_TRUE(std::filesystem::exists(m_tree.Path("out/Empty.")));
    EXPECT_EQ(ReadWholeFile(m_tree.Path("out/Empty.")), "");
    ExpectNoTemporaryFiles();
}

// A title with a separator addresses a subfolder; the copy never creates one.
TEST_F(PosixPlatformTest, CopyIntoSubfolderOnlyWhenItExists) {
    m_tree.Write("player/a.mp3", "song");
    m_tree.MakeFolder("out/AC");
    EXPECT_TRUE(Copy("K:\\player\\a.mp3", "K:\\out\\AC\\DC.mp3"));
    EXPECT_TRUE(Copy("K:\\player\\a.mp3", "K:\\out\\ac/DC2.mp3"));
    EXPECT_EQ(ReadWholeFile(m_tree.Path("out/AC/DC.mp3")), "song");
    EXPECT_EQ(ReadWholeFile(m_tree.Path("out/AC/DC2.mp3")), "song");

    EXPECT_FALSE(Copy("K:\\player\\a.mp3", "K:\\out\\Either\\Or.mp3"));
    EXPECT_FALSE(std::filesystem::exists(m_tree.Path("out/Either")));
    EXPECT_FALSE(Copy("K:\\player\\a.mp3", "K:\\missing\\x.mp3"));
    EXPECT_FALSE(m_platform.LastErrorText().empty());
    ExpectNoTemporaryFiles();
}

TEST_F(PosixPlatformTest, FailedCopyLeavesExistingTargetAlone) {
    m_tree.Write("player/a.mp3", "new");
    m_tree.Write("player/folder/x", "");
    m_tree.Write("out/Song.mp3", "old");
    m_tree.MakeFolder("out/Folder.mp3");
    struct Row {
        const char* source;
        const char* target;
    };
    for (const Row& row : {
             Row{"K:\\player\\missing.mp3", "K:\\out\\Song.mp3"},  // source missing
             Row{"K:\\player\\folder", "K:\\out\\Song.mp3"},       // source is a folder
             Row{"Q:\\player\\a.mp3", "K:\\out\\Song.mp3"},        // source drive unmapped
             Row{"K:\\player\\a.mp3", "Q:\\out\\Song.mp3"},        // target drive unmapped
             Row{"K:\\player\\a.mp3", "K:\\out\\Folder.mp3"},      // target is a folder
         }) {
        SCOPED_TRACE(std::string(row.source) + " -> " + row.target);
        EXPECT_FALSE(Copy(row.source, row.target));
        EXPECT_FALSE(m_platform.LastErrorText().empty());
    }
    EXPECT_EQ(ReadWholeFile(m_tree.Path("out/Song.mp3")), "old");
    EXPECT_TRUE(std::filesystem::is_directory(m_tree.Path("out/Folder.mp3")));
    ExpectNoTemporaryFiles();
}

// Root writes anywhere while it may override permissions; this gives that up for the rest of
// the process. False where the system does not let it (a sandbox that forbids capset).
bool GiveUpPermissionOverride() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct caps[_LINUX_CAPABILITY_U32S_3]{};
    if (syscall(SYS_capget, &header, caps) != 0) {
        return false;
    }
    for (__user_cap_data_struct& set : caps) {
        set.effective = 0;
    }
    return syscall(SYS_capset, &header, caps) == 0;
}

// A folder the user may not write to, copied into one song at a time and in a batch; as root
// too, in a child process that has given up overriding permissions.
TEST_F(PosixPlatformTest, CopyIntoReadOnlyFolderFails) {
    m_tree.Write("player/a.mp3", "new");
    m_tree.Write("out/Song.mp3", "old");
    ASSERT_EQ(chmod(m_tree.Path("out").c_str(), 0555), 0);
    constexpr int kAllFailed = 0;
    constexpr int kSomeCopied = 1;
    constexpr int kCannotTest = 2;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && !GiveUpPermissionOverride()) {
            std::_Exit(kCannotTest);
        }
        bool bAllFailed = !Copy("K:\\player\\a.mp3", "K:\\out\\Song.mp3") &&
                          !Copy("K:\\player\\a.mp3", "K:\\out\\Other.mp3");
        platform::CCopyBatch batch;
        bAllFailed = bAllFailed && !Copy("K:\\player\\a.mp3", "K:\\out\\Song.mp3") &&
                     batch.StagedCount() == 0;
        std::_Exit(bAllFailed ? kAllFailed : kSomeCopied);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_EQ(chmod(m_tree.Path("out").c_str(), 0755), 0);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == kCannotTest) {
        GTEST_SKIP() << "root cannot give up overriding permissions here";
    }
    EXPECT_EQ(WEXITSTATUS(status), kAllFailed);
    ExpectFailedCopiesLeftNoTrace("out/Other.mp3");
}

// A player pulled out part-way through a copy makes its reads fail.
TEST_F(PosixPlatformTest, SourceFailingMidCopyLeavesNothingBehind) {
    m_tree.Write("player/a.mp3", "new song");
    m_tree.Write("out/Song.mp3", "old");
    const auto halfThenFail = [](int from, int to) {
        char buffer[4];
        if (read(from, buffer, sizeof buffer) != 4 || write(to, buffer, sizeof buffer) != 4) {
            return false;
        }
        errno = EIO;
        return false;
    };
    for (const char* target : {"out/Song.mp3", "out/New.mp3"}) {
        SCOPED_TRACE(target);
        errno = 0;
        EXPECT_FALSE(platform::posix::CopyToNewFile(m_tree.Path("player/a.mp3").string(),
                                                    m_tree.Path(target).string(), halfThenFail));
        EXPECT_EQ(errno, EIO);
    }
    ExpectFailedCopiesLeftNoTrace("out/New.mp3");
}

// A copy stopped through the thread's copy progress (an extraction cancelled) part-way: nothing
// is left behind and an existing target stays as it was.
TEST_F(PosixPlatformTest, CopyStoppedByItsProgressLeavesNothingBehind) {
    m_tree.Write("player/a.mp3", std::string(3u << 20, 'n'));
    m_tree.Write("out/Song.mp3", "old");
    std::uint64_t reported = 0;
    const platform::CCopyProgressScope progress([&](std::uint64_t copied, std::uint64_t total) {
        EXPECT_EQ(total, 3u << 20);
        reported = copied;
        return copied == 0;  // the first report after some bytes stops it
    });
    for (const char* target : {"K:\\out\\Song.mp3", "K:\\out\\New.mp3"}) {
        SCOPED_TRACE(target);
        EXPECT_FALSE(Copy("K:\\player\\a.mp3", target));
        EXPECT_GT(reported, 0u);
    }
    ExpectFailedCopiesLeftNoTrace("out/New.mp3");
}

// The files this process has open.
std::size_t OpenFileCount() {
    const std::filesystem::directory_iterator files("/proc/self/fd");
    return static_cast<std::size_t>(std::distance(begin(files), end(files)));
}

// In a batch, no name is taken before Commit: then all free ones are at once, while a name
// taken already fails and keeps its file; a batch dropped without Commit (a run that ended
// early) leaves the folder as it was. Either way the batch leaves no file open.
TEST_F(PosixPlatformTest, BatchedCopiesTakeTheirNamesOnlyOnCommit) {
    m_tree.Write("player/a.mp3", "new a");
    m_tree.Write("player/b.mp3", "new b");
    m_tree.Write("out/A.mp3", "old a");
    m_tree.MakeFolder("out/Taken.mp3");
    for (const auto& [bUnnamed, bCommit] :
         {std::pair{true, false}, {true, true}, {false, false}, {false, true}}) {
        SCOPED_TRACE(std::string(bUnnamed ? "unnamed, " : "temporary, ") +
                     (bCommit ? "committed" : "dropped"));
        platform::posix::AllowUnnamedCopies(bUnnamed);
        std::filesystem::remove(m_tree.Path("out/B.mp3"));
        const std::size_t nOpenBefore = OpenFileCount();
        {
            platform::CCopyBatch batch;
            EXPECT_TRUE(Copy("K:\\player\\a.mp3", "K:\\out\\A.mp3"));
            EXPECT_TRUE(Copy("K:\\player\\b.mp3", "K:\\out\\B.mp3"));
            // Its name is a folder: the copy itself works, taking the name fails.
            EXPECT_TRUE(Copy("K:\\player\\b.mp3", "K:\\out\\Taken.mp3"));
            EXPECT_FALSE(Copy("K:\\player\\missing.mp3", "K:\\out\\C.mp3"));
            EXPECT_EQ(batch.StagedCount(), 3u);
            EXPECT_EQ(batch.StagedBytes(), 15u);
            EXPECT_EQ(ReadWholeFile(m_tree.Path("out/A.mp3")), "old a");
            EXPECT_FALSE(std::filesystem::exists(m_tree.Path("out/B.mp3")));
            if (bCommit) {
                const std::vector<platform::SStagedCopy> outcome = batch.Commit();
                ASSERT_EQ(outcome.size(), 3u);
                EXPECT_FALSE(outcome[0].bDone);
                EXPECT_EQ(outcome[0].nError, EEXIST);
                EXPECT_TRUE(outcome[1].bDone);
                EXPECT_FALSE(outcome[2].bDone);
                EXPECT_NE(outcome[2].nError, 0);
                EXPECT_EQ(batch.StagedCount(), 0u);
            }
        }
        EXPECT_EQ(ReadWholeFile(m_tree.Path("out/A.mp3")), "old a");
        EXPECT_EQ(std::filesystem::exists(m_tree.Path("out/B.mp3")), bCommit);
        EXPECT_TRUE(std::filesystem::is_directory(m_tree.Path("out/Taken.mp3")));
        ExpectNoTemporaryFiles();
        EXPECT_EQ(OpenFileCount(), nOpenBefore);
    }
}

// Copies into one folder find its names in any case, as on Windows, whether this program made
// them in an earlier batch or another program did; a copy under another case is refused.
TEST_F(PosixPlatformTest, BatchedCopiesRefuseNamesTakenInAnyCase) {
    m_tree.Write("player/a.mp3", "a");
    m_tree.Write("player/b.mp3", "b");
    m_tree.MakeFolder("out");
    const auto copyInBatch = [&](const char* source, const char* target) {
        platform::CCopyBatch batch;
        EXPECT_TRUE(Copy(source, target));
        return batch.Commit().at(0).bDone;
    };
    EXPECT_TRUE(copyInBatch("K:\\player\\a.mp3", "K:\\out\\Song.mp3"));
    EXPECT_FALSE(copyInBatch("K:\\player\\b.mp3", "K:\\out\\SONG.MP3"));
    m_tree.Write("out/Other.mp3", "old");
    // Another program's change moves the folder's time; set it apart from the batches' own.
    const timespec past[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, m_tree.Path("out").c_str(), past, 0), 0);
    EXPECT_FALSE(copyInBatch("K:\\player\\a.mp3", "K:\\out\\other.MP3"));
    EXPECT_EQ(m_tree.Names(), (std::vector<std::string>{"out", "out/Other.mp3", "out/Song.mp3",
                                                        "player", "player/a.mp3", "player/b.mp3"}));
    EXPECT_EQ(ReadWholeFile(m_tree.Path("out/Song.mp3")), "a");
    EXPECT_EQ(ReadWholeFile(m_tree.Path("out/Other.mp3")), "old");
}

// A file another program makes under the target's name after the copy began (between staging
// and commit in a batch, between the copy and its rename alone) is never replaced: the copy
// fails with EEXIST and leaves no temporary file. The same holds for the link-and-unlink step
// used where the file system cannot rename without replacing.
TEST_F(PosixPlatformTest, TargetAppearingDuringCopySurvivesByteForByte) {
    m_tree.Write("player/a.mp3", std::string(70000, 'n'));
    m_tree.MakeFolder("out");
    const std::string mine = "the user's own file\n";
    const std::string target = m_tree.Path("out/Song.mp3").string();
    const auto copyThenAppear = [&](int from, int to) {
        char buffer[4096];
        for (ssize_t got; (got = read(from, buffer, sizeof buffer)) > 0;) {
            if (write(to, buffer, static_cast<std::size_t>(got)) != got) {
                return false;
            }
        }
        m_tree.Write("out/Song.mp3", mine);
        return true;
    };
    enum class EWay { kSingle, kBatched, kLink };
    for (const auto& [bUnnamed, way] : {std::pair{true, EWay::kSingle},
                                        {true, EWay::kBatched},
                                        {false, EWay::kSingle},
                                        {false, EWay::kBatched},
                                        {false, EWay::kLink}}) {
        SCOPED_TRACE(std::string(bUnnamed ? "unnamed " : "temporary ") +
                     std::to_string(static_cast<int>(way)));
        platform::posix::AllowUnnamedCopies(bUnnamed);
        std::filesystem::remove(target);
        int error = 0;
        if (way == EWay::kSingle) {
            EXPECT_FALSE(platform::posix::CopyToNewFile(m_tree.Path("player/a.mp3").string(),
                                                        target, copyThenAppear));
            error = errno;
        } else if (way == EWay::kBatched) {
            platform::CCopyBatch batch;
            ASSERT_TRUE(Copy("K:\\player\\a.mp3", "K:\\out\\Song.mp3"));
            m_tree.Write("out/Song.mp3", mine);
            const std::vector<platform::SStagedCopy> outcome = batch.Commit();
            ASSERT_EQ(outcome.size(), 1u);
            EXPECT_FALSE(outcome[0].bDone);
            error = outcome[0].nError;
        } else {
            m_tree.Write("out/.kestrum-1-1.tmp", "copy");
            m_tree.Write("out/Song.mp3", mine);
            EXPECT_EQ(platform::posix::LinkToNewName(m_tree.Path("out/.kestrum-1-1.tmp").string(),
                                                     target),
                      -1);
            error = errno;
            std::filesystem::remove(m_tree.Path("out/.kestrum-1-1.tmp"));
        }
        EXPECT_EQ(error, EEXIST);
        EXPECT_EQ(ReadWholeFile(target), mine);
        ExpectNoTemporaryFiles();
    }
    // And where the name is free, the link step moves the file.
    std::filesystem::remove(target);
    m_tree.Write("out/.kestrum-1-1.tmp", "copy");
    EXPECT_EQ(platform::posix::LinkToNewName(m_tree.Path("out/.kestrum-1-1.tmp").string(), target),
              0);
    EXPECT_EQ(ReadWholeFile(target), "copy");
    ExpectNoTemporaryFiles();
}

// A run ended hard (a crash, a kill) before its batch's commit leaves no name behind: its
// unnamed copies vanish with it, its temporary files carry no song's name and go at the next
// run's start. Names that were there stay as they were.
TEST_F(PosixPlatformTest, CopiesOfARunEndedBeforeItsCommitTakeNoName) {
    m_tree.Write("player/a.mp3", std::string(70000, 'a'));
    m_tree.Write("out/Old.mp3", "old");
    const std::vector<std::string> before = m_tree.Names();
    for (const bool bUnnamed : {true, false}) {
        SCOPED_TRACE(bUnnamed ? "unnamed" : "temporary");
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            platform::posix::AllowUnnamedCopies(bUnnamed);
            platform::CCopyBatch batch;
            const bool bStaged = Copy("K:\\player\\a.mp3", "K:\\out\\New.mp3") &&
                                 Copy("K:\\player\\a.mp3", "K:\\out\\Old.mp3");
            std::_Exit(bStaged ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        const std::string leftover = "out/.kestrum-" + std::to_string(child) + "-";
        std::vector<std::string> names = m_tree.Names();
        const std::size_t temporaries = static_cast<std::size_t>(
            std::count_if(names.begin(), names.end(),
                          [&](const std::string& name) { return name.starts_with(leftover); }));
        EXPECT_EQ(temporaries, bUnnamed ? 0u : 2u);
        EXPECT_EQ(names.size(), before.size() + temporaries);
        EXPECT_TRUE(m_platform.RemoveStaleTemporaries(u"K:\\out\\"));
        EXPECT_EQ(m_tree.Names(), before);
        EXPECT_EQ(ReadWholeFile(m_tree.Path("out/Old.mp3")), "old");
    }
}

// A batch of many copies in a process that may keep few files open, or that may not link a
// file from its descriptor (no CAP_DAC_READ_SEARCH), still gives every copy its name.
TEST_F(PosixPlatformTest, BatchOfManyCopiesInARestrictedProcessNamesThemAll) {
    constexpr int kCopies = 100;
    constexpr int kCannotTest = 255;
    m_tree.Write("player/a.mp3", "song");
    enum class ERestriction { kFewFiles, kNoPrivilege };
    for (const ERestriction restriction : {ERestriction::kFewFiles, ERestriction::kNoPrivilege}) {
        SCOPED_TRACE(static_cast<int>(restriction));
        std::filesystem::remove_all(m_tree.Path("out"));
        m_tree.MakeFolder("out");
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const rlimit few{32, 32};
            const bool bRestricted = restriction == ERestriction::kFewFiles
                                         ? setrlimit(RLIMIT_NOFILE, &few) == 0
                                         : GiveUpPermissionOverride();
            if (!bRestricted) {
                std::_Exit(kCannotTest);
            }
            int failed = 0;
            platform::CCopyBatch batch;
            for (int i = 0; i < kCopies; ++i) {
                const std::string target = "K:\\out\\" + std::to_string(i) + ".mp3";
                failed += Copy("K:\\player\\a.mp3", target.c_str()) ? 0 : 1;
            }
            for (const platform::SStagedCopy& outcome : batch.Commit()) {
                failed += outcome.bDone ? 0 : 1;
            }
            std::_Exit(std::min(failed, kCannotTest - 1));
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        if (WEXITSTATUS(status) == kCannotTest) {
            continue;
        }
        EXPECT_EQ(WEXITSTATUS(status), 0);
        for (int i = 0; i < kCopies; ++i) {
            EXPECT_EQ(ReadWholeFile(m_tree.Path("out/" + std::to_string(i) + ".mp3")), "song") << i;
        }
        ExpectNoTemporaryFiles();
    }
}

// Only temporary files of ended processes go, named exactly as the copies name them; those of
// live processes (this one, its parent) and every near miss stay.
TEST_F(PosixPlatformTest, RemoveStaleTemporariesTakesOnlyThoseOfEndedProcesses) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::_Exit(0);
    }
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    const std::string dead = std::to_string(child);
    const std::vector<std::string> stale = {".kestrum-" + dead + "-1.tmp",
                                            ".kestrum-" + dead + "-18446744073709551615.tmp"};
    const std::vector<std::string> kept = {
        ".kestrum-notes",
        ".kestrum-" + std::to_string(getpid()) + "-1.tmp",
        ".kestrum-" + std::to_string(getppid()) + "-1.tmp",
        ".kestrum-0" + dead + "-1.tmp",
        ".kestrum-+" + dead + "-1.tmp",
        ".kestrum-" + dead + "-.tmp",
        ".kestrum-" + dead + "-01.tmp",
        ".kestrum-" + dead + "-1x.tmp",
        ".kestrum-" + dead + "-1.tmp.mp3",
        ".kestrum-" + dead + "-18446744073709551616.tmp",
        ".kestrum-" + dead + ".tmp",
        "kestrum-" + dead + "-1.tmp",
        "Song.mp3",
    };
    for (const std::string& name : stale) {
        m_tree.Write("out/" + name, "x");
    }
    for (const std::string& name : kept) {
        m_tree.Write("out/" + name, "x");
    }
    m_tree.MakeFolder("out/.kestrum-" + dead + "-2.tmp");
    ASSERT_EQ(symlink("Song.mp3", m_tree.Path("out/.kestrum-" + dead + "-3.tmp").c_str()), 0);

    EXPECT_TRUE(m_platform.RemoveStaleTemporaries(u"K:\\out\\"));
    for (const std::string& name : stale) {
        EXPECT_FALSE(std::filesystem::exists(m_tree.Path("out/" + name))) << name;
    }
    for (const std::string& name : kept) {
        EXPECT_TRUE(std::filesystem::exists(m_tree.Path("out/" + name))) << name;
    }
    EXPECT_TRUE(std::filesystem::is_directory(m_tree.Path("out/.kestrum-" + dead + "-2.tmp")));
    EXPECT_TRUE(std::filesystem::is_symlink(m_tree.Path("out/.kestrum-" + dead + "-3.tmp")));
    EXPECT_FALSE(m_platform.RemoveStaleTemporaries(u"K:\\missing"));
}

// Pseudo files report no size yet have content; the copy must not come out empty.
TEST_F(PosixPlatformTest, CopyOfFileReportingNoSizeKeepsContent) {
    m_tree.MakeFolder("out");
    ASSERT_TRUE(platform::posix::CopyToNewFile("/proc/self/mountinfo",
                                               m_tree.Path("out/mountinfo").string()));
    EXPECT_FALSE(ReadWholeFile(m_tree.Path("out/mountinfo")).empty());
}

TEST_F(PosixPlatformTest, DiskSpaceOfMappedDrive) {
    std::uint64_t freeToCaller = 0;
    std::uint64_t total = 0;
    ASSERT_TRUE(m_platform.GetDiskSpace(u"K:", freeToCaller, total));
    struct statvfs info {};
    ASSERT_EQ(statvfs(m_tree.Root().c_str(), &info), 0);
    EXPECT_EQ(total, static_cast<std::uint64_t>(info.f_blocks) * info.f_frsize);
    EXPECT_GT(total, 0u);
    EXPECT_LE(freeToCaller, total);

    EXPECT_FALSE(m_platform.GetDiskSpace(u"Q:", freeToCaller, total));
}

}  // namespace
