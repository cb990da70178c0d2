#pragma once

#include "common/Error.h"

#include <optional>
#include <utility>

namespace uc::test {

// The uc::Error that running f throws, or nothing when it returns normally. Anything else thrown
// passes through.
//   const auto e = errorOf([&] { c->execute("..."); });
//   QVERIFY(e);
//   QCOMPARE(e->sqlState(), QStringLiteral("40001"));
template <class F> std::optional<Error> errorOf(F&& f) {
    try {
        std::forward<F>(f)();
    } catch (const Error& e) {
        return e;
    }
    return std::nullopt;
}

} // namespace uc::test
