#include "editor/BatchTextFinder.h"

#include "../html/Printers.h"
#include "support/DefaultsKeys.h"
#include "app/RegisteredDefaults.h"
#include "document/KELFilePrefsManager.h"
#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "editor/KELHTMLView.h"
#include "editor/TextFinder.h"
#include "kit/Alert.h"
#include "kit/UndoManager.h"
#include "kit/UserDefaults.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

using kit::NotFound;
using kit::Range;

namespace {

TEST(BatchFindSnippetTest, ShowsTheLineOrTheTextAroundTheMatch)
{
    const QString longLine = QString(150, QLatin1Char('a')) + QStringLiteral("NEEDLE") + QString(4844, QLatin1Char('b'));
    const QString longMatch = QString(5000, QLatin1Char('x'));
    struct Case
    {
        QString text;
        Range match;
        QString snippet;
        Range mark;
    } cases[] = {
        {QStringLiteral("one\n\ttwo three\nfour"), Range(9, 5), QStringLiteral(" two three "), Range(5, 5)},
        {longLine, Range(150, 6), QString(42, QLatin1Char('a')) + QStringLiteral("NEEDLE") + QString(42, QLatin1Char('b')),
            Range(42, 6)},
        {QStringLiteral("NEEDLE") + QString(300, QLatin1Char('c')), Range(0, 6),
            QStringLiteral("NEEDLE") + QString(84, QLatin1Char('c')), Range(0, 6)},
        {longMatch, Range(0, 5000), QString(90, QLatin1Char('x')) + QStringLiteral("...") + QString(90, QLatin1Char('x')),
            Range(NotFound, 0)},
    };
    for (const Case& c : cases) {
        Range mark;
        EXPECT_EQ(batchFindSnippet(c.text, c.match, &mark), c.snippet);
        EXPECT_EQ(mark, c.mark);
    }
}

class BatchTextFinderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        kit::UserDefaults::standard().resetForTesting();
        KELRegisterDefaults();
        KELFilePrefsManager::resetSharedForTesting();
        kit::DocumentController::resetSharedForTesting();
        controller = new MyDocumentController(qApp);
        kit::Alert::setResponderForTesting([this](const kit::Alert& alert) {
            alerts << alert.informativeText();
            return kit::Alert::FirstButtonReturn;
        });
        write(QStringLiteral("index.html"), "<p>The sea is blue.</p>\n<p>Sea and sky.</p>\n");
        write(QStringLiteral("about.html"), "<h1>About the sea</h1>\n");
        write(QStringLiteral("style.css"), "/* sea */ body { color: blue }\n");
        write(QStringLiteral("notes.txt"), "nothing here\n");
        QFile image(path(QStringLiteral("sea.png")));
        ASSERT_TRUE(image.open(QIODevice::WriteOnly));
        image.write(QByteArray("\x89PNG\r\n\x1a\nsea", 11));
        image.close();
        const QString folder = dir.path();
        // The folder stands for an open project.
        BatchTextFinder::setProjectFilesProvider([folder] {
            BatchFindProjectFiles files;
            files.walk = [folder](const std::function<bool(const QString&)>& visit) {
                for (const QString& name : QDir(folder).entryList(QDir::Files, QDir::Name)) {
                    if (!visit(QDir(folder).filePath(name)))
                        return;
                }
            };
            files.expectedCount = QDir(folder).entryList(QDir::Files).size();
            files.contains = [folder](const QString& path) { return path.startsWith(folder + QLatin1Char('/')); };
            return files;
        });
        finder().resetValues();
        finder().fileField()->clear();
        finder().ignoreCaseButton()->setChecked(true);
        kit::UserDefaults::standard().setValue(KELBatchFindRegexTypeKey, qlonglong(0));
    }
    void TearDown() override
    {
        finder().window()->hide();
        finder().resetValues();
        // Document windows opened at a match go away with their documents.
        for (kit::Document* document : controller->documents())
            document->close();
        for (QWidget* window : QApplication::topLevelWidgets())
            window->hide();
        QApplication::processEvents();
        BatchTextFinder::setProjectFilesProvider({});
        BatchTextFinder::setResultLimitForTesting(0);
        kit::Alert::setResponderForTesting({});
        kit::DocumentController::resetSharedForTesting();
        KELFilePrefsManager::resetSharedForTesting();
    }
    static BatchTextFinder& finder() { return BatchTextFinder::shared(); }
    QString path(const QString& name) const { return dir.filePath(name); }
    void write(const QString& name, const QByteArray& bytes)
    {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray read(const QString& name)
    {
        QFile f(path(name));
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    }
    MyDocument* open(const QString& name)
    {
        kit::Error error;
        return qobject_cast<MyDocument*>(
            controller->openDocumentWithContentsOfURL(QUrl::fromLocalFile(path(name)), false, &error));
    }
    // Searches and waits for the worker with the event loop running.
    void search(const QString& text)
    {
        QSignalSpy finished(&finder(), &BatchTextFinder::findFinished);
        finder().findComboBox()->setEditText(text);
        ASSERT_TRUE(finder().find());
        ASSERT_TRUE(finished.wait(60000));
    }
    QStringList results() const
    {
        QStringList out;
        for (const auto& file : finder().outlineViewItemsArray()) {
            QStringList ranges;
            for (const auto& match : file->containedItemsArray)
                ranges << QString::number(match->matchRange.location);
            out << QFileInfo(file->filePath).fileName() + QLatin1Char(':') + ranges.join(QLatin1Char(','));
        }
        out.sort();
        return out;
    }

    QTemporaryDir dir;
    MyDocumentController* controller = nullptr;
    QStringList alerts;
};

