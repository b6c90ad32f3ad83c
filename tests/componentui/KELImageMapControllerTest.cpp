#include "ComponentUITestSupport.h"
#include "componentui/KELVariableViews.h"
#include "componentui/KELImageMapController.h"
#include "componentui/KELImageMapRectangle.h"
#include "componentui/KELIndexedVariableController.h"
#include "componentui/KELSimpleVariableControllers.h"
#include "componentui/KELTableVariableController.h"

#include <QLabel>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

using componentuitest::endOfEvent;

namespace {

class KELImageMapControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        KELImageMapController::registerImageMapWindow();
        controller = qobject_cast<KELImageMapController*>(KELOpenComponentWindowNamed(KELImageMapController::ImageMapComponentName));
        ASSERT_TRUE(controller);
        window = controller->window();
        endOfEvent();
    }
    void TearDown() override
    {
        if (window) {
            window->setWindowModified(false);
            delete window.data();
        }
    }

    kit::KeyValueObjectPtr region(qsizetype index) const
    {
        auto* regions = componentuitest::controllerAt<KELIndexedVariableController>(controller->rootController(), QStringLiteral("regions"));
        return regions ? kit::KeyValueObject::toObject(regions->objectAtIndex(index)) : nullptr;
    }
    QString text(const kit::KeyValueObjectPtr& object, const char* keyPath) const
    {
        return KELExpression::stringValue(object->valueForKeyPath(QString::fromLatin1(keyPath)));
    }
    QString rect(qsizetype index) const
    {
        const auto r = region(index);
        return QStringList { text(r, "rectX1.value"), text(r, "rectY1.value"), text(r, "rectX2.value"), text(r, "rectY2.value") }.join(QLatin1Char(','));
    }
    QString vertices(qsizetype index) const
    {
        const auto r = region(index);
        auto* list = dynamic_cast<KELIndexedVariableController*>(kit::KeyValueObject::toObject(r->value(QStringLiteral("vertices"))).get());
        QStringList points;
        for (qsizetype i = 0; list && i < list->count(); ++i) {
            const auto vertex = kit::KeyValueObject::toObject(list->objectAtIndex(i));
            points.append(text(vertex, "x.value") + QLatin1Char(',') + text(vertex, "y.value"));
        }
        return points.join(QLatin1Char(' '));
    }
    QPoint at(qreal x, qreal y) const { return controller->imageMapView()->widgetPointForCanvasPoint(QPointF(x, y)).toPoint(); }

    KELImageMapController* controller = nullptr;
    QPointer<KELComponentWindow> window;
};

} // namespace

TEST_F(KELImageMapControllerTest, OpensWithTheCanvasInPlaceOfThePreviewAndNothingToUndo)
{
    EXPECT_EQ(controller->webView(), nullptr);
    KELImageMapView* canvas = controller->imageMapView();
    ASSERT_TRUE(canvas);
    EXPECT_EQ(canvas->rootController(), controller->rootController());
    EXPECT_EQ(controller->imageMapScrollView()->widget(), canvas);
    EXPECT_TRUE(canvas->isVisibleTo(window));
    // One region from the definition's defaults, a rectangle.
    ASSERT_EQ(canvas->shapes().size(), 1u);
    EXPECT_TRUE(dynamic_cast<KELImageMapRectangle*>(canvas->shapes()[0].get()));
    EXPECT_EQ(vertices(0), QStringLiteral("20,140 80,20 140,140"));
    EXPECT_FALSE(controller->undoManager()->canUndo());
    EXPECT_FALSE(controller->undoManager()->hasChanges());
    EXPECT_FALSE(window->isWindowModified());
}

