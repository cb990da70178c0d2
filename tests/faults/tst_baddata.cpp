// Unusual data in the taxpayer register, through the real window: CPF/CNPJ values, names and codes
// made of every printable Windows-1252 character (quotes, LIKE wildcards and the characters of
// 0x80-0x9F among them) are listed, searched and merged exactly; a stored value that
// Windows-1252 cannot hold gives an error box, never a crash or garbled text.

#include "ScratchDatabase.h"
#include "WindowFixture.h"
#include "browser/DuplicateBrowser.h"
#include "common/Win1252.h"
#include "merge/RepointStatements.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSet>
#include <QTableView>
#include <QTest>
#include <QTextDocument>
#include <algorithm>

using namespace uc;
using namespace uc::test;

namespace {

// Every character that Windows-1252 prints, in code page order: 0x20-0x7E, the 27 defined
// characters of 0x80-0x9F and 0xA0-0xFF.
QString printableWindows1252() {
    QByteArray bytes;
    for (int b = 0x20; b <= 0xFF; ++b) {
        const bool undefined = b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
        if (b != 0x7F && !undefined)
            bytes.append(char(b));
    }
    return win1252::decode(bytes);
}

QString sqlText(const QString& value) {
    QString quoted = value;
    return QLatin1Char('\'') + quoted.replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
}

// One repeated CPF/CNPJ value: a principal and its duplicates, code and name of each.
struct Group {
    QString cnpj;
    QString principalCode;
    QString principalName;
    QList<std::pair<QString, QString>> duplicates;
};

// The printable characters cut into CPF/CNPJ values as long as the column takes (20); the names
// (100) run through all of them from different places. The first group also holds a duplicate
// for every value with the value's characters, reversed, as its code: its merge is the only one
// that can hold them, because the generator re-sync needs every code left in the register to be
// a number.
std::vector<Group> groupsOfEveryCharacter() {
    const QString all = printableWindows1252();
    const QString twice = all + all;
    std::vector<Group> groups;
    for (qsizetype at = 0, i = 0; at < all.size(); at += 20, ++i) {
        Group g{all.mid(at, 20), QString::number(1000 + i), twice.mid(at, 100), {}};
        g.duplicates.append({QString::number(2000 + i), twice.mid(at + 100, 100)});
        groups.push_back(g);
    }
    for (qsizetype i = 0; i < qsizetype(groups.size()); ++i) {
        QString code = groups[std::size_t(i)].cnpj;
        std::reverse(code.begin(), code.end());
        groups.front().duplicates.append({code, twice.mid(i * 20 + 50, 100)});
    }
    return groups;
}

QString installationOf(const std::vector<Group>& groups) {
    QString sql;
    int id = 0;
    const QString insert = QStringLiteral("INSERT INTO GR_CONTRIBUINTES (COD_EMP_CNT, COD_CNT, CNPJ_CNT, NOME_CNT) "
                                          "VALUES (1, %1, %2, %3);\n");
    for (const Group& g : groups) {
        sql += insert.arg(sqlText(g.principalCode), sqlText(g.cnpj), sqlText(g.principalName));
        for (const auto& [code, name] : g.duplicates) {
            sql += insert.arg(sqlText(code), sqlText(g.cnpj), sqlText(name));
            // References to the duplicate in a table with a company condition and in the one
            // without.
            sql += QStringLiteral("INSERT INTO AG_AGENDAPGTO (ID, COD_EMP_APG, COD_CNT_APG) VALUES (%1, 1, %2);\n")
                       .arg(++id)
                       .arg(sqlText(code));
            sql +=
                QStringLiteral("INSERT INTO LI_MOVBANCARIOCONTAS (ID, COD_EMP_MBC, COD_CNT_MBC) VALUES (%1, 2, %2);\n")
                    .arg(id)
                    .arg(sqlText(code));
        }
    }
    return sql + QStringLiteral("SET GENERATOR GEN_GR_CONTRIBUINTES TO 1;\n");
}

QStringList sorted(QStringList values) {
    values.sort();
    return values;
}

// The operator places the principal list's current row on the taxpayer with that code.
bool selectPrincipal(TFPrin& window, const QString& code) {
    return clickRow(grid(window, "DBGrid3"), 0, code) &&
           window.browser().cds2().fieldAsText(QStringLiteral("COD_CNT")) == code;
}

const QString transliteration = QStringLiteral("Cannot transliterate character between character sets");

} // namespace

