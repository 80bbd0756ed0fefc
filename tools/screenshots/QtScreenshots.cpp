// kestrum_qt_screenshots OUTDIR: runs the real program on the Qt backend and writes pictures of
// the main dialog (as it starts, and after a search with every row ticked), of the about box,
// of the extract options, of "Find lost songs" (its progress dialog, and the list with the songs
// it added) and of an extraction of every song half-way (its progress dialog over the main
// dialog). The player comes from KESTRUM_DRIVES as for the program itself.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

#include "app/KestrumApp.h"
#include "res/resource.h"
#include "ui/qt/QtBackend.h"

namespace {

constexpr UINT kMainDialog = 102;
constexpr UINT kProgressDialog = 120;
constexpr UINT kReadDialog = 121;
constexpr int kProgressBar = 1051;
// How long the run may take to get half-way before its picture is taken anyway.
constexpr qint64 kProgressWaitMs = 30000;
constexpr UINT kOptionsDialog = 110;
constexpr int kNamePreset = 1030;
constexpr int kSearchText = 1018;
constexpr int kSearchField = 1019;
constexpr int kSearchButton = 1017;
constexpr int kCheckAll = 1020;

bool Save(QWidget* pWidget, const QString& path) {
    QApplication::processEvents();
    const bool bSaved = pWidget != nullptr && pWidget->grab().save(path, "PNG");
    std::printf("%s %s\n", bSaved ? "wrote" : "could not write", qPrintable(path));
    return bSaved;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("Usage: kestrum_qt_screenshots OUTDIR\n", stderr);
        return 64;
    }
    const QString outDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(outDir);
    // Comparing with the application object keeps it in the link (it lives in a static
    // library) and makes sure it is the one registered.
    if (AfxGetApp() != &theApp) {
        return 1;
    }
    qtui::CQtBackend backend;
    SetUiBackend(&backend);
    bool bAllSaved = true;
    SUiTestHooks& hooks = backend.Hooks();
    // Boxes are answered at once and shown on the console instead.
    hooks.answerMessageBox = [](HWND, const WString& text, const WString& caption, UINT) {
        std::printf("message box \"%s\" - \"%s\"\n", qPrintable(QString::fromStdU16String(caption)),
                    qPrintable(QString::fromStdU16String(text)));
        return IDOK;
    };
    hooks.shellExecute = [](const WString&, const WString&, int) {};
    QTemporaryDir extractTo;
    hooks.answerFolder = [&](const WString&, WString& path) {
        path = extractTo.path().toStdU16String();
        return EFolderChoice::kChosen;
    };
    HWND hMain = nullptr;
    hooks.dialogShown = [&](HWND hDlg, UINT nIDTemplate) {
        QWidget* pWindow = backend.WidgetOf(hDlg);
        if (nIDTemplate == kOptionsDialog) {
            // The library preset, picked as a user would, so that the preview shows a path.
            if (auto* pCombo = qobject_cast<QComboBox*>(
                    backend.WidgetOf(backend.GetDlgItem(hDlg, kNamePreset)))) {
                pCombo->setCurrentIndex(2);
                emit pCombo->activated(2);
            }
            bAllSaved &= Save(pWindow, outDir + QStringLiteral("/options.png"));
            backend.EndDialog(hDlg, IDCANCEL);
            return;
        }
        if (nIDTemplate == kProgressDialog) {
            // Half-way: the worker waits after each song until its report has been taken, so
            // the run moves on only as this loop lets it.
            auto* pBar = qobject_cast<QProgressBar*>(
                backend.WidgetOf(backend.GetDlgItem(hDlg, kProgressBar)));
            QElapsedTimer waited;
            waited.start();
            while (pBar != nullptr && pBar->value() * 2 < pBar->maximum() &&
                   waited.elapsed() < kProgressWaitMs) {
                QApplication::processEvents(QEventLoop::AllEvents, 5);
                QThread::msleep(2);
            }
            bAllSaved &= Save(pWindow, outDir + QStringLiteral("/extract-progress.png"));
            bAllSaved &=
                Save(backend.WidgetOf(hMain), outDir + QStringLiteral("/extract-main.png"));
            backend.SendMessage(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            return;
        }
        if (nIDTemplate == kReadDialog) {
            bAllSaved &= Save(pWindow, outDir + QStringLiteral("/read-progress.png"));
            return;
        }
        if (nIDTemplate != kMainDialog) {
            bAllSaved &= Save(pWindow, outDir + QStringLiteral("/about.png"));
            backend.EndDialog(hDlg, IDOK);
            return;
        }
        bAllSaved &= Save(pWindow, outDir + QStringLiteral("/main.png"));
        // A search and the check-all box, through the controls as a user would.
        if (auto* pEdit =
                qobject_cast<QLineEdit*>(backend.WidgetOf(backend.GetDlgItem(hDlg, kSearchText)))) {
            pEdit->setText(QStringLiteral("home"));
        }
        if (auto* pCombo = qobject_cast<QComboBox*>(
                backend.WidgetOf(backend.GetDlgItem(hDlg, kSearchField)))) {
            pCombo->setCurrentIndex(2);
        }
        if (auto* pButton = qobject_cast<QPushButton*>(
                backend.WidgetOf(backend.GetDlgItem(hDlg, kSearchButton)))) {
            pButton->click();
        }
        if (auto* pCheck =
                qobject_cast<QCheckBox*>(backend.WidgetOf(backend.GetDlgItem(hDlg, kCheckAll)))) {
            pCheck->click();
        }
        bAllSaved &= Save(pWindow, outDir + QStringLiteral("/main-search.png"));
        backend.SendMessage(hDlg, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
        backend.SendMessage(hDlg, WM_SYSCOMMAND, IDM_EXTRACTOPTIONS, 0);
        // The read runs in its own dialog within this call; the rows are there when it returns.
        backend.SendMessage(hDlg, WM_SYSCOMMAND, IDM_FINDLOSTSONGS, 0);
        bAllSaved &= Save(pWindow, outDir + QStringLiteral("/main-lost.png"));
        hMain = hDlg;
        backend.SendMessage(hDlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        backend.SendMessage(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    };
    AfxWinMain();
    SetUiBackend(nullptr);
    return bAllSaved ? 0 : 1;
}
