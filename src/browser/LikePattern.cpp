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
    std::vector<Run> runs;
    Run run;
    for (qsizetype i = 0; i <= m_text.size(); ++i) {
        if (i == m_text.size() || m_text[i] == u'%') {
            run.length = i - run.start;
            runs.push_back(run);
            run = Run{i + 1, 0, false};
        } else if (m_text[i] == u'_') {
            run.hasUnderscore = true;
        }
    }
    m_hasPercent = runs.size() > 1;
    m_head = runs.front();
    m_tail = runs.back();
    m_minLength = m_head.length;
    if (m_hasPercent) {
        m_minLength += m_tail.length;
        for (std::size_t i = 1; i + 1 < runs.size(); ++i) {
            if (runs[i].length > 0) {
                m_middle.push_back(runs[i]);
                m_minLength += runs[i].length;
            }
        }
    }
}

bool LikePattern::runMatchesAt(QStringView value, qsizetype at, const Run& run) const noexcept {
    const QStringView part = QStringView(m_text).sliced(run.start, run.length);
    if (!run.hasUnderscore)
        return value.sliced(at, run.length) == part;
    for (qsizetype i = 0; i < run.length; ++i) {
        if (part[i] != u'_' && part[i] != value[at + i])
            return false;
    }
    return true;
}

// The first place in [from, to) where the run fits whole, or -1.
qsizetype LikePattern::findRun(QStringView value, qsizetype from, qsizetype to, const Run& run) const noexcept {
    if (!run.hasUnderscore) {
        const qsizetype found =
            value.sliced(from, to - from).indexOf(QStringView(m_text).sliced(run.start, run.length));
        return found < 0 ? -1 : from + found;
    }
    for (qsizetype at = from; at + run.length <= to; ++at) {
        if (runMatchesAt(value, at, run))
            return at;
    }
    return -1;
}

bool LikePattern::matches(QStringView value) const noexcept {
    if (!m_hasPercent)
        return value.size() == m_head.length && runMatchesAt(value, 0, m_head);
    if (value.size() < m_minLength || !runMatchesAt(value, 0, m_head))
        return false;
    // Taking each middle run at its first place leaves the most room for those after it.
    qsizetype at = m_head.length;
    const qsizetype tailStart = value.size() - m_tail.length;
    for (const Run& run : m_middle) {
        const qsizetype found = findRun(value, at, tailStart, run);
        if (found < 0)
            return false;
        at = found + run.length;
    }
    return runMatchesAt(value, tailStart, m_tail);
}

bool isBlankText(QStringView text) noexcept {
    for (const QChar c : text) {
        if (c.unicode() > 0x20)
            return false;
    }
    return true;
}

} // namespace uc
