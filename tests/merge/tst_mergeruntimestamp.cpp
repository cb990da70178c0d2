// The moments written in the merge log: the timestamp with the workstation's separators, and how
// the separators are taken from a regional date or time format.

#include "merge/Timestamp.h"

#include <QTest>

using namespace uc;

class TestMergeRunTimestamp : public QObject {
    Q_OBJECT

private slots:
    void timestamp_data() {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QString>("dateSeparator");
        QTest::addColumn<QString>("timeSeparator");
        QTest::addColumn<QString>("expected");

        QTest::newRow("slash and colon") << QDateTime(QDate(2023, 12, 31), QTime(23, 59, 59)) << "/"
                                         << ":"
                                         << "31/12/2023 23:59:59";
        QTest::newRow("dot and dash, leading zeros") << QDateTime(QDate(2024, 2, 9), QTime(9, 5, 3)) << "."
                                                     << "-"
                                                     << "09.02.2024 09-05-03";
        QTest::newRow("midnight on the 24-hour clock") << QDateTime(QDate(2025, 1, 1), QTime(0, 0, 0)) << "/"
                                                       << ":"
                                                       << "01/01/2025 00:00:00";
        QTest::newRow("afternoon on the 24-hour clock") << QDateTime(QDate(2024, 7, 15), QTime(13, 7, 0)) << "-"
                                                        << "."
                                                        << "15-07-2024 13.07.00";
        QTest::newRow("four-digit year") << QDateTime(QDate(987, 3, 4), QTime(1, 2, 3)) << "/"
                                         << ":"
                                         << "04/03/0987 01:02:03";
    }
    void timestamp() {
        QFETCH(QDateTime, when);
        QFETCH(QString, dateSeparator);
        QFETCH(QString, timeSeparator);
        QFETCH(QString, expected);
        QCOMPARE(mergeTimestamp(when, dateSeparator, timeSeparator), expected);
    }

    void separator_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("expected");

        QTest::newRow("Brazilian date") << "dd/MM/yyyy"
                                        << "/";
        QTest::newRow("German date") << "dd.MM.yy"
                                     << ".";
        QTest::newRow("ISO date") << "yyyy-MM-dd"
                                  << "-";
        QTest::newRow("US date") << "M/d/yy"
                                 << "/";
        QTest::newRow("blank after the separator") << "d. M. yyyy"
                                                   << ".";
        QTest::newRow("quoted text before the fields") << "'Dia' dd/MM/yyyy"
                                                       << "/";
        QTest::newRow("quoted separator-like text") << "dd'/'MM-yyyy"
                                                    << "-";
        QTest::newRow("time") << "HH:mm:ss"
                              << ":";
        QTest::newRow("time with AM/PM") << "h:mm AP"
                                         << ":";
        QTest::newRow("Finnish time") << "H.mm"
                                      << ".";
        QTest::newRow("letters only: the fallback") << QStringLiteral("yyyy年M月d日") << "#";
        QTest::newRow("empty format: the fallback") << ""
                                                    << "#";
    }
    void separator() {
        QFETCH(QString, format);
        QFETCH(QString, expected);
        QCOMPARE(formatSeparator(format, QStringLiteral("#")), expected);
    }

    // Whatever the workstation's settings, the start and end lines get one separator each for the
    // date and the time, and a clock.
    void systemClock() {
        const MergeClock clock = MergeClock::system();
        QVERIFY(clock.now);
        QCOMPARE(clock.dateSeparator.size(), 1);
        QCOMPARE(clock.timeSeparator.size(), 1);
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        const QDateTime now = clock.now();
        QVERIFY(now >= before && now <= QDateTime::currentDateTime().addSecs(1));
    }
};

QTEST_GUILESS_MAIN(TestMergeRunTimestamp)
#include "tst_mergeruntimestamp.moc"
