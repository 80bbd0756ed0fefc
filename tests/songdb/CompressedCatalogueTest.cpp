// Compressed catalogues: which file a player's catalogue is read from, that a compressed one
// lists what the same records list uncompressed, and that every bad stream is refused with
// code 7 without keeping anything.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

#include "SongDbTestSupport.h"
#include "songdb/ItunesDbRecords.h"

namespace {

using dbwriter::CompressItunesDb;
using dbwriter::GetU32;
using dbwriter::PutU32;
using songdbtest::CLoadedPlayer;
using songdbtest::Database;
using songdbtest::Track;

using Image = std::vector<std::uint8_t>;
using Rows = std::vector<std::vector<WString>>;

const WString kCdb = fake::CFakePlatform::CompressedDatabasePath(u'E');
const WString kDb = fake::CFakePlatform::DatabasePath(u'E');

Image Catalogue() { return Database({Track(u"One"), Track(u"Two"), Track(u"Three")}); }

Rows RowsOf(const CLoadedPlayer& player) {
    Rows rows;
    for (int row = 0; row < player.table.GetItemCount(); ++row) {
        rows.push_back(player.Row(row));
    }
    return rows;
}

// The rows the same records give from a plain iTunesDB.
Rows PlainRows(const Image& image) { return RowsOf(CLoadedPlayer(image)); }

struct SFileCase {
    const char* name;
    // The player's catalogue files: iTunesCDB and iTunesDB (nullopt: absent).
    std::function<std::optional<Image>()> cdb;
    std::function<std::optional<Image>()> db;
    const WChar* pszLoadedFrom;  // nullptr: the load is refused
    int nLastError;
};

class CatalogueFile : public testing::TestWithParam<SFileCase> {};

TEST_P(CatalogueFile, IsChosenAndReadOrRefusedWithoutKeepingAnything) {
    const SFileCase& row = GetParam();
    CLoadedPlayer player([&row](fake::CFakePlatform& os) {
        os.AddFile(fake::CFakePlatform::SysInfoPath(u'E'), {});
        if (std::optional<Image> cdb = row.cdb()) {
            os.AddFile(kCdb, std::move(*cdb));
        }
        if (std::optional<Image> db = row.db()) {
            os.AddFile(kDb, std::move(*db));
        }
    });
    EXPECT_EQ(player.os.nFilesOpen, 0);
    if (row.pszLoadedFrom == nullptr) {
        EXPECT_FALSE(player.bLoaded);
        EXPECT_EQ(player.db->GetLastError(), row.nLastError);
        EXPECT_EQ(player.os.nBlocksHeld, 0);
        EXPECT_EQ(player.table.GetItemCount(), 0);
        return;
    }
    ASSERT_TRUE(player.bLoaded);
    EXPECT_EQ(WString(player.db->GetPath()), row.pszLoadedFrom);
    EXPECT_EQ(RowsOf(player), PlainRows(Catalogue()));
    WString name;
    EXPECT_TRUE(player.db->FormFileName(2, name));
    EXPECT_EQ(name, u"Three.MP3");
}

std::optional<Image> Absent() { return std::nullopt; }
std::optional<Image> Empty() { return Image(); }
std::optional<Image> Plain() { return Catalogue(); }
std::optional<Image> Compressed() { return CompressItunesDb(Catalogue()); }
// Other songs: an iTunesDB that a writer keeping iTunesCDB left behind.
std::optional<Image> Stale() { return Database({Track(u"Old")}); }

// A compressed catalogue changed after compression.
std::function<std::optional<Image>()> CompressedAnd(std::function<void(Image&)> change) {
    return [change] {
        Image image = CompressItunesDb(Catalogue());
        change(image);
        return std::optional<Image>(std::move(image));
    };
}

// The stream starts right after the header.
std::size_t StreamStart(const Image& image) { return GetU32(image, itunesdb::kOffHeaderLength); }

// A catalogue that inflates to far more than 256 times its compressed size: its records are
// followed by 8 MiB of zeros.
std::optional<Image> Bomb() {
    Image image = Catalogue();
    image.resize(image.size() + (std::size_t{8} << 20), 0);
    PutU32(image, itunesdb::kOffTotalLength, static_cast<std::uint32_t>(image.size()));
    return CompressItunesDb(image);
}

constexpr const WChar* kFromCdb = u"E:\\Ipod_Control\\iTunes\\iTunesCDB";
constexpr const WChar* kFromDb = u"E:\\Ipod_Control\\iTunes\\iTunesDB";

INSTANTIATE_TEST_SUITE_P(
    Cases, CatalogueFile,
    testing::Values(
        SFileCase{"OnlyCompressed", Compressed, Absent, kFromCdb, 0},
        SFileCase{"EmptyPlainBeside", Compressed, Empty, kFromCdb, 0},
        SFileCase{"StalePlainBeside", Compressed, Stale, kFromCdb, 0},
        SFileCase{"EmptyCompressedFallsBack", Empty, Plain, kFromDb, 0},
        SFileCase{"OnlyPlain", Absent, Plain, kFromDb, 0},
        // A plain catalogue under the compressed name, its flag 0 or out of its short header.
        SFileCase{"PlainUnderCompressedName", Plain, Absent, kFromCdb, 0},
        SFileCase{"FlagZeroReadAsPlain",
                  [] {
                      Image image = CompressItunesDb(Catalogue());
                      image[itunesdb::kOffCompressedFlag] = 0;
                      Image plain = Catalogue();
                      // The long header of the compressed form in front of the plain records.
                      const std::size_t header = StreamStart(image);
                      image.resize(header);
                      image.insert(image.end(), plain.begin() + GetU32(plain, 4), plain.end());
                      PutU32(image, 8, static_cast<std::uint32_t>(image.size()));
                      return std::optional<Image>(image);
                  },
                  Stale, kFromCdb, 0},
        SFileCase{"HeaderTooShortForFlag",
                  [] {
                      Image image = Catalogue();
                      EXPECT_LT(GetU32(image, 4), itunesdb::kMinCompressedHeaderLength);
                      image[itunesdb::kOffCompressedFlag] = 1;
                      return std::optional<Image>(image);
                  },
                  Absent, kFromCdb, 0},
        SFileCase{"CorruptStream", CompressedAnd([](Image& i) { i[i.size() / 2 + 40] ^= 0x5A; }),
                  Plain, nullptr, 7},
        SFileCase{"NotZlib", CompressedAnd([](Image& i) { i[StreamStart(i)] = 0x00; }), Plain,
                  nullptr, 7},
        SFileCase{"ChecksumWrong", CompressedAnd([](Image& i) { i.back() ^= 1; }), Plain, nullptr,
                  7},
        SFileCase{"Truncated", CompressedAnd([](Image& i) { i.resize(i.size() - 9); }), Plain,
                  nullptr, 7},
        SFileCase{"CutToHeader", CompressedAnd([](Image& i) { i.resize(StreamStart(i)); }), Plain,
                  nullptr, 7},
        SFileCase{"TrailingGarbage", CompressedAnd([](Image& i) {
                      i.insert(i.end(), {'j', 'u', 'n', 'k'});
                  }),
                  Plain, nullptr, 7},
        SFileCase{"SecondStreamAfterFirst", CompressedAnd([](Image& i) {
                      const Image again = CompressItunesDb(Catalogue());
                      i.insert(i.end(),
                               again.begin() + static_cast<std::ptrdiff_t>(StreamStart(again)),
                               again.end());
                  }),
                  Plain, nullptr, 7},
        SFileCase{"Bomb", Bomb, Plain, nullptr, 7},
        // A sound stream whose records are no catalogue is refused as a plain file would be.
        SFileCase{"InflatesToNoDataset",
                  [] {
                      Image image = Catalogue();
                      std::fill(image.begin() + GetU32(image, 4), image.end(), 0);
                      return std::optional<Image>(CompressItunesDb(image));
                  },
                  Plain, nullptr, 3},
        // Only iTunesCDB is ever inflated: an iTunesDB is read as it is.
        SFileCase{"CompressedUnderPlainName", Absent, Compressed, nullptr, 3}),
    [](const testing::TestParamInfo<SFileCase>& param) { return param.param.name; });

// Writers of compressed catalogues put the track list after the other datasets; the walk finds
// it by its tag wherever it is.
TEST(CompressedCatalogue, FindsTheTrackListLastAmongDatasets) {
    dbwriter::SDatabaseContent content;
    content.tracks = {Track(u"One"), Track(u"Two")};
    content.bAlbumsDataset = true;
    content.bPlaylistDataset = true;
    dbwriter::SDatabaseLayout layout;
    const Image image = dbwriter::WriteItunesDb(content, &layout);
    // Header, then every dataset but the track one in file order, then the track dataset.
    Image reordered(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(layout.datasets[0]));
    const auto append = [&](std::size_t dataset) {
        const auto begin = image.begin() + static_cast<std::ptrdiff_t>(dataset);
        reordered.insert(reordered.end(), begin, begin + GetU32(image, dataset + 8));
    };
    for (const std::size_t dataset : layout.datasets) {
        if (dataset != layout.trackDataset) {
            append(dataset);
        }
    }
    append(layout.trackDataset);
    ASSERT_EQ(reordered.size(), image.size());
    ASSERT_NE(reordered, image);

    for (const bool bCompressed : {false, true}) {
        CLoadedPlayer player([&](fake::CFakePlatform& os) {
            os.AddFile(fake::CFakePlatform::SysInfoPath(u'E'), {});
            os.AddFile(bCompressed ? kCdb : kDb,
                       bCompressed ? CompressItunesDb(reordered) : reordered);
        });
        ASSERT_TRUE(player.bLoaded) << bCompressed;
        EXPECT_EQ(RowsOf(player), PlainRows(image)) << bCompressed;
    }
}

}  // namespace
