// The registry of syntax types: the shipped definitions, lookups, colour
// groups, settings, and definitions that are broken.

#include "SyntaxTestSupport.h"

#include "kit/Log.h"
#include "kit/Resources.h"
#include "kit/UserDefaults.h"
#include "support/KELFileTypeManager.h"
#include "support/PreferenceController2.h"
#include "syntax/SyntaxInfo.h"
#include "syntax/SyntaxManager.h"
#include "syntax/SyntaxStructureMatch.h"

#include <QSet>
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace {

QString shippedSyntaxFolder() { return kit::resourcesPath() + QStringLiteral("/Syntax"); }

class SyntaxManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        kit::UserDefaults::standard().resetForTesting();
        PreferenceController2::resetColorCacheForTesting();
    }
    void TearDown() override
    {
        kit::setResourcesPathForTesting(QString());
        kit::UserDefaults::standard().resetForTesting();
        PreferenceController2::resetColorCacheForTesting();
    }
};

struct Doc : SyntaxManager::Document
{
    explicit Doc(QString p)
        : path(std::move(p))
    {
    }
    QString fileURLPath() const override { return path; }
    QString path;
};

// Every structure name a type declares anywhere, inline ones included.
void collectNames(const SyntaxStructure* s, QSet<QString>& names)
{
    if (!s)
        return;
    if (!s->isReference())
        names.insert(s->name());
    for (const auto* list : { s->sequence(), s->option() })
        if (list)
            for (const auto& child : *list)
                collectNames(child.get(), names);
}

void checkReferences(const SyntaxStructure* s, const SyntaxType* type, const QString& where, QStringList& problems)
{
    if (!s)
        return;
    if (s->isReference() && !type->structures().contains(s->name()))
        problems << QStringLiteral("%1: unknown structure \"%2\" referred to").arg(where, s->name());
    if (!s->typeRef().isEmpty() && !SyntaxManager::sharedInstance().typeForName(s->typeRef()))
        problems << QStringLiteral("%1: unknown nested type \"%2\"").arg(where, s->typeRef());
    for (const SyntaxStructureInterrupt& i : s->interrupts())
        if (!type->structures().contains(i.structureName()))
            problems << QStringLiteral("%1: unknown structure \"%2\" to interrupt").arg(where, i.structureName());
    for (const auto* list : { s->sequence(), s->option() })
        if (list)
            for (const auto& child : *list)
                checkReferences(child.get(), type, where, problems);
}

void checkPath(const std::vector<std::unique_ptr<SyntaxStructure>>& path, const QSet<QString>& names,
    const QString& where, QStringList& problems)
{
    for (const auto& element : path)
        if (!names.contains(element->name()))
            problems << QStringLiteral("%1: unknown structure name \"%2\" in a path").arg(where, element->name());
}

void checkCompletion(
    const SyntaxCompletion& c, const SyntaxType* type, const QSet<QString>& names, QStringList& problems)
{
    const QString where = type->typeName() + QStringLiteral(" completion");
    checkPath(c.rootStructures(), names, where, problems);
    checkPath(c.matchStructures(), names, where, problems);
    checkPath(c.applyStructures(), names, where, problems);
    // An empty apply path replaces the text of the root structure itself.
    if (c.rootStructures().empty())
        problems << where + QStringLiteral(": no root path");
    for (const SyntaxWordRef& ref : c.applyWordRefs())
        if (!type->words().objectForKey(ref.wordId()))
            problems << QStringLiteral("%1: unknown word \"%2\"").arg(where, ref.wordId());
    for (const auto& nested : c.nestedCompletions())
        checkCompletion(*nested, type, names, problems);
}

