// "Processar" driven through the real main window against a scratch database: the log, the gauge,
// the closing boxes, what reaches the database on success, and that a failed run leaves the
// database exactly as it was.

#include "PaintCounter.h"
#include "ScratchDatabase.h"
#include "WindowFixture.h"
#include "app/EventHandlers.h"
#include "app/MergeWindowView.h"
#include "app/MessageBoxes.h"
#include "app/TFPrin.h"
#include "browser/DuplicateBrowser.h"
#include "common/Error.h"
#include "db/Connection.h"
#include "db/Query.h"
#include "db/RowSet.h"
#include "db/TextLiteral.h"
#include "merge/MergeRun.h"
#include "merge/RepointStatements.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QFrame>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <map>
#include <set>

using namespace uc;
using namespace uc::test;

namespace {

const QString group = QStringLiteral("11.111.111/0001-11");
const QString otherGroup = QStringLiteral("44.444.444/0001-44");
const QString principal = QStringLiteral("100");
const QStringList duplicates{QStringLiteral("205"), QStringLiteral("907")};
const QString unrelated = QStringLiteral("300");

QString taxpayer(int company, const QString& code, const QString& cnpj, const QString& name) {
    return QStringLiteral(
               "INSERT INTO GR_CONTRIBUINTES (COD_EMP_CNT, COD_CNT, CNPJ_CNT, NOME_CNT) VALUES (%1, %2, '%3', "
               "'%4');\n")
        .arg(company)
        .arg(code.isNull() ? QStringLiteral("NULL") : db::textLiteral(code), cnpj, name);
}

// The principal (first by name) and two duplicates share a CPF/CNPJ; the highest code of the table
// is a duplicate's. Company 2 has a taxpayer with a duplicate's code, which the merge must keep.
const QString groupOfThree =
    taxpayer(1, principal, group, "ANA") + taxpayer(1, duplicates[0], group, "BETO") +
    taxpayer(1, duplicates[1], group, "CARLA") + taxpayer(1, unrelated, "22.222.222/0001-22", "DORA") +
    taxpayer(2, duplicates[0], "33.333.333/0001-33", "EDUARDO") + "SET GENERATOR GEN_GR_CONTRIBUINTES TO 907;\n";
// The last statement of every member, row 97, re-points this column.
const QString dropLastColumn =
    QStringLiteral("DROP INDEX IX_COD_CNTR_TCM;\nALTER TABLE CM_TERRENOS DROP COD_CNTR_TCM;\n");
const QString groupOfTwo = taxpayer(1, "400", otherGroup, "IVO") + taxpayer(1, "401", otherGroup, "JUCA");

// Lets a test store taxpayers without a code.
const QString nullableCodes = QStringLiteral("ALTER TABLE GR_CONTRIBUINTES DROP CONSTRAINT PK_GR_CONTRIBUINTES;\n"
                                             "ALTER TABLE GR_CONTRIBUINTES ALTER COD_CNT DROP NOT NULL;\n");

// One reference to a taxpayer in the fixture, with the code it must hold after a successful merge.
struct Reference {
    QString table;
    QString keyColumn;
    int key;
    QString column;
    QString after;
};

struct ReferenceFixture {
    QString sql;
    std::vector<Reference> references;
};

// LI_MOVBANCARIOCONTAS keeps its company in a column that the merge does not look at.
QString companyColumnOf(const RepointRow& row) {
    return row.companyColumn ? QString::fromLatin1(row.companyColumn) : QStringLiteral("COD_EMP_MBC");
}

// The table's module column, where one of its rows restricts itself to a module.
QString moduleColumnOf(const char* table) {
    for (const RepointRow& row : repointRows()) {
        if (qstrcmp(row.table, table) == 0 && row.moduleColumn)
            return QString::fromLatin1(row.moduleColumn);
    }
    return {};
}

// For every known reference column, rows that point at each duplicate: in company 1 and module 5
// (re-pointed), in company 2 (kept, except where the column has no company condition), in module 3
// where the table has a module column (kept where the column has a module condition), and one row
// of company 1 that points at an unrelated taxpayer (kept).
ReferenceFixture referenceFixture(const QString& principalCode, const QStringList& duplicateCodes) {
    ReferenceFixture fixture;
    int id = 0;
    auto add = [&](const RepointRow& row, int company, int module, const QString& code, const QString& after) {
        const QString table = QString::fromLatin1(row.table);
        const QString moduleColumn = moduleColumnOf(row.table);
        QStringList columns{QString::fromLatin1(row.column), companyColumnOf(row)};
        QStringList values{db::textLiteral(code), QString::number(company)};
        if (!moduleColumn.isEmpty()) {
            columns << moduleColumn;
            values << QString::number(module);
        }
        Reference reference{table, QStringLiteral("ID"), ++id, QString::fromLatin1(row.column), after};
        // The company register is keyed by the company itself.
        if (table == QLatin1String("GR_CAD_EMPRESA")) {
            reference.keyColumn = companyColumnOf(row);
            reference.key = company;
        } else {
            columns.prepend(QStringLiteral("ID"));
            values.prepend(QString::number(id));
        }
        fixture.sql += QStringLiteral("INSERT INTO %1 (%2) VALUES (%3);\n")
                           .arg(table, columns.join(QStringLiteral(", ")), values.join(QStringLiteral(", ")));
        fixture.references.push_back(reference);
    };
    for (const RepointRow& row : repointRows()) {
        if (qstrcmp(row.table, "GR_CAD_EMPRESA") == 0) {
            add(row, 1, 5, duplicateCodes.last(), principalCode);
            add(row, 2, 5, duplicateCodes.first(), duplicateCodes.first());
            add(row, 3, 5, unrelated, unrelated);
            continue;
        }
        for (const QString& code : duplicateCodes) {
            add(row, 1, 5, code, principalCode);
            add(row, 2, 5, code, row.companyColumn ? code : principalCode);
            if (!moduleColumnOf(row.table).isEmpty())
                add(row, 1, 3, code, row.moduleColumn ? code : principalCode);
        }
        add(row, 1, 5, unrelated, unrelated);
    }
    return fixture;
}

QString describe(const Reference& r, const QString& value) {
    return QStringLiteral("%1.%2 (%3 %4) = %5").arg(r.table, r.column, r.keyColumn).arg(r.key).arg(value);
}

// Each reference as the database holds it now, and as the merge should have left it.
std::pair<QStringList, QStringList> referenceStates(const ScratchDatabase& db, const std::vector<Reference>& refs) {
    QStringList actual;
    QStringList expected;
    auto connection = db.connect();
    if (!connection)
        return {};
    std::map<QString, db::RowSet> tables;
    for (const Reference& r : refs) {
        if (!tables.count(r.table))
            tables[r.table] = connection->select(QStringLiteral("SELECT * FROM ") + r.table);
        const db::RowSet& rows = tables[r.table];
        const qsizetype key = rows.columnIndex(r.keyColumn);
        const qsizetype column = rows.columnIndex(r.column);
        QString value = QStringLiteral("<missing row>");
        for (qsizetype i = 0; i < rows.rowCount(); ++i) {
            if (rows.value(i, key) == QString::number(r.key))
                value = rows.isNull(i, column) ? QStringLiteral("<null>") : rows.value(i, column);
        }
        actual << describe(r, value);
        expected << describe(r, r.after);
    }
    return {actual, expected};
}

QString generatorValue(const ScratchDatabase& db) {
    return db.queryColumn(QStringLiteral("SELECT GEN_ID(GEN_GR_CONTRIBUINTES, 0) FROM RDB$DATABASE")).value(0);
}

QStringList taxpayersLeft(const ScratchDatabase& db) {
    return db.queryColumn(
        QStringLiteral("SELECT COD_EMP_CNT || ':' || COALESCE(COD_CNT, '<null>') FROM GR_CONTRIBUINTES ORDER BY 1"));
}

// The server's own message for the last of these statements, run in one transaction that is then
// rolled back; empty when none fails.
QString serverMessage(const ScratchDatabase& db, const QStringList& statements) {
    auto connection = db.connect();
    if (!connection)
        return {};
    connection->startTransaction();
    QString message;
    try {
        for (const QString& sql : statements) {
            if (sql.startsWith(QLatin1String("SELECT")))
                connection->select(sql);
            else
                connection->execute(sql);
        }
    } catch (const Error& e) {
        message = e.message();
    }
    connection->rollback();
    return message;
}

QString failureText(const QString& message) {
    return QStringLiteral("Erro na Geração.") + QChar(13) + QStringLiteral("Erro: ") + message;
}

QStringList statementsOf(const QString& principalCode, const QStringList& duplicateCodes) {
    QStringList texts;
    for (const QString& code : duplicateCodes)
        texts += mergeStatements(principalCode, code);
    return texts;
}

// The log as the statement lines and their empty lines would make it.
QStringList logged(const QStringList& statements) {
    QStringList lines;
    for (const QString& sql : statements)
        lines << sql << QString();
    return lines;
}

// What the window showed at one moment of a run.
struct Moment {
    int gaugePosition = -1;
    int gaugeMaximum = -1;
    bool gaugeVisible = false;
    bool buttonEnabled = true;
    bool inTransaction = false;
    QStringList log;
    int sentSoFar = -1;
};

} // namespace

