// kestrum-cli's argument parsing: which command lines are accepted and what they ask for.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/CommandLine.h"

namespace {

using cli::ECommand;
using cli::ESelection;

struct SParseCase {
    std::vector<std::string> args;
    bool bAccepted;
    ECommand eCommand;
    ESelection eSelection;
};

class CommandLineParse : public testing::TestWithParam<SParseCase> {};

TEST_P(CommandLineParse, AcceptsOnlyWellFormedCommands) {
    const SParseCase& c = GetParam();
    cli::SCliOptions options;
    std::string error;
    const bool bAccepted = cli::ParseCommandLine(c.args, options, error);
    std::string joined;
    for (const std::string& arg : c.args) {
        joined += "[" + arg + "]";
    }
    ASSERT_EQ(bAccepted, c.bAccepted) << joined << " " << error;
    if (bAccepted) {
        EXPECT_EQ(options.eCommand, c.eCommand) << joined;
        EXPECT_EQ(options.eSelection, c.eSelection) << joined;
    } else {
        EXPECT_FALSE(error.empty()) << joined;
    }
}

const SParseCase kParseCases[] = {
    {{"list"}, true, ECommand::kList, ESelection::kNone},
    {{"list", "--drive", "e"}, true, ECommand::kList, ESelection::kNone},
    {{"list", "--drive=E:"}, true, ECommand::kList, ESelection::kNone},
    {{"--root", "/tmp/p", "list"}, true, ECommand::kList, ESelection::kNone},
    {{"search", "the"}, true, ECommand::kSearch, ESelection::kNone},
    {{"search", "the", "--field", "album"}, true, ECommand::kSearch, ESelection::kNone},
    {{"search", "--", "-x-"}, true, ECommand::kSearch, ESelection::kNone},
    {{"extract", "--to", "out", "--all"}, true, ECommand::kExtract, ESelection::kAll},
    {{"extract", "--rows", "0,3,7-9", "--to=out"}, true, ECommand::kExtract, ESelection::kRows},
    {{"extract", "--to", "o", "--match", "abc", "--field", "artist"},
     true,
     ECommand::kExtract,
     ESelection::kMatch},
    {{"list", "--help"}, true, ECommand::kHelp, ESelection::kNone},
    {{"--help"}, true, ECommand::kHelp, ESelection::kNone},
    {{}, false, ECommand::kNone, ESelection::kNone},
    {{"play"}, false, ECommand::kNone, ESelection::kNone},
    {{"list", "extra"}, false, ECommand::kNone, ESelection::kNone},
    {{"list", "--field", "title"}, false, ECommand::kNone, ESelection::kNone},
    {{"list", "--drive"}, false, ECommand::kNone, ESelection::kNone},
    {{"list", "--drive", "EE"}, false, ECommand::kNone, ESelection::kNone},
    {{"list", "--drive", "7"}, false, ECommand::kNone, ESelection::kNone},
    {{"list", "--drive", "E", "--root", "/p"}, false, ECommand::kNone, ESelection::kNone},
    {{"list", "--verbose"}, false, ECommand::kNone, ESelection::kNone},
    {{"search"}, false, ECommand::kNone, ESelection::kNone},
    {{"search", "a", "b"}, false, ECommand::kNone, ESelection::kNone},
    {{"search", "abc", "--field", "genre"}, false, ECommand::kNone, ESelection::kNone},
    {{"extract", "--all"}, false, ECommand::kNone, ESelection::kNone},
    {{"extract", "--to", "o"}, false, ECommand::kNone, ESelection::kNone},
    {{"extract", "--to", "o", "--all", "--rows", "1"}, false, ECommand::kNone, ESelection::kNone},
    {{"extract", "--to", "o", "--all", "--field", "title"},
     false,
     ECommand::kNone,
     ESelection::kNone},
    {{"extract", "--to", "o", "--all=yes"}, false, ECommand::kNone, ESelection::kNone},
    {{"extract", "--to", "o", "--rows", "3-1"}, false, ECommand::kNone, ESelection::kNone},
    {{"playlists"}, true, ECommand::kPlaylists, ESelection::kNone},
    {{"playlists", "x"}, false, ECommand::kNone, ESelection::kNone},
    {{"playlists", "--name", "library"}, false, ECommand::kNone, ESelection::kNone},
    {{"list", "--name", "library", "--safe-names"}, true, ECommand::kList, ESelection::kNone},
    {{"extract", "--to", "o", "--playlist", "Road", "--name={artist}/{title}"},
     true,
     ECommand::kExtract,
     ESelection::kPlaylist},
    {{"extract", "--to", "o", "--playlist", "1", "--all"},
     false,
     ECommand::kNone,
     ESelection::kNone},
    {{"list", "--name", "tree"}, false, ECommand::kNone, ESelection::kNone},
    {{"list", "--name", "{artist}/{nope}"}, false, ECommand::kNone, ESelection::kNone},
    {{"list", "--safe-names=yes"}, false, ECommand::kNone, ESelection::kNone},
    {{"list", "--format", "csv", "--fields", "title,plays"},
     true,
     ECommand::kList,
     ESelection::kNone},
    {{"search", "abc", "--format=json"}, true, ECommand::kSearch, ESelection::kNone},
    {{"list", "--format", "xml"}, false, ECommand::kNone, ESelection::kNone},
    {{"list", "--fields", "all"}, false, ECommand::kNone, ESelection::kNone},
    {{"list", "--format", "csv", "--fields", "title,stars"},
     false,
     ECommand::kNone,
     ESelection::kNone},
    {{"extract", "--to", "o", "--all", "--format", "csv"},
     false,
     ECommand::kNone,
     ESelection::kNone},
    {{"playlists", "--format", "json"}, false, ECommand::kNone, ESelection::kNone},
};

INSTANTIATE_TEST_SUITE_P(Cases, CommandLineParse, testing::ValuesIn(kParseCases));

TEST(CommandLine, KeepsDriveRootFieldAndFolder) {
    cli::SCliOptions options;
    std::string error;
    ASSERT_TRUE(cli::ParseCommandLine(
        {"extract", "--drive", "g:", "--to", "/out dir", "--match", "Café", "--field", "artist"},
        options, error));
    EXPECT_EQ(options.drive, 'G');
    EXPECT_EQ(options.toDir, "/out dir");
    EXPECT_EQ(options.strSearch, "Café");
    EXPECT_EQ(options.nColumn, kColumnArtist);
}

TEST(CommandLine, ReplacesAPresetByItsTemplate) {
    cli::SCliOptions options;
    std::string error;
    ASSERT_TRUE(cli::ParseCommandLine({"list", "--name", "artist-title"}, options, error));
    EXPECT_EQ(options.nameTemplate, "{artist} - {title}");
    EXPECT_FALSE(options.bSafeNames);
    ASSERT_TRUE(cli::ParseCommandLine({"list", "--name", "[{year} ]{title}"}, options, error));
    EXPECT_EQ(options.nameTemplate, "[{year} ]{title}");
}

struct SRowListCase {
    const char* text;
    bool bValid;
    std::vector<int> rows;  // expanded against 10 rows
};

TEST(CommandLine, ParsesRowListsAndRangesInRowOrder) {
    const SRowListCase kCases[] = {
        {"0", true, {0}},
        {"0,3,7-9", true, {0, 3, 7, 8, 9}},
        {"9,2,2,1-3", true, {1, 2, 3, 9}},
        {"4-4", true, {4}},
        {"", false, {}},
        {",", false, {}},
        {"1,", false, {}},
        {"-1", false, {}},
        {"1-", false, {}},
        {"5-2", false, {}},
        {"1 ,2", false, {}},
        {"x", false, {}},
        {"99999999999", false, {}},
        {"1-2-3", false, {}},
    };
    for (const SRowListCase& c : kCases) {
        std::vector<cli::SRowRange> ranges;
        ASSERT_EQ(cli::ParseRowList(c.text, ranges), c.bValid) << c.text;
        if (c.bValid) {
            std::vector<int> rows;
            unsigned long outOfRange = 0;
            ASSERT_TRUE(cli::ExpandRowList(ranges, 10, rows, outOfRange)) << c.text;
            EXPECT_EQ(rows, c.rows) << c.text;
        }
    }
}

TEST(CommandLine, RowsPastTheTableAreNamed) {
    std::vector<cli::SRowRange> ranges;
    ASSERT_TRUE(cli::ParseRowList("1,8-12", ranges));
    std::vector<int> rows;
    unsigned long outOfRange = 0;
    EXPECT_FALSE(cli::ExpandRowList(ranges, 10, rows, outOfRange));
    EXPECT_EQ(outOfRange, 12u);
    EXPECT_TRUE(rows.empty());
    EXPECT_TRUE(cli::ExpandRowList(ranges, 13, rows, outOfRange));
}

}  // namespace
