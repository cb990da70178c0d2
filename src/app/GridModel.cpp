#include "app/GridModel.h"

#include "browser/List.h"

namespace uc {

GridModel::GridModel(List& list, std::vector<GridColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), m_list(list), m_columns(std::move(columns)) {
    bindColumns();
    connect(&m_list, &List::aboutToReset, this, [this] { beginResetModel(); });
    connect(&m_list, &List::reset, this, [this] {
        bindColumns();
        endResetModel();
    });
    connect(&m_list, &List::currentRowChanged, this, &GridModel::markCurrentRow);
}

void GridModel::bindColumns() {
    m_sourceColumns.clear();
    for (const GridColumn& column : m_columns)
        m_sourceColumns.push_back(m_list.active() ? m_list.rows().columnIndex(column.field) : -1);
}

int GridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_list.recordCount();
}

int GridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.model() != this || index.row() >= rowCount() ||
        index.column() >= columnCount())
        return {};
    const qsizetype column = m_sourceColumns[std::size_t(index.column())];
    if (column < 0)
        return QString();
    const qsizetype row = m_list.sourceRow(index.row());
    const db::RowSet& rows = m_list.rows();
    return rows.isNull(row, column) ? QString() : rows.value(row, column);
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || section < 0)
        return {};
    if (orientation == Qt::Horizontal) {
        if (section >= int(m_columns.size()))
            return {};
        const GridColumn& column = m_columns[std::size_t(section)];
        return column.title.isEmpty() ? column.field : column.title;
    }
    if (section >= rowCount())
        return {};
    return section == m_list.currentRow() ? currentRowMarker() : QString();
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void GridModel::markCurrentRow(int current, int previous) {
    const int count = rowCount();
    if (previous >= 0 && previous < count)
        emit headerDataChanged(Qt::Vertical, previous, previous);
    if (current >= 0 && current < count)
        emit headerDataChanged(Qt::Vertical, current, current);
}

} // namespace uc
