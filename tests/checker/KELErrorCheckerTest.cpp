#include "CheckerTestSupport.h"

#include "document/KELErrorChecker.h"
#include "document/KELErrorCheckerViews.h"
#include "editor/KELHTMLView.h"
#include "kit/NotificationCenter.h"

#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

struct WindowFixture {
    explicit WindowFixture(const QString& text, const QString& type)
        : document(text, type)
    {
        registerCheckerDefaults();
        view.setString(text);
        document.textView = &view;
    }
    ~WindowFixture()
    {
        if (KELErrorChecker* checker = KELErrorChecker::existingErrorCheckerWithDocument(&document))
            delete checker;
    }
    KELErrorChecker* open()
    {
        KELErrorChecker* checker = KELErrorChecker::showErrorChecker(&document);
        waitForResult(checker);
        return checker;
    }
    static void waitForResult(KELErrorChecker* checker)
    {
        QSignalSpy shown(checker, &KELErrorChecker::resultShown);
        if (shown.isEmpty())
            shown.wait(60000);
    }
    static void clickRow(KELErrorChecker* checker, int row)
    {
        KELErrorCheckerTableView* table = checker->errorListTableView();
        const QRect rect = table->visualRect(table->model()->index(row, 0));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, rect.center());
    }
    static void clickLanguage(KELErrorChecker* checker, int row)
    {
        QTest::mouseClick(checker->typeListView(), Qt::LeftButton, {},
            QPoint(20, row * KELErrorCheckerTypeListView::RowHeight + 10));
        waitForPanes(checker);
    }
    static void waitForPanes(KELErrorChecker* checker)
    {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !checker->isAnimatingPanes(); }, 60000));
    }

    FakeDocument document;
    kit::TextView view;
};

} // namespace

TEST(KELErrorCheckerTest, SummaryTexts)
{
    struct Case {
        int errors, warnings;
        const char* summary;
    } cases[] = {
        { 0, 0, "No Errors" }, { 1, 0, "1 Error" }, { 2, 0, "2 Errors" }, { 0, 1, "1 Warning" }, { 2, 1, "2 Errors, 1 Warning" }, { 1, 3, "1 Error, 3 Warnings" },
    };
    for (const Case& c : cases) {
        KELSyntaxCheckTypeResult result(QStringLiteral("CSS"));
        for (int i = 0; i < c.errors; ++i)
            result.addError(KELSyntaxCheckError::error());
        for (int i = 0; i < c.warnings; ++i) {
            KELSyntaxCheckError w = KELSyntaxCheckError::error();
            w.setLevel(KELSyntaxCheckError::Warning);
            result.addError(w);
        }
        EXPECT_EQ(KELErrorCheckerTypeListView::summaryForTypeResult(result), QString::fromLatin1(c.summary));
    }
}

TEST(KELErrorCheckerTest, ListsErrorsAndSelectsThemInTheDocument)
{
    WindowFixture f(QStringLiteral("<html>\n<body>\n<blink>x</blink>\n<div>\n</body>\n</html>\n"), QStringLiteral("HTML"));
    KELErrorChecker* checker = f.open();
    ASSERT_TRUE(checker);
    EXPECT_EQ(checker->windowTitle(), QStringLiteral("Errors for page.html"));
    EXPECT_EQ(checker->typeListView()->rowCount(), 1);
    EXPECT_TRUE(checker->refreshButton()->isEnabled());
    ASSERT_EQ(checker->errorListTableView()->model()->rowCount(), 2);
    EXPECT_FALSE(checker->isSourcePaneShown());
    // The document's gutter gets the errors in its own text.
    EXPECT_EQ(f.document.documentErrors().size(), 2);

    // The same command again brings the same window forward with a new run.
    EXPECT_EQ(KELErrorChecker::showErrorChecker(&f.document), checker);
    EXPECT_FALSE(checker->refreshButton()->isEnabled());
    WindowFixture::waitForResult(checker);

    WindowFixture::clickRow(checker, 0);
    const KELSyntaxCheckError* first = checker->errorForRow(0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->title(), QStringLiteral("Unrecognized Tag"));
    EXPECT_EQ(f.view.selectedRange(), first->textRange());
    EXPECT_GE(f.document.shown, 1);

    WindowFixture::clickRow(checker, 1);
    EXPECT_EQ(f.view.selectedRange(), checker->errorForRow(1)->textRange());
    // Clicking the chosen error again jumps to it again.
    f.view.setSelectedRange(kit::Range(0, 0));
    WindowFixture::clickRow(checker, 1);
    EXPECT_EQ(f.view.selectedRange(), checker->errorForRow(1)->textRange());

    // Closing takes the errors back from the document.
    QSignalSpy destroyed(checker, &QObject::destroyed);
    checker->close();
    EXPECT_TRUE(f.document.documentErrors().isEmpty());
    EXPECT_FALSE(KELErrorChecker::existingErrorCheckerWithDocument(&f.document));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(destroyed.size(), 1);
}

