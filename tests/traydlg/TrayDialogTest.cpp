// CTrayDialog on the Qt backend, offscreen: the icon record, the tooltip bound, the icon
// notification and minimising with and without a notification area.
#include <gtest/gtest.h>

#include <QSystemTrayIcon>
#include <functional>
#include <initializer_list>
#include <vector>

#include "QtTestRun.h"
#include "res/resource.h"
#include "traydlg/TrayDialog.h"

namespace {

class CTestTrayDialog : public CTrayDialog {
public:
    CTestTrayDialog() : CTrayDialog(IDD_KESTRUM_DIALOG) {}

    BOOL OnInitDialog() override {
        CTrayDialog::OnInitDialog();
        SetNotifyTip(u"Kestrum");
        SetNotifyMenu(IDR_TRAYMENU);
        return TRUE;
    }
    void SetMinimizeToTray(BOOL bMinimize) { m_bMinimizeToTray = bMinimize; }
    LRESULT Notify(WPARAM nIconId, LPARAM nMouse) { return OnTrayNotify(nIconId, nMouse); }
};

class TrayDialogTest : public ::testing::Test {
protected:
    TrayDialogTest() { m_run.Ui().Hooks().trayAvailable = true; }

    // Runs the dialog modally; actions run inside its loop, then it is closed.
    void RunDialog(CTestTrayDialog& dialog, const std::function<void(HWND)>& actions) {
        m_run.OnDialogShown([&](HWND hDlg, UINT) { actions(hDlg); });
        dialog.DoModal();
    }

    // The window menu's Minimize, or the minimise box.
    void Minimise(HWND hDlg) { m_run.Ui().SendMessage(hDlg, WM_SYSCOMMAND, SC_MINIMIZE, 0); }

    bool IconShown(HWND hDlg) { return m_run.Ui().IsTrayIconShown(hDlg, 1); }
    bool Visible(HWND hDlg) { return m_run.Ui().IsWindowVisible(hDlg) != FALSE; }

    qttest::CQtTestRun m_run;
};

TEST_F(TrayDialogTest, RecordStartsWithMessageOnly) {
    CTestTrayDialog dialog;
    const NOTIFYICONDATAW& nid = dialog.GetNotifyIconData();
    EXPECT_EQ(nid.cbSize, kNotifyIconDataSize);
    EXPECT_EQ(nid.uID, 1u);
    EXPECT_EQ(nid.uFlags, NIF_MESSAGE);
    EXPECT_EQ(nid.uCallbackMessage, static_cast<UINT>(WM_USER + 1));
    EXPECT_EQ(nid.hWnd, nullptr);
    EXPECT_EQ(nid.hIcon, nullptr);
    EXPECT_FALSE(dialog.IsNotifyIconShown());
}

TEST_F(TrayDialogTest, TooltipKeepsAtMost127Characters) {
    for (std::size_t length : {0u, 1u, 126u, 127u, 128u, 129u, 400u}) {
        CTestTrayDialog dialog;
        const WString tip(length, u'x');
        dialog.SetNotifyTip(tip.c_str());
        const NOTIFYICONDATAW& nid = dialog.GetNotifyIconData();
        const WString stored(NotifyTipBuffer(const_cast<NOTIFYICONDATAW&>(nid)));
        EXPECT_EQ(stored.size(), std::min<std::size_t>(length, 127)) << length;
        EXPECT_NE(nid.uFlags & NIF_TIP, 0u) << length;
    }
}

TEST_F(TrayDialogTest, NotificationForAnotherIconIsAnsweredWithZero) {
    CTestTrayDialog dialog;
    for (WPARAM nIconId : {WPARAM{0}, WPARAM{2}, WPARAM{0x10001}}) {
        EXPECT_EQ(dialog.Notify(nIconId, WM_LBUTTONDBLCLK), 0) << nIconId;
    }
    // The list is typed: windows.h defines these messages as plain int constants.
    for (UINT nMouse :
         std::initializer_list<UINT>{WM_LBUTTONUP, WM_RBUTTONUP, WM_MOUSEMOVE, WM_LBUTTONDOWN}) {
        EXPECT_EQ(dialog.Notify(1, nMouse), 1) << nMouse;
    }
}

TEST_F(TrayDialogTest, MinimiseHidesIntoIconAndDoubleClickRestores) {
    CTestTrayDialog dialog;
    RunDialog(dialog, [&](HWND hDlg) {
        Minimise(hDlg);
        ASSERT_TRUE(IconShown(hDlg));
        EXPECT_EQ(m_run.Ui().TrayToolTip(hDlg, 1), u"Kestrum");
        EXPECT_FALSE(Visible(hDlg));
        EXPECT_TRUE(dialog.IsNotifyIconShown());
        // Already in the notification area: a second minimise changes nothing.
        Minimise(hDlg);
        EXPECT_TRUE(dialog.IsNotifyIconShown());
        m_run.Ui().ActivateTrayIcon(hDlg, 1, QSystemTrayIcon::Trigger);
        m_run.Ui().ActivateTrayIcon(hDlg, 1, QSystemTrayIcon::DoubleClick);
        EXPECT_FALSE(IconShown(hDlg));
        EXPECT_TRUE(Visible(hDlg));
        EXPECT_FALSE(dialog.IsNotifyIconShown());
    });
}

TEST_F(TrayDialogTest, MinimisingWithoutTheIconIsOrdinary) {
    struct SCase {
        const char* name;
        bool bMinimizeToTray;
        bool bTrayAvailable;
    };
    const SCase cases[] = {
        {"not asked to", false, true},
        {"no notification area", true, false},
    };
    for (const SCase& c : cases) {
        m_run.Ui().Hooks().trayAvailable = c.bTrayAvailable;
        CTestTrayDialog dialog;
        dialog.SetMinimizeToTray(c.bMinimizeToTray ? TRUE : FALSE);
        RunDialog(dialog, [&](HWND hDlg) {
            Minimise(hDlg);
            EXPECT_FALSE(IconShown(hDlg)) << c.name;
            EXPECT_TRUE(Visible(hDlg)) << c.name;
            EXPECT_EQ(m_run.Ui().IsIconic(hDlg) != FALSE, !c.bMinimizeToTray) << c.name;
            EXPECT_FALSE(dialog.IsNotifyIconShown()) << c.name;
        });
    }
}

TEST_F(TrayDialogTest, ClosingRemovesShownIcon) {
    CTestTrayDialog dialog;
    HWND hShown = nullptr;
    RunDialog(dialog, [&](HWND hDlg) {
        hShown = hDlg;
        Minimise(hDlg);
        EXPECT_TRUE(IconShown(hDlg));
    });
    EXPECT_FALSE(m_run.Ui().IsTrayIconShown(hShown, 1));
}

}  // namespace
