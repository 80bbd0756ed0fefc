// Fuzzes the tag reader: each input is a song file's bytes, read by every container's reader
// (whatever its first bytes say) and by the reader that picks one. Seeds: files of each
// container written at start-up into the corpus folder when it is empty.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "TagFileBuilder.h"
#include "songdb/TagReader.h"
#include "songdb/tags/Id3v1Tag.h"
#include "songdb/tags/Id3v2Tag.h"
#include "songdb/tags/Mp4Tag.h"
#include "songdb/tags/RiffTag.h"

namespace {

namespace fs = std::filesystem;
using namespace tagbuild;

std::vector<Bytes> Seeds() {
    const std::vector<SFrame> frames = {
        SFrame{"TIT2", TextBody(1, u"Title")}, SFrame{"TPE1", TextBody(3, u"Ártist")},
        SFrame{"TALB", TextBody(2, u"Album")}, SFrame{"TCON", TextBody(0, u"(17)")},
        SFrame{"TRCK", TextBody(0, u"3/12")},  SFrame{"APIC", Bytes(64, 0xD8)}};
    const Bytes v1 = Id3v1({"V1 Title", "V1 Artist", "V1 Album", "1999", 7, 17});
    return {
        Concat({Id3v2(3, frames, {.bUnsynchronise = true}), MpegFrames(1), v1}),
        Concat({Id3v2(4, frames, {.bUnsynchronise = true, .bFooter = true}), MpegFrames(1)}),
        Concat({Id3v2(2, {SFrame{"TT2", TextBody(0, u"Title")}}), v1}),
        Mp4File({TextItem("\251nam", u"Title"), NumberPairItem("trkn", 3, 12),
                 Atom("gnre", DataAtom(0, {0, 18}))},
                true),
        WaveFile({InfoList({{"INAM", Ascii("Title")}, {"IART", Ascii("Artist")}}),
                  Chunk("id3 ", Id3v2(3, frames), false)}),
        AiffFile({Chunk("ID3 ", Id3v2(4, frames), true)}),
    };
}

void WriteSeeds(const fs::path& folder) {
    int n = 0;
    for (const Bytes& seed : Seeds()) {
        std::ofstream out(folder / ("tag-seed-" + std::to_string(n++)), std::ios::binary);
        out.write(static_cast<const char*>(static_cast<const void*>(seed.data())),
                  static_cast<std::streamsize>(seed.size()));
    }
}

// Texts end at their terminator, in whatever encoding, and a year is at most four digits,
// whichever container gave them.
void Check(const SFileTags& fields) {
    for (const WString* pText : {&fields.strTitle, &fields.strArtist, &fields.strAlbum,
                                 &fields.strAlbumArtist, &fields.strComposer, &fields.strGenre}) {
        if (pText->find(u'\0') != WString::npos) {
            std::abort();
        }
    }
    if (fields.dwYear > 9999) {
        std::abort();
    }
}

template <typename TTag>
void ReadWith(TTag tag, std::span<const std::uint8_t> bytes) {
    tags::CMemorySource source(bytes);
    tag.Read(source);
    Check(tag.Fields());
}

}  // namespace

// The first corpus folder named on the command line gets the seeds when it is empty.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    for (int i = 1; i < *argc; ++i) {
        const std::string arg = (*argv)[i];
        std::error_code error;
        if (!arg.starts_with("-") && fs::is_directory(arg, error)) {
            if (fs::is_empty(arg, error)) {
                WriteSeeds(arg);
            }
            break;
        }
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    ReadWith(tags::CId3v2Tag(0, size), bytes);
    ReadWith(tags::CId3v1Tag(), bytes);
    ReadWith(tags::CMp4Tag(), bytes);
    ReadWith(tags::CRiffTag(tags::CRiffTag::EForm::kWave), bytes);
    ReadWith(tags::CRiffTag(tags::CRiffTag::EForm::kAiff), bytes);
    tags::CMemorySource source(bytes);
    SFileTags fields;
    ReadTags(source, fields);
    Check(fields);
    return 0;
}
