#pragma once

#include <QString>

namespace uc::db {

// A text as an SQL string literal: between single quotes, otherwise as it stands, with every
// single quote inside written twice, so that a CPF/CNPJ value or a taxpayer code can never end
// the literal early. Every text value the program writes into a statement goes through here.
inline QString textLiteral(const QString& text) {
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QLatin1StringView("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

} // namespace uc::db
