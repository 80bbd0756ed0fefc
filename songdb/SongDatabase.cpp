// The song database: the Explorer guard, the probe, the load and check of the catalogue, the
// track walk into the song table and the export of one track's file.
#include "songdb/SongDatabase.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "songdb/ByteReader.h"
#include "songdb/CompressedCatalogue.h"
#include "songdb/ExportName.h"
#include "songdb/ItunesDbRecords.h"
#include "songdb/TagReader.h"
#include "songdb/TrackRecord.h"

using namespace itunesdb;

namespace {

// The fields every track the walk enters must hold inside the image: tag, header length, total
// length and number of data objects. A total length below this would make the next track
// overlap this one, so it ends the walk; every entered track therefore owns at least this many
// bytes, and no more tracks than image size / this can ever be entered. The per-track arrays
// are sized by that bound, so a huge track count in a small file cannot allocate gigabytes.
constexpr std::size_t kMinTrackRecordSize = 16;
// ":iPod_Control:Music:F00:ABCD.mp3" and some room.
constexpr std::size_t kUsualLocationLength = 40;
// Tag, header length, total length and type of a data object.
constexpr std::size_t kMinObjectFields = 16;
// The file type bytes end at offset 28 of the track record.
constexpr std::size_t kTrackFieldsWithType = kOffFileType + kFileTypeLength;

// base + by, or SIZE_MAX (outside every image) when that would overflow.
std::size_t Advance(std::size_t base, std::uint32_t by) {
    return by > SIZE_MAX - base ? SIZE_MAX : base + by;
}

void FormDrivePath(WChar* pszTarget, WChar chDrive, WStringView tail) {
    WString path(1, chDrive);
    path += u':';
    path += tail;
    WCopyBounded(pszTarget, kMaxPath, path);
}

// Bytes compared per read when a song may already be in the destination.
constexpr std::uint32_t kCompareChunk = 256 * 1024;

// One read of up to size bytes; false on a failed read.
bool ReadChunk(platform::FileHandle file, std::vector<std::uint8_t>& buffer, std::uint32_t& got) {
    return platform::Platform().ReadFile(file, buffer.data(),
                                         static_cast<std::uint32_t>(buffer.size()), got);
}

// A file opened for reading, closed when this ends.
class CReadFile {
public:
    explicit CReadFile(const WChar* pszPath)
        : m_hFile(platform::Platform().OpenFileForRead(pszPath)) {}
    ~CReadFile() {
        if (m_hFile != nullptr) {
            platform::Platform().CloseFile(m_hFile);
        }
    }
    CReadFile(const CReadFile&) = delete;
    CReadFile& operator=(const CReadFile&) = delete;
    platform::FileHandle Get() const { return m_hFile; }

private:
    platform::FileHandle m_hFile;
};

// The size of the file at path; false when it cannot be opened or asked.
bool FileSizeOf(const WChar* pszPath, std::uint64_t& size) {
    const CReadFile file(pszPath);
    return file.Get() != nullptr && platform::Platform().GetFileSize(file.Get(), size);
}

// True when both files can be asked their size and have the same.
bool SameSize(const WChar* pszSource, const WChar* pszTarget) {
    std::uint64_t sourceSize = 0;
    std::uint64_t targetSize = 0;
    return FileSizeOf(pszSource, sourceSize) && FileSizeOf(pszTarget, targetSize) &&
           sourceSize == targetSize;
}

// True when both files can be read whole and hold the same bytes. Any doubt (a read that fails,
// a file that changes size) says no: the song is then copied under another name, never lost.
bool SameContent(const WChar* pszSource, const WChar* pszTarget) {
    platform::IPlatform& os = platform::Platform();
    const CReadFile source(pszSource);
    const CReadFile target(pszTarget);
    std::uint64_t sourceSize = 0;
    std::uint64_t targetSize = 0;
    if (source.Get() == nullptr || target.Get() == nullptr ||
        !os.GetFileSize(source.Get(), sourceSize) || !os.GetFileSize(target.Get(), targetSize) ||
        sourceSize != targetSize) {
        return false;
    }
    // Songs are mostly smaller than a chunk: the buffers are no larger than the file.
    const auto chunk = static_cast<std::size_t>(std::min<std::uint64_t>(kCompareChunk, sourceSize));
    std::vector<std::uint8_t> sourceBytes(chunk);
    std::vector<std::uint8_t> targetBytes(chunk);
    for (std::uint64_t done = 0; done < sourceSize;) {
        std::uint32_t gotSource = 0;
        std::uint32_t gotTarget = 0;
        if (!ReadChunk(source.Get(), sourceBytes, gotSource) ||
            !ReadChunk(target.Get(), targetBytes, gotTarget) || gotSource == 0 ||
            gotSource != gotTarget ||
            std::memcmp(sourceBytes.data(), targetBytes.data(), gotSource) != 0) {
            return false;
        }
        done += gotSource;
    }
    return true;
}

}  // namespace

