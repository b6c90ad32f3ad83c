// The Code Clips window, the Clips menus and the Ctrl+digit shortcuts, driven
// through their widgets with real events over a temporary store.

#include "support/DefaultsKeys.h"
#include "app/RegisteredDefaults.h"
#include "editor/KELHTMLView.h"
#include "html/KELCodeClipsManager.h"
#include "htmlui/KELCodeClipMenus.h"
#include "htmlui/KELCodeClipsController.h"
#include "kit/Alert.h"
#include "kit/UserDefaults.h"
#include "kit/text/ScrollView.h"
#include "kit/text/TextStorage.h"
#include "kit/NotificationCenter.h"
#include "support/Notifications.h"
#include "SqliteLockHolder.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTest>
#include <gtest/gtest.h>

using kit::Range;

namespace {

class KELCodeClipsControllerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        kit::UserDefaults::standard().resetForTesting();
        KELRegisterDefaults();
        KELCodeClipsManager::resetSharedInstanceForTesting();
        kit::Alert::setResponderForTesting([this](const kit::Alert& alert) {
            questions.append(alert.messageText());
            return kit::Alert::FirstButtonReturn;
        });
        window = &KELCodeClipsController::sharedInstance();
        // The window follows the store it was made with: give it the fresh one.
        window->clipsModel()->reload();
        window->groupsModel()->reload();
    }
    void TearDown() override
    {
        window->hide();
        kit::Alert::setResponderForTesting(nullptr);
    }
    KELCodeClipsManager& store() { return KELCodeClipsManager::sharedInstance(); }
    qint64 clipNamed(qint64 group, const QString& name, int command = KELCodeClip::NoCommand)
    {
        const qint64 id = store().newClipInGroup(group).id();
        store().setClipName(id, name);
        store().setClipContent(id, name + QStringLiteral(" content"));
        if (command != KELCodeClip::NoCommand)
            store().setClipCommand(id, command, {});
        return id;
    }
    QStringList clipNames(qint64 group)
    {
        QStringList names;
        for (const KELCodeClip& c : store().clipsInGroup(group))
            names.append(c.name());
        return names;
    }
    KELCodeClipsController* window = nullptr;
    QStringList questions;
};

TEST_F(KELCodeClipsControllerTest, DroppedClipsAreCopiedWithoutShortcutOrMovedWithIt)
{
    const qint64 def = store().defaultGroup().id();
    const qint64 a = clipNamed(def, QStringLiteral("a"), 3);
    clipNamed(def, QStringLiteral("b"));
    clipNamed(def, QStringLiteral("c"));
    window->manageCodeClips();
    window->selectGroup(def);
    KELCodeClipTableModel* clips = window->clipsModel();
    std::unique_ptr<QMimeData> data(clips->mimeData({ clips->index(clips->rowOfId(a), 0) }));
    ASSERT_TRUE(data->hasFormat(KELCodeClipsContentPboardType));

    ASSERT_TRUE(clips->dropMimeData(data.get(), Qt::CopyAction, 2, 0, QModelIndex()));
    EXPECT_EQ(clipNames(def), (QStringList { "a", "b", "a", "c" }));
    const QList<KELCodeClip> after = store().clipsInGroup(def);
    EXPECT_EQ(after[0].command(), 3);
    EXPECT_EQ(after[2].command(), KELCodeClip::NoCommand); // the copy has no shortcut
    EXPECT_NE(after[2].id(), a);
    for (qsizetype i = 0; i < after.size(); ++i)
        EXPECT_EQ(after[i].sortOrder(), i);

    ASSERT_TRUE(clips->dropMimeData(data.get(), Qt::MoveAction, 4, 0, QModelIndex()));
    EXPECT_EQ(clipNames(def), (QStringList { "b", "a", "c", "a" }));
    EXPECT_EQ(store().clip(a)->command(), 3); // moved, shortcut and all
    EXPECT_EQ(store().findClipsWithCommand(3).size(), 1);
    // A drop onto a row (not between rows) is refused.
    EXPECT_FALSE(clips->dropMimeData(data.get(), Qt::MoveAction, -1, 0, clips->index(0, 0)));
}

