// The Qt test run: the application, the hooks and the closing of a dialog a step left running.
#include "QtTestRun.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QKeyEvent>
#include <QWidget>
#include <utility>

namespace qttest {

void EnsureApplication() {
    if (QApplication::instance() != nullptr) {
        return;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    static int s_argc = 1;
    static char s_name[] = "kestrum";
    static char* s_argv[] = {s_name, nullptr};
    new QApplication(s_argc, s_argv);
    QApplication::setQuitOnLastWindowClosed(false);
}

bool WaitUntil(const std::function<bool()>& done) {
    QDeadlineTimer deadline(10000);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

CQtTestRun::CQtTestRun() {
    EnsureApplication();
    SetUiBackend(&m_backend);
    SUiTestHooks& hooks = m_backend.Hooks();
    hooks.appName = u"Kestrum";
    hooks.answerMessageBox = [this](HWND hOwner, const WString& text, const WString& caption,
                                    UINT nType) {
        m_boxes.push_back(SMessageBox{hOwner, text, caption, nType});
        int nAnswer = IDOK;
        if (!m_answers.empty()) {
            nAnswer = m_answers.front();
            m_answers.pop_front();
        }
        return nAnswer;
    };
    hooks.answerFolder = [](const WString&, WString&) { return EFolderChoice::kCancelled; };
    hooks.dialogEnding = [this](HWND hDlg) { m_ending.insert(hDlg); };
    hooks.dialogClosed = [this](HWND hDlg, UINT, INT_PTR) { m_ending.erase(hDlg); };
    hooks.dialogShown = [this](HWND hDlg, UINT nIDTemplate) {
        if (m_step) {
            m_step(hDlg, nIDTemplate);
        }
        if (!IsEnding(hDlg)) {
            m_backend.SendMessage(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                                  reinterpret_cast<LPARAM>(m_backend.GetDlgItem(hDlg, IDCANCEL)));
        }
        if (!IsEnding(hDlg)) {
            m_backend.EndDialog(hDlg, IDCANCEL);
        }
    };
}

CQtTestRun::~CQtTestRun() { SetUiBackend(nullptr); }

void CQtTestRun::OnDialogShown(std::function<void(HWND, UINT)> step) { m_step = std::move(step); }

std::vector<WString> CQtTestRun::MessageTexts() const {
    std::vector<WString> texts;
    for (const SMessageBox& box : m_boxes) {
        texts.push_back(box.text);
    }
    return texts;
}

void CQtTestRun::PressKey(HWND hDlg, int nQtKey) {
    QWidget* pWindow = m_backend.WidgetOf(hDlg);
    QWidget* pTarget = pWindow->focusWidget() != nullptr ? pWindow->focusWidget() : pWindow;
    QKeyEvent press(QEvent::KeyPress, nQtKey, Qt::NoModifier);
    QCoreApplication::sendEvent(pTarget, &press);
}

}  // namespace qttest
