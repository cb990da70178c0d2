#include "settings/SystemHost.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using uc::SystemHost;

class TestSystemHost : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_tmp;
    QString m_root;

private slots:
    void initTestCase() {
        QVERIFY(m_tmp.isValid());
        m_root = m_tmp.path();
        QVERIFY(QDir(m_root).mkpath(QStringLiteral("pasta/sub")));
        QFile plain(m_root + QStringLiteral("/arquivo"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
    }

    void programFolderIsTheExecutables() {
        // With the host's own separators: on Windows the folder ends with "\\" and the file is the .exe.
        const QString folder = SystemHost().programFolder();
        QCOMPARE(folder, QDir::toNativeSeparators(QCoreApplication::applicationDirPath()) + QDir::separator());
        QVERIFY(QFile::exists(folder + QFileInfo(QCoreApplication::applicationFilePath()).fileName()));
        QCOMPARE(SystemHost(QStringLiteral("/outro/")).programFolder(), QStringLiteral("/outro/"));
    }

    // Settings come from the file named by the caller, with "\" read as "/".
    void readsSettingThroughBackslashes() {
        QFile ini(m_root + QStringLiteral("/pasta/qor.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[QOR]\r\nServidor=dbhost\r\n");
        ini.close();
        const SystemHost host(m_root + QStringLiteral("\\pasta\\"));
        QCOMPARE(host.readSetting(host.programFolder() + QStringLiteral("qor.ini"), QStringLiteral("qor"),
                                  QStringLiteral("SERVIDOR"), QStringLiteral("x")),
                 QStringLiteral("dbhost"));
        QCOMPARE(host.readSetting(host.programFolder() + QStringLiteral("falta.ini"), QStringLiteral("QOR"),
                                  QStringLiteral("Servidor"), QStringLiteral("x")),
                 QStringLiteral("x"));
    }

    void folderExists_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("exists");
        QTest::newRow("folder") << "$/pasta" << true;
        QTest::newRow("folder with separator") << "$/pasta/" << true;
        QTest::newRow("backslashes") << "$\\pasta\\sub\\" << true;
        QTest::newRow("plain file") << "$/arquivo" << false;
        QTest::newRow("missing") << "$/falta" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("NUL cuts the path short") << QString("$/pasta") + QChar(0) + "x" << false;
    }
    void folderExists() {
        QFETCH(QString, path);
        QFETCH(bool, exists);
        QCOMPARE(SystemHost(QStringLiteral("/")).folderExists(path.replace(u'$', m_root)), exists);
    }

    void createFolder_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("created");
        QTest::addColumn<QString>("made");
        QTest::newRow("one level") << "$/novo" << true << "novo";
        QTest::newRow("backslashes and closing separator") << "$\\pasta\\novo\\" << true << "pasta/novo";
        QTest::newRow("missing parent") << "$/falta/novo" << false << "";
        QTest::newRow("existing folder") << "$/pasta" << false << "";
        QTest::newRow("plain file of that name") << "$/arquivo" << false << "";
        QTest::newRow("empty") << "" << false << "";
        QTest::newRow("NUL cuts the path short") << QString("$/nul") + QChar(0) + "x" << false << "";
    }
    void createFolder() {
        QFETCH(QString, path);
        QFETCH(bool, created);
        QFETCH(QString, made);
        const QStringList before = QDir(m_root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        QCOMPARE(SystemHost(QStringLiteral("/")).createFolder(path.replace(u'$', m_root)), created);
        if (!made.isEmpty()) {
            QVERIFY(QFileInfo(m_root + u'/' + made).isDir());
            QVERIFY(QDir(m_root + u'/' + made).removeRecursively());
        }
        QCOMPARE(QDir(m_root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
        QVERIFY(!QFileInfo::exists(m_root + QStringLiteral("/falta")));
        QVERIFY(!QFileInfo::exists(m_root + QStringLiteral("/nul")));
    }
};

QTEST_GUILESS_MAIN(TestSystemHost)
#include "tst_systemhost.moc"
