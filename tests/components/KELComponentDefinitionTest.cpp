#include "components/KELComponentDefinition.h"

#include "ComponentTestSupport.h"
#include "kit/Log.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace componenttest;

namespace {

QString render(const KELComponentDefinition& definition, FakeResolver& resolver, size_t index = 0)
{
    QString out;
    definition.insertedContent().at(index)->appendContentToString(out, resolver);
    return out;
}

} // namespace

TEST(KELComponentDefinitionTest, PrePassKeepsOnlyComponentTagsAsMarkup)
{
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        { "<p>a</p>", "&lt;p&gt;a&lt;/p&gt;" },
        { "<c:print value=\"${a}\"/>", "<c:print value=\"${a}\"/>" },
        { "</c:if>", "</c:if>" },
        { "<?xml version=\"1.0\"?>", "<?xml version=\"1.0\"?>" },
        { "<c-- note -->x", "<!-- note -->x" },
        { "<!-- html -->", "&lt;!-- html --&gt;" },
        { "a > b", "a &gt; b" },
        // Quoted values keep ">" and change "<" and "&&"; the other quote kind is plain text.
        { "<c:if condition=\"a > b\">", "<c:if condition=\"a > b\">" },
        { "<c:if condition=\"a < b && c\">", "<c:if condition=\"a &lt; b &amp;&amp; c\">" },
        { "<c:if condition=\"a &&& b\">", "<c:if condition=\"a &amp;&amp;& b\">" },
        { "<c:if condition=\"it's\">x</c:if>", "<c:if condition=\"it's\">x</c:if>" },
        { "<c:if condition='say \"hi\" > 1'>", "<c:if condition='say \"hi\" > 1'>" },
        // Outside quotes "&&" is left for the XML reader (entities stay usable).
        { "a && b &amp; c", "a && b &amp; c" },
        // Short tails.
        { "x<", "x&lt;" }, { "<c", "&lt;c" }, { "<c-", "&lt;c-" }, { "</c", "&lt;/c" },
        // A template comment is one piece: quotes and ">" inside it change nothing after it.
        { "<c-- don't -->\n<c:if condition=\"1\">y</c:if>", "<!-- don't -->\n<c:if condition=\"1\">y</c:if>" },
        { "<c-- a > b -->z", "<!-- a > b -->z" },
    };
    for (const Case& c : cases) {
        QString text = QString::fromUtf8(c.in);
        KELComponentDefinition::preProcessTcml(text);
        EXPECT_EQ(text, QString::fromUtf8(c.out)) << c.in;
    }
}

TEST(KELComponentDefinitionTest, ReadsTheTopLevelAndRendersTemplatesVerbatim)
{
    QTemporaryDir dir;
    kit::LogCapture log;
    auto component = makeComponent(dir.path(), QStringLiteral("T"),
        QStringLiteral("<c:varGroup><c:text var=\"title\" default=\"Hi\"/></c:varGroup>"
                       "<c:insert removeBlankLines=\"false\"><!-- kept --><p class=\"x\">a &amp;amp; b</p>"
                       "<c-- don't show this --><c:print value=\"${t}\"/></c:insert>"
                       "<c:insert type=\"head\"><meta name=\"a\" content=\"b\"></c:insert>"
                       "<c:include type=\"script\" resource=\"a.js\"/><c:include type=\"movie\" resource=\"b.mov\"/>"
                       "<c:bogus/>"));
    auto definition = KELComponentDefinition::definitionWithComponent(component);
    ASSERT_TRUE(definition);
    ASSERT_TRUE(definition->variableGroup());
    EXPECT_EQ(definition->variableGroup()->variables().size(), 1u);
    ASSERT_EQ(definition->insertedContent().size(), 2u);
    EXPECT_EQ(definition->insertedContent()[1]->insertType(), KELComponentInsertPrimary::Head);
    EXPECT_EQ(definition->includes().size(), 1u);
    EXPECT_TRUE(definition->delineateWithComments());
    EXPECT_TRUE(log.contains(QStringLiteral("Unrecognized include type: movie")));
    EXPECT_TRUE(log.contains(QStringLiteral("Unrecognized component tag: bogus")));

    FakeResolver resolver;
    resolver.values->setValue(QStringLiteral("t"), QStringLiteral("<T>"));
    EXPECT_EQ(render(*definition, resolver), QStringLiteral("<!-- kept --><p class=\"x\">a &amp; b</p>&lt;T&gt;"));
}

TEST(KELComponentDefinitionTest, DelineationAndUnreadableFiles)
{
    struct Case {
        const char* attribute;
        bool delineate;
    };
    for (const Case& c : { Case { "", true }, Case { " delineateWithComments=\"true\"", true },
             Case { " delineateWithComments=\"false\"", false }, Case { " delineateWithComments=\"TRUE\"", false } }) {
        QTemporaryDir dir;
        auto component = makeComponent(dir.path(), QStringLiteral("T"),
            QStringLiteral("<c:component xmlns:c=\"urn:x\"%1/>").arg(QString::fromLatin1(c.attribute)));
        auto definition = KELComponentDefinition::definitionWithComponent(component);
        ASSERT_TRUE(definition) << c.attribute;
        EXPECT_EQ(definition->delineateWithComments(), c.delineate) << c.attribute;
    }

    // Ill-formed XML, a lone "&", bytes that are not UTF-8, and a missing file: none, with a log line.
    for (const QByteArray& bytes : { QByteArray("<c:component xmlns:c=\"urn:x\"><c:insert>"), QByteArray("<c:component xmlns:c=\"urn:x\">a & b</c:component>"),
             QByteArray("<c:component xmlns:c=\"urn:x\">\xff\xfe</c:component>"), QByteArray() }) {
        QTemporaryDir dir;
        auto component = makeComponent(dir.path(), QStringLiteral("T"), QStringLiteral("<c:component/>"));
        ASSERT_TRUE(component);
        if (bytes.isEmpty())
            QFile::remove(dir.filePath(QStringLiteral("Definition.tcml")));
        else {
            QFile file(dir.filePath(QStringLiteral("Definition.tcml")));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        kit::LogCapture log;
        EXPECT_FALSE(KELComponentDefinition::definitionWithComponent(component)) << bytes.toStdString();
        EXPECT_TRUE(log.contains(QStringLiteral("Component definition could not be read: "))) << bytes.toStdString();
    }
}
