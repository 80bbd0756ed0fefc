// The dialog framework on the Qt backend, offscreen: a dialog's life and modal run, the dialog
// manager's keys and close box, nested dialogs, the window helpers, the list view, combo box and
// progress bar as the dialog code relies on them, menus, message boxes and the notification
// icon.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "QtTestRun.h"
#include "res/resource.h"
#include "ui/ComboBox.h"
#include "ui/Dialog.h"
#include "ui/ListCtrl.h"
#include "ui/Menu.h"
#include "ui/ProgressCtrl.h"
#include "ui/WinApp.h"
#include "ui/qt/MenuModel.h"

namespace {

// Records its life, its commands and binds the main dialog's list and combo box.
class CProbeDialog : public CDialog {
public:
    explicit CProbeDialog(UINT nIDTemplate = IDD_KESTRUM_DIALOG, CWnd* pParent = nullptr)
        : CDialog(nIDTemplate, pParent) {}

    CListCtrl m_listSongs;
    CComboBox m_comboField;
    std::vector<std::string> m_log;
    bool m_bEndInInit = false;
    int m_nCreateResult = 0;

    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        m_log.push_back("init");
        if (m_bEndInInit) {
            EndDialog(0);
        }
        return TRUE;
    }
    int OnCreate(void* pCreateStruct) {
        m_log.push_back("create");
        if (CDialog::OnCreate(pCreateStruct) == -1) {
            return -1;
        }
        return m_nCreateResult;
    }
    void OnDestroy() {
        m_log.push_back("destroy");
        CDialog::OnDestroy();
    }
    void OnOk() { m_log.push_back("ok"); }
    void OnSearch() { m_log.push_back("search"); }
    void OnTextChange() { m_log.push_back("text change"); }

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        CDialog::DoDataExchange(pDX);
        if (GetTemplateId() == IDD_KESTRUM_DIALOG) {
            DDX_Control(pDX, IDC_SONGLIST, m_listSongs);
            DDX_Control(pDX, IDC_SEARCHFIELD, m_comboField);
        }
    }

    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CProbeDialog, CDialog)
ON_WM_CREATE()
ON_WM_DESTROY()
ON_BN_CLICKED(IDOK, OnOk)
ON_BN_CLICKED(IDC_SEARCH, OnSearch)
ON_EN_CHANGE(IDC_SEARCHTEXT, OnTextChange)
END_MESSAGE_MAP()

class QtFramework : public ::testing::Test {
protected:
    // Runs a dialog whose step is body; returns DoModal's result.
    INT_PTR RunInDialog(CDialog& dialog, const std::function<void(HWND)>& body) {
        m_run.OnDialogShown([&](HWND hDlg, UINT nIDTemplate) {
            if (nIDTemplate == dialog.GetTemplateId()) {
                body(hDlg);
            }
        });
        return dialog.DoModal();
    }

    qttest::CQtTestRun m_run;
};

TEST_F(QtFramework, DialogLifeRunsCreateInitShowThenDestroy) {
    struct SCase {
        const char* name;
        bool bEndInInit;
        int nCreateResult;
        INT_PTR nResult;
        std::vector<std::string> log;
    };
    const SCase cases[] = {
        {"shown", false, 0, IDCANCEL, {"create", "init", "shown", "destroy"}},
        {"ended during set-up: never shown", true, 0, 0, {"create", "init", "destroy"}},
        {"failed create", false, -1, -1, {"create"}},
    };
    for (const SCase& c : cases) {
        CProbeDialog dialog;
        dialog.m_bEndInInit = c.bEndInInit;
        dialog.m_nCreateResult = c.nCreateResult;
        EXPECT_EQ(RunInDialog(dialog, [&](HWND) { dialog.m_log.push_back("shown"); }), c.nResult)
            << c.name;
        EXPECT_EQ(dialog.m_log, c.log) << c.name;
        EXPECT_EQ(dialog.m_hWnd, nullptr) << c.name;
    }
    CDialog unknown(4242);
    EXPECT_EQ(unknown.DoModal(), -1);
}

