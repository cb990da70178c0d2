#include "ScratchDatabase.h"

#include "common/Error.h"
#include "common/Win1252.h"
#include "db/ClientLibrary.h"
#include "db/Handles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryFile>
#include <QTest>
#include <memory>

namespace uc::test {

namespace {

QString schemaFile() {
    return QStringLiteral(UC_SOURCE_DIR "/sql/schema.sql");
}

struct IsqlResult {
    bool ok = false;
    QString output;
};

// isql-fb on a script file (read from standard input, isql drops non-ASCII bytes and is slow);
// stops at the first error (-bail).
IsqlResult isql(const QStringList& arguments, const QByteArray& script) {
    IsqlResult result;
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/uc-script-XXXXXX.sql"));
    if (!file.open() || file.write(script) != script.size() || !file.flush()) {
        result.output = QStringLiteral("Não foi possível gravar o script: %1").arg(file.errorString());
        return result;
    }
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(QStringLiteral("isql-fb"),
                  QStringList{QStringLiteral("-q"), QStringLiteral("-b"), QStringLiteral("-i"), file.fileName()} +
                      arguments);
    if (!process.waitForStarted(30000)) {
        result.output = QStringLiteral("isql-fb não pôde ser iniciado: %1").arg(process.errorString());
        return result;
    }
    if (!process.waitForFinished(300000)) {
        process.kill();
        process.waitForFinished();
        result.output = QStringLiteral("isql-fb não terminou");
        return result;
    }
    const QByteArray err = process.readAllStandardError();
    const QByteArray out = process.readAllStandardOutput();
    result.ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 && err.trimmed().isEmpty();
    result.output = QString::fromLocal8Bit(err + out);
    return result;
}

QStringList adminArguments(const QString& charSet) {
    return {QStringLiteral("-ch"),       charSet,
            QStringLiteral("-user"),     QString::fromLatin1(kSysdbaUser),
            QStringLiteral("-password"), QString::fromLatin1(kSysdbaPassword)};
}

// A database built from the schema once per server root and schema version; scratch databases
// are copies of it, which is much quicker than running the schema each time. The file serves any
// server, so the fixture's server builds it whenever there is one.
QString templateDatabase(const FbServer& target) {
    const FbServer server = qEnvironmentVariableIsSet("UC_FB_ROOT") ? FbServer() : target;
    QFile schema(schemaFile());
    if (!schema.open(QIODevice::ReadOnly))
        qFatal("Esquema não encontrado: %s", qPrintable(schemaFile()));
    const QByteArray schemaText = schema.readAll();
    const QString hash =
        QString::fromLatin1(QCryptographicHash::hash(schemaText, QCryptographicHash::Sha1).toHex().left(12));
    const QString file = server.root() + QStringLiteral("/template-%1.fdb").arg(hash);

    QLockFile lock(server.root() + QStringLiteral("/template.lock"));
    lock.setStaleLockTime(0);
    if (!lock.tryLock(300000))
        qFatal("Não foi possível obter %s/template.lock", qPrintable(server.root()));
    if (QFileInfo::exists(file))
        return file;

    // Templates of earlier schema versions are of no more use.
    for (const QFileInfo& old : QDir(server.root()).entryInfoList({QStringLiteral("template-*.fdb")}, QDir::Files))
        QFile::remove(old.absoluteFilePath());

    const QString building = file + QStringLiteral(".building");
    QFile::remove(building);
    const QString create =
        QStringLiteral("CREATE DATABASE '%1' USER '%2' PASSWORD '%3' PAGE_SIZE 8192 "
                       "DEFAULT CHARACTER SET WIN1252;\n")
            .arg(server.location(building), QString::fromLatin1(kSysdbaUser), QString::fromLatin1(kSysdbaPassword));
    IsqlResult r = isql({QStringLiteral("-ch"), QStringLiteral("WIN1252")}, create.toLatin1());
    if (!r.ok)
        qFatal("Não foi possível criar o banco modelo %s:\n%s", qPrintable(building), qPrintable(r.output));
    r = isql(adminArguments(QStringLiteral("WIN1252")) << server.location(building), schemaText);
    if (!r.ok) {
        QFile::remove(building);
        qFatal("sql/schema.sql falhou:\n%s", qPrintable(r.output));
    }
    // isql has detached: the server no longer holds the file, so it can be copied from now on.
    if (!QFile::rename(building, file))
        qFatal("Não foi possível renomear %s", qPrintable(building));
    return file;
}

void fail(const QString& message) {
    QTest::qFail(qPrintable(message), __FILE__, __LINE__);
}

} // namespace

FbServer::FbServer() : FbServer(qEnvironmentVariable("UC_FB_ROOT")) {}

FbServer::FbServer(const QString& root) {
    if (root.isEmpty())
        qFatal("UC_FB_ROOT não está definido: os testes de banco precisam do servidor Firebird privado "
               "(rode-os pelo ctest, que o inicia)");
    m_root = QFileInfo(root).absoluteFilePath();
    QFile portFile(m_root + QStringLiteral("/port"));
    bool ok = false;
    if (portFile.open(QIODevice::ReadOnly))
        m_port = portFile.readAll().trimmed().toInt(&ok);
    QFile pidFile(m_root + QStringLiteral("/pid"));
    if (!ok || m_port <= 0 || !pidFile.exists())
        qFatal("O servidor Firebird privado não está rodando em %s (scripts/fbserver start %s)", qPrintable(m_root),
               qPrintable(m_root));
}

QString FbServer::location(const QString& path) const {
    return QStringLiteral("localhost/%1:%2").arg(m_port).arg(path);
}

ScratchDatabase::ScratchDatabase(const FbServer& server)
    : m_server(server), m_dir(QDir::tempPath() + QStringLiteral("/uc-db-XXXXXX")) {
    if (!m_dir.isValid())
        qFatal("Pasta temporária: %s", qPrintable(m_dir.errorString()));
    const QString templateFile = templateDatabase(m_server);
    if (!QDir(m_dir.path()).mkdir(QStringLiteral("SGB_DADOS")))
        qFatal("Não foi possível criar %sSGB_DADOS", qPrintable(folder()));
    if (!QFile::copy(templateFile, path()))
        qFatal("Não foi possível copiar %s para %s", qPrintable(templateFile), qPrintable(path()));
}

ScratchDatabase::~ScratchDatabase() {
    try {
        const db::ClientLibrary& lib = db::ClientLibrary::load(QString::fromLatin1(kClientLibrary));
        db::Status status(lib);
        Firebird::IXpbBuilder* dpb = lib.util()->getXpbBuilder(&status, Firebird::IXpbBuilder::DPB, nullptr, 0);
        const std::unique_ptr<Firebird::IXpbBuilder, void (*)(Firebird::IXpbBuilder*)> disposeDpb(
            dpb, [](Firebird::IXpbBuilder* b) { b->dispose(); });
        dpb->insertString(&status, isc_dpb_user_name, kSysdbaUser);
        dpb->insertString(&status, isc_dpb_password, kSysdbaPassword);
        const QByteArray name = location().toLocal8Bit();
        db::AttachmentHandle attachment(&lib, lib.provider()->attachDatabase(&status, name.constData(),
                                                                             dpb->getBufferLength(&status),
                                                                             dpb->getBuffer(&status)));
        attachment.dropDatabase();
    } catch (const Error& e) {
        // Usually a connection of the test still open on it; the folder goes anyway.
        qWarning("O banco de teste %s não pôde ser removido: %s", qPrintable(path()), qPrintable(e.message()));
    }
}

QString ScratchDatabase::folder() const {
    return m_dir.path() + QLatin1Char('/');
}

QString ScratchDatabase::path() const {
    return folder() + QStringLiteral("SGB_DADOS/QORDADOS.FDB");
}

QString ScratchDatabase::location() const {
    return m_server.location(path());
}

bool ScratchDatabase::runSql(const QString& script, const QString& charSet) const {
    QByteArray bytes;
    if (charSet.compare(QLatin1String("WIN1252"), Qt::CaseInsensitive) == 0) {
        QString bad;
        if (!win1252::encode(script, &bytes, &bad)) {
            fail(QStringLiteral("O script tem caracteres fora do Windows-1252: %1").arg(bad));
            return false;
        }
    } else if (charSet.compare(QLatin1String("UTF8"), Qt::CaseInsensitive) == 0) {
        bytes = script.toUtf8();
    } else {
        fail(QStringLiteral("Conjunto de caracteres não suportado pelo teste: %1").arg(charSet));
        return false;
    }
    bytes += "\nCOMMIT;\n";
    const IsqlResult r = isql(adminArguments(charSet) << location(), bytes);
    if (!r.ok) {
        fail(QStringLiteral("isql-fb falhou:\n%1").arg(r.output));
        return false;
    }
    return true;
}

QStringList ScratchDatabase::queryColumn(const QString& sql) const {
    try {
        db::Connection connection;
        configure(connection);
        const db::RowSet rows = connection.select(sql);
        QStringList values;
        values.reserve(rows.rowCount());
        for (qsizetype r = 0; r < rows.rowCount(); ++r)
            values.append(rows.isNull(r, 0) ? QString() : rows.value(r, 0));
        return values;
    } catch (const Error& e) {
        fail(QStringLiteral("%1\n%2").arg(sql, e.message()));
        return {};
    }
}

void ScratchDatabase::configure(db::Connection& connection, const QString& user, const QString& password) const {
    connection.setVendorLib(QString::fromLatin1(kClientLibrary));
    connection.setParam(QStringLiteral("User_Name"), user);
    connection.setParam(QStringLiteral("Password"), password);
    connection.setParam(QStringLiteral("SQLDialect"), QStringLiteral("3"));
    connection.setParam(QStringLiteral("ServerCharSet"), QStringLiteral("WIN1252"));
    connection.setParam(QStringLiteral("Database"), location());
}

std::unique_ptr<db::Connection> ScratchDatabase::connect(const QString& user, const QString& password) const {
    auto connection = std::make_unique<db::Connection>();
    configure(*connection, user, password);
    try {
        connection->open();
    } catch (const Error& e) {
        fail(QStringLiteral("Conexão a %1 como %2: %3").arg(location(), user, e.message()));
        return nullptr;
    }
    return connection;
}

bool ScratchDatabase::writeSettings(const QString& programFolder, int port) const {
    QFile file(programFolder + QStringLiteral("qor.ini"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        fail(QStringLiteral("Não foi possível gravar %1: %2").arg(file.fileName(), file.errorString()));
        return false;
    }
    const QString text = QStringLiteral("[QOR]\r\n"
                                        "Servidor=localhost\r\n"
                                        "SO_Servidor=LINUX\r\n"
                                        "PORTACON=%1\r\n"
                                        "Caminho_Base_Dados=%2\r\n"
                                        "Diretorio_Servidor=%2\r\n")
                             .arg(port > 0 ? port : m_server.port())
                             .arg(folder());
    file.write(text.toLocal8Bit());
    return file.error() == QFile::NoError;
}

bool ScratchDatabase::install(const QString& script, const QString& charSet) const {
    return runSql(script, charSet) && writeSettings(folder());
}

} // namespace uc::test
