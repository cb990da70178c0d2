#include "CurrentFolder.h"
#include "ErrorOf.h"
#include "ScratchDatabase.h"
#include "ServerControl.h"
#include "common/Error.h"
#include "connection/ConnectionSetup.h"
#include "db/Connection.h"
#include "settings/SystemHost.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <ibase.h> // the client's error codes, isc_...
#include <memory>
#include <stdexcept>

using uc::ConnectionSetup;
using uc::Error;
using uc::SystemHost;
using uc::db::Connection;
using uc::test::closedPort;
using uc::test::CurrentFolder;
using uc::test::errorOf;
using uc::test::OwnServer;
using uc::test::ScratchDatabase;

namespace {

using Params = std::vector<std::pair<QString, QString>>;

// The window's two connections and their set-up, with the program folder of a test installation.
// Counts the openings of Conexao and the probes on ConAUX (each one attach attempt).
struct Installation {
    QTemporaryDir programFolder;
    SystemHost host;
    Connection conexao;
    Connection conAux;
    ConnectionSetup setup;
    int conexaoOpenings = 0;
    int probes = 0;
    bool setupReturned = false;

    Installation() : host(programFolder.path() + QLatin1Char('/')), setup(conexao, conAux, host) {
        uc::configuraConexoes(conexao, conAux);
        conexao.setBeforeConnect([this] {
            ++conexaoOpenings;
            setupReturned = false;
            setup.ConexaoBeforeConnect();
            setupReturned = true;
        });
        conAux.setBeforeConnect([this] { ++probes; });
    }
    QString folder() const { return programFolder.path() + QLatin1Char('/'); }
    bool writeIni(const QString& text) const {
        QFile f(folder() + QStringLiteral("qor.ini"));
        return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) == text.toUtf8().size();
    }
    int databaseEntries() const {
        int n = 0;
        for (const auto& [name, value] : conexao.params())
            n += name.compare(QLatin1String("database"), Qt::CaseInsensitive) == 0;
        return n;
    }
};

} // namespace

class TestConnectionSetup : public QObject {
    Q_OBJECT

private slots:
    void bothConnectionsStartWithTheFixedParameters() {
        Connection conexao;
        Connection conAux;
        uc::configuraConexoes(conexao, conAux);
        const Params expected = {
            {"DriverName", "Firebird"},
            {"Database", "C:\\QOR7\\SGB_DADOS\\QORDADOS.FDB"},
            {"RoleName", "RoleName"},
            {"User_Name", ""},
            {"Password", ""},
            {"ServerCharSet", "WIN1252"},
            {"SQLDialect", "3"},
            {"ErrorResourceFile", ""},
            {"LocaleCode", "0000"},
            {"BlobSize", "-1"},
            {"CommitRetain", "False"},
            {"WaitOnLocks", "True"},
            {"IsolationLevel", "ReadCommitted"},
            {"Trim Char", "False"},
            {"UseUnicode", "False"},
        };
        QCOMPARE(conexao.params(), expected);
        QCOMPARE(conAux.params(), expected);
        QCOMPARE(conexao.vendorLib(), QStringLiteral("fbclient.dll"));
        QCOMPARE(conAux.vendorLib(), QStringLiteral("fbclient.dll"));
        QCOMPARE(conexao.connectionName(), QStringLiteral("QOR75"));
        QVERIFY(!conexao.connected());
        QVERIFY(!conAux.connected());
    }

    void administratorAccepted() {
        ScratchDatabase db;
        Installation inst;
        QVERIFY(db.writeSettings(inst.folder()));
        QCOMPARE(inst.conexao.select(QStringLiteral("SELECT CURRENT_USER FROM RDB$DATABASE")).value(0, 0),
                 QStringLiteral("SYSDBA"));
        QCOMPARE(inst.conexaoOpenings, 1);
        QCOMPARE(inst.probes, 1);
        QVERIFY(!inst.conAux.connected());
        QCOMPARE(inst.conAux.param(QStringLiteral("User_Name")), QStringLiteral("SYSDBA"));
        // The reports folder is made sure of before the probe.
        QVERIFY(QDir(db.folder() + QStringLiteral("Relatorios")).exists());

        QCOMPARE(inst.databaseEntries(), 1);
        QCOMPARE(inst.conexao.params()[1], std::make_pair(QStringLiteral("DataBase"), db.location()));
        QCOMPARE(inst.conexao.param(QStringLiteral("Password")), QStringLiteral("plumtrees"));
        QCOMPARE(inst.conexao.vendorLib(),
                 QStringLiteral("C:\\Arquivos de programas\\Firebird\\Firebird_2_1\\bin\\fbclient.dll"));
        inst.conexao.close();
    }

