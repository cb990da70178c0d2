#include "RowFixture.h"
#include "app/GridBinding.h"
#include "app/GridModel.h"
#include "browser/List.h"
#include "common/Error.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStyleOptionHeader>
#include <QTableView>
#include <QTest>
#include <QWheelEvent>
#include <memory>

using uc::GridBinding;
using uc::GridColumn;
using uc::GridModel;
using uc::List;
using uc::test::makeRows;

namespace {

const QString marker = GridModel::currentRowMarker();

uc::db::RowSet groupRows() {
    return makeRows({"NOME", "COUNT", "DTA_INC_CNT"}, {{"10", "2", "29/02/2024 09:05:00"},
                                                       {"20", "3", std::nullopt},
                                                       {"11", "2", "01/03/2024"},
                                                       {"30", "4", ""},
                                                       {"12", "2", std::nullopt}});
}

std::vector<GridColumn> gridColumns() {
    return {{"NOME", "CPF / CNPJ", 244}, {"COUNT", "Nro Vezes", 53}, {"DTA_INC_CNT", "", 0}, {"LOGIN_ALT_CNT", "", 0}};
}

QStringList shownColumn(const QAbstractItemModel& model, int column) {
    QStringList values;
    for (int row = 0; row < model.rowCount(); ++row)
        values << model.index(row, column).data().toString();
    return values;
}

QStringList indicators(const QAbstractItemModel& model) {
    QStringList values;
    for (int row = 0; row < model.rowCount(); ++row)
        values << model.headerData(row, Qt::Vertical).toString();
    return values;
}

// The room a title has in its column: the style's label rectangle inside the section, the one the
// header draws the title in.
int titleRoom(QHeaderView* titles, int section) {
    QStyleOptionHeader option;
    option.initFrom(titles);
    option.rect = QRect(0, 0, titles->sectionSize(section), titles->height());
    option.section = section;
    return titles->style()->subElementRect(QStyle::SE_HeaderLabel, &option, titles).width();
}

// A list on fixed rows, its model, and a shown view bound to them.
struct Grid {
    Grid() : list([](const QString&) { return groupRows(); }), model(list, gridColumns()) {
        list.setFilterField("NOME");
        binding = new GridBinding(view, model);
        view.resize(700, 300);
        view.show();
    }
    QPoint rowCentre(int row, int column = 0) { return view.visualRect(model.index(row, column)).center(); }

    List list;
    GridModel model;
    QTableView view;
    GridBinding* binding = nullptr;
};

} // namespace

