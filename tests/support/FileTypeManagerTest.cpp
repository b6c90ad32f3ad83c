#include "support/DefaultsKeys.h"
#include "kit/NotificationCenter.h"
#include "kit/UserDefaults.h"
#include "support/FileExtensionFormatter.h"
#include "support/KELFileTypeManager.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A registry back at the shipped mapping, with a desktop that opens "*.ours" files with us.
class FileTypeManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        kit::UserDefaults::standard().resetForTesting();
        registry().readDefaults();
        registry().setDefaultApplicationLookupForTesting([](const QString& path) {
            return path.endsWith(QLatin1String(".ours")) ? QStringLiteral("/usr/bin/kelp-studio")
                                                         : QStringLiteral("/usr/bin/some-editor");
        });
        ASSERT_TRUE(dir.isValid());
    }
    void TearDown() override
    {
        registry().setDefaultApplicationLookupForTesting({});
        KELFileTypeManager::setSyntaxTypesProvider({});
        kit::UserDefaults::standard().resetForTesting();
        registry().readDefaults();
    }
    static KELFileTypeManager& registry() { return KELFileTypeManager::sharedInstance(); }

    QString write(const QString& name, const QByteArray& contents = "text\n")
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << name.toStdString();
        f.write(contents);
        return path;
    }
    void map(const QString& extension, const QString& typeName)
    {
        auto entries = registry().extensionTypes();
        entries.prepend(KELExtensionType::extensionTypeWithExtension(extension, typeName));
        registry().setExtensionTypes(entries);
    }

    QTemporaryDir dir;
};

TEST_F(FileTypeManagerTest, PathsAreClassifiedByExtensionFolderAndContents)
{
    QDir(dir.path()).mkdir(QStringLiteral("site.html"));
    QDir(dir.path()).mkdir(QStringLiteral("plain"));
    const QByteArray binary("\x7F" "ELF\x02\x01\x01\x00\x00\x00", 10);
    const struct {
        QString name;
        QByteArray contents; // empty: the file is not written
        QString type;
    } cases[] = {
        {"page.html", "<p>", "HTML"},
        {"PAGE.HTM", "<p>", "HTML"},
        {"style.Css", "p{}", "CSS"},
        {"app.js", "x()", "JavaScript"},
        {"index.php", "<?php", "PHP"},
        {"part.shtml", "<!--#include -->", "SHTML"},
        {"notes.txt", "notes", "Plain Text"},
        {"README", "read me", "Plain Text"},
        {".htaccess", "Options", "Plain Text"},
        {".hidden.html", "<p>", "HTML"},
        {"site.html", {}, "Folder"},
        {"plain", {}, "Folder"},
        {"photo.PNG", "png", "Image"},
        {"anim.gif", "gif", "Image"},
        {"doc.pdf", "%PDF", "PDF"},
        {"doc.PDF", "%PDF", "PDF"},
        {"drawing.svg", "<svg/>", "SVG"},
        {"archive.xyz", "data", "Binary"},
        {"notes.ours", "notes", "Plain Text"}, // unmapped, but we are its default application
        {"fake.html", binary, "Binary"},       // a text extension on binary contents
        {"program", binary, "Binary"},
        {"wide.txt", QByteArray("\xFF\xFE<\0p\0>\0", 8), "Plain Text"}, // UTF-16 with its mark
        {"missing.html", {}, "HTML"},
        {"trailing.", "x", "Plain Text"},
    };
    for (const auto& c : cases) {
        const QString path = c.contents.isEmpty() ? dir.filePath(c.name) : write(c.name, c.contents);
        EXPECT_EQ(registry().typeNameForPath(path), c.type) << c.name.toStdString();
        EXPECT_EQ(registry().typeNameForURL(QUrl::fromLocalFile(path)), c.type) << c.name.toStdString();
    }
    // Other URLs are classified by their extension alone.
    EXPECT_EQ(registry().typeNameForURL(QUrl(QStringLiteral("https://example.com/a/page.php?x=1"))), "PHP");
    EXPECT_EQ(registry().typeNameForURL(QUrl(QStringLiteral("https://example.com/notes.ours"))), "Binary");
}

