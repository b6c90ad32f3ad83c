#include "kit/Log.h"
#include "support/KELXMLDocument.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace {

QStringList names(const QList<KELXMLNode>& nodes)
{
    QStringList result;
    for (const KELXMLNode& node : nodes)
        result.append(node.nodeName());
    return result;
}

TEST(KELXMLDocumentTest, ChildrenLeaveOutCommentsAndBlankText)
{
    const auto doc = KELXMLDocument::fromContents(QStringLiteral(
        "<root>lead<!-- note -->\n  <a/>\n  <b x=\"1\"/><![CDATA[ <raw> ]]><?pi data?>\n</root>"));
    ASSERT_TRUE(doc);
    const auto root = doc->rootNode();
    ASSERT_TRUE(root);
    EXPECT_EQ(root->nodeName(), QStringLiteral("root"));
    const QList<KELXMLNode> children = root->childNodes();
    EXPECT_EQ(names(children), (QStringList{"text", "a", "b", "", "pi"}));
    EXPECT_TRUE(children[0].isTextNode());
    EXPECT_EQ(children[0].contents(), QStringLiteral("lead"));
    EXPECT_FALSE(children[1].isTextNode());
    EXPECT_EQ(children[3].contents(), QStringLiteral(" <raw> "));
    // The line breaks between the elements come back too; comments never do.
    const QList<KELXMLNode> all = root->childNodesIncludingBlank();
    EXPECT_EQ(all.size(), 8);
    int textNodes = 0;
    for (const KELXMLNode& node : all)
        textNodes += node.isTextNode();
    EXPECT_EQ(textNodes, 4);
    EXPECT_EQ(root->childNodeWithName(QStringLiteral("b"))->valueForAttribute(QStringLiteral("x")), QStringLiteral("1"));
    EXPECT_FALSE(root->childNodeWithName(QStringLiteral("B")));
    EXPECT_TRUE(root->childNodeWithName(QStringLiteral("a"))->childNodes().isEmpty());
}

TEST(KELXMLDocumentTest, ContentsAndAttributes)
{
    const auto doc = KELXMLDocument::fromContents(QStringLiteral(
        "<!DOCTYPE r [<!ENTITY co \"Kelp &amp; Co\">]>"
        "<r empty=\"\" e=\"&lt;&co;&gt;\">a<i>b</i>c&amp;&co;<j/></r>"));
    ASSERT_TRUE(doc);
    const KELXMLNode root = *doc->rootNode();
    // Text of the element's own text and entity children, not of child elements.
    EXPECT_EQ(root.contents(), QStringLiteral("ac&Kelp & Co"));
    EXPECT_EQ(root.valueForAttribute(QStringLiteral("empty")), QString(""));
    EXPECT_EQ(root.valueForAttribute(QStringLiteral("e")), QStringLiteral("<Kelp & Co>"));
    EXPECT_FALSE(root.valueForAttribute(QStringLiteral("absent")));
    EXPECT_FALSE(root.childNodeWithName(QStringLiteral("j"))->contents());
    EXPECT_EQ(root.childNodeWithName(QStringLiteral("i"))->contents(), QStringLiteral("b"));
}

TEST(KELXMLDocumentTest, MalformedInputGivesNothingAndOneLogLine)
{
    QTemporaryDir dir;
    const QString broken = dir.filePath(QStringLiteral("broken.xml"));
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<a><b></a>");
    file.close();
    const QString binary = dir.filePath(QStringLiteral("binary.xml"));
    QFile bin(binary);
    ASSERT_TRUE(bin.open(QIODevice::WriteOnly));
    bin.write(QByteArray("\x00\xff\xfe\x01<x>", 7));
    bin.close();

    struct Case {
        QString path;
        QString expectedLog;
    };
    const Case cases[] = {
        {broken, QStringLiteral("File could not be parsed: ") + broken},
        {binary, QStringLiteral("File could not be parsed: ") + binary},
        {dir.filePath(QStringLiteral("missing.xml")),
         QStringLiteral("File could not be parsed: ") + dir.filePath(QStringLiteral("missing.xml"))},
    };
    for (const Case& c : cases) {
        kit::LogCapture log;
        EXPECT_FALSE(KELXMLDocument::fromPath(c.path));
        EXPECT_EQ(log.lines(), QStringList{c.expectedLog});
    }
    for (const QString& text : {QString(), QStringLiteral("not xml"), QStringLiteral("<a>"),
                                QStringLiteral("<a></b>"), QStringLiteral("<a/><b/>")}) {
        kit::LogCapture log;
        EXPECT_FALSE(KELXMLDocument::fromContents(text)) << text.toStdString();
        EXPECT_EQ(log.lines(), QStringList{"XML contents could not be parsed"});
    }
}

TEST(KELXMLDocumentTest, NodesOutliveTheirDocument)
{
    std::optional<KELXMLNode> child;
    {
        auto doc = KELXMLDocument::fromContents(QStringLiteral("<list><item name=\"kept\">text</item></list>"));
        ASSERT_TRUE(doc);
        child = doc->rootNode()->childNodes().first();
    }
    EXPECT_EQ(child->nodeName(), QStringLiteral("item"));
    EXPECT_EQ(child->valueForAttribute(QStringLiteral("name")), QStringLiteral("kept"));
    EXPECT_EQ(child->childNodes().first().contents(), QStringLiteral("text"));
}

TEST(KELXMLDocumentTest, FilesAreReadInTheirDeclaredEncoding)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("latin1 file.xml"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><w>caf") + char(0xe9) + "</w>");
    file.close();
    const auto doc = KELXMLDocument::fromPath(path);
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->rootNode()->contents(), QStringLiteral("caf\u00e9"));
    // Text handed over in memory is taken as what it is, whatever it declares.
    const auto fromText = KELXMLDocument::fromContents(
        QStringLiteral("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><w>\u00e9\u4e2d</w>"));
    ASSERT_TRUE(fromText);
    EXPECT_EQ(fromText->rootNode()->contents(), QStringLiteral("\u00e9\u4e2d"));
}

TEST(KELXMLDocumentTest, ExternalEntitiesAndEntityBombsAreNotExpanded)
{
    QTemporaryDir dir;
    const QString secret = dir.filePath(QStringLiteral("secret.txt"));
    QFile file(secret);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("TOP SECRET");
    file.close();
    const QString xxe = QStringLiteral("<!DOCTYPE r [<!ENTITY s SYSTEM \"file://%1\">]><r>&s;</r>").arg(secret);
    if (const auto doc = KELXMLDocument::fromContents(xxe)) {
        EXPECT_FALSE(doc->rootNode()->contents().value_or(QString()).contains(QStringLiteral("SECRET")));
    }

    QString bomb = QStringLiteral("<!DOCTYPE r [<!ENTITY a0 \"xxxxxxxxxx\">");
    for (int i = 1; i < 10; ++i)
        bomb += QStringLiteral("<!ENTITY a%1 \"&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;\">").arg(i).arg(i - 1);
    bomb += QStringLiteral("]><r>&a9;</r>");
    kit::LogCapture log;
    if (const auto doc = KELXMLDocument::fromContents(bomb)) {
        // A tree may come back, but reading it must stay bounded.
        const std::optional<QString> text = doc->rootNode()->contents();
        EXPECT_LT(text.value_or(QString()).size(), 1000000);
    }
}

} // namespace
