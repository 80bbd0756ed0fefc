// The headless backend's scripted answers, notification icon, menus, user actions and event
// lines.
#include <thread>

#include "HeadlessFixture.h"
#include "res/resource.h"
#include "ui/Menu.h"

namespace {

class HeadlessBackendTest : public HeadlessFixture {};

TEST_F(HeadlessBackendTest, MessageBoxesTakeQueuedAnswersThenTheFirstButton) {
    m_ui.QueueMessageBoxAnswer(IDCANCEL);
    m_ui.QueueMessageBoxAnswer(7);
    struct SCase {
        UINT nType;
        int nAnswer;
    };
    const SCase cases[] = {
        {MB_OK, IDCANCEL},  // queued
        {MB_OK, 7},         // queued
        {MB_OK, IDOK},
        {MB_OK | MB_ICONEXCLAMATION, IDOK},
        {0x1 /*MB_OKCANCEL*/, IDOK},
        {0x4 /*MB_YESNO*/, 6},
        {0x3 /*MB_YESNOCANCEL*/, 6},
        {0x5 /*MB_RETRYCANCEL*/, 4},
    };
    for (const SCase& c : cases) {
        EXPECT_EQ(m_ui.MessageBox(nullptr, u"text", u"caption", c.nType), c.nAnswer) << c.nType;
    }
    EXPECT_EQ(m_ui.Events().size(), std::size(cases));
}

TEST_F(HeadlessBackendTest, NarrowMessageBoxIsReportedAsText) {
    EXPECT_EQ(m_ui.MessageBoxA(nullptr, "Error is : 5", "Error", MB_OK), IDOK);
    EXPECT_EQ(EventLines(),
              (std::vector<std::string>{"message box: \"Error is : 5\" [Error] -> OK"}));
}

TEST_F(HeadlessBackendTest, MessageBoxesFromTwoThreadsAreAllRecorded) {
    struct CCounter : IUiEventSink {
        int n = 0;
        void OnUiEvent(const SUiEvent&) override { ++n; }  // serialised by the backend
    } counter;
    m_ui.SetEventSink(&counter);
    std::thread watcher([this] {
        for (int i = 0; i < 200; ++i) {
            m_ui.MessageBox(nullptr, u"iPod unplugged: now Kestrum will be close", u"Error",
                            MB_ICONEXCLAMATION);
        }
    });
    for (int i = 0; i < 200; ++i) {
        m_ui.QueueMessageBoxAnswer(IDOK);
        m_ui.MessageBox(nullptr, u"Search completed", u"Kestrum", MB_OK);
    }
    watcher.join();
    EXPECT_EQ(m_ui.Events().size(), 400u);
    EXPECT_EQ(counter.n, 400);
    m_ui.SetEventSink(nullptr);
}

TEST_F(HeadlessBackendTest, FolderChooserIsCancelledUnlessScripted) {
    WChar path[kMaxPath] = u"untouched";
    EXPECT_EQ(m_ui.BrowseForFolder(u"Select the dir where save the files", 0x50, path),
              EFolderChoice::kCancelled);
    EXPECT_EQ(WString(path), u"untouched");

    m_ui.QueueFolderChoice(EFolderChoice::kChosen, u"C:\\Music");
    EXPECT_EQ(m_ui.BrowseForFolder(u"t", 0x50, path), EFolderChoice::kChosen);
    EXPECT_EQ(WString(path), u"C:\\Music");

    m_ui.QueueFolderChoice(EFolderChoice::kNoPath);
    EXPECT_EQ(m_ui.BrowseForFolder(u"t", 0x50, path), EFolderChoice::kNoPath);

    // A path that cannot fit the caller's buffer has no usable path.
    m_ui.QueueFolderChoice(EFolderChoice::kChosen, WString(kMaxPath, u'a'));
    EXPECT_EQ(m_ui.BrowseForFolder(u"t", 0x50, path), EFolderChoice::kNoPath);
    m_ui.QueueFolderChoice(EFolderChoice::kChosen, WString(kMaxPath - 1, u'a'));
    EXPECT_EQ(m_ui.BrowseForFolder(u"t", 0x50, path), EFolderChoice::kChosen);

    const std::vector<std::string> lines = EventLines();
    EXPECT_EQ(lines[0], "folder chooser: \"Select the dir where save the files\" -> cancelled");
    EXPECT_EQ(lines[1], "folder chooser: \"t\" -> \"C:\\Music\"");
    EXPECT_EQ(lines[2], "folder chooser: \"t\" -> no file-system path");
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

TEST_F(HeadlessBackendTest, TrayIconIsAddedOnceAndDeletedOnce) {
    HWND hOwner = nullptr;
    RunInDialog(IDD_KESTRUM_DIALOG, [&](CDialog& dialog) { hOwner = dialog.m_hWnd; });
    NOTIFYICONDATAW nid = IconRecord(hOwner, u"Kestrum");
    EXPECT_TRUE(m_ui.ShellNotifyIcon(NIM_ADD, nid));
    EXPECT_FALSE(m_ui.ShellNotifyIcon(NIM_ADD, nid));
    ASSERT_NE(m_ui.TrayIcon(), nullptr);
    EXPECT_EQ(m_ui.TrayIcon()->tip, u"Kestrum");
    EXPECT_EQ(m_ui.TrayIcon()->cbSize, kNotifyIconDataSize);
    EXPECT_TRUE(m_ui.ShellNotifyIcon(NIM_DELETE, nid));
    EXPECT_FALSE(m_ui.ShellNotifyIcon(NIM_DELETE, nid));
    EXPECT_FALSE(m_ui.ShellNotifyIcon(NIM_MODIFY, nid));
    EXPECT_EQ(m_ui.TrayIcon(), nullptr);

    m_ui.SetTrayAvailable(false);
    EXPECT_FALSE(m_ui.ShellNotifyIcon(NIM_ADD, nid));
}

TEST_F(HeadlessBackendTest, TrayTipIsReadWithinItsField) {
    NOTIFYICONDATAW nid = IconRecord(nullptr, u"");
    // A full field without a terminator: only 127 characters are taken.
    for (std::size_t i = 0; i < kNotifyTipLength; ++i) {
        NotifyTipBuffer(nid)[i] = u'k';
    }
    ASSERT_TRUE(m_ui.ShellNotifyIcon(NIM_ADD, nid));
    EXPECT_EQ(m_ui.TrayIcon()->tip.size(), kNotifyTipLength - 1);
}

// A dialog that records commands, system commands and tray callbacks.
class CRecordingDialog : public CDialog {
public:
    CRecordingDialog() : CDialog(IDD_KESTRUM_DIALOG) {}
    std::vector<std::string> m_log;
    void OnShowWindow() { m_log.push_back("show window"); }
    void OnCheckAll() { m_log.push_back("check all"); }
    void OnExtract() { m_log.push_back("extract"); }
    void OnSearch() { m_log.push_back("search"); }
    void OnTextChange() { m_log.push_back("text change"); }
    void OnSysCommand(UINT nID, LPARAM lParam) {
        m_log.push_back("syscommand " + std::to_string(nID));
        CDialog::OnSysCommand(nID, lParam);
    }
    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam) {
        m_log.push_back("tray " + std::to_string(wParam) + " " + std::to_string(lParam));
        return 1;
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CRecordingDialog, CDialog)
ON_WM_SYSCOMMAND()
ON_MESSAGE(WM_USER + 1, OnTrayNotify)
ON_BN_CLICKED(IDOK, OnExtract)
ON_BN_CLICKED(IDC_SEARCH, OnSearch)
ON_EN_CHANGE(IDC_SEARCHTEXT, OnTextChange)
ON_COMMAND(ID_TRAY_SHOWWINDOW, OnShowWindow)
ON_BN_CLICKED(IDC_CHECKALL, OnCheckAll)
END_MESSAGE_MAP()

TEST_F(HeadlessBackendTest, PopupMenuWaitsForTheScriptsChoice) {
    CRecordingDialog dialog;
    CMenu menu;
    Script({[&] {
                ASSERT_TRUE(menu.LoadMenu(IDR_TRAYMENU));
                CMenu* pPopup = menu.GetSubMenu(0);
                ASSERT_NE(pPopup, nullptr);
                EXPECT_TRUE(
                    pPopup->TrackPopupMenu(TPM_RIGHTBUTTON | TPM_BOTTOMALIGN, 10, 20, &dialog));
                pPopup->SetDefaultItem(0, TRUE);
                ASSERT_NE(m_ui.OpenPopup(), nullptr);
                EXPECT_FALSE(m_ui.OpenPopup()->items[0].bDefault);
                EXPECT_TRUE(dialog.m_log.empty());
            },
            [&] {
                EXPECT_FALSE(m_ui.ChooseMenuCommand(4242));
                EXPECT_TRUE(m_ui.ChooseMenuCommand(ID_TRAY_SHOWWINDOW));
                EXPECT_EQ(m_ui.OpenPopup(), nullptr);
                EXPECT_FALSE(m_ui.ChooseMenuCommand(ID_TRAY_SHOWWINDOW));
            },
            [&] {
                menu.GetSubMenu(0)->TrackPopupMenu(0, 0, 0, &dialog);
                EXPECT_TRUE(m_ui.OpenPopup()->items[0].bDefault);  // bold from now on
                m_ui.Click(IDC_SEARCH);                            // clicking elsewhere closes it
                EXPECT_EQ(m_ui.OpenPopup(), nullptr);
            }});
    dialog.DoModal();
    EXPECT_EQ(dialog.m_log, (std::vector<std::string>{"show window", "search"}));
    const std::vector<std::string> lines = EventLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1], "popup menu: \"Show Window\" (32771)");
    EXPECT_EQ(lines[2], "popup menu: \"Show Window\" (32771, default)");
}

