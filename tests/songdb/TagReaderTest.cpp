// The tag reader against files written in code: the cases readers typically get wrong, one
// table for every container; that large frames are stepped over, not read; that a file cut
// short anywhere gives no field it does not hold.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "FakePlatform.h"
#include "TagFileBuilder.h"
#include "platform/Platform.h"
#include "songdb/TagReader.h"
#include "songdb/tags/Id3v2Tag.h"

namespace {

using namespace tagbuild;
using namespace std::string_view_literals;

constexpr const WChar* kPath = u"E:\\Music\\Song.mp3";

// Every field, with texts outside ASCII and numbers given as players write them.
const SFileTags kAll = {.strTitle = u"Straße 😀",
                        .strArtist = u"Ártist",
                        .strAlbum = u"Album",
                        .strAlbumArtist = u"Various",
                        .strComposer = u"Cömposer",
                        .strGenre = u"Jazz",
                        .dwYear = 2004,
                        .dwTrack = 3,
                        .dwDisc = 2};

std::vector<SFrame> AllFrames(std::uint8_t version, std::uint8_t encoding) {
    const bool bV2 = version == 2;
    auto text = [encoding](std::string id, WStringView value) {
        return SFrame{std::move(id), TextBody(encoding, value)};
    };
    return {text(bV2 ? "TT2" : "TIT2", kAll.strTitle),
            text(bV2 ? "TP1" : "TPE1", kAll.strArtist),
            text(bV2 ? "TAL" : "TALB", kAll.strAlbum),
            text(bV2 ? "TP2" : "TPE2", kAll.strAlbumArtist),
            text(bV2 ? "TCM" : "TCOM", kAll.strComposer),
            text(bV2 ? "TCO" : "TCON", u"(8)"),
            text(bV2 ? "TYE" : (version == 4 ? "TDRC" : "TYER"),
                 version == 4 ? u"2004-05-01T10:00" : u"2004"),
            text(bV2 ? "TRK" : "TRCK", u"3/12"),
            text(bV2 ? "TPA" : "TPOS", u"2/2")};
}

SFileTags TitleOnly(WStringView title) { return SFileTags{.strTitle = WString(title)}; }

// The size field of the frame at offset in a 2.3 tag, set to size.
Bytes WithFrameSize(Bytes tag, std::size_t offset, std::uint32_t size) {
    for (std::size_t i = 0; i < 4; ++i) {
        tag[offset + 4 + i] = static_cast<std::uint8_t>(size >> (8 * (3 - i)));
    }
    return tag;
}

std::vector<Bytes> AllItems() {
    return {TextItem("\251nam", kAll.strTitle),
            TextItem("\251ART", kAll.strArtist),
            TextItem("\251alb", kAll.strAlbum),
            TextItem("aART", kAll.strAlbumArtist),
            TextItem("\251wrt", kAll.strComposer),
            TextItem("\251gen", kAll.strGenre),
            TextItem("\251day", u"2004-05-01T00:00:00Z"),
            NumberPairItem("trkn", 3, 12),
            NumberPairItem("disk", 2, 2)};
}

Bytes Mp4WithMeta(const Bytes& meta, bool bSixtyFour) {
    const auto atom = bSixtyFour ? Atom64 : Atom;
    return Concat({Atom("ftyp", Ascii("M4A \0\0\0\0")), atom("mdat", Bytes(300, 0x55)),
                   atom("moov", Concat({FullAtom("mvhd", Bytes(96, 0)), atom("udta", meta)}))});
}

Bytes Ilst(const std::vector<Bytes>& items) {
    Bytes body;
    for (const Bytes& item : items) {
        body.insert(body.end(), item.begin(), item.end());
    }
    return Atom("ilst", body);
}

struct STagCase {
    const char* name;
    Bytes file;
    SFileTags expected;
};

std::vector<STagCase> Cases() {
    const Bytes audio = MpegFrames(2);
    const Bytes unsyncText = Latin1(u"ÿÿé");  // FF FF E9: every FF needs a zero after it
    const Bytes tit2 = Id3v2(3, {SFrame{"TIT2", TextBody(0, u"Kept")}});
    const Bytes infoList = InfoList({{"INAM", Utf8(u"Été")},
                                     {"IART", Latin1(u"Ère")},  // not UTF-8: ISO-8859-1
                                     {"IPRD", Concat({Ascii("Disc"), Bytes(3, 0)})},
                                     {"IGNR", Ascii("Pop")},
                                     {"ICRD", Ascii("2001-01-01")},
                                     {"ITRK", Ascii("4")}});
    return {
        {"V24WithFooterUtf8", Concat({Id3v2(4, AllFrames(4, 3), {.bFooter = true}), audio}), kAll},
        {"V24Utf16Be", Concat({Id3v2(4, AllFrames(4, 2)), audio}), kAll},
        {"V23Utf16WithBom", Concat({Id3v2(3, AllFrames(3, 1), {.dwPadding = 64}), audio}), kAll},
        {"V22ThreeLetterIds", Concat({Id3v2(2, AllFrames(2, 1)), audio}), kAll},
        {"V23ExtendedHeader", Concat({Id3v2(3, AllFrames(3, 1), {.bExtendedHeader = true}), audio}),
         kAll},
        {"V24ExtendedHeader", Concat({Id3v2(4, AllFrames(4, 3), {.bExtendedHeader = true}), audio}),
         kAll},
        {"V23WholeTagUnsynchronised",
         Concat({Id3v2(3,
                       {SFrame{"TIT2", Concat({Bytes{0}, unsyncText})},
                        SFrame{"TPE1", TextBody(1, u"ÿ")}, Text("TALB", u"After")},
                       {.bUnsynchronise = true}),
                 audio}),
         {.strTitle = u"ÿÿé", .strArtist = u"ÿ", .strAlbum = u"After"}},
        {"V24FrameUnsynchronisedWithLengthIndicator",
         Concat({Id3v2(4,
                       {SFrame{"TIT2", Concat({Bytes{0, 0, 0, 4, 0}, unsyncText}), 0x01},
                        Text("TPE1", u"After", 4)},
                       {.bUnsynchronise = true}),
                 audio}),
         {.strTitle = u"ÿÿé", .strArtist = u"After"}},
        {"Utf16WithoutBomLittleEndian", Id3v2(3, {SFrame{"TIT2", TextBody(1, u"Little", false)}}),
         TitleOnly(u"Little")},
        {"Utf16WithoutBomBigEndian", Id3v2(3, {SFrame{"TIT2", Concat({{1}, Utf16(u"Big", true)})}}),
         TitleOnly(u"Big")},
        {"Utf16BomBigEndian",
         Id3v2(3, {SFrame{"TIT2", Concat({{1, 0xFE, 0xFF}, Utf16(u"Ωmega", true)})}}),
         TitleOnly(u"Ωmega")},
        {"ListOfTextsGivesFirst",
         Id3v2(4, {SFrame{"TPE1", TextBody(3, u"One\0Two"sv)}}),
         {.strTitle = u"Song", .strArtist = u"One"}},
        {"TagSizePastEndOfFile", Id3v2(3, AllFrames(3, 1), {.sizeDelta = 100000}), kAll},
        {"FrameBiggerThanTag",
         Concat({WithFrameSize(Id3v2(3, {SFrame{"TIT2", TextBody(0, u"Kept")},
                                         Text("TPE1", u"Lost"), Text("TALB", u"Lost")}),
                               tit2.size(), 5000),
                 audio, Id3v1({.artist = "V1 Artist"})}),
         {.strTitle = u"Kept", .strArtist = u"V1 Artist"}},
        {"Id3v1FillsWhatV2Lacks",
         Concat({tit2, audio, Id3v1({"V1 Title", "V1 Artist", "V1 Album", "1999", 7, 17})}),
         {.strTitle = u"Kept",
          .strArtist = u"V1 Artist",
          .strAlbum = u"V1 Album",
          .strGenre = u"Rock",
          .dwYear = 1999,
          .dwTrack = 7}},
        {"Id3v10HasNoTrack", Concat({audio, Id3v1({"V1 Title", "", "", "", 0, 255})}),
         TitleOnly(u"V1 Title")},
        {"TagWithoutTitle",
         Concat({Id3v2(3, {Text("TPE1", u"Artist")}), audio}),
         {.strTitle = u"Song", .strArtist = u"Artist"}},
        {"Mp4Items", Mp4File(AllItems()), kAll},
        {"Mp4MoovAfterMdat", Mp4File(AllItems(), true, 5000), kAll},
        {"Mp4SixtyFourBitSizes",
         Mp4WithMeta(FullAtom("meta", Ilst({TextItem("\251nam", u"Wide")})), true),
         TitleOnly(u"Wide")},
        {"Mp4MetaWithoutVersion",
         Mp4WithMeta(Atom("meta", Concat({FullAtom("hdlr", Bytes(20, 0)),
                                          Ilst({TextItem("\251nam", u"Plain")})})),
                     false),
         TitleOnly(u"Plain")},
        {"Mp4GenreNumberAndUtf16Text",
         Mp4File({Atom("\251nam", DataAtom(2, Utf16(u"Ωmega", true))),
                  Atom("gnre", DataAtom(0, {0, 18}))}),
         {.strTitle = u"Ωmega", .strGenre = u"Rock"}},
        {"Mp4ItemSmallerThanItsHeader",
         Mp4File({TextItem("\251nam", u"Kept"), Bytes{0, 0, 0, 4, 'f', 'r', 'e', 'e'},
                  TextItem("\251ART", u"Lost")}),
         TitleOnly(u"Kept")},
        {"WavListInfo",
         WaveFile({infoList}),
         {.strTitle = u"Été",
          .strArtist = u"Ère",
          .strAlbum = u"Disc",
          .strGenre = u"Pop",
          .dwYear = 2001,
          .dwTrack = 4}},
        {"WavId3ChunkBeforeInfo",
         WaveFile({InfoList({{"INAM", Ascii("Info")}, {"IPRD", Ascii("Info Album")}}),
                   Chunk("id3 ", tit2, false)}),
         {.strTitle = u"Kept", .strAlbum = u"Info Album"}},
        {"AiffId3ChunkAfterOddChunk",
         AiffFile(
             {Chunk("NAME", Ascii("Odd"), true), Chunk("ID3 ", Id3v2(4, AllFrames(4, 3)), true)}),
         kAll},
        {"NoTags", Bytes(1000, 0x55), TitleOnly(u"Song")},
        {"EmptyFile", {}, TitleOnly(u"Song")},
    };
}

class TagReaderCases : public testing::TestWithParam<STagCase> {};

TEST_P(TagReaderCases, GivesTheFields) {
    fake::CFakePlatform os;
    os.AddFile(kPath, GetParam().file);
    SFileTags tags;
    EXPECT_TRUE(ReadFileTags(kPath, tags));
    EXPECT_EQ(tags, GetParam().expected);
    EXPECT_EQ(os.nFilesOpen, 0);
}

INSTANTIATE_TEST_SUITE_P(Files, TagReaderCases, testing::ValuesIn(Cases()),
                         [](const auto& param) { return std::string(param.param.name); });

// Pictures, cover art and audio are stepped over by seeking: what is read stays far below
// them, and the fields after them are still found.
struct SLargeCase {
    const char* name;
    Bytes file;
    SFileTags expected;
};

TEST(TagReader, StepsOverLargeFramesAndAudio) {
    constexpr std::size_t kLarge = std::size_t{1} << 20;
    const Bytes picture = Concat({{0}, Ascii("image/jpeg"), {0, 3, 0}, Bytes(kLarge, 0xD8)});
    const SLargeCase cases[] = {
        {"Mp3Picture",
         Concat({Id3v2(3, {Text("TIT2", u"Title"), SFrame{"APIC", picture}, Text("TPE1", u"Art")}),
                 MpegFrames(kLarge / 417), Id3v1({.album = "V1 Album"})}),
         {.strTitle = u"Title", .strArtist = u"Art", .strAlbum = u"V1 Album"}},
        {"Mp4CoverAndMdatFirst",
         Mp4File({Atom("covr", DataAtom(13, Bytes(kLarge, 0xD8))), TextItem("\251nam", u"Title")},
                 true, kLarge),
         TitleOnly(u"Title")},
        {"WavDataBeforeInfo",
         WaveFile({Chunk("data", Bytes(kLarge, 0), false), InfoList({{"INAM", Ascii("Title")}})}),
         TitleOnly(u"Title")},
    };
    for (const SLargeCase& test : cases) {
        SCOPED_TRACE(test.name);
        fake::CFakePlatform os;
        os.AddFile(kPath, test.file);
        SFileTags tags;
        STagReadCounts counts;
        ASSERT_TRUE(ReadFileTags(kPath, tags, &counts));
        EXPECT_EQ(tags, test.expected);
        EXPECT_LT(counts.bytesRead, 4096u);
        EXPECT_GE(counts.dwSeeks, 1u);
    }
}

// A file cut short anywhere gives a part of what the whole file gives, never a field it does
// not hold (the sanitizer build also sees that no read leaves the bytes there are).
TEST(TagReader, FileCutShortGivesPartOfItsFields) {
    const Bytes files[] = {
        Concat({Id3v2(3, AllFrames(3, 1), {.bUnsynchronise = true}), MpegFrames(1),
                Id3v1({"V1 Title", "V1 Artist", "V1 Album", "1999", 7, 17})}),
        Concat({Id3v2(4, AllFrames(4, 3), {.bFooter = true, .bExtendedHeader = true})}),
        Id3v2(2, AllFrames(2, 1)),
        Mp4File(AllItems()),
        Mp4WithMeta(FullAtom("meta", Ilst(AllItems())), true),
        // INFO fills what a cut ID3 chunk lacks: the same texts, so that the part still agrees.
        WaveFile({InfoList({{"INAM", Utf8(kAll.strTitle)}, {"IART", Utf8(kAll.strArtist)}}),
                  Chunk("id3 ", Id3v2(3, AllFrames(3, 1)), false)}),
        AiffFile({Chunk("ID3 ", Id3v2(4, AllFrames(4, 3)), true)}),
    };
    for (const Bytes& file : files) {
        tags::CMemorySource whole(file);
        SFileTags full;
        ASSERT_TRUE(ReadTags(whole, full));
        for (std::size_t length = 0; length < file.size(); ++length) {
            // A copy of its own, so that the sanitizer sees a read past the cut.
            const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length));
            tags::CMemorySource source(cut);
            SFileTags part;
            ReadTags(source, part);
            SFileTags merged = part;
            merged.FillGapsFrom(full);
            ASSERT_EQ(merged, full) << "cut at " << length;
        }
    }
}

