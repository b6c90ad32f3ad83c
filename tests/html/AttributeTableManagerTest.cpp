#include "html/AttributeTableManager.h"

#include "support/DefaultsKeys.h"
#include "html/TagChecker.h"
#include "kit/UserDefaults.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Opens the row's value cell and types into it key by key, as a user does.
QWidget* typeIntoValue(AttributeTableManager& manager, int row, const QString& text, bool clear = true)
{
    AttributeTableView* view = manager.tableView();
    const QModelIndex index = manager.index(row, AttributeTableManager::ValueColumn);
    view->setCurrentIndex(index);
    view->edit(index);
    QWidget* editor = view->indexWidget(index);
    if (auto* box = qobject_cast<QComboBox*>(editor))
        editor = box->lineEdit();
    if (auto* field = qobject_cast<QLineEdit*>(editor)) {
        if (clear)
            field->selectAll();
        if (text.isEmpty())
            QTest::keyClick(field, Qt::Key_Backspace);
        else
            QTest::keyClicks(field, text);
    }
    return view->indexWidget(index);
}

int rowNamed(const AttributeTableManager& manager, const QString& name)
{
    for (int row = 0; row < manager.rowCount(); ++row)
        if (manager.attributes().at(row).name() == name)
            return row;
    return -1;
}

class AttributeTableManagerTest : public ::testing::Test {
protected:
    void SetUp() override { kit::UserDefaults::standard().setValue(KELShouldCapitalizeTagsKey, false); }
    void TearDown() override { kit::UserDefaults::standard().setValue(KELShouldCapitalizeTagsKey, false); }
};