void UpperCaseAscii(WChar* pszText) {
    for (; *pszText != 0; ++pszText) {
        if (*pszText >= u'a' && *pszText <= u'z') {
            *pszText = static_cast<WChar>(*pszText - 0x20);
        }
    }
}

bool WriteBackExplorerSetting(const SExplorerSetting& setting) {
    if (!setting.bSaved) {
        return true;
    }
    platform::IPlatform& os = platform::Platform();
    const platform::ExplorerKey key = os.OpenExplorerKey();
    if (key == nullptr) {
        return false;
    }
    const bool bWritten = os.SetHidden(key, setting.dwValue, setting.dwSize);
    os.CloseExplorerKey(key);
    return bWritten;
}

CSongDatabase::CSongDatabase(ISongTable& songTable) : m_songTable(songTable) {
    ApplyExplorerGuard();
}

CSongDatabase::~CSongDatabase() {
    RestoreExplorerSetting();
    try {
        ReleaseImage();
    } catch (...) {
        // Teardown goes on whatever a release throws.
    }
}

void CSongDatabase::ApplyExplorerGuard() {
    platform::IPlatform& os = platform::Platform();
    m_dwSavedHiddenSize = 4;
    m_hExplorerKey = os.OpenExplorerKey();
    if (m_hExplorerKey == nullptr) {
        m_eLastError = ESongDbError::kExplorerSetting;
    } else {
        std::uint32_t dwValue = 0;
        if (os.QueryHidden(m_hExplorerKey, dwValue, m_dwSavedHiddenSize)) {
            m_dwSavedHidden = dwValue;
            m_bHiddenSaved = true;
        } else {
            m_eLastError = ESongDbError::kExplorerSetting;
        }
    }
    // Without a value read there is nothing to compare: an undefined value must never reach
    // the user's setting.
    if (m_bHiddenSaved && m_dwSavedHidden == 2 &&
        !os.SetHidden(m_hExplorerKey, 1, m_dwSavedHiddenSize)) {
        m_eLastError = ESongDbError::kExplorerSetting;
    }
}

void CSongDatabase::RestoreExplorerSetting() {
    platform::IPlatform& os = platform::Platform();
    if (m_bHiddenSaved && !os.SetHidden(m_hExplorerKey, m_dwSavedHidden, m_dwSavedHiddenSize)) {
        m_eLastError = ESongDbError::kExplorerSetting;
    }
    if (m_hExplorerKey != nullptr) {
        os.CloseExplorerKey(m_hExplorerKey);
        m_hExplorerKey = nullptr;
    }
}

SExplorerSetting CSongDatabase::GetExplorerSetting() const {
    return SExplorerSetting{m_bHiddenSaved, m_dwSavedHidden, m_dwSavedHiddenSize};
}

void CSongDatabase::ReleaseImage() {
    m_pImage.reset();
    m_playCounts.clear();
    m_trackFiles.clear();
    m_trackFiles.shrink_to_fit();
    m_strLocations.clear();
    m_strLocations.shrink_to_fit();
    m_fileSongTags.clear();
    m_tracks.clear();
    m_tracks.shrink_to_fit();
}

bool CSongDatabase::ProbeDevice(WChar letter) {
    m_chDrive = letter;
    FormDrivePath(m_szPath, letter, u"\\Ipod_Control\\Device\\SysInfo");
    platform::IPlatform& os = platform::Platform();
    const platform::FileHandle hFile = os.OpenFileForRead(m_szPath);
    if (hFile == nullptr) {
        return false;
    }
    // Only presence and readability count; the content is read and dropped.
    bool bReadable = false;
    std::uint64_t size = 0;
    if (os.GetFileSize(hFile, size) && size <= UINT32_MAX) {
        m_dwFileSize = static_cast<std::uint32_t>(size);
        bReadable = os.ReadWholeFile(hFile, size) != nullptr;
    }
    os.CloseFile(hFile);
    return bReadable;
}

bool CSongDatabase::ImageHas(std::size_t offset, std::size_t count) const {
    return CByteReader(Image()).Has(offset, count);
}

