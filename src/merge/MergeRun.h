#pragma once

#include "merge/Timestamp.h"

#include <QString>

namespace uc {

class DuplicateBrowser;
class List;

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

// "Processar": merges every taxpayer of the member list into the principal (the current row of
// the principal list) in one transaction on the main connection. For each member whose code
// differs from the principal's it re-points every known reference and deletes the member's row,
// then sets the taxpayer code generator to the highest code left and commits. Every statement is
// written to the log before it runs; the first error is shown and rolls everything back. The
// three lists are reloaded at the end either way.
class MergeRun {
public:
    MergeRun(db::Connection& conexao, db::Query& qrx, DuplicateBrowser& browser, MergeView& view,
             MergeClock clock = MergeClock::system());

    // The whole run, from the click to the reloaded lists. Only an error of the reload after a
    // committed run leaves it (for the default error box); every other error is handled here.
    void run();

    // The text of the failure box: a lone carriage return between its two lines.
    static QString errorText(const QString& message);
    // Why a run was refused before anything was sent.
    static QString missingCodeMessage();
    static QString otherCompanyMessage();
    // The codes of the taxpayers of company 1 that carry a CPF/CNPJ value.
    static QString companyCodesSql(const QString& cnpj);
    static QString maxCodeSql();
    static QString generatorStatement(const QString& code);
    static QString startLine(const QString& timestamp);
    static QString endLine(const QString& timestamp);

private:
    // Throws before any statement when a merge would write an empty code.
    void checkCodes();
    // Throws before any statement when the principal or a member to be merged is not a taxpayer
    // of company 1 of the group: the statements, which all name company 1, would re-point and
    // delete another taxpayer that merely holds the same code.
    void checkCompany();
    bool memberIsPrincipal() const;
    void mergeMember();
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
