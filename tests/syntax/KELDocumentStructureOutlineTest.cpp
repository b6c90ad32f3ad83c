// The language parsers over whole documents: the outline entries (kind, name,
// range, link) and the fold segments each fixture gives, and their edge cases.

#include "ColoringTestSupport.h"
#include "StructureReporter.h"

#include "kit/text/TextStorage.h"
#include "syntax/KELDocumentStructure.h"
#include "syntax/KELDocumentStructureCSSSelectorItem.h"
#include "syntax/KELDocumentStructureHTMLElementItem.h"
#include "syntax/KELDocumentStructureParser.h"
#include "syntax/SyntaxInfo.h"
#include "syntax/SyntaxType.h"

#include <QFile>
#include <gtest/gtest.h>

using kit::Range;

namespace {

QString fixtureText(const QString& name)
{
    return syntaxtest::fixture(name);
}

struct ExpectedItem
{
    const char* image;
    const char* name;
    const char* anchor; // the item's text: its range starts and ends with it
    const char* linkedPath; // "" for content
};

struct ExpectedSegment
{
    const char* after; // the contents begin right after this text
    const char* before; // and end where this text begins (searched after the start)
};

struct OutlineCase
{
    const char* file;
    const char* language;
    std::vector<ExpectedItem> items;
    std::vector<ExpectedSegment> segments;
};

// A document reported structure by structure into an outline: by the colouring
// engine with the shipped grammar, or by the small reporter of the tests (which
// keeps the parsers' own behaviour in view whatever the grammars become).
struct Outline
{
    Outline(const QString& language, const QString& text, bool grammar)
        : emptyType(SyntaxType::emptyType(language))
        , type(grammar ? syntaxtest::shippedType(language) : emptyType.get())
        , storage(text)
        , structure(&storage, [this] { return type; })
    {
        if (grammar) {
            syntaxtest::colorAll(type, &storage, &structure);
            return;
        }
        for (const syntaxtest::Report& r : syntaxtest::reportStructures(language, text))
            structure.foundSyntaxStructure(r.name, language, text, r.range);
    }
    std::unique_ptr<SyntaxType> emptyType;
    SyntaxType* type;
    kit::TextStorage storage;
    KELDocumentStructure structure;
};

TEST(KELDocumentStructureOutline, FixturesGiveTheirEntriesAndFolds)
{
    const OutlineCase cases[] = {
        { "outline.html", "HTML",
            {
                { "NavLink", "Style: style.css", "<link rel=\"stylesheet\" href=\"style.css\">", "style.css" },
                { "NavLink", "Script: https://example.com/app.js", "<script src=\"https://example.com/app.js\">",
                    "https://example.com/app.js" },
                { "NavBookmark", "Main part", "<!--   ! Main part -->", "" },
                { "NavElement", "main", "<div id=\"main\">", "" },
                { "NavLink", "Example", "<a href=\"HTTPS://example.com/\">Example", "HTTPS://example.com/" },
                { "NavLink", "This link text runs on without an end tag for a while",
                    "<a href=\"notes.html\">This link text runs on without an end tag for a while", "notes.html" },
                { "NavLink", "Image: pic.png", "<img src=\"pic.png\" alt=\"\">", "pic.png" },
            },
            {
                { "<html>", "</html>" },
                { "<head>", "</head>" },
                { "<body>", "</body>" },
                { "<div id=\"main\">", "</div>" },
            } },
        { "outline.php", "PHP",
            {
                { "NavBookmark", "Helpers", "// ! Helpers", "" },
                { "NavLink", "lib/db.php", "require_once('lib/db.php')", "lib/db.php" },
                { "NavLink", "it\"s.php", "include ( \"it\\\"s.php\" )", "it\"s.php" },
                { "NavFunction", "Render", "FUNCTION Render", "" },
                { "NavClass", "Page", "class Page", "" },
            },
            {
                { "<?php", "?>" },
                { "Render($x) {", "}\nfunction 9lives" },
                { "if ($x) {", "}\n}\nfunction" },
                { "class Page {", "}\n}\n?>" },
            } },
        { "outline.js", "JavaScript",
            {
                { "NavBookmark", "Setup", "// ! Setup", "" },
                { "NavFunction", "$init", "function $init", "" },
                { "NavBookmark", "Block mark", "/* !   Block mark   */", "" },
                { "NavFunction", "run_2", "function run_2", "" },
            },
            {
                { "$init(a) {", "}\n/* !" },
                { "var o = {", "};\n  return" },
                { "function () {", "};\n}" },
            } },
        { "outline.css", "CSS",
            {
                { "NavLink", "base.css", "@import url(\"base.css\")", "base.css" },
                { "NavLink", "print.css", "@import \"print.css\"", "print.css" },
                { "NavBookmark", "Layout", "/* ! Layout */", "" },
                { "NavSelector", "body, html  \n", "body, html  \n", "" },
                { "NavSelector", "#nav a:hover ", "#nav a:hover ", "" },
            },
            {} },
    };
    for (const bool grammar : { false, true })
    for (const OutlineCase& c : cases) {
        SCOPED_TRACE(std::string(c.file) + (grammar ? " coloured with its grammar" : " reported by the test"));
        const QString text = fixtureText(QString::fromUtf8(c.file));
        ASSERT_FALSE(text.isEmpty());
        Outline outline(QString::fromUtf8(c.language), text, grammar);
        ASSERT_TRUE(outline.type);
        KELDocumentStructure& s = outline.structure;

        QStringList got;
        for (qsizetype i = 0; i < s.allItems().size(); ++i) {
            const KELDocumentStructureItemRef& item = s.allItems()[i];
            if (!item->appearsInOutline())
                continue;
            const Range r = s.textRangeOfItemAtIndex(i);
            got.append(QStringLiteral("%1 '%2' %3+%4 -> '%5'")
                           .arg(item->imageName(), item->name())
                           .arg(r.location)
                           .arg(r.length)
                           .arg(item->linkedPath()));
            EXPECT_EQ(item->typeName(), QString::fromUtf8(c.language));
        }
        QStringList want;
        for (const ExpectedItem& e : c.items) {
            const QString anchor = QString::fromUtf8(e.anchor);
            const qsizetype at = text.indexOf(anchor);
            ASSERT_GE(at, 0) << e.anchor;
            want.append(QStringLiteral("%1 '%2' %3+%4 -> '%5'")
                            .arg(QString::fromUtf8(e.image), QString::fromUtf8(e.name))
                            .arg(at)
                            .arg(anchor.size())
                            .arg(QString::fromUtf8(e.linkedPath)));
        }
        EXPECT_EQ(got.join(QLatin1Char('\n')).toStdString(), want.join(QLatin1Char('\n')).toStdString());

        QStringList gotSegments;
        for (const KELDocumentStructureSegmentRef& segment :
            s.structureSegmentsInText(text, Range(0, text.size()), false)) {
            // Folds of nested languages (the declaration blocks of a style sheet) are not this table's concern.
            if (segment->openItem()->typeName() != QString::fromUtf8(c.language))
                continue;
            const Range r = segment->knownContentsRange();
            gotSegments.append(QStringLiteral("%1+%2").arg(r.location).arg(r.length));
        }
        QStringList wantSegments;
        for (const ExpectedSegment& e : c.segments) {
            const QString after = QString::fromUtf8(e.after);
            const qsizetype start = text.indexOf(after) + after.size();
            const qsizetype end = text.indexOf(QString::fromUtf8(e.before), start);
            ASSERT_TRUE(start >= after.size() && end >= start) << e.after;
            wantSegments.append(QStringLiteral("%1+%2").arg(start).arg(end - start));
        }
        EXPECT_EQ(gotSegments, wantSegments);
    }
}

// Nested languages report into one outline under their own names; their braces
// and regions fold inside the page.
TEST(KELDocumentStructureOutline, NestedLanguagesShareTheOutline)
{
    const QString text = fixtureText(QStringLiteral("outline-mixed.html"));
    ASSERT_FALSE(text.isEmpty());
    Outline outline(QStringLiteral("HTML"), text, true);
    KELDocumentStructure& s = outline.structure;
    QStringList entries;
    for (const KELDocumentStructureItemRef& item : s.allItems())
        if (item->appearsInOutline())
            entries.append(item->typeName() + QLatin1Char(':') + item->name());
    EXPECT_EQ(entries,
        (QStringList { QStringLiteral("CSS:Styles"), QStringLiteral("CSS:h1 "), QStringLiteral("JavaScript:$go"),
            QStringLiteral("HTML:top"), QStringLiteral("PHP:page_title") }));

    QStringList folds;
    for (const KELDocumentStructureSegmentRef& segment :
        s.structureSegmentsInText(text, Range(0, text.size()), false)) {
        const Range r = segment->knownContentsRange();
        folds.append(QStringLiteral("%1:%2").arg(segment->openItem()->typeName(), text.mid(r.location, r.length)));
    }
    const qsizetype php = text.indexOf(QStringLiteral("<?php"));
    EXPECT_TRUE(folds.contains(QStringLiteral("JavaScript: return 1; "))) << folds.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(folds.contains(QStringLiteral("PHP: return 'x'; "))) << folds.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(folds.contains(QStringLiteral("PHP:")
        + text.mid(php + 5, text.indexOf(QStringLiteral("?>")) - php - 5)))
        << folds.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(folds.contains(QStringLiteral("HTML:")
        + text.mid(text.indexOf(QStringLiteral("<head>")) + 6,
            text.indexOf(QStringLiteral("</head>")) - text.indexOf(QStringLiteral("<head>")) - 6)));
}

QStringList entriesOf(KELDocumentStructure& s)
{
    QStringList out;
    for (qsizetype i = 0; i < s.allItems().size(); ++i) {
        const KELDocumentStructureItemRef& item = s.allItems()[i];
        const Range r = s.locationRangeOfItemAtIndex(i);
        out.append(QStringLiteral("%1 %2 %3 %4+%5 %6")
                       .arg(item->typeName(), item->imageName(), item->name())
                       .arg(r.location)
                       .arg(r.length)
                       .arg(item->linkedPath()));
    }
    return out;
}

// A long page, typed rather than opened, so its passes read through the storage's
// typing gap and the outline's parsers get pieces of the text: the outline is the one
// the whole page gives, also after edits far into the page.
TEST(KELDocumentStructureOutline, PiecesOfALongTypedPageGiveTheWholePagesOutline)
{
    const QString part = fixtureText(QStringLiteral("outline-mixed.html")) + fixtureText(QStringLiteral("outline.html"));
    ASSERT_FALSE(part.isEmpty());
    QString model;
    while (model.size() < 200 * 1000)
        model += part;
    SyntaxType* html = syntaxtest::shippedType(QStringLiteral("HTML"));
    kit::TextStorage storage;
    storage.replaceCharacters(Range(0, 0), model.mid(model.size() / 2));
    storage.replaceCharacters(Range(0, 0), model.left(model.size() / 2));
    KELDocumentStructure structure(&storage, [html] { return html; });
    syntaxtest::colorAll(html, &storage, &structure);
    const quint64 reads = storage.wholeTextReads();
    {
        Outline whole(QStringLiteral("HTML"), model, true);
        ASSERT_EQ(entriesOf(structure), entriesOf(whole.structure));
    }
    struct Edit
    {
        const char* after; // the edit goes right after the first of these past the middle
        const char* inserted;
    } const edits[] = {
        { "<a href=", "\"moved.html\" title=\"x\"><b>New</b></a><a href=" },
        { "<!--", " ! Added mark -->\n<!--" },
        { "<?php", "\n// ! Helper mark\nfunction added_fn() { return 1; }\n" },
        { "<body>", "<div id=\"added\"><p>text</p></div>" },
    };
    for (const Edit& e : edits) {
        const qsizetype at = model.indexOf(QString::fromUtf8(e.after), model.size() / 2) + qstrlen(e.after);
        ASSERT_GT(at, model.size() / 2);
        const QString inserted = QString::fromUtf8(e.inserted);
        storage.replaceCharacters(Range(at, 0), inserted);
        model.insert(at, inserted);
        structure.invalidateStructureForEditInRange(Range(at, inserted.size()), inserted.size());
        SyntaxInfo info(Range(at, inserted.size()));
        info.setObserver(&structure);
        html->colorHTMLView(&storage, info, false, nullptr);
        Outline whole(QStringLiteral("HTML"), model, true);
        ASSERT_EQ(entriesOf(structure), entriesOf(whole.structure)) << e.inserted;
    }
    EXPECT_EQ(storage.wholeTextReads(), reads);
}

KELDocumentStructureItemRef parse(const QString& language, const QString& structureName, const QString& text,
    qsizetype location, qsizetype length, Range* actual = nullptr)
{
    KELDocumentStructureParser* parser = KELDocumentStructureParser::parserForType(language);
    EXPECT_TRUE(parser) << language.toStdString();
    if (!parser)
        return nullptr;
    Range r(location, length);
    Range out = r;
    KELDocumentStructureItemRef item = parser->parseSyntaxStructure(structureName, text, r, &out);
    if (actual)
        *actual = out;
    return item;
}

TEST(KELDocumentStructureOutline, NamesLinksAndBookmarksAtTheirLimits)
{
    struct Case
    {
        const char* language;
        const char* structure;
        QString text;
        qsizetype location;
        qsizetype length; // -1: to the end of the text
        bool item; // any item at all
        bool inOutline;
        QString name;
        qsizetype docStructureLength;
    } const cases[] = {
        // Bookmarks: blanks after "!" name nothing; long titles are cut to 100.
        { "JavaScript", "commentLine", QStringLiteral("//  !   \n"), 0, 8, false, false, {}, 0 },
        { "JavaScript", "commentLine", QStringLiteral("// !") + QString(120, u'x') + QStringLiteral("\n"), 0, 124,
            true, true, QString(100, u'x'), 124 },
        { "HTML", "comment", QStringLiteral("<!-- no bookmark -->"), 0, -1, false, false, {}, 0 },
        { "CSS", "commentBlock", QStringLiteral("/*\n! Colours\n*/ a"), 0, 16, true, true, QStringLiteral("Colours"),
            15 },
        { "PHP", "commentBlock", QStringLiteral("/* !unterminated"), 0, -1, true, true,
            QStringLiteral("unterminated"), 16 },
        // Links of HTML.
        { "HTML", "startTag", QStringLiteral("<a href=\"MAILTO:x@y\">x</a>"), 0, 21, true, false, QStringLiteral("a"),
            21 },
        { "HTML", "startTag", QStringLiteral("<a href=\"x.html\">") + QString(120, u'y'), 0, 17, true, true,
            QString(100, u'y'), 117 },
        { "HTML", "startTag", QStringLiteral("<a href=\"x.html\">short<b>"), 0, 17, true, true,
            QStringLiteral("x.html"), 17 },
        { "HTML", "startTag", QStringLiteral("<A HREF=\"x.html\">Hi</A>"), 0, 17, true, true, QStringLiteral("Hi"),
            19 },
        { "HTML", "endTag", QStringLiteral("</div id=\"x\">"), 0, -1, true, false, QStringLiteral("div"), 13 },
        { "HTML", "startTag", QStringLiteral("div>"), 0, -1, false, false, {}, 0 },
        { "HTML", "doctype", QStringLiteral("<!DOCTYPE html>"), 0, -1, false, false, {}, 0 },
        // Functions and classes.
        { "PHP", "function", QStringLiteral("Function  \n draw_2()"), 0, 8, true, true, QStringLiteral("draw_2"),
            18 },
        { "PHP", "function", QStringLiteral("function 2x()"), 0, 8, false, false, {}, 0 },
        { "PHP", "function", QStringLiteral("function $x()"), 0, 8, false, false, {}, 0 },
        { "PHP", "function", QStringLiteral("function"), 0, 8, false, false, {}, 0 },
        { "PHP", "function", QStringLiteral("strlen($x)"), 0, 6, false, false, {}, 0 },
        { "JavaScript", "variable", QStringLiteral("function $el()"), 0, 8, true, true, QStringLiteral("$el"), 12 },
        { "JavaScript", "variable", QStringLiteral("Function x()"), 0, 8, false, false, {}, 0 },
        // Includes: a variable or an unclosed string gives an unnamed entry outside the outline.
        { "PHP", "function", QStringLiteral("include $file;"), 0, 7, true, false, {}, 8 },
        { "PHP", "function", QStringLiteral("include '") + QString(1200, u'a'), 0, 7, true, false, {}, 1007 },
        { "PHP", "function", QStringLiteral("include 'a\\'b.php';"), 0, 7, true, true, QStringLiteral("a'b.php"),
            18 },
        // Imports.
        { "CSS", "atRule", QStringLiteral("@importx;"), 0, 8, true, false, {}, 7 },
        { "CSS", "atRule", QStringLiteral("@import"), 0, 7, true, false, {}, 7 },
        { "CSS", "atRule", QStringLiteral("@import url(a.css);"), 0, 18, true, true, QStringLiteral("a.css"), 18 },
        { "CSS", "atRule", QStringLiteral("@import 12px;"), 0, 12, true, false, {}, 12 },
        { "CSS", "atRule", QStringLiteral("@media print"), 0, 12, false, false, {}, 0 },
        { "CSS Block", "declaration", QStringLiteral("color: red;"), 0, 11, false, false, {}, 0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.left(40).toStdString());
        const qsizetype length = c.length < 0 ? c.text.size() - c.location : c.length;
        const KELDocumentStructureItemRef item = parse(QString::fromUtf8(c.language), QString::fromUtf8(c.structure),
            c.text, c.location, length);
        ASSERT_EQ(bool(item), c.item);
        if (!item)
            continue;
        EXPECT_EQ(item->appearsInOutline(), c.inOutline);
        if (!c.name.isNull())
            EXPECT_EQ(item->name().toStdString(), c.name.toStdString());
        EXPECT_EQ(item->docStructureLength(), c.docStructureLength);
    }
}

TEST(KELDocumentStructureOutline, WhatOpensAndClosesFolds)
{
    const QString text = QStringLiteral("<br/><br><div></div>{}");
    struct Case
    {
        const char* language;
        const char* structure;
        Range range;
        qint32 segmentType;
        bool suggested;
    } const cases[] = {
        { "HTML", "startTag", Range(0, 5), 0, false },
        { "HTML", "startTag", Range(5, 4), KELDocumentStructureItem::OpensSegment, false },
        { "HTML", "startTag", Range(9, 5), KELDocumentStructureItem::OpensSegment, true },
        { "HTML", "endTag", Range(14, 6), KELDocumentStructureItem::ClosesSegment, true },
        { "JavaScript", "brace", Range(20, 1), KELDocumentStructureItem::OpensSegment, true },
        { "PHP", "brace", Range(21, 1), KELDocumentStructureItem::ClosesSegment, true },
        { "PHP", "typeStart", Range(0, 2), KELDocumentStructureItem::OpensSegment, true },
        { "CSS Block", "typeEnd", Range(0, 2), KELDocumentStructureItem::ClosesSegment, true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.language) + " " + c.structure);
        const KELDocumentStructureItemRef item = parse(QString::fromUtf8(c.language), QString::fromUtf8(c.structure),
            text, c.range.location, c.range.length);
        ASSERT_TRUE(item);
        EXPECT_EQ(item->segmentType(), c.segmentType);
        EXPECT_FALSE(item->appearsInOutline());
        EXPECT_EQ(KELDocumentStructureParser::parserForType(QString::fromUtf8(c.language))
                      ->itemIsSuggestedCodeFold(*item),
            c.suggested);
    }
}

