#include "settings/IniFile.h"

#include "common/Win1252.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace uc::IniFile {

namespace {

bool isBlank(QChar c) {
    const char16_t u = c.unicode();
    return u == u' ' || u == u'\t' || u == u'\r' || u == u'\v' || u == u'\f';
}

QStringView trimBlanks(QStringView s) {
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && isBlank(s[begin]))
        ++begin;
    while (end > begin && isBlank(s[end - 1]))
        --end;
    return s.sliced(begin, end - begin);
}

QStringView withoutQuotes(QStringView value) {
    if (value.size() >= 2 && value.front() == value.back() && (value.front() == u'"' || value.front() == u'\''))
        return value.sliced(1, value.size() - 2);
    return value;
}

bool sameName(QStringView a, QStringView b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

QString decode(QByteArrayView bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.sliced(3));
    if (bytes.startsWith("\xFF\xFE")) {
        QStringDecoder utf16(QStringDecoder::Utf16LE);
        return utf16(bytes.sliced(2));
    }
    // The program's own table: Qt knows "windows-1252" only when it is built with ICU, which the
    // Windows build of Qt is not, and an unknown codec would decode every file to nothing.
    return win1252::decode(bytes);
}

std::optional<QString> find(QStringView text, QStringView section, QStringView key) {
    bool inSection = false;
    qsizetype pos = 0;
    while (pos < text.size()) {
        // A line ends at LF, at CR LF (the CR is a blank) or, as Windows reads it, at a lone CR.
        qsizetype eol = pos;
        while (eol < text.size() && text[eol] != u'\n' && text[eol] != u'\r')
            ++eol;
        const QStringView line = trimBlanks(text.sliced(pos, eol - pos));
        pos = eol + 1;

        if (line.isEmpty() || line.front() == u';')
            continue;
        if (line.front() == u'[') {
            const qsizetype close = line.indexOf(u']');
            if (close < 0)
                continue; // not a section header; the current section goes on
            if (inSection)
                return std::nullopt; // only the first section of that name is consulted
            inSection = sameName(trimBlanks(line.sliced(1, close - 1)), section);
            continue;
        }
        if (!inSection)
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue; // a line without "=" holds no value
        if (sameName(trimBlanks(line.first(eq)), key))
            return withoutQuotes(trimBlanks(line.sliced(eq + 1))).toString();
    }
    return std::nullopt;
}

QString read(QByteArrayView bytes, QStringView section, QStringView key, const QString& defaultValue) {
    const QString text = decode(bytes);
    return find(text, section, key).value_or(defaultValue);
}

QString readFile(const QString& path, QStringView section, QStringView key, const QString& defaultValue) {
    // Only a regular file is read: a folder, a pipe or a device of that name counts as no file.
    if (!QFileInfo(path).isFile())
        return defaultValue;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return defaultValue;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return defaultValue;
    return read(bytes, section, key, defaultValue);
}

} // namespace uc::IniFile
