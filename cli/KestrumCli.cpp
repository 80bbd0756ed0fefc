// The commands of kestrum-cli over one CSongDatabase and an in-memory song table, in the order
// the dialog uses them: probe, load, walk, then search or export.
#include "cli/KestrumCli.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <new>
#include <numeric>
#include <optional>
#include <string>
#include <system_error>
#include <unordered_map>
#include <utility>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/SongListing.h"
#include "platform/Console.h"
#include "platform/CopyBatch.h"
#include "platform/CopyProgress.h"
#include "platform/ForwardingPlatform.h"
#include "platform/Interrupt.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "songdb/MemorySongTable.h"
#include "songdb/SongDatabase.h"
#include "songdb/SongFiles.h"
#include "songdb/SongList.h"

namespace cli {
namespace {

// The letter a --root folder is given; mappings made here come ahead of the system's drives.
constexpr char kRootLetter = 'D';
// The copies of a run are made durable a batch at a time (see CCopyBatch): one wait for the disk
// per this many bytes or songs, whichever comes first, instead of one per song.
constexpr std::uint64_t kBatchBytes = std::uint64_t{256} << 20;
constexpr std::size_t kBatchSongs = 1024;

std::filesystem::path PathFromUtf8(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// A folder the user named, made absolute so that the platform layer need not know the
// working directory. Falls back to the text as given.
std::string AbsoluteFolder(const std::string& folder) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(PathFromUtf8(folder), error);
    return error ? folder : Utf8FromPath(absolute);
}

// Makes folder and the folders above it through the platform, which gives a long path the form
// the system takes. A step above the folder that fails (a drive, a share, a folder that is
// there) is passed over; the folder itself must be there in the end.
bool CreateFolders(const WString& folder) {
    platform::IPlatform& os = platform::Platform();
    for (std::size_t end = folder.find_first_of(u"\\/", 1); end != WString::npos;
         end = folder.find_first_of(u"\\/", end + 1)) {
        os.CreateFolder(folder.substr(0, end).c_str());
    }
    return os.CreateFolder(folder.c_str());
}

// The size of the file at path, through the platform; 0 when it cannot be read.
std::uint64_t FileSizeOf(const WString& path) {
    platform::IPlatform& os = platform::Platform();
    const platform::FileHandle hFile = os.OpenFileForRead(path.c_str());
    std::uint64_t size = 0;
    if (hFile != nullptr) {
        if (!os.GetFileSize(hFile, size)) {
            size = 0;
        }
        os.CloseFile(hFile);
    }
    return size;
}

void Write(std::FILE* stream, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stream);
}

const char* ExportFailureText(EExportFailure failure) {
    switch (failure) {
        case EExportFailure::kNoTrack:
            return "there is no such track";
        case EExportFailure::kNoLocation:
            return "the track names no file on the player";
        case EExportFailure::kPathTooLong:
            return "the path would be too long";
        case EExportFailure::kLeavesPlayer:
            return "its location leaves the player";
        case EExportFailure::kCopyFailed:
            return "the copy failed";
        case EExportFailure::kNoFolder:
            return "its folder could not be made";
        case EExportFailure::kNone:
            break;
    }
    return "the copy failed";
}

// The platform as the command line uses it: everything goes to the native one, except the
// Explorer "Hidden" setting. The dialog shows hidden files so that its folder chooser can reach
// the player's hidden folder; the command line chooses no folders, so it leaves the user's
// setting alone (and writes nothing to it, not even the same value back).
class CCliPlatform : public platform::CForwardingPlatform {
public:
    using CForwardingPlatform::CForwardingPlatform;

