#include "db/Connection.h"

#include "common/Error.h"
#include "common/Win1252.h"
#include "db/ClientLibrary.h"
#include "db/Handles.h"
#include "db/Statement.h"

#include <QElapsedTimer>
#include <QStringList>
#include <chrono>
#include <iberror.h>
#include <mutex>
#include <optional>
#include <type_traits>

using namespace Firebird;

namespace uc::db {

namespace {

// The attachment is gone (network failure, server shutdown, attachment killed): the next use has
// to attach afresh instead of failing on the dead one for the rest of the run.
bool connectionLost(const Error& e) {
    static const long lost[] = {
        isc_network_error, isc_net_read_err, isc_net_write_err, isc_lost_db_connection, isc_att_shutdown, isc_shutdown,
    };
    for (long code : lost) {
        if (e.hasGdsCode(code))
            return true;
    }
    return false;
}

// A character that cannot be sent is often one that cannot be seen either (a control character,
// a letter the box's font lacks): each is named by its code point, "U+0081", a lone surrogate by
// its own value.
QString codePoints(const QString& characters) {
    QStringList names;
    for (qsizetype i = 0; i < characters.size(); ++i) {
        const QChar c = characters.at(i);
        if (c == QLatin1Char(' '))
            continue;
        char32_t point = c.unicode();
        if (c.isHighSurrogate() && i + 1 < characters.size() && characters.at(i + 1).isLowSurrogate())
            point = QChar::surrogateToUcs4(c, characters.at(++i));
        names << QStringLiteral("U+%1").arg(uint(point), 4, 16, QLatin1Char('0')).toUpper();
    }
    return names.join(QLatin1Char(' '));
}

QByteArray encodeStatement(const QString& sql) {
    QByteArray bytes;
    QString bad;
    if (!win1252::encode(sql, &bytes, &bad))
        throw Error(QStringLiteral("O comando contém caracteres que não podem ser enviados ao banco de dados "
                                   "(Windows-1252): %1")
                        .arg(codePoints(bad)));
    return bytes;
}

// The client is handed these texts as C strings, which a NUL would end early: the part before it
// would name another database or library than the settings do. Refused, not cut.
void refuseNul(const QString& text, const QString& what) {
    if (text.contains(QChar(0)))
        throw Error(QStringLiteral("%1 contém o caractere nulo e não pode ser usado: %2")
                        .arg(what, QString(text).replace(QChar(0), QStringLiteral("\\0"))));
}

class XpbBuilder {
public:
    XpbBuilder(const ClientLibrary& lib, unsigned kind)
        : m_status(lib), m_builder(lib.util()->getXpbBuilder(&m_status, kind, nullptr, 0)) {}
    ~XpbBuilder() { m_builder->dispose(); }
    XpbBuilder(const XpbBuilder&) = delete;
    XpbBuilder& operator=(const XpbBuilder&) = delete;

    void tag(unsigned char t) { m_builder->insertTag(&m_status, t); }
    void integer(unsigned char t, int value) { m_builder->insertInt(&m_status, t, value); }
    void string(unsigned char t, const QByteArray& value) {
        m_builder->insertBytes(&m_status, t, value.constData(), unsigned(value.size()));
    }
    QByteArray bytes() {
        const unsigned length = m_builder->getBufferLength(&m_status);
        const unsigned char* buffer = m_builder->getBuffer(&m_status);
        return QByteArray(reinterpret_cast<const char*>(buffer), qsizetype(length));
    }

private:
    Status m_status;
    IXpbBuilder* m_builder;
};

// A location of absurd length (a settings value gone wrong) is cut in its middle in messages.
QString shownLocation(const QString& location) {
    constexpr qsizetype most = 300;
    if (location.size() <= most)
        return location;
    return location.left(most / 2) + QStringLiteral("…") + location.right(most / 2);
}

// The client's own text says what failed but not where: the operator is told which database the
// program tried to reach, and, when the server never answered, for how long it waited.
Error attachFailure(const Error& e, const QString& location, bool timedOut) {
    const QString where = shownLocation(location);
    const QString first =
        timedOut ? QStringLiteral("Não foi possível conectar ao banco de dados %1: o servidor não respondeu em %2 "
                                  "segundos.")
                       .arg(where)
                       .arg(Connection::kConnectTimeoutSeconds)
                 : QStringLiteral("Não foi possível conectar ao banco de dados %1.").arg(where);
    return Error(first + QLatin1Char('\n') + e.message(), e.sqlState(), e.gdsCodes());
}

} // namespace

struct Connection::Impl {
    QString name;
    QString vendorLib;
    std::vector<std::pair<QString, QString>> params;
    std::function<void()> beforeConnect;
    std::function<void(const QString&)> observer;
    std::function<void()> commitObserver;

