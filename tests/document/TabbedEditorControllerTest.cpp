#include "document/TabbedEditorController.h"

#include "support/Notifications.h"
#include "document/TabbedEditorView.h"
#include "document/MyDocument.h"
#include "document/MyDocumentPlaceholder.h"
#include "kit/NotificationCenter.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QScreen>
#include <QTest>
#include <memory>

namespace {

struct Recorder : TabbedEditorDelegate {
    QStringList events;
    void documentDidChange(TabbedEditorController*) override { events << QStringLiteral("changed"); }
    void showDocumentWithPath(const QString& path) override { events << QStringLiteral("open ") + QFileInfo(path).fileName(); }
    void documentRequestClose(MyDocument* d, TabbedEditorController*) override { events << QStringLiteral("close? ") + d->displayName(); }
    void documentDidClose(MyDocument* d, TabbedEditorController*) override { events << QStringLiteral("closed ") + d->displayName(); }
    void documentAddedInDrag(MyDocument* d, TabbedEditorController*) override { events << QStringLiteral("added ") + d->displayName(); }
    void documentRemovedInDrag(MyDocument* d, TabbedEditorController*) override { events << QStringLiteral("removed ") + d->displayName(); }
};

class TabbedEditorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        view = std::make_unique<TabbedEditorView>();
        view->resize(800, 600);
        controller.setTabbedEditorView(view.get());
        controller.setDelegate(&recorder);
        TabbedEditorController::setDocumentHooks({[this](MyDocument* d) {
            auto*& w = editors[d];
            if (!w)
                w = new QLabel(d->displayName());
            return static_cast<QWidget*>(w);
        }, {}, {}});
    }
    void TearDown() override
    {
        TabbedEditorController::setDocumentHooks({});
        view.reset();
        qDeleteAll(editors);
    }
    MyDocument* document(const QString& name)
    {
        auto* d = new MyDocument;
        d->setParent(&owner);
        d->setFileURL(QUrl::fromLocalFile(dir.filePath(name)));
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        return d;
    }

    QTemporaryDir dir;
    QObject owner;
    std::unique_ptr<TabbedEditorView> view;
    TabbedEditorController controller;
    Recorder recorder;
    QHash<MyDocument*, QLabel*> editors;
};

} // namespace

TEST_F(TabbedEditorTest, ShowingADocumentTwiceKeepsOneTab)
{
    MyDocument* a = document(QStringLiteral("a.html"));
    MyDocument* b = document(QStringLiteral("b.html"));
    controller.showDocument(a);
    controller.showDocument(b);
    controller.showDocument(a);
    EXPECT_EQ(controller.numTabs(), 2);
    EXPECT_EQ(controller.currentDocument(), a);
    EXPECT_EQ(view->currentEditorView(), editors[a]);
    EXPECT_EQ(controller.currentPath(), dir.filePath(QStringLiteral("a.html")));
    // The tab's close button asks the window controller; the tab stays until it answers.
    controller.tabView()->requestTabClose(controller.tabView()->selectedTab());
    EXPECT_EQ(recorder.events.last(), QStringLiteral("close? a.html"));
    EXPECT_EQ(controller.numTabs(), 2);
    controller.closeDocument(a);
    EXPECT_EQ(controller.numTabs(), 1);
    EXPECT_EQ(recorder.events.last(), QStringLiteral("closed a.html"));
    EXPECT_EQ(controller.currentDocument(), b);
    // The bar refuses to close its last tab itself, but closeDocument still removes it.
    controller.tabView()->repaint();
    EXPECT_TRUE(controller.tabView()->tabs()[0]->closeRect.isEmpty());
    controller.closeDocument(b);
    EXPECT_EQ(controller.numTabs(), 0);
    EXPECT_EQ(view->currentEditorView(), view->emptyView());
}

TEST_F(TabbedEditorTest, ImageTabsAndPlaceholders)
{
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(dir.filePath(QStringLiteral("pic.png"))));
    controller.showImageWithPath(dir.filePath(QStringLiteral("pic.png")));
    controller.showImageWithPath(dir.filePath(QStringLiteral("pic.png")));
    EXPECT_EQ(controller.numTabs(), 1);
    EXPECT_EQ(controller.currentDocument(), nullptr);
    auto* scroll = qobject_cast<QScrollArea*>(view->currentEditorView());
    ASSERT_TRUE(scroll);
    EXPECT_EQ(scroll->widget()->size(), QSize(3, 2)); // one point per pixel

    MyDocument* untitled = new MyDocument(&owner);
    controller.showDocument(untitled);
    QFile unopened(dir.filePath(QStringLiteral("later.css")));
    ASSERT_TRUE(unopened.open(QIODevice::WriteOnly));
    auto* later = new Tab(unopened.fileName());
    controller.tabView()->addTab(later);
    EXPECT_EQ(recorder.events.last(), QStringLiteral("open later.css")); // selecting it asks to open it
    const auto contents = controller.allDocumentsAndPlaceholders();
    ASSERT_EQ(contents.size(), 2);
    EXPECT_EQ(contents[0].get(), static_cast<DocumentContents*>(untitled));
    auto* placeholder = dynamic_cast<MyDocumentPlaceholder*>(contents[1].get());
    ASSERT_TRUE(placeholder);
    EXPECT_EQ(placeholder->fileName(), unopened.fileName());

    // A selected tab whose file has gone shows the empty view.
    unopened.remove();
    controller.tabView()->setSelectedTab(controller.tabView()->tabs()[0]);
    controller.tabView()->setSelectedTab(later);
    EXPECT_EQ(view->currentEditorView(), view->emptyView());
}

