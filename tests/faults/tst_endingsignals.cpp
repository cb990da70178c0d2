// The program, run as its own process, is sent SIGTERM, SIGINT or SIGHUP while it waits for the
// operator, during its show step, in the middle of a merge and while a message box is open. It
// ends within 2 seconds of the signal with 128 + the signal's number, shows nothing more, and a
// merge in progress leaves nothing behind, as a fresh connection sees. Only a show step stuck in an
// attach to a server that never answers, which nothing can cancel, is ended without waiting for it.

#include <QTest>

#ifdef _WIN32
// Windows sends no such signals to a window program.
class TestEndingSignals : public QObject {
    Q_OBJECT
private slots:
    void posixSignals() { QSKIP("POSIX signals only"); }
};
#else

#include "ProgramProcess.h"
#include "ScratchDatabase.h"
#include "ServerControl.h"
#include "WindowFixture.h"
#include "app/TFPrin.h"
#include "common/Error.h"
#include "db/Connection.h"
#include "db/RowSet.h"
#include "settings/SystemHost.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLayout>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <csignal>
#include <memory>

using namespace uc;
using namespace uc::test;

namespace {

const QString group = QStringLiteral("11.111.111/0001-11");

// The principal 100 and its duplicate 205, referred to from a few tables.
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

// Another transaction changes (to the same value) a row that one of the merge's statements must
// change too, well after its first statements: that statement waits for it.
const QString lock = QStringLiteral("UPDATE LI_NOTAS SET COD_CNTT_NTS = COD_CNTT_NTS WHERE ID = 1");
const QString waitingStatement = QStringLiteral("UPDATE LI_NOTAS SET COD_CNTP_NTS");

const QString forcedEnd = QStringLiteral("unifica-contribuintes: encerrado sem esperar mais");

enum class Moment {
    Idle,            // the window waits for the operator
    ShowStep,        // the start-up's attach waits for a server that never answers
    StartUpBox,      // the error box of a failed start-up is open
    MergeWaiting,    // a merge statement waits for a row another transaction holds
    MergeBox,        // the merge's error box is open, its transaction not yet rolled back
    MergeServerGone, // a merge statement waits and the server stops answering
};

// Where "Processar" is on the program's screen: the window is centred on it (see tst_mainwindow).
QPoint processarOnScreen() {
    SystemHost host(QStringLiteral("/nonexistent-uc/"));
    TFPrin window(host);
    window.layout()->activate(); // places the panels as showing the window would
    const QAbstractButton* processar = button(window, "btnProcessa");
    const QPoint inWindow = processar->mapTo(&window, processar->rect().center());
    return QPoint((kScreenWidth - window.width()) / 2, (kScreenHeight - window.height()) / 2) + inWindow;
}

// Waits until the program's connection has a statement running whose text contains that part.
bool statementRunning(const ScratchDatabase& db, qint64 pid, const QString& part) {
    auto monitor = db.connect();
    if (!monitor)
        return false;
    const QString sql = QStringLiteral("SELECT S.MON$SQL_TEXT FROM MON$STATEMENTS S "
                                       "JOIN MON$ATTACHMENTS A ON A.MON$ATTACHMENT_ID = S.MON$ATTACHMENT_ID "
                                       "WHERE A.MON$REMOTE_PID = %1 AND S.MON$STATE = 1")
                            .arg(pid);
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 60000) {
        const db::RowSet rows = monitor->select(sql);
        for (qsizetype r = 0; r < rows.rowCount(); ++r) {
            if (rows.value(r, 0).contains(part))
                return true;
        }
        QThread::msleep(50);
    }
    return false;
}

} // namespace

Q_DECLARE_METATYPE(Moment)

class TestEndingSignals : public QObject {
    Q_OBJECT

    QTemporaryDir m_programDir;
    QString m_program; // the program folder, with a copy of the executable

private slots:
    void initTestCase() {
        // The program inherits what this process does with the signals: their default action.
        for (int number : {SIGTERM, SIGINT, SIGHUP})
            std::signal(number, SIG_DFL);
        QVERIFY(m_programDir.isValid());
        m_program = m_programDir.path() + QLatin1Char('/');
        QVERIFY(installProgram(m_program));
    }

