// The settings file, the location resolver and the host on the paths of a Windows installation:
// drive letters, backslashes, a UNC server path, accented folder names, a qor.ini in Windows-1252
// with CR LF lines, the program folder of the running executable. The Windows build runs these
// tables under Wine; the Linux build runs the same tables, and a row where the two hosts answer
// differently carries both answers.
//
// Paths in the tables: "$W" is the test's temporary folder written with backslashes (on Windows a
// drive-letter path such as C:\users\...\Temp\x, on Linux \tmp\x, which the Linux host reads
// as /tmp/x); "$U" is the same folder through the administrative share of its drive
// (\\localhost\C$\users\...\Temp\x), a UNC server path. Under Wine, scripts/windows maps that share
// to the drive.

#include "common/Error.h"
#include "settings/IniFile.h"
#include "settings/RetornaCaminho.h"
#include "settings/SystemHost.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <memory>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

using uc::SystemHost;

namespace {

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

// Picks this host's answer from a row that states both.
template <typename T> T onThisHost(const T& windows, const T& linux) {
    return kWindows ? windows : linux;
}

// What the resolver does for one code: the text it returns, the folder it creates (relative to the
// temporary folder, with "/") or the message it fails with.
struct Outcome {
    QString text;
    QString created;
    QString error;
};

Outcome gives(const QString& text, const QString& created = {}) {
    return {text, created, {}};
}

Outcome fails(const QString& error) {
    return {{}, {}, error};
}

// The settings file as an installation keeps it: Windows-1252, CR LF line ends.
QByteArray windows1252File(const QStringList& lines) {
    const QString text = QStringLiteral("[QOR]\r\n") + lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
    QByteArray bytes;
    for (const QChar c : text) {
        // Every character used in these files is in Latin-1, where Windows-1252 agrees with it.
        Q_ASSERT(c.unicode() < 0x80 || (c.unicode() >= 0xA0 && c.unicode() <= 0xFF));
        bytes.append(char(c.unicode()));
    }
    return bytes;
}

// The path as Qt's file classes take it on this host.
QString onDisk(const QString& path) {
    return QString(path).replace(u'\\', u'/');
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

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(onDisk(path));
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

#ifdef _WIN32
// Windows' own profile reader on the file, with a buffer of 64 Ki characters.
QString windowsProfileRead(const QString& file, const QString& key, const QString& defaultValue) {
    std::vector<wchar_t> buffer(65536);
    const DWORD n = GetPrivateProfileStringW(L"QOR", reinterpret_cast<const wchar_t*>(key.utf16()),
                                             reinterpret_cast<const wchar_t*>(defaultValue.utf16()), buffer.data(),
                                             DWORD(buffer.size()), reinterpret_cast<const wchar_t*>(file.utf16()));
    return QString::fromWCharArray(buffer.data(), qsizetype(n));
}
#endif

QByteArray utf16leFile(const QString& text) {
    QByteArray out("\xFF\xFE");
    for (const QChar c : text) {
        out.append(char(c.unicode() & 0xFF));
        out.append(char(c.unicode() >> 8));
    }
    return out;
}

} // namespace

class TestWindowsPaths : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> m_tmp;
    QString m_root; // the temporary folder as Qt gives it, with "/"
    QString m_previousCurrent;