class TestMergeRun : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchDatabase> m_db;
    std::unique_ptr<ShownWindow> m_shown;

    TFPrin& window() const { return **m_shown; }
    MessageBoxRecorder& boxes() const { return m_shown->boxes(); }
    // Every statement the window's connection sent since it was opened.
    QStringList& sent() const { return m_shown->sent(); }

    // A scratch database loaded with the scripts, an installation folder whose qor.ini reaches it,
    // and the main window shown on it without any error.
    TFPrin* openWindow(const QStringList& scripts) {
        m_db = std::make_unique<ScratchDatabase>();
        for (const QString& script : scripts) {
            if (!m_db->runSql(script))
                return nullptr;
        }
        if (!m_db->writeSettings(m_db->folder()))
            return nullptr;
        m_shown = std::make_unique<ShownWindow>(m_db->folder());
        if (!m_shown->exposed())
            return nullptr;
        if (!boxes().messages().isEmpty()) {
            qWarning("show step: %s", qPrintable(boxes().messages().first().text));
            return nullptr;
        }
        // The show step's reads are not the run's.
        sent().clear();
        return &window();
    }

    // The operator places the principal list's current row on a taxpayer, by name.
    bool selectPrincipal(const QString& name) {
        return clickRow(grid(window(), "DBGrid3"), 2, name) &&
               window().browser().cds2().fieldAsText(QStringLiteral("NOME_CNT")) == name;
    }

    QAbstractButton* button() const { return uc::test::button(window(), "btnProcessa"); }
    QProgressBar* gauge() const { return window().findChild<QProgressBar*>(QStringLiteral("PB")); }
    QFrame* logPanel() const { return window().findChild<QFrame*>(QStringLiteral("PMemo")); }

    QStringList logLines() const { return uc::test::logLines(window()); }

    Moment moment() const {
        return Moment{gauge()->value(),
                      gauge()->maximum(),
                      gauge()->isVisible(),
                      button()->isEnabled(),
                      window().Conexao().inTransaction(),
                      logLines(),
                      int(sent().size())};
    }

    void clickProcessar() {
        QVERIFY(button()->isEnabled());
        button()->click();
    }

    // The run the button starts, on the same window, with a clock of the test's own.
    void runWithClock(MergeClock clock) {
        runHandler(&window(), [&] {
            MergeWindowView view(window());
            db::Query qrx(window().Conexao());
            MergeRun(window().Conexao(), qrx, window().browser(), view, std::move(clock)).run();
        });
    }

    // From now on the installation's settings name a database that does not exist.
    bool breakSettings() {
        QFile file(m_db->folder() + QStringLiteral("qor.ini"));
        if (!file.open(QIODevice::ReadOnly))
            return false;
        QString text = QString::fromLatin1(file.readAll());
        file.close();
        const QString line = QStringLiteral("Caminho_Base_Dados=");
        if (!text.contains(line + m_db->folder()))
            return false;
        text.replace(line + m_db->folder(), line + QStringLiteral("/nonexistent-uc-merge/"));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        return file.write(text.toLatin1()) > 0;
    }

    void checkIdleAfterRun() {
        QVERIFY(button()->isEnabled());
        QVERIFY(!gauge()->isVisible());
        QVERIFY(logPanel()->isVisible());
        QVERIFY(!window().Conexao().inTransaction());
    }

