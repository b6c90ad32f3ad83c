// The colouring engine over the shipped languages: what colours and parse
// state a pass leaves, nested languages, and incremental passes after edits
// that agree with colouring the text from scratch.

#include "ColoringTestSupport.h"
#include "SyntaxTestSupport.h"

#include "kit/Log.h"
#include "kit/UserDefaults.h"
#include "support/PreferenceController2.h"
#include "syntax/SyntaxStructureObserver.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using kit::Range;
using namespace syntaxtest;

namespace {

class SyntaxTypeColoringTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        kit::UserDefaults::standard().resetForTesting();
        PreferenceController2::resetColorCacheForTesting();
        html = shippedType(QStringLiteral("HTML"));
        ASSERT_TRUE(html);
    }
    SyntaxType* html = nullptr;
};

struct Recorder : SyntaxStructureObserver
{
    QStringList found;
    void clearedSyntaxStructuresOfType(const QString&, const SyntaxText&, Range) override { }
    void foundSyntaxStructure(const QString& name, const QString& type, const SyntaxText& text, Range r) override
    {
        found.append(QStringLiteral("%1/%2:%3").arg(type, name, text.mid(r.location, r.length)));
    }
};

TEST_F(SyntaxTypeColoringTest, PageWithStyleScriptAndPhpRegions)
{
    const QString text = fixture(QStringLiteral("page.html"));
    ASSERT_FALSE(text.isEmpty());
    kit::TextStorage storage(text);
    colorAll(html, &storage);

    SyntaxType* css = shippedType(QStringLiteral("CSS"));
    SyntaxType* js = shippedType(QStringLiteral("JavaScript"));
    SyntaxType* php = shippedType(QStringLiteral("PHP"));
    ASSERT_TRUE(css && js && php);
    const QColor plain = ruleColor(html, QStringLiteral("Text"));
    struct Case
    {
        const char* needle;
        int offset;
        SyntaxType* type;
        const char* rule; // null: plain text
    };
    const Case cases[] = {
        { "<div id=", 1, html, "Tag" },
        { "\"main\"", 1, html, "Attribute Value" },
        { "class=\"intro\"", 0, html, "Attribute" },
        { "Hello &amp;", 0, html, nullptr },
        { "! Main content", 2, html, "Comment" },
        { "/* page colours */", 3, css, "Comment" },
        { "// counters", 3, js, "Comment" },
        { "/ab+c/gi", 1, js, "Regular Expression" },
        { "10 / 2 / 5", 3, js, nullptr },
        { "x / 2; }", 2, js, nullptr },
        { "'Count: '", 1, js, "String" },
        { "/* a block", 5, js, "Comment" },
        { "\"Today is \"", 2, php, "String" },
        { "// a note", 3, php, "Comment" },
        { "/* each item */", 3, php, "Comment" },
    };
    for (const Case& c : cases) {
        const qsizetype at = text.indexOf(QString::fromUtf8(c.needle));
        ASSERT_GE(at, 0) << c.needle;
        const QColor expected = c.rule ? ruleColor(c.type, QString::fromUtf8(c.rule)) : plain;
        ASSERT_TRUE(expected.isValid()) << c.rule;
        EXPECT_EQ(colorAt(&storage, at + c.offset).name(QColor::HexArgb), expected.name(QColor::HexArgb))
            << c.needle << " expected " << (c.rule ? c.rule : "plain text");
    }
    // Rules of one colour could hide a mix-up: the page uses at least these distinct colours.
    EXPECT_NE(ruleColor(html, QStringLiteral("Tag")), ruleColor(html, QStringLiteral("Attribute Value")));

    // Parse state: nested regions carry the parent's state and their own.
    const qsizetype inCss = text.indexOf(QStringLiteral("body {"));
    EXPECT_EQ(stateAt(&storage, QStringLiteral("HTML"), inCss), QStringLiteral("style"));
    EXPECT_FALSE(stateAt(&storage, QStringLiteral("CSS"), inCss).isEmpty());
    const qsizetype inText = text.indexOf(QStringLiteral("Hello"));
    EXPECT_TRUE(stateAt(&storage, QStringLiteral("HTML"), inText).isEmpty());
    EXPECT_TRUE(html->htmlViewIsTextInRange(&storage, Range(inText, 5)));
    EXPECT_FALSE(html->htmlViewIsTextInRange(&storage, Range(inText - 3, 5)));
}

