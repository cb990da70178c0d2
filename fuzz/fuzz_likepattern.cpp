// The search box's LIKE matcher on any pattern and value. Both matchers (the plain function and
// the pattern taken apart in advance for the group list) must agree with a plain table of
// "does this much of the pattern match this much of the value", and neither may crash.
//
// Input: the first byte chooses the alphabet and where the pattern ends; the rest are characters.
// The small alphabet ("a", "b", "%", "_") makes wildcards meet each other often; the wide one takes
// every byte as a Latin-1 character, quotes and blanks included, and pairs of bytes as UTF-16.

#include "browser/LikePattern.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// "%" any run of characters, none included; "_" exactly one; anything else itself.
bool reference(QStringView value, QStringView pattern) {
    const qsizetype n = value.size();
    const qsizetype m = pattern.size();
    // row[j]: the first i characters of the value match the first j of the pattern.
    std::vector<char> row(std::size_t(m + 1), 0);
    row[0] = 1;
    for (qsizetype j = 1; j <= m; ++j)
        row[std::size_t(j)] = row[std::size_t(j - 1)] && pattern[j - 1] == u'%';
    for (qsizetype i = 1; i <= n; ++i) {
        std::vector<char> next(std::size_t(m + 1), 0);
        for (qsizetype j = 1; j <= m; ++j) {
            const QChar p = pattern[j - 1];
            if (p == u'%')
                next[std::size_t(j)] = next[std::size_t(j - 1)] || row[std::size_t(j)];
            else if (p == u'_' || p == value[i - 1])
                next[std::size_t(j)] = row[std::size_t(j - 1)];
        }
        row.swap(next);
    }
    return row[std::size_t(m)] != 0;
}

QString characters(const std::uint8_t* data, std::size_t size, int alphabet) {
    QString text;
    if (alphabet == 0) {
        static const char16_t small[] = {u'a', u'b', u'%', u'_'};
        for (std::size_t i = 0; i < size; ++i) {
            text += QChar(small[data[i] & 3]);
            if (data[i] & 4)
                text += QChar(small[(data[i] >> 3) & 3]);
        }
    } else if (alphabet == 1) {
        for (std::size_t i = 0; i < size; ++i)
            text += QChar(char16_t(data[i]));
    } else {
        for (std::size_t i = 0; i + 1 < size; i += 2)
            text += QChar(char16_t(data[i] | (data[i + 1] << 8)));
    }
    return text;
}

[[noreturn]] void mismatch(const char* which, const QString& value, const QString& pattern, bool expected) {
    std::fprintf(stderr, "%s disagrees (expected %d)\n pattern: %s\n value:   %s\n", which, int(expected),
                 pattern.toUtf8().constData(), value.toUtf8().constData());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Longer inputs only make the table slower, not the matchers more interesting.
    if (size < 1 || size > 2048)
        return 0;
    const int alphabet = data[0] % 3;
    const std::size_t rest = size - 1;
    const std::size_t split = rest == 0 ? 0 : std::size_t(data[0] / 3) % (rest + 1);
    const QString pattern = characters(data + 1, split, alphabet);
    const QString value = characters(data + 1 + split, rest - split, alphabet);

    const bool expected = reference(value, pattern);
    if (uc::likeMatches(value, pattern) != expected)
        mismatch("likeMatches", value, pattern, expected);
    const uc::LikePattern prepared(pattern);
    if (prepared.matches(value) != expected)
        mismatch("LikePattern", value, pattern, expected);
    // The search text is the pattern: blank only when every character is a blank or a control.
    bool blank = true;
    for (const QChar c : pattern)
        blank = blank && c.unicode() <= 0x20;
    if (uc::isBlankText(pattern) != blank)
        mismatch("isBlankText", value, pattern, blank);
    return 0;
}