// What the dialog manager does with Enter, Escape and the close box.
TEST_F(QtFramework, KeysAndCloseBoxGoWhereTheDialogManagerSendsThem) {
    struct SCase {
        const char* name;
        UINT nTemplate;
        std::function<void(CDialog&)> prepare;
        std::function<void(qttest::CQtTestRun&, HWND)> act;
        std::vector<std::string> log;
        bool bEnds;
    };
    const auto focus = [](int nId) {
        return [nId](CDialog& dialog) { dialog.GetDlgItem(nId)->SetFocus(); };
    };
    const auto key = [](int nQtKey) {
        return [nQtKey](qttest::CQtTestRun& run, HWND hDlg) { run.PressKey(hDlg, nQtKey); };
    };
    const auto closeBox = [](qttest::CQtTestRun& run, HWND hDlg) {
        run.Ui().WidgetOf(hDlg)->close();
    };
    const SCase cases[] = {
        {"enter in the about box", IDD_ABOUTBOX, nullptr, key(Qt::Key_Return), {"ok"}, false},
        {"escape in the about box", IDD_ABOUTBOX, nullptr, key(Qt::Key_Escape), {}, true},
        {"close box of the about box", IDD_ABOUTBOX, nullptr, closeBox, {}, true},
        {"enter in the edit, default button disabled: a beep",
         IDD_KESTRUM_DIALOG,
         focus(IDC_SEARCHTEXT),
         key(Qt::Key_Return),
         {},
         false},
        {"enter in the edit: the default button",
         IDD_KESTRUM_DIALOG,
         [](CDialog& dialog) {
             dialog.GetDlgItem(IDOK)->EnableWindow(TRUE);
             dialog.GetDlgItem(IDC_SEARCHTEXT)->SetFocus();
         },
         key(Qt::Key_Return),
         {"ok"},
         false},
        {"enter on a focused push button: that button",
         IDD_KESTRUM_DIALOG,
         focus(IDC_SEARCH),
         key(Qt::Key_Return),
         {"search"},
         false},
        {"close box with Cancel disabled: a beep",
         IDD_EXTRACT_PROGRESS,
         [](CDialog& dialog) { dialog.GetDlgItem(IDCANCEL)->EnableWindow(FALSE); },
         closeBox,
         {},
         false},
        {"escape with Cancel enabled",
         IDD_EXTRACT_PROGRESS,
         nullptr,
         key(Qt::Key_Escape),
         {},
         true},
    };
    for (const SCase& c : cases) {
        CProbeDialog dialog(c.nTemplate);
        bool bEnding = false;
        std::vector<std::string> log;
        RunInDialog(dialog, [&](HWND hDlg) {
            if (c.prepare) {
                c.prepare(dialog);
            }
            dialog.m_log.clear();
            c.act(m_run, hDlg);
            log = dialog.m_log;
            bEnding = m_run.IsEnding(hDlg);
        });
        EXPECT_EQ(log, c.log) << c.name;
        EXPECT_EQ(bEnding, c.bEnds) << c.name;
    }
}

TEST_F(QtFramework, NestedDialogRunsInItsOwnLoopOverItsOwner) {
    CProbeDialog owner;
    HWND hOwner = nullptr;
    INT_PTR nAboutResult = 0;
    std::vector<UINT> shown;
    m_run.OnDialogShown([&](HWND hDlg, UINT nIDTemplate) {
        shown.push_back(nIDTemplate);
        if (nIDTemplate == IDD_ABOUTBOX) {
            EXPECT_FALSE(m_run.IsEnding(hOwner));
            m_run.PressKey(hDlg, Qt::Key_Escape);
            return;
        }
        hOwner = hDlg;
        CDialog about(IDD_ABOUTBOX, &owner);
        nAboutResult = about.DoModal();
        EXPECT_TRUE(owner.IsWindowVisible());
    });
    EXPECT_EQ(owner.DoModal(), IDCANCEL);
    EXPECT_EQ(nAboutResult, IDCANCEL);
    EXPECT_EQ(shown, (std::vector<UINT>{IDD_KESTRUM_DIALOG, IDD_ABOUTBOX}));
}

