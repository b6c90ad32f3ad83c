#include "components/KELComponentInclude.h"

#include "ComponentTestSupport.h"
#include "components/KELComponentManager.h"
#include "kit/Log.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

using namespace componenttest;

namespace {

struct Fixture {
    QTemporaryDir folder;
    QTemporaryDir destination;
    std::shared_ptr<KELComponent> component;
    std::unique_ptr<KELComponentDefinition> definition;

    explicit Fixture(const QString& includes)
    {
        component = makeComponent(folder.path(), QStringLiteral("Inc"), includes);
        definition = KELComponentDefinition::definitionWithComponent(component);
    }
    const KELComponentInclude& include(size_t i) const { return *definition->includes().at(i); }
    std::optional<QString> copy(size_t i, FakeResolver& resolver, KELInsertType type, QStringList* problems = nullptr) const
    {
        return include(i).performCopy(*component, destination.path(), resolver, type, problems);
    }
};

void writePng(const QString& path, const QList<QRgb>& pixels)
{
    QImage image(int(pixels.size()), 1, QImage::Format_ARGB32_Premultiplied);
    for (int x = 0; x < pixels.size(); ++x)
        image.setPixel(x, 0, pixels[x]);
    QDir().mkpath(QFileInfo(path).path());
    ASSERT_TRUE(image.save(path, "PNG"));
}

} // namespace

TEST(KELComponentIncludeTest, TextFilesGetTheCopyrightAndAChecksumThatVerifies)
{
    Fixture f(QStringLiteral("<c:include type=\"script\" resource=\"js/menu.js\" copyright=\"TRUE\"/>"
                             "<c:include type=\"style\" resource=\"plain.css\" condition=\"${wanted}\"/>"
                             "<c:include type=\"text\" resource=\"missing.txt\"/>"));
    writeText(f.folder.filePath(QStringLiteral("js/menu.js")), QStringLiteral("var menu = 1;\n"));
    writeText(f.folder.filePath(QStringLiteral("plain.css")), QStringLiteral("p { color: red; }\n"));
    FakeResolver resolver;
    kit::LogCapture log;

    const std::optional<QString> script = f.copy(0, resolver, KELInsertType::Preview);
    ASSERT_TRUE(script);
    EXPECT_EQ(*script, f.destination.filePath(QStringLiteral("js/menu.js")));
    const QString text = readText(*script);
    EXPECT_TRUE(text.startsWith(KELComponentInclude::copyrightString() + QStringLiteral("var menu = 1;\n")));
    EXPECT_FALSE(KELComponentInclude::copyrightString().isEmpty());
    EXPECT_TRUE(KELComponentInclude::verifyChecksumForFile(*script));

    EXPECT_FALSE(f.copy(1, resolver, KELInsertType::Preview)); // condition false
    resolver.values->setValue(QStringLiteral("wanted"), true);
    EXPECT_TRUE(f.copy(1, resolver, KELInsertType::Preview));
    EXPECT_FALSE(f.copy(2, resolver, KELInsertType::Preview));
    EXPECT_TRUE(log.contains(QStringLiteral("Resource missing.txt not found for component at path ")));

    // A changed file no longer verifies.
    writeText(*script, QString(text).replace(QStringLiteral("menu = 1"), QStringLiteral("menu = 2")));
    EXPECT_FALSE(KELComponentInclude::verifyChecksumForFile(*script));
}

TEST(KELComponentIncludeTest, ResourcesComeFromTheComponentBeforeTheSharedFolder)
{
    Fixture f { QString() };
    const QString shared = KELComponentManager::componentsSharedResourcesDirectory();
    // A stock picture lives only in the shared folder.
    EXPECT_EQ(KELComponentInclude::pathForResourceName(QStringLiteral("DefaultImages/Beach1.jpg"), *f.component),
        shared + QStringLiteral("/DefaultImages/Beach1.jpg"));
    writeText(f.folder.filePath(QStringLiteral("DefaultImages/Beach1.jpg")), QStringLiteral("own"));
    EXPECT_EQ(KELComponentInclude::pathForResourceName(QStringLiteral("DefaultImages/Beach1.jpg"), *f.component),
        f.folder.filePath(QStringLiteral("DefaultImages/Beach1.jpg")));
    EXPECT_FALSE(KELComponentInclude::pathForResourceName(QStringLiteral("../outside.txt"), *f.component));
}

TEST(KELComponentIncludeTest, UniqueNamesStayInsideTheFolderAndNeverOverwriteOnInsert)
{
    Fixture f(QStringLiteral("<c:include type=\"script\" resource=\"menu.js\" uniqueFileVar=\"menuId\"/>"));
    writeText(f.folder.filePath(QStringLiteral("menu.js")), QStringLiteral("x();\n"));
    FakeResolver resolver;
    resolver.values->setValue(QStringLiteral("menuId"), QStringLiteral("nav"));
    const QString dir = f.destination.path();

    EXPECT_EQ(f.copy(0, resolver, KELInsertType::Preview), dir + QStringLiteral("/menu_nav.js"));
    EXPECT_EQ(f.copy(0, resolver, KELInsertType::Preview), dir + QStringLiteral("/menu_nav.js")); // a preview overwrites
    EXPECT_EQ(f.copy(0, resolver, KELInsertType::Insert), dir + QStringLiteral("/menu_nav_2.js"));
    EXPECT_EQ(f.copy(0, resolver, KELInsertType::Insert), dir + QStringLiteral("/menu_nav_3.js"));

    // A typed id is only ever part of a file name in the chosen folder.
    for (const char* id : { "../../escape", "a/b", "/etc/passwd", ".." }) {
        resolver.values->setValue(QStringLiteral("menuId"), QString::fromLatin1(id));
        const std::optional<QString> path = f.copy(0, resolver, KELInsertType::Preview);
        ASSERT_TRUE(path) << id;
        EXPECT_EQ(QFileInfo(*path).path(), dir) << id;
    }
}

