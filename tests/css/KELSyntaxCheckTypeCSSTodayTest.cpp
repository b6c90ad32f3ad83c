// Style sheets as written today: selectors of current standards, nesting, vendor
// prefixes, math functions for every numeric type, recovery after common slips,
// and real sheets of widely used frameworks (valid ones and ones with planted errors).
#include "CSSTestSupport.h"

#include "support/KELSyntaxCheckError.h"

#include <gtest/gtest.h>

#include <QFile>
#include "KelpPaths.h"

using csstest::checkSheet;
using csstest::checkStyleAttribute;
using csstest::dump;
using csstest::titles;

namespace {

QString fixture(const QString& name)
{
    QFile file(QStringLiteral(KELP_TEST_FIXTURES "/css/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

KELSyntaxCheckErrors invalidating(const KELSyntaxCheckErrors& errors)
{
    KELSyntaxCheckErrors out;
    for (const KELSyntaxCheckError& e : errors)
        if (e.level() == 1)
            out.append(e);
    return out;
}

KELSyntaxCheckErrors warnings(const KELSyntaxCheckErrors& errors)
{
    KELSyntaxCheckErrors out;
    for (const KELSyntaxCheckError& e : errors)
        if (e.level() == 0)
            out.append(e);
    return out;
}

} // namespace

TEST(KELSyntaxCheckTypeCSSTodayTest, SelectorsOfToday)
{
    const char* valid[] = {
        ":not(.a, .b) {}",
        "a:not(.x .y, [hidden]) {}",
        "p:not(:not(.x)) {}",
        ":is(h1, h2, h3) > a:hover {}",
        ":where(ul, ol) :where(ul, ol) li {}",
        "a:has(> img, + p), section:has(h2) {}",
        "li:nth-child(2n+1 of .item) {}",
        "li:nth-last-child(-n + 3 of li.important, .x) {}",
        ":host {}",
        ":host(.dark) .title, :host-context(body.dark) {}",
        "my-element::part(label), ::part(a b) {}",
        "::slotted(p), ::slotted(*) {}",
        "a::before:hover, input::placeholder:focus, li::marker:focus-visible {}",
        ":dir(rtl), p:lang(en) {}",
        "& {}",
    };
    for (const char* sheet : valid) {
        const KELSyntaxCheckErrors errors = checkSheet(QString::fromUtf8(sheet));
        EXPECT_TRUE(errors.isEmpty()) << sheet << "\n" << dump(errors);
    }
    const struct {
        const char* sheet;
        const char* title;
        const char* description; // start of it
    } invalid[] = {
        { ":is() {}", "Pseudo-Class Selector Error", "Expected a simple selector" },
        { "a:not(::before) {}", "Pseudo-Class Selector Error", "A pseudo-element cannot be used" },
        { ":is(a, .b:frobnicate) {}", "Pseudo-Class Selector Error", "Pseudo-Class name \"frobnicate\"" },
        { ":has(> ) {}", "Selector Error", "Expected the beginning" },
        { "a::before:first-child {}", "Selector Error", "A pseudo-element can appear only" },
        { "p::before(x) {}", "Pseudo-Element Selector Error", "The pseudo-element \"before\"" },
        { "::part(label {}", "Pseudo-Element Error", "Pseudo-Element Parentheses" },
    };
    for (const auto& c : invalid) {
        const KELSyntaxCheckErrors errors = invalidating(checkSheet(QString::fromUtf8(c.sheet)));
        ASSERT_FALSE(errors.isEmpty()) << c.sheet;
        EXPECT_EQ(errors[0].title(), QString::fromUtf8(c.title)) << c.sheet << "\n" << dump(errors);
        EXPECT_TRUE(errors[0].description().startsWith(QString::fromUtf8(c.description))) << c.sheet << "\n" << dump(errors);
    }
}

TEST(KELSyntaxCheckTypeCSSTodayTest, VendorPrefixesWarnOncePerPrefix)
{
    const QString sheet = QStringLiteral(
        "input::-webkit-search-cancel-button { -webkit-appearance: none }\n"
        "button:-moz-focusring { outline: 1px dotted ButtonText }\n"
        "::-webkit-scrollbar-thumb:horizontal { display: -webkit-box }\n"
        "@-webkit-keyframes spin { from { opacity: 0 } to { opacity: 1 } }\n"
        "@-moz-document url-prefix() { a { color: red } }\n"
        "a { background: -webkit-linear-gradient(top, #fff, #000); width: -moz-available; }\n"
        "::-ms-clear { display: none }\n");
    QVariantMap run;
    const KELSyntaxCheckErrors errors = checkSheet(sheet, &run);
    EXPECT_TRUE(invalidating(errors).isEmpty()) << dump(errors);
    // One warning for each of -webkit-, -moz- and -ms-, whatever the kind of item.
    const KELSyntaxCheckErrors found = warnings(errors);
    ASSERT_EQ(found.size(), 3) << dump(errors);
    EXPECT_EQ(found[0].title(), QStringLiteral("Vendor-Specific Pseudo-Element"));
    EXPECT_TRUE(found[0].description().contains(QLatin1String("\"-webkit-\""))) << dump(found);
    EXPECT_EQ(found[1].title(), QStringLiteral("Vendor-Specific Pseudo-Class"));
    EXPECT_EQ(found[2].title(), QStringLiteral("Vendor-Specific Pseudo-Element"));
    // A later style attribute of the same run adds nothing for a prefix already named.
    EXPECT_TRUE(checkStyleAttribute(QStringLiteral("display: -webkit-flex; -moz-osx-font-smoothing: grayscale"), &run).isEmpty());
    // The body of a prefixed @keyframes is still checked as one.
    EXPECT_EQ(titles(invalidating(checkSheet(QStringLiteral("@-webkit-keyframes x { from { colr: red } }")))), QStringList({ "Unknown Property" }));
}

TEST(KELSyntaxCheckTypeCSSTodayTest, NestedRulesAreRead)
{
    const QString valid = QStringLiteral(
        ".card {\n"
        "  color: red;\n"
        "  &:hover { color: blue; }\n"
        "  .title { font-weight: bold }\n"
        "  > a, + p { color: green }\n"
        "  a:hover { text-decoration: underline }\n"
        "  & .x & { margin: 0 }\n"
        "  @media (min-width: 40em) { padding: 1rem; .title { font-size: 2rem } }\n"
        "  padding: 0;\n"
        "}\n");
    const KELSyntaxCheckErrors clean = checkSheet(valid);
    EXPECT_TRUE(clean.isEmpty()) << dump(clean);

    // Errors inside nested rules are found where they stand.
    const QString planted = QStringLiteral(
        ".card {\n"
        "  &:hover { colr: blue; }\n"
        "  .title { font-weight: heavy }\n"
        "  @media (min-width: 40em) { padding: red }\n"
        "}\n");
    KELSyntaxCheckErrors errors = checkSheet(planted);
    KELSyntaxCheckError::populateLocationsOfErrors(errors, planted);
    QStringList found;
    for (const KELSyntaxCheckError& e : invalidating(errors))
        found.append(QStringLiteral("%1 %2").arg(e.lineNumber()).arg(e.title()));
    found.sort();
    EXPECT_EQ(found, QStringList({ "2 Unknown Property", "3 Invalid Property Value", "4 Invalid Property Value" })) << dump(errors);
}

TEST(KELSyntaxCheckTypeCSSTodayTest, WideKeywordsMathFunctionsAndRowsOfToday)
{
    const char* declarations[] = {
        "color: inherit !important", "margin: unset !important", "display: revert ! important", "width: initial",
        "transition-duration: calc(1s + 200ms)", "animation-delay: calc(var(--i) * 100ms)", "z-index: calc(1 + 2)", "order: max(1, 2)",
        "opacity: clamp(0, .5, 1)", "transform: rotate(calc(45deg * 2))", "font-weight: min(700, 800)", "flex-grow: calc(2 * 2)",
        "line-height: max(1.2, 1em)", "width: min(100%, 40rem)",
        "border-inline-start-width: 2px", "border-block-end-color: red", "border-inline-end-style: dashed", "border-block-start-width: thin",
        "float: inline-start", "white-space: wrap", "white-space: preserve nowrap", "white-space-collapse: preserve-breaks", "float: inline-end", "align-content: baseline", "align-content: last baseline",
        "margin: 1e1px", "line-height: 1.5e0", "opacity: 5E-1",
        "background: url(data:image/svg+xml;charset=utf8,%3Csvg%20xmlns=%27http://www.w3.org/2000/svg%27%3E%3C/svg%3E) no-repeat",
    };
    for (const char* declaration : declarations) {
        const KELSyntaxCheckErrors errors = checkStyleAttribute(QString::fromUtf8(declaration));
        EXPECT_TRUE(errors.isEmpty()) << declaration << "\n" << dump(errors);
    }
    // A wide keyword stands alone; a math function stands only for a number kind.
    for (const char* declaration : { "color: inherit red", "color: inherit !important red", "display: calc(1 + 2)", "opacity: calc()" })
        EXPECT_FALSE(checkStyleAttribute(QString::fromUtf8(declaration)).isEmpty()) << declaration;
}

TEST(KELSyntaxCheckTypeCSSTodayTest, RecoveryAfterCommonSlips)
{
    // An attribute selector left open ends at the "{": its block is still read.
    const QString open = QStringLiteral("a[data-x=\"1\" { colr: red }\np { color: blue }");
    KELSyntaxCheckErrors errors = checkSheet(open);
    EXPECT_EQ(titles(invalidating(errors)), QStringList({ "Attribute Selector Error", "Unknown Property" })) << dump(errors);
    // A comma in an unquoted URL is part of it.
    EXPECT_TRUE(checkSheet(QStringLiteral("a { background-image: url(data:image/png;base64,iVBORw0KGgo=) }")).isEmpty());
    // A number with an exponent is one number; "1em" stays a length.
    EXPECT_TRUE(checkStyleAttribute(QStringLiteral("width: 1e3px; height: 1em; flex-grow: 2e0")).isEmpty());
}

TEST(KELSyntaxCheckTypeCSSTodayTest, FrameworkSheetsAreClean)
{
    for (const char* name : { "bootstrap-reboot.css", "normalize.css", "animate.css", "pico.css", "bulma.css" }) {
        SCOPED_TRACE(name);
        const QString text = fixture(QString::fromUtf8(name));
        ASSERT_FALSE(text.isEmpty());
        KELSyntaxCheckErrors errors = invalidating(checkSheet(text));
        KELSyntaxCheckError::populateLocationsOfErrors(errors, text);
        QStringList found;
        for (const KELSyntaxCheckError& e : errors)
            found.append(QStringLiteral("line %1: %2").arg(e.lineNumber()).arg(csstest::describe(e)));
        EXPECT_TRUE(errors.isEmpty()) << found.join(QLatin1Char('\n')).toStdString();
    }
}

TEST(KELSyntaxCheckTypeCSSTodayTest, PlantedErrorsInAFrameworkSheetAreFoundAtTheirLines)
{
    const QString text = fixture(QStringLiteral("bootstrap-planted.css"));
    ASSERT_FALSE(text.isEmpty());
    KELSyntaxCheckErrors errors = invalidating(checkSheet(text));
    KELSyntaxCheckError::populateLocationsOfErrors(errors, text);
    QStringList found;
    for (const KELSyntaxCheckError& e : errors)
        found.append(QStringLiteral("%1 %2").arg(e.lineNumber()).arg(e.title()));
    // Each planted error is marked in the fixture by a comment "planted: TITLE" on its line.
    QStringList expected;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const qsizetype at = lines[i].indexOf(QLatin1String("planted: "));
        if (at >= 0)
            expected.append(QStringLiteral("%1 %2").arg(i + 1).arg(lines[i].mid(at + 9).section(QLatin1String(" */"), 0, 0)));
    }
    ASSERT_EQ(expected.size(), 5);
    const auto byLine = [](const QString& a, const QString& b) { return a.section(u' ', 0, 0).toInt() < b.section(u' ', 0, 0).toInt(); };
    std::stable_sort(found.begin(), found.end(), byLine);
    EXPECT_EQ(found, expected) << dump(errors);
}