TEST_F(HeadlessBackendTest, SystemMenuTakesAppendedEntries) {
    CRecordingDialog dialog;
    Script({[&] {
        CMenu* pSystemMenu = dialog.GetSystemMenu(FALSE);
        ASSERT_NE(pSystemMenu, nullptr);
        pSystemMenu->AppendMenu(MF_SEPARATOR);
        pSystemMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, u"&About Kestrum...");
        const SMenu* pMenu = m_ui.Menu(pSystemMenu->m_hMenu);
        ASSERT_NE(pMenu, nullptr);
        EXPECT_EQ(pMenu->items.back().text, u"&About Kestrum...");
        EXPECT_TRUE(pMenu->items[pMenu->items.size() - 2].bSeparator);
        EXPECT_TRUE(m_ui.SysCommand(IDM_ABOUTBOX));
        EXPECT_FALSE(m_ui.SysCommand(0x20));  // not on the menu
        EXPECT_TRUE(m_ui.Minimise());
        EXPECT_TRUE(dialog.IsIconic());
        EXPECT_FALSE(m_ui.Click(IDC_SEARCH));  // a minimised window takes no clicks
        EXPECT_TRUE(m_ui.Restore());
        EXPECT_FALSE(dialog.IsIconic());
    }});
    dialog.DoModal();
    EXPECT_EQ(dialog.m_log,
              (std::vector<std::string>{"syscommand 16", "syscommand 61472", "syscommand 61728"}));
    const std::vector<std::string> lines = EventLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], "window minimised: \"Kestrum v 0.5 - by Drovil\"");
    EXPECT_EQ(lines[2], "window restored: \"Kestrum v 0.5 - by Drovil\"");
}

