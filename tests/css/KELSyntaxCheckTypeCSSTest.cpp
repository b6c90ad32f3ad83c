// The CSS reader: recovery after errors, selectors, style attributes, whole
// style sheets with known errors, a large sheet of today's web, and bad input.
#include "CSSTestSupport.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include "KelpPaths.h"

using csstest::checkSheet;
using csstest::checkStyleAttribute;
using csstest::dump;
using csstest::titles;

namespace {

QString fixture(const char* name)
{
    QFile file(QStringLiteral(KELP_TEST_FIXTURES "/css/") + QString::fromUtf8(name));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

} // namespace

TEST(KELSyntaxCheckTypeCSSTest, EmptySheetsAndCommentWrappers)
{
    KELSyntaxCheckTypeCSS parser;
    KELSyntaxCheckErrors errors;
    const QString text = QStringLiteral("  /* only a comment */ \n\t");
    auto document = parser.parseText(text, kit::Range(0, text.size()), &errors);
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_TRUE(document->ruleSets().isEmpty());
    EXPECT_TRUE(document->atRules().isEmpty());
    EXPECT_TRUE(checkSheet(QStringLiteral("<!-- a { color: red } -->")).isEmpty());
}

TEST(KELSyntaxCheckTypeCSSTest, RangesStayInsideTheText)
{
    KELSyntaxCheckTypeCSS parser;
    const QString page = QStringLiteral("<style>a { colr: red }</style>");
    KELSyntaxCheckErrors errors;
    parser.parseText(page, kit::Range(7, 15), &errors);
    ASSERT_EQ(errors.size(), 1) << dump(errors);
    EXPECT_EQ(errors[0].textRange(), kit::Range(11, 10)); // measured in the whole page
    for (const kit::Range range : { kit::Range(kit::NotFound, 5), kit::Range(-3, 10), kit::Range(20, 1000), kit::Range(1000, 5) }) {
        KELSyntaxCheckErrors none;
        parser.parseText(page, range, &none);
        parser.checkForStyleAttributeErrors(page, range, &none);
    }
}

TEST(KELSyntaxCheckTypeCSSTest, DeclarationRecovery)
{
    const KELSyntaxCheckErrors colon = checkSheet(QStringLiteral("a { color red; }"));
    ASSERT_FALSE(colon.isEmpty());
    EXPECT_EQ(colon[0].description(), QStringLiteral("\":\" was expected after the property name."));
    EXPECT_TRUE(checkSheet(QStringLiteral("a { color: red;; ; }")).isEmpty());

    // An unclosed function ends at the declaration's end: the next declaration is still checked.
    const KELSyntaxCheckErrors unclosed = checkSheet(QStringLiteral("a { color: rgb(1, 2, 3; colr: red }"));
    EXPECT_EQ(titles(unclosed), QStringList({ "Function Parse Error", "Unknown Property" })) << dump(unclosed);

    // The name read as a value stays among the values of the declaration before it.
    const KELSyntaxCheckErrors missingSemicolon = checkStyleAttribute(QStringLiteral("color:red background:blue"));
    ASSERT_EQ(titles(missingSemicolon), QStringList({ "Declaration Error", "Unexpected Values" })) << dump(missingSemicolon);
    EXPECT_EQ(missingSemicolon[0].description(), QStringLiteral("A semicolon \";\" should appear between declarations."));
    EXPECT_EQ(missingSemicolon[0].textRange().location, 10);

    KELSyntaxCheckTypeCSS parser;
    const QString text = QStringLiteral("color:red background:blue");
    auto block = parser.checkForStyleAttributeErrors(text, kit::Range(0, text.size()), nullptr);
    ASSERT_EQ(block->declarations().size(), 2);
    EXPECT_EQ(block->declarations()[1]->propertyName(), QStringLiteral("background"));
}

TEST(KELSyntaxCheckTypeCSSTest, SelectorErrors)
{
    const struct {
        const char* css;
        const char* title;
        const char* description;
    } cases[] = {
        { "p::before:first-child {}", "Selector Error", "A pseudo-element can appear only at the end of the last sequence of simple selectors in a selector." },
        { "p > {}", "Selector Error", "Expected the beginning of a simple selector sequence." },
        { "a[href", "Attribute Selector Error", "The attribute selector is not closed with \"]\"." },
        // Left open, the selector ends where the declaration block begins.
        { "a[href {}", "Attribute Selector Error", "The attribute selector is not closed with \"]\"." },
        { "a[=x] {}", "Attribute Selector Error", "Expected an attribute identifier." },
        { "a[href x] {}", "Attribute Selector Error", "Expected one of the following attribute selector operators: $=, *=, =, ^=, |=, ~=." },
        { "a[href=] {}", "Attribute Selector Error", "Expected an attribute value identifier or string." },
        { "a[href=x y] {}", "Attribute Selector Error", "Expected the attribute selector to be closed with \"]\"." },
        { ". {}", "Class Selector Error", "Expected a class identifier." },
        { "p::foo {}", "Pseudo-Element Error", "Pseudo-Element name \"foo\" is not recognized as a valid name." },
        { "p:foo {}", "Pseudo-Class Selector Error", "Pseudo-Class name \"foo\" is not recognized as a valid name." },
        { "p:nth-child(2 {}", "Pseudo-Class Selector Error", "Pseudo-Class Parentheses are not closed." },
        { "p q! {}", "Selector Group Error", "Expected beginning of declaration block with \"{\" after selector group." },
    };
    for (const auto& c : cases) {
        const KELSyntaxCheckErrors errors = checkSheet(QString::fromUtf8(c.css));
        ASSERT_FALSE(errors.isEmpty()) << c.css;
        EXPECT_EQ(errors[0].title(), QString::fromUtf8(c.title)) << c.css << "\n" << dump(errors);
        EXPECT_EQ(errors[0].description(), QString::fromUtf8(c.description)) << c.css << "\n" << dump(errors);
    }
    for (const char* css : { "p:hover::before {}", "p::before:hover {}", "a[href^='http' i] {}", "svg|rect, *|*, |p {}", "ul > li + li ~ li a {}", "#id.class[x|=y]:first-child {}" })
        EXPECT_TRUE(checkSheet(QString::fromUtf8(css)).isEmpty()) << css << "\n" << dump(checkSheet(QString::fromUtf8(css)));
}

TEST(KELSyntaxCheckTypeCSSTest, AtRuleBodies)
{
    KELSyntaxCheckTypeCSS parser;
    QString text = QStringLiteral("@foo x { a: b }");
    auto unknown = parser.parseText(text, kit::Range(0, text.size()), nullptr);
    ASSERT_EQ(unknown->atRules().size(), 1);
    const KELParsedCSSAtRule* foo = unknown->atRules()[0];
    ASSERT_EQ(foo->subvalues().size(), 2);
    EXPECT_EQ(foo->subvalues()[1]->type(), KELParsedCSSValue::Block);

    text = QStringLiteral("@media screen { a { color: red } }");
    auto media = parser.parseText(text, kit::Range(0, text.size()), nullptr);
    ASSERT_TRUE(media->atRules()[0]->subDocument());
    EXPECT_EQ(media->atRules()[0]->subDocument()->ruleSets().size(), 1);
    EXPECT_EQ(media->atRules()[0]->textRange(), kit::Range(0, text.size()));
}

TEST(KELSyntaxCheckTypeCSSTest, UnterminatedStringsAndComments)
{
    const QString text = QStringLiteral("a { content: \"abc\n; color: red }\nb { color: blue }");
    const KELSyntaxCheckErrors errors = checkSheet(text);
    ASSERT_FALSE(errors.isEmpty());
    EXPECT_EQ(errors[0].title(), QStringLiteral("String Parse Error"));
    EXPECT_EQ(errors[0].textRange(), kit::Range(17, 1));

    const KELSyntaxCheckErrors comment = checkSheet(QStringLiteral("a { color: red } /* open"));
    ASSERT_EQ(comment.size(), 1);
    EXPECT_EQ(comment[0].title(), QStringLiteral("Unterminated Comment"));
    EXPECT_EQ(comment[0].textRange(), kit::Range(17, 7));

    const KELSyntaxCheckErrors string = checkSheet(QStringLiteral("a { content: 'open"));
    EXPECT_TRUE(titles(string).contains(QStringLiteral("String Parse Error"))) << dump(string);
    EXPECT_TRUE(titles(string).contains(QStringLiteral("Declaration Block Error"))) << dump(string);
}

TEST(KELSyntaxCheckTypeCSSTest, KnownErrorsWithTheirLines)
{
    const QString text = fixture("known-errors.css");
    ASSERT_FALSE(text.isEmpty());
    KELSyntaxCheckErrors errors = checkSheet(text);
    KELSyntaxCheckError::populateLocationsOfErrors(errors, text);
    QStringList found;
    for (const KELSyntaxCheckError& e : errors)
        if (e.level() == 1)
            found.append(QStringLiteral("%1 %2").arg(e.lineNumber()).arg(e.title()));
    found.sort();
    QStringList expected {
        "4 Unknown Property",
        "9 Unexpected Values",
        "11 Invalid Property Value",
        "14 Declaration Error",
        "14 Unexpected Values",
        "17 Invalid Property Value",
        "20 Pseudo-Class Selector Error",
        "22 Selector Error",
        "24 URL Parse Error",
        "26 Pseudo-Class Selector Error",
        "28 String Parse Error",
        "29 Declaration Error",
        "29 Unexpected Values",
        "31 @import Error",
        "33 Unexpected Values",
    };
    expected.sort();
    EXPECT_EQ(found, expected) << dump(errors);
}

TEST(KELSyntaxCheckTypeCSSTest, LargeSheetOfTodaysWebIsClean)
{
    const QString text = fixture("modern-site.css");
    ASSERT_GT(text.count(QLatin1Char('\n')), 500);
    KELSyntaxCheckErrors errors = checkSheet(text);
    KELSyntaxCheckError::populateLocationsOfErrors(errors, text);
    QStringList found;
    for (const KELSyntaxCheckError& e : errors)
        found.append(QStringLiteral("line %1: %2").arg(e.lineNumber()).arg(csstest::describe(e)));
    EXPECT_TRUE(errors.isEmpty()) << found.join(QLatin1Char('\n')).toStdString();
}

TEST(KELSyntaxCheckTypeCSSTest, TodaysDeclarationsAreAccepted)
{
    const char* declarations[] = {
        "display: flex", "display: inline-grid", "display: contents", "display: block flow", "flex: 1 1 0%", "flex: none", "flex: 0 0 auto",
        "order: -1", "gap: 1rem 2rem", "row-gap: 10%", "grid-template-columns: [full-start] minmax(1rem, 1fr) [content] 60ch [full-end]",
        "grid-template-columns: repeat(3, 1fr)", "grid-area: 1 / 2 / 3 / 4", "grid-column: span 2", "grid-row: 2 / -1", "place-items: center",
        "justify-content: space-between", "align-items: safe center", "width: 50vw", "height: 100dvh", "width: fit-content", "inset: 0 auto auto 0",
        "aspect-ratio: 4 / 3", "object-fit: scale-down", "position: sticky", "font-size: clamp(1rem, 0.5rem + 2vw, 2rem)", "width: calc(100% - var(--gutter))",
        "color: var(--fg, #000)", "margin: var(--space) auto", "--any-thing: 1px solid [ x ] 'y' !important", "transform: translate(-50%, -50%) rotate(45deg)",
        "translate: 10px 20px", "rotate: 45deg", "scale: 1.1", "transition: all .3s cubic-bezier(.4, 0, .2, 1)", "animation: bounce 2s ease-in-out infinite alternate both",
        "animation-fill-mode: forwards", "box-shadow: inset 0 0 0 1px rgb(0 0 0 / .1)", "text-shadow: 0 1px 0 #fff", "filter: grayscale(100%) blur(2px)",
        "backdrop-filter: blur(10px)", "clip-path: circle(50% at 50% 50%)", "mix-blend-mode: multiply", "background: conic-gradient(from 90deg, red, blue)",
        "background-image: radial-gradient(circle at top left, #fff, transparent 70%)", "background: image-set(url(a.png) 1x, url(a@2x.png) 2x)",
        "color: hwb(120 10% 20%)", "color: oklch(70% 0.1 200)", "color: color-mix(in oklab, red 40%, blue)", "accent-color: hotpink",
        "scroll-snap-type: y mandatory", "overscroll-behavior: none", "touch-action: pan-y", "user-select: none", "pointer-events: none",
        "will-change: opacity, transform", "content-visibility: auto", "text-wrap: balance", "font-variation-settings: 'wght' 650",
        "font-feature-settings: 'liga' 1, 'kern'", "hyphens: auto", "overflow: clip", "overflow-wrap: anywhere", "white-space: break-spaces",
        "word-break: break-word", "text-decoration: underline dotted red 2px", "text-underline-offset: 3px", "list-style: '- ' inside",
        "cursor: grab", "appearance: none", "outline: 2px solid", "border-inline-start: 2px solid red", "margin-block: 1em", "padding-inline: 1rem 2rem",
        "border-start-end-radius: 8px", "opacity: 50%", "line-height: calc(1em + 4px)", "fill: currentColor", "stroke-dasharray: 4 2",
        "container-type: inline-size", "text-decoration-skip-ink: none", "all: unset", "zoom: 1.5", "color-scheme: light dark", "scrollbar-gutter: stable both-edges", "width: env(safe-area-inset-left, 0px)",
    };
    for (const char* declaration : declarations) {
        const KELSyntaxCheckErrors errors = checkStyleAttribute(QString::fromUtf8(declaration));
        EXPECT_TRUE(errors.isEmpty()) << declaration << "\n" << dump(errors);
    }
    const char* sheets[] = {
        "@keyframes pulse { 0%, 100% { opacity: 1 } 50% { opacity: .5 } }",
        "@supports (display: grid) and (not (display: inline-grid)) { a { color: red } }",
        "@media (prefers-reduced-motion: reduce) { @supports (scroll-behavior: smooth) { html { scroll-behavior: auto } } }",
        "@media (min-resolution: 2dppx), (orientation: landscape) and (hover: none) {}",
        "@font-face { font-family: X; src: url(x.woff2) format('woff2'); font-display: optional; font-weight: 300 700; font-style: oblique 10deg; size-adjust: 90% }",
        "@media (width >= 600px) and (400px < height <= 900px), (aspect-ratio > 16/9) {}",
        "@container sidebar (min-width: 400px) { .card { display: grid } }",
        "@layer reset, base; @layer base { html { color: black } } @layer { a { color: red } }",
        "@property --angle { syntax: '<angle>'; inherits: false; initial-value: 0deg; }",
        "input::placeholder, ::selection, li::marker, dialog::backdrop, a:focus-visible, p:focus-within, :is(a, b):where(.c) {}",
    };
    for (const char* sheet : sheets) {
        const KELSyntaxCheckErrors errors = checkSheet(QString::fromUtf8(sheet));
        EXPECT_TRUE(errors.isEmpty()) << sheet << "\n" << dump(errors);
    }
    const KELSyntaxCheckErrors keyframes = checkSheet(QStringLiteral("@keyframes x { sideways { opacity: 1 } 50% { colr: red } }"));
    EXPECT_EQ(titles(keyframes), QStringList({ "Invalid Keyframe Selector Value", "Unknown Property" })) << dump(keyframes);
}

TEST(KELSyntaxCheckTypeCSSTest, BadInputNeverHangsOrCrashes)
{
    const QString deepFunctions = QStringLiteral("a { width: ") + QStringLiteral("f(").repeated(50000) + QStringLiteral(" }");
    const QString deepNot = QStringLiteral(":not(").repeated(50000) + QStringLiteral("a {}");
    const QString deepBlocks = QStringLiteral("@foo ") + QStringLiteral("{").repeated(50000);
    const QString deepMedia = QStringLiteral("@media print {").repeated(20000);
    const QString deepCalc = QStringLiteral("a { width: ") + QStringLiteral("calc(").repeated(50000) + QStringLiteral("}");
    const QString binary = QString::fromLatin1(QByteArray("\x00\x01\xff{}:;@\"'\\", 11).repeated(2000));
    const QString surrogates = QStringLiteral("a\xd800 { b\xdc00: \xd83d\xde00 }");
    const QString inputs[] = {
        deepFunctions, deepNot, deepBlocks, deepMedia, deepCalc, binary, surrogates, QStringLiteral("@"), QStringLiteral("{"), QStringLiteral("}"),
        QStringLiteral("a{b:url("), QStringLiteral("a{b:\\"), QStringLiteral("u+"), QStringLiteral("a[b|"), QStringLiteral("a:nth-child("),
        QStringLiteral("@page{@"), QStringLiteral("@keyframes x {"), QStringLiteral("a { b: attr(x|"), QStringLiteral("/*"), QStringLiteral("'"),
    };
    for (const QString& input : inputs) {
        QElapsedTimer timer;
        timer.start();
        const KELSyntaxCheckErrors errors = checkSheet(input);
        checkStyleAttribute(input);
        EXPECT_FALSE(errors.isEmpty()) << input.left(40).toStdString();
    }
}
