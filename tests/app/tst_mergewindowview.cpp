// The merge run's view of the main window, on its own: the run holds the message loop, so the gauge
// must draw itself at once, and exactly when the percentage it shows changes; the log must hold every
// line as soon as it is appended and keep its last line in view. The window is shown on an
// installation without repeated CPF/CNPJ values: empty lists.

#include "PaintCounter.h"
#include "ScratchDatabase.h"
#include "WindowFixture.h"
#include "app/MergeWindowView.h"
#include "app/TFPrin.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QTest>

using namespace uc;
using namespace uc::test;

namespace {

// The whole percentage of a run's progress, as the gauge writes it.
QString percentage(int position, int maximum) {
    return QString::number(position * 100 / maximum) + QLatin1Char('%');
}

} // namespace

class TestMergeWindowView : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchDatabase> m_db;
    std::unique_ptr<ShownWindow> m_shown;

    TFPrin* showWindow() {
        m_shown = std::make_unique<ShownWindow>(m_db->folder());
        if (!m_shown->exposed() || !m_shown->boxes().messages().isEmpty())
            return nullptr;
        // Everything pending is drawn, as when the operator clicks "Processar".
        QCoreApplication::processEvents();
        return &**m_shown;
    }

private slots:
    void initTestCase() {
        QApplication::setApplicationName(QStringLiteral("unifica-contribuintes"));
        m_db = std::make_unique<ScratchDatabase>();
        QVERIFY(m_db->writeSettings(m_db->folder()));
    }

    void cleanup() { m_shown.reset(); }

    void cleanupTestCase() { m_db.reset(); }

    void gaugeDrawnWhenItsPercentageChanges_data() {
        QTest::addColumn<int>("previous"); // where an earlier run left the gauge, out of 3; -1: none
        QTest::addColumn<int>("maximum");

        QTest::newRow("three members") << -1 << 3;
        QTest::newRow("250 members: two positions to a percent") << -1 << 250;
        QTest::newRow("1000 members: ten positions to a percent") << -1 << 1000;
        QTest::newRow("one member") << -1 << 1;
        QTest::newRow("after a run that ended at 100%") << 3 << 3;
        QTest::newRow("after a run, 250 members") << 3 << 250;
    }
    // The run's own order: the gauge appears, goes to 0, gets its maximum, then advances member by
    // member. Each change is drawn within the call that makes it, once, when it changes the
    // percentage (or first shows the gauge), and not at all otherwise.
    void gaugeDrawnWhenItsPercentageChanges() {
        QFETCH(int, previous);
        QFETCH(int, maximum);
        TFPrin* window = showWindow();
        QVERIFY(window);
        QProgressBar* gauge = window->PB();
        if (previous >= 0) {
            MergeWindowView earlier(*window);
            earlier.setGaugeVisible(true);
            earlier.setGaugeMaximum(3);
            earlier.setGaugePosition(previous);
            earlier.setGaugeVisible(false);
            QCoreApplication::processEvents();
        }
        PaintCounter paints(gauge);
        MergeWindowView view(*window);
        auto drawingsDuring = [&](const std::function<void()>& change) {
            const int before = paints.count;
            change();
            return paints.count - before;
        };

        view.setGaugeVisible(true);
        QCOMPARE(paints.count, 0);
        QCOMPARE(drawingsDuring([&] { view.setGaugePosition(0); }), 1);
        QCOMPARE(drawingsDuring([&] { view.setGaugeMaximum(maximum); }), 0);
        QString shown = percentage(0, maximum);
        int drawn = 0;
        for (int position = 1; position <= maximum; ++position) {
            const QString now = percentage(position, maximum);
            const int drawings = drawingsDuring([&] { view.setGaugePosition(position); });
            QCOMPARE(gauge->value(), position);
            if (now != shown) {
                QVERIFY2(drawings == 1, qPrintable(QStringLiteral("at %1: %2 drawings").arg(position).arg(drawings)));
                ++drawn;
            } else {
                QVERIFY2(drawings == 0, qPrintable(QStringLiteral("at %1: %2 drawings").arg(position).arg(drawings)));
            }
            shown = now;
        }
        QCOMPARE(drawn, std::min(maximum, 100));
        QCOMPARE(gauge->text(), QStringLiteral("100%"));
    }

    // Every line is in the log's text as soon as it is appended, and once the window is drawn the
    // log shows its last lines, as after lines appended one by one with nothing held back.
    void logHoldsEveryLineAtOnce() {
        TFPrin* window = showWindow();
        QVERIFY(window);
        QPlainTextEdit* memo = window->Memo();
        MergeWindowView view(*window);
        view.showLog();
        view.clearLog();
        QStringList lines;
        for (int i = 0; i < 60; ++i) {
            const QString line = i % 2 ? QString() : QStringLiteral("UPDATE T%1 SET C = '100' WHERE C = '205'").arg(i);
            view.appendLog(line);
            lines << line;
            QCOMPARE(memo->toPlainText(), lines.join(QLatin1Char('\n')));
        }
        QCOMPARE(memo->verticalScrollBar()->value(), memo->verticalScrollBar()->maximum());
        QVERIFY(memo->verticalScrollBar()->maximum() > 0);

        // The same lines appended by the log itself, in a log of the same size and font.
        QPlainTextEdit reference;
        reference.setFont(memo->font());
        reference.setLineWrapMode(memo->lineWrapMode());
        reference.setVerticalScrollBarPolicy(memo->verticalScrollBarPolicy());
        reference.setHorizontalScrollBarPolicy(memo->horizontalScrollBarPolicy());
        reference.resize(memo->size());
        reference.show();
        QVERIFY(QTest::qWaitForWindowExposed(&reference));
        for (const QString& line : lines)
            reference.appendPlainText(line);
        QCoreApplication::processEvents();
        QCOMPARE(memo->verticalScrollBar()->maximum(), reference.verticalScrollBar()->maximum());
        QCOMPARE(memo->verticalScrollBar()->value(), reference.verticalScrollBar()->value());
        QCOMPARE(memo->horizontalScrollBar()->maximum(), reference.horizontalScrollBar()->maximum());
        QCOMPARE(memo->cursorForPosition(QPoint(0, 0)).blockNumber(),
                 reference.cursorForPosition(QPoint(0, 0)).blockNumber());
    }
};

QTEST_MAIN(TestMergeWindowView)
#include "tst_mergewindowview.moc"
