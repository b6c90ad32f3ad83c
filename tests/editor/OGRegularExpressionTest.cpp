#include "editor/OGRegularExpression.h"
#include "kit/Log.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

const kit::Range None(kit::NotFound, 0);

std::string show(kit::Range r)
{
    if (r.isNotFound())
        return "none";
    return "{" + std::to_string(r.location) + "," + std::to_string(r.length) + "}";
}

std::string showGroups(const std::optional<OGRegularExpressionMatch>& m)
{
    if (!m)
        return "no match";
    std::string s;
    for (qsizetype i = 0; i < m->count(); ++i)
        s += (i ? " " : "") + show(m->rangeOfSubstringAtIndex(i));
    return s;
}

TEST(OGRegularExpressionTest, PatternsFindTheirMatchesAndGroups)
{
    const struct {
        const char16_t* pattern;
        OgreOption options;
        const char16_t* text;
        const char* expected; // whole match, then each group
    } cases[] = {
        {u"b(c)(d)?", OgreNoneOption, u"abcx", "{1,2} {2,1} none"},
        {u"\\<\\#.*?\\#\\>", OgreNoneOption, u"a <#one#> b <#two#>", "{2,7}"},
        {u"a.*?z", OgreNoneOption, u"a\nz", "no match"},
        {u"a.*?z", OgreMultilineOption, u"a\nz", "{0,3}"},
        {u"html", OgreNoneOption, u"X.HTML", "no match"},
        {u"html", OgreIgnoreCaseOption, u"X.HTML", "{2,4}"},
        {u"\\A((.*?\\.html)|(.*?\\.htm))\\z", OgreIgnoreCaseOption, u"index.HTML", "{0,10} {0,10} {0,10} none"},
        {u"\\A((.*?\\.html)|(.*?\\.htm))\\z", OgreIgnoreCaseOption, u"index.htm", "{0,9} {0,9} none {0,9}"},
        {u"\\A((.*?\\.html)|(.*?\\.htm))\\z", OgreIgnoreCaseOption, u"index.html.bak", "no match"},
        {u"[[:^ascii:]]", OgreNoneOption, u"caf\u00e9!", "{3,1}"},
        // Indexes are UTF-16 units: a character outside the BMP counts two.
        {u".x", OgreNoneOption, u"a\U0001F600x", "{1,3}"},
        {u"^b", OgreNoneOption, u"a\nb", "{2,1}"},
        {u"a$", OgreNoneOption, u"a\nb", "{0,1}"},
        {u"(?<word>\\w+)@", OgreNoneOption, u"mail: kelp@x", "{6,5} {6,4}"},
        {u"", OgreNoneOption, u"abc", "{0,0}"},
        {u"x|(y)", OgreNoneOption, u"x", "{0,1} none"},
    };
    for (const auto& c : cases) {
        const QString pattern = QString::fromUtf16(c.pattern);
        SCOPED_TRACE(pattern.toStdString());
        ASSERT_TRUE(OGRegularExpression::isValidExpressionString(pattern, c.options));
        const auto expression = OGRegularExpression::regularExpressionWithString(pattern, c.options);
        ASSERT_TRUE(expression);
        EXPECT_EQ(showGroups(expression->matchInString(QString::fromUtf16(c.text))), c.expected);
    }
}

TEST(OGRegularExpressionTest, EscapedSpecialCharactersMatchThemselves)
{
    const QString specials = QStringLiteral("|().?*+{}^$[]-&#:=!<>@\\");
    for (const QChar c : specials) {
        const QString pattern = QStringLiteral("\\") + c;
        const auto expression = OGRegularExpression::regularExpressionWithString(pattern);
        ASSERT_TRUE(expression) << pattern.toStdString();
        const auto match = expression->matchInString(QStringLiteral("ab") + c + QStringLiteral("cd"));
        ASSERT_TRUE(match) << pattern.toStdString();
        EXPECT_EQ(match->rangeOfMatchedString(), kit::Range(2, 1)) << pattern.toStdString();
        EXPECT_EQ(match->matchedString(), QString(c));
    }
}