std::uint32_t CSongDatabase::ImageU32(std::size_t offset) const {
    return CByteReader(Image()).U32(offset);
}

// Where a record that starts at record ends: its total length, cut at its parent's end.
std::size_t CSongDatabase::RecordEnd(std::size_t record, std::size_t parentEnd) const {
    return trackrecord::RecordEnd(CByteReader(Image()), record, parentEnd);
}

bool CSongDatabase::LoadDatabase() {
    ReleaseImage();
    m_bWalking = false;
    platform::IPlatform& os = platform::Platform();
    platform::FileHandle hFile = nullptr;
    bool bCompressedName = false;
    if (!OpenCatalogue(hFile, bCompressedName)) {
        return false;
    }
    const bool bRead = ReadImage(hFile, bCompressedName);
    // Closed before anything else can fail: the arrays below may throw.
    os.CloseFile(hFile);
    if (!bRead || !CheckImage()) {
        ReleaseImage();
        return false;
    }
    const std::size_t capacity = Image().size() / kMinTrackRecordSize;
    if (m_dwTrackCount > capacity) {
        m_dwTrackCount = static_cast<std::uint32_t>(capacity);
    }
    m_tracks.assign(m_dwTrackCount, kUnset);
    m_trackFiles.assign(m_dwTrackCount, STrackFile{});
    m_strLocations.clear();
    // Room for the usual location of every track, so that 40,000 of them are not moved again
    // and again as they come; pages never written take no memory. No more characters than the
    // image has, whatever the track count says.
    m_strLocations.reserve(std::min<std::size_t>(std::size_t{m_dwTrackCount} * kUsualLocationLength,
                                                 Image().size() / 2));
    return true;
}

// Players that keep their catalogue compressed update iTunesCDB and may leave an empty or stale
// iTunesDB beside it, so a non-empty iTunesCDB wins. The path kept is the file opened.
bool CSongDatabase::OpenCatalogue(platform::FileHandle& file, bool& bCompressedName) {
    platform::IPlatform& os = platform::Platform();
    FormDrivePath(m_szPath, m_chDrive, u"\\Ipod_Control\\iTunes\\iTunesCDB");
    file = os.OpenFileForRead(m_szPath);
    std::uint64_t size = 0;
    bCompressedName = file != nullptr && (!os.GetFileSize(file, size) || size != 0);
    if (bCompressedName) {
        return true;
    }
    if (file != nullptr) {
        os.CloseFile(file);
    }
    FormDrivePath(m_szPath, m_chDrive, u"\\Ipod_Control\\iTunes\\iTunesDB");
    file = os.OpenFileForRead(m_szPath);
    return file != nullptr;
}

// The file's bytes become the image. Those of an iTunesCDB whose header says so are inflated
// into it instead; an iTunesDB is always read as it is.
bool CSongDatabase::ReadImage(platform::FileHandle file, bool bCompressedName) {
    platform::IPlatform& os = platform::Platform();
    std::uint64_t size = 0;
    // The size is kept in 32 bits, as the format's lengths are: a larger file is no database.
    if (!os.GetFileSize(file, size) || size > UINT32_MAX) {
        return false;
    }
    m_dwFileSize = static_cast<std::uint32_t>(size);
    if (m_dwFileSize < kMinDatabaseSize) {
        return false;
    }
    m_pImage = os.ReadWholeFile(file, size);
    if (m_pImage == nullptr || !bCompressedName || !catalogue::IsCompressed(Image())) {
        return m_pImage != nullptr;
    }
    std::unique_ptr<platform::CFileImage> pInflated;
    const catalogue::EInflateResult eResult = catalogue::Inflate(Image(), pInflated);
    m_pImage = std::move(pInflated);
    if (eResult == catalogue::EInflateResult::kRefused) {
        m_eLastError = ESongDbError::kBadCompression;
    }
    return eResult == catalogue::EInflateResult::kInflated;
}

bool CSongDatabase::CheckImage() {
    if (ImageU32(kOffTag) != kTagDatabase || ImageU32(kOffTotalLength) != Image().size()) {
        return false;
    }
    const std::size_t dataset = ImageU32(kOffHeaderLength);
    if (!ImageHas(dataset, kMinDatabaseSize) || ImageU32(dataset) != kTagDataset) {
        m_eLastError = ESongDbError::kNoDataset;
        return false;
    }
    std::size_t trackList = 0;
    if (!FindTrackList(dataset, trackList)) {
        m_eLastError = ESongDbError::kNoTrackList;
        return false;
    }
    m_dwTrackCount = ImageU32(trackList + kOffTrackCount);
    m_dwListedTracks = m_dwTrackCount;
    m_nFirstTrack = Advance(trackList, ImageU32(trackList + kOffHeaderLength));
    if (!ImageHas(m_nFirstTrack, kMinTrackRecordSize) || ImageU32(m_nFirstTrack) != kTagTrack) {
        m_eLastError = ESongDbError::kNoFirstTrack;
        return false;
    }
    return true;
}

