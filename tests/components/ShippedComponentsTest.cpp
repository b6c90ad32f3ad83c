// Every component the bundle ships must read without complaint, render with its
// default values, and produce markup that passes our own HTML check with no
// error, scripts that pass the JavaScript check and style sheets that pass the
// CSS check. Template mistakes are otherwise silent: a tag the registry does not
// know or an expression the evaluator rejects only drops a piece of output.

#include "ComponentTestSupport.h"
#include "support/DefaultsKeys.h"
#include "checker/KELSyntaxCheckResult.h"
#include "checker/KELSyntaxCheckTypeCSSCheck.h"
#include "checker/KELSyntaxCheckTypeHTML.h"
#include "checker/KELSyntaxCheckTypeJavaScript.h"
#include "components/KELComponentCodeGenerator.h"
#include "components/KELComponentManager.h"
#include "components/KELComponentTagNameRegistry.h"
#include "kit/Log.h"
#include "kit/UserDefaults.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryDir>

using namespace componenttest;

namespace {

// Log lines that mean a definition or template is faulty. A shipped template guards
// what the user may leave unset, so even a print of nothing counts.
const char* const FaultLines[] = {
    "nil expression value", "Expression could not be parsed",
    "could not be", "Unrecognized", "No tag class defined", "Failed to read node", "not recognized",
    "does not specify key path", "not found", "has multiple insert tags", "Template loop stopped", "do not match",
    "Unexpected type", "would be written outside", "Color could not be determined",
};

QStringList faults(const kit::LogCapture& log)
{
    QStringList found;
    for (const QString& line : log.lines()) {
        for (const char* fault : FaultLines) {
            if (line.contains(QLatin1String(fault)))
                found.append(line);
        }
    }
    return found;
}

QStringList errorsOf(const KELSyntaxCheckResult& result)
{
    QStringList errors;
    for (const KELSyntaxCheckTypeResult& type : result.orderedTypeResults()) {
        for (const KELSyntaxCheckError& error : type.errorsWithLevel(1))
            errors.append(type.typeName() + QStringLiteral(": ") + error.description());
    }
    return errors;
}

class ShippedComponentsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        kit::UserDefaults::standard().resetForTesting();
        kit::UserDefaults::standard().registerDefaults({ { KELShowHTML5Completions, true }, { KELOrganizeTagsSpacer, qlonglong(1) } });
    }
};

} // namespace

TEST_F(ShippedComponentsTest, TheLibraryHoldsTheComponentsTheMenusOpenByName)
{
    const KELComponentManager manager({ KELComponentManager::componentsDirectory() });
    for (const char* name : { "Image Map", "Simple Font", "Simple List", "Simple Table", "Simple Link", "Simple Image" })
        EXPECT_TRUE(manager.componentWithName(QString::fromLatin1(name))) << name;
    EXPECT_GE(manager.components().size(), 12);
    for (const auto& component : manager.components()) {
        EXPECT_FALSE(component->desc().value_or(QString()).isEmpty()) << component->path().toStdString();
        EXPECT_FALSE(component->group().value_or(QString()).isEmpty()) << component->path().toStdString();
        EXPECT_FALSE(QImageReader(component->imagePath()).size().isEmpty()) << component->imagePath().toStdString();
    }
    // The stock pictures.
    for (const QString& collection : { QStringLiteral("Sunset"), QStringLiteral("Mountain"), QStringLiteral("Beach"), QStringLiteral("London") }) {
        for (int i = 1; i <= 4; ++i) {
            const QString path = KELComponentManager::componentsSharedResourcesDirectory() + QStringLiteral("/DefaultImages/%1%2.jpg").arg(collection).arg(i);
            EXPECT_EQ(QImageReader(path).size(), QSize(800, 600)) << path.toStdString();
        }
    }
    // Every registered tag names a class that exists.
    for (auto it = KELComponentTagNameRegistry::sharedInstance().registry().cbegin(); it != KELComponentTagNameRegistry::sharedInstance().registry().cend(); ++it) {
        QTemporaryDir dir;
        auto component = makeComponent(dir.path(), QStringLiteral("T"), QStringLiteral("<c:insert><c:%1/></c:insert>").arg(it.key()));
        kit::LogCapture log;
        EXPECT_TRUE(KELComponentDefinition::definitionWithComponent(component)) << it.key().toStdString();
        EXPECT_TRUE(faults(log).isEmpty()) << it.key().toStdString() << " " << faults(log).join(QLatin1Char('\n')).toStdString();
    }
}