TEST_F(BatchTextFinderTest, SearchesFolderFilesAndTheUnsavedTextOfAnOpenDocument)
{
    MyDocument* about = open(QStringLiteral("about.html"));
    ASSERT_TRUE(about);
    KELHTMLView* view = about->textView();
    ASSERT_TRUE(view);
    // Unsaved edit: a second match that is not on disk.
    view->setSelectedRange(Range(view->string().size(), 0));
    view->insertText(QStringLiteral("<p>Deep SEA</p>\n"));

    search(QStringLiteral("sea"));
    EXPECT_EQ(results(), (QStringList {QStringLiteral("about.html:14,31"), QStringLiteral("index.html:7,27"),
                             QStringLiteral("style.css:3")}));
    EXPECT_EQ(finder().findStatusField()->text(), QStringLiteral("5 Found"));
    EXPECT_EQ(finder().numberOfResults(), 5);
    EXPECT_EQ(finder().history().historyItems().first(), QStringLiteral("sea"));
    finder().window()->resize(500, 400);
    EXPECT_FALSE(finder().searchResultsOutlineView()->grab().isNull()); // matches drawn in bold

    // Cancelled before the worker got its first text: nothing found, and it says so.
    QSignalSpy finished(&finder(), &BatchTextFinder::findFinished);
    ASSERT_TRUE(finder().find());
    finder().cancel();
    ASSERT_TRUE(finished.wait(60000));
    EXPECT_EQ(finder().findStatusField()->text(), QStringLiteral("Find Cancelled"));
    EXPECT_FALSE(finder().isFinding());

    // File patterns of the Simple kind: only style sheets.
    finder().fileField()->setText(QStringLiteral("*.css"));
    search(QStringLiteral("sea"));
    EXPECT_EQ(results(), QStringList {QStringLiteral("style.css:3")});

    // Picking a match in a file that is not open opens it at the match.
    finder().fileField()->clear();
    search(QStringLiteral("sky"));
    ASSERT_EQ(finder().outlineViewItemsArray().size(), 1);
    auto match = finder().outlineViewItemsArray().first()->containedItemsArray.first();
    finder().openItem(match.get());
    MyDocument* index = qobject_cast<MyDocument*>(controller->documentForURL(QUrl::fromLocalFile(path("index.html"))));
    ASSERT_TRUE(index);
    EXPECT_EQ(index->textView()->selectedRange(), Range(35, 3));
}