TEST_F(SyntaxManagerTest, ShippedDefinitionsLoadCleanly)
{
    kit::LogCapture log;
    SyntaxManager::resetSharedInstanceForTesting();
    SyntaxManager& manager = SyntaxManager::sharedInstance();
    for (SyntaxType* type : manager.allTypes())
        type->words().count(); // read the vocabularies too
    EXPECT_TRUE(log.lines().isEmpty()) << log.lines().join(QLatin1Char('\n')).toStdString();

    struct Expected
    {
        const char* name;
        const char* parent;
        const char* deferTo;
        const char* root;
        bool hasStyles;
        bool completes;
    } const expected[] = {
        { "HTML", "", "", "HTML", true, true },
        { "CSS", "", "", "CSS", true, true },
        { "CSS Block", "CSS", "", "CSS", true, true },
        { "JavaScript", "", "", "JavaScript", true, true },
        { "PHP", "", "HTML", "HTML", true, true },
        { "SHTML", "", "HTML", "HTML", false, false },
        { "XML", "", "HTML", "HTML", false, false },
        { "Plain Text", "", "", "Plain Text", false, false },
    };
    for (const Expected& e : expected) {
        SyntaxType* t = manager.typeForName(QString::fromUtf8(e.name));
        ASSERT_TRUE(t) << e.name;
        EXPECT_EQ(t->parentTypeName(), QString::fromUtf8(e.parent)) << e.name;
        EXPECT_EQ(t->deferToTypeName(), QString::fromUtf8(e.deferTo)) << e.name;
        EXPECT_EQ(t->rootType()->typeName(), QString::fromUtf8(e.root)) << e.name;
        EXPECT_EQ(!t->coloringStyles().empty(), e.hasStyles) << e.name;
        EXPECT_EQ(t->supportsCodeCompletion(), e.completes) << e.name;
        EXPECT_EQ(t->typeAttribute(), QStringLiteral("SyntaxType:") + t->typeName());
    }
    EXPECT_EQ(manager.defaultType(), manager.typeForName(QStringLiteral("HTML")));
    EXPECT_FALSE(manager.rootTypes().contains(manager.typeForName(QStringLiteral("CSS Block"))));
}

TEST_F(SyntaxManagerTest, ShippedDefinitionsNameOnlyKnownStructuresStylesAndWords)
{
    SyntaxManager::resetSharedInstanceForTesting();
    SyntaxManager& manager = SyntaxManager::sharedInstance();
    QStringList problems;
    for (SyntaxType* type : manager.allTypes()) {
        const QString name = type->typeName();
        QStringList chain;
        if (type->hasParentCycle(&chain) || type->hasDeferralCycle(&chain))
            problems << name + QStringLiteral(": cycle ") + chain.join(QStringLiteral(" -> "));
        if (!type->parentTypeName().isEmpty() && !manager.typeForName(type->parentTypeName()))
            problems << name + QStringLiteral(": unknown parent");
        if (!type->deferToTypeName().isEmpty() && !manager.typeForName(type->deferToTypeName()))
            problems << name + QStringLiteral(": unknown type to defer to");

        QSet<QString> names { QStringLiteral("start"), QStringLiteral("end") };
        for (SyntaxStructure* s : type->structures())
            collectNames(s, names);
        for (SyntaxStructure* s : type->structures()) {
            checkReferences(s, type, name + QStringLiteral(" structure ") + s->name(), problems);
            if (s->name().contains(QLatin1Char('.')))
                problems << name + QStringLiteral(": structure name with a dot: ") + s->name();
            if (const SyntaxStructureMatch* m = s->startStructureMatch())
                checkPath(m->matchStructures(), names, name + QStringLiteral(" start match"), problems);
        }
        for (const auto& style : type->coloringStyles()) {
            const QString where = name + QStringLiteral(" style ") + style->name();
            if (style->textRules().isEmpty())
                problems << where + QStringLiteral(": no Text rule");
            for (const auto& rule : style->rules()) {
                checkPath(rule->applyStructures(), names, where, problems);
                checkPath(rule->matchStructures(), names, where, problems);
            }
            // A sub-type's styles are chosen by the name its root type stores.
            if (type->ancestorType() != type && !type->ancestorType()->styleWithName(style->name()))
                problems << where + QStringLiteral(": no style of that name in the root type");
        }
        if (!type->coloringStyles().empty() && !type->defaultStyle()->defaultStyle())
            problems << name + QStringLiteral(": no style marked default");
        for (const auto& c : type->syntaxCompletions())
            checkCompletion(*c, type, names, problems);
    }
    EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();
}

