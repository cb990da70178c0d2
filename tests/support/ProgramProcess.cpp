#include "ProgramProcess.h"

#include "ServerControl.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcessEnvironment>
#include <QThread>
#include <QtEndian>

#ifndef _WIN32
#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#endif

namespace uc::test {

namespace {

const QString programName = QStringLiteral("unifica-contribuintes");

#ifndef _WIN32
// A VNC client just good enough to click: protocol 3.3, no authentication.
class VncClient {
public:
    explicit VncClient(int port) {
        QElapsedTimer waited;
        waited.start();
        // The program opens its screen when it starts: wait for it, within bounds.
        while (waited.elapsed() < 20000) {
            m_socket = ::socket(AF_INET, SOCK_STREAM, 0);
            timeval timeout{10, 0};
            ::setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
            ::setsockopt(m_socket, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(quint16(port));
            if (::connect(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
                break;
            ::close(m_socket);
            m_socket = -1;
            QThread::msleep(50);
        }
        if (m_socket < 0)
            return;
        QByteArray version = receive(12);
        if (!version.startsWith("RFB ") || !send("RFB 003.003\n"))
            return;
        const QByteArray security = receive(4);
        if (security.size() != 4 || qFromBigEndian<quint32>(security.constData()) != 1 /* none */)
            return;
        if (!send(QByteArray(1, '\1'))) // shared
            return;
        const QByteArray init = receive(24); // width, height, pixel format, name length
        if (init.size() != 24)
            return;
        const quint32 nameLength = qFromBigEndian<quint32>(init.constData() + 20);
        m_ready = quint32(receive(int(nameLength)).size()) == nameLength;
    }
    ~VncClient() {
        if (m_socket >= 0)
            ::close(m_socket);
    }

    bool click(QPoint p) { return m_ready && pointer(p, 0) && pointer(p, 1) && pointer(p, 0); }

private:
    bool pointer(QPoint p, quint8 buttons) {
        char message[6] = {5, char(buttons)};
        qToBigEndian<quint16>(quint16(p.x()), message + 2);
        qToBigEndian<quint16>(quint16(p.y()), message + 4);
        return send(QByteArray(message, sizeof message));
    }
    bool send(const QByteArray& bytes) {
        return ::send(m_socket, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL) == bytes.size();
    }
    QByteArray receive(int n) {
        QByteArray bytes(n, '\0');
        int got = 0;
        while (got < n) {
            const auto r = ::recv(m_socket, bytes.data() + got, size_t(n - got), 0);
            if (r <= 0)
                return bytes.left(got);
            got += int(r);
        }
        return bytes;
    }

    int m_socket = -1;
    bool m_ready = false;
};
#endif

} // namespace

bool installProgram(const QString& programFolder) {
    const QString target = programFolder + programName;
    QFile::remove(target);
    return QFile::copy(QStringLiteral(UC_PROGRAM_FILE), target) &&
           QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

ProgramProcess::ProgramProcess(const QString& programFolder) {
    m_vncPort = closedPort();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"),
                       QStringLiteral("vnc:size=%1x%2:port=%3").arg(kScreenWidth).arg(kScreenHeight).arg(m_vncPort));
    environment.insert(QStringLiteral("UC_TRACE"), QStringLiteral("1"));
    m_process.setProcessEnvironment(environment);
    m_process.setWorkingDirectory(programFolder);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.setReadChannel(QProcess::StandardError);
    m_process.start(programFolder + programName, {});
    if (!m_process.waitForStarted(30000))
        qWarning("%s não pôde ser iniciado: %s", qPrintable(programName), qPrintable(m_process.errorString()));
}

ProgramProcess::~ProgramProcess() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(10000);
    }
}

bool ProgramProcess::started() const {
    return m_process.state() == QProcess::Running;
}

qint64 ProgramProcess::pid() const {
    return m_process.processId();
}

void ProgramProcess::readError() {
    m_error += QString::fromLocal8Bit(m_process.readAllStandardError());
}

bool ProgramProcess::waitForTrace(const char* moment, int timeoutMs) {
    const QString line = programName + QStringLiteral(": ") + QLatin1String(moment) + QLatin1Char('\n');
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        readError();
        if (m_error.contains(line))
            return true;
        const qint64 left = timeoutMs - waited.elapsed();
        if (left <= 0 || m_process.state() != QProcess::Running)
            return false;
        m_process.waitForReadyRead(int(left));
    }
}

bool ProgramProcess::click(QPoint screenPoint) {
#ifdef _WIN32
    Q_UNUSED(screenPoint);
    return false;
#else
    return VncClient(m_vncPort).click(screenPoint);
#endif
}

qint64 ProgramProcess::endWith(int signal) {
#ifdef _WIN32
    Q_UNUSED(signal);
    return -1;
#else
    readError();
    m_errorAtSignal = m_error.size();
    QElapsedTimer sinceSignal;
    sinceSignal.start();
    if (::kill(pid_t(pid()), signal) != 0 || !m_process.waitForFinished(10000))
        return -1;
    const qint64 ms = sinceSignal.elapsed();
    readError();
    return ms;
#endif
}

bool ProgramProcess::exitedNormally() const {
    return m_process.state() == QProcess::NotRunning && m_process.exitStatus() == QProcess::NormalExit;
}

int ProgramProcess::exitCode() const {
    return m_process.exitCode();
}

} // namespace uc::test
