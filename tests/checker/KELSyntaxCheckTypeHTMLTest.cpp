#include "CheckerTestSupport.h"

#include "checker/KELSyntaxCheckTypeHTML.h"

#include <gtest/gtest.h>

namespace {

struct Expected {
    const char* type;
    const char* title;
    quint64 line;
    const char* description; // start of the description; empty: not compared
};

struct PageCase {
    const char* fixture;
    std::vector<Expected> errors;
};


} // namespace

TEST(KELSyntaxCheckTypeHTMLTest, FixturePagesGiveTheirMessagesAndLines)
{
    registerCheckerDefaults();
    const PageCase cases[] = {
        { "clean.html", {} },
        { "unclosed.html",
            {
                { "HTML", "Unmatched Tag", 6, "The <span> tag is closed implicitly by the </div> tag. " },
                { "HTML", "Unmatched Tag", 5, "The <section> tag is closed implicitly by the </div> tag. " },
                { "HTML", "Unmatched Tag", 8, "The </section> tag attempts to close an element that is not open. " },
                { "HTML", "Unmatched Tag", 9, "The <div> tag is closed implicitly by the </body> tag. " },
            } },
        { "misplaced.html",
            {
                { "HTML", "Invalid Tag Nesting", 3, "The tag \"<td>\" must be contained" },
                { "HTML", "Unmatched Tag", 5, "The </span> tag attempts to close an element that is not open. " },
                { "HTML", "Invalid Tag Nesting", 6, "The tag \"<li>\" must be contained" },
                { "HTML", "Unrecognized Tag", 7, "The <blink> tag is not recognized as part of the HTML specification. " },
                { "HTML", "Unrecognized Tag", 8, "The <> tag is not recognized as part of the HTML specification. " },
            } },
        { "attributes.html",
            {
                { "HTML", "Unrecognized Attribute", 3, "The \"foo\" attribute is not recognized as a valid attribute for the <div> tag." },
                { "HTML", "Invalid Attribute Value", 4, "The value of the \"width\" attribute" },
                { "HTML", "Invalid Attribute Value", 5, "The value of the \"colspan\" attribute" },
                { "HTML", "Invalid Attribute Value", 5, "The value of the \"valign\" attribute" },
                { "CSS", "Invalid Property Value", 6, "" },
            } },
        { "scripts.html",
            {
                { "JavaScript", "JavaScript Error", 5, "SyntaxError" },
                { "JavaScript", "JavaScript Error", 13, "SyntaxError" },
            } },
    };
    for (const PageCase& c : cases) {
        SCOPED_TRACE(c.fixture);
        const QString text = fixtureText(QString::fromLatin1(c.fixture));
        ASSERT_FALSE(text.isEmpty());
        FakeDocument document(text, QStringLiteral("HTML"));
        const std::shared_ptr<KELSyntaxCheckResult> result = runCheck(document);
        ASSERT_TRUE(result);
        ASSERT_TRUE(result->typeResultForType(QStringLiteral("HTML")));
        std::vector<std::tuple<QString, QString, quint64, QString>> actual;
        for (const KELSyntaxCheckTypeResult& typeResult : result->orderedTypeResults())
            for (const KELSyntaxCheckError& e : typeResult.errors())
                actual.emplace_back(typeResult.typeName(), e.title(), e.lineNumber(), e.description());
        ASSERT_EQ(actual.size(), c.errors.size());
        for (size_t i = 0; i < actual.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(std::get<0>(actual[i]), QString::fromUtf8(c.errors[i].type));
            EXPECT_EQ(std::get<1>(actual[i]), QString::fromUtf8(c.errors[i].title));
            EXPECT_EQ(std::get<2>(actual[i]), c.errors[i].line);
            EXPECT_TRUE(std::get<3>(actual[i]).startsWith(QString::fromUtf8(c.errors[i].description))) << qPrintable(std::get<3>(actual[i]));
        }
        // HTML positions refer to the page checked; for an HTML document that is its own text.
        EXPECT_FALSE(result->typeResultForType(QStringLiteral("HTML"))->usesGeneratedSourceText());
    }
}

