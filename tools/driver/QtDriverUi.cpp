// kestrum-driver on the Qt backend, offscreen unless QT_QPA_PLATFORM names another platform (a
// display to watch a run on). User actions go through the widgets as
// a user's would (mouse clicks, key presses, the window's menu, the notification icon's
// activations); message boxes, the folder chooser and pop-up menus are answered through the
// backend's test hooks, which also report what a user would notice.
//
// The pump: once a dialog is shown, its modal loop hands control to the driver (the backend's
// dialogShown hook), which runs the script's lines for it one by one until it ends. Before each
// line the event loop runs what the previous one left to it (a menu command is posted once the
// menu has closed), so each line sees the program settled; a dialog opened meanwhile runs its
// own lines in its own loop, nested as the dialogs are.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tools/driver/DriverUi.h"
#include "tools/driver/WindowedDriverUi.h"
#include "ui/WinApp.h"
#include "ui/qt/QtBackend.h"

namespace {

using namespace std::chrono_literals;

class CQtDriverUi final : public CWindowedDriverUi {
public:
    // Event loop passes before each line: a command posted once a menu has closed needs one;
    // the spare ones cover work that posts more work.
    static constexpr int kSettlePasses = 3;

    CQtDriverUi(int& argc, char** argv) : m_pApp(MakeApplication(argc, argv)) {
        QApplication::setQuitOnLastWindowClosed(false);
        SetUiBackend(&m_backend);
        InstallHooks();
    }
    ~CQtDriverUi() override { SetUiBackend(nullptr); }
    CQtDriverUi(const CQtDriverUi&) = delete;
    CQtDriverUi& operator=(const CQtDriverUi&) = delete;

    void AwaitIdle(CScriptedPlatform& platform) override {
        // A thread's message box is shown on this thread while the thread waits for it, so
        // events go on being processed until every thread sleeps again.
        while (!platform.WaitUntilIdleFor(2ms)) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
    }

    bool Click(int nId) override {
        QWidget* pControl = InputWidget<QWidget>(nId);
        if (pControl == nullptr) {
            return false;
        }
        if (qobject_cast<QAbstractButton*>(pControl) != nullptr) {
            // Press and release in the middle, as under the mouse. Qt moves the focus only for
            // the window system's own presses, so the press takes it here.
            if (pControl->focusPolicy() & Qt::ClickFocus) {
                pControl->setFocus(Qt::MouseFocusReason);
            }
            const QPointF local(pControl->width() / 2.0, pControl->height() / 2.0);
            const QPointF global = pControl->mapToGlobal(local);
            QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton,
                              Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(pControl, &press);
            if (m_backend.WidgetOf(ControlWindow(nId)) == pControl) {
                QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton,
                                    Qt::NoButton, Qt::NoModifier);
                QCoreApplication::sendEvent(pControl, &release);
            }
            return true;
        }
        // Other controls only take the focus on a click; statics and frames not even that.
        if (qobject_cast<QLineEdit*>(pControl) != nullptr ||
            qobject_cast<QComboBox*>(pControl) != nullptr ||
            qobject_cast<QAbstractItemView*>(pControl) != nullptr) {
            pControl->setFocus(Qt::MouseFocusReason);
            return true;
        }
        return false;
    }

    bool Type(int nId, const WString& text) override {
        auto* pEdit = InputWidget<QLineEdit>(nId);
        if (pEdit == nullptr) {
            return false;
        }
        pEdit->setFocus(Qt::MouseFocusReason);
        // Typing over the old text changes it even when the new text is the same.
        pEdit->clear();
        pEdit->setText(QString::fromStdU16String(text));
        return true;
    }

    bool Pick(int nId, const WString& entry) override {
        auto* pCombo = InputWidget<QComboBox>(nId);
        if (pCombo == nullptr) {
            return false;
        }
        const int nIndex = pCombo->findText(QString::fromStdU16String(entry), Qt::MatchExactly);
        if (nIndex < 0) {
            return false;
        }
        // What picking from the dropped list does: the entry becomes current, then the box
        // reports the user's choice.
        pCombo->setFocus(Qt::MouseFocusReason);
        pCombo->setCurrentIndex(nIndex);
        emit pCombo->activated(nIndex);
        return true;
    }