TEST_F(SyntaxManagerTest, ShippedWordsAreFoundById)
{
    SyntaxManager manager(shippedSyntaxFolder());
    kit::UserDefaults::standard().setValue(QStringLiteral("Should Capitalize Tags"), false);
    struct Case
    {
        const char* type;
        const char* id;
        const char* insert;
        const char* kind;
        const char* standard;
    } const cases[] = {
        { "HTML", "element.div", "div", "Element", "" },
        { "HTML", "element.main", "main", "Element", "HTML5" },
        { "HTML", "attribute.href", "href=\"<#value#>\"", "Attribute", "" },
        { "HTML", "attribute.hidden", "hidden", "Attribute", "HTML5" },
        { "HTML", "value.target._blank", "_blank", "Attribute Value", "" },
        { "HTML", "attribute.aria-label", "aria-label=\"<#value#>\"", "Attribute", "HTML5" },
        { "HTML", "value.aria-hidden.true", "true", "Attribute Value", "" },
        { "CSS Block", "property.color", "color", "Property", "" },
        { "CSS Block", "property.grid-template-columns", "grid-template-columns", "Property", "CSS3" },
        { "CSS Block", "keyword.inherit", "inherit", "Value", "" },
        { "CSS", "atrule.media", "@media", "At-Rule", "" },
        { "JavaScript", "keyword.function", "function", "Keyword", "" },
        { "JavaScript", "member.Math.floor", "floor(<#arguments#>)", "Member", "" },
        { "PHP", "function.strlen", "strlen(<#string#>)", "Function", "" },
        { "PHP", "keyword.match", "match", "Keyword", "" },
        { "PHP", "class.Exception", "Exception", "Class", "" },
        { "PHP", "constant.PHP_EOL", "PHP_EOL", "Constant", "" },
        { "PHP", "variable.$_GET", "$_GET", "Variable", "" },
        // The common web extensions: mbstring, curl, mysqli, PDO, DOM, SimpleXML, JSON, GD, intl, zip.
        { "PHP", "function.mb_strlen", "mb_strlen(<#string#>)", "Function", "" },
        { "PHP", "function.curl_init", "curl_init()", "Function", "" },
        { "PHP", "class.mysqli", "mysqli", "Class", "" },
        { "PHP", "class.PDO", "PDO", "Class", "" },
        { "PHP", "class.DOMDocument", "DOMDocument", "Class", "" },
        { "PHP", "class.SimpleXMLElement", "SimpleXMLElement", "Class", "" },
        { "PHP", "function.json_encode", "json_encode(<#value#>)", "Function", "" },
        { "PHP", "function.imagecreatetruecolor", "imagecreatetruecolor(<#width#>, <#height#>)", "Function", "" },
        { "PHP", "class.Collator", "Collator", "Class", "" },
        { "PHP", "class.ZipArchive", "ZipArchive", "Class", "" },
    };
    for (const Case& c : cases) {
        const SyntaxWord* w
            = manager.typeForName(QString::fromUtf8(c.type))->words().objectForKey(QString::fromUtf8(c.id));
        ASSERT_TRUE(w) << c.id;
        EXPECT_EQ(w->insertValue(), QString::fromUtf8(c.insert)) << c.id;
        EXPECT_EQ(w->type(), QString::fromUtf8(c.kind)) << c.id;
        EXPECT_EQ(w->standard(), QString::fromUtf8(c.standard)) << c.id;
    }
    EXPECT_FALSE(manager.typeForName(QStringLiteral("HTML"))->words().objectForKey(QStringLiteral("element.nonsense")));
}