TEST_F(BatchTextFinderTest, ReplaceSkipsMatchesWhoseTextChangedSinceTheSearch)
{
    MyDocument* indexDocument = open(QStringLiteral("index.html"));
    ASSERT_TRUE(indexDocument);
    search(QStringLiteral("sea"));
    ASSERT_EQ(finder().numberOfResults(), 4);

    // After the search the second match's text is changed in the open document.
    KELHTMLView* view = indexDocument->textView();
    view->replaceCharactersWithUndoInRange(Range(27, 3), QStringLiteral("Sky"));

    finder().replaceField()->setText(QStringLiteral("ocean"));
    QList<BatchTextOutlineViewItem*> all;
    for (const auto& file : finder().outlineViewItemsArray())
        for (const auto& m : file->containedItemsArray)
            all << m.get();
    qsizetype skipped = 0;
    const qsizetype replaced = finder().doReplaceForItems(all, &skipped);
    EXPECT_EQ(skipped, 1);
    EXPECT_EQ(replaced, 3);
    // The changed text stays; the first match is replaced.
    EXPECT_EQ(view->string(), QStringLiteral("<p>The ocean is blue.</p>\n<p>Sky and sky.</p>\n"));
    EXPECT_TRUE(finder().findStatusField()->text().contains(QStringLiteral("1 skipped")));
    EXPECT_EQ(view->editorUndoManager()->undoActionName(), QStringLiteral("Replace Selected"));
    // A file that was not open is opened, replaced and left unsaved.
    MyDocument* about = qobject_cast<MyDocument*>(controller->documentForURL(QUrl::fromLocalFile(path("about.html"))));
    ASSERT_TRUE(about);
    EXPECT_EQ(about->textView()->string(), QStringLiteral("<h1>About the ocean</h1>\n"));
    EXPECT_EQ(read(QStringLiteral("about.html")), QByteArray("<h1>About the sea</h1>\n"));
}

TEST_F(BatchTextFinderTest, TwoMatchesOnOneLineAndInvalidPatterns)
{
    write(QStringLiteral("index.html"), "sea sea\n");
    search(QStringLiteral("sea"));
    finder().replaceField()->setText(QStringLiteral("ocean"));
    finder().replaceAll();
    MyDocument* index = qobject_cast<MyDocument*>(controller->documentForURL(QUrl::fromLocalFile(path("index.html"))));
    ASSERT_TRUE(index);
    EXPECT_EQ(index->textView()->string(), QStringLiteral("ocean ocean\n"));

    kit::UserDefaults::standard().setValue(KELBatchFindRegexTypeKey, qlonglong(2));
    finder().findComboBox()->setEditText(QStringLiteral("("));
    EXPECT_FALSE(finder().find());
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts.first().contains(QStringLiteral("find expression")));
}

TEST_F(BatchTextFinderTest, RefreshSearchesEditedDocumentsAgainAndDropsClosedOnes)
{
    MyDocument* index = open(QStringLiteral("index.html"));
    MyDocument* about = open(QStringLiteral("about.html"));
    ASSERT_TRUE(index && about);
    finder().showWindow();
    search(QStringLiteral("sea"));
    ASSERT_EQ(results(), (QStringList {QStringLiteral("about.html:14"), QStringLiteral("index.html:7,27"),
                             QStringLiteral("style.css:3")}));

    index->textView()->replaceCharactersWithUndoInRange(Range(0, 0), QStringLiteral("sea "));
    QSignalSpy finished(&finder(), &BatchTextFinder::findFinished);
    finder().updateFindResults();
    ASSERT_TRUE(finished.wait(60000));
    EXPECT_EQ(results(), (QStringList {QStringLiteral("about.html:14"), QStringLiteral("index.html:0,11,31"),
                             QStringLiteral("style.css:3")}));

    about->close();
    finder().updateFindResults();
    EXPECT_EQ(results(), (QStringList {QStringLiteral("index.html:0,11,31"), QStringLiteral("style.css:3")}));
}