TEST_F(SyntaxTypeColoringTest, InnermostTypeAndItsRegion)
{
    const QString text = fixture(QStringLiteral("page.html"));
    kit::TextStorage storage(text);
    colorAll(html, &storage);
    struct Case
    {
        const char* needle;
        const char* type;
    };
    const Case cases[] = { { "body { color", "CSS" }, { "color: #333", "CSS Block" }, { "var total", "JavaScript" },
        { "echo \"Today", "PHP" }, { "Hello &amp;", "HTML" }, { "<ul>", "HTML" } };
    for (const Case& c : cases) {
        const qsizetype at = text.indexOf(QString::fromUtf8(c.needle));
        Range region(kit::NotFound, 0);
        SyntaxType* inner = html->nestedSyntaxTypeForKELHTMLView(&storage, at, &region);
        ASSERT_TRUE(inner) << c.needle;
        EXPECT_EQ(inner->typeName(), QString::fromUtf8(c.type)) << c.needle;
        EXPECT_TRUE(region.contains(at)) << c.needle;
        if (inner == html) {
            EXPECT_EQ(region, Range(0, text.size()));
        }
    }
    const qsizetype css = text.indexOf(QStringLiteral("/* page colours"));
    Range region;
    html->nestedSyntaxTypeForKELHTMLView(&storage, css, &region);
    EXPECT_EQ(text.mid(region.location, region.length).trimmed().left(18), QStringLiteral("/* page colours */"));
}

TEST_F(SyntaxTypeColoringTest, ReportsNestedRegionsAndStructures)
{
    const QString text = QStringLiteral("<p>a</p><?php $x = 1; ?><style>p { }</style>");
    kit::TextStorage storage(text);
    Recorder recorder;
    colorAll(html, &storage, &recorder);
    EXPECT_TRUE(recorder.found.contains(QStringLiteral("HTML/startTag:<p>")))
        << recorder.found.join('\n').toStdString();
    EXPECT_TRUE(recorder.found.contains(QStringLiteral("HTML/endTag:</p>")));
    EXPECT_TRUE(recorder.found.contains(QStringLiteral("PHP/typeStart:<?php")));
    EXPECT_TRUE(recorder.found.contains(QStringLiteral("PHP/typeEnd:?>")));
    EXPECT_TRUE(recorder.found.contains(QStringLiteral("HTML/php:<?php $x = 1; ?>")));
}

TEST_F(SyntaxTypeColoringTest, JavaScriptSlashIsRegexOnlyWhereAnExpressionMayStand)
{
    SyntaxType* js = shippedType(QStringLiteral("JavaScript"));
    const QColor regex = ruleColor(js, QStringLiteral("Regular Expression"));
    struct Case
    {
        QString text;
        bool isRegex;
    };
    const Case cases[] = {
        { QStringLiteral("a = /x/;"), true },
        { QStringLiteral("return /x/;"), true },
        { QStringLiteral("a = /* c */ /x/;"), true },
        { QStringLiteral("a = b /x/ 2;"), false },
        { QStringLiteral("a = 4 /x/ 2;"), false },
        { QStringLiteral("this /x/ 2;"), false },
        { QStringLiteral("a =") + QString(4000, QLatin1Char(' ')) + QStringLiteral("/x/;"), false },
    };
    for (const Case& c : cases) {
        kit::TextStorage storage(c.text);
        colorAll(js, &storage);
        const qsizetype at = c.text.indexOf(QStringLiteral("/x/")) + 1;
        EXPECT_EQ(colorAt(&storage, at) == regex, c.isRegex) << c.text.left(20).toStdString();
    }
}

TEST_F(SyntaxTypeColoringTest, SwitchIndexStopsThePassEarly)
{
    const QString text = QStringLiteral("<p>one</p> <p>two</p> <p>three</p>");
    kit::TextStorage storage(text);
    SyntaxInfo info(Range(0, text.size()));
    info.setSwitchIndex(12);
    qsizetype index = 0;
    html->colorHTMLView(&storage, info, false, &index);
    EXPECT_TRUE(info.brokeEarly());
    EXPECT_EQ(info.finalColoringIndex(), 12u);
    EXPECT_EQ(index, 12);
    EXPECT_TRUE(colorAt(&storage, 30).isValid() == false);
}