    // A stand-in key that reads "shown" (1), so the guard has nothing to change.
    platform::ExplorerKey OpenExplorerKey() override {
        // Never dereferenced: only this class receives it back.
        return reinterpret_cast<platform::ExplorerKey>(&m_chKey);
    }
    bool QueryHidden(platform::ExplorerKey, std::uint32_t& value, std::uint32_t& size) override {
        value = 1;
        size = 4;
        return true;
    }
    bool SetHidden(platform::ExplorerKey, std::uint32_t, std::uint32_t) override { return true; }
    void CloseExplorerKey(platform::ExplorerKey) override {}

private:
    char m_chKey = 0;
};

class CKestrumCli {
public:
    CKestrumCli(const SCliOptions& options, std::FILE* out, std::FILE* err)
        : m_options(options), m_out(out), m_err(err) {}

    int Run();

private:
    int FindDevice();
    int ReadSongFiles();
    void SetNameRule();
    // The rows the command sees: from here on (after the catalogue's rows with --lost).
    std::vector<int> ShownRows(std::vector<int> rows) const;
    int OnList();
    int OnSearch();
    int OnExtract();
    int OnPlaylists();
    // The rows extract copies; false (after a message) when the selection names none.
    bool ChooseRows(std::vector<int>& rows);
    const SPlaylist* FindPlaylist(const std::vector<SPlaylist>& playlists) const;
    bool WritePlaylist(const std::filesystem::path& folder,
                       const std::unordered_map<int, WString>& names);
    // False (after a message) when the songs of rows that are not in the destination yet need
    // more room than it has free.
    bool FitsFreeSpace(const std::vector<int>& rows, const WString& destination,
                       const std::string& folder);
    // The search text as the dialog keeps it; nullopt (after "Word size < 3") when too short.
    std::optional<WString> TakeSearchText();
    // Writes the lines of rows to the output, gathered into large writes.
    void WriteRows(const std::vector<int>& rows) const;
    // The same as CSV or JSON, with the plays since the last sync added.
    void WriteSongList(const std::vector<int>& rows);
    WString FileNameOf(int row) const;

