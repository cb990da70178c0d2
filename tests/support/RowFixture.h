#pragma once

#include "db/RowSet.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace uc::test {

// A result as the data layer would return it, with the columns' declared lengths when given;
// std::nullopt is a null value.
inline db::RowSet makeRows(const QStringList& columns, const std::vector<std::vector<std::optional<QString>>>& rows,
                           std::vector<int> declaredLengths = {}) {
    db::RowSet result(columns, std::move(declaredLengths));
    for (const auto& row : rows) {
        for (const auto& value : row) {
            if (value)
                result.append(*value);
            else
                result.appendNull();
        }
    }
    return result;
}

// A group list result of NOME and COUNT, every group counted twice.
inline db::RowSet makeGroups(const QStringList& names) {
    db::RowSet result(QStringList{QStringLiteral("NOME"), QStringLiteral("COUNT")});
    for (const QString& name : names) {
        result.append(name);
        result.append(QStringLiteral("2"));
    }
    return result;
}

} // namespace uc::test