TEST(OGRegularExpressionTest, MatchesStayInsideTheRange)
{
    const QString text = QStringLiteral("ab ab ab");
    const auto ab = OGRegularExpression::regularExpressionWithString(QStringLiteral("ab"));
    EXPECT_EQ(show(ab->matchInString(text, OgreNoneOption, kit::Range(1, 6))->rangeOfMatchedString()), "{3,2}");
    // A match that would run past the range's end is not a match.
    EXPECT_FALSE(ab->matchInString(text, OgreNoneOption, kit::Range(1, 3)));
    // The text ends at the range's end for "\z"; "\A" is still the start of the text,
    // and look-behind sees what lies before the range.
    const auto atEnd = OGRegularExpression::regularExpressionWithString(QStringLiteral("b\\z"));
    EXPECT_EQ(show(atEnd->matchInString(text, OgreNoneOption, kit::Range(0, 5))->rangeOfMatchedString()), "{4,1}");
    const auto atStart = OGRegularExpression::regularExpressionWithString(QStringLiteral("\\Aab"));
    EXPECT_FALSE(atStart->matchInString(text, OgreNoneOption, kit::Range(3, 5)));
    const auto behind = OGRegularExpression::regularExpressionWithString(QStringLiteral("(?<= )ab"));
    EXPECT_EQ(show(behind->matchInString(text, OgreNoneOption, kit::Range(3, 2))->rangeOfMatchedString()), "{3,2}");
    // Ranges beyond the text are clamped rather than read past its end.
    EXPECT_EQ(show(ab->matchInString(text, OgreNoneOption, kit::Range(6, 100))->rangeOfMatchedString()), "{6,2}");
    EXPECT_FALSE(ab->matchInString(text, OgreNoneOption, kit::Range(50, 2)));
    EXPECT_FALSE(ab->matchInString(text, OgreNoneOption, None));
}

TEST(OGRegularExpressionTest, AllMatchesAndTheEnumeratorGoInTextOrder)
{
    const struct {
        const char* pattern;
        const char* text;
        kit::Range range;
        const char* expected;
    } cases[] = {
        {"x*", "axxb", {0, 4}, "{0,0} {1,2} {3,0} {4,0}"},
        {"\\d+", "1 22 333 4444", {0, 13}, "{0,1} {2,2} {5,3} {9,4}"},
        // The range cuts "4444": inside it, "4" is the whole number.
        {"\\d+", "1 22 333 4444", {3, 7}, "{3,1} {5,3} {9,1}"},
        {"q", "abc", {0, 3}, ""},
        {"", "", {0, 0}, "{0,0}"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern);
        const auto expression = OGRegularExpression::regularExpressionWithString(QString::fromLatin1(c.pattern));
        const QString text = QString::fromLatin1(c.text);
        std::string all;
        for (const auto& m : expression->allMatchesInString(text, OgreNoneOption, c.range))
            all += (all.empty() ? "" : " ") + show(m.rangeOfMatchedString());
        EXPECT_EQ(all, c.expected);

        auto matches = expression->matchEnumeratorInString(text, OgreNoneOption, c.range);
        std::string enumerated;
        while (const auto m = matches.nextObject())
            enumerated += (enumerated.empty() ? "" : " ") + show(m->rangeOfMatchedString());
        EXPECT_EQ(enumerated, c.expected);
        EXPECT_FALSE(matches.nextObject()); // stays finished
    }
    // Surrogate pairs are stepped over whole after an empty match.
    const auto empty = OGRegularExpression::regularExpressionWithString(QString());
    EXPECT_EQ(empty->allMatchesInString(QString::fromUtf16(u"\U0001F600")).size(), 2);
}

TEST(OGRegularExpressionTest, SplitGivesThePiecesBetweenMatches)
{
    const auto comma = OGRegularExpression::regularExpressionWithString(QStringLiteral(","));
    EXPECT_EQ(comma->splitString(QStringLiteral("*.html, *.htm")), QStringList({"*.html", " *.htm"}));
    EXPECT_EQ(comma->splitString(QStringLiteral("a,b,,c")), QStringList({"a", "b", "", "c"}));
    EXPECT_EQ(comma->splitString(QStringLiteral("a,")), QStringList({"a", ""}));
    EXPECT_EQ(comma->splitString(QStringLiteral("abc")), QStringList({"abc"}));
    EXPECT_TRUE(comma->splitString(QString()).isEmpty());
    const auto nothing = OGRegularExpression::regularExpressionWithString(QString());
    EXPECT_EQ(nothing->splitString(QStringLiteral("abc")), QStringList({"a", "b", "c"}));
}