TEST(KELSyntaxCheckTypeHTMLTest, RangesOfUnmatchedTags)
{
    registerCheckerDefaults();
    const QString text = QStringLiteral("<div><span>text</div>");
    KELSyntaxCheckResult result;
    KELSyntaxCheckTypeHTML::sharedInstance().checkForErrors(result, text, false);
    const QList<KELSyntaxCheckError> errors = result.typeResultForType(QStringLiteral("HTML"))->errors();
    ASSERT_EQ(errors.size(), 1);
    // From the start of the open tag to the end of the closing tag that closed it.
    EXPECT_EQ(errors[0].textRange(), kit::Range(5, text.size() - 5));
}

TEST(KELSyntaxCheckTypeHTMLTest, TreeShapes)
{
    registerCheckerDefaults();
    KELSyntaxCheckTypeHTML& html = KELSyntaxCheckTypeHTML::sharedInstance();

    // A void element's children move up after it when its parent closes.
    {
        KELSyntaxCheckResult result;
        const auto root = html.parseText(QStringLiteral("<div><br><b>x</b></div>"), kit::Range(0, 23), &result, false, false);
        ASSERT_EQ(root->enclosed().size(), 1u);
        const TagEnclosure& div = *root->enclosed()[0];
        ASSERT_EQ(div.enclosed().size(), 2u);
        EXPECT_EQ(div.enclosed()[0]->tag()->name(), QStringLiteral("br"));
        EXPECT_TRUE(div.enclosed()[0]->enclosed().empty());
        EXPECT_EQ(div.enclosed()[1]->tag()->name(), QStringLiteral("b"));
        ASSERT_TRUE(div.closeTag());
        EXPECT_EQ(div.closeTag()->matchingTag(), div.tag().get());
        EXPECT_TRUE(result.typeResults().isEmpty());
    }
    // Names are matched without case; quotes and PHP blocks do not end a tag.
    {
        const QString text = QStringLiteral("<DIV title=\"a > b < c\" data-x='<?php echo \"'\"; ?>'>x</div>");
        const auto root = html.parseText(text);
        ASSERT_EQ(root->enclosed().size(), 1u);
        const TagEnclosure& div = *root->enclosed()[0];
        EXPECT_EQ(div.tag()->name(), QStringLiteral("div"));
        EXPECT_EQ(div.tag()->valueForAttribute(QStringLiteral("title")), QStringLiteral("a > b < c"));
        ASSERT_TRUE(div.closeTag());
        EXPECT_EQ(div.tag()->nameRange(), kit::Range(1, 3));
    }
    // Comments, declarations and PHP blocks make no tags.
    {
        const auto root = html.parseText(QStringLiteral("<!-- <div> --><?php if ($a < 1) { ?><!DOCTYPE html><?xml version=\"1.0\"?>"));
        ASSERT_EQ(root->enclosed().size(), 1u);
        EXPECT_EQ(root->enclosed()[0]->tag()->name(), QStringLiteral("!doctype"));
    }
    // A "<" inside a script body is not a tag.
    {
        const auto root = html.parseText(QStringLiteral("<script>if (a <b) x();</script><p>"));
        ASSERT_EQ(root->enclosed().size(), 2u);
        EXPECT_TRUE(root->enclosed()[0]->enclosed().empty());
        EXPECT_TRUE(root->enclosed()[0]->closeTag());
    }
}