TEST_F(SyntaxTypeColoringTest, EmptyTextAndTextWithoutGrammar)
{
    kit::TextStorage empty;
    colorAll(html, &empty);
    EXPECT_EQ(empty.length(), 0);
    SyntaxType* plain = shippedType(QStringLiteral("Plain Text"));
    ASSERT_TRUE(plain);
    const QString text = fixture(QStringLiteral("notes.txt"));
    kit::TextStorage storage(text);
    colorAll(plain, &storage);
    for (qsizetype i = 0; i < text.size(); i += 7)
        EXPECT_EQ(colorAt(&storage, i).name(), ruleColor(plain, QStringLiteral("Text")).name());
}

// Edits of all kinds, each followed by the pass the editor runs for it, must
// leave exactly what colouring the new text from scratch leaves. Nothing reads the
// whole text between edits, as in the editor: the passes read through the storage's
// typing gap, wherever the edits leave it.
TEST_F(SyntaxTypeColoringTest, IncrementalColouringAfterRandomEditsEqualsColouringFromScratch)
{
    struct Fixture
    {
        const char* file;
        const char* type;
    };
    const Fixture fixtures[] = { { "page.html", "HTML" }, { "style.css", "CSS" }, { "script.js", "JavaScript" },
        { "code.php", "PHP" }, { "notes.txt", "Plain Text" } };
    const QStringList pieces { QStringLiteral("<"), QStringLiteral(">"), QStringLiteral("/"), QStringLiteral("*"),
        QStringLiteral("\""), QStringLiteral("'"), QStringLiteral("<!--"), QStringLiteral("-->"), QStringLiteral("/*"),
        QStringLiteral("*/"), QStringLiteral("<?php "), QStringLiteral("?>"), QStringLiteral("{"), QStringLiteral("}"),
        QStringLiteral("\n"), QStringLiteral("a"), QStringLiteral(" "), QStringLiteral("<style>"),
        QStringLiteral("</style>"), QStringLiteral("<script>"), QStringLiteral("</script>"), QStringLiteral("//"),
        QStringLiteral("x = /y/;"), QStringLiteral("$v"), QStringLiteral("\\"), QStringLiteral("<b class=\"c\">"),
        QStringLiteral("@media x {") };
    for (const quint32 seed : { 20261210u, 2u }) {
        for (const Fixture& f : fixtures) {
            SyntaxType* type = shippedType(QString::fromUtf8(f.type));
            ASSERT_TRUE(type) << f.type;
            QString model = fixture(QString::fromUtf8(f.file));
            kit::TextStorage storage(model);
            colorAll(type, &storage);
            QRandomGenerator random(seed);
            for (int step = 0; step < 600; ++step) {
                const qsizetype length = storage.length();
                const qsizetype at = random.bounded(length + 1);
                Range replaced(at, 0);
                QString inserted;
                if (random.bounded(3) == 0 && length > 0)
                    replaced.length = std::min<qsizetype>(1 + random.bounded(6), length - at);
                else
                    inserted = pieces.at(random.bounded(pieces.size()));
                storage.replaceCharacters(replaced, inserted);
                model.replace(replaced.location, replaced.length, inserted);
                SyntaxInfo info(Range(at, inserted.size()));
                type->colorHTMLView(&storage, info, false, nullptr);

                kit::TextStorage fresh(model);
                colorAll(type, &fresh);
                const QStringList got = snapshot(&storage);
                const QStringList want = snapshot(&fresh);
                if (got != want) {
                    qsizetype first = 0;
                    while (first < got.size() && first < want.size() && got[first] == want[first])
                        ++first;
                    FAIL() << f.file << " seed " << seed << " step " << step << " replaced " << replaced.location << "+"
                           << replaced.length << " with '" << inserted.toStdString() << "'\nfirst difference: got '"
                           << got.value(first).toStdString() << "' want '" << want.value(first).toStdString()
                           << "'\ntext:\n"
                           << model.toStdString();
                }
            }
            ASSERT_EQ(storage.string(), model) << f.file;
        }
    }
}

} // namespace

