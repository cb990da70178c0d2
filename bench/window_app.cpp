// The program's side of the window benchmarks (uc-bench-window starts it): the program itself, as
// its main() runs it (the application object, the main window on the qor.ini of a program folder,
// show, message loop), driven the way the operator drives it. It prints on standard output the
// moments that the driver times, in nanoseconds of the monotonic clock that the driver reads too,
// and what it saw, for the driver to check:
//
//   uc-bench-window-app --folder F
//       start-up: "main", "application", "window", "show-returned" and "shown", the moment right
//       after the main window's first painting (show step, caption, the three lists, the window
//       drawn and handed to the display); then the caption, the group list's title and the rows
//       of the three lists; then it quits.
//   uc-bench-window-app --folder F --merge CPF/CNPJ --log FILE
//       after the start-up, types the value into the search box, waits as an operator would, and
//       clicks "Processar": "click" is the moment before the click, "box-shown" the moment of the
//       closing box's show event and "box" the moment right after the box's first painting; the
//       box is then answered with OK. The log, as the window holds it after the run, goes to FILE.
//
// With --trace, also "trace" lines: the moments when the connection set-up starts and ends and
// when each statement is sent (not for timing: the hooks cost a little).
//
// Any message box other than "Fim do Processo." (an error box) is printed as "failure" and ends the
// program with status 1. Each moment is printed with the processor time the program had used by
// then, also in nanoseconds.

#include "app/EndingSignals.h"
#include "app/TFPrin.h"
#include "browser/DuplicateBrowser.h"
#include "browser/List.h"
#include "connection/ConnectionSetup.h"
#include "db/ClientLibrary.h"
#include "db/Connection.h"
#include "settings/SystemHost.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <vector>

using namespace uc;

namespace {

long long monotonicNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void print(const char* name, const QString& value) {
    std::printf("%s %s\n", name, qPrintable(value));
    std::fflush(stdout);
}

// The processor time this process has used so far.
long long cpuNs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return (long long)t.tv_sec * 1000000000 + t.tv_nsec;
}

struct Moment {
    long long at = 0;
    long long cpu = 0;
};

Moment moment() {
    return {monotonicNs(), cpuNs()};
}

void printMoment(const char* name, Moment m) {
    std::printf("%s %lld %lld\n", name, m.at, m.cpu);
    std::fflush(stdout);
}

// A box other than the closing one (an error box), or a step that did not happen: printed as
// "failure", and the program ends at once with status 1.
[[noreturn]] void fail(const QString& text) {
    print("failure", text);
    std::_Exit(1);
}

// Watches every event of the application for the two moments timed: a window's first painting,
// and the closing box of the merge run.
class Watch : public QObject {
public:
    explicit Watch(QWidget& window) : m_window(window) {}

    bool shown() const { return m_shownAt.at != 0; }
    Moment shownAt() const { return m_shownAt; }
    bool expectBox = false;
    Moment boxShownAt;
    Moment boxAt;
    QString boxText;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!watched->isWidgetType())
            return false;
        auto* widget = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::Show) {
            if (auto* box = qobject_cast<QMessageBox*>(widget)) {
                if (!expectBox || box->text() != QLatin1String("Fim do Processo."))
                    fail(box->text());
                boxShownAt = moment();
                boxText = box->text();
            }
        } else if (event->type() == QEvent::Paint) {
            QWidget* window = widget->window();
            if (window == &m_window && !m_shownPainting) {
                // The whole window is painted and handed to the display in this one pass: the
                // moment is taken once the pass has returned to the message loop.
                m_shownPainting = true;
                QTimer::singleShot(0, this, [this] { m_shownAt = moment(); });
            } else if (auto* box = qobject_cast<QMessageBox*>(window); box && expectBox && !m_boxPainting) {
                m_boxPainting = true;
                QPointer<QMessageBox> answer(box);
                QTimer::singleShot(0, this, [this, answer] {
                    boxAt = moment();
                    if (answer)
                        answer->accept();
                });
            }
        }
        return false;
    }

private:
    QWidget& m_window;
    Moment m_shownAt;
    bool m_shownPainting = false;
    bool m_boxPainting = false;
};

// Runs the message loop until the condition holds or the time is up (milliseconds).
bool waitFor(const std::function<bool()>& condition, int limit) {
    const long long until = monotonicNs() + (long long)limit * 1000000;
    while (!condition()) {
        if (monotonicNs() > until)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

// The operator looks at the window for a moment: everything pending is handled and painted.
void pause(int ms) {
    const long long until = monotonicNs() + (long long)ms * 1000000;
    while (monotonicNs() < until)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
}

// Keys and clicks as the window system delivers them, without the test library: the program
// itself does not load it either.
void type(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QApplication::sendEvent(widget, &release);
    }
}

void click(QWidget* widget) {
    const QPointF local = QRectF(widget->rect()).center();
    const QPointF global = widget->mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QApplication::sendEvent(widget, &release);
}

} // namespace