    void administratorRefused() {
        // SYSDBA's password is changed on a server of this test's own, so that no other test
        // running meanwhile meets the changed password.
        OwnServer server;
        QVERIFY(server.ok());
        ScratchDatabase db{server.fbServer()};
        {
            auto admin = db.connect();
            QVERIFY(admin);
            admin->execute(QStringLiteral("ALTER USER SYSDBA PASSWORD 'trocada'"));
        }
        struct RestorePassword {
            const ScratchDatabase& db;
            ~RestorePassword() {
                auto admin = db.connect(QStringLiteral("SYSDBA"), QStringLiteral("trocada"));
                if (admin)
                    admin->execute(QStringLiteral("ALTER USER SYSDBA PASSWORD 'plumtrees'"));
            }
        } restore{db};

        Installation inst;
        QVERIFY(db.writeSettings(inst.folder()));
        const auto e = errorOf([&] {
            QCOMPARE(inst.conexao.select(QStringLiteral("SELECT CURRENT_USER FROM RDB$DATABASE")).value(0, 0),
                     QStringLiteral("ZULQOR"));
        });
        QVERIFY2(!e, e ? qPrintable(e->message()) : "");
        QCOMPARE(inst.probes, 1);
        QVERIFY(!inst.conAux.connected());
        QCOMPARE(inst.conexao.param(QStringLiteral("User_Name")), QStringLiteral("ZULQOR"));
        QCOMPARE(inst.conexao.param(QStringLiteral("Password")), QStringLiteral("pelbun"));
        inst.conexao.close();
    }

    void serverUnreachable() {
        ScratchDatabase db;
        Installation inst;
        const int port = closedPort();
        QVERIFY(port > 0);
        QVERIFY(inst.writeIni(QStringLiteral("[QOR]\nServidor=localhost\nSO_Servidor=LINUX\nPORTACON=%1\n"
                                             "Caminho_Base_Dados=%2\nDiretorio_Servidor=%2\n")
                                  .arg(port)
                                  .arg(db.folder())));
        const auto e = errorOf([&] { inst.conexao.open(); });
        // Two attach attempts: the probe's, which fails quietly, then the main one, whose error
        // reaches the opener after the set-up has returned.
        QCOMPARE(inst.probes, 1);
        QCOMPARE(inst.conexaoOpenings, 1);
        QVERIFY(inst.setupReturned);
        QVERIFY(e);
        QCOMPARE(e->sqlState(), QStringLiteral("08006"));
        QVERIFY2(e->hasGdsCode(isc_network_error), qPrintable(e->message()));
        QCOMPARE(inst.conexao.param(QStringLiteral("User_Name")), QStringLiteral("ZULQOR"));
        QVERIFY(!inst.conexao.connected());
        QVERIFY(!inst.conAux.connected());

        // The settings are read afresh at the next opening, which runs the whole set-up again.
        QVERIFY(db.writeSettings(inst.folder()));
        QCOMPARE(inst.conexao.select(QStringLiteral("SELECT CURRENT_USER FROM RDB$DATABASE")).value(0, 0),
                 QStringLiteral("SYSDBA"));
        QCOMPARE(inst.conexaoOpenings, 2);
        QCOMPARE(inst.probes, 2);
        inst.conexao.close();
    }

    void clientLibraryMissing() {
        ScratchDatabase db;
        Installation inst;
        QVERIFY(inst.writeIni(QStringLiteral("[QOR]\nServidor=localhost\nSO_Servidor=LINUX\nPORTACON=%1\n"
                                             "Caminho_Base_Dados=%2\nDiretorio_Servidor=%2\n"
                                             "CaminhoDLLCON=/nonexistent/\nDLLCON=libfbclient.so\n")
                                  .arg(db.server().port())
                                  .arg(db.folder())));
        const auto e = errorOf([&] { inst.conexao.open(); });
        QCOMPARE(inst.probes, 1);
        QVERIFY(!inst.conAux.connected());
        QCOMPARE(inst.conexao.param(QStringLiteral("User_Name")), QStringLiteral("ZULQOR"));
        QVERIFY(e);
        QCOMPARE(e->message(), QStringLiteral("Não foi possível carregar a biblioteca do cliente Firebird: "
                                              "/nonexistent/libfbclient.so\n") +
                                   e->message().section(QLatin1Char('\n'), 1));
        QVERIFY(!inst.conexao.connected());
    }

