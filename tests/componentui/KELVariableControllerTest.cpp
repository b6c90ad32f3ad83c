#include "componentui/KELVariableController.h"

#include "ComponentUITestSupport.h"
#include "componentui/KELIndexedVariableController.h"
#include "componentui/KELSimpleVariableControllers.h"
#include "kit/Log.h"

#include <gtest/gtest.h>

using namespace componentuitest;

TEST(KELVariableControllerTest, NamesResolveThroughUnnamedGroupsFirstMatchWins)
{
    QTemporaryDir dir;
    const Tree tree = makeTree(dir, QStringLiteral(
        "<c:varGroup><c:text var=\"title\" name=\"Title\" default=\"a\"/>"
        "<c:group><c:text var=\"color\" name=\"Colour\" default=\"red\"/><c:text var=\"title\" name=\"Second\" default=\"b\"/></c:group>"
        "<c:text var=\"label\" name=\"Label\" default=\"${color.value}\"/></c:varGroup>"));
    ASSERT_TRUE(tree.root);
    EXPECT_EQ(tree.root->valueForKeyPath(QStringLiteral("title.value")).toString(), QStringLiteral("a"));
    EXPECT_EQ(tree.root->valueForKeyPath(QStringLiteral("color.value")).toString(), QStringLiteral("red"));
    EXPECT_FALSE(tree.root->value(QStringLiteral("missing")).isValid());
    // An editor's own expressions reach its siblings, also inside unnamed groups.
    EXPECT_EQ(tree.root->valueForKeyPath(QStringLiteral("label.value")).toString(), QStringLiteral("red"));
    // Published paths: one per value, dotted from the root; the later "title" wins.
    const KELComponentValueMap paths = tree.root->rootKeyPaths();
    EXPECT_TRUE(paths.contains(QStringLiteral("color.value")));
    EXPECT_EQ(paths.value(QStringLiteral("title.value")).undoActionName, QStringLiteral("Edit Second"));
    EXPECT_EQ(tree.root->index(), -1);
}

TEST(KELVariableControllerTest, RegistryNamesAnEditorForEveryModelKind)
{
    const char* kinds[][2] = {
        { "KELComponentSelectVariable", "KELSelectVariableController" }, { "KELComponentTextVariable", "KELTextVariableController" },
        { "KELComponentCountVariable", "KELCountVariableController" }, { "KELComponentVariableGroup", "KELVariableGroupController" },
        { "KELComponentIndexedVariable", "KELIndexedVariableController" }, { "KELComponentCheckboxVariable", "KELCheckboxVariableController" },
        { "KELComponentSliderVariable", "KELSliderVariableController" },
        { "KELComponentDimensionCountVariable", "KELDimensionCountVariableController" },
        { "KELComponentTableVariable", "KELTableVariableController" }, { "KELComponentNothing", "" },
    };
    for (const auto& kind : kinds)
        EXPECT_EQ(KELVariableController::concreteSubclassForVariableClass(QString::fromLatin1(kind[0])), QString::fromLatin1(kind[1]));
}

TEST(KELVariableControllerTest, HiddenExpressionFollowsItsDependency)
{
    QTemporaryDir dir;
    const Tree tree = makeTree(dir, FixtureVariables, true);
    ASSERT_TRUE(tree.root);
    auto* note = controllerAt<KELTextVariableController>(tree.root, QStringLiteral("note"));
    ASSERT_TRUE(note && note->view());
    EXPECT_FALSE(note->view()->isHidden());
    tree.root->setValueForKeyPath(QStringLiteral("bold.value"), false);
    EXPECT_TRUE(note->view()->isHidden());
    tree.root->setValueForKeyPath(QStringLiteral("bold.value"), true);
    EXPECT_FALSE(note->view()->isHidden());
}

