// Bad installation settings through the whole start-up of the real window: whatever qor.ini holds
// (or fails to be), the program starts, shows one clear error, keeps its window usable and ends
// with "&Sair".

#include "CurrentFolder.h"
#include "ScratchDatabase.h"
#include "ServerControl.h"
#include "WindowFixture.h"
#include "db/Connection.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace uc;
using namespace uc::test;

namespace {

QByteArray randomBytes(int size, quint32 seed) {
    QRandomGenerator gen(seed);
    QByteArray out(size, Qt::Uninitialized);
    for (char& c : out)
        c = char(gen.bounded(256));
    return out;
}

// Server mode on the fixture's server, reaching the scratch database: %DB% is its installation
// folder, %PORT% the server's port.
QByteArray serverMode(const QByteArray& changes = {}) {
    return "[QOR]\r\nServidor=localhost\r\nSO_Servidor=LINUX\r\nPORTACON=%PORT%\r\n"
           "Caminho_Base_Dados=%DB%\r\nDiretorio_Servidor=%DB%\r\n" +
           changes;
}

enum class Settings { File, NoFile, Folder };

const QString taxpayers = QStringLiteral(
    "INSERT INTO GR_CONTRIBUINTES (COD_EMP_CNT, COD_CNT, CNPJ_CNT, NOME_CNT) VALUES (1, '1', '11', 'ANA');\n"
    "INSERT INTO GR_CONTRIBUINTES (COD_EMP_CNT, COD_CNT, CNPJ_CNT, NOME_CNT) VALUES (1, '2', '11', 'BIA');\n"
    "INSERT INTO GR_CAD_EMPRESA (COD_EMP, NOME_EMP) VALUES (1, 'PREFEITURA');\n");

} // namespace

Q_DECLARE_METATYPE(Settings)