TEST_F(ShippedComponentsTest, ImageMapHasTheVariablesTheImageMapEditorUses)
{
    const KELComponentManager manager({ KELComponentManager::componentsDirectory() });
    auto definition = KELComponentDefinition::definitionWithComponent(manager.componentWithName(QStringLiteral("Image Map")));
    ASSERT_TRUE(definition);
    auto root = makeDefaultValues(definition->variableGroup());
    const auto kindAt = [&root](const QString& keyPath) {
        const auto object = std::dynamic_pointer_cast<FakeController>(kit::KeyValueObject::toObject(root->valueForKeyPath(keyPath)));
        return object ? object->variable()->className() : QString();
    };
    EXPECT_EQ(kindAt(QStringLiteral("image")), QStringLiteral("KELComponentImageFileVariable"));
    EXPECT_EQ(kindAt(QStringLiteral("regionCount")), QStringLiteral("KELComponentCountVariable"));
    EXPECT_EQ(kindAt(QStringLiteral("regions")), QStringLiteral("KELComponentTableVariable"));
    const auto regions = std::dynamic_pointer_cast<FakeController>(kit::KeyValueObject::toObject(root->value(QStringLiteral("regions"))));
    ASSERT_TRUE(regions);
    ASSERT_EQ(regions->count(), 1);
    const auto region = std::dynamic_pointer_cast<FakeController>(kit::KeyValueObject::toObject(regions->objectAtIndex(0)));
    ASSERT_TRUE(region);
    const auto kindIn = [](const std::shared_ptr<FakeController>& owner, const QString& key) {
        const auto object = std::dynamic_pointer_cast<FakeController>(kit::KeyValueObject::toObject(owner->value(key)));
        return object ? object->variable()->className() : QString();
    };
    EXPECT_EQ(kindIn(region, QStringLiteral("shape")), QStringLiteral("KELComponentSelectVariable"));
    EXPECT_EQ(kindIn(region, QStringLiteral("vertexCount")), QStringLiteral("KELComponentCountVariable"));
    EXPECT_EQ(kindIn(region, QStringLiteral("vertices")), QStringLiteral("KELComponentIndexedVariable"));
    for (const char* key : { "circleX", "circleY", "circleRadius", "rectX1", "rectY1", "rectX2", "rectY2" })
        EXPECT_EQ(kindIn(region, QString::fromLatin1(key)), QStringLiteral("KELComponentTextVariable")) << key;
    const auto* shape = dynamic_cast<const KELComponentSelectVariable*>(
        std::dynamic_pointer_cast<FakeController>(kit::KeyValueObject::toObject(region->value(QStringLiteral("shape"))))->variable());
    QStringList values;
    for (const KELComponentSelectOption& option : shape->options())
        values.append(option.value());
    EXPECT_EQ(values, (QStringList { QStringLiteral("rectangle"), QStringLiteral("circle"), QStringLiteral("polygon") }));
    const auto vertices = std::dynamic_pointer_cast<FakeController>(kit::KeyValueObject::toObject(region->value(QStringLiteral("vertices"))));
    ASSERT_EQ(vertices->count(), 3); // follows the region's vertex count
    const auto vertex = std::dynamic_pointer_cast<FakeController>(kit::KeyValueObject::toObject(vertices->objectAtIndex(2)));
    EXPECT_EQ(kindIn(vertex, QStringLiteral("x")), QStringLiteral("KELComponentTextVariable"));
    EXPECT_EQ(kindIn(vertex, QStringLiteral("y")), QStringLiteral("KELComponentTextVariable"));
}

