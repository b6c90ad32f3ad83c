#include "support/DefaultsKeys.h"
#include "html/KELHTML4TagChecker.h"
#include "html/KELHTML5TagChecker.h"
#include "html/Printers.h"
#include "html/TagChecker.h"
#include "kit/Log.h"
#include "kit/UserDefaults.h"

#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include "KelpPaths.h"

namespace {

void setShowHTML5(bool on)
{
    kit::UserDefaults::standard().setValue(KELShowHTML5Completions, on);
}

const QSet<qint64> kKnownTypes = { 1, 2, 3, 4, 5, 6, 7, 10, 11, 12, 13, 14, 15, 16, 100, 101 };

// The tables as transcribed, without today's additions.
const TagChecker& givenHTML5()
{
    static TagChecker checker(TagChecker::resourceTablePaths({ QStringLiteral("HTML5Tags.txt") }));
    return checker;
}

const TagAttribute* attributeOf(const TagChecker& checker, const char* element, const char* attribute)
{
    const Tag* tag = checker.tag(QString::fromUtf8(element));
    return tag ? tag->attribute(QString::fromUtf8(attribute)) : nullptr;
}

QString check(const TagChecker& checker, const char* element, const char* attribute, const char* value)
{
    const TagAttribute* definition = attributeOf(checker, element, attribute);
    if (!definition)
        return QStringLiteral("<no such attribute>");
    return definition->errorMessageForAttributeValue(QString::fromUtf8(value));
}

// Properties every vocabulary keeps, whatever its size.
void expectSound(const TagChecker& checker)
{
    EXPECT_TRUE(checker.loadErrors().isEmpty()) << checker.loadErrors().join(QLatin1Char('\n')).toStdString();
    QStringList sorted = checker.tagNames();
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(checker.tagNames(), sorted);
    EXPECT_EQ(QSet<QString>(checker.tagNames().begin(), checker.tagNames().end()).size(), checker.tagNames().size());
    for (const QString& name : checker.nonStructuralTags())
        EXPECT_TRUE(checker.tagNames().contains(name)) << name.toStdString();
    for (const QString& name : checker.tagNames()) {
        const Tag* tag = checker.tag(name);
        ASSERT_NE(tag, nullptr) << name.toStdString();
        EXPECT_EQ(name, name.toLower());
        QSet<QString> seen;
        QString previous;
        for (const TagAttribute& attribute : tag->attributes()) {
            const QString lower = attribute.name().toLower();
            EXPECT_FALSE(seen.contains(lower)) << "duplicate " << lower.toStdString() << " in " << name.toStdString();
            seen.insert(lower);
            EXPECT_LE(previous, lower) << name.toStdString();
            previous = lower;
            EXPECT_TRUE(kKnownTypes.contains(attribute.type())) << attribute.name().toStdString();
            if (attribute.type() == TagAttribute::Custom) {
                EXPECT_FALSE(attribute.customValues().isEmpty());
            }
        }
        for (const QString& parent : tag->containedBy())
            EXPECT_TRUE(checker.tagNames().contains(parent)) << parent.toStdString() << " around " << name.toStdString();
    }
    const Tag* h1 = checker.tag("h1");
    for (const char* heading : { "h2", "h3", "h4", "h5", "h6" })
        EXPECT_EQ(checker.tag(heading), h1);
}

} // namespace

