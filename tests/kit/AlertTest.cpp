#include "kit/Alert.h"
#include "kit/Log.h"

#include <QApplication>
#include <QCheckBox>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

struct ResponderReset {
    ~ResponderReset()
    {
        kit::Alert::setResponderForTesting(nullptr);
        kit::Alert::setSuppressionCheckedForTesting(false);
    }
};

QMessageBox* visibleBox()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
            return box;
    return nullptr;
}

QAbstractButton* buttonTitled(QMessageBox* box, const QString& title)
{
    for (QAbstractButton* b : box->buttons())
        if (b->text() == title)
            return b;
    return nullptr;
}

// Answers the next real alert from inside its event loop.
void answerWhenShown(std::function<void(QMessageBox*)> answer)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, answer] {
        if (QMessageBox* box = visibleBox()) {
            poll->stop();
            poll->deleteLater();
            answer(box);
        }
    });
    poll->start(10);
}

} // namespace

TEST(AlertTest, TestResponderAnswersWithoutShowingAndLogsTheMessage)
{
    ResponderReset reset;
    QStringList seen;
    kit::Alert::setResponderForTesting([&](const kit::Alert& a) {
        seen << a.messageText() << a.informativeText() << a.buttonTitles();
        return kit::Alert::SecondButtonReturn;
    });
    kit::LogCapture log;
    kit::Alert alert;
    alert.setMessageText(QStringLiteral("Do you want to save the changes?"));
    alert.setInformativeText(QStringLiteral("Your changes will be lost."));
    EXPECT_EQ(alert.addButton(QStringLiteral("Save")), 1000);
    EXPECT_EQ(alert.addButton(QStringLiteral("Cancel")), 1001);
    EXPECT_EQ(alert.addButton(QStringLiteral("Don't Save")), 1002);
    alert.setShowsSuppressionButton(true);
    kit::Alert::setSuppressionCheckedForTesting(true);
    EXPECT_EQ(alert.runModal(), 1001);
    EXPECT_TRUE(alert.suppressionChecked());
    EXPECT_TRUE(log.contains(QStringLiteral("Alert: Do you want to save the changes?")));
    EXPECT_EQ(seen.size(), 5);
    EXPECT_EQ(visibleBox(), nullptr);

    // A sheet completes at once, with the suppression state on the copy it hands back.
    int response = 0;
    bool suppressed = false;
    alert.setSuppressionChecked(false);
    alert.beginSheet(nullptr, std::function<void(int, const kit::Alert&)>([&](int r, const kit::Alert& a) {
                         response = r;
                         suppressed = a.suppressionChecked();
                     }));
    EXPECT_EQ(response, 1001);
    EXPECT_TRUE(suppressed);
}

TEST(AlertTest, FromErrorUsesDescriptionSuggestionAndRecoveryOptions)
{
    ResponderReset reset;
    kit::Error error = kit::Error::withDescription(QStringLiteral("KELErrorDomain"), 3,
                                                   QStringLiteral("The document could not be saved in its encoding."),
                                                   QStringLiteral("Save it as UTF-8 instead?"));
    error.setRecoveryOptions({QStringLiteral("Use UTF-8"), QStringLiteral("Cancel")});
    int chosen = -1;
    error.setRecoveryAttempter([&](int option) {
        chosen = option;
        return option == 0;
    });
    const kit::Alert alert = kit::Alert::fromError(error);
    EXPECT_EQ(alert.messageText(), QStringLiteral("The document could not be saved in its encoding."));
    EXPECT_EQ(alert.informativeText(), QStringLiteral("Save it as UTF-8 instead?"));
    EXPECT_EQ(alert.buttonTitles(), (QStringList{QStringLiteral("Use UTF-8"), QStringLiteral("Cancel")}));

    kit::Alert::setResponderForTesting([](const kit::Alert&) { return kit::Alert::FirstButtonReturn; });
    EXPECT_TRUE(kit::Alert::presentError(error));
    EXPECT_EQ(chosen, 0);
    bool recovered = true;
    kit::Alert::setResponderForTesting([](const kit::Alert&) { return kit::Alert::SecondButtonReturn; });
    kit::Alert::presentErrorSheet(error, nullptr, [&](bool r) { recovered = r; });
    EXPECT_FALSE(recovered);
    EXPECT_EQ(chosen, 1);

    // No options: a single OK, and nothing to recover.
    const kit::Alert plain = kit::Alert::fromError(kit::Error(kit::ErrorDomainCocoa, kit::FileReadNoSuchFileError));
    EXPECT_EQ(plain.buttonTitles(), QStringList{QStringLiteral("OK")});
    EXPECT_FALSE(kit::Alert::presentError(kit::Error(kit::ErrorDomainCocoa, kit::FileReadNoSuchFileError)));
}

TEST(AlertTest, RealModalAlertAnswersWithTheClickedButton)
{
    struct Case {
        const char* what;
        std::function<void(QMessageBox*)> answer;
        int expected;
    };
    const Case cases[] = {
        {"click Don't Save", [](QMessageBox* b) { buttonTitled(b, QStringLiteral("Don't Save"))->click(); }, 1002},
        {"Return takes the first", [](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Return); }, 1000},
        {"Escape takes Cancel", [](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Escape); }, 1001},
    };
    for (const Case& c : cases) {
        kit::Alert alert;
        alert.setMessageText(QStringLiteral("Close?"));
        alert.addButton(QStringLiteral("Save"));
        alert.addButton(QStringLiteral("Cancel"));
        alert.addButton(QStringLiteral("Don't Save"));
        alert.setShowsSuppressionButton(true);
        answerWhenShown([&](QMessageBox* box) {
            EXPECT_EQ(box->text(), QStringLiteral("Close?"));
            ASSERT_NE(box->checkBox(), nullptr);
            box->checkBox()->setChecked(true);
            c.answer(box);
        });
        EXPECT_EQ(alert.runModal(), c.expected) << c.what;
        EXPECT_TRUE(alert.suppressionChecked()) << c.what;
    }
}

TEST(AlertTest, SheetIsWindowModalAndDoesNotBlock)
{
    QMainWindow window;
    window.show();
    kit::Alert alert;
    alert.setMessageText(QStringLiteral("Revert?"));
    alert.addButton(QStringLiteral("Revert"));
    alert.addButton(QStringLiteral("Cancel"));
    int response = 0;
    alert.beginSheet(&window, [&](int r) { response = r; });
    EXPECT_EQ(response, 0); // returned before the user answered
    QMessageBox* box = window.findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    buttonTitled(box, QStringLiteral("Revert"))->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return response != 0; }, 2000));
    EXPECT_EQ(response, 1000);
}