    const ClientLibrary* lib = nullptr;
    AttachmentHandle attachment;
    TransactionHandle transaction; // the explicit one, from startTransaction()
    TransactionHandle sharedReads; // the reads' own while a SharedReads lives
    int sharedReadsGuards = 0;
    unsigned dialect = 3;

    // What interrupt(), from another thread, may reach. Only the connection's own thread changes
    // the attachment, and never while a call is in progress.
    std::mutex interruptMutex;
    bool interrupted = false;
    IAttachment* inProgress = nullptr; // the attachment of the call in progress, if it has one
    bool callInProgress = false;
    unsigned callNumber = 0;
    unsigned cancelledCall = 0; // the call that interrupt() first cancelled, and when
    std::chrono::steady_clock::time_point cancelledAt;

    void refuseWhenInterrupted() const {
        if (interrupted)
            throw Error(QStringLiteral("O programa está sendo encerrado: nada mais é enviado ao banco de dados."));
    }

    // Runs a call that interrupt() may cancel, and refuses it once the connection is interrupted.
    template <class Work> auto interruptible(Work&& work) {
        {
            std::lock_guard lock(interruptMutex);
            refuseWhenInterrupted();
            inProgress = attachment.get();
            callInProgress = true;
            ++callNumber;
        }
        struct Done {
            Impl& d;
            ~Done() {
                std::lock_guard lock(d.interruptMutex);
                d.inProgress = nullptr;
                d.callInProgress = false;
            }
        } done{*this};
        return work();
    }

    enum class Access { ReadWrite, ReadOnly };

    TransactionHandle begin(Access access = Access::ReadWrite) {
        XpbBuilder tpb(*lib, IXpbBuilder::TPB);
        // Read committed that sees the latest committed version and waits on a locked row.
        tpb.tag(access == Access::ReadOnly ? isc_tpb_read : isc_tpb_write);
        tpb.tag(isc_tpb_read_committed);
        tpb.tag(isc_tpb_rec_version);
        tpb.tag(isc_tpb_wait);
        const QByteArray bytes = tpb.bytes();
        Status status(*lib);
        return TransactionHandle(
            lib, attachment->startTransaction(&status, unsigned(bytes.size()),
                                              reinterpret_cast<const unsigned char*>(bytes.constData())));
    }

    // Ends the attachment without reporting anything: for a dead connection and the destructor.
    void drop() noexcept {
        transaction.reset();
        sharedReads.reset();
        attachment.reset();
    }

    void failed(const Error& e) {
        if (connectionLost(e))
            drop();
    }

