#include "components/KELComponentInsertLogicTag.h"

#include "ComponentTestSupport.h"
#include "components/KELComponentDefaultImageManager.h"
#include "components/KELComponentExpression.h"
#include "kit/Log.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QUrl>

using namespace componenttest;

namespace {

// Renders the first template of a definition made of the given template body.
QString renderTemplate(const QString& body, FakeResolver& resolver, const QString& insertAttributes = QStringLiteral(" removeBlankLines=\"false\""))
{
    QTemporaryDir dir;
    auto component = makeComponent(dir.path(), QStringLiteral("T"), QStringLiteral("<c:insert%1>%2</c:insert>").arg(insertAttributes, body));
    auto definition = KELComponentDefinition::definitionWithComponent(component);
    if (!definition || definition->insertedContent().empty())
        return QStringLiteral("<unreadable>");
    QString out;
    definition->insertedContent().front()->appendContentToString(out, resolver);
    return out;
}

} // namespace

TEST(KELComponentInsertLogicTagTest, ExpressionPartsAndRawValues)
{
    FakeResolver resolver;
    resolver.values->setValue(QStringLiteral("a"), qlonglong(2));
    resolver.values->setValue(QStringLiteral("u"), QUrl(QStringLiteral("http://example.com/")));
    struct Case {
        const char* text;
        const char* result;
        const char* type; // of the value: raw numbers and URLs stay what they are
    };
    const Case cases[] = {
        { "${a}", "2", "qlonglong" },
        { "${u}", "http://example.com/", "QUrl" },
        { "x${a}", "x2", "QString" },
        { "${missing} and ${a}", " and 2", "QString" },
        { "${}", "", "" },
        { "${} plain", " plain", "QString" },
        { "no parts", "no parts", "QString" },
        { "${a + 1}${a * 2}", "34", "QString" },
        { "${1 +}", "", "" }, // rejected parts add nothing
        { "${a", "${a", "QString" },
        { "${ 3.0 }", "3", "double" },
    };
    for (const Case& c : cases) {
        const KELComponentExpression expression(QString::fromUtf8(c.text));
        const QVariant value = expression.evaluateWithResolver(resolver);
        EXPECT_EQ(KELExpression::stringValue(value), QString::fromUtf8(c.result)) << c.text;
        EXPECT_STREQ(value.isValid() ? value.typeName() : "", c.type) << c.text;
    }
    EXPECT_FALSE(KELComponentExpression(std::nullopt).evaluateWithResolver(resolver).isValid());
}