class TestGridModel : public QObject {
    Q_OBJECT
private slots:
    void followsTheListThroughOpeningFilteringAndClosing() {
        List list([](const QString&) { return groupRows(); });
        list.setFilterField("NOME");
        GridModel model(list, gridColumns());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);

        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.columnCount(), 4);
        list.open();
        QCOMPARE(resets.count(), 1);
        QCOMPARE(shownColumn(model, 0), QStringList({"10", "20", "11", "30", "12"}));

        list.setFilter("1%");
        QCOMPARE(resets.count(), 1);
        list.setFiltered(true);
        QCOMPARE(resets.count(), 2);
        QCOMPARE(shownColumn(model, 0), QStringList({"10", "11", "12"}));
        QCOMPARE(shownColumn(model, 1), QStringList({"2", "2", "2"}));

        list.moveTo(2);
        QCOMPARE(indicators(model), QStringList({"", "", marker}));

        list.setFilter("9%");
        QCOMPARE(model.rowCount(), 0);
        list.setFiltered(false);
        QCOMPARE(model.rowCount(), 5);

        list.close();
        QCOMPARE(resets.count(), 5);
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.columnCount(), 4);
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("CPF / CNPJ"));
        list.setFiltered(true);
        list.setFilter("3%");
        QCOMPARE(resets.count(), 5);
        list.open();
        QCOMPARE(shownColumn(model, 0), QStringList{"30"});
        QCOMPARE(shownColumn(model, 1), QStringList{"4"});
    }

    void showsValuesAsTheListHoldsThem() {
        List list([](const QString&) { return groupRows(); });
        GridModel model(list, gridColumns());
        list.open();
        QCOMPARE(shownColumn(model, 2), QStringList({"29/02/2024 09:05:00", "", "01/03/2024", "", ""}));
        QCOMPARE(shownColumn(model, 3), QStringList({"", "", "", "", ""})); // the rows lack that column
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("CPF / CNPJ"));
        QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Nro Vezes"));
        QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("DTA_INC_CNT"));
        QCOMPARE(model.headerData(3, Qt::Horizontal).toString(), QStringLiteral("LOGIN_ALT_CNT"));
        const Qt::ItemFlags flags = model.flags(model.index(1, 0));
        QVERIFY(flags.testFlag(Qt::ItemIsSelectable));
        QVERIFY(flags.testFlag(Qt::ItemIsEnabled));
        QVERIFY(!flags.testFlag(Qt::ItemIsEditable));
        QVERIFY(!model.setData(model.index(1, 0), "99"));
        QCOMPARE(model.index(1, 0).data().toString(), QStringLiteral("20"));
    }

    void indicatorMarksTheCurrentRow() {
        List list([](const QString&) { return groupRows(); });
        GridModel model(list, gridColumns());
        list.open();
        QCOMPARE(indicators(model), QStringList({marker, "", "", "", ""}));
        QSignalSpy changed(&model, &QAbstractItemModel::headerDataChanged);
        list.moveTo(3);
        QCOMPARE(indicators(model), QStringList({"", "", "", marker, ""}));
        QCOMPARE(changed.count(), 2); // the row left and the row reached
        QCOMPARE(changed.at(0).at(1).toInt(), 0);
        QCOMPARE(changed.at(1).at(1).toInt(), 3);
    }

    void viewIsSetUpLikeTheGrids() {
        Grid grid;
        QCOMPARE(grid.view.columnWidth(0), 244);
        QCOMPARE(grid.view.columnWidth(1), 53);
        QCOMPARE(grid.view.columnWidth(2), grid.view.horizontalHeader()->defaultSectionSize());
        QCOMPARE(grid.view.selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(grid.view.selectionMode(), QAbstractItemView::SingleSelection);
        QCOMPARE(grid.view.editTriggers(), QAbstractItemView::NoEditTriggers);
        QVERIFY(!grid.view.isSortingEnabled());
        QVERIFY(!grid.view.horizontalHeader()->sectionsClickable());
        QVERIFY(grid.view.horizontalHeader()->sectionsMovable());
        QCOMPARE(grid.view.horizontalHeader()->sectionResizeMode(0), QHeaderView::Interactive);
        QVERIFY(grid.view.verticalHeader()->isVisible());
    }

    void clicksMoveTheList_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("notifications");
        QTest::newRow("another row") << 3 << 0 << 1;
        QTest::newRow("another row, another column") << 2 << 1 << 1;
        QTest::newRow("the current row") << 0 << 0 << 0;
        QTest::newRow("the current row, another column") << 0 << 1 << 0;
    }
    void clicksMoveTheList() {
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(int, notifications);
        Grid grid;
        grid.list.open();
        QSignalSpy scrolls(&grid.list, &List::afterScroll);
        QTest::mouseClick(grid.view.viewport(), Qt::LeftButton, {}, grid.rowCentre(row, column));
        QCOMPARE(scrolls.count(), notifications);
        QCOMPARE(grid.list.currentRow(), row);
        QCOMPARE(grid.view.currentIndex().row(), row);
        QVERIFY(grid.view.selectionModel()->isRowSelected(row, {}));
    }

    void keyboardMovesTheList() {
        Grid grid;
        grid.list.open();
        grid.view.setFocus();
        QSignalSpy scrolls(&grid.list, &List::afterScroll);
        QTest::keyClick(&grid.view, Qt::Key_Up); // already on the first row
        QCOMPARE(scrolls.count(), 0);
        QTest::keyClick(&grid.view, Qt::Key_Down);
        QTest::keyClick(&grid.view, Qt::Key_Down);
        QCOMPARE(grid.list.currentRow(), 2);
        QTest::keyClick(&grid.view, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(grid.list.currentRow(), 4);
        QCOMPARE(grid.list.fieldAsText("NOME"), QStringLiteral("12"));
        QCOMPARE(scrolls.count(), 3);
    }

    // Each notch of the wheel is one row, down to the next, up to the previous.
    void wheelMovesTheList_data() {
        QTest::addColumn<QList<int>>("turns");
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("notifications");
        QTest::newRow("down") << QList<int>{-120} << 1 << 1;
        QTest::newRow("down twice") << QList<int>{-120, -120} << 2 << 2;
        QTest::newRow("down two notches at once") << QList<int>{-240} << 2 << 2;
        QTest::newRow("down, then up") << QList<int>{-120, 120} << 0 << 2;
        QTest::newRow("up on the first row") << QList<int>{120} << 0 << 0;
        QTest::newRow("two half notches") << QList<int>{-60, -60} << 1 << 1;
        QTest::newRow("half notches both ways") << QList<int>{-60, 60, -60} << 0 << 0;
        QTest::newRow("past the last row") << QList<int>{-120, -120, -120, -120, -120, -120} << 4 << 4;
    }
    void wheelMovesTheList() {
        QFETCH(QList<int>, turns);
        QFETCH(int, current);
        QFETCH(int, notifications);
        Grid grid;
        grid.list.open();
        QSignalSpy scrolls(&grid.list, &List::afterScroll);
        for (int angle : turns) {
            const QPointF at = grid.rowCentre(0);
            QWheelEvent wheel(at, grid.view.viewport()->mapToGlobal(at), {}, QPoint(0, angle), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(grid.view.viewport(), &wheel);
        }
        QCOMPARE(grid.list.currentRow(), current);
        QCOMPARE(scrolls.count(), notifications);
        QCOMPARE(grid.view.currentIndex().row(), current);
    }

    void movesByCodeMoveTheView() {
        Grid grid;
        grid.list.open();
        QCOMPARE(grid.view.currentIndex().row(), 0);
        QSignalSpy scrolls(&grid.list, &List::afterScroll);
        grid.list.moveTo(3);
        QCOMPARE(grid.view.currentIndex().row(), 3);
        QVERIFY(grid.view.selectionModel()->isRowSelected(3, {}));
        grid.list.setFilter("1%");
        grid.list.setFiltered(true);
        QCOMPARE(grid.view.currentIndex().row(), 0);
        QCOMPARE(grid.view.currentIndex().data().toString(), QStringLiteral("10"));
        grid.list.setFilter("9%");
        QVERIFY(!grid.view.currentIndex().isValid());
        QVERIFY(!grid.view.selectionModel()->hasSelection());
        grid.list.setFiltered(false);
        grid.list.close();
        QVERIFY(!grid.view.currentIndex().isValid());
        QCOMPARE(scrolls.count(), 4); // the view following the list moves nothing itself
    }

    void titleClickDoesNothing() {
        Grid grid;
        grid.list.open();
        grid.list.moveTo(1);
        QSignalSpy scrolls(&grid.list, &List::afterScroll);
        QSignalSpy resets(&grid.model, &QAbstractItemModel::modelReset);
        QHeaderView* titles = grid.view.horizontalHeader();
        const QPoint title(titles->sectionViewportPosition(0) + 20, titles->height() / 2);
        QTest::mouseClick(titles->viewport(), Qt::LeftButton, {}, title);
        QTest::mouseDClick(titles->viewport(), Qt::LeftButton, {}, title);
        QCOMPARE(scrolls.count(), 0);
        QCOMPARE(resets.count(), 0);
        QCOMPARE(grid.list.currentRow(), 1);
        QCOMPARE(shownColumn(grid.model, 0), QStringList({"10", "20", "11", "30", "12"}));
    }

    void doubleClickEditsNothing() {
        Grid grid;
        grid.list.open();
        QTest::mouseDClick(grid.view.viewport(), Qt::LeftButton, {}, grid.rowCentre(1));
        QTest::keyClick(&grid.view, Qt::Key_F2);
        QVERIFY(grid.view.findChildren<QLineEdit*>().isEmpty());
        QCOMPARE(grid.model.index(1, 0).data().toString(), QStringLiteral("20"));
    }

    // What the operator did to the columns stays through every reload of the list.
    void columnLayoutSurvivesReloads() {
        Grid grid;
        grid.list.open();
        QHeaderView* titles = grid.view.horizontalHeader();
        titles->resizeSection(0, 300);
        titles->moveSection(1, 0);
        grid.list.setFilter("1%");
        grid.list.setFiltered(true);
        grid.list.close();
        grid.list.open();
        QCOMPARE(grid.view.columnWidth(0), 300);
        QCOMPARE(grid.view.columnWidth(1), 53);
        QCOMPARE(titles->logicalIndex(0), 1);
        QCOMPARE(grid.view.currentIndex().row(), 0);
    }

    // A column without a width takes what its data needs once the list's result declares how long
    // its values can be: the declared length at the font's average character width, and at least
    // its title's width. So at every reload, until the user resizes it.
    void columnWithoutWidthFitsItsData() {
        int auditLength = 19;
        List list([&auditLength](const QString&) {
            return makeRows({"NOME", "COUNT", "DTA_INC_CNT", "LOGIN_ALT_CNT"},
                            {{"10", "2", "29/02/2024 09:05:00", "ANA"}}, {20, 0, auditLength, 3});
        });
        GridModel model(list, gridColumns());
        QTableView view;
        new GridBinding(view, model);
        QHeaderView* titles = view.horizontalHeader();
        QCOMPARE(view.columnWidth(2), titles->defaultSectionSize());

        list.open();
        QCOMPARE(view.columnWidth(0), 244);
        QCOMPARE(view.columnWidth(1), 53);
        const int nineteen = view.columnWidth(2);
        // Three characters: the title sets the width, and shows whole.
        const int login = view.columnWidth(3);
        QVERIFY(login < nineteen);
        QVERIFY(titleRoom(titles, 3) >= titles->fontMetrics().horizontalAdvance("LOGIN_ALT_CNT"));

        auditLength = 29;
        list.close();
        list.open();
        QCOMPARE(view.columnWidth(2), nineteen + 10 * view.fontMetrics().averageCharWidth());

        titles->resizeSection(2, 40);
        auditLength = 19;
        list.close();
        list.open();
        QCOMPARE(view.columnWidth(2), 40);
        QCOMPARE(view.columnWidth(3), login);
    }

    void reloadErrorsGoToTheHandler() {
        Grid grid;
        grid.list.setAfterScrollHandler([&grid] {
            if (grid.list.currentRow() == 2)
                throw uc::Error(QStringLiteral("Erro de conexão"));
        });
        QStringList errors;
        grid.binding->setErrorHandler([&errors](const uc::Error& error) { errors << error.message(); });
        grid.list.open();
        QTest::mouseClick(grid.view.viewport(), Qt::LeftButton, {}, grid.rowCentre(2));
        QCOMPARE(errors, QStringList{"Erro de conexão"});
        QCOMPARE(grid.list.currentRow(), 2);
        QTest::mouseClick(grid.view.viewport(), Qt::LeftButton, {}, grid.rowCentre(3));
        QCOMPARE(errors.size(), 1);
        QCOMPARE(grid.list.currentRow(), 3);
    }
};

QTEST_MAIN(TestGridModel)
#include "tst_gridmodel.moc"