TEST_F(SyntaxManagerTest, StylesAndColourGroupsResolveWithStoredColours)
{
    kit::UserDefaults& defaults = kit::UserDefaults::standard();
    defaults.setColor(QStringLiteral("Color for HTML:Comment"), QColor(1, 2, 3));
    defaults.setColor(QStringLiteral("Color for CSS:Property"), QColor(4, 5, 6));
    defaults.setValue(QStringLiteral("Color for CSS:Comment"), QStringLiteral("not a colour"));
    defaults.setColor(QStringLiteral("Text Color"), QColor(7, 8, 9));
    SyntaxManager manager(shippedSyntaxFolder());

    for (SyntaxType* type : manager.allTypes()) {
        for (const auto& style : type->coloringStyles()) {
            const QList<ColoringGroup*> groups = manager.sortedColoringGroupsForStyle(style.get(), type);
            EXPECT_FALSE(groups.isEmpty()) << type->typeName().toStdString();
            for (qsizetype i = 1; i < groups.size(); ++i)
                EXPECT_LT(groups[i - 1]->compare(*groups[i]), 0);
            for (const auto& rule : style->rules()) {
                ColoringGroup* group = manager.coloringGroupForRule(rule.get(), type);
                ASSERT_TRUE(group) << rule->name().toStdString();
                EXPECT_TRUE(group->rules().contains(rule.get()));
                EXPECT_EQ(group->type(), type->ancestorType());
                EXPECT_EQ(groups.contains(group), rule->name() != QLatin1String("Text"));
            }
        }
    }

    SyntaxType* html = manager.typeForName(QStringLiteral("HTML"));
    SyntaxType* cssBlock = manager.typeForName(QStringLiteral("CSS Block"));
    auto groupOf = [&](SyntaxType* t, const QString& rule) {
        return manager.coloringGroupForRule(t->defaultStyle()->rulesWithName(rule).value(0), t);
    };
    EXPECT_EQ(groupOf(html, QStringLiteral("Comment"))->color(), QColor(1, 2, 3));
    EXPECT_EQ(groupOf(cssBlock, QStringLiteral("Property"))->color(), QColor(4, 5, 6)); // the root's colour
    EXPECT_EQ(
        groupOf(cssBlock, QStringLiteral("Property"))->userDefaultsKey(), QStringLiteral("Color for CSS:Property"));
    ColoringGroup* unreadable = groupOf(cssBlock, QStringLiteral("Comment"));
    EXPECT_EQ(unreadable->color(), unreadable->defaultColor());
    ColoringGroup* text = groupOf(html, QStringLiteral("Text"));
    EXPECT_EQ(text->userDefaultsKey(), QStringLiteral("Text Color"));
    EXPECT_EQ(text->color(), QColor(7, 8, 9));
    PreferenceController2::setColor(QColor(10, 11, 12), QStringLiteral("Text Color"));
    EXPECT_EQ(text->color(), QColor(10, 11, 12)); // never kept by the group
    text->setColor(QColor(13, 14, 15));
    EXPECT_EQ(PreferenceController2::colorForKey(QStringLiteral("Text Color")), QColor(13, 14, 15));

    // One group for a name across styles and sub-types: CSS and CSS Block share "Comment".
    SyntaxType* css = manager.typeForName(QStringLiteral("CSS"));
    EXPECT_EQ(groupOf(css, QStringLiteral("Comment")), unreadable);
    // Both HTML styles share "Tag"; a colour set once shows in both.
    ColoringGroup* tag = groupOf(html, QStringLiteral("Tag"));
    EXPECT_EQ(manager.coloringGroupForRule(
                  html->styleWithName(QStringLiteral("Simple"))->rulesWithName(QStringLiteral("Tag")).value(0), html),
        tag);
    tag->setColor(QColor(20, 30, 40));
    EXPECT_EQ(defaults.colorValue(QStringLiteral("Color for HTML:Tag")), QColor(20, 30, 40));

    manager.resetToDefaults(html);
    EXPECT_EQ(tag->color(), tag->defaultColor());
    EXPECT_EQ(defaults.colorValue(QStringLiteral("Color for HTML:Tag")).rgba(), tag->defaultColor().rgba());
}

TEST_F(SyntaxManagerTest, LookupsByNamePathAndDocument)
{
    QTemporaryDir dir;
    SyntaxManager manager(shippedSyntaxFolder());
    struct Case
    {
        const char* what;
        const char* name;
        const char* path; // typeForPath
        bool document; // also asked as typeForDocument
        const char* expected; // "" for none
    } const cases[] = {
        { "name", "HTML", nullptr, false, "HTML" },
        { "no name", "", nullptr, false, "" },
        { "unknown name", "Cobol", nullptr, false, "" },
        { "extension", nullptr, "/site/index.html", true, "HTML" },
        { "extension in capitals", nullptr, "/site/INDEX.HTM", true, "HTML" },
        { "PHP", nullptr, "/site/a.php", true, "PHP" },
        { "server-side includes", nullptr, "/site/a.shtml", true, "SHTML" },
        { "style sheet", nullptr, "/site/a.css", true, "CSS" },
        { "script", nullptr, "/site/a.mjs", true, "JavaScript" },
        { "no extension", nullptr, "/site/README", true, "Plain Text" },
        { "unknown extension", nullptr, "/site/a.zip", false, "" },
        { "image", nullptr, "/site/a.png", false, "" },
    };
    for (const Case& c : cases) {
        SyntaxType* found
            = c.name ? manager.typeForName(QString::fromUtf8(c.name)) : manager.typeForPath(QString::fromUtf8(c.path));
        EXPECT_EQ(found ? found->typeName() : QString(), QString::fromUtf8(c.expected)) << c.what;
        if (c.document) {
            SyntaxType* forDoc = manager.typeForDocument(Doc(QString::fromUtf8(c.path)));
            EXPECT_EQ(forDoc->typeName(), QString::fromUtf8(c.expected)) << c.what;
        }
    }
    // Documents always get a type: "Plain Text" when their file type names none.
    EXPECT_EQ(manager.typeForDocument(Doc(QStringLiteral("/site/a.zip")))->typeName(), QStringLiteral("Plain Text"));
    EXPECT_EQ(manager.typeForDocument(Doc(dir.path()))->typeName(), QStringLiteral("Plain Text")); // a folder
    // Untitled documents take the default file type.
    EXPECT_EQ(manager.typeForDocument(Doc(QString()))->typeName(), QStringLiteral("HTML"));
    kit::UserDefaults::standard().setValue(QStringLiteral("KELDefaultFileTypeKey"), QStringLiteral("CSS"));
    EXPECT_EQ(manager.typeForDocument(Doc(QString()))->typeName(), QStringLiteral("CSS"));

    // The file-type registry, once installed, decides.
    SyntaxManager::setFileTypeResolvers([](const QString&) { return QStringLiteral("JavaScript"); },
        [](const SyntaxManager::Document&) { return QStringLiteral("Binary"); });
    EXPECT_EQ(manager.typeForPath(QStringLiteral("/a.html"))->typeName(), QStringLiteral("JavaScript"));
    EXPECT_EQ(manager.typeForDocument(Doc(QStringLiteral("/a.html")))->typeName(), QStringLiteral("Plain Text"));
    SyntaxManager::setFileTypeResolvers({}, {});
}

