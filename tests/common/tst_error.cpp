#include "common/Error.h"

#include <QTest>

using uc::Error;

class TestError : public QObject {
    Q_OBJECT
private slots:
    void carriesServerDetails() {
        const Error e(QStringLiteral("deadlock\n-update conflicts with concurrent update"), QStringLiteral("40001"),
                      {335544336, 335544451});
        QCOMPARE(e.sqlState(), QStringLiteral("40001"));
        QCOMPARE(e.gdsCode(), 335544336L);
        QVERIFY(e.hasGdsCode(335544451));
        QVERIFY(!e.hasGdsCode(335544472));
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
