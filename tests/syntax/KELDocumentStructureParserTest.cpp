// Commenting and uncommenting per language: the text and the range afterwards,
// one undo step, a refused edit, and the selection commands of the outline.

#include "ColoringTestSupport.h"

#include "editor/KELTextView.h"
#include "kit/UndoManager.h"
#include "kit/text/TextStorage.h"
#include "syntax/KELDocumentStructure.h"
#include "syntax/KELDocumentStructureParser.h"
#include "syntax/SyntaxType.h"

#include <gtest/gtest.h>

using kit::Range;

namespace {

struct EditorFixture
{
    explicit EditorFixture(const QString& text)
        : storage(text)
    {
        view.setTextStorage(&storage);
    }
    kit::TextStorage storage;
    KELTextView view;
};

TEST(KELDocumentStructureParserComments, AddAndRemovePerLanguage)
{
    struct Case
    {
        const char* language;
        bool add;
        const char* text;
        Range range;
        const char* result;
        Range resultRange;
    } const cases[] = {
        // HTML: block comments, split around comments already in the range.
        { "HTML", true, "abc def", Range(0, 3), "<!--abc--> def", Range(0, 10) },
        { "HTML", true, "a <!-- b --> c", Range(0, 14), "<!--a --><!-- b --><!-- c-->", Range(0, 28) },
        { "HTML", true, "a b -->x", Range(0, 7), "<!--a b -->x", Range(0, 11) },
        { "HTML", true, "<!-- b -->c", Range(0, 11), "<!-- b --><!--c-->", Range(0, 18) },
        { "HTML", false, "<!--abc--> def", Range(0, 10), "abc def", Range(0, 3) },
        { "HTML", false, "<!--a--> b <!--c-->", Range(0, 19), "a b c", Range(0, 5) },
        { "HTML", false, "x <!-- open", Range(2, 4), "x  open", Range(2, 0) },
        { "HTML", false, "ab <!-- c --> d", Range(1, 4), "ab  c  d", Range(1, 2) },
        // CSS: block comments too.
        { "CSS", true, "h1 {}", Range(0, 2), "/*h1*/ {}", Range(0, 6) },
        { "CSS", false, "/*h1*/ {}", Range(0, 6), "h1 {}", Range(0, 2) },
        // PHP and JavaScript: line comments at the range's start, then at line starts.
        { "PHP", true, "$a = 1;", Range(3, 0), "$a //= 1;", Range(3, 2) },
        { "PHP", true, "a\nb\n", Range(0, 3), "//a\n//b\n", Range(0, 7) },
        { "PHP", false, "//a\n//b\n", Range(0, 7), "a\nb\n", Range(0, 3) },
        { "PHP", true, "a\r\nb", Range(1, 3), "a//\r\n//b", Range(1, 7) },
        { "JavaScript", true, "//a\nb", Range(0, 5), "//a\n//b", Range(0, 7) },
        { "JavaScript", false, "x = 1; // note", Range(0, 0), "x = 1; // note", Range(0, 0) },
        { "JavaScript", false, "  //a", Range(2, 3), "  a", Range(2, 1) },
        { "JavaScript", false, "a\n//b", Range(0, 5), "a\nb", Range(0, 3) },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.language) + (c.add ? " add: " : " remove: ") + c.text);
        EditorFixture editor(QString::fromUtf8(c.text));
        KELDocumentStructureParser* parser = KELDocumentStructureParser::parserForType(QString::fromUtf8(c.language));
        ASSERT_TRUE(parser);
        qsizetype change = 0;
        const Range r = c.add ? parser->addComments(&editor.view, c.range, &change)
                              : parser->removeComments(&editor.view, c.range, &change);
        EXPECT_EQ(editor.storage.string().toStdString(), std::string(c.result));
        EXPECT_EQ(r.location, c.resultRange.location);
        EXPECT_EQ(r.length, c.resultRange.length);
        EXPECT_EQ(change, editor.storage.length() - qsizetype(qstrlen(c.text)));
    }
}

TEST(KELDocumentStructureParserComments, LineCommentsCountOnlyAtTheirInsertionPoints)
{
    struct Case
    {
        const char* text;
        Range range;
        bool commented;
    } const cases[] = {
        { "//a\n//b", Range(0, 7), true },
        { "//a\nb", Range(0, 5), false },
        { "  //a", Range(2, 3), true },
        { "  //a", Range(0, 5), false }, // the comment stands after the line's insertion point
        { "x = '//'", Range(0, 8), false },
        // Selections further into the text, over a line break of two characters.
        { "var a;\n//b\n//c\nd", Range(7, 7), true },
        { "var a;\n//b\nc\n//d", Range(7, 5), false },
        { "a\r\n//b", Range(3, 3), true },
        { "a\r\n  b //c", Range(3, 7), false },
    };
    KELDocumentStructureParser* parser = KELDocumentStructureParser::parserForType(QStringLiteral("JavaScript"));
    for (const Case& c : cases) {
        EditorFixture editor(QString::fromUtf8(c.text));
        EXPECT_EQ(parser->isCommented(&editor.view, c.range), c.commented) << c.text;
    }
}

