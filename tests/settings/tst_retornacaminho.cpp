#include "common/Error.h"
#include "settings/Host.h"
#include "settings/RetornaCaminho.h"
#include "settings/SystemHost.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using uc::RetornaCaminho;

namespace {

// Settings lines; "$T" stands for the test's temporary folder (no separator at its end).
using Lines = QStringList;

const Lines kLocal{
    "Ano=2024",
    "Caminho_Base_Dados=$T/QOR7/",
    "Diretorio_SSE=$T/sse/",
    "CaminhoDLLCON=C:\\FB\\bin\\",
};

const Lines kServer{
    "Ano=2024",
    "Servidor=dbhost",
    "SO_Servidor=LINUX",
    "Caminho_Base_Dados=/opt/qor7/",
    "Diretorio_Servidor=$T/srv/QOR7/",
    "Diretorio_SSE=$T/sse/",
    "PORTACON=3055",
    "ServidorTabDef=tabhost",
    "Caminho_TabDef=E:\\Dados\\Qor7Tab\\x\\",
    "DLLCON=fb25.dll",
    "CaminhoDLLCON=C:\\FB\\",
};

// The lines with the key's line replaced by the given one, or the given one added.
Lines with(Lines lines, const QString& line) {
    const QString key = line.section(u'=', 0, 0);
    for (QString& l : lines) {
        if (l.section(u'=', 0, 0) == key) {
            l = line;
            return lines;
        }
    }
    lines.append(line);
    return lines;
}

Lines without(Lines lines, const QString& key) {
    lines.removeIf([&key](const QString& l) { return l.section(u'=', 0, 0) == key; });
    return lines;
}

QString ini(const Lines& lines) {
    return QStringLiteral("[QOR]\r\n") + lines.join(QStringLiteral("\r\n")) + "\r\n";
}

// A null text stands for "no settings file".
const QString kNoFile;

void row(const char* name, const QString& settings, const QString& code, const QString& text,
         const QString& created = {}, const QStringList& existing = {}) {
    QTest::newRow(name) << settings << code << text << created << QString() << existing;
}

void failure(const char* name, const QString& settings, const QString& code, const QString& message) {
    QTest::newRow(name) << settings << code << QString() << QString() << message << QStringList();
}

// Every file and folder under root, as paths relative to it.
QSet<QString> treeOf(const QString& root) {
    QSet<QString> out;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        out.insert(QDir(root).relativeFilePath(it.next()));
    return out;
}

// Records what the resolver asks of the host and answers from a fixed table of settings.
class RecordingHost : public uc::Host {
public:
    QHash<QString, QString> values;
    bool foldersExist = true;
    mutable QStringList reads;

    QString programFolder() const override { return QStringLiteral("C:\\Prog\\"); }
    QString readSetting(const QString& file, const QString& section, const QString& key,
                        const QString& defaultValue) const override {
        reads << file + u'|' + section + u'|' + key + u'|' + defaultValue;
        return values.value(key, defaultValue);
    }
    bool folderExists(const QString&) const override { return foldersExist; }
    bool createFolder(const QString&) const override { return false; }
};

} // namespace

class TestRetornaCaminho : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> m_tmp;
    QString m_root;
    QString m_previousCurrent;

    QString expand(QString s) const { return s.replace(QStringLiteral("$T"), m_root); }
    QString programFolder() const { return m_root + QStringLiteral("/prog/"); }
    bool writeSettings(const QString& text) const {
        QFile f(programFolder() + QStringLiteral("qor.ini"));
        const QByteArray bytes = expand(text).toLatin1();
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
    }

