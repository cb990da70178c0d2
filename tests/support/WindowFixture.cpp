#include "WindowFixture.h"

#include "browser/DuplicateBrowser.h"
#include "common/Error.h"
#include "connection/ConnectionSetup.h"
#include "db/Connection.h"
#include "db/RowSet.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTest>
#include <QTimer>

namespace uc::test {

ShownWindow::ShownWindow(const QString& programFolder)
    : m_host(std::make_unique<SystemHost>(programFolder)), m_boxes(std::make_unique<MessageBoxRecorder>()),
      m_window(std::make_unique<TFPrin>(*m_host)) {
    TFPrin* window = m_window.get();
    // The same set-up as the window's own, counted.
    window->Conexao().setBeforeConnect([this, window] {
        ++m_setups;
        window->setup().ConexaoBeforeConnect();
    });
    window->Conexao().setStatementObserver([this](const QString& sql) {
        m_sent << sql;
        if (m_beforeStatement)
            m_beforeStatement(sql);
    });
    window->Conexao().setCommitObserver([this] {
        if (m_beforeCommit)
            m_beforeCommit();
    });
    window->show();
    m_exposed = QTest::qWaitForWindowExposed(window);
    if (!m_exposed)
        qWarning("the main window was not exposed");
}

ShownWindow::~ShownWindow() {
    m_window.reset();
    m_boxes.reset();
}

QString ShownWindow::describeBoxes() const {
    QStringList texts;
    for (const MessageRecord& m : m_boxes->messages())
        texts << QStringLiteral("[%1] %2").arg(m.kind == MessageKind::Error ? "erro" : "info", m.text);
    return texts.join(QLatin1Char('\n'));
}

QTableView* grid(QWidget& window, const char* name) {
    return window.findChild<QTableView*>(QLatin1String(name));
}

QAbstractButton* button(QWidget& window, const char* name) {
    return window.findChild<QAbstractButton*>(QLatin1String(name));
}

QStringList gridColumn(QTableView* view, int column) {
    QStringList values;
    for (int row = 0; view && row < view->model()->rowCount(); ++row)
        values << view->model()->index(row, column).data().toString();
    return values;
}

QStringList logLines(QWidget& window) {
    const QString text = window.findChild<QPlainTextEdit*>(QStringLiteral("Memo"))->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

bool clickRow(QTableView* view, int column, const QString& value) {
    const int row = gridColumn(view, column).indexOf(value);
    if (row < 0)
        return false;
    const QModelIndex index = view->model()->index(row, column);
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
    return true;
}

bool selectGroup(TFPrin& window, const QString& cnpj) {
    if (!clickRow(grid(window, "DBGrid1"), 0, cnpj))
        return false;
    return window.browser().cds1().fieldAsText(QStringLiteral("NOME")) == cnpj && window.browser().cds3().active() &&
           window.browser().cds3().recordCount() > 0;
}

bool sairEndsTheProgram(TFPrin& window) {
    auto* sair = window.findChild<QAbstractButton*>(QStringLiteral("BtnSair"));
    if (!sair || !window.isVisible())
        return false;
    QTimer::singleShot(0, &window, [sair] { QTest::mouseClick(sair, Qt::LeftButton); });
    // Should the loop not end, this ends it with another code.
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
    giveUp.start(10000);
    return QApplication::exec() == 0 && !window.isVisible();
}

QString attachmentId(db::Connection& connection) {
    return connection.select(QStringLiteral("SELECT CURRENT_CONNECTION FROM RDB$DATABASE")).value(0, 0);
}

bool killAttachment(const ScratchDatabase& db, const QString& id) {
    auto admin = db.connect();
    if (!admin)
        return false;
    try {
        admin->execute(QStringLiteral("DELETE FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID = ") + id);
    } catch (const Error& e) {
        qWarning("MON$ATTACHMENTS: %s", qPrintable(e.message()));
        return false;
    }
    return true;
}

QStringList dumpDatabase(const ScratchDatabase& db) {
    auto connection = db.connect();
    if (!connection)
        return {QStringLiteral("<no connection>")};
    QStringList lines;
    try {
        const db::RowSet tables = connection->select(
            QStringLiteral("SELECT TRIM(RDB$RELATION_NAME) FROM RDB$RELATIONS "
                           "WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0 AND RDB$VIEW_BLR IS NULL ORDER BY 1"));
        for (qsizetype t = 0; t < tables.rowCount(); ++t) {
            const QString table = tables.value(t, 0);
            const db::RowSet rows = connection->select(QStringLiteral("SELECT * FROM ") + table);
            for (qsizetype r = 0; r < rows.rowCount(); ++r) {
                QStringList values;
                for (qsizetype c = 0; c < rows.columnCount(); ++c)
                    values << (rows.isNull(r, c) ? QStringLiteral("<null>") : rows.value(r, c));
                lines << table + QStringLiteral(": ") + values.join(QLatin1Char('|'));
            }
        }
        lines.sort();
        lines << QStringLiteral("GEN_GR_CONTRIBUINTES: ") +
                     connection->select(QStringLiteral("SELECT GEN_ID(GEN_GR_CONTRIBUINTES, 0) FROM RDB$DATABASE"))
                         .value(0, 0);
    } catch (const Error& e) {
        lines << QStringLiteral("<error> ") + e.message();
    }
    return lines;
}

} // namespace uc::test
