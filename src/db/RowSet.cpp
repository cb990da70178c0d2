#include "db/RowSet.h"

#include "common/Error.h"

namespace uc::db {

qsizetype RowSet::columnIndex(const QString& name) const {
    for (qsizetype i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

qsizetype RowSet::existingColumn(const QString& name) const {
    const qsizetype column = columnIndex(name);
    if (column < 0)
        throw Error(QStringLiteral("Campo '%1' não encontrado").arg(name));
    return column;
}

QString RowSet::fieldAsText(qsizetype row, const QString& name) const {
    const qsizetype column = existingColumn(name);
    if (row < 0 || isNull(row, column))
        return {};
    return value(row, column);
}

bool RowSet::fieldIsNull(qsizetype row, const QString& name) const {
    const qsizetype column = existingColumn(name);
    return row < 0 || isNull(row, column);
}

} // namespace uc::db
