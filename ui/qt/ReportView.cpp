// The report-view list control.
#include "ui/qt/ReportView.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>

#include "ui/qt/SongListModel.h"

namespace qtui {

CReportView::CReportView(CSongListModel* pModel, QWidget* pParent)
    : QTableView(pParent), m_pModel(pModel) {
    setModel(pModel);
    setShowGrid(false);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setSortingEnabled(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setCornerButtonEnabled(false);
    verticalHeader()->hide();
    // One fixed line height: no per-row measuring, however many rows there are.
    const int nLine = QFontMetrics(font()).height() + 4;
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(nLine);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setSectionsClickable(false);
}

void CReportView::LayOutNow() {
    m_pModel->Flush();
    executeDelayedItemsLayout();
}

int CReportView::RowHeight() const { return verticalHeader()->defaultSectionSize(); }

int CReportView::TopIndex() {
    LayOutNow();
    if (m_pModel->rowCount() == 0) {
        return 0;
    }
    return verticalScrollBar()->value();
}

void CReportView::ScrollBy(int dx, int dy) {
    LayOutNow();
    const int nLine = RowHeight();
    if (dy != 0 && nLine > 0) {
        QScrollBar* pBar = verticalScrollBar();
        pBar->setValue(pBar->value() + dy / nLine);
    }
    if (dx != 0) {
        QScrollBar* pBar = horizontalScrollBar();
        pBar->setValue(pBar->value() + dx);
    }
}

QRect CReportView::RowBounds(int nItem) {
    LayOutNow();
    const int nTop = TopIndex();
    const int nLine = RowHeight();
    const int nHeader =
        horizontalHeader()->isHidden() ? 0 : horizontalHeader()->sizeHint().height();
    const int nWidth = horizontalHeader()->length();
    const int nLeft = -horizontalScrollBar()->value();
    return QRect(nLeft, nHeader + (nItem - nTop) * nLine, nWidth, nLine);
}

void CReportView::keyPressEvent(QKeyEvent* pEvent) {
    // Space ticks and clears the focused row, wherever in the row the focus cell is.
    if (pEvent->key() == Qt::Key_Space && m_pModel->HasCheckBoxes() && currentIndex().isValid()) {
        const int nRow = currentIndex().row();
        m_pModel->SetChecked(nRow, !m_pModel->Checked(nRow));
        pEvent->accept();
        return;
    }
    QTableView::keyPressEvent(pEvent);
}

}  // namespace qtui
