#include "settings/IniFile.h"
#include "settings/SystemHost.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

namespace IniFile = uc::IniFile;

namespace {

const QString kDefault = QStringLiteral("<padrão>");

QByteArray bytesOf(const char* text) {
    return QByteArray(text);
}

QByteArray randomBytes(int size, quint32 seed) {
    QRandomGenerator gen(seed);
    QByteArray out(size, Qt::Uninitialized);
    for (char& c : out)
        c = static_cast<char>(gen.bounded(256));
    return out;
}

// A settings file with a line of 1 MiB between two keys.
QByteArray longLineFile() {
    return QByteArray("[QOR]\r\nLonga=") + QByteArray(1 << 20, 'x') + QByteArray("\r\nAno=2024\r\n");
}

// The text in UTF-16 LE after its byte-order mark, as Notepad saves "Unicode".
QByteArray utf16leFile(const QString& text) {
    QByteArray out("\xFF\xFE");
    for (const QChar c : text) {
        out.append(static_cast<char>(c.unicode() & 0xFF));
        out.append(static_cast<char>(c.unicode() >> 8));
    }
    return out;
}

QByteArray garbageThenSection() {
    return randomBytes(64 * 1024, 7) + QByteArray("\n[QOR]\nAno=2024\n");
}

} // namespace

class TestIniFile : public QObject {
    Q_OBJECT
private slots:
    void readsValues_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");