// Steps from dataset to dataset until one's first child is the track list. Each step moves
// forward and stays inside the image, so the search always ends.
bool CSongDatabase::FindTrackList(std::size_t dataset, std::size_t& trackList) const {
    for (;;) {
        const std::size_t child = Advance(dataset, ImageU32(dataset + kOffHeaderLength));
        if (ImageHas(child, kMinDatabaseSize) && ImageU32(child) == kTagTrackList) {
            trackList = child;
            return true;
        }
        const std::uint32_t dwTotal = ImageU32(dataset + kOffTotalLength);
        if (dwTotal == 0 || dwTotal >= Image().size() - dataset) {
            return false;
        }
        dataset += dwTotal;
        if (!ImageHas(dataset, kMinDatabaseSize)) {
            return false;
        }
    }
}

bool CSongDatabase::BeginWalk() {
    m_bWalking = true;
    m_bWalkEnded = false;
    m_nCurrentRow = 0;
    m_nCurrentTrackIndex = 0;
    if (m_tracks.empty()) {
        // No track to list (a count of 0, or nothing loaded): no row, nothing stored.
        m_dwTracksVisited = 0;
        m_eLastError = ESongDbError::kNoMoreTracks;
        return false;
    }
    m_nCurrentTrack = m_nFirstTrack;
    m_dwTracksVisited = 1;
    m_tracks[0] = m_nCurrentTrack;
    return EnterTrack(m_nCurrentTrack);
}

bool CSongDatabase::NextTrack() {
    if (!m_bWalking) {
        m_eLastError = ESongDbError::kNotWalking;
        return false;
    }
    if (m_bWalkEnded || m_dwTracksVisited >= m_dwTrackCount) {
        m_eLastError = ESongDbError::kNoMoreTracks;
        return false;
    }
    const std::uint32_t dwTotal = ImageU32(m_nCurrentTrack + kOffTotalLength);
    const std::size_t next = Advance(m_nCurrentTrack, dwTotal);
    if (dwTotal < kMinTrackRecordSize || !ImageHas(next, kMinTrackRecordSize)) {
        // The file promises more tracks than it holds: the walk ends here.
        m_bWalkEnded = true;
        m_eLastError = ESongDbError::kNoMoreTracks;
        return false;
    }
    ++m_dwTracksVisited;
    m_nCurrentTrack = next;
    ++m_nCurrentTrackIndex;
    m_tracks[static_cast<std::size_t>(m_nCurrentTrackIndex)] = m_nCurrentTrack;
    ++m_nCurrentRow;
    return EnterTrack(m_nCurrentTrack);
}

bool CSongDatabase::EnterTrack(std::size_t track) {
    m_nTrackEnd = RecordEnd(track, Image().size());
    if (kTrackFieldsWithType <= m_nTrackEnd - track &&
        static_cast<std::size_t>(m_nCurrentTrackIndex) < m_trackFiles.size()) {
        STrackFile& file = m_trackFiles[static_cast<std::size_t>(m_nCurrentTrackIndex)];
        const auto stored = Image().subspan(track + kOffFileType).first<kFileTypeLength>();
        std::copy(stored.begin(), stored.end(), file.type.begin());
        file.bHasType = true;
        file.dwFileSize = trackrecord::CTrackRecord(Image(), track)
                              .Number(trackrecord::ENumber::kSize)
                              .value_or(0);
    }
    return ReadTrackFields(Advance(track, ImageU32(track + kOffHeaderLength)),
                           ImageU32(track + kOffDataObjectCount));
}

