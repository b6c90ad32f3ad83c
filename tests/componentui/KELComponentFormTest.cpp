// The forms of the shipped components as a user meets them: sections that open
// and close and take their content's height, a form pane wide enough for every
// row, texts of several lines edited as such, an accordion that shows its open
// item whole, and the drop-down frame of repeated variables.

#include "componentui/KELAccordionView.h"
#include "componentui/KELComponentController.h"
#include "componentui/KELIndexedVariableController.h"
#include "componentui/KELSimpleVariableControllers.h"
#include "componentui/KELVariableViews.h"

#include "ComponentUITestSupport.h"
#include "components/KELComponentManager.h"
#include "kit/UserDefaults.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>

using namespace componentuitest;

namespace {

/// A shipped component's editors in a form pane of their own, shown.
struct Form {
    explicit Form(const QString& componentName, int height = 500)
    {
        const KELComponentManager manager({ KELComponentManager::componentsDirectory() });
        definition = KELComponentDefinition::definitionWithComponent(manager.componentWithName(componentName));
        if (definition && definition->variableGroup())
            root = KELVariableController::rootControllerWithVariable(*definition->variableGroup(), true);
        if (root)
            manager_ = std::make_unique<KELComponentUndoManager>(root);
        pane.setFormView(root ? root->view() : nullptr);
        pane.resize(pane.sizeHint().width(), height);
        pane.show();
        settle();
    }
    explicit Form(const QTemporaryDir& dir, const QString& variables, int height = 500)
    {
        definition = KELComponentDefinition::definitionWithComponent(fixtureComponent(dir, variables, QString()));
        if (definition && definition->variableGroup())
            root = KELVariableController::rootControllerWithVariable(*definition->variableGroup(), true);
        pane.setFormView(root ? root->view() : nullptr);
        pane.resize(pane.sizeHint().width(), height);
        pane.show();
        settle();
    }
    ~Form()
    {
        if (root)
            root->controllerWillClose();
        manager_.reset();
    }
    /// Lets layouts run.
    void settle()
    {
        endOfEvent();
        if (pane.widget() && pane.widget()->layout())
            pane.widget()->layout()->activate();
        endOfEvent();
    }
    /// Whether the widget lies wholly within the width of the pane's visible area.
    bool fitsWidth(const QWidget* widget) const
    {
        const QRect shown(widget->mapTo(pane.viewport(), QPoint(0, 0)), widget->size());
        return shown.left() >= 0 && shown.right() < pane.viewport()->width();
    }

    std::shared_ptr<KELComponentDefinition> definition;
    KELVariableControllerPtr root;
    std::unique_ptr<KELComponentUndoManager> manager_;
    KELVariableFormScrollArea pane;
};

QList<KELVariableCollapsibleView*> sectionsOf(QWidget* group)
{
    QList<KELVariableCollapsibleView*> sections;
    if (auto* stack = qobject_cast<KELVariableGroupView*>(group)) {
        for (QWidget* view : stack->stackedViews()) {
            if (auto* section = qobject_cast<KELVariableCollapsibleView*>(view))
                sections.append(section);
        }
    }
    return sections;
}

/// The visible sections lie one below the other without overlapping.
void expectStackedWithoutOverlap(const QList<KELVariableCollapsibleView*>& sections)
{
    const KELVariableCollapsibleView* above = nullptr;
    for (const KELVariableCollapsibleView* section : sections) {
        if (section->isHidden())
            continue;
        if (above) {
            EXPECT_GE(section->geometry().top(), above->geometry().bottom() + 1) << section->title().toStdString();
        }
        above = section;
    }
}

} // namespace

