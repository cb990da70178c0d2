// The connection is lost in the middle of a merge: the server ends the window's attachment, or the
// server process dies and comes back. The operator sees the run's one error box, nothing of the
// run reaches the database, the connection knows it is gone and attaches afresh through the whole
// set-up at its next use, and the window goes on working until "&Sair".

#include "ScratchDatabase.h"
#include "ServerControl.h"
#include "WindowFixture.h"
#include "browser/List.h"
#include "db/Connection.h"
#include "db/TextLiteral.h"
#include "merge/RepointStatements.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTableView>
#include <QTest>

using namespace uc;
using namespace uc::test;

namespace {

const QString group = QStringLiteral("11.111.111/0001-11");
const QString otherGroup = QStringLiteral("22.222.222/0001-22");

QString taxpayer(const QString& code, const QString& cnpj, const QString& name) {
    return QStringLiteral("INSERT INTO GR_CONTRIBUINTES (COD_EMP_CNT, COD_CNT, CNPJ_CNT, NOME_CNT) "
                          "VALUES (1, %1, '%2', '%3');\n")
        .arg(db::textLiteral(code), cnpj, name);
}

// The principal 100 and two duplicates, each referred to from a few tables; another group of two;
// the generator at the highest code.
const QString installation =
    taxpayer("100", group, "ANA") + taxpayer("205", group, "BETO") + taxpayer("907", group, "CARLA") +
    taxpayer("300", otherGroup, "DORA") + taxpayer("301", otherGroup, "EDU") +
    QStringLiteral("INSERT INTO AG_AGENDAPGTO (ID, COD_EMP_APG, COD_CNT_APG) VALUES (1, 1, '205');\n"
                   "INSERT INTO AG_AGENDAPGTO (ID, COD_EMP_APG, COD_CNT_APG) VALUES (2, 1, '907');\n"
                   "INSERT INTO LI_NOTAS (ID, COD_EMP_NTS, COD_CNTP_NTS, COD_CNTT_NTS) VALUES (1, 1, '907', '205');\n"
                   "INSERT INTO CM_TERRENOS (ID, COD_EMP_TCM, COD_CNT_TCM, COD_CNTR_TCM) VALUES (1, 1, '205', '907');\n"
                   "INSERT INTO GR_CAD_EMPRESA (COD_EMP, NOME_EMP, CODCNTPREF_EMP) VALUES (1, 'PREFEITURA', '907');\n"
                   "SET GENERATOR GEN_GR_CONTRIBUINTES TO 907;\n");

const QString failurePrefix = QStringLiteral("Erro na Geração.\rErro: ");

// The window's state while the run's error box is open.
struct AtTheBox {
    bool seen = false;
    bool connected = true;
    bool inTransaction = true;
    QString lastStatement;
    QStringList sent; // what the window had sent by then: the run's statements, no reload yet
};

AtTheBox atTheBox(ShownWindow& w) {
    const QStringList log = logLines(*w);
    return {true, w->Conexao().connected(), w->Conexao().inTransaction(), log.value(log.size() - 2), w.sent()};
}

} // namespace

class TestLostConnection : public QObject {
    Q_OBJECT

    // The statement line the log ends with when the statement at that index of sent() failed: the
    // query for the highest code is not logged, nor the question for the company of the
    // taxpayers, which comes before the log is started (this window's log is still empty then).
    // Past the last statement, the commit failed: the generator statement is the last line.
    static QString lastLogged(const QStringList& sent, qsizetype failed) {
        if (failed == sent.size())
            return sent.last();
        if (sent.at(failed) == companyCodesSql(group))
            return QString();
        return sent.at(failed) == maxCodeSql() ? sent.at(failed - 1) : sent.at(failed);
    }

    // The operator clicks "Processar" with the kill armed; atBox is filled while the run's box is
    // open. The run ends with that one error box. The statement after its first `after` met the
    // lost connection: it is the last of the log, and the connection already knew it was gone
    // when the box came up.
    static void processarFailsOnTheLostConnection(ShownWindow& w, int after, const bool& killed,
                                                  const AtTheBox& atBox) {
        const qsizetype sentBefore = w.sent().size();
        button(*w, "btnProcessa")->click();

        QVERIFY(killed);
        QVERIFY2(w.boxes().messages().size() == 1, qPrintable(w.describeBoxes()));
        const MessageRecord box = w.boxes().messages()[0];
        QCOMPARE(box.kind, MessageKind::Error);
        QVERIFY2(box.text.startsWith(failurePrefix) && box.text.size() > failurePrefix.size(), qPrintable(box.text));
        QVERIFY(atBox.seen);
        QCOMPARE(atBox.lastStatement, lastLogged(atBox.sent, sentBefore + after));
        QVERIFY(!atBox.connected);
        QVERIFY(!atBox.inTransaction);
    }

