#include "db/Query.h"

#include "common/Error.h"
#include "db/Connection.h"

namespace uc::db {

Query::Query(Connection& connection) : m_connection(connection) {}

void Query::setSql(const QString& sql) {
    close();
    m_sql = sql;
}

void Query::open() {
    close();
    m_rows = m_connection.select(m_sql);
    m_row = 0;
    m_active = true;
}

void Query::close() {
    m_rows = RowSet();
    m_row = 0;
    m_active = false;
}

void Query::execute() {
    close();
    m_connection.execute(m_sql);
}

void Query::first() { m_row = 0; }

void Query::next() {
    if (!eof())
        ++m_row;
}

bool Query::eof() const { return !m_active || m_row >= m_rows.rowCount(); }

QString Query::fieldAsText(const QString& name) const {
    if (!m_active)
        return {};
    const qsizetype column = m_rows.columnIndex(name);
    if (column < 0)
        throw Error(QStringLiteral("Campo '%1' não encontrado").arg(name));
    if (eof() || m_rows.isNull(m_row, column))
        return {};
    return m_rows.value(m_row, column);
}

bool Query::fieldIsNull(const QString& name) const {
    if (!m_active)
        return true;
    const qsizetype column = m_rows.columnIndex(name);
    if (column < 0)
        throw Error(QStringLiteral("Campo '%1' não encontrado").arg(name));
    return eof() || m_rows.isNull(m_row, column);
}

} // namespace uc::db
