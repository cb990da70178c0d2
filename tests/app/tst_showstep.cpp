// The window's show step against a real installation: the caption from the company register, the
// count of repeated CPF/CNPJ values, the three grids, an error part-way through the step, and the
// search box and the group grid driving the other two grids.

#include "ScratchDatabase.h"
#include "WindowFixture.h"
#include "app/MessageBoxes.h"
#include "app/TFPrin.h"
#include "browser/DuplicateBrowser.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTest>

using namespace uc;
using namespace uc::test;

namespace {

const QString suffix = QStringLiteral("   .: versão 1.02 :.");

// Three taxpayers share one CPF/CNPJ, two another, and one is alone.
const QString taxpayers = QStringLiteral(
    "INSERT INTO GR_CONTRIBUINTES (COD_EMP_CNT, COD_CNT, CNPJ_CNT, NOME_CNT) VALUES (1, '100', '111', 'CARLA');\n"
    "INSERT INTO GR_CONTRIBUINTES (COD_EMP_CNT, COD_CNT, CNPJ_CNT, NOME_CNT) VALUES (1, '101', '111', 'ANA');\n"
    "INSERT INTO GR_CONTRIBUINTES (COD_EMP_CNT, COD_CNT, CNPJ_CNT, NOME_CNT) VALUES (1, '102', '111', 'BETO');\n"
    "INSERT INTO GR_CONTRIBUINTES (COD_EMP_CNT, COD_CNT, CNPJ_CNT, NOME_CNT) VALUES (1, '200', '222', 'DORA');\n"
    "INSERT INTO GR_CONTRIBUINTES (COD_EMP_CNT, COD_CNT, CNPJ_CNT, NOME_CNT) VALUES (1, '201', '222', 'EDU');\n"
    "INSERT INTO GR_CONTRIBUINTES (COD_EMP_CNT, COD_CNT, CNPJ_CNT, NOME_CNT) VALUES (1, '300', '333', 'FABIO');\n");

} // namespace

class TestShowStep : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchDatabase> m_db;
    std::unique_ptr<ShownWindow> m_shown;

    // The program folder is the installation folder, with the qor.ini that reaches the database.
    bool prepare(const QString& script) {
        m_db = std::make_unique<ScratchDatabase>();
        if (!script.isEmpty() && !m_db->runSql(script))
            return false;
        return m_db->writeSettings(m_db->folder());
    }

    TFPrin* show() {
        m_shown = std::make_unique<ShownWindow>(m_db->folder());
        return m_shown->exposed() ? &**m_shown : nullptr;
    }

    MessageBoxRecorder& boxes() const { return m_shown->boxes(); }
    QString label1() const { return (*m_shown)->findChild<QLabel*>(QStringLiteral("Label1"))->text(); }

