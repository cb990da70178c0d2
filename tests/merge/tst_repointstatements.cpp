#include "common/Error.h"
#include "db/TextLiteral.h"
#include "merge/RepointStatements.h"

#include <QFile>
#include <QTest>

using namespace uc;

namespace {

// The expected texts, one to a line; a line may begin with a space and none ends in one.
QStringList goldenTexts(const QString& fileName) {
    QFile file(QStringLiteral(UC_TEST_DATA_DIR "/merge/") + fileName);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(file.fileName()));
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QString& line : lines)
        if (line.endsWith(QLatin1Char('\r'))) // checked out with Windows line ends
            line.chop(1);
    return lines;
}

} // namespace

class TestRepointStatements : public QObject {
    Q_OBJECT
private slots:
    void matchesExpectedTextsForOnePair() {
        const QStringList expected = goldenTexts(QStringLiteral("repoint_100_205.txt"));
        const QStringList actual = mergeStatements(QStringLiteral("100"), QStringLiteral("205"));
        QCOMPARE(expected.size(), 98);
        QCOMPARE(actual.size(), expected.size());
        for (int i = 0; i < expected.size(); ++i) {
            if (actual[i] != expected[i]) {
                qWarning().noquote() << "statement" << i + 1 << "differs\n  got:      [" + actual[i] + "]\n"
                                     << " expected: [" + expected[i] + "]";
                QFAIL(qPrintable(QStringLiteral("first differing statement: %1").arg(i + 1)));
            }
        }
    }

    void workedExamples_data() {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("length");

        const QString p = QStringLiteral("100");
        const QString d = QStringLiteral("205");
        const QString q = QStringLiteral("'");
        QTest::newRow("row 1, leading space")
            << 1
            << QStringLiteral(" UPDATE AG_AGENDAPGTO SET COD_CNT_APG = '") + p + q +
                   QStringLiteral(" WHERE COD_EMP_APG = 1 ") + QStringLiteral(" AND COD_CNT_APG = ") + q + d + q
            << 92;
        QTest::newRow("row 22, separate module condition")
            << 22
            << QStringLiteral("UPDATE FI_DIVIDA SET COD_CAD_DIV = '") + p + q +
                   QStringLiteral(" WHERE COD_EMP_DIV = 1 ") + QStringLiteral(" AND COD_MOD_DIV = 5 ") +
                   QStringLiteral(" AND COD_CAD_DIV = ") + q + d + q
            << 108;
        QTest::newRow("row 64, no company") << 64
                                            << QStringLiteral(" UPDATE LI_MOVBANCARIOCONTAS SET COD_CNT_MBC = '") + p +
                                                   q + QStringLiteral(" WHERE COD_CNT_MBC = ") + q + d + q
                                            << 78;
        QTest::newRow("row 80, joined module condition")
            << 80
            << QStringLiteral(" UPDATE LI_MOVIMENTOECO SET CADASTRO_MEC = '") + p + q +
                   QStringLiteral(" WHERE COD_EMP_MEC = 1 AND COD_MOD_MEC=5 ") +
                   QStringLiteral(" AND CADASTRO_MEC = ") + q + d + q
            << 114;
        QTest::newRow("delete")
            << 98 << QStringLiteral("DELETE FROM GR_CONTRIBUINTES WHERE COD_EMP_CNT = 1  AND COD_CNT = '") + d + q
            << 71;
    }
    void workedExamples() {
        QFETCH(int, number);
        QFETCH(QString, expected);
        QFETCH(int, length);
        const QString text = mergeStatement(number - 1, QStringLiteral("100"), QStringLiteral("205"));
        QCOMPARE(text, expected);
        QCOMPARE(text.size(), length);
        if (number <= 97)
            QCOMPARE(repointStatement(repointRows()[number - 1], QStringLiteral("100"), QStringLiteral("205")), text);
        else
            QCOMPARE(deleteStatement(QStringLiteral("205")), text);
    }

    void infoFiscalRepeatedForAnyPair_data() {
        QTest::addColumn<QString>("principal");
        QTest::addColumn<QString>("duplicate");
        QTest::newRow("plain") << "100"
                               << "205";
        QTest::newRow("reversed") << "205"
                                  << "100";
        QTest::newRow("odd codes") << "007"
                                   << "O'1 ";
        QTest::newRow("empty") << ""
                               << "";
    }
    void infoFiscalRepeatedForAnyPair() {
        QFETCH(QString, principal);
        QFETCH(QString, duplicate);
        const QString row43 = mergeStatement(42, principal, duplicate);
        QCOMPARE(mergeStatement(48, principal, duplicate), row43);
        QVERIFY(row43.startsWith(QStringLiteral(" UPDATE LI_INFOFISCAL SET COD_CNT_IFS = ")));
    }