bool CSongDatabase::ReadTrackFields(std::size_t first, std::uint32_t count) {
    // Data objects must lie inside the current track; one that would not is not read.
    const auto fits = [this](std::size_t object) {
        return object < m_nTrackEnd && m_nTrackEnd - object >= kMinObjectFields;
    };
    m_bRowInserted = false;
    m_nCurrentObject = first;
    bool bResult = true;
    if (!fits(m_nCurrentObject) || ImageU32(m_nCurrentObject) != kTagDataObject) {
        m_eLastError = ESongDbError::kNoDataObject;
        bResult = false;
    } else {
        try {
            for (std::uint32_t dwObject = 0; dwObject < count; ++dwObject) {
                if (!fits(m_nCurrentObject)) {
                    bResult = false;
                    break;
                }
                const std::uint32_t dwType = ImageU32(m_nCurrentObject + kOffObjectType);
                if (dwType == kTypeLocation) {
                    StoreLocation(m_nCurrentObject);
                } else if (dwType == kTypeTitle || dwType == kTypeArtist || dwType == kTypeAlbum) {
                    StoreString(m_nCurrentObject, dwType);
                }
                // A total length of 0 would read the same object again: the track ends there.
                const std::uint32_t dwTotal = ImageU32(m_nCurrentObject + kOffTotalLength);
                m_nCurrentObject = dwTotal == 0 ? kUnset : Advance(m_nCurrentObject, dwTotal);
            }
        } catch (...) {
            m_strScratch.clear();
            bResult = false;
        }
    }
    // Every track has its row, so row i stays track i even when a track has no title.
    if (!m_bRowInserted) {
        m_songTable.InsertItem(m_nCurrentRow, u"");
        m_bRowInserted = true;
    }
    return bResult;
}

// Copies the object's string into the scratch text and writes it to the song table. A string
// that would reach past its data object (or the track) is not copied: the cell is empty.
void CSongDatabase::StoreString(std::size_t object, std::uint32_t type) {
    const std::size_t objectEnd = RecordEnd(object, m_nTrackEnd);
    const std::uint32_t dwLength = ImageU32(object + kOffStringLength);
    const std::size_t start = object + kOffString;
    if (start <= objectEnd && dwLength <= objectEnd - start) {
        trackrecord::DecodeUtf16(Image().subspan(start, dwLength), m_strScratch);
    } else {
        m_strScratch.clear();
    }
    if (type == kTypeTitle) {
        if (m_bRowInserted) {
            // A second title names the same row; it must not push later rows down.
            m_songTable.SetItemText(m_nCurrentRow, kColumnTitle, m_strScratch.c_str());
        } else {
            m_songTable.InsertItem(m_nCurrentRow, m_strScratch.c_str());
            m_bRowInserted = true;
        }
    } else {
        m_songTable.SetItemText(m_nCurrentRow, type == kTypeArtist ? kColumnArtist : kColumnAlbum,
                                m_strScratch.c_str());
    }
    m_strScratch.clear();
}

bool CSongDatabase::IsWalkedTrack(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < m_tracks.size() &&
           m_tracks[static_cast<std::size_t>(index)] != kUnset;
}

// Keeps the location string of the current track, up to its first zero character (as a path
// ends); a later location object of the same track replaces it. A string that would leave its
// object or the track leaves the track without a location.
void CSongDatabase::StoreLocation(std::size_t object) {
    if (static_cast<std::size_t>(m_nCurrentTrackIndex) >= m_trackFiles.size()) {
        return;
    }
    STrackFile& file = m_trackFiles[static_cast<std::size_t>(m_nCurrentTrackIndex)];
    file.bHasLocation = false;
    const std::size_t objectEnd = RecordEnd(object, m_nTrackEnd);
    const std::size_t start = object + kOffString;
    // Whole characters only: an odd last byte is dropped.
    const std::uint32_t dwLength = ImageU32(object + kOffStringLength) & ~1u;
    if (start > objectEnd || dwLength > objectEnd - start) {
        return;
    }
    trackrecord::DecodeUtf16(Image().subspan(start, dwLength), m_strScratch);
    const std::size_t length = std::min(m_strScratch.size(), m_strScratch.find(u'\0'));
    file.nLocationStart = m_strLocations.size();
    file.nLocationLength = length;
    file.bHasLocation = true;
    m_strLocations.append(m_strScratch, 0, length);
    m_strScratch.clear();
}

// The location string the walk kept for a track; false when it has none.
bool CSongDatabase::ReadLocation(int index, WString& location) const {
    if (!IsWalkedTrack(index)) {
        return false;
    }
    const STrackFile& file = m_trackFiles[static_cast<std::size_t>(index)];
    if (!file.bHasLocation) {
        return false;
    }
    location.assign(m_strLocations, file.nLocationStart, file.nLocationLength);
    return true;
}

