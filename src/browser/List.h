#pragma once

#include "browser/LikePattern.h"
#include "db/RowSet.h"

#include <QObject>
#include <QString>
#include <functional>
#include <vector>

namespace uc {

namespace db {
class Connection;
}

// One of the window's lists: a query text, a snapshot of its whole result read when the list is
// opened, a current row, and, for the group list, a LIKE filter on one column with its filtered
// flag. Positions (current row, record count, moveTo) count only the rows that pass the filter.
//
// The after-scroll notification fires when the list opens with at least one passing row, on every
// move of the current row, and every time the filtered flag is set while the list is open (the
// list then goes to its first passing row, whether or not any passes and whatever the flag was).
// It is delivered first as the afterScroll() signal and then to the handler; an error thrown by
// the handler leaves the list as it was moved and reaches the caller of the operation that moved
// it.
class List : public QObject {
    Q_OBJECT
public:
    // Reads the whole result of a query text.
    using Provider = std::function<db::RowSet(const QString& sql)>;

    explicit List(db::Connection& connection, QObject* parent = nullptr);
    explicit List(Provider provider, QObject* parent = nullptr);
    ~List() override;

    // Kept for the next opening; an open list keeps the rows it has.
    void setSql(const QString& sql);

    // Runs the query text and keeps its rows; the current row is the first that passes the filter.
    // Does nothing when the list is already open. When the query fails the list stays closed.
    void open();
    // Drops the rows; the filter and its flag are kept for the next opening.
    void close();
    bool active() const { return m_active; }

    // Rows that pass the filter; 0 when closed.
    int recordCount() const;
    // Position of the current row among the passing rows; -1 when there is none.
    int currentRow() const { return m_current; }
    bool eof() const { return m_eof; }
    void first();
    void next();
    // Moves to a position among the passing rows; out of range is ignored.
    void moveTo(int position);

    // Value of a column of the current row, by name without regard to letter case; empty when the
    // value is null, when there is no current row and when the list is closed. A name that the
    // open list's result does not have is an error.
    QString fieldAsText(const QString& name) const;
    bool fieldIsNull(const QString& name) const;

    // The LIKE pattern that a row's value in the filter column must match to pass.
    void setFilterField(const QString& name);
    void setFilter(const QString& pattern);
    const QString& filter() const { return m_filter.text(); }
    void setFiltered(bool on);
    bool filtered() const { return m_filtered; }

    void setAfterScrollHandler(std::function<void()> handler);

    // For the grid model and the merge run: the snapshot, and the row of it at a position.
    const db::RowSet& rows() const { return m_rows; }
    int sourceRow(int position) const { return m_filterApplied ? m_passing[std::size_t(position)] : position; }

signals:
    void afterScroll();
    // Around every change of the passing rows: opening, closing, filtering.
    void aboutToReset();
    void reset();
    void currentRowChanged(int current, int previous);

private:
    // An empty pattern lets every row pass, as if the flag were off.
    bool filterNeeded() const;
    void applyFilter();
    void setCurrent(int position);
    void notifyAfterScroll();
    // The row of the snapshot that is current; -1 when there is none.
    qsizetype currentSourceRow() const { return m_current < 0 ? -1 : sourceRow(m_current); }

    Provider m_provider;
    QString m_sql;
    db::RowSet m_rows;
    bool m_active = false;
    int m_current = -1;
    bool m_eof = true;

    QString m_filterField;
    LikePattern m_filter;
    bool m_filtered = false;
    // Whether m_passing selects the rows shown (the flag is on and the list is open).
    bool m_filterApplied = false;
    std::vector<int> m_passing;

    std::function<void()> m_afterScrollHandler;
};

} // namespace uc