TEST(KELSyntaxCheckTypeHTMLTest, TagInRange)
{
    KELSyntaxCheckTypeHTML& html = KELSyntaxCheckTypeHTML::sharedInstance();
    const QString text = QStringLiteral("x <a href=page.html target='_top' hidden> y");
    const kit::Range range(2, text.indexOf(u'>') - 1);
    const auto tag = html.tagInRange(range, text);
    ASSERT_TRUE(tag);
    EXPECT_EQ(tag->name(), QStringLiteral("a"));
    EXPECT_EQ(tag->attributes(), QStringList({ "href", "target", "hidden" }));
    EXPECT_EQ(tag->values(), QStringList({ "page.html", "_top", "" }));
    EXPECT_EQ(tag->location(), range);
    EXPECT_FALSE(html.tagInRange(kit::Range(0, 5), text));
    EXPECT_FALSE(html.tagInRange(kit::Range(2, 10), text));

    // "/>" closes the tag itself and is part of neither the name nor a value.
    for (const QString& written : { QStringLiteral("<br/>"), QStringLiteral("<img alt=\"a/b\" />") }) {
        const auto tag = html.tagInRange(kit::Range(0, written.size()), written);
        ASSERT_TRUE(tag);
        EXPECT_TRUE(tag->isXHTMLCloseTag());
        EXPECT_FALSE(tag->name().contains(u'/'));
        EXPECT_EQ(tag->values().join(QString()), written.contains(u'=') ? QStringLiteral("a/b") : QString());
    }
}

TEST(KELSyntaxCheckTypeHTMLTest, StyleAndScriptHandOff)
{
    registerCheckerDefaults();
    const QString text = QStringLiteral("<p style=\"color: nocolour\">a</p>\n<style></style><script></script>");
    for (bool generated : { false, true }) {
        KELSyntaxCheckResult result;
        KELSyntaxCheckTypeHTML::sharedInstance().checkForErrors(result, text, generated);
        const KELSyntaxCheckTypeResult* css = result.typeResultForType(QStringLiteral("CSS"));
        ASSERT_TRUE(css);
        EXPECT_EQ(css->usesGeneratedSourceText(), generated);
        ASSERT_EQ(css->errors().size(), 1);
        // The attribute value, quotes excluded, measured in the checked text.
        EXPECT_EQ(css->errors()[0].textRange().location, text.indexOf(QStringLiteral("nocolour")));
        // An empty script is not handed on; the empty style element is.
        EXPECT_FALSE(result.typeResultForType(QStringLiteral("JavaScript")));
    }
}

// A style attribute is HTML text: its character references are read as the
// characters they stand for, and an error still points at the page's own text.
TEST(KELSyntaxCheckTypeHTMLTest, StyleAttributesReadTheirCharacterReferences)
{
    registerCheckerDefaults();
    struct Case {
        const char* page;
        const char* errorAt; // null: no error
    } cases[] = {
        { "<p style=\"font-family: &#39;Times New Roman&#39;, serif\">a</p>", nullptr },
        { "<p style=\"font-family: &quot;Noto Sans&quot;; color: #fff\">a</p>", nullptr },
        { "<p style=\"font-family: &#x27;A &amp; B&#x27;\">a</p>", nullptr },
        { "<p style=\"content: &apos;&#8594;&apos;; color: nocolour\">a</p>", "nocolour" },
        { "<p style=\"font-family: &#39;A&#39;; colr: red\">a</p>", "colr" },
        { "<p style=\"color: &unknown;\">a</p>", "&unknown;" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.page);
        const QString text = QString::fromUtf8(c.page);
        KELSyntaxCheckResult result;
        KELSyntaxCheckTypeHTML::sharedInstance().checkForErrors(result, text, false);
        const KELSyntaxCheckTypeResult* css = result.typeResultForType(QStringLiteral("CSS"));
        ASSERT_TRUE(css);
        if (!c.errorAt) {
            EXPECT_TRUE(css->errors().isEmpty()) << qPrintable(css->errors().isEmpty() ? QString() : css->errors().first().title());
            continue;
        }
        ASSERT_FALSE(css->errors().isEmpty());
        const kit::Range range = css->errors()[0].textRange();
        EXPECT_LE(range.location, text.indexOf(QString::fromUtf8(c.errorAt)));
        EXPECT_GE(range.location + range.length, text.indexOf(QString::fromUtf8(c.errorAt)) + 1);
        EXPECT_LT(range.location + range.length, text.indexOf(QStringLiteral("\">a")) + 1);
    }
}

