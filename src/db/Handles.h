#pragma once

#include "db/ClientLibrary.h"

#include <utility>

namespace uc::db {

// Move-only owners of the raw interfaces of the client. A successful commit, rollback, detach,
// close or free already releases the interface; release() is only for when that call failed, or
// for the interfaces that have no such call. Nothing is touched after the library was shut down.
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

    // Ends the interface the way its owner would on an error path, never throwing.
    void reset() {
        if (!m_p)
            return;
        T* p = std::exchange(m_p, nullptr);
        if (m_lib->isShutDown())
            return;
        Status status(*m_lib);
        if (!Derived::finish(p, status.get()))
            p->release();
    }
    // For the calls that released the interface themselves.
    void forget() { m_p = nullptr; }

protected:
    // Ends the interface with a call that releases it when it succeeds (rollback, close); when it
    // fails the interface is released here and the client's error thrown.
    template <class Call> void endOrThrow(Call call) {
        Status status(*m_lib);
        call(m_p, status.get());
        if (status.failed()) {
            Error e = m_lib->errorFrom(status.get());
            m_p->release();
            forget();
            throw e;
        }
        forget();
    }

    const ClientLibrary* m_lib = nullptr;
    T* m_p = nullptr;
};

// Rolls back when destroyed while active.
class TransactionHandle : public Handle<Firebird::ITransaction, TransactionHandle> {
public:
    using Handle::Handle;
    static bool finish(Firebird::ITransaction* t, Firebird::CheckStatusWrapper* s) {
        t->rollback(s);
        return !(s->getState() & Firebird::IStatus::STATE_ERRORS);
    }
    void commit() {
        Status status(*m_lib);
        m_p->commit(status.get());
        status.check();
        forget();
    }
    void rollback() {
        endOrThrow([](Firebird::ITransaction* t, Firebird::CheckStatusWrapper* s) { t->rollback(s); });
    }
};

// Detaches when destroyed; the owner rolls its transactions back first.
class AttachmentHandle : public Handle<Firebird::IAttachment, AttachmentHandle> {
public:
    using Handle::Handle;
    static bool finish(Firebird::IAttachment* a, Firebird::CheckStatusWrapper* s) {
        a->detach(s);
        return !(s->getState() & Firebird::IStatus::STATE_ERRORS);
    }
};

class StatementHandle : public Handle<Firebird::IStatement, StatementHandle> {
public:
    using Handle::Handle;
    static bool finish(Firebird::IStatement* st, Firebird::CheckStatusWrapper* s) {
        st->free(s);
        return !(s->getState() & Firebird::IStatus::STATE_ERRORS);
    }
};

class ResultSetHandle : public Handle<Firebird::IResultSet, ResultSetHandle> {
public:
    using Handle::Handle;
    static bool finish(Firebird::IResultSet* r, Firebird::CheckStatusWrapper* s) {
        r->close(s);
        return !(s->getState() & Firebird::IStatus::STATE_ERRORS);
    }
    // Closes the cursor, reporting a failure.
    void close() {
        endOrThrow([](Firebird::IResultSet* r, Firebird::CheckStatusWrapper* s) { r->close(s); });
    }
};

class BlobHandle : public Handle<Firebird::IBlob, BlobHandle> {
public:
    using Handle::Handle;
    static bool finish(Firebird::IBlob* b, Firebird::CheckStatusWrapper* s) {
        b->close(s);
        return !(s->getState() & Firebird::IStatus::STATE_ERRORS);
    }
};

// Metadata and builders have nothing but release().
template <class T> class Released : public Handle<T, Released<T>> {
public:
    using Handle<T, Released<T>>::Handle;
    static bool finish(T*, Firebird::CheckStatusWrapper*) { return false; }
};

} // namespace uc::db
