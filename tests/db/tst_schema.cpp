#include "ErrorOf.h"
#include "ScratchDatabase.h"
#include "db/Connection.h"
#include "merge/RepointStatements.h"

#include <QMap>
#include <QSet>
#include <QTest>
#include <memory>

using uc::RepointRow;
using uc::repointRows;
using uc::test::errorOf;
using uc::test::ScratchDatabase;

namespace {

// The tables that hold taxpayer codes, each with the columns the merge touches.
struct ReferenceTable {
    QStringList codeColumns;
    QString companyColumn;
    QString moduleColumn;
};

QMap<QString, ReferenceTable> referenceTables() {
    QMap<QString, ReferenceTable> tables;
    for (const RepointRow& row : repointRows()) {
        ReferenceTable& t = tables[QString::fromLatin1(row.table)];
        if (!t.codeColumns.contains(QString::fromLatin1(row.column)))
            t.codeColumns << QString::fromLatin1(row.column);
        if (row.companyColumn)
            t.companyColumn = QString::fromLatin1(row.companyColumn);
        if (row.moduleColumn)
            t.moduleColumn = QString::fromLatin1(row.moduleColumn);
    }
    return tables;
}

} // namespace

class TestSchema : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchDatabase> m_db;
    QMap<QString, QString> m_columnTypes; // "TABLE.COLUMN" -> type name

