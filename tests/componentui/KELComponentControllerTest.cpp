#include "componentui/KELComponentController.h"

#include "ComponentUITestSupport.h"
#include "componentui/KELSimpleVariableControllers.h"
#include "editor/KELHTMLView.h"
#include "editor/KELLineNumberView.h"
#include "kit/text/ScrollView.h"
#include "kit/Alert.h"
#include "kit/UserDefaults.h"
#include "support/DefaultsKeys.h"

#include <gtest/gtest.h>

#include <QListWidget>
#include <QElapsedTimer>
#include <QSignalSpy>

using namespace componentuitest;

namespace {

class KELComponentControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        kit::UserDefaults::standard().resetForTesting();
        kit::Alert::setResponderForTesting([this](const kit::Alert& alert) {
            asked.append(alert.messageText());
            return answer;
        });
    }
    void TearDown() override
    {
        kit::Alert::setResponderForTesting(nullptr);
        if (controller && controller->window()) {
            controller->window()->setWindowModified(false);
            delete controller->window();
        }
    }

    KELComponentController* open(const QString& extra = QString())
    {
        componenttest::writeText(dir.filePath(QStringLiteral("box.css")), QStringLiteral("p { color: red; }\n"));
        componenttest::writeText(dir.filePath(QStringLiteral("box.js")), QStringLiteral("var box = 1;\n"));
        controller = KELOpenComponentWindow(fixtureComponent(dir, FixtureVariables, FixtureTemplate + extra));
        // Long enough that a burst of key clicks lands inside one delay on a loaded machine.
        if (controller)
            controller->setPreviewDelay(300);
        return controller;
    }

    QTemporaryDir dir;
    QPointer<KELComponentController> controller;
    QStringList asked;
    int answer = kit::Alert::SecondButtonReturn;
};

} // namespace

TEST_F(KELComponentControllerTest, PreviewFollowsEditsOnceAfterABurst)
{
    ASSERT_TRUE(open());
    EXPECT_TRUE(controller->previewHtmlContent().contains(
        QStringLiteral("<p class=\"right\" data-size=\"10\" data-items=\"2\" data-width=\"120px\"><b>Hello</b></p>")))
        << controller->previewHtmlContent().toStdString();
    auto* title = controllerAt<KELTextVariableController>(controller->rootController(), QStringLiteral("title"));
    ASSERT_TRUE(title && title->valueTextField());
    controller->window()->show();
    title->valueTextField()->setFocus();
    title->valueTextField()->selectAll();
    const int before = controller->regenerationCount();
    QSignalSpy updated(controller.data(), &KELComponentController::previewUpdated);
    // A burst: each key within the preview's delay of the one before. (A machine too
    // busy to type the next key in time makes the burst several; that is not checked.)
    QElapsedTimer sinceKey;
    qint64 longestGap = 0;
    for (const QChar c : QStringLiteral("Bye")) {
        if (sinceKey.isValid())
            longestGap = std::max(longestGap, sinceKey.elapsed());
        QTest::keyClick(title->valueTextField(), c.toLatin1());
        sinceKey.start();
        endOfEvent();
    }
    const bool oneBurst = std::max(longestGap, sinceKey.elapsed()) < 250;
    EXPECT_TRUE(controller->isPreviewPending() || !oneBurst);
    if (oneBurst) {
        EXPECT_EQ(controller->regenerationCount(), before);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !updated.isEmpty() && !controller->isPreviewPending(); }, 60000));
    // The burst made one regeneration, with nothing left pending for another.
    if (oneBurst) {
        EXPECT_EQ(controller->regenerationCount(), before + 1);
    }
    EXPECT_TRUE(controller->previewHtmlContent().contains(QStringLiteral("<b>Bye</b>")));
    EXPECT_TRUE(controller->window()->isWindowModified());

    // One undo step takes the typing back, and the window is clean again.
    QTest::keyClick(controller->window(), Qt::Key_Z, Qt::ControlModifier);
    endOfEvent();
    EXPECT_EQ(controller->rootController()->valueForKeyPath(QStringLiteral("title.value")).toString(), QStringLiteral("Hello"));
    EXPECT_FALSE(controller->window()->isWindowModified());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !controller->isPreviewPending(); }, 60000));
    EXPECT_TRUE(controller->previewHtmlContent().contains(QStringLiteral("<b>Hello</b>")));
    EXPECT_TRUE(controller->windowShouldClose());
    EXPECT_TRUE(asked.isEmpty());
}

