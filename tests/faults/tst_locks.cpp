// Another transaction holds a lock on a row that the merge must change. The merge waits for it;
// when that transaction commits, the merge fails with the update conflict and none of it stays;
// when it rolls back, the merge goes on and completes.

#include "ErrorOf.h"
#include "ScratchDatabase.h"
#include "WindowFixture.h"
#include "db/Connection.h"
#include "merge/RepointStatements.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

using namespace uc;
using namespace uc::test;

namespace {

const QString group = QStringLiteral("11.111.111/0001-11");

const QString installation =
    QStringLiteral(
        "INSERT INTO GR_CONTRIBUINTES (COD_EMP_CNT, COD_CNT, CNPJ_CNT, NOME_CNT) VALUES (1, '100', '%1', 'ANA');\n"
        "INSERT INTO GR_CONTRIBUINTES (COD_EMP_CNT, COD_CNT, CNPJ_CNT, NOME_CNT) VALUES (1, '205', '%1', 'BETO');\n"
        "INSERT INTO GR_CONTRIBUINTES (COD_EMP_CNT, COD_CNT, CNPJ_CNT, NOME_CNT) VALUES (1, '300', '22', 'CARLA');\n"
        "INSERT INTO AG_AGENDAPGTO (ID, COD_EMP_APG, COD_CNT_APG) VALUES (1, 1, '205');\n"
        "INSERT INTO LI_NOTAS (ID, COD_EMP_NTS, COD_CNTP_NTS, COD_CNTT_NTS) VALUES (1, 1, '205', '300');\n"
        "INSERT INTO CM_TERRENOS (ID, COD_EMP_TCM, COD_CNTR_TCM) VALUES (1, 1, '205');\n"
        "SET GENERATOR GEN_GR_CONTRIBUINTES TO 300;\n")
        .arg(group);

// How long the other transaction keeps its lock once the merge is waiting on it.
constexpr int holdMs = 600;

} // namespace

