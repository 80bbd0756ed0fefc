// The song-file worker: lists the player's music folders, then reads each file's tags.
#include "app/SongFilesRead.h"

#include <utility>

#include "songdb/SongFiles.h"
#include "ui/Backend.h"

CSongFilesRead::CSongFilesRead(const CSongDatabase& database,
                               std::optional<std::vector<WString>> named)
    : m_database(database), m_named(std::move(named)) {}

CSongFilesRead::~CSongFilesRead() {
    Stop();
    if (m_hFinished != nullptr) {
        platform::Platform().CloseSignal(m_hFinished);
    }
}

bool CSongFilesRead::Start(HWND hWnd) {
    platform::IPlatform& os = platform::Platform();
    m_hWnd = hWnd;
    m_hFinished = os.CreateSignal();
    if (m_hFinished == nullptr) {
        return false;
    }
    const platform::ThreadHandle hThread = os.StartThread([this]() { Work(); });
    if (hThread == nullptr) {
        return false;
    }
    os.CloseThread(hThread);
    m_bStarted = true;
    return true;
}

void CSongFilesRead::Stop() {
    Cancel();
    if (!m_bStarted) {
        return;
    }
    platform::IPlatform& os = platform::Platform();
    os.WaitSignal(m_hFinished);
    // Left raised: a second Stop finds it finished too.
    os.RaiseSignal(m_hFinished);
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
    platform::Platform().RaiseSignal(m_hFinished);
}
