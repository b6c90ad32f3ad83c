#include "kit/Alert.h"
#include "kit/Log.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QScreen>
#include <QTextDocument>
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
    EXPECT_TRUE(QTest::qWaitFor([&] { return response != 0; }, 60000));
    EXPECT_EQ(response, 1000);
}

// A long message and a long informative text wrap inside an alert of a readable
// width: every line of both shows, none is cut at the alert's edge or bottom.
TEST(AlertTest, LongTextsWrapAndShowWhole)
{
    ResponderReset reset;
    const QString sentence = QStringLiteral("The document could not be saved because the folder that holds it is no longer there. ");
    const QString path = QStringLiteral("/home/someone/Sites/a-rather-long-folder-name/another-long-folder-name/"
                                        "yet-another-folder/and-the-page-itself-with-a-long-name.html");
    struct Case {
        const char* what;
        QString message;
        QString informative;
    } const cases[] = {
        { "long message", sentence.repeated(4), QString() },
        { "long informative text", QStringLiteral("Save failed."), sentence.repeated(8) },
        { "both long, with a long path", sentence.repeated(3) + path, sentence.repeated(6) + path },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        kit::Alert alert;
        alert.setMessageText(c.message);
        alert.setInformativeText(c.informative);
        alert.addButton(QStringLiteral("OK"));
        alert.addButton(QStringLiteral("Cancel"));
        alert.setShowsSuppressionButton(true);
        alert.beginSheet(nullptr, [](int) { });
        QMessageBox* box = visibleBox();
        ASSERT_TRUE(box);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(box));
        QCoreApplication::processEvents();
        const QRect screen = box->screen()->availableGeometry();
        EXPECT_GE(box->width(), 400);
        EXPECT_LE(box->width(), screen.width());
        EXPECT_LE(box->height(), screen.height());
        int shown = 0;
        for (QLabel* label : box->findChildren<QLabel*>()) {
            if (!label->isVisible() || label->text().isEmpty())
                continue;
            ++shown;
            SCOPED_TRACE(label->text().left(30).toStdString());
            const QRect inBox(label->mapTo(box, QPoint(0, 0)), label->size());
            EXPECT_TRUE(box->rect().contains(inBox)) << inBox.x() << "," << inBox.y() << " " << inBox.width() << "x"
                                                     << inBox.height() << " in " << box->width() << "x" << box->height();
            const QRect text = label->contentsRect();
            if (label->wordWrap())
                EXPECT_LE(label->heightForWidth(label->width()), label->height());
            else
                EXPECT_LE(label->sizeHint().width(), label->width());
            // No line wider than the label: the longest word (the path) wraps too.
            const QRect needed = label->fontMetrics().boundingRect(QRect(0, 0, text.width(), 100000),
                int(Qt::TextWordWrap), label->text());
            EXPECT_LE(needed.width(), text.width());
            EXPECT_LE(needed.height(), text.height());
        }
        EXPECT_GE(shown, c.informative.isEmpty() ? 1 : 2);
        box->reject();
        QCoreApplication::processEvents();
    }
}

// A short message over a longer explanation: the explanation wraps at a readable
// line length, not at the width of the short message, and the title has room.
TEST(AlertTest, AShortMessageDoesNotNarrowItsExplanation)
{
    ResponderReset reset;
    kit::Alert alert;
    alert.setMessageText(QStringLiteral("Open Externally"));
    alert.setInformativeText(QStringLiteral("The document \"photo.raw\" will open in an external application because its "
                                            "file extension is not recognized."));
    alert.beginSheet(nullptr, [](int) { });
    QMessageBox* box = visibleBox();
    ASSERT_TRUE(box);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(box));
    QCoreApplication::processEvents();
    QLabel* informative = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
    ASSERT_TRUE(informative);
    const QFontMetrics metrics(informative->font());
    // Two lines at most, where a narrow box made five or six.
    EXPECT_LE(informative->height(), 2 * metrics.lineSpacing() + informative->contentsMargins().top()
                                         + informative->contentsMargins().bottom() + 4);
    EXPECT_GE(box->width(), metrics.horizontalAdvance(box->windowTitle()) + 100);
    EXPECT_EQ(box->windowTitle(), QCoreApplication::applicationName());
    box->reject();
    QCoreApplication::processEvents();
}

// Texts show as given: tag names in them are text, never markup that vanishes.
TEST(AlertTest, TextsWithTagsShowAsGiven)
{
    ResponderReset reset;
    kit::Alert alert;
    alert.setMessageText(QStringLiteral("Bad <b>tag</b>"));
    alert.setInformativeText(QStringLiteral("The element <div> is not closed before </body>."));
    alert.beginSheet(nullptr, [](int) { });
    QMessageBox* box = visibleBox();
    ASSERT_TRUE(box);
    QStringList shown;
    for (QLabel* label : box->findChildren<QLabel*>()) {
        if (!label->isVisible() || label->text().isEmpty())
            continue;
        QTextDocument rendered;
        if (label->textFormat() == Qt::PlainText)
            rendered.setPlainText(label->text());
        else
            rendered.setHtml(label->text());
        shown << rendered.toPlainText();
    }
    EXPECT_EQ(shown, (QStringList { alert.messageText(), alert.informativeText() }));
    box->reject();
    QCoreApplication::processEvents();
}