TEST_F(SyntaxManagerTest, FileTypeRegistryOffersTheLoadedTypes)
{
    QTemporaryDir dir;
    ASSERT_TRUE(syntaxtest::writeFile(dir.filePath(QStringLiteral("Syntax/Markdown.xml")),
        syntaxtest::definition(QStringLiteral("name=\"Markdown\""), QStringLiteral("<e value=\"markdown\"/>"))));
    kit::setResourcesPathForTesting(dir.path());
    SyntaxManager::resetSharedInstanceForTesting();
    SyntaxManager::installAsFileTypeProvider();
    EXPECT_TRUE(KELFileTypeManager::sharedInstance().allTypeNames().contains(QStringLiteral("Markdown")));
    EXPECT_EQ(SyntaxManager::sharedInstance().typeForPath(QStringLiteral("/notes/a.markdown"))->typeName(),
        QStringLiteral("Markdown"));
    KELFileTypeManager::setSyntaxTypesProvider(nullptr);
    SyntaxManager::resetSharedInstanceForTesting();
}

TEST_F(SyntaxManagerTest, BrokenDefinitionsAreSkippedAndTheOthersLoad)
{
    using syntaxtest::definition;
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Syntax"));
    const QString rule = QStringLiteral("<style name=\"S\"><rule name=\"Text\"><apply/><match/></rule></style>");
    ASSERT_TRUE(syntaxtest::writeFile(
        folder + QStringLiteral("/A Good.xml"), definition(QStringLiteral("name=\"Good\""), {}, {}, {}, rule)));
    ASSERT_TRUE(syntaxtest::writeFile(
        folder + QStringLiteral("/Broken.xml"), QStringLiteral("<syntax name=\"Broken\"><extensions>")));
    ASSERT_TRUE(syntaxtest::writeFile(
        folder + QStringLiteral("/Short.xml"), QStringLiteral("<syntax name=\"Short\"><a/><b/></syntax>")));
    ASSERT_TRUE(syntaxtest::writeFile(folder + QStringLiteral("/Nameless.xml"), definition(QString())));
    ASSERT_TRUE(syntaxtest::writeFile(folder + QStringLiteral("/Rule.xml"),
        definition(QStringLiteral("name=\"Rule\""), {}, {}, {},
            QStringLiteral("<style name=\"S\"><rule name=\"Lonely\"><apply/></rule></style>"))));
    ASSERT_TRUE(syntaxtest::writeFile(folder + QStringLiteral("/Entity.xml"),
        QStringLiteral("<?xml version=\"1.0\"?><!DOCTYPE s [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
                       "<syntax name=\"&x;\"><a/><b/><c/><d/><e/><f/><g/></syntax>")));

    kit::LogCapture log;
    SyntaxManager manager(folder);
    EXPECT_TRUE(manager.typeForName(QStringLiteral("Good")));
    EXPECT_EQ(manager.allTypes().size(), 2); // Good and the built-in "Plain Text"
    const QString broken = folder + QStringLiteral("/Broken.xml");
    EXPECT_TRUE(log.contains(QStringLiteral("Document could not be created: ") + broken));
    EXPECT_TRUE(log.contains(QStringLiteral("Syntax definition \"%1\" skipped: line").arg(broken)));
    EXPECT_TRUE(log.contains(QStringLiteral("Short.xml\" skipped: the root element has 2 children instead of 7")));
    EXPECT_TRUE(log.contains(QStringLiteral("Nameless.xml\" skipped: the root element has no \"name\"")));
    EXPECT_TRUE(log.contains(
        QStringLiteral("Rule.xml\" skipped: rule \"Lonely\" of style \"S\" needs an apply and a match element")));
    // External entities are never loaded.
    EXPECT_TRUE(log.contains(QStringLiteral("Entity.xml\" skipped: line 1: Attribute references external entity 'x'")));
    // No definition of "Plain Text": an empty one stands in, so documents always get a type.
    EXPECT_TRUE(log.contains(QStringLiteral("No syntax definition named \"Plain Text\"")));
    // The shared registry reads the resources folder the same way.
    kit::setResourcesPathForTesting(dir.path());
    SyntaxManager::resetSharedInstanceForTesting();
    EXPECT_TRUE(SyntaxManager::sharedInstance().typeForName(QStringLiteral("Good")));
    EXPECT_FALSE(SyntaxManager::sharedInstance().typeForName(QStringLiteral("Broken")));
    SyntaxManager::resetSharedInstanceForTesting();

    SyntaxType* plain = manager.typeForDocument(Doc(QStringLiteral("/a.unknown")));
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->typeName(), QStringLiteral("Plain Text"));
    EXPECT_EQ(plain->currentStyle(), nullptr);
}