TEST(TagReader, UnreadableFileGetsItsNameAsTitle) {
    const Bytes file = Concat({MpegFrames(1), Id3v1({.title = "V1 Title"})});
    struct SFailure {
        const char* name;
        bool fake::CFakePlatform::*pFlag;
        bool bOpens;
    };
    const SFailure failures[] = {{"Open", &fake::CFakePlatform::bFailOpen, false},
                                 {"Size", &fake::CFakePlatform::bFailSize, true},
                                 {"Seek", &fake::CFakePlatform::bFailSeek, true},
                                 {"Read", &fake::CFakePlatform::bFailRead, true}};
    for (const SFailure& failure : failures) {
        SCOPED_TRACE(failure.name);
        fake::CFakePlatform os;
        os.AddFile(u"E:\\Music\\Long.Name.mp3", file);
        os.*failure.pFlag = true;
        SFileTags tags;
        EXPECT_EQ(ReadFileTags(u"E:\\Music\\Long.Name.mp3", tags), failure.bOpens);
        EXPECT_EQ(tags, TitleOnly(u"Long.Name"));
        EXPECT_EQ(os.nFilesOpen, 0);
    }
}

TEST(TagReader, ReadsGenreAsId3v2HoldsIt) {
    const std::pair<WStringView, WStringView> cases[] = {
        {u"(17)", u"Rock"},      {u"17", u"Rock"},   {u"(0)", u"Blues"},
        {u"(79)", u"Hard Rock"}, {u"(80)", u"(80)"}, {u"(17)Grunge", u"Grunge"},
        {u"Rock", u"Rock"},      {u"(17", u"(17"},   {u"17 Rock", u"17 Rock"},
        {u"(1234)", u"(1234)"},  {u"", u""},         {u"()", u"()"},
    };
    for (const auto& [text, genre] : cases) {
        EXPECT_EQ(tags::Id3v2Genre(text), genre) << Utf8FromWide(text);
    }
}

