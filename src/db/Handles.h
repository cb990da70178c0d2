#pragma once

#include "db/ClientLibrary.h"

#include <utility>

namespace uc::db {

// Move-only owners of the raw interfaces of the client, each ended in one way: the call that ends
// it (rollback, detach, close, free; release() for the interfaces that have no such call) releases
// the interface when it succeeds; when it fails, the interface is released here and the client's
// error thrown. Either way the handle is empty afterwards, so nothing ever tries a second time.
// A commit or a drop of the database that fails leaves its transaction or attachment as it was,
// still to be ended: the handle keeps it.
// A handle destroyed while it still holds its interface ends it with its usual call (a transaction
// rolls back, an attachment detaches, a cursor closes, a statement is freed) and reports nothing.
// Nothing is touched after the library was shut down: the client took everything with it.
template <class T, class Derived> class Handle {
public:
    Handle() = default;
    Handle(const ClientLibrary* lib, T* p) : m_lib(lib), m_p(p) {}
    Handle(Handle&& o) noexcept : m_lib(o.m_lib), m_p(std::exchange(o.m_p, nullptr)) {}
    Handle& operator=(Handle&& o) noexcept {
        if (this != &o) {
            reset();
            m_lib = o.m_lib;
            m_p = std::exchange(o.m_p, nullptr);
        }
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { reset(); }

    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    // Ends the interface with its usual call, reporting nothing: for destructors, error paths and
    // dead connections.
    void reset() noexcept {
        try {
            end(&Derived::usualEnd);
        } catch (...) {
        }
    }

protected:
    // The one way an interface ends. An empty handle has nothing to end.
    template <class Call> void end(Call call) {
        T* p = std::exchange(m_p, nullptr);
        if (!p || m_lib->isShutDown())
            return;
        Status status(*m_lib);
        try {
            call(p, status);
        } catch (...) {
            p->release();
            throw;
        }
    }

    // A call that releases the interface when it succeeds and leaves it as it was when it fails.
    template <class Call> void endOrKeep(Call call) {
        Status status(*m_lib);
        call(m_p, status);
        m_p = nullptr;
    }

    const ClientLibrary* m_lib = nullptr;
    T* m_p = nullptr;
};

// Rolls back when destroyed while active.
class TransactionHandle : public Handle<Firebird::ITransaction, TransactionHandle> {
public:
    using Handle::Handle;
    static void usualEnd(Firebird::ITransaction* t, Status& s) { t->rollback(&s); }
    // A commit that fails leaves the transaction active: the owner rolls it back (or the
    // destructor does).
    void commit() {
        endOrKeep([](Firebird::ITransaction* t, Status& s) { t->commit(&s); });
    }
    void rollback() { end(&usualEnd); }
};

// Detaches when destroyed; the owner ends its transactions first.
class AttachmentHandle : public Handle<Firebird::IAttachment, AttachmentHandle> {
public:
    using Handle::Handle;
    static void usualEnd(Firebird::IAttachment* a, Status& s) { a->detach(&s); }
    void detach() { end(&usualEnd); }
    // Drops the database; when that fails the attachment stays, to be detached.
    void dropDatabase() {
        endOrKeep([](Firebird::IAttachment* a, Status& s) { a->dropDatabase(&s); });
    }
};

class StatementHandle : public Handle<Firebird::IStatement, StatementHandle> {
public:
    using Handle::Handle;
    static void usualEnd(Firebird::IStatement* st, Status& s) { st->free(&s); }
    void free() { end(&usualEnd); }
};

class ResultSetHandle : public Handle<Firebird::IResultSet, ResultSetHandle> {
public:
    using Handle::Handle;
    static void usualEnd(Firebird::IResultSet* r, Status& s) { r->close(&s); }
    void close() { end(&usualEnd); }
};

class BlobHandle : public Handle<Firebird::IBlob, BlobHandle> {
public:
    using Handle::Handle;
    static void usualEnd(Firebird::IBlob* b, Status& s) { b->close(&s); }
    void close() { end(&usualEnd); }
};

// Metadata and builders end with release() alone.
template <class T> class Released : public Handle<T, Released<T>> {
public:
    using Handle<T, Released<T>>::Handle;
    static void usualEnd(T* p, Status&) { p->release(); }
};

} // namespace uc::db
