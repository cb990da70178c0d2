// The main window as the operator sees it: every control where the window definition puts it, at
// the designed size and after resizing, the tab order, the initial state, and "&Sair". The show
// step runs against an installation whose database does not exist, so each window opens with one
// error box (recorded, never shown) and empty lists.

#include "app/BitmapButton.h"
#include "app/MessageBoxes.h"
#include "app/TFPrin.h"
#include "settings/SystemHost.h"

#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace uc;

namespace {

// A rectangle whose size is empty checks the position only (labels take the size of their text).
QRect at(int x, int y) {
    return QRect(QPoint(x, y), QSize());
}

struct Placement {
    const char* name;
    const char* parent;
    QRect rect;
};

// The window at 791 x 569, the designed size.
const Placement designed[] = {
    {"Panel9", "FPrin", {0, 0, 791, 28}},
    {"Label4", "Panel9", at(5, 8)},
    {"Edit1", "Panel9", {301, 4, 486, 21}},
    {"Panel2", "FPrin", {0, 28, 791, 185}},
    {"Panel5", "Panel2", {2, 2, 334, 181}},
    {"Panel4", "Panel5", {0, 0, 334, 19}},
    {"Label1", "Panel4", at(2, 2)},
    {"DBGrid1", "Panel5", {0, 19, 334, 162}},
    {"Panel6", "Panel2", {336, 2, 453, 181}},
    {"Panel8", "Panel6", {0, 0, 453, 19}},
    {"Label3", "Panel8", at(2, 2)},
    {"DBGrid3", "Panel6", {0, 19, 453, 162}},
    {"Panel3", "FPrin", {0, 213, 791, 315}},
    {"Panel7", "Panel3", {2, 2, 787, 19}},
    {"Label2", "Panel7", at(2, 2)},
    {"DBGrid2", "Panel3", {2, 21, 787, 292}},
    {"Panel1", "FPrin", {0, 528, 791, 41}},
    {"PB", "Panel1", {8, 8, 369, 25}},
    {"btnProcessa", "Panel1", {584, 4, 100, 31}},
    {"BtnSair", "Panel1", {685, 4, 100, 31}},
};

// The same window resized to 1000 x 700: the rows keep their heights, the group column its width,
// the buttons their distance from the right edge, the search box and the gauge their places.
const Placement resized[] = {
    {"Panel9", "FPrin", {0, 0, 1000, 28}},        {"Label4", "Panel9", at(5, 8)},
    {"Edit1", "Panel9", {301, 4, 486, 21}},       {"Panel2", "FPrin", {0, 28, 1000, 185}},
    {"Panel5", "Panel2", {2, 2, 334, 181}},       {"DBGrid1", "Panel5", {0, 19, 334, 162}},
    {"Panel6", "Panel2", {336, 2, 662, 181}},     {"Panel8", "Panel6", {0, 0, 662, 19}},
    {"DBGrid3", "Panel6", {0, 19, 662, 162}},     {"Panel3", "FPrin", {0, 213, 1000, 446}},
    {"Panel7", "Panel3", {2, 2, 996, 19}},        {"DBGrid2", "Panel3", {2, 21, 996, 423}},
    {"Panel1", "FPrin", {0, 659, 1000, 41}},      {"PB", "Panel1", {8, 8, 369, 25}},
    {"btnProcessa", "Panel1", {793, 4, 100, 31}}, {"BtnSair", "Panel1", {894, 4, 100, 31}},
};

// At the designed size with the log panel shown: it takes the lowest 109 pixels of the member area.
const Placement withLog[] = {
    {"Panel7", "Panel3", {2, 2, 787, 19}},
    {"DBGrid2", "Panel3", {2, 21, 787, 183}},
    {"PMemo", "Panel3", {2, 204, 787, 109}},
    {"Memo", "PMemo", {2, 2, 783, 105}},
};

QWidget* child(QWidget* window, const char* name) {
    return window->findChild<QWidget*>(QLatin1String(name));
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

    QTemporaryDir m_installation;
    std::unique_ptr<SystemHost> m_host;
    std::unique_ptr<MessageBoxRecorder> m_boxes;
    std::unique_ptr<TFPrin> m_window;

    // A window shown the way the program shows it; its show step fails at the connection.
    TFPrin* showWindow(QSize size = QSize(791, 569)) {
        m_window = std::make_unique<TFPrin>(*m_host);
        m_window->show();
        if (!QTest::qWaitForWindowExposed(m_window.get()))
            return nullptr;
        if (m_window->size() != size) {
            m_window->resize(size);
            QCoreApplication::processEvents();
        }
        return m_window.get();
    }

    void checkPlacements() {
        QFETCH(QSize, size);
        QFETCH(bool, logShown);
        QFETCH(QString, name);
        QFETCH(QString, parent);
        QFETCH(QRect, rect);
        TFPrin* window = showWindow(size);
        QVERIFY(window);
        if (logShown)
            window->PMemo()->show();
        QTRY_COMPARE(window->size(), size);
        QWidget* control = window->findChild<QWidget*>(name);
        QVERIFY(control);
        QCOMPARE(control->parentWidget()->objectName(), parent);
        if (rect.size().isEmpty())
            QCOMPARE(control->pos(), rect.topLeft());
        else
            QCOMPARE(control->geometry(), rect);
    }

    static void addPlacements(const char* label, QSize size, bool logShown, const Placement* begin,
                              const Placement* end) {
        for (const Placement* p = begin; p != end; ++p)
            QTest::addRow("%s %s", label, p->name)
                << size << logShown << QString::fromLatin1(p->name) << QString::fromLatin1(p->parent) << p->rect;
    }

    static void placementColumns() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("logShown");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QRect>("rect");
    }

private slots:
    void initTestCase() {
        QApplication::setApplicationName(QStringLiteral("unifica-contribuintes"));
        QVERIFY(m_installation.isValid());
        // A local installation whose database file is missing: the show step fails at the
        // connection. The reports folder is made inside the temporary folder.
        QFile ini(m_installation.filePath(QStringLiteral("qor.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[QOR]\nCaminho_Base_Dados=" + m_installation.path().toUtf8() +
                  "/\nPORTACON=1\nCaminhoDLLCON=\nDLLCON=libfbclient.so.2\n");
        ini.close();
        m_host = std::make_unique<SystemHost>(m_installation.path() + QLatin1Char('/'));
    }

    void init() { m_boxes = std::make_unique<MessageBoxRecorder>(); }

    void cleanup() {
        m_window.reset();
        m_boxes.reset();
    }

    void placementAtDesignedSize_data() {
        placementColumns();
        addPlacements("791x569", {791, 569}, false, std::begin(designed), std::end(designed));
    }
    void placementAtDesignedSize() { checkPlacements(); }

    void placementAfterResize_data() {
        placementColumns();
        addPlacements("1000x700", {1000, 700}, false, std::begin(resized), std::end(resized));
    }
    void placementAfterResize() { checkPlacements(); }

    void placementWithLogShown_data() {
        placementColumns();
        addPlacements("log", {791, 569}, true, std::begin(withLog), std::end(withLog));
    }
    void placementWithLogShown() { checkPlacements(); }

    void windowAsCreated() {
        TFPrin window(*m_host);
        QCOMPARE(window.objectName(), QStringLiteral("FPrin"));
        QCOMPARE(window.windowTitle(), QStringLiteral("FPrin"));
        QCOMPARE(window.size(), QSize(791, 569));
        QCOMPARE(static_cast<QLabel*>(child(&window, "Label1"))->text(), QStringLiteral("CPF/CNPJ Repetidos"));
        QCOMPARE(static_cast<QLineEdit*>(child(&window, "Edit1"))->text(), QString());
        QVERIFY(window.PMemo()->isHidden());
        QVERIFY(window.PB()->isHidden());
        QCOMPARE(window.PB()->minimum(), 0);
        QCOMPARE(window.PB()->maximum(), 100);
        QCOMPARE(window.PB()->value(), 0);
        QVERIFY(window.PB()->isTextVisible());
        window.PB()->setValue(37);
        QCOMPARE(window.PB()->text(), QStringLiteral("37%"));
        QVERIFY(window.Memo()->toPlainText().isEmpty());
        QCOMPARE(window.Memo()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(window.Memo()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        // Nothing is opened or connected before the window is shown.
        QVERIFY(m_boxes->messages().isEmpty());
    }

    void noBorderIcons() {
        TFPrin* window = showWindow();
        QVERIFY(window);
        for (const Qt::WindowFlags flags : {window->windowFlags(), window->windowHandle()->flags()}) {
            QVERIFY(flags.testFlag(Qt::WindowTitleHint));
            QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));
            QVERIFY(!flags.testFlag(Qt::WindowSystemMenuHint));
            QVERIFY(!flags.testFlag(Qt::WindowCloseButtonHint));
            QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
            QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        }
        // Sizeable: no fixed size.
        QVERIFY(window->minimumSize() != window->maximumSize());
    }

    void centredInWorkArea() {
        TFPrin* window = showWindow();
        QVERIFY(window);
        // The whole window, frame included; halves are rounded either way.
        const QPoint offset = window->frameGeometry().center() - window->screen()->availableGeometry().center();
        QVERIFY2(qAbs(offset.x()) <= 1 && qAbs(offset.y()) <= 1,
                 qPrintable(QStringLiteral("off centre by %1,%2").arg(offset.x()).arg(offset.y())));
    }

    void captionsAndFonts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("bold");
        QTest::newRow("Label4") << QStringLiteral("Digite o CPF/CNPJ do Contribuinte para pesquisar:") << true;
        QTest::newRow("Label1") << QStringLiteral("CPF/CNPJ Repetidos") << true;
        QTest::newRow("Label3") << QStringLiteral("Selecione o Contribuinte Principal") << true;
        QTest::newRow("Label2") << QStringLiteral("Dados dos Contribuintes Repetidos") << true;
        QTest::newRow("btnProcessa") << QStringLiteral("Processar") << true;
        QTest::newRow("BtnSair") << QStringLiteral("&Sair") << true;
        QTest::newRow("Edit1") << QString() << false;
    }
    void captionsAndFonts() {
        QFETCH(QString, text);
        QFETCH(bool, bold);
        TFPrin window(*m_host);
        QWidget* control = child(&window, QTest::currentDataTag());
        QVERIFY(control);
        const QVariant caption = control->property("text");
        QCOMPARE(caption.toString(), text);
        QCOMPARE(control->font().bold(), bold);
        // 8 points at 96 dots per inch, whatever the screen.
        QCOMPARE(control->font().pixelSize(), 11);
        QCOMPARE(control->toolTip(), QString());
        // Everything but Label3 in the window-text colour.
        const QColor expected = QTest::currentDataTag() == QByteArray("Label3")
                                    ? QColor(Qt::red)
                                    : window.palette().color(QPalette::WindowText);
        if (qobject_cast<QLabel*>(control))
            QCOMPARE(control->palette().color(QPalette::WindowText), expected);
    }

    void buttonsHotTrackAndPictures() {
        TFPrin window(*m_host);
        for (const char* name : {"btnProcessa", "BtnSair"}) {
            auto* button = window.findChild<BitmapButton*>(QLatin1String(name));
            QVERIFY(button);
            QCOMPARE(button->hotTrackColor(), QColor(255, 199, 60));
            QCOMPARE(button->highlightColor(), QColor(106, 141, 244));
            QCOMPARE(button->glyph().size(), QSize(52, 26));
            QCOMPARE(button->palette().color(QPalette::ButtonText), QColor(Qt::black));
            // The enabled picture is the left half of the strip, the greyed one the right half.
            const QImage strip = button->glyph().toImage();
            QCOMPARE(button->currentPicture().toImage(), strip.copy(0, 0, 26, 26));
            button->setEnabled(false);
            QCOMPARE(button->currentPicture().toImage(), strip.copy(26, 0, 26, 26));
            QVERIFY(strip.copy(0, 0, 26, 26) != strip.copy(26, 0, 26, 26));
        }
    }

    void gridsColumns_data() {
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QList<int>>("widths");
        // 0: the default width of the grid.
        QTest::newRow("DBGrid1") << QStringList{"CPF / CNPJ", "Nro Vezes"} << QList<int>{244, 53};
        QTest::newRow("DBGrid3") << QStringList{"Código", "CNPJ",   "Nome", "Tipo",  "Logradouro",
                                                "Nro.",   "Bairro", "CEP",  "Cidade"}
                                 << QList<int>{60, 0, 238, 52, 362, 43, 344, 80, 333};
        QTest::newRow("DBGrid2") << QStringList{"Código",      "CNPJ",          "Nome",       "Tipo",   "Logradouro",
                                                "Nro.",        "Bairro",        "CEP",        "Cidade", "LOGIN_INC_CNT",
                                                "DTA_INC_CNT", "LOGIN_ALT_CNT", "DTA_ALT_CNT"}
                                 << QList<int>{60, 128, 299, 61, 301, 52, 201, 77, 416, 0, 0, 0, 0};
    }
    void gridsColumns() {
        QFETCH(QStringList, titles);
        QFETCH(QList<int>, widths);
        TFPrin window(*m_host);
        auto* grid = window.findChild<QTableView*>(QLatin1String(QTest::currentDataTag()));
        QVERIFY(grid);
        QAbstractItemModel* model = grid->model();
        QVERIFY(model);
        QCOMPARE(model->columnCount(), titles.size());
        for (int i = 0; i < titles.size(); ++i) {
            QCOMPARE(model->headerData(i, Qt::Horizontal).toString(), titles[i]);
            if (widths[i] > 0)
                QCOMPARE(grid->columnWidth(i), widths[i]);
        }
        QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(grid->selectionBehavior(), QAbstractItemView::SelectRows);
        QVERIFY(grid->verticalHeader()->isVisibleTo(grid));
        QVERIFY(!grid->horizontalHeader()->sectionsClickable());
        QCOMPARE(model->rowCount(), 0);
    }

    void tabOrder() {
        TFPrin* window = showWindow();
        QVERIFY(window);
        // The log takes part once its panel is shown.
        window->PMemo()->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        child(window, "BtnSair")->setFocus(Qt::TabFocusReason);
        QStringList visited{QApplication::focusWidget()->objectName()};
        for (int i = 0; i < 7; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visited,
                 (QStringList{"BtnSair", "btnProcessa", "DBGrid1", "DBGrid3", "DBGrid2", "Memo", "Edit1", "BtnSair"}));
    }

    void failedConnectionStillShowsWindow() {
        bool visibleDuringBox = true;
        m_boxes->setOnShow([&](const MessageRecord&) { visibleDuringBox = m_window && m_window->isVisible(); });
        TFPrin* window = showWindow();
        QVERIFY(window);
        // The show step ran before the window became visible, and its error was shown then.
        QVERIFY(!visibleDuringBox);
        QCOMPARE(m_boxes->messages().size(), 1);
        const MessageRecord& box = m_boxes->messages().front();
        QCOMPARE(box.kind, MessageKind::Error);
        QCOMPARE(box.title, QStringLiteral("unifica-contribuintes"));
        QVERIFY(!box.text.isEmpty());
        QVERIFY(window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("FPrin"));
        QCOMPARE(static_cast<QLabel*>(child(window, "Label1"))->text(), QStringLiteral("CPF/CNPJ Repetidos"));
        for (const char* grid : {"DBGrid1", "DBGrid2", "DBGrid3"})
            QCOMPARE(static_cast<QTableView*>(child(window, grid))->model()->rowCount(), 0);
        // Shown again later, it does not run the show step a second time.
        window->hide();
        window->show();
        QCOMPARE(m_boxes->messages().size(), 1);
    }

    // Kept last: it runs the application's message loop to its end.
    void sairEndsTheProgram_data() {
        QTest::addColumn<bool>("byKeyboard");
        QTest::newRow("click") << false;
        QTest::newRow("Alt+S") << true;
    }
    void sairEndsTheProgram() {
        QFETCH(bool, byKeyboard);
        TFPrin* window = showWindow();
        QVERIFY(window);
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        m_boxes->clear();
        QTimer::singleShot(0, window, [&] {
            if (byKeyboard)
                QTest::keyClick(window, Qt::Key_S, Qt::AltModifier);
            else
                QTest::mouseClick(child(window, "BtnSair"), Qt::LeftButton);
        });
        // Should the loop not end, this ends it with another code.
        QTimer giveUp;
        giveUp.setSingleShot(true);
        connect(&giveUp, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
        giveUp.start(10000);
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(!window->isVisible());
        // No question asked.
        QVERIFY(m_boxes->messages().isEmpty());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