TEST_F(TabbedEditorTest, TrashingAFolderClosesTheUnopenedTabsInIt)
{
    TabView* bar = controller.tabView();
    auto* inside = new Tab(QStringLiteral("/x/site/a.html"));
    auto* sibling = new Tab(QStringLiteral("/x/sitemap.html"));
    auto* otherCase = new Tab(QStringLiteral("/x/Site/b.html"));
    bar->addTab(inside);
    bar->addTab(sibling);
    bar->addTab(otherCase);
    kit::NotificationCenter::defaultCenter().post(KELFileManagerWillMoveURLToTrashNotification, nullptr,
        {{KELFileManagerURLUserInfoKey, QUrl::fromLocalFile(QStringLiteral("/x/site"))}});
    QStringList left;
    for (Tab* t : bar->tabs())
        left << t->path();
    EXPECT_EQ(left, QStringList({QStringLiteral("/x/sitemap.html"), QStringLiteral("/x/Site/b.html")}));
}

TEST_F(TabbedEditorTest, ArchiveOfAnUntitledDocumentUntilItIsSaved)
{
    auto* untitled = new MyDocument(&owner);
    untitled->setAutosavedContentsFileURL(QUrl::fromLocalFile(dir.filePath(QStringLiteral("side.autosave"))));
    Tab tab(untitled);
    QVariantMap archive = tab.encodeWithCoder();
    EXPECT_TRUE(archive.contains(QStringLiteral("autosaveURL")));
    EXPECT_TRUE(archive.contains(QStringLiteral("documentRestoreData")));
    tab.setAutosaveURL(QUrl::fromLocalFile(dir.filePath(QStringLiteral("side.autosave"))));
    untitled->setFileURL(QUrl::fromLocalFile(dir.filePath(QStringLiteral("saved.html")))); // Save As
    archive = tab.encodeWithCoder();
    EXPECT_FALSE(archive.contains(QStringLiteral("autosaveURL")));
    EXPECT_FALSE(archive.contains(QStringLiteral("documentRestoreData")));
    EXPECT_EQ(archive.value(QStringLiteral("path")).toString(), dir.filePath(QStringLiteral("saved.html")));
    Tab* back = Tab::fromArchive(archive);
    EXPECT_EQ(back->path(), dir.filePath(QStringLiteral("saved.html")));
    EXPECT_EQ(back->safeDocument(), nullptr); // attached later, when asked for
    delete back;
}

TEST_F(TabbedEditorTest, WithoutTabsOneDocumentAtATime)
{
    controller.hideTabs();
    EXPECT_EQ(controller.tabView(), nullptr);
    MyDocument* a = document(QStringLiteral("a.html"));
    controller.showDocument(a);
    EXPECT_EQ(controller.numTabs(), 0);
    EXPECT_EQ(controller.currentDocument(), a);
    controller.closeDocument(a);
    EXPECT_EQ(controller.currentDocument(), nullptr);
    EXPECT_EQ(recorder.events.last(), QStringLiteral("closed a.html"));
}

TEST_F(TabbedEditorTest, DroppingATabOutsideEveryWindowOpensANewWindowThere)
{
    std::unique_ptr<QWidget> made;
    TabbedEditorController madeController;
    TabView::setNewWindowMaker([&](MyDocument* d) {
        made = std::make_unique<QWidget>();
        auto* editor = new TabbedEditorView(made.get());
        editor->setGeometry(0, 30, 400, 300); // the bar sits 30 points below the window's top
        made->resize(400, 330);
        madeController.setTabbedEditorView(editor);
        madeController.showDocument(d);
        return made.get();
    });
    MyDocument* a = document(QStringLiteral("a.html"));
    MyDocument* b = document(QStringLiteral("b.html"));
    controller.showDocument(a);
    controller.showDocument(b);
    controller.setAllowsDragAcrossControllers(true);
    view->setGeometry(0, 0, 500, 300);
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    TabView* bar = controller.tabView();
    bar->finishAnimation();
    QWindow* handle = view->windowHandle();
    const QPoint start = bar->rectForTab(bar->tabs()[0]).center().toPoint();
    const QPoint grab = start - bar->rectForTab(bar->tabs()[0]).topLeft().toPoint();
    QTest::mousePress(handle, Qt::LeftButton, {}, start);
    QTest::mouseMove(handle, start + QPoint(0, 20));
    const QPoint outside(650, 200);
    QTest::mouseMove(handle, outside);
    QTest::mouseRelease(handle, Qt::LeftButton, {}, outside);
    ASSERT_TRUE(made);
    EXPECT_EQ(controller.numTabs(), 1);
    EXPECT_EQ(madeController.numTabs(), 1);
    EXPECT_EQ(madeController.currentDocument(), a);
    EXPECT_EQ(controller.currentDocument(), b);
    // The new window's tab bar starts at the dropped tab's place, kept on the screen.
    const QRect screen = made->screen()->availableGeometry();
    const QPoint expected = outside - grab - QPoint(0, 30);
    // (within the few points a window frame may add)
    EXPECT_NEAR(made->geometry().left(), std::min(expected.x(), screen.right() - 400 + 1), 2);
    EXPECT_NEAR(made->geometry().top(), expected.y(), 2);
    EXPECT_TRUE(screen.adjusted(-2, -2, 2, 2).contains(made->geometry()));
    TabView::setNewWindowMaker({});
    // One tab left: it cannot leave its window.
    EXPECT_FALSE(bar->openInNewWindow(bar->tabs()[0]));
}

