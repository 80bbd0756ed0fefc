// The tag reader against TagLib, an independent reader: files of every container are tagged by
// TagLib with random texts in every text encoding, numbers, empty and absent fields (from a
// fixed seed), then read by both; every field must agree. Files live in a temporary folder
// mapped to a drive, so the reader goes through the native platform as on a player.
#include <gtest/gtest.h>
#include <taglib/aifffile.h>
#include <taglib/fileref.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>
#include <taglib/wavfile.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>

#include "TagFileBuilder.h"
#include "platform/Platform.h"
#include "songdb/TagReader.h"

namespace {

namespace fs = std::filesystem;
using tagbuild::Bytes;

enum class EKind { kMp3V23, kMp3V24, kMp3V24AndV1, kMp3V1, kM4a, kWav, kAiff, kUntagged };

constexpr EKind kKinds[] = {EKind::kMp3V23, EKind::kMp3V24, EKind::kMp3V24AndV1, EKind::kMp3V1,
                            EKind::kM4a,    EKind::kWav,    EKind::kAiff,        EKind::kUntagged};
constexpr int kFilesPerKind = 40;

const char* Extension(EKind kind) {
    switch (kind) {
        case EKind::kM4a:
            return ".m4a";
        case EKind::kWav:
            return ".wav";
        case EKind::kAiff:
            return ".aiff";
        default:
            return ".mp3";
    }
}

// The smallest files TagLib takes for each container, without tags.
Bytes Skeleton(EKind kind) {
    using namespace tagbuild;
    switch (kind) {
        case EKind::kM4a:
            return Concat({Atom("ftyp", Concat({Ascii("M4A "), Bytes(4, 0), Ascii("M4A isom")})),
                           Atom("moov", FullAtom("mvhd", Bytes(96, 0))),
                           Atom("mdat", Bytes(256, 0x55))});
        case EKind::kWav:
            return WaveFile({});
        case EKind::kAiff:
            return AiffFile({});
        default:
            return MpegFrames(4);
    }
}

// Random field values: texts of words from several scripts, or only ISO-8859-1 ones where the
// encoding can hold nothing else.
class CRandomTags {
public:
    explicit CRandomTags(std::uint32_t seed) : m_random(seed) {}

    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }

    WString Text(bool bLatin1, std::size_t maxLength = 60) {
        static const WString kLatin1Words[] = {u"Blue", u"Straße", u"Été",   u"naïve", u"Ærø",
                                               u"Song", u"ÿes",    u"¿Qué?", u"Nº 5",  u"Öl"};
        static const WString kWideWords[] = {u"日本語", u"Музыка", u"Ωmega", u"😀",    u"한국",
                                             u"שלום",   u"Ελλάδα", u"𝄞clef", u"Łódź", u"ça"};
        WString text;
        const int words = 1 + Below(4);
        for (int i = 0; i < words; ++i) {
            const bool bWide = !bLatin1 && Below(2) == 0;
            const WString& word = bWide ? kWideWords[Below(10)] : kLatin1Words[Below(10)];
            if (!text.empty()) {
                text += u' ';
            }
            text += word;
        }
        return text.substr(0, maxLength);
    }

    // A text field's fate: absent, set empty (which writes nothing), or a text.
    enum class EPresence { kAbsent, kEmpty, kText };
    EPresence Presence() {
        const int n = Below(10);
        return n < 2 ? EPresence::kAbsent : (n < 3 ? EPresence::kEmpty : EPresence::kText);
    }

private:
    std::mt19937 m_random;
};

TagLib::String Tl(WStringView text) {
    return TagLib::String(Utf8FromWide(text), TagLib::String::UTF8);
}
WString Wide(const TagLib::String& text) { return WideFromUtf8(text.to8Bit(true)); }

