// Text matchers, structure stacks and character sets.

#include "syntax/SyntaxStructureText.h"
#include "syntax/StructureTreeNode.h"
#include "syntax/SyntaxStructure.h"
#include "syntax/SyntaxStructureMatch.h"
#include "syntax/SyntaxStructureStack.h"
#include "kit/text/TextStorage.h"

#include <gtest/gtest.h>

namespace {

struct MatchCase
{
    const char* what;
    QStringList values; // empty: no values
    QString characters; // empty: no character set
    QStringList excludes; // empty: no exclusions
    quint64 minLength;
    quint64 maxLength;
    QChar escape;
    bool matchOutside;
    QString string;
    kit::Range range;
    bool atEnd;
    qsizetype expected;
};

SyntaxStructureText makeText(const MatchCase& c)
{
    SyntaxStructureText t;
    if (!c.values.isEmpty())
        t.setValues(c.values == QStringList { QStringLiteral("<empty>") } ? QStringList { QString(QLatin1String("")) }
                                                                          : c.values);
    if (!c.characters.isEmpty())
        t.setCharacters(SyntaxCharacterSet::fromString(c.characters));
    if (!c.excludes.isEmpty())
        t.setExcludeValues(c.excludes);
    t.setMinCharLength(c.minLength);
    t.setMaxCharLength(c.maxLength);
    t.setEscapeChar(c.escape.unicode());
    t.setMatchOutsideRange(c.matchOutside);
    return t;
}

TEST(SyntaxStructureText, MatchesAsTheTableSays)
{
    const qsizetype NF = kit::NotFound;
    const quint64 U = SyntaxUnlimited;
    const MatchCase cases[] = {
        { "longest value wins", { "a", "ab" }, {}, {}, 1, U, {}, false, "abc", { 0, 3 }, false, 2 },
        { "same length: first listed", { "ab", "AB" }, {}, {}, 1, U, {}, false, "abc", { 0, 3 }, false, 2 },
        { "case is ignored", { "<SCRIPT" }, {}, {}, 1, U, {}, false, "<script>", { 0, 8 }, false, 7 },
        { "value must fit in the range", { "abc" }, {}, {}, 1, U, {}, false, "abc", { 0, 2 }, false, NF },
        { "empty value matches with 0", { "<empty>" }, {}, {}, 1, U, {}, false, "xyz", { 0, 3 }, false, 0 },
        { "at end: ends at the range end", { "-->" }, {}, {}, 1, U, {}, false, "<!-- x -->", { 0, 10 }, true, 3 },
        { "at end: not at the end", { "-->" }, {}, {}, 1, U, {}, false, "<!-- --> x", { 0, 10 }, true, NF },
        { "values fall back to characters", { "if" }, "abcdefghijklmnopqrstuvwxyz", {}, 1, U, {}, false, "word",
            { 0, 4 }, false, 4 },
        { "exclusion vetoes values and run", { "x" }, "xyz", { "xy" }, 1, U, {}, false, "xyz", { 0, 3 }, false, NF },
        { "character run up to a stranger", {}, "0123456789", {}, 1, U, {}, false, "123px", { 0, 5 }, false, 3 },
        { "run below the minimum", {}, "0123456789", {}, 4, U, {}, false, "123px", { 0, 5 }, false, NF },
        { "run stops at the maximum", {}, "0123456789", {}, 1, 2, {}, false, "12345", { 0, 5 }, false, 2 },
        { "run backwards", {}, " ", {}, 1, U, {}, false, "ab   ", { 0, 5 }, true, 3 },
        { "neither values nor set, minimum 0", {}, {}, {}, 0, U, {}, false, "abc", { 0, 3 }, false, 0 },
        { "neither values nor set", {}, {}, {}, 1, U, {}, false, "abc", { 0, 3 }, false, NF },
        { "quote after one escape is no end", { "\"" }, {}, {}, 1, U, '\\', false, "\"a\\\"", { 0, 4 }, true, NF },
        { "quote after two escapes is an end", { "\"" }, {}, {}, 1, U, '\\', false, "\"a\\\\\"", { 0, 5 }, true, 1 },
        { "quote without escape is an end", { "\"" }, {}, {}, 1, U, '\\', false, "\"ab\"", { 0, 4 }, true, 1 },
        // Escapes are counted before where the match begins, also for matches
        // anchored at the range's start (not before the range's end).
        { "forward: escape before the start", { "\"" }, {}, {}, 1, U, '\\', false, "a\\\"bc", { 2, 3 }, false, NF },
        { "forward: escape near the range end", { "\"" }, {}, {}, 1, U, '\\', false, "\"a\\x", { 0, 4 }, false, 1 },
        { "outside, at end: looks forward", { "</style" }, {}, {}, 1, U, {}, true, "a{}</style>", { 0, 3 }, true, 7 },
        { "outside, at end: nothing there", { "</style" }, {}, {}, 1, U, {}, true, "a{} </style>", { 0, 3 }, true, NF },
        { "outside, at start: looks back", { "=" }, {}, {}, 1, U, {}, true, "a=b", { 2, 1 }, false, 1 },
        // The quick test of the first or last character must not turn away a match.
        { "outside ASCII, lower-cases into a value", { "k" }, {}, {}, 1, U, {}, false, QString(QChar(0x212A)),
            { 0, 1 }, false, 1 },
        { "upper case at the end", { "end" }, {}, {}, 1, U, {}, false, "BEGIN x END", { 0, 11 }, true, 3 },
        { "empty range", { "a" }, "a", {}, 1, U, {}, false, "abc", { 1, 0 }, false, NF },
        { "run of minimum 0 at a stranger", {}, "0123456789", {}, 0, U, {}, false, "px", { 0, 2 }, false, 0 },
        { "values, then run of minimum 0", { "if" }, "abc", {}, 0, U, {}, false, "123", { 0, 3 }, false, 0 },
        { "first character in neither", { "if" }, "0123456789", {}, 1, U, {}, false, "x1", { 0, 2 }, false, NF },
        // Longer lists are looked up by their edge character: the same answers.
        { "long list: longest of one letter", { "do", "d", "if", "div", "dl" }, {}, {}, 1, U, {}, false, "DIVx",
            { 0, 4 }, false, 3 },
        { "long list: a value past the range is skipped", { "abc", "x", "ab", "y" }, {}, {}, 1, U, {}, false, "abc",
            { 0, 2 }, false, 2 },
        { "long list: outside ASCII into a value", { "a", "b", "c", "k" }, {}, {}, 1, U, {}, false,
            QString(QChar(0x212A)), { 0, 1 }, false, 1 },
        { "long list: outside ASCII both sides", { "a", "b", "c", QString(QChar(0xE9)) + "t" }, {}, {}, 1, U, {}, false,
            QString(QChar(0xC9)) + "T!", { 0, 3 }, false, 2 },
        { "long list: an empty value matches anywhere", { "a", "", "b", "c" }, {}, {}, 1, U, {}, false, "xyz",
            { 0, 3 }, false, 0 },
        { "long list: at end, by the last letter", { "-->", "->", "ab", "b>", "x" }, {}, {}, 1, U, {}, false, "a -->",
            { 0, 5 }, true, 3 },
        { "long list: exclusion by its first letter", {}, "abcdefghijklmnopqrstuvwxyz", { "for", "if", "in", "do" },
            1, U, {}, false, "IFx", { 0, 3 }, false, NF },
    };
    for (const MatchCase& c : cases) {
        const SyntaxStructureText t = makeText(c);
        EXPECT_EQ(t.longestMatchInString(c.string, c.range, c.atEnd), c.expected) << c.what;
        // The same through a text storage whose typing gap sits at each place in the text.
        for (qsizetype gap = 0; gap <= c.string.size(); ++gap) {
            kit::TextStorage storage;
            storage.replaceCharacters(kit::Range(0, 0), c.string.mid(gap));
            storage.replaceCharacters(kit::Range(0, 0), c.string.left(gap));
            EXPECT_EQ(t.longestMatchInString(SyntaxText(&storage), c.range, c.atEnd), c.expected)
                << c.what << ", gap at " << gap;
        }
    }
}

TEST(SyntaxStructureText, MaxLength)
{
    SyntaxStructureText run;
    run.setCharacters(SyntaxCharacterSet::fromString(QStringLiteral("ab")));
    EXPECT_EQ(run.maxLength(), 500); // unlimited run
    run.setMaxCharLength(7);
    EXPECT_EQ(run.maxLength(), 7);
    SyntaxStructureText values;
    values.setValues(QStringList { QStringLiteral("<!--"), QStringLiteral("<") });
    EXPECT_EQ(values.maxLength(), 4);
    values.setValues(QStringList {});
    EXPECT_EQ(values.maxLength(), 0);

    SyntaxStructure bare;
    EXPECT_EQ(bare.maxStartEndLength(), 1);
}

TEST(SyntaxStructureStack, StringFormRoundTrips)
{
    struct Case
    {
        QString string;
        QStringList names;
    } const cases[] = {
        { QString(), {} },
        { QStringLiteral(""), {} },
        { QStringLiteral("comment"), { QStringLiteral("comment") } },
        { QStringLiteral("block.innerBlock"), { QStringLiteral("block"), QStringLiteral("innerBlock") } },
    };
    for (const Case& c : cases) {
        const SyntaxStructureStack s(c.string);
        EXPECT_EQ(s.structures(), c.names) << c.string.toStdString();
        if (c.names.isEmpty())
            EXPECT_TRUE(s.stackString().isNull()); // none, not the empty string
        else
            EXPECT_EQ(s.stackString(), c.string);
    }

    SyntaxStructureStack s;
    EXPECT_TRUE(s.popStructureName().isNull());
    EXPECT_TRUE(s.isEmpty());
    s.pushStructureName(QStringLiteral("a.b")); // a dotted name reads back as two
    EXPECT_EQ(SyntaxStructureStack(s.stackString()).structures().size(), 2);
    EXPECT_TRUE(SyntaxStructureStack(QStringLiteral("x.y")) == SyntaxStructureStack(QStringLiteral("x.y")));
    EXPECT_FALSE(SyntaxStructureStack(QStringLiteral("x.y")) == SyntaxStructureStack(QStringLiteral("x")));

    // Ids follow the names through pushes and pops, whatever way the stack was built.
    SyntaxStructureStack built;
    built.pushStructureName(QStringLiteral("x"));
    built.pushStructureName(QStringLiteral("y"));
    EXPECT_EQ(built.id(), SyntaxStructureStack(QStringLiteral("x.y")).id());
    EXPECT_NE(built.id(), SyntaxStructureStack(QStringLiteral("y.x")).id());
    built.popStructureName();
    EXPECT_EQ(built.id(), SyntaxStructureStack(QStringLiteral("x")).id());
    built.clearStack();
    EXPECT_EQ(built.id(), SyntaxStructureStack().id());
}

TEST(SyntaxCharacterSet, CategoriesPerUnit)
{
    struct Case
    {
        char16_t c;
        bool whitespace, newline, letter, alphanumeric;
    } const cases[] = {
        { u' ', true, false, false, false },
        { u'\t', true, false, false, false },
        { u'\n', true, true, false, false },
        { u'\u2028', true, true, false, false },
        { u'\u00a0', true, false, false, false },
        { u'a', false, false, true, true },
        { u'\u00e9', false, false, true, true },
        { u'\u0301', false, false, true, true }, // a combining mark
        { u'7', false, false, false, true },
        { u'_', false, false, false, false },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SyntaxCharacterSet::isWhitespaceOrNewline(c.c), c.whitespace) << int(c.c);
        EXPECT_EQ(SyntaxCharacterSet::isNewline(c.c), c.newline) << int(c.c);
        EXPECT_EQ(SyntaxCharacterSet::isLetter(c.c), c.letter) << int(c.c);
        EXPECT_EQ(SyntaxCharacterSet::isAlphanumeric(c.c), c.alphanumeric) << int(c.c);
    }
}

