#pragma once

#include "db/RowSet.h"

#include <QString>

namespace uc::db {

class Connection;

// A statement text on a connection, in the manner of the window's utility query: set a text,
// open it to read its rows (the whole result is copied out at once) or execute it, read a
// column of the current row by name as text.
class Query {
public:
    explicit Query(Connection& connection);

    void setSql(const QString& sql); // closes the query first
    const QString& sql() const { return m_sql; }

    void open(); // runs the text; current row = first
    void close();
    bool active() const { return m_active; }
    void execute(); // runs the text as a statement that returns no rows

    void first();
    void next();
    bool eof() const;

    // Empty when the value is null, when there is no current row or when the query is closed.
    // An unknown column name is an error.
    QString fieldAsText(const QString& name) const;
    bool fieldIsNull(const QString& name) const;

private:
    Connection& m_connection;
    QString m_sql;
    RowSet m_rows;
    qsizetype m_row = 0;
    bool m_active = false;
};

} // namespace uc::db
