#include "componentui/KELComponentLibraryListView.h"
#include "componentui/KELComponentLibrarySelectButton.h"
#include "componentui/LibraryTestSupport.h"

#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "AccessibleEventLog.h"
#include <QAccessible>

using namespace librarytest;

namespace {

class Source : public KELComponentViewDataSource, public KELComponentViewDelegate {
public:
    QList<std::shared_ptr<KELComponent>> components() const override { return list; }
    void componentWasSelected(const std::shared_ptr<KELComponent>& component) override { chosen << component; }
    QList<std::shared_ptr<KELComponent>> list;
    QList<std::shared_ptr<KELComponent>> chosen;
};

QStringList outline(QTreeWidget* tree)
{
    QStringList rows;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem* group = tree->topLevelItem(i);
        QStringList children;
        for (int j = 0; j < group->childCount(); ++j)
            children << group->child(j)->text(0);
        rows << group->text(0) + (group->isExpanded() ? QStringLiteral(" +") : QStringLiteral(" -")) + QStringLiteral(": ")
                + children.join(QStringLiteral(", "));
    }
    return rows;
}

class KELComponentLibraryListViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        catalogue = makeCatalogue(dir.path(), {
            {QStringLiteral("Tabs"), QStringLiteral("layout"), {}},
            {QStringLiteral("Menu"), QStringLiteral("Navigation"), {}},
            {QStringLiteral("Box"), QStringLiteral("layout"), {}},
            {QStringLiteral("Link"), QStringLiteral("Navigation"), {}},
            {QStringLiteral("Audio"), QStringLiteral("Media"), {}},
        });
        source.list = catalogue;
        view.setDataSource(&source);
        view.setDelegate(&source);
        view.resize(800, 500);
        view.show();
        view.reloadComponents();
    }
    QTemporaryDir dir;
    QList<std::shared_ptr<KELComponent>> catalogue;
    Source source;
    KELComponentLibraryListView view;
};

} // namespace

TEST_F(KELComponentLibraryListViewTest, GroupsSortedWithoutCaseAndTheirComponentsByName)
{
    EXPECT_EQ(outline(view.outlineView()),
              QStringList({"layout +: Box, Tabs", "Media +: Audio", "Navigation +: Link, Menu"}));
    EXPECT_EQ(view.iconView()->placeholderText(), QStringLiteral("Select a Component"));
    source.list.clear();
    view.reloadComponents();
    EXPECT_TRUE(outline(view.outlineView()).isEmpty());
    EXPECT_EQ(view.iconView()->placeholderText(), QStringLiteral("No Search Results"));
}

TEST_F(KELComponentLibraryListViewTest, CollapsedGroupStaysCollapsedAcrossSearches)
{
    view.outlineView()->topLevelItem(0)->setExpanded(false); // layout
    source.list = {catalogue[1], catalogue[4]}; // a search without layout
    view.reloadComponents();
    EXPECT_EQ(outline(view.outlineView()), QStringList({"Media +: Audio", "Navigation +: Menu"}));
    source.list = catalogue; // the search cleared
    view.reloadComponents();
    EXPECT_EQ(outline(view.outlineView()),
              QStringList({"layout -: Box, Tabs", "Media +: Audio", "Navigation +: Link, Menu"}));
}

TEST_F(KELComponentLibraryListViewTest, SelectedComponentShowsLargeAndReturnChoosesIt)
{
    QTreeWidget* tree = view.outlineView();
    tree->setCurrentItem(tree->topLevelItem(2)->child(1)); // Menu
    ASSERT_TRUE(view.iconView()->component());
    EXPECT_EQ(view.iconView()->component()->name(), QStringLiteral("Menu"));
    EXPECT_TRUE(view.iconView()->selectButton()->isVisible());
    QTest::keyClick(tree, Qt::Key_Return);
    ASSERT_EQ(source.chosen.size(), 1);
    EXPECT_EQ(source.chosen.first()->name(), QStringLiteral("Menu"));
    view.iconView()->selectButton()->click();
    EXPECT_EQ(source.chosen.size(), 2);
    // A group row chooses nothing and shows nothing.
    tree->setCurrentItem(tree->topLevelItem(0));
    EXPECT_FALSE(view.iconView()->component());
    EXPECT_FALSE(view.iconView()->selectButton()->isVisible());
    QTest::keyClick(tree, Qt::Key_Return);
    EXPECT_EQ(source.chosen.size(), 2);
    // The selection survives a reload that keeps its component.
    tree->setCurrentItem(tree->topLevelItem(1)->child(0)); // Audio
    source.list = {catalogue[4], catalogue[0]};
    view.reloadComponents();
    ASSERT_TRUE(view.selectedComponent());
    EXPECT_EQ(view.selectedComponent()->name(), QStringLiteral("Audio"));
}

TEST_F(KELComponentLibraryListViewTest, ReadersHearComponentsWithTheirDescriptions)
{
    QTemporaryDir other;
    source.list = makeCatalogue(other.path(), {{QStringLiteral("Menu"), QStringLiteral("Navigation"), QStringLiteral("A bar of links")}});
    view.reloadComponents();
    QTreeWidget* tree = view.outlineView();
    QAccessibleInterface* outline = QAccessible::queryAccessibleInterface(tree);
    ASSERT_TRUE(outline);
    EXPECT_EQ(outline->text(QAccessible::Name), QStringLiteral("Components"));
    QTreeWidgetItem* group = tree->topLevelItem(0);
    ASSERT_TRUE(group && group->childCount() == 1);
    EXPECT_EQ(group->child(0)->text(0), QStringLiteral("Menu"));
    EXPECT_EQ(group->child(0)->data(0, Qt::AccessibleDescriptionRole).toString(), QStringLiteral("A bar of links"));
}
