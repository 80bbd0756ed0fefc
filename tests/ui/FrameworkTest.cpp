// The framework's small pieces: menus and who destroys them, the application object and its
// name, message box captions, the window helpers over the backend.
#include <string>

#include "HeadlessFixture.h"
#include "res/resource.h"
#include "ui/Menu.h"
#include "ui/MenuModel.h"
#include "ui/WinApp.h"

namespace {

class FrameworkTest : public HeadlessFixture {};

TEST_F(FrameworkTest, MenuDestroysWhatItLoadedButNotWhatItBorrows) {
    HMENU hLoaded = nullptr;
    HMENU hSub = nullptr;
    {
        CMenu menu;
        ASSERT_TRUE(menu.LoadMenu(IDR_TRAYMENU));
        hLoaded = menu.m_hMenu;
        CMenu* pSub = menu.GetSubMenu(0);
        ASSERT_NE(pSub, nullptr);
        hSub = pSub->m_hMenu;
        EXPECT_EQ(menu.GetSubMenu(1), nullptr);

        CMenu borrower;
        borrower.AttachBorrowed(hLoaded);
    }  // borrower goes first and must leave the menu alone; then menu destroys it
    EXPECT_EQ(m_ui.Menu(hLoaded), nullptr);
    EXPECT_EQ(m_ui.Menu(hSub), nullptr);
}

TEST_F(FrameworkTest, BorrowedMenuSurvivesItsWrapper) {
    HMENU hMenu = m_ui.LoadMenu(IDR_TRAYMENU);
    {
        CMenu wrapper;
        wrapper.AttachBorrowed(hMenu);
    }
    EXPECT_NE(m_ui.Menu(hMenu), nullptr);
    EXPECT_TRUE(m_ui.DestroyMenu(hMenu));
}

TEST_F(FrameworkTest, LoadingAnUnknownMenuFails) {
    CMenu menu;
    EXPECT_FALSE(menu.LoadMenu(999));
    EXPECT_EQ(menu.m_hMenu, nullptr);
}

// The in-memory and Qt backends' menus pick the default item alike: by position any entry, by
// command only a command, never a separator or a pop-up (whose ids are 0).
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
        CMenuModel menus([&nNext] { return nNext++; });
        HMENU hMenu = menus.Load(IDR_TRAYMENU);  // a pop-up at 0
        ASSERT_TRUE(menus.Append(hMenu, MF_SEPARATOR, 0, nullptr));
        ASSERT_TRUE(menus.Append(hMenu, MF_STRING, 9, u"Quit"));
        ASSERT_TRUE(menus.SetDefaultItem(hMenu, 1, true));

        EXPECT_EQ(menus.SetDefaultItem(hMenu, c.nItem, c.bByPosition), c.bAccepted) << c.nItem;
        const std::vector<SUiMenuLine> lines = menus.Lines(hMenu);
        ASSERT_EQ(lines.size(), 3u);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i].bDefault, static_cast<int>(i) == c.nDefaultPos) << c.nItem;
        }
    }
}

class CRunApp : public CWinApp {
public:
    using CWinApp::CWinApp;
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

TEST_F(FrameworkTest, WinMainRunsInitThenExitAndReturnsTheExitCode) {
    CRunApp app;
    EXPECT_EQ(AfxGetApp(), &app);
    EXPECT_EQ(AfxWinMain(), 3);
    EXPECT_EQ(app.m_log, "init exit");
}

TEST_F(FrameworkTest, AppNameComesFromTheBackendUnlessGiven) {
    m_ui.SetAppName(u"Kestrum");
    {
        CWinApp app;
        EXPECT_EQ(WString(AfxGetAppName()), u"Kestrum");
    }
    {
        CWinApp app(u"Other");
        EXPECT_EQ(WString(app.GetAppName()), u"Other");
    }
    EXPECT_EQ(AfxGetApp(), nullptr);
}

TEST_F(FrameworkTest, MessageBoxCaptionDefaultsToTheAppName) {
    m_ui.SetAppName(u"Kestrum");
    CWinApp app;
    RunInDialog(IDD_ABOUTBOX, [](CDialog& dialog) {
        dialog.MessageBox(u"Select a valid Directory");
        dialog.MessageBox(u"Word size < 3", u"Warning", MB_OK);
    });
    const std::vector<SUiEvent> events = m_ui.Events();
    ASSERT_EQ(events.size(), 4u);  // opened, two boxes, closed
    EXPECT_EQ(events[1].caption, u"Kestrum");
    EXPECT_EQ(events[1].nId, IDD_ABOUTBOX);
    EXPECT_EQ(events[2].caption, u"Warning");
}

TEST_F(FrameworkTest, WindowHelpersReachTheControls) {
    RunInDialog(IDD_KESTRUM_DIALOG, [this](CDialog& dialog) {
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
        EXPECT_EQ(m_ui.GetFocus(), dialog.GetDlgItem(IDC_SEARCHTEXT)->m_hWnd);

        POINT point{0, 0};
        dialog.ClientToScreen(&point);
        RECT rect{};
        dialog.GetClientRect(&rect);
        // Centred on the screen.
        EXPECT_EQ(point.x, (1920 - rect.right) / 2);
        EXPECT_EQ(rect.right, 430 * 6 / 4);
        EXPECT_EQ(rect.bottom, 321 * 13 / 8);
    });
}

}  // namespace
