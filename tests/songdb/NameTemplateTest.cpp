// Names from templates: tokens, brackets, the "Unknown" texts, the safe-name rules, and the
// shortening that keeps a name within its component and path limits.
#include <gtest/gtest.h>

#include "songdb/NameTemplate.h"

namespace {

using exportname::STrackTags;

STrackTags Tags() {
    STrackTags tags;
    tags.strTitle = u"Intro";
    tags.strArtist = u"AC/DC";
    tags.strAlbum = u"Back in Black";
    tags.strGenre = u"Rock";
    tags.dwTrack = 7;
    tags.dwYear = 1980;
    return tags;
}

struct SExpandCase {
    const char* name;
    WString tmpl;
    STrackTags tags;
    WString suffix;
    WString expected;  // relative name, '\' between folders
};

STrackTags With(void (*change)(STrackTags&)) {
    STrackTags tags = Tags();
    change(tags);
    return tags;
}

class ExpandTemplate : public testing::TestWithParam<SExpandCase> {};

TEST_P(ExpandTemplate, GivesTheSafeName) {
    const SExpandCase& row = GetParam();
    const exportname::SNameParts parts = exportname::ExpandTemplate(row.tmpl, row.tags, row.suffix);
    WString name;
    ASSERT_TRUE(exportname::FitName(parts, u"", 259, name));
    EXPECT_EQ(Utf8FromWide(name), Utf8FromWide(row.expected));
}

const WString kLibrary = exportname::PresetTemplate("library");

INSTANTIATE_TEST_SUITE_P(
    Cases, ExpandTemplate,
    testing::Values(
        SExpandCase{"Library", kLibrary, Tags(), u".mp3", u"AC_DC\\Back in Black\\07 Intro.mp3"},
        SExpandCase{"LibraryWithDisc", kLibrary,
                    With([](STrackTags& changed) { changed.dwDisc = 2; }), u".mp3",
                    u"AC_DC\\Back in Black\\2-07 Intro.mp3"},
        SExpandCase{"AlbumArtistFirst", kLibrary,
                    With([](STrackTags& changed) { changed.strAlbumArtist = u"Various"; }), u".mp3",
                    u"Various\\Back in Black\\07 Intro.mp3"},
        SExpandCase{"NothingKnown", kLibrary, STrackTags{}, u".mp3",
                    u"Unknown Artist\\Unknown Album\\Unknown Title.mp3"},
        SExpandCase{"EmptyArtistOutsideBrackets", exportname::PresetTemplate("artist-title"),
                    With([](STrackTags& changed) { changed.strArtist.clear(); }), u".M4A",
                    u"Unknown Artist - Intro.M4A"},
        SExpandCase{"EmptyGroupLeftOut", u"[{composer}/]{title}", Tags(), u".mp3", u"Intro.mp3"},
        SExpandCase{"GroupKept", u"[{genre}/]{title}[ ({year})]", Tags(), u".mp3",
                    u"Rock\\Intro (1980).mp3"},
        SExpandCase{"LiteralsMadeSafe", u"{title}: {year:06}?", Tags(), u".mp3",
                    u"Intro_ 001980_.mp3"},
        SExpandCase{"ForbiddenAndControl", u"{title}",
                    With([](STrackTags& changed) { changed.strTitle = u"What?*\"<>|\t\\x"; }),
                    u".mp3", u"What________x.mp3"},
        SExpandCase{"Reserved", u"{title}",
                    With([](STrackTags& changed) { changed.strTitle = u"con"; }), u".mp3",
                    u"con_.mp3"},
        SExpandCase{"ReservedWithExtension", u"{album}/{title}", With([](STrackTags& changed) {
                        changed.strAlbum = u"LPT9.old";
                        changed.strTitle = u"NUL .x";
                    }),
                    u"", u"LPT9_.old\\NUL_ .x"},
        SExpandCase{"NotReserved", u"{title}",
                    With([](STrackTags& changed) { changed.strTitle = u"COM10"; }), u".mp3",
                    u"COM10.mp3"},
        SExpandCase{"TrailingDotsWithoutSuffix", u"{title}",
                    With([](STrackTags& changed) { changed.strTitle = u"Trailing dot. "; }), u"",
                    u"Trailing dot"},
        SExpandCase{"DotsNeverClimb", u"{album}/{title}", With([](STrackTags& changed) {
                        changed.strAlbum = u"..";
                        changed.strTitle = u"...";
                    }),
                    u"", u"_\\_"},
        SExpandCase{"SuffixMadeSafe", u"{title}", Tags(), u".M?3.", u"Intro.M_3"},
        SExpandCase{"EmptyTitlePart", u"[{composer}]", Tags(), u".mp3", u"_.mp3"}),
    [](const testing::TestParamInfo<SExpandCase>& param) { return param.param.name; });

TEST(NameTemplate, ChecksTemplates) {
    for (const char* preset : {"flat", "artist-title", "library"}) {
        std::string error;
        EXPECT_TRUE(exportname::CheckTemplate(exportname::PresetTemplate(preset), error))
            << preset << ": " << error;
    }
    for (const WString bad : {u"", u"{nope}", u"{title:02}", u"{track:x}", u"{track:123}",
                              u"[[{disc}]]", u"{title", u"title}", u"[{disc}", u"{disc}]"}) {
        std::string error;
        EXPECT_FALSE(exportname::CheckTemplate(bad, error)) << Utf8FromWide(bad);
        EXPECT_FALSE(error.empty());
    }
}

TEST(NameTemplate, ShortensTheTitleToFitComponentAndPath) {
    struct SFitCase {
        WString title;
        WStringView numbering;
        std::size_t room;
        std::size_t units;  // expected length of the whole name
    };
    // "A\" + title + numbering + ".mp3"
    const std::vector<SFitCase> rows = {
        {WString(300, u'a'), u"", 1000, 2 + 255},           // the component limit
        {WString(300, u'a'), u" (2)", 1000, 2 + 255},       // numbering kept, title cut
        {WString(300, u'a'), u"", 100, 100},                // the path limit
        {WString(200, u'\u00E9'), u"", 1000, 2 + 125 + 4},  // 255 UTF-8 bytes: 125 x 2 + 4
        {u"Short", u"", 11, 11},                            // just fits
    };
    for (const SFitCase& row : rows) {
        exportname::SNameParts parts{u"A\\", row.title, u".mp3"};
        WString name;
        ASSERT_TRUE(exportname::FitName(parts, row.numbering, row.room, name)) << row.room;
        EXPECT_EQ(name.size(), row.units);
        EXPECT_TRUE(name.ends_with(WString(row.numbering) + u".mp3"));
    }
    // A surrogate pair is never split: 62 emoji (248 bytes) plus ".mp3".
    exportname::SNameParts emoji{u"", WString(200, u'x'), u".mp3"};
    for (std::size_t i = 0; i < 200; i += 2) {
        emoji.strTitle[i] = 0xD83C;
        emoji.strTitle[i + 1] = 0xDFB5;
    }
    WString name;
    ASSERT_TRUE(exportname::FitName(emoji, u"", 1000, name));
    EXPECT_EQ(name.size(), 124u + 4u);
    // Nothing of the title fits.
    EXPECT_FALSE(exportname::FitName({u"A\\", u"Song", u".mp3"}, u"", 6, name));
    // A title cut to a device name is cut further rather than given up.
    ASSERT_TRUE(exportname::FitName({u"", u"Auxiliary", u".mp3"}, u"", 7, name));
    EXPECT_EQ(name, u"Au.mp3");
    ASSERT_TRUE(exportname::FitName({u"", u"COM1 Song", u""}, u"", 4, name));
    EXPECT_EQ(name, u"COM");
}

TEST(NameTemplate, SafeFileNameForPlaylists) {
    EXPECT_EQ(exportname::SafeFileName(u"Road/Trip: 2024?", u".m3u8"), u"Road_Trip_ 2024_.m3u8");
    EXPECT_EQ(exportname::SafeFileName(u"aux", u".m3u8"), u"aux_.m3u8");
    EXPECT_EQ(exportname::SafeFileName(u"", u".m3u8"), u"_.m3u8");
}

}  // namespace
