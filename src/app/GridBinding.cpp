#include "app/GridBinding.h"

#include "app/GridModel.h"
#include "browser/List.h"
#include "common/Error.h"

#include <QDebug>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QTableView>
#include <QWheelEvent>
#include <algorithm>

namespace uc {

namespace {
// Angle of one notch of a mouse wheel, in eighths of a degree.
constexpr int wheelNotch = 120;

// Between a title's text and either edge of its column (the right one holds the line between
// columns). The toolkit's headers leave more, which cuts titles that their columns are made for,
// such as "Nro Vezes" in 53 pixels.
constexpr int titleInset = 1;

class TitleStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    QRect subElementRect(SubElement element, const QStyleOption* option, const QWidget* widget) const override {
        QRect rect = QProxyStyle::subElementRect(element, option, widget);
        if (element == SE_HeaderLabel && option) {
            rect.setLeft(option->rect.left() + titleInset);
            rect.setRight(option->rect.right() - titleInset);
        }
        return rect;
    }
};
} // namespace

GridBinding::GridBinding(QTableView& view, GridModel& model)
    : QObject(&view), m_view(view), m_model(model), m_list(model.list()) {
    m_view.setModel(&m_model);
    configureView();
    // Connected after the view's own handling of the model, so the view has finished its reset
    // when it is told where the list's current row is.
    connect(&m_model, &QAbstractItemModel::modelReset, this, &GridBinding::followList);
    connect(&m_list, &List::currentRowChanged, this, &GridBinding::followList);
    connect(m_view.selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& current) {
        if (current.isValid())
            moveList(current.row());
    });
    m_viewport = m_view.viewport();
    m_viewport->installEventFilter(this);
    applyDefaultWidths();
    followList();
}

GridBinding::~GridBinding() = default;

void GridBinding::setErrorHandler(ErrorHandler handler) {
    m_errorHandler = std::move(handler);
}

void GridBinding::configureView() {
    m_view.setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view.setSelectionMode(QAbstractItemView::SingleSelection);
    m_view.setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view.setTabKeyNavigation(false);
    m_view.setSortingEnabled(false);
    m_view.setShowGrid(true);
    m_view.setWordWrap(false);

    QHeaderView* titles = m_view.horizontalHeader();
    m_titleStyle = std::make_unique<TitleStyle>(QStyleFactory::create(m_view.style()->name()));
    titles->setStyle(m_titleStyle.get());
    titles->setSectionsClickable(false);
    titles->setSortIndicatorShown(false);
    titles->setSectionsMovable(true);
    titles->setSectionResizeMode(QHeaderView::Interactive);
    titles->setHighlightSections(false);
    const auto& columns = m_model.gridColumns();
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].width > 0)
            m_view.setColumnWidth(int(i), columns[i].width);
    }
    m_resizedByUser.assign(columns.size(), false);
    connect(titles, &QHeaderView::sectionResized, this, [this](int section) {
        if (!m_sizing && section >= 0 && std::size_t(section) < m_resizedByUser.size())
            m_resizedByUser[std::size_t(section)] = true;
    });
    // After the view's own handling of a reset, which keeps the widths of the columns.
    connect(&m_model, &QAbstractItemModel::modelReset, this, &GridBinding::applyDefaultWidths);

    // The indicator column: wide enough for the marker, rows of one fixed height, so that a list
    // of many thousands of rows costs the header nothing per row.
    QHeaderView* indicator = m_view.verticalHeader();
    indicator->setVisible(true);
    indicator->setSectionResizeMode(QHeaderView::Fixed);
    indicator->setDefaultSectionSize(m_view.fontMetrics().height() + 4);
    indicator->setDefaultAlignment(Qt::AlignCenter);
    indicator->setFixedWidth(m_view.fontMetrics().horizontalAdvance(GridModel::currentRowMarker()) + 10);
    indicator->setHighlightSections(false);

    // The current row is highlighted only while the grid has the keyboard focus; the indicator
    // marks it always.
    QPalette palette = m_view.palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Inactive, QPalette::Base));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText, palette.color(QPalette::Inactive, QPalette::Text));
    m_view.setPalette(palette);
}

void GridBinding::applyDefaultWidths() {
    if (!m_list.active())
        return;
    const db::RowSet& rows = m_list.rows();
    const auto& columns = m_model.gridColumns();
    m_sizing = true;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].width > 0 || m_resizedByUser[i])
            continue;
        const int length = rows.declaredLength(rows.columnIndex(columns[i].field));
        if (length > 0)
            m_view.setColumnWidth(int(i), defaultWidth(int(i), length));
    }
    m_sizing = false;
}

int GridBinding::defaultWidth(int section, int declaredLength) const {
    // A cell's text keeps the style's focus-frame margin and one pixel from either edge; the line
    // between columns is part of the column.
    const int cellMargins = 2 * (m_view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &m_view) + 1) +
                            (m_view.showGrid() ? 1 : 0);
    const int data = declaredLength * m_view.fontMetrics().averageCharWidth() + cellMargins;
    const QHeaderView* titles = m_view.horizontalHeader();
    const QString title = m_model.headerData(section, Qt::Horizontal).toString();
    return std::max(data, titles->fontMetrics().horizontalAdvance(title) + 2 * titleInset);
}

void GridBinding::followList() {
    QItemSelectionModel* selection = m_view.selectionModel();
    const int row = m_list.currentRow();
    const QModelIndex current = m_view.currentIndex();
    if (row < 0 || row >= m_model.rowCount()) {
        m_following = true;
        selection->clear();
        m_following = false;
        return;
    }
    if (current.isValid() && current.row() == row && selection->isRowSelected(row, {}))
        return;
    int column = current.isValid() ? current.column() : m_view.horizontalHeader()->logicalIndex(0);
    if (column < 0)
        column = 0;
    m_following = true;
    selection->setCurrentIndex(m_model.index(row, column),
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_following = false;
}

void GridBinding::moveList(int position) {
    if (m_following)
        return;
    try {
        m_list.moveTo(position);
    } catch (const Error& error) {
        report(error);
    } catch (const std::exception& error) {
        report(Error(QString::fromLocal8Bit(error.what())));
    }
}

void GridBinding::report(const Error& error) {
    if (m_errorHandler)
        m_errorHandler(error);
    else
        qWarning().noquote() << error.message();
}

bool GridBinding::eventFilter(QObject* watched, QEvent* event) {
    // Only the viewport pointer kept from the start is compared: the filter also sees the events
    // of the view's own destruction, when the view can no longer be asked anything.
    if (event->type() != QEvent::Wheel || watched != m_viewport)
        return QObject::eventFilter(watched, event);
    const int angle = static_cast<QWheelEvent*>(event)->angleDelta().y();
    // A turn the other way starts over, so a half notch left from before does not count.
    if ((angle > 0 && m_wheelAngle < 0) || (angle < 0 && m_wheelAngle > 0))
        m_wheelAngle = 0;
    m_wheelAngle += angle;
    while (m_wheelAngle >= wheelNotch) {
        m_wheelAngle -= wheelNotch;
        moveList(m_list.currentRow() - 1);
    }
    while (m_wheelAngle <= -wheelNotch) {
        m_wheelAngle += wheelNotch;
        moveList(m_list.currentRow() + 1);
    }
    event->accept();
    return true;
}

} // namespace uc