TEST_F(KELCodeClipsControllerTest, GroupsCopyAsNewNonDefaultGroupsAndTheDefaultOneStays)
{
    const qint64 def = store().defaultGroup().id();
    clipNamed(def, QStringLiteral("x"), 2);
    window->manageCodeClips();
    KELCodeClipTableModel* groups = window->groupsModel();
    std::unique_ptr<QMimeData> data(groups->mimeData({ groups->index(groups->rowOfId(def), 0) }));
    ASSERT_TRUE(groups->dropMimeData(data.get(), Qt::CopyAction, 1, 0, QModelIndex()));
    const QList<KELCodeClipGroup> all = store().groups();
    ASSERT_EQ(all.size(), 2);
    EXPECT_EQ(all[1].groupName(), QStringLiteral("(Default) copy"));
    EXPECT_FALSE(all[1].isDefault());
    EXPECT_TRUE(all[0].isDefault());
    EXPECT_EQ(clipNames(all[1].id()), QStringList { "x" });
    // One digit, one clip.
    EXPECT_EQ(store().findClipsWithCommand(2).size(), 1);

    // The default group can be moved, never removed.
    ASSERT_TRUE(groups->dropMimeData(data.get(), Qt::MoveAction, 2, 0, QModelIndex()));
    EXPECT_EQ(store().groups().last().id(), def);
    window->selectGroup(def);
    QTest::keyClick(window->groupsTableView(), Qt::Key_Delete);
    EXPECT_TRUE(questions.isEmpty()); // a beep, no question
    EXPECT_EQ(store().groups().size(), 2);
    EXPECT_FALSE(window->removeGroupButton()->isEnabled());

    window->selectGroup(store().groups().first().id());
    QTest::keyClick(window->groupsTableView(), Qt::Key_Delete);
    EXPECT_EQ(questions, QStringList { "Are you sure that you want to delete the selected Group?" });
    EXPECT_EQ(store().groups().size(), 1);
    EXPECT_EQ(store().allClips().size(), 1);
}

TEST_F(KELCodeClipsControllerTest, ClipsDroppedOnAGroupGoToItsEndAndHoveringSelectsIt)
{
    const qint64 def = store().defaultGroup().id();
    const qint64 other = store().newGroup().id();
    clipNamed(other, QStringLiteral("first"));
    const qint64 moving = clipNamed(def, QStringLiteral("moving"));
    window->manageCodeClips();
    window->selectGroup(def);
    KELCodeClipTableModel* clips = window->clipsModel();
    std::unique_ptr<QMimeData> data(clips->mimeData({ clips->index(clips->rowOfId(moving), 0) }));
    KELCodeClipTableModel* groups = window->groupsModel();
    ASSERT_TRUE(groups->dropMimeData(data.get(), Qt::MoveAction, -1, 0, groups->index(groups->rowOfId(other), 0)));
    EXPECT_EQ(clipNames(other), (QStringList { "first", "moving" }));
    EXPECT_TRUE(clipNames(def).isEmpty());

    KELCodeClipAbstractTableView* view = window->groupsTableView();
    view->performSpringLoadedSelect(); // nothing pending: nothing changes
    EXPECT_EQ(window->selectedGroupId(), def);
}

TEST_F(KELCodeClipsControllerTest, NewClipsTakeTheSelectionAndTheDetailEditsTheStore)
{
    window->newClipFromSelection(std::nullopt);
    qint64 id = window->selectedClipId();
    ASSERT_NE(id, 0);
    EXPECT_TRUE(store().clip(id)->content().isNull());
    window->newClipFromSelection(QString(QLatin1String("")));
    id = window->selectedClipId();
    EXPECT_EQ(store().clip(id)->name(), QStringLiteral("Untitled 2"));
    EXPECT_TRUE(!store().clip(id)->content().isNull() && store().clip(id)->content().isEmpty());

    QLineEdit* completion = window->completionNameTextField();
    completion->setFocus();
    completion->selectAll();
    QTest::keyClicks(completion, QStringLiteral("my-clip"));
    QTest::keyClick(completion, Qt::Key_Return);
    EXPECT_EQ(store().clip(id)->completionName(), QStringLiteral("Myclip"));
    EXPECT_EQ(completion->text(), QStringLiteral("Myclip"));

    window->clipContentTextView()->setPlainText(QStringLiteral("<b>"));
    window->clipContentTextView()->moveCursor(QTextCursor::End);
    window->insertSelectionPlaceholder();
    window->close(); // the pending content is stored when the window closes
    EXPECT_EQ(store().clip(id)->content(), QStringLiteral("<b><##>"));

    window->manageCodeClips();
    window->selectClip(id);
    QComboBox* command = window->commandPopUpButton();
    command->setCurrentIndex(command->findData(6));
    Q_EMIT command->activated(command->currentIndex());
    EXPECT_EQ(store().clip(id)->command(), 6);
}