// The text of a string data object up to its first zero character; empty when the string
// would leave the object or parentEnd.
WString CSongDatabase::ObjectText(std::size_t object, std::size_t parentEnd) const {
    return trackrecord::ObjectText(CByteReader(Image()), object, parentEnd);
}

// "%c:" and the location with its colons as backslashes; the drive keeps its colon.
bool CSongDatabase::FormSourcePath(const WString& location, WChar* pszSource) const {
    WString source(1, m_chDrive);
    source += u':';
    source += location;
    std::replace(source.begin() + 2, source.end(), u':', u'\\');
    return WCopyBounded(pszSource, kMaxPath, source);
}

bool CSongDatabase::FormNameParts(int index, WString& title, WString& suffix) const {
    if (!IsWalkedTrack(index)) {
        return false;
    }
    // One character more than a path holds tells a title that does not fit from one that
    // just fits.
    WChar szTitle[kMaxPath + 1];
    const int nLength =
        m_songTable.GetItemText(index, kColumnTitle, szTitle, static_cast<int>(kMaxPath + 1));
    if (nLength < 0 || static_cast<std::size_t>(nLength) >= kMaxPath) {
        return false;
    }
    title.assign(szTitle, static_cast<std::size_t>(nLength));
    suffix = FormSuffix(index);
    return title.size() + suffix.size() < kMaxPath;
}

// The type suffix of a walked track: its file type, else its stored file's extension.
WString CSongDatabase::FormSuffix(int index) const {
    const STrackFile& file = m_trackFiles[static_cast<std::size_t>(index)];
    WString suffix;
    if (file.bHasType) {
        suffix = exportname::TypeSuffix(file.type);
    }
    if (suffix.empty()) {
        // No usable type (spaces, or the zero bytes of old databases): the stored file's own
        // extension says what it is.
        WString location;
        if (ReadLocation(index, location)) {
            suffix = exportname::LocationExtension(location);
        }
    }
    return suffix;
}

bool CSongDatabase::FormSafeParts(int index, WStringView tmpl,
                                  exportname::SNameParts& parts) const {
    exportname::STrackTags tags;
    if (!GetTrackTags(index, tags)) {
        return false;
    }
    parts = exportname::ExpandTemplate(tmpl, tags, FormSuffix(index));
    return true;
}

bool CSongDatabase::FormFileName(int index, WString& name) const {
    return FormFileName(index, m_nameRule, name);
}

bool CSongDatabase::FormFileName(int index, const exportname::SNameRule& rule,
                                 WString& name) const {
    if (!rule.IsPlain()) {
        exportname::SNameParts parts;
        return FormSafeParts(index, rule.strTemplate, parts) &&
               exportname::FitName(parts, u"", kMaxPath - 1, name);
    }
    // The title is formed in name itself, whose room a caller naming row after row reuses.
    WString suffix;
    if (!FormNameParts(index, name, suffix)) {
        return false;
    }
    // Without a destination, as this platform's own disks name files.
    exportname::MakeStorable(name, suffix, platform::Platform().GetNameRules(u""));
    name += suffix;
    return true;
}

void CSongDatabase::BeginExportRun() {
    m_runNames.clear();
    m_strRulesFolder.clear();
}

platform::ENameRules CSongDatabase::NameRulesOf(const WString& folder) {
    // Asked once per folder and run: every song of a run goes to the same volume.
    if (m_strRulesFolder.empty() || m_strRulesFolder != folder) {
        m_strRulesFolder = folder;
        m_eFolderRules = platform::Platform().GetNameRules(folder.c_str());
    }
    return m_eFolderRules;
}

// The names a copy of track index into folder may take, in the order a run tries them: the title
// and type made storable there, or a safe name from the rule's template shortened in its title
// part to fit the path, then the same with " (2)", " (3)"... False (with the failure) when the
// track has no name at all; with safe names, parts receives the folders the name needs.
bool CSongDatabase::MakeCandidates(int index, const WString& folder, CandidateName& candidate,
                                   exportname::SNameParts& parts) {
    if (!m_nameRule.IsPlain()) {
        if (!FormSafeParts(index, m_nameRule.strTemplate, parts)) {
            m_eExportFailure = EExportFailure::kNoTrack;
            return false;
        }
        // The whole path must fit the platform's longest; each name part keeps its own limit.
        const std::size_t maxPath = platform::Platform().GetMaxPathLength();
        const std::size_t room = folder.size() < maxPath ? maxPath - folder.size() : 0;
        candidate = [parts, room](unsigned number, WString& formed) {
            return exportname::FitName(
                parts, number == 1 ? WString() : exportname::RunNumber(number), room, formed);
        };
        return true;
    }
    WString title;
    WString suffix;
    if (!FormNameParts(index, title, suffix)) {
        m_eExportFailure = EExportFailure::kPathTooLong;
        return false;
    }
    // With no separator left and no name of dots alone, the name stays in the folder (a "C:" at
    // its start is only two characters of it, after the folder's own path).
    exportname::MakeStorable(title, suffix, NameRulesOf(folder));
    parts = exportname::SNameParts{};
    const std::size_t maxPath = platform::Platform().GetMaxPathLength() + 1;
    candidate = [title, suffix, room = maxPath - std::min(folder.size(), maxPath)](
                    unsigned number, WString& formed) {
        formed = number == 1 ? title + suffix : exportname::NumberedName(title, suffix, number);
        return formed.size() < room;
    };
    return true;
}

