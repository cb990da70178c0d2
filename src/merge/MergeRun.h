#pragma once

#include "merge/Timestamp.h"

#include <QString>

namespace uc {

class DuplicateBrowser;

namespace db {
class Connection;
class Query;
} // namespace db

// What the merge run needs of the main window: the log panel and its text, the gauge, the
// "Processar" button and the two closing boxes. A box returns when the operator closes it.
class MergeView {
public:
    virtual ~MergeView() = default;

    virtual void showLog() = 0;
    virtual void clearLog() = 0;
    virtual void appendLog(const QString& line) = 0;
    virtual void setGaugeVisible(bool visible) = 0;
    virtual void setGaugeMaximum(int maximum) = 0;
    // Drawn at once: the run holds the event loop until it ends.
    virtual void setGaugePosition(int position) = 0;
    virtual void setButtonEnabled(bool enabled) = 0;
    virtual void information(const QString& text) = 0;
    virtual void error(const QString& text) = 0;
};

// "Processar": merges the taxpayers of the member list into the principal (the current row of
// the principal list) in one transaction on the main connection. The principal's code and CPF/CNPJ
// and the members' codes are read once, at the click; the checks and the run work from them. A
// member holding the principal's code is the principal itself, and a member that is no taxpayer of
// company 1 of the group belongs to another company: both are skipped. Every other member has
// every known reference re-pointed to the principal and its own row deleted; then the taxpayer
// code generator is set to the highest code left and the transaction committed. Every statement
// is written to the log before it runs; the first error is shown and rolls everything back. The
// three lists are reloaded at the end either way.
class MergeRun {
public:
    MergeRun(db::Connection& conexao, db::Query& qrx, DuplicateBrowser& browser, MergeView& view,
             MergeClock clock = MergeClock::system());

    // The whole run, from the click to the reloaded lists. Only an error of the reload after a
    // committed run leaves it (for the default error box); every other error is handled here.
    void run();

private:
    // The 98 statements that merge one member into the principal.
    void mergeMember(const QString& principal, const QString& duplicate);
    void resyncGenerator();
    // Closes qrx, sets the text, logs it with an empty line after it, executes it.
    void runStatement(const QString& sql);
    void fail(const QString& message);
    QString timestamp() const;

    db::Connection& m_conexao;
    db::Query& m_qrx;
    DuplicateBrowser& m_browser;
    MergeView& m_view;
    MergeClock m_clock;
};

} // namespace uc
