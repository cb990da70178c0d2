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

    ClientLibrary() = default;
    void shutdown();

    Firebird::IMaster* m_master = nullptr;
    Firebird::IUtil* m_util = nullptr;
    Firebird::IProvider* m_provider = nullptr;
    SqlStateFn m_sqlState = nullptr;
    ShutdownFn m_shutdownFn = nullptr;
    bool m_shutDown = false;
};

// A status vector for one call sequence, disposed on scope exit. check() turns a failure into
// uc::Error.
class Status {
public:
    explicit Status(const ClientLibrary& lib) : m_lib(lib), m_raw(lib.master()->getStatus()), m_wrapper(m_raw) {}
    ~Status() { m_raw->dispose(); }
    Status(const Status&) = delete;
    Status& operator=(const Status&) = delete;

    Firebird::CheckStatusWrapper* get() { return &m_wrapper; }
    bool failed() const { return (m_wrapper.getState() & Firebird::IStatus::STATE_ERRORS) != 0; }
    void check() {
        if (failed())
            throw m_lib.errorFrom(&m_wrapper);
    }
    void clear() { m_wrapper.init(); }

private:
    const ClientLibrary& m_lib;
    Firebird::IStatus* m_raw;
    Firebird::CheckStatusWrapper m_wrapper;
};

} // namespace uc::db
