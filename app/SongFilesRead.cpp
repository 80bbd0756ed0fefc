// The song-file worker: lists the player's music folders, then reads each file's tags.
#include "app/SongFilesRead.h"

#include <utility>

#include "songdb/SongFiles.h"
#include "ui/Backend.h"

CSongFilesRead::CSongFilesRead(const CSongDatabase& database,
                               std::optional<std::vector<WString>> named)
    : m_database(database), m_named(std::move(named)) {}

CSongFilesRead::~CSongFilesRead() { Stop(); }

bool CSongFilesRead::Start(HWND hWnd) {
    m_hWnd = hWnd;
    return m_worker.Start([this]() { Work(); });
}

void CSongFilesRead::Stop() {
    Cancel();
    m_worker.Wait();
}

void CSongFilesRead::Work() {
    IUiBackend& ui = UiBackend();
    std::vector<WString> files = songfiles::FindSongFiles(m_database.GetDriveLetter());
    if (m_named.has_value()) {
        files = songfiles::LostSongs(files, *m_named);
    }
    m_nFound = files.size();
    ui.PostMessage(m_hWnd, WM_READ_FOUND, static_cast<WPARAM>(m_nFound), 0);
    m_songs.reserve(files.size());
    for (const WString& location : files) {
        if (m_bCancel.load()) {
            break;
        }
        m_songs.push_back(m_database.ReadFileSong(location));
        ++m_nRead;
        if (!m_bReportPending.exchange(true)) {
            ui.PostMessage(m_hWnd, WM_READ_PROGRESS, static_cast<WPARAM>(m_nRead.load()), 0);
        }
    }
    ui.PostMessage(m_hWnd, WM_READ_DONE, 0, 0);
}
