// The settings point at a port where no Firebird server answers: a port that accepts connections
// and never says a word (a wrong port that some other program holds, a firewall, a server that
// hangs), or a closed port. The start-up gives up on each of its two attaches in a bounded time,
// shows one error box that names the database location, and the window is then the one of any
// failed start-up, which "&Sair" ends.

#include "ScratchDatabase.h"
#include "ServerControl.h"
#include "WindowFixture.h"
#include "db/Connection.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTest>

using namespace uc;
using namespace uc::test;

class TestSilentServer : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setApplicationName(QStringLiteral("unifica-contribuintes")); }

    void startUp_data() {
        QTest::addColumn<bool>("silent");
        QTest::addColumn<QString>("clientText"); // what the client says, after the location
        QTest::newRow("port that accepts and never answers")
            << true
            << QStringLiteral("o servidor não respondeu em %1 segundos.").arg(db::Connection::kConnectTimeoutSeconds);
        QTest::newRow("closed port") << false << QStringLiteral("Unable to complete network request to host");
    }
    void startUp() {
        QFETCH(bool, silent);
        QFETCH(QString, clientText);
        ScratchDatabase db;
        SilentListener listener;
        QVERIFY(listener.ok());
        const int port = silent ? listener.port() : closedPort();
        QVERIFY(port > 0);
        QVERIFY(db.writeSettings(db.folder(), port));
        const QString location = QStringLiteral("localhost/%1:%2SGB_DADOS/QORDADOS.FDB").arg(port).arg(db.folder());

        QElapsedTimer startUp;
        startUp.start();
        ShownWindow w(db.folder());
        const qint64 waited = startUp.elapsed();
        qInfo("start-up took %lld ms", waited);

        QVERIFY(w->isVisible());
        QVERIFY2(w.boxes().messages().size() == 1, qPrintable(w.describeBoxes()));
        const MessageRecord box = w.boxes().messages()[0];
        QCOMPARE(box.kind, MessageKind::Error);
        QVERIFY2(box.text.startsWith(QStringLiteral("Não foi possível conectar ao banco de dados ") + location),
                 qPrintable(box.text));
        QVERIFY2(box.text.contains(clientText), qPrintable(box.text));
        if (silent) {
            // The probe and the main connection each waited for an answer (the text says so only
            // when the attach took the whole bound), and each gave up after the bound, with room
            // for a loaded machine, not after the client's default of minutes.
            QCOMPARE(listener.accepted(), 2);
            QVERIFY2(waited < 2 * 1000 * (db::Connection::kConnectTimeoutSeconds + 10),
                     qPrintable(QString::number(waited)));
        } else {
            QCOMPARE(listener.accepted(), 0);
        }

        // The window of a failed start-up.
        QCOMPARE(w->windowTitle(), QStringLiteral("FPrin"));
        QCOMPARE(w->findChild<QLabel*>(QStringLiteral("Label1"))->text(), QStringLiteral("CPF/CNPJ Repetidos"));
        for (const char* name : {"DBGrid1", "DBGrid2", "DBGrid3"})
            QCOMPARE(grid(*w, name)->model()->rowCount(), 0);
        QVERIFY(!w->Conexao().connected());
        QVERIFY(!w->ConAUX().connected());
        QCOMPARE(w.setups(), 1);
        w->findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText(QStringLiteral("1"));
        QCOMPARE(w.boxes().messages().size(), 1);
        QVERIFY(sairEndsTheProgram(*w));
    }
};

QTEST_MAIN(TestSilentServer)
#include "tst_silentserver.moc"