    // The temporary folder with backslashes, and through its drive's administrative share.
    QString backslashRoot() const { return QString(m_root).replace(u'/', u'\\'); }
    QString uncRoot() const {
        const QString w = backslashRoot();
        if (w.size() > 1 && w[1] == u':')
            return QStringLiteral("\\\\localhost\\") + w[0].toUpper() + u'$' + w.mid(2);
        return QStringLiteral("\\\\localhost\\C$") + w;
    }
    QString expand(QString s) const {
        return s.replace(QStringLiteral("$W"), backslashRoot()).replace(QStringLiteral("$U"), uncRoot());
    }

private slots:
    // Every test gets a fresh tree in a temporary folder, which is also the current folder, so
    // that a folder made relative to the current folder shows too.
    void init() {
        do {
            m_tmp = std::make_unique<QTemporaryDir>();
            QVERIFY(m_tmp->isValid());
        } while (m_tmp->path().contains(QStringLiteral("QOR7"), Qt::CaseInsensitive));
        m_root = m_tmp->path();
        QDir root(m_root);
        for (const QString& folder : {QStringLiteral("Programa"), QStringLiteral("São Tomé/QOR7"),
                                      QStringLiteral("Relatórios/QOR7/Relatorios"), QStringLiteral("Ocupado/QOR7")})
            QVERIFY(root.mkpath(folder));
        // A plain file where the reports folder is to be created.
        QVERIFY(writeFile(m_root + QStringLiteral("/Ocupado/QOR7/Relatorios"), "não é pasta"));
        m_previousCurrent = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_root));
    }
    void cleanup() {
        QDir::setCurrent(m_previousCurrent);
        m_tmp.reset();
    }

    // The resolver over a qor.ini in Windows-1252 with CR LF lines, in a program folder given as a
    // Windows path.
    void resolverOnWindowsPaths_data() {
        QTest::addColumn<QString>("programFolder");
        QTest::addColumn<QString>("iniName");
        QTest::addColumn<QStringList>("settings");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("created");
        QTest::addColumn<QString>("error");

        const auto row = [](const char* name, const QString& program, const QString& iniName,
                            const QStringList& settings, const QString& code, const Outcome& outcome) {
            QTest::newRow(name) << program << iniName << settings << code << outcome.text << outcome.created
                                << outcome.error;
        };
        const QStringList server{
            QStringLiteral("Servidor=servidor-qor"),
            QStringLiteral("Caminho_Base_Dados=D:\\Sistemas\\QOR7\\"),
            QStringLiteral("Diretorio_Servidor=$W\\São Tomé\\QOR7\\"),
            QStringLiteral("CaminhoDLLCON=C:\\Arquivos de programas\\Firebird\\Firebird_3_0\\bin\\"),
        };
        const auto withFolder = [&server](const QString& folder) {
            QStringList lines = server;
            lines[2] = QStringLiteral("Diretorio_Servidor=") + folder;
            return lines;
        };

        row("drive letter, backslashes: B", "$W\\Programa\\", "qor.ini", server, "B",
            gives("servidor-qor/3050:D:\\Sistemas\\QOR7\\SGB_DADOS\\"));
        row("drive letter, backslashes: DLLFB", "$W\\Programa\\", "qor.ini", server, "DLLFB",
            gives("C:\\Arquivos de programas\\Firebird\\Firebird_3_0\\bin\\fbclient.dll"));
        row("accented folder: RPT creates the reports folder", "$W\\Programa\\", "qor.ini", server, "RPT",
            gives("$W\\São Tomé\\QOR7\\Relatorios\\", "São Tomé/QOR7/Relatorios"));
        row("accented folder: RTM", "$W\\Programa\\", "qor.ini", server, "RTM",
            gives("$W\\São Tomé\\QOR7\\RTM\\", "São Tomé/QOR7/RTM"));
        row("accented folder: EXE cuts at the marker", "$W\\Programa\\", "qor.ini",
            withFolder("$W\\São Tomé\\qor7\\Dados\\"), "EXE", gives("$W\\São Tomé\\QOR7\\"));
        row("accented folder: existing reports folder is left alone", "$W\\Programa\\", "qor.ini",
            withFolder("$W\\Relatórios\\QOR7\\"), "RPT", gives("$W\\Relatórios\\QOR7\\Relatorios\\"));
        row("program folder with accents", "$W\\São Tomé\\", "qor.ini", server, "RPT",
            gives("$W\\São Tomé\\QOR7\\Relatorios\\", "São Tomé/QOR7/Relatorios"));
        row("forward slashes", "$W/Programa/", "qor.ini", withFolder("$W/São Tomé/QOR7/"), "RPT",
            gives("$W/São Tomé/QOR7/Relatorios\\", "São Tomé/QOR7/Relatorios"));
        row("missing parent", "$W\\Programa\\", "qor.ini", withFolder("$W\\São Tomé\\Falta\\"), "RPT",
            fails("Não é possível criar o diretório: $W\\São Tomé\\Falta\\Relatorios\\"));
        row("a plain file in the way", "$W\\Programa\\", "qor.ini", withFolder("$W\\Ocupado\\QOR7\\"), "RPT",
            fails("Não é possível criar o diretório: $W\\Ocupado\\QOR7\\Relatorios\\"));

        // A UNC server path: the Linux build has no such paths (it reaches a server folder through
        // a mount), so there the folder cannot be created.
        row("UNC server folder: RPT (differs)", "$W\\Programa\\", "qor.ini", withFolder("$U\\São Tomé\\QOR7\\"), "RPT",
            onThisHost(gives("$U\\São Tomé\\QOR7\\Relatorios\\", "São Tomé/QOR7/Relatorios"),
                       fails("Não é possível criar o diretório: $U\\São Tomé\\QOR7\\Relatorios\\")));
        row("UNC program folder (differs)", "$U\\São Tomé\\", "qor.ini", server, "B",
            onThisHost(gives("servidor-qor/3050:D:\\Sistemas\\QOR7\\SGB_DADOS\\"),
                       gives("localhost/3050:SGB_DADOS\\")));
        // Windows file names ignore letter case, accented letters included; Linux's do not.
        row("qor.ini named in capitals (differs)", "$W\\Programa\\", "QOR.INI", server, "B",
            onThisHost(gives("servidor-qor/3050:D:\\Sistemas\\QOR7\\SGB_DADOS\\"),
                       gives("localhost/3050:SGB_DADOS\\")));
        row("folder named in other letter case (differs)", "$W\\Programa\\", "qor.ini",
            withFolder("$W\\SÃO TOMÉ\\qor7\\"), "RPT",
            onThisHost(gives("$W\\SÃO TOMÉ\\qor7\\Relatorios\\", "São Tomé/QOR7/Relatorios"),
                       fails("Não é possível criar o diretório: $W\\SÃO TOMÉ\\qor7\\Relatorios\\")));
    }
    void resolverOnWindowsPaths() {
        QFETCH(QString, programFolder);
        QFETCH(QString, iniName);
        QFETCH(QStringList, settings);
        QFETCH(QString, code);
        QFETCH(QString, text);
        QFETCH(QString, created);
        QFETCH(QString, error);

        if (kWindows && (programFolder.startsWith(u"$U") || settings.join(u'|').contains(u"$U")))
            QVERIFY2(QFileInfo(onDisk(uncRoot())).isDir(),
                     qPrintable(QStringLiteral("the administrative share is not reachable: ") + uncRoot()));
        const QString program = expand(programFolder);
        for (QString& line : settings)
            line = expand(line);
        // The file is written through the plain path, so that the UNC rows read what it holds.
        QString plainProgram = programFolder;
        QVERIFY(writeFile(expand(plainProgram.replace(QStringLiteral("$U"), QStringLiteral("$W"))) + iniName,
                          windows1252File(settings)));
        const QSet<QString> before = treeOf(m_root);

        QString answer;
        QString message;
        try {
            answer = uc::RetornaCaminho(SystemHost(program), code);
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

    // What the host's folder operations do with Windows-shaped paths: one level is created, an
    // existing folder or a plain file of that name is no success, a missing parent is no success.
    void folderOperations_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("existsBefore");
        QTest::addColumn<bool>("created");
        QTest::addColumn<QString>("made");

        const auto row = [](const char* name, const QString& path, bool existsBefore, bool created,
                            const QString& made) { QTest::newRow(name) << path << existsBefore << created << made; };
        row("one level", "$W\\Relatórios\\Novo", false, true, "Relatórios/Novo");
        row("one level, closing backslash", "$W\\São Tomé\\QOR7\\Relatorios\\", false, true,
            "São Tomé/QOR7/Relatorios");
        row("existing folder", "$W\\São Tomé\\QOR7\\", true, false, "");
        row("missing parent", "$W\\Falta\\Novo\\", false, false, "");
        row("a plain file in the way", "$W\\Ocupado\\QOR7\\Relatorios\\", false, false, "");
        row("UNC path, one level (differs)", "$U\\São Tomé\\Novo\\", false, kWindows,
            onThisHost<QString>("São Tomé/Novo", ""));
        row("UNC path, existing folder (differs)", "$U\\São Tomé\\QOR7\\", kWindows, false, "");
        // Linux: no folder of that name, and its parent is missing too.
        row("other letter case, existing folder (differs)", "$W\\SÃO TOMÉ\\qor7\\", kWindows, false, "");
        // Linux: a drive-letter path is a relative one, and its first folder is made in the current folder.
        row("drive root (differs)", "C:\\", kWindows, !kWindows, onThisHost<QString>("", "C:"));
    }
    void folderOperations() {
        QFETCH(QString, path);
        QFETCH(bool, existsBefore);
        QFETCH(bool, created);
        QFETCH(QString, made);

        if (kWindows && path.startsWith(u"$U"))
            QVERIFY2(QFileInfo(onDisk(uncRoot())).isDir(),
                     qPrintable(QStringLiteral("the administrative share is not reachable: ") + uncRoot()));
        const QSet<QString> before = treeOf(m_root);
        const SystemHost host(QStringLiteral("C:\\Prog\\"));
        const QString p = expand(path);

        QCOMPARE(host.folderExists(p), existsBefore);
        QCOMPARE(host.createFolder(p), created);
        QSet<QString> expectedAfter = before;
        if (!made.isEmpty()) {
            expectedAfter.insert(made);
            QVERIFY(host.folderExists(p));
        }
        QCOMPARE(treeOf(m_root), expectedAfter);
    }

    // The program folder is the running executable's, with the host's separator at its end: a copy
    // of this test program in a folder with accented names reports that folder.
    void programFolderOfTheRunningExecutable() {
        const QString own = SystemHost().programFolder();
        QCOMPARE(own, QDir::toNativeSeparators(QCoreApplication::applicationDirPath()) + QDir::separator());
        QVERIFY(QFileInfo(onDisk(own) + QFileInfo(QCoreApplication::applicationFilePath()).fileName()).isFile());

        const QString folder = m_root + QStringLiteral("/São Tomé/Relatórios");
        QVERIFY(QDir().mkpath(folder));
        const QString copy = folder + u'/' + QFileInfo(QCoreApplication::applicationFilePath()).fileName();
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // The copy finds the libraries beside the original (Windows looks for them on PATH).
        env.insert(QStringLiteral("PATH"), QDir::toNativeSeparators(QCoreApplication::applicationDirPath()) +
                                               QDir::listSeparator() + env.value(QStringLiteral("PATH")));
        child.setProcessEnvironment(env);
        child.start(copy, {QStringLiteral("--program-folder")});
        QVERIFY2(child.waitForFinished(60000), qPrintable(child.errorString()));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()),
                 QDir::toNativeSeparators(folder) + QDir::separator());
    }

    // The program's settings reader beside Windows' own profile reader (GetPrivateProfileStringW)
    // on the same files. Rows marked "differs" are where the program keeps its own rule on
    // purpose; the answers of Windows' reader are those seen under Wine 8.0. The Linux build checks
    // the program's answers only.
    void readerBesideWindowsProfileReader_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("windows");

        const QString d = QStringLiteral("<padrão>");
        const auto same = [](const char* name, const QByteArray& bytes, const QString& key, const QString& answer) {
            QTest::newRow(name) << bytes << key << answer << answer;
        };
        const auto differs = [](const char* name, const QByteArray& bytes, const QString& key, const QString& program,
                                const QString& windows) { QTest::newRow(name) << bytes << key << program << windows; };
        same("names in other letter case", "[qor]\r\nservidor=dbhost\r\n", "SERVIDOR", "dbhost");
        same("blanks around name and value", "[QOR]\r\n \t Ano \t=  20 24 \t\r\n", "Ano", "20 24");
        same("blanks inside the brackets", "  [ QOR ]  \r\nAno=1\r\n", "Ano", "1");
        same("matching double quotes dropped", "[QOR]\r\nC=\" C:\\Dados\\ \"\r\n", "C", " C:\\Dados\\ ");
        same("matching single quotes dropped", "[QOR]\r\nC='x'\r\n", "C", "x");
        same("unmatched quotes kept", "[QOR]\r\nC=\"x'\r\n", "C", "\"x'");
        same("present but empty value", "[QOR]\r\nDLLCON=\r\n", "DLLCON", "");
        same("first occurrence wins", "[QOR]\r\nAno=1\r\nANO=2\r\n", "Ano", "1");
        same("only the first section of the name", "[QOR]\r\nAno=1\r\n[OUTRA]\r\n[qor]\r\nServidor=x\r\n", "Servidor",
             d);
        same("key before any section", "Ano=1\r\n[QOR]\r\nServidor=x\r\n", "Ano", d);
        same("equals sign inside the value", "[QOR]\r\nServidor=a=b\r\n", "Servidor", "a=b");
        same("semicolon inside the value", "[QOR]\r\nAno=2024 ; ano\r\n", "Ano", "2024 ; ano");
        same("comment line before the key", "[QOR]\r\n;Ano=1\r\nAno=2\r\n", "Ano", "2");
        same("text after the section's bracket", "[QOR] comentário\r\nAno=1\r\n", "Ano", "1");
        same("header without closing bracket", "[QOR]\r\n[OUTRA\r\nServidor=x\r\n", "Servidor", "x");
        same("backslashes as written", "[QOR]\r\nC=C:\\new\\tab\\\"x\r\n", "C", "C:\\new\\tab\\\"x");
        same("Windows-1252 value", "[QOR]\r\nC=C:\\S\xE3o Tom\xE9\\Relat\xF3rios \x80\\\r\n", "C",
             "C:\\São Tomé\\Relatórios €\\");
        same("Windows-1252 key name", "[QOR]\r\nA\xE7\xE3o=x\r\n", "Ação", "x");
        same("UTF-8 after its mark", "\xEF\xBB\xBF[QOR]\r\nC=S\xC3\xA3o\r\n", "C", "São");
        same("UTF-8 without mark read as Windows-1252", "[QOR]\r\nC=S\xC3\xA3o\r\n", "C", "SÃ£o");
        same("UTF-16 LE after its mark", utf16leFile(QStringLiteral("[QOR]\r\nC=ç€\r\n")), "C", "ç€");
        same("LF line ends", "[QOR]\nAno=1\nServidor=x\n", "Servidor", "x");
        same("CR line ends", "[QOR]\rAno=1\rServidor=x\r", "Servidor", "x");
        same("no final line end", "[QOR]\r\nAno=2024", "Ano", "2024");
        // A comment is a comment, not a key whose name starts with ";".
        differs("key named like a comment (differs)", "[QOR]\r\n;Ano=1\r\n", ";Ano", d, "1");
        // A line without "=" holds no value; Windows takes it for the key with no value, hiding the
        // later line that gives one.
        differs("line without equals sign (differs)", "[QOR]\r\nAno\r\nAno=2\r\n", "Ano", "2", d);
        // A NUL is kept, so that a path holding one names nothing instead of a shorter path.
        differs("NUL inside a value (differs)", QByteArray("[QOR]\r\nServidor=a\0b\r\n", 21), "Servidor",
                QString::fromLatin1("a\0b", 3), "a");
        // No length limit: Windows' reader cuts at the caller's buffer.
        differs("value longer than 64 Ki characters (differs)",
                QByteArray("[QOR]\r\nC=") + QByteArray(70000, 'x') + QByteArray("\r\n"), "C", QString(70000, u'x'),
                QString(65535, u'x'));
    }
    void readerBesideWindowsProfileReader() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, key);
        QFETCH(QString, program);
        QFETCH(QString, windows);

        const QString file = QDir::toNativeSeparators(m_root + QStringLiteral("/qor.ini"));
        QVERIFY(writeFile(file, bytes));
        const QString d = QStringLiteral("<padrão>");
        QCOMPARE(SystemHost(QStringLiteral("C:\\Prog\\")).readSetting(file, QStringLiteral("QOR"), key, d), program);
#ifdef _WIN32
        QCOMPARE(windowsProfileRead(file, key, d), windows);
#else
        Q_UNUSED(windows);
#endif
    }
};

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    // A copy of this program, started by programFolderOfTheRunningExecutable, reports its folder.
    if (argc == 2 && qstrcmp(argv[1], "--program-folder") == 0) {
        const QByteArray folder = SystemHost().programFolder().toUtf8();
        std::fwrite(folder.constData(), 1, std::size_t(folder.size()), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    TestWindowsPaths test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_windowspaths.moc"