        const QByteArray plain("[QOR]\r\nServidor=dbhost\r\nCaminho_Base_Dados=D:\\Sist\\QOR7\\\r\n");
        QTest::newRow("plain key") << plain << "Servidor"
                                   << "dbhost";
        QTest::newRow("key name in other case") << plain << "SERVIDOR"
                                                << "dbhost";
        QTest::newRow("section name in other case") << bytesOf("[qor]\nAno=2024\n") << "Ano"
                                                    << "2024";
        QTest::newRow("backslashes kept as written") << plain << "Caminho_Base_Dados"
                                                     << "D:\\Sist\\QOR7\\";
        QTest::newRow("no escape processing")
            << bytesOf("[QOR]\nCaminho_Base_Dados=C:\\new\\tab\\\"x\n") << "Caminho_Base_Dados"
            << "C:\\new\\tab\\\"x";
        QTest::newRow("blanks around name and value") << bytesOf("[QOR]\n \t Ano \t=  20 24 \t\r\n") << "Ano"
                                                      << "20 24";
        QTest::newRow("blanks around section name") << bytesOf("  [ QOR ]  \nAno=1\n") << "Ano"
                                                    << "1";
        QTest::newRow("empty value is not the default") << bytesOf("[QOR]\nDLLCON=\nAno=1\n") << "DLLCON"
                                                        << "";
        QTest::newRow("blank value is empty") << bytesOf("[QOR]\nDLLCON=   \t\n") << "DLLCON"
                                              << "";
        QTest::newRow("missing key") << bytesOf("[QOR]\nAno=1\n") << "Servidor" << kDefault;
        QTest::newRow("missing section") << bytesOf("[OUTRA]\nAno=1\n") << "Ano" << kDefault;
        QTest::newRow("key before any section") << bytesOf("Ano=1\n[QOR]\nServidor=x\n") << "Ano" << kDefault;
        QTest::newRow("key of another section")
            << bytesOf("[QOR]\nAno=1\n[OUTRA]\nServidor=x\n") << "Servidor" << kDefault;
        QTest::newRow("section after another") << bytesOf("[OUTRA]\nAno=1\n[QOR]\nAno=2\n") << "Ano"
                                               << "2";
        QTest::newRow("empty file") << QByteArray() << "Ano" << kDefault;
        QTest::newRow("comment line") << bytesOf("[QOR]\n;Ano=1\nAno=2\n") << "Ano"
                                      << "2";
        QTest::newRow("indented comment line") << bytesOf("[QOR]\n  ;Ano=1\n") << "Ano" << kDefault;
        QTest::newRow("semicolon inside a value") << bytesOf("[QOR]\nAno=20;24\n") << "Ano"
                                                  << "20;24";
        QTest::newRow("first occurrence wins") << bytesOf("[QOR]\nAno=1\nANO=2\n") << "Ano"
                                               << "1";
        QTest::newRow("empty first occurrence wins") << bytesOf("[QOR]\nAno=\nAno=2\n") << "Ano"
                                                     << "";
        QTest::newRow("only the first section of the name")
            << bytesOf("[QOR]\nAno=1\n[OUTRA]\n[qor]\nServidor=x\n") << "Servidor" << kDefault;
        QTest::newRow("line without equals sign holds no value") << bytesOf("[QOR]\nAno\nAno=2\n") << "Ano"
                                                                 << "2";
        QTest::newRow("equals sign inside the value") << bytesOf("[QOR]\nServidor=a=b\n") << "Servidor"
                                                      << "a=b";
        QTest::newRow("double quotes dropped")
            << bytesOf("[QOR]\nCaminho_Base_Dados=\" C:\\Dados\\ \"\n") << "Caminho_Base_Dados"
            << " C:\\Dados\\ ";
        QTest::newRow("single quotes dropped") << bytesOf("[QOR]\nServidor='x'\n") << "Servidor"
                                               << "x";
        QTest::newRow("unmatched quote kept") << bytesOf("[QOR]\nServidor=\"x\n") << "Servidor"
                                              << "\"x";
        QTest::newRow("header without bracket is no section") << bytesOf("[QOR]\n[OUTRA\nServidor=x\n") << "Servidor"
                                                              << "x";
        QTest::newRow("LF line ends") << bytesOf("[QOR]\nAno=1\nServidor=x\n") << "Servidor"
                                      << "x";
        QTest::newRow("CR LF line ends") << bytesOf("[QOR]\r\nAno=1\r\nServidor=x\r\n") << "Ano"
                                         << "1";
        QTest::newRow("CR line ends") << bytesOf("[QOR]\rAno=1\rServidor=x\r") << "Servidor"
                                      << "x";
        QTest::newRow("mixed line ends") << bytesOf("[QOR]\r\nAno=1\nServidor=x\r\n") << "Servidor"
                                         << "x";
        QTest::newRow("no final newline") << bytesOf("[QOR]\r\nAno=2024") << "Ano"
                                          << "2024";
        QTest::newRow("Windows-1252 bytes")
            << bytesOf("[QOR]\nCaminho_Base_Dados=C:\\Gest\xE3o \x80\\\n") << "Caminho_Base_Dados"
            << "C:\\Gestão €\\";
        QTest::newRow("Windows-1252 key name") << bytesOf("[QOR]\nA\xE7\xE3o=x\n") << "Ação"
                                               << "x";
        QTest::newRow("UTF-8 after its mark")
            << bytesOf("\xEF\xBB\xBF[QOR]\nCaminho_Base_Dados=C:\\Gest\xC3\xA3o\\\n") << "Caminho_Base_Dados"
            << "C:\\Gestão\\";
        QTest::newRow("UTF-8 without mark is read as Windows-1252")
            << bytesOf("[QOR]\nServidor=\xC3\xA7\n") << "Servidor"
            << "Ã§";
        QTest::newRow("UTF-8 mark before section") << bytesOf("\xEF\xBB\xBF[QOR]\nAno=1\n") << "Ano"
                                                   << "1";
        QTest::newRow("UTF-16 LE after its mark") << utf16leFile(QStringLiteral("[QOR]\r\nAno=ç€\r\n")) << "Ano"
                                                  << "ç€";
        QTest::newRow("NUL bytes in a value")
            << QByteArray("[QOR]\nServidor=a\0b\n", 19) << "Servidor" << QString::fromLatin1("a\0b", 3);
        QTest::newRow("binary garbage") << randomBytes(64 * 1024, 1) << "Ano" << kDefault;
        QTest::newRow("binary garbage before the section") << garbageThenSection() << "Ano"
                                                           << "2024";
        QTest::newRow("1 MiB line") << longLineFile() << "Longa" << QString(1 << 20, u'x');
        QTest::newRow("key after a 1 MiB line") << longLineFile() << "Ano"
                                                << "2024";
    }
    void readsValues() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        QCOMPARE(IniFile::read(bytes, u"QOR", key, kDefault), expected);
    }

    // The reader's answer over a file on disk is the same as over its bytes, and the file is left
    // exactly as it was.
    void readsFilesWithoutWriting_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        QTest::newRow("ordinary") << bytesOf("[QOR]\r\nServidor=dbhost\r\n") << "servidor"
                                  << "dbhost";
        QTest::newRow("binary garbage") << randomBytes(4096, 2) << "Ano" << kDefault;
        QTest::newRow("1 MiB line") << longLineFile() << "Ano"
                                    << "2024";
        QTest::newRow("missing section") << bytesOf("[OUTRA]\nAno=1\n") << "Ano" << kDefault;
        QTest::newRow("duplicate keys") << bytesOf("[QOR]\nAno=1\nAno=2\n") << "Ano"
                                        << "1";
        QTest::newRow("no final newline") << bytesOf("[QOR]\nAno=1") << "Ano"
                                          << "1";
    }
    void readsFilesWithoutWriting() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("qor.ini"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
        QVERIFY(file.flush());
        // A time in the past, so that any write by the reader would show.
        const QDateTime past = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() - 3600, Qt::UTC);
        QVERIFY(file.setFileTime(past, QFileDevice::FileModificationTime));
        file.close();

        QCOMPARE(IniFile::readFile(path, u"QOR", key, kDefault), expected);
        QCOMPARE(uc::SystemHost(dir.path() + u'/').readSetting(path, QStringLiteral("QOR"), key, kDefault), expected);

        QFile again(path);
        QVERIFY(again.open(QIODevice::ReadOnly));
        QCOMPARE(again.readAll(), bytes);
        QCOMPARE(QFileInfo(path).lastModified().toUTC(), past);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{QStringLiteral("qor.ini")});
    }

    void unreadableFileGivesDefault_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing file") << "missing";
        QTest::newRow("folder named qor.ini") << "folder";
        QTest::newRow("dangling link") << "link";
    }
    void unreadableFileGivesDefault() {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("qor.ini"));
        if (kind == u"folder") {
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("qor.ini")));
            // Something in the folder that a careless reader might pick up as a settings file.
            QFile inner(path + QStringLiteral("/qor.ini"));
            QVERIFY(inner.open(QIODevice::WriteOnly));
            inner.write("[QOR]\nAno=1\n");
        } else if (kind == u"link") {
            QVERIFY(QFile::link(dir.filePath(QStringLiteral("ausente.ini")), path));
        }
        QCOMPARE(IniFile::readFile(path, u"QOR", u"Ano", kDefault), kDefault);
        QCOMPARE(IniFile::readFile(path, u"QOR", u"Ano", QString()), QString());
    }

    // The file is read anew at every call: a change shows at the next read.
    void rereadsChangedFile() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("qor.ini"));
        const auto write = [&path](const QByteArray& bytes) {
            QFile f(path);
            return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
        };
        QVERIFY(write("[QOR]\nAno=2023\n"));
        QCOMPARE(IniFile::readFile(path, u"QOR", u"Ano", kDefault), QStringLiteral("2023"));
        QVERIFY(write("[QOR]\nAno=2024\n"));
        QCOMPARE(IniFile::readFile(path, u"QOR", u"Ano", kDefault), QStringLiteral("2024"));
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