TEST_F(KELComponentControllerTest, ClosingWithChangesAsksFirst)
{
    ASSERT_TRUE(open());
    controller->rootController()->setValueForKeyPath(QStringLiteral("bold.value"), false);
    endOfEvent();
    EXPECT_TRUE(controller->window()->isWindowModified());
    answer = kit::Alert::SecondButtonReturn;
    EXPECT_FALSE(controller->windowShouldClose());
    answer = kit::Alert::FirstButtonReturn;
    EXPECT_TRUE(controller->windowShouldClose());
    EXPECT_EQ(asked, QStringList(2, QStringLiteral("Are you sure that you want to close this component?")));
}

TEST_F(KELComponentControllerTest, RestoredWindowsStartCleanWithTheirValues)
{
    ASSERT_TRUE(open());
    controller->rootController()->setValueForKeyPath(QStringLiteral("title.value"), QStringLiteral("Kept"));
    controller->rootController()->setValueForKeyPath(QStringLiteral("width.selectedIndex"), 1);
    endOfEvent();
    QVariantMap state;
    controller->encodeRestorableState(state);
    EXPECT_EQ(state.value(KELComponentController::ComponentNameKey).toString(), QStringLiteral("Fixture"));
    controller->window()->setWindowModified(false);
    delete controller->window();

    ASSERT_TRUE(open());
    controller->restoreState(state);
    EXPECT_EQ(controller->rootController()->valueForKeyPath(QStringLiteral("title.value")).toString(), QStringLiteral("Kept"));
    EXPECT_FALSE(controller->rootController()->valueForKeyPath(QStringLiteral("width.value")).isValid());
    EXPECT_FALSE(controller->undoManager()->canUndo());
    EXPECT_FALSE(controller->window()->isWindowModified());
    // A later edit undone leaves the window clean again.
    controller->rootController()->setValueForKeyPath(QStringLiteral("size.value"), 50);
    endOfEvent();
    EXPECT_TRUE(controller->window()->isWindowModified());
    controller->undoManager()->undo();
    endOfEvent();
    EXPECT_FALSE(controller->window()->isWindowModified());
}