TEST_F(KELImageMapControllerTest, CanvasEditsAreNamedUndoSteps)
{
    KELImageMapView* canvas = controller->imageMapView();
    KELComponentUndoManager* undo = controller->undoManager();
    const struct {
        const char* name;
        QPointF from;
        QList<QPointF> to;
        const char* after;
        const char* actionName;
    } cases[] = {
        { "move", QPointF(60, 60), { QPointF(70, 70), QPointF(80, 75) }, "40,35,160,135", "Move Shape" },
        // The rectangle is selected now: its corner handle resizes it.
        { "resize", QPointF(140, 120), { QPointF(150, 125), QPointF(170, 130) }, "20,20,170,130", "Resize Shape" },
    };
    for (const auto& c : cases) {
        QTest::mousePress(canvas, Qt::LeftButton, {}, at(c.from.x(), c.from.y()));
        endOfEvent();
        for (const QPointF& p : c.to) {
            QTest::mouseMove(canvas, at(p.x(), p.y()));
            endOfEvent();
        }
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, at(c.to.last().x(), c.to.last().y()));
        endOfEvent();
        EXPECT_EQ(rect(0), QString::fromLatin1(c.after)) << c.name;
        EXPECT_EQ(undo->undoCount(), 1) << c.name;
        EXPECT_EQ(undo->undoActionName(), QString::fromLatin1(c.actionName)) << c.name;
        EXPECT_TRUE(window->isWindowModified()) << c.name;
        undo->undo();
        endOfEvent();
        EXPECT_EQ(rect(0), QStringLiteral("20,20,140,120")) << c.name;
        EXPECT_FALSE(window->isWindowModified()) << c.name;
        undo->redo();
        endOfEvent();
        EXPECT_EQ(rect(0), QString::fromLatin1(c.after)) << c.name;
        undo->undo();
        endOfEvent();
        undo->removeAllActions();
    }
    // A run of arrow keys, one event each, is one step.
    canvas->setFocus();
    for (Qt::Key key : { Qt::Key_Right, Qt::Key_Right, Qt::Key_Down }) {
        QTest::keyClick(canvas, key);
        endOfEvent();
    }
    EXPECT_EQ(rect(0), QStringLiteral("22,21,142,121"));
    EXPECT_EQ(undo->undoCount(), 1);
    EXPECT_EQ(undo->undoActionName(), QStringLiteral("Move Shape"));
    // The whole run comes back, also the value the run's first event left alone.
    undo->undo();
    endOfEvent();
    EXPECT_EQ(rect(0), QStringLiteral("20,20,140,120"));
    EXPECT_FALSE(window->isWindowModified());
    undo->redo();
    endOfEvent();
    EXPECT_EQ(rect(0), QStringLiteral("22,21,142,121"));
    undo->undo();
    endOfEvent();
    EXPECT_EQ(rect(0), QStringLiteral("20,20,140,120"));
}

TEST_F(KELImageMapControllerTest, VertexCountChangesSplitTheLongestEdgesAndUndoAsOne)
{
    auto* count = dynamic_cast<KELCountVariableController*>(kit::KeyValueObject::toObject(region(0)->value(QStringLiteral("vertexCount"))).get());
    ASSERT_TRUE(count);
    count->setValue(QStringLiteral("textValue"), QStringLiteral("5"));
    endOfEvent();
    EXPECT_EQ(vertices(0), QStringLiteral("20,140 50,80 80,20 110,80 140,140"));
    EXPECT_EQ(controller->undoManager()->undoCount(), 1);
    controller->undoManager()->undo();
    endOfEvent();
    EXPECT_EQ(count->count(), 3);
    EXPECT_EQ(vertices(0), QStringLiteral("20,140 80,20 140,140"));
    EXPECT_FALSE(window->isWindowModified());
}

