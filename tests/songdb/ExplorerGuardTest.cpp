// The Explorer "Hidden" guard: shown while the program runs, put back at teardown, and never
// written from a value that could not be read.
#include <gtest/gtest.h>

#include "FakePlatform.h"
#include "songdb/MemorySongTable.h"
#include "songdb/SongDatabase.h"

namespace {

struct SGuardCase {
    const char* name;
    std::uint32_t dwHidden;
    bool bFailOpenKey;
    bool bFailQuery;
    bool bFailSet;
    std::vector<std::uint32_t> writesAtConstruction;
    std::vector<std::uint32_t> writesInAll;
    int nLastError;
};

std::vector<std::uint32_t> Values(const std::vector<fake::SHiddenWrite>& writes) {
    std::vector<std::uint32_t> values;
    for (const fake::SHiddenWrite& write : writes) {
        values.push_back(write.dwValue);
        EXPECT_EQ(write.dwSize, 4u);
    }
    return values;
}

class ExplorerGuard : public testing::TestWithParam<SGuardCase> {};

TEST_P(ExplorerGuard, ShowsHiddenFilesAndPutsTheValueBack) {
    const SGuardCase& row = GetParam();
    fake::CFakePlatform os;
    os.dwHidden = row.dwHidden;
    os.bFailOpenKey = row.bFailOpenKey;
    os.bFailQuery = row.bFailQuery;
    os.bFailSet = row.bFailSet;
    CMemorySongTable table;
    {
        CSongDatabase db(table);
        EXPECT_EQ(Values(os.hiddenWrites), row.writesAtConstruction);
        EXPECT_EQ(db.GetLastError(), row.nLastError);
        EXPECT_EQ(db.GetExplorerSetting().bSaved, !row.bFailOpenKey && !row.bFailQuery);
    }
    EXPECT_EQ(Values(os.hiddenWrites), row.writesInAll);
    EXPECT_EQ(os.nKeysOpen, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExplorerGuard,
    testing::Values(SGuardCase{"HiddenTwo", 2, false, false, false, {1}, {1, 2}, 0},
                    SGuardCase{"HiddenOne", 1, false, false, false, {}, {1}, 0},
                    SGuardCase{"HiddenZero", 0, false, false, false, {}, {0}, 0},
                    SGuardCase{"HiddenOther", 7, false, false, false, {}, {7}, 0},
                    SGuardCase{"OpenFails", 2, true, false, false, {}, {}, -1},
                    SGuardCase{"QueryFails", 2, false, true, false, {}, {}, -1},
                    SGuardCase{"SetFails", 2, false, false, true, {}, {}, -1}),
    [](const testing::TestParamInfo<SGuardCase>& param) { return param.param.name; });

TEST(ExplorerGuard, SavedSettingIsWrittenBackByItsOwnKey) {
    fake::CFakePlatform os;
    os.dwHidden = 2;
    CMemorySongTable table;
    CSongDatabase db(table);
    const SExplorerSetting setting = db.GetExplorerSetting();
    EXPECT_TRUE(setting.bSaved);
    EXPECT_EQ(setting.dwValue, 2u);
    EXPECT_TRUE(WriteBackExplorerSetting(setting));
    EXPECT_EQ(os.dwHidden, 2u);
    EXPECT_EQ(os.nKeysOpen, 1);  // only the database's own key stays open

    os.bFailOpenKey = true;
    EXPECT_FALSE(WriteBackExplorerSetting(setting));
    const std::size_t writes = os.hiddenWrites.size();
    EXPECT_TRUE(WriteBackExplorerSetting(SExplorerSetting{}));  // nothing saved: nothing to do
    EXPECT_EQ(os.hiddenWrites.size(), writes);
}

}  // namespace