TEST(KELComponentFormTest, TabsSectionsOpenAndCloseAndTakeTheirContentsHeight)
{
    kit::UserDefaults::standard().resetForTesting();
    Form form(QStringLiteral("Tabs"));
    ASSERT_TRUE(form.root);
    auto* tabs = controllerAt<KELIndexedVariableController>(form.root, QStringLiteral("tabs"));
    ASSERT_TRUE(tabs);
    QList<KELVariableCollapsibleView*> sections = sectionsOf(tabs->view());
    ASSERT_EQ(sections.size(), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(sections.at(i)->title(), QStringLiteral("Tab %1:").arg(i + 1));
        // Closed: the header alone, the fields out of sight.
        EXPECT_TRUE(sections.at(i)->collapsed());
        EXPECT_FALSE(sections.at(i)->contentView()->isVisible());
        EXPECT_EQ(sections.at(i)->height(), KELVariableCollapsibleView::HeaderHeight);
    }
    expectStackedWithoutOverlap(sections);

    // Opening each (the last one first, as the user who scrolls down would) shows its
    // whole content below its header and pushes the others down.
    for (int i = 2; i >= 0; --i) {
        QTest::mouseClick(sections.at(i)->disclosureTriangle(), Qt::LeftButton);
        form.settle();
        QWidget* content = sections.at(i)->contentView();
        EXPECT_TRUE(content->isVisible()) << i;
        QTRY_COMPARE(sections.at(i)->height(), KELVariableCollapsibleView::HeaderHeight + content->sizeHint().height());
        EXPECT_GE(content->height(), content->sizeHint().height()) << i;
        expectStackedWithoutOverlap(sections);
    }

    // Closing the middle one brings the last one up under its header.
    QTest::mouseClick(sections.at(1)->headerView(), Qt::LeftButton, {}, QPoint(60, 10));
    form.settle();
    EXPECT_TRUE(sections.at(1)->collapsed());
    EXPECT_FALSE(sections.at(1)->contentView()->isVisible());
    QTRY_COMPARE(sections.at(2)->geometry().top(), sections.at(1)->geometry().top() + KELVariableCollapsibleView::HeaderHeight);

    // One tab: its content can be reached. Three again: the same sections, as they were.
    form.root->setValueForKeyPath(QStringLiteral("tabCount.count"), 1);
    form.settle();
    EXPECT_FALSE(sections.at(1)->isVisible());
    EXPECT_FALSE(sections.at(2)->isVisible());
    auto* firstContent = dynamic_cast<KELTextVariableController*>(
        kit::KeyValueObject::toObject(kit::KeyValueObject::toObject(tabs->objectAtIndex(0))->value(QStringLiteral("content"))).get());
    ASSERT_TRUE(firstContent && firstContent->valueTextArea());
    form.pane.ensureWidgetVisible(firstContent->valueTextArea());
    QTRY_VERIFY(!firstContent->valueTextArea()->visibleRegion().isEmpty());
    EXPECT_GE(firstContent->valueTextArea()->height(), firstContent->valueTextArea()->sizeHint().height());
    form.root->setValueForKeyPath(QStringLiteral("tabCount.count"), 3);
    form.settle();
    EXPECT_EQ(sectionsOf(tabs->view()), sections);
    EXPECT_TRUE(sections.at(1)->collapsed());
    EXPECT_FALSE(sections.at(2)->collapsed());
    EXPECT_TRUE(sections.at(2)->contentView()->isVisible());
    expectStackedWithoutOverlap(sections);
}

