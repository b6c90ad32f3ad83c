#include "document/MyDocumentCommands.h"

#include "app/RegisteredDefaults.h"
#include "document/MyDocument.h"
#include "editor/KELHTMLView.h"
#include "kit/UserDefaults.h"
#include "kit/text/ScrollView.h"
#include "kit/text/TextStorage.h"
#include "syntax/DocumentColoringManager.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

using kit::Range;

namespace {

class HTMLDocument : public MyDocument
{
public:
    QString syntaxTypeName() const override { return QStringLiteral("HTML"); }
};

// The hooks as the program installs them, over a document with its own editor.
class MyDocumentCommandsServicesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        kit::UserDefaults::standard().resetForTesting();
        KELRegisterDefaults();
        MyDocumentCommands::services() = MyDocumentCommands::defaultServices();
        document = std::make_unique<HTMLDocument>();
        view = document->textView();
        ASSERT_NE(view, nullptr);
        ASSERT_NE(document->commands(), nullptr);
    }
    void TearDown() override
    {
        document.reset();
        MyDocumentCommands::services() = {};
    }
    void setText(const QString& s, Range selection)
    {
        view->setString(s);
        document->coloringManager()->colorAllTags();
        view->setSelectedRange(selection);
    }
    QString text() const { return view->textStorage()->string(); }

    std::unique_ptr<HTMLDocument> document;
    KELHTMLView* view = nullptr;
};

TEST_F(MyDocumentCommandsServicesTest, CommentCommandsWorkThroughTheDocumentOutline)
{
    const QString page = QStringLiteral("<html><body><p>hello</p></body></html>");
    const qsizetype at = page.indexOf(QStringLiteral("hello"));
    setText(page, Range(at, 5));
    MyDocumentCommands::Services& s = MyDocumentCommands::services();
    MyDocumentCommands& commands = *document->commands();

    bool commented = true;
    ASSERT_TRUE(s.canAddOrRemoveCommentsForSelection(commands, &commented));
    EXPECT_FALSE(commented);
    EXPECT_FALSE(s.isSelectionCommented(commands));

    commands.toggleComments();
    EXPECT_TRUE(text().contains(QStringLiteral("<!--"))) << text().toStdString();
    EXPECT_TRUE(text().contains(QStringLiteral("hello")));
    EXPECT_TRUE(s.isSelectionCommented(commands));

    commands.toggleComments();
    EXPECT_EQ(text(), page);
}

TEST_F(MyDocumentCommandsServicesTest, ColouringHooksReachTheDocumentsColoringManager)
{
    MyDocumentCommands::Services& s = MyDocumentCommands::services();
    ASSERT_TRUE(s.colorAllTags && s.colorViewableTags);
    ASSERT_TRUE(s.suggestCompletion);
    view->setString(QStringLiteral("<p class=\"x\">text</p>"));
    s.colorAllTags(document.get(), view);
    s.colorViewableTags(document.get(), view);
    // A document without an editor is left alone.
    HTMLDocument bare;
    s.colorAllTags(&bare, nullptr);
    s.colorViewableTags(nullptr, nullptr);
}

TEST_F(MyDocumentCommandsServicesTest, LivePreviewTakesTheEditorAndGivesItBack)
{
    view->setString(QStringLiteral("<p>hello</p>"));
    QWidget* area = document->primaryEditView();
    kit::ScrollView* scroll = document->scrollView();
    ASSERT_EQ(scroll->parentWidget(), area);

    MyDocumentCommands::services().toggleLivePreview(document.get());
    EXPECT_TRUE(document->isLivePreviewing());
    EXPECT_NE(document->currentEditView(), area);
    EXPECT_NE(scroll->parentWidget(), area);
    MyDocumentCommands::services().refreshLivePreview(document.get());

    MyDocumentCommands::services().toggleLivePreview(document.get());
    EXPECT_FALSE(document->isLivePreviewing());
    EXPECT_EQ(document->currentEditView(), area);
    EXPECT_EQ(scroll->parentWidget(), area);
    EXPECT_EQ(document->textView(), view);
}

} // namespace
