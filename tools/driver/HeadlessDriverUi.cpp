// kestrum-driver on the in-memory backend: every action is a call on CHeadlessBackend, and the
// backend's own modal loop calls the pump.
#include <memory>
#include <utility>

#include "tools/driver/DriverUi.h"
#include "ui/WinApp.h"
#include "ui/headless/HeadlessBackend.h"

namespace {

class CHeadlessDriverUi final : public IDriverUi {
public:
    CHeadlessDriverUi() { SetUiBackend(&m_ui); }
    ~CHeadlessDriverUi() override = default;
    CHeadlessDriverUi(const CHeadlessDriverUi&) = delete;
    CHeadlessDriverUi& operator=(const CHeadlessDriverUi&) = delete;

    void SetEventSink(IUiEventSink* pSink) override { m_ui.SetEventSink(pSink); }

    int Run(std::function<bool()> pump) override {
        m_ui.SetPump(std::move(pump));
        return AfxWinMain();
    }

    void AwaitIdle(CScriptedPlatform& platform) override { platform.WaitUntilIdle(); }
    bool HasPendingWork() override {
        const SHeadlessWindow* pDialog = m_ui.Window(m_ui.TopDialog());
        return m_ui.HasPosted() || (pDialog != nullptr && pDialog->bEnded);
    }

    void QueueMessageBoxAnswer(int nAnswer) override { m_ui.QueueMessageBoxAnswer(nAnswer); }
    void QueueFolderChoice(EFolderChoice choice, WString path) override {
        m_ui.QueueFolderChoice(choice, std::move(path));
    }

    bool Click(int nId) override { return m_ui.Click(nId); }
    bool Type(int nId, const WString& text) override { return m_ui.SetEditText(nId, text); }
    bool Pick(int nId, const WString& entry) override { return m_ui.SelectCombo(nId, entry); }
    bool TickRow(int nListId, int nRow, bool bTicked) override {
        return m_ui.TickRow(nListId, nRow, bTicked);
    }
    bool SelectRow(int nListId, int nRow) override { return m_ui.SelectRow(nListId, nRow); }
    bool PressEnter() override { return m_ui.PressEnter(); }
    bool PressEscape() override { return m_ui.PressEscape(); }
    bool CloseBox() override { return m_ui.CloseBox(); }
    bool Minimise() override { return m_ui.Minimise(); }
    bool Restore() override { return m_ui.Restore(); }
    bool SysCommand(UINT nId) override { return m_ui.SysCommand(nId); }
    bool TrayDoubleClick() override { return m_ui.TrayDoubleClick(); }
    bool TrayRightClick() override { return m_ui.TrayRightClick(); }
    bool TrayClick() override { return m_ui.TrayMouse(WM_LBUTTONDOWN); }
    bool TrayMove() override { return m_ui.TrayMouse(WM_MOUSEMOVE); }
    bool ChooseMenuCommand(UINT nId) override { return m_ui.ChooseMenuCommand(nId); }
    void DismissPopup() override { m_ui.DismissPopup(); }

    bool TopDialog(SDriverDialog& dialog) override {
        const SHeadlessWindow* pDialog = m_ui.Window(m_ui.TopDialog());
        if (pDialog == nullptr) {
            return false;
        }
        dialog.nTemplateId = pDialog->nTemplateId;
        dialog.caption = pDialog->text;
        dialog.bVisible = pDialog->bVisible;
        dialog.bMinimised = pDialog->bIconic;
        return true;
    }

    bool Control(int nId, SDriverControl& control) override {
        const SHeadlessWindow* pControl = m_ui.Control(nId);
        if (pControl == nullptr) {
            return false;
        }
        control.text = pControl->text;
        control.bEnabled = pControl->bEnabled;
        control.bChecked = pControl->nCheck != 0;
        control.items = pControl->items;
        control.nCurSel = pControl->nCurSel;
        control.nTopIndex = pControl->nTopIndex;
        control.rows.clear();
        for (const SHeadlessRow& row : pControl->rows) {
            control.rows.push_back(
                SDriverRow{row.cells, row.bChecked, (row.nState & LVIS_SELECTED) != 0});
        }
        return true;
    }

    std::string Focus() override {
        const SHeadlessWindow* pFocus = m_ui.Window(m_ui.GetFocus());
        if (pFocus == nullptr) {
            return "none";
        }
        return pFocus->pDialog != nullptr ? "dialog " + std::to_string(pFocus->nTemplateId)
                                          : std::to_string(pFocus->nId);
    }

    bool TrayTip(WString& tip) override {
        const SHeadlessTrayIcon* pIcon = m_ui.TrayIcon();
        if (pIcon == nullptr) {
            return false;
        }
        tip = pIcon->tip;
        return true;
    }

private:
    CHeadlessBackend m_ui;
};

}  // namespace

std::unique_ptr<IDriverUi> CreateDriverUi(int& /*argc*/, char** /*argv*/) {
    return std::make_unique<CHeadlessDriverUi>();
}
