// The one object through which the program touches the player: probe, load and check its
// catalogue (iTunesCDB or iTunesDB), walk the tracks into the song table, and copy a track's
// file off the player.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/Platform.h"
#include "platform/Text.h"
#include "songdb/NameTemplate.h"
#include "songdb/PlayCounts.h"
#include "songdb/SongTable.h"
#include "songdb/TrackRecord.h"
#include "songdb/tags/Tag.h"

// The song database's last error: why the last load or walk step stopped. The numbers are what
// the window and the command-line tool show ("Error is : N").
enum class ESongDbError : int {
    kExplorerSetting = -1,  // the Explorer "Hidden" value could not be read or written
    kNone = 0,              // nothing recorded (a load refused for a reason without a code)
    kNoMoreTracks = 1,      // the walk has no further track (the last one, or the file ends)
    kNotWalking = 2,        // NextTrack before BeginWalk
    kNoDataset = 3,         // no dataset where the database header ends
    kNoTrackList = 4,       // no dataset holds the track list
    kNoFirstTrack = 5,      // no track record after the track list
    kNoDataObject = 6,      // a track's first data object is missing
    kBadCompression = 7,    // a compressed catalogue that is corrupt, truncated or too large
};

// Why the last ExportTrack failed, for messages of the command-line tool.
enum class EExportFailure {
    kNone,
    kNoTrack,       // the index names no walked track
    kNoLocation,    // the track has no location data object
    kPathTooLong,   // source or destination would be longer than the platform takes
    kLeavesPlayer,  // the location would address a file that is not on the player
    kCopyFailed,    // the platform's copy failed (see platform LastErrorText)
    kNoFolder,      // a folder of a templated name could not be made (see LastErrorText)
};

// A playlist of the database: its name and its songs as track indexes, in playlist order. An
// item naming no walked track is left out.
struct SPlaylist {
    WString strName;
    bool bMaster = false;  // the hidden playlist that holds the whole library
    std::vector<int> tracks;
};

// A song file on the player and what its tags hold, read before it becomes a row.
struct SFileSong {
    WString strLocation;  // in the catalogue's form, ":iPod_Control:Music:F00:ABCD.mp3"
    SFileTags tags;       // the title is the file's name where the tags hold none
};

// The user's Explorer "Hidden" value as found at construction, so that it can be written back
// by whoever ends the process (the removal watcher keeps a copy of its own).
struct SExplorerSetting {
    bool bSaved = false;  // the value was read; nothing is written back otherwise
    std::uint32_t dwValue = 0;
    std::uint32_t dwSize = 4;
};

// Opens the Explorer key, writes setting back if it was saved, closes the key.
bool WriteBackExplorerSetting(const SExplorerSetting& setting);

// Turns 'a' to 'z' into capitals in place; every other character stays as it is.
void UpperCaseAscii(WChar* pszText);

class CSongDatabase {
public:
    // Binds the song table and applies the Explorer guard. Never fails; registry trouble
    // leaves -1 in the last error.
    explicit CSongDatabase(ISongTable& songTable);
    // Writes the Explorer setting back and releases the image and the per-track arrays.
    ~CSongDatabase();
    CSongDatabase(const CSongDatabase&) = delete;
    CSongDatabase& operator=(const CSongDatabase&) = delete;

    // True when drive letter holds a readable Ipod_Control\Device\SysInfo.
    bool ProbeDevice(WChar letter);
    // Reads and checks the recorded drive's catalogue: iTunesCDB when it is there and not empty,
    // otherwise iTunesDB. A compressed catalogue is inflated first. Last error 3, 4, 5 or 7 on
    // refusals that have a code.
    bool LoadDatabase();

    bool BeginWalk();
    bool NextTrack();
    // Walks one track's data objects, starting at image offset first.
    bool ReadTrackFields(std::size_t first, std::uint32_t count);

    // Copies track index into folder (which ends with a separator), named after its title and
    // file type. Names given earlier in the same export run, and names that hold some other
    // file, get " (2)", " (3)"... instead: nothing in the folder is ever replaced. A name that
    // holds the song's own bytes already makes it a success without a copy (WasAlreadyThere).
    bool ExportTrack(int index, const WChar* pszFolder);
    // Starts a new export run: names used by the previous run may be used again.
    void BeginExportRun();
    // The file name ExportTrack would give track index, before any run numbering: title, dot
    // and type. False when the track has none (no such track or no room); name then holds
    // nothing of use.
    bool FormFileName(int index, WString& name) const;
    // The same under rule instead of the database's own (a preview of a choice not yet made).
    bool FormFileName(int index, const exportname::SNameRule& rule, WString& name) const;
    EExportFailure GetExportFailure() const { return m_eExportFailure; }
    // The last successful ExportTrack found the song in the folder already, under the name
    // GetExportedName gives, and copied nothing.
    bool WasAlreadyThere() const { return m_bAlreadyThere; }
    // How ExportTrack and FormFileName name copies; title and type unchanged by default.
    void SetNameRule(const exportname::SNameRule& rule) { m_nameRule = rule; }
    const exportname::SNameRule& GetNameRule() const { return m_nameRule; }
    // The name, relative to the folder, the last successful ExportTrack gave its copy, run
    // numbering included. Safe names separate their folders with '\'.
    const WString& GetExportedName() const { return m_strExportedName; }

