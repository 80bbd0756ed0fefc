// The report-view list control: a table with a header, one line per row and no grid, whose
// scroll position counts in rows as the system's list does.
#pragma once

#include <QTableView>

namespace qtui {

class CSongListModel;

class CReportView final : public QTableView {
public:
    CReportView(CSongListModel* pModel, QWidget* pParent);

    CSongListModel* Model() const { return m_pModel; }
    // Lays out pending rows now, so that geometry and scroll queries see every row.
    void LayOutNow();
    int RowHeight() const;
    // The first visible row.
    int TopIndex();
    // Scrolls by whole rows (dy pixels) and by pixels sideways.
    void ScrollBy(int dx, int dy);
    // The row's bounds in the list's client coordinates (the header included, as there).
    QRect RowBounds(int nItem);

protected:
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    CSongListModel* m_pModel;
};

}  // namespace qtui
