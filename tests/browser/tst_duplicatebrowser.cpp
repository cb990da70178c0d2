#include "ErrorOf.h"
#include "ScratchDatabase.h"
#include "app/GridBinding.h"
#include "app/GridModel.h"
#include "browser/DuplicateBrowser.h"

#include <QSet>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <map>
#include <memory>
#include <optional>

using uc::DuplicateBrowser;
using uc::List;
using uc::test::errorOf;
using uc::test::ScratchDatabase;

namespace {

struct Taxpayer {
    const char* code;
    std::optional<QString> cnpj;
    const char* name;
};

// Groups: 11111111000111 (3), 11122233344, 111.222.333-44, " 12345", "12345 6", 123456, 12'34,
// 1234, abc, ABC, Ç1. Values that form no group: one single value, empty, blanks only, null.
const std::vector<Taxpayer> taxpayers = {
    {"1", "11111111000111", "CARLA"},
    {"2", "11111111000111", "ANA"},
    {"3", "11111111000111", "BRUNO"},
    {"4", "11122233344", "ZECA"},
    {"5", "11122233344", "MARIA"},
    {"6", "111.222.333-44", "JOAO"},
    {"7", "111.222.333-44", "PEDRO"},
    {"8", " 12345", "LUIZ"},
    {"9", " 12345", "RITA"},
    {"10", "12345 6", "SARA"},
    {"11", "12345 6", "TOMAS"},
    {"12", "123456", "URSULA"},
    {"13", "123456", "VERA"},
    {"14", "12'34", "OLGA"},
    {"15", "12'34", "NINA"},
    {"16", "1234", "ALFA"},
    {"17", "1234", "BETA"},
    {"18", "abc", "CLARA"},
    {"19", "abc", "DORA"},
    {"20", "ABC", "EDSON"},
    {"21", "ABC", "FABIO"},
    {"22", "99999999999", "GABI"},
    {"23", "", "HUGO"},
    {"24", "", "IARA"},
    {"25", "   ", "JULIA"},
    {"26", "   ", "KAUA"},
    {"27", std::nullopt, "LARA"},
    {"28", std::nullopt, "MAURO"},
    {"29", "12", "NELSON"},
    {"30", QString::fromUtf8("Ç1"), "OTAVIO"},
    {"31", QString::fromUtf8("Ç1"), "PAULA"},
};

const QStringList allGroups = {"11111111000111",
                               "11122233344",
                               "111.222.333-44",
                               " 12345",
                               "12345 6",
                               "123456",
                               "12'34",
                               "1234",
                               "abc",
                               "ABC",
                               QString::fromUtf8("Ç1")};

QString literal(const std::optional<QString>& text) {
    if (!text)
        return QStringLiteral("NULL");
    QString quoted = *text;
    return u'\'' + quoted.replace(u'\'', QStringLiteral("''")) + u'\'';
}

QString insertScript(const std::vector<Taxpayer>& rows) {
    QString script;
    for (const Taxpayer& t : rows)
        script += QStringLiteral("INSERT INTO GR_CONTRIBUINTES (COD_EMP_CNT, COD_CNT, CNPJ_CNT, NOME_CNT, "
                                 "LOGIN_INC_CNT, DTA_INC_CNT) VALUES (1, '%1', %2, '%3', 'ADM', "
                                 "'2024-02-29 09:05:00');\n")
                      .arg(QString::fromLatin1(t.code), literal(t.cnpj), QString::fromLatin1(t.name));
    return script;
}

// Codes of the taxpayers of a CPF/CNPJ value, by name.
QStringList codesOf(const QString& cnpj) {
    std::map<QString, QString> byName;
    for (const Taxpayer& t : taxpayers) {
        if (t.cnpj && *t.cnpj == cnpj)
            byName[QString::fromLatin1(t.name)] = QString::fromLatin1(t.code);
    }
    QStringList codes;
    for (const auto& [name, code] : byName)
        codes << code;
    return codes;
}

QStringList column(const List& list, const QString& name) {
    QStringList values;
    const qsizetype c = list.rows().columnIndex(name);
    for (int i = 0; i < list.recordCount(); ++i)
        values << list.rows().value(list.sourceRow(i), c);
    return values;
}

QSet<QString> asSet(const QStringList& values) {
    return QSet<QString>(values.begin(), values.end());
}

// A browser on its own connection to a database, with every statement it sends recorded.
struct Session {
    explicit Session(const ScratchDatabase& db) : connection(db.connect()) {
        QVERIFY(connection);
        browser = std::make_unique<DuplicateBrowser>(*connection);
        connection->setStatementObserver([this](const QString& sql) { statements << sql; });
    }
    std::unique_ptr<uc::db::Connection> connection;
    std::unique_ptr<DuplicateBrowser> browser;
    QStringList statements;
};

} // namespace

