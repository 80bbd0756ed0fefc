// A track's history and other header numbers: read only where the header holds them, checked by
// hand against the real samples, and merged with the player's Play Counts file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "SongDbTestSupport.h"
#include "songdb/ItunesDbRecords.h"
#include "songdb/PlayCounts.h"

namespace {

using dbwriter::SPlayCountEntry;
using dbwriter::STrackEntry;
using playcounts::EState;
using songdbtest::CLoadedPlayer;
using songdbtest::Track;
using trackrecord::ENumber;

const WString kPlayCountsPath = u"E:\\iPod_Control\\iTunes\\Play Counts";

// A track with a distinct value in every number the header can hold (the rating in its byte).
STrackEntry NumberedTrack(std::uint32_t dwHeaderLength) {
    STrackEntry track = Track(u"Song");
    track.dwHeaderLength = dwHeaderLength;
    for (std::size_t offset = 0x20; offset + 4 <= 0xA4; offset += 4) {
        track.headerFields.push_back({offset, static_cast<std::uint32_t>(0x1000 + offset), 4});
    }
    track.headerFields.push_back({itunesdb::kOffRating, 80, 1});
    track.headerFields.push_back({itunesdb::kOffSampleRate, 44100u << 16, 4});
    return track;
}

TEST(TrackHistory, NumbersPastTheHeaderAreAbsentNeverRead) {
    struct SCase {
        std::uint32_t dwHeaderLength;
        ENumber eLastHeld;  // the last number (in header order) the header still holds
    };
    // 0x9C, 0xA0: the lengths of older players' headers, which end right before and after the
    // skip count. A header claiming more than the record has is cut at the record's end.
    const SCase cases[] = {
        {0x28, ENumber::kSize},  {0x5C, ENumber::kLastPlayed},  {0x9C, ENumber::kAdded},
        {0xA0, ENumber::kSkips}, {0xA4, ENumber::kLastSkipped},
    };
    for (const SCase& test : cases) {
        SCOPED_TRACE(test.dwHeaderLength);
        CLoadedPlayer player(songdbtest::Database({NumberedTrack(test.dwHeaderLength)}));
        ASSERT_TRUE(player.bLoaded);
        trackrecord::STrackFields fields;
        ASSERT_TRUE(player.db->GetTrackFields(0, fields));
        for (std::size_t i = 0; i < trackrecord::kNumberCount; ++i) {
            EXPECT_EQ(fields.numbers[i].has_value(), i <= static_cast<std::size_t>(test.eLastHeld))
                << "number " << i;
        }
        EXPECT_EQ(fields[ENumber::kRating], 80u);
        if (test.dwHeaderLength >= 0x40) {
            EXPECT_EQ(fields[ENumber::kSampleRate], 44100u);
        }
    }
    // The rating is one byte at 0x1F: a header of 0x1F bytes lacks it, one of 0x20 has it.
    for (const std::uint32_t dwHeaderLength : {0x1Fu, 0x20u}) {
        dbwriter::SDatabaseLayout layout;
        std::vector<std::uint8_t> image =
            songdbtest::Database({NumberedTrack(0x184), Track(u"Next")}, &layout);
        dbwriter::PutU32(image, layout.tracks[0] + 4, dwHeaderLength);
        CLoadedPlayer player(image);
        trackrecord::STrackFields fields;
        ASSERT_TRUE(player.db->GetTrackFields(0, fields));
        EXPECT_EQ(fields[ENumber::kRating].has_value(), dwHeaderLength == 0x20);
        EXPECT_FALSE(fields[ENumber::kModified].has_value());
    }
}

TEST(TrackHistory, SamplesHoldTheValuesCheckedByHand) {
    // Read off the samples' bytes with a hex viewer, track by track.
    struct SCase {
        const char* file;
        int row;
        ENumber eNumber;
        std::optional<std::uint32_t> expected;
    };
    const SCase cases[] = {
        // The first track of the oldest catalogue: a header of 0xA0 bytes, so a skip count and
        // no last skip.
        {"itunes-v0c-5375tracks", 0, ENumber::kSize, 3389239},
        {"itunes-v0c-5375tracks", 0, ENumber::kLength, 212427},
        {"itunes-v0c-5375tracks", 0, ENumber::kTrack, 13},
        {"itunes-v0c-5375tracks", 0, ENumber::kModified, 3223727630},
        {"itunes-v0c-5375tracks", 0, ENumber::kSkips, 0},
        {"itunes-v0c-5375tracks", 0, ENumber::kLastSkipped, std::nullopt},
        {"itunes-v2a-123tracks", 0, ENumber::kYear, 1978},
        {"itunes-v2a-123tracks", 0, ENumber::kSampleRate, 44100},
        {"itunes-v2a-123tracks", 55, ENumber::kRating, 100},
        {"itunes-v2a-123tracks", 55, ENumber::kBitRate, 216},
        {"itunes-v6b-1172tracks", 20, ENumber::kSkips, 1},
        {"itunes-v6b-1172tracks", 20, ENumber::kLastSkipped, 3530503864},
        {"itunes-v6b-1172tracks", 20, ENumber::kLastPlayed, 3489058020},
        {"itunes-v6b-1172tracks", 54, ENumber::kPlays, 5},
        {"itunes-v6b-1172tracks", 54, ENumber::kLastPlayed, 3530505085},
        {"itunes-v6b-1172tracks", 54, ENumber::kAdded, 3489403834},
    };
    for (const SCase& test : cases) {
        const std::filesystem::path sample =
            std::filesystem::path(KESTRUM_SAMPLES_DIR) / (std::string(test.file) + ".iTunesDB");
        std::ifstream in(sample, std::ios::binary);
        if (!in) {
            GTEST_SKIP() << "no sample " << sample;
        }
        SCOPED_TRACE(std::string(test.file) + " row " + std::to_string(test.row));
        CLoadedPlayer player(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {}));
        trackrecord::STrackFields fields;
        ASSERT_TRUE(player.db->GetTrackFields(test.row, fields));
        EXPECT_EQ(fields[test.eNumber], test.expected);
    }
}

