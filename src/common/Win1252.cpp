#include "common/Win1252.h"

#include <array>

namespace uc::win1252 {

namespace {

// Bytes 0x80..0x9F; the rest of the code page equals Latin-1. Zero marks an undefined byte.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

struct Tables {
    std::array<QChar, 256> toUnicode{};
    Tables() {
        for (int b = 0; b < 256; ++b)
            toUnicode[std::size_t(b)] = QChar(char16_t(b));
        for (int i = 0; i < 32; ++i) {
            if (kHighControls[i] != 0)
                toUnicode[std::size_t(0x80 + i)] = QChar(kHighControls[i]);
        }
    }
};

const Tables& tables() {
    static const Tables t;
    return t;
}

// The byte for a character outside Latin-1's shared range, or -1.
int highByteFor(char16_t c) {
    for (int i = 0; i < 32; ++i) {
        if (kHighControls[i] == c && c != 0)
            return 0x80 + i;
    }
    return -1;
}

} // namespace

QString decode(const char* bytes, std::size_t length) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    std::size_t i = 0;
    while (i < length && p[i] < 0x80)
        ++i;
    if (i == length) // the usual case: codes, CPF/CNPJ values, plain names
        return QString::fromLatin1(bytes, qsizetype(length));
    const auto& map = tables().toUnicode;
    QString text(qsizetype(length), Qt::Uninitialized);
    QChar* out = text.data();
    for (std::size_t k = 0; k < length; ++k)
        out[k] = map[p[k]];
    return text;
}

bool encode(const QString& text, QByteArray* out, QString* unrepresentable) {
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char* dst = bytes.data();
    bool ok = true;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        int b = -1;
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
            b = c;
        else if (c > 0xFF)
            b = highByteFor(c);
        // 0x80..0x9F: C1 controls, which the server's code page does not carry either
        if (b < 0) {
            ok = false;
            if (unrepresentable) {
                // A character outside the Basic Multilingual Plane is reported whole.
                QString ch(text.at(i));
                if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
                    ch += text.at(++i);
                if (!unrepresentable->contains(ch)) {
                    if (!unrepresentable->isEmpty())
                        *unrepresentable += QStringLiteral(" ");
                    *unrepresentable += ch;
                }
            }
            continue;
        }
        dst[i] = char(b);
    }
    if (ok && out)
        *out = std::move(bytes);
    return ok;
}

} // namespace uc::win1252
