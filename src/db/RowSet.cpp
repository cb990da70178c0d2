#include "db/RowSet.h"

namespace uc::db {

qsizetype RowSet::columnIndex(const QString& name) const {
    for (qsizetype i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

void RowSet::reserveRows(qsizetype rows) {
    m_values.reserve(std::size_t(rows * m_columns.size()));
    m_nulls.reserve(std::size_t(rows * m_columns.size()));
}

} // namespace uc::db
