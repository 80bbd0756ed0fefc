// The top-level window of a dialog: absolute layout, and the user's window-level actions
// (close box, minimise, Enter, Escape, F1, right click) handed to the backend, which turns
// them into the messages the system would send.
#pragma once

#include <QWidget>

#include "ui/WinDefs.h"

namespace qtui {

class IDialogEvents {
public:
    virtual ~IDialogEvents() = default;
    // The close box or the window manager's close.
    virtual void OnCloseRequested(HWND hDlg) = 0;
    // The window manager minimised the window (already done when this arrives).
    virtual void OnMinimizedByUser(HWND hDlg) = 0;
    // Enter, Escape or F1 pressed in the dialog; source is the widget that had the focus.
    virtual bool OnDialogKey(HWND hDlg, int nKey, QObject* pSource) = 0;
    // A right click on the dialog's background (or the menu key), at a screen position.
    virtual void OnBackgroundMenu(HWND hDlg, QPoint globalPos) = 0;
    // The window was shown or hidden, or its minimised state changed (by anyone).
    virtual void OnWindowStateChanged(HWND hDlg) = 0;
};

class CDialogWindow final : public QWidget {
public:
    CDialogWindow(IDialogEvents& events, HWND hDlg, QWidget* pParent, Qt::WindowFlags flags);

    // Lets the next close through: the program, not the user, is closing the window.
    void CloseByProgram();
    // Minimises or restores on the program's behalf, without reporting it as the user's.
    void SetMinimizedByProgram(bool bMinimized);
    // Routes the dialog keys of a child control through this window first.
    void WatchKeys(QWidget* pChild);

protected:
    void closeEvent(QCloseEvent* pEvent) override;
    void changeEvent(QEvent* pEvent) override;
    void showEvent(QShowEvent* pEvent) override;
    void hideEvent(QHideEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void contextMenuEvent(QContextMenuEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    IDialogEvents& m_events;
    HWND m_hDlg;
    bool m_bClosingByProgram = false;
    bool m_bStateByProgram = false;
};

}  // namespace qtui