TEST(KELErrorCheckerTest, GeneratedTextOfAPHPPage)
{
    WindowFixture f(QStringLiteral("<?php\n$a = 1;\nfoo();\n?>\n<p>text\n"), QStringLiteral("PHP"));
    f.document.page = QStringLiteral("<kelphperror>Fatal error: Call to undefined function foo() on line 3</kelphperror>\n<p>text\n<blink>");
    KELErrorChecker* checker = f.open();
    ASSERT_EQ(checker->typeListView()->rowCount(), 2);
    EXPECT_EQ(checker->typeListView()->selectedTypeResult()->typeName(), QStringLiteral("PHP"));
    EXPECT_FALSE(checker->isSourcePaneShown());
    EXPECT_EQ(f.document.documentErrors().size(), 1);
    EXPECT_EQ(checker->sourceErrors().size(), 2);

    // The PHP error selects its whole line in the document.
    WindowFixture::clickRow(checker, 0);
    EXPECT_EQ(f.view.selectedRange(), kit::Range(14, 7));

    // HTML errors lie in the generated page, shown below the list.
    WindowFixture::clickLanguage(checker, 1);
    EXPECT_EQ(checker->typeListView()->selectedTypeResult()->typeName(), QStringLiteral("HTML"));
    EXPECT_TRUE(checker->isSourcePaneShown());
    EXPECT_EQ(checker->sourceTextView()->string(), f.document.page);
    ASSERT_EQ(checker->errorListTableView()->model()->rowCount(), 2);
    WindowFixture::clickRow(checker, 0);
    EXPECT_EQ(checker->sourceTextView()->selectedRange(), checker->errorForRow(0)->textRange());
    EXPECT_EQ(f.view.selectedRange(), kit::Range(14, 7));

    // Keys move between the languages.
    checker->typeListView()->setFocus();
    QTest::keyClick(checker->typeListView(), Qt::Key_Up);
    EXPECT_EQ(checker->typeListView()->selectedIndex(), 0u);
    EXPECT_TRUE(checker->isAnimatingPanes());
    WindowFixture::waitForPanes(checker);
    EXPECT_FALSE(checker->isSourcePaneShown());
    QTest::keyClick(checker->typeListView(), Qt::Key_Up);
    EXPECT_EQ(checker->typeListView()->selectedIndex(), 0u);
    QTest::keyClick(checker->typeListView(), Qt::Key_Down);
    QTest::keyClick(checker->typeListView(), Qt::Key_Down);
    EXPECT_EQ(checker->typeListView()->selectedIndex(), 1u);
}

TEST(KELErrorCheckerTest, WarningsFilterAndEndOfText)
{
    {
        WindowFixture f(QStringLiteral("a { -webkit-transition: none; colour: red; }"), QStringLiteral("CSS"));
        KELErrorChecker* checker = f.open();
        EXPECT_EQ(checker->errorListTableView()->model()->rowCount(), 2);
        kit::UserDefaults::standard().setValue(KELErrorCheckerShowWarnings, false);
        EXPECT_EQ(checker->errorListTableView()->model()->rowCount(), 1);
        EXPECT_EQ(checker->errorForRow(0)->level(), KELSyntaxCheckError::Error);
        EXPECT_EQ(KELErrorCheckerTypeListView::summaryForTypeResult(*checker->typeListView()->selectedTypeResult()),
            QStringLiteral("1 Error, 1 Warning"));
        kit::UserDefaults::standard().setValue(KELErrorCheckerShowWarnings, true);
        EXPECT_EQ(checker->errorListTableView()->model()->rowCount(), 2);
    }
    {
        // A script that ends too early: the error sits at the very end and selects the last character.
        const QString text = QStringLiteral("function f() {\n  return 1;\n");
        WindowFixture f(text, QStringLiteral("JavaScript"));
        KELErrorChecker* checker = f.open();
        ASSERT_EQ(checker->errorListTableView()->model()->rowCount(), 1);
        EXPECT_EQ(checker->errorForRow(0)->textRange(), kit::Range(text.size(), 0));
        WindowFixture::clickRow(checker, 0);
        EXPECT_EQ(f.view.selectedRange(), kit::Range(text.size() - 1, 1));
    }
}

