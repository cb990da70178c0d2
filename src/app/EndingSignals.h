#pragma once

namespace uc {

namespace db {
class Connection;
}

// SIGTERM, SIGINT and SIGHUP end the program, whatever it is doing:
// - the handler only notes the signal and wakes a watcher thread;
// - the watcher interrupts the main connection (the statement or commit in progress is cancelled
//   by the server, every later one refused) and ends every message loop of the window, a message
//   box's included;
// - the window's thread unwinds without showing anything more: no message box, and a window whose
//   show step was interrupted is never shown; the merge's transaction is rolled back, the window
//   destroyed, the connections closed and the client library shut down; the program then exits
//   with 128 + the signal's number;
// - should that take longer than kDeadlineMs (an attach to a server that never answers cannot be
//   cancelled), the watcher ends the process at once with the same code, saying so on standard
//   error; the server rolls back whatever the connection left open.
// A signal that was ignored when the program started (nohup, a background job) stays ignored.
// Only on POSIX hosts; elsewhere install() does nothing.
namespace endingSignals {

constexpr int kDeadlineMs = 1500;

// Installs the handlers and the watcher. First thing in main(): the client library, loaded at the
// first connection, keeps the handlers that it finds and runs them before its own.
void install();

// True once an ending signal came; the code the program then exits with.
bool terminating();
int exitCode();

// While one lives, an ending signal interrupts that connection and ends the application's message
// loops. Create it once the application object and the window exist; destroy it before them.
class Watch {
public:
    explicit Watch(db::Connection& connection);
    ~Watch();
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;
};

} // namespace endingSignals

} // namespace uc
