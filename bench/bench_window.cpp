// The program through its window, as the operator meets it, side by side with isql-fb doing the same
// work on an identical copy of the database in the same run:
//
//   uc-bench-window startup ...   start-up: from starting the program to its window shown with its
//                                 lists, against isql-fb's start-up and the group query
//   uc-bench-window merge ...     "Processar" on a group of three (two duplicates): from the click
//                                 to the closing box "Fim do Processo." shown, against isql-fb
//                                 running the same 196 statements, the query for the highest code,
//                                 the generator statement and the commit
//
// Options: --master FILE (the database, never opened itself), --folder-a DIR/ and --folder-b DIR/
// (the installations made from it: A for the program, B for isql), --port N (the private server's),
// --app FILE (uc-bench-window-app), --rounds N, [--platform offscreen|xcb]; with --app-before FILE
// --folder-c DIR/, an earlier build of the program is timed too, in the same rounds, on a third
// copy (C), for figures before and after a change under the same load.
//
// The program is uc-bench-window-app, which is the program's main() with its moments printed (see
// there), started as a process with a qor.ini in folder A that reaches database A through the
// server. isql-fb is started as a process on database B, as the same account with the same
// character set. The benchmark keeps one attachment of its own to each database for the whole run
// (as the installation's other users do all day), so that neither side pays for the server opening
// a database nobody is attached to. Which side goes first changes from round to round; round 0
// warms them all and is not counted. The ratio is the median of the rounds' own ratios.
//
// Start-up. Ours: from starting the process to the moment right after the main window's first
// painting, when its show step has run (the caption, the group list, the principal and member
// lists) and the window is drawn. isql: from starting the process to the end of the group query,
// its rows written to /dev/null: a shell marker after the query, less the marker's own cost (its
// wall time to its exit is reported too).
//
// Merge. Before every round both copies are made again from the master, so that every round merges
// the same group on the same database. Database B is then read the way the program reads A before
// the click (the group list, the group's principal and member lists). Ours: a fresh program, which
// starts, shows its window, has the group's CPF/CNPJ typed into its search box and "Processar"
// clicked; timed from the click to the moment right after the closing box's first painting. isql:
// the same texts in one read-committed transaction, timed from its start (start-up and attach
// counted) and inside its session (markers), the stricter figure, in session, held against the
// target. The program's log is checked against isql's texts, and both databases afterwards.

#include "BenchSupport.h"
#include "browser/DuplicateBrowser.h"
#include "common/Error.h"
#include "db/Connection.h"
#include "merge/MergeRun.h"
#include "merge/RepointStatements.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>

using namespace uc;
using namespace uc::bench;

namespace {

struct WindowOptions {
    QString mode;
    QString master;
    QString folderA;
    QString folderB;
    QString port;
    QString app;
    // An earlier build of the program, timed in the same rounds on a third copy (folder C).
    QString appBefore;
    QString folderC;
    QString platform = QStringLiteral("offscreen");
    int rounds = 15;
};

const char* const usage = "uc-bench-window startup|merge --master FILE --folder-a DIR/ --folder-b DIR/ --port N "
                          "--app FILE [--rounds N] [--platform offscreen|xcb] [--app-before FILE --folder-c DIR/]";

WindowOptions parse(int argc, char* argv[]) {
    WindowOptions o;
    if (argc > 1)
        o.mode = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i + 1 < argc; i += 2) {
        const QByteArray name = argv[i];
        const QString value = QString::fromLocal8Bit(argv[i + 1]);
        if (name == "--master")
            o.master = value;
        else if (name == "--folder-a")
            o.folderA = value;
        else if (name == "--folder-b")
            o.folderB = value;
        else if (name == "--port")
            o.port = value;
        else if (name == "--app")
            o.app = value;
        else if (name == "--rounds")
            o.rounds = std::max(1, value.toInt());
        else if (name == "--platform")
            o.platform = value;
        else if (name == "--app-before")
            o.appBefore = value;
        else if (name == "--folder-c")
            o.folderC = value;
        else
            o.mode.clear();
    }
    if ((o.mode != u"startup" && o.mode != u"merge") || o.master.isEmpty() || !o.folderA.endsWith(u'/') ||
        !o.folderB.endsWith(u'/') || o.port.isEmpty() || o.app.isEmpty() ||
        o.appBefore.isEmpty() != o.folderC.isEmpty() || (!o.folderC.isEmpty() && !o.folderC.endsWith(u'/'))) {
        std::fprintf(stderr, "usage: %s\n", usage);
        std::exit(2);
    }
    return o;
}