TEST_F(SyntaxManagerTest, CyclesInParentAndDeferralChainsAreBroken)
{
    using syntaxtest::definition;
    QTemporaryDir dir;
    const QString style = QStringLiteral(
        "<style name=\"S\" default=\"true\"><rule name=\"Text\"><apply/><match/></rule>"
        "<rule name=\"Word\" defaultRed=\"1\"><apply><structure name=\"w\"/></apply><match/></rule></style>");
    const QString grammar = QStringLiteral(
        "<structure name=\"w\"><start><text><values><value>w</value></values></text></start></structure>");
    const struct
    {
        const char* file;
        const char* attributes;
    } files[] = {
        { "A.xml", "name=\"A\" parentType=\"B\"" },
        { "B.xml", "name=\"B\" parentType=\"A\"" },
        { "C.xml", "name=\"C\" deferToType=\"D\"" },
        { "D.xml", "name=\"D\" deferToType=\"C\"" },
        { "E.xml", "name=\"E\" parentType=\"Nowhere\"" },
        { "F.xml", "name=\"F\" parentType=\"F\"" },
    };
    for (const auto& f : files)
        ASSERT_TRUE(syntaxtest::writeFile(dir.filePath(QString::fromUtf8(f.file)),
            definition(QString::fromUtf8(f.attributes), {}, {}, grammar, style)));

    kit::LogCapture log;
    SyntaxManager manager(dir.path());
    for (const char* name : { "A", "B", "F" })
        EXPECT_TRUE(log.contains(
            QStringLiteral("Error: the parent types of syntax type %1 form a cycle").arg(QLatin1String(name))))
            << name;
    EXPECT_TRUE(log.contains(QStringLiteral("Error: the types syntax type C defers to form a cycle (C -> D -> C)")));
    EXPECT_TRUE(log.contains(QStringLiteral("Error: syntax type E names an unknown parent type Nowhere")));

    for (const char* name : { "A", "B", "E", "F" }) {
        SyntaxType* t = manager.typeForName(QLatin1String(name));
        EXPECT_EQ(t->ancestorType(), t) << name; // its own root
        EXPECT_EQ(t->currentStyleUserDefaultsKey(), QStringLiteral("CurrentStyle:") + QLatin1String(name));
        // Its rules still have colour groups.
        EXPECT_TRUE(manager.coloringGroupForRule(t->defaultStyle()->rules().back().get(), t)) << name;
    }
    SyntaxType* c = manager.typeForName(QStringLiteral("C"));
    EXPECT_EQ(c->rootType(), c); // stops deferring
}