TEST(KELErrorCheckerTest, ClosingTheDocumentClosesItsChecker)
{
    WindowFixture f(QStringLiteral("<p>"), QStringLiteral("HTML"));
    KELErrorChecker* checker = f.open();
    QSignalSpy destroyed(checker, &QObject::destroyed);
    // A clean language lists "No Errors" and an empty table.
    EXPECT_EQ(checker->errorListTableView()->model()->rowCount(), 0);
    EXPECT_EQ(checker->errorListTableView()->typeName(), QStringLiteral("HTML"));
    kit::NotificationCenter::defaultCenter().post(QStringLiteral("KELDocumentDidCloseNotification"), f.document.syntaxCheckNotificationObject());
    EXPECT_FALSE(KELErrorChecker::existingErrorCheckerWithDocument(&f.document));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(destroyed.size(), 1);
}

TEST(KELErrorCheckerTest, ProgressTurnsAtLeastOneSecond)
{
    WindowFixture f(QStringLiteral("<p>"), QStringLiteral("HTML"));
    KELErrorChecker* checker = f.open();
    // The result is on screen at once, while the indicator still turns.
    EXPECT_TRUE(checker->refreshButton()->isEnabled());
    EXPECT_EQ(checker->progressIndicator()->maximum(), 0);
    (void)QTest::qWaitFor([&] { return checker->progressIndicator()->maximum() != 0; }, 60000);
    EXPECT_EQ(checker->progressIndicator()->maximum(), 1);
}

TEST(KELErrorCheckerTest, DocumentThroughAnAdapter)
{
    registerCheckerDefaults();
    auto* documentObject = new QObject;
    kit::TextView view;
    view.setString(QStringLiteral("<div>\n<blink></blink>"));
    QList<KELSyntaxCheckError> gutter;
    int shown = 0;
    KELSyntaxCheckDocumentAdapter::Functions functions;
    functions.text = [&] { return view.string(); };
    functions.fileTypeName = [] { return QStringLiteral("HTML"); };
    functions.displayName = [] { return QStringLiteral("index.html"); };
    functions.textView = [&] { return &view; };
    functions.showDocument = [&] { ++shown; };
    functions.errorsChanged = [&](const QList<KELSyntaxCheckError>& errors) { gutter = errors; };
    KELSyntaxCheckDocumentAdapter* adapter = KELSyntaxCheckDocumentAdapter::adapterForDocument(documentObject, functions);
    ASSERT_TRUE(adapter);
    EXPECT_EQ(KELSyntaxCheckDocumentAdapter::adapterForDocument(documentObject, {}), adapter);
    EXPECT_EQ(adapter->syntaxCheckNotificationObject(), static_cast<const void*>(documentObject));

    int notices = 0;
    const quint64 observer = kit::NotificationCenter::defaultCenter().addObserver(KELDocumentErrorsDidChangeNotification, documentObject,
        [&](const kit::Notification&) { ++notices; });
    KELErrorChecker* checker = KELErrorChecker::showErrorChecker(adapter);
    WindowFixture::waitForResult(checker);
    EXPECT_EQ(checker->windowTitle(), QStringLiteral("Errors for index.html"));
    // The gutter gets the errors sorted by place: the unclosed div, then the unknown tag.
    ASSERT_EQ(gutter.size(), 2);
    EXPECT_EQ(gutter[0].title(), QStringLiteral("Unmatched Tag"));
    EXPECT_EQ(notices, 1);

    // A document destroyed while its checker is open takes the window with it.
    QPointer<KELErrorChecker> guard(checker);
    delete documentObject;
    EXPECT_FALSE(KELErrorChecker::existingErrorCheckerWithDocument(adapter));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
    kit::NotificationCenter::defaultCenter().removeObserver(observer);
}
