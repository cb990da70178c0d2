#pragma once

#include <QString>
#include <QStringView>

namespace uc {

// The LIKE of the group list's filter, evaluated on the rows in memory: "%" stands for any run of
// characters (none included), "_" for exactly one character, and every other character, a quote
// among them, only for itself, in the same letter case. There is no escape character.
// Matching compares characters, never bytes, and takes time proportional to the value's length
// times the pattern's at worst, whatever the pattern holds.
bool likeMatches(QStringView value, QStringView pattern) noexcept;

// A pattern kept together with what is known of it in advance, so that matching it against many
// values does no work per value beyond the comparison itself.
class LikePattern {
public:
    LikePattern() = default;
    explicit LikePattern(QString pattern);

    const QString& text() const noexcept { return m_text; }
    bool matches(QStringView value) const noexcept;

private:
    QString m_text;
    // The part before a single final "%", when the rest holds no wildcard: a plain prefix test.
    qsizetype m_prefixLength = -1;
};

// True when the text holds nothing but blanks and control characters (code <= U+0020), the
// characters that are trimmed from both ends of a search text.
bool isBlankText(QStringView text) noexcept;

} // namespace uc