class TestDuplicateBrowser : public QObject {
    Q_OBJECT
    std::unique_ptr<ScratchDatabase> m_db;

private slots:
    void initTestCase() {
        m_db = std::make_unique<ScratchDatabase>();
        QVERIFY(m_db->runSql(insertScript(taxpayers)));
    }
    void cleanupTestCase() { m_db.reset(); }

    void queryTexts() {
        QCOMPARE(DuplicateBrowser::groupSql(), QStringLiteral("SELECT CNT.CNPJ_CNT NOME, COUNT(*)\r\n"
                                                              "FROM GR_CONTRIBUINTES CNT\r\n"
                                                              "WHERE TRIM(CNT.CNPJ_CNT) <> ''\r\n"
                                                              "GROUP BY CNT.CNPJ_CNT\r\n"
                                                              "HAVING COUNT(*) >= 2"));
        QCOMPARE(DuplicateBrowser::principalSql("12'34"),
                 QStringLiteral("SELECT CNT.COD_CNT, CNT.CNPJ_CNT, CNT.NOME_CNT, CNT.TIPOLOG_CNT, CNT.NOM_LOG_CNT, "
                                "CNT.NUMERO_CNT, CNT.NOM_BAI_CNT, CNT.CEP_CNT, CNT.NOM_CID_CNT FROM GR_CONTRIBUINTES "
                                "CNT WHERE CNT.CNPJ_CNT = '12''34' ORDER BY CNT.NOME_CNT "));
        QCOMPARE(DuplicateBrowser::memberSql("'x''"),
                 QStringLiteral("SELECT CNT.COD_CNT, CNT.CNPJ_CNT, CNT.NOME_CNT, CNT.TIPOLOG_CNT, CNT.NOM_LOG_CNT, "
                                "CNT.NUMERO_CNT, CNT.NOM_BAI_CNT, CNT.CEP_CNT, CNT.NOM_CID_CNT, CNT.LOGIN_INC_CNT, "
                                "CNT.DTA_INC_CNT, CNT.LOGIN_ALT_CNT, CNT.DTA_ALT_CNT FROM GR_CONTRIBUINTES CNT WHERE "
                                "CNT.CNPJ_CNT = '''x''''' ORDER BY CNT.NOME_CNT "));
    }

    // The texts the two lists start with select the columns of their reload texts and no row, on
    // a database where taxpayers have every kind of CPF/CNPJ, empty and null among them.
    void initialTextsSelectNoTaxpayer() {
        auto c = m_db->connect();
        QVERIFY(c);
        const auto principal = c->select(DuplicateBrowser::initialPrincipalSql());
        const auto member = c->select(DuplicateBrowser::initialMemberSql());
        QCOMPARE(principal.rowCount(), 0);
        QCOMPARE(member.rowCount(), 0);
        QCOMPARE(principal.columns(), c->select(DuplicateBrowser::principalSql("1234")).columns());
        QCOMPARE(member.columns(), c->select(DuplicateBrowser::memberSql("1234")).columns());
        QCOMPARE(principal.columnCount(), 9);
        QCOMPARE(member.columnCount(), 13);
    }