TEST(KELComponentFormTest, ImageMapCornersAreSectionsOfOneCornerEach)
{
    kit::UserDefaults::standard().resetForTesting();
    Form form(QStringLiteral("Image Map"), 700);
    ASSERT_TRUE(form.root);
    auto* regions = controllerAt<KELIndexedVariableController>(form.root, QStringLiteral("regions"));
    ASSERT_TRUE(regions && regions->count() == 1);
    const auto region = std::dynamic_pointer_cast<KELVariableController>(kit::KeyValueObject::toObject(regions->objectAtIndex(0)));
    auto* vertices = controllerAt<KELIndexedVariableController>(region, QStringLiteral("vertices"));
    ASSERT_TRUE(vertices && vertices->view());
    // Only polygons show their corners.
    EXPECT_TRUE(vertices->view()->isHidden());
    region->setValueForKeyPath(QStringLiteral("shape.selectedIndex"), 2);
    form.settle();
    EXPECT_FALSE(vertices->view()->isHidden());
    const QList<KELVariableCollapsibleView*> corners = sectionsOf(vertices->view());
    ASSERT_EQ(corners.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(corners.at(i)->title(), QStringLiteral("Corner %1:").arg(i + 1));
        EXPECT_TRUE(corners.at(i)->collapsed());
    }
    // The last corner opened: its y field shows whole, within the pane's width.
    corners.at(2)->setCollapsed(false);
    form.settle();
    const auto corner = std::dynamic_pointer_cast<KELVariableController>(kit::KeyValueObject::toObject(vertices->objectAtIndex(2)));
    auto* y = controllerAt<KELTextVariableController>(corner, QStringLiteral("y"));
    ASSERT_TRUE(y && y->valueTextField());
    form.pane.ensureWidgetVisible(y->valueTextField());
    QTRY_VERIFY(y->valueTextField()->isVisible() && !y->valueTextField()->visibleRegion().isEmpty());
    EXPECT_TRUE(form.fitsWidth(y->valueTextField()));
    expectStackedWithoutOverlap(corners);
    // Back to a rectangle: the corners go, the rectangle's fields come.
    region->setValueForKeyPath(QStringLiteral("shape.selectedIndex"), 0);
    form.settle();
    EXPECT_TRUE(vertices->view()->isHidden());
}

