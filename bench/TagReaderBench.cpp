// Reading the tags of 10,000 small song files of every container (MP3 with ID3v2.3, 2.4 and
// ID3v1, M4A with the movie box before or after the media, WAV, AIFF), warm in the page cache:
// Kestrum's reader through the native platform beside TagLib reading the same files (tags
// only, no audio properties) where TagLib is found. Reports files per second and, for Kestrum,
// the bytes read and seeks made per file.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "TagFileBuilder.h"
#include "platform/Platform.h"
#include "songdb/TagReader.h"

#ifdef KESTRUM_BENCH_TAGLIB
#include <taglib/fileref.h>
#include <taglib/tag.h>
#endif

namespace {

namespace fs = std::filesystem;
using namespace tagbuild;

constexpr int kFiles = 10000;

Bytes SongFile(int n) {
    const WString title = u"Song number " + WideFromAscii(std::to_string(n));
    const std::vector<SFrame> frames = {
        SFrame{"TIT2", TextBody(1, title)},
        SFrame{"TPE1", TextBody(1, u"Artist " + WideFromAscii(std::to_string(n % 97)))},
        SFrame{"TALB", TextBody(0, u"Album " + WideFromAscii(std::to_string(n % 1013)))},
        SFrame{"TCON", TextBody(0, u"Rock")},
        SFrame{"TRCK", TextBody(0, WideFromAscii(std::to_string(n % 20 + 1) + "/20"))},
        SFrame{"APIC", Concat({{0}, Ascii("image/jpeg"), {0, 3, 0}, Bytes(8192, 0xD8)})}};
    const Bytes audio = MpegFrames(20);  // about 8 KB
    switch (n % 6) {
        case 0:
            return Concat({Id3v2(3, frames, {.dwPadding = 1024}), audio});
        case 1:
            return Concat({Id3v2(4, frames), audio, Id3v1({.title = "Old title"})});
        case 2:
            return Mp4File({TextItem("\251nam", title), TextItem("\251ART", u"Artist"),
                            TextItem("\251alb", u"Album"), NumberPairItem("trkn", 3, 12),
                            Atom("covr", DataAtom(13, Bytes(8192, 0xD8)))},
                           false, 8192);
        case 3:
            return Mp4File({TextItem("\251nam", title), TextItem("\251ART", u"Artist")}, true,
                           8192);
        case 4:
            return WaveFile({InfoList({{"INAM", Utf8(title)}, {"IART", Ascii("Artist")}}),
                             Chunk("id3 ", Id3v2(3, frames), false)});
        default:
            return AiffFile({Chunk("ID3 ", Id3v2(4, frames), true)});
    }
}

const char* Extension(int n) {
    static const char* const kExtensions[] = {".mp3", ".mp3", ".m4a", ".m4a", ".wav", ".aiff"};
    return kExtensions[n % 6];
}

// The files, written once per run into a temporary folder mapped to drive K.
const std::vector<std::string>& SongNames() {
    static const std::vector<std::string> names = [] {
        const fs::path folder =
            fs::temp_directory_path() / ("kestrum-tag-bench-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        std::vector<std::string> made;
        for (int n = 0; n < kFiles; ++n) {
            made.push_back("song" + std::to_string(n) + Extension(n));
            const Bytes bytes = SongFile(n);
            std::ofstream out(folder / made.back(), std::ios::binary);
            out.write(static_cast<const char*>(static_cast<const void*>(bytes.data())),
                      static_cast<std::streamsize>(bytes.size()));
        }
        platform::Platform().MapDrive(u'K', WideFromUtf8(folder.string()));
        return made;
    }();
    return names;
}

fs::path Folder() {
    return fs::temp_directory_path() / ("kestrum-tag-bench-" + std::to_string(::getpid()));
}

void BM_KestrumTags(benchmark::State& state) {
    std::vector<WString> paths;
    for (const std::string& name : SongNames()) {
        paths.push_back(u"K:\\" + WideFromUtf8(name));
    }
    std::uint64_t bytes = 0;
    std::uint64_t seeks = 0;
    std::uint64_t files = 0;
    for (auto _ : state) {
        for (const WString& path : paths) {
            SFileTags tags;
            STagReadCounts counts;
            ReadFileTags(path.c_str(), tags, &counts);
            benchmark::DoNotOptimize(tags);
            bytes += counts.bytesRead;
            seeks += counts.dwSeeks;
            ++files;
        }
    }
    state.counters["files/s"] =
        benchmark::Counter(static_cast<double>(files), benchmark::Counter::kIsRate);
    state.counters["bytes/file"] = static_cast<double>(bytes) / static_cast<double>(files);
    state.counters["seeks/file"] = static_cast<double>(seeks) / static_cast<double>(files);
}
BENCHMARK(BM_KestrumTags)->Unit(benchmark::kMillisecond)->MinTime(2.0);

#ifdef KESTRUM_BENCH_TAGLIB
void BM_TagLibTags(benchmark::State& state) {
    std::vector<fs::path> paths;
    for (const std::string& name : SongNames()) {
        paths.push_back(Folder() / name);
    }
    std::uint64_t files = 0;
    for (auto _ : state) {
        for (const fs::path& path : paths) {
            const TagLib::FileRef ref(path.c_str(), false);
            if (ref.tag() != nullptr) {
                benchmark::DoNotOptimize(ref.tag()->title());
                benchmark::DoNotOptimize(ref.tag()->artist());
                benchmark::DoNotOptimize(ref.tag()->track());
            }
            ++files;
        }
    }
    state.counters["files/s"] =
        benchmark::Counter(static_cast<double>(files), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TagLibTags)->Unit(benchmark::kMillisecond)->MinTime(2.0);
#endif

// The folder goes when the run ends.
struct SCleanUp {
    ~SCleanUp() {
        std::error_code error;
        fs::remove_all(Folder(), error);
    }
} g_cleanUp;

}  // namespace

BENCHMARK_MAIN();