TEST(TagCheckerTest, GivenHTML5TableIsComplete)
{
    const TagChecker& html5 = givenHTML5();
    expectSound(html5);
    EXPECT_EQ(html5.tagNames().size(), 120);
    EXPECT_EQ(html5.nonStructuralTags().size(), 51);
    EXPECT_EQ(html5.singleTags().size(), 29);
    EXPECT_TRUE(html5.tagNames().contains("keygen"));
    EXPECT_TRUE(html5.tagNames().contains("command"));
    EXPECT_TRUE(html5.singleTags().contains("keygen"));
    EXPECT_TRUE(html5.singleTags().contains("wbr"));
    EXPECT_TRUE(html5.singleTags().contains("!doctype"));
    EXPECT_FALSE(html5.singleTags().contains("command"));
    EXPECT_LT(html5.tagNames().indexOf("h6"), html5.tagNames().indexOf("head"));

    // Every element holds the 67 global attributes once; elements without own
    // attributes hold exactly those.
    for (const QString& name : html5.tagNames()) {
        const Tag* tag = html5.tag(name);
        for (const char* global : { "accesskey", "role", "contextmenu", "onwaiting", "dir", "tabindex", "contenteditable",
                 "draggable", "hidden", "spellcheck" })
            EXPECT_NE(tag->attribute(global), nullptr) << global << " in " << name.toStdString();
    }
    EXPECT_EQ(html5.tag("abbr")->attributes().size(), 67);
    EXPECT_EQ(html5.tag("h1")->attributes().size(), 68);
    EXPECT_EQ(attributeOf(html5, "form", "onsubmit")->type(), TagAttribute::FreeText);
    EXPECT_EQ(attributeOf(html5, "p", "tabindex")->type(), TagAttribute::Number);
    EXPECT_EQ(attributeOf(html5, "p", "dir")->type(), TagAttribute::TextDirection);
    EXPECT_EQ(html5.tag("option")->containedBy(), (QStringList { "select", "optgroup", "datalist" }));
    EXPECT_EQ(html5.tag("source")->containedByErrorStringWithTagName("source"),
        QStringLiteral("The tag \"<source>\" must be contained within the scope of a \"<audio>\" or \"<video>\" tag. "));
    EXPECT_EQ(html5.tag("tr")->containedBy(), (QStringList { "table", "thead", "tbody", "tfoot" }));
    EXPECT_EQ(attributeOf(html5, "input", "type")->customValues().size(), 23);
}

TEST(TagCheckerTest, HTML4TableIsComplete)
{
    const TagChecker& html4 = KELHTML4TagChecker::sharedInstance();
    expectSound(html4);
    EXPECT_EQ(html4.tagNames().size(), 92);
    EXPECT_EQ(html4.nonStructuralTags().size(), 40);
    EXPECT_EQ(html4.singleTags().size(), 26);

    // The HTML 4 names are the HTML5 ones without those only HTML5 has.
    const QStringList onlyHTML5 = { "article", "aside", "audio", "canvas", "command", "datalist", "details", "embed",
        "figcaption", "figure", "footer", "header", "hgroup", "keygen", "mark", "meter", "nav", "output", "progress", "rp",
        "rt", "ruby", "section", "source", "summary", "time", "video", "wbr" };
    QStringList expected = givenHTML5().tagNames();
    for (const QString& name : onlyHTML5)
        expected.removeAll(name);
    EXPECT_EQ(html4.tagNames(), expected);

    // Attribute sets: common has 16 names, param none of them.
    EXPECT_EQ(html4.tag("abbr")->attributes().size(), 16);
    EXPECT_EQ(html4.tag("param")->attributes().size(), 5);
    EXPECT_NE(attributeOf(html4, "param", "id"), nullptr);
    EXPECT_EQ(attributeOf(html4, "param", "class"), nullptr);

    // "onselectStart" keeps its capital and sorts between "onmouseup" and "style".
    const QList<TagAttribute>& del = html4.tag("del")->attributes();
    qsizetype index = -1;
    for (qsizetype i = 0; i < del.size(); ++i) {
        if (del[i].name() == QLatin1String("onselectStart"))
            index = i;
    }
    ASSERT_GT(index, 0);
    EXPECT_EQ(del[index - 1].name(), QStringLiteral("onmouseup"));
    EXPECT_EQ(del[index + 1].name(), QStringLiteral("style"));
}

