#pragma once

#include <QObject>
#include <functional>

class QTableView;
class QWidget;

namespace uc {

class Error;
class GridModel;
class List;

// Ties a table view to a list through its grid model, the way the window's grids behave: whole
// rows are selected, nothing is edited, a title click does nothing, columns can be resized and
// moved by the user and start at the widths of the grid's columns. Clicking a row, the keyboard
// and the mouse wheel (up: previous row, down: next row) move the list's current row; a click on
// the current row moves nothing. A move of the list by code moves the view's current row.
class GridBinding : public QObject {
    Q_OBJECT
public:
    // An error thrown while the list follows the operator (its after-scroll reload may fail)
    // cannot travel back through the view's event handling: it goes to this handler.
    using ErrorHandler = std::function<void(const Error&)>;

    // Puts the model into the view; the binding lives as long as the view.
    GridBinding(QTableView& view, GridModel& model);

    void setErrorHandler(ErrorHandler handler);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void configureView();
    void followList();
    void moveList(int position);
    void report(const Error& error);

    QTableView& m_view;
    QWidget* m_viewport = nullptr;
    GridModel& m_model;
    List& m_list;
    ErrorHandler m_errorHandler;
    bool m_following = false;
    int m_wheelAngle = 0;
};

} // namespace uc
