// Picks the container reader by the file's first bytes and merges what the tags give.
#include "songdb/TagReader.h"

#include <array>
#include <string_view>
#include <utility>

#include "songdb/tags/Id3v1Tag.h"
#include "songdb/tags/Id3v2Tag.h"
#include "songdb/tags/Mp4Tag.h"
#include "songdb/tags/RiffTag.h"

void SFileTags::FillGapsFrom(const SFileTags& other) {
    for (auto [pMine, pTheirs] :
         {std::pair{&strTitle, &other.strTitle}, std::pair{&strArtist, &other.strArtist},
          std::pair{&strAlbum, &other.strAlbum}, std::pair{&strAlbumArtist, &other.strAlbumArtist},
          std::pair{&strComposer, &other.strComposer}, std::pair{&strGenre, &other.strGenre}}) {
        if (pMine->empty()) {
            *pMine = *pTheirs;
        }
    }
    for (auto [pMine, pTheirs] :
         {std::pair{&dwYear, &other.dwYear}, std::pair{&dwTrack, &other.dwTrack},
          std::pair{&dwDisc, &other.dwDisc}}) {
        if (*pMine == 0) {
            *pMine = *pTheirs;
        }
    }
}

namespace {

// Atoms an MP4 file may begin with.
constexpr std::array<std::string_view, 6> kMp4FirstAtoms = {"ftyp", "moov", "mdat",
                                                            "free", "skip", "wide"};

}  // namespace

ETagContainer SniffTagContainer(tags::CByteSource& source) {
    std::array<std::uint8_t, 12> head{};
    if (!source.ReadAt(0, head)) {
        // Too short for any container's header; an ID3v2 header alone is 10 bytes.
        return ETagContainer::kUnknown;
    }
    const std::string_view text(static_cast<const char*>(static_cast<const void*>(head.data())),
                                head.size());
    if (text.starts_with("ID3")) {
        return ETagContainer::kMpeg;
    }
    if (text.starts_with("RIFF") && text.substr(8) == "WAVE") {
        return ETagContainer::kWave;
    }
    if (text.starts_with("FORM") && (text.substr(8) == "AIFF" || text.substr(8) == "AIFC")) {
        return ETagContainer::kAiff;
    }
    for (const std::string_view atom : kMp4FirstAtoms) {
        if (text.substr(4, 4) == atom) {
            return ETagContainer::kMp4;
        }
    }
    return ETagContainer::kUnknown;
}

namespace {

// ID3v2 first, ID3v1 for what it lacks.
bool ReadMpegTags(tags::CByteSource& source, bool bId3v2, SFileTags& fields) {
    tags::CId3v2Tag v2(0, source.Size());
    if (bId3v2) {
        v2.Read(source);
    }
    tags::CId3v1Tag v1;
    v1.Read(source);
    fields = v2.Fields();
    fields.FillGapsFrom(v1.Fields());
    return v2.IsValid() || v1.IsValid();
}

bool ReadWith(tags::CTag&& tag, tags::CByteSource& source, SFileTags& fields) {
    tag.Read(source);
    fields = tag.Fields();
    return tag.IsValid();
}

}  // namespace

bool ReadTags(tags::CByteSource& source, SFileTags& fields) {
    switch (SniffTagContainer(source)) {
        case ETagContainer::kMpeg:
            return ReadMpegTags(source, true, fields);
        case ETagContainer::kMp4:
            return ReadWith(tags::CMp4Tag(), source, fields);
        case ETagContainer::kWave:
            return ReadWith(tags::CRiffTag(tags::CRiffTag::EForm::kWave), source, fields);
        case ETagContainer::kAiff:
            return ReadWith(tags::CRiffTag(tags::CRiffTag::EForm::kAiff), source, fields);
        case ETagContainer::kUnknown:
            break;
    }
    return ReadMpegTags(source, false, fields);
}

bool ReadFileTags(const WChar* path, SFileTags& fields, STagReadCounts* pCounts) {
    tags::CFileSource source(path);
    fields = SFileTags();
    if (source.IsOpen()) {
        ReadTags(source, fields);
    }
    if (fields.strTitle.empty()) {
        fields.strTitle = TitleFromPath(path);
    }
    if (pCounts != nullptr) {
        pCounts->bytesRead = source.BytesRead();
        pCounts->dwSeeks = source.Seeks();
    }
    return source.IsOpen();
}

WString TitleFromPath(WStringView path) {
    const std::size_t slash = path.find_last_of(u"\\/:");
    const WStringView name = slash == WStringView::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind(u'.');
    return WString(dot == WStringView::npos || dot == 0 ? name : name.substr(0, dot));
}