    // The operator merges the group now that the server answers again: it works, in full.
    void mergeWorksAgain(ShownWindow& w, const ScratchDatabase& db) {
        QVERIFY(selectGroup(*w, group));
        w.boxes().clear();
        button(*w, "btnProcessa")->click();
        QVERIFY2(w.boxes().messages().size() == 1, qPrintable(w.describeBoxes()));
        QCOMPARE(w.boxes().messages()[0].text, QStringLiteral("Fim do Processo."));
        QCOMPARE(db.queryColumn(QStringLiteral("SELECT COD_CNT FROM GR_CONTRIBUINTES ORDER BY 1")),
                 (QStringList{"100", "300", "301"}));
        QCOMPARE(db.queryColumn(QStringLiteral("SELECT COD_CNT_APG FROM AG_AGENDAPGTO ORDER BY ID")),
                 (QStringList{"100", "100"}));
        QCOMPARE(db.queryColumn(QStringLiteral("SELECT GEN_ID(GEN_GR_CONTRIBUINTES, 0) FROM RDB$DATABASE")),
                 QStringList{"301"});
    }

    // Kills the window's attachment (or the server) just before the statement after the first
    // `after` statements of the run goes out, or, when they are all the run's statements, just
    // before the commit.
    void arm(ShownWindow& w, int after, const std::function<bool()>& kill, bool* killed) {
        const qsizetype start = w.sent().size();
        w.setBeforeStatement([&w, start, after, kill, killed](const QString&) {
            if (!*killed && w.sent().size() - start == after + 1)
                *killed = kill();
        });
        w.setBeforeCommit([&w, start, after, kill, killed] {
            if (!*killed && w.sent().size() - start == after)
                *killed = kill();
        });
    }

    // The run first asks for the company of the taxpayers; the merge's statements come after.
    static constexpr int check = 1;

    static void whenToKill() {
        QTest::addColumn<int>("after");
        QTest::newRow("before the question for the company") << 0;
        QTest::newRow("after the first statement") << check + 1;
        QTest::newRow("before the first member's delete") << check + 97;
        QTest::newRow("between the two members") << check + 98;
        QTest::newRow("in the middle of the second member") << check + 150;
        QTest::newRow("before the query for the highest code") << check + 196;
        QTest::newRow("before the generator statement") << check + 197;
        QTest::newRow("after the generator statement, before the commit") << check + 198;
    }

private slots:
    void initTestCase() { QApplication::setApplicationName(QStringLiteral("unifica-contribuintes")); }

    void attachmentKilled_data() { whenToKill(); }
    void attachmentKilled() {
        QFETCH(int, after);
        ScratchDatabase db;
        QVERIFY(db.install(installation));
        const QStringList before = dumpDatabase(db);

        ShownWindow w(db.folder());
        QVERIFY2(w.boxes().messages().isEmpty(), qPrintable(w.describeBoxes()));
        QCOMPARE(w.setups(), 1);
        QVERIFY(selectGroup(*w, group));
        const QString id = attachmentId(w->Conexao());
        bool killed = false;
        arm(
            w, after, [&] { return killAttachment(db, id); }, &killed);
        AtTheBox atBox;
        w.boxes().setOnShow([&](const MessageRecord&) { atBox = atTheBox(w); });

        processarFailsOnTheLostConnection(w, after, killed, atBox);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(dumpDatabase(db), before);

        // The reload after the failure attached afresh, through the whole set-up, and shows the
        // group that was not merged.
        QCOMPARE(w.setups(), 2);
        QVERIFY(w->Conexao().connected());
        QVERIFY(attachmentId(w->Conexao()) != id);
        QVERIFY(button(*w, "btnProcessa")->isEnabled());
        QVERIFY(gridColumn(grid(*w, "DBGrid1"), 0).contains(group));

        // Typing in the search box works on the new attachment.
        w.setBeforeStatement({});
        w.setBeforeCommit({});
        w->findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText(QStringLiteral("22"));
        QCOMPARE(gridColumn(grid(*w, "DBGrid1"), 0), QStringList{otherGroup});
        QCOMPARE(gridColumn(grid(*w, "DBGrid2"), 2), (QStringList{"DORA", "EDU"}));
        w->findChild<QLineEdit*>(QStringLiteral("Edit1"))->clear();
        QCOMPARE(w.boxes().messages().size(), 1);

        mergeWorksAgain(w, db);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(sairEndsTheProgram(*w));
    }