TEST_F(HeadlessBackendTest, ClicksReachOnlyEnabledVisibleControls) {
    CRecordingDialog dialog;
    Script({[&] {
        EXPECT_FALSE(m_ui.Click(IDOK));  // Extract starts disabled
        EXPECT_FALSE(m_ui.Click(IDC_STATIC));
        EXPECT_TRUE(m_ui.Click(IDC_CHECKALL));
        EXPECT_EQ(m_ui.Control(IDC_CHECKALL)->nCheck, 1);
        EXPECT_TRUE(m_ui.Click(IDC_CHECKALL));
        EXPECT_EQ(m_ui.Control(IDC_CHECKALL)->nCheck, 0);
        EXPECT_FALSE(m_ui.SetEditText(IDC_SEARCH, u"not an edit"));
        EXPECT_TRUE(m_ui.SetEditText(IDC_SEARCHTEXT, u"the"));
        EXPECT_FALSE(m_ui.PressEnter());  // the default button is disabled: only a beep
        dialog.GetDlgItem(IDOK)->EnableWindow(TRUE);
        EXPECT_TRUE(m_ui.PressEnter());  // from the edit box: the default button
        EXPECT_TRUE(m_ui.Click(IDC_SEARCH));
        EXPECT_TRUE(m_ui.PressEnter());  // the focused push button
        dialog.ShowWindow(SW_HIDE);
        EXPECT_FALSE(m_ui.Click(IDC_SEARCH));
        EXPECT_FALSE(m_ui.CloseBox());
        dialog.ShowWindow(SW_SHOW);
    }});
    dialog.DoModal();
    EXPECT_EQ(dialog.m_log, (std::vector<std::string>{"check all", "check all", "text change",
                                                      "extract", "search", "search"}));
}

