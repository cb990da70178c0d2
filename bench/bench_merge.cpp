// A merge of one group of ten taxpayers ("Processar") through the program's own merge run, against
// isql-fb running the identical 9 x 98 statements, the generator query and the generator statement
// in one read-committed transaction, on the same database in the same run.
//
// Every round merges two fresh groups of ten made by uc-datagen --merge-groups, one on each side;
// all those groups have the same number of references in every column, so both sides change the
// same number of rows. Which side goes first alternates from round to round, and a first round
// that is not counted warms the server's cache for both.
//
// Our time runs from the click (MergeRun::run) to "Fim do Processo.", that is to the end of the
// commit; the reload of the three lists that follows is reported on its own line. isql's time is
// taken inside its session (shell markers around the transaction, their own cost subtracted), so
// its start-up and attach do not count against it.

#include "BenchSupport.h"
#include "browser/DuplicateBrowser.h"
#include "browser/List.h"
#include "common/Error.h"
#include "db/Connection.h"
#include "db/Query.h"
#include "merge/MergeRun.h"
#include "merge/RepointStatements.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

using namespace uc;
using namespace uc::bench;

namespace {

const QString codeColumn = QStringLiteral("COD_CNT");

// The window as far as the merge run sees it: the log kept, the boxes answered at once, and the
// moment "Fim do Processo." is shown, which is right after the commit.
class RecordingView : public MergeView {
public:
    QStringList log;
    QStringList errors;
    QStringList informations;
    double informationAt = 0;

