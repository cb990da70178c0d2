#include "browser/List.h"

#include "db/Connection.h"

namespace uc {

List::List(db::Connection& connection, QObject* parent)
    : List([&connection](const QString& sql) { return connection.select(sql); }, parent) {}

List::List(Provider provider, QObject* parent) : QObject(parent), m_provider(std::move(provider)) {}

List::~List() = default;

void List::setSql(const QString& sql) {
    m_sql = sql;
}

void List::open() {
    if (m_active)
        return;
    db::RowSet rows = m_provider(m_sql);
    // A filter on a column the rows lack is refused, and the list stays closed.
    if (filterNeeded())
        rows.existingColumn(m_filterField);
    emit aboutToReset();
    m_rows = std::move(rows);
    m_active = true;
    applyFilter();
    m_current = recordCount() > 0 ? 0 : -1;
    m_eof = m_current < 0;
    emit reset();
    if (m_current >= 0)
        notifyAfterScroll();
}

void List::close() {
    if (!m_active)
        return;
    emit aboutToReset();
    m_rows = db::RowSet();
    m_passing = std::vector<int>();
    m_filterApplied = false;
    m_active = false;
    m_current = -1;
    m_eof = true;
    emit reset();
}

int List::recordCount() const {
    if (!m_active)
        return 0;
    return m_filterApplied ? int(m_passing.size()) : int(m_rows.rowCount());
}

void List::first() {
    if (recordCount() == 0) {
        m_eof = true;
        return;
    }
    m_eof = false;
    setCurrent(0);
}

void List::next() {
    if (!m_active || m_eof)
        return;
    if (m_current + 1 < recordCount())
        setCurrent(m_current + 1);
    else
        m_eof = true;
}

void List::moveTo(int position) {
    if (position < 0 || position >= recordCount())
        return;
    m_eof = false;
    setCurrent(position);
}

void List::setCurrent(int position) {
    if (position == m_current)
        return;
    const int previous = m_current;
    m_current = position;
    emit currentRowChanged(m_current, previous);
    notifyAfterScroll();
}

QString List::fieldAsText(const QString& name) const {
    return m_active ? m_rows.fieldAsText(currentSourceRow(), name) : QString();
}

bool List::fieldIsNull(const QString& name) const {
    return !m_active || m_rows.fieldIsNull(currentSourceRow(), name);
}

void List::setFilterField(const QString& name) {
    if (!m_active || !m_filtered) {
        m_filterField = name;
        return;
    }
    const QString previous = m_filterField;
    m_filterField = name;
    try {
        setFiltered(true);
    } catch (...) {
        m_filterField = previous;
        throw;
    }
}

void List::setFilter(const QString& pattern) {
    if (!m_active || !m_filtered) {
        m_filter = LikePattern(pattern);
        return;
    }
    const LikePattern previous = m_filter;
    m_filter = LikePattern(pattern);
    try {
        setFiltered(true);
    } catch (...) {
        m_filter = previous;
        throw;
    }
}

void List::setFiltered(bool on) {
    if (!m_active) {
        m_filtered = on;
        return;
    }
    // A filter on a column the rows lack is refused before anything changes.
    if (on && !m_filter.text().isEmpty())
        m_rows.existingColumn(m_filterField);
    emit aboutToReset();
    m_filtered = on;
    applyFilter();
    m_current = recordCount() > 0 ? 0 : -1;
    m_eof = m_current < 0;
    emit reset();
    notifyAfterScroll();
}

void List::applyFilter() {
    m_passing.clear();
    m_filterApplied = m_active && filterNeeded();
    if (!m_filterApplied)
        return;
    const qsizetype column = m_rows.columnIndex(m_filterField);
    const qsizetype rowCount = m_rows.rowCount();
    for (qsizetype row = 0; row < rowCount; ++row) {
        if (!m_rows.isNull(row, column) && m_filter.matches(m_rows.value(row, column)))
            m_passing.push_back(int(row));
    }
}

bool List::filterNeeded() const {
    return m_filtered && !m_filter.text().isEmpty();
}

void List::setAfterScrollHandler(std::function<void()> handler) {
    m_afterScrollHandler = std::move(handler);
}

void List::notifyAfterScroll() {
    emit afterScroll();
    if (m_afterScrollHandler)
        m_afterScrollHandler();
}

} // namespace uc