TEST_F(FileTypeManagerTest, TheUsersMappingWinsOverThePseudoTypes)
{
    const QString svg = write(QStringLiteral("drawing.svg"), "<svg/>");
    const QString pdf = write(QStringLiteral("doc.pdf"), "%PDF");
    const QString object = write(QStringLiteral("main.o"), QByteArray("\x7F" "ELF\0\0", 6));
    const QString png = write(QStringLiteral("icon.png"), "png");
    map(QStringLiteral("svg"), QStringLiteral("HTML"));
    map(QStringLiteral("o"), QStringLiteral("Hidden"));
    map(QStringLiteral("PNG"), QStringLiteral("Hidden"));
    EXPECT_EQ(registry().typeNameForPath(svg), "HTML");
    EXPECT_EQ(registry().typeNameForPath(pdf), "PDF");
    // Hidden files stay hidden whatever they hold; the case of the mapping does not matter.
    EXPECT_EQ(registry().typeNameForPath(object), "Hidden");
    EXPECT_EQ(registry().typeNameForPath(png), "Hidden");
    // The first entry of an extension decides.
    map(QStringLiteral("SVG"), QStringLiteral("CSS"));
    EXPECT_EQ(registry().typeNameForPath(svg), "CSS");
}

struct FakeDocument {
    QUrl url;
    QUrl fileURL() const { return url; }
};

TEST_F(FileTypeManagerTest, DocumentsWithoutFileGetTheDefaultType)
{
    const FakeDocument untitled;
    const FakeDocument saved{QUrl::fromLocalFile(write(QStringLiteral("a.css"), "p{}"))};
    EXPECT_EQ(registry().typeNameForDocument(&saved), "CSS");
    EXPECT_EQ(registry().typeNameForDocument(&untitled), "HTML");
    EXPECT_EQ(registry().typeNameForDocument<FakeDocument>(nullptr), "HTML");
    kit::UserDefaults::standard().setValue(KELDefaultFileTypeKey, QStringLiteral("PHP"));
    EXPECT_EQ(registry().typeNameForDocument(&untitled), "PHP");
    EXPECT_EQ(registry().defaultTypeName(), "PHP");
}

TEST_F(FileTypeManagerTest, TypeNamesKindsAndRecognizedExtensions)
{
    EXPECT_EQ(registry().allTypeNames(),
        QStringList({"CSS", "Hidden", "HTML", "JavaScript", "PHP", "Plain Text", "SHTML"}));
    EXPECT_EQ(registry().newFileTypeNames(), QStringList({"CSS", "HTML", "JavaScript", "PHP", "Plain Text", "SHTML"}));

    const struct {
        const char* type;
        const char* kind;
        bool is;
    } kinds[] = {
        {"PHP", "HTML", true}, {"SHTML", "HTML", true}, {"HTML", "HTML", true}, {"HTML", "PHP", false},
        {"CSS", "HTML", false}, {"CSS Block", "CSS", false}, {"Hidden", "HTML", false}, {"Nothing", "Nothing", true},
    };
    for (const auto& k : kinds)
        EXPECT_EQ(registry().typeNameIsKindOfType(k.type, k.kind), k.is) << k.type << " / " << k.kind;

    EXPECT_FALSE(registry().isRecognizedExtension(std::nullopt));
    for (const char* extension : {"html", "HTM", "pdf", "png", "DOCX", "zip", "svg", "dmg"})
        EXPECT_TRUE(registry().isRecognizedExtension(QString::fromLatin1(extension))) << extension;
    for (const char* extension : {"xyz", "exe", "o"})
        EXPECT_FALSE(registry().isRecognizedExtension(QString::fromLatin1(extension))) << extension;
    EXPECT_EQ(registry().typeNameForExtension(QStringLiteral("xyz")), "Binary");
    EXPECT_EQ(registry().nonDefaultTypeNameForExtension(QStringLiteral("xyz")), std::nullopt);
}

