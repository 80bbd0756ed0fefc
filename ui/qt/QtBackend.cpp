// The Qt backend: window handles are entries of a table that maps them to widgets; dialogs
// are built from the resource tables; signals and window events become window messages.
#include "ui/qt/QtBackend.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <map>
#include <unordered_map>
#include <utility>

#include "ui/Dialog.h"
#include "ui/ResourceTables.h"
#include "ui/qt/AppIcon.h"
#include "ui/qt/DialogUnits.h"
#include "ui/qt/DialogWindow.h"
#include "ui/qt/GroupFrame.h"
#include "ui/qt/MenuModel.h"
#include "ui/qt/ReportView.h"
#include "ui/qt/SongListModel.h"
#include "ui/qt/StyleBits.h"

namespace qtui {
namespace {

QString ToQString(const WChar* pszText) {
    return pszText != nullptr ? QString::fromUtf16(pszText) : QString();
}

WString ToWString(const QString& text) { return text.toStdU16String(); }

// Copies text into a caller's buffer as the system does: at most nMax - 1 characters and a
// terminator; returns the characters copied.
int CopyOut(WStringView text, WChar* pszBuffer, int nMax) {
    if (pszBuffer == nullptr || nMax <= 0) {
        return 0;
    }
    WCopyBounded(pszBuffer, static_cast<std::size_t>(nMax), text);
    return static_cast<int>(WLength(pszBuffer));
}

// A static control shows "&x" as an underlined x and "&&" as "&".
QString WithoutMnemonics(const QString& text) {
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size()) {
            ++i;
        }
        result.append(text[i]);
    }
    return result;
}

bool ClassIs(const char* pszClass, const char* pszName) {
    return pszClass != nullptr &&
           QString::fromLatin1(pszClass).compare(QLatin1String(pszName), Qt::CaseInsensitive) == 0;
}

enum class EKind {
    kDialog,
    kPushButton,
    kCheckBox,
    kGroupBox,
    kStatic,
    kEdit,
    kCombo,
    kList,
    kProgress
};

struct SWindow {
    EKind kind;
    QPointer<QWidget> pWidget;
    HWND hDialog;  // the dialog a control belongs to; itself for a dialog
    int nId;
    DWORD dwStyle;
    DWORD dwExStyle = 0;
    QString strText;  // a static's text as set, before its mnemonics are drawn
};

struct SDialog {
    CDialog* pDialog = nullptr;
    UINT nIDTemplate = 0;
    CDialogWindow* pWindow = nullptr;
    std::vector<HWND> controls;  // in template (tab) order
    QEventLoop* pLoop = nullptr;
    bool bEnded = false;
    INT_PTR nResult = 0;
    HMENU hSystemMenu = nullptr;
    int nDefaultId = IDOK;
    bool bMinimizeAccepted = false;
    // Shown after its set-up: from then until it ends, state changes are reported.
    bool bShown = false;
    bool bReportedVisible = false;
    bool bReportedMinimized = false;
};

struct STray {
    std::unique_ptr<QSystemTrayIcon> pIcon;  // none when the notification area is simulated
    QString strTip;
    UINT uCallbackMessage = 0;
    bool bMessage = false;
};

}  // namespace

struct CQtBackend::SImpl final : IDialogEvents {
    SUiTestHooks hooks;
    std::uintptr_t nLastHandle = 0;
    std::map<HWND, SWindow> windows;
    std::map<HWND, std::unique_ptr<SDialog>> dialogs;
    std::unordered_map<const QObject*, HWND> byWidget;
    CMenuModel menus{[this] { return reinterpret_cast<std::uintptr_t>(NewHandle<HMENU>()); }};
    std::map<HICON, QIcon> icons;
    HICON hAppIcon = nullptr;
    std::map<std::pair<HWND, UINT>, STray> trays;
    // Messages posted through PostMessage and not yet delivered.
    std::atomic<int> nPosted{0};

    template <typename THandle>
    THandle NewHandle() {
        // Small distinct numbers: handles name table entries and are never dereferenced.
        nLastHandle += 4;
        return reinterpret_cast<THandle>(nLastHandle);
    }

    SWindow* FindWindow(HWND hWnd) {
        auto it = windows.find(hWnd);
        if (it == windows.end() || it->second.pWidget.isNull()) {
            return nullptr;
        }
        return &it->second;
    }

    SDialog* FindDialog(HWND hDlg) {
        auto it = dialogs.find(hDlg);
        return it != dialogs.end() ? it->second.get() : nullptr;
    }

    template <typename TWidget>
    TWidget* Control(HWND hWnd, EKind kind) {
        SWindow* pWindow = FindWindow(hWnd);
        if (pWindow == nullptr || pWindow->kind != kind) {
            return nullptr;
        }
        return static_cast<TWidget*>(pWindow->pWidget.data());
    }

    CReportView* List(HWND hList) { return Control<CReportView>(hList, EKind::kList); }

    HWND HandleOfWidget(const QObject* pObject) const {
        for (; pObject != nullptr; pObject = pObject->parent()) {
            auto it = byWidget.find(pObject);
            if (it != byWidget.end()) {
                return it->second;
            }
        }
        return nullptr;
    }

    HWND ControlById(const SDialog& dialog, int nId) {
        for (HWND hControl : dialog.controls) {
            const SWindow* pWindow = FindWindow(hControl);
            if (pWindow != nullptr && pWindow->nId == nId) {
                return hControl;
            }
        }
        return nullptr;
    }

    // A message to a dialog's window procedure; nothing when the dialog is gone.
    LRESULT Deliver(HWND hDlg, UINT nMsg, WPARAM wParam, LPARAM lParam) {
        SDialog* pDialog = FindDialog(hDlg);
        if (pDialog == nullptr || pDialog->pDialog == nullptr) {
            return 0;
        }
        return pDialog->pDialog->WindowProc(nMsg, wParam, lParam);
    }