TEST(KELComponentIncludeTest, FailedWritesReturnNothingAndAreReported)
{
    Fixture f(QStringLiteral("<c:include type=\"style\" resource=\"a.css\"/><c:include type=\"binary\" resource=\"b.bin\"/>"));
    writeText(f.folder.filePath(QStringLiteral("a.css")), QStringLiteral("a {}\n"));
    writeText(f.folder.filePath(QStringLiteral("b.bin")), QStringLiteral("\x01\x02"));
    // The destination is a file, so no folder can be made there.
    const QString blocked = f.destination.filePath(QStringLiteral("blocked"));
    writeText(blocked, QStringLiteral("x"));
    FakeResolver resolver;
    QStringList problems;
    for (size_t i = 0; i < 2; ++i)
        EXPECT_FALSE(f.include(i).performCopy(*f.component, blocked + QStringLiteral("/sub"), resolver, KELInsertType::Insert, &problems));
    EXPECT_EQ(problems.size(), 2);
}

TEST(KELComponentIncludeTest, TemplateTextIncludesRenderWithTheirOwnLocation)
{
    Fixture f(QStringLiteral("<c:include type=\"text\" resource=\"pages/list.html\" copyright=\"false\">"
                             "<c:insert><c:url value=\"${pic}\"/></c:insert><c:insert>second</c:insert><c:odd/></c:include>"));
    FakeResolver resolver;
    resolver.values->setValue(QStringLiteral("pic"), QUrl::fromLocalFile(f.destination.filePath(QStringLiteral("img/a.png"))));
    const std::optional<QString> path = f.copy(0, resolver, KELInsertType::Preview);
    ASSERT_TRUE(path);
    EXPECT_EQ(readText(*path), QStringLiteral("../img/a.png"));
    EXPECT_EQ(resolver.stored.value(QStringLiteral("DOCPATH")).toString(), *path);
}

TEST(KELComponentIncludeTest, FiltersAndOverlaysRecolourPixels)
{
    Fixture f(QStringLiteral("<c:include type=\"image\" resource=\"button.png\">"
                             "<c:filter mask=\"mask.png\" color=\"${tint}\"/>"
                             "<c:filter mask=\"mask.png\" color=\"#00ff00\" condition=\"${false}\"/>"
                             "<c:overlay image=\"shine.png\"/></c:include>"
                             "<c:include type=\"image\" resource=\"photo.JPG\"><c:filter mask=\"small.png\" color=\"0000ff\"/></c:include>"));
    // Two pixels: opaque grey, and transparent.
    writePng(f.folder.filePath(QStringLiteral("button.png")), { qRgba(100, 100, 100, 255), qRgba(0, 0, 0, 0) });
    // The mask covers the first pixel fully and leaves the second.
    writePng(f.folder.filePath(QStringLiteral("mask.png")), { qRgba(0, 0, 0, 255), qRgba(0, 0, 0, 0) });
    // The overlay is half-transparent white over the second pixel only (premultiplied).
    writePng(f.folder.filePath(QStringLiteral("shine.png")), { qRgba(0, 0, 0, 0), qRgba(128, 128, 128, 128) });
    FakeResolver resolver;
    resolver.values->setValue(QStringLiteral("tint"), QColor(255, 128, 0));

    const std::optional<QString> path = f.copy(0, resolver, KELInsertType::Preview);
    ASSERT_TRUE(path);
    EXPECT_EQ(QFileInfo(*path).fileName(), QStringLiteral("button_FF8000_N.png"));
    const QImage out = QImage(*path).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(out.pixel(0, 0), qRgba(255, 128, 0, 255));
    EXPECT_EQ(out.pixel(1, 0), qRgba(128, 128, 128, 128));

    // A mask of another size leaves the picture as it was (and says so); the name still tells the colour.
    QImage photo(2, 2, QImage::Format_RGB32);
    photo.fill(qRgb(10, 20, 30));
    ASSERT_TRUE(photo.save(f.folder.filePath(QStringLiteral("photo.JPG")), "JPEG"));
    writePng(f.folder.filePath(QStringLiteral("small.png")), { qRgba(0, 0, 0, 255) });
    kit::LogCapture log;
    const std::optional<QString> jpeg = f.copy(1, resolver, KELInsertType::Preview);
    ASSERT_TRUE(jpeg);
    EXPECT_EQ(QFileInfo(*jpeg).fileName(), QStringLiteral("photo_0000FF.JPG"));
    EXPECT_TRUE(log.contains(QStringLiteral("do not match source context dimensions")));
    EXPECT_FALSE(QImage(*jpeg).isNull());
}
