#include "connection/ConnectionSetup.h"

#include "common/Error.h"
#include "db/Connection.h"
#include "settings/RetornaCaminho.h"

namespace uc {

namespace {

void parametrosIniciais(db::Connection& c) {
    c.setVendorLib(QStringLiteral("fbclient.dll"));
    const std::pair<const char*, const char*> params[] = {
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
    for (const auto& [name, value] : params)
        c.setParam(QString::fromLatin1(name), QString::fromLatin1(value));
}

// The parameters both connections are given before they open, in this order.
void preenche(db::Connection& c, const QString& user, const QString& password, const QString& location) {
    c.setParam(QStringLiteral("User_Name"), user);
    c.setParam(QStringLiteral("Password"), password);
    c.setParam(QStringLiteral("SQLDialect"), QStringLiteral("3"));
    c.setParam(QStringLiteral("ServerCharSet"), QStringLiteral("WIN1252"));
    c.setParam(QStringLiteral("DataBase"), location);
}

} // namespace

void configuraConexoes(db::Connection& conexao, db::Connection& conAux) {
    conexao.setConnectionName(QStringLiteral("QOR75"));
    parametrosIniciais(conexao);
    parametrosIniciais(conAux);
}

ConnectionSetup::ConnectionSetup(db::Connection& conexao, db::Connection& conAux, const Host& host)
    : m_conexao(conexao), m_conAux(conAux), m_host(host) {}

void ConnectionSetup::ConexaoBeforeConnect() {
    const QString base = RetornaCaminho(m_host, QStringLiteral("B"));
    // Makes sure the installation's reports folder exists; the answer itself is not used.
    RetornaCaminho(m_host, QStringLiteral("RPT"));
    const QString location = base + QStringLiteral("QORDADOS.FDB");
    const bool admin = TestaConexao(location);
    m_conexao.setVendorLib(RetornaCaminho(m_host, QStringLiteral("DLLFB")));
    if (admin)
        preenche(m_conexao, QString::fromLatin1(kAdminUser), QString::fromLatin1(kAdminPassword), location);
    else
        preenche(m_conexao, QString::fromLatin1(kFallbackUser), QString::fromLatin1(kFallbackPassword), location);
}

bool ConnectionSetup::TestaConexao(const QString& databaseLocation) {
    try {
        m_conAux.close();
        m_conAux.setVendorLib(RetornaCaminho(m_host, QStringLiteral("DLLFB")));
        preenche(m_conAux, QString::fromLatin1(kAdminUser), QString::fromLatin1(kAdminPassword), databaseLocation);
        m_conAux.open();
        m_conAux.close();
        return true;
    } catch (const Error&) {
        // Whatever the reason (refused password, unreachable server, missing library), the
        // fallback account is used, silently.
        try {
            m_conAux.close();
        } catch (const Error&) {
            // closed all the same
        }
        return false;
    }
}

} // namespace uc