    void endsWithinTwoSeconds_data() {
        QTest::addColumn<Moment>("moment");
        QTest::addColumn<int>("signal");
        QTest::newRow("waiting for the operator, SIGTERM") << Moment::Idle << SIGTERM;
        QTest::newRow("waiting for the operator, SIGINT") << Moment::Idle << SIGINT;
        QTest::newRow("waiting for the operator, SIGHUP") << Moment::Idle << SIGHUP;
        QTest::newRow("show step, server never answers, SIGTERM") << Moment::ShowStep << SIGTERM;
        QTest::newRow("start-up error box, SIGHUP") << Moment::StartUpBox << SIGHUP;
        QTest::newRow("merge waiting on a lock, SIGTERM") << Moment::MergeWaiting << SIGTERM;
        QTest::newRow("merge waiting on a lock, SIGINT") << Moment::MergeWaiting << SIGINT;
        QTest::newRow("merge's error box, transaction open, SIGTERM") << Moment::MergeBox << SIGTERM;
        QTest::newRow("merge waiting, server stops answering, SIGTERM") << Moment::MergeServerGone << SIGTERM;
    }
    void endsWithinTwoSeconds() {
        QFETCH(Moment, moment);
        QFETCH(int, signal);
        const bool merging =
            moment == Moment::MergeWaiting || moment == Moment::MergeBox || moment == Moment::MergeServerGone;

        std::unique_ptr<OwnServer> ownServer;
        if (moment == Moment::MergeServerGone) {
            ownServer = std::make_unique<OwnServer>();
            QVERIFY(ownServer->ok());
        }
        ScratchDatabase db{ownServer ? ownServer->fbServer() : FbServer()};
        QVERIFY(db.runSql(installation));
        const QStringList before = dumpDatabase(db);
        SilentListener silent;
        QVERIFY(silent.ok());
        switch (moment) {
        case Moment::ShowStep:
            QVERIFY(db.writeSettings(m_program, silent.port()));
            break;
        case Moment::StartUpBox: // a port where nothing listens
            QVERIFY(db.writeSettings(m_program, closedPort()));
            break;
        default:
            QVERIFY(db.writeSettings(m_program));
            break;
        }
        std::unique_ptr<db::Connection> holder;
        if (merging) {
            holder = db.connect();
            QVERIFY(holder);
            holder->startTransaction();
            holder->execute(lock);
        }

        ProgramProcess program(m_program);
        QVERIFY(program.started());
        switch (moment) {
        case Moment::Idle:
            QVERIFY2(program.waitForTrace("pronto"), qPrintable(program.errorOutput()));
            break;
        case Moment::ShowStep: {
            QElapsedTimer waited;
            waited.start();
            while (silent.accepted() == 0 && waited.elapsed() < 60000 && program.started())
                QThread::msleep(20);
            QVERIFY2(silent.accepted() > 0, qPrintable(program.errorOutput()));
            break;
        }
        case Moment::StartUpBox:
            QVERIFY2(program.waitForTrace("caixa"), qPrintable(program.errorOutput()));
            break;
        case Moment::MergeWaiting:
        case Moment::MergeBox:
        case Moment::MergeServerGone:
            QVERIFY2(program.waitForTrace("pronto"), qPrintable(program.errorOutput()));
            QVERIFY(program.click(processarOnScreen()));
            QVERIFY2(statementRunning(db, program.pid(), waitingStatement), qPrintable(program.errorOutput()));
            break;
        }
        if (moment == Moment::MergeBox) {
            // The other transaction commits: the waiting statement fails on the conflict and the
            // run's error box opens, with the run's transaction still open behind it.
            holder->commit();
            QVERIFY2(program.waitForTrace("caixa"), qPrintable(program.errorOutput()));
        }
        if (moment == Moment::MergeServerGone)
            QVERIFY(ownServer->pause());

        const qint64 ms = program.endWith(signal);
        qInfo("ended %lld ms after the signal", ms);
        if (ownServer)
            QVERIFY(ownServer->resume());
        if (holder && holder->inTransaction())
            holder->rollback();

        QVERIFY2(ms >= 0, "the program did not end within 10 seconds");
        QVERIFY2(ms < 2000, qPrintable(QString::number(ms)));
        QVERIFY(program.exitedNormally());
        QCOMPARE(program.exitCode(), 128 + signal);
        // Nothing shown after the signal: no box opened, no window came up.
        QVERIFY2(!program.errorOutputAfterSignal().contains(QStringLiteral("unifica-contribuintes: caixa")),
                 qPrintable(program.errorOutput()));
        QVERIFY2(!program.errorOutputAfterSignal().contains(QStringLiteral("unifica-contribuintes: pronto")),
                 qPrintable(program.errorOutput()));
        // Only an attach that nothing can cancel is left behind by ending the process at once.
        QCOMPARE(program.errorOutputAfterSignal().contains(forcedEnd), moment == Moment::ShowStep);

        // A fresh connection sees the database as it was: nothing of the merge stayed.
        QCOMPARE(dumpDatabase(db), before);
    }
};

#endif

QTEST_MAIN(TestEndingSignals)
#include "tst_endingsignals.moc"
