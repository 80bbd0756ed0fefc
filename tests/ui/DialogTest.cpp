// CDialog on the headless backend: the modal run, default OK and Cancel, data exchange, set-up
// that ends the dialog, nested dialogs and the end of a script.
#include <string>
#include <vector>

#include "HeadlessFixture.h"
#include "res/resource.h"
#include "ui/ComboBox.h"
#include "ui/ListCtrl.h"

namespace {

class DialogTest : public HeadlessFixture {};

// The about box with no handlers of its own.
TEST_F(DialogTest, DefaultButtonsEndTheDialog) {
    struct SCase {
        const char* name;
        bool (CHeadlessBackend::*action)();
        INT_PTR expected;
    };
    const SCase cases[] = {
        {"enter", &CHeadlessBackend::PressEnter, IDOK},
        {"escape", &CHeadlessBackend::PressEscape, IDCANCEL},
        {"close box", &CHeadlessBackend::CloseBox, IDCANCEL},
    };
    for (const SCase& c : cases) {
        CDialog dialog(IDD_ABOUTBOX);
        bool bTaken = false;
        Script({[&] { bTaken = (m_ui.*c.action)(); }});
        EXPECT_EQ(dialog.DoModal(), c.expected) << c.name;
        EXPECT_TRUE(bTaken) << c.name;
        EXPECT_EQ(dialog.m_hWnd, nullptr) << c.name;
    }
}

TEST_F(DialogTest, ClickOnOkEndsWithIdOk) {
    CDialog dialog(IDD_ABOUTBOX);
    Script({[&] { m_ui.Click(IDOK); }});
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(EventLines(), (std::vector<std::string>{"dialog opened: \"About Kestrum\"",
                                                      "dialog closed: \"About Kestrum\" -> OK"}));
}

TEST_F(DialogTest, ScriptEndClosesWithCancel) {
    CDialog dialog(IDD_ABOUTBOX);
    Script({});
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

// Takes IDCANCEL itself and never ends: the end of the script still ends it.
class CStubbornDialog : public CDialog {
public:
    CStubbornDialog() : CDialog(IDD_ABOUTBOX) {}
    int m_nCancels = 0;
    void OnMyCancel() { ++m_nCancels; }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CStubbornDialog, CDialog)
ON_BN_CLICKED(IDCANCEL, OnMyCancel)
END_MESSAGE_MAP()

TEST_F(DialogTest, ScriptEndEndsADialogThatIgnoresCancel) {
    CStubbornDialog dialog;
    Script({[&] { m_ui.PressEscape(); }});
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(dialog.m_nCancels, 2);  // the scripted Escape and the closing one
}

TEST_F(DialogTest, UnknownTemplateFails) {
    CDialog dialog(4242);
    EXPECT_EQ(dialog.DoModal(), -1);
}

// Records its life and binds the main dialog's list and combo box.
class CProbeDialog : public CDialog {
public:
    CProbeDialog() : CDialog(IDD_KESTRUM_DIALOG) {}

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

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        CDialog::DoDataExchange(pDX);
        DDX_Control(pDX, IDC_SONGLIST, m_listSongs);
        DDX_Control(pDX, IDC_SEARCHFIELD, m_comboField);
    }

    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CProbeDialog, CDialog)
ON_WM_CREATE()
ON_WM_DESTROY()
END_MESSAGE_MAP()

TEST_F(DialogTest, DataExchangeBindsControlsOnce) {
    CProbeDialog dialog;
    HWND hBound = nullptr;
    Script({[&] {
        hBound = dialog.m_listSongs.m_hWnd;
        EXPECT_EQ(hBound, dialog.GetDlgItem(IDC_SONGLIST)->m_hWnd);
        EXPECT_EQ(dialog.m_comboField.m_hWnd, dialog.GetDlgItem(IDC_SEARCHFIELD)->m_hWnd);
        dialog.UpdateData(FALSE);
        EXPECT_EQ(dialog.m_listSongs.m_hWnd, hBound);
        // The bound member drives the real control.
        EXPECT_EQ(dialog.m_comboField.AddString(u"Title"), 0);
        EXPECT_EQ(m_ui.Control(IDC_SEARCHFIELD)->items.size(), 1u);
    }});
    dialog.DoModal();
    EXPECT_NE(hBound, nullptr);
}

TEST_F(DialogTest, LifeRunsCreateInitThenDestroy) {
    CProbeDialog dialog;
    Script({[&] { dialog.m_log.push_back("pump"); }});
    dialog.DoModal();
    EXPECT_EQ(dialog.m_log, (std::vector<std::string>{"create", "init", "pump", "destroy"}));
}

TEST_F(DialogTest, EndDialogDuringSetUpSkipsTheLoop) {
    CProbeDialog dialog;
    dialog.m_bEndInInit = true;
    Script({[&] { dialog.m_log.push_back("pump"); }});
    EXPECT_EQ(dialog.DoModal(), 0);
    EXPECT_EQ(dialog.m_log, (std::vector<std::string>{"create", "init", "destroy"}));
    EXPECT_TRUE(m_ui.Events().empty());  // never shown
}

TEST_F(DialogTest, FailedCreateFailsTheDialog) {
    CProbeDialog dialog;
    dialog.m_nCreateResult = -1;
    EXPECT_EQ(dialog.DoModal(), -1);
    EXPECT_EQ(dialog.m_log, (std::vector<std::string>{"create", "destroy"}));
}

// Opens the about box from its Search button.
class COwnerDialog : public CDialog {
public:
    COwnerDialog() : CDialog(IDD_KESTRUM_DIALOG) {}
    INT_PTR m_nAboutResult = 0;
    void OnSearch() {
        CDialog about(IDD_ABOUTBOX, this);
        m_nAboutResult = about.DoModal();
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(COwnerDialog, CDialog)
ON_BN_CLICKED(IDC_SEARCH, OnSearch)
END_MESSAGE_MAP()

TEST_F(DialogTest, NestedDialogRunsOnTheSamePumpAndDisablesItsOwner) {
    COwnerDialog dialog;
    bool bOwnerEnabled = true;
    int nTemplateInside = 0;
    Script({[&] { m_ui.Click(IDC_SEARCH); },
            [&] {
                nTemplateInside = m_ui.TopDialogTemplate();
                bOwnerEnabled = dialog.IsWindowEnabled() != FALSE;
                m_ui.PressEnter();
            },
            [&] { EXPECT_TRUE(dialog.IsWindowEnabled()); }});
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(nTemplateInside, IDD_ABOUTBOX);
    EXPECT_FALSE(bOwnerEnabled);
    EXPECT_EQ(dialog.m_nAboutResult, IDOK);
    EXPECT_EQ(EventLines(),
              (std::vector<std::string>{"dialog opened: \"Kestrum v 0.5 - by Drovil\"",
                                        "dialog opened: \"About Kestrum\"",
                                        "dialog closed: \"About Kestrum\" -> OK",
                                        "dialog closed: \"Kestrum v 0.5 - by Drovil\" -> Cancel"}));
}

}  // namespace