    // The room a copy of track index into folder would take: its file's size (as the catalogue
    // records it, else as the player's file has it) rounded up to whole 4 KB clusters, or 0
    // when the folder already holds a file of that size under the name the copy would get
    // (ExportTrack compares the bytes; this only estimates, before a run). 0 when the track
    // has no file to copy.
    std::uint64_t SpaceNeeded(int index, const WChar* pszFolder);
    // The same without looking at the folder, as if the copy were never there: what a run needs
    // at most, had cheaply, which spares the look where the disk has room for that.
    std::uint64_t SpaceNeededAtMost(int index) const;

    // The fields of walked track index a template can name: title, artist and album as the
    // song table holds them, the others from the track's record. False for no walked track.
    bool GetTrackTags(int index, exportname::STrackTags& tags) const;
    // The track's length in milliseconds; 0 when unknown.
    std::uint32_t GetTrackLength(int index) const;
    // Every field of row index's track record (for a song-file row, what its tags hold, and no
    // history), with the plays of the Play Counts file added when LoadPlayCounts merged it.
    // False for no walked row.
    bool GetTrackFields(int index, trackrecord::STrackFields& fields) const;
    // The file type an export names row index's copy with, without the dot ("MP3"); empty when
    // it has none.
    WString GetFileType(int index) const;
    // Reads the player's iPod_Control\iTunes\Play Counts (plays since the last sync) for
    // GetTrackFields to add. Only a file with one entry per track of the catalogue is used.
    playcounts::EState LoadPlayCounts();
    // Every playlist of the loaded database, the master included, in file order. Empty when it
    // holds none or they cannot be read; the songs stay usable either way. May throw
    // std::bad_alloc.
    std::vector<SPlaylist> ReadPlaylists() const;

    // Upper-cases text in place, then compares the first n characters of pattern and text.
    static bool MatchPrefix(const WChar* pszPattern, WChar* pszText, int n);

    // Appends the song files at locations (in the catalogue's form, ":iPod_Control:Music:F00:
    // ABCD.mp3") as rows after the walked tracks, with the title, artist and album their tags
    // hold (the title from the file's name where they hold none). They then search, name and
    // copy as the catalogue's rows do, templates fed from their tags; they count as tracks.
    // The walk ends here. May throw std::bad_alloc.
    void AddFileSongs(const std::vector<WString>& locations);
    // The same in two steps, so that the slow one may run on another thread: reading the tags
    // of the song file at location touches nothing of the database but the drive it was
    // probed on; adding the songs read makes them rows as above.
    SFileSong ReadFileSong(const WString& location) const;
    void AddFileSongs(std::vector<SFileSong> songs);
    // The locations the walked tracks name, for telling the files the catalogue has forgotten.
    std::vector<WString> GetTrackLocations() const;
    // The location of row index (a track's or a song file's); false when it has none.
    bool GetLocation(int index, WString& location) const { return ReadLocation(index, location); }

    std::uint32_t GetTrackCount() const { return m_dwTrackCount; }
    int GetLastError() const { return static_cast<int>(m_eLastError); }
    // The path last formed: SysInfo during a probe, the catalogue file after a load.
    const WChar* GetPath() const { return m_szPath; }
    WChar GetDriveLetter() const { return m_chDrive; }
    // Size in bytes of the last file read (for a compressed catalogue, the compressed file).
    std::uint32_t GetFileSize() const { return m_dwFileSize; }
    SExplorerSetting GetExplorerSetting() const;

private:
    static constexpr std::size_t kUnset = SIZE_MAX;
    // A row that is a song file, not a track of the catalogue (outside every image, too).
    static constexpr std::size_t kFileSong = SIZE_MAX - 1;
    // Numbered names tried before a song is given up: far more songs than one title ever has.
    static constexpr unsigned kMaxRunNumber = 100000;
    // Far more than a Play Counts file of the largest catalogue (a few hundred thousand tracks).
    static constexpr std::uint64_t kMaxPlayCountsSize = std::uint64_t{64} << 20;

