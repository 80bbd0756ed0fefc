// Real catalogues written by several versions of the desktop software: every listed row and
// its export name must come out as the expected listings say, read as they are and compressed
// into an iTunesCDB beside an empty iTunesDB.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "SongDbTestSupport.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::vector<std::string>> ReadTsv(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::vector<std::string>> rows;
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::stringstream stream(line);
        std::string field;
        while (std::getline(stream, field, '\t')) {
            fields.push_back(field);
        }
        if (!line.empty() && line.back() == '\t') {
            fields.emplace_back();
        }
        rows.push_back(std::move(fields));
    }
    return rows;
}

std::vector<fs::path> Samples() {
    std::vector<fs::path> samples;
    const fs::path folder = KESTRUM_SAMPLES_DIR;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        if (entry.path().extension() == ".iTunesDB") {
            samples.push_back(entry.path());
        }
    }
    return samples;
}

// Each sample as it is, then compressed.
std::vector<std::pair<fs::path, bool>> Forms(const std::vector<fs::path>& samples) {
    std::vector<std::pair<fs::path, bool>> forms;
    for (const bool bCompressed : {false, true}) {
        for (const fs::path& sample : samples) {
            forms.emplace_back(sample, bCompressed);
        }
    }
    return forms;
}

TEST(Samples, EveryRowAndExportNameMatchesTheListing) {
    const std::vector<fs::path> samples = Samples();
    if (samples.empty()) {
        GTEST_SKIP() << "no samples in " << KESTRUM_SAMPLES_DIR;
    }
    for (const auto& [sample, bCompressed] : Forms(samples)) {
        SCOPED_TRACE(sample.filename().string() + (bCompressed ? " compressed" : ""));
        fs::path listing = sample;
        listing.replace_extension(".expected.tsv");
        const auto expected = ReadTsv(listing);
        songdbtest::CLoadedPlayer player([&](fake::CFakePlatform& os) {
            if (bCompressed) {
                os.AddPlayer(u'E', {});
                os.AddFile(os.CompressedDatabasePath(u'E'),
                           dbwriter::CompressItunesDb(ReadBytes(sample)));
            } else {
                os.AddPlayer(u'E', ReadBytes(sample));
            }
        });
        ASSERT_TRUE(player.bLoaded);
        EXPECT_EQ(player.db->GetLastError(), 1);
        ASSERT_EQ(static_cast<std::size_t>(player.table.GetItemCount()), expected.size());
        for (const auto& fields : expected) {
            ASSERT_EQ(fields.size(), 6u);
            const int row = std::stoi(fields[0]);
            SCOPED_TRACE(row);
            EXPECT_EQ(Utf8FromWide(player.table.Cell(row, 0)), fields[1]);
            EXPECT_EQ(Utf8FromWide(player.table.Cell(row, 1)), fields[2]);
            EXPECT_EQ(Utf8FromWide(player.table.Cell(row, 2)), fields[3]);
            WString name;
            ASSERT_TRUE(player.db->FormFileName(row, name));
            // Real titles hold characters Windows refuses in names ("Which Way To America?").
            std::string storable = fields[1];
            for (char& ch : storable) {
                ch = std::string_view("\\/:*?\"<>|").find(ch) == std::string_view::npos ? ch : '_';
            }
            EXPECT_EQ(Utf8FromWide(name), storable + "." + fields[4]);
        }
    }
}

// Every sample has its master playlist holding the whole library; the one with playlists of
// its own shows them with their song counts.
TEST(Samples, PlaylistsHoldTheLibraryAndTheUsersLists) {
    const std::vector<fs::path> samples = Samples();
    if (samples.empty()) {
        GTEST_SKIP() << "no samples in " << KESTRUM_SAMPLES_DIR;
    }
    for (const fs::path& sample : samples) {
        SCOPED_TRACE(sample.filename().string());
        songdbtest::CLoadedPlayer player(ReadBytes(sample));
        ASSERT_TRUE(player.bLoaded);
        const std::vector<SPlaylist> playlists = player.db->ReadPlaylists();
        ASSERT_FALSE(playlists.empty());
        EXPECT_TRUE(playlists[0].bMaster);
        EXPECT_EQ(static_cast<int>(playlists[0].tracks.size()), player.table.GetItemCount());
        std::vector<std::string> others;
        for (std::size_t i = 1; i < playlists.size(); ++i) {
            EXPECT_FALSE(playlists[i].bMaster);
            others.push_back(Utf8FromWide(playlists[i].strName) + " " +
                             std::to_string(playlists[i].tracks.size()));
        }
        if (sample.filename() == "itunes-v6b-1172tracks.iTunesDB") {
            EXPECT_EQ(others, std::vector<std::string>(
                                  {"festa matrimonio 215", "On-The-Go 1 1", "On-The-Go 2 0"}));
        }
    }
}

}  // namespace
