#include "ErrorOf.h"
#include "ScratchDatabase.h"
#include "common/Error.h"
#include "db/ClientLibrary.h"
#include "db/Connection.h"
#include "db/Handles.h"

#include <QElapsedTimer>
#include <QTest>
#include <chrono>
#include <ibase.h> // the client's error codes, isc_...
#include <memory>
#include <optional>
#include <thread>

using uc::Error;
using uc::db::ClientLibrary;
using uc::db::Connection;
using uc::test::errorOf;
using uc::test::ScratchDatabase;

class TestConnection : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchDatabase> m_db;

    // A configured connection that is still closed, counting its openings.
    struct Counted {
        Connection connection;
        int hooks = 0;
        QStringList heard;
        explicit Counted(const ScratchDatabase& db) {
            db.configure(connection);
            connection.setBeforeConnect([this] { ++hooks; });
            connection.setStatementObserver([this](const QString& sql) { heard << sql; });
        }
    };

    QString count(const QString& code) const {
        const QStringList v =
            m_db->queryColumn(QStringLiteral("SELECT COUNT(*) FROM GR_CONTRIBUINTES WHERE COD_CNT = '%1'").arg(code));
        return v.value(0);
    }

private slots:
    void initTestCase() {
        m_db = std::make_unique<ScratchDatabase>();
        QVERIFY(m_db->runSql(QStringLiteral(
            "CREATE TABLE TIPOS (ID INTEGER NOT NULL PRIMARY KEY, C CHAR(10), V VARCHAR(40), N NUMERIC(9,2),\n"
            "  N4 NUMERIC(15,4), SI SMALLINT, BI BIGINT, DP DOUBLE PRECISION, D DATE, T TIME, TS TIMESTAMP,\n"
            "  TS2 TIMESTAMP, BO BOOLEAN, BT BLOB SUB_TYPE TEXT, BB BLOB SUB_TYPE BINARY);\n"
            "COMMIT;\n"
            "INSERT INTO TIPOS VALUES (1, 'ab', 'Ação é coração', 12.5, -0.0001, -7, 9223372036854775807, 1.5,\n"
            "  '2024-02-29', '09:05:07', '2024-02-29 00:00:00', '1999-12-31 23:59:59.9999', TRUE,\n"
            "  'Observação: contribuinte único', X'00FF10');\n"
            "INSERT INTO TIPOS (ID) VALUES (2);\n")));
        // Filled through a UTF-8 connection, so that it holds what Windows-1252 cannot.
        QVERIFY(m_db->runSql(QStringLiteral("CREATE TABLE U8 (ID INTEGER, V VARCHAR(10) CHARACTER SET UTF8);\n"
                                            "COMMIT;\n"
                                            "INSERT INTO U8 VALUES (1, '€uro ação');\n"
                                            "INSERT INTO U8 VALUES (2, 'Ωmega');\n"),
                             QStringLiteral("UTF8")));
    }

    void cleanupTestCase() { m_db.reset(); }

    void parameterList() {
        Connection c;
        c.setParam(QStringLiteral("DriverName"), QStringLiteral("Firebird"));
        c.setParam(QStringLiteral("Database"), QStringLiteral("antes"));
        c.setParam(QStringLiteral("RoleName"), QStringLiteral("RoleName"));
        c.setParam(QStringLiteral("DataBase"), QStringLiteral("depois"));
        c.setParam(QStringLiteral("User_Name"), QStringLiteral("SYSDBA"));
        const std::vector<std::pair<QString, QString>> expected = {
            {QStringLiteral("DriverName"), QStringLiteral("Firebird")},
            {QStringLiteral("DataBase"), QStringLiteral("depois")},
            {QStringLiteral("RoleName"), QStringLiteral("RoleName")},
            {QStringLiteral("User_Name"), QStringLiteral("SYSDBA")},
        };
        QCOMPARE(c.params(), expected);
        QCOMPARE(c.param(QStringLiteral("DATABASE")), QStringLiteral("depois"));
        QVERIFY(c.param(QStringLiteral("Password")).isEmpty());
    }

    void everyColumnType_data() {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("expected");
        QTest::newRow("CHAR keeps its blanks") << "C"
                                               << "ab        ";
        QTest::newRow("accented VARCHAR") << "V"
                                          << "Ação é coração";
        QTest::newRow("NUMERIC scale 2") << "N"
                                         << "12.50";
        QTest::newRow("NUMERIC scale 4") << "N4"
                                         << "-0.0001";
        QTest::newRow("SMALLINT") << "SI"
                                  << "-7";
        QTest::newRow("BIGINT") << "BI"
                                << "9223372036854775807";
        QTest::newRow("DOUBLE") << "DP"
                                << "1.500000000000000";
        QTest::newRow("DATE") << "D"
                              << "29/02/2024";
        QTest::newRow("TIME") << "T"
                              << "09:05:07";
        QTest::newRow("midnight TIMESTAMP") << "TS"
                                            << "29/02/2024 00:00:00";
        QTest::newRow("TIMESTAMP drops fractions") << "TS2"
                                                   << "31/12/1999 23:59:59";
        QTest::newRow("BOOLEAN") << "BO"
                                 << "TRUE";
        QTest::newRow("text BLOB") << "BT"
                                   << "Observação: contribuinte único";
        QTest::newRow("binary BLOB as hex") << "BB"
                                            << "00FF10";
    }
    void everyColumnType() {
        QFETCH(QString, column);
        QFETCH(QString, expected);
        auto c = m_db->connect();
        QVERIFY(c);
        const auto rows = c->select(QStringLiteral("SELECT ID, %1 FROM TIPOS ORDER BY ID").arg(column));
        QCOMPARE(rows.rowCount(), 2);
        QCOMPARE(rows.columns(), QStringList({QStringLiteral("ID"), column}));
        QVERIFY(!rows.isNull(0, 1));
        QCOMPARE(rows.value(0, 1), expected);
        QVERIFY(rows.isNull(1, 1));
        QVERIFY(rows.value(1, 1).isEmpty());
    }

    void columnsAreNamedByTheirAliases() {
        auto c = m_db->connect();
        QVERIFY(c);
        const auto rows = c->select(QStringLiteral(
            "SELECT CNT.CNPJ_CNT NOME, COUNT(*), 1 AS \"Minúsculo\" FROM GR_CONTRIBUINTES CNT GROUP BY CNT.CNPJ_CNT"));
        QCOMPARE(rows.columns(),
                 QStringList({QStringLiteral("NOME"), QStringLiteral("COUNT"), QStringLiteral("Minúsculo")}));
        QCOMPARE(rows.rowCount(), 0);
    }

    // The room each column's values can take, in characters: a text's declared length whatever
    // its character set, a date's, time's or timestamp's text, none for numbers and blobs.
    void declaredLengths() {
        auto c = m_db->connect();
        QVERIFY(c);
        const auto rows = c->select(QStringLiteral(
            "SELECT T.C, T.V, U.V, CAST(T.ID AS VARCHAR(7)), C.CNPJ_CNT, T.D, T.T, T.TS, T.N, T.BI, T.BO, T.BT, T.BB"
            " FROM TIPOS T JOIN U8 U ON U.ID = T.ID LEFT JOIN GR_CONTRIBUINTES C ON C.COD_CNT = T.ID WHERE T.ID = 1"));
        QList<int> lengths;
        for (qsizetype column = 0; column < rows.columnCount(); ++column)
            lengths << rows.declaredLength(column);
        QCOMPARE(lengths, (QList<int>{10, 40, 10, 7, 20, 10, 8, 19, 0, 0, 0, 0, 0}));
        QCOMPARE(rows.declaredLength(rows.columnCount()), 0);
    }

    void longTextBlobIsReadWhole() {
        auto c = m_db->connect();
        QVERIFY(c);
        c->execute(QStringLiteral("INSERT INTO TIPOS (ID, BT) VALUES (3, 'início ')"));
        c->execute(QStringLiteral(
            "UPDATE TIPOS SET BT = BT || LPAD('', 32000, 'ç') || LPAD('', 32000, 'x') || 'fim' WHERE ID = 3"));
        const auto rows = c->select(QStringLiteral("SELECT BT FROM TIPOS WHERE ID = 3"));
        c->execute(QStringLiteral("DELETE FROM TIPOS WHERE ID = 3"));
        const QString expected = QStringLiteral("início ") + QString(32000, QChar(u'ç')) + QString(32000, QChar(u'x')) +
                                 QStringLiteral("fim");
        QCOMPARE(rows.value(0, 0).size(), expected.size());
        QCOMPARE(rows.value(0, 0), expected);
    }

    void storedValueOutsideWindows1252() {
        auto c = m_db->connect();
        QVERIFY(c);
        QCOMPARE(c->select(QStringLiteral("SELECT V FROM U8 WHERE ID = 1")).value(0, 0), QStringLiteral("€uro ação"));
        const auto e = errorOf([&] { c->select(QStringLiteral("SELECT V FROM U8 WHERE ID = 2")); });
        QVERIFY(e);
        QVERIFY(e->hasGdsCode(isc_transliteration_failed));
        QCOMPARE(e->sqlState(), QStringLiteral("22018"));
        QVERIFY2(e->message().contains(QLatin1String("Cannot transliterate")), qPrintable(e->message()));
        // The failed fetch leaves the connection usable.
        QCOMPARE(c->select(QStringLiteral("SELECT 1 FROM RDB$DATABASE")).value(0, 0), QStringLiteral("1"));
    }

    void windows1252TextCrossesBothWays() {
        auto c = m_db->connect();
        QVERIFY(c);
        const QString text = QStringLiteral("€‚ƒ„…†‡ˆ‰Š‹ŒŽ‘’“”•–—˜™š›œžŸ áçãõéêíóôúü ÁÇÃÕ ªº°§¿");
        QCOMPARE(c->select(QStringLiteral("SELECT '%1' FROM RDB$DATABASE").arg(text)).value(0, 0), text);
        // The bytes the server received are the code page's, not UTF-8's.
        QCOMPARE(c->select(QStringLiteral("SELECT ASCII_VAL('€'), ASCII_VAL('ç'), OCTET_LENGTH('Ÿç') "
                                          "FROM RDB$DATABASE"))
                     .value(0, 0),
                 QStringLiteral("128"));
        const auto rows =
            c->select(QStringLiteral("SELECT ASCII_VAL('€'), ASCII_VAL('ç'), OCTET_LENGTH('Ÿç') FROM RDB$DATABASE"));
        QCOMPARE(rows.value(0, 1), QStringLiteral("231"));
        QCOMPARE(rows.value(0, 2), QStringLiteral("2"));
    }

    void textOutsideWindows1252IsNeverSent_data() {
        QTest::addColumn<QString>("character");
        QTest::addColumn<bool>("select");
        QTest::addColumn<QString>("named"); // as the message ends
        QTest::newRow("Polish l, select") << QStringLiteral("ł") << true << "U+0142";
        QTest::newRow("Greek omega, execute") << QStringLiteral("Ω") << false << "U+03A9";
        QTest::newRow("emoji, select") << QStringLiteral("😀") << true << "U+1F600";
        QTest::newRow("C1 control, execute") << QString(QChar(0x81)) << false << "U+0081";
        QTest::newRow("two, each once") << QStringLiteral("ł\u0081ł") << true << "U+0142 U+0081";
        QTest::newRow("lone surrogate") << QString(QChar(0xD83D)) << false << "U+D83D";
    }
    void textOutsideWindows1252IsNeverSent() {
        QFETCH(QString, character);
        QFETCH(bool, select);
        QFETCH(QString, named);
        Counted c(*m_db);
        const QString sql = select ? QStringLiteral("SELECT 'a%1b' FROM RDB$DATABASE").arg(character)
                                   : QStringLiteral("UPDATE GR_CONTRIBUINTES SET NOME_CNT = '%1'").arg(character);
        const auto e = errorOf([&] {
            if (select)
                c.connection.select(sql);
            else
                c.connection.execute(sql);
        });
        QVERIFY(e);
        QCOMPARE(e->message(),
                 QStringLiteral(
                     "O comando contém caracteres que não podem ser enviados ao banco de dados (Windows-1252): ") +
                     named);
        QVERIFY(e->gdsCodes().empty());
        QVERIFY(c.heard.isEmpty());
        QCOMPARE(c.hooks, 0);
        QVERIFY(!c.connection.connected());
    }

    void observerHearsEachStatementBeforeItRuns() {
        Counted c(*m_db);
        const QStringList texts = {
            QStringLiteral("SELECT 1 FROM RDB$DATABASE"),
            QStringLiteral(" UPDATE GR_CONTRIBUINTES SET NOME_CNT = NOME_CNT WHERE COD_EMP_CNT = 1  AND COD_CNT = 'x'"),
            QStringLiteral("SELECT * FROM NAO_EXISTE"),
        };
        c.connection.select(texts[0]);
        c.connection.execute(texts[1]);
        QVERIFY(errorOf([&] { c.connection.select(texts[2]); }));
        QCOMPARE(c.heard, texts);
    }

    void selectOfAStatementWithoutRowsRunsNothing() {
        QVERIFY(m_db->runSql(QStringLiteral(
            "INSERT INTO GR_CONTRIBUINTES (COD_EMP_CNT, COD_CNT, NOME_CNT) VALUES (1, 'S1', 'Antes');")));
        auto c = m_db->connect();
        QVERIFY(c);
        const auto e = errorOf(
            [&] { c->select(QStringLiteral("UPDATE GR_CONTRIBUINTES SET NOME_CNT = 'Depois' WHERE COD_CNT = 'S1'")); });
        QVERIFY(e);
        QCOMPARE(e->message(), QStringLiteral("O comando não é uma consulta: não devolve linhas."));
        QCOMPARE(m_db->queryColumn(QStringLiteral("SELECT NOME_CNT FROM GR_CONTRIBUINTES WHERE COD_CNT = 'S1'")),
                 QStringList{QStringLiteral("Antes")});
    }

    void serverErrors_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("sqlState");
        QTest::addColumn<long>("gds");
        QTest::addColumn<QString>("text");
        QTest::newRow("unknown table") << "SELECT * FROM NAO_EXISTE"
                                       << "42S02" << long(isc_dsql_relation_err) << "NAO_EXISTE";
        QTest::newRow("unknown column") << "UPDATE GR_CONTRIBUINTES SET NAO_EXISTE = 1"
                                        << "42S22" << long(isc_dsql_field_err) << "NAO_EXISTE";
        QTest::newRow("conversion") << "SELECT CAST('abc' AS INTEGER) FROM RDB$DATABASE"
                                    << "22018" << long(isc_convert_error) << "conversion error";
        QTest::newRow("generator set to nothing") << "SET GENERATOR GEN_GR_CONTRIBUINTES TO "
                                                  << "42000" << long(isc_dsql_error) << "Unexpected end of command";
    }
    void serverErrors() {
        QFETCH(QString, sql);
        QFETCH(QString, sqlState);
        QFETCH(long, gds);
        QFETCH(QString, text);
        auto c = m_db->connect();
        QVERIFY(c);
        const auto e = errorOf([&] {
            if (sql.startsWith(QLatin1String("SELECT")))
                c->select(sql);
            else
                c->execute(sql);
        });
        QVERIFY(e);
        QCOMPARE(e->sqlState(), sqlState);
        QVERIFY2(e->hasGdsCode(gds), qPrintable(e->message()));
        QVERIFY2(e->message().contains(text), qPrintable(e->message()));
        QVERIFY(c->connected());
    }

    // The client reports a failure in the status of the call; a status that did not throw there
    // would let the next call, which succeeds, clear it, and the failed call's result be used.
    void failingClientCallThrowsAtThatCall() {
        const ClientLibrary& lib = ClientLibrary::load(QString::fromLatin1(uc::test::kClientLibrary));
        uc::db::Status status(lib);
        uc::db::Released<Firebird::IMetadataBuilder> builder(&lib, lib.master()->getMetadataBuilder(&status, 1));
        bool nextCallReached = false;
        const auto e = errorOf([&] {
            builder->setType(&status, 5, SQL_LONG); // a message of one field has no field 5
            nextCallReached = true;
            builder->setType(&status, 0, SQL_LONG);
        });
        QVERIFY(e);
        QVERIFY(!nextCallReached);
        QVERIFY2(e->hasGdsCode(isc_invalid_index_val), qPrintable(e->message()));
        // The same status serves the calls after it.
        builder->setType(&status, 0, SQL_LONG);
        uc::db::Released<Firebird::IMessageMetadata> metadata(&lib, builder->getMetadata(&status));
        QCOMPARE(metadata->getType(&status, 0), unsigned(SQL_LONG));
    }

    void attachErrors_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("missingFile");
        QTest::addColumn<QString>("sqlState");
        QTest::addColumn<long>("gds");
        QTest::newRow("wrong password") << "errada" << false << "28000" << long(isc_login);
        QTest::newRow("missing database file") << "plumtrees" << true << "08001" << long(isc_io_error);
    }
    void attachErrors() {
        QFETCH(QString, password);
        QFETCH(bool, missingFile);
        QFETCH(QString, sqlState);
        QFETCH(long, gds);
        Connection c;
        m_db->configure(c, QStringLiteral("SYSDBA"), password);
        if (missingFile)
            c.setParam(QStringLiteral("Database"),
                       m_db->server().location(m_db->folder() + QStringLiteral("NADA.FDB")));
        const auto e = errorOf([&] { c.open(); });
        QVERIFY(e);
        QCOMPARE(e->sqlState(), sqlState);
        QVERIFY2(e->hasGdsCode(gds), qPrintable(e->message()));
        QVERIFY(!e->message().isEmpty());
        QVERIFY(!c.connected());
    }

    void waitingUpdateAfterLockHolderEnds_data() {
        QTest::addColumn<bool>("holderCommits");
        QTest::newRow("holder commits: update conflict") << true;
        QTest::newRow("holder rolls back: update goes on") << false;
    }
    void waitingUpdateAfterLockHolderEnds() {
        QFETCH(bool, holderCommits);
        const QString code = holderCommits ? QStringLiteral("L1") : QStringLiteral("L2");
        QVERIFY(m_db->runSql(
            QStringLiteral("INSERT INTO GR_CONTRIBUINTES (COD_EMP_CNT, COD_CNT, NOME_CNT) VALUES (1, '%1', 'Antes');")
                .arg(code)));
        auto holder = m_db->connect();
        auto waiter = m_db->connect();
        QVERIFY(holder && waiter);
        holder->startTransaction();
        holder->execute(
            QStringLiteral("UPDATE GR_CONTRIBUINTES SET NOME_CNT = 'Titular' WHERE COD_CNT = '%1'").arg(code));
        waiter->startTransaction();

        constexpr int delayMs = 400;
        std::optional<Error> holderError;
        QElapsedTimer waited;
        waited.start();
        std::thread other([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            holderError = errorOf([&] {
                if (holderCommits)
                    holder->commit();
                else
                    holder->rollback();
            });
        });
        const auto e = errorOf([&] {
            waiter->execute(
                QStringLiteral("UPDATE GR_CONTRIBUINTES SET NOME_CNT = 'Espera' WHERE COD_CNT = '%1'").arg(code));
        });
        const qint64 elapsed = waited.elapsed();
        other.join();

        QVERIFY(!holderError);
        QVERIFY2(elapsed >= delayMs - 50, "the update did not wait for the lock");
        if (holderCommits) {
            QVERIFY(e);
            QCOMPARE(e->sqlState(), QStringLiteral("40001"));
            QVERIFY(e->hasGdsCode(isc_deadlock));
            QVERIFY(e->hasGdsCode(isc_update_conflict));
            // Only the statement failed: the transaction is still there to roll back.
            QVERIFY(waiter->inTransaction());
            waiter->rollback();
            QCOMPARE(m_db->queryColumn(
                         QStringLiteral("SELECT NOME_CNT FROM GR_CONTRIBUINTES WHERE COD_CNT = '%1'").arg(code)),
                     QStringList{QStringLiteral("Titular")});
        } else {
            QVERIFY2(!e, e ? qPrintable(e->message()) : "");
            waiter->commit();
            QCOMPARE(m_db->queryColumn(
                         QStringLiteral("SELECT NOME_CNT FROM GR_CONTRIBUINTES WHERE COD_CNT = '%1'").arg(code)),
                     QStringList{QStringLiteral("Espera")});
        }
    }

    void explicitTransaction() {
        Counted c(*m_db);
        Connection& t = c.connection;
        QVERIFY(!t.inTransaction());
        QVERIFY(!errorOf([&] { t.rollback(); })); // nothing to undo
        QVERIFY(errorOf([&] { t.commit(); }));
        QCOMPARE(c.hooks, 0);

        t.startTransaction();
        QCOMPARE(c.hooks, 1);
        QVERIFY(t.connected());
        QVERIFY(t.inTransaction());
        QVERIFY(errorOf([&] { t.startTransaction(); }));
        QVERIFY(t.inTransaction());

        t.execute(QStringLiteral("INSERT INTO GR_CONTRIBUINTES (COD_EMP_CNT, COD_CNT) VALUES (1, 'T1')"));
        QCOMPARE(t.select(QStringLiteral("SELECT COUNT(*) FROM GR_CONTRIBUINTES WHERE COD_CNT = 'T1'")).value(0, 0),
                 QStringLiteral("1"));
        QCOMPARE(count(QStringLiteral("T1")), QStringLiteral("0")); // not committed: others do not see it
        t.rollback();
        QVERIFY(!t.inTransaction());
        QCOMPARE(count(QStringLiteral("T1")), QStringLiteral("0"));

        t.startTransaction();
        t.execute(QStringLiteral("INSERT INTO GR_CONTRIBUINTES (COD_EMP_CNT, COD_CNT) VALUES (1, 'T2')"));
        QVERIFY(errorOf([&] { t.execute(QStringLiteral("INSERT INTO NAO_EXISTE VALUES (1)")); }));
        QVERIFY(t.inTransaction()); // a failed statement keeps what came before
        t.commit();
        QVERIFY(!t.inTransaction());
        QCOMPARE(count(QStringLiteral("T2")), QStringLiteral("1"));
        QCOMPARE(c.hooks, 1);
    }

    void statementWithoutTransactionCommitsItself() {
        Counted c(*m_db);
        c.connection.execute(QStringLiteral("INSERT INTO GR_CONTRIBUINTES (COD_EMP_CNT, COD_CNT) VALUES (1, 'A1')"));
        QVERIFY(!c.connection.inTransaction());
        QCOMPARE(count(QStringLiteral("A1")), QStringLiteral("1"));
        // A failing one leaves nothing open behind it.
        QVERIFY(errorOf([&] {
            c.connection.execute(
                QStringLiteral("INSERT INTO GR_CONTRIBUINTES (COD_EMP_CNT, COD_CNT) VALUES (1, 'A1')"));
        }));
        QVERIFY(!c.connection.inTransaction());
        c.connection.close();
        QVERIFY(!c.connection.connected());
    }

    // What the server says of the transaction a read runs in: read-only flag, isolation (2: read
    // committed, newest version), lock timeout (-1: waits).
    void transactionOfARead_data() {
        QTest::addColumn<bool>("explicitTransaction");
        QTest::addColumn<QString>("expected");
        QTest::newRow("a read of its own is read-only") << false << "1 2 -1";
        QTest::newRow("a read in the merge's transaction") << true << "0 2 -1";
    }
    void transactionOfARead() {
        QFETCH(bool, explicitTransaction);
        QFETCH(QString, expected);
        Counted c(*m_db);
        if (explicitTransaction)
            c.connection.startTransaction();
        const auto rows = c.connection.select(
            QStringLiteral("SELECT MON$READ_ONLY, MON$ISOLATION_MODE, MON$LOCK_TIMEOUT FROM MON$TRANSACTIONS "
                           "WHERE MON$TRANSACTION_ID = CURRENT_TRANSACTION"));
        QCOMPARE(rows.rowCount(), 1);
        QCOMPARE(QStringList({rows.value(0, 0), rows.value(0, 1), rows.value(0, 2)}).join(u' '), expected);
        QCOMPARE(c.connection.inTransaction(), explicitTransaction);
        if (explicitTransaction)
            c.connection.rollback();
    }

    // Reads under a SharedReads guard run in one read-only transaction, ended with the outermost
    // guard; writes and the reads of an explicit transaction never run in it.
    void sharedReads() {
        Counted c(*m_db);
        Connection& t = c.connection;
        // "number read-only"
        auto transaction = [&] {
            const auto r = t.select(QStringLiteral("SELECT CURRENT_TRANSACTION, MON$READ_ONLY FROM MON$TRANSACTIONS "
                                                   "WHERE MON$TRANSACTION_ID = CURRENT_TRANSACTION"));
            return r.value(0, 0) + u' ' + r.value(0, 1);
        };
        QString shared;
        {
            Connection::SharedReads together(t);
            shared = transaction();
            QVERIFY2(shared.endsWith(QStringLiteral(" 1")), qPrintable(shared));
            {
                Connection::SharedReads inner(t);
                QCOMPARE(transaction(), shared);
            }
            QCOMPARE(transaction(), shared); // the outer guard still holds it
            QVERIFY(errorOf([&] { t.select(QStringLiteral("SELECT * FROM NAO_EXISTE")); }));
            QCOMPARE(transaction(), shared); // a failed read leaves it usable
            t.execute(QStringLiteral("INSERT INTO GR_CONTRIBUINTES (COD_EMP_CNT, COD_CNT) VALUES (1, 'SR1')"));
            QCOMPARE(count(QStringLiteral("SR1")), QStringLiteral("1")); // committed on its own
            QVERIFY(!t.inTransaction());
        }
        // Ended with the guard: this read's own transaction is the attachment's only one.
        QCOMPARE(t.select(QStringLiteral("SELECT COUNT(*) FROM MON$TRANSACTIONS "
                                         "WHERE MON$ATTACHMENT_ID = CURRENT_CONNECTION"))
                     .value(0, 0),
                 QStringLiteral("1"));
        QVERIFY(transaction() != shared);

        t.startTransaction();
        {
            Connection::SharedReads together(t);
            QVERIFY(transaction().endsWith(QStringLiteral(" 0"))); // the explicit one
        }
        QVERIFY(t.inTransaction());
        t.rollback();

        // Closing ends the shared transaction before it detaches; the next read attaches afresh.
        Connection::SharedReads together(t);
        shared = transaction();
        t.close();
        QVERIFY(!t.connected());
        QVERIFY(transaction() != shared);
    }

    void closeRollsBackTheOpenTransaction() {
        Counted c(*m_db);
        c.connection.startTransaction();
        c.connection.execute(QStringLiteral("INSERT INTO GR_CONTRIBUINTES (COD_EMP_CNT, COD_CNT) VALUES (1, 'F1')"));
        c.connection.close();
        QVERIFY(!c.connection.connected());
        QVERIFY(!c.connection.inTransaction());
        QCOMPARE(count(QStringLiteral("F1")), QStringLiteral("0"));
    }

    void opensOnDemandThroughTheHook() {
        Counted c(*m_db);
        c.connection.close(); // closed: nothing happens
        QCOMPARE(c.hooks, 0);
        QVERIFY(!c.connection.connected());
        QCOMPARE(c.connection.select(QStringLiteral("SELECT CURRENT_USER FROM RDB$DATABASE")).value(0, 0),
                 QStringLiteral("SYSDBA"));
        QCOMPARE(c.hooks, 1);
        c.connection.select(QStringLiteral("SELECT 1 FROM RDB$DATABASE"));
        c.connection.execute(QStringLiteral("UPDATE GR_CONTRIBUINTES SET NOME_CNT = NOME_CNT WHERE 1 = 0"));
        c.connection.open();
        QCOMPARE(c.hooks, 1);
        c.connection.close();
        c.connection.execute(QStringLiteral("UPDATE GR_CONTRIBUINTES SET NOME_CNT = NOME_CNT WHERE 1 = 0"));
        QCOMPARE(c.hooks, 2);
    }

    void hookFillsInTheParametersBeforeTheAttach() {
        Connection c;
        m_db->configure(c);
        c.setParam(QStringLiteral("Database"), QStringLiteral("nenhum"));
        c.setParam(QStringLiteral("User_Name"), QStringLiteral("ninguém"));
        c.setBeforeConnect([&] {
            c.setParam(QStringLiteral("User_Name"), QStringLiteral("ZULQOR"));
            c.setParam(QStringLiteral("Password"), QStringLiteral("pelbun"));
            c.setParam(QStringLiteral("DataBase"), m_db->location());
        });
        QCOMPARE(c.select(QStringLiteral("SELECT CURRENT_USER FROM RDB$DATABASE")).value(0, 0),
                 QStringLiteral("ZULQOR"));
    }

    void hookErrorAbortsTheOpening() {
        Counted c(*m_db);
        c.connection.setBeforeConnect([&] {
            ++c.hooks;
            throw Error(QStringLiteral("Não é possível criar o diretório: X"));
        });
        const auto e = errorOf([&] { c.connection.select(QStringLiteral("SELECT 1 FROM RDB$DATABASE")); });
        QVERIFY(e);
        QCOMPARE(e->message(), QStringLiteral("Não é possível criar o diretório: X"));
        QCOMPARE(c.hooks, 1);
        QVERIFY(!c.connection.connected());
        QVERIFY(c.heard.isEmpty());
    }

    void lostAttachmentIsReplacedAtNextUse() {
        Counted c(*m_db);
        const QString id =
            c.connection.select(QStringLiteral("SELECT CURRENT_CONNECTION FROM RDB$DATABASE")).value(0, 0);
        c.connection.startTransaction();
        auto killer = m_db->connect();
        QVERIFY(killer);
        killer->execute(QStringLiteral("DELETE FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID = %1").arg(id));

        const auto e = errorOf([&] { c.connection.select(QStringLiteral("SELECT 1 FROM RDB$DATABASE")); });
        QVERIFY(e);
        QVERIFY2(e->hasGdsCode(isc_att_shutdown), qPrintable(e->message()));
        QVERIFY(!c.connection.connected());
        QVERIFY(!c.connection.inTransaction());
        QVERIFY(!errorOf([&] { c.connection.rollback(); }));

        QCOMPARE(c.connection.select(QStringLiteral("SELECT 1 FROM RDB$DATABASE")).value(0, 0), QStringLiteral("1"));
        QCOMPARE(c.hooks, 2);
    }

    void clientLibraryFile_data() {
        QTest::addColumn<QString>("vendorLib");
        QTest::addColumn<QString>("file");
#ifndef _WIN32
        const QString system = QStringLiteral("libfbclient.so.2");
        QTest::newRow("installation default")
            << "C:\\Arquivos de programas\\Firebird\\Firebird_2_1\\bin\\fbclient.dll" << system;
        QTest::newRow("drive letter only") << "d:fbclient.dll" << system;
        QTest::newRow("network share") << "\\\\servidor\\fb\\fbclient.dll" << system;
        QTest::newRow("bare Windows name") << "fbclient.dll" << system;
        QTest::newRow("bare name, capitals") << "FBCLIENT.DLL" << system;
        QTest::newRow("absolute path") << "/usr/lib/x86_64-linux-gnu/libfbclient.so.2"
                                       << "/usr/lib/x86_64-linux-gnu/libfbclient.so.2";
        QTest::newRow("missing path") << "/nonexistent/libfbclient.so"
                                      << "/nonexistent/libfbclient.so";
        QTest::newRow("slash path to a dll") << "/opt/fb/fbclient.dll"
                                             << "/opt/fb/fbclient.dll";
#else
        QTest::newRow("as given") << "C:\\Firebird\\fbclient.dll"
                                  << "C:\\Firebird\\fbclient.dll";
#endif
    }
    void clientLibraryFile() {
        QFETCH(QString, vendorLib);
        QFETCH(QString, file);
        QCOMPARE(ClientLibrary::fileFor(vendorLib), file);
    }

    void clientLibraryThatCannotBeLoaded_data() {
        QTest::addColumn<QString>("vendorLib");
        QTest::newRow("missing file") << "/nonexistent/libfbclient.so";
#ifndef _WIN32
        QTest::newRow("not a Firebird client") << "libz.so.1";
#endif
    }
    void clientLibraryThatCannotBeLoaded() {
        QFETCH(QString, vendorLib);
        Counted c(*m_db);
        c.connection.setVendorLib(vendorLib);
        const auto e = errorOf([&] { c.connection.open(); });
        QVERIFY(e);
        QVERIFY2(e->message().startsWith(
                     QStringLiteral("Não foi possível carregar a biblioteca do cliente Firebird: ") + vendorLib),
                 qPrintable(e->message()));
        QCOMPARE(c.hooks, 1);
        QVERIFY(!c.connection.connected());
    }
};

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
