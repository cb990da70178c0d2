#include "merge/MergeRun.h"

#include "browser/DuplicateBrowser.h"
#include "browser/List.h"
#include "common/Error.h"
#include "db/Connection.h"
#include "db/Query.h"
#include "db/RowSet.h"
#include "db/TextLiteral.h"
#include "merge/RepointStatements.h"

#include <QStringList>
#include <exception>

namespace uc {

namespace {

const QString codeColumn = QStringLiteral("COD_CNT");

// The server compares texts without their trailing blanks: "100 " is "100" to every statement.
QStringView withoutTrailingBlanks(QStringView code) {
    while (code.endsWith(u' '))
        code.chop(1);
    return code;
}

// Codes are compared as text, case and inner blanks counting; two null codes count as the same
// taxpayer. Trailing blanks do not count: a member whose code differs from the principal's only by
// them would have the principal's own row deleted by its statements.
bool sameCode(const List& principals, const List& members) {
    const bool principalNull = principals.fieldIsNull(codeColumn);
    const bool memberNull = members.fieldIsNull(codeColumn);
    if (principalNull || memberNull)
        return principalNull && memberNull;
    return withoutTrailingBlanks(principals.fieldAsText(codeColumn)) ==
           withoutTrailingBlanks(members.fieldAsText(codeColumn));
}

} // namespace

MergeRun::MergeRun(db::Connection& conexao, db::Query& qrx, DuplicateBrowser& browser, MergeView& view,
                   MergeClock clock)
    : m_conexao(conexao), m_qrx(qrx), m_browser(browser), m_view(view), m_clock(std::move(clock)) {}

QString MergeRun::errorText(const QString& message) {
    return QStringLiteral("Erro na Geração.") + QChar(13) + QStringLiteral("Erro: ") + message;
}

QString MergeRun::missingCodeMessage() {
    return QStringLiteral("Contribuinte sem código: nenhuma alteração foi feita.");
}

QString MergeRun::otherCompanyMessage() {
    return QStringLiteral("Contribuinte de outra empresa: nenhuma alteração foi feita.");
}

QString MergeRun::companyCodesSql(const QString& cnpj) {
    return QStringLiteral(
               "SELECT CNT.COD_CNT FROM GR_CONTRIBUINTES CNT WHERE CNT.COD_EMP_CNT = 1 AND CNT.CNPJ_CNT = ") +
           db::textLiteral(cnpj);
}

QString MergeRun::maxCodeSql() {
    return QStringLiteral("SELECT MAX(CAST(COD_CNT AS INTEGER)) COD FROM GR_CONTRIBUINTES");
}

QString MergeRun::generatorStatement(const QString& code) {
    return QStringLiteral("SET GENERATOR GEN_GR_CONTRIBUINTES TO ") + code;
}

QString MergeRun::startLine(const QString& timestamp) {
    return QStringLiteral("--- INICIO --- ") + timestamp;
}

QString MergeRun::endLine(const QString& timestamp) {
    return QStringLiteral("--- FIM --- ") + timestamp;
}

QString MergeRun::timestamp() const {
    return mergeTimestamp(m_clock.now(), m_clock.dateSeparator, m_clock.timeSeparator);
}

void MergeRun::run() {
    m_view.showLog();
    m_view.setButtonEnabled(false);
    try {
        checkCodes();
        checkCompany();
        // A transaction the connection already holds becomes the run's, and ends with it.
        if (!m_conexao.inTransaction())
            m_conexao.startTransaction();

        List& members = m_browser.cds3();
        m_view.setGaugeVisible(true);
        m_view.setGaugePosition(0);
        m_view.setGaugeMaximum(members.recordCount());
        m_view.clearLog();
        m_view.appendLog(startLine(timestamp()));

        int handled = 0;
        members.first();
        while (!members.eof()) {
            if (!memberIsPrincipal())
                mergeMember();
            members.next();
            m_view.setGaugePosition(++handled);
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

void MergeRun::checkCodes() {
    List& principals = m_browser.cds2();
    List& members = m_browser.cds3();
    if (members.recordCount() == 0)
        return;
    if (principals.currentRow() < 0)
        throw Error(missingCodeMessage());
    // A merge with an empty code on either side would re-point references to nobody, or delete
    // the wrong row: refuse the whole run before anything is sent.
    for (members.first(); !members.eof(); members.next()) {
        if (sameCode(principals, members))
            continue;
        if (principals.fieldAsText(codeColumn).isEmpty() || members.fieldAsText(codeColumn).isEmpty())
            throw Error(missingCodeMessage());
    }
}

void MergeRun::checkCompany() {
    List& principals = m_browser.cds2();
    List& members = m_browser.cds3();
    QStringList merged;
    for (members.first(); !members.eof(); members.next()) {
        if (!sameCode(principals, members))
            merged << members.fieldAsText(codeColumn);
    }
    if (merged.isEmpty())
        return;

    // The member list holds the group's taxpayers of every company and does not say which; the
    // server knows which codes company 1 gives to this CPF/CNPJ.
    const db::RowSet rows = m_conexao.select(companyCodesSql(principals.fieldAsText(QStringLiteral("CNPJ_CNT"))));
    const qsizetype column = rows.columnIndex(codeColumn);
    auto inCompany = [&](const QString& code) {
        for (qsizetype row = 0; row < rows.rowCount(); ++row) {
            if (!rows.isNull(row, column) &&
                withoutTrailingBlanks(rows.value(row, column)) == withoutTrailingBlanks(code))
                return true;
        }
        return false;
    };
    if (!inCompany(principals.fieldAsText(codeColumn)))
        throw Error(otherCompanyMessage());
    for (const QString& code : merged) {
        if (!inCompany(code))
            throw Error(otherCompanyMessage());
    }
}

bool MergeRun::memberIsPrincipal() const {
    return sameCode(m_browser.cds2(), m_browser.cds3());
}

void MergeRun::mergeMember() {
    for (int i = 0; i < statementCount(); ++i)
        runStatement(
            mergeStatement(i, m_browser.cds2().fieldAsText(codeColumn), m_browser.cds3().fieldAsText(codeColumn)));
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