QString databaseFile(const QString& folder) {
    return folder + QStringLiteral("SGB_DADOS/QORDADOS.FDB");
}

Options databaseOptions(const WindowOptions& o, const QString& folder) {
    Options options;
    options.database = QStringLiteral("localhost/%1:%2").arg(o.port, databaseFile(folder));
    options.rounds = o.rounds;
    if (qEnvironmentVariableIsSet("UC_BENCH_ISQL_USER"))
        options.user = qEnvironmentVariable("UC_BENCH_ISQL_USER");
    if (qEnvironmentVariableIsSet("UC_BENCH_ISQL_PASSWORD"))
        options.password = qEnvironmentVariable("UC_BENCH_ISQL_PASSWORD");
    return options;
}

// The installation's database made again from the master; nobody may be attached to it. The copy
// takes the old file's place in one step.
void restore(const QString& master, const QString& folder) {
    if (!QDir().mkpath(folder + QStringLiteral("SGB_DADOS")))
        fatal(QStringLiteral("não foi possível criar %1SGB_DADOS").arg(folder));
    const QString target = databaseFile(folder);
    const QString copy = target + QStringLiteral(".copy");
    QFile::remove(copy);
    if (!QFile::copy(master, copy))
        fatal(QStringLiteral("não foi possível copiar %1 para %2").arg(master, copy));
    // On the disk before anything is timed: the server writes its pages synchronously, and would
    // otherwise wait behind the copy's own writing.
    const int fd = ::open(QFile::encodeName(copy).constData(), O_RDONLY);
    if (fd < 0 || ::fsync(fd) != 0)
        fatal(QStringLiteral("não foi possível gravar %1 no disco").arg(copy));
    ::close(fd);
    if (std::rename(QFile::encodeName(copy).constData(), QFile::encodeName(target).constData()) != 0)
        fatal(QStringLiteral("não foi possível substituir %1").arg(target));
}

// Server mode, the server on Linux: the program composes the folder + "SGB_DADOS/QORDADOS.FDB".
void writeSettings(const QString& folder, const QString& port) {
    QFile file(folder + QStringLiteral("qor.ini"));
    const QByteArray text = QStringLiteral("[QOR]\nServidor=localhost\nSO_Servidor=LINUX\nPORTACON=%1\n"
                                           "Caminho_Base_Dados=%2\nDiretorio_Servidor=%2\n")
                                .arg(port, folder)
                                .toLocal8Bit();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size())
        fatal(QStringLiteral("não foi possível gravar %1").arg(file.fileName()));
}

// One run of the program: when it was started, and what it printed, by name.
struct AppRun {
    double startedAt = 0;
    QMap<QString, QString> values;

    QString text(const char* name) const { return values.value(QLatin1String(name)); }
    int number(const char* name) const { return values.value(QLatin1String(name)).toInt(); }
    // A moment it printed, in seconds on the clock of now(), and the processor time it had used by
    // then, in seconds.
    double at(const char* name) const { return field(name, 0); }
    double cpu(const char* name) const { return field(name, 1); }

private:
    double field(const char* name, int index) const {
        bool ok = false;
        const qlonglong ns = values.value(QLatin1String(name)).split(u' ').value(index).toLongLong(&ok);
        if (!ok)
            fatal(QStringLiteral("o programa não informou \"%1\"").arg(QLatin1String(name)));
        return double(ns) / 1e9;
    }
};

AppRun runApp(const WindowOptions& o, const QString& program, const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), o.platform);
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    AppRun run;
    run.startedAt = now();
    process.start(program, arguments);
    waitForEnd(process, QStringLiteral("o programa"), 180);
    const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
    for (const QString& line : out.split(u'\n', Qt::SkipEmptyParts)) {
        const qsizetype space = line.indexOf(u' ');
        run.values.insert(line.left(space), space < 0 ? QString() : line.mid(space + 1));
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        fatal(QStringLiteral("o programa falhou (%1): %2\n%3")
                  .arg(process.exitCode())
                  .arg(run.text("failure"), QString::fromLocal8Bit(process.readAllStandardError())));
    return run;
}

// Processor time of the children that have ended, in seconds: around one child, what it used.
double childrenCpu() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int count(db::Connection& c, const QString& sql) {
    return c.select(sql).value(0, 0).toInt();
}

