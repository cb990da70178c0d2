#pragma once

// Test support for everything that touches the database. Every test program runs against the
// private Firebird server that the CTest fixture started (scripts/fbserver), found through the
// environment variable UC_FB_ROOT. Nothing here skips: a missing server, a schema that does not
// load or a script that fails makes the test fail, loudly.
//
//   FbServer server;                          // the fixture's server (or FbServer(root) for another)
//   server.location("/path/x.fdb")            // "localhost/PORT:/path/x.fdb"
//
//   ScratchDatabase db;                       // fresh database from sql/schema.sql, dropped at the end
//   QVERIFY(db.runSql("INSERT INTO ...;"));   // isql-fb as SYSDBA, WIN1252; fails the test on any error
//   QCOMPARE(db.queryColumn("SELECT COD_CNT FROM GR_CONTRIBUINTES ORDER BY 1"), QStringList{...});
//   auto c = db.connect();                    // our own db::Connection as SYSDBA, opened
//   db.writeSettings(programFolder);          // a qor.ini through which the resolver reaches db
//   QVERIFY(db.install("INSERT INTO ...;"));  // runSql, then writeSettings(folder())
//
//   errorOf([&] { ... })                      // the uc::Error thrown, if any (ErrorOf.h)
//
// The database lives in its own temporary folder laid out as an installation:
//   folder()  = "/tmp/.../"            (ends with "/")
//   location() = "localhost/PORT:" + folder() + "SGB_DADOS/QORDADOS.FDB"

#include "db/Connection.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace uc::test {

// The administrator account of every private server.
inline constexpr const char* kSysdbaUser = "SYSDBA";
inline constexpr const char* kSysdbaPassword = "plumtrees";
// The fallback account the program uses when the administrator is refused.
inline constexpr const char* kFallbackUser = "ZULQOR";
inline constexpr const char* kFallbackPassword = "pelbun";
// The client library our own connections load in tests.
inline constexpr const char* kClientLibrary = "libfbclient.so.2";

class FbServer {
public:
    // The fixture's server: root from UC_FB_ROOT. Aborts the test program (qFatal) when the
    // variable is unset or the server has not written its port.
    FbServer();
    // A server started with scripts/fbserver at that root.
    explicit FbServer(const QString& root);

    const QString& root() const { return m_root; }
    int port() const { return m_port; }
    // "localhost/PORT:path"
    QString location(const QString& path) const;

private:
    QString m_root;
    int m_port = 0;
};

class ScratchDatabase {
public:
    // Creates the database from sql/schema.sql on that server (a copy of a template built once per
    // schema version under a lock). Aborts the test program (qFatal) when that fails.
    explicit ScratchDatabase(const FbServer& server = FbServer());
    // Drops the database and removes the folder.
    ~ScratchDatabase();
    ScratchDatabase(const ScratchDatabase&) = delete;
    ScratchDatabase& operator=(const ScratchDatabase&) = delete;

    const FbServer& server() const { return m_server; }
    // The installation folder, ending with "/".
    QString folder() const;
    // The database file.
    QString path() const;
    // "localhost/PORT:<folder>SGB_DADOS/QORDADOS.FDB"
    QString location() const;

    // Runs a script through isql-fb as SYSDBA with the given connection character set (the
    // script text is sent in that character set) and commits. On any isql error: fails the
    // current test (QTest::qFail, with isql's output) and returns false.
    [[nodiscard]] bool runSql(const QString& script, const QString& charSet = QStringLiteral("WIN1252")) const;

    // The first column of every row of a SELECT, read through our own connection as SYSDBA (nulls
    // come back as null QStrings). On an error: fails the current test and returns an empty list.
    QStringList queryColumn(const QString& sql) const;

    // Points a connection at this database (VendorLib, User_Name, Password, SQLDialect 3,
    // ServerCharSet WIN1252, Database) without opening it.
    void configure(db::Connection& connection, const QString& user = QString::fromLatin1(kSysdbaUser),
                   const QString& password = QString::fromLatin1(kSysdbaPassword)) const;
    // A configured connection, already open. On an error: fails the current test, returns null.
    std::unique_ptr<db::Connection> connect(const QString& user = QString::fromLatin1(kSysdbaUser),
                                            const QString& password = QString::fromLatin1(kSysdbaPassword)) const;

    // Writes programFolder + "qor.ini" in server mode so that RetornaCaminho("B") + "QORDADOS.FDB"
    // is location(): Servidor=localhost, SO_Servidor=LINUX, PORTACON=port,
    // Caminho_Base_Dados=folder(), Diretorio_Servidor=folder() (the reports folder is created in
    // it). With a port, that port instead of the server's. Returns false (and fails the test) when
    // the file cannot be written.
    bool writeSettings(const QString& programFolder, int port = 0) const;
    // The database loaded with the script (runSql) and its own folder made the installation that
    // reaches it (writeSettings(folder())). Returns false (and fails the test) when either fails.
    [[nodiscard]] bool install(const QString& script, const QString& charSet = QStringLiteral("WIN1252")) const;

private:
    FbServer m_server;
    QTemporaryDir m_dir;
};

} // namespace uc::test
