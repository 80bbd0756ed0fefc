// kestrum-cli's output lines, figures and the dialog's search over a whole table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/SongListing.h"
#include "songdb/MemorySongTable.h"

namespace {

TEST(SongListing, EscapesSeparatorsSoEveryRowIsOneLine) {
    EXPECT_EQ(cli::EscapeField(u"plain"), "plain");
    EXPECT_EQ(cli::EscapeField(u"a\\b\tc\rd\ne"), "a\\\\b\\tc\\rd\\ne");
    EXPECT_EQ(cli::EscapeField(u"Café 夜"), "Café 夜");
    EXPECT_EQ(cli::FormatRowLine(7, u"T\t1", u"", u"Al\\b", u"T\t1.MP3"),
              "7\tT\\t1\t\tAl\\\\b\tT\\t1.MP3\n");
}

// Plain characters go out several at a time: a character to escape, or one beyond ASCII, must be
// seen wherever it falls in a field.
TEST(SongListing, EscapesAndEncodesEveryCharacterWhereverItFalls) {
    const std::vector<WString> characters = {
        u"\x01", u"\t",   u"\n",   u"\r",   u"\x0E",   u" ",      u"[",      u"\\",
        u"]",    u"\x7F", u"\x80", u"\xFF", u"\u0100", u"\u07FF", u"\u0800", u"\U0001F327"};
    for (const WString& character : characters) {
        const std::string expected = character == u"\\"   ? "\\\\"
                                     : character == u"\t" ? "\\t"
                                     : character == u"\n" ? "\\n"
                                     : character == u"\r" ? "\\r"
                                                          : Utf8FromWide(character);
        for (std::size_t before = 0; before <= 9; ++before) {
            const WString field = WString(before, u'a') + character + WString(9 - before, u'b');
            EXPECT_EQ(cli::EscapeField(field),
                      std::string(before, 'a') + expected + std::string(9 - before, 'b'))
                << Utf8FromWide(character) << " after " << before;
        }
    }
}

TEST(SongListing, SummaryTellsCopiedChosenAndFailed) {
    EXPECT_EQ(cli::FormatSummary({123, 116, 2, 537184665}, "/x", 3.21),
              "Extracted 116 of 123 songs (512.3 MB) to /x in 3.2 s; 2 already there; 5 failed");
    EXPECT_EQ(cli::FormatSummary({2, 2, 0, 0}, "/out", 0.0),
              "Extracted 2 of 2 songs (0.0 MB) to /out in 0.0 s");
    EXPECT_EQ(cli::FormatSummary({2, 0, 2, 0}, "/out", 0.0),
              "Extracted 0 of 2 songs (0.0 MB) to /out in 0.0 s; 2 already there");
    EXPECT_EQ(cli::FormatSummary({1, 0, 0, 0}, "/o", 0.04),
              "Extracted 0 of 1 song (0.0 MB) to /o in 0.0 s; 1 failed");
    EXPECT_EQ(cli::FormatMegabytes(1048576), "1.0 MB");
    EXPECT_EQ(cli::FormatMegabytes(52428), "0.0 MB");
    EXPECT_EQ(cli::FormatMegabytes(52429), "0.1 MB");
}

TEST(SongListing, ProgressShowsSongsAndBar) {
    const std::string line = cli::FormatProgress(5, 10, 2097152, 2.0);
    EXPECT_EQ(line.rfind("5/10 songs [", 0), 0u) << line;
    EXPECT_NE(line.find("###############---------------]"), std::string::npos) << line;
    EXPECT_NE(line.find("2.0 MB, 1.0 MB/s"), std::string::npos) << line;
}

struct SSearchCase {
    const char16_t* pattern;
    int column;
    std::vector<int> rows;
};

// Rows: 0 Theory, 1 Mother, 2 Breathe, 3 Élan, 4 élan vital, 5 "th" (too short), 6 a long title
// whose only "needle" lies past the 259 characters the dialog compares.
class SearchTable : public testing::Test {
protected:
    void SetUp() override {
        const char16_t* kRows[][3] = {
            {u"Theory", u"Ann", u"First"},        {u"Mother", u"Bob", u"Second"},
            {u"Breathe", u"ann-marie", u"Third"}, {u"Élan", u"Cé", u"Fourth"},
            {u"élan vital", u"CÉ", u"Fifth"},     {u"th", u"", u""},
        };
        for (const auto& row : kRows) {
            const int n = m_table.InsertItem(m_table.GetItemCount(), row[0]);
            m_table.SetItemText(n, 1, row[1]);
            m_table.SetItemText(n, 2, row[2]);
        }
        const WString longTitle = WString(259, u'x') + u"needle";
        m_table.InsertItem(m_table.GetItemCount(), longTitle.c_str());
    }
    CMemorySongTable m_table;
};

TEST_F(SearchTable, FindsWhatTheDialogFindsInOrder) {
    const SSearchCase kCases[] = {
        {u"the", 0, {0, 1, 2}}, {u"THE", 0, {0, 1, 2}}, {u"tHe", 0, {0, 1, 2}},
        {u"ther", 0, {1}},      {u"Éla", 0, {3}},  // é and É are different letters to the search
        {u"éla", 0, {4}},       {u"ann", 1, {0, 2}},    {u"ird", 2, {2}},
        {u"xxxneedle", 0, {}},  {u"xxx", 0, {6}},       {u"breathe deeply", 0, {}},
        {u"zzz", 0, {}},
    };
    for (const SSearchCase& c : kCases) {
        EXPECT_EQ(cli::FindMatchingRows(m_table, 7, c.pattern, c.column), c.rows)
            << Utf8FromWide(c.pattern);
    }
}

TEST_F(SearchTable, LooksOnlyAtRowsBelowTheTrackCount) {
    EXPECT_EQ(cli::FindMatchingRows(m_table, 2, u"the", 0), (std::vector<int>{0, 1}));
    EXPECT_EQ(cli::FindMatchingRows(m_table, 100, u"the", 0), (std::vector<int>{0, 1, 2}));
}

TEST(SongListing, SearchKeepsTheFirst79Characters) {
    CMemorySongTable table;
    const WString title = WString(79, u'a');
    table.InsertItem(0, title.c_str());
    EXPECT_EQ(cli::SearchPattern(WString(100, u'a') + u"b").size(), 79u);
    EXPECT_EQ(cli::FindMatchingRows(table, 1, cli::SearchPattern(WString(79, u'a') + u"b"), 0),
              std::vector<int>{0});
    EXPECT_EQ(cli::FindMatchingRows(table, 1, WString(80, u'a'), 0), std::vector<int>{0});
}

}  // namespace