// How the server writes the database's pages: "forced writes on" (each page written through to the
// disk) or "off".
QString forcedWrites(db::Connection& c) {
    return c.select(QStringLiteral("SELECT MON$FORCED_WRITES FROM MON$DATABASE")).value(0, 0) == u"1"
               ? QStringLiteral("forced writes on")
               : QStringLiteral("forced writes off");
}

QString groupCountSql() {
    return QStringLiteral("SELECT COUNT(*) FROM (%1) G (NOME, N)").arg(DuplicateBrowser::groupSql());
}

// What the program's window showed after its start-up: checked, not timed.
void checkShown(const AppRun& run, int groups) {
    if (!run.text("caption").endsWith(QStringLiteral(".: versão 1.02 :.")) ||
        run.text("caption").startsWith(QStringLiteral("   .:")))
        fatal(QStringLiteral("a janela não mostra o nome da instalação: \"%1\"").arg(run.text("caption")));
    if (run.text("title") != QStringLiteral("Contribuintes Repetidos (%1)").arg(groups) ||
        run.number("groups") != groups)
        fatal(QStringLiteral("a lista de grupos tem %1 linhas (\"%2\"), esperadas %3")
                  .arg(run.number("groups"))
                  .arg(run.text("title"))
                  .arg(groups));
    if (run.number("principals") < 2 || run.number("members") != run.number("principals"))
        fatal(QStringLiteral("as listas do primeiro grupo não foram abertas"));
}

void printPhases(const char* title, const std::vector<std::pair<const char*, std::vector<double>>>& phases) {
    std::printf("  %s:", title);
    for (const auto& [name, values] : phases)
        std::printf(" %s %.1f ms;", name, median(values) * 1e3);
    std::printf("\n");
    std::fflush(stdout);
}

// Runs the sides of one round in turn, which side goes first changing from round to round.
void inTurn(int round, std::vector<std::function<void()>> sides) {
    const std::size_t n = sides.size();
    for (std::size_t i = 0; i < n; ++i)
        sides[(i + std::size_t(round)) % n]();
}

// The program's figures and the ratio of each round with isql's.
struct Side {
    std::vector<double> times;
    std::vector<double> cpu;
};

// The processor time of the sides, then the ratios of the program, and of the earlier build when
// there is one, with each of isql's figures (the first is the one held against the target).
void reportSides(const char* cpuWhat, const Side& ours, const Side* before, const std::vector<double>& isqlCpu,
                 const std::vector<std::pair<QString, const std::vector<double>*>>& isqlFigures, double target) {
    std::printf("  processor time, medians: ours %.1f ms %s", median(ours.cpu) * 1e3, cpuWhat);
    if (before)
        std::printf(" (before %.1f ms)", median(before->cpu) * 1e3);
    std::printf(", isql %.1f ms for its whole run\n", median(isqlCpu) * 1e3);
    for (const auto& [name, isql] : isqlFigures)
        report(name, ours.times, *isql, target);
    if (before) {
        for (const auto& [name, isql] : isqlFigures)
            report(QStringLiteral("  before: ") + name.trimmed(), before->times, *isql, target);
    }
}

// ---------------------------------------------------------------------------------------------
// Start-up