TEST(TrackHistory, PlayCountsAddUpOnlyWhenTheFileFitsTheCatalogue) {
    constexpr std::uint32_t kEarlier = 3500000000;
    constexpr std::uint32_t kLater = 3600000000;
    STrackEntry played = Track(u"Played");
    played.headerFields = {{itunesdb::kOffPlayCount, 10, 4},
                           {itunesdb::kOffLastPlayed, kLater, 4},
                           {itunesdb::kOffSkipCount, 2, 4},
                           {itunesdb::kOffLastSkipped, kEarlier, 4},
                           {itunesdb::kOffRating, 60, 1}};
    STrackEntry oldHeader = Track(u"Old");  // no room for skips
    oldHeader.dwHeaderLength = 0x9C;
    const SPlayCountEntry forPlayed{3, kEarlier, 0, 0, 0, 4, kLater};
    const SPlayCountEntry forOld{1, kLater, 0, 100, 0, 5, kEarlier};

    struct SCase {
        const char* name;
        std::optional<std::vector<std::uint8_t>> file;
        EState eState;
        // plays, rating, skips and last skipped of the two tracks after the merge
        std::vector<std::optional<std::uint32_t>> expected;
    };
    const std::vector<std::optional<std::uint32_t>> unmerged = {10, 60, 2, kEarlier, 0, 0, {}, {}};
    std::vector<std::uint8_t> cut = dbwriter::WritePlayCounts({forPlayed, forOld});
    cut.pop_back();
    std::vector<std::uint8_t> badTag = dbwriter::WritePlayCounts({forPlayed, forOld});
    badTag[3] = 'x';
    const SCase cases[] = {
        {"missing", std::nullopt, EState::kMissing, unmerged},
        {"full entries",
         dbwriter::WritePlayCounts({forPlayed, forOld}),
         EState::kMerged,
         // A rating of 0 in the file keeps the catalogue's; skips counted on the player count
         // even where the catalogue has no room for them; the later time wins.
         {13, 60, 6, kLater, 1, 100, 5, kEarlier}},
        {"short entries",
         dbwriter::WritePlayCounts({forPlayed, forOld}, 12),
         EState::kMerged,
         {13, 60, 2, kEarlier, 1, 0, {}, {}}},
        {"entries up to the rating",
         dbwriter::WritePlayCounts({forPlayed, forOld}, 16),
         EState::kMerged,
         {13, 60, 2, kEarlier, 1, 100, {}, {}}},
        {"stale: one entry fewer", dbwriter::WritePlayCounts({forPlayed}), EState::kStale,
         unmerged},
        {"stale: one entry more", dbwriter::WritePlayCounts({forPlayed, forOld, forOld}),
         EState::kStale, unmerged},
        {"cut short", cut, EState::kMalformed, unmerged},
        {"entries shorter than a bookmark", dbwriter::WritePlayCounts({forPlayed, forOld}, 8),
         EState::kMalformed, unmerged},
        {"not a Play Counts file", badTag, EState::kMalformed, unmerged},
        {"empty", std::vector<std::uint8_t>{}, EState::kMalformed, unmerged},
    };
    for (const SCase& test : cases) {
        SCOPED_TRACE(test.name);
        CLoadedPlayer player([&](fake::CFakePlatform& os) {
            os.AddPlayer(u'E', songdbtest::Database({played, oldHeader}));
            if (test.file) {
                os.AddFile(kPlayCountsPath, *test.file);
            }
        });
        EXPECT_EQ(player.db->LoadPlayCounts(), test.eState);
        std::vector<std::optional<std::uint32_t>> merged;
        for (int row = 0; row < 2; ++row) {
            trackrecord::STrackFields fields;
            ASSERT_TRUE(player.db->GetTrackFields(row, fields));
            merged.insert(merged.end(), {fields[ENumber::kPlays].value_or(0),
                                         fields[ENumber::kRating].value_or(0),
                                         fields[ENumber::kSkips], fields[ENumber::kLastSkipped]});
        }
        EXPECT_EQ(merged, test.expected);
    }
}

