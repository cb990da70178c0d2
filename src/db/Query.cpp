#include "db/Query.h"

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
    m_active = true;
}

void Query::close() {
    m_rows = RowSet();
    m_active = false;
}

void Query::execute() {
    close();
    m_connection.execute(m_sql);
}

QString Query::fieldAsText(const QString& name) const {
    if (!m_active)
        return {};
    return m_rows.fieldAsText(m_rows.rowCount() > 0 ? 0 : -1, name);
}

} // namespace uc::db