void startup(const WindowOptions& o) {
    const bool compare = !o.appBefore.isEmpty();
    QStringList folders{o.folderA, o.folderB};
    if (compare)
        folders << o.folderC;
    for (const QString& folder : folders)
        restore(o.master, folder);
    writeSettings(o.folderA, o.port);
    if (compare)
        writeSettings(o.folderC, o.port);
    const Options b = databaseOptions(o, o.folderB);
    // Held for the whole run: the databases stay open on the server.
    std::vector<std::unique_ptr<db::Connection>> kept;
    for (const QString& folder : folders)
        kept.push_back(connect(databaseOptions(o, folder)));
    const int groups = count(*kept[1], groupCountSql());
    for (auto& c : kept) {
        if (count(*c, groupCountSql()) != groups)
            fatal(QStringLiteral("as cópias do banco diferem"));
    }
    const double overhead = markerOverhead(b);
    const double offset = wallClockOffset();

    const QString query =
        QStringLiteral("OUTPUT /dev/null;\n") + DuplicateBrowser::groupSql() + QStringLiteral(";\n") + marker();
    Side ours, before;
    std::vector<double> isqlEnd, isqlWall, isqlAttach, isqlCpu;
    std::vector<double> toMain, toApplication, toWindow, toShowReturned, toPainted;
    for (int round = 0; round <= o.rounds; ++round) {
        AppRun app, earlier;
        IsqlSession isql, attach;
        double cpu = 0;
        std::vector<std::function<void()>> sides{[&] {
                                                     app = runApp(o, o.app, {QStringLiteral("--folder"), o.folderA});
                                                 },
                                                 [&] {
                                                     const double started = childrenCpu();
                                                     isql = runIsql(b, query, 1);
                                                     cpu = childrenCpu() - started;
                                                     attach = runIsql(b, marker(), 1);
                                                 }};
        if (compare)
            sides.push_back([&] { earlier = runApp(o, o.appBefore, {QStringLiteral("--folder"), o.folderC}); });
        inTurn(round, sides);
        checkShown(app, groups);
        if (compare)
            checkShown(earlier, groups);
        const double shown = app.at("shown") - app.startedAt;
        const double shownBefore = compare ? earlier.at("shown") - earlier.startedAt : 0;
        const double end = isql.markers[0] - offset - isql.startedAt - overhead;
        const double attached = attach.markers[0] - offset - attach.startedAt - overhead;
        std::printf("  start-up round %d%s: ours %.1f ms to the window shown", round,
                    round == 0 ? " (warm-up, not counted)" : "", shown * 1e3);
        if (compare)
            std::printf(" (before %.1f ms)", shownBefore * 1e3);
        std::printf("; isql %.1f ms to the end of the group query (%.1f ms to its exit; start-up and attach alone "
                    "%.1f ms)   [%s]\n",
                    end * 1e3, isql.wallSeconds * 1e3, attached * 1e3, qPrintable(load()));
        std::fflush(stdout);
        if (round == 0)
            continue;
        ours.times.push_back(shown);
        ours.cpu.push_back(app.cpu("shown"));
        if (compare) {
            before.times.push_back(shownBefore);
            before.cpu.push_back(earlier.cpu("shown"));
        }
        isqlEnd.push_back(end);
        isqlWall.push_back(isql.wallSeconds);
        isqlAttach.push_back(attached);
        isqlCpu.push_back(cpu);
        toMain.push_back(app.at("main") - app.startedAt);
        toApplication.push_back(app.at("application") - app.at("main"));
        toWindow.push_back(app.at("window") - app.at("application"));
        toShowReturned.push_back(app.at("show-returned") - app.at("window"));
        toPainted.push_back(app.at("shown") - app.at("show-returned"));
    }
    std::printf("  %d groups; platform %s; %s; %d rounds; isql marker cost %.2f ms subtracted\n", groups,
                qPrintable(o.platform), qPrintable(forcedWrites(*kept[1])), o.rounds, overhead * 1e3);
    printPhases("ours, medians", {{"process start to main()", toMain},
                                  {"application object", toApplication},
                                  {"window created", toWindow},
                                  {"show step and show()", toShowReturned},
                                  {"first painting", toPainted}});
    std::printf("  isql start-up and attach alone: median %.1f ms\n", median(isqlAttach) * 1e3);
    reportSides("to the window shown", ours, compare ? &before : nullptr, isqlCpu,
                {{QStringLiteral("start-up to the window shown (median)"), &isqlEnd},
                 {QStringLiteral("  same, against isql to its exit"), &isqlWall}},
                1.10);
}

// ---------------------------------------------------------------------------------------------
// Merge

struct Group {
    QString cnpj;
    QString principal;
    QStringList duplicates;
};

// The principal is the first taxpayer by name, as the principal list shows it.
Group groupOf(db::Connection& c, const QString& cnpj) {
    const db::RowSet rows = c.select(DuplicateBrowser::principalSql(cnpj));
    if (rows.rowCount() != 3)
        fatal(QStringLiteral("o grupo %1 não tem três contribuintes").arg(cnpj));
    const qsizetype code = rows.columnIndex(QStringLiteral("COD_CNT"));
    return {cnpj, rows.value(0, code), {rows.value(1, code), rows.value(2, code)}};
}

// The references to these taxpayers that a merge re-points, counted once in every column the merge
// knows (one column is re-pointed twice).
int referencesTo(db::Connection& c, const QStringList& codes) {
    int total = 0;
    QSet<QString> counted;
    for (const RepointRow& row : repointRows()) {
        const QString column = QLatin1String(row.table) + u'.' + QLatin1String(row.column);
        if (counted.contains(column))
            continue;
        counted.insert(column);
        QString sql = QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2 IN ('%3')")
                          .arg(QLatin1String(row.table), QLatin1String(row.column), codes.join(QStringLiteral("', '")));
        if (row.companyColumn)
            sql += QStringLiteral(" AND %1 = 1").arg(QLatin1String(row.companyColumn));
        if (row.moduleColumn)
            sql += QStringLiteral(" AND %1 = 5").arg(QLatin1String(row.moduleColumn));
        total += count(c, sql);
    }
    return total;
}

