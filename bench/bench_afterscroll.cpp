// The after-scroll reload (cds1AfterScroll: the principal list and the member list loaded for the
// new current group) measured as the operator causes it, by moving the group list's current row,
// against isql-fb running the same two queries for the same groups, all of them in one session,
// its rows written to /dev/null. isql's start-up counts against it, spread over the N reloads; its
// time inside the session is reported too. Rounds alternate which side goes first; the first
// round is not counted.

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
    const Options options = parseOptions(argc, argv, "uc-bench-afterscroll --database LOCATION [--rounds N]");
    auto connection = connect(options);
    db::Connection& c = *connection;

    DuplicateBrowser browser(c);
    const int groups = browser.openGroups();
    const int reloads = std::min(500, groups / 2);
    if (reloads < 1)
        fatal(QStringLiteral("o banco não tem grupos"));
    // Groups spread over the whole list, none of them the first (where the list stands after opening).
    const int step = groups / reloads;
    List& cds1 = browser.cds1();
    const qsizetype nome = cds1.rows().columnIndex(QStringLiteral("NOME"));
    std::vector<int> positions;
    QString script =
        QStringLiteral("COMMIT;\nSET TRANSACTION READ WRITE WAIT ISOLATION LEVEL READ COMMITTED RECORD_VERSION;\n"
                       "OUTPUT /dev/null;\n") +
        marker();
    for (int k = 0; k < reloads; ++k) {
        const int position = step / 2 + k * step;
        positions.push_back(position);
        const QString cnpj = cds1.rows().value(cds1.sourceRow(position), nome);
        script += DuplicateBrowser::principalSql(cnpj) + QStringLiteral(";\n") + DuplicateBrowser::memberSql(cnpj) +
                  QStringLiteral(";\n");
    }
    script += marker();
    const double overhead = markerOverhead(options);

    int sent = 0;
    c.setStatementObserver([&](const QString&) { ++sent; });
    auto ours = [&] {
        sent = 0;
        int taxpayers = 0;
        const double started = now();
        for (int position : positions) {
            cds1.moveTo(position);
            taxpayers += browser.cds3().recordCount();
        }
        const double elapsed = now() - started;
        if (sent != 2 * reloads || taxpayers < 2 * reloads)
            fatal(
                QStringLiteral("%1 comandos e %2 contribuintes em %3 recargas").arg(sent).arg(taxpayers).arg(reloads));
        return elapsed / reloads;
    };

    std::vector<double> oursTimes, isqlTimes, isqlWall;
    for (int round = 0; round <= options.rounds; ++round) {
        double o = 0;
        IsqlSession i;
        if (round % 2 == 0) {
            o = ours();
            i = runIsql(options, script, 2);
        } else {
            i = runIsql(options, script, 2);
            o = ours();
        }
        const double inSession = (i.markers[1] - i.markers[0] - overhead) / reloads;
        const double wall = i.wallSeconds / reloads;
        std::printf("  after-scroll round %d%s: ours %.3f ms, isql %.3f ms in session, %.3f ms with start-up "
                    "(per reload)\n",
                    round, round == 0 ? " (warm-up, not counted)" : "", o * 1e3, inSession * 1e3, wall * 1e3);
        std::fflush(stdout);
        if (round == 0)
            continue;
        oursTimes.push_back(o);
        isqlTimes.push_back(inSession);
        isqlWall.push_back(wall);
    }
    // What the transactions cost: each reload reads in a read-only transaction of its own (two more
    // round trips to the server than isql, which keeps one for its whole session). Not the
    // program's path: the same reloads once more, all inside one transaction.
    c.startTransaction();
    const double oneTransaction = ours();
    c.commit();
    std::printf("  %d reloads (two queries each) per round over %d groups; for comparison, the same reloads "
                "inside one transaction: %.3f ms per reload\n",
                reloads, groups, oneTransaction * 1e3);
    report(QStringLiteral("after-scroll reload (median, per reload)"), oursTimes, isqlWall, 1.2);
    report(QStringLiteral("  same, isql timed inside its session"), oursTimes, isqlTimes, 1.2);
    return 0;
}
