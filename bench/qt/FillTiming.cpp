// kestrum_qt_fill_timing [SONGS]: how long the real program on the Qt backend takes to show a
// player of many songs (load, walk, list fill, first layout and paint), to tick them all and to
// search through them. Prints the figures; not a test, since timings vary with the machine.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "TestPlayer.h"
#include "app/KestrumApp.h"
#include "res/resource.h"
#include "ui/qt/QtBackend.h"

int main(int argc, char** argv) {
    const int nSongs = argc > 1 ? std::atoi(argv[1]) : 40000;
    const auto folder = qttest::FreshFolder("timing");
    std::vector<qttest::SSong> songs;
    songs.reserve(static_cast<std::size_t>(nSongs));
    for (int i = 0; i < nSongs; ++i) {
        songs.push_back({"Song title number " + std::to_string(i),
                         "Artist " + std::to_string(i % 97), "Album " + std::to_string(i % 31)});
    }
    if (!qttest::WritePlayer(folder, songs)) {
        std::fputs("could not write the player\n", stderr);
        return 1;
    }
    setenv("KESTRUM_DRIVES", ("E=" + folder.string()).c_str(), 1);
    QApplication app(argc, argv);
    if (AfxGetApp() != &theApp) {
        return 1;
    }
    qtui::CQtBackend backend;
    SetUiBackend(&backend);
    backend.Hooks().answerMessageBox = [](HWND, const WString&, const WString&, UINT) {
        return IDOK;
    };
    QElapsedTimer clock;
    backend.Hooks().dialogShown = [&](HWND hDlg, UINT) {
        const qint64 nShown = clock.elapsed();
        auto* pView =
            qobject_cast<QTableView*>(backend.WidgetOf(backend.GetDlgItem(hDlg, IDC_SONGLIST)));
        QWidget* pWindow = backend.WidgetOf(hDlg);
        QApplication::processEvents();
        pWindow->grab();
        const qint64 nPainted = clock.elapsed();
        std::printf(
            "%d songs: dialog shown after %lld ms, laid out and painted after %lld ms "
            "(list rows %d)\n",
            nSongs, static_cast<long long>(nShown), static_cast<long long>(nPainted),
            pView != nullptr ? pView->model()->rowCount() : -1);
        clock.restart();
        qobject_cast<QCheckBox*>(backend.WidgetOf(backend.GetDlgItem(hDlg, IDC_CHECKALL)))->click();
        pWindow->grab();
        std::printf("check all: %lld ms\n", static_cast<long long>(clock.elapsed()));
        qobject_cast<QLineEdit*>(backend.WidgetOf(backend.GetDlgItem(hDlg, IDC_SEARCHTEXT)))
            ->setText(QStringLiteral("no such song"));
        qobject_cast<QComboBox*>(backend.WidgetOf(backend.GetDlgItem(hDlg, IDC_SEARCHFIELD)))
            ->setCurrentIndex(2);
        clock.restart();
        qobject_cast<QPushButton*>(backend.WidgetOf(backend.GetDlgItem(hDlg, IDC_SEARCH)))->click();
        std::printf("search through every title: %lld ms\n",
                    static_cast<long long>(clock.elapsed()));
        std::fflush(stdout);
        backend.EndDialog(hDlg, IDCANCEL);
    };
    clock.start();
    AfxWinMain();
    SetUiBackend(nullptr);
    return 0;
}