    bool TickRow(int nListId, int nRow, bool bTicked) override {
        QAbstractItemView* pView = ListView(nListId, nRow);
        if (pView == nullptr) {
            return false;
        }
        const QModelIndex index = pView->model()->index(nRow, 0);
        if (!(pView->model()->flags(index) & Qt::ItemIsUserCheckable)) {
            return false;
        }
        pView->setFocus(Qt::MouseFocusReason);
        pView->model()->setData(index, bTicked ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
        return true;
    }

    bool SelectRow(int nListId, int nRow) override {
        QAbstractItemView* pView = ListView(nListId, nRow);
        if (pView == nullptr) {
            return false;
        }
        pView->setFocus(Qt::MouseFocusReason);
        pView->selectionModel()->setCurrentIndex(
            pView->model()->index(nRow, 0),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        return true;
    }

    bool CloseBox() override {
        if (!TopDialogShown() || !(TopWindow()->windowFlags() & Qt::WindowCloseButtonHint)) {
            return false;
        }
        TopWindow()->close();
        return true;
    }

    bool Minimise() override {
        DismissPopup();
        if (!CanTakeInput(nullptr) ||
            !(TopWindow()->windowFlags() & Qt::WindowMinimizeButtonHint)) {
            return false;
        }
        // The window menu's Minimize: SC_MINIMIZE reaches the dialog before anything changes,
        // as the minimise box sends it on Windows. (The window manager's own minimise, which
        // the backend reports afterwards, is QtSmoke's.)
        return ChooseFromWindowMenu(SC_MINIMIZE);
    }

    bool Restore() override {
        QWidget* pWindow = TopWindow();
        if (!TopDialogShown() || !pWindow->isMinimized()) {
            return false;
        }
        // The task bar button: the window manager restores the window.
        pWindow->setWindowState(pWindow->windowState() & ~Qt::WindowMinimized);
        return true;
    }

    bool SysCommand(UINT nId) override { return TopDialogShown() && ChooseFromWindowMenu(nId); }

    bool TrayDoubleClick() override {
        DismissPopup();
        // A double click is a click, then the double click.
        return Activate(QSystemTrayIcon::Trigger) && Activate(QSystemTrayIcon::DoubleClick);
    }

    bool TrayRightClick() override {
        DismissPopup();
        return Activate(QSystemTrayIcon::Context);
    }

    bool TrayClick() override { return Activate(QSystemTrayIcon::Trigger); }

    // Qt reports no mouse moves over the icon: the program never hears of them.
    bool TrayMove() override { return !m_icons.empty(); }

    bool TopDialog(SDriverDialog& dialog) override {
        if (m_dialogs.empty()) {
            return false;
        }
        const SRunningDialog& top = m_dialogs.back();
        dialog.nTemplateId = static_cast<int>(top.nIDTemplate);
        dialog.caption = WindowText(top.hDlg);
        dialog.bVisible = m_backend.IsWindowVisible(top.hDlg) != FALSE;
        dialog.bMinimised = m_backend.IsIconic(top.hDlg) != FALSE;
        return true;
    }

    bool Control(int nId, SDriverControl& control) override {
        if (m_dialogs.empty()) {
            return false;
        }
        HWND hControl = m_backend.GetDlgItem(m_dialogs.back().hDlg, nId);
        QWidget* pWidget = m_backend.WidgetOf(hControl);
        if (pWidget == nullptr) {
            return false;
        }
        control = SDriverControl();
        control.text = WindowText(hControl);
        control.bEnabled = m_backend.IsWindowEnabled(hControl) != FALSE;
        if (auto* pButton = qobject_cast<QAbstractButton*>(pWidget)) {
            control.bChecked = pButton->isChecked();
        }
        if (auto* pCombo = qobject_cast<QComboBox*>(pWidget)) {
            for (int i = 0; i < pCombo->count(); ++i) {
                control.items.push_back(pCombo->itemText(i).toStdU16String());
            }
            control.nCurSel = m_backend.ComboGetCurSel(hControl);
        }
        if (auto* pView = qobject_cast<QAbstractItemView*>(pWidget)) {
            const int nColumns = pView->model()->columnCount();
            const int nRows = m_backend.ListGetItemCount(hControl);
            for (int nRow = 0; nRow < nRows; ++nRow) {
                SDriverRow row;
                for (int nCol = 0; nCol < nColumns; ++nCol) {
                    WChar szText[kMaxPath] = {};
                    m_backend.ListGetItemText(hControl, nRow, nCol, szText,
                                              static_cast<int>(kMaxPath));
                    row.cells.emplace_back(szText);
                }
                row.bChecked = m_backend.ListGetCheck(hControl, nRow) != FALSE;
                row.bSelected = m_backend.ListGetItemState(hControl, nRow, LVIS_SELECTED) != 0;
                control.rows.push_back(std::move(row));
            }
            control.nTopIndex = m_backend.ListGetTopIndex(hControl);
        }
        return true;
    }

    bool TrayTip(WString& tip) override {
        if (m_icons.empty()) {
            return false;
        }
        tip = m_icons.front().tip;
        return true;
    }

private:
    // Scripts run unattended: no display needed, none touched.
    static std::unique_ptr<QApplication> MakeApplication(int& argc, char** argv) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        return std::make_unique<QApplication>(argc, argv);
    }

    void InstallHooks() {
        SUiTestHooks& hooks = m_backend.Hooks();
        InstallReportingHooks(hooks);
        // A notification area stands in for the one offscreen lacks; the icon's activations
        // come from the script.
        hooks.trayAvailable = true;
        hooks.windowChanged = [this](HWND hDlg, UINT nIDTemplate, bool bVisible, bool bMinimized) {
            OnWindowChanged(m_windowStates[hDlg], nIDTemplate, bVisible, bMinimized);
        };
        hooks.answerFolder = [this](const WString& title, WString& path) {
            return AnswerFolder(title, path);
        };
        hooks.answerPopupMenu = [this](HMENU hMenu, HWND) {
            return AnswerPopup(m_backend.PopupItems(hMenu));
        };
    }

    // The driver's own use of the window menu takes the entry it asked for; a menu the program
    // opens waits for the script.
    UINT AnswerPopup(const std::vector<qtui::SPopupItem>& items) {
        if (m_nWindowMenuChoice.has_value()) {
            const UINT nWanted = *m_nWindowMenuChoice;
            m_nWindowMenuChoice.reset();
            m_bWindowMenuHad =
                std::any_of(items.begin(), items.end(), [nWanted](const qtui::SPopupItem& item) {
                    return item.nId == nWanted && item.bEnabled;
                });
            return m_bWindowMenuHad ? nWanted : 0;
        }
        SUiEvent event = MakeEvent(EUiEvent::kPopupMenu, 0);
        for (const qtui::SPopupItem& item : items) {
            SUiMenuLine line;
            line.text = item.strText;
            line.nId = item.nId;
            line.bDefault = item.bDefault;
            event.items.push_back(std::move(line));
        }
        return WaitForPopupChoice(event);
    }

    bool ChooseFromWindowMenu(UINT nId) {
        QWidget* pWindow = TopWindow();
        m_nWindowMenuChoice = nId;
        m_bWindowMenuHad = false;
        // A right click on the dialog's background opens its window menu.
        const QPoint local(2, 2);
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, local, pWindow->mapToGlobal(local));
        QCoreApplication::sendEvent(pWindow, &menuEvent);
        m_nWindowMenuChoice.reset();
        return m_bWindowMenuHad;
    }