    void groupListHoldsEveryRepeatedValue() {
        Session s(*m_db);
        QSignalSpy scrolls(&s.browser->cds1(), &List::afterScroll);
        QCOMPARE(s.browser->openGroups(), int(allGroups.size()));
        QCOMPARE(asSet(column(s.browser->cds1(), "NOME")), asSet(allGroups));
        QCOMPARE(scrolls.count(), 1);
        for (int i = 0; i < s.browser->cds1().recordCount(); ++i) {
            s.browser->cds1().moveTo(i);
            const QString cnpj = s.browser->cds1().fieldAsText("NOME");
            QCOMPARE(s.browser->cds1().fieldAsText("COUNT"), QString::number(codesOf(cnpj).size()));
            QCOMPARE(column(s.browser->cds2(), "COD_CNT"), codesOf(cnpj));
            QCOMPARE(column(s.browser->cds3(), "COD_CNT"), codesOf(cnpj));
        }
    }

    // The show step: group list, then the principal and member lists reopened with the texts the
    // group list's first row gave them.
    void showStepLoadsTheFirstGroup() {
        Session s(*m_db);
        s.browser->openGroups();
        s.browser->openPrincipals();
        s.browser->openMembers();
        const QString first = s.browser->cds1().fieldAsText("NOME");
        QCOMPARE(s.statements, QStringList({DuplicateBrowser::groupSql(), DuplicateBrowser::principalSql(first),
                                            DuplicateBrowser::memberSql(first), DuplicateBrowser::principalSql(first),
                                            DuplicateBrowser::memberSql(first)}));
        QCOMPARE(column(s.browser->cds2(), "COD_CNT"), codesOf(first));
        QCOMPARE(column(s.browser->cds3(), "COD_CNT"), codesOf(first));
    }

    void principalIsTheTaxpayerWhoseNameSortsFirst() {
        Session s(*m_db);
        s.browser->openGroups();
        s.browser->Edit1Change("11111111000111");
        List& principals = s.browser->cds2();
        QCOMPARE(column(principals, "NOME_CNT"), QStringList({"ANA", "BRUNO", "CARLA"}));
        QCOMPARE(principals.fieldAsText("COD_CNT"), QStringLiteral("2"));
        QVERIFY(!principals.fieldIsNull("COD_CNT"));
        QCOMPARE(principals.rows().columnCount(), 9);

        List& members = s.browser->cds3();
        QCOMPARE(members.rows().columnCount(), 13);
        QCOMPARE(members.recordCount(), 3);
        QStringList walked;
        for (members.first(); !members.eof(); members.next())
            walked << members.fieldAsText("COD_CNT") + u' ' + members.fieldAsText("LOGIN_INC_CNT");
        QCOMPARE(walked, QStringList({"2 ADM", "3 ADM", "1 ADM"}));
    }

    void search_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("groups");
        QTest::addColumn<bool>("filtered");

