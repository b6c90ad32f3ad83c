#include "components/KELComponentManager.h"

#include "ComponentTestSupport.h"
#include "kit/Log.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace componenttest;

namespace {

void writeComponent(const QString& folder, const QString& xml)
{
    writeText(folder + QStringLiteral("/Component.xml"), xml);
}

} // namespace

TEST(KELComponentManagerTest, CataloguesFoldersInNameOrderAndLooksUp)
{
    QTemporaryDir bundle;
    QTemporaryDir user;
    const QString b = bundle.path();
    writeComponent(b + QStringLiteral("/Shared"), QStringLiteral("<c><name>Shared</name></c>"));
    writeText(b + QStringLiteral("/stray.txt"), QStringLiteral("not a component"));
    writeComponent(b + QStringLiteral("/Broken"), QStringLiteral("<c><name>Broken</c>"));
    writeComponent(b + QStringLiteral("/Zeta"), QStringLiteral(
        "<component image=\"z.png\"><name>Twin</name><description>Second by folder</description><group>G</group>"
        "<compatibility><browser id=\"safari\" version=\"9\"/><browser id=\"IE\" version=\"8\"/>"
        "<browser id=\"firefox\" version=\"40\"/><browser id=\"ie\" version=\"11\"/></compatibility></component>"));
    writeComponent(b + QStringLiteral("/Alpha"), QStringLiteral("<component><name>Twin</name><description>First</description></component>"));
    writeComponent(user.path() + QStringLiteral("/Mine"), QStringLiteral("<component><name>Mine</name></component>"));
    QDir(b).mkdir(QStringLiteral("Empty"));

    kit::LogCapture log;
    const KELComponentManager manager({ b, user.path() });
    QStringList names;
    for (const auto& component : manager.components())
        names.append(component->name().value_or(QStringLiteral("?")));
    EXPECT_EQ(names, (QStringList { QStringLiteral("Twin"), QStringLiteral("Twin"), QStringLiteral("Mine") }));
    EXPECT_TRUE(log.contains(QStringLiteral("Component could not be created: ") + KELComponentManager::standardizedPath(b + QStringLiteral("/Broken"))));
    EXPECT_TRUE(log.contains(QStringLiteral("Component could not be created: ") + KELComponentManager::standardizedPath(b + QStringLiteral("/Empty"))));

    // The first of two equally named components wins; names compare exactly.
    EXPECT_EQ(manager.componentWithName(QStringLiteral("Twin"))->desc(), QStringLiteral("First"));
    EXPECT_EQ(manager.componentWithName(QStringLiteral("twin")), nullptr);
    const auto zeta = manager.componentWithPath(b + QStringLiteral("/Alpha/../Zeta/."));
    ASSERT_TRUE(zeta);
    EXPECT_EQ(zeta->imagePath(), zeta->path() + QStringLiteral("/z.png"));
    EXPECT_TRUE(manager.componentWithName(QStringLiteral("Twin"))->imagePath().isEmpty());
    EXPECT_EQ(manager.componentWithPath(b + QStringLiteral("/Shared")), nullptr);

    // Browsers in the order IE, Firefox, Safari; "IE" is not "ie".
    EXPECT_EQ(zeta->displayDescription(), QStringLiteral("Second by folder IE 11+, Firefox 40+, Safari 9+, Safari 8+"));
    EXPECT_EQ(manager.componentWithName(QStringLiteral("Mine"))->displayDescription(), QStringLiteral(" "));
    EXPECT_EQ(zeta->searchIndexString(), QStringLiteral("Twin G Second by folder"));
    EXPECT_LT(manager.componentWithName(QStringLiteral("Mine"))->compare(*zeta), 0);
}
