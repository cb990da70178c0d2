#pragma once

// A private Firebird server of one test's own (scripts/fbserver at a temporary root), for what
// must not disturb the fixture's shared server: killing it as a crash or a power cut would, and
// starting it again on the same port, where the program's settings still look for it.
//
//   OwnServer server;                 // started; QVERIFY(server.ok())
//   ScratchDatabase db{server.fbServer()};
//   QVERIFY(server.kill());           // SIGKILL, returns once the process is gone
//   QVERIFY(server.start());          // the same root, the same port
//   QVERIFY(server.pause());          // SIGSTOP: connections stay, nothing is answered
//   QVERIFY(server.resume());         // SIGCONT
//   closedPort()                      // a loopback port where no server answers
//   SilentListener silent;            // a loopback port that accepts and never answers

#include "ScratchDatabase.h"

#include <QString>
#include <QTemporaryDir>
#include <atomic>
#include <thread>
#include <vector>

namespace uc::test {

// A loopback port that was free a moment ago and on which nothing listens.
int closedPort();

// A loopback port that accepts every connection and never reads or writes a byte, like a wrong
// port or a server that hangs. The connections stay open until it is destroyed.
class SilentListener {
public:
    SilentListener();
    ~SilentListener();
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;

    bool ok() const { return m_port > 0; }
    int port() const { return m_port; }
    // Connections accepted so far.
    int accepted() const { return m_accepted.load(); }

private:
    void acceptAll();

    long long m_socket = -1;
    int m_port = 0;
    std::atomic<int> m_accepted{0};
    std::atomic<bool> m_stop{false};
    std::vector<long long> m_connections;
    std::thread m_thread;
};

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
    // Stops the server process (SIGSTOP) and lets it go on (SIGCONT); not on Windows.
    bool pause();
    bool resume();

private:
    bool script(const QStringList& arguments);
    qint64 pid() const;

    QTemporaryDir m_dir;
    int m_port = 0;
    bool m_ok = false;
};

} // namespace uc::test