TEST_F(FileTypeManagerTest, TheMappingRoundTripsThroughTheDefaults)
{
    // Take away every PHP extension, add one of our own, and leave a blank row.
    auto entries = registry().extensionTypes();
    entries.erase(std::remove_if(entries.begin(), entries.end(), [](const auto& e) { return e->typeName() == "PHP"; }),
        entries.end());
    entries.append(KELExtensionType::extensionTypeWithExtension(QStringLiteral("TPL"), QStringLiteral("HTML")));
    entries.append(KELExtensionType::extensionTypeWithExtension(std::nullopt, QStringLiteral("CSS")));
    registry().setExtensionTypes(entries);
    registry().writeDefaults();

    const QVariantMap stored = kit::UserDefaults::standard().mapValue(KELFileExtensionTypesKey);
    QStringList names = stored.keys();
    names.sort(Qt::CaseInsensitive);
    EXPECT_EQ(names, registry().allTypeNames()); // every name, and only those
    EXPECT_TRUE(stored.value("PHP").toList().isEmpty());
    EXPECT_TRUE(stored.value("Hidden").toList().isEmpty());
    EXPECT_TRUE(stored.value("HTML").toList().contains("tpl"));
    EXPECT_TRUE(stored.value("Plain Text").toList().contains(""));
    EXPECT_EQ(stored.value("CSS").toList(), QVariantList({"css"}));

    // Written to the file and read back by a fresh store, as at the next start.
    ASSERT_TRUE(kit::UserDefaults::standard().synchronize());
    kit::UserDefaults reread(kit::UserDefaults::standard().filePath());
    EXPECT_EQ(reread.mapValue(KELFileExtensionTypesKey), stored);

    registry().readDefaults();
    EXPECT_EQ(registry().typeNameForExtension(QStringLiteral("php")), "Binary");
    EXPECT_EQ(registry().typeNameForExtension(QStringLiteral("Tpl")), "HTML");
    EXPECT_EQ(registry().extensionTypes().size(), entries.size() - 1); // the blank row is not kept

    // Names the store lacks get their language's extensions; unknown names and values are ignored.
    QVariantMap partial;
    partial.insert("HTML", QVariantList({"htm", 42}));
    partial.insert("Pascal", QVariantList({"pas"}));
    kit::UserDefaults::standard().setValue(KELFileExtensionTypesKey, partial);
    registry().readDefaults();
    EXPECT_EQ(registry().typeNameForExtension(QStringLiteral("htm")), "HTML");
    EXPECT_EQ(registry().typeNameForExtension(QStringLiteral("html")), "Binary");
    EXPECT_EQ(registry().typeNameForExtension(QStringLiteral("php")), "PHP");
    EXPECT_EQ(registry().typeNameForExtension(QStringLiteral("pas")), "Binary");

    kit::UserDefaults::standard().setValue(KELDefaultFileTypeKey, QStringLiteral("CSS"));
    registry().resetToDefaults();
    EXPECT_FALSE(kit::UserDefaults::standard().hasPersistentValue(KELFileExtensionTypesKey));
    EXPECT_FALSE(kit::UserDefaults::standard().hasPersistentValue(KELDefaultFileTypeKey));
    EXPECT_EQ(registry().typeNameForExtension(QStringLiteral("html")), "HTML");
}

TEST_F(FileTypeManagerTest, TheMappingIsWrittenWhenTheApplicationQuits)
{
    map(QStringLiteral("vue"), QStringLiteral("HTML"));
    EXPECT_FALSE(kit::UserDefaults::standard().hasPersistentValue(KELFileExtensionTypesKey));
    kit::NotificationCenter::defaultCenter().post(QStringLiteral("KELApplicationWillTerminateNotification"));
    EXPECT_TRUE(kit::UserDefaults::standard().mapValue(KELFileExtensionTypesKey).value("HTML").toList().contains("vue"));
}

TEST_F(FileTypeManagerTest, EditedExtensionsAreValidatedAgainstTheOtherEntries)
{
    auto html = KELExtensionType::extensionTypeWithExtension(QStringLiteral("html"), QStringLiteral("HTML"));
    auto none = KELExtensionType::extensionTypeWithExtension(QString(""), QStringLiteral("Plain Text"));
    auto blank = KELExtensionType::extensionTypeWithExtension(std::nullopt, QStringLiteral("HTML"));
    auto php = KELExtensionType::extensionTypeWithExtension(QStringLiteral("php"), QStringLiteral("PHP"));
    registry().setExtensionTypes({html, none, blank, php});

    const struct {
        std::shared_ptr<KELExtensionType> entry;
        std::optional<QString> proposed;
        bool accepted;
        std::optional<QString> result; // the cleaned value, or the refused one in the message
    } cases[] = {
        {php, QStringLiteral("HTML"), false, QStringLiteral("HTML")},
        {php, QStringLiteral(".html"), false, QStringLiteral("html")},
        {php, QStringLiteral(".xyz"), true, QStringLiteral("xyz")},
        {php, QStringLiteral("php"), true, QStringLiteral("php")}, // its own value
        {php, QString(""), true, std::nullopt},                     // only one entry may stand for no extension
        {php, std::nullopt, true, std::nullopt},
        {php, QStringLiteral("."), true, std::nullopt},
        {none, QString(""), true, QString("")},
        {blank, QStringLiteral("..js"), true, QStringLiteral(".js")}, // one point only
    };
    for (const auto& c : cases) {
        std::optional<QString> value = c.proposed;
        kit::Error error;
        const bool accepted = c.entry->validateExtension(value, &error);
        SCOPED_TRACE(c.proposed.value_or("<none>").toStdString());
        EXPECT_EQ(accepted, c.accepted);
        if (accepted) {
            EXPECT_EQ(value, c.result);
            EXPECT_TRUE(error.isNull());
        } else {
            EXPECT_EQ(error.domain(), "KELErrorDomain");
            EXPECT_EQ(error.code(), 1);
            EXPECT_EQ(error.localizedDescription(),
                QStringLiteral("Another entry with extension \"%1\" already exists.").arg(*c.result));
        }
    }

    // A new entry stands for files without extension only when no entry does yet.
    EXPECT_EQ(KELExtensionType().extension(), std::nullopt);
    EXPECT_EQ(KELExtensionType().typeName(), "HTML");
    registry().setExtensionTypes({html, php});
    EXPECT_EQ(KELExtensionType().extension(), QString(""));
}