class TestLocks : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setApplicationName(QStringLiteral("unifica-contribuintes")); }

    void lockedRow_data() {
        QTest::addColumn<QString>("lock");    // run by the other transaction before the click
        QTest::addColumn<QString>("restore"); // undoes its committed change
        QTest::addColumn<QString>("waitsOn"); // start of the merge statement that meets the lock
        QTest::addColumn<bool>("holderCommits");

        const QString reference = QStringLiteral("UPDATE LI_NOTAS SET COD_CNTT_NTS = '999' WHERE ID = 1");
        const QString referenceBack = QStringLiteral("UPDATE LI_NOTAS SET COD_CNTT_NTS = '300' WHERE ID = 1");
        const QString taxpayer = QStringLiteral("UPDATE GR_CONTRIBUINTES SET NOME_CNT = 'BETO ALTERADO' "
                                                "WHERE COD_EMP_CNT = 1 AND COD_CNT = '205'");
        const QString taxpayerBack = QStringLiteral("UPDATE GR_CONTRIBUINTES SET NOME_CNT = 'BETO' "
                                                    "WHERE COD_EMP_CNT = 1 AND COD_CNT = '205'");
        QTest::newRow("reference row, other commits")
            << reference << referenceBack << " UPDATE LI_NOTAS SET COD_CNTP_NTS" << true;
        QTest::newRow("reference row, other rolls back")
            << reference << referenceBack << " UPDATE LI_NOTAS SET COD_CNTP_NTS" << false;
        QTest::newRow("duplicate's own row, other commits")
            << taxpayer << taxpayerBack << "DELETE FROM GR_CONTRIBUINTES" << true;
        QTest::newRow("duplicate's own row, other rolls back")
            << taxpayer << taxpayerBack << "DELETE FROM GR_CONTRIBUINTES" << false;
    }
    void lockedRow() {
        QFETCH(QString, lock);
        QFETCH(QString, restore);
        QFETCH(QString, waitsOn);
        QFETCH(bool, holderCommits);
        ScratchDatabase db;
        QVERIFY(db.install(installation));
        const QStringList before = dumpDatabase(db);

        ShownWindow w(db.folder());
        QVERIFY2(w.boxes().messages().isEmpty(), qPrintable(w.describeBoxes()));
        QVERIFY(selectGroup(*w, group));
        // What the run sends: the question for the company of the taxpayers, then the merge.
        const QStringList statements =
            QStringList{companyCodesSql(group)} + mergeStatements(QStringLiteral("100"), QStringLiteral("205"));
        qsizetype waiting = -1;
        for (qsizetype i = 0; i < statements.size() && waiting < 0; ++i) {
            if (statements[i].startsWith(waitsOn))
                waiting = i;
        }
        QVERIFY(waiting >= 0);

        auto holder = db.connect();
        QVERIFY(holder);
        holder->startTransaction();
        holder->execute(lock);

        // Statements of the run sent so far, counted as each goes out.
        std::atomic<int> sent{0};
        w.setBeforeStatement([&](const QString&) { ++sent; });
        // Ends the other transaction once the merge has sent the statement that meets the lock and
        // has stayed on it a while; gives up after a long time so that a merge that never waits
        // cannot hang the test.
        std::atomic<int> sentWhileHeld{-1};
        std::atomic<int> sentAtRelease{-1};
        std::optional<Error> holderError;
        std::thread other([&] {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            while (sent.load() < waiting + 1 && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            sentWhileHeld = sent.load();
            std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
            sentAtRelease = sent.load();
            holderError = errorOf([&] {
                if (holderCommits)
                    holder->commit();
                else
                    holder->rollback();
            });
        });
        const qsizetype firstSent = w.sent().size();
        QElapsedTimer clock;
        clock.start();
        button(*w, "btnProcessa")->click();
        const qint64 elapsed = clock.elapsed();
        other.join();

        QVERIFY2(!holderError, holderError ? qPrintable(holderError->message()) : "");
        // The merge stood still on that statement for as long as the lock was held.
        QCOMPARE(sentWhileHeld.load(), int(waiting) + 1);
        QCOMPARE(sentAtRelease.load(), int(waiting) + 1);
        QVERIFY(elapsed >= holdMs);
        QVERIFY2(w.boxes().messages().size() == 1, qPrintable(w.describeBoxes()));
        const MessageRecord box = w.boxes().messages()[0];
        if (holderCommits) {
            QCOMPARE(box.kind, MessageKind::Error);
            QVERIFY2(box.text.startsWith(QStringLiteral("Erro na Geração.\rErro: ")) &&
                         box.text.contains(QLatin1String("update conflicts with concurrent update")),
                     qPrintable(box.text));
            // Nothing of the merge went out after the statement that met the lock: the reload of
            // the lists came next.
            QCOMPARE(w.sent().mid(firstSent, waiting + 1), statements.mid(0, waiting + 1));
            QVERIFY(w.sent().value(firstSent + waiting + 1).startsWith(QLatin1String("SELECT CNT.CNPJ_CNT NOME")));
            QVERIFY(!w->Conexao().inTransaction());
            // The other transaction's change stands; taken back, the database is as it was.
            QVERIFY(dumpDatabase(db) != before);
            QVERIFY(db.runSql(restore + QLatin1Char(';')));
            QCOMPARE(dumpDatabase(db), before);
        } else {
            QCOMPARE(box.kind, MessageKind::Information);
            QCOMPARE(box.text, QStringLiteral("Fim do Processo."));
            QCOMPARE(db.queryColumn(QStringLiteral("SELECT COD_CNT FROM GR_CONTRIBUINTES ORDER BY 1")),
                     (QStringList{"100", "300"}));
            QCOMPARE(db.queryColumn(QStringLiteral("SELECT COD_CNTP_NTS || '/' || COD_CNTT_NTS FROM LI_NOTAS")),
                     QStringList{"100/300"});
            QCOMPARE(db.queryColumn(QStringLiteral("SELECT COD_CNT_APG FROM AG_AGENDAPGTO")), QStringList{"100"});
            QCOMPARE(db.queryColumn(QStringLiteral("SELECT COD_CNTR_TCM FROM CM_TERRENOS")), QStringList{"100"});
        }
        QVERIFY(sairEndsTheProgram(*w));
    }
};

QTEST_MAIN(TestLocks)
#include "tst_locks.moc"
