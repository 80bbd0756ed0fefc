// Replays every input the fuzzer once crashed on: each must load (or be refused), walk and
// name its rows without reading outside the image, and give the rows and names it gave when
// the fault was mended.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "SongDbTestSupport.h"

namespace {

namespace fs = std::filesystem;

struct SExpectedRow {
    WString title, artist, album, name;
};

// What each input walks to: the readable part of a hostile record is kept, the rest is empty.
const std::map<std::string, std::vector<SExpectedRow>> kExpected = {
    {"track-count-huge-one-track.iTunesDB", {{u"A", u"", u"", u"A.MP3"}}},
    // No title and no type: a name of nothing at all would be the folder itself.
    {"track-total-length-tiny.iTunesDB", {{u"", u"", u"", u"_"}}},
    {"string-length-past-end.iTunesDB", {{u"", u"", u"", u".MP3"}}},
    {"object-length-zero-with-huge-count.iTunesDB", {{u"", u"", u"", u".MP3"}}},
};

TEST(Regressions, EveryInputWalksToItsKnownRows) {
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(KESTRUM_SONGDB_REGRESSIONS))) {
        if (!entry.is_regular_file() || entry.path().extension() == ".md") {
            continue;
        }
        const std::string file = entry.path().filename().string();
        SCOPED_TRACE(file);
        const auto expected = kExpected.find(file);
        ASSERT_NE(expected, kExpected.end()) << "a new input needs its expected rows";
        std::ifstream in(entry.path(), std::ios::binary);
        std::vector<std::uint8_t> image(std::istreambuf_iterator<char>(in), {});
        // As the fuzzer sees its inputs: the total length matches the size.
        if (image.size() >= 12) {
            dbwriter::PutU32(image, 8, static_cast<std::uint32_t>(image.size()));
        }
        songdbtest::CLoadedPlayer player(image);
        ASSERT_EQ(player.table.GetItemCount(), static_cast<int>(expected->second.size()));
        for (int row = 0; row < player.table.GetItemCount(); ++row) {
            const SExpectedRow& want = expected->second[static_cast<std::size_t>(row)];
            EXPECT_EQ(player.Row(row), (std::vector<WString>{want.title, want.artist, want.album}));
            WString name;
            player.db->FormFileName(row, name);
            EXPECT_EQ(name, want.name);
            // The player has no such files: the export fails without harm.
            EXPECT_FALSE(player.db->ExportTrack(row, u"C:\\Out\\"));
        }
        ++count;
    }
    EXPECT_EQ(count, kExpected.size());
}

}  // namespace
