#pragma once

#include <QDateTime>
#include <QString>
#include <functional>

namespace uc {

// Where the merge log takes the moment of its start and end lines, and how it writes them: the
// workstation's clock and its regional date and time separators. Tests give their own.
struct MergeClock {
    std::function<QDateTime()> now;
    QString dateSeparator;
    QString timeSeparator;

    // The local clock and the separators of the workstation's regional settings.
    static MergeClock system();
};

// "DD/MM/YYYY HH:MM:SS" on the 24-hour clock, with "/" and ":" replaced by the given separators.
QString mergeTimestamp(const QDateTime& when, const QString& dateSeparator, const QString& timeSeparator);

// The separator of a date or time format such as "dd/MM/yyyy" or "h:mm AP": the first character
// after a field that is neither a field letter, a blank nor quoted text; the fallback when there
// is none.
QString formatSeparator(const QString& format, const QString& fallback);

} // namespace uc