// Goes through the song's names in the order a run gives them (its name, then " (2)", " (3)"...),
// passing over those the run has given: the first that holds a file with the song's bytes makes
// the song already there; the first free one takes the copy. A name holding anything else is
// never touched. False when the names run out of room.
bool CSongDatabase::ChooseName(const SExportTarget& target, const CandidateName& candidate,
                               ECompare eCompare, WString& name, WString& key) {
    platform::IPlatform& os = platform::Platform();
    for (unsigned number = 1; number <= kMaxRunNumber; ++number) {
        if (!candidate(number, name)) {
            return false;
        }
        const WString path = target.strFolder + name;
        key = exportname::RunKey(path);
        if (m_runNames.count(key) != 0) {
            continue;
        }
        const platform::EPathState eState = os.QueryPath(path.c_str());
        if (eState == platform::EPathState::kAbsent) {
            return true;
        }
        if (eState == platform::EPathState::kFile &&
            (eCompare == ECompare::kBytes ? SameContent(target.pszSource, path.c_str())
                                          : SameSize(target.pszSource, path.c_str()))) {
            m_bAlreadyThere = true;
            return true;
        }
    }
    return false;
}

// Makes each folder of relative ("A\B\") below folder, outermost first.
bool CSongDatabase::MakeFolders(const WString& folder, const WString& relative) {
    for (std::size_t end = relative.find(u'\\'); end != WString::npos;
         end = relative.find(u'\\', end + 1)) {
        const WString path = folder + relative.substr(0, end);
        if (!platform::Platform().CreateFolder(path.c_str())) {
            return false;
        }
    }
    return true;
}

bool CSongDatabase::ExportTrack(int index, const WChar* pszFolder) {
    const auto fail = [this](EExportFailure failure) {
        m_eExportFailure = failure;
        return false;
    };
    m_bAlreadyThere = false;
    if (!IsWalkedTrack(index)) {
        return fail(EExportFailure::kNoTrack);
    }
    WString location;
    if (!ReadLocation(index, location)) {
        return fail(EExportFailure::kNoLocation);
    }
    // A crafted catalogue must not make the player's drive a way to anything beyond it.
    if (exportname::LocationLeavesPlayer(location)) {
        return fail(EExportFailure::kLeavesPlayer);
    }
    WChar szSource[kMaxPath] = {};
    if (!FormSourcePath(location, szSource)) {
        return fail(EExportFailure::kPathTooLong);
    }
    const SExportTarget target{pszFolder != nullptr ? WString(pszFolder) : WString(), szSource};
    CandidateName candidate;
    exportname::SNameParts parts;
    if (!MakeCandidates(index, target.strFolder, candidate, parts)) {
        return false;
    }
    WString name;
    WString key;
    if (!ChooseName(target, candidate, ECompare::kBytes, name, key)) {
        return fail(EExportFailure::kPathTooLong);
    }
    if (!m_bAlreadyThere) {
        if (!MakeFolders(target.strFolder, parts.strFolders)) {
            return fail(EExportFailure::kNoFolder);
        }
        const WString targetPath = target.strFolder + name;
        if (targetPath.size() > platform::Platform().GetMaxPathLength()) {
            return fail(EExportFailure::kPathTooLong);
        }
        if (!platform::Platform().CopyFileNew(szSource, targetPath.c_str())) {
            return fail(EExportFailure::kCopyFailed);
        }
    }
    m_runNames.insert(std::move(key));
    m_strExportedName = std::move(name);
    m_eExportFailure = EExportFailure::kNone;
    return true;
}

