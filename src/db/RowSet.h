#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace uc::db {

// Rows copied out of a result before its cursor closes: every value as text, nulls kept apart
// from empty texts. Column names are matched without regard to letter case. Each column may carry
// its declared length in characters, the room its values can take.
class RowSet {
public:
    RowSet() = default;
    explicit RowSet(QStringList columns, std::vector<int> declaredLengths = {})
        : m_columns(std::move(columns)), m_declaredLengths(std::move(declaredLengths)) {}

    const QStringList& columns() const { return m_columns; }
    qsizetype columnCount() const { return m_columns.size(); }
    // In characters; 0 when the column declares none (numbers, blobs) or it is not known.
    int declaredLength(qsizetype column) const {
        return column >= 0 && std::size_t(column) < m_declaredLengths.size() ? m_declaredLengths[std::size_t(column)]
                                                                             : 0;
    }
    qsizetype rowCount() const { return m_columns.isEmpty() ? 0 : qsizetype(m_values.size()) / m_columns.size(); }
    // -1 when no column has that name.
    qsizetype columnIndex(const QString& name) const;
    // The same for a name the program relies on: a name the rows lack is the error
    // "Campo 'NAME' não encontrado".
    qsizetype existingColumn(const QString& name) const;

    const QString& value(qsizetype row, qsizetype column) const { return m_values[index(row, column)]; }
    bool isNull(qsizetype row, qsizetype column) const { return m_nulls[index(row, column)]; }

    // A named column of the current row, the way a list and the utility query read it: row -1
    // stands for "no current row". Empty text for a null value and for no row; a name the rows
    // lack is an error (existingColumn), with or without a current row.
    QString fieldAsText(qsizetype row, const QString& name) const;
    bool fieldIsNull(qsizetype row, const QString& name) const;

    // Appends one value of the row being built; a row is complete after columnCount() values.
    void append(QString value) {
        m_values.push_back(std::move(value));
        m_nulls.push_back(false);
    }
    void appendNull() {
        m_values.emplace_back();
        m_nulls.push_back(true);
    }

private:
    std::size_t index(qsizetype row, qsizetype column) const { return std::size_t(row * m_columns.size() + column); }

    QStringList m_columns;
    std::vector<int> m_declaredLengths;
    std::vector<QString> m_values;
    std::vector<bool> m_nulls;
};

} // namespace uc::db
