// The real program on the Qt backend, offscreen: layout in dialog units, then one run that
// lists, searches, ticks, extracts, minimises and closes through the widgets as a user would.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "QtTestRun.h"
#include "TestPlayer.h"
#include "app/KestrumApp.h"
#include "res/resource.h"
#include "ui/ResourceTables.h"
#include "ui/qt/DialogUnits.h"
#include "ui/qt/QtBackend.h"

namespace {

namespace fs = std::filesystem;

constexpr int kSongCount = 300;
// The one song the search for "zebra" finds, in the middle so that it can scroll to the top.
constexpr int kZebraRow = 150;

struct SBox {
    WString text;
    WString caption;
};

// One player and one QApplication for the whole process: the platform reads the drive list
// once, and the program's removal watcher keeps polling the player until the process ends.
class CQtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        m_player = qttest::FreshFolder("player");
        std::vector<qttest::SSong> songs;
        const char* const kTitles[] = {"Theory", "Mother", "Breathe", "Other Side", "Ox"};
        for (int i = 0; i < kSongCount; ++i) {
            std::string title = kTitles[i % 5] + std::string(" ") + std::to_string(i);
            if (i == kZebraRow) {
                title = "Zebra Crossing";
            }
            songs.push_back(
                {title, "Artist " + std::to_string(i % 7), "Album " + std::to_string(i % 3)});
        }
        ASSERT_TRUE(qttest::WritePlayer(m_player, songs));
        setenv("KESTRUM_DRIVES", ("E=" + m_player.string()).c_str(), 1);
        qttest::EnsureApplication();
    }
    // The player stays until the process ends (see above).

private:
    fs::path m_player;
};

const ::testing::Environment* const g_pEnvironment =
    ::testing::AddGlobalTestEnvironment(new CQtEnvironment);

using qttest::WaitUntil;

// Runs the program with the backend installed; script runs once for each dialog shown.
class QtSmoke : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(AfxGetApp(), &theApp);
        SetUiBackend(&m_backend);
        SUiTestHooks& hooks = m_backend.Hooks();
        hooks.answerMessageBox = [this](HWND, const WString& text, const WString& caption, UINT) {
            m_boxes.push_back({text, caption});
            return IDOK;
        };
        hooks.shellExecute = [this](const WString&, const WString& file, int) {
            m_opened.push_back(file);
        };
        hooks.dialogShown = [this](HWND hDlg, UINT nIDTemplate) {
            if (m_script) {
                m_script(hDlg, nIDTemplate);
            }
        };
    }
    void TearDown() override { SetUiBackend(nullptr); }

    template <typename TWidget>
    TWidget* Control(HWND hDlg, int nId) {
        return qobject_cast<TWidget*>(m_backend.WidgetOf(m_backend.GetDlgItem(hDlg, nId)));
    }

    WString Text(HWND hWnd) {
        WChar szText[kMaxPath] = {};
        m_backend.GetWindowText(hWnd, szText, static_cast<int>(kMaxPath));
        return szText;
    }

    WString Cell(HWND hList, int nRow, int nCol) {
        WChar szText[kMaxPath] = {};
        m_backend.ListGetItemText(hList, nRow, nCol, szText, static_cast<int>(kMaxPath));
        return szText;
    }

    void Run() { AfxWinMain(); }

    qtui::CQtBackend m_backend;
    std::vector<SBox> m_boxes;
    std::vector<WString> m_opened;
    std::function<void(HWND, UINT)> m_script;
};

