#include "ServerControl.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#ifdef _WIN32
#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace uc::test {

namespace {

QString readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll().trimmed()) : QString();
}

#ifdef _WIN32
bool processAlive(qint64 pid) {
    HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, DWORD(pid));
    if (!h)
        return false;
    const bool alive = WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
    CloseHandle(h);
    return alive;
}
bool killProcess(qint64 pid) {
    HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE, DWORD(pid));
    if (!h)
        return false;
    const bool done = TerminateProcess(h, 9) != 0;
    CloseHandle(h);
    return done;
}
#else
// A killed process that its parent has not reaped yet is a zombie: it is gone for our purposes.
bool processAlive(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return ::kill(pid_t(pid), 0) == 0;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close >= 0 && close + 2 < line.size() && line[close + 2] != 'Z' && line[close + 2] != 'X';
}
bool killProcess(qint64 pid) {
    return ::kill(pid_t(pid), SIGKILL) == 0;
}
#endif

} // namespace

int closedPort() {
#ifdef _WIN32
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
#endif
    const auto s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int port = 0;
    socklen_t length = sizeof address;
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
#ifdef _WIN32
    closesocket(s);
#else
    ::close(s);
#endif
    return port;
}

namespace {
#ifdef _WIN32
using Socket = SOCKET;
void closeSocket(long long s) {
    closesocket(Socket(s));
}
#else
using Socket = int;
void closeSocket(long long s) {
    ::close(int(s));
}
#endif
} // namespace

SilentListener::SilentListener() {
#ifdef _WIN32
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
#endif
    const Socket s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(s, 16) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        closeSocket(s);
        return;
    }
    m_socket = s;
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { acceptAll(); });
}

void SilentListener::acceptAll() {
    while (!m_stop) {
        // Wakes up now and then to see whether it should stop.
        pollfd waiting{Socket(m_socket), POLLIN, 0};
#ifdef _WIN32
        const int ready = WSAPoll(&waiting, 1, 100);
#else
        const int ready = ::poll(&waiting, 1, 100);
#endif
        if (ready <= 0)
            continue;
        const Socket c = ::accept(Socket(m_socket), nullptr, nullptr);
#ifdef _WIN32
        if (c == INVALID_SOCKET)
            continue;
#else
        if (c < 0)
            continue;
#endif
        m_connections.push_back(c);
        ++m_accepted;
    }
}

SilentListener::~SilentListener() {
    if (m_port <= 0)
        return;
    m_stop = true;
    m_thread.join();
    for (long long c : m_connections)
        closeSocket(c);
    closeSocket(m_socket);
}

OwnServer::OwnServer() : m_dir(QDir::tempPath() + QStringLiteral("/uc-own-server-XXXXXX")) {
    m_ok = m_dir.isValid() && script({QStringLiteral("start"), root()});
    if (m_ok)
        m_port = readFile(root() + QStringLiteral("/port")).toInt();
    m_ok = m_ok && m_port > 0;
}

OwnServer::~OwnServer() {
    if (m_ok)
        script({QStringLiteral("stop"), root()});
}

qint64 OwnServer::pid() const {
    return readFile(root() + QStringLiteral("/pid")).toLongLong();
}

bool OwnServer::running() const {
    const qint64 p = pid();
    return p > 0 && processAlive(p);
}

bool OwnServer::kill() {
    const qint64 p = pid();
    if (p <= 0 || !killProcess(p))
        return false;
    QElapsedTimer waited;
    waited.start();
    while (processAlive(p)) {
        if (waited.elapsed() > 10000)
            return false;
        QThread::msleep(20);
    }
    return true;
}

bool OwnServer::pause() {
#ifdef _WIN32
    return false;
#else
    const qint64 p = pid();
    return p > 0 && ::kill(pid_t(p), SIGSTOP) == 0;
#endif
}

bool OwnServer::resume() {
#ifdef _WIN32
    return false;
#else
    const qint64 p = pid();
    return p > 0 && ::kill(pid_t(p), SIGCONT) == 0;
#endif
}

bool OwnServer::start() {
    return script({QStringLiteral("start"), root(), QString::number(m_port)}) &&
           readFile(root() + QStringLiteral("/port")).toInt() == m_port;
}

bool OwnServer::script(const QStringList& arguments) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(UC_SOURCE_DIR "/scripts/fbserver"), arguments);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning("scripts/fbserver %s: %s", qPrintable(arguments.join(QLatin1Char(' '))), p.readAll().constData());
        return false;
    }
    return true;
}

} // namespace uc::test
