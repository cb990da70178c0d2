#include "RowFixture.h"
#include "browser/List.h"
#include "common/Error.h"

#include <QSignalSpy>
#include <QTest>
#include <memory>

// Timings mean something only in an optimised build without the sanitizers' checks.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define UC_ADDRESS_SANITIZER 1
#endif
#endif
#ifndef UC_ADDRESS_SANITIZER
#define UC_ADDRESS_SANITIZER 0
#endif

using uc::Error;
using uc::List;
using uc::test::makeGroups;
using uc::test::makeRows;

namespace {

// A list that reads the given rows on every opening and counts its openings.
struct ListOnRows {
    explicit ListOnRows(uc::db::RowSet rows) : rows(std::move(rows)) {
        list = std::make_unique<List>([this](const QString&) {
            ++opens;
            return this->rows;
        });
        list->setFilterField(QStringLiteral("NOME"));
    }
    uc::db::RowSet rows;
    int opens = 0;
    std::unique_ptr<List> list;
};

QStringList passingValues(const List& list, const QString& column = QStringLiteral("NOME")) {
    QStringList values;
    const qsizetype c = list.rows().columnIndex(column);
    for (int i = 0; i < list.recordCount(); ++i)
        values << list.rows().value(list.sourceRow(i), c);
    return values;
}

} // namespace

class TestList : public QObject {
    Q_OBJECT
private slots:
    void opensOnItsFirstRow() {
        ListOnRows f(makeGroups({"A", "B", "C"}));
        QSignalSpy scrolls(f.list.get(), &List::afterScroll);
        f.list->open();
        QVERIFY(f.list->active());
        QCOMPARE(scrolls.count(), 1);
        QCOMPARE(f.list->currentRow(), 0);
        QCOMPARE(f.list->recordCount(), 3);
        QVERIFY(!f.list->eof());
        QCOMPARE(f.list->fieldAsText("nome"), QStringLiteral("A"));
        QCOMPARE(f.list->fieldAsText("COUNT"), QStringLiteral("2"));

        f.list->open(); // already open: the snapshot stays
        QCOMPARE(f.opens, 1);
        QCOMPARE(scrolls.count(), 1);
    }

    void opensEmptyWithoutNotifying() {
        ListOnRows f(makeGroups({}));
        QSignalSpy scrolls(f.list.get(), &List::afterScroll);
        f.list->open();
        QVERIFY(f.list->active());
        QCOMPARE(scrolls.count(), 0);
        QCOMPARE(f.list->currentRow(), -1);
        QCOMPARE(f.list->recordCount(), 0);
        QVERIFY(f.list->eof());
        QCOMPARE(f.list->fieldAsText("NOME"), QString());
        QVERIFY(f.list->fieldIsNull("NOME"));
        f.list->first();
        f.list->next();
        QCOMPARE(scrolls.count(), 0);
        QVERIFY(f.list->eof());
    }

    void walksFromFirstToEof() {
        ListOnRows f(makeGroups({"A", "B", "C"}));
        f.list->open();
        QSignalSpy scrolls(f.list.get(), &List::afterScroll);
        QStringList walked;
        for (f.list->first(); !f.list->eof(); f.list->next())
            walked << f.list->fieldAsText("NOME");
        QCOMPARE(walked, QStringList({"A", "B", "C"}));
        QCOMPARE(scrolls.count(), 2); // A is current already; B and C are moves
        QCOMPARE(f.list->currentRow(), 2);
        f.list->next();
        QCOMPARE(scrolls.count(), 2);
        f.list->first();
        QVERIFY(!f.list->eof());
        QCOMPARE(f.list->fieldAsText("NOME"), QStringLiteral("A"));
        QCOMPARE(scrolls.count(), 3);
    }