TEST_F(KELComponentControllerTest, TestPageSkeletonFollowsTheCapitalsSetting)
{
    ASSERT_TRUE(open());
    const QString doctype = QStringLiteral(
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 TRANSITIONAL//EN\" \"http://www.w3.org/TR/html4/loose.dtd\">\n");
    for (const bool capitals : { false, true }) {
        kit::UserDefaults::standard().setValue(KELShouldCapitalizeTagsKey, capitals);
        const QString page = controller->bareBonesHTMLContent();
        EXPECT_TRUE(page.startsWith(doctype));
        const QString tags = capitals ? QStringLiteral("<HTML>|<HEAD>|<TITLE>Fixture</TITLE>|</BODY>") : QStringLiteral("<html>|<head>|<title>Fixture</title>|</body>");
        for (const QString& tag : tags.split(QLatin1Char('|')))
            EXPECT_TRUE(page.contains(tag)) << tag.toStdString();
        EXPECT_TRUE(page.endsWith(capitals ? QStringLiteral("</HTML>") : QStringLiteral("</html>")));
        EXPECT_FALSE(page.contains(QLatin1Char('\t')));
    }
}

TEST_F(KELComponentControllerTest, SourceSideListsTheFilesWithTheirColouring)
{
    ASSERT_TRUE(open(QStringLiteral("<c:include type=\"style\" resource=\"box.css\"/><c:include type=\"text\" resource=\"box.js\"/>")));
    controller->previewSourceSegmentedControl()->setCurrentIndex(1);
    ASSERT_TRUE(controller->sourceViewIsSelected());
    QListWidget* files = controller->sourceFileList();
    ASSERT_EQ(files->count(), 2);
    EXPECT_EQ(controller->shownSourceSyntax(), QStringLiteral("HTML"));
    EXPECT_TRUE(controller->sourceTextView()->string().contains(QStringLiteral("<b>Hello</b>")));
    // A read-only code view with numbered lines, like the checker's.
    KELHTMLView* source = controller->sourceTextView();
    EXPECT_FALSE(source->isEditable());
    EXPECT_FALSE(source->isContinuousSpellCheckingEnabled());
    ASSERT_TRUE(source->enclosingScrollView());
    EXPECT_TRUE(qobject_cast<KELLineNumberView*>(source->enclosingScrollView()->verticalRulerView()));
    struct Case {
        QString file;
        QString syntax;
        QString text;
    };
    for (const Case& c : { Case { QStringLiteral("box.css"), QStringLiteral("CSS"), QStringLiteral("color: red") },
             Case { QStringLiteral("box.js"), QStringLiteral("JavaScript"), QStringLiteral("var box") } }) {
        const auto found = files->findItems(c.file, Qt::MatchEndsWith);
        ASSERT_EQ(found.size(), 1) << c.file.toStdString();
        files->setCurrentItem(found.first());
        EXPECT_EQ(controller->shownSourceSyntax(), c.syntax);
        EXPECT_TRUE(controller->sourceTextView()->string().contains(c.text));
    }
    // A regenerated list keeps the selected file.
    controller->rootController()->setValueForKeyPath(QStringLiteral("title.value"), QStringLiteral("Again"));
    controller->updatePreviewAndSourceView();
    ASSERT_TRUE(files->currentItem());
    EXPECT_TRUE(files->currentItem()->text().endsWith(QStringLiteral("box.js")));
}

TEST(KELComponentControllerNavigation, OnlyFollowedLinksLeaveForTheBrowser)
{
    using D = KELComponentController::NavigationDecision;
    struct Case {
        const char* url;
        bool linkClicked;
        bool mainFrame;
        D decision;
    };
    const Case cases[] = {
        { "file:///tmp/a.html", true, true, D::Load },
        { "keldocumenturl://kelp1/tmp/a.html", false, true, D::Load },
        { "about:blank", false, true, D::Load },
        { "data:text/html,hi", false, false, D::Load },
        { "https://example.com/", true, true, D::OpenExternally },
        { "https://example.com/", false, true, D::Ignore },
        { "https://example.com/", true, false, D::Ignore },
        { "mailto:a@b.c", true, true, D::OpenExternally },
    };
    for (const Case& c : cases)
        EXPECT_EQ(KELComponentController::navigationDecision(QUrl(QString::fromLatin1(c.url)), c.linkClicked, c.mainFrame), c.decision) << c.url;
}

TEST(KELComponentControllerOpening, AComponentWithoutEditorsOpensNoWindow)
{
    QTemporaryDir dir;
    componenttest::writeText(dir.filePath(QStringLiteral("Component.xml")), QStringLiteral("<component><name>Broken</name></component>"));
    componenttest::writeText(dir.filePath(QStringLiteral("Definition.tcml")), QStringLiteral("<not a definition"));
    EXPECT_EQ(KELOpenComponentWindow(KELComponent::componentWithDirectoryPath(dir.path())), nullptr);
    EXPECT_EQ(KELOpenComponentWindow(nullptr), nullptr);
}