TEST(KELDocumentStructureOutline, PairingOfClosingAndOpenItems)
{
    const QString text = QStringLiteral("{}<?php?><div></div></p>");
    auto item = [&](const char* language, const char* structure, qsizetype at, qsizetype length) {
        return parse(QString::fromUtf8(language), QString::fromUtf8(structure), text, at, length);
    };
    const auto jsOpen = item("JavaScript", "brace", 0, 1), jsClose = item("JavaScript", "brace", 1, 1);
    const auto phpOpen = item("PHP", "brace", 0, 1), phpClose = item("PHP", "brace", 1, 1);
    const auto phpStart = item("PHP", "typeStart", 2, 5), phpEnd = item("PHP", "typeEnd", 7, 2);
    const auto div = item("HTML", "startTag", 9, 5), endDiv = item("HTML", "endTag", 14, 6);
    const auto endP = item("HTML", "endTag", 20, 4);
    const auto cssEnd = item("CSS Block", "typeEnd", 7, 2);
    const auto comment = parse(QStringLiteral("HTML"), QStringLiteral("comment"),
        QStringLiteral("<!-- !x -->"), 0, 11);
    struct Case
    {
        const char* language;
        KELDocumentStructureItemRef closing;
        KELDocumentStructureItemRef open;
        bool goOn;
        bool matched;
    } const cases[] = {
        { "JavaScript", jsClose, jsOpen, true, true },
        { "PHP", phpClose, phpOpen, true, true },
        { "PHP", phpClose, phpStart, false, false }, // a stray brace closes nothing
        { "PHP", phpEnd, phpOpen, true, false }, // the region's end closes all inside it
        { "HTML", endDiv, div, true, true },
        { "HTML", endP, div, true, false },
        { "HTML", endDiv, comment, false, false },
        { "CSS Block", cssEnd, phpOpen, true, false },
        { "CSS", cssEnd, phpOpen, false, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.language);
        ASSERT_TRUE(c.closing && c.open);
        bool matched = !c.matched;
        EXPECT_EQ(KELDocumentStructureParser::parserForType(QString::fromUtf8(c.language))
                      ->itemClosesItem(*c.closing, *c.open, &matched),
            c.goOn);
        EXPECT_EQ(matched, c.matched);
    }
}