TEST(OGRegularExpressionTest, InvalidPatternsAreRefusedWithAnError)
{
    for (const char* pattern : {"(", "a)", "[a", "*a", "(?<n>a)\\k<m>", "\\", "[b-a]"}) {
        SCOPED_TRACE(pattern);
        EXPECT_FALSE(OGRegularExpression::isValidExpressionString(QString::fromLatin1(pattern), OgreMultilineOption));
        kit::Error error;
        EXPECT_FALSE(OGRegularExpression::regularExpressionWithString(QString::fromLatin1(pattern), OgreNoneOption, &error));
        EXPECT_EQ(error.domain(), OgreErrorDomain);
        EXPECT_LT(error.code(), 0);
        EXPECT_FALSE(error.localizedDescription().isEmpty());
    }
}

TEST(OGRegularExpressionTest, CatastrophicPatternsGiveUpInsteadOfRunningOn)
{
    kit::LogCapture log;
    // Nested repetition against a near miss: exponential backtracking at one place...
    const auto nested = OGRegularExpression::regularExpressionWithString(QStringLiteral("^(a+)+$"));
    kit::Error error;
    EXPECT_FALSE(nested->matchInString(QString(40, QLatin1Char('a')) + QLatin1Char('!'), OgreNoneOption,
        kit::Range(0, 41), &error));
    EXPECT_EQ(error.domain(), OgreErrorDomain);
    EXPECT_LT(error.code(), 0);

    // ...and moderate backtracking at every one of very many places.
    QString text;
    for (int i = 0; i < 100000; ++i)
        text += QStringLiteral("xxxxxxxxxxxxxxx-");
    text += QLatin1Char('z');
    const auto everywhere = OGRegularExpression::regularExpressionWithString(QStringLiteral("(?:x+x+)+z"));
    auto matches = everywhere->matchEnumeratorInString(text);
    EXPECT_FALSE(matches.nextObject());
    EXPECT_LT(matches.error().code(), 0);
    EXPECT_TRUE(log.contains(QStringLiteral("Regular expression search stopped")));

    // The limits do not get in the way of ordinary searches over long texts.
    const auto ordinary = OGRegularExpression::regularExpressionWithString(QStringLiteral("<a [^>]*?href=\"(.*?)\""));
    QString page;
    for (int i = 0; i < 20000; ++i)
        page += QStringLiteral("<p>text <a class=\"c\" href=\"page%1.html\">link</a></p>\n").arg(i);
    kit::Error pageError;
    EXPECT_EQ(ordinary->allMatchesInString(page, OgreNoneOption, kit::Range(0, page.size()), &pageError).size(), 20000);
    EXPECT_TRUE(pageError.isNull());
}

TEST(OGRegularExpressionTest, OneExpressionSearchesFromSeveralThreadsAtOnce)
{
    // Batch find shares a compiled expression between its workers.
    const auto expression = OGRegularExpression::regularExpressionWithString(QStringLiteral("<(\\w+)[^>]*>"),
        OgreIgnoreCaseOption | OgreMultilineOption);
    QString text;
    for (int i = 0; i < 2000; ++i)
        text += QStringLiteral("<P class=x>text</p>\n");
    std::atomic<int> wrong{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t)
        workers.emplace_back([&] {
            for (int round = 0; round < 5; ++round) {
                const auto matches = expression->allMatchesInString(text);
                if (matches.size() != 2000 || matches.last().substringAtIndex(1) != QStringLiteral("P"))
                    ++wrong;
            }
        });
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_EQ(wrong, 0);
}

} // namespace

