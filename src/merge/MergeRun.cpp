#include "merge/MergeRun.h"

#include "browser/DuplicateBrowser.h"
#include "browser/List.h"
#include "common/Error.h"
#include "db/Connection.h"
#include "db/Query.h"
#include "db/RowSet.h"
#include "merge/RepointStatements.h"

#include <algorithm>
#include <exception>
#include <vector>

namespace uc {

namespace {

const QString codeColumn = QStringLiteral("COD_CNT");

// Why a run was refused before anything was sent.
const QString missingCodeMessage = QStringLiteral("Contribuinte sem código: nenhuma alteração foi feita.");
const QString otherCompanyMessage = QStringLiteral("Contribuinte de outra empresa: nenhuma alteração foi feita.");

// The text of the failure box: a lone carriage return between its two lines.
QString errorText(const QString& message) {
    return QStringLiteral("Erro na Geração.") + QChar(13) + QStringLiteral("Erro: ") + message;
}

QString startLine(const QString& timestamp) {
    return QStringLiteral("--- INICIO --- ") + timestamp;
}

QString endLine(const QString& timestamp) {
    return QStringLiteral("--- FIM --- ") + timestamp;
}

// A taxpayer code as a list holds it; a null code is not an empty one.
struct Code {
    QString text;
    bool isNull = true;
};

// What the run takes from the lists, read once at the click.
struct MergeInputs {
    bool hasPrincipal = false; // the principal list has a current row
    Code principal;
    QString cnpj;              // the principal's CPF/CNPJ
    std::vector<Code> members; // in the member list's order
};

MergeInputs readInputs(const List& principals, const List& members) {
    MergeInputs inputs;
    inputs.hasPrincipal = principals.currentRow() >= 0;
    inputs.principal = {principals.fieldAsText(codeColumn), principals.fieldIsNull(codeColumn)};
    inputs.cnpj = principals.fieldAsText(QStringLiteral("CNPJ_CNT"));
    // Read from the snapshot: the member list's current row moves only with the run itself.
    if (members.recordCount() == 0)
        return inputs;
    const db::RowSet& rows = members.rows();
    const qsizetype column = rows.existingColumn(codeColumn);
    for (int position = 0; position < members.recordCount(); ++position) {
        const qsizetype row = members.sourceRow(position);
        const bool isNull = rows.isNull(row, column);
        inputs.members.push_back({isNull ? QString() : rows.value(row, column), isNull});
    }
    return inputs;
}

// The server compares texts without their trailing blanks: "100 " is "100" to every statement.
QStringView withoutTrailingBlanks(QStringView code) {
    while (code.endsWith(u' '))
        code.chop(1);
    return code;
}

// Codes are compared as text, case and inner blanks counting; two null codes count as the same
// taxpayer. Trailing blanks do not count: a member whose code differs from the principal's only by
// them would have the principal's own row deleted by its statements.
bool sameCode(const Code& a, const Code& b) {
    if (a.isNull || b.isNull)
        return a.isNull && b.isNull;
    return withoutTrailingBlanks(a.text) == withoutTrailingBlanks(b.text);
}

// A merge with an empty code on either side would re-point references to nobody, or delete the
// wrong row: the whole run is refused before anything is sent.
void checkCodes(const MergeInputs& inputs) {
    if (inputs.members.empty())
        return;
    if (!inputs.hasPrincipal)
        throw Error(missingCodeMessage);
    for (const Code& member : inputs.members) {
        if (!sameCode(inputs.principal, member) && (inputs.principal.text.isEmpty() || member.text.isEmpty()))
            throw Error(missingCodeMessage);
    }
}

// Which members are merged, by position. Not those holding the principal's code, nor those that
// are no taxpayer of company 1 of the group: every statement names company 1, so merging another
// company's taxpayer would re-point and delete the company-1 taxpayer that merely holds the same
// code. The member list does not say which company a taxpayer belongs to; the server knows which
// codes company 1 gives to this CPF/CNPJ. A principal of another company refuses the whole run,
// before anything is sent.
std::vector<bool> membersToMerge(db::Connection& connection, const MergeInputs& inputs) {
    std::vector<bool> merged;
    for (const Code& member : inputs.members)
        merged.push_back(!sameCode(inputs.principal, member));
    if (std::find(merged.begin(), merged.end(), true) == merged.end())
        return merged;

    const db::RowSet rows = connection.select(companyCodesSql(inputs.cnpj));
    const qsizetype column = rows.existingColumn(codeColumn);
    auto inCompany = [&](const QString& code) {
        for (qsizetype row = 0; row < rows.rowCount(); ++row) {
            if (!rows.isNull(row, column) &&
                withoutTrailingBlanks(rows.value(row, column)) == withoutTrailingBlanks(code))
                return true;
        }
        return false;
    };
    if (!inCompany(inputs.principal.text))
        throw Error(otherCompanyMessage);
    for (std::size_t i = 0; i < merged.size(); ++i) {
        if (merged[i] && !inCompany(inputs.members[i].text))
            merged[i] = false;
    }
    return merged;
}

} // namespace

MergeRun::MergeRun(db::Connection& conexao, db::Query& qrx, DuplicateBrowser& browser, MergeView& view,
                   MergeClock clock)
    : m_conexao(conexao), m_qrx(qrx), m_browser(browser), m_view(view), m_clock(std::move(clock)) {}

QString MergeRun::timestamp() const {
    return mergeTimestamp(m_clock.now(), m_clock.dateSeparator, m_clock.timeSeparator);
}

void MergeRun::run() {
    m_view.showLog();
    m_view.setButtonEnabled(false);
    try {
        const MergeInputs inputs = readInputs(m_browser.cds2(), m_browser.cds3());
        checkCodes(inputs);
        const std::vector<bool> merged = membersToMerge(m_conexao, inputs);
        // A transaction the connection already holds becomes the run's, and ends with it.
        if (!m_conexao.inTransaction())
            m_conexao.startTransaction();

        m_view.setGaugeVisible(true);
        m_view.setGaugePosition(0);
        m_view.setGaugeMaximum(int(inputs.members.size()));
        m_view.clearLog();
        m_view.appendLog(startLine(timestamp()));

        // The member list's current row goes through the members with the run, as the operator
        // watches it; the skipped ones advance the gauge too.
        List& members = m_browser.cds3();
        members.first();
        for (std::size_t i = 0; i < inputs.members.size(); ++i) {
            if (merged[i])
                mergeMember(inputs.principal.text, inputs.members[i].text);
            members.next();
            m_view.setGaugePosition(int(i) + 1);
        }

        resyncGenerator();
        m_conexao.commit();
    } catch (const Error& e) {
        fail(e.message());
        return;
    } catch (const std::exception& e) {
        fail(QString::fromLocal8Bit(e.what()));
        return;
    }

    m_view.information(QStringLiteral("Fim do Processo."));
    m_view.appendLog(endLine(timestamp()));
    m_view.setButtonEnabled(true);
    m_view.setGaugeVisible(false);
    // The merge is committed: a failing reload is an ordinary error of the click, not a failed merge.
    m_browser.reloadAll();
}

void MergeRun::mergeMember(const QString& principal, const QString& duplicate) {
    for (int i = 0; i < statementCount(); ++i)
        runStatement(mergeStatement(i, principal, duplicate));
}

void MergeRun::resyncGenerator() {
    // Inside the run's transaction, so the deleted taxpayers no longer count. Not logged.
    m_qrx.close();
    m_qrx.setSql(maxCodeSql());
    m_qrx.open();
    const QString code = m_qrx.fieldAsText(QStringLiteral("COD"));
    m_qrx.close();
    runStatement(generatorStatement(code));
}

void MergeRun::runStatement(const QString& sql) {
    m_qrx.close();
    m_qrx.setSql(sql);
    m_view.appendLog(m_qrx.sql());
    m_view.appendLog(QString());
    m_qrx.execute();
}

void MergeRun::fail(const QString& message) {
    // The box comes first, while the transaction is still open.
    m_view.error(errorText(message));
    if (m_conexao.inTransaction()) {
        try {
            m_conexao.rollback();
        } catch (const std::exception&) {
            // The operator has just been shown the run's error. A transaction that would not roll
            // back must never be committed by a later run: ending the attachment ends it.
            try {
                m_conexao.close();
            } catch (const std::exception&) {
            }
        }
    }
    m_view.setButtonEnabled(true);
    m_view.setGaugeVisible(false);
    // Likewise a reload that fails here (the connection is gone) is not shown a second time; the
    // lists that failed stay closed.
    try {
        m_browser.reloadAll();
    } catch (const std::exception&) {
    }
}

} // namespace uc
