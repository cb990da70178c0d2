#pragma once

#include "browser/GridColumn.h"
#include "browser/List.h"

#include <QObject>
#include <QString>
#include <vector>

namespace uc {

namespace db {
class Connection;
}

// The three linked lists of the main window on one connection: the group list cds1 (every
// CPF/CNPJ value that two or more taxpayers carry, with their number), the principal list cds2
// and the member list cds3 (the taxpayers of the current group). Every move of the group list's
// current row reloads the other two for the new group.
//
// Errors of the database travel as uc::Error out of every operation here, also out of a move of
// the group list that reloads the other two; the list that failed stays closed.
class DuplicateBrowser : public QObject {
    Q_OBJECT
public:
    explicit DuplicateBrowser(db::Connection& connection, QObject* parent = nullptr);

    List& cds1() { return m_cds1; }
    List& cds2() { return m_cds2; }
    List& cds3() { return m_cds3; }

    static QString groupSql();
    // The texts that load the taxpayers of one CPF/CNPJ value.
    static QString principalSql(const QString& cnpj);
    static QString memberSql(const QString& cnpj);
    // The texts the two lists hold until the first group is loaded, and again whenever there is
    // no current group: the same columns, and no taxpayer.
    static QString initialPrincipalSql();
    static QString initialMemberSql();
    // The LIKE pattern for a search text: values that begin with it.
    static QString searchPattern(const QString& text);

    // Columns of the grids: DBGrid1 shows cds1, DBGrid3 shows cds2, DBGrid2 shows cds3.
    static std::vector<GridColumn> groupGridColumns();
    static std::vector<GridColumn> principalGridColumns();
    static std::vector<GridColumn> memberGridColumns();

    // The search box's text changed: the group list shows the values that begin with it, or
    // every value when it holds only blanks. The other two lists follow each move.
    void Edit1Change(const QString& text);
    // The group list moved: loads the taxpayers of the current group into cds2 and cds3.
    void cds1AfterScroll();

    // Close and open, as the show step does them. openGroups returns the number of groups.
    int openGroups();
    void openPrincipals();
    void openMembers();
    // The three lists closed and opened again, in that order (after a merge run).
    void reloadAll();

private:
    db::Connection& m_connection;
    List m_cds1;
    List m_cds2;
    List m_cds3;
};

} // namespace uc
