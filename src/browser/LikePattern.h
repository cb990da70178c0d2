#pragma once

#include <QString>
#include <QStringView>
#include <vector>

namespace uc {

// The LIKE of the group list's filter, evaluated on the rows in memory: "%" stands for any run of
// characters (none included), "_" for exactly one character, and every other character, a quote
// among them, only for itself, in the same letter case. There is no escape character.
// Matching compares characters, never bytes, and takes time proportional to the value's length
// times the pattern's at worst, whatever the pattern holds.
bool likeMatches(QStringView value, QStringView pattern) noexcept;

// The same rule, with the pattern taken apart in advance so that matching it against many values
// (the group list's filter runs over every group on each keystroke) does no work per value but
// the search itself: the runs of characters between the "%" signs are found left to right, each
// at its first place, and the first and the last run are tied to the value's two ends.
class LikePattern {
public:
    LikePattern() : LikePattern(QString()) {}
    explicit LikePattern(QString pattern);

    const QString& text() const noexcept { return m_text; }
    bool matches(QStringView value) const noexcept;

private:
    // A run of the pattern between "%" signs; it matches a fixed number of characters.
    struct Run {
        qsizetype start = 0;
        qsizetype length = 0;
        bool hasUnderscore = false;
    };
    bool runMatchesAt(QStringView value, qsizetype at, const Run& run) const noexcept;
    qsizetype findRun(QStringView value, qsizetype from, qsizetype to, const Run& run) const noexcept;

    QString m_text;
    bool m_hasPercent = false;
    Run m_head; // before the first "%": the value starts with it
    Run m_tail; // after the last "%": the value ends with it
    std::vector<Run> m_middle;
    qsizetype m_minLength = 0;
};

// True when the text holds nothing but blanks and control characters (code <= U+0020), the
// characters that are trimmed from both ends of a search text.
bool isBlankText(QStringView text) noexcept;

} // namespace uc
