#pragma once

#include <QString>

namespace uc {

class Host;

namespace db {
class Connection;
}

// The fixed settings and the initial parameter list of the window's two connections: Conexao
// (named "QOR75") and ConAUX, both on the Firebird driver with "fbclient.dll" as client library
// until the set-up replaces it.
void configuraConexoes(db::Connection& conexao, db::Connection& conAux);

// Fills in the main connection just before it opens: where the database and the client library
// are (through the location resolver, read afresh each time), and which account to use, found by
// trying the administrator account on the auxiliary connection.
class ConnectionSetup {
public:
    static constexpr const char* kAdminUser = "SYSDBA";
    static constexpr const char* kAdminPassword = "plumtrees";
    static constexpr const char* kFallbackUser = "ZULQOR";
    static constexpr const char* kFallbackPassword = "pelbun";

    ConnectionSetup(db::Connection& conexao, db::Connection& conAux, const Host& host);

    // The before-connect handler of Conexao. Catches nothing: a reports folder that cannot be
    // created ends it before the probe, leaving Conexao's parameters as they were.
    void ConexaoBeforeConnect();

    // True when the administrator account opens the database at that location on ConAUX, which is
    // closed again. Any uc::Error means false; anything else thrown passes through.
    bool TestaConexao(const QString& databaseLocation);

private:
    db::Connection& m_conexao;
    db::Connection& m_conAux;
    const Host& m_host;
};

} // namespace uc