namespace {

// A high surrogate with no low one after it, and low ones with none before them,
// are single code units the engine must not pair with their neighbours.
TEST(OGRegularExpressionTest, LoneSurrogatesDoNotHideMatchesOrReachPastTheText)
{
    const QChar high(0xD800), low(0xDC00);
    const struct
    {
        QString text;
        QString pattern;
        kit::Range expected;
    } cases[] = {
        { QString(high) + QStringLiteral("abc"), QStringLiteral("a"), { 1, 1 } },
        { QStringLiteral("x") + high + QStringLiteral("ab"), QStringLiteral("ab"), { 2, 2 } },
        { QString(low) + QStringLiteral("a"), QStringLiteral("a"), { 1, 1 } },
        { QStringLiteral("ab") + high, QStringLiteral("b.?$"), { 1, 2 } },
        // A real pair is still one character.
        { QStringLiteral("a\U0001F600b"), QStringLiteral("a.b"), { 0, 4 } },
    };
    for (const auto& c : cases) {
        const auto expression = OGRegularExpression::regularExpressionWithString(c.pattern);
        ASSERT_TRUE(expression);
        const auto match = expression->matchInString(c.text);
        ASSERT_TRUE(match) << c.pattern.toStdString();
        EXPECT_EQ(show(match->rangeOfMatchedString()), show(c.expected)) << c.pattern.toStdString();
        // The match reports the text as it is, lone halves included.
        EXPECT_EQ(match->targetString(), c.text);
        EXPECT_EQ(expression->allMatchesInString(c.text).size(), 1);
        kit::Error error;
        const auto bounded = expression->matchesInStringWithTimeLimit(
            c.text, OgreNoneOption, kit::Range(0, c.text.size()), 0, 5000, {}, &error);
        ASSERT_TRUE(bounded) << error.localizedDescription().toStdString();
        ASSERT_EQ(bounded->size(), 1);
        EXPECT_EQ(show(bounded->first().rangeOfMatchedString()), show(c.expected));
    }
}

// Searches with a time limit find what the plain ones find; a pattern that would
// run on for minutes (the absent operator nested in a repetition) is stopped when
// the time is up, while the caller's waiting function keeps being called.
TEST(OGRegularExpressionTest, SearchesWithATimeLimitStopWhenTheTimeIsUp)
{
    const auto words = OGRegularExpression::regularExpressionWithString(QStringLiteral("(\\w+)@(\\w+)"));
    const QString text = QStringLiteral("a@b c@d, e@f");
    kit::Error error;
    const auto all = words->matchesInStringWithTimeLimit(text, OgreNoneOption, kit::Range(2, text.size() - 2), 0,
        5000, {}, &error);
    ASSERT_TRUE(all);
    ASSERT_EQ(all->size(), 2);
    EXPECT_EQ(all->at(0).substringAtIndex(2), QStringLiteral("d"));
    EXPECT_EQ(show(all->at(1).rangeOfSubstringAtIndex(0)), "{9,3}");
    const auto first = words->matchesInStringWithTimeLimit(text, OgreNoneOption, kit::Range(0, text.size()), 1, 5000);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->size(), 1);
    const auto none = words->matchesInStringWithTimeLimit(QStringLiteral("no"), OgreNoneOption, kit::Range(0, 2), 0, 5000);
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->isEmpty());

    kit::LogCapture log;
    for (const char* pattern : { "(?~a*)*b", "(?~(?~(?~a)))b", "(a|a|aa)*b" }) {
        const auto slow = OGRegularExpression::regularExpressionWithString(QString::fromLatin1(pattern));
        ASSERT_TRUE(slow) << pattern;
        const QString long_ = QString(20000, QLatin1Char('a')) + QStringLiteral("!b");
        int waits = 0;
        QElapsedTimer clock;
        clock.start();
        kit::Error slowError;
        const auto result = slow->matchesInStringWithTimeLimit(long_, OgreNoneOption, kit::Range(0, long_.size()), 1,
            300, [&] { ++waits; }, &slowError);
        EXPECT_LT(clock.elapsed(), 2000) << pattern;
        EXPECT_FALSE(result) << pattern;
        EXPECT_TRUE(isSearchTookTooLongError(slowError)) << pattern;
        EXPECT_EQ(slowError.localizedDescription(), QStringLiteral("The search took too long."));
        EXPECT_GT(waits, 3) << pattern;
    }
    EXPECT_TRUE(log.contains(QStringLiteral("Regular expression search stopped after 300 ms")));
}

} // namespace