    void movesNotify_data() {
        QTest::addColumn<QList<int>>("targets");
        QTest::addColumn<int>("notifications");
        QTest::addColumn<int>("current");
        QTest::newRow("another row") << QList<int>{2} << 1 << 2;
        QTest::newRow("the current row") << QList<int>{0} << 0 << 0;
        QTest::newRow("beyond the last row") << QList<int>{3} << 0 << 0;
        QTest::newRow("before the first row") << QList<int>{-1} << 0 << 0;
        QTest::newRow("back and forth") << QList<int>{1, 0, 1} << 3 << 1;
        QTest::newRow("the same row twice") << QList<int>{2, 2} << 1 << 2;
    }
    void movesNotify() {
        QFETCH(QList<int>, targets);
        QFETCH(int, notifications);
        QFETCH(int, current);
        ListOnRows f(makeGroups({"A", "B", "C"}));
        f.list->open();
        QSignalSpy scrolls(f.list.get(), &List::afterScroll);
        QSignalSpy moves(f.list.get(), &List::currentRowChanged);
        for (int target : targets)
            f.list->moveTo(target);
        QCOMPARE(scrolls.count(), notifications);
        QCOMPARE(moves.count(), notifications);
        QCOMPARE(f.list->currentRow(), current);
        if (!moves.isEmpty())
            QCOMPARE(moves.last().at(0).toInt(), current);
    }

    void readsValuesByName() {
        ListOnRows f(makeRows({"COD_CNT", "NOME_CNT"}, {{"1", std::nullopt}, {"2", ""}}));
        QCOMPARE(f.list->fieldAsText("COD_CNT"), QString()); // closed
        QVERIFY(f.list->fieldIsNull("COD_CNT"));
        f.list->open();
        QCOMPARE(f.list->fieldAsText("NOME_CNT"), QString());
        QVERIFY(f.list->fieldIsNull("NOME_CNT"));
        QVERIFY(!f.list->fieldIsNull("cod_cnt"));
        f.list->next();
        QCOMPARE(f.list->fieldAsText("COD_CNT"), QStringLiteral("2"));
        QVERIFY(!f.list->fieldIsNull("NOME_CNT")); // an empty text is not a null
        QVERIFY_THROWS_EXCEPTION(Error, f.list->fieldAsText("CNPJ_CNT"));
        QVERIFY_THROWS_EXCEPTION(Error, f.list->fieldIsNull("CNPJ_CNT"));
    }

    // The list first stands on its third row with the pattern stored and the flag off; then the
    // flag is set as listed.
    void filteredFlag_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QList<bool>>("flags");
        QTest::addColumn<int>("notifications");
        QTest::addColumn<QStringList>("passing");