    void Command(HWND hDlg, int nId, UINT nCode, HWND hControl) {
        Deliver(hDlg, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(nId), static_cast<WORD>(nCode)),
                reinterpret_cast<LPARAM>(hControl));
    }

    // Later, from the event loop, and only if the window still exists then.
    void Post(HWND hDlg, UINT nMsg, WPARAM wParam, LPARAM lParam) {
        QTimer::singleShot(
            0, qApp, [this, hDlg, nMsg, wParam, lParam]() { Deliver(hDlg, nMsg, wParam, lParam); });
    }

    HWND Register(QWidget* pWidget, EKind kind, HWND hDialog, int nId, DWORD dwStyle) {
        HWND hWnd = NewHandle<HWND>();
        windows.emplace(hWnd, SWindow{kind, pWidget, hDialog == nullptr ? hWnd : hDialog, nId,
                                      dwStyle, 0, QString()});
        byWidget[pWidget] = hWnd;
        return hWnd;
    }

    void Unregister(HWND hWnd) {
        auto it = windows.find(hWnd);
        if (it == windows.end()) {
            return;
        }
        for (auto byIt = byWidget.begin(); byIt != byWidget.end();) {
            byIt = byIt->second == hWnd ? byWidget.erase(byIt) : std::next(byIt);
        }
        windows.erase(it);
    }

    HICON AppIconHandle() {
        if (hAppIcon == nullptr) {
            hAppIcon = NewHandle<HICON>();
            icons[hAppIcon] = AppIcon();
        }
        return hAppIcon;
    }

    // The system menu stand-in: what the title bar's menu offers, reachable by a right click
    // on the dialog's background.
    HMENU SystemMenuOf(HWND hDlg) {
        SDialog* pDialog = FindDialog(hDlg);
        SWindow* pWindow = FindWindow(hDlg);
        if (pDialog == nullptr || pWindow == nullptr || !(pWindow->dwStyle & kWsSysMenu)) {
            return nullptr;
        }
        if (pDialog->hSystemMenu == nullptr) {
            pDialog->hSystemMenu = menus.MakeSystemMenu(pWindow->dwStyle);
        }
        return pDialog->hSystemMenu;
    }

    void FillQMenu(QMenu& qmenu, HMENU hMenu) {
        const SMenu* pMenu = menus.Find(hMenu);
        if (pMenu == nullptr) {
            return;
        }
        for (std::size_t i = 0; i < pMenu->items.size(); ++i) {
            const SMenuItem& item = pMenu->items[i];
            const QString text = QString::fromStdU16String(item.text);
            if (item.hSubMenu != nullptr) {
                FillQMenu(*qmenu.addMenu(text), item.hSubMenu);
            } else if (item.bSeparator) {
                qmenu.addSeparator();
            } else {
                QAction* pAction = qmenu.addAction(text);
                pAction->setData(QVariant::fromValue(static_cast<qulonglong>(item.nId)));
                pAction->setEnabled(!item.bGrayed);
                if (static_cast<int>(i) == pMenu->nDefaultPos) {
                    QFont font = pAction->font();
                    font.setBold(true);
                    pAction->setFont(font);
                }
            }
        }
    }

    // The commands of a menu and its submenus, in order.
    void CollectItems(HMENU hMenu, std::vector<SPopupItem>& items) {
        const SMenu* pMenu = menus.Find(hMenu);
        if (pMenu == nullptr) {
            return;
        }
        for (std::size_t i = 0; i < pMenu->items.size(); ++i) {
            const SMenuItem& item = pMenu->items[i];
            if (item.hSubMenu != nullptr) {
                CollectItems(item.hSubMenu, items);
            } else if (item.IsCommand() && !item.text.empty()) {
                items.push_back(SPopupItem{
                    item.nId, item.text, static_cast<int>(i) == pMenu->nDefaultPos, !item.bGrayed});
            }
        }
    }

    // Shows a pop-up menu; the chosen command reaches the owner once the menu has closed, as
    // WM_COMMAND, or as WM_SYSCOMMAND for the system menu.
    void Popup(HMENU hMenu, QPoint at, UINT nFlags, HWND hOwner, bool bSystem) {
        UINT nChosen = 0;
        if (hooks.answerPopupMenu) {
            nChosen = hooks.answerPopupMenu(hMenu, hOwner);
        } else {
            QMenu qmenu;
            FillQMenu(qmenu, hMenu);
            const QSize size = qmenu.sizeHint();
            if (nFlags & TPM_BOTTOMALIGN) {
                at.ry() -= size.height();
            }
            if (nFlags & kTpmRightAlign) {
                at.rx() -= size.width();
            }
            if (QAction* pAction = qmenu.exec(at); pAction != nullptr) {
                nChosen = static_cast<UINT>(pAction->data().toULongLong());
            }
        }
        if (nChosen != 0 && hOwner != nullptr) {
            Post(hOwner, bSystem ? WM_SYSCOMMAND : WM_COMMAND, nChosen, 0);
        }
    }

    QWidget* CreateControl(const SDialogItemTemplate& item, CDialogWindow& window, EKind& kind) {
        const DWORD dwStyle = item.dwStyle;
        const QString text = ToQString(item.pszText);
        if (ClassIs(item.pszClass, "Button")) {
            const DWORD dwType = dwStyle & kBsTypeMask;
            if (dwType == kBsGroupBox) {
                kind = EKind::kGroupBox;
                return new CGroupFrame(text, &window);
            }
            if (dwType == kBsAutoCheckBox) {
                kind = EKind::kCheckBox;
                return new QCheckBox(text, &window);
            }
            kind = EKind::kPushButton;
            auto* pButton = new QPushButton(text, &window);
            // Enter on a focused button presses it, as on the system's dialogs.
            pButton->setAutoDefault(true);
            pButton->setDefault(dwType == kBsDefPushButton);
            return pButton;
        }
        if (ClassIs(item.pszClass, "Static")) {
            kind = EKind::kStatic;
            auto* pLabel = new QLabel(&window);
            pLabel->setFocusPolicy(Qt::NoFocus);
            pLabel->setTextFormat(Qt::PlainText);
            if ((dwStyle & kSsTypeMask) == kSsIcon) {
                const int nSide = 32;
                pLabel->setPixmap(icons[AppIconHandle()].pixmap(nSide, nSide));
                return pLabel;
            }
            pLabel->setAlignment(Qt::AlignTop | Qt::AlignLeft);
            pLabel->setWordWrap(true);
            pLabel->setText((dwStyle & kSsNoPrefix) ? text : WithoutMnemonics(text));
            return pLabel;
        }
        if (ClassIs(item.pszClass, "Edit")) {
            kind = EKind::kEdit;
            auto* pEdit = new QLineEdit(text, &window);
            pEdit->setFrame((dwStyle & kWsBorder) != 0);
            pEdit->setReadOnly((dwStyle & kEsReadOnly) != 0);
            return pEdit;
        }
        if (ClassIs(item.pszClass, "ComboBox")) {
            kind = EKind::kCombo;
            auto* pCombo = new QComboBox(&window);
            if ((dwStyle & kCbsTypeMask) == kCbsDropDown) {
                pCombo->setEditable(true);
                pCombo->setInsertPolicy(QComboBox::NoInsert);
                pCombo->setCompleter(nullptr);
            }
            return pCombo;
        }
        if (ClassIs(item.pszClass, "SysListView32")) {
            kind = EKind::kList;
            auto* pModel = new CSongListModel(&window);
            auto* pView = new CReportView(pModel, &window);
            pModel->setParent(pView);
            pView->setSelectionBehavior(QAbstractItemView::SelectRows);
            pView->setSelectionMode((dwStyle & kLvsSingleSel)
                                        ? QAbstractItemView::SingleSelection
                                        : QAbstractItemView::ExtendedSelection);
            pView->setTabKeyNavigation(false);
            if (!(dwStyle & kWsBorder)) {
                pView->setFrameShape(QFrame::NoFrame);
            }
            return pView;
        }
        if (ClassIs(item.pszClass, "msctls_progress32")) {
            kind = EKind::kProgress;
            auto* pBar = new QProgressBar(&window);
            pBar->setRange(0, 100);
            pBar->setValue(0);
            pBar->setTextVisible(false);
            return pBar;
        }
        kind = EKind::kStatic;
        return new QLabel(&window);
    }

    // The progress bar's messages as the common control answers them.
    static LRESULT ProgressMessage(QProgressBar& bar, UINT nMsg, WPARAM wParam, LPARAM lParam) {
        const int nPrevious = bar.value();
        switch (nMsg) {
            case PBM_SETRANGE32:
                bar.setRange(static_cast<int>(wParam), static_cast<int>(lParam));
                return 0;
            case PBM_SETPOS:
                // The common control clamps a position outside its range; QProgressBar would
                // ignore it and keep showing the old one.
                bar.setValue(std::clamp(static_cast<int>(wParam), bar.minimum(), bar.maximum()));
                return nPrevious;
            case PBM_GETPOS:
                return nPrevious;
            default:
                return 0;
        }
    }

    void Connect(QWidget* pWidget, EKind kind, HWND hDlg, HWND hControl, int nId,
                 CDialogWindow& window) {
        switch (kind) {
            case EKind::kPushButton:
            case EKind::kCheckBox:
                // An automatic check box has toggled itself by the time it reports the click.
                QObject::connect(
                    static_cast<QAbstractButton*>(pWidget), &QAbstractButton::clicked, pWidget,
                    [this, hDlg, hControl, nId]() { Command(hDlg, nId, BN_CLICKED, hControl); });
                break;
            case EKind::kEdit:
                // Sent for the program's own changes too, as the system does.
                QObject::connect(
                    static_cast<QLineEdit*>(pWidget), &QLineEdit::textChanged, pWidget,
                    [this, hDlg, hControl, nId]() { Command(hDlg, nId, EN_CHANGE, hControl); });
                break;
            case EKind::kCombo:
                if (QLineEdit* pEdit = static_cast<QComboBox*>(pWidget)->lineEdit()) {
                    byWidget[pEdit] = hControl;
                    window.WatchKeys(pEdit);
                }
                // The user's pick, not the program's CB_SETCURSEL, as the system reports it.
                QObject::connect(
                    static_cast<QComboBox*>(pWidget), &QComboBox::activated, pWidget,
                    [this, hDlg, hControl, nId]() { Command(hDlg, nId, CBN_SELCHANGE, hControl); });
                break;
            default:
                break;
        }
    }

    // Dialog templates are laid out for the system's dialog font; where the fonts at hand are
    // wider, a one-line label would wrap and lose its second line. Such a label is widened into
    // the free space to its right, as far as the next control on its line; if that is not
    // enough it stays on one line (the overrun is cut, not the second half). Nothing moves, no
    // neighbour is covered, and where the text fits nothing changes at all.
    void KeepLabelsOnOneLine(const SDialog& dialog, int nClientWidth) {
        for (HWND hLabel : dialog.controls) {
            const SWindow* pLabel = FindWindow(hLabel);
            auto* pText =
                pLabel != nullptr ? qobject_cast<QLabel*>(pLabel->pWidget.data()) : nullptr;
            if (pText == nullptr || !IsOneLineLeftLabel(*pLabel)) {
                continue;
            }
            const QRect rect = pText->geometry();
            // Fractional widths rounded up: a label that misses by a fraction of a pixel wraps.
            const int nNeeded = static_cast<int>(
                std::ceil(QFontMetricsF(pText->font()).horizontalAdvance(pText->text())));
            if (nNeeded <= rect.width()) {
                continue;
            }
            const int nWidth =
                std::min(nNeeded, FreeRightOf(dialog, hLabel, nClientWidth) - rect.left());
            if (nWidth > rect.width()) {
                pText->resize(nWidth, rect.height());
            }
            if (nWidth < nNeeded) {
                pText->setWordWrap(false);
            }
        }
    }

    static bool IsOneLineLeftLabel(const SWindow& window) {
        return window.kind == EKind::kStatic && (window.dwStyle & kSsTypeMask) == 0 &&
               !window.strText.isEmpty() && !window.strText.contains(QLatin1Char('\n'));
    }

    // Where the free space to a label's right ends: at the nearest control that shares any of
    // its rows (group boxes frame everything and do not count).
    int FreeRightOf(const SDialog& dialog, HWND hLabel, int nClientWidth) {
        const QRect rect = FindWindow(hLabel)->pWidget->geometry();
        const int nRight = rect.left() + rect.width();
        int nFreeRight = nClientWidth;
        for (HWND hOther : dialog.controls) {
            const SWindow* pOther = FindWindow(hOther);
            if (hOther == hLabel || pOther == nullptr || pOther->kind == EKind::kGroupBox) {
                continue;
            }
            const QRect other = pOther->pWidget->geometry();
            const int nOtherRight = other.left() + other.width();
            if (other.top() < rect.top() + rect.height() &&
                other.top() + other.height() > rect.top() && nOtherRight > nRight) {
                nFreeRight = std::min(nFreeRight, std::max(other.left(), nRight));
            }
        }
        return nFreeRight;
    }

    HWND CreateDialogWindow(const SDialogTemplate& tpl, HWND hOwner, CDialog& dialog) {
        QWidget* pOwner = nullptr;
        if (SWindow* pOwnerWindow = FindWindow(hOwner); pOwnerWindow != nullptr) {
            pOwner = pOwnerWindow->pWidget->window();
        }
        Qt::WindowFlags flags = pOwner != nullptr ? Qt::Dialog : Qt::Window;
        flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
        if (tpl.dwStyle & kWsSysMenu) {
            flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        }
        if (tpl.dwStyle & kWsMinimizeBox) {
            flags |= Qt::WindowMinimizeButtonHint;
        }

        auto pDialog = std::make_unique<SDialog>();
        pDialog->pDialog = &dialog;
        pDialog->nIDTemplate = static_cast<UINT>(tpl.nId);
        HWND hDlg = NewHandle<HWND>();
        auto* pWindow = new CDialogWindow(*this, hDlg, pOwner, flags);
        pDialog->pWindow = pWindow;
        windows.emplace(
            hDlg, SWindow{EKind::kDialog, pWindow, hDlg, 0, tpl.dwStyle, tpl.dwExStyle, QString()});
        byWidget[pWindow] = hDlg;

        pWindow->setWindowTitle(ToQString(tpl.pszCaption));
        pWindow->setWindowModality(pOwner != nullptr ? Qt::WindowModal : Qt::NonModal);
        const QFont font = DialogFont(tpl.nPointSize);
        pWindow->setFont(font);
        const SBaseUnits units = BaseUnitsOf(font);
        const QRect client = DialogUnitsToPixels(units, tpl.x, tpl.y, tpl.cx, tpl.cy);
        pWindow->setFixedSize(client.size());

        bool bHaveDefault = false;
        std::vector<QWidget*> groups;
        for (std::size_t i = 0; i < tpl.nItems; ++i) {
            const SDialogItemTemplate& item = tpl.pItems[i];
            EKind kind = EKind::kStatic;
            QWidget* pWidget = CreateControl(item, *pWindow, kind);
            QRect rect = DialogUnitsToPixels(units, item.x, item.y, item.cx, item.cy);
            if (kind == EKind::kCombo) {
                // The template's height covers the dropped list; the closed field is as high
                // as its font needs.
                rect.setHeight(pWidget->sizeHint().height());
            } else if (kind == EKind::kStatic && (item.dwStyle & kSsTypeMask) == kSsIcon) {
                rect.setSize(QSize(32, 32));
            }
            pWidget->setGeometry(rect);
            pWidget->setEnabled(!(item.dwStyle & kWsDisabled));
            HWND hControl = Register(pWidget, kind, hDlg, item.nId, item.dwStyle);
            FindWindow(hControl)->strText = ToQString(item.pszText);
            pDialog->controls.push_back(hControl);
            pWindow->WatchKeys(pWidget);
            Connect(pWidget, kind, hDlg, hControl, item.nId, *pWindow);
            if (kind == EKind::kGroupBox) {
                groups.push_back(pWidget);
            }
            if (kind == EKind::kPushButton && !bHaveDefault &&
                (item.dwStyle & kBsTypeMask) == kBsDefPushButton) {
                pDialog->nDefaultId = item.nId;
                bHaveDefault = true;
            }
        }
        // Group boxes frame the controls drawn inside them, so they lie beneath.
        for (QWidget* pGroup : groups) {
            pGroup->lower();
        }
        KeepLabelsOnOneLine(*pDialog, client.width());

        // Position: centred on the screen, or at the template's place in the owner's client
        // area, as the dialog manager places it.
        QScreen* pScreen = pOwner != nullptr ? pOwner->screen() : QGuiApplication::primaryScreen();
        const QRect area =
            pScreen != nullptr ? pScreen->availableGeometry() : QRect(0, 0, 1024, 768);
        QPoint topLeft;
        if ((tpl.dwStyle & kDsCenter) || pOwner == nullptr) {
            topLeft = area.center() - QPoint(client.width() / 2, client.height() / 2);
        } else {
            topLeft = pOwner->mapToGlobal(QPoint(0, 0)) + client.topLeft();
        }
        pWindow->move(topLeft);
        dialogs[hDlg] = std::move(pDialog);
        return hDlg;
    }

    void DestroyDialogWindow(HWND hDlg) {
        SDialog* pDialog = FindDialog(hDlg);
        if (pDialog == nullptr) {
            return;
        }
        for (HWND hControl : pDialog->controls) {
            Unregister(hControl);
        }
        if (pDialog->hSystemMenu != nullptr) {
            menus.Destroy(pDialog->hSystemMenu);
        }
        // A notification icon left behind by its window goes with it.
        for (auto it = trays.begin(); it != trays.end();) {
            it = it->first.first == hDlg ? trays.erase(it) : std::next(it);
        }
        CDialogWindow* pWindow = pDialog->pWindow;
        Unregister(hDlg);
        dialogs.erase(hDlg);
        pWindow->CloseByProgram();
        delete pWindow;
    }

    // The first control, in template order, that is a tab stop, not hidden and enabled.
    HWND FirstTabStop(const SDialog& dialog) {
        for (HWND hControl : dialog.controls) {
            SWindow* pWindow = FindWindow(hControl);
            if (pWindow != nullptr && (pWindow->dwStyle & WS_TABSTOP) &&
                !pWindow->pWidget->isHidden() && pWindow->pWidget->isEnabled()) {
                return hControl;
            }
        }
        return nullptr;
    }

    // IDialogEvents.
    void OnCloseRequested(HWND hDlg) override { Deliver(hDlg, WM_SYSCOMMAND, SC_CLOSE, 0); }

    void OnMinimizedByUser(HWND hDlg) override {
        SDialog* pDialog = FindDialog(hDlg);
        if (pDialog == nullptr) {
            return;
        }
        pDialog->bMinimizeAccepted = false;
        Deliver(hDlg, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        pDialog = FindDialog(hDlg);
        // The window manager minimised before the dialog was asked; what the dialog did not
        // take up as a minimise is undone, whether it hid the window or left it as it was.
        if (pDialog != nullptr && !pDialog->bMinimizeAccepted && pDialog->pWindow->isMinimized()) {
            pDialog->pWindow->SetMinimizedByProgram(false);
            if (pDialog->pWindow->isVisible()) {
                pDialog->pWindow->show();
                pDialog->pWindow->raise();
                pDialog->pWindow->activateWindow();
            }
        }
    }

    bool OnDialogKey(HWND hDlg, int nKey, QObject* pSource) override {
        SDialog* pDialog = FindDialog(hDlg);
        if (pDialog == nullptr) {
            return false;
        }
        if (nKey == Qt::Key_Escape) {
            Command(hDlg, IDCANCEL, BN_CLICKED, ControlById(*pDialog, IDCANCEL));
            return true;
        }
        if (nKey == Qt::Key_F1) {
            // The program's own entry of the system menu (its about box) stands in for help.
            HMENU hMenu = pDialog->hSystemMenu;
            if (hMenu == nullptr) {
                return false;
            }
            const SMenu* pMenu = menus.Find(hMenu);
            for (std::size_t i = pMenu->nStandardItems; i < pMenu->items.size(); ++i) {
                if (const SMenuItem& item = pMenu->items[i]; item.IsCommand()) {
                    Post(hDlg, WM_SYSCOMMAND, item.nId, 0);
                    return true;
                }
            }
            return false;
        }
        // Enter: a focused push button presses itself; anywhere else the default button.
        if (const auto* pButton = qobject_cast<const QPushButton*>(pSource);
            pButton != nullptr && pButton->isEnabled()) {
            return false;
        }
        HWND hDefault = ControlById(*pDialog, pDialog->nDefaultId);
        if (SWindow* pDefault = FindWindow(hDefault);
            pDefault != nullptr && !pDefault->pWidget->isEnabled()) {
            QApplication::beep();
            return true;
        }
        Command(hDlg, pDialog->nDefaultId, BN_CLICKED, hDefault);
        return true;
    }

    void OnBackgroundMenu(HWND hDlg, QPoint globalPos) override {
        // Every dialog with a system menu has one, whether or not the program asked for it.
        if (HMENU hMenu = SystemMenuOf(hDlg); hMenu != nullptr) {
            Popup(hMenu, globalPos, 0, hDlg, true);
        }
    }

    void OnWindowStateChanged(HWND hDlg) override {
        SDialog* pDialog = FindDialog(hDlg);
        if (pDialog == nullptr || !pDialog->bShown || pDialog->bEnded) {
            return;
        }
        const bool bVisible = pDialog->pWindow->isVisible();
        const bool bMinimized = pDialog->pWindow->isMinimized();
        if (bVisible == pDialog->bReportedVisible && bMinimized == pDialog->bReportedMinimized) {
            return;
        }
        pDialog->bReportedVisible = bVisible;
        pDialog->bReportedMinimized = bMinimized;
        if (hooks.windowChanged) {
            hooks.windowChanged(hDlg, pDialog->nIDTemplate, bVisible, bMinimized);
        }
    }

    void ReportTray(DWORD dwMessage, HWND hWnd, UINT uID, const QString& tip) {
        if (hooks.trayChanged) {
            hooks.trayChanged(dwMessage, hWnd, uID, ToWString(tip));
        }
    }

    int ShowMessageBox(HWND hOwner, const QString& text, const QString& caption, UINT nType) {
        if (hooks.answerMessageBox) {
            return hooks.answerMessageBox(hOwner, ToWString(text), ToWString(caption), nType);
        }
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        switch (nType & kMbIconMask) {
            case MB_ICONHAND:
                icon = QMessageBox::Critical;
                break;
            case MB_ICONQUESTION:
                icon = QMessageBox::Question;
                break;
            case MB_ICONEXCLAMATION:
                icon = QMessageBox::Warning;
                break;
            case MB_ICONASTERISK:
                icon = QMessageBox::Information;
                break;
            default:
                break;
        }
        QWidget* pOwner = nullptr;
        if (SWindow* pWindow = FindWindow(hOwner); pWindow != nullptr) {
            pOwner = pWindow->pWidget->window();
        }
        QMessageBox box(icon, caption, text, QMessageBox::Ok, pOwner);
        box.setTextFormat(Qt::PlainText);
        if ((nType & kMbTypeMask) == kMbOkCancel) {
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setEscapeButton(QMessageBox::Cancel);
        } else if ((nType & kMbTypeMask) == kMbYesNo) {
            // As on Windows, a Yes/No box has no Escape: one of the two must be chosen.
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
        } else {
            box.setEscapeButton(QMessageBox::Ok);
        }
        int nResult = 0;
        if (pOwner != nullptr) {
            box.setWindowModality(Qt::WindowModal);
            nResult = box.exec();
        } else {
            // No owner: no window is disabled while the box is up.
            box.setWindowModality(Qt::NonModal);
            QEventLoop loop;
            QObject::connect(&box, &QMessageBox::finished, &loop, &QEventLoop::quit);
            box.show();
            box.raise();
            box.activateWindow();
            loop.exec();
            nResult = box.result();
        }
        switch (nResult) {
            case QMessageBox::Cancel:
                return IDCANCEL;
            case QMessageBox::Yes:
                return IDYES;
            case QMessageBox::No:
                return IDNO;
            default:
                return IDOK;
        }
    }

    int MessageBoxOnGuiThread(HWND hOwner, const QString& text, const QString& caption,
                              UINT nType) {
        if (QThread::currentThread() == qApp->thread()) {
            return ShowMessageBox(hOwner, text, caption, nType);
        }
        // Widgets live on the GUI thread; the calling thread waits there for the answer.
        int nResult = IDOK;
        QMetaObject::invokeMethod(
            qApp, [&]() { nResult = ShowMessageBox(hOwner, text, caption, nType); },
            Qt::BlockingQueuedConnection);
        return nResult;
    }

    bool TrayAvailable() const {
        return hooks.trayAvailable.value_or(QSystemTrayIcon::isSystemTrayAvailable());
    }

    void ApplyTray(STray& tray, const NOTIFYICONDATAW& data) {
        if (data.uFlags & NIF_MESSAGE) {
            tray.bMessage = true;
            tray.uCallbackMessage = data.uCallbackMessage;
        }
        if (data.uFlags & NIF_TIP) {
            // The shell keeps at most 127 characters and the terminator, also of a field that
            // has none.
            WChar tip[kNotifyTipLength] = {};
            for (std::size_t i = 0; i + 1 < kNotifyTipLength && data.szTip[i] != 0; ++i) {
                tip[i] = data.szTip[i];
            }
            tray.strTip = QString::fromUtf16(tip);
            if (tray.pIcon) {
                tray.pIcon->setToolTip(tray.strTip);
            }
        }
        if ((data.uFlags & NIF_ICON) && tray.pIcon) {
            auto it = icons.find(data.hIcon);
            tray.pIcon->setIcon(it != icons.end() ? it->second : AppIcon());
        }
    }

    void OnTrayActivated(HWND hWnd, UINT uID, QSystemTrayIcon::ActivationReason reason) {
        auto it = trays.find({hWnd, uID});
        if (it == trays.end() || !it->second.bMessage) {
            return;
        }
        const UINT nMsg = it->second.uCallbackMessage;
        switch (reason) {
            case QSystemTrayIcon::DoubleClick:
                Deliver(hWnd, nMsg, uID, WM_LBUTTONDBLCLK);
                break;
            case QSystemTrayIcon::Context:
                Deliver(hWnd, nMsg, uID, WM_RBUTTONDOWN);
                Deliver(hWnd, nMsg, uID, WM_RBUTTONUP);
                break;
            case QSystemTrayIcon::Trigger:
                Deliver(hWnd, nMsg, uID, WM_LBUTTONDOWN);
                Deliver(hWnd, nMsg, uID, WM_LBUTTONUP);
                break;
            default:
                break;
        }
    }
};

