// The location resolver on any settings file and any location code: it answers with a text or
// fails with the program's error, never otherwise, and the answers that the connection set-up
// relies on keep their shape.
//
// Input: the location code up to the first line break (at most 16 characters), then the bytes of
// qor.ini. Folders exist or are created as the code's first byte says.

#include "common/Error.h"
#include "settings/Host.h"
#include "settings/IniFile.h"
#include "settings/RetornaCaminho.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

class FuzzHost : public uc::Host {
public:
    FuzzHost(QByteArrayView ini, bool foldersExist, bool creationWorks)
        : m_ini(ini), m_foldersExist(foldersExist), m_creationWorks(creationWorks) {}
    QString programFolder() const override { return QStringLiteral("C:\\Prog\\"); }
    QString readSetting(const QString&, const QString& section, const QString& key,
                        const QString& defaultValue) const override {
        return uc::IniFile::read(m_ini, section, key, defaultValue);
    }
    bool folderExists(const QString&) const override { return m_foldersExist; }
    bool createFolder(const QString&) const override {
        ++created;
        return m_creationWorks;
    }
    mutable int created = 0;

private:
    QByteArrayView m_ini;
    bool m_foldersExist;
    bool m_creationWorks;
};

[[noreturn]] void broken(const char* rule, const QString& code, const QString& answer) {
    std::fprintf(stderr, "%s\n code:   %s\n answer: %s\n", rule, code.toUtf8().constData(),
                 answer.toUtf8().constData());
    std::abort();
}

QString asciiUpper(QString s) {
    for (QChar& c : s) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 32);
    }
    return s;
}

QString setting(QByteArrayView ini, const char* key, const QString& defaultValue) {
    return uc::IniFile::read(ini, u"QOR", QString::fromLatin1(key), defaultValue);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const bool foldersExist = data[0] & 1;
    const bool creationWorks = data[0] & 2;
    qsizetype eol = bytes.indexOf('\n');
    if (eol < 0 || eol > 17)
        eol = qMin<qsizetype>(bytes.size(), 17);
    const QString code = QString::fromLatin1(bytes.sliced(1, qMax<qsizetype>(eol - 1, 0)));
    const QByteArrayView ini = eol < bytes.size() ? bytes.sliced(eol + 1) : QByteArrayView();
    const FuzzHost host(ini, foldersExist, creationWorks);

    QString answer;
    try {
        answer = uc::RetornaCaminho(host, code);
    } catch (const uc::Error& e) {
        // Only a folder that could not be made, or a year code that is not a number, ends a call.
        const QString upper = asciiUpper(code);
        const bool folderFailed = host.created > 0 && !creationWorks &&
                                  e.message().startsWith(QStringLiteral("Não é possível criar o diretório: "));
        const bool yearCode = upper.startsWith(u"DA") || upper.startsWith(u"BA");
        if (!folderFailed && !yearCode)
            broken("an error that no rule allows", code, e.message());
        return 0;
    }
    if (host.created > 0 && (foldersExist || !creationWorks))
        broken("a folder created that existed, or whose creation failed silently", code, answer);

    const QString dir =
        setting(ini, "CaminhoDLLCON", QStringLiteral("C:\\Arquivos de programas\\Firebird\\Firebird_2_1\\bin\\"));
    const QString upper = asciiUpper(code);
    if (upper == u"DLLFB" && answer != dir + setting(ini, "DLLCON", QStringLiteral("fbclient.dll")))
        broken("DLLFB is not CaminhoDLLCON + DLLCON", code, answer);
    if (upper == u"PORTA" && answer != setting(ini, "PORTACON", QStringLiteral("3050")))
        broken("PORTA is not PORTACON", code, answer);
    if (upper == u"B") {
        // host/port:path, the path ending in SGB_DADOS and a separator.
        const QString servidor = setting(ini, "Servidor", {});
        const QString head = (servidor.isEmpty() ? QStringLiteral("localhost") : servidor) + u'/' +
                             setting(ini, "PORTACON", QStringLiteral("3050")) + u':';
        if (!answer.startsWith(head) ||
            !(answer.endsWith(QStringLiteral("SGB_DADOS\\")) || answer.endsWith(QStringLiteral("SGB_DADOS/"))))
            broken("B is not a database location", code, answer);
    }
    return 0;
}