TEST_F(SyntaxManagerTest, ReadsDefinitionsByPosition)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("T.xml"));
    ASSERT_TRUE(syntaxtest::writeFile(path, QStringLiteral(R"(<?xml version="1.0"?>
<anything name="T" mimeType="text/x-t" default="true" previewFile="true">
  <one><e value="t"/><e value="tt"/></one>
  <two>
    <structure name="word"><text maxLength="unlimited"><characterSet><letters/></characterSet></text></structure>
    <structure name="word"><text><values><value>dup</value></values></text></structure>
    <structure name="shared"><text><values><value>s</value></values></text></structure>
  </two>
  <three>
    <!-- a comment between elements is not a child -->
    <structure name="string" minOccurs="0" maxOccurs="unlimited">
      <interrupt ref="comment" nests="true"/>
      <interrupt ref="missing"/>
      <start><text escapeChar="\\/"><values><value>"</value></values></text></start>
      <end><whatever><values><value>"</value></values></whatever></end>
      <bogus/>
      <sequence><structure ref="word" maxOccurs="unlimited"/></sequence>
    </structure>
    <structure name="comment">
      <interrupt ref="string"/>
      <start><text><values><value>&lt;!--</value><value/></values></text></start>
      <end><text><values><value>--&gt;</value></values></text></end>
    </structure>
    <structure name="shared"><start><text><values><value>#</value></values></text></start></structure>
    <structure name="opened"><start><match><structure name="comment"/></match></start><end><text><values><value>x</value></values></text></end></structure>
  </three>
  <four/><five/><six/><seven/>
</anything>
)")));
    kit::LogCapture log;
    std::unique_ptr<SyntaxType> t = SyntaxType::typeWithPath(path);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->typeName(), QStringLiteral("T"));
    EXPECT_EQ(t->mimeType(), QStringLiteral("text/x-t"));
    EXPECT_TRUE(t->isDefaultType());
    EXPECT_TRUE(t->usesPreviewFile());
    EXPECT_EQ(t->defaultExtensions(), (QStringList { QStringLiteral("t"), QStringLiteral("tt") }));
    EXPECT_TRUE(log.contains(QStringLiteral("Error: structure with name word already exists")));
    EXPECT_TRUE(log.contains(QStringLiteral("Error: unrecognized structure child bogus")));
    EXPECT_TRUE(log.contains(QStringLiteral("names an unknown structure missing to interrupt")));

    ASSERT_EQ(t->rootStructures().size(), 4);
    EXPECT_EQ(t->structuresWithStart().size(), 3);
    EXPECT_EQ(t->structureValidsWithStartStructureMatch().size(), 1u);
    EXPECT_EQ(t->maxStartEndLength(), 4); // "<!--"
    // The first named "word" stays; a root structure replaces a named one.
    EXPECT_TRUE(t->structureWithName(QStringLiteral("word"))->text()->characters().has_value());
    EXPECT_EQ(t->structureWithName(QStringLiteral("word"))->text()->maxCharLength(), SyntaxUnlimited);
    EXPECT_EQ(t->structureWithName(QStringLiteral("shared")), t->rootStructures().at(2));

    SyntaxStructure* string = t->rootStructures().at(0);
    SyntaxStructure* comment = t->rootStructures().at(1);
    EXPECT_EQ(string->minOccurs(), 0u);
    EXPECT_EQ(string->maxOccurs(), SyntaxUnlimited);
    EXPECT_EQ(string->start()->escapeChar(), u'\\'); // only the first character
    ASSERT_TRUE(string->end()); // read although not named "text"
    EXPECT_EQ(string->end()->values(), QStringList { QStringLiteral("\"") });
    EXPECT_TRUE(string->canInterrupt(comment)); // resolved to that very structure
    EXPECT_FALSE(string->canInterrupt(string));
    EXPECT_TRUE(string->canNest(comment));
    EXPECT_FALSE(comment->canNest(string));
    ASSERT_TRUE(string->sequence());
    EXPECT_TRUE(string->sequence()->front()->isReference());
    EXPECT_TRUE(comment->isSimpleStructure());
    EXPECT_FALSE(string->isSimpleStructure());
    EXPECT_TRUE(t->rootStructures().at(2)->isStartOnlyStructure());
    // An empty value matches with length 0.
    EXPECT_EQ(comment->start()->longestMatchInString(QStringLiteral("abc"), kit::Range(0, 3), false), 0);
}