CQtBackend::CQtBackend() : m_pImpl(std::make_unique<SImpl>()) {}

CQtBackend::~CQtBackend() = default;

SUiTestHooks& CQtBackend::Hooks() { return m_pImpl->hooks; }

std::vector<SPopupItem> CQtBackend::PopupItems(HMENU hMenu) const {
    std::vector<SPopupItem> items;
    m_pImpl->CollectItems(hMenu, items);
    return items;
}

QWidget* CQtBackend::WidgetOf(HWND hWnd) const {
    auto it = m_pImpl->windows.find(hWnd);
    return it != m_pImpl->windows.end() ? it->second.pWidget.data() : nullptr;
}

bool CQtBackend::IsTrayIconShown(HWND hWnd, UINT uID) const {
    return m_pImpl->trays.count({hWnd, uID}) != 0;
}

WString CQtBackend::TrayToolTip(HWND hWnd, UINT uID) const {
    auto it = m_pImpl->trays.find({hWnd, uID});
    return it != m_pImpl->trays.end() ? ToWString(it->second.strTip) : WString();
}

void CQtBackend::ActivateTrayIcon(HWND hWnd, UINT uID, QSystemTrayIcon::ActivationReason reason) {
    m_pImpl->OnTrayActivated(hWnd, uID, reason);
}