TEST(KELComponentFormTest, TextsOfSeveralLinesAreEditedAsSuch)
{
    kit::UserDefaults::standard().resetForTesting();
    struct Case {
        const char* component;
        const char* keyPath;
        int lines;
    };
    for (const Case& c : { Case { "Centred Box", "text", 5 }, Case { "Simple Font", "text", 3 } }) {
        SCOPED_TRACE(c.component);
        Form form(QString::fromLatin1(c.component));
        ASSERT_TRUE(form.root);
        auto* text = controllerAt<KELTextVariableController>(form.root, QString::fromLatin1(c.keyPath));
        ASSERT_TRUE(text);
        EXPECT_FALSE(text->valueTextField());
        KELComponentTextArea* area = text->valueTextArea();
        ASSERT_TRUE(area);
        EXPECT_EQ(area->lines(), c.lines);
        // As tall as its lines, and shown so.
        EXPECT_GE(area->height(), area->fontMetrics().lineSpacing() * c.lines);
        const QString before = text->value(QStringLiteral("value")).toString();
        area->setFocus();
        QTRY_VERIFY(area->hasFocus());
        QTest::keyClick(area, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(area, QStringLiteral("First"));
        QTest::keyClick(area, Qt::Key_Return);
        QTest::keyClicks(area, QStringLiteral("Second"));
        QTest::keyClick(area, Qt::Key_Return);
        QTest::keyClicks(area, QStringLiteral("Third"));
        EXPECT_EQ(text->value(QStringLiteral("value")).toString(), QStringLiteral("First\nSecond\nThird"));
        endOfEvent();
        // The typing is one step of the component's undo; the text area has none of its own.
        ASSERT_TRUE(form.manager_->canUndo());
        form.manager_->undo();
        endOfEvent();
        EXPECT_EQ(text->value(QStringLiteral("value")).toString(), before);
        EXPECT_EQ(area->toPlainText(), before);
    }
}

TEST(KELComponentFormTest, FormPaneIsAsWideAsItsRows)
{
    kit::UserDefaults::standard().resetForTesting();
    for (const char* name : { "Simple Image", "Image Map", "Audio and Video", "Simple Link" }) {
        SCOPED_TRACE(name);
        const KELComponentManager manager({ KELComponentManager::componentsDirectory() });
        const auto component = manager.componentWithName(QString::fromLatin1(name));
        if (!component)
            continue;
        QPointer<KELComponentController> controller = KELOpenComponentWindow(component);
        ASSERT_TRUE(controller);
        controller->window()->show();
        endOfEvent();
        auto* pane = controller->window()->findChild<KELVariableFormScrollArea*>();
        ASSERT_TRUE(pane);
        // No control of the form is cut at the pane's edge.
        int checked = 0;
        for (QWidget* widget : pane->widget()->findChildren<QWidget*>()) {
            if (!widget->isVisible() || !(qobject_cast<QAbstractButton*>(widget) || qobject_cast<QSpinBox*>(widget)))
                continue;
            const QRect shown(widget->mapTo(pane->viewport(), QPoint(0, 0)), widget->size());
            EXPECT_LT(shown.right(), pane->viewport()->width()) << widget->metaObject()->className() << " "
                                                                << widget->property("text").toString().toStdString();
            ++checked;
        }
        EXPECT_GT(checked, 0);
        delete controller->window();
    }
}

TEST(KELComponentFormTest, AccordionShowsItsOpenItemWhole)
{
    QTemporaryDir dir;
    QString rows;
    for (int i = 0; i < 12; ++i)
        rows += QStringLiteral("<c:text var=\"t%1\" name=\"Field %1\"/>").arg(i);
    Form form(dir,
        QStringLiteral("<c:varGroup><c:group name=\"Panels\" groupType=\"accordion\">"
                       "<c:group var=\"one\" name=\"Many fields\">%1</c:group>"
                       "<c:group var=\"two\" name=\"One field\"><c:text var=\"u\" name=\"Only\"/></c:group>"
                       "<c:group var=\"three\" name=\"Two fields\"><c:text var=\"v\" name=\"A\"/><c:text var=\"w\" name=\"B\"/></c:group>"
                       "</c:group></c:varGroup>")
            .arg(rows),
        800);
    ASSERT_TRUE(form.root);
    auto* accordion = form.root->view()->findChild<KELAccordionView*>();
    ASSERT_TRUE(accordion);
    ASSERT_EQ(accordion->count(), 3);
    // The height it was given, or what its tallest item needs open, not a small minimum.
    EXPECT_GE(accordion->height(), KELAccordionView::DefaultHeight);
    for (int open : { 0, 2, 0 }) {
        accordion->setSelectedIndex(open);
        QTRY_VERIFY(!accordion->isAnimating());
        QWidget* view = accordion->bar(open)->item().view();
        ASSERT_TRUE(view);
        EXPECT_TRUE(view->isVisible()) << open;
        EXPECT_GE(view->height(), view->sizeHint().height()) << open;
        EXPECT_LE(view->mapTo(accordion, QPoint(0, view->height())).y(), accordion->height()) << open;
    }
}

TEST(KELComponentFormTest, DropDownRepetitionsStandInAnIndexFrame)
{
    kit::UserDefaults::standard().resetForTesting();
    Form form(QStringLiteral("Image Gallery"), 600);
    ASSERT_TRUE(form.root);
    auto* pictures = controllerAt<KELIndexedVariableController>(form.root, QStringLiteral("pictures"));
    ASSERT_TRUE(pictures);
    auto* frame = qobject_cast<KELVariableIndexView*>(pictures->view());
    ASSERT_TRUE(frame);
    auto* popUp = frame->headerView()->findChild<QComboBox*>();
    ASSERT_TRUE(popUp);
    ASSERT_EQ(popUp->count(), 4);
    EXPECT_EQ(popUp->itemText(1), QStringLiteral("Picture 2"));
    const auto child = [pictures](qsizetype i) {
        return std::dynamic_pointer_cast<KELVariableController>(kit::KeyValueObject::toObject(pictures->objectAtIndex(i)));
    };
    EXPECT_EQ(frame->contentView(), child(0)->view());
    popUp->setCurrentIndex(2);
    Q_EMIT popUp->activated(2);
    EXPECT_EQ(pictures->selectedIndex(), 2);
    EXPECT_EQ(frame->contentView(), child(2)->view());
    EXPECT_TRUE(child(2)->view()->isVisible());
    EXPECT_FALSE(child(0)->view()->isVisible());
    // One step to undo, and back to the first picture.
    endOfEvent();
    form.manager_->undo();
    EXPECT_EQ(frame->contentView(), child(0)->view());
}
