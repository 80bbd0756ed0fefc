// What the song database reads besides the song table's three columns: the numbers and texts
// a name template uses, and the playlists. Each read stays inside its record; a field the
// record is too short for reads as 0 or empty.
#include <algorithm>

#include "songdb/ItunesDbRecords.h"
#include "songdb/SongDatabase.h"

using namespace itunesdb;

namespace {

// Tag and total length: what a playlist's child must hold to be looked at or stepped over.
constexpr std::size_t kMinChildFields = 12;
// Tag, header length, total length and type (or count): the smallest record walked here.
constexpr std::size_t kMinRecordFields = 16;

}  // namespace

// A u32 of the track's header; 0 when the header (or the record) ends before it.
std::uint32_t CSongDatabase::TrackField(std::size_t track, std::size_t offset) const {
    const std::size_t recordLength = RecordEnd(track, Image().size()) - track;
    const std::size_t headerLength =
        std::min<std::size_t>(ImageU32(track + kOffHeaderLength), recordLength);
    return offset + 4 <= headerLength ? ImageU32(track + offset) : 0;
}

// The text of the track's last data object of type; empty when it has none.
WString CSongDatabase::TrackString(std::size_t track, std::uint32_t type) const {
    const std::size_t trackEnd = RecordEnd(track, Image().size());
    const std::uint32_t dwCount = ImageU32(track + kOffDataObjectCount);
    std::size_t object =
        track + std::min<std::size_t>(ImageU32(track + kOffHeaderLength), trackEnd - track);
    WString text;
    for (std::uint32_t i = 0; i < dwCount; ++i) {
        if (object >= trackEnd || trackEnd - object < kMinRecordFields ||
            ImageU32(object) != kTagDataObject) {
            break;
        }
        if (ImageU32(object + kOffObjectType) == type) {
            text = ObjectText(object, trackEnd);
        }
        const std::uint32_t dwTotal = ImageU32(object + kOffTotalLength);
        if (dwTotal == 0) {
            break;
        }
        object = RecordEnd(object, trackEnd);
    }
    return text;
}

bool CSongDatabase::GetTrackTags(int index, exportname::STrackTags& tags) const {
    if (!IsWalkedTrack(index)) {
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
    const std::size_t track = m_tracks[static_cast<std::size_t>(index)];
    if (track == kFileSong) {
        // A song file's own tags stand in for the record it does not have.
        const SFileTags& file = m_fileSongTags[static_cast<std::size_t>(index) - m_nFirstFileSong];
        tags.strGenre = file.strGenre;
        tags.strComposer = file.strComposer;
        tags.strAlbumArtist = file.strAlbumArtist;
        tags.dwTrack = file.dwTrack;
        tags.dwYear = file.dwYear;
        tags.dwDisc = file.dwDisc;
        return true;
    }
    tags.strGenre = TrackString(track, kTypeGenre);
    tags.strComposer = TrackString(track, kTypeComposer);
    tags.strAlbumArtist = TrackString(track, kTypeAlbumArtist);
    tags.dwTrack = TrackField(track, kOffTrackNumber);
    tags.dwYear = TrackField(track, kOffYear);
    tags.dwDisc = TrackField(track, kOffDiscNumber);
    return true;
}

std::uint32_t CSongDatabase::GetTrackLength(int index) const {
    return IsWalkedTrack(index)
               ? TrackField(m_tracks[static_cast<std::size_t>(index)], kOffLengthMs)
               : 0;
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
            ids.emplace(TrackField(m_tracks[i], kOffTrackId), static_cast<int>(i));
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