TEST(KELVariableControllerTest, RestoringIntoAGroupWithFewerChildrenRestoresTheFirstOnes)
{
    QTemporaryDir dir;
    const Tree tree = makeTree(dir, FixtureVariables);
    ASSERT_TRUE(tree.root);
    tree.root->setValueForKeyPath(QStringLiteral("title.value"), QStringLiteral("Saved"));
    tree.root->setValueForKeyPath(QStringLiteral("size.value"), 40);
    QVariantMap state;
    tree.root->encodeRestorableState(state);

    QTemporaryDir other;
    const Tree smaller = makeTree(other, QStringLiteral("<c:varGroup><c:text var=\"title\" name=\"Title\" default=\"x\"/></c:varGroup>"));
    smaller.root->restoreState(state);
    EXPECT_EQ(smaller.root->valueForKeyPath(QStringLiteral("title.value")).toString(), QStringLiteral("Saved"));

    QTemporaryDir same;
    const Tree again = makeTree(same, FixtureVariables);
    again.root->restoreState(state);
    EXPECT_EQ(again.root->valueForKeyPath(QStringLiteral("size.value")).toDouble(), 40.0);
}

TEST(KELVariableControllerTest, SimpleEditorsHoldTheirValuesWithinBounds)
{
    struct Case {
        const char* keyPath;
        QVariant set;
        const char* readPath;
        QVariant expected;
    };
    const Case cases[] = {
        { "size.value", 13.7, "size.value", 10.0 },
        { "items.textValue", QStringLiteral("0"), "items.count", 1LL },
        { "items.textValue", QStringLiteral("abc"), "items.count", 1LL },
        { "items.textValue", QStringLiteral("25"), "items.count", 9LL },
        { "width.textValue", QStringLiteral("50"), "width.value", QStringLiteral("50px") },
        { "width.selectedIndex", 1LL, "width.value", QVariant() },
        { "width.selectedIndex", 1LL, "width.hasValue", false },
        { "align.selectedIndex", 0LL, "align.value", QStringLiteral("left") },
        { "align.selectedIndex", 7LL, "align.value", QVariant() },
        { "bold.value", false, "bold.value", false },
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        const Tree tree = makeTree(dir, FixtureVariables);
        ASSERT_TRUE(tree.root);
        tree.root->setValueForKeyPath(QString::fromLatin1(c.keyPath), c.set);
        EXPECT_EQ(tree.root->valueForKeyPath(QString::fromLatin1(c.readPath)), c.expected) << c.keyPath << " " << c.readPath;
    }
}

TEST(KELVariableControllerTest, SliderSnapsOnlyToAPositiveIncrement)
{
    EXPECT_EQ(KELSliderVariableController::snapped(13.7, 5), 10.0);
    EXPECT_EQ(KELSliderVariableController::snapped(13.7, 1), 13.0);
    // No increment, or a zero one, stores the value as it is instead of dividing by zero.
    EXPECT_EQ(KELSliderVariableController::snapped(13.7, std::nullopt), 13.7);
    EXPECT_EQ(KELSliderVariableController::snapped(13.7, 0), 13.7);
    EXPECT_EQ(KELSliderVariableController::snapped(13.7, -5), 13.7);
}

TEST(KELVariableControllerTest, ViewsShowDefaultsAndEditValues)
{
    QTemporaryDir dir;
    const Tree tree = makeTree(dir, FixtureVariables, true);
    ASSERT_TRUE(tree.root);
    // Of two options marked default, the last one is where the view starts.
    auto* align = controllerAt<KELSelectVariableController>(tree.root, QStringLiteral("align"));
    ASSERT_TRUE(align && align->selectPopUpButton());
    EXPECT_EQ(align->selectPopUpButton()->currentText(), QStringLiteral("Right"));
    EXPECT_EQ(tree.root->valueForKeyPath(QStringLiteral("align.value")).toString(), QStringLiteral("right"));

    auto* bold = controllerAt<KELCheckboxVariableController>(tree.root, QStringLiteral("bold"));
    ASSERT_TRUE(bold && bold->checkbox());
    EXPECT_TRUE(bold->checkbox()->isChecked());
    EXPECT_EQ(bold->checkbox()->text(), QStringLiteral("Bold"));
    tree.root->view()->show();
    QTest::mouseClick(bold->checkbox(), Qt::LeftButton, {}, QPoint(6, bold->checkbox()->height() / 2));
    EXPECT_EQ(tree.root->valueForKeyPath(QStringLiteral("bold.value")), QVariant(false));

    // A unit without a value disables the count.
    auto* width = controllerAt<KELDimensionCountVariableController>(tree.root, QStringLiteral("width"));
    ASSERT_TRUE(width && width->valueTextField());
    tree.root->setValueForKeyPath(QStringLiteral("width.selectedIndex"), 1);
    EXPECT_FALSE(width->valueTextField()->isEnabled());
    EXPECT_FALSE(width->stepper()->isEnabled());
    tree.root->setValueForKeyPath(QStringLiteral("width.selectedIndex"), 0);
    EXPECT_TRUE(width->valueTextField()->isEnabled());

    auto* items = controllerAt<KELCountVariableController>(tree.root, QStringLiteral("items"));
    ASSERT_TRUE(items && items->stepper());
    EXPECT_EQ(items->stepper()->minimum(), 1);
    EXPECT_EQ(items->stepper()->maximum(), 9);
}