TEST_F(ShippedComponentsTest, EveryDefinitionReadsRendersAndPassesTheChecks)
{
    const KELComponentManager manager({ KELComponentManager::componentsDirectory() });
    ASSERT_FALSE(manager.components().isEmpty());
    for (const auto& component : manager.components()) {
        SCOPED_TRACE(component->name().value_or(component->path()).toStdString());
        kit::LogCapture log;
        std::shared_ptr<KELComponentDefinition> definition = KELComponentDefinition::definitionWithComponent(component);
        ASSERT_TRUE(definition);
        ASSERT_TRUE(definition->variableGroup());
        EXPECT_FALSE(definition->insertedContent().empty());
        auto root = makeDefaultValues(definition->variableGroup());
        KELComponentCodeGenerator generator(root, definition);

        for (const KELInsertType type : { KELInsertType::Preview, KELInsertType::Insert }) {
            QTemporaryDir site;
            const QString pagePath = site.filePath(QStringLiteral("index.html"));
            // With nothing selected, and with a selection the component wraps.
            QString page = barePage().replace(QStringLiteral("<body></body>"), type == KELInsertType::Preview
                    ? QStringLiteral("<body></body>") : QStringLiteral("<body><em>selected</em></body>"));
            const KELCodeGeneratorResult result = generator.generateCodeWithHtmlTemplate(page, pagePath,
                KELComponentCodeGeneratorResourcePaths(site.filePath(QStringLiteral("assets"))), type);
            EXPECT_TRUE(result.problems().isEmpty()) << result.problems().join(QLatin1Char('\n')).toStdString();
            // The definition's includes, and the stock pictures the page links to, copied beside them.
            qsizetype ownIncludes = 0;
            for (const KELCodeGeneratorFile& file : result.includes()) {
                if (file.insertedResourceName().startsWith(QLatin1String("DefaultImages/")))
                    EXPECT_EQ(file.include()->type(), KELComponentInclude::Image);
                else
                    ++ownIncludes;
            }
            EXPECT_EQ(ownIncludes, qsizetype(definition->includes().size()));
            EXPECT_EQ(page.count(QStringLiteral("DefaultImages/")), page.count(QStringLiteral("\"assets/DefaultImages/"))) << page.toStdString();
            EXPECT_TRUE(page.contains(QStringLiteral("<!-- BEGIN COMPONENT ") + component->name().value_or(QString())));

            KELSyntaxCheckResult check;
            KELSyntaxCheckTypeHTML::sharedInstance().checkForErrors(check, page, false);
            EXPECT_TRUE(errorsOf(check).isEmpty()) << errorsOf(check).join(QLatin1Char('\n')).toStdString() << "\n" << page.toStdString();

            for (const KELCodeGeneratorFile& file : result.includes()) {
                const QString path = result.pathForInclude(file);
                EXPECT_TRUE(QFileInfo::exists(path)) << path.toStdString();
                const QString text = readText(path);
                KELSyntaxCheckResult fileCheck;
                if (file.include()->type() == KELComponentInclude::Script) {
                    const auto error = KELSyntaxCheckTypeJavaScript::checkSyntax(text);
                    EXPECT_FALSE(error.has_value()) << path.toStdString();
                    EXPECT_TRUE(KELComponentInclude::verifyChecksumForFile(path)) << path.toStdString();
                } else if (file.include()->type() == KELComponentInclude::Style) {
                    KELSyntaxCheckTypeCSSCheck::sharedInstance().checkForErrors(fileCheck, text, false);
                    EXPECT_TRUE(errorsOf(fileCheck).isEmpty()) << path.toStdString() << "\n" << errorsOf(fileCheck).join(QLatin1Char('\n')).toStdString();
                }
            }
        }
        EXPECT_TRUE(faults(log).isEmpty()) << faults(log).join(QLatin1Char('\n')).toStdString();
    }
}

TEST_F(ShippedComponentsTest, ImageMapWritesEveryShapeOfRegion)
{
    const KELComponentManager manager({ KELComponentManager::componentsDirectory() });
    std::shared_ptr<KELComponentDefinition> definition = KELComponentDefinition::definitionWithComponent(manager.componentWithName(QStringLiteral("Image Map")));
    ASSERT_TRUE(definition);
    auto root = makeDefaultValues(definition->variableGroup());
    const auto region = kit::KeyValueObject::toObject(
        dynamic_cast<KELExpressionIndexed*>(kit::KeyValueObject::toObject(root->value(QStringLiteral("regions"))).get())->objectAtIndex(0));
    ASSERT_TRUE(region);
    KELComponentCodeGenerator generator(root, definition);
    struct Case {
        const char* shape;
        const char* area;
    };
    for (const Case& c : { Case { "rectangle", "<area shape=\"rect\" coords=\"20,20,140,120\"" }, Case { "circle", "<area shape=\"circle\" coords=\"100,100,50\"" },
             Case { "polygon", "<area shape=\"poly\" coords=\"20,140,80,20,140,140\"" } }) {
        region->setValueForKeyPath(QStringLiteral("shape.value"), QString::fromLatin1(c.shape));
        QTemporaryDir site;
        QString page = barePage();
        generator.generateCodeWithHtmlTemplate(page, site.filePath(QStringLiteral("index.html")), KELComponentCodeGeneratorResourcePaths(site.path()), KELInsertType::Preview);
        EXPECT_TRUE(page.contains(QString::fromLatin1(c.area))) << page.toStdString();
        EXPECT_TRUE(page.contains(QStringLiteral("usemap=\"#site-map\"")));
        EXPECT_TRUE(page.contains(QStringLiteral("<map name=\"site-map\">")));
    }
}
