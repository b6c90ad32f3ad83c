#include "document/MyDocumentCommands.h"

#include "support/DefaultsKeys.h"
#include "support/Notifications.h"
#include "app/RegisteredDefaults.h"
#include "document/MyDocument.h"
#include "editor/KELHTMLView.h"
#include "kit/NotificationCenter.h"
#include "kit/UndoManager.h"
#include "kit/UserDefaults.h"
#include "kit/text/ScrollView.h"
#include "kit/text/TextStorage.h"

#include <QApplication>
#include <QPdfDocument>
#include <QPdfSelection>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

using kit::NotFound;
using kit::Range;

namespace {

class TypedDocument : public MyDocument
{
public:
    QString type = QStringLiteral("HTML");
    QString syntaxTypeName() const override { return type; }
};

class MyDocumentCommandsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        kit::UserDefaults::standard().resetForTesting();
        KELRegisterDefaults();
        kit::UserDefaults::standard().setValue(KELCheckSpellingAsYouType, false);
        MyDocumentCommands::services() = {};
        document = std::make_unique<TypedDocument>();
        scroll = std::make_unique<kit::ScrollView>();
        view = new KELHTMLView;
        scroll->setDocumentView(view);
        scroll->resize(500, 300);
        commands = std::make_unique<MyDocumentCommands>(document.get(), view);
    }
    void TearDown() override
    {
        commands.reset();
        scroll.reset();
        document.reset();
        MyDocumentCommands::services() = {};
    }
    void setText(const QString& s, Range selection)
    {
        view->setString(s);
        view->setSelectedRange(selection);
    }
    QString text() const { return view->textStorage()->string(); }

    std::unique_ptr<TypedDocument> document;
    std::unique_ptr<kit::ScrollView> scroll;
    KELHTMLView* view = nullptr;
    std::unique_ptr<MyDocumentCommands> commands;
};

TEST_F(MyDocumentCommandsTest, FormatTagsWrapsOrReplacesTheSelection)
{
    struct Case
    {
        const char* title;
        bool capitalize;
        qlonglong wrapDefault;
        const char* expected;
    } cases[] = {
        { "Bold", true, 0, "a <B>word</B> b" },
        { "Bold", false, 1, "a <b></b> b" },
        { "Paragraph", false, 0, "a <p>word</p> b" },
        { "Horizontal Rule", false, 0, "a <hr>word b" },
        { "Line Break", true, 1, "a <BR> b" },
        { "Nothing Known", false, 0, "a word b" },
    };
    for (const Case& c : cases) {
        kit::UserDefaults::standard().setValue(KELShouldCapitalizeTagsKey, c.capitalize);
        kit::UserDefaults::standard().setValue(KELShouldWrapInsertedTagsAroundSelectedTextKey, c.wrapDefault);
        setText(QStringLiteral("a word b"), Range(2, 4));
        commands->formatTags(QString::fromUtf8(c.title));
        EXPECT_EQ(text(), QString::fromUtf8(c.expected)) << c.title;
    }
    EXPECT_EQ(view->undoManager()->undoActionName(), QStringLiteral("Format Tag"));
}

TEST_F(MyDocumentCommandsTest, LinkSelectsTheAddressToType)
{
    setText(QStringLiteral("xy"), Range(1, 0));
    commands->formatTags(QStringLiteral("Link to URL"));
    EXPECT_EQ(text(), QStringLiteral("x<a href=\"http://\"><#text#></a>y"));
    EXPECT_EQ(text().mid(view->selectedRange().location, view->selectedRange().length), QStringLiteral("http://"));
    setText(QStringLiteral("go here"), Range(3, 4));
    commands->linkSelectionToUrl();
    EXPECT_EQ(text(), QStringLiteral("go <a href=\"http://\">here</a>"));
    EXPECT_TRUE(commands->validateAction(QStringLiteral("linkSelectionToUrl:"), nullptr));
    document->type = QStringLiteral("CSS");
    EXPECT_FALSE(commands->validateAction(QStringLiteral("linkSelectionToUrl:"), nullptr));
}