TEST(KELDocumentStructureParserComments, OneUndoStepAndRefusedEdits)
{
    KELDocumentStructureParser* html = KELDocumentStructureParser::parserForType(QStringLiteral("HTML"));
    {
        EditorFixture editor(QStringLiteral("a <!-- b --> c"));
        html->addComments(&editor.view, Range(0, 14), nullptr);
        ASSERT_EQ(editor.storage.string(), QStringLiteral("<!--a --><!-- b --><!-- c-->"));
        ASSERT_TRUE(editor.view.undoManager()->canUndo());
        EXPECT_EQ(editor.view.undoManager()->undoActionName(), QStringLiteral("Comment Text"));
        editor.view.undoManager()->undo();
        EXPECT_EQ(editor.storage.string(), QStringLiteral("a <!-- b --> c"));
        EXPECT_FALSE(editor.view.undoManager()->canUndo());
    }
    {
        EditorFixture editor(QStringLiteral("//a\n//b"));
        KELDocumentStructureParser::parserForType(QStringLiteral("PHP"))
            ->removeComments(&editor.view, Range(0, 7), nullptr);
        EXPECT_EQ(editor.view.undoManager()->undoActionName(), QStringLiteral("Uncomment Text"));
        editor.view.undoManager()->undo();
        EXPECT_EQ(editor.storage.string(), QStringLiteral("//a\n//b"));
    }
    {
        EditorFixture editor(QStringLiteral("abc"));
        editor.view.setEditable(false);
        qsizetype change = 0;
        const Range r = html->addComments(&editor.view, Range(0, 3), &change);
        EXPECT_EQ(editor.storage.string(), QStringLiteral("abc"));
        EXPECT_EQ(r, Range(0, 3));
        EXPECT_EQ(change, 0);
    }
    {
        // One line refused: no line changes, and there is nothing to undo.
        struct Guarded : KELTextView
        {
            bool mayChangeTextInRange(Range r, const QString& s) const override
            {
                return r.location != 4 && KELTextView::mayChangeTextInRange(r, s);
            }
        };
        kit::TextStorage storage(QStringLiteral("//a\n//b\n//c"));
        Guarded view;
        view.setTextStorage(&storage);
        qsizetype change = 0;
        const Range r = KELDocumentStructureParser::parserForType(QStringLiteral("PHP"))
                            ->removeComments(&view, Range(0, 11), &change);
        EXPECT_EQ(storage.string(), QStringLiteral("//a\n//b\n//c"));
        EXPECT_EQ(r, Range(0, 11));
        EXPECT_EQ(change, 0);
        EXPECT_FALSE(view.undoManager()->canUndo());
    }
}

TEST(KELDocumentStructureParserComments, SelectionCommandsOfTheOutline)
{
    auto type = SyntaxType::emptyType(QStringLiteral("PHP"));
    EditorFixture editor(QStringLiteral("a\nb\nc"));
    KELDocumentStructure structure(&editor.storage, [&type] { return type.get(); });
    structure.setTextView(&editor.view);
    editor.view.setSelectedRanges({ Range(0, 1), Range(4, 1) });

    EXPECT_TRUE(structure.canAddOrRemoveCommentsForSelection());
    EXPECT_FALSE(structure.isSelectionCommented());
    structure.addCommentsForSelection();
    EXPECT_EQ(editor.storage.string(), QStringLiteral("//a\nb\n//c"));
    EXPECT_EQ(editor.view.selectedRanges(), (QList<Range> { Range(0, 3), Range(6, 3) }));
    EXPECT_TRUE(structure.isSelectionCommented());
    structure.removeCommentsForSelection();
    EXPECT_EQ(editor.storage.string(), QStringLiteral("a\nb\nc"));
    EXPECT_EQ(editor.view.selectedRanges(), (QList<Range> { Range(0, 1), Range(4, 1) }));

    // A language without comments offers nothing.
    auto block = SyntaxType::emptyType(QStringLiteral("CSS Block"));
    KELDocumentStructure blockStructure(&editor.storage, [&block] { return block.get(); });
    blockStructure.setTextView(&editor.view);
    EXPECT_FALSE(blockStructure.canAddOrRemoveCommentsForSelection());
}