TEST(TrackHistory, PlayCountsTakeTheLaterPlayAndNeverWrapACount) {
    trackrecord::STrackFields fields;
    fields[ENumber::kPlays] = 0xFFFFFFF0;
    fields[ENumber::kLastPlayed] = 3600000000;
    playcounts::SEntry entry;
    entry.dwPlays = 0x20;
    entry.dwLastPlayed = 3500000000;
    playcounts::Merge(entry, fields);
    EXPECT_EQ(fields[ENumber::kPlays], 0xFFFFFFFFu);
    EXPECT_EQ(fields[ENumber::kLastPlayed], 3600000000u);
    // A play on the player of a track the catalogue never saw played.
    fields[ENumber::kLastPlayed] = 0;
    playcounts::Merge(entry, fields);
    EXPECT_EQ(fields[ENumber::kLastPlayed], 3500000000u);
}

TEST(TrackHistory, SongFileRowsHaveNoHistory) {
    CLoadedPlayer player(songdbtest::Database({NumberedTrack(0x184)}));
    player.os.AddFile(kPlayCountsPath, dbwriter::WritePlayCounts({{7, 3600000000}}));
    player.db->AddFileSongs({u":iPod_Control:Music:F00:LOST.mp3"});
    EXPECT_EQ(player.db->LoadPlayCounts(), EState::kMerged);
    trackrecord::STrackFields fields;
    ASSERT_TRUE(player.db->GetTrackFields(1, fields));
    for (const auto& number : fields.numbers) {
        EXPECT_FALSE(number.has_value());
    }
    ASSERT_TRUE(player.db->GetTrackFields(0, fields));
    EXPECT_EQ(fields[ENumber::kPlays], 0x1000u + 0x50 + 7);
}

}  // namespace
