#pragma once

// A private Firebird server of one test's own (scripts/fbserver at a temporary root), for what
// must not disturb the fixture's shared server: killing it as a crash or a power cut would, and
// starting it again on the same port, where the program's settings still look for it.
//
//   OwnServer server;                 // started; QVERIFY(server.ok())
//   ScratchDatabase db{server.fbServer()};
//   QVERIFY(server.kill());           // SIGKILL, returns once the process is gone
//   QVERIFY(server.start());          // the same root, the same port
//   closedPort()                      // a loopback port where no server answers

#include "ScratchDatabase.h"

#include <QString>
#include <QTemporaryDir>

namespace uc::test {

// A loopback port that was free a moment ago and on which nothing listens.
int closedPort();

class OwnServer {
public:
    OwnServer();
    // Stops the server if it runs.
    ~OwnServer();
    OwnServer(const OwnServer&) = delete;
    OwnServer& operator=(const OwnServer&) = delete;

    // True when the first start succeeded.
    bool ok() const { return m_ok; }
    QString root() const { return m_dir.path(); }
    int port() const { return m_port; }
    // The server as ScratchDatabase and the connections see it.
    FbServer fbServer() const { return FbServer(root()); }

    // Ends the server process at once (SIGKILL), the way a crash would; returns when it is gone.
    bool kill();
    // Starts it again at the same root and on the same port; returns when it listens.
    bool start();
    bool running() const;

private:
    bool script(const QStringList& arguments);
    qint64 pid() const;

    QTemporaryDir m_dir;
    int m_port = 0;
    bool m_ok = false;
};

} // namespace uc::test