class TestBadSettings : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setApplicationName(QStringLiteral("unifica-contribuintes")); }

    void startUp_data() {
        QTest::addColumn<Settings>("settings");
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<bool>("fails");
        QTest::addColumn<QString>("message"); // what the error box's text holds
        QTest::addColumn<QString>("reports"); // folder made sure of, under the current folder

        // Without usable settings the defaults apply: local mode, the database at
        // localhost/3050:SGB_DADOS\QORDADOS.FDB, the reports folder relative to the current one.
        QTest::newRow("no settings file") << Settings::NoFile << QByteArray() << true << ""
                                          << "Relatorios";
        QTest::newRow("folder named qor.ini") << Settings::Folder << QByteArray() << true << ""
                                              << "Relatorios";
        QTest::newRow("binary garbage") << Settings::File << randomBytes(64 * 1024, 11) << true << ""
                                        << "Relatorios";
        QTest::newRow("server that cannot be reached")
            << Settings::File
            << QByteArray("[QOR]\r\nServidor=servidor-inexistente.invalid\r\nSO_Servidor=LINUX\r\nPORTACON=%PORT%\r\n"
                          "Caminho_Base_Dados=%DB%\r\nDiretorio_Servidor=%DB%\r\n")
            << true << "servidor-inexistente.invalid"
            << "";
        QTest::newRow("wrong port") << Settings::File
                                    << QByteArray("[QOR]\r\nServidor=localhost\r\nSO_Servidor=LINUX\r\n"
                                                  "PORTACON=%CLOSED%\r\nCaminho_Base_Dados=%DB%\r\n"
                                                  "Diretorio_Servidor=%DB%\r\n")
                                    << true << "Unable to complete network request to host \"localhost\""
                                    << "";
        QTest::newRow("missing database file")
            << Settings::File
            << QByteArray("[QOR]\r\nServidor=localhost\r\nSO_Servidor=LINUX\r\nPORTACON=%PORT%\r\n"
                          "Caminho_Base_Dados=%DB%outra/\r\nDiretorio_Servidor=%DB%\r\n")
            << true << "%DB%outra/SGB_DADOS/QORDADOS.FDB"
            << "";
        QTest::newRow("client library that does not exist")
            << Settings::File << serverMode("CaminhoDLLCON=/nonexistent/\r\nDLLCON=libfbclient.so\r\n") << true
            << "Não foi possível carregar a biblioteca do cliente Firebird: /nonexistent/libfbclient.so"
            << "";
        QTest::newRow("reports folder that cannot be created")
            << Settings::File
            << QByteArray("[QOR]\r\nServidor=localhost\r\nSO_Servidor=LINUX\r\nPORTACON=%PORT%\r\n"
                          "Caminho_Base_Dados=%DB%\r\nDiretorio_Servidor=%DB%falta/\r\n")
            << true << "Não é possível criar o diretório: %DB%falta/Relatorios\\."
            << "";
        QTest::newRow("1 MiB line among good settings")
            << Settings::File << serverMode(";" + QByteArray(1 << 20, 'x') + "\r\nOutra=" + QByteArray(1 << 20, 'y'))
            << false << ""
            << "";
        QTest::newRow("1 MiB database folder")
            << Settings::File
            << QByteArray("[QOR]\r\nServidor=localhost\r\nSO_Servidor=LINUX\r\nPORTACON=%PORT%\r\n"
                          "Diretorio_Servidor=%DB%\r\nCaminho_Base_Dados=/") +
                   QByteArray(1 << 20, 'd') + "/\r\n"
            << true << "length exceeds predefined limit"
            << "";
        // A NUL byte would end the text handed to the client: the part before it names another
        // database (here the real one) or library than the settings do.
        QTest::newRow("NUL in the database folder")
            << Settings::File
            << QByteArray("[QOR]\r\nServidor=localhost\r\nSO_Servidor=LINUX\r\nPORTACON=%PORT%\r\n"
                          "Diretorio_Servidor=%DB%\r\nCaminho_Base_Dados=%DB%SGB_DADOS/QORDADOS.FDB") +
                   QByteArray(1, '\0') + "/outra/\r\n"
            << true << "%DB%SGB_DADOS/QORDADOS.FDB\\0/outra/SGB_DADOS/QORDADOS.FDB"
            << "";
        QTest::newRow("NUL in the client library folder")
            << Settings::File
            << serverMode("CaminhoDLLCON=" + QByteArray(uc::test::kClientLibrary) + QByteArray(1, '\0') +
                          "/\r\nDLLCON=fbclient.dll\r\n")
            << true << "libfbclient.so.2\\0/fbclient.dll"
            << "";
        QTest::newRow("garbage in the settings' values")
            << Settings::File
            << QByteArray("[QOR]\r\nServidor=local\x01host\r\nSO_Servidor=\xff\xfe\r\nPORTACON=3\x7f"
                          "0\r\nCaminho_Base_Dados=%DB%\x1b[2J\r\nDiretorio_Servidor=%DB%\r\n")
            << true << "local\x01host"
            << "";
    }
    void startUp() {
        QFETCH(Settings, settings);
        QFETCH(QByteArray, ini);
        QFETCH(bool, fails);
        QFETCH(QString, message);
        QFETCH(QString, reports);
        ScratchDatabase db;
        QVERIFY(db.runSql(taxpayers));
        QTemporaryDir programFolder;
        QTemporaryDir work;
        QVERIFY(programFolder.isValid() && work.isValid());
        const CurrentFolder current(work.path());
        const QString iniPath = programFolder.filePath(QStringLiteral("qor.ini"));
        const QByteArray dbFolder = db.folder().toLocal8Bit();
        const QByteArray port = QByteArray::number(db.server().port());
        switch (settings) {
        case Settings::File: {
            QFile file(iniPath);
            QVERIFY(file.open(QIODevice::WriteOnly));
            ini.replace("%DB%", dbFolder).replace("%PORT%", port).replace("%CLOSED%", QByteArray::number(closedPort()));
            QCOMPARE(file.write(ini), ini.size());
            break;
        }
        case Settings::Folder:
            QVERIFY(QDir(programFolder.path()).mkdir(QStringLiteral("qor.ini")));
            break;
        case Settings::NoFile:
            break;
        }
        message.replace(QStringLiteral("%DB%"), db.folder());

        ShownWindow w(programFolder.path() + QLatin1Char('/'));
        QVERIFY(w->isVisible());
        if (!reports.isEmpty())
            QVERIFY(QDir(work.path() + QLatin1Char('/') + reports).exists());
        auto* label1 = w->findChild<QLabel*>(QStringLiteral("Label1"));
        if (!fails) {
            // Nothing wrong with what the program reads: it starts as usual.
            QVERIFY2(w.boxes().messages().isEmpty(), qPrintable(w.describeBoxes()));
            QCOMPARE(w->windowTitle(), QStringLiteral("PREFEITURA   .: versão 1.02 :."));
            QCOMPARE(label1->text(), QStringLiteral("Contribuintes Repetidos (1)"));
            QCOMPARE(gridColumn(grid(*w, "DBGrid2"), 2), (QStringList{"ANA", "BIA"}));
        } else {
            QVERIFY2(w.boxes().messages().size() == 1, qPrintable(w.describeBoxes()));
            const MessageRecord box = w.boxes().messages()[0];
            QCOMPARE(box.kind, MessageKind::Error);
            QCOMPARE(box.title, QStringLiteral("unifica-contribuintes"));
            QVERIFY(!box.text.trimmed().isEmpty());
            QVERIFY2(box.text.contains(message), qPrintable(box.text.left(500)));
            // The window as created, with nothing that the failed connection would have filled.
            QCOMPARE(w->windowTitle(), QStringLiteral("FPrin"));
            QCOMPARE(label1->text(), QStringLiteral("CPF/CNPJ Repetidos"));
            for (const char* name : {"DBGrid1", "DBGrid2", "DBGrid3"})
                QCOMPARE(grid(*w, name)->model()->rowCount(), 0);
            QVERIFY(!w->Conexao().connected());
            QVERIFY(!w->ConAUX().connected());
            // Typing only records the search while the group list is closed.
            w->findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText(QStringLiteral("1"));
            QCOMPARE(w.boxes().messages().size(), 1);
        }
        QVERIFY(sairEndsTheProgram(*w));
    }
};

QTEST_MAIN(TestBadSettings)
#include "tst_badsettings.moc"
