// Replays every input the fuzzer once crashed on: each must load (or be refused), walk and
// name its rows without reading outside the image.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "SongDbTestSupport.h"

namespace {

namespace fs = std::filesystem;

TEST(Regressions, EveryInputWalksAndNamesSafely) {
    const fs::path folder = fs::path(KESTRUM_SONGDB_REGRESSIONS);
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (!entry.is_regular_file() || entry.path().extension() == ".md") {
            continue;
        }
        SCOPED_TRACE(entry.path().filename().string());
        std::ifstream in(entry.path(), std::ios::binary);
        std::vector<std::uint8_t> image(std::istreambuf_iterator<char>(in), {});
        // As the fuzzer sees its inputs: the total length matches the size.
        if (image.size() >= 12) {
            dbwriter::PutU32(image, 8, static_cast<std::uint32_t>(image.size()));
        }
        songdbtest::CLoadedPlayer player(image);
        for (int row = 0; row < player.table.GetItemCount(); ++row) {
            WString name;
            player.db->FormFileName(row, name);
            player.db->ExportTrack(row, u"C:\\Out\\");
        }
        EXPECT_LE(static_cast<std::size_t>(player.table.GetItemCount()), image.size() / 16);
        ++count;
    }
    EXPECT_GT(count, 0u);
}

}  // namespace
