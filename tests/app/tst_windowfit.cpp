// The window at its designed size, in the faces the program picks on this machine, against a
// database whose taxpayers carry formatted CPF/CNPJ values: every caption and every grid title is
// shown whole in its control or column, and the columns that take the width their data needs show
// their values unelided.

#include "ScratchDatabase.h"
#include "WindowFixture.h"
#include "app/TFPrin.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QStyleOptionHeader>
#include <QTableView>
#include <QTest>

using namespace uc;
using namespace uc::test;

namespace {

const QString cnpj = QStringLiteral("12.345.678/0001-90");

// Two taxpayers share a formatted CNPJ; one of them has its audit columns filled.
const QString taxpayers =
    QStringLiteral("INSERT INTO GR_CAD_EMPRESA (COD_EMP, NOME_EMP) VALUES (1, 'PREFEITURA MUNICIPAL');\n"
                   "INSERT INTO GR_CONTRIBUINTES (COD_EMP_CNT, COD_CNT, CNPJ_CNT, NOME_CNT, LOGIN_INC_CNT, DTA_INC_CNT,"
                   " LOGIN_ALT_CNT, DTA_ALT_CNT) VALUES (1, '1055', '12.345.678/0001-90', 'GLÓRIA CARVALHO FALCÃO',"
                   " 'ADMINISTRADOR', '2023-12-31 23:59:58', 'joao.carvalho', '2024-02-29 08:08:08');\n"
                   "INSERT INTO GR_CONTRIBUINTES (COD_EMP_CNT, COD_CNT, CNPJ_CNT, NOME_CNT) VALUES (1, '1052',"
                   " '12.345.678/0001-90', 'GLÓRIA C. FALCÃO');\n");

QString withoutMnemonic(QString text) {
    return text.remove(QLatin1Char('&'));
}

// The room a title has in its column: the style's label rectangle inside the section, the one the
// header draws the title in (and clips it to).
int titleRoom(QHeaderView* titles, int section) {
    QStyleOptionHeader option;
    option.initFrom(titles);
    option.rect = QRect(0, 0, titles->sectionSize(section), titles->height());
    option.section = section;
    option.text = titles->model()->headerData(section, Qt::Horizontal).toString();
    option.textAlignment = titles->defaultAlignment();
    return titles->style()->subElementRect(QStyle::SE_HeaderLabel, &option, titles).width();
}

} // namespace

class TestWindowFit : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchDatabase> m_db;
    std::unique_ptr<ShownWindow> m_shown;

    TFPrin& window() { return **m_shown; }

