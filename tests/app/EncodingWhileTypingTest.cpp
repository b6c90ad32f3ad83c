// Typing into pages of every encoding with real key events: plain ASCII pages
// take any character without a question, and where the encoding alert is due,
// no key typed around it is lost or taken for an answer.
#include "RunningEditor.h"

#include "kit/StringEncodings.h"

#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace {

using EncodingWhileTypingTest = RunningEditor;

QByteArray onDisk(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

void typeText(QWidget* widget, const QString& text)
{
    // One key per character, as the keyboard (or its compose key) gives them.
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

bool waitFor(const std::function<bool()>& condition, int milliseconds = 10000)
{
    return QTest::qWaitFor(condition, milliseconds);
}

} // namespace

// A page of plain ASCII (opened, or new and saved) is UTF-8: "é" typed into it
// raises no alert, and Save writes every key in UTF-8; the bytes of the ASCII
// part stay as they were.
TEST_F(EncodingWhileTypingTest, PlainASCIIPagesTakeAnyCharacterWithoutAQuestion)
{
    const QString opened = file(QStringLiteral("plain.html"), "<p>plain</p>\n");
    MyDocument* document = open(opened);
    ASSERT_TRUE(document);
    EXPECT_EQ(document->documentEncoding(), kit::UTF8StringEncoding);
    KELHTMLView* view = document->textView();
    view->setSelectedRange(kit::Range(3, 0));
    typeText(view, QStringLiteral("caf\u00e9 cr\u00e8me \u20ac "));
    QTest::keyClick(view, Qt::Key_S, Qt::ControlModifier);
    ASSERT_TRUE(waitFor([&] { return !document->isDocumentEdited(); }));
    EXPECT_TRUE(alerts.isEmpty()) << alerts.join(QLatin1Char('\n')).toStdString();
    EXPECT_FALSE(document->isHoldingTypedKeys());
    EXPECT_EQ(onDisk(opened), QStringLiteral("<p>caf\u00e9 cr\u00e8me \u20ac plain</p>\n").toUtf8());
    EXPECT_FALSE(document->isDocumentEdited());

    // A new page of ASCII is saved as UTF-8 too, so later typing needs no question.
    const QString saved = dir.filePath(QStringLiteral("new.html"));
    kit::Document::setSavePanelResponderForTesting([saved](kit::Document&, kit::SaveOperation) { return QUrl::fromLocalFile(saved); });
    kit::Error error;
    auto* fresh = qobject_cast<MyDocument*>(
        MyDocumentController::sharedDocumentController()->openUntitledDocumentAndDisplay(true, &error));
    ASSERT_TRUE(fresh);
    bringToFront(fresh);
    fresh->textView()->selectAll();
    typeText(fresh->textView(), QStringLiteral("<p>new</p>"));
    QTest::keyClick(fresh->textView(), Qt::Key_S, Qt::ControlModifier);
    ASSERT_TRUE(waitFor([&] { return onDisk(saved) == QByteArray("<p>new</p>"); }));
    kit::Document::setSavePanelResponderForTesting({});
    ASSERT_EQ(onDisk(saved), QByteArray("<p>new</p>"));
    EXPECT_EQ(fresh->documentEncoding(), kit::UTF8StringEncoding);
    fresh->textView()->setSelectedRange(kit::Range(6, 0));
    typeText(fresh->textView(), QStringLiteral("\u00e9"));
    QTest::keyClick(fresh->textView(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(waitFor([&] { return !fresh->isDocumentEdited(); }));
    EXPECT_TRUE(alerts.isEmpty()) << alerts.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(onDisk(saved), QStringLiteral("<p>new\u00e9</p>").toUtf8());
}

// In a Latin-1 page "€" is due the alert. The keys typed on meanwhile (Ctrl+S
// among them) are held from every widget and given back to the text once the
// alert is answered: after "Use UTF-8" they follow the "€" and the save writes
// UTF-8; after "Undo Changes" they follow the text without it.
TEST_F(EncodingWhileTypingTest, KeysTypedAroundTheAlertAreGivenBackToTheText)
{
    struct Case {
        const char* answer;
        int response;
        QString text;
        QByteArray bytes;
    } cases[] = {
        {"Use UTF-8", kit::Alert::FirstButtonReturn, QStringLiteral("<p>\u20ac and more caf\u00e9</p>\n"),
         QStringLiteral("<p>\u20ac and more caf\u00e9</p>\n").toUtf8()},
        {"Undo Changes", kit::Alert::SecondButtonReturn, QStringLiteral("<p> and more caf\u00e9</p>\n"),
         QByteArray("<p> and more caf\xe9</p>\n")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        const QString path = file(QStringLiteral("latin-%1.html").arg(c.response), QByteArray("<p>caf\xe9</p>\n"));
        kit::UserDefaults::standard().setValue(KELDefaultEncodingForOpen, qlonglong(kit::ISOLatin1StringEncoding));
        MyDocument* document = open(path);
        kit::UserDefaults::standard().removeValue(KELDefaultEncodingForOpen);
        ASSERT_TRUE(document);
        ASSERT_EQ(document->documentEncoding(), kit::ISOLatin1StringEncoding);
        QStringList seen;
        kit::Alert::setResponderForTesting([&](const kit::Alert& alert) {
            seen << alert.messageText();
            return c.response;
        });
        KELHTMLView* view = document->textView();
        view->setSelectedRange(kit::Range(3, 0));
        typeText(view, QStringLiteral("\u20ac"));
        // Typed on before the alert shows: held, not in the text yet.
        typeText(view, QStringLiteral(" and more "));
        QTest::keyClick(view, Qt::Key_S, Qt::ControlModifier);
        EXPECT_TRUE(document->isHoldingTypedKeys());
        EXPECT_EQ(text(document), QStringLiteral("<p>\u20accaf\u00e9</p>\n"));
        ASSERT_TRUE(waitFor([&] { return !seen.isEmpty() && text(document) == c.text && !document->isDocumentEdited(); }))
            << text(document).toStdString();
        EXPECT_EQ(seen.size(), 1);
        EXPECT_TRUE(seen.first().startsWith(QStringLiteral("The document \"latin-")));
        EXPECT_EQ(onDisk(path), c.bytes);
        EXPECT_FALSE(document->isHoldingTypedKeys());
        document->close();
        drainEvents();
    }
}

// The alert itself, shown: keys that reach it while the user is still typing
// press no button (the alert stays up) and go to the text afterwards; once the
// typing stopped, the alert answers the keyboard (Return: "Use UTF-8").
TEST_F(EncodingWhileTypingTest, TheAlertTakesNoKeyUntilTheTypingStopped)
{
    kit::Alert::setResponderForTesting({});
    const QString path = file(QStringLiteral("latin.html"), QByteArray("<p>caf\xe9</p>\n"));
    kit::UserDefaults::standard().setValue(KELDefaultEncodingForOpen, qlonglong(kit::ISOLatin1StringEncoding));
    MyDocument* document = open(path);
    kit::UserDefaults::standard().removeValue(KELDefaultEncodingForOpen);
    ASSERT_TRUE(document);
    KELHTMLView* view = document->textView();

    // The alert runs in its own loop: the user's part is played from a timer.
    int step = 0;
    bool stayedUpAfterKeys = false;
    QTimer user;
    user.setInterval(20);
    QObject::connect(&user, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        QWidget* focus = box->focusWidget() ? box->focusWidget() : box;
        if (step == 0) {
            // Typed on as if the alert were not there: Return, Space and letters.
            QTest::keyClick(focus, Qt::Key_Return);
            QTest::keyClick(focus, Qt::Key_Space);
            QTest::keyClicks(focus, QStringLiteral("ok"));
            step = 1;
        } else if (step == 1) {
            stayedUpAfterKeys = box->isVisible();
            // Once the typing stopped, Return answers.
            if (!document->isHoldingTypedKeys()) {
                QTest::keyClick(focus, Qt::Key_Return);
                step = 2;
            }
        }
    });
    user.start();
    view->setSelectedRange(kit::Range(3, 0));
    typeText(view, QStringLiteral("\u20ac"));
    ASSERT_TRUE(waitFor([&] { return step == 2 && !QApplication::activeModalWidget(); }, 20000));
    user.stop();
    EXPECT_TRUE(stayedUpAfterKeys);
    // "Use UTF-8" (the default button), then the keys typed into the alert follow the "€".
    EXPECT_EQ(document->documentEncoding(), kit::UTF8StringEncoding);
    ASSERT_TRUE(waitFor([&] { return text(document) == QStringLiteral("<p>\u20ac\n okcaf\u00e9</p>\n"); }))
        << text(document).toStdString();
}
