#include "merge/Timestamp.h"

#include <QLocale>

#ifdef _WIN32
#include <iterator>
#include <windows.h>
#endif

namespace uc {

namespace {

const QString defaultDateSeparator = QStringLiteral("/");
const QString defaultTimeSeparator = QStringLiteral(":");

#ifdef _WIN32
// The first character of a regional setting, as the workstation's programs use it.
QString localeCharacter(LCTYPE type, const QString& fallback) {
    wchar_t buffer[8] = {};
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, int(std::size(buffer))) <= 1)
        return fallback;
    return QString(QChar(buffer[0]));
}
#endif

QString twoDigits(int value) {
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

} // namespace

MergeClock MergeClock::system() {
    MergeClock clock;
    clock.now = [] { return QDateTime::currentDateTime(); };
#ifdef _WIN32
    clock.dateSeparator = localeCharacter(LOCALE_SDATE, defaultDateSeparator);
    clock.timeSeparator = localeCharacter(LOCALE_STIME, defaultTimeSeparator);
#else
    const QLocale locale = QLocale::system();
    clock.dateSeparator = formatSeparator(locale.dateFormat(QLocale::ShortFormat), defaultDateSeparator);
    clock.timeSeparator = formatSeparator(locale.timeFormat(QLocale::ShortFormat), defaultTimeSeparator);
#endif
    return clock;
}

QString mergeTimestamp(const QDateTime& when, const QString& dateSeparator, const QString& timeSeparator) {
    const QDate date = when.date();
    const QTime time = when.time();
    return twoDigits(date.day()) + dateSeparator + twoDigits(date.month()) + dateSeparator +
           QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0')) + QLatin1Char(' ') + twoDigits(time.hour()) +
           timeSeparator + twoDigits(time.minute()) + timeSeparator + twoDigits(time.second());
}

QString formatSeparator(const QString& format, const QString& fallback) {
    bool afterField = false;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            continue;
        }
        if (quoted)
            continue;
        if (c.isLetter())
            afterField = true;
        else if (afterField && !c.isSpace())
            return QString(c);
    }
    return fallback;
}

} // namespace uc