    void serverKilled_data() {
        QTest::addColumn<int>("after");
        QTest::addColumn<bool>("backDuringTheBox");
        QTest::newRow("after the first statement, back while the box is open") << check + 1 << true;
        QTest::newRow("between the two members, back while the box is open") << check + 98 << true;
        QTest::newRow("before the generator statement, back while the box is open") << check + 197 << true;
        QTest::newRow("after the generator statement, before the commit, back while the box is open")
            << check + 198 << true;
        QTest::newRow("in the middle of the second member, back after the run") << check + 150 << false;
    }
    void serverKilled() {
        QFETCH(int, after);
        QFETCH(bool, backDuringTheBox);
        OwnServer server;
        QVERIFY(server.ok());
        ScratchDatabase db{server.fbServer()};
        QVERIFY(db.install(installation));
        const QStringList before = dumpDatabase(db);

        ShownWindow w(db.folder());
        QVERIFY2(w.boxes().messages().isEmpty(), qPrintable(w.describeBoxes()));
        QVERIFY(selectGroup(*w, group));
        bool killed = false;
        arm(
            w, after, [&] { return server.kill(); }, &killed);
        AtTheBox atBox;
        bool restarted = false;
        w.boxes().setOnShow([&](const MessageRecord&) {
            atBox = atTheBox(w);
            if (backDuringTheBox)
                restarted = server.start();
        });

        processarFailsOnTheLostConnection(w, after, killed, atBox);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(button(*w, "btnProcessa")->isEnabled());
        w.setBeforeStatement({});
        w.setBeforeCommit({});

        if (backDuringTheBox) {
            QVERIFY(restarted);
            // The reload found the server back and attached again through the whole set-up.
            QCOMPARE(w.setups(), 2);
            QVERIFY(w->Conexao().connected());
            QVERIFY(gridColumn(grid(*w, "DBGrid1"), 0).contains(group));
            QCOMPARE(dumpDatabase(db), before);
            mergeWorksAgain(w, db);
            if (QTest::currentTestFailed())
                return;
        } else {
            // The reload could not reach the server: the group list stays closed and empty, the
            // two taxpayer lists keep the group as it was before the run, and none of that is
            // shown a second time.
            QVERIFY(!w->Conexao().connected());
            QCOMPARE(grid(*w, "DBGrid1")->model()->rowCount(), 0);
            QCOMPARE(gridColumn(grid(*w, "DBGrid3"), 2), (QStringList{"ANA", "BETO", "CARLA"}));
            QCOMPARE(gridColumn(grid(*w, "DBGrid2"), 2), (QStringList{"ANA", "BETO", "CARLA"}));
            // Typing while the group list is closed reaches nothing.
            w->findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText(QStringLiteral("1"));
            w->findChild<QLineEdit*>(QStringLiteral("Edit1"))->clear();
            QCOMPARE(w.boxes().messages().size(), 1);

            // "Processar" while the server is still down: one clean error box, nothing else.
            w.boxes().clear();
            button(*w, "btnProcessa")->click();
            QVERIFY2(w.boxes().messages().size() == 1, qPrintable(w.describeBoxes()));
            QCOMPARE(w.boxes().messages()[0].kind, MessageKind::Error);
            QVERIFY(w.boxes().messages()[0].text.startsWith(failurePrefix));
            QVERIFY(!w->Conexao().connected());
            QVERIFY(button(*w, "btnProcessa")->isEnabled());

            // The group the lists still hold is merged once the server is back, attaching again
            // through the whole set-up.
            QVERIFY(server.start());
            QCOMPARE(dumpDatabase(db), before);
            const int setups = w.setups();
            w.boxes().clear();
            button(*w, "btnProcessa")->click();
            QVERIFY2(w.boxes().messages().size() == 1, qPrintable(w.describeBoxes()));
            QCOMPARE(w.boxes().messages()[0].text, QStringLiteral("Fim do Processo."));
            QCOMPARE(w.setups(), setups + 1);
            QCOMPARE(db.queryColumn(QStringLiteral("SELECT COD_CNT FROM GR_CONTRIBUINTES ORDER BY 1")),
                     (QStringList{"100", "300", "301"}));
            QCOMPARE(gridColumn(grid(*w, "DBGrid1"), 0), QStringList{otherGroup});
        }
        QVERIFY(sairEndsTheProgram(*w));
    }
};

QTEST_MAIN(TestLostConnection)
#include "tst_lostconnection.moc"
