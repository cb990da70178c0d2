#include "browser/LikePattern.h"

namespace uc {

bool likeMatches(QStringView value, QStringView pattern) noexcept {
    const qsizetype n = value.size();
    const qsizetype m = pattern.size();
    qsizetype v = 0;
    qsizetype p = 0;
    // Where the pattern resumes after the last "%" seen, and the value position that "%" has
    // swallowed up to. Only the last "%" ever needs to be retried: whatever an earlier one
    // matched can be left as it is, which keeps the work at value length times pattern length.
    qsizetype resumeP = -1;
    qsizetype resumeV = 0;
    while (v < n) {
        if (p < m) {
            const QChar pc = pattern[p];
            if (pc == u'%') {
                resumeP = ++p;
                resumeV = v;
                continue;
            }
            if (pc == u'_' || pc == value[v]) {
                ++p;
                ++v;
                continue;
            }
        }
        if (resumeP < 0)
            return false;
        p = resumeP;
        v = ++resumeV;
    }
    while (p < m && pattern[p] == u'%')
        ++p;
    return p == m;
}

LikePattern::LikePattern(QString pattern) : m_text(std::move(pattern)) {
    const qsizetype last = m_text.size() - 1;
    if (last >= 0 && m_text[last] == u'%') {
        const QStringView head = QStringView(m_text).first(last);
        if (!head.contains(u'%') && !head.contains(u'_'))
            m_prefixLength = last;
    }
}

bool LikePattern::matches(QStringView value) const noexcept {
    if (m_prefixLength >= 0)
        return value.startsWith(QStringView(m_text).first(m_prefixLength), Qt::CaseSensitive);
    return likeMatches(value, m_text);
}

bool isBlankText(QStringView text) noexcept {
    for (const QChar c : text) {
        if (c.unicode() > 0x20)
            return false;
    }
    return true;
}

} // namespace uc
