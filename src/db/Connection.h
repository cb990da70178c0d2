#pragma once

#include "db/RowSet.h"

#include <QString>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace uc::db {

// One attachment to a Firebird database, configured by a name=value parameter list and the path of
// the client library, and opened on demand. Every statement the program sends goes through
// select() or execute(): that is where its text is converted to Windows-1252 (a character that
// Windows-1252 lacks is refused before anything is sent) and where statement observers hear of it.
//
// Without an explicit transaction each statement runs in a transaction of its own, committed when
// the statement is done (a select() after all its rows are read; its transaction is read-only).
// With one, statements run in it.
// Every failure is thrown as uc::Error. When the server reports the attachment lost (network
// failure, shutdown, attachment killed), the connection closes itself, dropping its transaction,
// so that the next use attaches afresh through the before-connect hook.
//
// select() gives every value as text: numbers as the server writes them ("12.50"), dates as
// dd/mm/yyyy, times as hh:mm:ss, timestamps as dd/mm/yyyy hh:mm:ss, CHAR values with their
// trailing blanks, text blobs whole and binary blobs as hexadecimal digits.
class Connection {
public:
    // How long an attach waits for the server to answer at all before it gives up. A server answers
    // in milliseconds on a network and in well under a second over a slow link; a port that
    // accepts connections and never answers (a wrong port, a firewall, a server that hangs) would
    // otherwise hold the program for the client's default of three minutes per attach.
    static constexpr int kConnectTimeoutSeconds = 15;

    Connection();
    ~Connection(); // rolls back an open transaction, detaches
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // The name the window gives the connection ("QOR75"); it only names it.
    void setConnectionName(const QString& name);
    const QString& connectionName() const;

    // Path of the client library; loaded at the next opening (see ClientLibrary for how a Windows
    // path is taken on other hosts).
    void setVendorLib(const QString& path);
    const QString& vendorLib() const;

    // Replaces the entry whose name matches without regard to letter case, or appends one.
    void setParam(const QString& name, const QString& value);
    // The value of the entry whose name matches without regard to case; empty when none.
    QString param(const QString& name) const;
    const std::vector<std::pair<QString, QString>>& params() const;

    // Called synchronously on every change from closed to open, before the attach; an error it
    // throws aborts the opening and the connection stays closed.
    void setBeforeConnect(std::function<void()> hook);

    // Runs the before-connect hook, loads the client library and attaches with User_Name,
    // Password, SQLDialect, ServerCharSet and Database, waiting at most kConnectTimeoutSeconds
    // for the server to answer. A failure names the database location (and says so when the
    // server never answered) before the client's own text. Does nothing when already open.
    void open();
    // Rolls back the open transaction, then detaches; does nothing when closed. The connection is
    // closed afterwards even when this throws.
    void close();
    bool connected() const;

    // Read committed, waiting on locks. Starting opens the connection when it is closed, and is
    // an error while a transaction is active. Committing with none active is an error; rolling
    // back with none active does nothing (a failure path may not know whether it started one).
    // A failed statement leaves the transaction active.
    bool inTransaction() const;
    void startTransaction();
    void commit();
    void rollback();

    // While one lives, the reads that run outside an explicit transaction share one read-only
    // transaction, ended when the last such guard goes: the two taxpayer lists of one group are
    // loaded together, for the price of one transaction instead of two.
    class SharedReads {
    public:
        explicit SharedReads(Connection& connection);
        ~SharedReads();
        SharedReads(const SharedReads&) = delete;
        SharedReads& operator=(const SharedReads&) = delete;

    private:
        Connection& m_connection;
    };

    // Opens the connection when closed; runs the text and reads its whole result.
    RowSet select(const QString& sql);
    // Opens the connection when closed; runs a statement that returns no rows.
    void execute(const QString& sql);

    // Hears the text of every statement just before it is sent (tests count reloads with it).
    void setStatementObserver(std::function<void(const QString&)> observer);
    // Hears every commit of the explicit transaction just before it is sent.
    void setCommitObserver(std::function<void()> observer);

    // For a program that is ending, and the only call that another thread may make: the statement,
    // start of transaction or commit in progress is cancelled by the server (it fails in its own
    // thread with the server's "operation was cancelled"), and every later one, and any opening,
    // fails at once with uc::Error. Rolling back and closing still work, so that the thread that
    // is unwinding rolls its transaction back. Each call cancels again what runs at that moment; a
    // call that the server still has not ended half a second after the first cancel has its
    // network connection closed (a server that no longer answers).
    void interrupt();
    bool interrupted() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace uc::db
