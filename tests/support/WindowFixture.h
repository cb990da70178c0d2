#pragma once

// The real main window on an installation, driven the way the operator drives it, with every
// message box recorded instead of shown.
//
//   ShownWindow w(db.folder());               // qor.ini of that program folder; shown at once
//   w.boxes().messages()                      // the boxes shown so far
//   w.sent()                                  // statements the window's connection sent
//   w.setups()                                // runs of the connection set-up (one per attach)
//   QVERIFY(w.exposed());                     // the window reached the screen
//   QVERIFY(selectGroup(*w, "11.111"));       // a click on that value in the group grid
//   button(*w, "btnProcessa")->click();       // a button of the window, by name
//   logLines(*w)                              // the run's log, line by line
//   QVERIFY(sairEndsTheProgram(*w));          // "&Sair" ends the application's message loop

#include "ScratchDatabase.h"
#include "app/MessageBoxes.h"
#include "app/TFPrin.h"
#include "settings/SystemHost.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QAbstractButton;
class QTableView;

namespace uc::test {

class ShownWindow {
public:
    // The window of a program installed in that folder (ending with a separator), created and
    // shown: its show step has run when this returns.
    explicit ShownWindow(const QString& programFolder);
    ~ShownWindow();
    ShownWindow(const ShownWindow&) = delete;
    ShownWindow& operator=(const ShownWindow&) = delete;

    // False when the window was not exposed in time.
    bool exposed() const { return m_exposed; }
    TFPrin& operator*() { return *m_window; }
    TFPrin* operator->() { return m_window.get(); }
    MessageBoxRecorder& boxes() { return *m_boxes; }
    QStringList& sent() { return m_sent; }
    int setups() const { return m_setups; }
    // Runs just before each statement is sent, after it is counted in sent().
    void setBeforeStatement(std::function<void(const QString&)> hook) { m_beforeStatement = std::move(hook); }
    // Runs just before the window's connection commits its transaction.
    void setBeforeCommit(std::function<void()> hook) { m_beforeCommit = std::move(hook); }

    // The boxes' texts, for a failure message.
    QString describeBoxes() const;

private:
    std::unique_ptr<SystemHost> m_host;
    std::unique_ptr<MessageBoxRecorder> m_boxes;
    std::unique_ptr<TFPrin> m_window;
    QStringList m_sent;
    int m_setups = 0;
    bool m_exposed = false;
    std::function<void(const QString&)> m_beforeStatement;
    std::function<void()> m_beforeCommit;
};

QTableView* grid(QWidget& window, const char* name);
QAbstractButton* button(QWidget& window, const char* name);
// The values shown in one column of a grid, top to bottom.
QStringList gridColumn(QTableView* view, int column);
// The lines of the log ("Memo"); none while it is empty.
QStringList logLines(QWidget& window);

// The operator clicks the first row of the grid that shows that value in that column. False when
// no row shows it.
bool clickRow(QTableView* view, int column, const QString& value);

// The operator makes that CPF/CNPJ value the current row of the group grid. True when the member
// list then holds its taxpayers.
bool selectGroup(TFPrin& window, const QString& cnpj);

// Clicks "&Sair" from inside the application's message loop. True when the loop then ended
// normally with the window closed.
bool sairEndsTheProgram(TFPrin& window);

// The attachment of a connection, as MON$ATTACHMENTS names it.
QString attachmentId(db::Connection& connection);
// The server ends that attachment, as when the connection to it is lost.
bool killAttachment(const ScratchDatabase& db, const QString& id);

// Every row of every table of the database, sorted, and the taxpayer code generator: two dumps
// compare equal when nothing was committed in between.
QStringList dumpDatabase(const ScratchDatabase& db);

} // namespace uc::test