BOOL CQtBackend::InitCommonControls(DWORD /*dwClasses*/) { return TRUE; }

WString CQtBackend::GetAppName() {
    if (m_pImpl->hooks.appName.has_value()) {
        return *m_pImpl->hooks.appName;
    }
    return ToWString(QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
}

INT_PTR CQtBackend::RunModalDialog(CDialog& dialog, UINT nIDTemplate, HWND hParent) {
    const SDialogTemplate* pTemplate = FindDialogTemplate(static_cast<int>(nIDTemplate));
    if (pTemplate == nullptr) {
        return -1;
    }
    SImpl& impl = *m_pImpl;
    HWND hDlg = impl.CreateDialogWindow(*pTemplate, hParent, dialog);
    dialog.Attach(hDlg);
    if (impl.Deliver(hDlg, WM_CREATE, 0, 0) == -1) {
        impl.DestroyDialogWindow(hDlg);
        return -1;
    }
    SDialog* pDialog = impl.FindDialog(hDlg);
    const LRESULT nInit =
        impl.Deliver(hDlg, WM_INITDIALOG, reinterpret_cast<WPARAM>(impl.FirstTabStop(*pDialog)), 0);
    pDialog = impl.FindDialog(hDlg);
    if (pDialog != nullptr && !pDialog->bEnded) {
        // Looked for again after the set-up, as the dialog manager does: the set-up may have
        // enabled controls (Kestrum's enables Extract, the first tab stop).
        if (SWindow* pFirst = impl.FindWindow(impl.FirstTabStop(*pDialog));
            nInit != 0 && pFirst != nullptr) {
            pFirst->pWidget->setFocus(Qt::TabFocusReason);
        }
        CDialogWindow* pWindow = pDialog->pWindow;
        pWindow->show();
        pWindow->raise();
        pWindow->activateWindow();
        pDialog->bShown = true;
        pDialog->bReportedVisible = pWindow->isVisible();
        pDialog->bReportedMinimized = pWindow->isMinimized();
        if (impl.hooks.dialogShown) {
            QTimer::singleShot(0, pWindow, [&impl, hDlg, nIDTemplate]() {
                if (impl.FindDialog(hDlg) != nullptr && impl.hooks.dialogShown) {
                    impl.hooks.dialogShown(hDlg, nIDTemplate);
                }
            });
        }
        QEventLoop loop;
        pDialog->pLoop = &loop;
        if (!pDialog->bEnded) {
            loop.exec();
        }
        pDialog->pLoop = nullptr;
    }
    impl.Deliver(hDlg, WM_DESTROY, 0, 0);
    pDialog = impl.FindDialog(hDlg);
    const INT_PTR nResult = pDialog != nullptr ? pDialog->nResult : -1;
    const bool bWasShown = pDialog != nullptr && pDialog->bShown;
    impl.DestroyDialogWindow(hDlg);
    if (bWasShown && impl.hooks.dialogClosed) {
        impl.hooks.dialogClosed(hDlg, nIDTemplate, nResult);
    }
    return nResult;
}

void CQtBackend::EndDialog(HWND hDlg, INT_PTR nResult) {
    SDialog* pDialog = m_pImpl->FindDialog(hDlg);
    if (pDialog == nullptr) {
        return;
    }
    const bool bAlreadyEnded = pDialog->bEnded;
    pDialog->bEnded = true;
    pDialog->nResult = nResult;
    pDialog->pWindow->hide();
    if (pDialog->pLoop != nullptr) {
        pDialog->pLoop->quit();
    }
    if (!bAlreadyEnded && m_pImpl->hooks.dialogEnding) {
        m_pImpl->hooks.dialogEnding(hDlg);
    }
}

HWND CQtBackend::GetDlgItem(HWND hDlg, int nID) {
    SDialog* pDialog = m_pImpl->FindDialog(hDlg);
    return pDialog != nullptr ? m_pImpl->ControlById(*pDialog, nID) : nullptr;
}

int CQtBackend::GetDlgCtrlID(HWND hWnd) {
    SWindow* pWindow = m_pImpl->FindWindow(hWnd);
    return pWindow != nullptr && pWindow->kind != EKind::kDialog ? pWindow->nId : 0;
}

LRESULT CQtBackend::DefWindowProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM /*lParam*/) {
    SImpl& impl = *m_pImpl;
    SDialog* pDialog = impl.FindDialog(hWnd);
    if (pDialog == nullptr) {
        return 0;
    }
    switch (nMsg) {
        case WM_SYSCOMMAND:
            switch (static_cast<UINT>(wParam) & 0xFFF0) {
                case SC_MINIMIZE:
                    pDialog->bMinimizeAccepted = true;
                    if (!pDialog->pWindow->isMinimized()) {
                        pDialog->pWindow->SetMinimizedByProgram(true);
                    }
                    return 0;
                case SC_RESTORE:
                    ShowWindow(hWnd, SW_RESTORE);
                    return 0;
                case SC_CLOSE:
                    return impl.Deliver(hWnd, WM_CLOSE, 0, 0);
                default:
                    return 0;
            }
        case WM_CLOSE: {
            // A dialog closes as if its Cancel button had been pressed, unless that button is
            // disabled.
            HWND hCancel = impl.ControlById(*pDialog, IDCANCEL);
            if (SWindow* pCancel = impl.FindWindow(hCancel);
                pCancel != nullptr && !pCancel->pWidget->isEnabled()) {
                QApplication::beep();
                return 0;
            }
            impl.Command(hWnd, IDCANCEL, BN_CLICKED, hCancel);
            return 0;
        }
        default:
            // Creation, painting and the rest need nothing here: Qt draws the windows.
            return 0;
    }
}