TEST_F(BatchTextFinderTest, ReturnInTheFindFieldSearchesAndTheArrowKeysOpenEachMatch)
{
    finder().showWindow();
    QSignalSpy finished(&finder(), &BatchTextFinder::findFinished);
    finder().findComboBox()->setEditText(QStringLiteral("sea"));
    QTest::keyClick(finder().findComboBox()->lineEdit(), Qt::Key_Return);
    ASSERT_TRUE(finished.wait(10000));
    ASSERT_EQ(results(), (QStringList {QStringLiteral("about.html:14"), QStringLiteral("index.html:7,27"),
                             QStringLiteral("style.css:3")}));

    // From the first file down, each match row opens its file at the match.
    QTreeView* outline = finder().searchResultsOutlineView();
    outline->setFocus();
    outline->setCurrentIndex(outline->model()->index(0, 0));
    auto documentOf = [this](const char* name) {
        return qobject_cast<MyDocument*>(controller->documentForURL(QUrl::fromLocalFile(path(QString::fromLatin1(name)))));
    };
    ASSERT_TRUE(documentOf("about.html"));
    // A file row opens the file; a match row selects the match (NotFound: a file row).
    const struct
    {
        const char* file;
        Range selected;
    } steps[] = {{"about.html", Range(14, 3)}, {"index.html", Range(NotFound, 0)}, {"index.html", Range(7, 3)},
        {"index.html", Range(27, 3)}};
    for (const auto& step : steps) {
        QTest::keyClick(outline, Qt::Key_Down);
        MyDocument* document = documentOf(step.file);
        ASSERT_TRUE(document) << step.file;
        if (step.selected.location != NotFound) {
            EXPECT_EQ(document->textView()->selectedRange(), step.selected) << step.file;
        }
    }
    // Coming back to the window searches nothing again: the rows stay as they are.
    QApplication::processEvents();
    EXPECT_FALSE(finder().isFinding());
    EXPECT_EQ(outline->currentIndex().data().toString(), finder().outlineViewItemsArray().at(1)->containedItemsArray.at(1)->title);
}

TEST_F(BatchTextFinderTest, TheLastFindTextIsTakenWhenTheApplicationBecomesActive)
{
    finder().window()->hide();
    TextFinder::sharedInstance().setFindString(QStringLiteral("sky"), false);
    Q_EMIT qGuiApp->applicationStateChanged(Qt::ApplicationActive);
    EXPECT_EQ(finder().findComboBox()->currentText(), QStringLiteral("sky"));

    // A window on screen keeps the text the user is working with.
    finder().showWindow();
    finder().findComboBox()->setEditText(QStringLiteral("sea"));
    TextFinder::sharedInstance().setFindString(QStringLiteral("blue"), false);
    Q_EMIT qGuiApp->applicationStateChanged(Qt::ApplicationActive);
    EXPECT_EQ(finder().findComboBox()->currentText(), QStringLiteral("sea"));
}

TEST_F(BatchTextFinderTest, BinaryFilesArePassedByAndASearchStopsAtTheResultLimit)
{
    // Text by its name, binary inside: never searched.
    write(QStringLiteral("data.html"), QByteArray("sea\0sea\n", 8));
    search(QStringLiteral("sea"));
    EXPECT_EQ(results(), (QStringList {QStringLiteral("about.html:14"), QStringLiteral("index.html:7,27"),
                             QStringLiteral("style.css:3")}));
    EXPECT_EQ(finder().filesWithoutMatchesCount(), 1); // notes.txt

    BatchTextFinder::setResultLimitForTesting(3);
    search(QStringLiteral("sea"));
    EXPECT_EQ(finder().numberOfResults(), 3);
    EXPECT_TRUE(finder().findStatusField()->text().startsWith(QStringLiteral("3 Found (a search stops at 3")))
        << finder().findStatusField()->text().toStdString();
}

TEST_F(BatchTextFinderTest, HistoryKeepsTenDistinctLatestFirst)
{
    BatchTextFinderHistory history;
    history.setHistoryItems({});
    for (int i = 0; i < 12; ++i)
        history.addHistoryItem(QStringLiteral("t%1").arg(i));
    history.addHistoryItem(QStringLiteral("t5"));
    EXPECT_EQ(history.historyItems().size(), 10);
    EXPECT_EQ(history.historyItems().first(), QStringLiteral("t5"));
    EXPECT_EQ(history.historyItems().at(1), QStringLiteral("t11"));
    EXPECT_EQ(BatchTextFinderHistory().historyItems(), history.historyItems());
}

} // namespace
