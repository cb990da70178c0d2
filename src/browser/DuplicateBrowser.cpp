#include "browser/DuplicateBrowser.h"

#include "browser/LikePattern.h"
#include "db/Connection.h"
#include "db/TextLiteral.h"

#include <QStringList>

namespace uc {

namespace {

const QString principalColumnsSql =
    QStringLiteral("SELECT CNT.COD_CNT, CNT.CNPJ_CNT, CNT.NOME_CNT, CNT.TIPOLOG_CNT, CNT.NOM_LOG_CNT, CNT.NUMERO_CNT, "
                   "CNT.NOM_BAI_CNT, CNT.CEP_CNT, CNT.NOM_CID_CNT");
const QString auditColumnsSql =
    QStringLiteral(", CNT.LOGIN_INC_CNT, CNT.DTA_INC_CNT, CNT.LOGIN_ALT_CNT, CNT.DTA_ALT_CNT");

QString byCnpj(const QString& columns, const QString& cnpj) {
    return columns + QStringLiteral(" FROM GR_CONTRIBUINTES CNT WHERE CNT.CNPJ_CNT = ") + db::textLiteral(cnpj) +
           QStringLiteral(" ORDER BY CNT.NOME_CNT ");
}

// Compares the name with a null text, which is never true: no taxpayer is selected, while the
// server still checks the table and every column, so a database that lacks one of them says so
// when the lists are first opened rather than at the first group.
QString noTaxpayer(const QString& columns) {
    return columns + QStringLiteral(" FROM GR_CONTRIBUINTES CNT WHERE CNT.NOME_CNT = CAST(NULL AS VARCHAR(100))");
}

} // namespace

DuplicateBrowser::DuplicateBrowser(db::Connection& connection, QObject* parent)
    : QObject(parent), m_connection(connection), m_cds1(connection, this), m_cds2(connection, this),
      m_cds3(connection, this) {
    m_cds1.setObjectName(QStringLiteral("cds1"));
    m_cds2.setObjectName(QStringLiteral("cds2"));
    m_cds3.setObjectName(QStringLiteral("cds3"));
    m_cds1.setSql(groupSql());
    m_cds1.setFilterField(QStringLiteral("NOME"));
    m_cds1.setAfterScrollHandler([this] { cds1AfterScroll(); });
    m_cds2.setSql(initialPrincipalSql());
    m_cds3.setSql(initialMemberSql());
}

QString DuplicateBrowser::groupSql() {
    return QStringList{QStringLiteral("SELECT CNT.CNPJ_CNT NOME, COUNT(*)"),
                       QStringLiteral("FROM GR_CONTRIBUINTES CNT"), QStringLiteral("WHERE TRIM(CNT.CNPJ_CNT) <> ''"),
                       QStringLiteral("GROUP BY CNT.CNPJ_CNT"), QStringLiteral("HAVING COUNT(*) >= 2")}
        .join(QStringLiteral("\r\n"));
}

QString DuplicateBrowser::principalSql(const QString& cnpj) {
    return byCnpj(principalColumnsSql, cnpj);
}

QString DuplicateBrowser::memberSql(const QString& cnpj) {
    return byCnpj(principalColumnsSql + auditColumnsSql, cnpj);
}

QString DuplicateBrowser::initialPrincipalSql() {
    return noTaxpayer(principalColumnsSql);
}

QString DuplicateBrowser::initialMemberSql() {
    return noTaxpayer(principalColumnsSql + auditColumnsSql);
}

QString DuplicateBrowser::searchPattern(const QString& text) {
    return text + u'%';
}

std::vector<GridColumn> DuplicateBrowser::groupGridColumns() {
    return {{QStringLiteral("NOME"), QStringLiteral("CPF / CNPJ"), 244},
            {QStringLiteral("COUNT"), QStringLiteral("Nro Vezes"), 53}};
}

std::vector<GridColumn> DuplicateBrowser::principalGridColumns() {
    return {{QStringLiteral("COD_CNT"), QStringLiteral("Código"), 60},
            {QStringLiteral("CNPJ_CNT"), QStringLiteral("CNPJ"), 0},
            {QStringLiteral("NOME_CNT"), QStringLiteral("Nome"), 238},
            {QStringLiteral("TIPOLOG_CNT"), QStringLiteral("Tipo"), 52},
            {QStringLiteral("NOM_LOG_CNT"), QStringLiteral("Logradouro"), 362},
            {QStringLiteral("NUMERO_CNT"), QStringLiteral("Nro."), 43},
            {QStringLiteral("NOM_BAI_CNT"), QStringLiteral("Bairro"), 344},
            {QStringLiteral("CEP_CNT"), QStringLiteral("CEP"), 80},
            {QStringLiteral("NOM_CID_CNT"), QStringLiteral("Cidade"), 333}};
}

std::vector<GridColumn> DuplicateBrowser::memberGridColumns() {
    return {{QStringLiteral("COD_CNT"), QStringLiteral("Código"), 60},
            {QStringLiteral("CNPJ_CNT"), QStringLiteral("CNPJ"), 128},
            {QStringLiteral("NOME_CNT"), QStringLiteral("Nome"), 299},
            {QStringLiteral("TIPOLOG_CNT"), QStringLiteral("Tipo"), 61},
            {QStringLiteral("NOM_LOG_CNT"), QStringLiteral("Logradouro"), 301},
            {QStringLiteral("NUMERO_CNT"), QStringLiteral("Nro."), 52},
            {QStringLiteral("NOM_BAI_CNT"), QStringLiteral("Bairro"), 201},
            {QStringLiteral("CEP_CNT"), QStringLiteral("CEP"), 77},
            {QStringLiteral("NOM_CID_CNT"), QStringLiteral("Cidade"), 416},
            {QStringLiteral("LOGIN_INC_CNT"), QString(), 0},
            {QStringLiteral("DTA_INC_CNT"), QString(), 0},
            {QStringLiteral("LOGIN_ALT_CNT"), QString(), 0},
            {QStringLiteral("DTA_ALT_CNT"), QString(), 0}};
}

void DuplicateBrowser::Edit1Change(const QString& text) {
    m_cds1.setFiltered(false);
    if (isBlankText(text))
        return;
    // The typed text is the pattern itself: a quote in it is a quote to match, never a syntax
    // error or a change of what is searched.
    m_cds1.setFilter(searchPattern(text));
    m_cds1.setFiltered(true);
}

void DuplicateBrowser::cds1AfterScroll() {
    // Without a current group (nothing passes the filter) the two lists hold no taxpayer, and
    // keep holding none when they are merely reopened: an empty value would find every taxpayer
    // whose CPF/CNPJ is empty.
    const bool hasGroup = m_cds1.currentRow() >= 0;
    const QString cnpj = hasGroup ? m_cds1.fieldAsText(QStringLiteral("NOME")) : QString();
    // Both lists are closed and given the new group's texts before either is read, so that when
    // the principal list fails the member list does not go on holding the group left behind.
    m_cds2.close();
    m_cds3.close();
    m_cds2.setSql(hasGroup ? principalSql(cnpj) : initialPrincipalSql());
    m_cds3.setSql(hasGroup ? memberSql(cnpj) : initialMemberSql());
    // Every move through the group list comes here: one transaction for both reads.
    db::Connection::SharedReads together(m_connection);
    m_cds2.open();
    m_cds3.open();
}

int DuplicateBrowser::openGroups() {
    m_cds1.close();
    m_cds1.open();
    return m_cds1.recordCount();
}

void DuplicateBrowser::openPrincipals() {
    m_cds2.close();
    m_cds2.open();
}

void DuplicateBrowser::openMembers() {
    m_cds3.close();
    m_cds3.open();
}

void DuplicateBrowser::reloadAll() {
    openGroups();
    openPrincipals();
    openMembers();
}

} // namespace uc
