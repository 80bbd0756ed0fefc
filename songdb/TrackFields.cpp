// What the song database reads besides the song table's three columns: a track's fields (for
// names and listings, with the plays since the last sync), and the playlists. Each read stays
// inside its record; a field the record is too short for is absent.
#include <algorithm>

#include "songdb/ItunesDbRecords.h"
#include "songdb/SongDatabase.h"

using namespace itunesdb;
using trackrecord::ENumber;

namespace {

// Tag and total length: what a playlist's child must hold to be looked at or stepped over.
constexpr std::size_t kMinChildFields = 12;
// Tag, header length, total length and type (or count): the smallest record walked here.
constexpr std::size_t kMinRecordFields = 16;

}  // namespace

bool CSongDatabase::GetTrackFields(int index, trackrecord::STrackFields& fields) const {
    if (!IsWalkedTrack(index)) {
        return false;
    }
    const std::size_t track = m_tracks[static_cast<std::size_t>(index)];
    if (track == kFileSong) {
        // A song file's own tags stand in for the record it does not have; it has no history.
        const SFileTags& file = m_fileSongTags[static_cast<std::size_t>(index) - m_nFirstFileSong];
        fields = trackrecord::STrackFields{};
        fields.strGenre = file.strGenre;
        fields.strComposer = file.strComposer;
        fields.strAlbumArtist = file.strAlbumArtist;
        const auto stored = [](std::uint32_t dwValue) {
            return dwValue != 0 ? std::optional<std::uint32_t>(dwValue) : std::nullopt;
        };
        fields[ENumber::kTrack] = stored(file.dwTrack);
        fields[ENumber::kYear] = stored(file.dwYear);
        fields[ENumber::kDisc] = stored(file.dwDisc);
        return true;
    }
    fields = trackrecord::CTrackRecord(Image(), track).ReadAll();
    if (static_cast<std::size_t>(index) < m_playCounts.size()) {
        playcounts::Merge(m_playCounts[static_cast<std::size_t>(index)], fields);
    }
    return true;
}

bool CSongDatabase::GetTrackTags(int index, exportname::STrackTags& tags) const {
    trackrecord::STrackFields fields;
    if (!GetTrackFields(index, fields)) {
        return false;
    }
    const auto cell = [this, index](int column) {
        WChar szText[kMaxPath + 1] = {};
        const int nLength =
            m_songTable.GetItemText(index, column, szText, static_cast<int>(kMaxPath + 1));
        return WString(szText, static_cast<std::size_t>(std::max(nLength, 0)));
    };
    tags.strTitle = cell(0);
    tags.strArtist = cell(1);
    tags.strAlbum = cell(2);
    tags.strGenre = std::move(fields.strGenre);
    tags.strComposer = std::move(fields.strComposer);
    tags.strAlbumArtist = std::move(fields.strAlbumArtist);
    tags.dwTrack = fields[ENumber::kTrack].value_or(0);
    tags.dwYear = fields[ENumber::kYear].value_or(0);
    tags.dwDisc = fields[ENumber::kDisc].value_or(0);
    return true;
}

std::uint32_t CSongDatabase::GetTrackLength(int index) const {
    if (!IsWalkedTrack(index) || m_tracks[static_cast<std::size_t>(index)] == kFileSong) {
        return 0;
    }
    return trackrecord::CTrackRecord(Image(), m_tracks[static_cast<std::size_t>(index)])
        .Number(ENumber::kLength)
        .value_or(0);
}

WString CSongDatabase::GetFileType(int index) const {
    if (!IsWalkedTrack(index)) {
        return {};
    }
    const WString suffix = FormSuffix(index);
    return suffix.empty() || suffix[0] != u'.' ? suffix : suffix.substr(1);
}

playcounts::EState CSongDatabase::LoadPlayCounts() {
    m_playCounts.clear();
    WChar szPath[kMaxPath] = {};
    WString path(1, m_chDrive);
    path += u":\\Ipod_Control\\iTunes\\Play Counts";
    WCopyBounded(szPath, kMaxPath, path);
    platform::IPlatform& os = platform::Platform();
    const platform::FileHandle hFile = os.OpenFileForRead(szPath);
    if (hFile == nullptr) {
        return playcounts::EState::kMissing;
    }
    std::uint64_t size = 0;
    std::unique_ptr<platform::CFileImage> pFile;
    // A file of many megabytes is no Play Counts file of any player.
    if (os.GetFileSize(hFile, size) && size <= kMaxPlayCountsSize) {
        pFile = os.ReadWholeFile(hFile, size);
    }
    os.CloseFile(hFile);
    return pFile != nullptr ? playcounts::Parse(pFile->Bytes(), m_dwListedTracks, m_playCounts)
                            : playcounts::EState::kMalformed;
}