    void showLog() override {}
    void clearLog() override { log.clear(); }
    void appendLog(const QString& line) override { log << line; }
    void setGaugeVisible(bool) override {}
    void setGaugeMaximum(int) override {}
    void setGaugePosition(int) override {}
    void setButtonEnabled(bool) override {}
    void information(const QString& text) override {
        informationAt = now();
        informations << text;
    }
    void error(const QString& text) override { errors << text; }
};

struct Group {
    QString cnpj;
    QString principal;
    QStringList duplicates;
};

// Selects the group the way the operator does, by typing its CPF/CNPJ in the search box, and reads
// the principal (first row of the principal list) and the other members in the member list's order.
Group select(DuplicateBrowser& browser, const QString& cnpj) {
    browser.Edit1Change(cnpj);
    List& principals = browser.cds2();
    List& members = browser.cds3();
    if (browser.cds1().recordCount() != 1 || members.recordCount() != 10)
        fatal(QStringLiteral("o grupo %1 não tem dez contribuintes").arg(cnpj));
    Group g{cnpj, principals.fieldAsText(codeColumn), {}};
    for (members.first(); !members.eof(); members.next()) {
        if (members.fieldAsText(codeColumn) != g.principal)
            g.duplicates << members.fieldAsText(codeColumn);
    }
    if (g.duplicates.size() != 9)
        fatal(QStringLiteral("o grupo %1 não tem nove contribuintes a unificar").arg(cnpj));
    return g;
}

// The statements the merge sends for a group, in order: 98 per duplicate, then the generator.
QStringList statements(const Group& g, const QString& maxCode) {
    QStringList all;
    for (const QString& duplicate : g.duplicates)
        all += mergeStatements(g.principal, duplicate);
    all << generatorStatement(maxCode);
    return all;
}

int rowsOf(db::Connection& c, const QString& cnpj) {
    const db::RowSet r =
        c.select(QStringLiteral("SELECT COUNT(*) N FROM GR_CONTRIBUINTES WHERE CNPJ_CNT = '%1'").arg(cnpj));
    return r.value(0, 0).toInt();
}

struct OurRun {
    double untilCommit;
    double withReload;
};

OurRun mergeOurs(db::Connection& c, DuplicateBrowser& browser, MergeRun& run, RecordingView& view, const QString& cnpj,
                 const QString& maxCode) {
    const Group g = select(browser, cnpj);
    view.informations.clear();
    const double started = now();
    run.run();
    const double ended = now();
    if (!view.errors.isEmpty())
        fatal(QStringLiteral("a unificação falhou: %1").arg(view.errors.join(u'\n')));
    if (view.informations != QStringList{QStringLiteral("Fim do Processo.")})
        fatal(QStringLiteral("a unificação não terminou com \"Fim do Processo.\""));
    // The log shows what was sent: it must be exactly what isql is given for its own group.
    QStringList sent;
    for (qsizetype i = 1; i + 1 < view.log.size(); ++i) {
        if (!view.log[i].isEmpty())
            sent << view.log[i];
    }
    if (sent != statements(g, maxCode))
        fatal(QStringLiteral("os comandos da unificação não são os esperados"));
    if (rowsOf(c, cnpj) != 1)
        fatal(QStringLiteral("o grupo %1 não foi unificado").arg(cnpj));
    return {view.informationAt - started, ended - started};
}

struct IsqlRun {
    double inSession;
    double wall;
};

IsqlRun mergeIsql(const Options& options, db::Connection& c, DuplicateBrowser& browser, const QString& cnpj,
                  const QString& maxCode, double overhead) {
    const Group g = select(browser, cnpj);
    // AUTODDL off keeps SET GENERATOR in the merge's transaction; results go nowhere. isql's own
    // transaction is ended first: SET TRANSACTION would otherwise roll it back with a message.
    QString script = QStringLiteral("SET AUTODDL OFF;\nOUTPUT /dev/null;\nCOMMIT;\n") + marker() +
                     QStringLiteral("SET TRANSACTION READ WRITE WAIT ISOLATION LEVEL READ COMMITTED RECORD_VERSION;\n");
    const QStringList texts = statements(g, maxCode);
    for (qsizetype i = 0; i < texts.size(); ++i) {
        if (i + 1 == texts.size())
            script += maxCodeSql() + QStringLiteral(";\n");
        script += texts[i] + QStringLiteral(";\n");
    }
    script += QStringLiteral("COMMIT;\n") + marker();
    const IsqlSession s = runIsql(options, script, 2);
    if (rowsOf(c, cnpj) != 1)
        fatal(QStringLiteral("o grupo %1 não foi unificado pelo isql").arg(cnpj));
    return {s.markers[1] - s.markers[0] - overhead, s.wallSeconds};
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const Options options = parseOptions(argc, argv, "uc-bench-merge --database LOCATION [--rounds N]");
    auto connection = connect(options);
    db::Connection& c = *connection;

    const db::RowSet fresh = c.select(
        QStringLiteral("SELECT CNPJ_CNT FROM GR_CONTRIBUINTES WHERE CNPJ_CNT STARTING WITH 'F' GROUP BY CNPJ_CNT "
                       "HAVING COUNT(*) = 10 ORDER BY CNPJ_CNT"));
    const int needed = 2 * (options.rounds + 1);
    if (fresh.rowCount() < needed)
        fatal(QStringLiteral("restam %1 grupos de dez contribuintes, são precisos %2 (refaça o banco)")
                  .arg(fresh.rowCount())
                  .arg(needed));
    const QString maxCode = c.select(maxCodeSql()).value(0, 0);

    DuplicateBrowser browser(c);
    db::Query qrx(c);
    RecordingView view;
    MergeRun run(c, qrx, browser, view);
    // The show step: the group list over the whole table, then the two taxpayer lists.
    browser.openGroups();
    browser.openPrincipals();
    browser.openMembers();
    const double overhead = markerOverhead(options);

    std::vector<double> ours, oursTotal, isql, isqlWall;
    for (int round = 0; round <= options.rounds; ++round) {
        const QString ourGroup = fresh.value(2 * round, 0);
        const QString isqlGroup = fresh.value(2 * round + 1, 0);
        OurRun o{};
        IsqlRun i{};
        if (round % 2 == 0) {
            o = mergeOurs(c, browser, run, view, ourGroup, maxCode);
            i = mergeIsql(options, c, browser, isqlGroup, maxCode, overhead);
        } else {
            i = mergeIsql(options, c, browser, isqlGroup, maxCode, overhead);
            o = mergeOurs(c, browser, run, view, ourGroup, maxCode);
        }
        std::printf("  merge round %d%s: ours %.1f ms (%.1f ms with the reload), isql %.1f ms in session, "
                    "%.1f ms with start-up\n",
                    round, round == 0 ? " (warm-up, not counted)" : "", o.untilCommit * 1e3, o.withReload * 1e3,
                    i.inSession * 1e3, i.wall * 1e3);
        std::fflush(stdout);
        if (round == 0)
            continue;
        ours.push_back(o.untilCommit);
        oursTotal.push_back(o.withReload);
        isql.push_back(i.inSession);
        isqlWall.push_back(i.wall);
    }
    std::printf("  %d statements per merge; isql marker cost %.2f ms subtracted\n", int(9 * statementCount() + 2),
                overhead * 1e3);
    report(QStringLiteral("merge of a group of 10 (median)"), ours, isql, 1.05);
    report(QStringLiteral("  same, isql start-up and attach counted"), ours, isqlWall, 1.05);
    std::printf("  ours with the reload of the three lists after the commit: median %.1f ms\n",
                median(oursTotal) * 1e3);
    return 0;
}