    void leadingSpaces() {
        const QStringList texts = mergeStatements(QStringLiteral("1"), QStringLiteral("2"));
        int withSpace = 0;
        int without = 0;
        for (int i = 0; i < 97; ++i) {
            const bool spaced = texts[i].startsWith(QLatin1Char(' '));
            QCOMPARE(spaced, repointRows()[i].leadingSpace);
            QVERIFY2(!texts[i].startsWith(QStringLiteral("  ")), qPrintable(texts[i]));
            spaced ? ++withSpace : ++without;
        }
        QCOMPARE(withSpace, 59);
        QCOMPARE(without, 38);
        QVERIFY(!texts[97].startsWith(QLatin1Char(' ')));
        // The runs of spaced rows: 1-4, 40-90 and 93-96.
        for (int n : {1, 4, 40, 90, 93, 96})
            QVERIFY2(texts[n - 1].startsWith(QLatin1Char(' ')), qPrintable(QString::number(n)));
        for (int n : {5, 39, 91, 92, 97})
            QVERIFY2(!texts[n - 1].startsWith(QLatin1Char(' ')), qPrintable(QString::number(n)));
    }

    void onlyRow64CoversEveryCompany() {
        const QStringList texts = mergeStatements(QStringLiteral("100"), QStringLiteral("205"));
        for (int i = 0; i < 97; ++i) {
            const bool noCompany = repointRows()[i].companyColumn == nullptr;
            QCOMPARE(noCompany, i == 63);
            QCOMPARE(texts[i].contains(QStringLiteral(" = 1 ")), !noCompany);
        }
        QCOMPARE(texts[63],
                 QStringLiteral(" UPDATE LI_MOVBANCARIOCONTAS SET COD_CNT_MBC = '100' WHERE COD_CNT_MBC = '205'"));
    }

    void codesCarriedAsTheyStand_data() {
        QTest::addColumn<QString>("principal");
        QTest::addColumn<QString>("duplicate");
        QTest::addColumn<QString>("principalLiteral");
        QTest::addColumn<QString>("duplicateLiteral");
        QTest::newRow("leading zeros") << "007"
                                       << "0205"
                                       << "'007'"
                                       << "'0205'";
        QTest::newRow("inner space") << "1 2"
                                     << "20 5"
                                     << "'1 2'"
                                     << "'20 5'";
        QTest::newRow("leading and trailing space") << " 100"
                                                    << "205 "
                                                    << "' 100'"
                                                    << "'205 '";
        QTest::newRow("quote") << "O'1"
                               << "2'0'5"
                               << "'O''1'"
                               << "'2''0''5'";
        QTest::newRow("only quotes") << "'"
                                     << "''"
                                     << "''''"
                                     << "''''''";
        QTest::newRow("empty") << ""
                               << ""
                               << "''"
                               << "''";
        QTest::newRow("not Latin-1") << QStringLiteral("1€") << QStringLiteral("ção") << QStringLiteral("'1€'")
                                     << QStringLiteral("'ção'");
    }
    void codesCarriedAsTheyStand() {
        QFETCH(QString, principal);
        QFETCH(QString, duplicate);
        QFETCH(QString, principalLiteral);
        QFETCH(QString, duplicateLiteral);
        QCOMPARE(db::textLiteral(principal), principalLiteral);

        const QStringList texts = mergeStatements(principal, duplicate);
        const QStringList plain = mergeStatements(QStringLiteral("100"), QStringLiteral("205"));
        QCOMPARE(texts.size(), plain.size());
        for (int i = 0; i < texts.size(); ++i) {
            // Nothing but the two literals changes, and each sits where 100 and 205 sat.
            QString expected = plain[i];
            expected.replace(QStringLiteral("'100'"), principalLiteral);
            expected.replace(QStringLiteral("'205'"), duplicateLiteral);
            QCOMPARE(texts[i], expected);
            QVERIFY(texts[i].endsWith(QStringLiteral(" = ") + duplicateLiteral));
        }
    }

    void sameCodesSameTexts() {
        const QStringList first = mergeStatements(QStringLiteral("31"), QStringLiteral("4"));
        QCOMPARE(statementCount(), 98);
        QCOMPARE(first.size(), statementCount());
        QCOMPARE(mergeStatements(QStringLiteral("31"), QStringLiteral("4")), first);
        for (int i = 0; i < statementCount(); ++i)
            QCOMPARE(mergeStatement(i, QStringLiteral("31"), QStringLiteral("4")), first[i]);
        QVERIFY(first != mergeStatements(QStringLiteral("4"), QStringLiteral("31")));
    }

    void indexOutsideTheListFails_data() {
        QTest::addColumn<int>("index");
        QTest::newRow("before the first") << -1;
        QTest::newRow("after the delete") << 98;
    }
    void indexOutsideTheListFails() {
        QFETCH(int, index);
        QVERIFY_THROWS_EXCEPTION(Error, mergeStatement(index, QStringLiteral("100"), QStringLiteral("205")));
    }
};

QTEST_GUILESS_MAIN(TestRepointStatements)
#include "tst_repointstatements.moc"