private slots:
    void initTestCase() { QApplication::setApplicationName(QStringLiteral("unifica-contribuintes")); }
    void cleanup() {
        m_shown.reset();
        m_db.reset();
    }

    void caption_data() {
        QTest::addColumn<QString>("company");
        QTest::addColumn<QString>("caption");
        QTest::newRow("company 1")
            << "INSERT INTO GR_CAD_EMPRESA (COD_EMP, NOME_EMP) VALUES (1, 'PREFEITURA DE SÃO JOÃO');"
            << "PREFEITURA DE SÃO JOÃO" + suffix;
        QTest::newRow("no company 1") << "INSERT INTO GR_CAD_EMPRESA (COD_EMP, NOME_EMP) VALUES (2, 'OUTRA');"
                                      << suffix;
        QTest::newRow("no company at all") << "" << suffix;
        QTest::newRow("name null") << "INSERT INTO GR_CAD_EMPRESA (COD_EMP, NOME_EMP) VALUES (1, NULL);" << suffix;
        QTest::newRow("name with blanks kept") << "INSERT INTO GR_CAD_EMPRESA (COD_EMP, NOME_EMP) VALUES (1, ' X ');"
                                               << " X " + suffix;
    }
    void caption() {
        QFETCH(QString, company);
        QFETCH(QString, caption);
        QVERIFY(prepare(company));
        TFPrin* window = show();
        QVERIFY(window);
        QVERIFY2(boxes().messages().isEmpty(), qPrintable(boxes().messages().value(0).text));
        QCOMPARE(window->windowTitle(), caption);
        QCOMPARE(label1(), QStringLiteral("Contribuintes Repetidos (0)"));
    }

    void listsOpenedWithTheCount() {
        QVERIFY(prepare(taxpayers + "INSERT INTO GR_CAD_EMPRESA (COD_EMP, NOME_EMP) VALUES (1, 'P');"));
        TFPrin* window = show();
        QVERIFY(window);
        QVERIFY(boxes().messages().isEmpty());
        QCOMPARE(label1(), QStringLiteral("Contribuintes Repetidos (2)"));
        QTableView* groups = grid(*window, "DBGrid1");
        QCOMPARE(groups->model()->rowCount(), 2);
        // The first group's taxpayers, by name, in the principal grid (DBGrid3) and in the member
        // grid (DBGrid2).
        const QString first = groups->model()->index(0, 0).data().toString();
        const QStringList expected =
            first == QLatin1String("111") ? QStringList{"ANA", "BETO", "CARLA"} : QStringList{"DORA", "EDU"};
        QCOMPARE(gridColumn(grid(*window, "DBGrid3"), 2), expected);
        QCOMPARE(gridColumn(grid(*window, "DBGrid2"), 2), expected);
        QCOMPARE(grid(*window, "DBGrid2")->model()->columnCount(), 13);
    }

    // An error part-way through ends the step there: the caption is set, the count is not.
    void errorAfterTheCaption() {
        QVERIFY(prepare(taxpayers + "INSERT INTO GR_CAD_EMPRESA (COD_EMP, NOME_EMP) VALUES (1, 'P');"));
        QVERIFY(m_db->runSql(QStringLiteral("DROP TABLE GR_CONTRIBUINTES;")));
        TFPrin* window = show();
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QCOMPARE(boxes().messages().size(), 1);
        QCOMPARE(boxes().messages()[0].kind, MessageKind::Error);
        QVERIFY2(boxes().messages()[0].text.contains(QLatin1String("GR_CONTRIBUINTES")),
                 qPrintable(boxes().messages()[0].text));
        QCOMPARE(window->windowTitle(), "P" + suffix);
        QCOMPARE(label1(), QStringLiteral("CPF/CNPJ Repetidos"));
        for (const char* name : {"DBGrid1", "DBGrid2", "DBGrid3"})
            QCOMPARE(grid(*window, name)->model()->rowCount(), 0);
    }

    void searchBoxAndGroupGridDriveTheOtherGrids() {
        QVERIFY(prepare(taxpayers));
        TFPrin* window = show();
        QVERIFY(window);
        QTableView* groups = grid(*window, "DBGrid1");
        auto* search = window->findChild<QLineEdit*>(QStringLiteral("Edit1"));

        QTest::keyClicks(search, QStringLiteral("22"));
        QCOMPARE(gridColumn(groups, 0), QStringList{"222"});
        QCOMPARE(gridColumn(grid(*window, "DBGrid3"), 2), (QStringList{"DORA", "EDU"}));
        QCOMPARE(gridColumn(grid(*window, "DBGrid2"), 2), (QStringList{"DORA", "EDU"}));

        search->clear();
        QCOMPARE(groups->model()->rowCount(), 2);
        // A click on the group that is not the current one loads its taxpayers. The group query
        // sets no order, so which group comes first is the server's choice.
        const QString other = window->browser().cds1().fieldAsText(QStringLiteral("NOME")) == QStringLiteral("111")
                                  ? QStringLiteral("222")
                                  : QStringLiteral("111");
        const QStringList names =
            other == QStringLiteral("111") ? QStringList{"ANA", "BETO", "CARLA"} : QStringList{"DORA", "EDU"};
        const QStringList codes =
            other == QStringLiteral("111") ? QStringList{"101", "102", "100"} : QStringList{"200", "201"};
        QVERIFY(gridColumn(grid(*window, "DBGrid3"), 2) != names);
        QVERIFY(clickRow(groups, 0, other));
        QCOMPARE(window->browser().cds1().fieldAsText(QStringLiteral("NOME")), other);
        QCOMPARE(gridColumn(grid(*window, "DBGrid3"), 2), names);
        QCOMPARE(gridColumn(grid(*window, "DBGrid2"), 0), codes);
        QVERIFY(boxes().messages().isEmpty());
        // The count is the show step's alone.
        QCOMPARE(label1(), QStringLiteral("Contribuintes Repetidos (2)"));
    }

    // A reload that fails while the operator moves through the groups is shown in the default
    // error box, and the window goes on.
    void failedReloadShowsTheErrorBox() {
        QVERIFY(prepare(taxpayers));
        TFPrin* window = show();
        QVERIFY(window);
        QVERIFY(m_db->runSql(QStringLiteral("DROP TABLE GR_CONTRIBUINTES;")));
        QTableView* groups = grid(*window, "DBGrid1");
        const QRect second = groups->visualRect(groups->model()->index(1, 0));
        QTest::mouseClick(groups->viewport(), Qt::LeftButton, {}, second.center());
        QCOMPARE(boxes().messages().size(), 1);
        QCOMPARE(boxes().messages()[0].kind, MessageKind::Error);
        QVERIFY(window->isVisible());

        // Typing reloads too: the error ends the change and is shown once.
        boxes().clear();
        QTest::keyClick(window->findChild<QLineEdit*>(QStringLiteral("Edit1")), Qt::Key_1);
        QCOMPARE(boxes().messages().size(), 1);
    }
};

QTEST_MAIN(TestShowStep)
#include "tst_showstep.moc"
