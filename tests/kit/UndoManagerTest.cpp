#include "kit/UndoManager.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

// A value with undoable setter, as a document would register it.
namespace {
struct Model {
    kit::UndoManager um;
    int value = 0;
    void set(int v)
    {
        const int old = value;
        um.registerUndo([this, old] { set(old); });
        value = v;
    }
};
} // namespace

TEST(UndoManagerTest, GroupsByEventAndRedoes)
{
    Model m;
    m.set(1);
    m.set(2);
    m.um.setActionName(QStringLiteral("Change"));
    QCoreApplication::processEvents(); // the event ends: one group
    m.set(3);
    QCoreApplication::processEvents();
    EXPECT_EQ(m.um.undoCount(), 2);
    m.um.undo();
    EXPECT_EQ(m.value, 2);
    EXPECT_TRUE(m.um.canRedo());
    m.um.undo();
    EXPECT_EQ(m.value, 0);
    EXPECT_EQ(m.um.redoActionName(), QStringLiteral("Change"));
    m.um.redo();
    EXPECT_EQ(m.value, 2);
    EXPECT_EQ(m.um.undoActionName(), QStringLiteral("Change"));
    // A new change clears what could be redone.
    m.set(7);
    QCoreApplication::processEvents();
    EXPECT_FALSE(m.um.canRedo());
    m.um.removeAllActions();
    EXPECT_FALSE(m.um.canUndo());
}

TEST(UndoManagerTest, ExplicitNestedGroupsAndFlags)
{
    Model m;
    bool sawUndoing = false;
    m.um.beginUndoGrouping();
    m.set(1);
    m.um.beginUndoGrouping();
    m.set(2);
    m.um.registerUndo([&] { sawUndoing = m.um.isUndoing(); });
    m.um.endUndoGrouping();
    EXPECT_EQ(m.um.undoCount(), 0);
    m.um.endUndoGrouping();
    EXPECT_EQ(m.um.undoCount(), 1);
    m.um.undo();
    EXPECT_EQ(m.value, 0);
    EXPECT_TRUE(sawUndoing);
    EXPECT_FALSE(m.um.isUndoing());
    m.um.disableUndoRegistration();
    m.set(5);
    m.um.enableUndoRegistration();
    QCoreApplication::processEvents();
    EXPECT_EQ(m.um.undoCount(), 0);
}
