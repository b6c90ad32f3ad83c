// Tags that need no closing tag left open in numbers: the tree turns them into
// leaves in text order, and a page of thousands of them checks like any other.
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

TEST(KELSyntaxCheckTypeHTMLUnclosedTest, UnclosedTagsBecomeLeavesInTextOrder)
{
    registerCheckerDefaults();
    KELSyntaxCheckTypeHTML& html = KELSyntaxCheckTypeHTML::sharedInstance();
    const struct {
        const char* text;
        const char* shape;
    } cases[] = {
        // Closed by the end of the text, each level holding children of its own.
        { "<div><p><b>x</b><li><i>y</i></div>", "root(div(p b li i))" },
        // Closed implicitly by a closing tag further out; the element between stays a node.
        { "<div><p>a<b><p>c</b><li>d</div>", "root(div(p b(p) li))" },
        { "<p>a<p>b<p>c", "root(p p p)" },
        { "<ul><li><em>a</em><li>b</ul>", "root(ul(li em li))" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const QString text = QString::fromLatin1(c.text);
        KELSyntaxCheckResult result;
        const auto root = html.parseText(text, kit::Range(0, text.size()), &result, false, false);
        EXPECT_EQ(shape(*root), QString::fromLatin1(c.shape));
    }
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
