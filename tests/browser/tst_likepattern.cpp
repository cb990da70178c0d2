#include "browser/LikePattern.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

using uc::likeMatches;
using uc::LikePattern;

class TestLikePattern : public QObject {
    Q_OBJECT
private slots:
    void matches_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("expected");

        QTest::newRow("prefix") << "12345678000190"
                                << "123%" << true;
        QTest::newRow("prefix differs") << "12345678000190"
                                        << "124%" << false;
        QTest::newRow("whole value as prefix") << "123"
                                               << "123%" << true;
        QTest::newRow("pattern longer than value") << "12"
                                                   << "123%" << false;
        QTest::newRow("no wildcard is equality") << "1234"
                                                 << "123" << false;
        QTest::newRow("no wildcard, equal") << "123"
                                            << "123" << true;
        QTest::newRow("percent first, inside") << "12.345.678/0001-90"
                                               << "%0001%" << true;
        QTest::newRow("percent first, absent") << "12.345.678/0001-90"
                                               << "%0002%" << false;
        QTest::newRow("percent first, at the start") << "0001-90"
                                                     << "%0001%" << true;
        QTest::newRow("percent matches nothing") << "ab"
                                                 << "a%b" << true;
        QTest::newRow("percent alone, empty value") << ""
                                                    << "%" << true;
        QTest::newRow("empty pattern, empty value") << ""
                                                    << "" << true;
        QTest::newRow("empty pattern, a value") << "a"
                                                << "" << false;
        QTest::newRow("underscore is one character") << "123"
                                                     << "1_3" << true;
        QTest::newRow("underscore is not zero characters") << "13"
                                                           << "1_3" << false;
        QTest::newRow("underscore is not two characters") << "1223"
                                                          << "1_3" << false;
        QTest::newRow("underscore then percent needs one") << "1"
                                                           << "1_%" << false;
        QTest::newRow("underscore on a punctuation") << "123.456"
                                                     << "123_456%" << true;
        QTest::newRow("percent then underscore, empty") << ""
                                                        << "%_" << false;
        QTest::newRow("literal underscore in value") << "a_b"
                                                     << "a_b" << true;
        QTest::newRow("percent in value, pattern percent") << "50%"
                                                           << "50%" << true;
        QTest::newRow("quote is a quote") << "O'BRIEN"
                                          << "O'%" << true;
        QTest::newRow("quote is not skipped") << "OBRIEN"
                                              << "O'%" << false;
        QTest::newRow("lone quote") << "'"
                                    << "'%" << true;
        QTest::newRow("two quotes are two quotes") << "1'2"
                                                   << "1''%" << false;
        QTest::newRow("upper does not match lower") << "abc"
                                                    << "A%" << false;
        QTest::newRow("lower does not match upper") << "ABC"
                                                    << "a%" << false;
        QTest::newRow("same case") << "AbC"
                                   << "AbC%" << true;
        QTest::newRow("leading blank") << " 123"
                                       << " %" << true;
        QTest::newRow("leading blank, value without") << "123"
                                                      << " %" << false;
        QTest::newRow("trailing blank") << "12 3"
                                        << "12 %" << true;
        QTest::newRow("trailing blank, value without") << "123"
                                                       << "12 %" << false;
        QTest::newRow("blank at the end of the value") << "123 "
                                                       << "123 %" << true;
        QTest::newRow("accented letter is one character") << QString::fromUtf8("AÇÃO") << "A__O" << true;
        QTest::newRow("accented letter is not the plain one") << QString::fromUtf8("ção") << "c%" << false;
        QTest::newRow("accented letters, case") << QString::fromUtf8("ÉRICA") << QString::fromUtf8("é%") << false;
        QTest::newRow("accented prefix") << QString::fromUtf8("ÉRICA") << QString::fromUtf8("ÉR%") << true;
        QTest::newRow("backtracking on repeats") << "aaab"
                                                 << "%ab" << true;
        QTest::newRow("two runs") << "abab"
                                  << "%ab%ab" << true;
        QTest::newRow("several wildcards") << "mississippi"
                                           << "m%iss%ppi" << true;
        QTest::newRow("several wildcards, wrong end") << "mississippi"
                                                      << "m%iss%pi_" << false;
        QTest::newRow("end must be reached") << "abcd"
                                             << "a%c" << false;
        QTest::newRow("last match of the tail") << "abcc"
                                                << "a%c" << true;
        QTest::newRow("long value, suffix") << QString(10000, u'a') + u'b' << "%b" << true;
        QTest::newRow("long value, absent") << QString(10000, u'a') + u'b' << "%c" << false;
        QTest::newRow("long value, prefix") << QString(10000, u'a') << "aaa%" << true;
        QTest::newRow("percents then a letter, absent") << QString(100000, u'b') << "%%%%%a" << false;
        QTest::newRow("percents then a letter, last") << QString(100000, u'b') + u'a' << "%%%%%a" << true;
        QTest::newRow("many runs, absent")
            << QString(50000, u'a') << "%a%a%a%a%a%a%a%a%a%a%a%a%a%a%a%a%a%a%a%a%b" << false;
        QTest::newRow("many runs, found")
            << QString(50000, u'a') + u'b' << "%a%a%a%a%a%a%a%a%a%a%a%a%a%a%a%a%a%a%a%a%b" << true;
        QTest::newRow("underscores and percents")
            << QString(30000, u'x') << "%_%_%_%_%_%_%_%_%_%_%_%_%_%_%_%_%y" << false;
    }
    void matches() {
        QFETCH(QString, value);
        QFETCH(QString, pattern);
        QFETCH(bool, expected);
        QCOMPARE(likeMatches(value, pattern), expected);
        QCOMPARE(LikePattern(pattern).matches(value), expected);
    }

    // Random values and patterns over a small alphabet, checked against the same rule written as
    // an anchored regular expression.
    void agreesWithRegularExpression() {
        QRandomGenerator random(20240229);
        const QString valueAlphabet = QStringLiteral("ab'%_");
        const QString patternAlphabet = QStringLiteral("ab'%_");
        auto randomText = [&random](const QString& alphabet, int maxLength) {
            QString text = QStringLiteral(""); // a null text never matches a regular expression
            const int length = random.bounded(maxLength + 1);
            for (int i = 0; i < length; ++i)
                text += alphabet[random.bounded(int(alphabet.size()))];
            return text;
        };
        for (int i = 0; i < 50000; ++i) {
            const QString value = randomText(valueAlphabet, 10);
            const QString pattern = randomText(patternAlphabet, 8);
            QString expression;
            for (const QChar c : pattern)
                expression += c == u'%'   ? QStringLiteral(".*")
                              : c == u'_' ? QStringLiteral(".")
                                          : QRegularExpression::escape(c);
            const bool expected = QRegularExpression(QRegularExpression::anchoredPattern(expression),
                                                     QRegularExpression::DotMatchesEverythingOption)
                                      .match(value)
                                      .hasMatch();
            if (likeMatches(value, pattern) != expected || LikePattern(pattern).matches(value) != expected)
                QFAIL(qPrintable(QStringLiteral("value \"%1\", pattern \"%2\"").arg(value, pattern)));
        }
    }

    void blankText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("blank");
        QTest::newRow("empty") << "" << true;
        QTest::newRow("blanks") << "   " << true;
        QTest::newRow("tab and line break") << "\t\r\n " << true;
        QTest::newRow("other control characters") << QStringLiteral("\x01\x1f") << true;
        QTest::newRow("leading blank then digit") << " 1" << false;
        QTest::newRow("quote") << "'" << false;
        QTest::newRow("percent") << "%" << false;
        QTest::newRow("no-break space is not trimmed") << QStringLiteral("\u00a0") << false;
    }
    void blankText() {
        QFETCH(QString, text);
        QFETCH(bool, blank);
        QCOMPARE(uc::isBlankText(text), blank);
    }
};

QTEST_GUILESS_MAIN(TestLikePattern)
#include "tst_likepattern.moc"