TEST_F(TabbedEditorTest, RestoredUntitledTabsGetANewDocumentWithTheirState)
{
    struct RecordingDocument : MyDocument {
        QVariantMap restored;
        void restoreState(const QVariantMap& state) override { restored = state; }
    };
    struct Maker : Recorder {
        QList<RecordingDocument*> made;
        QObject* owner = nullptr;
        MyDocument* makeUntitledDocument() override
        {
            made << new RecordingDocument;
            made.last()->setParent(owner);
            return made.last();
        }
    } maker;
    maker.owner = &owner;
    controller.setDelegate(&maker);
    QFile kept(dir.filePath(QStringLiteral("kept.html")));
    ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
    const QVariantMap state{
        {QStringLiteral("KELTabs"), QVariantList{
            QVariantMap{{QStringLiteral("path"), QString()}, {QStringLiteral("isImage"), false},
                        {QStringLiteral("documentRestoreData"), QVariantMap{{QStringLiteral("scroll"), 42}}}},
            QVariantMap{{QStringLiteral("path"), kept.fileName()}, {QStringLiteral("isImage"), false}},
        }},
        {QStringLiteral("KELSelectedTab"), 1},
    };
    controller.restoreWithCoder(state);
    ASSERT_EQ(controller.numTabs(), 2);
    ASSERT_EQ(maker.made.size(), 1);
    EXPECT_EQ(controller.tabView()->tabs()[0]->safeDocument(), maker.made[0]);
    EXPECT_EQ(maker.made[0]->restored.value(QStringLiteral("scroll")).toInt(), 42);
    EXPECT_EQ(controller.tabView()->selectedTab(), controller.tabView()->tabs()[1]);
    EXPECT_EQ(maker.events.last(), QStringLiteral("open kept.html")); // the selected file is opened in this window
    controller.setDelegate(&recorder);
}

TEST_F(TabbedEditorTest, ADocumentDraggedToAnotherWindowChangesWindows)
{
    MyDocument* a = document(QStringLiteral("a.html"));
    MyDocument* b = document(QStringLiteral("b.html"));
    MyDocument* c = document(QStringLiteral("c.html"));
    controller.showDocument(a);
    controller.showDocument(b);
    controller.setAllowsDragAcrossControllers(true);
    TabbedEditorView otherView;
    TabbedEditorController other;
    Recorder otherRecorder;
    other.setTabbedEditorView(&otherView);
    other.setDelegate(&otherRecorder);
    other.showDocument(c);
    other.setAllowsDragAcrossControllers(true);
    view->setGeometry(0, 0, 400, 200);
    otherView.setGeometry(450, 0, 300, 200);
    view->show();
    otherView.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()) && QTest::qWaitForWindowExposed(&otherView));
    controller.tabView()->finishAnimation();
    other.tabView()->finishAnimation();
    recorder.events.clear();
    otherRecorder.events.clear();

    QWindow* from = view->windowHandle();
    QWindow* to = otherView.windowHandle();
    const QPoint start = controller.tabView()->rectForTab(controller.tabView()->tabs()[1]).center().toPoint();
    QTest::mousePress(from, Qt::LeftButton, {}, start);
    QTest::mouseMove(from, start + QPoint(0, 20));
    QTest::mouseMove(to, QPoint(280, 12)); // after c
    QTest::mouseRelease(to, Qt::LeftButton, {}, QPoint(280, 12));

    EXPECT_TRUE(recorder.events.contains(QStringLiteral("removed b.html")));
    EXPECT_EQ(otherRecorder.events, QStringList({QStringLiteral("added b.html")}));
    EXPECT_EQ(controller.numTabs(), 1);
    EXPECT_EQ(controller.currentDocument(), a); // the source shows its remaining document
    ASSERT_EQ(other.numTabs(), 2);
    EXPECT_EQ(other.tabView()->tabs()[1]->safeDocument(), b);
    EXPECT_EQ(other.tabView()->activeTabs()[1]->safeDocument(), b);
}