LRESULT CQtBackend::SendMessage(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    if (SWindow* pWindow = m_pImpl->FindWindow(hWnd);
        pWindow != nullptr && pWindow->kind == EKind::kProgress) {
        return SImpl::ProgressMessage(*static_cast<QProgressBar*>(pWindow->pWidget.data()), nMsg,
                                      wParam, lParam);
    }
    return m_pImpl->Deliver(hWnd, nMsg, wParam, lParam);
}

BOOL CQtBackend::PostMessage(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    // Queued to the application object, which lives on the GUI thread: delivered there by
    // whichever event loop runs, after what is under way.
    SImpl* pImpl = m_pImpl.get();
    ++pImpl->nPosted;
    const bool bQueued = QMetaObject::invokeMethod(
        qApp,
        [pImpl, hWnd, nMsg, wParam, lParam]() {
            pImpl->Deliver(hWnd, nMsg, wParam, lParam);
            --pImpl->nPosted;
        },
        Qt::QueuedConnection);
    if (!bQueued) {
        --pImpl->nPosted;
    }
    return bQueued ? TRUE : FALSE;
}

bool CQtBackend::HasPosted() const { return m_pImpl->nPosted.load() > 0; }

BOOL CQtBackend::ShowWindow(HWND hWnd, int nCmdShow) {
    SWindow* pWindow = m_pImpl->FindWindow(hWnd);
    if (pWindow == nullptr) {
        return FALSE;
    }
    QWidget* pWidget = pWindow->pWidget;
    const BOOL bWasVisible = pWidget->isVisible() ? TRUE : FALSE;
    if (pWindow->kind != EKind::kDialog) {
        pWidget->setVisible(nCmdShow != SW_HIDE);
        return bWasVisible;
    }
    auto* pDialogWindow = static_cast<CDialogWindow*>(pWidget);
    switch (nCmdShow) {
        case SW_HIDE:
            pDialogWindow->hide();
            break;
        case SW_SHOWMINIMIZED:
        case SW_MINIMIZE:
            pDialogWindow->SetMinimizedByProgram(true);
            pDialogWindow->show();
            break;
        case SW_SHOWMAXIMIZED:
            pDialogWindow->showMaximized();
            break;
        default:
            if (pDialogWindow->isMinimized()) {
                pDialogWindow->SetMinimizedByProgram(false);
            }
            pDialogWindow->show();
            pDialogWindow->raise();
            pDialogWindow->activateWindow();
            break;
    }
    return bWasVisible;
}