private slots:
    void initTestCase() {
        QApplication::setApplicationName(QStringLiteral("unifica-contribuintes"));
        m_db = std::make_unique<ScratchDatabase>();
        QVERIFY(m_db->install(taxpayers));
        m_shown = std::make_unique<ShownWindow>(m_db->folder());
        QVERIFY(m_shown->exposed());
        QVERIFY2(m_shown->boxes().messages().isEmpty(), qPrintable(m_shown->describeBoxes()));
        QCOMPARE(window().size(), QSize(791, 569));
        qInfo("window face: %s; button face: %s", qPrintable(QFontInfo(window().font()).family()),
              qPrintable(QFontInfo(button(window(), "btnProcessa")->font()).family()));
    }

    void cleanupTestCase() {
        m_shown.reset();
        m_db.reset();
    }

    // The set-up installs faces with the metrics of "MS Sans Serif" and Tahoma; the program must
    // find them rather than fall back on whatever sans serif the machine has.
    void facesWithTheDesignedMetrics() {
#ifdef Q_OS_WIN
        const QStringList windowFaces{QStringLiteral("MS Sans Serif")};
        const QStringList buttonFaces{QStringLiteral("Tahoma")};
#else
        const QStringList windowFaces{QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Liberation Sans"),
                                      QStringLiteral("Arimo")};
        const QStringList buttonFaces{QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans Condensed")};
#endif
        for (const char* name : {"Label4", "Label1", "Label2", "Label3", "Edit1", "DBGrid1", "DBGrid2", "DBGrid3"}) {
            const QString family = QFontInfo(window().findChild<QWidget*>(QLatin1String(name))->font()).family();
            QVERIFY2(windowFaces.contains(family),
                     qPrintable(QStringLiteral("%1 in %2").arg(QLatin1String(name), family)));
        }
        for (const char* name : {"btnProcessa", "BtnSair"}) {
            const QString family = QFontInfo(button(window(), name)->font()).family();
            QVERIFY2(buttonFaces.contains(family),
                     qPrintable(QStringLiteral("%1 in %2").arg(QLatin1String(name), family)));
        }
    }

    void labelCaptionsFit_data() {
        QTest::addColumn<QString>("name");
        for (const char* name : {"Label4", "Label1", "Label3", "Label2"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void labelCaptionsFit() {
        QFETCH(QString, name);
        auto* label = window().findChild<QLabel*>(name);
        QVERIFY(label);
        QVERIFY(label->font().bold());
        const QFontMetrics metrics(label->font());
        const QRect room = label->contentsRect();
        const int width = metrics.horizontalAdvance(label->text());
        QVERIFY2(width <= room.width(), qPrintable(QStringLiteral("\"%1\" is %2 pixels wide in %3, the label %4")
                                                       .arg(label->text())
                                                       .arg(width)
                                                       .arg(QFontInfo(label->font()).family())
                                                       .arg(room.width())));
        QVERIFY(metrics.height() <= room.height());
        // The label itself lies inside its panel, and the search label ends before the search box.
        QVERIFY(label->parentWidget()->contentsRect().contains(label->geometry()));
        if (name == QLatin1String("Label4"))
            QVERIFY(label->geometry().right() < window().findChild<QLineEdit*>(QStringLiteral("Edit1"))->x());
    }

    void buttonCaptionsFit_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("btnProcessa") << QStringLiteral("btnProcessa");
        QTest::newRow("BtnSair") << QStringLiteral("BtnSair");
    }
    void buttonCaptionsFit() {
        QFETCH(QString, name);
        QAbstractButton* control = button(window(), qPrintable(name));
        QVERIFY(control);
        QCOMPARE(control->size(), QSize(100, 31));
        // The 26-pixel picture, 4 pixels, then the caption, all inside the 2-pixel bevel.
        const QFontMetrics metrics(control->font());
        const int width = 26 + 4 + metrics.horizontalAdvance(withoutMnemonic(control->text()));
        QVERIFY2(width <= control->width() - 4, qPrintable(QStringLiteral("picture and caption %1 pixels wide in %2")
                                                               .arg(width)
                                                               .arg(QFontInfo(control->font()).family())));
        QVERIFY(metrics.height() <= control->height() - 4);
    }

    void gridTitlesFit_data() {
        QTest::addColumn<QString>("name");
        for (const char* name : {"DBGrid1", "DBGrid3", "DBGrid2"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void gridTitlesFit() {
        QFETCH(QString, name);
        QTableView* view = grid(window(), qPrintable(name));
        QVERIFY(view);
        QHeaderView* titles = view->horizontalHeader();
        const QFontMetrics metrics(titles->font());
        for (int section = 0; section < titles->count(); ++section) {
            const QString title = titles->model()->headerData(section, Qt::Horizontal).toString();
            const int width = metrics.horizontalAdvance(title);
            const int room = titleRoom(titles, section);
            QVERIFY2(width <= room, qPrintable(QStringLiteral("\"%1\" is %2 pixels wide in %3, its column leaves %4")
                                                   .arg(title)
                                                   .arg(width)
                                                   .arg(QFontInfo(titles->font()).family())
                                                   .arg(room)));
            QVERIFY(metrics.height() <= titles->height());
        }
    }

    // The columns without a stated width show their values whole: the principal grid's CNPJ and
    // the member grid's audit columns.
    void defaultWidthColumnsShowTheirData_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("column");
        QTest::addColumn<QStringList>("values");
        QTest::newRow("DBGrid3 CNPJ") << "DBGrid3" << 1 << QStringList{cnpj, cnpj};
        QTest::newRow("DBGrid2 LOGIN_INC_CNT") << "DBGrid2" << 9 << QStringList{"", "ADMINISTRADOR"};
        QTest::newRow("DBGrid2 DTA_INC_CNT") << "DBGrid2" << 10 << QStringList{"", "31/12/2023 23:59:58"};
        QTest::newRow("DBGrid2 LOGIN_ALT_CNT") << "DBGrid2" << 11 << QStringList{"", "joao.carvalho"};
        QTest::newRow("DBGrid2 DTA_ALT_CNT") << "DBGrid2" << 12 << QStringList{"", "29/02/2024 08:08:08"};
    }
    void defaultWidthColumnsShowTheirData() {
        QFETCH(QString, name);
        QFETCH(int, column);
        QFETCH(QStringList, values);
        QTableView* view = grid(window(), qPrintable(name));
        QVERIFY(view);
        QCOMPARE(gridColumn(view, column), values);
        // The width the view's own delegate needs for every value of the column, grid line included.
        const int needed = static_cast<QAbstractItemView*>(view)->sizeHintForColumn(column);
        QVERIFY2(view->columnWidth(column) >= needed,
                 qPrintable(
                     QStringLiteral("column %1 wide, its values need %2").arg(view->columnWidth(column)).arg(needed)));
    }
};

QTEST_MAIN(TestWindowFit)
#include "tst_windowfit.moc"