TEST_F(KELCodeClipsControllerTest, TypedContentReachesTheStoreHoweverTheEditEnds)
{
    const qint64 def = store().defaultGroup().id();
    const struct {
        const char* name;
        std::function<void(KELCodeClipsController*, qint64 other)> end;
    } endings[] = {
        { "left idle", [](KELCodeClipsController*, qint64) {} },
        { "window closed", [](KELCodeClipsController* w, qint64) { w->close(); } },
        { "shortcut chosen",
            [](KELCodeClipsController* w, qint64) {
                QComboBox* command = w->commandPopUpButton();
                command->setFocus();
                QTest::keyClick(command, Qt::Key_Down); // "None" to Ctrl+0
            } },
        { "other clip selected",
            [](KELCodeClipsController* w, qint64 other) {
                KELCodeClipAbstractTableView* table = w->clipsTableView();
                const QRect row = table->visualRect(w->clipsModel()->index(w->clipsModel()->rowOfId(other), 0));
                QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
            } },
        { "application quitting",
            [](KELCodeClipsController*, qint64) {
                kit::NotificationCenter::defaultCenter().post(KELApplicationWillTerminateNotification, qApp);
            } },
    };
    for (const auto& ending : endings) {
        SCOPED_TRACE(ending.name);
        const qint64 id = clipNamed(def, QStringLiteral("edited"));
        const qint64 other = clipNamed(def, QStringLiteral("other"));
        window->manageCodeClips();
        window->selectGroup(def);
        window->selectClip(id);
        QPlainTextEdit* content = window->clipContentTextView();
        ASSERT_EQ(content->toPlainText(), QStringLiteral("edited content"));
        content->setFocus();
        content->moveCursor(QTextCursor::End);
        QTest::keyClicks(content, QStringLiteral(" <b>typed</b>"));
        ending.end(window, other);
        const QString typed = QStringLiteral("edited content <b>typed</b>");
        EXPECT_TRUE(QTest::qWaitFor([&] { return store().clip(id)->content() == typed; }, 10000));
        EXPECT_EQ(store().clip(id)->content(), typed);
        if (window->selectedClipId() == id) {
            EXPECT_EQ(content->toPlainText(), typed); // nothing on screen was undone
        }
        window->close();
        store().removeClips({ id, other });
    }
    EXPECT_EQ(store().findClipsWithCommand(0).size(), 0); // went with the removed clip
    EXPECT_TRUE(questions.isEmpty());
}

TEST_F(KELCodeClipsControllerTest, TheWindowSaysWhileChangesCannotBeKeptAndKeepsThem)
{
    KELCodeClipsManager::Timing fast;
    fast.openWaitMs = 50;
    fast.writeWaitMs = 20;
    fast.firstRetryMs = 20;
    fast.longestRetryMs = 100;
    fast.reportLockAfterMs = 200;
    KELCodeClipsManager::setTimingForTesting(fast);
    const qint64 id = clipNamed(store().defaultGroup().id(), QStringLiteral("clip"));
    window->manageCodeClips();
    window->selectGroup(store().defaultGroup().id());
    window->selectClip(id);
    ASSERT_EQ(window->clipContentTextView()->toPlainText(), QStringLiteral("clip content"));
    QLabel* problem = window->storeProblemLabel();
    EXPECT_FALSE(problem->isVisible());
    {
        testsupport::SqliteLockHolder holder(store().storePath());
        ASSERT_TRUE(holder.isLocked());
        QPlainTextEdit* content = window->clipContentTextView();
        content->setFocus();
        content->moveCursor(QTextCursor::End);
        QTest::keyClicks(content, QStringLiteral(" kept"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return problem->isVisible(); }, 10000));
        EXPECT_TRUE(problem->text().contains(QStringLiteral("in use by another program")));
        EXPECT_EQ(store().clip(id)->content(), QStringLiteral("clip content kept"));
        EXPECT_EQ(holder.letGo(), 0);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !problem->isVisible(); }, 10000));
    EXPECT_FALSE(store().hasUnsavedChanges());
    KELCodeClipsManager reopened(store().storePath());
    EXPECT_EQ(reopened.clip(id)->content(), QStringLiteral("clip content kept"));
    KELCodeClipsManager::setTimingForTesting({});
}

class KELCodeClipMenusTest : public KELCodeClipsControllerTest
{
};

QStringList titles(const QMenu& menu)
{
    QStringList t;
    for (QAction* a : menu.actions())
        t.append(a->isSeparator() ? QStringLiteral("-") : a->text());
    return t;
}

