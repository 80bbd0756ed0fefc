// Real dialogs on the Qt backend, offscreen, for tests: one QApplication for the process, the
// backend installed for a test's lifetime, message boxes answered and kept, and a step of the
// test run inside each dialog once it is shown.
#pragma once

#include <deque>
#include <functional>
#include <set>
#include <vector>

#include "platform/Text.h"
#include "ui/qt/QtBackend.h"

namespace qttest {

struct SMessageBox {
    HWND hOwner;
    WString text;
    WString caption;
    UINT nType;
};

// Makes the process's QApplication on first use, offscreen unless QT_QPA_PLATFORM names another
// platform. It stays until the process ends: threads of the program may outlive a test.
void EnsureApplication();

// Runs the event loop until done() holds; false when it still does not hold after a bound far
// beyond the one pass of the loop it normally takes.
bool WaitUntil(const std::function<bool()>& done);

class CQtTestRun {
public:
    CQtTestRun();
    ~CQtTestRun();
    CQtTestRun(const CQtTestRun&) = delete;
    CQtTestRun& operator=(const CQtTestRun&) = delete;

    qtui::CQtBackend& Ui() { return m_backend; }

    // Runs inside each dialog's modal loop once the dialog is shown. A dialog the step leaves
    // running is then closed as a user would close it: Cancel, and if that does not end it, the
    // dialog is ended with IDCANCEL.
    void OnDialogShown(std::function<void(HWND hDlg, UINT nIDTemplate)> step);
    // EndDialog was called for hDlg and its loop has not returned yet.
    bool IsEnding(HWND hDlg) const { return m_ending.count(hDlg) != 0; }

    // The next message box's answer; IDOK once the queue is empty.
    void QueueAnswer(int nAnswer) { m_answers.push_back(nAnswer); }
    const std::vector<SMessageBox>& MessageBoxes() const { return m_boxes; }
    std::vector<WString> MessageTexts() const;

    // A key press as the keyboard gives it to the dialog's focused control.
    void PressKey(HWND hDlg, int nQtKey);

private:
    qtui::CQtBackend m_backend;
    std::function<void(HWND, UINT)> m_step;
    std::set<HWND> m_ending;
    std::deque<int> m_answers;
    std::vector<SMessageBox> m_boxes;
};

}  // namespace qttest
