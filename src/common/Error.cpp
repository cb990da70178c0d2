#include "common/Error.h"

#include <algorithm>

namespace uc {

Error::Error(QString message, QString sqlState, std::vector<long> gdsCodes)
    : m_message(std::move(message)), m_sqlState(std::move(sqlState)), m_gdsCodes(std::move(gdsCodes)),
      m_utf8(m_message.toUtf8()) {}

bool Error::hasGdsCode(long code) const noexcept {
    return std::find(m_gdsCodes.begin(), m_gdsCodes.end(), code) != m_gdsCodes.end();
}

} // namespace uc
