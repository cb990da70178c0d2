#include "settings/RetornaCaminho.h"

#include "common/Error.h"
#include "settings/Host.h"

#include <limits>

namespace uc {

namespace {

const QString kMarker = QStringLiteral("QOR7");

// Location codes and the folder marker compare in upper case, letters a to z only.
QString upperAscii(QStringView s) {
    QString out = s.toString();
    for (QChar& c : out) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - u'a' + u'A');
    }
    return out;
}

// The installation's root: the text up to the first "QOR7", in any letter case, written as
// "QOR7"; whatever follows it is dropped. Without the marker the text stays as it is.
QString cutAtMarker(const QString& value) {
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (upperAscii(QStringView(value).sliced(i, qMin<qsizetype>(4, value.size() - i))) == kMarker)
            return value.first(i) + kMarker;
    }
    return value;
}

// A whole number as the year codes take it: an optional sign and decimal digits, no blanks, within
// 32 bits.
int toWholeNumber(const QString& text) {
    const auto fail = [&text] { return Error(QStringLiteral("Valor inválido para número inteiro: '%1'").arg(text)); };
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == text.size())
        throw fail();
    qint64 magnitude = 0;
    const qint64 limit = negative ? -qint64(std::numeric_limits<int>::min()) : std::numeric_limits<int>::max();
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            throw fail();
        magnitude = magnitude * 10 + (c - u'0');
        if (magnitude > limit)
            throw fail();
    }
    return static_cast<int>(negative ? -magnitude : magnitude);
}

// The year that a code beginning with "DA" or "BA" names: Ano minus the number after the two letters
// (minus 1 when nothing follows). Texts that are not whole numbers end the call.
qint64 yearOfCode(const QString& ano, const QString& code) {
    const qint64 year = toWholeNumber(ano);
    const qint64 back = code.size() > 2 ? toWholeNumber(code.sliced(2)) : 1;
    return year - back;
}

struct Settings {
    QString ano, servidor, servidorTabDef, soServidor, soServidorTabDef, caminhoBaseDados, caminhoTabDef,
        diretorioServidor, diretorioSse, dllcon, portacon, caminhoDllcon;
};

Settings readSettings(const Host& host) {
    const QString file = host.programFolder() + QStringLiteral("qor.ini");
    const QString section = QStringLiteral("QOR");
    const auto get = [&](const char* key, const QString& defaultValue) {
        return host.readSetting(file, section, QString::fromLatin1(key), defaultValue);
    };
    Settings s;
    s.ano = get("Ano", {});
    s.servidor = get("Servidor", {});
    s.servidorTabDef = get("ServidorTabDef", s.servidor);
    s.soServidor = get("SO_Servidor", QStringLiteral("WINDOWS"));
    s.soServidorTabDef = get("SO_ServidorTabDef", QStringLiteral("WINDOWS"));
    s.caminhoBaseDados = get("Caminho_Base_Dados", {});
    s.caminhoTabDef = get("Caminho_TabDef", s.caminhoBaseDados);
    s.diretorioServidor = get("Diretorio_Servidor", {});
    s.diretorioSse = get("Diretorio_SSE", {});
    s.dllcon = get("DLLCON", QStringLiteral("fbclient.dll"));
    s.portacon = get("PORTACON", QStringLiteral("3050"));
    s.caminhoDllcon = get("CaminhoDLLCON", QStringLiteral("C:\\Arquivos de programas\\Firebird\\Firebird_2_1\\bin\\"));
    return s;
}

QString address(const QString& host, const QString& port) {
    return (host.isEmpty() ? QStringLiteral("localhost") : host) + u'/' + port;
}

QString separatorFor(const QString& os) {
    return os == u"LINUX" ? QStringLiteral("/") : QStringLiteral("\\");
}

// Returns the folder, creating it (that one level) when it is missing.
QString ensureFolder(const Host& host, const QString& folder) {
    if (!host.folderExists(folder) && !host.createFolder(folder))
        throw Error(QStringLiteral("Não é possível criar o diretório: ") + folder);
    return folder;
}

} // namespace