TEST_F(KELImageMapControllerTest, CanvasAndRegionsTableKeepTheSameSelection)
{
    KELImageMapView* canvas = controller->imageMapView();
    auto* regions = componentuitest::controllerAt<KELIndexedVariableController>(controller->rootController(), QStringLiteral("regions"));
    ASSERT_TRUE(regions);
    QTest::mouseClick(canvas, Qt::LeftButton, {}, at(60, 60));
    EXPECT_EQ(regions->selectedIndex(), 0);
    regions->setSelectedIndex(-1);
    EXPECT_EQ(canvas->selectedShape(), -1);
    EXPECT_FALSE(canvas->shapes()[0]->selected());
    regions->setSelectedIndex(0);
    EXPECT_TRUE(canvas->shapes()[0]->selected());
    // A second region from the form appears on the canvas after the preview delay.
    auto* countEditor = componentuitest::controllerAt<KELCountVariableController>(controller->rootController(), QStringLiteral("regionCount"));
    countEditor->setValue(QStringLiteral("textValue"), QStringLiteral("2"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return canvas->shapes().size() == 2; }, 3000));
    // The new region's polygon is kept at its count too.
    EXPECT_EQ(vertices(1).split(QLatin1Char(' ')).size(), 3);
}

// The regions table names each region's shape and link, and the editor of the
// region selected, in the table or on the canvas, shows below it.
TEST_F(KELImageMapControllerTest, RegionsTableShowsShapesLinksAndTheSelectedRegion)
{
    auto* regions = componentuitest::controllerAt<KELTableVariableController>(controller->rootController(), QStringLiteral("regions"));
    ASSERT_TRUE(regions);
    QTableView* table = regions->tableView();
    ASSERT_TRUE(table);
    QAbstractItemModel* model = table->model();
    ASSERT_EQ(model->rowCount(), 1);
    ASSERT_EQ(model->columnCount(), 2);
    auto cell = [model](int column) { return model->data(model->index(0, column), Qt::DisplayRole).toString(); };
    EXPECT_EQ(cell(0), QStringLiteral("Rectangle"));
    EXPECT_EQ(cell(1), QStringLiteral("https://example.com/"));
    // The link edits in place; the shape is chosen in the region's editor and shows in the table.
    EXPECT_TRUE(model->flags(model->index(0, 1)) & Qt::ItemIsEditable);
    EXPECT_FALSE(model->flags(model->index(0, 0)) & Qt::ItemIsEditable);
    ASSERT_TRUE(model->setData(model->index(0, 1), QStringLiteral("about.html"), Qt::EditRole));
    EXPECT_EQ(text(region(0), "href.value"), QStringLiteral("about.html"));
    region(0)->setValueForKeyPath(QStringLiteral("shape.selectedIndex"), 1);
    endOfEvent();
    EXPECT_EQ(cell(0), QStringLiteral("Circle"));
    EXPECT_EQ(text(region(0), "shape.value"), QStringLiteral("circle"));

    // The detail area below the table: the selected region's editor, or a placeholder.
    auto* detail = qobject_cast<KELVariableIndexView*>(regions->view());
    ASSERT_TRUE(detail);
    QWidget* regionEditor = regions->variableControllerForIndex(0)->view();
    auto noSelection = [detail] {
        auto* label = qobject_cast<QLabel*>(detail->contentView());
        return label && label->text() == QLatin1String("No Selection") && label->isVisibleTo(detail);
    };
    regions->setSelectedIndex(-1);
    endOfEvent();
    EXPECT_TRUE(noSelection());
    // A click on the row.
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(model->index(0, 1)).center());
    endOfEvent();
    EXPECT_EQ(regions->selectedIndex(), 0);
    EXPECT_EQ(detail->contentView(), regionEditor);
    EXPECT_TRUE(regionEditor->isVisibleTo(regions->view()));
    // A click on the region's circle on the canvas.
    regions->setSelectedIndex(-1);
    endOfEvent();
    EXPECT_TRUE(noSelection());
    QTest::mouseClick(controller->imageMapView(), Qt::LeftButton, {}, at(100, 100));
    endOfEvent();
    EXPECT_EQ(regions->selectedIndex(), 0);
    EXPECT_EQ(detail->contentView(), regionEditor);
}
