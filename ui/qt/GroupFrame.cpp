// The group box.
#include "ui/qt/GroupFrame.h"

#include <QPainter>

namespace qtui {

CGroupFrame::CGroupFrame(const QString& title, QWidget* pParent)
    : QWidget(pParent), m_title(title) {
    setFocusPolicy(Qt::NoFocus);
}

void CGroupFrame::SetTitle(const QString& title) {
    m_title = title;
    update();
}

void CGroupFrame::paintEvent(QPaintEvent* /*pEvent*/) {
    QPainter painter(this);
    const QFontMetrics metrics = fontMetrics();
    const int nTop = metrics.height() / 2;
    // Etched: a dark line with a light one beside it.
    const QRect frame = rect().adjusted(0, nTop, -2, -2);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(frame);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(frame.translated(1, 1));
    if (m_title.isEmpty()) {
        return;
    }
    // The title sits on the top line, one character in, on the window's background.
    const int nIndent = metrics.averageCharWidth() + 2;
    const int nWidth = std::min(metrics.horizontalAdvance(m_title) + 4, width() - nIndent);
    const QRect text(nIndent, 0, std::max(0, nWidth), metrics.height());
    painter.fillRect(text, palette().color(QPalette::Window));
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(text.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic,
                     m_title);
}

}  // namespace qtui