private slots:
    void initTestCase() {
        m_db = std::make_unique<ScratchDatabase>();
        auto c = m_db->connect();
        QVERIFY(c);
        const auto rows = c->select(QStringLiteral(
            "SELECT TRIM(RF.RDB$RELATION_NAME) || '.' || TRIM(RF.RDB$FIELD_NAME),\n"
            "       CASE F.RDB$FIELD_TYPE WHEN 37 THEN 'VARCHAR' WHEN 8 THEN 'INTEGER' ELSE 'OTHER' END\n"
            "FROM RDB$RELATION_FIELDS RF JOIN RDB$FIELDS F ON F.RDB$FIELD_NAME = RF.RDB$FIELD_SOURCE\n"
            "WHERE COALESCE(RF.RDB$SYSTEM_FLAG, 0) = 0"));
        for (qsizetype r = 0; r < rows.rowCount(); ++r)
            m_columnTypes.insert(rows.value(r, 0), rows.value(r, 1));
    }
    void cleanupTestCase() { m_db.reset(); }

    void everyRepointedColumnExists_data() {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("type");
        QSet<QString> seen;
        auto add = [&](const char* table, const char* column, const char* type) {
            const QString name = QStringLiteral("%1.%2").arg(QLatin1String(table), QLatin1String(column));
            if (!seen.contains(name)) {
                seen.insert(name);
                QTest::newRow(qPrintable(name)) << name << QString::fromLatin1(type);
            }
        };
        for (const RepointRow& row : repointRows()) {
            add(row.table, row.column, "VARCHAR");
            if (row.companyColumn)
                add(row.table, row.companyColumn, "INTEGER");
            if (row.moduleColumn)
                add(row.table, row.moduleColumn, "INTEGER");
        }
        for (const char* column : {"COD_CNT", "CNPJ_CNT", "NOME_CNT", "TIPOLOG_CNT", "NOM_LOG_CNT", "NUMERO_CNT",
                                   "NOM_BAI_CNT", "CEP_CNT", "NOM_CID_CNT", "LOGIN_INC_CNT", "LOGIN_ALT_CNT"})
            add("GR_CONTRIBUINTES", column, "VARCHAR");
        add("GR_CONTRIBUINTES", "COD_EMP_CNT", "INTEGER");
        add("GR_CAD_EMPRESA", "COD_EMP", "INTEGER");
        add("GR_CAD_EMPRESA", "NOME_EMP", "VARCHAR");
    }
    void everyRepointedColumnExists() {
        QFETCH(QString, column);
        QFETCH(QString, type);
        QVERIFY2(m_columnTypes.contains(column), qPrintable(column + QStringLiteral(" is missing")));
        QCOMPARE(m_columnTypes.value(column), type);
    }

    void textIsStoredInWindows1252() {
        QCOMPARE(m_db->queryColumn(QStringLiteral("SELECT TRIM(RDB$CHARACTER_SET_NAME) FROM RDB$DATABASE")),
                 QStringList{QStringLiteral("WIN1252")});
        QCOMPARE(m_db->queryColumn(
                     QStringLiteral("SELECT DISTINCT TRIM(CS.RDB$CHARACTER_SET_NAME) FROM RDB$RELATION_FIELDS RF\n"
                                    "JOIN RDB$FIELDS F ON F.RDB$FIELD_NAME = RF.RDB$FIELD_SOURCE\n"
                                    "JOIN RDB$CHARACTER_SETS CS ON CS.RDB$CHARACTER_SET_ID = F.RDB$CHARACTER_SET_ID\n"
                                    "WHERE COALESCE(RF.RDB$SYSTEM_FLAG, 0) = 0 AND F.RDB$FIELD_TYPE = 37")),
                 QStringList{QStringLiteral("WIN1252")});
    }

    // The fallback account can do everything a merge does: read the lists, re-point every
    // reference, delete the duplicate and set the generator of taxpayer codes.
    void fallbackAccountRunsAWholeMerge() {
        ScratchDatabase db;
        const auto tables = referenceTables();
        QString seed = QStringLiteral(
            "INSERT INTO GR_CONTRIBUINTES (COD_EMP_CNT, COD_CNT, CNPJ_CNT, NOME_CNT) VALUES (1, '100', '1', 'A');\n"
            "INSERT INTO GR_CONTRIBUINTES (COD_EMP_CNT, COD_CNT, CNPJ_CNT, NOME_CNT) VALUES (1, '205', '1', 'B');\n"
            "INSERT INTO GR_CONTRIBUINTES (COD_EMP_CNT, COD_CNT, CNPJ_CNT, NOME_CNT) VALUES (1, '99', '2', 'C');\n"
            "INSERT INTO GR_CAD_EMPRESA (COD_EMP, NOME_EMP, CODCNTPREF_EMP) VALUES (1, 'Prefeitura', '205');\n");
        for (auto it = tables.begin(); it != tables.end(); ++it) {
            if (it.key() == QLatin1String("GR_CAD_EMPRESA"))
                continue;
            QStringList columns{QStringLiteral("ID")};
            QStringList values{QStringLiteral("1")};
            if (!it->companyColumn.isEmpty())
                columns << it->companyColumn, values << QStringLiteral("1");
            if (!it->moduleColumn.isEmpty())
                columns << it->moduleColumn, values << QStringLiteral("5");
            for (const QString& c : it->codeColumns)
                columns << c, values << QStringLiteral("'205'");
            seed += QStringLiteral("INSERT INTO %1 (%2) VALUES (%3);\n")
                        .arg(it.key(), columns.join(QStringLiteral(", ")), values.join(QStringLiteral(", ")));
        }
        QVERIFY(db.runSql(seed));

        auto zulqor = db.connect(QStringLiteral("ZULQOR"), QStringLiteral("pelbun"));
        QVERIFY(zulqor);
        const auto e = errorOf([&] {
            zulqor->startTransaction();
            zulqor->select(QStringLiteral("SELECT NOME_EMP FROM GR_CAD_EMPRESA WHERE COD_EMP = 1"));
            for (const QString& sql : uc::mergeStatements(QStringLiteral("100"), QStringLiteral("205")))
                zulqor->execute(sql);
            const QString highest =
                zulqor->select(QStringLiteral("SELECT MAX(CAST(COD_CNT AS INTEGER)) COD FROM GR_CONTRIBUINTES"))
                    .value(0, 0);
            zulqor->execute(QStringLiteral("SET GENERATOR GEN_GR_CONTRIBUINTES TO ") + highest);
            zulqor->commit();
        });
        QVERIFY2(!e, e ? qPrintable(e->message()) : "");

        for (auto it = tables.begin(); it != tables.end(); ++it) {
            for (const QString& c : it->codeColumns) {
                QCOMPARE(db.queryColumn(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2 = '205'").arg(it.key(), c)),
                         QStringList{QStringLiteral("0")});
                QCOMPARE(db.queryColumn(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2 = '100'").arg(it.key(), c)),
                         QStringList{QStringLiteral("1")});
            }
        }
        QCOMPARE(db.queryColumn(QStringLiteral("SELECT COD_CNT FROM GR_CONTRIBUINTES ORDER BY 1")),
                 QStringList({QStringLiteral("100"), QStringLiteral("99")}));
        QCOMPARE(db.queryColumn(QStringLiteral("SELECT GEN_ID(GEN_GR_CONTRIBUINTES, 0) FROM RDB$DATABASE")),
                 QStringList{QStringLiteral("100")});
    }
};

QTEST_GUILESS_MAIN(TestSchema)
#include "tst_schema.moc"