std::uint64_t CSongDatabase::CopyRoom(int index, WChar* pszSource) const {
    constexpr std::uint64_t kCluster = 4096;
    WString location;
    if (!ReadLocation(index, location) || exportname::LocationLeavesPlayer(location) ||
        !FormSourcePath(location, pszSource)) {
        return 0;
    }
    std::uint64_t size = m_trackFiles[static_cast<std::size_t>(index)].dwFileSize;
    if (size == 0 && !FileSizeOf(pszSource, size)) {
        return 0;
    }
    return (size + kCluster - 1) / kCluster * kCluster;
}

std::uint64_t CSongDatabase::SpaceNeededAtMost(int index) const {
    WChar szSource[kMaxPath] = {};
    return CopyRoom(index, szSource);
}

std::uint64_t CSongDatabase::SpaceNeeded(int index, const WChar* pszFolder) {
    WChar szSource[kMaxPath] = {};
    const std::uint64_t room = CopyRoom(index, szSource);
    if (room == 0) {
        return 0;
    }
    // The names the export would try, with sizes for bytes: cheap enough for every song of a
    // large run, and right but for a file of the same size and other bytes.
    const SExportTarget target{pszFolder != nullptr ? WString(pszFolder) : WString(), szSource};
    CandidateName candidate;
    exportname::SNameParts parts;
    WString name;
    WString key;
    const bool bThere = MakeCandidates(index, target.strFolder, candidate, parts) &&
                        ChooseName(target, candidate, ECompare::kSize, name, key) &&
                        m_bAlreadyThere;
    m_bAlreadyThere = false;
    return bThere ? 0 : room;
}

void CSongDatabase::AddFileSongs(const std::vector<WString>& locations) {
    std::vector<SFileSong> songs;
    songs.reserve(locations.size());
    for (const WString& location : locations) {
        songs.push_back(ReadFileSong(location));
    }
    AddFileSongs(std::move(songs));
}

SFileSong CSongDatabase::ReadFileSong(const WString& location) const {
    SFileSong song{location, SFileTags()};
    WChar szPath[kMaxPath] = {};
    if (FormSourcePath(location, szPath)) {
        ReadFileTags(szPath, song.tags);
    } else {
        song.tags.strTitle = TitleFromPath(location);
    }
    return song;
}

void CSongDatabase::AddFileSongs(std::vector<SFileSong> songs) {
    m_bWalkEnded = true;
    if (m_fileSongTags.empty()) {
        // Row i is track i: tracks the walk never reached (a catalogue promising more than it
        // holds) have no row, so the song files come right after the last row.
        const auto rows = static_cast<std::size_t>(std::max(m_songTable.GetItemCount(), 0));
        m_tracks.resize(std::min(rows, m_tracks.size()));
        m_trackFiles.resize(m_tracks.size());
        m_dwTrackCount = static_cast<std::uint32_t>(m_tracks.size());
        m_nFirstFileSong = m_tracks.size();
    }
    for (SFileSong& song : songs) {
        const WString& location = song.strLocation;
        SFileTags& tags = song.tags;
        const int row = static_cast<int>(m_tracks.size());
        m_songTable.InsertItem(row, tags.strTitle.c_str());
        m_songTable.SetItemText(row, kColumnArtist, tags.strArtist.c_str());
        m_songTable.SetItemText(row, kColumnAlbum, tags.strAlbum.c_str());
        STrackFile file;
        file.nLocationStart = m_strLocations.size();
        file.nLocationLength = location.size();
        file.bHasLocation = true;
        m_strLocations += location;
        m_trackFiles.push_back(file);
        m_tracks.push_back(kFileSong);
        m_fileSongTags.push_back(std::move(tags));
        ++m_dwTrackCount;
    }
}

std::vector<WString> CSongDatabase::GetTrackLocations() const {
    std::vector<WString> locations;
    for (std::size_t i = 0; i < m_tracks.size(); ++i) {
        WString location;
        if (m_tracks[i] != kFileSong && ReadLocation(static_cast<int>(i), location)) {
            locations.push_back(std::move(location));
        }
    }
    return locations;
}

bool CSongDatabase::MatchPrefix(const WChar* pszPattern, WChar* pszText, int n) {
    UpperCaseAscii(pszText);
    // Stops at the first difference; the text's terminating zero differs from any pattern
    // character, so a pattern running past the end of the text never matches.
    for (int i = 0; i < n; ++i) {
        if (pszPattern[i] != pszText[i]) {
            return false;
        }
        if (pszText[i] == 0) {
            break;
        }
    }
    return true;
}
