#include "componentui/KELComponentController.h"
#include "componentui/KELImageMapController.h"

#include "ComponentUITestSupport.h"
#include "components/KELComponentManager.h"
#include "kit/UserDefaults.h"

#include <gtest/gtest.h>

#include <QDir>

using namespace componentuitest;

// Every component the program ships opens with its editors and previews itself.
TEST(ShippedComponentWindowTest, EveryShippedComponentOpensAndPreviews)
{
    kit::UserDefaults::standard().resetForTesting();
    KELComponentManager library({ KELComponentManager::componentsDirectory() });
    ASSERT_GE(library.components().size(), 10);
    for (const auto& component : library.components()) {
        const QString name = component->name().value_or(QString());
        QPointer<KELComponentController> controller = KELOpenComponentWindow(component);
        ASSERT_TRUE(controller) << name.toStdString();
        // The image map previews on its canvas, not as a page.
        if (auto* imageMap = qobject_cast<KELImageMapController*>(controller.data()))
            EXPECT_EQ(imageMap->imageMapView()->shapes().size(), 1u) << name.toStdString();
        else
            EXPECT_TRUE(controller->previewHtmlContent().contains(QStringLiteral("BEGIN COMPONENT"))) << name.toStdString();
        EXPECT_FALSE(controller->rootController()->rootKeyPaths().isEmpty()) << name.toStdString();
        EXPECT_FALSE(controller->window()->isWindowModified()) << name.toStdString();
        delete controller->window();
    }
}