TEST(TagCheckerTest, TableValueChecksDifferBetweenVersions)
{
    const TagChecker& html4 = KELHTML4TagChecker::sharedInstance();
    const TagChecker& html5 = KELHTML5TagChecker::sharedInstance();
    const struct {
        const TagChecker* checker;
        const char* element;
        const char* attribute;
        const char* value;
        const char* message;
    } cases[] = {
        { &html4, "a", "accesskey", "ab", "The value of the \"accesskey\" attribute must be a single character. " },
        { &html5, "a", "accesskey", "ab", "" },
        { &html4, "a", "tabindex", "-1", "The value of the \"tabindex\" attribute must be a number greater than or equal to zero. " },
        { &html5, "a", "tabindex", "-1", "" },
        { &html4, "td", "width", "3*", "" },
        { &html4, "th", "width", "50%", "The value of the \"width\" attribute must be a number greater than or equal to zero. " },
        { &html5, "input", "type", "Email", "" },
        { &html5, "p", "contenteditable", "", "" },
        { &html5, "p", "contenteditable", "yes",
            "The value of the \"contenteditable\" attribute must be \"\", \"true\", \"false\", or \"plaintext-only\". " },
        { &html4, "li", "type", "A", "" },
        { &html4, "form", "method", "put", "The value of the \"method\" attribute must be \"get\" or \"post\". " },
    };
    for (const auto& c : cases)
        EXPECT_EQ(check(*c.checker, c.element, c.attribute, c.value), QString::fromUtf8(c.message))
            << c.element << " " << c.attribute << "=" << c.value;
}

TEST(TagCheckerTest, CurrentCheckerFollowsTheSetting)
{
    setShowHTML5(false);
    EXPECT_EQ(&TagChecker::currentTagChecker(), &KELHTML4TagChecker::sharedInstance());
    setShowHTML5(true);
    EXPECT_EQ(&TagChecker::currentTagChecker(), &KELHTML5TagChecker::sharedInstance());
    EXPECT_EQ(&KELHTML5TagChecker::sharedInstance(), &KELHTML5TagChecker::sharedInstance());
}

TEST(TagCheckerTest, BrokenTablesAreReportedAndTheRestKept)
{
    kit::LogCapture log;
    const QString fixture = QStringLiteral(KELP_TEST_FIXTURES "/html/BrokenTags.txt");
    const TagChecker checker({ fixture, QStringLiteral("/nonexistent/HTML5Tags.txt") });
    const QStringList errors = checker.loadErrors();
    const QStringList expected = {
        fixture + ":4: unknown attribute type 99",
        fixture + ":5: the attribute \"href\" is given twice for <b>",
        fixture + ":6: <a> is defined twice",
        fixture + ":7: an element line has four columns: NAMES | SETS | INSIDE | ATTRIBUTES",
        fixture + ":8: unknown attribute set \"nosuch\"",
        fixture + ":9: unknown directive \"bogus\"",
        fixture + ":10: a list holds an empty item (write \"\" for the empty value)",
        fixture + ":11: <zz> cannot be extended: it is not defined",
    };
    for (const QString& line : expected)
        EXPECT_TRUE(errors.contains(line)) << line.toStdString() << "\n" << errors.join('\n').toStdString();
    EXPECT_TRUE(errors.contains("/nonexistent/HTML5Tags.txt: cannot be read (No such file or directory)"))
        << errors.join('\n').toStdString();
    EXPECT_TRUE(errors.contains("HTML tag tables: <p> is listed but not defined"));
    EXPECT_TRUE(log.contains(QStringLiteral("unknown attribute type 99")));

    // What was sound is kept.
    EXPECT_EQ(checker.tagNames(), (QStringList { "a", "b" }));
    ASSERT_NE(checker.tag("a"), nullptr);
    EXPECT_EQ(checker.tag("a")->attributes().size(), 2); // href, and the global title
    EXPECT_EQ(checker.tag("b")->containedBy(), QStringList { "a" });
    EXPECT_EQ(checker.tag("p"), nullptr);
}