TEST(SyntaxStructureMatch, PathPatternOverATree)
{
    // startTag > tagName("script")
    std::vector<std::unique_ptr<SyntaxStructure>> pattern;
    pattern.push_back(std::make_unique<SyntaxStructure>());
    pattern.back()->setName(QStringLiteral("startTag"));
    pattern.push_back(std::make_unique<SyntaxStructure>());
    pattern.back()->setName(QStringLiteral("tagName"));
    auto text = std::make_unique<SyntaxStructureText>();
    text->setValues(QStringList { QStringLiteral("script") });
    pattern.back()->setText(std::move(text));
    SyntaxStructureMatch match;
    match.setMatchStructures(std::move(pattern));

    SyntaxStructure startTag, tagName, attribute;
    startTag.setName(QStringLiteral("startTag"));
    tagName.setName(QStringLiteral("tagName"));
    attribute.setName(QStringLiteral("attribute"));

    auto tree = [&](const QString& string, kit::Range nameRange) {
        auto root = StructureTreeNode::structureTreeNode();
        root->structure = &startTag;
        root->range = kit::Range(0, string.size());
        auto attr = StructureTreeNode::structureTreeNode();
        attr->structure = &attribute;
        attr->range = kit::Range(0, 1);
        root->subStructures.push_back(std::move(attr));
        auto name = StructureTreeNode::structureTreeNode();
        name->structure = &tagName;
        name->range = nameRange;
        root->subStructures.push_back(std::move(name));
        return root;
    };
    const QString doc = QStringLiteral("<SCRIPT src=x>");
    EXPECT_TRUE(match.matches(tree(doc, kit::Range(1, 6)).get(), doc));
    const QString other = QStringLiteral("<scripts>");
    EXPECT_FALSE(match.matches(tree(other, kit::Range(1, 7)).get(), other)); // the whole text must match
    SyntaxStructureMatch empty;
    EXPECT_TRUE(empty.matches(tree(doc, kit::Range(1, 6)).get(), doc));
}

} // namespace