    // Runs a statement in the explicit transaction, or in one of its own committed at the end.
    // A read of its own is read-only, which the server starts and ends far more cheaply: every move
    // through the group list runs two reads, and takes about half as long as with read-write ones.
    template <class Work> auto run(Access access, Work&& work) {
        TransactionHandle own;
        try {
            return interruptible([&] {
                ITransaction* t = transaction.get();
                if (!t && access == Access::ReadOnly && sharedReadsGuards > 0) {
                    if (!sharedReads)
                        sharedReads = begin(Access::ReadOnly);
                    t = sharedReads.get();
                }
                if (!t) {
                    own = begin(access);
                    t = own.get();
                }
                if constexpr (std::is_void_v<decltype(work(t))>) {
                    work(t);
                    if (own)
                        own.commit();
                } else {
                    auto result = work(t);
                    if (own)
                        own.commit();
                    return result;
                }
            });
        } catch (const Error& e) {
            own.reset();
            failed(e);
            throw;
        }
    }
};

Connection::Connection() : d(std::make_unique<Impl>()) {}

Connection::~Connection() {
    d->drop();
}

void Connection::setConnectionName(const QString& name) {
    d->name = name;
}

const QString& Connection::connectionName() const {
    return d->name;
}

void Connection::setVendorLib(const QString& path) {
    d->vendorLib = path;
}

const QString& Connection::vendorLib() const {
    return d->vendorLib;
}

void Connection::setParam(const QString& name, const QString& value) {
    for (auto& [n, v] : d->params) {
        if (n.compare(name, Qt::CaseInsensitive) == 0) {
            n = name;
            v = value;
            return;
        }
    }
    d->params.emplace_back(name, value);
}

QString Connection::param(const QString& name) const {
    for (const auto& [n, v] : d->params) {
        if (n.compare(name, Qt::CaseInsensitive) == 0)
            return v;
    }
    return {};
}

const std::vector<std::pair<QString, QString>>& Connection::params() const {
    return d->params;
}

void Connection::setBeforeConnect(std::function<void()> hook) {
    d->beforeConnect = std::move(hook);
}

void Connection::open() {
    if (d->attachment)
        return;
    {
        std::lock_guard lock(d->interruptMutex);
        d->refuseWhenInterrupted();
    }
    if (d->beforeConnect)
        d->beforeConnect();
    if (d->vendorLib.isEmpty())
        throw Error(QStringLiteral("Não foi possível carregar a biblioteca do cliente Firebird: (nenhuma indicada)"));
    const QString location = param(QStringLiteral("Database"));
    refuseNul(d->vendorLib, QStringLiteral("O caminho da biblioteca do cliente Firebird"));
    refuseNul(location, QStringLiteral("O local do banco de dados"));
    const ClientLibrary& lib = ClientLibrary::load(d->vendorLib);

    bool dialectOk = false;
    const unsigned dialect = param(QStringLiteral("SQLDialect")).toUInt(&dialectOk);

    XpbBuilder dpb(lib, IXpbBuilder::DPB);
    dpb.string(isc_dpb_user_name, param(QStringLiteral("User_Name")).toLocal8Bit());
    dpb.string(isc_dpb_password, param(QStringLiteral("Password")).toLocal8Bit());
    dpb.integer(isc_dpb_sql_dialect, int(dialectOk ? dialect : 3));
    const QString charSet = param(QStringLiteral("ServerCharSet"));
    if (!charSet.isEmpty())
        dpb.string(isc_dpb_lc_ctype, charSet.toLatin1());
    // How long the client waits for the server to answer the connection at all.
    dpb.integer(isc_dpb_connect_timeout, kConnectTimeoutSeconds);
    const QByteArray buffer = dpb.bytes();
    const QByteArray database = location.toLocal8Bit();

    IAttachment* attachment = d->interruptible([&] {
        Status status(lib);
        QElapsedTimer waited;
        waited.start();
        try {
            return lib.provider()->attachDatabase(&status, database.constData(), unsigned(buffer.size()),
                                                  reinterpret_cast<const unsigned char*>(buffer.constData()));
        } catch (const Error& e) {
            throw attachFailure(e, location, waited.elapsed() >= kConnectTimeoutSeconds * 1000);
        }
    });
    d->lib = &lib;
    d->attachment = AttachmentHandle(&lib, attachment);
    d->dialect = dialectOk ? dialect : 3;
}

void Connection::close() {
    if (!d->attachment)
        return;
    // Each step is tried once whatever the one before did; the transactions end before the
    // detach, which would refuse to leave one open. The first failure is reported.
    std::optional<Error> firstError;
    auto attempt = [&](auto&& step) {
        try {
            step();
        } catch (const Error& e) {
            if (!firstError)
                firstError = e;
        }
    };
    attempt([&] { d->transaction.rollback(); });
    attempt([&] { d->sharedReads.rollback(); });
    attempt([&] { d->attachment.detach(); });
    if (firstError)
        throw *firstError;
}

bool Connection::connected() const {
    return bool(d->attachment);
}

bool Connection::inTransaction() const {
    return bool(d->transaction);
}

void Connection::startTransaction() {
    if (d->transaction)
        throw Error(QStringLiteral("Já existe uma transação ativa nesta conexão."));
    open();
    try {
        d->transaction = d->interruptible([&] { return d->begin(); });
    } catch (const Error& e) {
        d->failed(e);
        throw;
    }
}

void Connection::commit() {
    if (!d->transaction)
        throw Error(QStringLiteral("Não há transação ativa para confirmar."));
    if (d->commitObserver)
        d->commitObserver();
    try {
        d->interruptible([&] { d->transaction.commit(); });
    } catch (const Error& e) {
        d->failed(e);
        throw;
    }
}

void Connection::rollback() {
    if (!d->transaction)
        return;
    try {
        d->transaction.rollback();
    } catch (const Error& e) {
        d->failed(e);
        throw;
    }
}

void Connection::interrupt() {
    std::lock_guard lock(d->interruptMutex);
    d->interrupted = true;
    if (!d->callInProgress || !d->inProgress || !d->lib || d->lib->isShutDown())
        return;
    // The first time the server is asked to cancel the call; a call still running half a second
    // later is not being answered (a server that went silent): its network connection is closed.
    const auto now = std::chrono::steady_clock::now();
    if (d->cancelledCall != d->callNumber) {
        d->cancelledCall = d->callNumber;
        d->cancelledAt = now;
    }
    const bool abort = now - d->cancelledAt >= std::chrono::milliseconds(500);
    try {
        Status status(*d->lib);
        d->inProgress->cancelOperation(&status, abort ? fb_cancel_abort : fb_cancel_raise);
    } catch (const Error&) {
        // Nothing running on the server yet, or no longer: the next call is refused anyway, and
        // a call that has just started is cancelled at the next interrupt().
    }
}

bool Connection::interrupted() const {
    std::lock_guard lock(d->interruptMutex);
    return d->interrupted;
}

Connection::SharedReads::SharedReads(Connection& connection) : m_connection(connection) {
    ++m_connection.d->sharedReadsGuards;
}

Connection::SharedReads::~SharedReads() {
    Impl& d = *m_connection.d;
    if (--d.sharedReadsGuards > 0 || !d.sharedReads)
        return;
    try {
        d.sharedReads.commit();
    } catch (const Error& e) {
        // Nothing was written in it: letting it go is enough.
        d.sharedReads.reset();
        d.failed(e);
    }
}

RowSet Connection::select(const QString& sql) {
    const QByteArray text = encodeStatement(sql);
    open();
    if (d->observer)
        d->observer(sql);
    return d->run(Impl::Access::ReadOnly, [&](ITransaction* t) {
        return statement::select(*d->lib, d->attachment.get(), t, text, d->dialect);
    });
}

void Connection::execute(const QString& sql) {
    const QByteArray text = encodeStatement(sql);
    open();
    if (d->observer)
        d->observer(sql);
    d->run(Impl::Access::ReadWrite,
           [&](ITransaction* t) { statement::execute(*d->lib, d->attachment.get(), t, text, d->dialect); });
}

void Connection::setStatementObserver(std::function<void(const QString&)> observer) {
    d->observer = std::move(observer);
}

void Connection::setCommitObserver(std::function<void()> observer) {
    d->commitObserver = std::move(observer);
}

} // namespace uc::db
