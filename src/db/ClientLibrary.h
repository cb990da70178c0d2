#pragma once

#include "common/Error.h"

#include <QString>
#include <firebird/Interface.h>

namespace uc::db {

// The Firebird client library, loaded at run time from a connection's VendorLib path. Each file is
// loaded once and never unloaded (unloading it makes the client abort later); every loaded library
// is shut down (fb_shutdown) when the application object goes away or, failing that, at exit.
class ClientLibrary {
public:
    // The loaded library for a VendorLib path. On a host other than Windows a Windows-shaped path
    // (a drive letter, a backslash, or a bare *.dll name) stands for the system client library.
    // Throws uc::Error naming the path when the library cannot be loaded.
    static ClientLibrary& load(const QString& vendorLib);
    // The file that load() opens for a VendorLib path.
    static QString fileFor(const QString& vendorLib);
    // Shuts every loaded library down; afterwards no connection may be opened. Safe to call twice.
    static void shutdownAll();
    // The client library catches SIGINT and SIGTERM itself: it shuts every connection down and
    // returns, leaving the program running on dead connections. A program that ends itself on
    // those signals (rolling its transaction back first) calls this before any connection opens;
    // the library's own shutdown is then refused.
    static void leaveSignalsToTheProgram();

    Firebird::IMaster* master() const { return m_master; }
    Firebird::IUtil* util() const { return m_util; }
    Firebird::IProvider* provider() const { return m_provider; }
    // True once fb_shutdown ran: the library's interfaces must no longer be touched.
    bool isShutDown() const { return m_shutDown; }

    // The failure in a status vector as the program's error: the server's text, SQLSTATE and
    // every gds code.
    Error errorFrom(Firebird::IStatus* status) const;

    ClientLibrary(const ClientLibrary&) = delete;
    ClientLibrary& operator=(const ClientLibrary&) = delete;

private:
    using MasterFn = Firebird::IMaster* (*)();
    using SqlStateFn = void (*)(char*, const ISC_STATUS*);
    using ShutdownFn = int (*)(unsigned int, const int);
    using ShutdownCallbackFn = ISC_STATUS (*)(ISC_STATUS*, FB_SHUTDOWN_CALLBACK, const int, void*);

    ClientLibrary() = default;
    void shutdown();

    Firebird::IMaster* m_master = nullptr;
    Firebird::IUtil* m_util = nullptr;
    Firebird::IProvider* m_provider = nullptr;
    SqlStateFn m_sqlState = nullptr;
    ShutdownFn m_shutdownFn = nullptr;
    bool m_shutDown = false;
};

// The status of the client's calls, in the manner of the client's own ThrowStatusWrapper: every
// call made with it that fails throws uc::Error from that very call (the server's text, SQLSTATE
// and gds codes), so that no failure can go unnoticed or be cleared by the next call. The status
// vector is disposed with it.
class Status final : public Firebird::BaseStatusWrapper<Status> {
public:
    explicit Status(const ClientLibrary& lib) : BaseStatusWrapper(lib.master()->getStatus()), m_lib(&lib) {}
    ~Status() { status->dispose(); }
    Status(const Status&) = delete;
    Status& operator=(const Status&) = delete;

    // Called by the client's interfaces after each call.
    static void checkException(Status* s) {
        if (s->dirty && (s->getState() & Firebird::IStatus::STATE_ERRORS))
            throw s->m_lib->errorFrom(s);
    }

private:
    const ClientLibrary* m_lib;
};

} // namespace uc::db