    const SCliOptions& m_options;
    std::FILE* m_out;
    std::FILE* m_err;
    CMemorySongTable m_table;
    std::unique_ptr<CSongDatabase> m_pDatabase;
    // extract --playlist: the playlist's name and songs in its order, repeats included.
    WString m_strPlaylist;
    std::vector<int> m_playlistRows;
    int m_nFirstRow = 0;
};

// A name relative to the destination with '/' between folders, as files and playlists want.
WString SlashPath(WString name) {
    std::replace(name.begin(), name.end(), u'\\', u'/');
    return name;
}

int CKestrumCli::Run() {
    // A short search text is refused before the player is looked for.
    std::optional<WString> search;
    if (m_options.eCommand == ECommand::kSearch ||
        (m_options.eCommand == ECommand::kExtract && m_options.eSelection == ESelection::kMatch)) {
        search = TakeSearchText();
        if (!search) {
            return kExitUsage;
        }
    }
    if (const int status = FindDevice(); status != kExitOk) {
        return status;
    }
    switch (m_options.eCommand) {
        case ECommand::kList:
            return OnList();
        case ECommand::kSearch:
            return OnSearch();
        case ECommand::kExtract:
            return OnExtract();
        case ECommand::kPlaylists:
            return OnPlaylists();
        default:
            return kExitUsage;
    }
}

std::optional<WString> CKestrumCli::TakeSearchText() {
    WString pattern = SearchPattern(WideFromUtf8(m_options.strSearch));
    if (pattern.size() < kSearchMinLength) {
        Write(m_err, "Word size < 3\n");
        return std::nullopt;
    }
    return pattern;
}

int CKestrumCli::FindDevice() {
    try {
        m_pDatabase = std::make_unique<CSongDatabase>(m_table);
        bool bFound = false;
        if (m_options.root) {
            platform::Platform().MapDrive(static_cast<WChar>(kRootLetter),
                                          WideFromUtf8(AbsoluteFolder(*m_options.root)));
            bFound = m_pDatabase->ProbeDevice(static_cast<WChar>(kRootLetter));
        } else if (m_options.drive) {
            bFound = m_pDatabase->ProbeDevice(static_cast<WChar>(*m_options.drive));
        } else {
            for (WChar letter = u'D'; letter <= u'Z' && !bFound; ++letter) {
                bFound = m_pDatabase->ProbeDevice(letter);
            }
        }
        if (!bFound) {
            Write(m_err, "Impossible to find an Ipod\n");
            return kExitNoPlayer;
        }
        if (m_options.bFromFiles) {
            return ReadSongFiles();
        }
        if (!m_pDatabase->LoadDatabase()) {
            char szMessage[32];
            std::snprintf(szMessage, sizeof szMessage, "Error is : %d",
                          m_pDatabase->GetLastError());
            Write(m_err, std::string(szMessage) + "\n");
            return kExitBadDatabase;
        }
        // As the dialog does: the results are not looked at; a track that cannot be read
        // simply has no row.
        m_table.Reserve(m_pDatabase->GetTrackCount());
        m_pDatabase->BeginWalk();
        const std::uint32_t count = m_pDatabase->GetTrackCount();
        for (std::uint32_t i = 0; i < count; ++i) {
            m_pDatabase->NextTrack();
        }
        if (m_options.bLost) {
            m_nFirstRow = m_table.GetItemCount();
            m_pDatabase->AddFileSongs(
                songfiles::LostSongs(songfiles::FindSongFiles(m_pDatabase->GetDriveLetter()),
                                     m_pDatabase->GetTrackLocations()));
        }
        SetNameRule();
    } catch (const std::exception&) {
        Write(m_err, "An error occurred\n");
        return kExitBadDatabase;
    }
    return kExitOk;
}

// --from-files: the song files are the rows; the catalogue is never read.
int CKestrumCli::ReadSongFiles() {
    const std::vector<WString> files = songfiles::FindSongFiles(m_pDatabase->GetDriveLetter());
    if (files.empty()) {
        Write(m_err, "There are no song files on the player.\n");
    }
    m_pDatabase->AddFileSongs(files);
    SetNameRule();
    return kExitOk;
}

void CKestrumCli::SetNameRule() {
    exportname::SNameRule rule;
    if (m_options.nameTemplate) {
        rule.strTemplate = WideFromUtf8(*m_options.nameTemplate);
    }
    rule.bSafe = m_options.bSafeNames;
    m_pDatabase->SetNameRule(rule);
}

WString CKestrumCli::FileNameOf(int row) const {
    WString name;
    if (!m_pDatabase->FormFileName(row, name)) {
        name.clear();
    }
    // A safe name's folders are the template's; a plain name shows its title as stored.
    return m_pDatabase->GetNameRule().IsPlain() ? name : SlashPath(name);
}

void CKestrumCli::WriteRows(const std::vector<int>& rows) const {
    constexpr std::size_t kWriteSize = std::size_t{1} << 16;
    std::string buffer;
    buffer.reserve(2 * kWriteSize);
    WString fileName;
    for (const int row : rows) {
        if (!m_pDatabase->FormFileName(row, fileName)) {
            fileName.clear();
        }
        AppendRowLine(buffer, row, m_table.Cell(row, kColumnTitle),
                      m_table.Cell(row, kColumnArtist), m_table.Cell(row, kColumnAlbum), fileName);
        if (m_options.bFromFiles || m_options.bLost) {
            // The file's path on the player, after the name its copy gets.
            WString location;
            m_pDatabase->GetLocation(row, location);
            std::replace(location.begin(), location.end(), u':', u'/');
            buffer.back() = '\t';
            AppendEscapedField(buffer, WStringView(location).substr(location.empty() ? 0 : 1));
            buffer += '\n';
        }
        if (buffer.size() >= kWriteSize) {
            Write(m_out, buffer);
            buffer.clear();
        }
    }
    Write(m_out, buffer);
}

std::vector<int> CKestrumCli::ShownRows(std::vector<int> rows) const {
    std::erase_if(rows, [this](int row) { return row < m_nFirstRow; });
    return rows;
}

void CKestrumCli::WriteSongList(const std::vector<int>& rows) {
    // The song files of --from-files have no catalogue, so no Play Counts entries either.
    if (!m_options.bFromFiles) {
        const playcounts::EState eState = m_pDatabase->LoadPlayCounts();
        if (eState == playcounts::EState::kStale) {
            Write(m_err,
                  "kestrum-cli: the Play Counts file has not one entry per song of the "
                  "catalogue; the plays since the last sync are left out\n");
        } else if (eState == playcounts::EState::kMalformed) {
            Write(m_err,
                  "kestrum-cli: the Play Counts file cannot be read; the plays since the last "
                  "sync are left out\n");
        }
    }
    std::vector<songlist::EField> fields = songlist::AllFields();
    if (m_options.fields) {
        std::string unknown;
        songlist::ParseFields(*m_options.fields, fields, unknown);
    }
    // Byte for byte the same on every platform: CR LF in CSV, LF in JSON.
    platform::UseBinaryOutput(m_out);
    songlist::CSongListWriter writer(
        m_options.eFormat == EListFormat::kCsv ? songlist::EFormat::kCsv : songlist::EFormat::kJson,
        std::move(fields));
    constexpr std::size_t kWriteSize = std::size_t{1} << 16;
    std::string buffer;
    writer.Begin(buffer);
    for (const int row : rows) {
        writer.AppendRow(buffer, *m_pDatabase, row);
        if (buffer.size() >= kWriteSize) {
            Write(m_out, buffer);
            buffer.clear();
        }
    }
    writer.End(buffer);
    Write(m_out, buffer);
}

int CKestrumCli::OnList() {
    std::vector<int> rows(static_cast<std::size_t>(m_table.GetItemCount()));
    std::iota(rows.begin(), rows.end(), 0);
    rows = ShownRows(std::move(rows));
    if (m_options.eFormat == EListFormat::kTsv) {
        WriteRows(rows);
    } else {
        WriteSongList(rows);
    }
    return kExitOk;
}

int CKestrumCli::OnSearch() {
    const WString pattern = SearchPattern(WideFromUtf8(m_options.strSearch));
    const std::vector<int> rows = ShownRows(
        FindMatchingRows(m_table, m_pDatabase->GetTrackCount(), pattern, m_options.nColumn));
    if (m_options.eFormat == EListFormat::kTsv) {
        WriteRows(rows);
    } else {
        WriteSongList(rows);
    }
    return kExitOk;
}

int CKestrumCli::OnPlaylists() {
    int number = 0;
    for (const SPlaylist& playlist : m_pDatabase->ReadPlaylists()) {
        if (!playlist.bMaster) {
            Write(m_out, std::to_string(++number) + "\t" + EscapeField(playlist.strName) + "\t" +
                             std::to_string(playlist.tracks.size()) + "\n");
        }
    }
    return kExitOk;
}

// By its exact name first, else by its number in the playlists command.
const SPlaylist* CKestrumCli::FindPlaylist(const std::vector<SPlaylist>& playlists) const {
    const WString name = WideFromUtf8(m_options.strPlaylist);
    std::vector<const SPlaylist*> shown;
    for (const SPlaylist& playlist : playlists) {
        if (!playlist.bMaster) {
            if (playlist.strName == name) {
                return &playlist;
            }
            shown.push_back(&playlist);
        }
    }
    const std::string& text = m_options.strPlaylist;
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](char ch) { return ch >= '0' && ch <= '9'; })) {
        return nullptr;
    }
    const std::size_t number = std::stoul(text);
    return number >= 1 && number <= shown.size() ? shown[number - 1] : nullptr;
}