TEST_F(AttributeTableManagerTest, IncludeBoxFollowsTheTyping)
{
    Tag tag;
    tag.addAttribute(QStringLiteral("alt"), TagAttribute::FreeText);
    tag.addAttribute(QStringLiteral("src"), TagAttribute::FreeText);
    AttributeTableManager manager(tag, QStringLiteral("img"));
    manager.tableView()->resize(500, 300);
    manager.tableView()->show();

    // A new element: every row unticked and empty.
    for (int row = 0; row < manager.rowCount(); ++row) {
        EXPECT_FALSE(manager.shouldInclude(row));
        EXPECT_TRUE(manager.value(row).isEmpty());
    }
    const int src = rowNamed(manager, QStringLiteral("src"));
    typeIntoValue(manager, src, QStringLiteral("a.png"));
    EXPECT_TRUE(manager.shouldInclude(src)) << "typing ticks the box at once";
    typeIntoValue(manager, src, QString());
    EXPECT_FALSE(manager.shouldInclude(src)) << "clearing the value puts the box back";

    // A box ticked by hand stays ticked when its typed value is cleared again.
    const int alt = rowNamed(manager, QStringLiteral("alt"));
    manager.changeShouldIncludeAtRow(alt);
    typeIntoValue(manager, alt, QStringLiteral("x"));
    typeIntoValue(manager, alt, QString());
    EXPECT_TRUE(manager.shouldInclude(alt));
    manager.changeShouldIncludeAtRow(99); // ignored

    // A click in the include column flips the box and opens no editor.
    const QRect cell = manager.tableView()->visualRect(manager.index(src, AttributeTableManager::IncludeColumn));
    QTest::mouseClick(manager.tableView()->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_TRUE(manager.shouldInclude(src));
    EXPECT_EQ(manager.insertString(), QStringLiteral("<img alt=\"\" src=\"\">"));
}

TEST_F(AttributeTableManagerTest, EndEditingIncludesTheRowBeingEdited)
{
    Tag tag;
    tag.addAttribute(QStringLiteral("title"), TagAttribute::FreeText);
    AttributeTableManager manager(tag, QStringLiteral("p"));
    manager.tableView()->show();
    typeIntoValue(manager, 0, QStringLiteral("Hi"));
    manager.changeShouldIncludeAtRow(0); // unticked while the cell is still open
    EXPECT_EQ(manager.insertString(), QStringLiteral("<p title=\"Hi\">"));
    EXPECT_EQ(manager.editingRow(), -1);
}

TEST_F(AttributeTableManagerTest, ComposesValuesWithTheRightQuotes)
{
    struct Case {
        const char* name;
        qint64 type;
        const char* value;
        const char* expected;
    };
    const Case cases[] = {
        {"title", TagAttribute::FreeText, "plain", "<x title=\"plain\">"},
        {"title", TagAttribute::FreeText, "say \"hi\"", "<x title='say \"hi\"'>"},
        {"title", TagAttribute::FreeText, "it's", "<x title=\"it's\">"},
        // Both quotes: double quotes, the inner ones escaped so the tag stays whole.
        {"title", TagAttribute::FreeText, "it's \"x\"", "<x title=\"it's &quot;x&quot;\">"},
        {"disabled", TagAttribute::Boolean, "KELNoValue", "<x disabled>"},
        {"disabled", TagAttribute::Boolean, "disabled", "<x disabled=\"disabled\">"},
        {"data-on", TagAttribute::NotDefined, "KELNoValue", "<x data-on=\"\">"},
    };
    for (const Case& c : cases) {
        const TagAttribute attribute(QString::fromUtf8(c.name), c.type, QString::fromUtf8(c.value));
        AttributeTableManager manager(Tag(), QStringLiteral("x"), {attribute});
        EXPECT_TRUE(manager.shouldInclude(0)) << c.value;
        EXPECT_EQ(manager.insertString(), QString::fromUtf8(c.expected)) << c.value;
    }

    // Self-closing, capitalised, and an attribute left out.
    kit::UserDefaults::standard().setValue(KELShouldCapitalizeTagsKey, true);
    AttributeTableManager br(Tag(), QStringLiteral("br"),
                             {TagAttribute(QStringLiteral("class"), TagAttribute::FreeText, QStringLiteral("a")),
                              TagAttribute(QStringLiteral("id"), TagAttribute::FreeText)});
    EXPECT_EQ(br.insertString(true), QStringLiteral("<BR class=\"a\"/>"));
}

TEST_F(AttributeTableManagerTest, ShowsNamesAndOffersValues)
{
    Tag tag;
    tag.addAttribute(QStringLiteral("dir"), TagAttribute::TextDirection);
    tag.addCustomAttribute(QStringLiteral("many"),
                           {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d"),
                            QStringLiteral("e"), QStringLiteral("f"), QStringLiteral("g"), QStringLiteral("h"),
                            QStringLiteral("i"), QStringLiteral("j"), QStringLiteral("k"), QStringLiteral("l")});
    tag.addCustomAttribute(QStringLiteral("few"), {QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z")});
    QList<TagAttribute> rows = tag.attributes();
    rows << TagAttribute(QStringLiteral("bogus"), TagAttribute::NotDefined, QStringLiteral("1"))
         << TagAttribute(QStringLiteral("/"), TagAttribute::NotDefined);
    AttributeTableManager manager(tag, QStringLiteral("div"), rows);
    manager.tableView()->show();

    EXPECT_EQ(manager.headerData(AttributeTableManager::AttributeColumn, Qt::Horizontal).toString(),
              QStringLiteral("<div> Attributes"));
    const auto colour = [&](const QString& name) {
        return manager.index(rowNamed(manager, name), AttributeTableManager::AttributeColumn).data(Qt::ForegroundRole);
    };
    EXPECT_FALSE(colour(QStringLiteral("dir")).isValid());
    EXPECT_EQ(colour(QStringLiteral("bogus")).value<QColor>(), QColor(Qt::red));
    EXPECT_FALSE(colour(QStringLiteral("/")).isValid());

    const struct {
        const char* name;
        int visible;
    } lists[] = {{"many", 5}, {"few", 3}, {"dir", 2}};
    for (const auto& list : lists) {
        const int row = rowNamed(manager, QString::fromUtf8(list.name));
        auto* box = qobject_cast<QComboBox*>(typeIntoValue(manager, row, QString(), false));
        ASSERT_TRUE(box) << list.name;
        EXPECT_EQ(box->maxVisibleItems(), list.visible) << list.name;
        manager.tableView()->commitOpenEditor();
    }
    // Free text gets a plain field.
    EXPECT_TRUE(qobject_cast<QLineEdit*>(typeIntoValue(manager, rowNamed(manager, QStringLiteral("bogus")), QString(), false)));
}

TEST_F(AttributeTableManagerTest, FillsFromTheVocabulary)
{
    const Tag* a = TagChecker::currentTagChecker().tag(QStringLiteral("a"));
    ASSERT_TRUE(a);
    AttributeTableManager manager(*a, QStringLiteral("a"));
    EXPECT_EQ(manager.rowCount(), a->attributes().size());
    const int href = rowNamed(manager, QStringLiteral("href"));
    ASSERT_GE(href, 0);
    manager.tableView()->show();
    typeIntoValue(manager, href, QStringLiteral("https://example.org/"));
    EXPECT_EQ(manager.insertString(), QStringLiteral("<a href=\"https://example.org/\">"));
}

} // namespace