// The playlist dataset (type 2), or where there is none the one with podcasts grouped (type
// 3); kUnset when neither is found.
std::size_t CSongDatabase::FindPlaylistDataset() const {
    std::size_t found = kUnset;
    std::size_t dataset = ImageU32(kOffHeaderLength);
    while (ImageHas(dataset, kMinRecordFields) && ImageU32(dataset) == kTagDataset) {
        const std::uint32_t dwType = ImageU32(dataset + kOffDatasetType);
        if (dwType == kDatasetPlaylists) {
            return dataset;
        }
        if (dwType == kDatasetPodcastPlaylists && found == kUnset) {
            found = dataset;
        }
        const std::uint32_t dwTotal = ImageU32(dataset + kOffTotalLength);
        if (dwTotal < kMinRecordFields || dwTotal > Image().size() - dataset) {
            break;
        }
        dataset += dwTotal;
    }
    return found;
}

std::vector<SPlaylist> CSongDatabase::ReadPlaylists() const {
    std::vector<SPlaylist> playlists;
    if (Image().size() == 0) {
        return playlists;
    }
    const std::size_t dataset = FindPlaylistDataset();
    if (dataset == kUnset) {
        return playlists;
    }
    const std::size_t datasetEnd = RecordEnd(dataset, Image().size());
    const std::size_t list =
        dataset + std::min<std::size_t>(ImageU32(dataset + kOffHeaderLength), datasetEnd - dataset);
    if (datasetEnd - list < kMinChildFields || ImageU32(list) != kTagPlaylistList) {
        return playlists;
    }
    // Track ids to track indexes; the first track of an id wins.
    std::unordered_map<std::uint32_t, int> ids;
    for (std::size_t i = 0; i < m_tracks.size(); ++i) {
        if (m_tracks[i] != kUnset && m_tracks[i] != kFileSong) {
            ids.emplace(trackrecord::CTrackRecord(Image(), m_tracks[i])
                            .Number(ENumber::kTrackId)
                            .value_or(0),
                        static_cast<int>(i));
        }
    }
    const std::uint32_t dwCount = ImageU32(list + kOffTrackCount);
    std::size_t playlist =
        list + std::min<std::size_t>(ImageU32(list + kOffHeaderLength), datasetEnd - list);
    for (std::uint32_t i = 0; i < dwCount; ++i) {
        if (datasetEnd - playlist < kMinRecordFields || ImageU32(playlist) != kTagPlaylist) {
            break;
        }
        const std::size_t playlistEnd = RecordEnd(playlist, datasetEnd);
        SPlaylist entry;
        ReadPlaylist(playlist, playlistEnd, ids, entry);
        playlists.push_back(std::move(entry));
        if (playlistEnd - playlist < kMinRecordFields) {
            break;
        }
        playlist = playlistEnd;
    }
    return playlists;
}

// One playlist's name, master flag and items, from the children after its header: string
// data objects and items, each stepped over by its total length.
void CSongDatabase::ReadPlaylist(std::size_t playlist, std::size_t end,
                                 const std::unordered_map<std::uint32_t, int>& ids,
                                 SPlaylist& entry) const {
    const std::size_t headerLength =
        std::min<std::size_t>(ImageU32(playlist + kOffHeaderLength), end - playlist);
    entry.bMaster =
        kOffPlaylistHidden < headerLength && Image()[playlist + kOffPlaylistHidden] == 1;
    std::size_t child = playlist + headerLength;
    while (child < end && end - child >= kMinChildFields) {
        const std::uint32_t dwTag = ImageU32(child);
        const std::size_t childEnd = RecordEnd(child, end);
        if (dwTag == kTagDataObject && childEnd - child >= kMinRecordFields &&
            ImageU32(child + kOffObjectType) == kTypePlaylistName) {
            entry.strName = ObjectText(child, end);
        } else if (dwTag == kTagPlaylistItem && childEnd - child >= kOffItemTrackId + 4) {
            if (const auto found = ids.find(ImageU32(child + kOffItemTrackId));
                found != ids.end()) {
                entry.tracks.push_back(found->second);
            }
        }
        if (childEnd - child < kMinChildFields) {
            break;
        }
        child = childEnd;
    }
}