TEST(KELComponentInsertLogicTagTest, ConditionsChoicesAndLoops)
{
    FakeResolver resolver;
    resolver.values->setValue(QStringLiteral("n"), qlonglong(3));
    resolver.values->setValue(QStringLiteral("on"), QStringLiteral("false")); // a non-empty text is true
    struct Case {
        const char* body;
        const char* result;
    };
    const Case cases[] = {
        { "<c:if condition=\"${n > 2}\">big</c:if><c:if condition=\"${n > 5}\">huge</c:if>", "big" },
        { "<c:if condition=\"${on}\">yes</c:if>", "yes" },
        { "<c:isSet var=\"on\">set</c:isSet><c:isSet var=\"off\">unset</c:isSet>", "set" },
        { "<c:choose> <c:when condition=\"${n == 1}\">one</c:when><c:otherwise>other</c:otherwise><c:when condition=\"${n == 3}\">three</c:when></c:choose>",
            "other" },
        { "<c:choose><c:when condition=\"${n == 3}\">three</c:when><c:otherwise>other</c:otherwise></c:choose>", "three" },
        { "<c:choose><c:when condition=\"${false}\">x</c:when></c:choose>", "" },
        { "<c:for init=\"${i = 0}\" test=\"${i &lt; n}\" count=\"${i = i + 1}\">[<c:print value=\"${i}\"/>]</c:for>", "[0][1][2]" },
        { "<c:for init=\"${i = 0}\" test=\"${i < n}\" count=\"${i++}\"><c:print value=\"${i}\"/></c:for>", "012" },
        { "<c:for init=\"${i = 0}\">never</c:for>", "" },
        { "<c:set var=\"greeting\">Hello <c:print value=\"${n}\"/></c:set><c:print value=\"${greeting}!\"/>", "Hello 3!" },
        { "<c:evaluate value=\"${x = n * 2}\">hidden</c:evaluate><c:print value=\"${x}\"/>", "6" },
        { "<c:unknownTag>dropped</c:unknownTag>after", "after" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(renderTemplate(QString::fromUtf8(c.body), resolver), QString::fromUtf8(c.result)) << c.body;
}

TEST(KELComponentInsertLogicTagTest, EndlessLoopsStopWithALogLine)
{
    FakeResolver resolver;
    kit::LogCapture log;
    const QString out = renderTemplate(QStringLiteral("<c:for init=\"${i = 0}\" test=\"${true}\" count=\"${i = i + 1}\">x</c:for>"), resolver);
    EXPECT_EQ(out.size(), KELComponentInsertLogicTag::MaximumLoopRounds);
    EXPECT_TRUE(log.contains(QStringLiteral("Template loop stopped after 10000 rounds")));

    // Nested loops share one budget for the whole rendering.
    log.clear();
    const QString nested = renderTemplate(
        QStringLiteral("<c:for init=\"${i = 0}\" test=\"${i < 1000}\" count=\"${i++}\"><c:for init=\"${j = 0}\" test=\"${j < 1000}\" count=\"${j++}\">y</c:for></c:for>"),
        resolver);
    EXPECT_LE(nested.size(), KELComponentInsertLogicTag::MaximumRenderRounds);
    EXPECT_TRUE(log.contains(QStringLiteral("Template loop stopped")));
}

TEST(KELComponentInsertLogicTagTest, PrintEncodingAndBlankLines)
{
    struct Case {
        const char* text;
        KELComponentPrintTag::NewLineEncoding newLines;
        const char* escape;
        const char* result;
    };
    const Case cases[] = {
        { "a<b & 'c'", KELComponentPrintTag::NewLineSpace, nullptr, "a&lt;b &amp; &#39;c&#39;" },
        { "a<b & 'c'", KELComponentPrintTag::NewLineSpace, "'", "a<b & \\'c\\'" },
        { "say \"x\" > y", KELComponentPrintTag::NewLineSpace, nullptr, "say &quot;x&quot; &gt; y" },
        { "a\nb", KELComponentPrintTag::NewLineHTML, nullptr, "a<br/>b" },
        { "a\nb", KELComponentPrintTag::NewLineSpace, nullptr, "a b" },
        { "a\nb", KELComponentPrintTag::NewLineScript, "\"", "a\\nb" },
        { "a\nb", KELComponentPrintTag::NewLineNone, nullptr, "a\nb" },
    };
    for (const Case& c : cases) {
        std::optional<QSet<QChar>> escape;
        if (c.escape)
            escape = QSet<QChar> { QChar::fromLatin1(c.escape[0]) };
        EXPECT_EQ(KELComponentPrintTag::encodeString(QString::fromUtf8(c.text), c.newLines, escape), QString::fromUtf8(c.result)) << c.text;
    }

    QString text = QStringLiteral("\n  \n<p>\n\t\n</p>");
    KELComponentInsertLogicTag::removeBlankLinesFromString(text);
    EXPECT_EQ(text, QStringLiteral("<p>\n</p>"));
    text = QStringLiteral("a\n\n\n  b\n   ");
    KELComponentInsertLogicTag::removeBlankLinesFromString(text);
    EXPECT_EQ(text, QStringLiteral("a\n  b\n   "));

    // Through templates: attributes choose the encoding; a template drops blank lines by default.
    FakeResolver resolver;
    resolver.values->setValue(QStringLiteral("t"), QStringLiteral("1 < 2\nok"));
    EXPECT_EQ(renderTemplate(QStringLiteral("<c:print value=\"${t}\" newLineEncoding=\"HTML\"/>|<c:print value=\"${t}\" encode=\"no\"/>"), resolver),
        QStringLiteral("1 &lt; 2<br/>ok|1 < 2\nok"));
    EXPECT_EQ(renderTemplate(QStringLiteral("\n  <p>\n\n  </p>\n"), resolver, QString()), QStringLiteral("  <p>\n  </p>\n"));
    kit::LogCapture log;
    EXPECT_EQ(renderTemplate(QStringLiteral("<c:print value=\"${nothing}\">after</c:print>"), resolver), QStringLiteral("after"));
    EXPECT_TRUE(log.contains(QStringLiteral("nil expression value: ${nothing}")));
}

TEST(KELComponentInsertLogicTagTest, URLsAreRelativeToTheDocument)
{
    FakeResolver resolver;
    resolver.stored.insert(QStringLiteral("DOCPATH"), QStringLiteral("/site/pages/index.html"));
    resolver.values->setValue(QStringLiteral("img"), QUrl::fromLocalFile(QStringLiteral("/site/images/a b.png")));
    resolver.values->setValue(QStringLiteral("web"), QStringLiteral("https://example.com/x?y=1&z=2"));
    resolver.values->setValue(QStringLiteral("abs"), QStringLiteral("/site/pages/sub/c.css"));
    resolver.values->setValue(QStringLiteral("base"), QUrl::fromLocalFile(QStringLiteral("/site/index.html")));
    EXPECT_EQ(renderTemplate(QStringLiteral("<c:url value=\"${img}\"/>|<c:url value=\"${abs}\"/>|<c:url value=\"${web}\"/>|<c:url value=\"${img}\" rel=\"${base}\"/>"), resolver),
        QStringLiteral("../images/a%20b.png|sub/c.css|https://example.com/x?y=1&amp;z=2|images/a%20b.png"));
    // Without a document location a file is linked by its absolute URL.
    resolver.stored.remove(QStringLiteral("DOCPATH"));
    EXPECT_EQ(renderTemplate(QStringLiteral("<c:url value=\"${img}\"/>"), resolver), QStringLiteral("file:///site/images/a%20b.png"));
}

TEST(KELComponentInsertLogicTagTest, PreviewSelectionUniqueAndStockPictures)
{
    FakeResolver resolver;
    resolver.stored.insert(QStringLiteral("SELECTION"), QStringLiteral("<b>sel</b>"));
    resolver.values->setValue(QStringLiteral("menuId"), QStringLiteral("menu"));
    EXPECT_EQ(renderTemplate(QStringLiteral("<c:selection>x</c:selection>-<c:unique var=\"menuId\"/>-<c:centerPreview>c</c:centerPreview>"), resolver),
        QStringLiteral("<b>sel</b>-menu-c"));
    resolver.stored.insert(QStringLiteral("PREVIEW"), true);
    const QString centred = renderTemplate(QStringLiteral("<c:centerPreview>c</c:centerPreview>"), resolver);
    EXPECT_TRUE(centred.startsWith(QStringLiteral("\n\t\t <div style=\"top: 0; left: 0; width: 100%; height: 100%; position: absolute; display: table\">")));
    EXPECT_TRUE(centred.endsWith(QStringLiteral("padding: 10px; text-align: left;\">c</div>\n</div>\n</div>\n")));

    auto& images = KELComponentDefaultImageManager::sharedInstance();
    EXPECT_TRUE(images.defaultImageForIndex(5).path().endsWith(QStringLiteral("/DefaultImages/Mountain2.jpg")));
    EXPECT_TRUE(images.defaultImageForIndex(0).path().endsWith(QStringLiteral("/Sunset1.jpg")));
    EXPECT_TRUE(images.defaultImageForIndices({ 3, 6 }).path().endsWith(QStringLiteral("/London3.jpg")));
    EXPECT_TRUE(images.defaultImageForIndices({}).path().endsWith(QStringLiteral("/Sunset1.jpg")));
    struct Scale {
        QSizeF size, limit, result;
    };
    for (const Scale& s : { Scale { { 800, 600 }, { 400, -1 }, { 400, 300 } }, Scale { { 800, 600 }, { -1, 300 }, { 400, 300 } },
             Scale { { 100, 50 }, { 400, 400 }, { 100, 50 } }, Scale { { 800, 600 }, { 400, 100 }, { 400.0 / 3.0, 100 } },
             Scale { { 800, 0 }, { 400, -1 }, { 400, 0 } } })
        EXPECT_EQ(KELComponentDefaultImageManager::scaleDownSize(s.size, s.limit), s.result);

    // The stock pictures ship at 800 × 600.
    const QString picture = renderTemplate(QStringLiteral("<c:randomImage index=\"${5}\" maxWidth=\"400\"/>"), resolver);
    EXPECT_TRUE(picture.contains(QStringLiteral("Mountain2.jpg\" width=\"400\" height=\"300\" border=\"0\"/>"))) << picture.toStdString();
}
