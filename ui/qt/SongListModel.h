// The rows of a report-view list control: cell texts and a tick per row, kept in one vector
// so that tens of thousands of rows fill quickly.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <vector>

#include "platform/Text.h"

namespace qtui {

class CSongListModel final : public QAbstractTableModel {
public:
    explicit CSongListModel(QObject* pParent = nullptr);

    // The list's operations, with the list view's index rules. Rows appended at the end are
    // stored at once but announced to the view in one batch when control returns to the event
    // loop (or when Flush is called), so that a fill of many rows does not lay out the view
    // once per row.
    int InsertColumn(int nCol, const QString& heading, int nFormat, int nWidth);
    int InsertRow(int nItem, WStringView text);
    bool SetText(int nItem, int nSubItem, WStringView text);
    // The cell's text; empty for a missing row or column.
    WStringView Text(int nItem, int nSubItem) const;
    int StoredRowCount() const { return static_cast<int>(m_rows.size()); }
    int ColumnCount() const { return static_cast<int>(m_columns.size()); }
    int ColumnWidth(int nCol) const;
    bool Checked(int nItem) const;
    bool SetChecked(int nItem, bool bChecked);
    void SetCheckBoxes(bool bCheckBoxes);
    bool HasCheckBoxes() const { return m_bCheckBoxes; }

    // Tells the view about every stored row.
    void Flush();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    struct SColumn {
        QString heading;
        int nFormat;
        int nWidth;
    };
    struct SRow {
        std::vector<WString> cells;
        bool bChecked = false;
    };

    void ScheduleFlush();
    void CellChanged(int nItem, int nSubItem);

    std::vector<SColumn> m_columns;
    std::vector<SRow> m_rows;
    int m_nAnnounced = 0;  // rows the view knows of: always the first m_nAnnounced
    bool m_bFlushPending = false;
    bool m_bCheckBoxes = false;
};

}  // namespace qtui