TEST_F(MyDocumentCommandsTest, GoToLineAndPlaceholders)
{
    struct Case
    {
        const char* text;
        qint64 line;
        bool ok;
        Range selection;
    } cases[] = {
        { "a\nbb\nc", 2, true, Range(2, 3) },
        { "a\nbb\nc", 3, true, Range(5, 1) },
        { "a\nbb\nc", 4, false, Range(0, 0) },
        { "a\nbb\n", 3, true, Range(5, 0) },
        { "a\nbb\n", 4, false, Range(0, 0) },
        { "", 1, false, Range(0, 0) },
        { "a", 0, false, Range(0, 0) },
    };
    for (const Case& c : cases) {
        setText(QString::fromUtf8(c.text), Range(0, 0));
        EXPECT_EQ(commands->showLineNumber(c.line), c.ok) << c.text << c.line;
        EXPECT_EQ(view->selectedRange(), c.selection) << c.text << c.line;
    }

    setText(QStringLiteral("<#one#> and <#two#>"), Range(0, 0));
    EXPECT_TRUE(commands->selectNextPlaceholder());
    EXPECT_EQ(view->selectedRange(), Range(0, 7));
    EXPECT_TRUE(commands->selectNextPlaceholder());
    EXPECT_EQ(view->selectedRange(), Range(12, 7));
    EXPECT_TRUE(commands->selectNextPlaceholder());
    EXPECT_EQ(view->selectedRange(), Range(0, 7));
    setText(QStringLiteral("none here"), Range(0, 0));
    EXPECT_FALSE(commands->selectNextPlaceholder());
}

TEST_F(MyDocumentCommandsTest, SpellingMarksStayOffEntityNamesAndMarkup)
{
    setText(QStringLiteral("a &amp; b &abcdefghij; <p>"), Range(0, 0));
    EXPECT_EQ(commands->textViewShouldSetSpellingState(view, 1, Range(3, 3)), 0);
    EXPECT_EQ(commands->textViewShouldSetSpellingState(view, 1, Range(11, 10)), 1);
    EXPECT_EQ(commands->textViewShouldSetSpellingState(view, 0, Range(0, 1)), 0);
    MyDocumentCommands::services().isTextInRange = [](KELHTMLView*, Range r) { return r.location < 23; };
    EXPECT_EQ(commands->textViewShouldSetSpellingState(view, 1, Range(24, 1)), 0);
    EXPECT_EQ(commands->textViewShouldSetSpellingState(view, 1, Range(0, 1)), 1);
    document->type = QStringLiteral("CSS");
    EXPECT_EQ(commands->textViewShouldSetSpellingState(view, 1, Range(0, 1)), 0);

    // A double click in markup takes whole names such as data-foo_bar.
    document->type = QStringLiteral("HTML");
    setText(QStringLiteral("<div data-foo_bar=1> data-x"), Range(0, 0));
    MyDocumentCommands::services().isTextInRange = [](KELHTMLView*, Range r) { return r.location >= 20; };
    EXPECT_EQ(commands->textViewSelectionRangeForProposedRange(view, Range(10, 3), kit::SelectionGranularity::Word),
        Range(5, 12));
    EXPECT_EQ(commands->textViewSelectionRangeForProposedRange(view, Range(22, 4), kit::SelectionGranularity::Word),
        Range(NotFound, 0));
}

TEST_F(MyDocumentCommandsTest, ShiftAndCommentCommandsGoThroughTheEditor)
{
    setText(QStringLiteral("a\nb"), Range(0, 3));
    commands->performAction(QStringLiteral("shiftRight:"), nullptr);
    EXPECT_EQ(text(), QStringLiteral("\ta\n\tb"));

    EXPECT_FALSE(commands->validateAction(QStringLiteral("toggleComments:"), nullptr));
    bool commented = false;
    MyDocumentCommands::services().canAddOrRemoveCommentsForSelection = [&](MyDocumentCommands&, bool* c) {
        *c = commented;
        return true;
    };
    MyDocumentCommands::services().isSelectionCommented = [&](MyDocumentCommands&) { return commented; };
    MyDocumentCommands::services().addCommentsForSelection = [&](MyDocumentCommands&) { commented = true; };
    MyDocumentCommands::services().removeCommentsForSelection = [&](MyDocumentCommands&) { commented = false; };
    QAction item(QStringLiteral("x"));
    EXPECT_TRUE(commands->validateAction(QStringLiteral("toggleComments:"), &item));
    EXPECT_EQ(item.text(), QStringLiteral("Comment Selection"));
    commands->toggleComments();
    EXPECT_TRUE(commented);
    commands->validateAction(QStringLiteral("toggleComments:"), &item);
    EXPECT_EQ(item.text(), QStringLiteral("Uncomment Selection"));
}

