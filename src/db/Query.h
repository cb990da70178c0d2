#pragma once

#include "db/RowSet.h"

#include <QString>

namespace uc::db {

class Connection;

// The window's utility query qrx: a statement text on a connection, either opened to read its
// first row (the whole result is copied out at once) or executed.
class Query {
public:
    explicit Query(Connection& connection);

    void setSql(const QString& sql); // closes the query first
    const QString& sql() const { return m_sql; }

    void open(); // runs the text and keeps its rows
    void close();
    void execute(); // closes the query, then runs the text as a statement that returns no rows

    // A column of the first row, as text: empty when the value is null, when there is no row or
    // when the query is closed. A name the open query's result lacks is an error.
    QString fieldAsText(const QString& name) const;

private:
    Connection& m_connection;
    QString m_sql;
    RowSet m_rows;
    bool m_active = false;
};

} // namespace uc::db
