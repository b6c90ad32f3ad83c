// The Open Quickly panel as it is used: its busy indicator shows while a search runs
// and is out of sight otherwise (an empty bar would look like a button).

#include "project/OpenQuicklyController.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

TEST(OpenQuicklyControllerTest, TheBusyIndicatorShowsOnlyWhileASearchRuns)
{
    OpenQuicklyController& controller = OpenQuicklyController::sharedInstance();
    controller.showWindow();
    QDialog* window = controller.window();
    ASSERT_TRUE(window);
    QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), 5000);
    auto* indicator = window->findChild<QProgressBar*>(QStringLiteral("progressIndicator"));
    ASSERT_TRUE(indicator);
    // The search among open documents and projects, which this machine always has.
    controller.localSearchButton()->setChecked(true);
    controller.changeLocalSearch();
    controller.fileRegexField()->clear();
    QTRY_VERIFY_WITH_TIMEOUT(!indicator->isVisible(), 5000);

    QSignalSpy done(&controller, &OpenQuicklyController::searchDidComplete);
    controller.fileRegexField()->setText(QStringLiteral("index"));
    if (done.isEmpty()) {
        EXPECT_TRUE(indicator->isVisible());
    }
    QTRY_VERIFY_WITH_TIMEOUT(!done.isEmpty(), 10000);
    EXPECT_FALSE(indicator->isVisible());
    // Room is kept for it: the field does not jump when it comes and goes.
    EXPECT_TRUE(indicator->sizePolicy().retainSizeWhenHidden());
    controller.fileRegexField()->clear();
    window->close();
}
