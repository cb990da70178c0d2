#pragma once

#include <QString>

namespace uc {

class Host;

// The location resolver: answers a location code with a folder, a database location
// (host/port:path), the client library's path or the server's port, reading qor.ini afresh on
// every call. Throws uc::Error when a folder it must ensure cannot be created.
QString RetornaCaminho(const Host& host, const QString& codigo);

} // namespace uc
