// Builds iTunesDB images record by record, patching each total length once its children are
// written.
#include "tools/ItunesDbWriter.h"

#include <zlib.h>

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace dbwriter {
namespace {

void PutTag(std::vector<std::uint8_t>& image, std::size_t offset, const char* tag) {
    for (std::size_t i = 0; i < 4; ++i) {
        image[offset + i] = static_cast<std::uint8_t>(tag[i]);
    }
}

// Appends a zeroed header of headerLength bytes with tag and header length filled in.
std::size_t BeginRecord(std::vector<std::uint8_t>& image, const char* tag,
                        std::uint32_t headerLength) {
    const std::size_t start = image.size();
    image.resize(start + headerLength, 0);
    PutTag(image, start, tag);
    PutU32(image, start + 4, headerLength);
    return start;
}

// Sets the total length at 8 to everything written since start.
void EndRecord(std::vector<std::uint8_t>& image, std::size_t start) {
    PutU32(image, start + 8, static_cast<std::uint32_t>(image.size() - start));
}

std::size_t WriteDataObject(std::vector<std::uint8_t>& image, const SDataObjectEntry& object) {
    const std::size_t start = BeginRecord(image, "mhod", kObjectHeaderLength);
    // The string header continues past the record header up to the string itself.
    image.resize(start + kObjectStringOffset, 0);
    PutU32(image, start + 12, object.dwType);
    PutU32(image, start + 24, 1);
    std::size_t stringLength = 0;
    if (object.rawString) {
        image.insert(image.end(), object.rawString->begin(), object.rawString->end());
        stringLength = object.rawString->size();
    } else {
        for (const WChar ch : object.strText) {
            image.push_back(static_cast<std::uint8_t>(ch & 0xFF));
            image.push_back(static_cast<std::uint8_t>(ch >> 8));
        }
        stringLength = object.strText.size() * 2;
    }
    PutU32(image, start + 28, static_cast<std::uint32_t>(stringLength));
    EndRecord(image, start);
    return start;
}

void WriteTrack(std::vector<std::uint8_t>& image, const STrackEntry& track, std::size_t index,
                SDatabaseLayout& layout) {
    if (track.dwHeaderLength < 0x28) {
        throw std::invalid_argument("track header length below 0x28");
    }
    const std::size_t start = BeginRecord(image, "mhit", track.dwHeaderLength);
    layout.tracks.push_back(start);
    const std::vector<SDataObjectEntry> objects = DataObjectsOf(track);
    PutU32(image, start + 12,
           track.dataObjectCount.value_or(static_cast<std::uint32_t>(objects.size())));
    PutU32(image, start + 16,
           track.dwTrackId != 0 ? track.dwTrackId : static_cast<std::uint32_t>(index + 1));
    PutU32(image, start + 20, 1);  // visible
    std::string type = track.strFileType;
    type.resize(4, ' ');
    for (std::size_t i = 0; i < 4; ++i) {
        image[start + 27 - i] = static_cast<std::uint8_t>(type[i]);
    }
    PutU32(image, start + 36, track.dwFileSize);
    const std::pair<std::size_t, std::uint32_t> numbers[] = {{0x28, track.dwLengthMs},
                                                             {0x2C, track.dwTrackNumber},
                                                             {0x34, track.dwYear},
                                                             {0x5C, track.dwDiscNumber}};
    for (const auto& [offset, value] : numbers) {
        if (offset + 4 <= track.dwHeaderLength) {
            PutU32(image, start + offset, value);
        }
    }
    for (const STrackEntry::SHeaderField& field : track.headerFields) {
        if (field.offset + field.width <= track.dwHeaderLength) {
            if (field.width == 1) {
                image[start + field.offset] = static_cast<std::uint8_t>(field.dwValue);
            } else {
                PutU32(image, start + field.offset, field.dwValue);
            }
        }
    }
    std::vector<std::size_t>& objectOffsets = layout.objects.emplace_back();
    for (const SDataObjectEntry& object : objects) {
        objectOffsets.push_back(WriteDataObject(image, object));
    }
    EndRecord(image, start);
}

std::size_t BeginDataset(std::vector<std::uint8_t>& image, std::uint32_t type,
                         SDatabaseLayout& layout) {
    const std::size_t start = BeginRecord(image, "mhsd", kDatasetHeaderLength);
    PutU32(image, start + 12, type);
    layout.datasets.push_back(start);
    return start;
}

// A dataset holding only an empty list record of the given tag.
void WriteEmptyDataset(std::vector<std::uint8_t>& image, std::uint32_t type, const char* listTag,
                       SDatabaseLayout& layout) {
    const std::size_t start = BeginDataset(image, type, layout);
    BeginRecord(image, listTag, kListHeaderLength);
    EndRecord(image, start);
}

void WritePlaylist(std::vector<std::uint8_t>& image, const SPlaylistEntry& playlist,
                   SDatabaseLayout& layout) {
    constexpr std::uint32_t kPlaylistHeaderLength = 0x6C;
    constexpr std::uint32_t kItemHeaderLength = 0x4C;
    const std::size_t start = BeginRecord(image, "mhyp", kPlaylistHeaderLength);
    layout.playlists.push_back(start);
    PutU32(image, start + 12, 1);
    PutU32(image, start + 16, static_cast<std::uint32_t>(playlist.trackIds.size()));
    image[start + 0x14] = playlist.bMaster ? 1 : 0;
    WriteDataObject(image, SDataObjectEntry{1, playlist.strName, std::nullopt});
    for (const std::uint32_t id : playlist.trackIds) {
        const std::size_t item = BeginRecord(image, "mhip", kItemHeaderLength);
        PutU32(image, item + 0x18, id);
        EndRecord(image, item);
    }
    EndRecord(image, start);
}

}  // namespace

std::vector<SDataObjectEntry> DataObjectsOf(const STrackEntry& track) {
    if (track.objects) {
        return *track.objects;
    }
    std::vector<SDataObjectEntry> objects;
    const auto add = [&objects](std::uint32_t type, const std::optional<WString>& text) {
        if (text) {
            objects.push_back(SDataObjectEntry{type, *text, std::nullopt});
        }
    };
    add(kObjectTitle, track.title);
    add(kObjectArtist, track.artist);
    add(kObjectAlbum, track.album);
    add(kObjectLocation, track.location);
    objects.insert(objects.end(), track.extraObjects.begin(), track.extraObjects.end());
    return objects;
}

std::vector<std::uint8_t> WriteItunesDb(const SDatabaseContent& content, SDatabaseLayout* pLayout) {
    SDatabaseLayout layout;
    std::vector<std::uint8_t> image;
    const std::size_t database = BeginRecord(image, "mhbd", kDatabaseHeaderLength);
    PutU32(image, database + 12, 1);
    PutU32(image, database + 16, content.dwVersion);
    PutU32(image, database + 20,
           1u + (content.bAlbumsDataset ? 1u : 0u) + (content.bPlaylistDataset ? 1u : 0u));

    if (content.bAlbumsDataset) {
        WriteEmptyDataset(image, 4, "mhla", layout);
    }

    const std::size_t dataset = BeginDataset(image, 1, layout);
    layout.trackDataset = dataset;
    const std::size_t list = BeginRecord(image, "mhlt", kListHeaderLength);
    layout.trackList = list;
    PutU32(image, list + 8,
           content.trackCount.value_or(static_cast<std::uint32_t>(content.tracks.size())));
    for (std::size_t i = 0; i < content.tracks.size(); ++i) {
        WriteTrack(image, content.tracks[i], i, layout);
    }
    // The list's field at 8 is its track count, not a total length: only the dataset is ended.
    EndRecord(image, dataset);

    if (content.bPlaylistDataset) {
        const std::size_t playlists = BeginDataset(image, content.dwPlaylistDatasetType, layout);
        const std::size_t playlistList = BeginRecord(image, "mhlp", kListHeaderLength);
        PutU32(image, playlistList + 8, static_cast<std::uint32_t>(content.playlists.size()));
        for (const SPlaylistEntry& playlist : content.playlists) {
            WritePlaylist(image, playlist, layout);
        }
        EndRecord(image, playlists);
    }

    EndRecord(image, database);
    if (pLayout != nullptr) {
        *pLayout = std::move(layout);
    }
    return image;
}

std::vector<std::uint8_t> CompressItunesDb(const std::vector<std::uint8_t>& image) {
    const std::uint32_t dwHeader = GetU32(image, 4);
    if (dwHeader > image.size()) {
        throw std::invalid_argument("database header longer than the image");
    }
    const std::uint32_t dwNewHeader = std::max(dwHeader, kCompressedHeaderLength);
    std::vector<std::uint8_t> result(image.begin(), image.begin() + dwHeader);
    result.resize(dwNewHeader, 0);
    PutU32(result, 4, dwNewHeader);
    PutU32(result, 12, 2);
    result[0xA8] = 1;

    const std::size_t bodySize = image.size() - dwHeader;
    uLongf compressedSize = compressBound(static_cast<uLong>(bodySize));
    result.resize(dwNewHeader + compressedSize);
    if (compress2(result.data() + dwNewHeader, &compressedSize, image.data() + dwHeader,
                  static_cast<uLong>(bodySize), Z_DEFAULT_COMPRESSION) != Z_OK) {
        throw std::runtime_error("zlib could not compress the database");
    }
    result.resize(dwNewHeader + compressedSize);
    PutU32(result, 8, static_cast<std::uint32_t>(result.size()));
    return result;
}

void PutU32(std::vector<std::uint8_t>& image, std::size_t offset, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        image.at(offset + i) = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint32_t GetU32(const std::vector<std::uint8_t>& image, std::size_t offset) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value |= static_cast<std::uint32_t>(image.at(offset + i)) << (8 * i);
    }
    return value;
}

std::vector<std::uint8_t> WritePlayCounts(const std::vector<SPlayCountEntry>& entries,
                                          std::uint32_t entryLength) {
    constexpr std::uint32_t kHeaderLength = 0x60;
    std::vector<std::uint8_t> file(kHeaderLength + entries.size() * entryLength, 0);
    const char* pszTag = "mhdp";
    std::copy(pszTag, pszTag + 4, file.begin());
    PutU32(file, 4, kHeaderLength);
    PutU32(file, 8, entryLength);
    PutU32(file, 12, static_cast<std::uint32_t>(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const SPlayCountEntry& entry = entries[i];
        const std::uint32_t words[] = {entry.dwPlays,      entry.dwLastPlayed, entry.dwBookmark,
                                       entry.dwRating,     entry.dwUnused,     entry.dwSkips,
                                       entry.dwLastSkipped};
        for (std::size_t w = 0; w < 7 && (w + 1) * 4 <= entryLength; ++w) {
            PutU32(file, kHeaderLength + i * entryLength + w * 4, words[w]);
        }
    }
    return file;
}

}  // namespace dbwriter