// A coloured page: the comment commands follow the language at the selection.
TEST(KELDocumentStructureParserComments, CommandsFollowTheLanguageAtTheSelection)
{
    const QString original = syntaxtest::fixture(QStringLiteral("outline-mixed.html"));
    ASSERT_FALSE(original.isEmpty());
    SyntaxType* html = syntaxtest::shippedType(QStringLiteral("HTML"));
    ASSERT_TRUE(html);
    EditorFixture editor(original);
    KELDocumentStructure structure(&editor.storage, [html] { return html; });
    structure.setTextView(&editor.view);
    auto recolour = [&] {
        structure.removeAllItems();
        syntaxtest::colorAll(html, &editor.storage, &structure);
    };
    auto select = [&](const QString& what, qsizetype offset = 0, qsizetype length = -1) {
        const qsizetype at = editor.storage.string().indexOf(what);
        editor.view.setSelectedRange(Range(at + offset, length < 0 ? what.size() : length));
    };
    struct Case
    {
        const char* selected;
        const char* commented;
    } const cases[] = {
        { "function $go()", "//function $go()" },
        { "h1", "/*h1*/" },
        { "<body id=\"top\">", "<!--<body id=\"top\">-->" },
        { "function page_title()", "//function page_title()" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.selected);
        recolour();
        select(QString::fromUtf8(c.selected));
        ASSERT_TRUE(structure.canAddOrRemoveCommentsForSelection());
        EXPECT_FALSE(structure.isSelectionCommented());
        structure.addCommentsForSelection();
        EXPECT_TRUE(editor.storage.string().contains(QString::fromUtf8(c.commented)));
        recolour();
        EXPECT_TRUE(structure.isSelectionCommented());
        structure.removeCommentsForSelection();
        EXPECT_EQ(editor.storage.string(), original);
    }

    // Inside an HTML comment, uncommenting finds the comment's start before the selection.
    editor.storage.replaceCharacters(Range(0, editor.storage.length()), QStringLiteral("<p><!-- a b --></p>"));
    recolour();
    editor.view.setSelectedRange(Range(9, 1));
    EXPECT_TRUE(structure.isSelectionCommented());
    structure.removeCommentsForSelection();
    EXPECT_EQ(editor.storage.string(), QStringLiteral("<p> a b </p>"));
}

// Documents whose language defers to HTML comment HTML the same way.
TEST(KELDocumentStructureParserComments, HTMLCommentsInEveryPageLanguage)
{
    for (const char* language : { "HTML", "PHP", "SHTML" }) {
        SCOPED_TRACE(language);
        SyntaxType* type = syntaxtest::shippedType(QString::fromUtf8(language));
        ASSERT_TRUE(type);
        EditorFixture editor(QStringLiteral("<p><!-- a b --></p>"));
        KELDocumentStructure structure(&editor.storage, [type] { return type; });
        structure.setTextView(&editor.view);
        syntaxtest::colorAll(type, &editor.storage, &structure);
        editor.view.setSelectedRange(Range(9, 1));
        EXPECT_TRUE(structure.isSelectionCommented());
        structure.removeCommentsForSelection();
        EXPECT_EQ(editor.storage.string(), QStringLiteral("<p> a b </p>"));
        editor.view.setSelectedRange(Range(0, 3));
        EXPECT_FALSE(structure.isSelectionCommented());
        structure.addCommentsForSelection();
        EXPECT_EQ(editor.storage.string(), QStringLiteral("<!--<p>--> a b </p>"));
    }
}

// A declaration block is its own language, which has no comments. Disabled while
// the innermost-type lookup answers "CSS" inside a block (it reaches the block's
// region but not its type), which also keeps declaration blocks from folding.
TEST(KELDocumentStructureParserComments, NoCommentsInsideADeclarationBlock)
{
    SyntaxType* css = syntaxtest::shippedType(QStringLiteral("CSS"));
    ASSERT_TRUE(css);
    EditorFixture editor(QStringLiteral("h1 { color: red }"));
    KELDocumentStructure structure(&editor.storage, [css] { return css; });
    structure.setTextView(&editor.view);
    syntaxtest::colorAll(css, &editor.storage, &structure);
    editor.view.setSelectedRange(Range(7, 2));
    EXPECT_FALSE(structure.canAddOrRemoveCommentsForSelection());
    editor.view.setSelectedRange(Range(0, 2));
    EXPECT_TRUE(structure.canAddOrRemoveCommentsForSelection());
    const QList<KELDocumentStructureSegmentRef> folds
        = structure.structureSegmentsInText(editor.storage.string(), Range(0, editor.storage.length()), false);
    ASSERT_EQ(folds.size(), 1);
    EXPECT_EQ(folds.first()->knownContentsRange(), Range(4, 12));
}

} // namespace