TEST_F(HeadlessBackendTest, TrayMouseMessagesReachTheOwnerEvenWhenHidden) {
    CRecordingDialog dialog;
    Script({[&] {
        EXPECT_FALSE(m_ui.TrayDoubleClick());  // no icon yet
        NOTIFYICONDATAW nid = IconRecord(dialog.m_hWnd, u"Kestrum");
        ASSERT_TRUE(m_ui.ShellNotifyIcon(NIM_ADD, nid));
        dialog.ShowWindow(SW_HIDE);
        EXPECT_TRUE(m_ui.TrayDoubleClick());
        EXPECT_TRUE(m_ui.TrayRightClick());
        dialog.ShowWindow(SW_SHOW);
    }});
    dialog.DoModal();
    EXPECT_EQ(dialog.m_log, (std::vector<std::string>{"tray 1 513", "tray 1 514", "tray 1 515",
                                                      "tray 1 514", "tray 1 516", "tray 1 517"}));
    EXPECT_EQ(EventLines(), (std::vector<std::string>{
                                "dialog opened: \"Kestrum v 0.5 - by Drovil\"",
                                "tray icon added: \"Kestrum\"",
                                "window hidden: \"Kestrum v 0.5 - by Drovil\"",
                                "window shown: \"Kestrum v 0.5 - by Drovil\"",
                                "dialog closed: \"Kestrum v 0.5 - by Drovil\" -> Cancel",
                            }));
}

TEST_F(HeadlessBackendTest, EventLines) {
    struct SCase {
        EUiEvent kind;
        const char16_t* text;
        const char16_t* detail;
        INT_PTR nResult;
        const char* expected;
    };
    const SCase cases[] = {
        {EUiEvent::kShellExecute, u"https://drovil.example/", u"open", SW_SHOWMAXIMIZED,
         "web page opened: \"https://drovil.example/\" (maximised)"},
        {EUiEvent::kShellExecute, u"C:\\x.txt", u"open", SW_SHOW, "shell open: \"C:\\x.txt\""},
        {EUiEvent::kTrayIconDeleted, u"Kestrum", u"", 0, "tray icon deleted"},
        {EUiEvent::kDialogClosed, u"About Kestrum", u"", 0,
         "dialog closed: \"About Kestrum\" -> 0"},
    };
    for (const SCase& c : cases) {
        SUiEvent event;
        event.kind = c.kind;
        event.text = c.text;
        event.detail = c.detail;
        event.nResult = c.nResult;
        EXPECT_EQ(DescribeUiEvent(event), c.expected);
    }
}

TEST_F(HeadlessBackendTest, ProgramTextChangeOfAnEditIsReported) {
    CRecordingDialog dialog;
    Script({[&] { dialog.SetDlgItemText(IDC_SEARCHTEXT, u"abc"); }});
    dialog.DoModal();
    EXPECT_EQ(dialog.m_log, (std::vector<std::string>{"text change"}));
}

// Draws its icon centred while minimised, as the main dialog does.
class CPaintingDialog : public CDialog {
public:
    CPaintingDialog() : CDialog(IDD_KESTRUM_DIALOG) {}
    HICON m_hIcon = nullptr;
    int m_nNormalPaints = 0;
    void OnPaint() {
        if (!IsIconic()) {
            ++m_nNormalPaints;
            CDialog::OnPaint();
            return;
        }
        CPaintDC dc(this);
        RECT rect{};
        GetClientRect(&rect);
        const int cxIcon = UiBackend().GetSystemMetrics(SM_CXICON);
        dc.DrawIcon((rect.right - cxIcon + 1) / 2, 0, m_hIcon);
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CPaintingDialog, CDialog)
ON_WM_PAINT()
END_MESSAGE_MAP()

TEST_F(HeadlessBackendTest, PaintReachesTheDialogAndRecordsDrawnIcons) {
    CPaintingDialog dialog;
    dialog.m_hIcon = m_ui.LoadIcon(IDR_MAINICON);
    Script({[&] {
        EXPECT_TRUE(m_ui.Paint());
        EXPECT_TRUE(m_ui.Minimise());
        EXPECT_TRUE(m_ui.Paint());
    }});
    dialog.DoModal();
    EXPECT_EQ(dialog.m_nNormalPaints, 1);
    ASSERT_EQ(m_ui.DrawnIcons().size(), 1u);
    EXPECT_EQ(m_ui.DrawnIcons()[0].hIcon, dialog.m_hIcon);
    EXPECT_EQ(m_ui.DrawnIcons()[0].x, (430 * 6 / 4 - 32 + 1) / 2);
}

TEST_F(HeadlessBackendTest, StringsAndIconsLoadFromTheTables) {
    WChar text[64];
    EXPECT_EQ(m_ui.LoadString(IDS_ABOUTBOX, text, 64), 17);
    EXPECT_EQ(WString(text), u"&About Kestrum...");
    EXPECT_EQ(m_ui.LoadString(0xE000, text, 64), 0);
    EXPECT_EQ(text[0], 0);
    EXPECT_NE(m_ui.LoadIcon(IDR_MAINICON), nullptr);
    EXPECT_EQ(m_ui.LoadIcon(IDR_MAINICON), m_ui.LoadIcon(IDR_MAINICON));
    EXPECT_EQ(m_ui.LoadIcon(128), nullptr);
}

}  // namespace
