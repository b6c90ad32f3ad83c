// Vocabulary words: insert text, list display, capitalisation, dictionaries.

#include "SyntaxTestSupport.h"

#include "kit/Log.h"
#include "kit/Resources.h"
#include "kit/UserDefaults.h"
#include "syntax/KELCompletionUtils.h"
#include "syntax/SyntaxCopyright.h"
#include "syntax/SyntaxWord.h"
#include "syntax/SyntaxWordDictionary.h"
#include "syntax/SyntaxWordRange.h"

#include <gtest/gtest.h>

namespace {

class SyntaxWordTest : public ::testing::Test
{
protected:
    void SetUp() override { kit::UserDefaults::standard().resetForTesting(); }
    void TearDown() override
    {
        kit::setResourcesPathForTesting(QString());
        kit::UserDefaults::standard().resetForTesting();
    }
};

/// The grey parts of a display value, in order.
QStringList greyParts(const StyledText& t)
{
    const QTextCharFormat grey = KELCompletionUtils::sharedInstance().displayValueGreyAttributes();
    QStringList parts;
    for (const auto& r : t.formats)
        if (r.format.foreground() == grey.foreground())
            parts.append(t.string.mid(r.start, r.length));
    return parts;
}

TEST_F(SyntaxWordTest, InsertAndDisplayValues)
{
    struct Case
    {
        const char* what;
        QString object, value, insert, shown;
        QStringList grey;
    } const cases[] = {
        { "placeholder kept, display-only dropped", {}, "f(<#x#>)<!y!>", "f(<#x#>)", "f(x)y", { "x", "y" } },
        { "two display-only sections", {}, "a<!b!>c<!d!>", "ac", "abcd", { "b", "d" } },
        { "no '>' keeps everything", {}, "a<!b", "a<!b", "a<!b", {} },
        { "object prefix", "Math", "floor(<#n#>)", "floor(<#n#>)", "Math::floor(n)", { "Math::", "n" } },
        { "plain word", {}, "color", "color", "color", {} },
    };
    for (const Case& c : cases) {
        SyntaxWord w;
        w.setObject(c.object);
        w.setValue(c.value);
        EXPECT_EQ(w.insertValue(), c.insert) << c.what;
        const StyledText shown = w.displayValue();
        EXPECT_EQ(shown.string, c.shown) << c.what;
        EXPECT_EQ(greyParts(shown), c.grey) << c.what;
    }
}

TEST_F(SyntaxWordTest, ElementsFollowTheCapitalisationSetting)
{
    SyntaxWord element;
    element.setType(QStringLiteral("Element"));
    element.setValue(QStringLiteral("div"));
    SyntaxWord attribute;
    attribute.setType(QStringLiteral("Attribute"));
    attribute.setValue(QStringLiteral("class"));

    EXPECT_EQ(element.insertValue(), QStringLiteral("div"));
    kit::UserDefaults::standard().setValue(QStringLiteral("Should Capitalize Tags"), true);
    EXPECT_EQ(element.value(), QStringLiteral("DIV"));
    EXPECT_EQ(element.insertValue(), QStringLiteral("DIV"));
    EXPECT_EQ(attribute.insertValue(), QStringLiteral("class"));
}

TEST_F(SyntaxWordTest, WordRangeEntry)
{
    SyntaxWord w;
    w.setValue(QStringLiteral("margin"));
    w.setDescription(QStringLiteral("Space around a box."));
    w.setStandard(QStringLiteral("CSS3"));
    w.setInfoUrl(QStringLiteral("https://example.org/margin"));
    SyntaxCopyright notice;
    notice.setHtmlValue(QStringLiteral("<p>\u00a9 Les auteurs \u2014 <b>Kelp</b></p>"));
    SyntaxWordRange entry(&w, kit::Range(4, 2), &notice, QStringLiteral("CSS"));
    EXPECT_EQ(entry.value(), QStringLiteral("margin"));
    EXPECT_EQ(entry.infoURL(), QUrl(QStringLiteral("https://example.org/margin")));
    EXPECT_EQ(entry.description(), QStringLiteral("Word:margin Range:(4,2)"));
    // A notice with characters outside ASCII keeps them.
    const QString description = entry.displayDescription().string;
    EXPECT_TRUE(description.startsWith(QStringLiteral("Space around a box. (CSS3)\n\n"))) << description.toStdString();
    EXPECT_TRUE(description.contains(QStringLiteral("\u00a9 Les auteurs \u2014 Kelp"))) << description.toStdString();

    SyntaxWord bare;
    bare.setValue(QStringLiteral("x"));
    bare.setStandard(QStringLiteral("HTML5"));
    EXPECT_TRUE(
        SyntaxWordRange(&bare, kit::Range(0, 0), nullptr, QStringLiteral("HTML")).displayDescription().isEmpty());

    SyntaxWordRange same(&w, kit::Range(9, 9), nullptr, QStringLiteral("CSS"));
    SyntaxWord twin;
    twin.setValue(QStringLiteral("margin"));
    EXPECT_TRUE(entry.isEqual(same));
    EXPECT_FALSE(entry.isEqual(SyntaxWordRange(&twin, kit::Range(4, 2), nullptr, QStringLiteral("CSS"))));

    kit::LogCapture log;
    SyntaxWordRange empty(nullptr, kit::Range(0, 0), nullptr, QStringLiteral("CSS"));
    EXPECT_TRUE(log.contains(QStringLiteral("Error: Word range with no word")));
    EXPECT_TRUE(empty.value().isNull());
}

TEST_F(SyntaxWordTest, VocabularyFileIsReadOnceOnFirstUse)
{
    QTemporaryDir dir;
    ASSERT_TRUE(syntaxtest::writeFile(dir.filePath(QStringLiteral("Vocabulary/Words.xml")),
        QStringLiteral("<v><word id=\"a\"><value>alpha</value></word>"
                       "<word><value>no id</value></word>"
                       "<word id=\"a\"><value>again</value></word>"
                       "<word id=\"b\" caseSensitive=\"false\"><value/></word></v>")));
    ASSERT_TRUE(
        syntaxtest::writeFile(dir.filePath(QStringLiteral("Vocabulary/Broken.xml")), QStringLiteral("<v><word>")));
    kit::setResourcesPathForTesting(dir.path());

    kit::LogCapture log;
    SyntaxWordDictionary words(QStringLiteral("Words.xml"));
    EXPECT_FALSE(words.hasInited());
    EXPECT_EQ(words.count(), 2);
    EXPECT_TRUE(log.contains(QStringLiteral("word with no id: Words.xml")));
    EXPECT_TRUE(log.contains(QStringLiteral("duplicate word key: Words.xml a")));
    EXPECT_EQ(words.objectForKey(QStringLiteral("a"))->value(), QStringLiteral("again")); // the later one replaces
    EXPECT_FALSE(words.objectForKey(QStringLiteral("b"))->caseSensitive());
    EXPECT_TRUE(words.objectForKey(QStringLiteral("b"))->value().isEmpty());

    SyntaxWordDictionary missing(QStringLiteral("Missing.xml"));
    EXPECT_EQ(missing.count(), 0);
    EXPECT_TRUE(missing.hasInited());

    log.clear();
    SyntaxWordDictionary broken(QStringLiteral("Broken.xml"));
    EXPECT_EQ(broken.count(), 0);
    EXPECT_TRUE(log.contains(QStringLiteral("Vocab Document could not be created: ")));
    log.clear();
    EXPECT_EQ(broken.count(), 0); // not retried
    EXPECT_TRUE(log.lines().isEmpty());
}

} // namespace
