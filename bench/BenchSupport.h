#pragma once

// What the benchmark programs share: their command line, our own connection to the benchmark
// database, isql-fb sessions timed from inside (SHELL markers) and from outside (the process), the
// median, and one line per figure with the machine's load at that moment.

#include "db/Connection.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace uc::bench {

struct Options {
    QString database; // "localhost/PORT:/path/QORDADOS.FDB"
    int rounds = 5;
    QString user = QStringLiteral("SYSDBA");
    QString password = QStringLiteral("plumtrees");
};

// --database LOCATION [--rounds N]; the account comes from UC_BENCH_ISQL_USER and
// UC_BENCH_ISQL_PASSWORD when they are set. Exits with a usage text when the database is missing.
Options parseOptions(int argc, char* argv[], const char* usage);

// Our own connection to the database, opened, the way the program's set-up fills it in: client
// library, account, dialect 3, WIN1252.
std::unique_ptr<db::Connection> connect(const Options& options);

// The statement that makes isql print the wall clock (nanoseconds since the epoch) on its own line
// of standard output, whatever OUTPUT says for query results.
QString marker();

// One isql-fb session on a script. Query results go wherever the script's OUTPUT sends them;
// markers() are the times printed by marker() statements, in seconds, in order.
struct IsqlSession {
    double startedAt = 0;   // now() just before the process was started
    double wallSeconds = 0; // from starting the process to its end
    std::vector<double> markers;
    QString output;
};

// Waits for a process that was just started: fatal when it does not start within 30 seconds or
// does not end within the limit (then it is killed). `name` names it in the message.
void waitForEnd(QProcess& process, const QString& name, int limitSeconds);

// Runs isql-fb -q -ch WIN1252 as the options' account on the script text; the script stops at the
// first error (-bail). Any error, any text on standard error or a missing marker count is fatal.
IsqlSession runIsql(const Options& options, const QString& script, int expectedMarkers);

// What running marker() twice in a row costs inside an isql session (a shell started each time):
// subtracted from isql's in-session times so that the markers do not count against isql.
double markerOverhead(const Options& options);

double median(std::vector<double> values);

// The wall clock that marker() prints minus now(), in seconds: a marker's time less this is on
// the clock of now().
double wallClockOffset();

// "load 1.23 0.98 0.77" from /proc/loadavg.
QString load();

// Prints "name: ours X ms, isql Y ms, ratio R (target T) [load ...]" for times in seconds taken in
// pairs, one pair per round, side by side: X and Y are the medians, R the median of the rounds' own
// ratios (a burst of load from elsewhere then hits both sides of a pair, not one side's median).
// Returns R.
double report(const QString& name, const std::vector<double>& ours, const std::vector<double>& isql, double target);

// Fails the benchmark: prints the text and exits with status 1.
[[noreturn]] void fatal(const QString& text);

// Seconds since an arbitrary start, monotonic.
double now();

} // namespace uc::bench
