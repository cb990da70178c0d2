#pragma once

#include "browser/GridColumn.h"

#include <QAbstractTableModel>
#include <QString>
#include <vector>

namespace uc {

class List;

// The rows of a list that pass its filter, read-only, in the list's order, with the values as the
// list holds them. The vertical header is the indicator column: it marks the list's current row.
class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The marker shown in the indicator column on the current row.
    static QString currentRowMarker() { return QStringLiteral("\u25BA"); }

    GridModel(List& list, std::vector<GridColumn> columns, QObject* parent = nullptr);

    List& list() const { return m_list; }
    const std::vector<GridColumn>& gridColumns() const { return m_columns; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void bindColumns();
    void markCurrentRow(int current, int previous);

    List& m_list;
    std::vector<GridColumn> m_columns;
    // Column of the list's rows shown by each grid column; -1 when the rows have no such column.
    std::vector<qsizetype> m_sourceColumns;
};

} // namespace uc