bool CKestrumCli::ChooseRows(std::vector<int>& rows) {
    const int nRows = m_table.GetItemCount();
    switch (m_options.eSelection) {
        case ESelection::kAll:
            for (int row = m_nFirstRow; row < nRows; ++row) {
                rows.push_back(row);
            }
            return true;
        case ESelection::kRows: {
            unsigned long outOfRange = 0;
            if (!ExpandRowList(m_options.rows, static_cast<unsigned long>(nRows), rows,
                               outOfRange)) {
                Write(m_err, "kestrum-cli: row " + std::to_string(outOfRange) +
                                 " is out of range: the player has " + std::to_string(nRows) +
                                 (nRows == 1 ? " row\n" : " rows\n"));
                return false;
            }
            return true;
        }
        case ESelection::kMatch:
            rows = ShownRows(FindMatchingRows(m_table, m_pDatabase->GetTrackCount(),
                                              SearchPattern(WideFromUtf8(m_options.strSearch)),
                                              m_options.nColumn));
            return true;
        case ESelection::kPlaylist: {
            const std::vector<SPlaylist> playlists = m_pDatabase->ReadPlaylists();
            const SPlaylist* pPlaylist = FindPlaylist(playlists);
            if (pPlaylist == nullptr) {
                Write(m_err, "kestrum-cli: the player has no playlist \"" + m_options.strPlaylist +
                                 "\" (see kestrum-cli playlists)\n");
                return false;
            }
            m_strPlaylist = pPlaylist->strName;
            m_playlistRows = pPlaylist->tracks;
            // A song the playlist holds twice is copied once.
            std::unordered_map<int, bool> seen;
            for (const int row : m_playlistRows) {
                if (seen.emplace(row, true).second) {
                    rows.push_back(row);
                }
            }
            return true;
        }
        case ESelection::kNone:
            break;
    }
    return false;
}