    void reportsFolderCannotBeCreated() {
        ScratchDatabase db;
        Installation inst;
        const QString missing = db.folder() + QStringLiteral("falta/");
        QVERIFY(inst.writeIni(QStringLiteral("[QOR]\nServidor=localhost\nSO_Servidor=LINUX\nPORTACON=%1\n"
                                             "Caminho_Base_Dados=%2\nDiretorio_Servidor=%3\n")
                                  .arg(db.server().port())
                                  .arg(db.folder(), missing)));
        Connection untouched;
        Connection unused;
        uc::configuraConexoes(untouched, unused);

        const auto e = errorOf([&] { inst.conexao.open(); });
        QVERIFY(e);
        QCOMPARE(e->message(),
                 QStringLiteral("Não é possível criar o diretório: ") + missing + QStringLiteral("Relatorios\\"));
        QCOMPARE(inst.probes, 0);
        QCOMPARE(inst.conexao.params(), untouched.params());
        QCOMPARE(inst.conexao.vendorLib(), untouched.vendorLib());
        QVERIFY(!inst.conexao.connected());
    }

    void databaseLocationAndClientLibrary_data() {
        QTest::addColumn<QString>("ini"); // %1: the installation folder; empty: no settings file
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("vendorLib");
        QTest::addColumn<QString>("reports"); // the folder made sure of, under the current folder
        const QString defaultLib =
            QStringLiteral("C:\\Arquivos de programas\\Firebird\\Firebird_2_1\\bin\\fbclient.dll");
        QTest::newRow("local mode") << "[QOR]\nPORTACON=3050\nCaminho_Base_Dados=C:\\Dados\\\n"
                                    << "localhost/3050:C:\\Dados\\SGB_DADOS\\QORDADOS.FDB" << defaultLib
                                    << "C:/Dados/Relatorios";
        QTest::newRow("server mode, Linux server")
            << "[QOR]\nServidor=127.0.0.1\nSO_Servidor=LINUX\nPORTACON=3050\nCaminho_Base_Dados=/opt/dados/\n"
               "Diretorio_Servidor=%1\nCaminhoDLLCON=/usr/lib/\nDLLCON=libfbclient.so.2\n"
            << "127.0.0.1/3050:/opt/dados/SGB_DADOS/QORDADOS.FDB"
            << "/usr/lib/libfbclient.so.2"
            << "inst/Relatorios";
        QTest::newRow("no settings file")
            << QString() << "localhost/3050:SGB_DADOS\\QORDADOS.FDB" << defaultLib << "Relatorios";
    }
    void databaseLocationAndClientLibrary() {
        QFETCH(QString, ini);
        QFETCH(QString, location);
        QFETCH(QString, vendorLib);
        QFETCH(QString, reports);
        QTemporaryDir work;
        QVERIFY(QDir(work.path()).mkpath(QStringLiteral("C:/Dados")));
        QVERIFY(QDir(work.path()).mkpath(QStringLiteral("inst")));
        CurrentFolder current(work.path());
        Installation inst;
        if (!ini.isEmpty())
            QVERIFY(inst.writeIni(QString(ini).replace(QStringLiteral("%1"), work.path() + QStringLiteral("/inst/"))));

        inst.setup.ConexaoBeforeConnect();
        QCOMPARE(inst.conexao.param(QStringLiteral("DataBase")), location);
        QCOMPARE(inst.conAux.param(QStringLiteral("DataBase")), location);
        QCOMPARE(inst.conexao.vendorLib(), vendorLib);
        QCOMPARE(inst.databaseEntries(), 1);
        QVERIFY(QDir(work.path() + QLatin1Char('/') + reports).exists());
        // Nothing answers on that port: the probe fails and the fallback account is chosen.
        QCOMPARE(inst.probes, 1);
        QCOMPARE(inst.conexao.param(QStringLiteral("User_Name")), QStringLiteral("ZULQOR"));
    }

    void probeTurnsOnlyOurErrorsIntoFalse() {
        ScratchDatabase db;
        Installation inst;
        QVERIFY(db.writeSettings(inst.folder()));
        const QString location = db.location();
        QVERIFY(inst.setup.TestaConexao(location));
        QVERIFY(!inst.conAux.connected());

        inst.conAux.setBeforeConnect([] { throw Error(QStringLiteral("recusado")); });
        QVERIFY(!inst.setup.TestaConexao(location));
        QVERIFY(!inst.conAux.connected());

        inst.conAux.setBeforeConnect([] { throw std::runtime_error("outra coisa"); });
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, inst.setup.TestaConexao(location));
    }
};

QTEST_GUILESS_MAIN(TestConnectionSetup)
#include "tst_connectionsetup.moc"
