// Load + walk of catalogues of 1,000 to 40,000 tracks beside a plain read of the same file, the
// same for compressed catalogues beside zlib inflating their stream alone, and export throughput
// beside a plain file copy. Runs on the native platform: each player is a temporary folder
// mapped to a drive letter.
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "platform/Platform.h"
#include "songdb/MemorySongTable.h"
#include "songdb/SongDatabase.h"
#include "tools/ItunesDbWriter.h"

namespace {

namespace fs = std::filesystem;

fs::path BenchRoot() {
    static const fs::path root = [] {
        fs::path path = fs::temp_directory_path() / ("kestrum-bench-" + std::to_string(::getpid()));
        fs::create_directories(path);
        return path;
    }();
    return root;
}

void WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(static_cast<const void*>(bytes.data())),
              static_cast<std::streamsize>(bytes.size()));
}

// A catalogue shaped like a real one: about 1.5 KB per track in strings and headers.
std::vector<std::uint8_t> Catalogue(int tracks) {
    dbwriter::SDatabaseContent content;
    content.bPlaylistDataset = true;
    for (int i = 0; i < tracks; ++i) {
        const WString n = WideFromAscii(std::to_string(i));
        dbwriter::STrackEntry track;
        track.title = u"Song number " + n + u" of the benchmark";
        track.artist = u"Artist " + WideFromAscii(std::to_string(i % 97));
        track.album = u"Album " + WideFromAscii(std::to_string(i % 1013));
        track.location =
            u":iPod_Control:Music:F" + WideFromAscii(std::to_string(i % 50)) + u":S" + n + u".mp3";
        track.extraObjects = {{5, u"Rock", std::nullopt},
                              {6, u"MPEG audio file", std::nullopt},
                              {22, u"Album artist of the benchmark", std::nullopt},
                              {8, WString(380, u'c'), std::nullopt}};
        content.tracks.push_back(std::move(track));
    }
    return dbwriter::WriteItunesDb(content);
}

// One player folder per catalogue size and form, mapped as drive letter. A compressed player
// holds iTunesCDB beside an empty iTunesDB, as later nanos do.
WChar PlayerFor(int tracks, bool bCompressed = false) {
    static std::map<std::pair<int, bool>, WChar> players;
    static WChar next = u'E';
    if (const auto found = players.find({tracks, bCompressed}); found != players.end()) {
        return found->second;
    }
    const WChar letter = next++;
    const fs::path folder =
        BenchRoot() / ("player" + std::to_string(tracks) + (bCompressed ? "-compressed" : ""));
    WriteFile(folder / "iPod_Control" / "Device" / "SysInfo", {});
    if (bCompressed) {
        WriteFile(folder / "iPod_Control" / "iTunes" / "iTunesCDB",
                  dbwriter::CompressItunesDb(Catalogue(tracks)));
        WriteFile(folder / "iPod_Control" / "iTunes" / "iTunesDB", {});
    } else {
        WriteFile(folder / "iPod_Control" / "iTunes" / "iTunesDB", Catalogue(tracks));
    }
    platform::Platform().MapDrive(letter, WideFromUtf8(folder.string()));
    players[{tracks, bCompressed}] = letter;
    return letter;
}

void LoadAndWalk(benchmark::State& state, bool bCompressed) {
    const WChar letter = PlayerFor(static_cast<int>(state.range(0)), bCompressed);
    std::uint32_t size = 0;
    for (auto _ : state) {
        CMemorySongTable table;
        CSongDatabase db(table);
        if (!db.ProbeDevice(letter) || !db.LoadDatabase()) {
            state.SkipWithError("load failed");
            return;
        }
        db.BeginWalk();
        for (std::uint32_t i = 0; i < db.GetTrackCount(); ++i) {
            db.NextTrack();
        }
        benchmark::DoNotOptimize(table.GetItemCount());
        size = db.GetFileSize();
    }
    state.counters["MB"] = static_cast<double>(size) / 1e6;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * size);
}

void BM_LoadAndWalk(benchmark::State& state) { LoadAndWalk(state, false); }
BENCHMARK(BM_LoadAndWalk)->Arg(1000)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond);

// The same catalogue compressed: the file read, the stream inflated, the image checked and walked.
void BM_LoadAndWalkCompressed(benchmark::State& state) { LoadAndWalk(state, true); }
BENCHMARK(BM_LoadAndWalkCompressed)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(40000)
    ->Unit(benchmark::kMillisecond);

