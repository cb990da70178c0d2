// The search box's filter on the group list, per keystroke, with the list in memory and the
// reload of the two taxpayer lists left out (the after-scroll handler is taken off the group
// list): Edit1Change, which sets the flag off, sets the expression and sets the flag on again.
// The operator types a CPF/CNPJ from the middle of the list character by character and deletes it
// again, then searches anywhere in the values with a leading "%".

#include "BenchSupport.h"
#include "browser/DuplicateBrowser.h"
#include "browser/List.h"
#include "db/Connection.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>

using namespace uc;
using namespace uc::bench;

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const Options options = parseOptions(argc, argv, "uc-bench-filter --database LOCATION [--rounds N]");
    auto connection = connect(options);

    DuplicateBrowser browser(*connection);
    const int groups = browser.openGroups();
    if (groups < 2)
        fatal(QStringLiteral("o banco não tem grupos"));
    List& cds1 = browser.cds1();
    cds1.setAfterScrollHandler({});
    const QString value = cds1.rows().value(groups / 2, cds1.rows().columnIndex(QStringLiteral("NOME")));

    // The texts of the search box after each keystroke.
    QStringList typed;
    for (qsizetype n = 1; n <= value.size(); ++n)
        typed << value.left(n);
    for (qsizetype n = value.size() - 1; n >= 0; --n)
        typed << value.left(n);
    const QString anywhere = QStringLiteral("%") + value.right(5);
    for (qsizetype n = 1; n <= anywhere.size(); ++n)
        typed << anywhere.left(n);
    typed << QString();

    std::vector<double> all, worst;
    QString worstText;
    int passing = -1;
    for (int round = 0; round <= options.rounds; ++round) {
        double roundWorst = 0;
        for (const QString& text : typed) {
            const double started = now();
            browser.Edit1Change(text);
            const double elapsed = now() - started;
            if (text == value)
                passing = cds1.recordCount();
            if (round == 0)
                continue;
            all.push_back(elapsed);
            if (elapsed > roundWorst) {
                roundWorst = elapsed;
                worstText = text;
            }
        }
        if (round > 0)
            worst.push_back(roundWorst);
    }
    if (passing != 1 || cds1.recordCount() != groups)
        fatal(QStringLiteral("o filtro não deu o resultado esperado (%1 grupos com o valor digitado)").arg(passing));

    const double target = 10;
    const double w = median(worst) * 1e3;
    std::printf("filter over %-7d groups, per keystroke: median %.3f ms, worst %.3f ms (\"%s\") "
                "(target <= %.0f ms: %s)   [%s]\n",
                groups, median(all) * 1e3, w, qPrintable(worstText), target, w <= target ? "met" : "MISSED",
                qPrintable(load()));
    std::printf("  %d keystrokes per round: \"%s\" typed and deleted, then \"%s\"; median of %d rounds\n",
                int(typed.size()), qPrintable(value), qPrintable(anywhere), options.rounds);
    return 0;
}