TEST_F(MyDocumentCommandsTest, PrintsToPdfWithAndWithoutLineNumbers)
{
    QString source;
    for (int i = 0; i < 150; ++i)
        source += i ? QStringLiteral("\nalpha beta gamma") : QStringLiteral("alpha beta gamma");
    setText(source, Range(0, 0));
    QTemporaryDir dir;
    for (bool numbers : { false, true }) {
        kit::UserDefaults::standard().setValue(KELPrintDocumentEnableLineNumbering, numbers);
        const QString path = dir.filePath(numbers ? QStringLiteral("numbers.pdf") : QStringLiteral("plain.pdf"));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        ASSERT_TRUE(commands->printToPrinter(&printer));
        QPdfDocument pdf;
        ASSERT_EQ(pdf.load(path), QPdfDocument::Error::None);
        EXPECT_GT(pdf.pageCount(), 1);
        // Glyphs may come back one per line: compare without white space.
        auto pageText = [&pdf](int page) {
            return pdf.getAllText(page).text().remove(QRegularExpression(QStringLiteral("\\s")));
        };
        const QString first = pageText(0);
        EXPECT_TRUE(first.contains(QStringLiteral("alphabetagamma")));
        const QString last = pageText(pdf.pageCount() - 1);
        EXPECT_TRUE(last.contains(QStringLiteral("gamma")));
        // The numbers stand left of the text.
        const qsizetype firstDigit = first.indexOf(QRegularExpression(QStringLiteral("[0-9]")));
        EXPECT_EQ(firstDigit >= 0, numbers);
        if (numbers) {
            EXPECT_LT(firstDigit, first.indexOf(QStringLiteral("alpha")));
        }
    }
    // The print copy is dropped afterwards.
    EXPECT_EQ(commands->printTextView(), nullptr);
}

} // namespace

namespace {

TEST_F(MyDocumentCommandsTest, EditorFollowsTheFontAndWrappingBroadcasts)
{
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(21);
    kit::NotificationCenter::defaultCenter().post(
        KELSetFontNotification, nullptr, { { QStringLiteral("font"), font } });
    EXPECT_EQ(view->font().pixelSize(), 21);
    kit::UserDefaults::standard().setValue(KELWordWrap, false);
    kit::NotificationCenter::defaultCenter().post(
        KELWordWrapNotification, nullptr, { { QStringLiteral("value"), false } });
    EXPECT_FALSE(view->wrapsLines());
    kit::UserDefaults::standard().setValue(KELWordWrap, true);
    kit::NotificationCenter::defaultCenter().post(
        KELWordWrapNotification, nullptr, { { QStringLiteral("value"), true } });
    EXPECT_TRUE(view->wrapsLines());

    int coloured = 0;
    MyDocumentCommands::services().colorViewableTags = [&](MyDocument*, KELHTMLView* v) {
        EXPECT_EQ(v, view);
        ++coloured;
    };
    kit::NotificationCenter::defaultCenter().post(QStringLiteral("KELColorTags"));
    EXPECT_EQ(coloured, 1);
    EXPECT_TRUE(commands->validateAction(QStringLiteral("colorViewableTags:"), nullptr));
    EXPECT_FALSE(commands->validateAction(QStringLiteral("suggestCompletion:"), nullptr));
}

} // namespace

namespace {

TEST_F(MyDocumentCommandsTest, SpellingSkipsTagsScriptsAndStylesOnceColoured)
{
    MyDocumentCommands::services() = MyDocumentCommands::defaultServices();
    const QString source
        = QStringLiteral("<p class=\"x\">teh</p><script>var teh = 1;</script><style>p { teh: 1 }</style>");
    setText(source, Range(0, 0));
    MyDocumentCommands::services().colorWholeText(document.get(), view);
    struct Case
    {
        const char* where;
        qsizetype from;
    } cases[] = { { "paragraph text", source.indexOf(QStringLiteral("teh<")) },
        { "script", source.indexOf(QStringLiteral("teh =")) }, { "style", source.indexOf(QStringLiteral("teh:")) },
        { "attribute name", source.indexOf(QStringLiteral("class")) } };
    const int expected[] = { 1, 0, 0, 0 };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(commands->textViewShouldSetSpellingState(view, 1, Range(cases[i].from, 3)), expected[i])
            << cases[i].where;

    // The checker's answers are there too.
    document->type = QStringLiteral("PHP");
    EXPECT_TRUE(commands->validateAction(QStringLiteral("showErrorChecker:"), nullptr));
    EXPECT_TRUE(commands->validateAction(QStringLiteral("organizeTags:"), nullptr));
}

} // namespace
