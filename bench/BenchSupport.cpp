#include "BenchSupport.h"

#include "common/Error.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryFile>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace uc::bench {

Options parseOptions(int argc, char* argv[], const char* usage) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == u"--database" && i + 1 < argc)
            options.database = QString::fromLocal8Bit(argv[++i]);
        else if (arg == u"--rounds" && i + 1 < argc)
            options.rounds = std::max(1, QString::fromLocal8Bit(argv[++i]).toInt());
        else
            options.database.clear(), i = argc;
    }
    if (options.database.isEmpty()) {
        std::fprintf(stderr, "usage: %s\n", usage);
        std::exit(2);
    }
    if (qEnvironmentVariableIsSet("UC_BENCH_ISQL_USER"))
        options.user = qEnvironmentVariable("UC_BENCH_ISQL_USER");
    if (qEnvironmentVariableIsSet("UC_BENCH_ISQL_PASSWORD"))
        options.password = qEnvironmentVariable("UC_BENCH_ISQL_PASSWORD");
    return options;
}

std::unique_ptr<db::Connection> connect(const Options& options) {
    auto connection = std::make_unique<db::Connection>();
    connection->setVendorLib(QStringLiteral("libfbclient.so.2"));
    connection->setParam(QStringLiteral("User_Name"), options.user);
    connection->setParam(QStringLiteral("Password"), options.password);
    connection->setParam(QStringLiteral("SQLDialect"), QStringLiteral("3"));
    connection->setParam(QStringLiteral("ServerCharSet"), QStringLiteral("WIN1252"));
    connection->setParam(QStringLiteral("Database"), options.database);
    try {
        connection->open();
    } catch (const Error& e) {
        fatal(QStringLiteral("não foi possível conectar a %1: %2").arg(options.database, e.message()));
    }
    return connection;
}

QString marker() {
    return QStringLiteral("SHELL date +%s%N;\n");
}

void waitForEnd(QProcess& process, const QString& name, int limitSeconds) {
    if (!process.waitForStarted(30000))
        fatal(QStringLiteral("%1 não pôde ser iniciado: %2").arg(name, process.errorString()));
    if (!process.waitForFinished(limitSeconds * 1000)) {
        process.kill();
        process.waitForFinished(10000);
        fatal(QStringLiteral("%1 não terminou em %2 s").arg(name).arg(limitSeconds));
    }
}

IsqlSession runIsql(const Options& options, const QString& script, int expectedMarkers) {
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/uc-bench-XXXXXX.sql"));
    // EXIT ends the session quietly (at the end of the file isql says it rolls back, on stderr).
    const QByteArray bytes = (script + QStringLiteral("EXIT;\n")).toLatin1();
    if (!file.open() || file.write(bytes) != bytes.size() || !file.flush())
        fatal(QStringLiteral("não foi possível gravar o script do isql: %1").arg(file.errorString()));

    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    const QStringList arguments{QStringLiteral("-q"),
                                QStringLiteral("-bail"),
                                QStringLiteral("-ch"),
                                QStringLiteral("WIN1252"),
                                QStringLiteral("-user"),
                                options.user,
                                QStringLiteral("-password"),
                                options.password,
                                QStringLiteral("-i"),
                                file.fileName(),
                                options.database};
    const double started = now();
    process.start(QStringLiteral("isql-fb"), arguments);
    // The longest session here is a merge of a few seconds; a server that stops answering is not
    // waited for past ten minutes.
    waitForEnd(process, QStringLiteral("isql-fb"), 600);
    IsqlSession session;
    session.startedAt = started;
    session.wallSeconds = now() - started;
    const QString err = QString::fromLocal8Bit(process.readAllStandardError());
    session.output = QString::fromLocal8Bit(process.readAllStandardOutput());
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0 || !err.trimmed().isEmpty())
        fatal(QStringLiteral("isql-fb falhou (%1):\n%2").arg(process.exitCode()).arg(err + session.output));
    for (const QString& line : session.output.split(u'\n')) {
        const QString t = line.trimmed();
        bool ok = false;
        const qlonglong ns = t.size() >= 18 ? t.toLongLong(&ok) : 0;
        if (ok)
            session.markers.push_back(double(ns) / 1e9);
    }
    if (int(session.markers.size()) != expectedMarkers)
        fatal(QStringLiteral("isql-fb escreveu %1 marcas de tempo, esperadas %2:\n%3")
                  .arg(session.markers.size())
                  .arg(expectedMarkers)
                  .arg(session.output));
    return session;
}

double markerOverhead(const Options& options) {
    const int pairs = 10;
    QString script;
    for (int i = 0; i < pairs; ++i)
        script += marker() + marker();
    const IsqlSession s = runIsql(options, script, 2 * pairs);
    std::vector<double> gaps;
    for (int i = 0; i < pairs; ++i)
        gaps.push_back(s.markers[std::size_t(2 * i + 1)] - s.markers[std::size_t(2 * i)]);
    return median(gaps);
}

double wallClockOffset() {
    using namespace std::chrono;
    const double wall = duration<double>(system_clock::now().time_since_epoch()).count();
    return wall - now();
}

double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

QString load() {
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("load ?");
    const QStringList parts = QString::fromLatin1(file.readAll()).split(u' ');
    return QStringLiteral("load %1").arg(parts.mid(0, 3).join(u' '));
}

double report(const QString& name, const std::vector<double>& ours, const std::vector<double>& isql, double target) {
    std::vector<double> ratios;
    for (std::size_t i = 0; i < ours.size() && i < isql.size(); ++i)
        ratios.push_back(isql[i] > 0 ? ours[i] / isql[i] : 0);
    const double ratio = median(ratios);
    std::printf("%-44s ours %9.3f ms   isql %9.3f ms   ratio %.3f (target <= %.2f: %s)   [%s]\n", qPrintable(name),
                median(ours) * 1e3, median(isql) * 1e3, ratio, target, ratio <= target ? "met" : "MISSED",
                qPrintable(load()));
    std::fflush(stdout);
    return ratio;
}

void fatal(const QString& text) {
    std::fprintf(stderr, "bench: %s\n", qPrintable(text));
    std::exit(1);
}

double now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

} // namespace uc::bench
