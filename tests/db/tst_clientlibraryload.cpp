// Loading the client library from the path the settings give, when it cannot serve: the error
// names the path and says why. On Windows a library named by its full path finds the libraries it
// needs in its own folder (Firebird keeps its C++ runtime beside fbclient.dll).

#include "common/Error.h"
#include "db/ClientLibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using uc::db::ClientLibrary;

class TestClientLibraryLoad : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_tmp;
    QString m_folder; // a folder with accented names, as the host writes it

    static QString errorOf(const QString& vendorLib) {
        try {
            ClientLibrary::load(vendorLib);
        } catch (const uc::Error& e) {
            return e.message();
        }
        return {};
    }

private slots:
    void initTestCase() {
        QVERIFY(m_tmp.isValid());
        const QString folder = m_tmp.path() + QStringLiteral("/Programas/Firebird São Tomé");
        QVERIFY(QDir().mkpath(folder));
        m_folder = QDir::toNativeSeparators(folder);
        QFile notLibrary(folder + QStringLiteral("/texto.dll"));
        QVERIFY(notLibrary.open(QIODevice::WriteOnly));
        notLibrary.write("[QOR]\r\nAno=2024\r\n");
#ifdef _WIN32
        // The test's fake client and the library it needs, away from the test's own folder.
        const QString built = QCoreApplication::applicationDirPath() + QStringLiteral("/../fakeclient/");
        for (const char* name : {"uc_fakeclient.dll", "uc_fakedependency.dll"})
            QVERIFY(QFile::copy(built + QLatin1String(name), folder + u'/' + QLatin1String(name)));
#endif
    }

    void failureNamesThePath_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("detail"); // the start of the line below the path
#ifdef _WIN32
        QTest::newRow("missing file") << "fbclient.dll"
                                      << "erro 126";
        QTest::newRow("not a library") << "texto.dll"
                                       << "erro 193";
        // Loaded, with the library it needs found beside it; then refused for not being a client.
        QTest::newRow("library that needs one beside it") << "uc_fakeclient.dll"
                                                          << "A biblioteca não é um cliente Firebird 3.";
#else
        // Windows-shaped names stand for the system's client here: these rows name Linux files.
        QTest::newRow("missing file") << "libfbclient.so" << m_tmp.path() + QStringLiteral("/Programas/");
        QTest::newRow("not a library") << "texto.dll" << m_tmp.path() + QStringLiteral("/Programas/");
#endif
    }
    void failureNamesThePath() {
        QFETCH(QString, file);
        QFETCH(QString, detail);
        const QString path = m_folder + QDir::separator() + file;
        const QString message = errorOf(path);
        const QString head =
            QStringLiteral("Não foi possível carregar a biblioteca do cliente Firebird: ") + path + u'\n';
        QVERIFY2(message.startsWith(head), qPrintable(message));
        QVERIFY2(message.mid(head.size()).startsWith(detail), qPrintable(message));
    }
};

QTEST_GUILESS_MAIN(TestClientLibraryLoad)
#include "tst_clientlibraryload.moc"
