// The default error box that every event handler of the window runs under, and the seam through
// which the program's message boxes pass.

#include "app/EventHandlers.h"
#include "app/MessageBoxes.h"
#include "common/Error.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <stdexcept>

using namespace uc;

class TestEventHandlers : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setApplicationName(QStringLiteral("unifica-contribuintes")); }

    void fullStop_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter") << "abc"
                                << "abc.";
        QTest::newRow("full stop") << "abc."
                                   << "abc.";
        QTest::newRow("exclamation sorts before the stop") << "abc!"
                                                           << "abc!";
        QTest::newRow("closing parenthesis") << "x)"
                                             << "x)";
        QTest::newRow("comma") << "a,"
                               << "a,";
        QTest::newRow("hyphen") << "a-"
                                << "a-";
        QTest::newRow("trailing blank") << "a "
                                        << "a ";
        QTest::newRow("line feed") << "a\n"
                                   << "a\n";
        QTest::newRow("slash, right after the stop") << "/"
                                                     << "/.";
        QTest::newRow("digit") << "1"
                               << "1.";
        QTest::newRow("colon") << "a:"
                               << "a:.";
        QTest::newRow("question mark") << "Continuar?"
                                       << "Continuar?.";
        QTest::newRow("accented letter") << "é"
                                         << "é.";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("server text, several lines")
            << "Dynamic SQL Error\n-SQL error code = -204\n-Table unknown\n-GR_CAD_EMPRESA"
            << "Dynamic SQL Error\n-SQL error code = -204\n-Table unknown\n-GR_CAD_EMPRESA.";
    }
    void fullStop() {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(errorBoxText(message), shown);

        MessageBoxRecorder boxes;
        runHandler(nullptr, [&] { throw Error(message); });
        QCOMPARE(boxes.messages().size(), 1);
        QCOMPARE(boxes.messages()[0].kind, MessageKind::Error);
        QCOMPARE(boxes.messages()[0].title, QStringLiteral("unifica-contribuintes"));
        QCOMPARE(boxes.messages()[0].text, shown);
    }

    void errorKinds_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("shown");
        QTest::newRow("none") << 0 << QString();
        QTest::newRow("uc::Error") << 1 << QStringLiteral("Tabela desconhecida.");
        QTest::newRow("std::exception") << 2 << QStringLiteral("bad value.");
    }
    void errorKinds() {
        QFETCH(int, kind);
        QFETCH(QString, shown);
        MessageBoxRecorder boxes;
        bool finished = false;
        runHandler(nullptr, [&] {
            if (kind == 1)
                throw Error(QStringLiteral("Tabela desconhecida"));
            if (kind == 2)
                throw std::invalid_argument("bad value");
            finished = true;
        });
        QCOMPARE(finished, kind == 0);
        QCOMPARE(boxes.messages().size(), shown.isNull() ? 0 : 1);
        if (!shown.isNull())
            QCOMPARE(boxes.messages()[0].text, shown);
    }

    // Opening the group list fires its after-scroll reload: an error there ends the whole show
    // step, and the operator sees it once.
    void nestedHandlerErrorEndsTheOuterOne() {
        MessageBoxRecorder boxes;
        QStringList steps;
        runHandler(nullptr, [&] {
            steps << "outer";
            runHandler(nullptr, [&] {
                steps << "inner";
                throw Error(QStringLiteral("Conexão perdida"));
            });
            steps << "after inner";
        });
        QCOMPARE(steps, (QStringList{"outer", "inner"}));
        QCOMPARE(boxes.messages().size(), 1);
        QCOMPARE(boxes.messages()[0].text, QStringLiteral("Conexão perdida."));

        // The next event starts afresh: its error is shown too.
        runHandler(nullptr, [] { throw Error(QStringLiteral("Outra")); });
        QCOMPARE(boxes.messages().size(), 2);
        QCOMPARE(boxes.messages()[1].text, QStringLiteral("Outra."));
    }

    void connectedHandlerErrorStopsAtTheBox() {
        MessageBoxRecorder boxes;
        QWidget window;
        QLineEdit edit(&window);
        int calls = 0;
        connectHandler(&edit, &QLineEdit::textChanged, &window, [&] {
            ++calls;
            throw Error(QStringLiteral("Filtro inválido: ") + edit.text());
        });
        edit.setText(QStringLiteral("12'"));
        edit.setText(QStringLiteral("12"));
        QCOMPARE(calls, 2);
        QCOMPARE(boxes.messages().size(), 2);
        QCOMPARE(boxes.messages()[0].text, QStringLiteral("Filtro inválido: 12'"));
        QCOMPARE(boxes.messages()[1].text, QStringLiteral("Filtro inválido: 12."));
    }

    void recordersNest() {
        MessageBoxRecorder outer;
        {
            MessageBoxRecorder inner;
            MessageBoxes::information(nullptr, QStringLiteral("Informação"), QStringLiteral("Fim do Processo."));
            QCOMPARE(inner.messages().size(), 1);
            QCOMPARE(inner.messages()[0].kind, MessageKind::Information);
            QCOMPARE(inner.messages()[0].title, QStringLiteral("Informação"));
            QCOMPARE(inner.messages()[0].text, QStringLiteral("Fim do Processo."));
        }
        QVERIFY(outer.messages().isEmpty());
        MessageBoxes::error(nullptr, QStringLiteral("Erro"), QStringLiteral("Erro na Geração.\rErro: x"));
        QCOMPARE(outer.messages().size(), 1);
        QCOMPARE(outer.messages()[0].text, QStringLiteral("Erro na Geração.\rErro: x"));
    }

    // A test can look at the program while the box is open, before the operator answers it.
    void onShowRunsWhileTheBoxIsOpen() {
        MessageBoxRecorder boxes;
        QStringList order;
        boxes.setOnShow([&](const MessageRecord& box) { order << "box: " + box.text; });
        MessageBoxes::error(nullptr, QStringLiteral("Erro"), QStringLiteral("a"));
        order << "answered";
        QCOMPARE(order, (QStringList{"box: a", "answered"}));
    }
};

QTEST_MAIN(TestEventHandlers)
#include "tst_eventhandlers.moc"