    void SendKey(EKey key) override {
        QWidget* pWindow = TopWindow();
        QWidget* pTarget = pWindow->focusWidget() != nullptr ? pWindow->focusWidget() : pWindow;
        QKeyEvent press(QEvent::KeyPress, key == EKey::kEnter ? Qt::Key_Return : Qt::Key_Escape,
                        Qt::NoModifier);
        QCoreApplication::sendEvent(pTarget, &press);
    }

    bool Activate(QSystemTrayIcon::ActivationReason reason) {
        if (m_icons.empty()) {
            return false;
        }
        const STrayIcon icon = m_icons.front();
        m_backend.ActivateTrayIcon(icon.hWnd, icon.uID, reason);
        return true;
    }

    // Lets the event loop run what the last line left to it.
    bool HasPosted() override { return m_backend.HasPosted(); }

    void Settle() override {
        for (int i = 0; i < kSettlePasses; ++i) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        }
    }

    QWidget* TopWindow() { return m_backend.WidgetOf(TopDialogWindow()); }

    // The top dialog's control nId as a TWidget, when it is one and takes input.
    template <typename TWidget>
    TWidget* InputWidget(int nId) {
        return qobject_cast<TWidget*>(m_backend.WidgetOf(InputControl(nId)));
    }

    // The list, when it takes a click on row nRow.
    QAbstractItemView* ListView(int nListId, int nRow) {
        auto* pView = InputWidget<QAbstractItemView>(nListId);
        if (pView == nullptr || nRow < 0 || nRow >= pView->model()->rowCount()) {
            return nullptr;
        }
        return pView;
    }

    std::unique_ptr<QApplication> m_pApp;
    qtui::CQtBackend m_backend;

    std::optional<UINT> m_nWindowMenuChoice;
    bool m_bWindowMenuHad = false;
};

}  // namespace

std::unique_ptr<IDriverUi> CreateDriverUi(int& argc, char** argv) {
    return std::make_unique<CQtDriverUi>(argc, argv);
}
