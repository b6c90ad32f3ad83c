// The code navigator driven by real events: the outline listed, typing in the
// search field narrows it, choosing an entry selects its text, the view options,
// linked entries opened by scheme, and the pane's layout.

#include "StructureReporter.h"

#include "editor/KELTextView.h"
#include "kit/Alert.h"
#include "kit/UserDefaults.h"
#include "kit/text/TextStorage.h"
#include "syntax/KELCodeNavigatorSearchFieldCell.h"
#include "syntax/KELCodeNavigatorTableView.h"
#include "syntax/KELCodeNavigatorTextValueTransformer.h"
#include "syntax/KELCodeNavigatorView.h"
#include "syntax/KELCodeNavigatorViewController.h"
#include "syntax/KELDocumentStructure.h"
#include "syntax/SyntaxType.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include "KelpPaths.h"

using kit::Range;

namespace {

template <typename F>
bool spinUntil(F condition)
{
    QDeadlineTimer limit(20000);
    while (!condition()) {
        if (limit.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

QString fixtureText(const QString& name)
{
    QFile f(QStringLiteral(KELP_TEST_FIXTURES "/syntax/") + name);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

class KELCodeNavigatorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        kit::UserDefaults::standard().resetForTesting();
        kit::UserDefaults::standard().registerDefaults({ { QStringLiteral("KELNavigatorSelectedViewOption"), 0 } });
    }
    void TearDown() override
    {
        kit::Alert::setResponderForTesting(nullptr);
        kit::UserDefaults::standard().resetForTesting();
    }

    void open(const QString& language, const QString& text)
    {
        type = SyntaxType::emptyType(language);
        storage = std::make_unique<kit::TextStorage>(text);
        textView = std::make_unique<KELTextView>();
        textView->setTextStorage(storage.get());
        structure = std::make_unique<KELDocumentStructure>(storage.get(), [this] { return type.get(); });
        for (const syntaxtest::Report& r : syntaxtest::reportStructures(language, text))
            structure->foundSyntaxStructure(r.name, language, text, r.range);
        controller = std::make_unique<KELCodeNavigatorViewController>();
        view = controller->navigatorView();
        view->resize(260, 400);
        view->show();
        controller->setCurrentDocument(structure.get(), textView.get(), [this] { return fileURL; });
    }
    QStringList names() const
    {
        QStringList out;
        for (const KELDocumentStructureItemRef& item : controller->arrangedObjects())
            out.append(item->name());
        return out;
    }
    bool showsNames(const QStringList& expected)
    {
        return spinUntil([&] { return names() == expected; });
    }
    void clickRowNamed(const QString& name)
    {
        const QStringList list = names();
        const int row = int(list.indexOf(name));
        ASSERT_GE(row, 0) << name.toStdString();
        KELCodeNavigatorTableView* table = view->itemsTableView();
        const QRect rect = table->visualRect(table->model()->index(row, 1));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, rect.center());
    }
    void clickIconOfRowNamed(const QString& name)
    {
        const int row = int(names().indexOf(name));
        ASSERT_GE(row, 0) << name.toStdString();
        KELCodeNavigatorTableView* table = view->itemsTableView();
        const QRect rect = table->visualRect(table->model()->index(row, 0));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, rect.center());
    }

    std::unique_ptr<SyntaxType> type;
    std::unique_ptr<kit::TextStorage> storage;
    std::unique_ptr<KELTextView> textView;
    std::unique_ptr<KELDocumentStructure> structure;
    std::unique_ptr<KELCodeNavigatorViewController> controller;
    KELCodeNavigatorView* view = nullptr;
    QUrl fileURL;
};

const QStringList htmlOutline { QStringLiteral("Style: style.css"), QStringLiteral("Script: https://example.com/app.js"),
    QStringLiteral("Main part"), QStringLiteral("main"), QStringLiteral("Example"),
    QStringLiteral("This link text runs on without an end tag for a while"), QStringLiteral("Image: pic.png") };

TEST_F(KELCodeNavigatorTest, TypingInTheSearchFieldNarrowsTheList)
{
    open(QStringLiteral("HTML"), fixtureText(QStringLiteral("outline.html")));
    ASSERT_TRUE(showsNames(htmlOutline));

    QTest::keyClicks(view->searchField(), QStringLiteral("EXA"));
    EXPECT_TRUE(showsNames({ QStringLiteral("Script: https://example.com/app.js"), QStringLiteral("Example") }));
    QTest::keyClicks(view->searchField(), QStringLiteral("mple.c"));
    EXPECT_TRUE(showsNames({ QStringLiteral("Script: https://example.com/app.js") }));
    QTest::keyClick(view->searchField(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(view->searchField(), Qt::Key_Backspace);
    EXPECT_TRUE(showsNames(htmlOutline));
}

TEST_F(KELCodeNavigatorTest, ChoosingAnEntrySelectsItsTextEvenWhenChosenAgain)
{
    const QString text = fixtureText(QStringLiteral("outline.html"));
    open(QStringLiteral("HTML"), text);
    ASSERT_TRUE(showsNames(htmlOutline));
    QList<Range> chosen;
    QObject::connect(controller.get(), &KELCodeNavigatorViewController::didSelectRange,
        [&chosen](Range r) { chosen.append(r); });

    clickRowNamed(QStringLiteral("main"));
    const Range div(text.indexOf(QStringLiteral("<div id=\"main\">")), 15);
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen.at(0), div);
    EXPECT_EQ(textView->selectedRange(), div);

    textView->setSelectedRange(Range(0, 0));
    clickRowNamed(QStringLiteral("main"));
    ASSERT_EQ(chosen.size(), 2) << "the selected entry chosen again goes to it again";
    EXPECT_EQ(textView->selectedRange(), div);

    // The outline may lag behind an edit: an entry beyond the text moves nothing.
    storage->replaceCharacters(Range(10, storage->length() - 10), QString());
    const Range before = textView->selectedRange();
    clickRowNamed(QStringLiteral("Image: pic.png"));
    EXPECT_EQ(chosen.size(), 2);
    EXPECT_EQ(textView->selectedRange(), before);
}

TEST_F(KELCodeNavigatorTest, ViewOptionsShowContentOrReferences)
{
    open(QStringLiteral("HTML"), fixtureText(QStringLiteral("outline.html")));
    ASSERT_TRUE(showsNames(htmlOutline));
    EXPECT_EQ(view->searchField()->placeholderText(), QStringLiteral("Navigator"));

    controller->selectViewOption(1);
    EXPECT_TRUE(showsNames({ QStringLiteral("Main part"), QStringLiteral("main") }));
    EXPECT_EQ(view->searchField()->placeholderText(), QStringLiteral("Showing Content Only"));

    // The option follows the default, whoever changes it.
    kit::UserDefaults::standard().setValue(QStringLiteral("KELNavigatorSelectedViewOption"), 2);
    EXPECT_TRUE(showsNames({ QStringLiteral("Style: style.css"), QStringLiteral("Script: https://example.com/app.js"),
        QStringLiteral("Example"), QStringLiteral("This link text runs on without an end tag for a while"),
        QStringLiteral("Image: pic.png") }));
    EXPECT_EQ(view->searchField()->placeholderText(), QStringLiteral("Showing References Only"));
    int checked = -1;
    for (QAction* action : controller->viewOptionMenu()->actions())
        if (action->isChecked())
            checked = action->data().toInt();
    EXPECT_EQ(checked, 2);

    controller->selectViewOption(7);
    EXPECT_EQ(KELCodeNavigatorViewController::viewOption(), 2);
}

TEST_F(KELCodeNavigatorTest, LinkedEntriesOpenByScheme)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QFile lib(folder.filePath(QStringLiteral("lib.php")));
    ASSERT_TRUE(lib.open(QIODevice::WriteOnly));
    lib.close();
    fileURL = QUrl::fromLocalFile(folder.filePath(QStringLiteral("page.php")));
    open(QStringLiteral("PHP"),
        QStringLiteral("<?php include 'lib.php'; include 'missing.php'; include 'https://example.com/a.php';\n"
                       "include 'smb://host/share/x.php'; include 'page.php'; ?>"));
    const QStringList entries { QStringLiteral("lib.php"), QStringLiteral("missing.php"),
        QStringLiteral("https://example.com/a.php"), QStringLiteral("smb://host/share/x.php"),
        QStringLiteral("page.php") };
    ASSERT_TRUE(showsNames(entries));

    QStringList opened;
    QList<QUrl> handedOver;
    QStringList alerts;
    controller->setOpenFileHandler([&](const QString& path) {
        opened.append(path);
        return true;
    });
    controller->setOpenURLHandler([&](const QUrl& url) { handedOver.append(url); });
    kit::Alert::setResponderForTesting([&](const kit::Alert& alert) {
        alerts.append(alert.messageText());
        return 1000;
    });

    clickIconOfRowNamed(QStringLiteral("lib.php"));
    EXPECT_EQ(opened, QStringList { folder.filePath(QStringLiteral("lib.php")) });
    clickIconOfRowNamed(QStringLiteral("missing.php"));
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts.at(0),
        QStringLiteral("No file exists at \"%1\"").arg(folder.filePath(QStringLiteral("missing.php"))));
    clickIconOfRowNamed(QStringLiteral("https://example.com/a.php"));
    EXPECT_EQ(handedOver, QList<QUrl> { QUrl(QStringLiteral("https://example.com/a.php")) });
    // Another scheme from the document's text is never handed to the desktop.
    clickIconOfRowNamed(QStringLiteral("smb://host/share/x.php"));
    EXPECT_EQ(handedOver.size(), 1);
    EXPECT_EQ(alerts.size(), 2);
    // A link to the document itself does nothing.
    clickIconOfRowNamed(QStringLiteral("page.php"));
    EXPECT_EQ(opened.size(), 1);
    EXPECT_EQ(alerts.size(), 2);
    // The name column does not open anything.
    clickRowNamed(QStringLiteral("lib.php"));
    EXPECT_EQ(opened.size(), 1);
}

