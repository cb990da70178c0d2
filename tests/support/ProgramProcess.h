#pragma once

// The program itself (the unifica-contribuintes executable) run as a process of its own, the way
// an operator runs it, for what only the whole process shows: how it ends on a signal.
//
//   QTemporaryDir dir;                               // the program folder
//   QVERIFY(installProgram(dir.path() + "/"));       // a copy of the executable, so that it reads
//   db.writeSettings(dir.path() + "/");              //   the qor.ini of that folder
//   ProgramProcess program(dir.path() + "/");        // started
//   QVERIFY(program.waitForTrace("pronto"));         // its message loop waits for the operator
//   QVERIFY(program.click(point));                   // a left click on its screen
//   const qint64 ms = program.endWith(SIGTERM);      // from the signal to the process's end
//
// Its screen is Qt's VNC platform, kScreenWidth × kScreenHeight, to which click() connects as a
// VNC client; with UC_TRACE set it writes on standard error when its message loop first waits for
// the operator ("pronto") and when a message box is open ("caixa").

#include <QPoint>
#include <QProcess>
#include <QString>

namespace uc::test {

inline constexpr int kScreenWidth = 1024;
inline constexpr int kScreenHeight = 768;

// Copies the executable into the folder (ending with a separator). False when that fails.
bool installProgram(const QString& programFolder);

class ProgramProcess {
public:
    explicit ProgramProcess(const QString& programFolder);
    // A process still running is killed (SIGKILL) and waited for.
    ~ProgramProcess();
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    bool started() const;
    qint64 pid() const;

    // True once the program has written "unifica-contribuintes: <moment>" on standard error;
    // false when it has not within the time, or ended.
    bool waitForTrace(const char* moment, int timeoutMs = 60000);
    // A left click at that point of the program's screen.
    bool click(QPoint screenPoint);

    // Sends the signal and waits for the process to end: the milliseconds from the signal to its
    // end, or -1 when it did not end within 10 seconds.
    qint64 endWith(int signal);
    // After endWith(): the process exited by itself (it was not killed by a signal) with that code.
    bool exitedNormally() const;
    int exitCode() const;
    // Its standard error, all of it and what came after the signal.
    const QString& errorOutput() const { return m_error; }
    QString errorOutputAfterSignal() const { return m_error.mid(m_errorAtSignal); }

private:
    void readError();

    QProcess m_process;
    int m_vncPort = 0;
    QString m_error;
    qsizetype m_errorAtSignal = 0;
};

} // namespace uc::test