TEST(TagReader, TitleFromPathDropsFoldersAndExtension) {
    const std::pair<WStringView, WStringView> cases[] = {
        {u"E:\\Music\\Song.mp3", u"Song"}, {u"E:\\Music\\Song.Part.2.m4a", u"Song.Part.2"},
        {u"E:/Music/Song", u"Song"},       {u"E:Song.wav", u"Song"},
        {u"E:\\Music\\.mp3", u".mp3"},     {u"E:\\Mu.sic\\Song", u"Song"},
    };
    for (const auto& [path, title] : cases) {
        EXPECT_EQ(TitleFromPath(path), title) << Utf8FromWide(path);
    }
}

// The native platform's seek, on a real file: the picture is stepped over and the ID3v1 tag
// at the end is reached.
TEST(TagReader, ReadsARealFileThroughTheNativePlatform) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / "kestrum-tag-reader-test";
    fs::create_directories(folder);
    const Bytes file = Concat({Id3v2(3, {Text("TIT2", u"Title"), SFrame{"APIC", Bytes(100000, 1)},
                                         Text("TPE1", u"Artist")}),
                               MpegFrames(3), Id3v1({.album = "Album"})});
    {
        std::ofstream out(folder / "song.mp3", std::ios::binary | std::ios::trunc);
        out.write(static_cast<const char*>(static_cast<const void*>(file.data())),
                  static_cast<std::streamsize>(file.size()));
    }
    platform::Platform().MapDrive(u'Q', WideFromUtf8(folder.string()));
    SFileTags tags;
    STagReadCounts counts;
    EXPECT_TRUE(ReadFileTags(u"Q:\\song.mp3", tags, &counts));
    EXPECT_EQ(tags,
              (SFileTags{.strTitle = u"Title", .strArtist = u"Artist", .strAlbum = u"Album"}));
    EXPECT_LT(counts.bytesRead, 1024u);
    EXPECT_EQ(counts.dwSeeks, 2u);
    std::error_code error;
    fs::remove_all(folder, error);
}

}  // namespace