QString RetornaCaminho(const Host& host, const QString& codigo) {
    const Settings s = readSettings(host);

    const QString serverAddress = address(s.servidor, s.portacon);
    const QString tabDefAddress = address(s.servidorTabDef, s.portacon);
    const QString sep = separatorFor(s.soServidor);
    const QString tabDefSep = separatorFor(s.soServidorTabDef);
    const QString baseRoot = cutAtMarker(s.caminhoBaseDados);
    const QString tabDefRoot = cutAtMarker(s.caminhoTabDef);
    const QString serverFolderRoot = cutAtMarker(s.diretorioServidor);

    const QString code = upperAscii(codigo);
    const QString firstTwo = code.left(2);

    // These three never touch a folder, so answering them first is the same as after the tables.
    if (code == u"DLLFB")
        return s.caminhoDllcon + s.dllcon;
    if (code == u"CDLLFB")
        return s.caminhoDllcon;
    if (code == u"PORTA")
        return s.portacon;

    const QString& base = s.caminhoBaseDados;
    if (!s.servidor.isEmpty()) {
        const QString& dir = s.diretorioServidor;
        if (code == u"D")
            return dir + QStringLiteral("SGB_DADOS\\");
        if (code == u"B")
            return serverAddress + u':' + base + QStringLiteral("SGB_DADOS") + sep;
        if (firstTwo == u"DA") {
            [[maybe_unused]] const qint64 year = yearOfCode(s.ano, code);
            return dir + QStringLiteral("SGB_DADOS\\");
        }
        if (firstTwo == u"BA") {
            [[maybe_unused]] const qint64 year = yearOfCode(s.ano, code);
            return serverAddress + u':' + base + QStringLiteral("SGB_DADOS") + sep;
        }
        if (code == u"TD")
            return serverFolderRoot + QStringLiteral("\\TABDEF\\");
        if (code == u"TB")
            return tabDefAddress + u':' + tabDefRoot + tabDefSep + QStringLiteral("TABDEF") + tabDefSep;
        if (code == u"BK")
            return base + QStringLiteral("SGB_DADOS") + sep;
        if (code == u"BKAD")
            return ensureFolder(host, dir + QStringLiteral("SGB_DADOS\\BCK\\"));
        if (code == u"BKAB") {
            ensureFolder(host, dir + QStringLiteral("SGB_DADOS\\BCK\\"));
            return base + QStringLiteral("ARQ") + s.ano + sep + QStringLiteral("BCK") + sep;
        }
        if (code == u"AP")
            return dir;
        if (code == u"TPD")
            return ensureFolder(host, dir + QStringLiteral("SGB_DADOS\\TEMP\\"));
        if (code == u"TPB") {
            ensureFolder(host, dir + QStringLiteral("SGB_DADOS\\TEMP\\"));
            return base + QStringLiteral("SGB_DADOS") + sep + QStringLiteral("TEMP") + sep;
        }
        if (code == u"DE")
            return ensureFolder(host, dir + QStringLiteral("SGB_DADOS\\EXPORTA\\"));
        if (code == u"DI")
            return ensureFolder(host, dir + QStringLiteral("SGB_DADOS\\IMPORTA\\"));
        if (code == u"RTM")
            return ensureFolder(host, dir + QStringLiteral("RTM\\"));
        if (code == u"RTMSSE")
            return ensureFolder(host, s.diretorioSse + QStringLiteral("RTM\\"));
        if (code == u"RPT") {
            ensureFolder(host, dir + QStringLiteral("Relatorios\\"));
            return dir + QStringLiteral("Relatorios") + sep;
        }
        if (code == u"EXE")
            return serverFolderRoot + u'\\';
        return {};
    }

    if (code == u"B")
        return serverAddress + u':' + base + QStringLiteral("SGB_DADOS\\");
    if (code == u"D" || code == u"BK")
        return base + QStringLiteral("SGB_DADOS\\");
    if (code == u"TD")
        return tabDefRoot + QStringLiteral("\\TABDEF\\");
    if (code == u"TB")
        return tabDefAddress + u':' + tabDefRoot + QStringLiteral("\\TABDEF\\");
    if (firstTwo == u"BA" || firstTwo == u"DA") {
        [[maybe_unused]] const qint64 year = yearOfCode(s.ano, code);
        return base + QStringLiteral("SGB_DADOS\\");
    }
    if (code == u"AP")
        return base;
    if (code == u"BKAD" || code == u"BKAB")
        return ensureFolder(host, base + QStringLiteral("SGB_DADOS\\BCK\\"));
    if (code == u"TPB" || code == u"TPD")
        return ensureFolder(host, base + QStringLiteral("SGB_DADOS\\TEMP\\"));
    if (code == u"DE")
        return ensureFolder(host, base + QStringLiteral("SGB_DADOS\\EXPORTA\\"));
    if (code == u"DI")
        return ensureFolder(host, base + QStringLiteral("SGB_DADOS\\IMPORTA\\"));
    if (code == u"RTM")
        return ensureFolder(host, base + QStringLiteral("RTM\\"));
    if (code == u"RTMSSE")
        return ensureFolder(host, s.diretorioSse + QStringLiteral("RTM\\"));
    if (code == u"RPT") {
        ensureFolder(host, base + QStringLiteral("Relatorios\\"));
        return serverAddress + u':' + base + sep + QStringLiteral("Relatorios") + sep;
    }
    if (code == u"IMA")
        return ensureFolder(host, base + QStringLiteral("IMAGENS\\"));
    if (code == u"SB") {
        ensureFolder(host, base + QStringLiteral("SGB_DADOS"));
        return serverAddress + u':' + base + QStringLiteral("SGB_DADOS\\");
    }
    if (code == u"STB") {
        ensureFolder(host, baseRoot + sep + QStringLiteral("TABDEF"));
        return serverAddress + u':' + baseRoot + sep + QStringLiteral("TABDEF") + sep;
    }
    if (code == u"EXE")
        return baseRoot + u'\\';
    return baseRoot + QStringLiteral("\\TABDEF\\");
}

} // namespace uc
