// The insert panels driven as a user drives them: fields typed into, buttons
// clicked, and the text of the editor in front checked afterwards.
#include "htmlui/AdvancedInsertController.h"
#include "htmlui/ColorController.h"
#include "htmlui/MetaController.h"

#include "../editor/EditorTestSupport.h"
#include "support/KELSyntaxCheckError.h"
#include "checker/KELSyntaxCheckResult.h"
#include "checker/KELSyntaxCheckTypeHTML.h"
#include "html/AttributeTableManager.h"
#include "kit/ColorPanel.h"
#include "kit/UndoManager.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

using kit::Range;

namespace {

// The messages of our HTML check for the snippet placed in a page's head or body.
QStringList htmlErrors(const QString& head, const QString& body)
{
    const QString page = QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<title>t</title>\n") + head
        + QStringLiteral("\n</head>\n<body>\n") + body + QStringLiteral("\n</body>\n</html>\n");
    KELSyntaxCheckResult result;
    KELSyntaxCheckTypeHTML::sharedInstance().checkForErrors(result, page, false);
    QStringList messages;
    if (const KELSyntaxCheckTypeResult* html = result.typeResultForType(QStringLiteral("HTML")))
        for (const KELSyntaxCheckError& error : html->errors())
            messages << error.title() + QStringLiteral(": ") + error.description();
    return messages;
}

class InsertPanelsTest : public EditorViewTest {
protected:
    void SetUp() override
    {
        EditorViewTest::SetUp();
        InsertController::setEditorProviderForTesting([this] { return view; });
    }
    void TearDown() override
    {
        MetaController::sharedInstance().close();
        ColorController::sharedInstance().close();
        AdvancedInsertController::sharedInstance().close();
        InsertController::setEditorProviderForTesting({});
        EditorViewTest::TearDown();
    }
    template <typename T> static T* child(InsertController& controller, const char* name)
    {
        T* widget = controller.window()->findChild<T*>(QString::fromLatin1(name));
        EXPECT_TRUE(widget) << name;
        return widget;
    }
    static void click(InsertController& controller, const char* name)
    {
        QTest::mouseClick(child<QAbstractButton>(controller, name), Qt::LeftButton);
    }
    static void typeInto(QWidget* field, const QString& text)
    {
        if (auto* box = qobject_cast<QComboBox*>(field))
            field = box->lineEdit();
        if (auto* spin = qobject_cast<QSpinBox*>(field))
            field = spin->findChild<QLineEdit*>();
        auto* edit = qobject_cast<QLineEdit*>(field);
        ASSERT_TRUE(edit);
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
    }
};

TEST_F(InsertPanelsTest, MetaTagComposition)
{
    struct Case {
        bool httpEquiv;
        const char* key;
        bool refresh;
        const char* content;
        bool capitalize;
        qint64 wrap;
        const char* expected;
    };
    const Case cases[] = {
        {false, "keywords", false, "html editor", false, 1, "a <meta name=\"keywords\" content=\"html editor\"> b"},
        {false, "keywords", false, "html editor", false, 0,
         "a <meta name=\"keywords\" content=\"html editor\">Home b"},
        {true, "refresh", true, "http://example.org/", true, 1,
         "a <META http-equiv=\"refresh\" content=\"5;URL='http://example.org/'\"> b"},
        // A double quote typed into a value does not end the attribute.
        {false, "description", false, "the \"best\"", false, 1,
         "a <meta name=\"description\" content=\"the &quot;best&quot;\"> b"},
    };
    MetaController& meta = MetaController::sharedInstance();
    for (const Case& c : cases) {
        kit::UserDefaults::standard().setValue(KELShouldCapitalizeTagsKey, c.capitalize);
        kit::UserDefaults::standard().setValue(KELShouldWrapInsertedTagsAroundSelectedTextKey, c.wrap);
        view->setString(QStringLiteral("a Home b"));
        view->setSelectedRange(Range(2, 4));
        meta.showWindow();
        click(meta, c.httpEquiv ? "httpEquivRadio" : "nameRadio");
        typeInto(child<QComboBox>(meta, c.httpEquiv ? "HTTPBox" : "nameBox"), QString::fromUtf8(c.key));
        if (c.refresh) {
            click(meta, "refreshRadio");
            typeInto(child<QSpinBox>(meta, "timerField"), QStringLiteral("5"));
            typeInto(child<QLineEdit>(meta, "timerURLField"), QString::fromUtf8(c.content));
        } else {
            typeInto(child<QLineEdit>(meta, "contentTextField"), QString::fromUtf8(c.content));
        }
        click(meta, "insertButton");
        EXPECT_EQ(view->string(), QString::fromUtf8(c.expected));
        EXPECT_EQ(view->editorUndoManager()->undoActionName(), QStringLiteral("Insert Meta Tag"));
        const QString inserted = view->string().mid(2, view->string().indexOf(QLatin1Char('>')) - 1);
        EXPECT_EQ(htmlErrors(inserted, QString()), QStringList()) << inserted.toStdString();
        EXPECT_FALSE(meta.window()->isVisible());
        // The panel starts the next showing afresh.
        EXPECT_TRUE(child<QLineEdit>(meta, "contentTextField")->text().isEmpty());
        EXPECT_EQ(child<QLineEdit>(meta, "timerURLField")->text(), QStringLiteral("http://"));
    }
    kit::UserDefaults::standard().setValue(KELShouldCapitalizeTagsKey, false);

    // One insertion is one undo step.
    view->setString(QStringLiteral("a Home b"));
    view->setSelectedRange(Range(2, 4));
    QApplication::processEvents();
    meta.showWindow();
    typeInto(child<QComboBox>(meta, "nameBox"), QStringLiteral("author"));
    click(meta, "insertButton");
    QApplication::processEvents();
    view->editorUndoManager()->undo();
    EXPECT_EQ(view->string(), QStringLiteral("a Home b"));
}

TEST_F(InsertPanelsTest, MetaTimerIsClampedAsTyped)
{
    MetaController& meta = MetaController::sharedInstance();
    meta.showWindow();
    auto* timer = child<QSpinBox>(meta, "timerField");
    const struct {
        const char* typed;
        int value;
    } cases[] = {{"2000", 1000}, {"-5", 0}, {"42", 42}, {"99999999999999999999", 1000}};
    for (const auto& c : cases) {
        typeInto(timer, QString::fromLatin1(c.typed));
        EXPECT_EQ(timer->value(), c.value) << c.typed;
        EXPECT_EQ(timer->text(), QString::number(c.value)) << c.typed;
    }
}

TEST_F(InsertPanelsTest, ColorFieldWellAndInsertion)
{
    ColorController& color = ColorController::sharedInstance();
    const struct {
        const char* typed;
        const char* inserted;
    } cases[] = {{"", "#"}, {"#FF0000", "#FF0000"}, {"abc", "#abc"}, {"red", "#red"}};
    for (const auto& c : cases) {
        view->setString(QStringLiteral("x"));
        view->setSelectedRange(Range(1, 0));
        color.showWindow();
        typeInto(child<QLineEdit>(color, "colorField"), QString::fromUtf8(c.typed));
        click(color, "insertButton");
        EXPECT_EQ(view->string(), QStringLiteral("x") + QString::fromUtf8(c.inserted)) << c.typed;
        EXPECT_EQ(view->editorUndoManager()->undoActionName(), QStringLiteral("Insert Color"));
    }

    // The field recolours the well; a pick in the shared panel comes back as
    // six lower-case digits, once, on the next turn.
    color.showWindow();
    auto* field = child<QLineEdit>(color, "colorField");
    typeInto(field, QStringLiteral("#00ff00"));
    EXPECT_EQ(child<KELColorWell>(color, "colorWell")->color(), QColor(0, 255, 0));
    click(color, "colorWell");
    kit::ColorPanel& panel = kit::ColorPanel::sharedColorPanel();
    EXPECT_TRUE(panel.isVisible());
    EXPECT_EQ(panel.namedColorCount(), 148);
    typeInto(field, QStringLiteral("1"));
    EXPECT_FALSE(panel.isVisible()) << "typing closes the shared panel";
    click(color, "colorWell");
    int updates = 0;
    QObject::connect(field, &QLineEdit::textChanged, field, [&] { ++updates; });
    color.setColor(QColor(0x12, 0xAB, 0xEF));
    color.setColor(QColor(0x12, 0xAB, 0xEE));
    EXPECT_EQ(updates, 0);
    QApplication::processEvents();
    EXPECT_EQ(updates, 1);
    EXPECT_EQ(field->text(), QStringLiteral("12abee"));
    // A named colour picked in the panel reaches the field.
    auto* names = panel.findChild<QListWidget*>(QStringLiteral("colorNames"));
    ASSERT_TRUE(names);
    const QList<QListWidgetItem*> found = names->findItems(QStringLiteral("rebeccapurple"), Qt::MatchFixedString);
    ASSERT_EQ(found.size(), 1);
    const QRect rect = names->visualItemRect(found.first());
    names->scrollToItem(found.first());
    QTest::mouseClick(names->viewport(), Qt::LeftButton, {}, names->visualItemRect(found.first()).center());
    Q_UNUSED(rect);
    QApplication::processEvents();
    EXPECT_EQ(field->text(), QStringLiteral("663399"));
    color.cancelInsertColor();
    EXPECT_FALSE(panel.isVisible());
    EXPECT_TRUE(field->text().isEmpty());
}

TEST_F(InsertPanelsTest, AdvancedInsertInTwoSteps)
{
    AdvancedInsertController& advanced = AdvancedInsertController::sharedInstance();
    advanced.showWindow();
    QTableWidget* list = advanced.tagSelectTableView();
    ASSERT_TRUE(list);
    EXPECT_EQ(advanced.step(), 1);
    EXPECT_FALSE(child<QPushButton>(advanced, "backButton")->isEnabled());

    struct Case {
        bool capitalize;
        qint64 wrap;
        bool closeTag;
        const char* expected;
        Range selection;
    };
    const Case cases[] = {
        {true, 0, true, "say <P>Hello</P> now", Range(7, 5)},
        {true, 1, true, "say <P></P> now", Range(11, 0)},
        {false, 1, false, "say <p> now", Range(7, 0)},
    };
    for (const Case& c : cases) {
        kit::UserDefaults::standard().setValue(KELShouldCapitalizeTagsKey, c.capitalize);
        kit::UserDefaults::standard().setValue(KELShouldWrapInsertedTagsAroundSelectedTextKey, c.wrap);
        view->setString(QStringLiteral("say Hello now"));
        view->setSelectedRange(Range(4, 5));
        const QList<QTableWidgetItem*> p = list->findItems(QStringLiteral("p"), Qt::MatchExactly);
        ASSERT_EQ(p.size(), 1);
        list->scrollToItem(p.first());
        const QPoint at = list->visualItemRect(p.first()).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        ASSERT_EQ(advanced.step(), 2);
        EXPECT_EQ(child<QPushButton>(advanced, "nextButton")->text(), QStringLiteral("Insert"));
        auto* closeTag = child<QCheckBox>(advanced, "closeTagButton");
        if (closeTag->isChecked() != c.closeTag)
            QTest::mouseClick(closeTag, Qt::LeftButton, {}, QPoint(8, closeTag->height() / 2));
        click(advanced, "nextButton");
        EXPECT_EQ(view->string(), QString::fromUtf8(c.expected));
        EXPECT_EQ(view->selectedRange(), c.selection);
        EXPECT_EQ(view->editorUndoManager()->undoActionName(), QStringLiteral("Advanced Insert"));
        EXPECT_EQ(advanced.step(), 1);
    }
    kit::UserDefaults::standard().setValue(KELShouldCapitalizeTagsKey, false);

    // Attributes typed in step 2; the markup passes the HTML check.
    view->setString(QString());
    const QList<QTableWidgetItem*> img = list->findItems(QStringLiteral("img"), Qt::MatchExactly);
    ASSERT_EQ(img.size(), 1);
    list->setCurrentItem(img.first());
    click(advanced, "nextButton");
    AttributeTableManager* manager = advanced.manager();
    ASSERT_TRUE(manager);
    for (int row = 0; row < manager->rowCount(); ++row) {
        const QString name = manager->attributes().at(row).name();
        if (name != QLatin1String("src") && name != QLatin1String("alt"))
            continue;
        const QModelIndex index = manager->index(row, AttributeTableManager::ValueColumn);
        manager->tableView()->setCurrentIndex(index);
        manager->tableView()->edit(index);
        auto* field = qobject_cast<QLineEdit*>(manager->tableView()->indexWidget(index));
        ASSERT_TRUE(field);
        QTest::keyClicks(field, name == QLatin1String("src") ? QStringLiteral("sea.png") : QStringLiteral("The \"sea\""));
    }
    click(advanced, "nextButton");
    EXPECT_EQ(view->string(), QStringLiteral("<img alt='The \"sea\"' src=\"sea.png\">"));
    EXPECT_EQ(htmlErrors(QString(), view->string()), QStringList());

    // Without a selected element Next beeps and stays; without an editor Insert stays in step 2.
    list->clearSelection();
    click(advanced, "nextButton");
    EXPECT_EQ(advanced.step(), 1);
    list->selectRow(0);
    click(advanced, "nextButton");
    ASSERT_EQ(advanced.step(), 2);
    InsertController::setEditorProviderForTesting([] { return nullptr; });
    click(advanced, "nextButton");
    EXPECT_EQ(advanced.step(), 2);
    click(advanced, "backButton");
    EXPECT_EQ(advanced.step(), 1);
}

TEST_F(InsertPanelsTest, ElementListFollowsTheVocabularyChoice)
{
    AdvancedInsertController& advanced = AdvancedInsertController::sharedInstance();
    advanced.showWindow();
    QTableWidget* list = advanced.tagSelectTableView();
    kit::UserDefaults::standard().setValue(KELShowHTML5Completions, true);
    EXPECT_FALSE(list->findItems(QStringLiteral("section"), Qt::MatchExactly).isEmpty());
    kit::UserDefaults::standard().setValue(KELShowHTML5Completions, false);
    EXPECT_TRUE(list->findItems(QStringLiteral("section"), Qt::MatchExactly).isEmpty());
    kit::UserDefaults::standard().setValue(KELShowHTML5Completions, true);
}

TEST_F(InsertPanelsTest, NoEditorBeepsAndStillCloses)
{
    InsertController::setEditorProviderForTesting([] { return nullptr; });
    MetaController& meta = MetaController::sharedInstance();
    meta.showWindow();
    typeInto(child<QLineEdit>(meta, "contentTextField"), QStringLiteral("x"));
    click(meta, "insertButton");
    EXPECT_FALSE(meta.window()->isVisible());
    EXPECT_TRUE(child<QLineEdit>(meta, "contentTextField")->text().isEmpty());
    ColorController& color = ColorController::sharedInstance();
    color.showWindow();
    click(color, "insertButton");
    EXPECT_FALSE(color.window()->isVisible());
}

} // namespace