// DIR/NAME.m3u8: the playlist's songs that were copied, in its order, as paths relative to
// the folder, each after its length and "artist - title".
bool CKestrumCli::WritePlaylist(const std::filesystem::path& folder,
                                const std::unordered_map<int, WString>& names) {
    const WString fileName = exportname::SafeFileName(m_strPlaylist, u".m3u8");
    const std::filesystem::path path = folder / PathFromUtf8(Utf8FromWide(fileName));
    std::string text = "#EXTM3U\n";
    std::size_t entries = 0;
    for (const int row : m_playlistRows) {
        const auto found = names.find(row);
        if (found == names.end()) {
            continue;
        }
        const std::string entry =
            FormatPlaylistEntry(m_pDatabase->GetTrackLength(row), m_table.Cell(row, kColumnArtist),
                                m_table.Cell(row, kColumnTitle), SlashPath(found->second));
        if (!entry.empty()) {
            text += entry;
            ++entries;
        }
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    file.close();
    if (!file) {
        Write(m_err, "kestrum-cli: cannot write " + Utf8FromPath(path) + "\n");
        return false;
    }
    Write(m_err, "Playlist " + Utf8FromPath(path) + ": " + std::to_string(entries) +
                     (entries == 1 ? " song\n" : " songs\n"));
    return true;
}

int CKestrumCli::OnExtract() {
    // An interrupt ends the run between songs: the copy under way is abandoned, the songs copied
    // so far take their names, and nothing else is left in the folder.
    const platform::CInterruptWatch interrupt;
    const platform::CCopyProgressScope stopOnInterrupt(
        [&interrupt](std::uint64_t, std::uint64_t) { return !interrupt.IsRequested(); });
    std::vector<int> rows;
    if (!ChooseRows(rows)) {
        return kExitUsage;
    }

    const std::string folder = AbsoluteFolder(*m_options.toDir);
    const std::filesystem::path folderPath = PathFromUtf8(folder);
    const auto start = std::chrono::steady_clock::now();
    const auto elapsed = [&start]() {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    SRunCounts counts;
    counts.chosen = rows.size();

    if (!CreateFolders(WideFromUtf8(folder))) {
        Write(m_err, "kestrum-cli: cannot create " + folder + ": " +
                         platform::Platform().LastErrorText() + "\n");
        Write(m_err, FormatSummary(counts, folder, elapsed()) + "\n");
        return rows.empty() ? kExitOk : kExitSomeFailed;
    }

    // The platform takes the folder in Windows form, ending with a backslash, as the dialog
    // hands it over.
    const WString destination = WideFromUtf8(folder) + u'\\';
    // What an earlier run stopped hard left behind; this run copies whether or not that works.
    platform::Platform().RemoveStaleTemporaries(destination.c_str());
    m_pDatabase->BeginExportRun();
    // Made before the space is counted: while it lives, the folder's names are read once for
    // the whole run, not once per song looked up.
    platform::CCopyBatch batch;
    if (!m_options.bAnyway && !FitsFreeSpace(rows, destination, folder)) {
        return kExitSomeFailed;
    }
    const bool bProgress = platform::IsErrorTerminal();
    auto lastDrawn = start - std::chrono::seconds(1);
    const auto clearProgress = [&]() {
        if (bProgress) {
            Write(m_err, "\r\x1b[K");
        }
    };
    // The name each copy was given, by row, once it is in place: the playlist lists them.
    std::unordered_map<int, WString> names;
    const auto notExtracted = [&](int row, const WString& fileName, const std::string& reason) {
        const WStringView shown =
            fileName.empty() ? m_table.Cell(row, kColumnTitle) : WStringView(fileName);
        clearProgress();
        Write(m_err, "Not extracted: row " + std::to_string(row) + " \"" + EscapeField(shown) +
                         "\": " + reason + "\n");
    };
    // Copies made so far wait in the batch without their names; each keeps its row here.
    struct SStaged {
        int row;
        WString fileName;
        WString copyName;
    };
    std::vector<SStaged> staged;
    const auto commit = [&]() {
        const std::vector<platform::SStagedCopy> outcome = batch.Commit();
        for (std::size_t k = 0; k < outcome.size() && k < staged.size(); ++k) {
            if (outcome[k].bDone) {
                ++counts.copied;
                counts.bytes += outcome[k].bytes;
                names[staged[k].row] = staged[k].copyName;
            } else {
                notExtracted(staged[k].row, staged[k].fileName,
                             std::string(ExportFailureText(EExportFailure::kCopyFailed)) + ": " +
                                 std::system_category().message(outcome[k].nError));
            }
        }
        staged.clear();
    };

    bool bInterrupted = false;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int row = rows[i];
        const WString fileName = FileNameOf(row);
        const std::size_t nStagedBefore = batch.StagedCount();
        if (m_pDatabase->ExportTrack(row, destination.c_str())) {
            const WString copyName = SlashPath(m_pDatabase->GetExportedName());
            if (m_pDatabase->WasAlreadyThere()) {
                ++counts.alreadyThere;
                names[row] = copyName;
            } else if (batch.StagedCount() > nStagedBefore) {
                staged.push_back(SStaged{row, fileName, copyName});
            } else {
                // A platform that copies at once: the copy is in place already.
                ++counts.copied;
                names[row] = copyName;
                counts.bytes += FileSizeOf(destination + copyName);
            }
        } else if (interrupt.IsRequested()) {
            // The copy stopped by its progress (this one, or the next after a request between
            // songs); its temporary file is gone already.
            bInterrupted = true;
            break;
        } else {
            const EExportFailure failure = m_pDatabase->GetExportFailure();
            std::string reason = ExportFailureText(failure);
            if (failure == EExportFailure::kCopyFailed || failure == EExportFailure::kNoFolder) {
                reason += ": " + platform::Platform().LastErrorText();
            }
            notExtracted(row, fileName, reason);
        }
        if (batch.StagedBytes() >= kBatchBytes || batch.StagedCount() >= kBatchSongs ||
            i + 1 == rows.size()) {
            commit();
        }
        const auto now = std::chrono::steady_clock::now();
        if (bProgress &&
            (now - lastDrawn > std::chrono::milliseconds(100) || i + 1 == rows.size())) {
            lastDrawn = now;
            clearProgress();
            Write(m_err, FormatProgress(i + 1, rows.size(), counts.bytes, elapsed()));
            std::fflush(m_err);
        }
    }
    clearProgress();
    if (bInterrupted) {
        commit();
        // Songs found already there are extracted as much as the ones copied now.
        Write(m_err, "Interrupted: " + std::to_string(counts.copied + counts.alreadyThere) +
                         " of " + std::to_string(rows.size()) + " songs extracted\n");
        return kExitInterrupted;
    }
    bool bPlaylistWritten = true;
    if (m_options.eSelection == ESelection::kPlaylist) {
        bPlaylistWritten = WritePlaylist(folderPath, names);
    }
    Write(m_err, FormatSummary(counts, folder, elapsed()) + "\n");
    return counts.copied + counts.alreadyThere == rows.size() && bPlaylistWritten ? kExitOk
                                                                                  : kExitSomeFailed;
}

bool CKestrumCli::FitsFreeSpace(const std::vector<int>& rows, const WString& destination,
                                const std::string& folder) {
    std::uint64_t freeToCaller = 0;
    std::uint64_t total = 0;
    // Where the space cannot be asked, the copies themselves will tell.
    if (!platform::Platform().GetDiskSpace(destination.c_str(), freeToCaller, total)) {
        return true;
    }
    // Most runs fit even counting the songs there already, which spares looking up every
    // song's name in the folder twice (here and as it is copied).
    std::uint64_t atMost = 0;
    for (const int row : rows) {
        atMost += m_pDatabase->SpaceNeededAtMost(row);
    }
    if (atMost <= freeToCaller) {
        return true;
    }
    std::uint64_t needed = 0;
    std::size_t songs = 0;
    for (const int row : rows) {
        if (const std::uint64_t bytes = m_pDatabase->SpaceNeeded(row, destination.c_str());
            bytes > 0) {
            needed += bytes;
            ++songs;
        }
    }
    if (songs == 0 || needed <= freeToCaller) {
        return true;
    }
    Write(m_err, "kestrum-cli: the " + std::to_string(songs) +
                     (songs == 1 ? " song needs " : " songs need ") + FormatMegabytes(needed) +
                     ", but " + folder + " has only " + FormatMegabytes(freeToCaller) +
                     " free; nothing was copied (--anyway copies as many as fit)\n");
    return false;
}

void WriteUsage(std::FILE* err, const std::string& reason) {
    Write(err, "kestrum-cli: " + reason +
                   "\n"
                   "Usage: kestrum-cli list | playlists | search TEXT [--field F] |\n"
                   "       (list and search: [--format tsv|csv|json] [--fields F1,F2,...])\n"
                   "       extract --to DIR (--all | --rows LIST | --match TEXT [--field F] |\n"
                   "       --playlist NAME) [--name TEMPLATE] [--safe-names] [--drive E | --root "
                   "DIR]\n"
                   "Try 'kestrum-cli --help' for more.\n");
}

}  // namespace

int RunKestrumCli(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    SCliOptions options;
    std::string error;
    if (!ParseCommandLine(args, options, error)) {
        WriteUsage(err, error);
        return kExitUsage;
    }
    if (options.eCommand == ECommand::kHelp) {
        Write(out, HelpText());
        return kExitOk;
    }
    if (options.eCommand == ECommand::kVersion) {
        Write(out, VersionText());
        return kExitOk;
    }
    // Installed for the run only, over whatever platform is in place.
    CCliPlatform cliPlatform(platform::Platform());
    platform::InstallPlatform(&cliPlatform);
    int status = kExitBadDatabase;
    try {
        CKestrumCli cli(options, out, err);
        status = cli.Run();
    } catch (const std::bad_alloc&) {
        Write(err, "An error occurred\n");
    }
    platform::InstallPlatform(nullptr);
    return status;
}

}  // namespace cli