TEST(TagCheckerTest, BinaryAndMissingFilesGiveAnEmptyVocabulary)
{
    QTemporaryDir dir;
    const QString binary = dir.filePath("HTML5Tags.txt");
    QFile file(binary);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("tagNames: a\0\x01\x02", 14));
    file.close();
    kit::LogCapture log;
    const TagChecker checker({ binary });
    EXPECT_EQ(checker.loadErrors(), QStringList { binary + ": is not a text file" });
    EXPECT_TRUE(checker.tagNames().isEmpty());
    EXPECT_EQ(checker.tag("a"), nullptr);
}

namespace {

// Whether an element may stand inside the given ancestors (innermost last), as the
// error checker decides: one of its enclosing names at any depth.
bool nestingAllowed(const TagChecker& checker, const char* element, const QStringList& ancestors)
{
    const Tag* tag = checker.tag(QString::fromUtf8(element));
    if (!tag)
        return false;
    if (tag->containedBy().isEmpty())
        return true;
    for (const QString& ancestor : ancestors) {
        if (tag->containedBy().contains(ancestor))
            return true;
    }
    return false;
}

} // namespace

TEST(TagCheckerTest, AdditionsKeepEveryGivenRow)
{
    const TagChecker& given = givenHTML5();
    const TagChecker& today = KELHTML5TagChecker::sharedInstance();
    expectSound(today);
    // Attributes whose type or values today's HTML widens: they keep every value they offered.
    const QSet<QString> widened = { "li value", "ol start", "input autocomplete", "form method", "input formmethod",
        "button formmethod", "iframe sandbox" };
    for (const QString& name : given.tagNames()) {
        ASSERT_TRUE(today.tagNames().contains(name)) << name.toStdString();
        const Tag* before = given.tag(name);
        const Tag* after = today.tag(name);
        for (const QString& parent : before->containedBy())
            EXPECT_TRUE(after->containedBy().contains(parent)) << name.toStdString();
        for (const TagAttribute& attribute : before->attributes()) {
            const TagAttribute* now = after->attribute(attribute.name());
            ASSERT_NE(now, nullptr) << name.toStdString() << " " << attribute.name().toStdString();
            if (widened.contains(name + ' ' + attribute.name()) || attribute.name() == QLatin1String("dir")
                || attribute.name() == QLatin1String("contenteditable")) {
                for (const QString& value : attribute.customValues())
                    EXPECT_TRUE(now->customValues().contains(value)) << name.toStdString() << " " << value.toStdString();
                continue;
            }
            EXPECT_EQ(now->type(), attribute.type()) << name.toStdString() << " " << attribute.name().toStdString();
            EXPECT_EQ(now->customValues(), attribute.customValues()) << attribute.name().toStdString();
        }
    }
    // The given lists stay in front, in their order.
    EXPECT_EQ(today.singleTags().mid(0, given.singleTags().size()), given.singleTags());
    EXPECT_EQ(today.nonStructuralTags().mid(0, given.nonStructuralTags().size()), given.nonStructuralTags());
}