TEST_F(KELCodeClipMenusTest, ClipsMenusListGroupsOnceAndLeaveFixedItems)
{
    const qint64 def = store().defaultGroup().id();
    clipNamed(def, QStringLiteral("header"), 5);
    clipNamed(def, QString()); // no name: in no menu
    const qint64 layouts = store().newGroup().id();
    store().setGroupName(layouts, QStringLiteral("Layouts"));
    clipNamed(layouts, QStringLiteral("two columns"));
    store().setGroupName(store().newGroup().id(), QStringLiteral("Empty"));

    QMenu menu(QStringLiteral("&Clips"));
    menu.addAction(QStringLiteral("Manage Code Clips…"));
    menu.addSeparator();
    KELCodeClipMenus& menus = KELCodeClipMenus::sharedInstance();
    menus.menuNeedsUpdate(&menu);
    menus.menuNeedsUpdate(&menu);
    EXPECT_EQ(titles(menu), (QStringList { "Manage Code Clips…", "-", "header", "Layouts" }));
    EXPECT_EQ(menu.actions()[2]->shortcut(), QKeySequence(QStringLiteral("Ctrl+5")));
    QMenu* sub = menu.actions()[3]->menu();
    ASSERT_TRUE(sub);
    EXPECT_TRUE(sub->actions().isEmpty()); // filled when it opens
    menus.menuNeedsUpdate(sub);
    menus.menuNeedsUpdate(sub);
    EXPECT_EQ(titles(*sub), QStringList { "two columns" });
    EXPECT_EQ(sub->actions().first()->data().toString(), QStringLiteral("two columns content"));
    QMenu other(QStringLiteral("Edit"));
    menus.menuNeedsUpdate(&other);
    EXPECT_TRUE(other.actions().isEmpty());
}

TEST_F(KELCodeClipMenusTest, AClipsMenuSeparatesItsCommandsFromTheClips)
{
    QMenu menu(QStringLiteral("&Clips"));
    menu.addAction(QStringLiteral("Manage Code Clips…"));
    menu.addAction(QStringLiteral("New Clip…"));
    KELCodeClipMenus& menus = KELCodeClipMenus::sharedInstance();
    menus.menuNeedsUpdate(&menu);
    EXPECT_EQ(titles(menu), (QStringList { "Manage Code Clips…", "New Clip…" })); // no clips, no separator
    const qint64 id = clipNamed(store().defaultGroup().id(), QStringLiteral("header"));
    const qint64 layouts = store().newGroup().id();
    clipNamed(layouts, QStringLiteral("two columns"));
    store().setGroupName(layouts, QStringLiteral("Layouts"));
    menus.menuNeedsUpdate(&menu);
    menus.menuNeedsUpdate(&menu);
    EXPECT_EQ(titles(menu), (QStringList { "Manage Code Clips…", "New Clip…", "-", "header", "Layouts" }));
    store().removeClips({ id });
    store().removeGroups({ layouts });
    menus.menuNeedsUpdate(&menu);
    EXPECT_EQ(titles(menu), (QStringList { "Manage Code Clips…", "New Clip…" }));
}

TEST_F(KELCodeClipMenusTest, CtrlDigitInsertsTheClipOnlyWithCtrlAlone)
{
    const qint64 def = store().defaultGroup().id();
    const qint64 id = clipNamed(def, QString(), 5); // unnamed: still reached by its shortcut
    store().setClipContent(id, QStringLiteral("<b><##></b>"));
    KELCodeClipMenus::install();

    kit::ScrollView scroll;
    auto* view = new KELHTMLView;
    scroll.setDocumentView(view);
    scroll.resize(400, 200);
    scroll.show();
    view->activateWindow();
    view->setFocus();
    QApplication::processEvents();
    view->textStorage()->replaceCharacters(Range(0, 0), QStringLiteral("a word"));
    view->setSelectedRange(Range(2, 4));

    QTest::keyClick(view, Qt::Key_5, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(view, Qt::Key_5, Qt::ControlModifier | Qt::KeypadModifier);
    QTest::keyClick(view, Qt::Key_5, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(view->textStorage()->string(), QStringLiteral("a word"));
    QTest::keyClick(view, Qt::Key_5, Qt::ControlModifier);
    EXPECT_EQ(view->textStorage()->string(), QStringLiteral("a <b>word</b>"));
    EXPECT_EQ(view->selectedRange(), Range(5, 4)); // the selected word stays selected
    // A digit without a clip goes on to the view.
    QTest::keyClick(view, Qt::Key_4, Qt::ControlModifier);
    EXPECT_EQ(view->textStorage()->string(), QStringLiteral("a <b>word</b>"));
}

} // namespace