private slots:
    // Every test gets a fresh installation tree in a temporary folder, which is also the current
    // folder, so that relative folders land there too.
    void init() {
        // The folder marker must not occur in the temporary path itself.
        do {
            m_tmp = std::make_unique<QTemporaryDir>();
            QVERIFY(m_tmp->isValid());
        } while (m_tmp->path().contains(QStringLiteral("QOR7"), Qt::CaseInsensitive));
        m_root = m_tmp->path();
        QDir root(m_root);
        for (const char* folder : {"prog", "QOR7/SGB_DADOS", "vazio", "srv/QOR7/SGB_DADOS", "sse", "ocupado"})
            QVERIFY(root.mkpath(QString::fromLatin1(folder)));
        // A plain file where a folder is to be created.
        QFile plain(root.filePath(QStringLiteral("ocupado/RTM")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        m_previousCurrent = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_root));
    }
    void cleanup() {
        QDir::setCurrent(m_previousCurrent);
        m_tmp.reset();
    }

    void answersCodes_data() {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("created");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QStringList>("existing");

        // Without a settings file: local mode, defaults, folders relative to the current folder.
        row("none B", kNoFile, "B", "localhost/3050:SGB_DADOS\\");
        row("none D", kNoFile, "D", "SGB_DADOS\\");
        row("none RPT", kNoFile, "RPT", "localhost/3050:\\Relatorios\\", "Relatorios");
        row("none RTMSSE", kNoFile, "RTMSSE", "RTM\\", "RTM");
        row("none EXE", kNoFile, "EXE", "\\");
        row("none unknown code", kNoFile, "XYZ", "\\TABDEF\\");
        row("none DLLFB", kNoFile, "DLLFB", "C:\\Arquivos de programas\\Firebird\\Firebird_2_1\\bin\\fbclient.dll");
        row("none CDLLFB", kNoFile, "CDLLFB", "C:\\Arquivos de programas\\Firebird\\Firebird_2_1\\bin\\");
        row("none PORTA", kNoFile, "PORTA", "3050");
        failure("none DA (no year)", kNoFile, "DA", "Valor inválido para número inteiro: ''");

        // Local mode, every row of its table in order.
        const QString local = ini(kLocal);
        row("local B", local, "B", "localhost/3050:$T/QOR7/SGB_DADOS\\");
        row("local D", local, "D", "$T/QOR7/SGB_DADOS\\");
        row("local BK", local, "BK", "$T/QOR7/SGB_DADOS\\");
        row("local TD", local, "TD", "$T/QOR7\\TABDEF\\");
        row("local TB", local, "TB", "localhost/3050:$T/QOR7\\TABDEF\\");
        row("local BA", local, "BA", "$T/QOR7/SGB_DADOS\\");
        row("local DA", local, "DA", "$T/QOR7/SGB_DADOS\\");
        row("local DA5", local, "DA5", "$T/QOR7/SGB_DADOS\\");
        row("local BA-3", local, "BA-3", "$T/QOR7/SGB_DADOS\\");
        row("local DA+1", local, "DA+1", "$T/QOR7/SGB_DADOS\\");
        row("local da07", local, "da07", "$T/QOR7/SGB_DADOS\\");
        row("local DA lowest int", local, "DA-2147483648", "$T/QOR7/SGB_DADOS\\");
        row("local BA highest int", local, "BA2147483647", "$T/QOR7/SGB_DADOS\\");
        row("local AP", local, "AP", "$T/QOR7/");
        row("local BKAD", local, "BKAD", "$T/QOR7/SGB_DADOS\\BCK\\", "QOR7/SGB_DADOS/BCK");
        row("local BKAB", local, "BKAB", "$T/QOR7/SGB_DADOS\\BCK\\", "QOR7/SGB_DADOS/BCK");
        row("local TPB", local, "TPB", "$T/QOR7/SGB_DADOS\\TEMP\\", "QOR7/SGB_DADOS/TEMP");
        row("local TPD", local, "TPD", "$T/QOR7/SGB_DADOS\\TEMP\\", "QOR7/SGB_DADOS/TEMP");
        row("local DE", local, "DE", "$T/QOR7/SGB_DADOS\\EXPORTA\\", "QOR7/SGB_DADOS/EXPORTA");
        row("local DI", local, "DI", "$T/QOR7/SGB_DADOS\\IMPORTA\\", "QOR7/SGB_DADOS/IMPORTA");
        row("local RTM", local, "RTM", "$T/QOR7/RTM\\", "QOR7/RTM");
        row("local RTMSSE", local, "RTMSSE", "$T/sse/RTM\\", "sse/RTM");
        row("local RPT", local, "RPT", "localhost/3050:$T/QOR7/\\Relatorios\\", "QOR7/Relatorios");
        row("local IMA", local, "IMA", "$T/QOR7/IMAGENS\\", "QOR7/IMAGENS");
        row("local SB existing folder", local, "SB", "localhost/3050:$T/QOR7/SGB_DADOS\\");
        row("local SB creates", ini(with(kLocal, "Caminho_Base_Dados=$T\\vazio\\")), "SB",
            "localhost/3050:$T\\vazio\\SGB_DADOS\\", "vazio/SGB_DADOS");
        row("local STB", local, "STB", "localhost/3050:$T/QOR7\\TABDEF\\", "QOR7/TABDEF");
        row("local EXE", local, "EXE", "$T/QOR7\\");
        row("local unknown code", local, "XYZ", "$T/QOR7\\TABDEF\\");
        row("local empty code", local, "", "$T/QOR7\\TABDEF\\");
        row("local DLLFB", local, "DLLFB", "C:\\FB\\bin\\fbclient.dll");
        row("local CDLLFB", local, "CDLLFB", "C:\\FB\\bin\\");
        row("local PORTA", local, "PORTA", "3050");
        row("local rpt", local, "rpt", "localhost/3050:$T/QOR7/\\Relatorios\\", "QOR7/Relatorios");
        row("local bkad", local, "bkad", "$T/QOR7/SGB_DADOS\\BCK\\", "QOR7/SGB_DADOS/BCK");
        row("local Dllfb", local, "Dllfb", "C:\\FB\\bin\\fbclient.dll");
        // Only a to z are upper-cased: the long s does not turn "ſb" into "SB".
        row("local long s", local, QStringLiteral("ſb"), "$T/QOR7\\TABDEF\\");
        row("local RPT existing folder", local, "RPT", "localhost/3050:$T/QOR7/\\Relatorios\\", {},
            {"QOR7/Relatorios", "QOR7/Relatorios/x"});
        const QString localLinux = ini(with(kLocal, "SO_Servidor=LINUX"));
        row("local LINUX STB", localLinux, "STB", "localhost/3050:$T/QOR7/TABDEF/", "QOR7/TABDEF");
        row("local LINUX RPT", localLinux, "RPT", "localhost/3050:$T/QOR7//Relatorios/", "QOR7/Relatorios");
        row("local LINUX B", localLinux, "B", "localhost/3050:$T/QOR7/SGB_DADOS\\");
        const QString localTabHost = ini(with(with(kLocal, "ServidorTabDef=tabhost"), "PORTACON=3052"));
        row("local TABDEF host TB", localTabHost, "TB", "tabhost/3052:$T/QOR7\\TABDEF\\");
        row("local TABDEF host B", localTabHost, "B", "localhost/3052:$T/QOR7/SGB_DADOS\\");
        row("local Caminho_TabDef TD", ini(with(kLocal, "Caminho_TabDef=F:\\Tab\\qor7\\x\\")), "TD",
            "F:\\Tab\\QOR7\\TABDEF\\");
        row("local empty DLLCON", ini(with(kLocal, "DLLCON=")), "DLLFB", "C:\\FB\\bin\\");
        row("local empty CaminhoDLLCON", ini(with(kLocal, "CaminhoDLLCON=")), "DLLFB", "fbclient.dll");

        // The folder marker cut.
        row("cut D:\\Sist\\qor7\\Dados\\ EXE", ini(with(kLocal, "Caminho_Base_Dados=D:\\Sist\\qor7\\Dados\\")), "EXE",
            "D:\\Sist\\QOR7\\");
        row("cut D:\\Sist\\qor7\\Dados\\ TD", ini(with(kLocal, "Caminho_Base_Dados=D:\\Sist\\qor7\\Dados\\")), "TD",
            "D:\\Sist\\QOR7\\TABDEF\\");
        row("cut C:\\QOR75\\ EXE", ini(with(kLocal, "Caminho_Base_Dados=C:\\QOR75\\")), "EXE", "C:\\QOR7\\");
        row("cut C:\\QoR7\\QOR7\\ EXE", ini(with(kLocal, "Caminho_Base_Dados=C:\\QoR7\\QOR7\\")), "EXE", "C:\\QOR7\\");
        row("no marker C:\\Dados\\ EXE", ini(with(kLocal, "Caminho_Base_Dados=C:\\Dados\\")), "EXE", "C:\\Dados\\\\");
        row("no marker C:\\Dados\\ unknown", ini(with(kLocal, "Caminho_Base_Dados=C:\\Dados\\")), "Q",
            "C:\\Dados\\\\TABDEF\\");
        row("part of marker C:\\QOR EXE", ini(with(kLocal, "Caminho_Base_Dados=C:\\QOR")), "EXE", "C:\\QOR\\");

        // Folders that cannot be created.
        failure("local missing parent", ini(with(kLocal, "Caminho_Base_Dados=$T/falta/")), "RTM",
                "Não é possível criar o diretório: $T/falta/RTM\\");
        failure("local only one level", ini(with(kLocal, "Caminho_Base_Dados=$T/falta/")), "BKAD",
                "Não é possível criar o diretório: $T/falta/SGB_DADOS\\BCK\\");
        failure("local plain file in the way", ini(with(kLocal, "Diretorio_SSE=$T/ocupado/")), "RTMSSE",
                "Não é possível criar o diretório: $T/ocupado/RTM\\");

        // Codes beginning with DA or BA convert the year and what follows the two letters.
        failure("local DATA", local, "DATA", "Valor inválido para número inteiro: 'TA'");
        failure("local data", local, "data", "Valor inválido para número inteiro: 'TA'");
        failure("local DA blank", local, "DA 1", "Valor inválido para número inteiro: ' 1'");
        failure("local DA sign only", local, "DA-", "Valor inválido para número inteiro: '-'");
        failure("local DA decimal", local, "DA1.0", "Valor inválido para número inteiro: '1.0'");
        failure("local DA hex", local, "DA0x1", "Valor inválido para número inteiro: '0X1'");
        failure("local BA above 32 bits", local, "BA2147483648", "Valor inválido para número inteiro: '2147483648'");
        failure("local BA below 32 bits", local, "BA-2147483649", "Valor inválido para número inteiro: '-2147483649'");
        failure("local empty Ano", ini(with(kLocal, "Ano=")), "DA", "Valor inválido para número inteiro: ''");
        failure("local Ano not a number", ini(with(kLocal, "Ano=20x")), "BA1",
                "Valor inválido para número inteiro: '20x'");
        row("local signed Ano", ini(with(kLocal, "Ano=+2024")), "DA", "$T/QOR7/SGB_DADOS\\");

        // Server mode, every row of its table in order.
        const QString server = ini(kServer);
        row("server D", server, "D", "$T/srv/QOR7/SGB_DADOS\\");
        row("server B", server, "B", "dbhost/3055:/opt/qor7/SGB_DADOS/");
        row("server DA", server, "DA", "$T/srv/QOR7/SGB_DADOS\\");
        row("server DA3", server, "DA3", "$T/srv/QOR7/SGB_DADOS\\");
        row("server BA", server, "BA", "dbhost/3055:/opt/qor7/SGB_DADOS/");
        row("server ba1", server, "ba1", "dbhost/3055:/opt/qor7/SGB_DADOS/");
        row("server TD", server, "TD", "$T/srv/QOR7\\TABDEF\\");
        row("server TB", server, "TB", "tabhost/3055:E:\\Dados\\QOR7\\TABDEF\\");
        row("server BK", server, "BK", "/opt/qor7/SGB_DADOS/");
        row("server BKAD", server, "BKAD", "$T/srv/QOR7/SGB_DADOS\\BCK\\", "srv/QOR7/SGB_DADOS/BCK");
        row("server BKAB", server, "BKAB", "/opt/qor7/ARQ2024/BCK/", "srv/QOR7/SGB_DADOS/BCK");
        row("server AP", server, "AP", "$T/srv/QOR7/");
        row("server TPD", server, "TPD", "$T/srv/QOR7/SGB_DADOS\\TEMP\\", "srv/QOR7/SGB_DADOS/TEMP");
        row("server TPB", server, "TPB", "/opt/qor7/SGB_DADOS/TEMP/", "srv/QOR7/SGB_DADOS/TEMP");
        row("server DE", server, "DE", "$T/srv/QOR7/SGB_DADOS\\EXPORTA\\", "srv/QOR7/SGB_DADOS/EXPORTA");
        row("server DI", server, "DI", "$T/srv/QOR7/SGB_DADOS\\IMPORTA\\", "srv/QOR7/SGB_DADOS/IMPORTA");
        row("server RTM", server, "RTM", "$T/srv/QOR7/RTM\\", "srv/QOR7/RTM");
        row("server RTMSSE", server, "RTMSSE", "$T/sse/RTM\\", "sse/RTM");
        row("server RPT", server, "RPT", "$T/srv/QOR7/Relatorios/", "srv/QOR7/Relatorios");
        row("server EXE", server, "EXE", "$T/srv/QOR7\\");
        row("server IMA", server, "IMA", "");
        row("server SB", server, "SB", "");
        row("server STB", server, "STB", "");
        row("server unknown code", server, "XYZ", "");
        row("server empty code", server, "", "");
        row("server DLLFB", server, "DLLFB", "C:\\FB\\fb25.dll");
        row("server CDLLFB", server, "CDLLFB", "C:\\FB\\");
        row("server PORTA", server, "PORTA", "3055");
        row("server rpt", server, "rpt", "$T/srv/QOR7/Relatorios/", "srv/QOR7/Relatorios");
        row("server RPT existing folder", server, "RPT", "$T/srv/QOR7/Relatorios/", {}, {"srv/QOR7/Relatorios"});
        row("server Linux", ini(with(kServer, "SO_Servidor=Linux")), "B", "dbhost/3055:/opt/qor7/SGB_DADOS\\");
        row("server linux", ini(with(kServer, "SO_Servidor=linux")), "BK", "/opt/qor7/SGB_DADOS\\");
        row("server LINUX2", ini(with(kServer, "SO_Servidor=LINUX2")), "B", "dbhost/3055:/opt/qor7/SGB_DADOS\\");
        row("server no SO_Servidor", ini(without(kServer, "SO_Servidor")), "TPB", "/opt/qor7/SGB_DADOS\\TEMP\\",
            "srv/QOR7/SGB_DADOS/TEMP");
        row("server TABDEF LINUX", ini(with(kServer, "SO_ServidorTabDef=LINUX")), "TB",
            "tabhost/3055:E:\\Dados\\QOR7/TABDEF/");
        row("server no ServidorTabDef", ini(without(kServer, "ServidorTabDef")), "TB",
            "dbhost/3055:E:\\Dados\\QOR7\\TABDEF\\");
        row("server empty ServidorTabDef", ini(with(kServer, "ServidorTabDef=")), "TB",
            "localhost/3055:E:\\Dados\\QOR7\\TABDEF\\");
        row("server no Caminho_TabDef", ini(without(kServer, "Caminho_TabDef")), "TB",
            "tabhost/3055:/opt/QOR7\\TABDEF\\");
        row("server empty DLLCON", ini(with(kServer, "DLLCON=")), "DLLFB", "C:\\FB\\");
        row("server cut Diretorio_Servidor", ini(with(kServer, "Diretorio_Servidor=\\\\srv\\Sist\\qor7\\Dados\\")),
            "EXE", "\\\\srv\\Sist\\QOR7\\");
        failure("server missing parent", ini(with(kServer, "Diretorio_Servidor=$T/falta/")), "RPT",
                "Não é possível criar o diretório: $T/falta/Relatorios\\");
        failure("server DATA", server, "DATA", "Valor inválido para número inteiro: 'TA'");
        failure("server BAX", server, "BAX", "Valor inválido para número inteiro: 'X'");
        failure("server empty Ano", ini(with(kServer, "Ano=")), "BA", "Valor inválido para número inteiro: ''");
    }
    void answersCodes() {
        QFETCH(QString, settings);
        QFETCH(QString, code);
        QFETCH(QString, text);
        QFETCH(QString, created);
        QFETCH(QString, error);
        QFETCH(QStringList, existing);

        if (!settings.isNull())
            QVERIFY(writeSettings(settings));
        for (const QString& folder : existing)
            QVERIFY(QDir(m_root).mkpath(folder));
        const QSet<QString> before = treeOf(m_root);

        const uc::SystemHost host(programFolder());
        QString answer;
        QString message;
        try {
            answer = RetornaCaminho(host, code);
        } catch (const uc::Error& e) {
            message = e.message();
        }

        QCOMPARE(message, expand(error));
        QCOMPARE(answer, expand(text));
        QSet<QString> expectedAfter = before;
        if (!created.isEmpty())
            expectedAfter.insert(created);
        QCOMPARE(treeOf(m_root), expectedAfter);
    }

    // All twelve keys are read on every call, in their order, from qor.ini in the program folder;
    // the two chained defaults are the values just read.
    void readsTwelveKeysInOrder() {
        RecordingHost host;
        host.values = {{"Servidor", "dbhost"}, {"Caminho_Base_Dados", "D:\\QOR7\\"}};
        QCOMPARE(RetornaCaminho(host, QStringLiteral("PORTA")), QStringLiteral("3050"));
        const QString head = QStringLiteral("C:\\Prog\\qor.ini|QOR|");
        const QStringList expected{
            head + "Ano|",
            head + "Servidor|",
            head + "ServidorTabDef|dbhost",
            head + "SO_Servidor|WINDOWS",
            head + "SO_ServidorTabDef|WINDOWS",
            head + "Caminho_Base_Dados|",
            head + "Caminho_TabDef|D:\\QOR7\\",
            head + "Diretorio_Servidor|",
            head + "Diretorio_SSE|",
            head + "DLLCON|fbclient.dll",
            head + "PORTACON|3050",
            head + "CaminhoDLLCON|C:\\Arquivos de programas\\Firebird\\Firebird_2_1\\bin\\",
        };
        QCOMPARE(host.reads, expected);
        host.reads.clear();
        RetornaCaminho(host, QStringLiteral("B"));
        QCOMPARE(host.reads, expected);
    }

    // A host that refuses to create a folder ends the call with the folder as tried.
    void refusedCreationIsAnError() {
        RecordingHost host;
        host.values = {{"Caminho_Base_Dados", "D:\\Dados\\"}};
        host.foldersExist = false;
        try {
            RetornaCaminho(host, QStringLiteral("IMA"));
            QFAIL("no error");
        } catch (const uc::Error& e) {
            QCOMPARE(e.message(), QStringLiteral("Não é possível criar o diretório: D:\\Dados\\IMAGENS\\"));
        }
    }

    // An edit of the settings file counts from the next call on.
    void settingsChangeTakesEffectAtNextCall() {
        const uc::SystemHost host(programFolder());
        QVERIFY(writeSettings(ini(kLocal)));
        QCOMPARE(RetornaCaminho(host, QStringLiteral("B")), expand("localhost/3050:$T/QOR7/SGB_DADOS\\"));
        QVERIFY(writeSettings(ini(kServer)));
        QCOMPARE(RetornaCaminho(host, QStringLiteral("B")), QStringLiteral("dbhost/3055:/opt/qor7/SGB_DADOS/"));
        QVERIFY(QFile::remove(programFolder() + QStringLiteral("qor.ini")));
        QCOMPARE(RetornaCaminho(host, QStringLiteral("B")), QStringLiteral("localhost/3050:SGB_DADOS\\"));
    }
};

QTEST_GUILESS_MAIN(TestRetornaCaminho)
#include "tst_retornacaminho.moc"