TEST_F(QtSmoke, EveryControlSitsAtItsDialogUnitRectangle) {
    bool bChecked = false;
    m_script = [&](HWND hDlg, UINT nIDTemplate) {
        if (nIDTemplate == IDD_KESTRUM_DIALOG) {
            // The about box too: its template is laid out by the same code.
            m_backend.SendMessage(hDlg, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
            m_backend.SendMessage(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            return;
        }
        for (UINT nId : {UINT{IDD_KESTRUM_DIALOG}, UINT{IDD_ABOUTBOX}}) {
            const SDialogTemplate* pTemplate = FindDialogTemplate(static_cast<int>(nId));
            ASSERT_NE(pTemplate, nullptr);
            QWidget* pWindow = nId == nIDTemplate ? m_backend.WidgetOf(hDlg)
                                                  : m_backend.WidgetOf(hDlg)->parentWidget();
            ASSERT_NE(pWindow, nullptr);
            const qtui::SBaseUnits units = qtui::BaseUnitsOf(pWindow->font());
            EXPECT_EQ(pWindow->size(), qtui::DialogUnitsToPixels(units, pTemplate->x, pTemplate->y,
                                                                 pTemplate->cx, pTemplate->cy)
                                           .size());
            EXPECT_EQ(pWindow->windowTitle().toStdU16String(), WString(pTemplate->pszCaption));
            const QList<QWidget*> children =
                pWindow->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
            for (std::size_t i = 0; i < pTemplate->nItems; ++i) {
                const SDialogItemTemplate& item = pTemplate->pItems[i];
                const QRect expected =
                    qtui::DialogUnitsToPixels(units, item.x, item.y, item.cx, item.cy);
                // The closed combo box is as high as its font needs, and an icon is drawn at
                // its own size: those keep their place, not their template size. A label may
                // have been widened to keep its text on one line.
                const bool bStatic = std::string(item.pszClass) == "Static";
                const bool bOwnSize = std::string(item.pszClass) == "ComboBox" ||
                                      (bStatic && (item.dwStyle & 0x1F) == 3);
                bool bFound = false;
                for (QWidget* pChild : children) {
                    const QRect actual = pChild->geometry();
                    const bool bWidened = bStatic && actual.topLeft() == expected.topLeft() &&
                                          actual.height() == expected.height() &&
                                          actual.width() >= expected.width();
                    if (bOwnSize ? actual.topLeft() == expected.topLeft()
                                 : actual == expected || bWidened) {
                        bFound = true;
                    }
                }
                EXPECT_TRUE(bFound)
                    << "item " << i << " of dialog " << nId << " at " << item.x << "," << item.y;
            }
        }
        bChecked = true;
        m_backend.EndDialog(hDlg, IDOK);
    };
    Run();
    EXPECT_TRUE(bChecked);
}

// Each text label of the main dialog shows its text on one line under the fonts this machine
// has: where they are wider than the layout's, the backend widens a label into the free space
// beside it or keeps it from wrapping.
TEST_F(QtSmoke, LabelsKeepTheirTextOnOneLine) {
    int nLabels = 0;
    m_script = [&](HWND hDlg, UINT nIDTemplate) {
        if (nIDTemplate != IDD_KESTRUM_DIALOG) {
            return;
        }
        for (const QLabel* pLabel : m_backend.WidgetOf(hDlg)->findChildren<QLabel*>()) {
            if (pLabel->text().isEmpty()) {
                continue;
            }
            ++nLabels;
            // Laid out as the label paints it: wrapped at its width, in its font.
            const QFontMetricsF metrics(pLabel->font());
            const QRectF laidOut = metrics.boundingRect(QRectF(0, 0, pLabel->width(), 1000),
                                                        Qt::TextWordWrap, pLabel->text());
            EXPECT_TRUE(laidOut.height() < 2 * metrics.lineSpacing() || !pLabel->wordWrap())
                << pLabel->text().toStdString() << " wraps";
        }
        m_backend.EndDialog(hDlg, IDOK);
    };
    Run();
    EXPECT_EQ(nLabels, 8) << "four captions and four figures";
}

TEST_F(QtSmoke, ListsSearchesTicksExtractsMinimisesAndCloses) {
    const fs::path output = qttest::FreshFolder("output");
    bool bAboutShown = false;
    bool bFinished = false;
    int nFolderAsked = 0;
    m_script = [&](HWND hDlg, UINT nIDTemplate) {
        if (nIDTemplate == IDD_EXTRACT_PROGRESS) {
            return;  // the run goes on in the dialog's own loop and ends it
        }
        if (nIDTemplate == IDD_ABOUTBOX) {
            bAboutShown = true;
            ASSERT_NE(Control<QPushButton>(hDlg, IDOK), nullptr);
            Control<QPushButton>(hDlg, IDOK)->click();
            return;
        }
        QWidget* pWindow = m_backend.WidgetOf(hDlg);
        HWND hList = m_backend.GetDlgItem(hDlg, IDC_SONGLIST);
        auto* pView = Control<QTableView>(hDlg, IDC_SONGLIST);
        ASSERT_NE(pView, nullptr);

        // The list holds every song in file order, enabled, with the summary above it.
        ASSERT_EQ(m_backend.ListGetItemCount(hList), kSongCount);
        EXPECT_EQ(Cell(hList, 0, 0), u"Theory 0");
        EXPECT_EQ(Cell(hList, 1, 1), u"Artist 1");
        EXPECT_EQ(Cell(hList, 2, 2), u"Album 2");
        EXPECT_TRUE(pView->isEnabled());
        EXPECT_TRUE(Control<QPushButton>(hDlg, IDOK)->isEnabled());
        EXPECT_EQ(Text(m_backend.GetDlgItem(hDlg, IDC_DRIVE)), u"E:");
        EXPECT_EQ(Text(m_backend.GetDlgItem(hDlg, IDC_SONGCOUNT)), u"300");
        ASSERT_TRUE(WaitUntil([&] { return pView->model()->rowCount() == kSongCount; }));

        // Search: the text, the field "Title" (index 2 of the sorted box), then the button.
        auto* pEdit = Control<QLineEdit>(hDlg, IDC_SEARCHTEXT);
        auto* pCombo = Control<QComboBox>(hDlg, IDC_SEARCHFIELD);
        auto* pSearch = Control<QPushButton>(hDlg, IDC_SEARCH);
        ASSERT_TRUE(pEdit && pCombo && pSearch);
        ASSERT_EQ(pCombo->count(), 3);
        EXPECT_EQ(pCombo->itemText(0), QStringLiteral("Album"));
        EXPECT_EQ(pCombo->currentIndex(), -1);
        pEdit->setText(QStringLiteral("zebra"));
        pCombo->setCurrentIndex(2);
        pSearch->click();
        EXPECT_EQ(m_backend.ListGetItemState(hList, kZebraRow, LVIS_SELECTED), LVIS_SELECTED);
        EXPECT_EQ(m_backend.ListGetTopIndex(hList), kZebraRow);
        EXPECT_EQ(m_backend.GetFocus(), hList);
        EXPECT_EQ(pSearch->text(), QStringLiteral("Continue"));
        pSearch->click();
        ASSERT_EQ(m_boxes.size(), 1u);
        EXPECT_EQ(m_boxes.back().text, u"Search completed");
        EXPECT_EQ(m_boxes.back().caption, u"Kestrum");
        EXPECT_EQ(pSearch->text(), QStringLiteral("Search"));
        pEdit->setText(QStringLiteral("ze"));
        pSearch->click();
        ASSERT_EQ(m_boxes.size(), 2u);
        EXPECT_EQ(m_boxes.back().text, u"Word size < 3");

        // Check-all ticks every row, and a second click clears them.
        auto* pCheckAll = Control<QCheckBox>(hDlg, IDC_CHECKALL);
        ASSERT_NE(pCheckAll, nullptr);
        pCheckAll->click();
        EXPECT_TRUE(pCheckAll->isChecked());
        int nTicked = 0;
        for (int i = 0; i < kSongCount; ++i) {
            nTicked += m_backend.ListGetCheck(hList, i);
        }
        EXPECT_EQ(nTicked, kSongCount);
        pCheckAll->click();
        EXPECT_FALSE(m_backend.ListGetCheck(hList, 0));

        // Extract two rows ticked in the view into the chosen folder.
        m_backend.Hooks().answerFolder = [&](const WString& title, WString& path) {
            ++nFolderAsked;
            EXPECT_EQ(title, u"Select the dir where save the files");
            path = output.u16string();
            return EFolderChoice::kChosen;
        };
        pView->model()->setData(pView->model()->index(1, 0), Qt::Checked, Qt::CheckStateRole);
        pView->model()->setData(pView->model()->index(3, 0), Qt::Checked, Qt::CheckStateRole);
        EXPECT_TRUE(m_backend.ListGetCheck(hList, 1));
        Control<QPushButton>(hDlg, IDOK)->click();
        EXPECT_EQ(nFolderAsked, 1);
        EXPECT_EQ(m_boxes.back().text, u"All songs extracted");
        EXPECT_TRUE(fs::exists(output / "Mother 1.MP3") || fs::exists(output / "Mother 1.mp3"));
        EXPECT_FALSE(m_backend.ListGetCheck(hList, 1));
        EXPECT_FALSE(m_backend.ListGetCheck(hList, 3));

        // Enter while typing in the search box runs the default button: the extract again.
        m_backend.Hooks().answerFolder = [&](const WString&, WString&) {
            ++nFolderAsked;
            return EFolderChoice::kCancelled;
        };
        pEdit->setFocus();
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(pEdit, &enter);
        EXPECT_EQ(nFolderAsked, 2);

        // Without a notification area, minimising leaves the window where it was.
        pWindow->setWindowState(Qt::WindowMinimized);
        EXPECT_TRUE(WaitUntil([&] { return !pWindow->isMinimized(); }));
        EXPECT_TRUE(pWindow->isVisible());
        EXPECT_FALSE(m_backend.IsTrayIconShown(hDlg, 1));

        // With one, the window hides into the icon and a double click brings it back.
        m_backend.Hooks().trayAvailable = true;
        pWindow->setWindowState(Qt::WindowMinimized);
        EXPECT_TRUE(WaitUntil([&] { return !pWindow->isVisible(); }));
        EXPECT_TRUE(m_backend.IsTrayIconShown(hDlg, 1));
        EXPECT_EQ(m_backend.TrayToolTip(hDlg, 1), u"Kestrum");
        m_backend.ActivateTrayIcon(hDlg, 1, QSystemTrayIcon::DoubleClick);
        EXPECT_TRUE(pWindow->isVisible());
        EXPECT_FALSE(pWindow->isMinimized());
        EXPECT_FALSE(m_backend.IsTrayIconShown(hDlg, 1));

        // The icon's menu: "Show Window" arrives once the menu has closed; the default item
        // shows in bold from the second pop-up on.
        std::vector<std::vector<qtui::SPopupItem>> menus;
        m_backend.Hooks().answerPopupMenu = [&](HMENU hMenu, HWND) {
            menus.push_back(m_backend.PopupItems(hMenu));
            return UINT{ID_TRAY_SHOWWINDOW};
        };
        for (int nRound = 0; nRound < 2; ++nRound) {
            pWindow->setWindowState(Qt::WindowMinimized);
            ASSERT_TRUE(WaitUntil([&] { return !pWindow->isVisible(); }));
            m_backend.ActivateTrayIcon(hDlg, 1, QSystemTrayIcon::Context);
            EXPECT_TRUE(WaitUntil([&] { return pWindow->isVisible(); }));
        }
        ASSERT_EQ(menus.size(), 2u);
        ASSERT_EQ(menus[0].size(), 1u);
        EXPECT_EQ(menus[0][0].strText, u"Show Window");
        EXPECT_FALSE(menus[0][0].bDefault);
        EXPECT_TRUE(menus[1][0].bDefault);

        // The about entry of the window's menu, reached with a right click on the background,
        // with the extract options and the song list's save after it.
        m_backend.Hooks().answerPopupMenu = [&](HMENU hMenu, HWND) {
            std::vector<WString> texts;
            UINT nAbout = 0;
            for (const qtui::SPopupItem& item : m_backend.PopupItems(hMenu)) {
                texts.push_back(item.strText);
                nAbout = item.strText == u"&About Kestrum..." ? item.nId : nAbout;
            }
            const auto about = std::find(texts.begin(), texts.end(), u"&About Kestrum...");
            const auto options = std::find(about, texts.end(), u"Extract options...");
            EXPECT_EQ(options - about, 1);
            EXPECT_NE(std::find(options, texts.end(), u"Save song list..."), texts.end());
            EXPECT_NE(std::find(options, texts.end(), u"Find lost songs"), texts.end());
            return nAbout;
        };
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(2, 2),
                                    pWindow->mapToGlobal(QPoint(2, 2)));
        QCoreApplication::sendEvent(pWindow, &menuEvent);
        EXPECT_TRUE(WaitUntil([&] { return bAboutShown; }));

        // The close box: a system command, then Cancel, which ends the dialog.
        bFinished = true;
        pWindow->close();
    };
    Run();
    EXPECT_TRUE(bFinished);
    EXPECT_TRUE(bAboutShown);
}

TEST_F(QtSmoke, MessageBoxFromAnotherThreadIsAnsweredOnTheGuiThread) {
    bool bOnGuiThread = false;
    m_backend.Hooks().answerMessageBox = [&](HWND hOwner, const WString& text, const WString&,
                                             UINT) {
        bOnGuiThread = QThread::currentThread() == qApp->thread();
        EXPECT_EQ(hOwner, nullptr);
        EXPECT_EQ(text, u"iPod unplugged: now Kestrum will be close");
        return IDOK;
    };
    std::atomic<int> nResult{0};
    std::thread worker([&] {
        nResult = m_backend.MessageBox(nullptr, u"iPod unplugged: now Kestrum will be close",
                                       u"Error", MB_ICONEXCLAMATION | MB_OK);
    });
    EXPECT_TRUE(WaitUntil([&] { return nResult.load() != 0; }));
    worker.join();
    EXPECT_EQ(nResult.load(), IDOK);
    EXPECT_TRUE(bOnGuiThread);
}

TEST_F(QtSmoke, FolderChoiceIsAPathOnlyForAnExistingFolderThatFits) {
    const fs::path folder = qttest::FreshFolder("chooser");
    struct SCase {
        WString chosen;
        EFolderChoice answer;
        EFolderChoice expected;
    };
    const SCase cases[] = {
        {folder.u16string(), EFolderChoice::kChosen, EFolderChoice::kChosen},
        {(folder / "missing").u16string(), EFolderChoice::kChosen, EFolderChoice::kNoPath},
        {u"", EFolderChoice::kChosen, EFolderChoice::kNoPath},
        {u"/" + WString(kMaxPath, u'a'), EFolderChoice::kChosen, EFolderChoice::kNoPath},
        {folder.u16string(), EFolderChoice::kCancelled, EFolderChoice::kCancelled},
        {u"", EFolderChoice::kNoPath, EFolderChoice::kNoPath},
    };
    for (const SCase& row : cases) {
        m_backend.Hooks().answerFolder = [&](const WString&, WString& path) {
            path = row.chosen;
            return row.answer;
        };
        WChar szPath[kMaxPath] = {u'x'};
        EXPECT_EQ(m_backend.BrowseForFolder(u"title", BIF_EDITBOX | BIF_NEWDIALOGSTYLE, szPath),
                  row.expected)
            << Utf8FromWide(row.chosen);
        EXPECT_EQ(WString(szPath), row.expected == EFolderChoice::kChosen ? row.chosen : WString());
    }
}

}  // namespace