int main(int argc, char* argv[]) {
    const Moment mainAt = moment();
    QString folder, cnpj, logFile;
    bool trace = false;
    for (int i = 1; i < argc; i += 2) {
        const QByteArray option = argv[i];
        if (option == "--trace") {
            trace = true;
            --i;
            continue;
        }
        if (i + 1 >= argc)
            break;
        const QString value = QString::fromLocal8Bit(argv[i + 1]);
        if (option == "--folder")
            folder = value;
        else if (option == "--merge")
            cnpj = value;
        else if (option == "--log")
            logFile = value;
    }
    if (folder.isEmpty() || (!cnpj.isEmpty() && logFile.isEmpty())) {
        std::fprintf(stderr, "usage: uc-bench-window-app --folder F [--merge CPF/CNPJ --log FILE] [--trace]\n");
        return 2;
    }

    // As the program's main() does.
    uc::endingSignals::install();
    int result = 0;
    {
        QApplication app(argc, argv);
        QApplication::setApplicationName(QStringLiteral("unifica-contribuintes"));
        const Moment applicationAt = moment();
        {
            SystemHost host(folder);
            TFPrin FPrin(host);
            const uc::endingSignals::Watch endingSignals(FPrin.Conexao());
            const Moment windowAt = moment();
            Watch watch(FPrin);
            app.installEventFilter(&watch);
            std::vector<std::pair<Moment, QString>> traced;
            if (trace) {
                FPrin.Conexao().setBeforeConnect([&] {
                    traced.emplace_back(moment(), QStringLiteral("set-up starts"));
                    FPrin.setup().ConexaoBeforeConnect();
                    traced.emplace_back(moment(), QStringLiteral("set-up ends"));
                });
                FPrin.Conexao().setStatementObserver(
                    [&](const QString& sql) { traced.emplace_back(moment(), sql.left(60).simplified()); });
            }

            FPrin.show();
            const Moment showReturnedAt = moment();
            if (!waitFor([&] { return watch.shown(); }, 120000))
                fail(QStringLiteral("a janela não foi mostrada"));
            printMoment("main", mainAt);
            printMoment("application", applicationAt);
            printMoment("window", windowAt);
            printMoment("show-returned", showReturnedAt);
            printMoment("shown", watch.shownAt());
            print("caption", FPrin.windowTitle());
            print("title", FPrin.findChild<QLabel*>(QStringLiteral("Label1"))->text());
            print("groups", QString::number(FPrin.browser().cds1().recordCount()));
            print("principals", QString::number(FPrin.browser().cds2().recordCount()));
            print("members", QString::number(FPrin.browser().cds3().recordCount()));

            if (!cnpj.isEmpty()) {
                pause(300);
                QLineEdit* search = FPrin.findChild<QLineEdit*>(QStringLiteral("Edit1"));
                search->setFocus();
                type(search, cnpj);
                pause(300);
                print("selected-groups", QString::number(FPrin.browser().cds1().recordCount()));
                print("selected-members", QString::number(FPrin.browser().cds3().recordCount()));
                print("principal", FPrin.browser().cds2().fieldAsText(QStringLiteral("COD_CNT")));

                watch.expectBox = true;
                auto* processar = FPrin.findChild<QAbstractButton*>(QStringLiteral("btnProcessa"));
                const Moment clickAt = moment();
                click(processar);
                const Moment doneAt = moment();
                if (!watch.boxAt.at)
                    fail(QStringLiteral("a caixa de fim não foi mostrada"));
                printMoment("click", clickAt);
                printMoment("box-shown", watch.boxShownAt);
                printMoment("box", watch.boxAt);
                printMoment("done", doneAt);
                print("box-text", watch.boxText);
                print("groups-after", QString::number(FPrin.browser().cds1().recordCount()));
                QFile log(logFile);
                if (!log.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
                    log.write(FPrin.Memo()->toPlainText().toUtf8()) < 0)
                    fail(QStringLiteral("não foi possível gravar o log em %1").arg(logFile));
            }
            for (const auto& [m, label] : traced)
                std::printf("trace %lld %lld %s\n", m.at, m.cpu, qPrintable(label));
            app.removeEventFilter(&watch);
        }
    }
    uc::db::ClientLibrary::shutdownAll();
    return result;
}
