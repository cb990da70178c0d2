#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <vector>

class QStyle;
class QTableView;
class QWidget;

namespace uc {

class Error;
class GridModel;
class List;

// Ties a table view to a list through its grid model, the way the window's grids behave: whole
// rows are selected, nothing is edited, a title click does nothing, columns can be resized and
// moved by the user and start at the widths of the grid's columns. A column without a width takes
// the width its data needs, once the list's result says how long its values can be: the declared
// length in characters at the font's average character width, plus the cell's margins, and at
// least the width of its title; it keeps that width over the reloads of the list until the user
// resizes it. Titles have the column's width less a pixel on each side for their text. Clicking a
// row, the keyboard and the mouse wheel (up: previous row, down: next row) move the list's current
// row; a click on the current row moves nothing. A move of the list by code moves the view's
// current row.
class GridBinding : public QObject {
    Q_OBJECT
public:
    // An error thrown while the list follows the operator (its after-scroll reload may fail)
    // cannot travel back through the view's event handling: it goes to this handler.
    using ErrorHandler = std::function<void(const Error&)>;

    // Puts the model into the view; the binding lives as long as the view.
    GridBinding(QTableView& view, GridModel& model);
    ~GridBinding() override;

    void setErrorHandler(ErrorHandler handler);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void configureView();
    void applyDefaultWidths();
    int defaultWidth(int section, int declaredLength) const;
    void followList();
    void moveList(int position);
    void report(const Error& error);

    QTableView& m_view;
    QWidget* m_viewport = nullptr;
    GridModel& m_model;
    List& m_list;
    ErrorHandler m_errorHandler;
    // The title row's style; the binding, a later child of the view than the title row, outlives it.
    std::unique_ptr<QStyle> m_titleStyle;
    // Columns without a width that the user has resized: they keep the user's width.
    std::vector<bool> m_resizedByUser;
    bool m_sizing = false;
    bool m_following = false;
    int m_wheelAngle = 0;
};

} // namespace uc
