// The list control's rows and their presentation to the view.
#include "ui/qt/SongListModel.h"

#include <QTimer>
#include <algorithm>

#include "ui/WinDefs.h"

namespace qtui {
namespace {

QString ToQString(WStringView text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// LVCFMT_RIGHT and LVCFMT_CENTER; anything else is left-aligned.
Qt::Alignment AlignmentOf(int nFormat) {
    switch (nFormat & 3) {
        case 1:
            return Qt::AlignRight | Qt::AlignVCenter;
        case 2:
            return Qt::AlignHCenter | Qt::AlignVCenter;
        default:
            return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

}  // namespace

CSongListModel::CSongListModel(QObject* pParent) : QAbstractTableModel(pParent) {}

int CSongListModel::InsertColumn(int nCol, const QString& heading, int nFormat, int nWidth) {
    if (nCol < 0) {
        return -1;
    }
    Flush();
    const int nAt = std::min(nCol, ColumnCount());
    beginInsertColumns(QModelIndex(), nAt, nAt);
    m_columns.insert(m_columns.begin() + nAt, SColumn{heading, nFormat, nWidth});
    for (SRow& row : m_rows) {
        if (static_cast<int>(row.cells.size()) > nAt) {
            row.cells.insert(row.cells.begin() + nAt, WString());
        }
    }
    endInsertColumns();
    return nAt;
}

int CSongListModel::InsertRow(int nItem, WStringView text) {
    if (nItem < 0) {
        return -1;
    }
    SRow row;
    row.cells.emplace_back(text);
    if (nItem >= StoredRowCount()) {
        // The common case, a fill from top to bottom: store now, announce later.
        m_rows.push_back(std::move(row));
        ScheduleFlush();
        return StoredRowCount() - 1;
    }
    Flush();
    beginInsertRows(QModelIndex(), nItem, nItem);
    m_rows.insert(m_rows.begin() + nItem, std::move(row));
    ++m_nAnnounced;
    endInsertRows();
    return nItem;
}

bool CSongListModel::SetText(int nItem, int nSubItem, WStringView text) {
    if (nItem < 0 || nItem >= StoredRowCount() || nSubItem < 0 || nSubItem >= ColumnCount()) {
        return false;
    }
    std::vector<WString>& cells = m_rows[static_cast<std::size_t>(nItem)].cells;
    if (static_cast<int>(cells.size()) <= nSubItem) {
        cells.resize(static_cast<std::size_t>(nSubItem) + 1);
    }
    cells[static_cast<std::size_t>(nSubItem)] = WString(text);
    CellChanged(nItem, nSubItem);
    return true;
}

WStringView CSongListModel::Text(int nItem, int nSubItem) const {
    if (nItem < 0 || nItem >= StoredRowCount() || nSubItem < 0) {
        return {};
    }
    const std::vector<WString>& cells = m_rows[static_cast<std::size_t>(nItem)].cells;
    if (nSubItem >= static_cast<int>(cells.size())) {
        return {};
    }
    return cells[static_cast<std::size_t>(nSubItem)];
}

int CSongListModel::ColumnWidth(int nCol) const {
    if (nCol < 0 || nCol >= ColumnCount()) {
        return 0;
    }
    return m_columns[static_cast<std::size_t>(nCol)].nWidth;
}

bool CSongListModel::Checked(int nItem) const {
    if (nItem < 0 || nItem >= StoredRowCount()) {
        return false;
    }
    return m_rows[static_cast<std::size_t>(nItem)].bChecked;
}

bool CSongListModel::SetChecked(int nItem, bool bChecked) {
    if (nItem < 0 || nItem >= StoredRowCount()) {
        return false;
    }
    SRow& row = m_rows[static_cast<std::size_t>(nItem)];
    if (row.bChecked != bChecked) {
        row.bChecked = bChecked;
        CellChanged(nItem, 0);
    }
    return true;
}

void CSongListModel::SetCheckBoxes(bool bCheckBoxes) {
    if (m_bCheckBoxes == bCheckBoxes) {
        return;
    }
    Flush();
    m_bCheckBoxes = bCheckBoxes;
    if (m_nAnnounced > 0 && ColumnCount() > 0) {
        emit dataChanged(index(0, 0), index(m_nAnnounced - 1, 0));
    }
}

void CSongListModel::Flush() {
    if (m_nAnnounced < StoredRowCount()) {
        beginInsertRows(QModelIndex(), m_nAnnounced, StoredRowCount() - 1);
        m_nAnnounced = StoredRowCount();
        endInsertRows();
    }
    m_bFlushPending = false;
}

void CSongListModel::ScheduleFlush() {
    if (m_bFlushPending) {
        return;
    }
    m_bFlushPending = true;
    QTimer::singleShot(0, this, [this]() { Flush(); });
}

void CSongListModel::CellChanged(int nItem, int nSubItem) {
    // Rows not announced yet reach the view with their texts when they are.
    if (nItem < m_nAnnounced) {
        const QModelIndex cell = index(nItem, nSubItem);
        emit dataChanged(cell, cell);
    }
}

int CSongListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_nAnnounced;
}

int CSongListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount();
}

QVariant CSongListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_nAnnounced) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return ToQString(Text(index.row(), index.column()));
        case Qt::CheckStateRole:
            if (m_bCheckBoxes && index.column() == 0) {
                return Checked(index.row()) ? Qt::Checked : Qt::Unchecked;
            }
            return {};
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(
                AlignmentOf(m_columns[static_cast<std::size_t>(index.column())].nFormat));
        default:
            return {};
    }
}

bool CSongListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::CheckStateRole || index.column() != 0 || !m_bCheckBoxes) {
        return false;
    }
    return SetChecked(index.row(), value.toInt() == Qt::Checked);
}

Qt::ItemFlags CSongListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (m_bCheckBoxes && index.column() == 0) {
        result |= Qt::ItemIsUserCheckable;
    }
    return result;
}

QVariant CSongListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount()) {
        return {};
    }
    const SColumn& column = m_columns[static_cast<std::size_t>(section)];
    if (role == Qt::DisplayRole) {
        return column.heading;
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(AlignmentOf(column.nFormat));
    }
    return {};
}

}  // namespace qtui