TEST_F(FileTypeManagerTest, EntriesOrderAndAnnounceTheirChanges)
{
    auto entry = [](std::optional<QString> e) { return KELExtensionType(e, QStringLiteral("HTML")); };
    const struct {
        std::optional<QString> a, b;
        int order;
    } cases[] = {
        {QString("css"), QString("HTML"), -1}, {QString("Html"), QString("html"), 0}, {QString("js"), QString(""), -1},
        {QString("js"), std::nullopt, -1},    {QString(""), std::nullopt, -1},        {QString(""), QString(""), 0},
        {std::nullopt, std::nullopt, 0},       {std::nullopt, QString("a"), 1},       {QString(""), QString("a"), 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(entry(c.a).compare(entry(c.b)), c.order) << c.a.value_or("<none>").toStdString();
        EXPECT_EQ(entry(c.b).compare(entry(c.a)), -c.order) << c.a.value_or("<none>").toStdString();
    }

    auto changed = KELExtensionType::extensionTypeWithExtension(QStringLiteral("a"), QStringLiteral("HTML"));
    QStringList seen;
    QObject context;
    for (const QString& name : {KELExtensionValueChangedNotification, KELExtensionTypeNameChangedNotification})
        kit::NotificationCenter::defaultCenter().addObserver(name, changed.get(),
            [&](const kit::Notification& n) { seen.append(n.name); }, &context);
    changed->setExtension(QStringLiteral("b"));
    changed->setTypeName(QStringLiteral("CSS"));
    EXPECT_EQ(seen, QStringList({KELExtensionValueChangedNotification, KELExtensionTypeNameChangedNotification}));
    EXPECT_EQ(changed->extension(), QString("b"));
    EXPECT_EQ(changed->typeName(), "CSS");
}

TEST_F(FileTypeManagerTest, TheSyntaxTypesComeFromTheInstalledProvider)
{
    KELFileTypeManager::setSyntaxTypesProvider([] {
        return QList<KELFileTypeSyntaxInfo>{
            {"HTML", {}, {}, {"html"}, false},
            {"Pascal", {}, {}, {"pas", "pp"}, true},
            {"Pascal Unit", "Pascal", {}, {"unit"}, false},
            {"Lazarus", {}, "Pascal", {"lpr"}, false},
        };
    });
    EXPECT_EQ(registry().allTypeNames(), QStringList({"Hidden", "HTML", "Lazarus", "Pascal"}));
    EXPECT_EQ(registry().typeNameForExtension(QStringLiteral("PP")), "Pascal");
    EXPECT_EQ(registry().typeNameForExtension(QStringLiteral("unit")), "Binary"); // not a root type
    EXPECT_EQ(registry().typeNameForExtension(QStringLiteral("css")), "Binary");
    EXPECT_TRUE(registry().typeNameIsKindOfType("Lazarus", "Pascal"));
    EXPECT_EQ(registry().defaultTypeName(), "Pascal");

    // Without a provider (or when it knows no types) the bundled languages are offered.
    KELFileTypeManager::setSyntaxTypesProvider([] { return QList<KELFileTypeSyntaxInfo>(); });
    EXPECT_TRUE(registry().allTypeNames().contains("PHP"));
    KELFileTypeManager::setSyntaxTypesProvider({});
    EXPECT_EQ(registry().typeNameForExtension(QStringLiteral("css")), "CSS");
    EXPECT_FALSE(registry().allTypeNames().contains("Pascal"));
}

TEST(FileExtensionFormatterTest, ALeadingPointIsDropped)
{
    const struct {
        QString typed;
        QString shown;
    } cases[] = {{".html", "html"}, {"html", "html"}, {"", ""}, {".", ""}, {"a.b", "a.b"}, {"..x", ".x"}};
    FileExtensionFormatter formatter;
    for (const auto& c : cases) {
        QString text = c.typed;
        int position = int(text.size());
        EXPECT_EQ(formatter.validate(text, position), QValidator::Acceptable);
        EXPECT_EQ(text, c.shown) << c.typed.toStdString();
        EXPECT_LE(position, text.size());
    }
    EXPECT_EQ(FileExtensionFormatter::stringForObjectValue(QStringLiteral("x")), QString("x"));
    EXPECT_EQ(FileExtensionFormatter::stringForObjectValue(42), std::nullopt);
}

} // namespace