TEST_F(KELCodeNavigatorTest, NamesOnOneLineAndANarrowPane)
{
    open(QStringLiteral("CSS"), fixtureText(QStringLiteral("outline.css")));
    ASSERT_TRUE(spinUntil([&] { return names().contains(QStringLiteral("body, html  \n")); }));
    const int row = int(names().indexOf(QStringLiteral("body, html  \n")));
    EXPECT_EQ(view->itemsTableView()->model()->index(row, 1).data().toString(), QStringLiteral("body, html   "));
    EXPECT_EQ(KELCodeNavigatorTextValueTransformer::transformedValue(QStringLiteral("a\tb\r\nc")),
        QStringLiteral("a b  c"));
    EXPECT_EQ(KELCodeNavigatorTextValueTransformer::transformedValue(42), QString());

    view->resize(20, 300);
    EXPECT_EQ(view->searchField()->width(), 0);
    EXPECT_EQ(view->itemsTableView()->geometry(), QRect(0, KELCodeNavigatorView::BarHeight, 20, 300 - 23));
    view->resize(233, 300);
    EXPECT_EQ(view->searchField()->width(), 200);
}

TEST_F(KELCodeNavigatorTest, FollowsTheDocumentAndItsOutline)
{
    open(QStringLiteral("JavaScript"), fixtureText(QStringLiteral("outline.js")));
    ASSERT_TRUE(showsNames({ QStringLiteral("Setup"), QStringLiteral("$init"), QStringLiteral("Block mark"),
        QStringLiteral("run_2") }));
    // An edit drops the entries it touched.
    structure->clearItemsInRange(Range(0, 5));
    EXPECT_TRUE(showsNames({ QStringLiteral("$init"), QStringLiteral("Block mark"), QStringLiteral("run_2") }));
    controller->setCurrentDocument(nullptr, nullptr);
    EXPECT_TRUE(showsNames({}));
}

TEST_F(KELCodeNavigatorTest, AControllerHandedToItsPaneGoesWithIt)
{
    open(QStringLiteral("JavaScript"), fixtureText(QStringLiteral("outline.js")));
    ASSERT_TRUE(showsNames({ QStringLiteral("Setup"), QStringLiteral("$init"), QStringLiteral("Block mark"),
        QStringLiteral("run_2") }));
    // As a window hosts it: the pane owns the controller.
    KELCodeNavigatorViewController* hosted = controller.release();
    hosted->setParent(view);
    QPointer<KELCodeNavigatorViewController> watch(hosted);
    delete view;
    view = nullptr;
    EXPECT_TRUE(watch.isNull());
    structure->clearItemsInRange(Range(0, 5));
    QCoreApplication::processEvents();
}

} // namespace
