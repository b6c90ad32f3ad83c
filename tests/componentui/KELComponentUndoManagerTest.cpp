#include "componentui/KELComponentUndoManager.h"

#include "ComponentUITestSupport.h"
#include "componentui/KELIndexedVariableController.h"
#include "componentui/KELSimpleVariableControllers.h"
#include "kit/NotificationCenter.h"

#include <gtest/gtest.h>

using namespace componentuitest;

namespace {

class KELComponentUndoManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        tree = makeTree(dir, FixtureVariables);
        ASSERT_TRUE(tree.root);
        manager = std::make_unique<KELComponentUndoManager>(tree.root);
        token = kit::NotificationCenter::defaultCenter().addObserver(KELComponentVariableValueChangedNotification, manager.get(),
            [this](const kit::Notification& n) { notified.append(n.userInfo.value(KELComponentVariableKeyPath).toString()); });
    }
    void TearDown() override { kit::NotificationCenter::defaultCenter().removeObserver(token); }

    // One edit per event.
    void edit(const char* keyPath, const QVariant& value)
    {
        tree.root->setValueForKeyPath(QString::fromLatin1(keyPath), value);
        endOfEvent();
    }
    void undo()
    {
        manager->undo();
        endOfEvent();
    }

    QTemporaryDir dir;
    Tree tree;
    std::unique_ptr<KELComponentUndoManager> manager;
    quint64 token = 0;
    QStringList notified;
};

} // namespace

TEST_F(KELComponentUndoManagerTest, EditSequencesMakeTheExpectedSteps)
{
    struct Step {
        const char* keyPath;
        QVariant value;
    };
    struct Case {
        const char* what;
        QList<Step> steps;
        int undoSteps;
    };
    const QList<Case> cases = {
        { "typing merges", { { "title.value", "H" }, { "title.value", "He" }, { "title.value", "Hel" }, { "title.value", "Hell" } }, 1 },
        { "A B A", { { "title.value", "x" }, { "size.value", 50 }, { "title.value", "y" } }, 3 },
        { "a value that does not merge", { { "bold.value", false }, { "bold.value", true } }, 2 },
    };
    for (const Case& c : cases) {
        // A fresh tree for each sequence.
        TearDown();
        SetUp();
        for (const Step& step : c.steps)
            edit(step.keyPath, step.value);
        EXPECT_EQ(manager->undoCount(), c.undoSteps) << c.what;
        EXPECT_EQ(manager->changeCount(), c.undoSteps) << c.what;
    }
}

TEST_F(KELComponentUndoManagerTest, UndoingEveryStepLeavesNoChanges)
{
    for (const char* text : { "W", "Wo", "Wor", "Worl", "World" })
        edit("title.value", QString::fromLatin1(text));
    edit("align.selectedIndex", 1);
    EXPECT_EQ(manager->undoActionName(), QStringLiteral("Change Align"));
    undo();
    EXPECT_EQ(manager->undoActionName(), QStringLiteral("Edit Title"));
    undo();
    // One step restored the text from before the first character.
    EXPECT_EQ(tree.root->valueForKeyPath(QStringLiteral("title.value")).toString(), QStringLiteral("Hello"));
    EXPECT_FALSE(manager->hasChanges());
    manager->redo();
    endOfEvent();
    EXPECT_TRUE(manager->hasChanges());
    EXPECT_EQ(tree.root->valueForKeyPath(QStringLiteral("title.value")).toString(), QStringLiteral("World"));
    // Typing again after an undo or redo starts a step of its own.
    edit("title.value", QStringLiteral("World!"));
    EXPECT_EQ(manager->undoCount(), 2);
    EXPECT_TRUE(notified.contains(QStringLiteral("title.value")));
    EXPECT_TRUE(notified.contains(QStringLiteral("align.selectedIndex")));
}

TEST_F(KELComponentUndoManagerTest, RemovingAllActionsLeavesNothingChanged)
{
    edit("title.value", QStringLiteral("restored"));
    edit("size.value", 30);
    manager->removeAllActions();
    EXPECT_FALSE(manager->hasChanges());
    edit("size.value", 40);
    undo();
    // Back where the window started: clean again.
    EXPECT_FALSE(manager->hasChanges());
}

TEST_F(KELComponentUndoManagerTest, NamedStepJoinsTheChangesOfOneEvent)
{
    auto* title = controllerAt<KELVariableController>(tree.root, QStringLiteral("title"));
    ASSERT_TRUE(title);
    auto named = KELComponentUndoAction::undoAction();
    named->setActionName(QStringLiteral("Select Local File"));
    manager->registerUndoForKeyPath(QStringLiteral("value"), *title, named);
    tree.root->setValueForKeyPath(QStringLiteral("title.value"), QStringLiteral("a.png"));
    tree.root->setValueForKeyPath(QStringLiteral("size.value"), 55);
    endOfEvent();
    EXPECT_EQ(manager->undoCount(), 1);
    EXPECT_EQ(manager->undoActionName(), QStringLiteral("Select Local File"));
    undo();
    EXPECT_EQ(tree.root->valueForKeyPath(QStringLiteral("title.value")).toString(), QStringLiteral("Hello"));
    EXPECT_EQ(tree.root->valueForKeyPath(QStringLiteral("size.value")).toDouble(), 10.0);
    EXPECT_EQ(manager->redoActionName(), QStringLiteral("Select Local File"));
}

TEST(KELComponentUndoManagerRows, EditsInNewRowsAreUndoable)
{
    QTemporaryDir dir;
    const Tree tree = makeTree(dir, QStringLiteral(
        "<c:varGroup><c:count var=\"n\" name=\"N\" defaultCount=\"1\"/>"
        "<c:indexedVar var=\"rows\" name=\"Row\" count=\"${n.count}\"><c:dependency keyPath=\"n.count\"/>"
        "<c:text var=\"t\" name=\"T\" default=\"row\"/></c:indexedVar></c:varGroup>"));
    ASSERT_TRUE(tree.root);
    KELComponentUndoManager manager(tree.root);
    tree.root->setValueForKeyPath(QStringLiteral("n.textValue"), QStringLiteral("2"));
    endOfEvent();
    auto* rows = controllerAt<KELIndexedVariableController>(tree.root, QStringLiteral("rows"));
    ASSERT_TRUE(rows && rows->count() == 2);
    auto added = kit::KeyValueObject::toObject(rows->objectAtIndex(1));
    ASSERT_TRUE(added);
    added->setValue(QStringLiteral("value"), QStringLiteral("typed"));
    endOfEvent();
    EXPECT_EQ(manager.undoCount(), 2);
    manager.undo();
    endOfEvent();
    EXPECT_EQ(added->value(QStringLiteral("value")).toString(), QStringLiteral("row"));
}
