// The song list's formats: CSV a spreadsheet opens safely, JSON that is always valid UTF-8, and
// times, lengths and ratings as people read them.
#include <gtest/gtest.h>

#include <regex>

#include "SongDbTestSupport.h"
#include "songdb/ItunesDbRecords.h"
#include "songdb/SongList.h"

namespace {

using songlist::EField;

TEST(SongList, CsvQuotesWhatWouldSplitAFieldAndDisarmsFormulas) {
    const std::pair<WString, std::string> cases[] = {
        {u"Plain", "Plain"},
        {u"", ""},
        {u"Salt, Cedar", "\"Salt, Cedar\""},
        {u"The \"Best\"", "\"The \"\"Best\"\"\""},
        {u"two\r\nlines", "\"two\r\nlines\""},
        {u"line\nfeed", "\"line\nfeed\""},
        // A spreadsheet runs a cell starting with = + - or @ as a formula.
        {u"=HYPERLINK(\"x\")", "\"'=HYPERLINK(\"\"x\"\")\""},
        {u"+1", "'+1"},
        {u"-ism", "'-ism"},
        {u"@SUM(A1)", "'@SUM(A1)"},
        {u"a=b", "a=b"},
        {u"Caf\u00e9", "Caf\xC3\xA9"},
        {WString(u"lone \xD800 half"), "lone \xEF\xBF\xBD half"},
    };
    for (const auto& [text, expected] : cases) {
        std::string out;
        songlist::AppendCsvText(out, text);
        EXPECT_EQ(out, expected);
    }
}

TEST(SongList, JsonEscapesControlsAndReplacesLoneSurrogates) {
    const std::pair<WString, std::string> cases[] = {
        {u"Plain", "\"Plain\""},
        {u"quote \" and \\", "\"quote \\\" and \\\\\""},
        {u"tab\tCR\rLF\n", "\"tab\\tCR\\rLF\\n\""},
        {WString(u"nul \0 bell \x07 esc \x1B unit \x1F", 25),
         "\"nul \\u0000 bell \\u0007 esc \\u001b unit \\u001f\""},
        {WString(u"high \xD83D end"), "\"high \xEF\xBF\xBD end\""},
        {WString(u"low \xDE00"), "\"low \xEF\xBF\xBD\""},
        {WString(u"reversed \xDE00\xD83D"), "\"reversed \xEF\xBF\xBD\xEF\xBF\xBD\""},
        {WString(u"pair \xD83D\xDE00"), "\"pair \xF0\x9F\x98\x80\""},
    };
    for (const auto& [text, expected] : cases) {
        std::string out;
        songlist::AppendJsonString(out, text);
        EXPECT_EQ(out, expected);
    }
}

TEST(SongList, TimesLengthsAndRatingsAsPeopleReadThem) {
    // 0 is never; the epoch's first second and the last time a u32 holds.
    EXPECT_EQ(songlist::FormatTime(0), "");
    EXPECT_EQ(songlist::FormatTime(1), "1904-01-01T00:00:01");
    EXPECT_EQ(songlist::FormatTime(2082844799), "1969-12-31T23:59:59");
    const std::regex offset("[+-][01][0-9]:[0-5][0-9]");
    for (const auto& [dwTime, date] :
         {std::pair<std::uint32_t, std::string>{2082844800, "1970-01-01T00:00:00"},
          {3530505085, "2015-11-16T07:51:25"},
          {0xFFFFFFFF, "2040-02-06T06:28:15"}}) {
        const std::string text = songlist::FormatTime(dwTime);
        EXPECT_EQ(text.substr(0, date.size()), date);
        EXPECT_TRUE(std::regex_match(text.substr(date.size()), offset)) << text;
    }
    EXPECT_EQ(songlist::FormatLength(0), "0.000");
    EXPECT_EQ(songlist::FormatLength(238695), "238.695");
    EXPECT_EQ(songlist::FormatLength(1005), "1.005");
    EXPECT_EQ(songlist::FormatStars(0), "0");
    EXPECT_EQ(songlist::FormatStars(100), "5");
    EXPECT_EQ(songlist::FormatStars(50), "2.5");
    EXPECT_EQ(songlist::FormatStars(1), "0.05");
}

TEST(SongList, FieldNamesParseAsAListOrAll) {
    std::vector<EField> fields;
    std::string unknown;
    ASSERT_TRUE(songlist::ParseFields("all", fields, unknown));
    EXPECT_EQ(fields.size(), 26u);
    ASSERT_TRUE(songlist::ParseFields("plays,title,plays", fields, unknown));
    EXPECT_EQ(fields, std::vector<EField>({EField::kPlays, EField::kTitle, EField::kPlays}));
    for (const char* bad : {"", "title,", "Title", "title,,album", "all,title"}) {
        EXPECT_FALSE(songlist::ParseFields(bad, fields, unknown)) << bad;
    }
}

TEST(SongList, CsvAndJsonOfARowWithoutHistory) {
    dbwriter::STrackEntry track = songdbtest::Track(u"A, \"B\"");
    track.dwHeaderLength = 0x9C;  // no skips
    track.headerFields = {{itunesdb::kOffRating, 90, 1}, {itunesdb::kOffPlayCount, 12, 4}};
    track.dwLengthMs = 61500;
    songdbtest::CLoadedPlayer player(songdbtest::Database({track}));
    player.db->AddFileSongs({u":iPod_Control:Music:F01:LOST.mp3"});
    const std::vector<EField> fields = {EField::kRow,    EField::kTitle,   EField::kLength,
                                        EField::kRating, EField::kSkips,   EField::kLastPlayed,
                                        EField::kType,   EField::kLocation};
    EXPECT_EQ(songlist::WriteSongList(songlist::EFormat::kCsv, fields, *player.db, {0, 1}),
              "\xEF\xBB\xBFrow,title,length,rating,skips,lastplayed,type,location\r\n"
              "0,\"A, \"\"B\"\"\",61.500,4.5,,,MP3,iPod_Control/Music/F00/ABCD.mp3\r\n"
              "1,LOST,,,,,mp3,iPod_Control/Music/F01/LOST.mp3\r\n");
    EXPECT_EQ(songlist::WriteSongList(songlist::EFormat::kJson, {EField::kTitle, EField::kSkips},
                                      *player.db, {0, 1}),
              "[\n{\"title\":\"A, \\\"B\\\"\",\"skips\":null},\n"
              "{\"title\":\"LOST\",\"skips\":null}\n]\n");
    EXPECT_EQ(songlist::WriteSongList(songlist::EFormat::kJson, fields, *player.db, {}), "[]\n");
}

}  // namespace
