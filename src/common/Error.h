#pragma once

#include <QByteArray>
#include <QString>
#include <exception>
#include <vector>

namespace uc {

// The program's one error type. It carries the text shown to the operator and, for what the
// database server rejected, the SQLSTATE and the Firebird error codes of the status vector, so
// that code can branch on a lock conflict without parsing text.
class Error : public std::exception {
public:
    explicit Error(QString message, QString sqlState = {}, std::vector<long> gdsCodes = {});

    const QString& message() const noexcept { return m_message; }
    const QString& sqlState() const noexcept { return m_sqlState; }
    // Every Firebird error code of the status vector, in order; empty for the program's own errors.
    const std::vector<long>& gdsCodes() const noexcept { return m_gdsCodes; }
    // The first Firebird error code, or 0.
    long gdsCode() const noexcept { return m_gdsCodes.empty() ? 0 : m_gdsCodes.front(); }
    bool hasGdsCode(long code) const noexcept;

    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QString m_sqlState;
    std::vector<long> m_gdsCodes;
    QByteArray m_utf8;
};

} // namespace uc
