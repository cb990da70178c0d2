#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstddef>

namespace uc {

// Text crosses the database connection and comes out of qor.ini in the Windows-1252 code page,
// the installation's own. The program has its own table for it: Qt's codec of that name needs ICU,
// which a Qt built for Windows does not have, so there every byte would decode to nothing.
namespace win1252 {

// One table lookup per byte; the five bytes that the code page leaves undefined come out as the
// control characters of the same number, the way Windows itself decodes them.
QString decode(const char* bytes, std::size_t length);
inline QString decode(QByteArrayView bytes) {
    return decode(bytes.data(), std::size_t(bytes.size()));
}

// Encodes text for the server. Returns false when a character has no Windows-1252 byte; then
// *unrepresentable (if given) lists each such character once, in order of appearance.
bool encode(const QString& text, QByteArray* out, QString* unrepresentable = nullptr);

} // namespace win1252
} // namespace uc