// ID3v2 text frames with an encoding of their own each.
void AddId3v2Frames(CRandomTags& random, TagLib::ID3v2::Tag& tag, bool bV24) {
    static const char* kIds[] = {"TIT2", "TPE1", "TALB", "TPE2", "TCOM", "TCON"};
    static const TagLib::String::Type kEncodings[] = {TagLib::String::Latin1, TagLib::String::UTF16,
                                                      TagLib::String::UTF16BE,
                                                      TagLib::String::UTF8};
    for (const char* id : kIds) {
        const auto presence = random.Presence();
        if (presence == CRandomTags::EPresence::kAbsent) {
            continue;
        }
        const TagLib::String::Type encoding = kEncodings[random.Below(bV24 ? 4 : 2)];
        WString text = presence == CRandomTags::EPresence::kEmpty
                           ? WString()
                           : random.Text(encoding == TagLib::String::Latin1);
        if (std::string_view(id) == "TCON" && random.Below(3) == 0) {
            static const WString kNumbered[] = {u"(8)", u"(17)", u"13", u"(0)", u"(32)"};
            text = kNumbered[random.Below(5)];
        }
        if (text.empty()) {
            continue;  // TagLib writes no empty frame
        }
        auto* frame = new TagLib::ID3v2::TextIdentificationFrame(id, encoding);
        frame->setText(Tl(text));
        tag.addFrame(frame);
    }
    if (random.Below(4) != 0) {
        tag.setYear(static_cast<unsigned>(1950 + random.Below(80)));
    }
    for (const char* id : {"TRCK", "TPOS"}) {
        if (random.Below(4) != 0) {
            const int number = 1 + random.Below(30);
            const std::string text = std::to_string(number) +
                                     (random.Below(2) == 0 ? "/" + std::to_string(number + 3) : "");
            auto* frame = new TagLib::ID3v2::TextIdentificationFrame(id, TagLib::String::Latin1);
            frame->setText(TagLib::String(text));
            tag.addFrame(frame);
        }
    }
}

void FillId3v1(CRandomTags& random, TagLib::ID3v1::Tag& tag) {
    auto maybe = [&random](auto set) {
        if (random.Below(4) != 0) {
            set(Tl(random.Text(true, 30)));
        }
    };
    maybe([&tag](const TagLib::String& text) { tag.setTitle(text); });
    maybe([&tag](const TagLib::String& text) { tag.setArtist(text); });
    maybe([&tag](const TagLib::String& text) { tag.setAlbum(text); });
    if (random.Below(2) != 0) {
        tag.setGenre(TagLib::String(random.Below(2) == 0 ? "Rock" : "Jazz"));
    }
    if (random.Below(2) != 0) {
        tag.setYear(static_cast<unsigned>(1950 + random.Below(80)));
    }
    if (random.Below(2) != 0) {
        tag.setTrack(static_cast<unsigned>(1 + random.Below(99)));
    }
}

void FillMp4(CRandomTags& random, TagLib::MP4::Tag& tag) {
    static const char* kNames[] = {"\251nam", "\251ART", "\251alb", "aART", "\251wrt", "\251gen"};
    for (const char* name : kNames) {
        if (random.Presence() == CRandomTags::EPresence::kText) {
            tag.setItem(name, TagLib::StringList(Tl(random.Text(false))));
        }
    }
    if (random.Below(4) != 0) {
        tag.setItem(
            "\251day",
            TagLib::StringList(TagLib::String(std::to_string(1950 + random.Below(80)) + "-06-01")));
    }
    if (random.Below(4) != 0) {
        tag.setItem("trkn", TagLib::MP4::Item(1 + random.Below(30), random.Below(40)));
    }
    if (random.Below(4) != 0) {
        tag.setItem("disk", TagLib::MP4::Item(1 + random.Below(5), random.Below(6)));
    }
}

void FillInfo(CRandomTags& random, TagLib::RIFF::Info::Tag& tag) {
    for (const char* id : {"INAM", "IART", "IPRD", "IGNR"}) {
        if (random.Presence() == CRandomTags::EPresence::kText) {
            tag.setFieldText(id, Tl(random.Text(false)));
        }
    }
    if (random.Below(2) != 0) {
        tag.setYear(static_cast<unsigned>(1950 + random.Below(80)));
    }
    if (random.Below(2) != 0) {
        tag.setTrack(static_cast<unsigned>(1 + random.Below(30)));
    }
}

void TagWithTagLib(EKind kind, const fs::path& path, CRandomTags& random) {
    const char* name = path.c_str();
    switch (kind) {
        case EKind::kMp3V23:
        case EKind::kMp3V24:
        case EKind::kMp3V24AndV1:
        case EKind::kMp3V1: {
            TagLib::MPEG::File file(name, false);
            int tags = 0;
            if (kind != EKind::kMp3V1) {
                AddId3v2Frames(random, *file.ID3v2Tag(true), kind != EKind::kMp3V23);
                tags |= TagLib::MPEG::File::ID3v2;
            }
            if (kind == EKind::kMp3V1 || kind == EKind::kMp3V24AndV1) {
                FillId3v1(random, *file.ID3v1Tag(true));
                tags |= TagLib::MPEG::File::ID3v1;
            }
            file.save(tags, TagLib::File::StripOthers,
                      kind == EKind::kMp3V23 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4);
            return;
        }
        case EKind::kM4a: {
            TagLib::MP4::File file(name, false);
            FillMp4(random, *file.tag());
            file.save();
            return;
        }
        case EKind::kWav: {
            TagLib::RIFF::WAV::File file(name, false);
            if (random.Below(3) != 0) {
                AddId3v2Frames(random, *file.ID3v2Tag(), true);
            }
            FillInfo(random, *file.InfoTag());
            file.save(TagLib::RIFF::WAV::File::AllTags, TagLib::File::StripOthers,
                      random.Below(2) == 0 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4);
            return;
        }
        case EKind::kAiff: {
            TagLib::RIFF::AIFF::File file(name, false);
            AddId3v2Frames(random, *file.tag(), true);
            file.save();
            return;
        }
        case EKind::kUntagged:
            return;
    }
}

