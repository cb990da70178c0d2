#include "common/Error.h"

#include <QTest>
#include <ibase.h> // the client's error codes, isc_...

using uc::Error;

class TestError : public QObject {
    Q_OBJECT
private slots:
    void carriesServerDetails() {
        const Error e(QStringLiteral("deadlock\n-update conflicts with concurrent update"), QStringLiteral("40001"),
                      {isc_deadlock, isc_update_conflict});
        QCOMPARE(e.sqlState(), QStringLiteral("40001"));
        QCOMPARE(e.gdsCode(), long(isc_deadlock));
        QVERIFY(e.hasGdsCode(isc_update_conflict));
        QVERIFY(!e.hasGdsCode(isc_login));
        QCOMPARE(QString::fromUtf8(e.what()), e.message());
    }
    void ownErrorHasNoServerCodes() {
        const Error e(QStringLiteral("Não é possível criar o diretório: X"));
        QCOMPARE(e.gdsCode(), 0L);
        QVERIFY(e.sqlState().isEmpty());
        QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Não é possível criar o diretório: X"));
    }
};

QTEST_GUILESS_MAIN(TestError)
#include "tst_error.moc"