TEST(TagCheckerTest, TodaysMarkupIsAccepted)
{
    const TagChecker& html5 = KELHTML5TagChecker::sharedInstance();
    for (const char* element : { "main", "template", "picture", "dialog", "search", "slot", "bdi", "data", "track" })
        EXPECT_TRUE(html5.tagNames().contains(element)) << element;
    EXPECT_TRUE(html5.singleTags().contains("track"));

    const struct {
        const char* element;
        const char* attribute;
        const char* value;
    } accepted[] = {
        { "img", "loading", "lazy" },
        { "img", "srcset", "a.png 1x, b.png 2x" },
        { "img", "sizes", "(max-width: 600px) 100vw, 50vw" },
        { "img", "decoding", "async" },
        { "img", "fetchpriority", "high" },
        { "img", "crossorigin", "" },
        { "iframe", "loading", "lazy" },
        { "iframe", "allowfullscreen", "" },
        { "script", "integrity", "sha384-abc" },
        { "script", "crossorigin", "anonymous" },
        { "script", "type", "module" },
        { "script", "nomodule", "" },
        { "link", "as", "font" },
        { "link", "integrity", "sha256-x" },
        { "link", "referrerpolicy", "no-referrer" },
        { "input", "inputmode", "numeric" },
        { "input", "enterkeyhint", "send" },
        { "input", "autocomplete", "current-password" },
        { "input", "autocomplete", "section-blue shipping street-address" },
        { "input", "minlength", "3" },
        { "select", "required", "" },
        { "div", "dir", "auto" },
        { "bdi", "dir", "auto" },
        { "div", "contenteditable", "plaintext-only" },
        { "div", "popover", "" },
        { "div", "inert", "" },
        { "div", "hidden", "until-found" },
        { "span", "translate", "no" },
        { "div", "itemscope", "" },
        { "div", "itemprop", "name" },
        { "div", "slot", "header" },
        { "button", "popovertarget", "menu" },
        { "button", "popovertargetaction", "toggle" },
        { "button", "commandfor", "dlg" },
        { "form", "method", "dialog" },
        { "dialog", "open", "" },
        { "dialog", "closedby", "any" },
        { "details", "name", "faq" },
        { "template", "shadowrootmode", "open" },
        { "track", "kind", "captions" },
        { "source", "srcset", "a.webp" },
        { "video", "playsinline", "" },
        { "video", "muted", "" },
        { "ol", "start", "-3" },
        { "li", "value", "-1" },
        { "p", "onpointerdown", "go()" },
        { "p", "onwheel", "go()" },
        { "p", "autofocus", "" },
        { "button", "autofocus", "" },
        { "body", "onunhandledrejection", "log()" },
        { "a", "download", "" },
        { "a", "referrerpolicy", "origin" },
        { "meta", "property", "og:title" },
        { "input", "capture", "environment" },
        { "svg", "viewbox", "0 0 24 24" },
        { "svg", "fill", "none" },
        { "path", "d", "M0 0L10 10" },
        { "path", "stroke-width", "2" },
        { "lineargradient", "gradientunits", "userSpaceOnUse" },
        { "use", "xlink:href", "#icon" },
        { "a", "transform", "scale(2)" },
        { "math", "display", "block" },
        { "mfrac", "linethickness", "0" },
    };
    for (const auto& c : accepted)
        EXPECT_EQ(check(html5, c.element, c.attribute, c.value), QString())
            << c.element << " " << c.attribute << "=" << c.value;

    // Values outside today's lists are still caught.
    EXPECT_EQ(check(html5, "img", "loading", "soon"),
        QStringLiteral("The value of the \"loading\" attribute must be \"eager\" or \"lazy\". "));
    EXPECT_EQ(check(html5, "div", "dir", "up"),
        QStringLiteral("The value of the \"dir\" attribute must be \"ltr\", \"rtl\", or \"auto\". "));

    EXPECT_TRUE(nestingAllowed(html5, "source", { "body", "picture" }));
    EXPECT_TRUE(nestingAllowed(html5, "track", { "body", "video" }));
    EXPECT_FALSE(nestingAllowed(html5, "track", { "body", "div" }));
    EXPECT_TRUE(nestingAllowed(html5, "tr", { "body", "template" }));
    EXPECT_TRUE(nestingAllowed(html5, "td", { "body", "template" }));
    EXPECT_TRUE(nestingAllowed(html5, "li", { "body", "template" }));
    EXPECT_TRUE(nestingAllowed(html5, "style", { "body", "my-card", "template" }));
    EXPECT_TRUE(nestingAllowed(html5, "link", { "html", "body", "div" }));
    EXPECT_FALSE(nestingAllowed(html5, "title", { "html", "body" }));
    EXPECT_TRUE(nestingAllowed(html5, "title", { "body", "svg" }));
    EXPECT_TRUE(nestingAllowed(html5, "style", { "body", "svg" }));
    EXPECT_TRUE(nestingAllowed(html5, "circle", { "body", "svg", "g" }));
    EXPECT_FALSE(nestingAllowed(html5, "circle", { "body", "div" }));
    EXPECT_TRUE(nestingAllowed(html5, "mi", { "p", "math", "mrow" }));
    EXPECT_TRUE(html5.nonStructuralTags().contains("svg"));
}