// Definitions from outside the bundle may loop: types that embed each other and
// structures that refer to themselves. Colouring them ends, says why in the log,
// and still colours the text around the loop.
TEST_F(SyntaxTypeColoringTest, CyclicDefinitionsColourWithoutEndlessRecursion)
{
    QTemporaryDir dir;
    const QString style = QStringLiteral(
        "<style name=\"S\" default=\"true\"><rule name=\"Text\"><apply/><match/></rule>"
        "<rule name=\"Word\" defaultRed=\"1\"><apply><structure name=\"w\"/></apply><match/></rule></style>");
    const QString word = QStringLiteral(
        "<structure name=\"w\"><start><text><values><value>w</value></values></text></start></structure>");
    // Ping embeds Pong at "<" and Pong embeds Ping the same way.
    auto embedding = [&](const char* other) {
        return QStringLiteral("<structure name=\"region\"><start><text><values><value>&lt;</value></values></text>"
                              "</start><end><text><values><value>&gt;</value></values></text></end>"
                              "<type ref=\"%1\"/></structure>")
                   .arg(QLatin1String(other))
            + word;
    };
    // "loop" refers to itself before consuming anything; "deep" consumes one "d"
    // per level, so a long run of them nests far.
    const QString selfStructures = QStringLiteral(
        "<structure name=\"loop\"><option><structure ref=\"loop\"/><structure ref=\"w\"/></option></structure>"
        "<structure name=\"deep\"><sequence><structure name=\"d\"><text><values><value>d</value></values></text>"
        "</structure><structure ref=\"deep\" minOccurs=\"0\"/></sequence></structure>");
    const QString selfGrammar = QStringLiteral(
        "<structure name=\"block\"><start><text><values><value>{</value></values></text></start>"
        "<end><text><values><value>}</value></values></text></end>"
        "<sequence><structure ref=\"loop\" maxOccurs=\"unlimited\"/></sequence></structure>"
        "<structure name=\"chain\"><start><text><values><value>[</value></values></text></start>"
        "<end><text><values><value>]</value></values></text></end>"
        "<sequence><structure ref=\"deep\"/></sequence></structure>")
        + word;
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("Ping.xml")),
        definition(QStringLiteral("name=\"Ping\""), {}, {}, embedding("Pong"), style)));
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("Pong.xml")),
        definition(QStringLiteral("name=\"Pong\""), {}, {}, embedding("Ping"), style)));
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("Self.xml")),
        definition(QStringLiteral("name=\"Self\""), {}, selfStructures, selfGrammar, style)));

    kit::LogCapture log;
    SyntaxManager manager(dir.path());
    SyntaxType* ping = manager.typeForName(QStringLiteral("Ping"));
    SyntaxType* self = manager.typeForName(QStringLiteral("Self"));
    ASSERT_TRUE(ping && self);

    const QString pingText = QStringLiteral("w <a w <b> w> w");
    kit::TextStorage pingStorage(pingText);
    colorAll(ping, &pingStorage);
    EXPECT_TRUE(log.contains(QStringLiteral("Error: syntax types embed each other (Ping -> Pong -> Ping)")));
    // Outside the loop the words are still coloured by their rule.
    EXPECT_NE(colorAt(&pingStorage, 0), colorAt(&pingStorage, 1));
    // Asking which language stands somewhere inside the loop ends too.
    for (qsizetype i = 0; i < pingText.size(); ++i) {
        const QString inner = ping->nestedSyntaxTypeForKELHTMLView(&pingStorage, i, nullptr)->typeName();
        EXPECT_TRUE(inner == QLatin1String("Ping") || inner == QLatin1String("Pong")) << i;
    }

    const QString selfText = QStringLiteral("w {w w} [") + QString(5000, QLatin1Char('d')) + QStringLiteral("] w");
    kit::TextStorage selfStorage(selfText);
    colorAll(self, &selfStorage);
    EXPECT_TRUE(log.contains(
        QStringLiteral("Error: structure loop of syntax type Self refers to itself without consuming text")));
    EXPECT_TRUE(log.contains(QStringLiteral("Error: structures of syntax type Self nest deeper than 64 levels")));
    EXPECT_EQ(colorAt(&selfStorage, selfText.size() - 1), colorAt(&selfStorage, 0));
    // Each loop is reported once, not once per pass.
    const qsizetype lines = log.lines().size();
    colorAll(self, &selfStorage);
    colorAll(ping, &pingStorage);
    EXPECT_EQ(log.lines().size(), lines);
}