    void ApplyExplorerGuard();
    void RestoreExplorerSetting();
    void ReleaseImage();
    bool OpenCatalogue(platform::FileHandle& file, bool& bCompressedName);
    bool ReadImage(platform::FileHandle file, bool bCompressedName);
    bool CheckImage();
    bool FindTrackList(std::size_t dataset, std::size_t& trackList) const;
    bool EnterTrack(std::size_t track);
    void StoreString(std::size_t object, std::uint32_t type);
    void StoreLocation(std::size_t object);
    bool IsWalkedTrack(int index) const;
    bool ReadLocation(int index, WString& location) const;
    bool FormSourcePath(const WString& location, WChar* pszSource) const;
    bool FormNameParts(int index, WString& title, WString& suffix) const;
    WString FormSuffix(int index) const;
    bool FormSafeParts(int index, WStringView tmpl, exportname::SNameParts& parts) const;
    // Where a song goes: the folder (ending with a separator) and the source path.
    struct SExportTarget {
        WString strFolder;
        const WChar* pszSource;
    };
    // The song's name number n in a run (1: the name itself); false when it has no room.
    using CandidateName = std::function<bool(unsigned, WString&)>;
    // How a name that holds a file is told to hold the song already.
    enum class ECompare { kBytes, kSize };
    // SpaceNeededAtMost, with the source path (a buffer of kMaxPath) formed for it.
    std::uint64_t CopyRoom(int index, WChar* pszSource) const;
    bool MakeCandidates(int index, const WString& folder, CandidateName& candidate,
                        exportname::SNameParts& parts);
    bool ChooseName(const SExportTarget& target, const CandidateName& candidate, ECompare eCompare,
                    WString& name, WString& key);
    platform::ENameRules NameRulesOf(const WString& folder);
    bool MakeFolders(const WString& folder, const WString& relative);
    WString ObjectText(std::size_t object, std::size_t parentEnd) const;
    std::size_t FindPlaylistDataset() const;
    void ReadPlaylist(std::size_t playlist, std::size_t end,
                      const std::unordered_map<std::uint32_t, int>& ids, SPlaylist& entry) const;
    std::uint32_t ImageU32(std::size_t offset) const;
    bool ImageHas(std::size_t offset, std::size_t count) const;
    std::size_t RecordEnd(std::size_t record, std::size_t parentEnd) const;

    std::span<const std::uint8_t> Image() const {
        return m_pImage != nullptr ? m_pImage->Bytes() : std::span<const std::uint8_t>();
    }

    // The walk's place: the row it fills, the index and image offset of the current track and
    // of its data object being read, how many tracks it has entered, and for each entered track
    // its record and location object (the export reads them back). The Explorer guard keeps the
    // key and the value it found, to write that value back at the end. The path last formed and
    // the size of the file last read are kept for the caller; the loaded image for the walk and
    // the export.
    int m_nCurrentRow = 0;
    ISongTable& m_songTable;
    platform::ExplorerKey m_hExplorerKey = nullptr;
    std::uint32_t m_dwSavedHidden = 0;
    std::uint32_t m_dwSavedHiddenSize = 4;
    WChar m_szPath[kMaxPath] = {};
    std::uint32_t m_dwFileSize = 0;
    int m_nCurrentTrackIndex = 0;
    // The catalogue as loaded (the file's bytes, or the inflated ones); nothing is read past it.
    std::unique_ptr<platform::CFileImage> m_pImage;
    WChar m_chDrive = 0;
    std::size_t m_nCurrentTrack = 0;
    std::size_t m_nFirstTrack = 0;
    std::size_t m_nCurrentObject = 0;
    std::uint32_t m_dwTracksVisited = 0;
    bool m_bWalking = false;
    WString m_strScratch;
    std::vector<std::size_t> m_tracks;
    // What the export needs of each walked track, copied out as the walk passes so that no
    // export reads the catalogue again (another program may rewrite it, or the player go,
    // while songs are copied): the location's text, kept in one arena, and the file type.
    struct STrackFile {
        std::size_t nLocationStart = 0;
        std::size_t nLocationLength = 0;
        bool bHasLocation = false;
        bool bHasType = false;
        std::array<std::uint8_t, 4> type{};
        std::uint32_t dwFileSize = 0;  // as the record gives it; 0 when it does not
    };
    std::vector<STrackFile> m_trackFiles;
    WString m_strLocations;
    // The tags of the song-file rows, from row m_nFirstFileSong on.
    std::vector<SFileTags> m_fileSongTags;
    std::size_t m_nFirstFileSong = 0;
    std::uint32_t m_dwTrackCount = 0;
    // The track count as the track list gives it: a Play Counts file has one entry per track.
    std::uint32_t m_dwListedTracks = 0;
    // The Play Counts entries by track index, when the file was read and fits the catalogue.
    std::vector<playcounts::SEntry> m_playCounts;
    ESongDbError m_eLastError = ESongDbError::kNone;

    // Whether "Hidden" was read, so that only a value read is ever written back.
    bool m_bHiddenSaved = false;
    // The names the current export run has given, so that no copy overwrites another.
    std::unordered_set<std::u16string> m_runNames;
    // End of the current track's record, clamped to the image: its data objects stay before it.
    std::size_t m_nTrackEnd = 0;
    // The current track has its row, so a later title sets it instead of adding one.
    bool m_bRowInserted = false;
    // A track's total length led out of the image: no further track can be entered.
    bool m_bWalkEnded = false;
    EExportFailure m_eExportFailure = EExportFailure::kNone;
    bool m_bAlreadyThere = false;
    // The naming rules of the folder the current run copies into, asked once per run.
    WString m_strRulesFolder;
    platform::ENameRules m_eFolderRules = platform::ENameRules::kWindows;
    exportname::SNameRule m_nameRule;
    WString m_strExportedName;
};