private slots:
    void initTestCase() { QApplication::setApplicationName(QStringLiteral("unifica-contribuintes")); }
    void cleanup() {
        m_shown.reset();
        m_db.reset();
    }

    void groupOfThreeMerged() {
        const ReferenceFixture fixture = referenceFixture(principal, duplicates);
        QVERIFY(openWindow({groupOfThree + fixture.sql}));
        QVERIFY(selectGroup(window(), group));
        QCOMPARE(window().browser().cds3().recordCount(), 3);
        QCOMPARE(window().browser().cds2().fieldAsText(QStringLiteral("COD_CNT")), principal);
        QVERIFY(!logPanel()->isVisible());

        // The run holds the message loop: the gauge is drawn only at once, as its percentage moves
        // (0 %, then 33 %, 66 % and 100 % as the principal and the two duplicates are handled), and
        // each statement is in the log, with its empty line, when it goes out.
        PaintCounter gaugeDrawings(gauge());
        QStringList drawingsAtStatements;
        QStringList notLoggedFirst;
        bool boxShown = false;
        m_shown->setBeforeStatement([&](const QString& sql) {
            if (boxShown) // the lists reloaded after the run
                return;
            if (sql != companyCodesSql(group) && sql != maxCodeSql()) {
                const QStringList log = logLines();
                if (log.size() < 2 || log[log.size() - 2] != sql || !log.last().isEmpty())
                    notLoggedFirst << sql;
            }
            drawingsAtStatements << QStringLiteral("%1 %2").arg(gaugeDrawings.count).arg(sql.trimmed().left(13));
        });
        int drawingsAtBox = -1;
        bool logAtItsEndAtBox = false;
        Moment atBox;
        boxes().setOnShow([&](const MessageRecord&) {
            boxShown = true;
            atBox = moment();
            drawingsAtBox = gaugeDrawings.count;
            const QScrollBar* scroll = window().Memo()->verticalScrollBar();
            logAtItsEndAtBox = scroll->maximum() > 0 && scroll->value() == scroll->maximum();
        });
        clickProcessar();

        QCOMPARE(boxes().messages().size(), 1);
        QCOMPARE(boxes().messages()[0].kind, MessageKind::Information);
        QCOMPARE(boxes().messages()[0].text, QStringLiteral("Fim do Processo."));
        QCOMPARE(notLoggedFirst, QStringList());
        QCOMPARE(drawingsAtStatements.mid(0, 2), (QStringList{"0 SELECT CNT.CO", "2 UPDATE AG_AGE"}));
        QCOMPARE(drawingsAtStatements.value(1 + 98), QStringLiteral("3 UPDATE AG_AGE"));
        QCOMPARE(drawingsAtStatements.mid(1 + 196), (QStringList{"4 SELECT MAX(CA", "4 SET GENERATOR"}));
        QCOMPARE(drawingsAtBox, 4);
        QVERIFY(logAtItsEndAtBox);
        // While the box is open: committed, every member handled, the button still disabled.
        QCOMPARE(atBox.gaugePosition, 3);
        QCOMPARE(atBox.gaugeMaximum, 3);
        QVERIFY(atBox.gaugeVisible);
        QVERIFY(!atBox.buttonEnabled);
        QVERIFY(!atBox.inTransaction);

        const QStringList statements = statementsOf(principal, duplicates);
        QCOMPARE(statements.size(), 196);
        const QString generator = QStringLiteral("SET GENERATOR GEN_GR_CONTRIBUINTES TO 300");
        const QStringList log = logLines();
        QCOMPARE(log.size(), 1 + 2 * 98 * (3 - 1) + 2 + 1);
        QCOMPARE(atBox.log, log.mid(0, log.size() - 1));
        const MergeClock clock = MergeClock::system();
        const QString stamp =
            QStringLiteral("\\d\\d%1\\d\\d%1\\d{4} \\d\\d%2\\d\\d%2\\d\\d$")
                .arg(QRegularExpression::escape(clock.dateSeparator), QRegularExpression::escape(clock.timeSeparator));
        QVERIFY2(QRegularExpression(QStringLiteral("^--- INICIO --- ") + stamp).match(log.first()).hasMatch(),
                 qPrintable(log.first()));
        QCOMPARE(log.mid(1, 2 * 196), logged(statements));
        QCOMPARE(log.mid(1 + 2 * 196, 2), logged({generator}));
        QVERIFY2(QRegularExpression(QStringLiteral("^--- FIM --- ") + stamp).match(log.last()).hasMatch(),
                 qPrintable(log.last()));
        // The server got the unlogged question for the company of the taxpayers first, then the
        // logged texts in the same order, with the unlogged query for the highest code before the
        // generator statement.
        QCOMPARE(sent().mid(0, 199),
                 (QStringList{companyCodesSql(group)} + statements + QStringList{maxCodeSql(), generator}));

        checkIdleAfterRun();
        const auto [actual, expected] = referenceStates(*m_db, fixture.references);
        QCOMPARE(actual, expected);
        QCOMPARE(taxpayersLeft(*m_db), (QStringList{"1:100", "1:300", "2:205"}));
        // The highest code was merged away: the generator goes down to the highest one left.
        QCOMPARE(generatorValue(*m_db), unrelated);
        // The lists were reloaded: the merged value is no longer repeated, and the member list,
        // opened again with its last text, holds the principal alone.
        QCOMPARE(window().browser().cds1().recordCount(), 0);
        QCOMPARE(window().browser().cds3().recordCount(), 1);
        QCOMPARE(window().browser().cds3().fieldAsText(QStringLiteral("COD_CNT")), principal);
    }

    void statementFails_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("failingMember");

        // Both duplicates would become the principal in one column that admits a code once.
        QTest::newRow("constraint in the second member") << "CREATE UNIQUE INDEX UX_CM_TERRENOS_RESP ON CM_TERRENOS "
                                                            "COMPUTED BY (IIF(COD_EMP_TCM = 1, COD_CNTR_TCM, NULL));"
                                                         << 1;
        QTest::newRow("column missing, first member") << dropLastColumn << 0;
    }
    // The last statement of each member (row 97, CM_TERRENOS.COD_CNTR_TCM) fails.
    void statementFails() {
        QFETCH(QString, change);
        QFETCH(int, failingMember);
        const ReferenceFixture fixture = referenceFixture(principal, duplicates);
        QVERIFY(openWindow({groupOfThree + fixture.sql, change}));
        QVERIFY(selectGroup(window(), group));
        const QStringList before = dumpDatabase(*m_db);

        const QStringList statements = statementsOf(principal, duplicates);
        const int failing = 98 * failingMember + 96;
        const QString expectedMessage = serverMessage(*m_db, statements.mid(0, failing + 1));
        QVERIFY(!expectedMessage.isEmpty());

        Moment atBox;
        boxes().setOnShow([&](const MessageRecord&) { atBox = moment(); });
        clickProcessar();

        QCOMPARE(boxes().messages().size(), 1);
        QCOMPARE(boxes().messages()[0].kind, MessageKind::Error);
        QCOMPARE(boxes().messages()[0].text, failureText(expectedMessage));
        // The box comes first, with the transaction still open; the rollback after it.
        QVERIFY(atBox.inTransaction);
        QVERIFY(!atBox.buttonEnabled);
        checkIdleAfterRun();
        QCOMPARE(dumpDatabase(*m_db), before);

        const QStringList log = logLines();
        QCOMPARE(log, atBox.log);
        QCOMPARE(log.size(), 1 + 2 * (failing + 1));
        QCOMPARE(log.mid(1), logged(statements.mid(0, failing + 1)));
        QCOMPARE(sent().mid(0, failing + 2), QStringList{companyCodesSql(group)} + statements.mid(0, failing + 1));
    }

    // The highest code is read after all members are merged; a code that is not a number makes
    // that fail, and the whole run is undone.
    void codeThatIsNotANumber() {
        const QString script =
            groupOfThree + taxpayer(1, "A1", otherGroup, "GIL") + taxpayer(1, "500", otherGroup, "HELIO");
        QVERIFY(openWindow({script}));
        QVERIFY(selectGroup(window(), group));
        const QStringList before = dumpDatabase(*m_db);
        const QString expectedMessage = serverMessage(*m_db, {maxCodeSql()});
        QVERIFY(!expectedMessage.isEmpty());

        clickProcessar();

        QCOMPARE(boxes().messages().size(), 1);
        QCOMPARE(boxes().messages()[0].text, failureText(expectedMessage));
        const QStringList statements = statementsOf(principal, duplicates);
        QCOMPARE(logLines().mid(1), logged(statements));
        QCOMPARE(sent().mid(0, 198), (QStringList{companyCodesSql(group)} + statements + QStringList{maxCodeSql()}));
        checkIdleAfterRun();
        QCOMPARE(dumpDatabase(*m_db), before);
    }

    // No repeated CPF/CNPJ: nothing to merge, the generator is still set and committed.
    void emptyMemberList() {
        QVERIFY(openWindow({taxpayer(1, "10", "1", "ANA") + taxpayer(1, "42", "2", "BIA") +
                            "SET GENERATOR GEN_GR_CONTRIBUINTES TO 7;"}));
        QCOMPARE(window().browser().cds3().recordCount(), 0);

        Moment atBox;
        boxes().setOnShow([&](const MessageRecord&) { atBox = moment(); });
        clickProcessar();

        QCOMPARE(boxes().messages().size(), 1);
        QCOMPARE(boxes().messages()[0].text, QStringLiteral("Fim do Processo."));
        QCOMPARE(atBox.gaugePosition, 0);
        QCOMPARE(atBox.gaugeMaximum, 0);
        QVERIFY(!atBox.inTransaction);
        const QStringList log = logLines();
        QCOMPARE(log.size(), 4);
        QVERIFY(log[0].startsWith(QLatin1String("--- INICIO --- ")));
        QCOMPARE(log.mid(1, 2), logged({QStringLiteral("SET GENERATOR GEN_GR_CONTRIBUINTES TO 42")}));
        // Nothing to merge, nothing to ask: the highest code is the run's first query.
        QCOMPARE(sent().value(0), maxCodeSql());
        QVERIFY(log[3].startsWith(QLatin1String("--- FIM --- ")));
        checkIdleAfterRun();
        QCOMPARE(generatorValue(*m_db), QStringLiteral("42"));
    }

    void membersWithThePrincipalsCode_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("merged");
        QTest::addColumn<QStringList>("left");

        // The member list is not limited to one company: a taxpayer of company 2 with the
        // principal's code is the principal as far as the merge can tell.
        QTest::newRow("same code in another company")
            << taxpayer(1, "100", group, "ANA") + taxpayer(2, "100", group, "BIA") + taxpayer(1, "205", group, "CARLA")
            << QStringList{"205"} << QStringList{"1:100", "2:100"};
        QTest::newRow("principal's code twice, last")
            << taxpayer(1, "100", group, "ANA") + taxpayer(1, "205", group, "BIA") + taxpayer(2, "100", group, "CARLA")
            << QStringList{"205"} << QStringList{"1:100", "2:100"};
        QTest::newRow("two null codes") << nullableCodes + taxpayer(1, QString(), group, "ANA") +
                                               taxpayer(1, QString(), group, "BIA") + taxpayer(1, "7", "9", "CID")
                                        << QStringList{} << QStringList{"1:7", "1:<null>", "1:<null>"};
    }
    // Every member whose code equals the principal's is skipped, and the gauge still advances.
    void membersWithThePrincipalsCode() {
        QFETCH(QString, script);
        QFETCH(QStringList, merged);
        QFETCH(QStringList, left);
        QVERIFY(openWindow({script}));
        QVERIFY(selectGroup(window(), group));
        const int members = window().browser().cds3().recordCount();
        const QString principalCode = window().browser().cds2().fieldAsText(QStringLiteral("COD_CNT"));

        Moment atBox;
        boxes().setOnShow([&](const MessageRecord&) { atBox = moment(); });
        clickProcessar();

        QCOMPARE(boxes().messages().size(), 1);
        QCOMPARE(boxes().messages()[0].text, QStringLiteral("Fim do Processo."));
        QCOMPARE(atBox.gaugePosition, members);
        QCOMPARE(atBox.gaugeMaximum, members);
        const QStringList log = logLines();
        QCOMPARE(log.size(), 1 + 2 * 98 * merged.size() + 2 + 1);
        QCOMPARE(log.mid(1, 2 * 98 * merged.size()), logged(statementsOf(principalCode, merged)));
        QCOMPARE(taxpayersLeft(*m_db), left);
        // The company of the taxpayers is asked only when somebody is merged.
        QCOMPARE(sent().value(0), merged.isEmpty() ? maxCodeSql() : companyCodesSql(group));
    }

    void secondRun() {
        QVERIFY(openWindow({groupOfThree + groupOfTwo}));
        QVERIFY(selectGroup(window(), group));
        clickProcessar();
        QCOMPARE(boxes().messages().size(), 1);
        QCOMPARE(gauge()->value(), 3);

        QVERIFY(selectGroup(window(), otherGroup));
        // The second taxpayer stays, so the first member is merged before the gauge moves.
        QVERIFY(selectPrincipal(QStringLiteral("JUCA")));
        boxes().clear();
        sent().clear();
        // The gauge as the first statement of the second run goes out, after the question for
        // the company of its taxpayers (both already counted in sent()).
        Moment atFirstStatement;
        m_shown->setBeforeStatement([&](const QString&) {
            if (sent().size() == 2)
                atFirstStatement = moment();
        });
        Moment atBox;
        boxes().setOnShow([&](const MessageRecord&) { atBox = moment(); });
        clickProcessar();

        QCOMPARE(sent().first(), companyCodesSql(otherGroup));
        QCOMPARE(atFirstStatement.gaugePosition, 0);
        QCOMPARE(atFirstStatement.gaugeMaximum, 2);
        // The log holds the second run alone; its end line comes after the box is closed.
        const QStringList statements = statementsOf(QStringLiteral("401"), {QStringLiteral("400")});
        // ... and the statement is in the log before it goes out.
        QCOMPARE(atFirstStatement.log.size(), 3);
        QVERIFY(atFirstStatement.log[0].startsWith(QLatin1String("--- INICIO --- ")));
        QCOMPARE(atFirstStatement.log.mid(1), logged({statements.first()}));
        QCOMPARE(atBox.log.size(), 1 + 2 * 98 + 2);
        QVERIFY(!atBox.log.last().startsWith(QLatin1String("--- FIM --- ")));
        const QStringList log = logLines();
        QCOMPARE(log.size(), 1 + 2 * 98 + 2 + 1);
        QCOMPARE(log.mid(0, log.size() - 1), atBox.log);
        QVERIFY(log.last().startsWith(QLatin1String("--- FIM --- ")));
        QCOMPARE(atBox.gaugePosition, 2);
        QCOMPARE(taxpayersLeft(*m_db), (QStringList{"1:100", "1:300", "1:401", "2:205"}));
    }

    // The start and end lines take their own moments, with the workstation's separators.
    void startAndEndMoments() {
        QVERIFY(openWindow({groupOfTwo}));
        QVERIFY(selectGroup(window(), otherGroup));
        QList<QDateTime> moments{QDateTime(QDate(2024, 2, 9), QTime(9, 5, 3)),
                                 QDateTime(QDate(2024, 2, 9), QTime(13, 6, 10))};
        int readings = 0;
        MergeClock clock{[&] { return moments.value(readings++); }, QStringLiteral("."), QStringLiteral("-")};
        int readingsAtBox = -1;
        boxes().setOnShow([&](const MessageRecord&) { readingsAtBox = readings; });
        runWithClock(clock);

        QCOMPARE(readingsAtBox, 1);
        QCOMPARE(logLines().first(), QStringLiteral("--- INICIO --- 09.02.2024 09-05-03"));
        QCOMPARE(logLines().last(), QStringLiteral("--- FIM --- 09.02.2024 13-06-10"));
    }

    void missingCode_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<bool>("noPrincipalRow");

        QTest::newRow("member without code")
            << nullableCodes + taxpayer(1, "100", group, "ANA") + taxpayer(1, QString(), group, "BETO") << false;
        QTest::newRow("member with empty code")
            << taxpayer(1, "100", group, "ANA") + taxpayer(1, "", group, "BETO") << false;
        QTest::newRow("principal with empty code")
            << taxpayer(1, "", group, "ANA") + taxpayer(1, "205", group, "BETO") << false;
        QTest::newRow("principal without code")
            << nullableCodes + taxpayer(1, QString(), group, "ANA") + taxpayer(1, "205", group, "BETO") << false;
        QTest::newRow("principal without code, member empty")
            << nullableCodes + taxpayer(1, QString(), group, "ANA") + taxpayer(1, "", group, "BETO") << false;
        // The good member comes first: the whole list is checked before anything is sent.
        QTest::newRow("last member without code")
            << nullableCodes + taxpayer(1, "100", group, "ANA") + taxpayer(1, "205", group, "BETO") +
                   taxpayer(1, QString(), group, "CARLA")
            << false;
        QTest::newRow("principal list without a current row")
            << taxpayer(1, "100", group, "ANA") + taxpayer(1, "205", group, "BETO") << true;
    }
    void missingCode() {
        QFETCH(QString, script);
        QFETCH(bool, noPrincipalRow);
        QVERIFY(openWindow({script + "SET GENERATOR GEN_GR_CONTRIBUINTES TO 3;"}));
        QVERIFY(selectGroup(window(), group));
        if (noPrincipalRow)
            window().browser().cds2().close();
        const QStringList before = dumpDatabase(*m_db);
        sent().clear();

        Moment atBox;
        boxes().setOnShow([&](const MessageRecord&) { atBox = moment(); });
        clickProcessar();

        QCOMPARE(boxes().messages().size(), 1);
        QCOMPARE(boxes().messages()[0].kind, MessageKind::Error);
        QCOMPARE(boxes().messages()[0].text,
                 QStringLiteral("Erro na Geração.\rErro: Contribuinte sem código: nenhuma alteração foi feita."));
        QCOMPARE(atBox.sentSoFar, 0);
        QVERIFY(!atBox.inTransaction);
        QVERIFY(atBox.log.isEmpty());
        QVERIFY(logLines().isEmpty());
        checkIdleAfterRun();
        QCOMPARE(dumpDatabase(*m_db), before);
    }

    void codeWithAQuote() {
        const QString quoted = QStringLiteral("O'1");
        const ReferenceFixture fixture = referenceFixture(principal, {quoted});
        QVERIFY(openWindow({taxpayer(1, principal, group, "ANA") + taxpayer(1, quoted, group, "BETO") + fixture.sql}));
        QVERIFY(selectGroup(window(), group));
        clickProcessar();

        QCOMPARE(boxes().messages().size(), 1);
        QCOMPARE(boxes().messages()[0].text, QStringLiteral("Fim do Processo."));
        QVERIFY(logLines()[1].endsWith(QLatin1String("= 'O''1'")));
        const auto [actual, expected] = referenceStates(*m_db, fixture.references);
        QCOMPARE(actual, expected);
        QCOMPARE(taxpayersLeft(*m_db), QStringList{"1:100"});
    }

    void transactionOpenAtTheClick_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("fails");
        QTest::newRow("run succeeds") << "" << false;
        QTest::newRow("run fails") << dropLastColumn << true;
    }
    // A transaction already open on the connection is the run's: it ends with the run.
    void transactionOpenAtTheClick() {
        QFETCH(QString, change);
        QFETCH(bool, fails);
        QStringList scripts{groupOfThree + "INSERT INTO GR_CAD_EMPRESA (COD_EMP, NOME_EMP) VALUES (1, 'PREFEITURA');"};
        if (!change.isEmpty())
            scripts << change;
        QVERIFY(openWindow(scripts));
        QVERIFY(selectGroup(window(), group));
        window().Conexao().startTransaction();
        window().Conexao().execute(QStringLiteral("UPDATE GR_CAD_EMPRESA SET NOME_EMP = 'ALTERADA' WHERE COD_EMP = 1"));

        clickProcessar();

        QCOMPARE(boxes().messages().size(), 1);
        QCOMPARE(boxes().messages()[0].kind, fails ? MessageKind::Error : MessageKind::Information);
        checkIdleAfterRun();
        QCOMPARE(m_db->queryColumn(QStringLiteral("SELECT NOME_EMP FROM GR_CAD_EMPRESA")),
                 QStringList{fails ? "PREFEITURA" : "ALTERADA"});
        QCOMPARE(taxpayersLeft(*m_db).size(), fails ? 5 : 3);
    }

    // The transaction cannot even start: the one box, nothing to roll back, and the lists that
    // cannot be reloaded stay closed.
    void transactionCannotStart() {
        QVERIFY(openWindow({groupOfThree}));
        QVERIFY(selectGroup(window(), group));
        window().Conexao().close();
        QVERIFY(breakSettings());
        const QStringList before = dumpDatabase(*m_db);

        clickProcessar();

        QCOMPARE(boxes().messages().size(), 1);
        QCOMPARE(boxes().messages()[0].kind, MessageKind::Error);
        const QString text = boxes().messages()[0].text;
        QVERIFY2(text.startsWith(failureText(QString())) && text.contains(QLatin1String("/nonexistent-uc-merge/")),
                 qPrintable(text));
        QVERIFY(logLines().isEmpty());
        checkIdleAfterRun();
        QVERIFY(!window().browser().cds1().active());
        QCOMPARE(dumpDatabase(*m_db), before);
    }

    // The connection is lost while the failure box is open: the rollback and the reloads fail
    // too, and the operator still sees only the run's error.
    void connectionLostOnTheFailurePath() {
        QVERIFY(openWindow({groupOfThree, dropLastColumn}));
        QVERIFY(selectGroup(window(), group));
        const QStringList before = dumpDatabase(*m_db);
        const QString id = attachmentId(window().Conexao());
        bool broken = false;
        bool killed = false;
        boxes().setOnShow([&](const MessageRecord&) {
            if (broken)
                return;
            broken = breakSettings();
            killed = killAttachment(*m_db, id);
        });

        clickProcessar();

        QVERIFY(broken);
        QVERIFY(killed);
        QCOMPARE(boxes().messages().size(), 1);
        QVERIFY(boxes().messages()[0].text.startsWith(failureText(QString())));
        checkIdleAfterRun();
        QVERIFY(!window().browser().cds1().active());
        QCOMPARE(dumpDatabase(*m_db), before);
    }

    // After the commit the merge stands: a reload that fails is an ordinary error of the click.
    void reloadFailsAfterTheCommit() {
        QVERIFY(openWindow({groupOfThree}));
        QVERIFY(selectGroup(window(), group));
        const QString id = attachmentId(window().Conexao());
        bool killed = false;
        boxes().setOnShow([&](const MessageRecord& box) {
            if (box.kind == MessageKind::Information)
                killed = killAttachment(*m_db, id);
        });

        clickProcessar();

        QVERIFY(killed);
        QCOMPARE(boxes().messages().size(), 2);
        QCOMPARE(boxes().messages()[0].text, QStringLiteral("Fim do Processo."));
        const MessageRecord& second = boxes().messages()[1];
        QCOMPARE(second.kind, MessageKind::Error);
        QCOMPARE(second.title, MessageBoxes::applicationTitle());
        QVERIFY2(!second.text.isEmpty() && !second.text.startsWith(QLatin1String("Erro na Geração.")),
                 qPrintable(second.text));
        QVERIFY(logLines().last().startsWith(QLatin1String("--- FIM --- ")));
        checkIdleAfterRun();
        QCOMPARE(taxpayersLeft(*m_db), (QStringList{"1:100", "1:300", "2:205"}));
    }
};

QTEST_MAIN(TestMergeRun)
#include "tst_mergerun.moc"