TEST_F(QtFramework, WindowHelpersReachTheControls) {
    CProbeDialog dialog;
    RunInDialog(dialog, [&](HWND hDlg) {
        CWnd* pExtract = dialog.GetDlgItem(IDOK);
        ASSERT_NE(pExtract, nullptr);
        EXPECT_EQ(dialog.GetDlgItem(IDOK), pExtract);  // one wrapper per id
        EXPECT_EQ(dialog.GetDlgItem(4242), nullptr);
        EXPECT_FALSE(pExtract->IsWindowEnabled());
        EXPECT_TRUE(pExtract->EnableWindow(TRUE));  // it was disabled
        EXPECT_TRUE(pExtract->IsWindowEnabled());

        dialog.SetDlgItemText(IDC_DRIVE, u"E:");
        WChar text[3] = {};
        EXPECT_EQ(dialog.GetDlgItemText(IDC_DRIVE, text, 3), 2);
        EXPECT_EQ(WString(text), u"E:");
        EXPECT_EQ(dialog.GetDlgItemText(IDC_DRIVE, text, 2), 1);  // truncated, terminated
        EXPECT_EQ(WString(text), u"E");

        // The set-up left the focus on the first enabled tab stop.
        CWnd* pPrevious = dialog.GetDlgItem(IDC_SEARCHTEXT)->SetFocus();
        ASSERT_NE(pPrevious, nullptr);
        EXPECT_EQ(pPrevious->m_hWnd, dialog.GetDlgItem(IDC_SEARCH)->m_hWnd);
        EXPECT_EQ(m_run.Ui().GetFocus(), dialog.GetDlgItem(IDC_SEARCHTEXT)->m_hWnd);

        // The bound members drive the real controls, bound once.
        const HWND hList = dialog.m_listSongs.m_hWnd;
        EXPECT_EQ(hList, dialog.GetDlgItem(IDC_SONGLIST)->m_hWnd);
        dialog.UpdateData(FALSE);
        EXPECT_EQ(dialog.m_listSongs.m_hWnd, hList);

        // An edit reports a change of its text, the program's as well as the user's.
        dialog.m_log.clear();
        dialog.SetDlgItemText(IDC_SEARCHTEXT, u"abc");
        auto* pEdit = qobject_cast<QLineEdit*>(
            m_run.Ui().WidgetOf(dialog.GetDlgItem(IDC_SEARCHTEXT)->m_hWnd));
        ASSERT_NE(pEdit, nullptr);
        pEdit->setText(QStringLiteral("abcd"));
        EXPECT_EQ(dialog.m_log, (std::vector<std::string>{"text change", "text change"}));
        EXPECT_EQ(m_run.Ui().GetDlgItem(hDlg, IDC_SEARCHTEXT),
                  dialog.GetDlgItem(IDC_SEARCHTEXT)->m_hWnd);
    });
}

TEST_F(QtFramework, MessageBoxCaptionIsTheAppNameUnlessGiven) {
    CWinApp app;
    EXPECT_EQ(WString(AfxGetAppName()), u"Kestrum");
    CDialog dialog(IDD_ABOUTBOX);
    RunInDialog(dialog, [&](HWND hDlg) {
        dialog.MessageBox(u"Select a valid Directory");
        dialog.MessageBox(u"Word size < 3", u"Warning", MB_OK);
        ASSERT_EQ(m_run.MessageBoxes().size(), 2u);
        EXPECT_EQ(m_run.MessageBoxes()[0].caption, u"Kestrum");
        EXPECT_EQ(m_run.MessageBoxes()[0].hOwner, hDlg);
        EXPECT_EQ(m_run.MessageBoxes()[1].caption, u"Warning");
    });
    CWinApp other(u"Other");
    EXPECT_EQ(WString(other.GetAppName()), u"Other");
}

class CRunApp : public CWinApp {
public:
    std::string m_log;
    BOOL InitInstance() override {
        m_log += "init ";
        return FALSE;
    }
    int ExitInstance() override {
        m_log += "exit";
        return 3;
    }
};

TEST_F(QtFramework, WinMainRunsInitThenExitAndReturnsTheExitCode) {
    CRunApp app;
    EXPECT_EQ(AfxGetApp(), &app);
    EXPECT_EQ(AfxWinMain(), 3);
    EXPECT_EQ(app.m_log, "init exit");
}

