#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>

namespace uc {

// Reading of ini-style settings files (qor.ini) the way the Windows profile functions read them:
// section and key names matched without regard to case, values without surrounding blanks, the
// first occurrence of a key in the first section of that name wins, lines starting with ";" are
// comments, backslashes are plain characters, lines end at LF, CR LF or CR. Files are only ever read.
namespace IniFile {

// The text of a settings file: UTF-8 after a UTF-8 byte-order mark, UTF-16 LE after its mark,
// Windows-1252 otherwise.
QString decode(QByteArrayView bytes);

// The key's value in the section, or nothing when the section or the key is missing. A value
// enclosed in a pair of matching quotes (" or ') loses them.
std::optional<QString> find(QStringView text, QStringView section, QStringView key);

// find() over the file's bytes, with the default for a missing section or key.
QString read(QByteArrayView bytes, QStringView section, QStringView key, const QString& defaultValue);

// read() over the file at path; a file that is missing, is no regular file or cannot be read
// gives the default.
QString readFile(const QString& path, QStringView section, QStringView key, const QString& defaultValue);

} // namespace IniFile

} // namespace uc