class TestBadData : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setApplicationName(QStringLiteral("unifica-contribuintes")); }

    void everyPrintableCharacter() {
        const std::vector<Group> groups = groupsOfEveryCharacter();
        QCOMPARE(printableWindows1252().size(), 218);
        QCOMPARE(groups.size(), std::size_t(11));
        ScratchDatabase db;
        QVERIFY(db.install(installationOf(groups)));

        ShownWindow w(db.folder());
        QVERIFY2(w.boxes().messages().isEmpty(), qPrintable(w.describeBoxes()));
        QCOMPARE(w->findChild<QLabel*>(QStringLiteral("Label1"))->text(),
                 QStringLiteral("Contribuintes Repetidos (11)"));
        QStringList counts;
        for (const Group& g : groups)
            counts << g.cnpj + QLatin1Char('|') + QString::number(1 + g.duplicates.size());
        QStringList shown;
        for (int row = 0; row < grid(*w, "DBGrid1")->model()->rowCount(); ++row)
            shown << gridColumn(grid(*w, "DBGrid1"), 0)[row] + QLatin1Char('|') +
                         gridColumn(grid(*w, "DBGrid1"), 1)[row];
        QCOMPARE(sorted(shown), sorted(counts));

        auto* search = w->findChild<QLineEdit*>(QStringLiteral("Edit1"));
        for (const Group& g : groups) {
            // The value, pasted into the search box, finds itself: a quote is matched as a quote,
            // and "%" and "_" are wildcards that match themselves too.
            search->setText(g.cnpj);
            QVERIFY2(gridColumn(grid(*w, "DBGrid1"), 0).contains(g.cnpj), qPrintable(g.cnpj));
            search->clear();

            QVERIFY2(selectGroup(*w, g.cnpj), qPrintable(g.cnpj));
            QStringList codes{g.principalCode};
            QStringList names{g.principalName};
            for (const auto& [code, name] : g.duplicates) {
                codes << code;
                names << name;
            }
            QCOMPARE(sorted(gridColumn(grid(*w, "DBGrid3"), 0)), sorted(codes));
            QCOMPARE(gridColumn(grid(*w, "DBGrid3"), 1), QStringList(codes.size(), g.cnpj));
            QCOMPARE(sorted(gridColumn(grid(*w, "DBGrid3"), 2)), sorted(names));
            QCOMPARE(sorted(gridColumn(grid(*w, "DBGrid2"), 0)), sorted(codes));
            QCOMPARE(sorted(gridColumn(grid(*w, "DBGrid2"), 2)), sorted(names));
            QVERIFY(selectPrincipal(*w, g.principalCode));

            w.boxes().clear();
            button(*w, "btnProcessa")->click();
            QVERIFY2(w.boxes().messages().size() == 1, qPrintable(w.describeBoxes()));
            QCOMPARE(w.boxes().messages()[0].text, QStringLiteral("Fim do Processo."));
            // The log holds the codes as sent, a quote in a code written twice. (Its raw text: the
            // plain text turns no-break spaces into spaces.)
            const QStringList log = w->findChild<QPlainTextEdit*>(QStringLiteral("Memo"))
                                        ->document()
                                        ->toRawText()
                                        .split(QChar::ParagraphSeparator);
            for (const auto& [code, name] : g.duplicates)
                QVERIFY2(log.contains(deleteStatement(code)), qPrintable(code));
            QVERIFY(!gridColumn(grid(*w, "DBGrid1"), 0).contains(g.cnpj));
        }
        QVERIFY(w.boxes().messages().size() == 1);

        // Read back through a connection of its own: every principal kept its value and name,
        // character for character, and every reference follows it.
        QStringList principals;
        QStringList references;
        for (const Group& g : groups) {
            principals << g.principalCode + QLatin1Char('|') + g.cnpj + QLatin1Char('|') + g.principalName;
            for (qsizetype i = 0; i < g.duplicates.size(); ++i)
                references << g.principalCode + QLatin1Char('|') + g.principalCode;
        }
        QCOMPARE(db.queryColumn(QStringLiteral("SELECT COD_CNT || '|' || CNPJ_CNT || '|' || NOME_CNT "
                                               "FROM GR_CONTRIBUINTES ORDER BY COD_CNT")),
                 principals);
        QCOMPARE(db.queryColumn(QStringLiteral("SELECT A.COD_CNT_APG || '|' || M.COD_CNT_MBC FROM AG_AGENDAPGTO A "
                                               "JOIN LI_MOVBANCARIOCONTAS M ON M.ID = A.ID ORDER BY A.ID")),
                 references);
        QCOMPARE(db.queryColumn(QStringLiteral("SELECT GEN_ID(GEN_GR_CONTRIBUINTES, 0) FROM RDB$DATABASE")),
                 QStringList{"1010"});
        QVERIFY(sairEndsTheProgram(*w));
    }

    void valueWindows1252CannotHold_data() {
        QTest::addColumn<QString>("change"); // run as SYSDBA before the data
        QTest::addColumn<QString>("data");
        QTest::addColumn<QString>("charSet");  // of the data script
        QTest::addColumn<QString>("badGroup"); // as the group grid shows it; empty: not listed
        QTest::addColumn<QString>("message");  // part of the error box's text

        const QString good = QStringLiteral(
            "INSERT INTO GR_CONTRIBUINTES (COD_EMP_CNT, COD_CNT, CNPJ_CNT, NOME_CNT) VALUES (1, '1', '11', 'ANA');\n"
            "INSERT INTO GR_CONTRIBUINTES (COD_EMP_CNT, COD_CNT, CNPJ_CNT, NOME_CNT) VALUES (1, '2', '11', 'BIA');\n");
        const QString insert = QStringLiteral("INSERT INTO GR_CONTRIBUINTES (COD_EMP_CNT, COD_CNT, CNPJ_CNT, NOME_CNT) "
                                              "VALUES (1, '%1', %2, %3);\n");
        const QString unsent = QStringLiteral("não podem ser enviados ao banco de dados (Windows-1252)");

        // Another program turned the column to UTF-8 and stored a Polish letter in it.
        QTest::newRow("CPF/CNPJ in a UTF-8 column")
            << "ALTER TABLE GR_CONTRIBUINTES ALTER CNPJ_CNT TO CNPJ_ANTIGO;\n"
               "ALTER TABLE GR_CONTRIBUINTES ADD CNPJ_CNT VARCHAR(20) CHARACTER SET UTF8;\n"
            << good + insert.arg("3", "'22-Ł'", "'CID'") + insert.arg("4", "'22-Ł'", "'DUDA'") << "UTF8" << QString()
            << transliteration;
        QTest::newRow("name in a UTF-8 column")
            << "ALTER TABLE GR_CONTRIBUINTES ALTER NOME_CNT TO NOME_ANTIGO;\n"
               "ALTER TABLE GR_CONTRIBUINTES ADD NOME_CNT VARCHAR(100) CHARACTER SET UTF8;\n"
            << good + insert.arg("3", "'22'", "'ŁUKASZ'") + insert.arg("4", "'22'", "'DUDA'") << "UTF8"
            << "22" << transliteration;
        // A program on a connection without character set stored the UTF-8 bytes of "Ł" in the
        // Windows-1252 column: the second byte is one that Windows-1252 leaves undefined. Read
        // back, it is the control character of that number, which cannot be sent to select the
        // group's taxpayers.
        const QString bytes = QStringLiteral("'22-' || CAST(x'C581' AS VARCHAR(2) CHARACTER SET NONE)");
        QTest::newRow("CPF/CNPJ with a byte Windows-1252 leaves undefined")
            << QString() << good + insert.arg("3", bytes, "'CID'") + insert.arg("4", bytes, "'DUDA'") << "WIN1252"
            << QStringLiteral("22-\u00C5\u0081") << unsent + QStringLiteral(": U+0081");
    }
    void valueWindows1252CannotHold() {
        QFETCH(QString, change);
        QFETCH(QString, data);
        QFETCH(QString, charSet);
        QFETCH(QString, badGroup);
        QFETCH(QString, message);
        ScratchDatabase db;
        if (!change.isEmpty())
            QVERIFY(db.runSql(change));
        QVERIFY(db.install(data, charSet));

        ShownWindow w(db.folder());
        QVERIFY(w->isVisible());
        if (badGroup.isEmpty()) {
            // The group list cannot be read: the show step ends there with one box, and the
            // grids stay empty rather than show a value that is not the stored one.
            QVERIFY2(w.boxes().messages().size() == 1, qPrintable(w.describeBoxes()));
            QCOMPARE(w.boxes().messages()[0].kind, MessageKind::Error);
            QVERIFY2(w.boxes().messages()[0].text.contains(message), qPrintable(w.describeBoxes()));
            for (const char* name : {"DBGrid1", "DBGrid2", "DBGrid3"})
                QCOMPARE(grid(*w, name)->model()->rowCount(), 0);
            w->findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText(QStringLiteral("1"));
            QCOMPARE(w.boxes().messages().size(), 1);
        } else {
            // The groups come in the order of their values: the good one first.
            QVERIFY2(w.boxes().messages().isEmpty(), qPrintable(w.describeBoxes()));
            QCOMPARE(gridColumn(grid(*w, "DBGrid1"), 0), (QStringList{"11", badGroup}));
            QVERIFY(!selectGroup(*w, badGroup));
            QVERIFY2(w.boxes().messages().size() == 1, qPrintable(w.describeBoxes()));
            QCOMPARE(w.boxes().messages()[0].kind, MessageKind::Error);
            QVERIFY2(w.boxes().messages()[0].text.contains(message), qPrintable(w.describeBoxes()));
            // Neither taxpayer list shows anything of that group, nor of the one left behind.
            QCOMPARE(grid(*w, "DBGrid3")->model()->rowCount(), 0);
            QCOMPARE(grid(*w, "DBGrid2")->model()->rowCount(), 0);

            // The other group still loads, and merges. The lists reloaded after the commit come
            // to the group that cannot be read: an ordinary error box after the merge's own.
            QVERIFY(selectGroup(*w, QStringLiteral("11")));
            QCOMPARE(gridColumn(grid(*w, "DBGrid2"), 2), (QStringList{"ANA", "BIA"}));
            QCOMPARE(w.boxes().messages().size(), 1);
            w.boxes().clear();
            button(*w, "btnProcessa")->click();
            QVERIFY2(w.boxes().messages().size() == 2, qPrintable(w.describeBoxes()));
            QCOMPARE(w.boxes().messages()[0].text, QStringLiteral("Fim do Processo."));
            QCOMPARE(w.boxes().messages()[1].kind, MessageKind::Error);
            QVERIFY2(w.boxes().messages()[1].text.contains(message), qPrintable(w.describeBoxes()));
            QCOMPARE(gridColumn(grid(*w, "DBGrid1"), 0), QStringList{badGroup});
            QCOMPARE(grid(*w, "DBGrid3")->model()->rowCount(), 0);
            QCOMPARE(grid(*w, "DBGrid2")->model()->rowCount(), 0);
            QCOMPARE(db.queryColumn(QStringLiteral("SELECT COD_CNT FROM GR_CONTRIBUINTES ORDER BY 1")),
                     (QStringList{"1", "3", "4"}));
        }
        QVERIFY(sairEndsTheProgram(*w));
    }

    void codesOfAnotherCompany_data() {
        QTest::addColumn<QString>("data");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QStringList>("run");        // what the run sent, before the lists' reload
        QTest::addColumn<QStringList>("taxpayers");  // company:<code>|name after the run
        QTest::addColumn<QStringList>("references"); // table:company:code after the run

        const QString insert = QStringLiteral("INSERT INTO GR_CONTRIBUINTES (COD_EMP_CNT, COD_CNT, CNPJ_CNT, NOME_CNT) "
                                              "VALUES (%1, '%2', '%3', '%4');\n");
        // A reference with a company condition, and one in the table whose statement has none.
        const QString agenda =
            QStringLiteral("INSERT INTO AG_AGENDAPGTO (ID, COD_EMP_APG, COD_CNT_APG) VALUES (1, %1, '%2');\n");
        const QString bank =
            QStringLiteral("INSERT INTO LI_MOVBANCARIOCONTAS (ID, COD_EMP_MBC, COD_CNT_MBC) VALUES (%1, %2, '%3');\n");
        const QString question = companyCodesSql(QStringLiteral("11"));
        auto resync = [](const char* code) { return QStringList{maxCodeSql(), generatorStatement(code)}; };

        // The server compares texts without their trailing blanks: to every statement of the
        // merge, this member's code is the principal's, and its delete would remove the principal.
        QTest::newRow("principal's code and a trailing blank")
            << insert.arg("1", "100", "11", "ANA") + insert.arg("2", "100 ", "11", "BIA") + agenda.arg("1", "100")
            << false << resync("100") << QStringList{"1:<100>|ANA", "2:<100 >|BIA"} << QStringList{"AG:1:100"};
        // The merge's statements name company 1: merging a taxpayer of company 2 would re-point
        // and delete the company-1 taxpayer that happens to hold the same code, who has another
        // CPF/CNPJ and is no duplicate at all. The member is skipped.
        QTest::newRow("member of company 2 with a code that a taxpayer of company 1 holds")
            << insert.arg("1", "100", "11", "ANA") + insert.arg("2", "205", "11", "BIA") +
                   insert.arg("1", "205", "22", "CID") + agenda.arg("1", "205")
            << false << QStringList{question} + resync("205")
            << QStringList{"1:<100>|ANA", "1:<205>|CID", "2:<205>|BIA"} << QStringList{"AG:1:205"};
        // No company-1 taxpayer to delete, but the bank accounts of company 2 would be moved to
        // company 1's principal.
        QTest::newRow("member of company 2, code unused in company 1")
            << insert.arg("1", "100", "11", "ANA") + insert.arg("2", "205", "11", "BIA") + bank.arg("1", "2", "205")
            << false << QStringList{question} + resync("205") << QStringList{"1:<100>|ANA", "2:<205>|BIA"}
            << QStringList{"MBC:2:205"};
        // Two taxpayers of company 1 and one of company 2: the duplicate of company 1 is merged,
        // the taxpayer of company 2 and its bank account stay as they were.
        QTest::newRow("group of three, member of company 2")
            << insert.arg("1", "100", "11", "ANA") + insert.arg("1", "205", "11", "BIA") +
                   insert.arg("2", "907", "11", "CID") + agenda.arg("1", "205") + bank.arg("1", "2", "907")
            << false << QStringList{question} + mergeStatements("100", "205") + resync("907")
            << QStringList{"1:<100>|ANA", "2:<907>|CID"} << QStringList{"AG:1:100", "MBC:2:907"};
        // Company 1's references to its own taxpayers would go to a code company 1 does not have:
        // refused as a whole, before anything is written.
        QTest::newRow("principal in company 2")
            << insert.arg("2", "100", "11", "ANA") + insert.arg("1", "205", "11", "BIA") + agenda.arg("1", "205")
            << true << QStringList{question} << QStringList{"1:<205>|BIA", "2:<100>|ANA"} << QStringList{"AG:1:205"};
        QTest::newRow("group of three, principal in company 2")
            << insert.arg("2", "100", "11", "ANA") + insert.arg("1", "205", "11", "BIA") +
                   insert.arg("1", "907", "11", "CID") + agenda.arg("1", "205")
            << true << QStringList{question} << QStringList{"1:<205>|BIA", "1:<907>|CID", "2:<100>|ANA"}
            << QStringList{"AG:1:205"};
        // Company 2's own taxpayer with a duplicate's code and another CPF/CNPJ stays.
        QTest::newRow("every member in company 1")
            << insert.arg("1", "100", "11", "ANA") + insert.arg("1", "205", "11", "BIA") +
                   insert.arg("2", "205", "33", "EDU") + agenda.arg("1", "205") + bank.arg("1", "1", "205")
            << false << QStringList{question} + mergeStatements("100", "205") + resync("205")
            << QStringList{"1:<100>|ANA", "2:<205>|EDU"} << QStringList{"AG:1:100", "MBC:1:100"};
    }
    // A taxpayer of another company is never merged at the cost of a taxpayer of company 1: a
    // member of another company is skipped like one holding the principal's code, a principal of
    // another company refuses the run.
    void codesOfAnotherCompany() {
        QFETCH(QString, data);
        QFETCH(bool, refused);
        QFETCH(QStringList, run);
        QFETCH(QStringList, taxpayers);
        QFETCH(QStringList, references);
        ScratchDatabase db;
        QVERIFY(db.install(data + QStringLiteral("SET GENERATOR GEN_GR_CONTRIBUINTES TO 205;\n")));
        const QStringList before = dumpDatabase(db);

        ShownWindow w(db.folder());
        QVERIFY2(w.boxes().messages().isEmpty(), qPrintable(w.describeBoxes()));
        QVERIFY(selectGroup(*w, QStringLiteral("11")));
        QCOMPARE(w->browser().cds2().fieldAsText(QStringLiteral("NOME_CNT")), QStringLiteral("ANA"));
        const int members = w->browser().cds3().recordCount();
        auto* gauge = w->findChild<QProgressBar*>(QStringLiteral("PB"));
        bool gaugeShown = false;
        int gaugePosition = -1;
        int gaugeMaximum = -1;
        w.boxes().setOnShow([&](const MessageRecord&) {
            gaugeShown = gauge->isVisible();
            gaugePosition = gauge->value();
            gaugeMaximum = gauge->maximum();
        });
        const qsizetype sentBefore = w.sent().size();
        button(*w, "btnProcessa")->click();

        QVERIFY2(w.boxes().messages().size() == 1, qPrintable(w.describeBoxes()));
        const MessageRecord box = w.boxes().messages()[0];
        QCOMPARE(db.queryColumn(QStringLiteral("SELECT COD_EMP_CNT || ':<' || COD_CNT || '>|' || NOME_CNT "
                                               "FROM GR_CONTRIBUINTES ORDER BY 1")),
                 taxpayers);
        QCOMPARE(db.queryColumn(QStringLiteral("SELECT 'AG:' || COD_EMP_APG || ':' || COD_CNT_APG FROM AG_AGENDAPGTO "
                                               "UNION ALL SELECT 'MBC:' || COD_EMP_MBC || ':' || COD_CNT_MBC "
                                               "FROM LI_MOVBANCARIOCONTAS ORDER BY 1")),
                 references);
        // Everything the click sent: the run's texts, then the three lists' reload.
        const QStringList sent = w.sent().mid(sentBefore);
        const qsizetype reload = sent.indexOf(DuplicateBrowser::groupSql());
        QVERIFY2(reload >= 0, qPrintable(sent.join(QLatin1Char('\n'))));
        QCOMPARE(sent.mid(0, reload), run);
        for (const QString& sql : sent.mid(reload))
            QVERIFY2(sql.startsWith(QLatin1String("SELECT ")), qPrintable(sql));
        if (refused) {
            QCOMPARE(box.kind, MessageKind::Error);
            QCOMPARE(
                box.text,
                QStringLiteral("Erro na Geração.\rErro: Contribuinte de outra empresa: nenhuma alteração foi feita."));
            QVERIFY(!gaugeShown);
            QVERIFY(!w->Conexao().inTransaction());
            QCOMPARE(dumpDatabase(db), before);
            QVERIFY(gridColumn(grid(*w, "DBGrid1"), 0).contains(QStringLiteral("11")));
        } else {
            QCOMPARE(box.kind, MessageKind::Information);
            QCOMPARE(box.text, QStringLiteral("Fim do Processo."));
            // Every member advanced the gauge, the skipped ones too.
            QVERIFY(gaugeShown);
            QCOMPARE(gaugePosition, members);
            QCOMPARE(gaugeMaximum, members);
        }
        QVERIFY(button(*w, "btnProcessa")->isEnabled());
        QVERIFY(sairEndsTheProgram(*w));
    }
};

QTEST_MAIN(TestBadData)
#include "tst_baddata.moc"
