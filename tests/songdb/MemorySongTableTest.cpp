// The in-memory song table keeps its texts packed in shared blocks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "songdb/MemorySongTable.h"

namespace {

// Texts of every size around a block's, in a table filled as the walk fills it, with cells
// replaced and a row inserted in the middle: each cell must read back whole and unchanged.
TEST(MemorySongTable, KeepsEveryTextWholeAcrossBlocks) {
    const std::size_t kLengths[] = {0, 1, 7, 300, 65535, 65536, 65537, 140000, 3, 20000};
    CMemorySongTable table;
    std::vector<std::vector<WString>> expected;
    for (int row = 0; row < 40; ++row) {
        std::vector<WString> cells;
        for (std::size_t column = 0; column < 3; ++column) {
            const std::size_t place = static_cast<std::size_t>(row) + column;
            cells.push_back(WString(kLengths[place % 10], static_cast<WChar>(u'A' + place % 26)));
        }
        table.InsertItem(row, cells[0].c_str());
        table.SetItemText(row, 1, cells[1].c_str());
        table.SetItemText(row, 2, cells[2].c_str());
        expected.push_back(cells);
    }
    table.SetItemText(5, 1, u"replaced");
    expected[5][1] = u"replaced";
    table.InsertItem(20, u"inserted");
    expected.insert(expected.begin() + 20, {u"inserted", u"", u""});

    ASSERT_EQ(table.GetItemCount(), 41);
    for (int row = 0; row < 41; ++row) {
        for (int column = 0; column < 3; ++column) {
            EXPECT_EQ(WString(table.Cell(row, column)),
                      expected[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)])
                << row << "," << column;
        }
    }
    WChar szBuffer[kMaxPath] = {};
    EXPECT_EQ(table.GetItemText(4, 0, szBuffer, static_cast<int>(kMaxPath)), 259);
    EXPECT_EQ(WString(szBuffer), WString(259, u'E'));
    EXPECT_TRUE(table.Cell(41, 0).empty());
}

}  // namespace
