// The settings reader on any bytes, as qor.ini may hold after a bad copy, a wrong editor or a
// damaged disk: no crash, and what it answers keeps the reader's rules.
//
// Input: the whole file. Every key of section QOR that the program reads is looked up.

#include "settings/IniFile.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

const char16_t* const keys[] = {u"Ano",
                                u"Servidor",
                                u"ServidorTabDef",
                                u"SO_Servidor",
                                u"SO_ServidorTabDef",
                                u"Caminho_Base_Dados",
                                u"Caminho_TabDef",
                                u"Diretorio_Servidor",
                                u"Diretorio_SSE",
                                u"DLLCON",
                                u"PORTACON",
                                u"CaminhoDLLCON"};

const QString absent = QStringLiteral("\x01<ausente>\x01");

[[noreturn]] void broken(const char* rule, const QString& key, const QString& value) {
    std::fprintf(stderr, "%s\n key:   %s\n value: %s\n", rule, key.toUtf8().constData(), value.toUtf8().constData());
    std::abort();
}

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\v' || c == u'\f';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = uc::IniFile::decode(bytes);
    // Without a byte-order mark every byte is one character, so text appended after a line break
    // cannot change what the lines before it say.
    const bool plain = !bytes.startsWith("\xEF\xBB\xBF") && !bytes.startsWith("\xFF\xFE");
    for (const char16_t* name : keys) {
        const QString key = QString::fromUtf16(name);
        const QString value = uc::IniFile::read(bytes, u"QOR", key, absent);
        if (value == absent)
            continue;
        if (value.contains(u'\n'))
            broken("a value spans lines", key, value);
        if (!text.contains(value))
            broken("a value that is not in the file", key, value);
        // Blanks around a value are dropped, unless a pair of quotes kept them.
        if (!value.isEmpty() && (isBlank(value.front()) || isBlank(value.back())) &&
            !text.contains(QLatin1Char('"') + value + QLatin1Char('"')) &&
            !text.contains(QLatin1Char('\'') + value + QLatin1Char('\'')))
            broken("blanks kept around a value", key, value);
        // Names match without regard to case.
        if (uc::IniFile::read(bytes, u"qor", key.toUpper(), absent) != value)
            broken("the key's case changed the answer", key, value);
        // The first occurrence wins: a later section or key cannot change it.
        if (plain) {
            QByteArray more = bytes.toByteArray();
            more += "\n[QOR]\n" + key.toLatin1() + "=outro\n";
            if (uc::IniFile::read(more, u"QOR", key, absent) != value)
                broken("a later key changed the answer", key, value);
        }
    }
    return 0;
}
