// The map markup the "Image Map" component generates after canvas edits, checked
// by our HTML check.
#include "checker/CheckerTestSupport.h"
#include "checker/KELSyntaxCheckResult.h"
#include "checker/KELSyntaxCheckTypeHTML.h"
#include "components/ComponentTestSupport.h"
#include "components/KELComponentCodeGenerator.h"
#include "components/KELComponentManager.h"
#include "componentui/KELImageMapView.h"

#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace componenttest;

TEST(KELImageMapMarkupTest, CanvasEditsReachTheGeneratedMapWhichPassesTheHTMLCheck)
{
    registerCheckerDefaults();
    const KELComponentManager manager({ KELComponentManager::componentsDirectory() });
    std::shared_ptr<KELComponentDefinition> definition = KELComponentDefinition::definitionWithComponent(manager.componentWithName(QStringLiteral("Image Map")));
    ASSERT_TRUE(definition);
    const struct {
        const char* shape;
        QPointF from;
        QPointF to;
        const char* area;
    } cases[] = {
        // The definition's defaults: a rectangle (20,20)-(140,120), a circle at
        // (100,100) with radius 50, a triangle (20,140), (80,20), (140,140).
        { "rectangle", QPointF(60, 60), QPointF(70, 75), "<area shape=\"rect\" coords=\"30,35,150,135\"" },
        { "circle", QPointF(100, 100), QPointF(90, 120), "<area shape=\"circle\" coords=\"90,120,50\"" },
        { "polygon", QPointF(80, 100), QPointF(85, 90), "<area shape=\"poly\" coords=\"25,130,85,10,145,130\"" },
    };
    for (const auto& c : cases) {
        auto root = makeDefaultValues(definition->variableGroup());
        root->setValueForKeyPath(QStringLiteral("regions.selectedIndex"), qlonglong(-1));
        kit::KeyValueObject::toObject(dynamic_cast<KELExpressionIndexed*>(kit::KeyValueObject::toObject(root->value(QStringLiteral("regions"))).get())->objectAtIndex(0))
            ->setValueForKeyPath(QStringLiteral("shape.value"), QString::fromLatin1(c.shape));
        QScrollArea area;
        auto* view = new KELImageMapView;
        view->setRootController(root);
        area.setWidget(view);
        area.resize(900, 700);
        area.show();
        view->updateImageMap();
        ASSERT_FALSE(view->image().isNull()) << c.shape; // the stock picture
        QTest::mousePress(view, Qt::LeftButton, {}, view->widgetPointForCanvasPoint(c.from).toPoint());
        QTest::mouseMove(view, view->widgetPointForCanvasPoint(c.to).toPoint());
        QTest::mouseRelease(view, Qt::LeftButton, {}, view->widgetPointForCanvasPoint(c.to).toPoint());
        EXPECT_EQ(view->selectedShape(), 0) << c.shape;
        EXPECT_EQ(KELExpression::integerValue(root->valueForKeyPath(QStringLiteral("regions.selectedIndex"))), 0) << c.shape;

        KELComponentCodeGenerator generator(root, definition);
        QTemporaryDir site;
        QString page = barePage();
        generator.generateCodeWithHtmlTemplate(page, site.filePath(QStringLiteral("index.html")), KELComponentCodeGeneratorResourcePaths(site.path()), KELInsertType::Preview);
        EXPECT_TRUE(page.contains(QString::fromLatin1(c.area))) << page.toStdString();

        KELSyntaxCheckResult result;
        KELSyntaxCheckTypeHTML::sharedInstance().checkForErrors(result, page, false);
        const KELSyntaxCheckTypeResult* html = result.typeResultForType(QStringLiteral("HTML"));
        ASSERT_TRUE(html) << c.shape;
        QStringList messages;
        for (const KELSyntaxCheckError& e : html->errors())
            messages.append(QStringLiteral("%1: %2 %3").arg(e.lineNumber()).arg(e.title(), e.description()));
        EXPECT_TRUE(messages.isEmpty()) << c.shape << "\n" << messages.join(QLatin1Char('\n')).toStdString() << "\n" << page.toStdString();
    }
}
