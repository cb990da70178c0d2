// Opening the group list over the whole taxpayer table (List::open with the group query, as the
// show step and the end of every merge do) against isql-fb fetching the same query, its rows
// written to /dev/null, on the same database in the same run. A first round that is not counted
// warms the server's cache; which side goes first alternates from round to round.

#include "BenchSupport.h"
#include "browser/DuplicateBrowser.h"
#include "browser/List.h"
#include "db/Connection.h"

#include <QCoreApplication>
#include <cstdio>

using namespace uc;
using namespace uc::bench;

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const Options options = parseOptions(argc, argv, "uc-bench-grouplist --database LOCATION [--rounds N]");
    auto connection = connect(options);
    db::Connection& c = *connection;

    const QString sql = DuplicateBrowser::groupSql();
    const int groups = c.select(QStringLiteral("SELECT COUNT(*) FROM (%1) G (NOME, N)").arg(sql)).value(0, 0).toInt();
    const int taxpayers = c.select(QStringLiteral("SELECT COUNT(*) FROM GR_CONTRIBUINTES")).value(0, 0).toInt();
    const double overhead = markerOverhead(options);

    List list(c);
    list.setSql(sql);
    auto ours = [&] {
        list.close();
        const double started = now();
        list.open();
        const double elapsed = now() - started;
        if (list.recordCount() != groups)
            fatal(QStringLiteral("a lista de grupos tem %1 linhas, esperadas %2").arg(list.recordCount()).arg(groups));
        return elapsed;
    };
    const QString script = QStringLiteral("OUTPUT /dev/null;\n") + marker() + sql + QStringLiteral(";\n") + marker();
    auto isql = [&] { return runIsql(options, script, 2); };

    std::vector<double> oursTimes, isqlTimes, isqlWall;
    for (int round = 0; round <= options.rounds; ++round) {
        double o = 0;
        IsqlSession i;
        if (round % 2 == 0) {
            o = ours();
            i = isql();
        } else {
            i = isql();
            o = ours();
        }
        const double inSession = i.markers[1] - i.markers[0] - overhead;
        std::printf("  group list round %d%s: ours %.1f ms, isql %.1f ms in session, %.1f ms with start-up\n", round,
                    round == 0 ? " (warm-up, not counted)" : "", o * 1e3, inSession * 1e3, i.wallSeconds * 1e3);
        std::fflush(stdout);
        if (round == 0)
            continue;
        oursTimes.push_back(o);
        isqlTimes.push_back(inSession);
        isqlWall.push_back(i.wallSeconds);
    }
    std::printf("  %d groups over %d taxpayers; isql marker cost %.2f ms subtracted\n", groups, taxpayers,
                overhead * 1e3);
    report(QStringLiteral("group list opening (median)"), oursTimes, isqlTimes, 1.2);
    report(QStringLiteral("  same, isql start-up and attach counted"), oursTimes, isqlWall, 1.2);
    return 0;
}