std::uint32_t LeadingNumber(WStringView text) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < text.size() && text[i] >= u'0' && text[i] <= u'9' && i < 9; ++i) {
        value = value * 10 + static_cast<std::uint32_t>(text[i] - u'0');
    }
    return value;
}

std::uint32_t Number(const TagLib::PropertyMap& properties, const char* key) {
    const auto found = properties.find(key);
    return found == properties.end() || found->second.isEmpty()
               ? 0
               : LeadingNumber(Wide(found->second.front()));
}

SFileTags FromTagLib(const TagLib::Tag& tag, const TagLib::PropertyMap& properties) {
    SFileTags fields;
    fields.strTitle = Wide(tag.title());
    fields.strArtist = Wide(tag.artist());
    fields.strAlbum = Wide(tag.album());
    fields.strGenre = Wide(tag.genre());
    fields.dwYear = tag.year();
    fields.dwTrack = tag.track();
    if (const auto found = properties.find("ALBUMARTIST"); found != properties.end()) {
        fields.strAlbumArtist = Wide(found->second.front());
    }
    if (const auto found = properties.find("COMPOSER"); found != properties.end()) {
        fields.strComposer = Wide(found->second.front());
    }
    fields.dwDisc = Number(properties, "DISCNUMBER");
    return fields;
}

// TagLib's own view, except for WAV: its tag() there is the ID3v2 tag alone, and the INFO
// texts, which the reader takes for what ID3v2 lacks, are asked for on their own.
SFileTags ReadWithTagLib(EKind kind, const fs::path& path) {
    if (kind == EKind::kWav) {
        TagLib::RIFF::WAV::File file(path.c_str(), false);
        SFileTags fields = FromTagLib(*file.ID3v2Tag(), file.ID3v2Tag()->properties());
        fields.FillGapsFrom(FromTagLib(*file.InfoTag(), {}));
        return fields;
    }
    const TagLib::FileRef ref(path.c_str(), false);
    if (ref.isNull() || ref.tag() == nullptr) {
        return {};
    }
    return FromTagLib(*ref.tag(), ref.file()->properties());
}

TEST(TagLibDifferential, EveryFieldAgreesWithTagLib) {
    const fs::path folder =
        fs::temp_directory_path() / ("kestrum-taglib-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    platform::Platform().MapDrive(u'T', WideFromUtf8(folder.string()));
    CRandomTags random(20240611);
    int files = 0;
    int fields = 0;
    int held = 0;  // fields the tags gave a value
    for (const EKind kind : kKinds) {
        for (int i = 0; i < kFilesPerKind; ++i) {
            const std::string name = "song " + std::to_string(files) + Extension(kind);
            const fs::path path = folder / name;
            {
                const Bytes skeleton = Skeleton(kind);
                std::ofstream out(path, std::ios::binary);
                out.write(static_cast<const char*>(static_cast<const void*>(skeleton.data())),
                          static_cast<std::streamsize>(skeleton.size()));
            }
            TagWithTagLib(kind, path, random);
            SFileTags expected = ReadWithTagLib(kind, path);
            if (expected.strTitle.empty()) {
                expected.strTitle = TitleFromPath(WideFromUtf8(name));
            }
            SFileTags mine;
            ASSERT_TRUE(ReadFileTags((u"T:\\" + WideFromUtf8(name)).c_str(), mine));
            EXPECT_EQ(mine, expected) << name;
            ++files;
            fields += 9;
            for (const WString* pText :
                 {&expected.strArtist, &expected.strAlbum, &expected.strAlbumArtist,
                  &expected.strComposer, &expected.strGenre}) {
                held += pText->empty() ? 0 : 1;
            }
            held += (expected.dwYear != 0) + (expected.dwTrack != 0) + (expected.dwDisc != 0) +
                    (expected.strTitle != TitleFromPath(WideFromUtf8(name)));
        }
    }
    if (!HasFailure()) {
        fs::remove_all(folder);
    }
    std::cout << "compared " << files << " files, " << fields << " fields (" << held
              << " with a value) with TagLib\n";
    ::testing::Test::RecordProperty("files", files);
    ::testing::Test::RecordProperty("fields", fields);
}

}  // namespace