TEST(KELDocumentStructureOutline, SelectorSelectsItsTextWithoutTrailingBlanks)
{
    const QString text = QStringLiteral("h1 , h2  \t\n  {}");
    const KELDocumentStructureItemRef item = parse(QStringLiteral("CSS"), QStringLiteral("selector"), text, 0, 13);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->docStructureLength(), 13);
    EXPECT_EQ(item->selectionLength(), 7);
    const KELDocumentStructureItemRef blank = parse(QStringLiteral("CSS"), QStringLiteral("selector"), text, 9, 4);
    ASSERT_TRUE(blank);
    EXPECT_EQ(blank->selectionLength(), 1) << "the first character always stays";
}

TEST(KELDocumentStructureOutline, RegistryAndCommentSettings)
{
    struct Case
    {
        const char* type;
        bool comments;
        bool multiLine;
        const char* start;
        const char* end;
        const char* structure;
        qsizetype minimumFold;
    } const cases[] = {
        { "HTML", true, true, "<!--", "-->", "comment", 80 },
        { "PHP", true, false, "/*", "*/", "", 1 },
        { "JavaScript", true, false, "/*", "*/", "", 1 },
        { "CSS", true, true, "/*", "*/", "commentBlock", 1 },
        { "CSS Block", false, false, "/*", "*/", "", 1 },
    };
    for (const Case& c : cases) {
        KELDocumentStructureParser* p = KELDocumentStructureParser::parserForType(QString::fromUtf8(c.type));
        ASSERT_TRUE(p) << c.type;
        EXPECT_EQ(p->typeName(), QString::fromUtf8(c.type));
        EXPECT_EQ(p->supportsComments(), c.comments) << c.type;
        EXPECT_EQ(p->usesMultiLineComments(), c.multiLine) << c.type;
        EXPECT_EQ(p->lineCommentString(), QStringLiteral("//"));
        EXPECT_EQ(p->multiLineCommentStartString(), QString::fromUtf8(c.start));
        EXPECT_EQ(p->multiLineCommentEndString(), QString::fromUtf8(c.end));
        EXPECT_EQ(p->commentStructureName(), QString::fromUtf8(c.structure));
        EXPECT_EQ(p->minimumFoldLength(), c.minimumFold);
    }
    EXPECT_EQ(KELDocumentStructureParser::parserForType(QStringLiteral("SHTML")), nullptr);
    EXPECT_EQ(KELDocumentStructureParser::parserForType(QStringLiteral("Plain Text")), nullptr);
}

} // namespace