// What a database holds of the group after its merge: taxpayers, references, generator.
QString stateAfter(db::Connection& c, const Group& g) {
    return QStringLiteral("%1 taxpayers, %2 references to the duplicates, %3 to the principal, generator %4")
        .arg(count(c, QStringLiteral("SELECT COUNT(*) FROM GR_CONTRIBUINTES WHERE CNPJ_CNT = '%1'").arg(g.cnpj)))
        .arg(referencesTo(c, g.duplicates))
        .arg(referencesTo(c, {g.principal}))
        .arg(c.select(QStringLiteral("SELECT GEN_ID(GEN_GR_CONTRIBUINTES, 0) FROM RDB$DATABASE")).value(0, 0));
}

// The program merged the group that was typed, principal first by name, and its log holds exactly
// the texts isql was given.
void checkMerged(const AppRun& app, const Group& g, const QStringList& texts, const QString& logFile) {
    if (app.number("selected-groups") != 1 || app.number("selected-members") != 3 ||
        app.text("principal") != g.principal)
        fatal(QStringLiteral("o programa não selecionou o grupo %1").arg(g.cnpj));
    if (app.text("box-text") != QStringLiteral("Fim do Processo."))
        fatal(QStringLiteral("a unificação não terminou com \"Fim do Processo.\""));
    QFile log(logFile);
    if (!log.open(QIODevice::ReadOnly))
        fatal(QStringLiteral("o log do programa não foi gravado"));
    const QStringList lines = QString::fromUtf8(log.readAll()).split(u'\n');
    QStringList logged;
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
        if (!lines[i].isEmpty())
            logged << lines[i];
    }
    if (logged != texts || !lines.first().startsWith(QStringLiteral("--- INICIO --- ")) ||
        !lines.last().startsWith(QStringLiteral("--- FIM --- ")))
        fatal(QStringLiteral("o log do programa não tem os comandos dados ao isql"));
}