TEST(KELSyntaxCheckTypeHTMLTest, ScriptTypes)
{
    registerCheckerDefaults();
    struct Case {
        const char* page;
        bool jsError;
    } cases[] = {
        { "<script>var a = ;</script>", true },
        { "<script type=\"text/javascript; charset=utf-8\">var a = ;</script>", true },
        { "<script type=\"application/ld+json\">{ \"a\": }</script>", false },
        { "<script type=\"text/x-handlebars\">{{#if}}<b>{{/if}}</script>", false },
        { "<script type=\"module\">import x from './x.js'; export { x };</script>", false },
        { "<script type=\"module\">import x from;</script>", true },
        { "<script>\n\nvar a = 1;\nvar b = ;\n</script>", true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.page);
        const QString text = QString::fromUtf8(c.page);
        KELSyntaxCheckResult result;
        KELSyntaxCheckTypeHTML::sharedInstance().checkForErrors(result, text, false);
        const KELSyntaxCheckTypeResult* js = result.typeResultForType(QStringLiteral("JavaScript"));
        EXPECT_EQ(js && !js->errors().isEmpty(), c.jsError);
    }
    // The error's range is its whole line of the script, measured in the page.
    const QString text = QString::fromUtf8(cases[6].page);
    KELSyntaxCheckResult result;
    KELSyntaxCheckTypeHTML::sharedInstance().checkForErrors(result, text, false);
    ASSERT_EQ(result.typeResultForType(QStringLiteral("JavaScript"))->errors().size(), 1);
    const KELSyntaxCheckError e = result.typeResultForType(QStringLiteral("JavaScript"))->errors()[0];
    EXPECT_EQ(e.title(), QStringLiteral("JavaScript Error"));
    EXPECT_EQ(e.textRange(), kit::Range(text.indexOf(QStringLiteral("var b")), 10));
}

TEST(KELSyntaxCheckTypeHTMLTest, VocabularySettings)
{
    struct Case {
        bool html5;
        const char* page;
        const char* title; // null: no error
    } cases[] = {
        { true, "<div data-Role=\"x\" aria-hidden=\"true\"></div>", nullptr },
        { false, "<div data-role=\"x\"></div>", "Unrecognized Attribute" },
        { true, "<my-card></my-card>", nullptr },
        { false, "<my-card></my-card>", "Unrecognized Tag" },
        { true, "<kelphperror></kelphperror>", nullptr },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.page);
        registerCheckerDefaults(c.html5);
        KELSyntaxCheckResult result;
        KELSyntaxCheckTypeHTML::sharedInstance().checkForErrors(result, QString::fromUtf8(c.page), false);
        const QList<KELSyntaxCheckError> errors = result.typeResultForType(QStringLiteral("HTML"))->errors();
        if (!c.title) {
            EXPECT_TRUE(errors.isEmpty()) << (errors.isEmpty() ? std::string() : errors[0].description().toStdString());
        } else {
            ASSERT_EQ(errors.size(), 1);
            EXPECT_EQ(errors[0].title(), QString::fromUtf8(c.title));
        }
    }
    registerCheckerDefaults(true);
}