        QTest::newRow("first characters")
            << "111" << QStringList{"11111111000111", "11122233344", "111.222.333-44"} << true;
        QTest::newRow("more characters") << "1112" << QStringList{"11122233344"} << true;
        QTest::newRow("empty") << "" << allGroups << false;
        QTest::newRow("blanks only") << "   " << allGroups << false;
        QTest::newRow("tab and blank") << "\t " << allGroups << false;
        QTest::newRow("control characters") << "\x01\x1f " << allGroups << false;
        QTest::newRow("no-break space is not a blank") << QStringLiteral("\u00a0") << QStringList{} << true;
        QTest::newRow("leading blank") << " 1" << QStringList{" 12345"} << true;
        QTest::newRow("trailing blank") << "12345 " << QStringList{"12345 6"} << true;
        QTest::newRow("without the blank") << "12345" << QStringList{"12345 6", "123456"} << true;
        QTest::newRow("percent first") << "%000" << QStringList{"11111111000111"} << true;
        QTest::newRow("percent first, punctuation") << "%.333" << QStringList{"111.222.333-44"} << true;
        QTest::newRow("underscore") << "111_222" << QStringList{"111.222.333-44"} << true;
        QTest::newRow("underscore on a quote") << "12_3" << QStringList{"12'34"} << true;
        QTest::newRow("no match") << "9" << QStringList{} << true;
        QTest::newRow("lower case") << "a" << QStringList{"abc"} << true;
        QTest::newRow("upper case") << "A" << QStringList{"ABC"} << true;
        QTest::newRow("quote") << "12'" << QStringList{"12'34"} << true;
        QTest::newRow("quote and more") << "12'34" << QStringList{"12'34"} << true;
        QTest::newRow("two quotes are two quotes") << "12''" << QStringList{} << true;
        QTest::newRow("quote that would end a literal") << "' OR ''='" << QStringList{} << true;
        QTest::newRow("accented letter") << QString::fromUtf8("Ç") << QStringList{QString::fromUtf8("Ç1")} << true;
        QTest::newRow("accented letter, other case") << QString::fromUtf8("ç") << QStringList{} << true;
    }
    void search() {
        QFETCH(QString, text);
        QFETCH(QStringList, groups);
        QFETCH(bool, filtered);
        Session s(*m_db);
        s.browser->openGroups();
        const QString unfilteredFirst = s.browser->cds1().fieldAsText("NOME");
        QSignalSpy scrolls(&s.browser->cds1(), &List::afterScroll);
        s.statements.clear();

        s.browser->Edit1Change(text);

        List& group = s.browser->cds1();
        QCOMPARE(asSet(column(group, "NOME")), asSet(groups));
        QCOMPARE(group.recordCount(), groups.size());
        const bool blank = !filtered;
        QCOMPARE(group.filtered(), filtered);
        // One reload for the whole list's first group, and one more for the first passing group
        // when text remains.
        QCOMPARE(scrolls.count(), blank ? 1 : 2);
        QCOMPARE(s.statements.size(), blank ? 2 : 4);
        QCOMPARE(s.statements.mid(0, 2), QStringList({DuplicateBrowser::principalSql(unfilteredFirst),
                                                      DuplicateBrowser::memberSql(unfilteredFirst)}));
        if (groups.isEmpty()) {
            QCOMPARE(group.currentRow(), -1);
            QCOMPARE(s.statements.mid(2),
                     QStringList({DuplicateBrowser::initialPrincipalSql(), DuplicateBrowser::initialMemberSql()}));
            QVERIFY(s.browser->cds2().active());
            QCOMPARE(s.browser->cds2().recordCount(), 0);
            QCOMPARE(s.browser->cds2().fieldAsText("COD_CNT"), QString());
            QCOMPARE(s.browser->cds3().recordCount(), 0);
            return;
        }
        QCOMPARE(group.currentRow(), 0);
        const QString current = group.fieldAsText("NOME");
        QCOMPARE(current, column(group, "NOME").first());
        if (blank)
            QCOMPARE(current, unfilteredFirst);
        else
            QCOMPARE(s.statements.mid(2),
                     QStringList({DuplicateBrowser::principalSql(current), DuplicateBrowser::memberSql(current)}));
        QCOMPARE(column(s.browser->cds2(), "COD_CNT"), codesOf(current));
        QCOMPARE(column(s.browser->cds3(), "COD_CNT"), codesOf(current));
        QCOMPARE(column(s.browser->cds3(), "CNPJ_CNT"), QStringList(codesOf(current).size(), current));
    }

    void narrowingAndDeletingRestoresTheWholeList() {
        Session s(*m_db);
        s.browser->openGroups();
        const QString first = s.browser->cds1().fieldAsText("NOME");
        for (const char* typed : {"1", "11", "111", "1112"})
            s.browser->Edit1Change(typed);
        QCOMPARE(column(s.browser->cds1(), "NOME"), QStringList{"11122233344"});
        QCOMPARE(column(s.browser->cds2(), "COD_CNT"), QStringList({"5", "4"}));
        for (const char* typed : {"111", "11", "1", ""})
            s.browser->Edit1Change(typed);
        QVERIFY(!s.browser->cds1().filtered());
        QCOMPARE(s.browser->cds1().recordCount(), int(allGroups.size()));
        QCOMPARE(s.browser->cds1().currentRow(), 0);
        QCOMPARE(s.browser->cds1().fieldAsText("NOME"), first);
        QCOMPARE(column(s.browser->cds2(), "COD_CNT"), codesOf(first));
        QCOMPARE(column(s.browser->cds3(), "COD_CNT"), codesOf(first));
    }

    // With no current group the lists hold no taxpayer, also when merely reopened, although
    // taxpayers with an empty CPF/CNPJ exist.
    void noCurrentGroupKeepsTheListsEmpty() {
        Session s(*m_db);
        s.browser->openGroups();
        s.browser->Edit1Change("9");
        s.browser->openPrincipals();
        s.browser->openMembers();
        QVERIFY(s.browser->cds2().active());
        QCOMPARE(s.browser->cds2().recordCount(), 0);
        QCOMPARE(s.browser->cds3().recordCount(), 0);
    }

    void typingWhileClosedOnlyRecordsTheFilter() {
        Session s(*m_db);
        QSignalSpy scrolls(&s.browser->cds1(), &List::afterScroll);
        s.browser->Edit1Change("111");
        QVERIFY(s.statements.isEmpty());
        QCOMPARE(scrolls.count(), 0);
        QVERIFY(!s.browser->cds1().active());
        QVERIFY(s.browser->cds1().filtered());
        QCOMPARE(s.browser->cds2().recordCount(), 0);

        QCOMPARE(s.browser->openGroups(), 3);
        QCOMPARE(asSet(column(s.browser->cds1(), "NOME")), asSet({"11111111000111", "11122233344", "111.222.333-44"}));
        const QString first = s.browser->cds1().fieldAsText("NOME");
        QCOMPARE(s.statements, QStringList({DuplicateBrowser::groupSql(), DuplicateBrowser::principalSql(first),
                                            DuplicateBrowser::memberSql(first)}));
        QCOMPARE(scrolls.count(), 1);
    }

    void emptyDatabaseShowsNothing() {
        ScratchDatabase db;
        QVERIFY(db.runSql(insertScript({{"1", "11111111000111", "ANA"}, {"2", "", "BIA"}, {"3", "", "CAIO"}})));
        Session s(db);
        QSignalSpy scrolls(&s.browser->cds1(), &List::afterScroll);
        QCOMPARE(s.browser->openGroups(), 0);
        s.browser->openPrincipals();
        s.browser->openMembers();
        QCOMPARE(scrolls.count(), 0);
        QCOMPARE(s.statements, QStringList({DuplicateBrowser::groupSql(), DuplicateBrowser::initialPrincipalSql(),
                                            DuplicateBrowser::initialMemberSql()}));
        for (List* list : {&s.browser->cds1(), &s.browser->cds2(), &s.browser->cds3()}) {
            QVERIFY(list->active());
            QCOMPARE(list->recordCount(), 0);
        }
        s.browser->Edit1Change("1");
        QCOMPARE(s.browser->cds2().recordCount(), 0);
    }

    // After a merge: all three lists read again, the group list keeping its filter.
    void reloadAllReadsTheDatabaseAgain() {
        ScratchDatabase db;
        QVERIFY(db.runSql(insertScript(taxpayers)));
        Session s(db);
        s.browser->openGroups();
        s.browser->Edit1Change("111");
        QVERIFY(db.runSql("DELETE FROM GR_CONTRIBUINTES WHERE COD_CNT IN ('7', '3');"));
        s.statements.clear();
        s.browser->reloadAll();
        QCOMPARE(asSet(column(s.browser->cds1(), "NOME")), asSet({"11111111000111", "11122233344"}));
        const QString first = s.browser->cds1().fieldAsText("NOME");
        QCOMPARE(s.statements, QStringList({DuplicateBrowser::groupSql(), DuplicateBrowser::principalSql(first),
                                            DuplicateBrowser::memberSql(first), DuplicateBrowser::principalSql(first),
                                            DuplicateBrowser::memberSql(first)}));
        QStringList remaining = codesOf(first);
        remaining.removeAll("3");
        QCOMPARE(column(s.browser->cds2(), "COD_CNT"), remaining);
        QCOMPARE(column(s.browser->cds3(), "COD_CNT"), remaining);
    }

    void clickOnTheCurrentGroupReloadsNothing() {
        Session s(*m_db);
        uc::GridModel model(s.browser->cds1(), DuplicateBrowser::groupGridColumns());
        QTableView view;
        new uc::GridBinding(view, model);
        view.resize(400, 400);
        view.show();
        s.browser->openGroups();
        s.statements.clear();
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.visualRect(model.index(0, 1)).center());
        QVERIFY(s.statements.isEmpty());

        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.visualRect(model.index(2, 0)).center());
        const QString third = s.browser->cds1().fieldAsText("NOME");
        QCOMPARE(s.browser->cds1().currentRow(), 2);
        QCOMPARE(s.statements,
                 QStringList({DuplicateBrowser::principalSql(third), DuplicateBrowser::memberSql(third)}));
        QCOMPARE(column(s.browser->cds2(), "COD_CNT"), codesOf(third));

        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.visualRect(model.index(2, 0)).center());
        QCOMPARE(s.statements.size(), 2);
    }

    // The member query fails while the principal query works: the member list stays closed and
    // the error reaches the caller.
    void failingMemberListStaysClosed() {
        ScratchDatabase db;
        QVERIFY(db.runSql(insertScript(taxpayers)));
        Session s(db);
        s.browser->openGroups();
        QVERIFY(db.runSql("ALTER TABLE GR_CONTRIBUINTES DROP LOGIN_ALT_CNT;"));
        const auto error = errorOf([&] { s.browser->Edit1Change("1112"); });
        QVERIFY(error);
        QVERIFY2(error->message().contains("LOGIN_ALT_CNT"), qPrintable(error->message()));
        QVERIFY(s.browser->cds2().active());
        QVERIFY(!s.browser->cds3().active());
        QCOMPARE(s.browser->cds3().recordCount(), 0);
    }

    // The connection is lost: the principal list fails, and the member list holds no taxpayer of
    // the group it showed before.
    void failingPrincipalListEmptiesTheMemberList() {
        ScratchDatabase db;
        QVERIFY(db.runSql(insertScript(taxpayers)));
        Session s(db);
        s.browser->openGroups();
        s.browser->cds1().moveTo(1);
        QVERIFY(s.browser->cds3().recordCount() > 0);
        QVERIFY(db.runSql("DELETE FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID <> CURRENT_CONNECTION;"));
        s.statements.clear();
        const auto error = errorOf([&] { s.browser->cds1().moveTo(2); });
        QVERIFY(error);
        QCOMPARE(s.statements.size(), 1);
        QVERIFY(!s.browser->cds2().active());
        QVERIFY(!s.browser->cds3().active());
        QCOMPARE(s.browser->cds3().fieldAsText("COD_CNT"), QString());
        QCOMPARE(s.browser->cds1().currentRow(), 2);
    }
};

QTEST_MAIN(TestDuplicateBrowser)
#include "tst_duplicatebrowser.moc"