BOOL CQtBackend::IsWindowVisible(HWND hWnd) {
    SWindow* pWindow = m_pImpl->FindWindow(hWnd);
    return pWindow != nullptr && pWindow->pWidget->isVisible() ? TRUE : FALSE;
}

BOOL CQtBackend::IsIconic(HWND hWnd) {
    SWindow* pWindow = m_pImpl->FindWindow(hWnd);
    return pWindow != nullptr && pWindow->pWidget->isMinimized() ? TRUE : FALSE;
}

BOOL CQtBackend::EnableWindow(HWND hWnd, BOOL bEnable) {
    SWindow* pWindow = m_pImpl->FindWindow(hWnd);
    if (pWindow == nullptr) {
        return FALSE;
    }
    // Non-zero when the window was disabled before.
    const BOOL bWasDisabled = pWindow->pWidget->isEnabled() ? FALSE : TRUE;
    QWidget* pWidget = pWindow->pWidget;
    if (bEnable == FALSE) {
        // A window that is disabled loses the focus to no one; Qt would pass it on to the next
        // control, which then takes keys the program did not send there.
        if (QWidget* pFocus = pWidget->window()->focusWidget();
            pFocus != nullptr && (pFocus == pWidget || pWidget->isAncestorOf(pFocus))) {
            pFocus->clearFocus();
        }
    }
    pWidget->setEnabled(bEnable != FALSE);
    return bWasDisabled;
}

BOOL CQtBackend::IsWindowEnabled(HWND hWnd) {
    SWindow* pWindow = m_pImpl->FindWindow(hWnd);
    return pWindow != nullptr && pWindow->pWidget->isEnabled() ? TRUE : FALSE;
}

void CQtBackend::SetWindowText(HWND hWnd, const WChar* pszText) {
    SWindow* pWindow = m_pImpl->FindWindow(hWnd);
    if (pWindow == nullptr) {
        return;
    }
    const QString text = ToQString(pszText);
    QWidget* pWidget = pWindow->pWidget;
    switch (pWindow->kind) {
        case EKind::kDialog:
            pWidget->setWindowTitle(text);
            break;
        case EKind::kPushButton:
        case EKind::kCheckBox:
            static_cast<QAbstractButton*>(pWidget)->setText(text);
            break;
        case EKind::kGroupBox:
            static_cast<CGroupFrame*>(pWidget)->SetTitle(text);
            break;
        case EKind::kStatic:
            pWindow->strText = text;
            static_cast<QLabel*>(pWidget)->setText(
                (pWindow->dwStyle & kSsNoPrefix) ? text : WithoutMnemonics(text));
            break;
        case EKind::kEdit:
            static_cast<QLineEdit*>(pWidget)->setText(text);
            break;
        case EKind::kCombo:
            static_cast<QComboBox*>(pWidget)->setEditText(text);
            break;
        case EKind::kList:
        case EKind::kProgress:
            break;
    }
}

int CQtBackend::GetWindowText(HWND hWnd, WChar* pszBuffer, int nMaxCount) {
    SWindow* pWindow = m_pImpl->FindWindow(hWnd);
    QString text;
    if (pWindow != nullptr) {
        QWidget* pWidget = pWindow->pWidget;
        switch (pWindow->kind) {
            case EKind::kDialog:
                text = pWidget->windowTitle();
                break;
            case EKind::kPushButton:
            case EKind::kCheckBox:
                text = static_cast<QAbstractButton*>(pWidget)->text();
                break;
            case EKind::kGroupBox:
                text = static_cast<CGroupFrame*>(pWidget)->Title();
                break;
            case EKind::kStatic:
                text = pWindow->strText;
                break;
            case EKind::kEdit:
                text = static_cast<QLineEdit*>(pWidget)->text();
                break;
            case EKind::kCombo:
                text = static_cast<QComboBox*>(pWidget)->currentText();
                break;
            case EKind::kList:
            case EKind::kProgress:
                break;
        }
    }
    return CopyOut(ToWString(text), pszBuffer, nMaxCount);
}

HWND CQtBackend::SetFocus(HWND hWnd) {
    HWND hPrevious = GetFocus();
    if (SWindow* pWindow = m_pImpl->FindWindow(hWnd); pWindow != nullptr) {
        pWindow->pWidget->setFocus(Qt::OtherFocusReason);
    } else if (hWnd == nullptr && QApplication::focusWidget() != nullptr) {
        // As SetFocus(NULL) does: no control has the focus; keys go nowhere.
        QApplication::focusWidget()->clearFocus();
    }
    return hPrevious;
}

HWND CQtBackend::GetFocus() {
    QWidget* pFocus = QApplication::focusWidget();
    if (pFocus == nullptr) {
        // An inactive window still knows which of its controls has the focus.
        if (QWidget* pActive = QApplication::activeWindow(); pActive != nullptr) {
            pFocus = pActive->focusWidget();
        }
    }
    if (pFocus == nullptr && !m_pImpl->dialogs.empty()) {
        pFocus = std::prev(m_pImpl->dialogs.end())->second->pWindow->focusWidget();
    }
    // A hidden window holds no focus, as on Windows (the dialog hidden into the tray).
    if (pFocus != nullptr && !pFocus->window()->isVisible()) {
        return nullptr;
    }
    return m_pImpl->HandleOfWidget(pFocus);
}

void CQtBackend::SetIcon(HWND hWnd, HICON hIcon, BOOL /*bBigIcon*/) {
    SWindow* pWindow = m_pImpl->FindWindow(hWnd);
    auto it = m_pImpl->icons.find(hIcon);
    if (pWindow != nullptr && it != m_pImpl->icons.end()) {
        pWindow->pWidget->setWindowIcon(it->second);
    }
}

BOOL CQtBackend::GetClientRect(HWND hWnd, RECT& rect) {
    SWindow* pWindow = m_pImpl->FindWindow(hWnd);
    if (pWindow == nullptr) {
        return FALSE;
    }
    rect = RECT{0, 0, pWindow->pWidget->width(), pWindow->pWidget->height()};
    return TRUE;
}

BOOL CQtBackend::ClientToScreen(HWND hWnd, POINT& point) {
    SWindow* pWindow = m_pImpl->FindWindow(hWnd);
    if (pWindow == nullptr) {
        return FALSE;
    }
    const QPoint global = pWindow->pWidget->mapToGlobal(QPoint(point.x, point.y));
    point = POINT{global.x(), global.y()};
    return TRUE;
}

BOOL CQtBackend::GetCursorPos(POINT& point) {
    const QPoint pos = QCursor::pos();
    point = POINT{pos.x(), pos.y()};
    return TRUE;
}

int CQtBackend::GetSystemMetrics(int nIndex) {
    return nIndex == SM_CXICON || nIndex == SM_CYICON ? 32 : 0;
}

HDC CQtBackend::BeginPaint(HWND hWnd) {
    // Qt paints the windows itself; the handle only has to be distinct from none.
    return m_pImpl->FindWindow(hWnd) != nullptr ? reinterpret_cast<HDC>(hWnd) : nullptr;
}

void CQtBackend::EndPaint(HWND /*hWnd*/, HDC /*hDC*/) {}

BOOL CQtBackend::DrawIcon(HDC hDC, int /*x*/, int /*y*/, HICON /*hIcon*/) {
    // A minimised window is drawn by the desktop from its window icon.
    return hDC != nullptr ? TRUE : FALSE;
}

DWORD CQtBackend::ListSetExtendedStyle(HWND hList, DWORD dwExStyle) {
    CReportView* pView = m_pImpl->List(hList);
    if (pView == nullptr) {
        return 0;
    }
    SWindow* pWindow = m_pImpl->FindWindow(hList);
    const DWORD dwPrevious = pWindow->dwExStyle;
    pWindow->dwExStyle = dwExStyle;
    pView->Model()->SetCheckBoxes((dwExStyle & LVS_EX_CHECKBOXES) != 0);
    return dwPrevious;
}