TEST(KELSyntaxCheckTypeHTMLTest, PHPErrorsGiveTheLinePHPNames)
{
    registerCheckerDefaults();
    struct Case {
        const char* message;
        quint64 line;
    } cases[] = {
        { "Parse error: syntax error in /var/www/page.php on line 12", 12 },
        // An earlier "line" in a path or a name does not hide the real one.
        { "Warning: inline_x() failed in /srv/online/page.php on line 7", 7 },
        { "Fatal error: out of memory", 0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const QString text = QStringLiteral("<p>a\n<kelphperror>\n  ") + QString::fromUtf8(c.message) + QStringLiteral("  \n</kelphperror>");
        KELSyntaxCheckResult result;
        KELSyntaxCheckTypeHTML::sharedInstance().checkForErrors(result, text, true);
        const KELSyntaxCheckTypeResult* php = result.typeResultForType(QStringLiteral("PHP"));
        ASSERT_TRUE(php);
        ASSERT_EQ(php->errors().size(), 1);
        EXPECT_EQ(php->errors()[0].title(), QStringLiteral("PHP Error"));
        EXPECT_EQ(php->errors()[0].description(), QString::fromUtf8(c.message));
        EXPECT_EQ(php->errors()[0].lineNumber(), c.line);
        EXPECT_TRUE(php->errors()[0].textRange().isNotFound());
    }
}

TEST(KELSyntaxCheckTypeHTMLTest, BadInputEndsTheWalkCleanly)
{
    registerCheckerDefaults();
    KELSyntaxCheckTypeHTML& html = KELSyntaxCheckTypeHTML::sharedInstance();
    QString binary;
    for (int i = 0; i < 4096; ++i)
        binary += QChar(char16_t((i * 7919) % 0xD7FF));
    const QString cases[] = {
        QStringLiteral("<p>text <!-- comment never closed <div>"),
        QStringLiteral("<a href=\"never closed><div>"),
        QStringLiteral("<div><?php echo 1;"),
        QStringLiteral("<div><"),
        QStringLiteral("<script>never closed <div>"),
        QStringLiteral("<kelphperror>never closed"),
        QStringLiteral("</>< ></ x>"),
        binary,
    };
    for (const QString& text : cases) {
        KELSyntaxCheckResult result;
        html.checkForErrors(result, text, false);
        EXPECT_TRUE(result.typeResultForType(QStringLiteral("HTML")));
        html.organizedText(text);
    }

    // Nesting far deeper than the call stack: the walk, the release of its tree and
    // Organize Tags keep to their own stacks, and stray closing tags stay cheap.
    const int depth = 250000;
    const QString deep = QStringLiteral("<div>\n").repeated(depth) + QStringLiteral("</span>").repeated(depth);
    KELSyntaxCheckResult result;
    html.checkForErrors(result, deep, false);
    EXPECT_EQ(result.typeResultForType(QStringLiteral("HTML"))->errors().size(), 2 * depth);
    const QString organized = html.organizedText(deep);
    // Indentation stops deepening at a bounded depth.
    EXPECT_LT(organized.size(), deep.size() + qsizetype(depth) * 300);
    KELSyntaxCheckTypeHTML::releaseTree(html.parseText(deep));
}

TEST(KELSyntaxCheckTypeHTMLTest, BlanksAroundEqualsSign)
{
    registerCheckerDefaults();
    KELSyntaxCheckTypeHTML& html = KELSyntaxCheckTypeHTML::sharedInstance();
    const QString text = QStringLiteral("<a href = \"page.html\" target= '_top' title =t\n  rel\n=\nnext hidden download>");
    const auto tag = html.tagInRange(kit::Range(0, text.size()), text);
    ASSERT_TRUE(tag);
    EXPECT_EQ(tag->attributes(), QStringList({ "href", "target", "title", "rel", "hidden", "download" }));
    EXPECT_EQ(tag->values(), QStringList({ "page.html", "_top", "t", "next", "", "" }));

    for (const char* page : { "<a href = \"x.html\">x</a>", "<img src =\"a.png\" alt= \"\" width = 10>", "<p style = \"color: red\">x</p>" }) {
        KELSyntaxCheckResult result;
        html.checkForErrors(result, QString::fromUtf8(page), false);
        for (const KELSyntaxCheckTypeResult& typeResult : result.orderedTypeResults())
            EXPECT_TRUE(typeResult.errors().isEmpty()) << page << ": " << qPrintable(typeResult.errors().first().description());
    }
    // The value of a style attribute written with blanks still reaches the CSS check.
    KELSyntaxCheckResult result;
    html.checkForErrors(result, QStringLiteral("<p style = \"colr: red\">x</p>"), false);
    ASSERT_TRUE(result.typeResultForType(QStringLiteral("CSS")));
    EXPECT_EQ(result.typeResultForType(QStringLiteral("CSS"))->errors().size(), 1);
}

namespace {

// "line title" of every error of a whole check of the page, in line order.
QStringList checkedLines(const QString& text)
{
    FakeDocument document(text, QStringLiteral("HTML"));
    const std::shared_ptr<KELSyntaxCheckResult> result = runCheck(document);
    QStringList found;
    if (!result)
        return { QStringLiteral("no result") };
    for (const KELSyntaxCheckTypeResult& typeResult : result->orderedTypeResults())
        for (const KELSyntaxCheckError& e : typeResult.errors())
            found.append(QStringLiteral("%1 %2").arg(e.lineNumber()).arg(e.title()));
    std::sort(found.begin(), found.end(), [](const QString& a, const QString& b) { return a.section(u' ', 0, 0).toInt() < b.section(u' ', 0, 0).toInt(); });
    return found;
}

} // namespace

TEST(KELSyntaxCheckTypeHTMLTest, RealPagesOfTodayAndYesterdayAreClean)
{
    registerCheckerDefaults();
    // A page of today (ARIA, inline SVG, scripts, details) and one of HTML 4 days that
    // leaves out the end tags of paragraphs and list items.
    for (const char* name : { "node-synopsis.html", "fpc-faq.html" }) {
        SCOPED_TRACE(name);
        const QString text = fixtureText(QString::fromUtf8(name));
        ASSERT_FALSE(text.isEmpty());
        const QStringList found = checkedLines(text);
        EXPECT_TRUE(found.isEmpty()) << qPrintable(found.join(u'\n'));
    }
}

TEST(KELSyntaxCheckTypeHTMLTest, PlantedErrorsInARealPageAreFoundAtTheirLines)
{
    registerCheckerDefaults();
    const QString text = fixtureText(QStringLiteral("node-synopsis-planted.html"));
    ASSERT_FALSE(text.isEmpty());
    QStringList expected;
    const QStringList lines = text.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const qsizetype at = lines[i].indexOf(QLatin1String("planted: "));
        if (at >= 0)
            expected.append(QStringLiteral("%1 %2").arg(i + 1).arg(lines[i].mid(at + 9).section(QLatin1String(" -->"), 0, 0)));
    }
    ASSERT_EQ(expected.size(), 7);
    EXPECT_EQ(checkedLines(text), expected);
}

