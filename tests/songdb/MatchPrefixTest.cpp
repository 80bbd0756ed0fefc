// The search comparison: ASCII letters fold to capitals, everything else compares exactly,
// and a pattern longer than what is left of the text never matches.
#include <gtest/gtest.h>

#include "songdb/SongDatabase.h"

namespace {

struct SMatchCase {
    WString pattern;  // already upper-cased, as the search keeps it
    WString text;
    int n;
    bool bMatches;
};

class MatchPrefix : public testing::TestWithParam<SMatchCase> {};

TEST_P(MatchPrefix, ComparesTheFirstCharacters) {
    WString text = GetParam().text;
    EXPECT_EQ(CSongDatabase::MatchPrefix(GetParam().pattern.c_str(), text.data(), GetParam().n),
              GetParam().bMatches);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MatchPrefix,
    testing::Values(SMatchCase{u"THE", u"theory", 3, true}, SMatchCase{u"THE", u"Theory", 3, true},
                    SMatchCase{u"THE", u"THEORY", 3, true}, SMatchCase{u"THE", u"tha", 3, false},
                    SMatchCase{u"THE", u"th", 3, false}, SMatchCase{u"THE", u"", 3, false},
                    SMatchCase{u"ABCD", u"abc", 4, false},
                    SMatchCase{u"CAF\u00C9", u"caf\u00E9", 4, false},
                    SMatchCase{u"CAF\u00C9", u"caf\u00C9", 4, true},
                    SMatchCase{u"CAF\u00E9", u"CAF\u00E9", 4, true},
                    SMatchCase{u"[@`{", u"[@`{", 4, true}, SMatchCase{u"ABC", u"abd", 2, true}));

TEST(UpperCaseAscii, FoldsOnlyAToZ) {
    WString text = u"az AZ @[`{ \u00E9\u00FF\u0101 09";
    UpperCaseAscii(text.data());
    EXPECT_EQ(text, u"AZ AZ @[`{ \u00E9\u00FF\u0101 09");
}

TEST(MatchPrefix, UpperCasesTheWholeText) {
    WString text = u"abc def";
    EXPECT_FALSE(CSongDatabase::MatchPrefix(u"XYZ", text.data(), 3));
    EXPECT_EQ(text, u"ABC DEF");
}

}  // namespace