int CQtBackend::ListInsertColumn(HWND hList, int nCol, const WChar* pszHeading, int nFormat,
                                 int nWidth) {
    CReportView* pView = m_pImpl->List(hList);
    if (pView == nullptr) {
        return -1;
    }
    const int nAt = pView->Model()->InsertColumn(nCol, ToQString(pszHeading), nFormat, nWidth);
    if (nAt >= 0 && nWidth >= 0) {
        pView->setColumnWidth(nAt, nWidth);
    }
    return nAt;
}

int CQtBackend::ListInsertItem(HWND hList, int nItem, const WChar* pszText) {
    CReportView* pView = m_pImpl->List(hList);
    if (pView == nullptr) {
        return -1;
    }
    return pView->Model()->InsertRow(nItem,
                                     pszText != nullptr ? WStringView(pszText) : WStringView());
}

BOOL CQtBackend::ListSetItemText(HWND hList, int nItem, int nSubItem, const WChar* pszText) {
    CReportView* pView = m_pImpl->List(hList);
    if (pView == nullptr) {
        return FALSE;
    }
    return pView->Model()->SetText(nItem, nSubItem,
                                   pszText != nullptr ? WStringView(pszText) : WStringView())
               ? TRUE
               : FALSE;
}

int CQtBackend::ListGetItemText(HWND hList, int nItem, int nSubItem, WChar* pszBuffer, int nLen) {
    CReportView* pView = m_pImpl->List(hList);
    const WStringView text =
        pView != nullptr ? pView->Model()->Text(nItem, nSubItem) : WStringView();
    return CopyOut(text, pszBuffer, nLen);
}

int CQtBackend::ListGetItemCount(HWND hList) {
    CReportView* pView = m_pImpl->List(hList);
    return pView != nullptr ? pView->Model()->StoredRowCount() : 0;
}

BOOL CQtBackend::ListGetCheck(HWND hList, int nItem) {
    CReportView* pView = m_pImpl->List(hList);
    return pView != nullptr && pView->Model()->Checked(nItem) ? TRUE : FALSE;
}

BOOL CQtBackend::ListSetCheck(HWND hList, int nItem, BOOL bCheck) {
    CReportView* pView = m_pImpl->List(hList);
    if (pView == nullptr) {
        return FALSE;
    }
    CSongListModel* pModel = pView->Model();
    if (nItem == -1) {
        // -1 stands for every row.
        for (int i = 0; i < pModel->StoredRowCount(); ++i) {
            pModel->SetChecked(i, bCheck != FALSE);
        }
        return TRUE;
    }
    return pModel->SetChecked(nItem, bCheck != FALSE) ? TRUE : FALSE;
}