TEST(KELVariableControllerTest, IndexedEditorsKeepTheirChildrenAndClampTheCount)
{
    QTemporaryDir dir;
    kit::LogCapture capture;
    const Tree tree = makeTree(dir, QStringLiteral(
        "<c:varGroup><c:count var=\"n\" name=\"N\" defaultCount=\"3\"/>"
        "<c:indexedVar var=\"pages\" name=\"Page\" count=\"${n.count}\" type=\"collapsible\"><c:dependency keyPath=\"n.count\"/>"
        "<c:group><c:text var=\"title\" name=\"Title\" default=\"Page ${displayIndex}\"/>"
        "<c:indexedVar var=\"parts\" name=\"Part\" count=\"3\"><c:text var=\"t\" name=\"T\" default=\"${displayIndex}\"/></c:indexedVar>"
        "</c:group></c:indexedVar></c:varGroup>"), true);
    ASSERT_TRUE(tree.root);
    auto* pages = controllerAt<KELIndexedVariableController>(tree.root, QStringLiteral("pages"));
    ASSERT_TRUE(pages);
    EXPECT_EQ(pages->count(), 3);
    EXPECT_EQ(tree.root->valueForKeyPath(QStringLiteral("pages.count")).toLongLong(), 3);
    auto second = kit::KeyValueObject::toObject(pages->objectAtIndex(1));
    ASSERT_TRUE(second);
    EXPECT_EQ(second->valueForKeyPath(QStringLiteral("title.value")).toString(), QStringLiteral("Page 2"));
    second->setValueForKeyPath(QStringLiteral("title.value"), QStringLiteral("Kept"));

    tree.root->setValueForKeyPath(QStringLiteral("n.textValue"), QStringLiteral("1"));
    EXPECT_EQ(pages->count(), 1);
    EXPECT_FALSE(pages->objectAtIndex(1).isValid());
    tree.root->setValueForKeyPath(QStringLiteral("n.textValue"), QStringLiteral("3"));
    EXPECT_EQ(kit::KeyValueObject::toObject(pages->objectAtIndex(1)), second);
    EXPECT_EQ(second->valueForKeyPath(QStringLiteral("title.value")).toString(), QStringLiteral("Kept"));

    // Nested repetitions: second outer, third inner.
    auto* parts = dynamic_cast<KELIndexedVariableController*>(kit::KeyValueObject::toObject(second->value(QStringLiteral("parts"))).get());
    ASSERT_TRUE(parts);
    auto third = std::dynamic_pointer_cast<KELVariableController>(kit::KeyValueObject::toObject(parts->objectAtIndex(2)));
    ASSERT_TRUE(third);
    EXPECT_EQ(third->displayIndex(), QStringLiteral("2-3"));
    EXPECT_EQ(third->indexPath(), (QList<qsizetype> { 1, 2 }));
    EXPECT_EQ(third->valueForKeyPath(QStringLiteral("value")).toString(), QStringLiteral("2-3"));

    // A count beyond reason is held at the maximum; a negative one is none.
    struct Case {
        QVariant value;
        qsizetype count;
    };
    for (const Case& c : { Case { -5LL, 0 }, Case { 99999999999LL, KELIndexedVariableController::MaximumCount },
             Case { QStringLiteral("abc"), 0 }, Case { QVariant(), 0 }, Case { 4LL, 4 } })
        EXPECT_EQ(KELIndexedVariableController::clampedCount(c.value), c.count) << c.value.toString().toStdString();
    pages->setValue(QStringLiteral("count"), -3);
    EXPECT_EQ(pages->count(), 0);
}
