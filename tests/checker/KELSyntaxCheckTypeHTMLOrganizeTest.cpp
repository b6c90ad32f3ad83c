#include "CheckerTestSupport.h"

#include "checker/KELSyntaxCheckTypeHTML.h"
#include "kit/Log.h"
#include "kit/UndoManager.h"
#include "kit/text/TextStorage.h"

#include <QTemporaryDir>
#include <QTextStream>
#include <gtest/gtest.h>
#include "KelpPaths.h"

namespace {

void setIndent(qlonglong spacer, qlonglong spaces)
{
    registerCheckerDefaults();
    kit::UserDefaults::standard().setValue(KELOrganizeTagsSpacer, spacer);
    kit::UserDefaults::standard().setValue(KELOrganizeTagsNumSpaces, spaces);
}

} // namespace

TEST(KELSyntaxCheckTypeHTMLOrganizeTest, IndentsByNesting)
{
    KELSyntaxCheckTypeHTML& html = KELSyntaxCheckTypeHTML::sharedInstance();
    setIndent(1, 1);
    // Structural elements on their own lines; short inline content, pre, textarea and
    // script left as written; no empty line added before the first tag.
    EXPECT_EQ(html.organizedText(fixtureText(QStringLiteral("organize.html"))), fixtureText(QStringLiteral("organize-expected.html")));

    struct Case {
        qlonglong spacer, spaces;
        const char* input;
        const char* output;
    } cases[] = {
        { 0, 4, "<body>\n<div>\n<p>\ntext\n</p>\n</div>\n</body>", "<body>\n    <div>\n        <p>\n            text\n        </p>\n    </div>\n</body>" },
        { 0, 0, "<ul>\n<li>a\n<li>b\n</ul>", "<ul>\n <li>a\n <li>b\n</ul>" },
        // Content of 100 characters or more puts the closing tag of a block on its own line.
        { 1, 1, "<div>xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx</div>",
            "<div>xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\n</div>" },
        { 1, 1, "<div>short <b>and</b> kept</div>", "<div>short <b>and</b> kept</div>" },
        // An inline element closed after a line break moves only when a blank precedes its closing tag.
        { 1, 1, "<div>\n<span>a\nb</span>\n<span>c\nd </span>\n</div>", "<div>\n\t<span>a\n\t\tb</span>\n\t<span>c\n\t\td\n\t</span>\n</div>" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        setIndent(c.spacer, c.spaces);
        EXPECT_EQ(html.organizedText(QString::fromUtf8(c.input)), QString::fromUtf8(c.output));
    }
    setIndent(1, 1);
}

TEST(KELSyntaxCheckTypeHTMLOrganizeTest, OneUndoStepRestoresTheText)
{
    setIndent(1, 1);
    kit::TextView view;
    const QString original = fixtureText(QStringLiteral("organize.html"));
    view.setString(original);
    kit::UndoManager* undo = view.undoManager();
    ASSERT_TRUE(undo);
    undo->removeAllActions();

    KELSyntaxCheckTypeHTML::sharedInstance().organizeTags(&view);
    const QString organized = fixtureText(QStringLiteral("organize-expected.html"));
    EXPECT_EQ(view.string(), organized);
    EXPECT_EQ(undo->undoActionName(), QStringLiteral("Organize Tags"));

    undo->undo();
    EXPECT_EQ(view.string(), original);
    EXPECT_FALSE(undo->canUndo());
    undo->redo();
    EXPECT_EQ(view.string(), organized);
    undo->undo();
    EXPECT_EQ(view.string(), original);
}

TEST(KELSyntaxCheckTypeHTMLOrganizeTest, EntityReferences)
{
    KELSyntaxCheckTypeHTML& html = KELSyntaxCheckTypeHTML::sharedInstance();
    html.setCharacterRefPathForTesting(QString());
    EXPECT_EQ(html.entityReferenceForCharacter(QStringLiteral("é")), QStringLiteral("&eacute;"));
    EXPECT_EQ(html.entityReferenceForCharacter(QStringLiteral("<")), QStringLiteral("&lt;"));
    EXPECT_EQ(html.entityReferenceForCharacter(QString(QChar(0x20AC))), QStringLiteral("&euro;"));
    EXPECT_EQ(html.entityReferenceForCharacter(QStringLiteral("'")), std::nullopt); // no &apos; in HTML 4
    EXPECT_EQ(html.entityReferenceForCharacter(QStringLiteral("a")), std::nullopt);
    {
        kit::LogCapture log;
        EXPECT_EQ(html.entityReferenceForCharacter(QString()), std::nullopt);
        EXPECT_TRUE(log.contains(QStringLiteral("Error: entityReferenceForCharacter, character is empty")));
        EXPECT_EQ(html.entityReferenceForCharacter(QStringLiteral("ab")), std::nullopt);
        EXPECT_TRUE(log.contains(QStringLiteral("Error: entityReferenceForCharacter, character has multiple characters: ab")));
        // A letter with a combining accent is one character, without a reference of its own.
        EXPECT_EQ(html.entityReferenceForCharacter(QStringLiteral("e\u0301")), std::nullopt);
        EXPECT_EQ(log.lines().size(), 2);
    }

    // The shipped table: the 252 entities of HTML 4.01, one per character.
    {
        QFile file(QStringLiteral(KELP_TEST_FIXTURES "/../../resources/htmlcharrefs.xml"));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(QString::fromUtf8(file.readAll()).count(QStringLiteral("<charref ")), 252);
    }

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("refs.xml"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<refs><r character=\"x\" ref=\"&amp;ex;\"/><r character=\"y\"/><r character=\"x\" ref=\"&amp;ex2;\"/></refs>");
    file.close();
    {
        kit::LogCapture log;
        html.setCharacterRefPathForTesting(path);
        EXPECT_EQ(html.entityReferenceForCharacter(QStringLiteral("x")), QStringLiteral("&ex2;"));
        EXPECT_EQ(html.entityReferenceForCharacter(QStringLiteral("y")), std::nullopt);
        EXPECT_TRUE(log.contains(QStringLiteral("Error loading htmlcharrefs.xml: y (null)")));
    }
    {
        kit::LogCapture log;
        html.setCharacterRefPathForTesting(dir.filePath(QStringLiteral("missing.xml")));
        EXPECT_EQ(html.entityReferenceForCharacter(QStringLiteral("é")), std::nullopt);
    }
    html.setCharacterRefPathForTesting(QString());
}