BOOL CQtBackend::ListSetItemState(HWND hList, int nItem, UINT nState, UINT nMask) {
    CReportView* pView = m_pImpl->List(hList);
    if (pView == nullptr) {
        return FALSE;
    }
    pView->LayOutNow();
    CSongListModel* pModel = pView->Model();
    QItemSelectionModel* pSelection = pView->selectionModel();
    if (nItem < -1 || nItem >= pModel->StoredRowCount()) {
        return FALSE;
    }
    if (nMask & LVIS_SELECTED) {
        const bool bSelect = (nState & LVIS_SELECTED) != 0;
        if (nItem == -1) {
            if (bSelect && pView->selectionMode() != QAbstractItemView::SingleSelection) {
                pView->selectAll();
            } else if (!bSelect) {
                pSelection->clearSelection();
            }
        } else {
            const QModelIndex index = pModel->index(nItem, 0);
            pSelection->select(
                index, (bSelect ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                           QItemSelectionModel::Rows);
            if (bSelect && pView->selectionMode() == QAbstractItemView::SingleSelection) {
                pSelection->select(index,
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            }
        }
    }
    if ((nMask & LVIS_FOCUSED) && nItem >= 0) {
        if (nState & LVIS_FOCUSED) {
            pSelection->setCurrentIndex(pModel->index(nItem, 0), QItemSelectionModel::NoUpdate);
        } else if (pSelection->currentIndex().row() == nItem) {
            pSelection->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
        }
    }
    return TRUE;
}

UINT CQtBackend::ListGetItemState(HWND hList, int nItem, UINT nMask) {
    CReportView* pView = m_pImpl->List(hList);
    if (pView == nullptr || nItem < 0 || nItem >= pView->Model()->StoredRowCount()) {
        return 0;
    }
    pView->LayOutNow();
    UINT nState = 0;
    if (pView->selectionModel()->isRowSelected(nItem, QModelIndex())) {
        nState |= LVIS_SELECTED;
    }
    if (pView->selectionModel()->currentIndex().row() == nItem) {
        nState |= LVIS_FOCUSED;
    }
    return nState & nMask;
}

int CQtBackend::ListGetTopIndex(HWND hList) {
    CReportView* pView = m_pImpl->List(hList);
    return pView != nullptr ? pView->TopIndex() : 0;
}

BOOL CQtBackend::ListScroll(HWND hList, int dx, int dy) {
    CReportView* pView = m_pImpl->List(hList);
    if (pView == nullptr) {
        return FALSE;
    }
    pView->ScrollBy(dx, dy);
    return TRUE;
}

BOOL CQtBackend::ListGetItemRect(HWND hList, int nItem, RECT& rect, int /*nCode*/) {
    CReportView* pView = m_pImpl->List(hList);
    if (pView == nullptr || nItem < 0 || nItem >= pView->Model()->StoredRowCount()) {
        return FALSE;
    }
    const QRect bounds = pView->RowBounds(nItem);
    rect = RECT{bounds.left(), bounds.top(), bounds.left() + bounds.width(),
                bounds.top() + bounds.height()};
    return TRUE;
}

int CQtBackend::ComboAddString(HWND hCombo, const WChar* pszText) {
    auto* pCombo = m_pImpl->Control<QComboBox>(hCombo, EKind::kCombo);
    if (pCombo == nullptr) {
        return CB_ERR;
    }
    const QString text = ToQString(pszText);
    int nAt = pCombo->count();
    if (m_pImpl->FindWindow(hCombo)->dwStyle & kCbsSort) {
        for (int i = 0; i < pCombo->count(); ++i) {
            if (QString::compare(pCombo->itemText(i), text, Qt::CaseInsensitive) > 0) {
                nAt = i;
                break;
            }
        }
    }
    // Adding an entry selects nothing; Qt would select the first one added.
    const int nSelected = pCombo->currentIndex();
    const QString editText = pCombo->currentText();
    const QSignalBlocker blocker(pCombo);
    pCombo->insertItem(nAt, text);
    if (nSelected < 0) {
        pCombo->setCurrentIndex(-1);
        if (pCombo->isEditable()) {
            pCombo->setEditText(editText);
        }
    }
    return nAt;
}

int CQtBackend::ComboGetCurSel(HWND hCombo) {
    auto* pCombo = m_pImpl->Control<QComboBox>(hCombo, EKind::kCombo);
    return pCombo != nullptr ? pCombo->currentIndex() : CB_ERR;
}

int CQtBackend::ButtonGetCheck(HWND hButton) {
    auto* pCheck = m_pImpl->Control<QCheckBox>(hButton, EKind::kCheckBox);
    return pCheck != nullptr && pCheck->isChecked() ? BST_CHECKED : BST_UNCHECKED;
}

void CQtBackend::ButtonSetCheck(HWND hButton, int nCheck) {
    if (auto* pCheck = m_pImpl->Control<QCheckBox>(hButton, EKind::kCheckBox)) {
        // The program's own change: no click is reported, as with BM_SETCHECK.
        const QSignalBlocker blocker(pCheck);
        pCheck->setChecked(nCheck == BST_CHECKED);
    }
}

int CQtBackend::ComboSetCurSel(HWND hCombo, int nIndex) {
    auto* pCombo = m_pImpl->Control<QComboBox>(hCombo, EKind::kCombo);
    if (pCombo == nullptr) {
        return CB_ERR;
    }
    if (nIndex < 0 || nIndex >= pCombo->count()) {
        pCombo->setCurrentIndex(-1);
        return CB_ERR;
    }
    pCombo->setCurrentIndex(nIndex);
    return nIndex;
}

HMENU CQtBackend::LoadMenu(UINT nIDResource) {
    return m_pImpl->menus.Load(static_cast<int>(nIDResource));
}

HMENU CQtBackend::GetSubMenu(HMENU hMenu, int nPos) { return m_pImpl->menus.SubMenu(hMenu, nPos); }

BOOL CQtBackend::DestroyMenu(HMENU hMenu) { return m_pImpl->menus.Destroy(hMenu) ? TRUE : FALSE; }

HMENU CQtBackend::GetSystemMenu(HWND hWnd) { return m_pImpl->SystemMenuOf(hWnd); }

BOOL CQtBackend::AppendMenu(HMENU hMenu, UINT nFlags, UINT_PTR nIDNewItem,
                            const WChar* pszNewItem) {
    return m_pImpl->menus.Append(hMenu, nFlags, nIDNewItem, pszNewItem) ? TRUE : FALSE;
}

BOOL CQtBackend::TrackPopupMenu(HMENU hMenu, UINT nFlags, int x, int y, HWND hOwner) {
    if (m_pImpl->menus.Find(hMenu) == nullptr) {
        return FALSE;
    }
    m_pImpl->Popup(hMenu, QPoint(x, y), nFlags, hOwner, false);
    return TRUE;
}

BOOL CQtBackend::SetMenuDefaultItem(HMENU hMenu, UINT nItem, UINT fByPos) {
    return m_pImpl->menus.SetDefaultItem(hMenu, nItem, fByPos != FALSE) ? TRUE : FALSE;
}

UINT CQtBackend::EnableMenuItem(HMENU hMenu, UINT nIDEnableItem, UINT nEnable) {
    return m_pImpl->menus.Enable(hMenu, nIDEnableItem, nEnable);
}

HICON CQtBackend::LoadIcon(UINT nIDResource) {
    // The resource script has one icon, the application's.
    return nIDResource == 129 ? m_pImpl->AppIconHandle() : nullptr;
}

int CQtBackend::LoadString(UINT nID, WChar* pszBuffer, int nMaxCount) {
    const WChar* pszText = FindStringResource(nID);
    if (pszText == nullptr) {
        if (pszBuffer != nullptr && nMaxCount > 0) {
            pszBuffer[0] = 0;
        }
        return 0;
    }
    return CopyOut(pszText, pszBuffer, nMaxCount);
}

int CQtBackend::MessageBox(HWND hOwner, const WChar* pszText, const WChar* pszCaption, UINT nType) {
    return m_pImpl->MessageBoxOnGuiThread(hOwner, ToQString(pszText), ToQString(pszCaption), nType);
}

int CQtBackend::MessageBoxA(HWND hOwner, const char* pszText, const char* pszCaption, UINT nType) {
    // The narrow texts are in the Western code page, of which Latin-1 is the readable part.
    return m_pImpl->MessageBoxOnGuiThread(hOwner, QString::fromLatin1(pszText ? pszText : ""),
                                          QString::fromLatin1(pszCaption ? pszCaption : ""), nType);
}

void CQtBackend::OleInitialize() {}

void CQtBackend::OleUninitialize() {}

EFolderChoice CQtBackend::BrowseForFolder(const WChar* pszTitle, UINT /*nFlags*/, WChar* pszPath) {
    if (pszPath != nullptr) {
        pszPath[0] = 0;
    }
    WString chosen;
    EFolderChoice choice = EFolderChoice::kCancelled;
    if (m_pImpl->hooks.answerFolder) {
        choice = m_pImpl->hooks.answerFolder(pszTitle != nullptr ? WString(pszTitle) : WString(),
                                             chosen);
    } else {
        // No owner: the dialog stays usable while the chooser is open.
        QFileDialog chooser(nullptr, ToQString(pszTitle), QDir::homePath());
        chooser.setFileMode(QFileDialog::Directory);
        chooser.setOption(QFileDialog::ShowDirsOnly, true);
        chooser.setWindowModality(Qt::NonModal);
        QEventLoop loop;
        QObject::connect(&chooser, &QDialog::finished, &loop, &QEventLoop::quit);
        chooser.show();
        loop.exec();
        if (chooser.result() == QDialog::Accepted) {
            const QStringList files = chooser.selectedFiles();
            choice = EFolderChoice::kChosen;
            chosen =
                files.isEmpty() ? WString() : ToWString(QDir::toNativeSeparators(files.first()));
        }
    }
    if (choice != EFolderChoice::kChosen) {
        return choice;
    }
    // Only an existing folder whose path fits the program's path buffer is a file-system path.
    const QString path = QString::fromStdU16String(chosen);
    if (path.isEmpty() || !QFileInfo(path).isDir() || chosen.size() > kMaxPath - 1 ||
        pszPath == nullptr) {
        return EFolderChoice::kNoPath;
    }
    WCopyBounded(pszPath, kMaxPath, chosen);
    return EFolderChoice::kChosen;
}

BOOL CQtBackend::GetSaveFileName(HWND hOwner, const WChar* pszTitle, const WChar* pszFileName,
                                 const WChar* pszKind, const WChar* pszExtension, WString& path) {
    const WString fileName = pszFileName != nullptr ? WString(pszFileName) : WString();
    if (m_pImpl->hooks.answerSaveFile) {
        return m_pImpl->hooks.answerSaveFile(fileName, path) ? TRUE : FALSE;
    }
    QWidget* pOwner = nullptr;
    if (SWindow* pWindow = m_pImpl->FindWindow(hOwner); pWindow != nullptr) {
        pOwner = pWindow->pWidget->window();
    }
    const QString extension = ToQString(pszExtension);
    QFileDialog dialog(pOwner, ToQString(pszTitle), QDir::homePath());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({ToQString(pszKind) + " (*." + extension + ")", "All files (*)"});
    dialog.setDefaultSuffix(extension);
    dialog.selectFile(QString::fromStdU16String(fileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return FALSE;
    }
    path = ToWString(QDir::toNativeSeparators(dialog.selectedFiles().first()));
    return TRUE;
}

BOOL CQtBackend::ShellNotifyIcon(DWORD dwMessage, NOTIFYICONDATAW& data) {
    SImpl& impl = *m_pImpl;
    const std::pair<HWND, UINT> key{data.hWnd, data.uID};
    auto it = impl.trays.find(key);
    switch (dwMessage) {
        case NIM_ADD: {
            if (it != impl.trays.end() || !impl.TrayAvailable()) {
                return FALSE;
            }
            STray& tray = impl.trays[key];
            if (!impl.hooks.trayAvailable.has_value()) {
                tray.pIcon = std::make_unique<QSystemTrayIcon>();
                QObject::connect(tray.pIcon.get(), &QSystemTrayIcon::activated, tray.pIcon.get(),
                                 [&impl, key](QSystemTrayIcon::ActivationReason reason) {
                                     impl.OnTrayActivated(key.first, key.second, reason);
                                 });
            }
            impl.ApplyTray(tray, data);
            if (tray.pIcon) {
                if (tray.pIcon->icon().isNull()) {
                    tray.pIcon->setIcon(AppIcon());
                }
                tray.pIcon->show();
            }
            impl.ReportTray(NIM_ADD, key.first, key.second, tray.strTip);
            return TRUE;
        }
        case NIM_MODIFY:
            if (it == impl.trays.end()) {
                return FALSE;
            }
            impl.ApplyTray(it->second, data);
            impl.ReportTray(NIM_MODIFY, key.first, key.second, it->second.strTip);
            return TRUE;
        case NIM_DELETE:
            if (it == impl.trays.end()) {
                return FALSE;
            }
            // The signal may be the one being handled; the icon goes once it has returned.
            if (it->second.pIcon) {
                it->second.pIcon->hide();
                it->second.pIcon.release()->deleteLater();
            }
            {
                const QString tip = it->second.strTip;
                impl.trays.erase(it);
                impl.ReportTray(NIM_DELETE, key.first, key.second, tip);
            }
            return TRUE;
        default:
            return FALSE;
    }
}

void CQtBackend::ShellExecute(HWND /*hWnd*/, const WChar* pszVerb, const WChar* pszFile,
                              int nShowCmd) {
    const WString verb = pszVerb != nullptr ? WString(pszVerb) : WString();
    const WString file = pszFile != nullptr ? WString(pszFile) : WString();
    if (m_pImpl->hooks.shellExecute) {
        m_pImpl->hooks.shellExecute(verb, file, nShowCmd);
        return;
    }
    // "open" on a web address or a file: the desktop's handler for it.
    QDesktopServices::openUrl(QUrl::fromUserInput(QString::fromStdU16String(file)));
}

}  // namespace qtui