        const QStringList all{"10", "20", "11", "30", "1'2"};
        QTest::newRow("off while off") << "1%" << QList<bool>{false} << 1 << all;
        QTest::newRow("on") << "1%" << QList<bool>{true} << 1 << QStringList{"10", "11", "1'2"};
        QTest::newRow("on, nothing passes") << "9%" << QList<bool>{true} << 1 << QStringList{};
        QTest::newRow("on twice") << "1%" << QList<bool>{true, true} << 2 << QStringList{"10", "11", "1'2"};
        QTest::newRow("on, then off") << "1%" << QList<bool>{true, false} << 2 << all;
        QTest::newRow("empty pattern lets every row pass") << "" << QList<bool>{true} << 1 << all;
        QTest::newRow("a quote is matched") << "1'%" << QList<bool>{true} << 1 << QStringList{"1'2"};
        QTest::newRow("wildcard in the middle") << "_0%" << QList<bool>{true} << 1 << QStringList{"10", "20", "30"};
    }
    void filteredFlag() {
        QFETCH(QString, pattern);
        QFETCH(QList<bool>, flags);
        QFETCH(int, notifications);
        QFETCH(QStringList, passing);
        ListOnRows f(makeGroups({"10", "20", "11", "30", "1'2"}));
        f.list->open();
        f.list->moveTo(2);
        QSignalSpy scrolls(f.list.get(), &List::afterScroll);
        QSignalSpy resets(f.list.get(), &List::reset);

        f.list->setFilter(pattern);
        QCOMPARE(scrolls.count(), 0); // stored only
        QCOMPARE(resets.count(), 0);
        QCOMPARE(f.list->recordCount(), 5);
        QCOMPARE(f.list->currentRow(), 2);

        for (bool flag : flags)
            f.list->setFiltered(flag);
        QCOMPARE(scrolls.count(), notifications);
        QCOMPARE(f.list->filtered(), flags.last());
        QCOMPARE(f.list->recordCount(), passing.size());
        QCOMPARE(passingValues(*f.list), passing);
        QCOMPARE(f.list->currentRow(), passing.isEmpty() ? -1 : 0);
        QCOMPARE(f.list->fieldAsText("NOME"), passing.value(0));
        QCOMPARE(f.list->eof(), passing.isEmpty());
        QCOMPARE(f.opens, 1); // filtering never reads the rows again
    }

    void changingThePatternWhileFilteredFiltersAgain() {
        ListOnRows f(makeGroups({"10", "20", "11"}));
        f.list->open();
        f.list->setFilter("1%");
        f.list->setFiltered(true);
        f.list->moveTo(1);
        QSignalSpy scrolls(f.list.get(), &List::afterScroll);
        f.list->setFilter("2%");
        QCOMPARE(scrolls.count(), 1);
        QCOMPARE(passingValues(*f.list), QStringList{"20"});
        QCOMPARE(f.list->currentRow(), 0);
    }

    void filterIsKeptWhenClosedAndOpened() {
        ListOnRows f(makeGroups({"10", "20", "11"}));
        f.list->open();
        f.list->setFilter("1%");
        f.list->setFiltered(true);
        QSignalSpy scrolls(f.list.get(), &List::afterScroll);
        f.list->close();
        QVERIFY(!f.list->active());
        QCOMPARE(f.list->recordCount(), 0);
        QCOMPARE(f.list->currentRow(), -1);
        QCOMPARE(f.list->fieldAsText("NOME"), QString());
        QCOMPARE(scrolls.count(), 0);
        f.list->open();
        QCOMPARE(f.opens, 2);
        QCOMPARE(scrolls.count(), 1);
        QVERIFY(f.list->filtered());
        QCOMPARE(f.list->filter(), QStringLiteral("1%"));
        QCOMPARE(passingValues(*f.list), QStringList({"10", "11"}));
    }

    void closedListOnlyRecordsTheFilter_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QStringList>("passing");
        QTest::addColumn<int>("notificationsOnOpening");
        QTest::newRow("some pass") << "2%" << QStringList{"20", "21"} << 1;
        QTest::newRow("none passes") << "9%" << QStringList{} << 0;
    }
    void closedListOnlyRecordsTheFilter() {
        QFETCH(QString, pattern);
        QFETCH(QStringList, passing);
        QFETCH(int, notificationsOnOpening);
        ListOnRows f(makeGroups({"10", "20", "21"}));
        QSignalSpy scrolls(f.list.get(), &List::afterScroll);
        QSignalSpy resets(f.list.get(), &List::reset);
        f.list->setFiltered(false);
        f.list->setFilter(pattern);
        f.list->setFiltered(true);
        QCOMPARE(scrolls.count(), 0);
        QCOMPARE(resets.count(), 0);
        QCOMPARE(f.opens, 0);
        QVERIFY(f.list->filtered());
        f.list->open();
        QCOMPARE(scrolls.count(), notificationsOnOpening);
        QCOMPARE(passingValues(*f.list), passing);
        QCOMPARE(f.list->currentRow(), passing.isEmpty() ? -1 : 0);
    }

    void nullValuesDoNotPass() {
        ListOnRows f(makeRows({"NOME", "COUNT"}, {{std::nullopt, "2"}, {"", "2"}, {"1", "2"}}));
        f.list->open();
        f.list->setFilter("%");
        f.list->setFiltered(true);
        QCOMPARE(f.list->recordCount(), 2);
        QCOMPARE(f.list->fieldAsText("NOME"), QString());
        QVERIFY(!f.list->fieldIsNull("NOME"));
    }

    void filterOnAMissingColumnIsRefused() {
        ListOnRows f(makeRows({"CNPJ"}, {{"1"}, {"2"}}));
        f.list->open();
        f.list->moveTo(1);
        f.list->setFilter("1%");
        QSignalSpy scrolls(f.list.get(), &List::afterScroll);
        QVERIFY_THROWS_EXCEPTION(Error, f.list->setFiltered(true));
        QVERIFY(!f.list->filtered());
        QCOMPARE(f.list->recordCount(), 2);
        QCOMPARE(f.list->currentRow(), 1);
        QCOMPARE(scrolls.count(), 0);

        f.list->close();
        f.list->setFiltered(true);
        QVERIFY_THROWS_EXCEPTION(Error, f.list->open());
        QVERIFY(!f.list->active());
        QCOMPARE(scrolls.count(), 0);
    }

    void failedOpeningLeavesTheListClosed() {
        List list([](const QString&) -> uc::db::RowSet { throw Error(QStringLiteral("Table unknown")); });
        QSignalSpy scrolls(&list, &List::afterScroll);
        QSignalSpy resets(&list, &List::reset);
        QVERIFY_THROWS_EXCEPTION(Error, list.open());
        QVERIFY(!list.active());
        QCOMPARE(list.recordCount(), 0);
        QCOMPARE(scrolls.count(), 0);
        QCOMPARE(resets.count(), 0);
    }

    // The handler's error reaches whoever moved the list; the move itself stands.
    void handlerErrorReachesTheCaller() {
        ListOnRows f(makeGroups({"A", "B", "C"}));
        QStringList seen;
        f.list->setAfterScrollHandler([&] {
            seen << f.list->fieldAsText("NOME");
            if (f.list->fieldAsText("NOME") == QStringLiteral("B"))
                throw Error(QStringLiteral("connection lost"));
        });
        QSignalSpy scrolls(f.list.get(), &List::afterScroll);
        f.list->open();
        QVERIFY_THROWS_EXCEPTION(Error, f.list->moveTo(1));
        QCOMPARE(f.list->currentRow(), 1);
        QCOMPARE(scrolls.count(), 2);
        f.list->moveTo(2);
        QCOMPARE(seen, QStringList({"A", "B", "C"}));
    }

    void sqlIsKeptForTheNextOpening() {
        QStringList texts;
        List list([&texts](const QString& sql) {
            texts << sql;
            return makeGroups({"A"});
        });
        list.setSql("SELECT 1");
        list.open();
        list.setSql("SELECT 2");
        QCOMPARE(list.fieldAsText("NOME"), QStringLiteral("A"));
        list.close();
        list.open();
        QCOMPARE(texts, QStringList({"SELECT 1", "SELECT 2"}));
    }

    // The filter over as many groups as a large installation has. How long it takes per keystroke
    // is measured by bench/run filter, not here.
    void filtersManyGroups_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("needle"); // what a passing value holds, at its start or anywhere
        QTest::addColumn<bool>("anywhere");
        QTest::newRow("first characters") << "1234%"
                                          << "1234" << false;
        QTest::newRow("percent first") << "%1234%"
                                       << "1234" << true;
        QTest::newRow("underscores") << "_2_4%"
                                     << "" << false;
    }
    void filtersManyGroups() {
        QFETCH(QString, pattern);
        QFETCH(QString, needle);
        QFETCH(bool, anywhere);
        constexpr int groups = 200000;
        QStringList names;
        names.reserve(groups);
        for (int i = 0; i < groups; ++i)
            names << QString::number(10000000000000ull + qulonglong(i) * 2654435761ull % 90000000000000ull);
        int expected = 0;
        for (const QString& name : names) {
            if (needle.isEmpty())
                expected += name[1] == u'2' && name[3] == u'4' ? 1 : 0;
            else
                expected += (anywhere ? name.contains(needle) : name.startsWith(needle)) ? 1 : 0;
        }
        QVERIFY(expected > 0);
        ListOnRows f(makeGroups(names));
        f.list->open();
        f.list->setFilter(pattern);
        f.list->setFiltered(true);
        QCOMPARE(f.list->recordCount(), expected);
    }
};

QTEST_GUILESS_MAIN(TestList)
#include "tst_list.moc"