TEST(KELSyntaxCheckTypeHTMLTest, CheckAloneReportsWhatTheTreeWalkReports)
{
    // The check walks without building a tree; its messages must be those of the walk
    // that builds one.
    QStringList pages;
    for (const char* fixture : { "unclosed.html", "misplaced.html", "attributes.html", "scripts.html", "node-synopsis-planted.html",
             "fuzz-unclosed-list-items.html", "fpc-faq.html" })
        pages << fixtureText(QString::fromLatin1(fixture));
    pages << QStringLiteral("<UL><LI>a<li>b<P>c<BR>d</ul></Div><td>e<kelphperror>Parse error on line 4</kelphperror>")
          << QStringLiteral("<table><tr><td>a<td>b<tr><td>c</table><p>x<p><img src=a.png WIDTH=wide>y</section>")
          << QStringLiteral("<div data-X=1 ARIA-label=y Foo=z><span STYLE=\"color: nocolour\"><b><i>t</div><br/><hr>");
    for (bool html5 : { true, false }) {
        registerCheckerDefaults(html5);
        for (const QString& text : pages) {
            SCOPED_TRACE(text.left(60).toStdString());
            ASSERT_FALSE(text.isEmpty());
            KELSyntaxCheckResult alone;
            KELSyntaxCheckTypeHTML::sharedInstance().checkForErrors(alone, text, false);
            KELSyntaxCheckResult withTree;
            withTree.establishType(QStringLiteral("HTML"), false);
            KELSyntaxCheckTypeHTML::releaseTree(
                KELSyntaxCheckTypeHTML::sharedInstance().parseText(text, kit::Range(0, text.size()), &withTree, false, false));
            ASSERT_EQ(alone.typeResults().keys(), withTree.typeResults().keys());
            for (const QString& type : alone.typeResults().keys())
                EXPECT_EQ(alone.typeResultForType(type)->errors(), withTree.typeResultForType(type)->errors()) << qPrintable(type);
        }
    }
    registerCheckerDefaults();
}