// zlib alone inflating the same stream into a buffer of the inflated size: the floor under
// the compressed load.
void BM_InflateOnly(benchmark::State& state) {
    const std::vector<std::uint8_t> plain = Catalogue(static_cast<int>(state.range(0)));
    const std::vector<std::uint8_t> file = dbwriter::CompressItunesDb(plain);
    const std::size_t header = dbwriter::GetU32(file, 4);
    const std::size_t inflated = plain.size() - dbwriter::GetU32(plain, 4);
    for (auto _ : state) {
        const std::unique_ptr<std::uint8_t[]> pOut(new std::uint8_t[inflated]);
        uLongf outSize = static_cast<uLongf>(inflated);
        if (uncompress(pOut.get(), &outSize, file.data() + header,
                       static_cast<uLong>(file.size() - header)) != Z_OK) {
            state.SkipWithError("inflate failed");
            return;
        }
        benchmark::DoNotOptimize(pOut[inflated / 2]);
    }
    state.counters["MB"] = static_cast<double>(file.size()) / 1e6;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(file.size()));
}
BENCHMARK(BM_InflateOnly)->Arg(1000)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond);

// The same file read through the platform into a block: the floor under the load.
void BM_ReadFileOnly(benchmark::State& state) {
    const WChar letter = PlayerFor(static_cast<int>(state.range(0)));
    const WString path = WString(1, letter) + u":\\iPod_Control\\iTunes\\iTunesDB";
    platform::IPlatform& os = platform::Platform();
    std::uint64_t size = 0;
    for (auto _ : state) {
        platform::FileHandle file = os.OpenFileForRead(path.c_str());
        os.GetFileSize(file, size);
        auto* block = static_cast<std::uint8_t*>(os.AllocateBlock(size));
        std::uint64_t done = 0;
        while (done < size) {
            std::uint32_t got = 0;
            os.ReadFile(file, block + done, static_cast<std::uint32_t>(size - done), got);
            if (got == 0) {
                break;
            }
            done += got;
        }
        benchmark::DoNotOptimize(block[size / 2]);
        os.FreeBlock(block);
        os.CloseFile(file);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
}
BENCHMARK(BM_ReadFileOnly)->Arg(1000)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond);

constexpr int kExportFiles = 40;
constexpr std::size_t kExportFileSize = 300 * 1024;

// A player of kExportFiles songs of kExportFileSize bytes each, on drive letter 'P'.
const fs::path& ExportPlayer() {
    static const fs::path folder = [] {
        const fs::path root = BenchRoot() / "export-player";
        dbwriter::SDatabaseContent catalogue;
        std::vector<std::uint8_t> content(kExportFileSize);
        for (std::size_t i = 0; i < content.size(); ++i) {
            content[i] = static_cast<std::uint8_t>(i * 31);
        }
        for (int i = 0; i < kExportFiles; ++i) {
            const std::string name = "S" + std::to_string(i) + ".mp3";
            dbwriter::STrackEntry track;
            track.title = u"Song " + WideFromAscii(std::to_string(i));
            track.location = u":iPod_Control:Music:F00:" + WideFromAscii(name);
            catalogue.tracks.push_back(std::move(track));
            WriteFile(root / "iPod_Control" / "Music" / "F00" / name, content);
        }
        WriteFile(root / "iPod_Control" / "Device" / "SysInfo", {});
        WriteFile(root / "iPod_Control" / "iTunes" / "iTunesDB",
                  dbwriter::WriteItunesDb(catalogue));
        platform::Platform().MapDrive(u'P', WideFromUtf8(root.string()));
        return root;
    }();
    return folder;
}

void BM_ExportTracks(benchmark::State& state) {
    ExportPlayer();
    const fs::path out = BenchRoot() / "export-out";
    fs::create_directories(out);
    const WString folder = WideFromUtf8(out.string()) + u"/";
    CMemorySongTable table;
    CSongDatabase db(table);
    if (!db.ProbeDevice(u'P') || !db.LoadDatabase()) {
        state.SkipWithError("load failed");
        return;
    }
    db.BeginWalk();
    for (std::uint32_t i = 1; i < db.GetTrackCount(); ++i) {
        db.NextTrack();
    }
    for (auto _ : state) {
        db.BeginExportRun();
        for (int i = 0; i < kExportFiles; ++i) {
            if (!db.ExportTrack(i, folder.c_str())) {
                state.SkipWithError("export failed");
                return;
            }
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kExportFiles *
                            static_cast<std::int64_t>(kExportFileSize));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kExportFiles);
}
BENCHMARK(BM_ExportTracks)->Unit(benchmark::kMillisecond);

void BM_PlainCopy(benchmark::State& state) {
    const fs::path music = ExportPlayer() / "iPod_Control" / "Music" / "F00";
    const fs::path out = BenchRoot() / "copy-out";
    fs::create_directories(out);
    for (auto _ : state) {
        for (int i = 0; i < kExportFiles; ++i) {
            const std::string name = "S" + std::to_string(i) + ".mp3";
            fs::copy_file(music / name, out / name, fs::copy_options::overwrite_existing);
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kExportFiles *
                            static_cast<std::int64_t>(kExportFileSize));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kExportFiles);
}
BENCHMARK(BM_PlainCopy)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // The database's Explorer guard must not touch the desktop's real "show hidden" setting.
    ::setenv("GSETTINGS_BACKEND", "memory", 1);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code error;
    fs::remove_all(BenchRoot(), error);
    return 0;
}
