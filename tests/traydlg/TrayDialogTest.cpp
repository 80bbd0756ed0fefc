// CTrayDialog: the icon record, the tooltip bound, the icon notification and minimising with
// and without a notification area.
#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <vector>

#include "res/resource.h"
#include "traydlg/TrayDialog.h"
#include "ui/headless/HeadlessBackend.h"

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

// Runs the dialog modally; actions run inside its loop, then it is closed.
void RunDialog(CHeadlessBackend& ui, CTestTrayDialog& dialog,
               const std::function<void()>& actions) {
    bool bDone = false;
    ui.SetPump([&] {
        if (!bDone) {
            bDone = true;
            actions();
        }
        return false;
    });
    dialog.DoModal();
}

class TrayDialogTest : public ::testing::Test {
protected:
    void SetUp() override { SetUiBackend(&m_ui); }
    void TearDown() override { SetUiBackend(nullptr); }
    CHeadlessBackend m_ui;
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
    RunDialog(m_ui, dialog, [&] {
        ASSERT_TRUE(m_ui.Minimise());
        ASSERT_NE(m_ui.TrayIcon(), nullptr);
        EXPECT_EQ(m_ui.TrayIcon()->tip, u"Kestrum");
        EXPECT_EQ(m_ui.TrayIcon()->uID, 1u);
        EXPECT_FALSE(m_ui.Window(m_ui.TopDialog())->bVisible);
        EXPECT_TRUE(dialog.IsNotifyIconShown());
        // Already in the notification area: a second minimise changes nothing.
        m_ui.Minimise();
        EXPECT_TRUE(dialog.IsNotifyIconShown());
        m_ui.TrayDoubleClick();
        EXPECT_EQ(m_ui.TrayIcon(), nullptr);
        EXPECT_TRUE(m_ui.Window(m_ui.TopDialog())->bVisible);
        EXPECT_FALSE(dialog.IsNotifyIconShown());
    });
}

TEST_F(TrayDialogTest, WithoutMinimizeToTrayMinimisingIsOrdinary) {
    CTestTrayDialog dialog;
    dialog.SetMinimizeToTray(FALSE);
    RunDialog(m_ui, dialog, [&] {
        m_ui.Minimise();
        EXPECT_EQ(m_ui.TrayIcon(), nullptr);
        EXPECT_TRUE(m_ui.Window(m_ui.TopDialog())->bIconic);
        EXPECT_FALSE(dialog.IsNotifyIconShown());
    });
}

TEST_F(TrayDialogTest, RefusedIconLeavesWindowShown) {
    m_ui.SetTrayAvailable(false);
    CTestTrayDialog dialog;
    RunDialog(m_ui, dialog, [&] {
        m_ui.Minimise();
        EXPECT_EQ(m_ui.TrayIcon(), nullptr);
        EXPECT_TRUE(m_ui.Window(m_ui.TopDialog())->bVisible);
        EXPECT_FALSE(dialog.IsNotifyIconShown());
    });
}

TEST_F(TrayDialogTest, ClosingRemovesShownIcon) {
    CTestTrayDialog dialog;
    RunDialog(m_ui, dialog, [&] { m_ui.Minimise(); });
    EXPECT_EQ(m_ui.TrayIcon(), nullptr);
}

}  // namespace
