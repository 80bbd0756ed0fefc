// The dialog's top-level window.
#include "ui/qt/DialogWindow.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QHideEvent>
#include <QKeyEvent>
#include <QShowEvent>
#include <QTimer>
#include <QWindowStateChangeEvent>

namespace qtui {
namespace {

bool IsDialogKey(int nKey) {
    return nKey == Qt::Key_Return || nKey == Qt::Key_Enter || nKey == Qt::Key_Escape ||
           nKey == Qt::Key_F1;
}

}  // namespace

CDialogWindow::CDialogWindow(IDialogEvents& events, HWND hDlg, QWidget* pParent,
                             Qt::WindowFlags flags)
    : QWidget(pParent, flags), m_events(events), m_hDlg(hDlg) {
    setFocusPolicy(Qt::NoFocus);
}

void CDialogWindow::CloseByProgram() {
    m_bClosingByProgram = true;
    close();
}

void CDialogWindow::SetMinimizedByProgram(bool bMinimized) {
    m_bStateByProgram = true;
    if (bMinimized) {
        setWindowState(windowState() | Qt::WindowMinimized);
    } else {
        setWindowState(windowState() & ~Qt::WindowMinimized);
    }
    m_bStateByProgram = false;
}

void CDialogWindow::WatchKeys(QWidget* pChild) { pChild->installEventFilter(this); }

void CDialogWindow::closeEvent(QCloseEvent* pEvent) {
    if (m_bClosingByProgram) {
        pEvent->accept();
        return;
    }
    // The dialog decides: the close box is a system command like any other.
    pEvent->ignore();
    m_events.OnCloseRequested(m_hDlg);
}

void CDialogWindow::changeEvent(QEvent* pEvent) {
    QWidget::changeEvent(pEvent);
    if (pEvent->type() != QEvent::WindowStateChange) {
        return;
    }
    m_events.OnWindowStateChanged(m_hDlg);
    if (m_bStateByProgram) {
        return;
    }
    const auto* pChange = static_cast<QWindowStateChangeEvent*>(pEvent);
    if ((windowState() & Qt::WindowMinimized) && !(pChange->oldState() & Qt::WindowMinimized)) {
        // Handled once the window manager's state change has settled, not inside it.
        QTimer::singleShot(0, this, [this]() { m_events.OnMinimizedByUser(m_hDlg); });
    }
}

void CDialogWindow::showEvent(QShowEvent* pEvent) {
    QWidget::showEvent(pEvent);
    m_events.OnWindowStateChanged(m_hDlg);
}

void CDialogWindow::hideEvent(QHideEvent* pEvent) {
    QWidget::hideEvent(pEvent);
    m_events.OnWindowStateChanged(m_hDlg);
}

void CDialogWindow::keyPressEvent(QKeyEvent* pEvent) {
    if (IsDialogKey(pEvent->key()) && m_events.OnDialogKey(m_hDlg, pEvent->key(), this)) {
        pEvent->accept();
        return;
    }
    QWidget::keyPressEvent(pEvent);
}

void CDialogWindow::contextMenuEvent(QContextMenuEvent* pEvent) {
    m_events.OnBackgroundMenu(m_hDlg, pEvent->globalPos());
    pEvent->accept();
}

bool CDialogWindow::eventFilter(QObject* pWatched, QEvent* pEvent) {
    if (pEvent->type() == QEvent::KeyPress) {
        const auto* pKey = static_cast<QKeyEvent*>(pEvent);
        if (pKey->modifiers() == Qt::NoModifier || pKey->modifiers() == Qt::KeypadModifier) {
            if (IsDialogKey(pKey->key()) && m_events.OnDialogKey(m_hDlg, pKey->key(), pWatched)) {
                return true;
            }
        }
    }
    return QWidget::eventFilter(pWatched, pEvent);
}

}  // namespace qtui