void merge(const WindowOptions& o) {
    const bool compare = !o.appBefore.isEmpty();
    QStringList folders{o.folderA, o.folderB};
    if (compare)
        folders << o.folderC;
    const Options b = databaseOptions(o, o.folderB);
    const QString groups[] = {QStringLiteral("F0000000000"), QStringLiteral("F0000000001")};
    QTemporaryDir work;
    if (!work.isValid())
        fatal(QStringLiteral("não foi possível criar uma pasta temporária"));
    const QString logFile = work.filePath(QStringLiteral("log.txt"));
    const QString logFileBefore = work.filePath(QStringLiteral("log-before.txt"));

    std::vector<std::unique_ptr<db::Connection>> kept;
    double overhead = 0;
    int moved = 0;
    QString writes;
    Side ours, before;
    std::vector<double> oursShowEvent, oursDone, isqlWall, isqlSession, isqlCpu;
    for (int round = 0; round <= o.rounds; ++round) {
        // Every round on the same database: nobody attached while the copies are made.
        kept.clear();
        for (const QString& folder : folders)
            restore(o.master, folder);
        writeSettings(o.folderA, o.port);
        if (compare)
            writeSettings(o.folderC, o.port);
        for (const QString& folder : folders)
            kept.push_back(connect(databaseOptions(o, folder)));
        db::Connection& keepB = *kept[1];
        if (round == 0)
            overhead = markerOverhead(b);

        const QString cnpj = groups[round % 2];
        const Group g = groupOf(keepB, cnpj);
        if (round == 0) {
            moved = referencesTo(keepB, g.duplicates);
            writes = forcedWrites(keepB);
        }
        const QString maxCode = keepB.select(maxCodeSql()).value(0, 0);
        QStringList texts;
        for (const QString& duplicate : g.duplicates)
            texts += mergeStatements(g.principal, duplicate);
        texts << generatorStatement(maxCode);
        // isql's database read as the program reads its own before the click.
        keepB.select(DuplicateBrowser::groupSql());
        keepB.select(DuplicateBrowser::principalSql(cnpj));
        keepB.select(DuplicateBrowser::memberSql(cnpj));

        AppRun app, earlier;
        IsqlSession isql;
        double cpu = 0;
        std::vector<std::function<void()>> sides{
            [&] {
                app = runApp(o, o.app,
                             {QStringLiteral("--folder"), o.folderA, QStringLiteral("--merge"), cnpj,
                              QStringLiteral("--log"), logFile});
            },
            [&] {
                QString script =
                    QStringLiteral("SET AUTODDL OFF;\nOUTPUT /dev/null;\nCOMMIT;\n") + marker() +
                    QStringLiteral("SET TRANSACTION READ WRITE WAIT ISOLATION LEVEL READ COMMITTED RECORD_VERSION;\n");
                for (qsizetype i = 0; i < texts.size(); ++i) {
                    if (i + 1 == texts.size())
                        script += maxCodeSql() + QStringLiteral(";\n");
                    script += texts[i] + QStringLiteral(";\n");
                }
                script += QStringLiteral("COMMIT;\n") + marker();
                const double started = childrenCpu();
                isql = runIsql(b, script, 2);
                cpu = childrenCpu() - started;
            }};
        if (compare)
            sides.push_back([&] {
                earlier = runApp(o, o.appBefore,
                                 {QStringLiteral("--folder"), o.folderC, QStringLiteral("--merge"), cnpj,
                                  QStringLiteral("--log"), logFileBefore});
            });
        inTurn(round, sides);

        checkMerged(app, g, texts, logFile);
        if (compare)
            checkMerged(earlier, g, texts, logFileBefore);
        const QString stateB = stateAfter(keepB, g);
        if (!stateB.startsWith(QStringLiteral("1 taxpayers, 0 references")))
            fatal(QStringLiteral("o isql não unificou o grupo: %1").arg(stateB));
        for (std::size_t i = 0; i < kept.size(); ++i) {
            const QString state = stateAfter(*kept[i], g);
            if (state != stateB)
                fatal(QStringLiteral("os bancos diferem depois da unificação:\n  %1: %2\n  isql: %3")
                          .arg(folders[qsizetype(i)], state, stateB));
        }

        const double clickToBox = app.at("box") - app.at("click");
        const double clickToBoxBefore = compare ? earlier.at("box") - earlier.at("click") : 0;
        const double inSession = isql.markers[1] - isql.markers[0] - overhead;
        std::printf("  merge round %d%s: ours %.1f ms from the click to the box shown (%.1f ms to its show event, "
                    "%.1f ms to the lists reloaded)",
                    round, round == 0 ? " (warm-up, not counted)" : "", clickToBox * 1e3,
                    (app.at("box-shown") - app.at("click")) * 1e3, (app.at("done") - app.at("click")) * 1e3);
        if (compare)
            std::printf(" (before %.1f ms)", clickToBoxBefore * 1e3);
        std::printf("; isql %.1f ms with start-up, %.1f ms in session   [%s]\n", isql.wallSeconds * 1e3,
                    inSession * 1e3, qPrintable(load()));
        std::fflush(stdout);
        if (round == 0)
            continue;
        ours.times.push_back(clickToBox);
        ours.cpu.push_back(app.cpu("box") - app.cpu("click"));
        if (compare) {
            before.times.push_back(clickToBoxBefore);
            before.cpu.push_back(earlier.cpu("box") - earlier.cpu("click"));
        }
        oursShowEvent.push_back(app.at("box-shown") - app.at("click"));
        oursDone.push_back(app.at("done") - app.at("click"));
        isqlWall.push_back(isql.wallSeconds);
        isqlSession.push_back(inSession);
        isqlCpu.push_back(cpu);
    }
    kept.clear();
    std::printf("  a group of three: %d statements, then the query for the highest code and the generator statement; "
                "%d references moved; platform %s; %s; %d rounds; isql marker cost %.2f ms subtracted\n",
                2 * statementCount(), moved, qPrintable(o.platform), qPrintable(writes), o.rounds, overhead * 1e3);
    std::printf("  ours to the box's show event: median %.1f ms; to the three lists reloaded after it: %.1f ms\n",
                median(oursShowEvent) * 1e3, median(oursDone) * 1e3);
    reportSides("from the click to the box", ours, compare ? &before : nullptr, isqlCpu,
                {{QStringLiteral("merge, click to \"Fim do Processo.\", isql in session (median)"), &isqlSession},
                 {QStringLiteral("  same, isql start-up counted"), &isqlWall}},
                1.05);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const WindowOptions options = parse(argc, argv);
    if (!QFileInfo::exists(options.master))
        fatal(QStringLiteral("o banco %1 não existe").arg(options.master));
    if (options.mode == u"startup")
        startup(options);
    else
        merge(options);
    return 0;
}
