#pragma once

#include "db/ClientLibrary.h"
#include "db/RowSet.h"

#include <QByteArray>

namespace uc::db::statement {

// Runs a SELECT in the given transaction and copies its whole result out as text: every column
// coerced to text by the server, except dates and times (dd/mm/yyyy, hh:mm:ss,
// dd/mm/yyyy hh:mm:ss) and blobs (text blobs whole, binary blobs as hexadecimal digits). CHAR
// values keep their trailing blanks. Column names are the output aliases.
RowSet select(const ClientLibrary& lib, Firebird::IAttachment* attachment, Firebird::ITransaction* transaction,
              const QByteArray& sql, unsigned dialect);

// Runs a statement that returns no rows in the given transaction.
void execute(const ClientLibrary& lib, Firebird::IAttachment* attachment, Firebird::ITransaction* transaction,
             const QByteArray& sql, unsigned dialect);

} // namespace uc::db::statement