// The song list as the main dialog sets it up, with nRows rows "Song i".
class QtList : public QtFramework {
protected:
    void WithList(int nRows, const std::function<void(CListCtrl&)>& body) {
        CDialog dialog(IDD_KESTRUM_DIALOG);
        RunInDialog(dialog, [&](HWND) {
            CListCtrl list;
            list.Attach(dialog.GetDlgItem(IDC_SONGLIST)->m_hWnd);
            list.SetExtendedStyle(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
            list.InsertColumn(0, u"Title", LVCFMT_LEFT, 240);
            list.InsertColumn(1, u"Artist", LVCFMT_LEFT, 160);
            list.InsertColumn(2, u"Album", LVCFMT_LEFT, 150);
            for (int i = 0; i < nRows; ++i) {
                const WString title = WideFromAscii("Song " + std::to_string(i));
                list.InsertItem(list.GetItemCount(), title.c_str());
            }
            body(list);
            list.Detach();
        });
    }

    static WString Cell(const CListCtrl& list, int nItem, int nSubItem) {
        WChar buffer[kMaxPath] = {};
        list.GetItemText(nItem, nSubItem, buffer, static_cast<int>(kMaxPath));
        return buffer;
    }
};

TEST_F(QtList, InsertPlacesRowsAndCellsReadBackBounded) {
    WithList(0, [](CListCtrl& list) {
        EXPECT_EQ(list.InsertItem(0, u"a"), 0);
        EXPECT_EQ(list.InsertItem(7, u"b"), 1);  // past the end: appended
        EXPECT_EQ(list.InsertItem(0, u"c"), 0);
        EXPECT_EQ(list.InsertItem(-1, u"e"), -1);
        EXPECT_TRUE(list.SetItemText(0, 1, u"Artist"));
        EXPECT_FALSE(list.SetItemText(0, 3, u"no such column"));
        EXPECT_FALSE(list.SetItemText(3, 0, u"no such row"));
        EXPECT_EQ(Cell(list, 1, 0), u"a");
        EXPECT_EQ(Cell(list, 2, 0), u"b");

        struct SCase {
            int nItem, nSubItem, nLen;
            const char16_t* expected;
            int nCopied;
        };
        const SCase cases[] = {
            {0, 0, 260, u"c", 1}, {0, 1, 260, u"Artist", 6}, {0, 1, 4, u"Art", 3},
            {0, 1, 1, u"", 0},    {3, 0, 260, u"", 0},       {0, 5, 260, u"", 0},
            {-1, 0, 260, u"", 0},
        };
        for (const SCase& c : cases) {
            WChar buffer[260];
            buffer[0] = u'x';
            EXPECT_EQ(list.GetItemText(c.nItem, c.nSubItem, buffer, c.nLen), c.nCopied)
                << c.nItem << "," << c.nSubItem << "," << c.nLen;
            EXPECT_EQ(WString(buffer), WString(c.expected));
        }
    });
}

TEST_F(QtList, TicksAndSelectionAreKeptPerRow) {
    WithList(5, [](CListCtrl& list) {
        EXPECT_TRUE(list.SetCheck(1, true));
        EXPECT_FALSE(list.GetCheck(0));
        EXPECT_TRUE(list.GetCheck(1));
        EXPECT_FALSE(list.SetCheck(5, true));
        EXPECT_FALSE(list.GetCheck(5));

        // One selected row at a time; the focus goes its own way.
        list.SetItemState(2, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        list.SetItemState(4, LVIS_SELECTED, LVIS_SELECTED);
        EXPECT_EQ(list.GetItemState(2, LVIS_SELECTED), 0u);
        EXPECT_EQ(list.GetItemState(4, LVIS_SELECTED), LVIS_SELECTED);
        EXPECT_FALSE(list.GetCheck(4));
        EXPECT_TRUE(list.GetCheck(1));
    });
}

// A search brings its hit to the top by scrolling whole rows of the height GetItemRect gives.
TEST_F(QtList, ScrollingByRowHeightsBringsARowToTheTopWithinRange) {
    WithList(100, [](CListCtrl& list) {
        RECT first{};
        ASSERT_TRUE(list.GetItemRect(0, &first, LVIR_BOUNDS));
        const int nRow = first.bottom - first.top;
        ASSERT_GT(nRow, 0);
        EXPECT_TRUE(list.Scroll(SIZE{0, 10 * nRow}));
        EXPECT_EQ(list.GetTopIndex(), 10);
        RECT top{};
        ASSERT_TRUE(list.GetItemRect(10, &top, LVIR_BOUNDS));
        EXPECT_EQ(top.top, first.top);
        list.Scroll(SIZE{0, -20 * nRow});
        EXPECT_EQ(list.GetTopIndex(), 0);
        // Past the end the last row stays at the bottom: the top stops short of it.
        list.Scroll(SIZE{0, 1000 * nRow});
        const int nLastTop = list.GetTopIndex();
        EXPECT_GT(nLastTop, 50);
        EXPECT_LT(nLastTop, 100);
        list.Scroll(SIZE{0, nRow});
        EXPECT_EQ(list.GetTopIndex(), nLastTop);
        EXPECT_FALSE(list.GetItemRect(100, &top, LVIR_BOUNDS));
    });
    WithList(3, [](CListCtrl& list) {
        list.Scroll(SIZE{0, 1000});
        EXPECT_EQ(list.GetTopIndex(), 0);  // everything shown: nothing to scroll
    });
}

TEST_F(QtList, SortedComboPlacesEntriesWhateverTheOrderAdded) {
    CProbeDialog dialog;
    RunInDialog(dialog, [&](HWND) {
        CComboBox& combo = dialog.m_comboField;
        EXPECT_EQ(combo.AddString(u"Title"), 0);
        EXPECT_EQ(combo.AddString(u"Artist"), 0);
        EXPECT_EQ(combo.AddString(u"Album"), 0);
        EXPECT_EQ(combo.GetCurSel(), CB_ERR);
        EXPECT_EQ(combo.SetCurSel(2), 2);
        WChar text[16];
        combo.GetWindowText(text, 16);
        EXPECT_EQ(WString(text), u"Title");
        EXPECT_EQ(combo.SetCurSel(3), CB_ERR);
        EXPECT_EQ(combo.GetCurSel(), CB_ERR);
    });
}

// The progress bar keeps its position within its range, as the common control does.
TEST_F(QtFramework, ProgressPositionIsClampedToTheRange) {
    CDialog dialog(IDD_EXTRACT_PROGRESS);
    RunInDialog(dialog, [&](HWND) {
        CProgressCtrl bar;
        bar.Attach(dialog.GetDlgItem(IDC_PROGRESS_BAR)->m_hWnd);
        bar.SetRange32(0, 10);
        struct SCase {
            int nPos;
            int nPrevious;
            int nAfter;
        };
        const SCase cases[] = {{4, 0, 4}, {15, 4, 10}, {10, 10, 10}, {-3, 10, 0}, {0, 0, 0}};
        for (const SCase& c : cases) {
            EXPECT_EQ(bar.SetPos(c.nPos), c.nPrevious) << c.nPos;
            EXPECT_EQ(bar.GetPos(), c.nAfter) << c.nPos;
        }
        bar.Detach();
    });
}

TEST_F(QtFramework, MenusAreDestroyedByWhoLoadedThemNotWhoBorrowedThem) {
    HMENU hLoaded = nullptr;
    {
        CMenu menu;
        ASSERT_TRUE(menu.LoadMenu(IDR_TRAYMENU));
        hLoaded = menu.m_hMenu;
        ASSERT_NE(menu.GetSubMenu(0), nullptr);
        EXPECT_EQ(menu.GetSubMenu(1), nullptr);
        CMenu borrower;
        borrower.AttachBorrowed(hLoaded);
    }  // borrower goes first and must leave the menu alone; then menu destroys it
    EXPECT_FALSE(m_run.Ui().DestroyMenu(hLoaded));

    HMENU hMenu = m_run.Ui().LoadMenu(IDR_TRAYMENU);
    {
        CMenu wrapper;
        wrapper.AttachBorrowed(hMenu);
    }
    EXPECT_TRUE(m_run.Ui().DestroyMenu(hMenu));

    CMenu unknown;
    EXPECT_FALSE(unknown.LoadMenu(999));
    EXPECT_EQ(unknown.m_hMenu, nullptr);
}

// By position any entry becomes the default, by command only a command, never a separator or
// a pop-up (whose ids are 0).
TEST(MenuModel, DefaultItemByCommandSkipsSeparatorsAndPopUps) {
    struct SCase {
        UINT nItem;
        bool bByPosition;
        bool bAccepted;
        int nDefaultPos;  // after the call; the separator at 1 was the default before
    };
    const SCase cases[] = {
        {9, false, true, 2},
        {0, false, false, 1},
        {0, true, true, 0},
        {3, true, false, 1},
        {static_cast<UINT>(-1), false, true, -1},
    };
    for (const SCase& c : cases) {
        std::uintptr_t nNext = 0x100;
        qtui::CMenuModel menus([&nNext] { return nNext++; });
        HMENU hMenu = menus.Load(IDR_TRAYMENU);  // a pop-up at 0
        ASSERT_TRUE(menus.Append(hMenu, MF_SEPARATOR, 0, nullptr));
        ASSERT_TRUE(menus.Append(hMenu, MF_STRING, 9, u"Quit"));
        ASSERT_TRUE(menus.SetDefaultItem(hMenu, 1, true));

        EXPECT_EQ(menus.SetDefaultItem(hMenu, c.nItem, c.bByPosition), c.bAccepted) << c.nItem;
        ASSERT_EQ(menus.Find(hMenu)->items.size(), 3u);
        EXPECT_EQ(menus.Find(hMenu)->nDefaultPos, c.nDefaultPos) << c.nItem;
    }
}

NOTIFYICONDATAW IconRecord(HWND hWnd, const WString& tip) {
    NOTIFYICONDATAW nid{};
    nid.cbSize = kNotifyIconDataSize;
    nid.hWnd = hWnd;
    nid.uID = 1;
    nid.uFlags = NIF_MESSAGE | NIF_TIP;
    nid.uCallbackMessage = WM_USER + 1;
    WCopyBounded(NotifyTipBuffer(nid), kNotifyTipLength, tip);
    return nid;
}

TEST_F(QtFramework, TrayIconIsAddedOnceDeletedOnceAndItsTipReadWithinItsField) {
    m_run.Ui().Hooks().trayAvailable = true;
    CDialog dialog(IDD_KESTRUM_DIALOG);
    RunInDialog(dialog, [&](HWND hDlg) {
        qtui::CQtBackend& ui = m_run.Ui();
        NOTIFYICONDATAW nid = IconRecord(hDlg, u"Kestrum");
        EXPECT_TRUE(ui.ShellNotifyIcon(NIM_ADD, nid));
        EXPECT_FALSE(ui.ShellNotifyIcon(NIM_ADD, nid));
        EXPECT_TRUE(ui.IsTrayIconShown(hDlg, 1));
        EXPECT_EQ(ui.TrayToolTip(hDlg, 1), u"Kestrum");
        // A full field without a terminator: only 127 characters are taken.
        for (std::size_t i = 0; i < kNotifyTipLength; ++i) {
            NotifyTipBuffer(nid)[i] = u'k';
        }
        EXPECT_TRUE(ui.ShellNotifyIcon(NIM_MODIFY, nid));
        EXPECT_EQ(ui.TrayToolTip(hDlg, 1), WString(kNotifyTipLength - 1, u'k'));
        EXPECT_TRUE(ui.ShellNotifyIcon(NIM_DELETE, nid));
        EXPECT_FALSE(ui.ShellNotifyIcon(NIM_DELETE, nid));
        EXPECT_FALSE(ui.ShellNotifyIcon(NIM_MODIFY, nid));
        EXPECT_FALSE(ui.IsTrayIconShown(hDlg, 1));

        ui.Hooks().trayAvailable = false;
        EXPECT_FALSE(ui.ShellNotifyIcon(NIM_ADD, nid));
    });
}

}  // namespace
