#include "ErrorOf.h"
#include "ScratchDatabase.h"
#include "db/ClientLibrary.h"
#include "db/Connection.h"

#include <QTest>

using uc::db::ClientLibrary;
using uc::test::errorOf;

// The client is shut down once, at the end of the program; whatever still holds a connection then
// must be able to let go of it without touching the client again.
class TestClientShutdown : public QObject {
    Q_OBJECT

private slots:
    void connectionOutlivingTheShutdown() {
        // Declared first, so it outlives the shutdown: its drop then cannot run, and its folder
        // goes all the same.
        uc::test::ScratchDatabase db;
        auto late = db.connect();
        QVERIFY(late);
        late->startTransaction();
        late->execute(QStringLiteral("INSERT INTO GR_CONTRIBUINTES (COD_EMP_CNT, COD_CNT) VALUES (1, 'X')"));

        ClientLibrary::shutdownAll();
        ClientLibrary::shutdownAll(); // twice is harmless
        late->close();                // lets go of its transaction and attachment without a crash
        QVERIFY(!late->connected());
        QVERIFY(!late->inTransaction());
        late.reset();

        uc::db::Connection again;
        again.setVendorLib(QStringLiteral("libfbclient.so.2"));
        db.configure(again);
        const auto e = errorOf([&] { again.open(); });
        QVERIFY(e);
        QVERIFY2(e->message().startsWith(QStringLiteral("Não foi possível carregar a biblioteca do cliente Firebird")),
                 qPrintable(e->message()));
    }
};

QTEST_GUILESS_MAIN(TestClientShutdown)
#include "tst_clientshutdown.moc"
