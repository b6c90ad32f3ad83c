// Elements whose end tag HTML lets an author leave out: where they end, what they
// hold, and pages of thousands of them checked like any other.
#include "CheckerTestSupport.h"

#include "checker/KELSyntaxCheckTypeHTML.h"

#include <gtest/gtest.h>

namespace {

// "name" for a leaf, "name(child child)" for a node with children.
QString shape(const TagEnclosure& node)
{
    QString out = node.tag() ? node.tag()->name() : QStringLiteral("root");
    if (!node.enclosed().empty()) {
        QStringList children;
        for (const auto& child : node.enclosed())
            children.append(shape(*child));
        out += u'(' + children.join(u' ') + u')';
    }
    return out;
}

} // namespace

TEST(KELSyntaxCheckTypeHTMLUnclosedTest, ElementsWithoutEndTagsEndWhereHTMLEndsThem)
{
    registerCheckerDefaults();
    KELSyntaxCheckTypeHTML& html = KELSyntaxCheckTypeHTML::sharedInstance();
    const struct {
        const char* text;
        const char* shape;
    } cases[] = {
        // A paragraph ends at the next block, a list item at the next item or the end
        // of its list, each keeping its content; void elements stay leaves.
        { "<div><p><b>x</b><p><i>y</i></div>", "root(div(p(b) p(i)))" },
        { "<div><p>a<b><p>c</b><p>d</div>", "root(div(p(b(p)) p))" },
        { "<p>a<p>b<p>c", "root(p p p)" },
        { "<ul><li><em>a</em><li>b</ul>", "root(ul(li(em) li))" },
        { "<p>a<br>b<img src=x>c<div>d</div>", "root(p(br img) div)" },
        // Cells end at the next cell or row, rows at the next row or group.
        { "<table><tr><td>a<td>b<tr><th>c<td><em>d</em></table>", "root(table(tr(td td) tr(th td(em))))" },
        { "<table><thead><tr><th>a<tbody><tr><td>b<tfoot><tr><td>c</table>", "root(table(thead(tr(th)) tbody(tr(td)) tfoot(tr(td))))" },
        { "<dl><dt>a<dd>b<dt>c<dd>d</dl>", "root(dl(dt dd dt dd))" },
        { "<select><optgroup><option>a<option>b<optgroup><option>c</select>", "root(select(optgroup(option option) optgroup(option)))" },
        { "<ruby>a<rp>(<rt>b<rp>)</ruby>", "root(ruby(rp rt rp))" },
        { "<html><head><title>t</title><body><p>x", "root(html(head(title) body(p)))" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const QString text = QString::fromLatin1(c.text);
        KELSyntaxCheckResult result;
        const auto root = html.parseText(text, kit::Range(0, text.size()), &result, false, false);
        EXPECT_EQ(shape(*root), QString::fromLatin1(c.shape));
        const KELSyntaxCheckTypeResult* found = result.typeResultForType(QStringLiteral("HTML"));
        EXPECT_TRUE(!found || found->errors().isEmpty()) << qPrintable(found->errors().first().description());
    }
}

TEST(KELSyntaxCheckTypeHTMLUnclosedTest, EndTagsLeftOutOnlyWhereHTMLAllows)
{
    registerCheckerDefaults();
    const struct {
        const char* text;
        const char* description; // the one error; null for none
    } cases[] = {
        { "<ul><li>a<li>b</ul>", nullptr },
        { "<ul><li>a</li><li>b</li></ul>", nullptr },
        // An element that needs its end tag is still reported.
        { "<table><tr><td><div>a<td>b</table>", "The <div> tag is closed implicitly by the </table> tag. " },
        { "<ul><li><span>a<li>b</ul>", "The <span> tag is closed implicitly by the </ul> tag. " },
        // A closing tag for an element already ended by a block is not open.
        { "<p>a<div>b</div></p>", "The </p> tag attempts to close an element that is not open. " },
        { "<div><p>a", "The <div> tag is not closed. " },
        // The start tags of html, head and body may be left out as well.
        { "<!DOCTYPE html><title>t</title><p>x", nullptr },
        { "<!DOCTYPE html><meta charset=utf-8><title>t</title><link rel=stylesheet href=a.css><h1>x</h1>", nullptr },
        { "<head><title>t</title></head><body><p>x</body>", nullptr },
        // A "<" that starts no tag is reported alone; the elements around it keep their shape.
        { "<div><pre>x = <%= y %>;</pre><p>a</p></div>", "The <%=> tag is not recognized as part of the HTML specification. " },
        { "<div><title>t</title></div>", "The tag \"<title>\" must be contained within the scope of a \"<head>\" or \"<svg>\" tag. " },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        KELSyntaxCheckResult result;
        KELSyntaxCheckTypeHTML::sharedInstance().checkForErrors(result, QString::fromLatin1(c.text), false);
        const QList<KELSyntaxCheckError> errors = result.typeResultForType(QStringLiteral("HTML"))->errors();
        QStringList descriptions;
        for (const KELSyntaxCheckError& e : errors)
            descriptions.append(e.description());
        if (!c.description) {
            EXPECT_TRUE(errors.isEmpty()) << qPrintable(descriptions.join(u'\n'));
            continue;
        }
        ASSERT_EQ(errors.size(), 1) << qPrintable(descriptions.join(u'\n'));
        EXPECT_EQ(errors[0].description(), QString::fromLatin1(c.description));
    }
    // The HTML 4 table keeps its own rules: a table cell's end tag is required there.
    registerCheckerDefaults(false);
    KELSyntaxCheckResult result;
    KELSyntaxCheckTypeHTML::sharedInstance().checkForErrors(result, QStringLiteral("<table><tr><td>a<td>b</tr></table>"), false);
    EXPECT_FALSE(result.typeResultForType(QStringLiteral("HTML"))->errors().isEmpty());
    registerCheckerDefaults(true);
}

TEST(KELSyntaxCheckTypeHTMLUnclosedTest, ThousandsOfUnclosedParagraphsMakeAFlatTree)
{
    registerCheckerDefaults();
    const QString text = fixtureText(QStringLiteral("fuzz-unclosed-paragraphs.html"));
    ASSERT_FALSE(text.isEmpty());
    KELSyntaxCheckResult result;
    const auto root = KELSyntaxCheckTypeHTML::sharedInstance().parseText(text, kit::Range(0, text.size()), &result, false, false);
    ASSERT_EQ(root->enclosed().size(), size_t(20000));
    qsizetype previous = -1;
    for (const auto& p : root->enclosed()) {
        EXPECT_TRUE(p->enclosed().empty());
        EXPECT_GT(p->tag()->location().location, previous);
        previous = p->tag()->location().location;
    }
}

TEST(KELSyntaxCheckTypeHTMLUnclosedTest, ThousandsOfUnclosedListItemsMakeAFlatListInsideTheirList)
{
    registerCheckerDefaults();
    const QString text = fixtureText(QStringLiteral("fuzz-unclosed-list-items.html"));
    ASSERT_FALSE(text.isEmpty());
    KELSyntaxCheckResult result;
    const auto root = KELSyntaxCheckTypeHTML::sharedInstance().parseText(text, kit::Range(0, text.size()), &result, false, false);
    ASSERT_EQ(root->enclosed().size(), size_t(1));
    const TagEnclosure& list = *root->enclosed().front();
    EXPECT_EQ(list.tag()->name(), QStringLiteral("ul"));
    ASSERT_EQ(list.enclosed().size(), size_t(20000));
    qsizetype previous = list.tag()->location().location;
    for (const auto& item : list.enclosed()) {
        EXPECT_EQ(item->tag()->name(), QStringLiteral("li"));
        EXPECT_EQ(item->parent(), &list);
        EXPECT_TRUE(item->enclosed().empty());
        EXPECT_GT(item->tag()->location().location, previous);
        previous = item->tag()->location().location;
    }
    // Every item is inside its list: the only complaint is the list left open.
    const QList<KELSyntaxCheckError> errors = result.typeResultForType(QStringLiteral("HTML"))->errors();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0].description(), QStringLiteral("The <ul> tag is not closed. "));
}