TEST_F(SyntaxManagerTest, ExternalEntitiesAreNeverRead)
{
    QTemporaryDir dir;
    const QString secret = dir.filePath(QStringLiteral("secret.txt"));
    ASSERT_TRUE(syntaxtest::writeFile(secret, QStringLiteral("SECRET")));
    const QString path = dir.filePath(QStringLiteral("X.xml"));
    ASSERT_TRUE(syntaxtest::writeFile(path,
        QStringLiteral("<?xml version=\"1.0\"?>\n<!DOCTYPE s [<!ENTITY x SYSTEM \"file://%1\">]>\n"
                       "<syntax name=\"X\"><a/><b/><c/><d/><e/><f/>"
                       "<g><copyright id=\"c\">before &x; after</copyright></g></syntax>\n")
            .arg(secret)));
    kit::LogCapture log;
    std::unique_ptr<SyntaxType> t = SyntaxType::typeWithPath(path);
    if (t) {
        ASSERT_TRUE(t->copyrightWithId(QStringLiteral("c")));
        EXPECT_FALSE(t->copyrightWithId(QStringLiteral("c"))->htmlValue().contains(QStringLiteral("SECRET")));
    }
}

TEST_F(SyntaxManagerTest, SettingsLiveUnderTheRootTypesName)
{
    SyntaxManager manager(shippedSyntaxFolder());
    SyntaxType* html = manager.typeForName(QStringLiteral("HTML"));
    SyntaxType* cssBlock = manager.typeForName(QStringLiteral("CSS Block"));
    kit::UserDefaults& defaults = kit::UserDefaults::standard();

    EXPECT_EQ(cssBlock->currentStyleUserDefaultsKey(), QStringLiteral("CurrentStyle:CSS"));
    EXPECT_EQ(cssBlock->coloringEnabledUserDefaultsKey(), QStringLiteral("ColoringEnabled:CSS"));
    EXPECT_EQ(cssBlock->completionTypeUserDefaultsKey(), QStringLiteral("CompletionType:CSS"));

    // Style: stored name, else the one marked default; a stale name falls back.
    EXPECT_EQ(html->currentStyle()->name(), QStringLiteral("Rich"));
    html->setCurrentStyleName(QStringLiteral("Simple"));
    EXPECT_EQ(html->currentStyle()->name(), QStringLiteral("Simple"));
    html->setCurrentStyleName(QStringLiteral("Gone"));
    EXPECT_EQ(html->currentStyle()->name(), QStringLiteral("Rich"));

    EXPECT_TRUE(cssBlock->coloringEnabled()); // never switched
    manager.typeForName(QStringLiteral("CSS"))->setColoringEnabled(false);
    EXPECT_FALSE(cssBlock->coloringEnabled());

    cssBlock->setUsesAutoCompletion(true);
    EXPECT_EQ(defaults.stringValue(QStringLiteral("CompletionType:CSS")), QStringLiteral("Auto"));
    cssBlock->setUsesAutoCompletion(false);
    EXPECT_FALSE(defaults.value(QStringLiteral("CompletionType:CSS")).isValid());
    EXPECT_FALSE(cssBlock->usesAutoCompletion());

    manager.resetToDefaults(manager.typeForName(QStringLiteral("CSS")));
    EXPECT_TRUE(cssBlock->coloringEnabled());
}

TEST(SyntaxInfo, DefaultsAndClockSpeedTable)
{
    const struct
    {
        qint64 mhz, length;
    } table[] = { { 2000, 60000 }, { 1500, 60000 }, { 1499, 40000 }, { 1000, 40000 }, { 999, 20000 }, { 300, 20000 },
        { 299, 60000 }, { 0, 60000 } };
    for (const auto& row : table)
        EXPECT_EQ(SyntaxInfo::defaultColoringLengthForClockSpeed(row.mhz), row.length) << row.mhz;
    EXPECT_GT(SyntaxInfo::processorClockSpeedInMHz(), 0);

    const SyntaxInfo info(kit::Range(100, 50));
    EXPECT_EQ(info.cursorIndex(), kit::NotFound);
    EXPECT_EQ(info.switchIndex(), 100 + SyntaxInfo::defaultColoringLength());
    EXPECT_EQ(info.maxColoringLength(), 300000u);
    EXPECT_EQ(info.finalColoringIndex(), 0u);
    EXPECT_FALSE(info.brokeEarly());
    EXPECT_EQ(info.observer(), nullptr);
}

} // namespace

TEST(SyntaxDefinitionSizeTest, AnOversizedFileIsRefusedWithoutReadingIt)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile huge(dir.filePath(QStringLiteral("Huge.xml")));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    ASSERT_TRUE(huge.resize(qint64(65) * 1024 * 1024)); // sparse: cheap to make
    huge.close();
    QString problem;
    EXPECT_FALSE(SyntaxType::typeWithPath(huge.fileName(), &problem));
    EXPECT_TRUE(problem.contains(QStringLiteral("too large"))) << problem.toStdString();
}
