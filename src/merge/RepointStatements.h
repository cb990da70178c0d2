#pragma once

#include <QString>
#include <QStringList>
#include <array>

namespace uc {

// How a row restricts itself to the taxpayer module (module number 5) of a CADASTRO-like column.
enum class ModuleForm {
    None,
    Joined,   // " AND COD_MOD_xxx=5 " right after the company condition
    Separate, // " AND COD_MOD_xxx = 5 " after the company condition's closing space
};

// One column of the tax database that holds a taxpayer code and must follow a merged taxpayer
// to the principal. The texts are plain ASCII identifiers.
struct RepointRow {
    bool leadingSpace;
    const char* table;
    const char* column;
    const char* companyColumn; // nullptr: the rows of every company are re-pointed
    const char* moduleColumn;  // nullptr when moduleForm is None
    ModuleForm moduleForm;
};

inline constexpr int repointRowCount = 97;

// Every place the program knows to hold a taxpayer code, in the order the merge runs them.
const std::array<RepointRow, repointRowCount>& repointRows();

// The text that moves one row's references from the duplicate code to the principal code.
QString repointStatement(const RepointRow& row, const QString& principal, const QString& duplicate);

// The text that removes the merged taxpayer's own row.
QString deleteStatement(const QString& duplicate);

// The statements run for every merged taxpayer: the 97 repoint statements, then the delete.
int statementCount();

// Statement `index` (0 to statementCount() - 1) for one merged taxpayer, built on demand so that
// the merge can log and run each text as soon as it exists.
QString mergeStatement(int index, const QString& principal, const QString& duplicate);

QStringList mergeStatements(const QString& principal, const QString& duplicate);

// The codes that company 1 gives the taxpayers of a CPF/CNPJ value, asked before anything is
// merged: the member list holds the group's taxpayers of every company and does not say which.
QString companyCodesSql(const QString& cnpj);

// The highest taxpayer code in use, read inside the run's transaction after the members.
QString maxCodeSql();

// Sets the taxpayer code generator to that code, the run's last statement.
QString generatorStatement(const QString& code);

} // namespace uc
