#include "componentui/KELTableVariableController.h"

#include "ComponentUITestSupport.h"
#include "componentui/KELFileVariableControllers.h"

#include <gtest/gtest.h>

#include <QIcon>
#include <QLineEdit>
#include <QMimeData>

using namespace componentuitest;

namespace {

const QString TableVariables = QStringLiteral(
    "<c:varGroup><c:count var=\"n\" name=\"N\" defaultCount=\"5\"/>"
    "<c:table var=\"rows\" name=\"Rows\" count=\"${n.count}\"><c:dependency keyPath=\"n.count\"/>"
    "<c:column keyPath=\"label\" name=\"Label\" width=\"80\"/><c:column keyPath=\"picture\" name=\"Picture\"/>"
    "<c:column keyPath=\"note\" name=\"Note\"/>"
    "<c:group><c:text var=\"label\" name=\"Label\" default=\"Row ${displayIndex}\"/><c:image var=\"picture\" name=\"Picture\"/>"
    "<c:text var=\"note\" name=\"Note\"/></c:group></c:table></c:varGroup>");

QString labelAt(KELTableVariableController& table, qsizetype row)
{
    return kit::KeyValueObject::toObject(table.objectAtIndex(row))->valueForKeyPath(QStringLiteral("label.value")).toString();
}

} // namespace

TEST(KELTableVariableControllerTest, ColumnsRowsAndMoves)
{
    QTemporaryDir dir;
    const Tree tree = makeTree(dir, TableVariables, true);
    ASSERT_TRUE(tree.root);
    auto* table = controllerAt<KELTableVariableController>(tree.root, QStringLiteral("rows"));
    ASSERT_TRUE(table && table->tableView());
    QAbstractItemModel* model = table->tableView()->model();
    EXPECT_EQ(model->rowCount(), 5);
    EXPECT_EQ(model->columnCount(), 3);
    EXPECT_EQ(model->data(model->index(1, 0)).toString(), QStringLiteral("Row 2"));
    EXPECT_EQ(model->data(model->index(1, 1)).toString(), KELFileView::NoneText);

    int stretch = -1;
    EXPECT_EQ(KELTableVariableController::columnWidths(table->tableVariable().columns(), &stretch), (QList<int> { 80, 1000, 50 }));
    EXPECT_EQ(stretch, 1);

    // Typing into a cell reaches the row's editor.
    EXPECT_TRUE(model->setData(model->index(2, 2), QStringLiteral("typed"), Qt::EditRole));
    EXPECT_EQ(kit::KeyValueObject::toObject(table->objectAtIndex(2))->valueForKeyPath(QStringLiteral("note.value")).toString(), QStringLiteral("typed"));

    KELComponentUndoManager manager(tree.root);
    QMimeData rows;
    rows.setData(KELTableVariableController::PboardType, "0,1");
    // Onto a row is refused; between rows is a move.
    EXPECT_FALSE(model->canDropMimeData(&rows, Qt::MoveAction, -1, -1, model->index(3, 0)));
    ASSERT_TRUE(model->dropMimeData(&rows, Qt::MoveAction, 3, 0, QModelIndex()));
    endOfEvent();
    EXPECT_EQ(labelAt(*table, 0), QStringLiteral("Row 3"));
    EXPECT_EQ(labelAt(*table, 1), QStringLiteral("Row 1"));
    EXPECT_EQ(labelAt(*table, 2), QStringLiteral("Row 2"));
    EXPECT_EQ(manager.undoActionName(), QStringLiteral("Move Rows"));
    manager.undo();
    endOfEvent();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(labelAt(*table, i), QStringLiteral("Row %1").arg(i + 1));
}

TEST(KELTableVariableControllerTest, DroppedFilesFillEmptyRowsFirst)
{
    QTemporaryDir dir;
    const Tree tree = makeTree(dir, TableVariables);
    ASSERT_TRUE(tree.root);
    auto* table = controllerAt<KELTableVariableController>(tree.root, QStringLiteral("rows"));
    ASSERT_TRUE(table);
    QStringList images;
    for (const char* name : { "c.png", "a.png", "b.png", "d.png" }) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QImage(4, 4, QImage::Format_RGB32).save(path);
        images << path;
    }
    const QString text = dir.filePath(QStringLiteral("notes.txt"));
    componenttest::writeText(text, QStringLiteral("x"));
    table->fileDataSourceAtRow(1)->setObjectValue(dir.filePath(QStringLiteral("old1.png")));
    table->fileDataSourceAtRow(3)->setObjectValue(dir.filePath(QStringLiteral("old3.png")));

    EXPECT_FALSE(table->canAcceptFiles({ text }, 0));
    EXPECT_FALSE(table->canAcceptFiles({ images.first() }, 5));
    // Empty rows first in the sorted order of the paths, then the filled ones; the
    // text file is refused and passed over.
    ASSERT_TRUE(table->acceptFiles({ images.at(0), text, images.at(1), images.at(2), images.at(3) }, 0));
    auto fileAt = [table](qsizetype row) { return QFileInfo(table->fileDataSourceAtRow(row)->fileUrl().toLocalFile()).fileName(); };
    EXPECT_EQ(fileAt(0), QStringLiteral("a.png"));
    EXPECT_EQ(fileAt(2), QStringLiteral("b.png"));
    EXPECT_EQ(fileAt(4), QStringLiteral("c.png"));
    EXPECT_EQ(fileAt(1), QStringLiteral("d.png"));
    EXPECT_EQ(fileAt(3), QStringLiteral("old3.png"));
}

TEST(KELTableVariableControllerTest, CellsCommitAsTheyAreTypedAndSingleFilesGoOntoRows)
{
    QTemporaryDir dir;
    const Tree tree = makeTree(dir, TableVariables, true);
    ASSERT_TRUE(tree.root);
    auto* table = controllerAt<KELTableVariableController>(tree.root, QStringLiteral("rows"));
    ASSERT_TRUE(table && table->tableView());
    QWidget* form = table->view();
    form->resize(500, 400);
    form->show();
    KELComponentUndoManager manager(tree.root);
    QTableView* view = table->tableView();
    const QModelIndex note = view->model()->index(1, 2);
    view->setCurrentIndex(note);
    view->edit(note);
    auto* editor = qobject_cast<QLineEdit*>(view->indexWidget(note) ? view->indexWidget(note) : view->viewport()->focusWidget());
    if (!editor)
        editor = view->findChild<QLineEdit*>();
    ASSERT_TRUE(editor);
    const auto noteOfRow = [table](qsizetype row) {
        return kit::KeyValueObject::toObject(table->objectAtIndex(row))->valueForKeyPath(QStringLiteral("note.value")).toString();
    };
    // Each key reaches the row's editor while the cell is still being edited.
    QTest::keyClicks(editor, QStringLiteral("ab"));
    EXPECT_EQ(noteOfRow(1), QStringLiteral("ab"));
    QTest::keyClicks(editor, QStringLiteral("c"));
    EXPECT_EQ(noteOfRow(1), QStringLiteral("abc"));
    EXPECT_EQ(editor->text(), QStringLiteral("abc"));
    EXPECT_EQ(editor->cursorPosition(), 3);
    // A change made elsewhere while the cell is open shows in the cell.
    endOfEvent();
    manager.undo();
    endOfEvent();
    EXPECT_EQ(noteOfRow(1), QString());
    EXPECT_EQ(editor->text(), QString());

    // One picture goes onto a row, never into the gap between two rows; several may
    // go onto the table as a whole.
    const QString picture = dir.filePath(QStringLiteral("one.png"));
    QImage(4, 4, QImage::Format_RGB32).save(picture);
    QMimeData one;
    one.setUrls({ QUrl::fromLocalFile(picture) });
    QAbstractItemModel* model = view->model();
    EXPECT_FALSE(model->canDropMimeData(&one, Qt::CopyAction, 2, 0, QModelIndex()));
    EXPECT_FALSE(model->dropMimeData(&one, Qt::CopyAction, 2, 0, QModelIndex()));
    EXPECT_FALSE(model->canDropMimeData(&one, Qt::CopyAction, -1, -1, QModelIndex()));
    EXPECT_TRUE(model->canDropMimeData(&one, Qt::CopyAction, -1, -1, model->index(2, 0)));
    ASSERT_TRUE(model->dropMimeData(&one, Qt::CopyAction, -1, -1, model->index(2, 0)));
    EXPECT_EQ(table->fileDataSourceAtRow(2)->fileUrl(), QUrl::fromLocalFile(picture));
    // The file column shows the file's name, with its icon.
    EXPECT_EQ(model->data(model->index(2, 1)).toString(), QStringLiteral("one.png"));
    EXPECT_FALSE(model->data(model->index(2, 1), Qt::DecorationRole).value<QIcon>().isNull());
    QMimeData two;
    two.setUrls({ QUrl::fromLocalFile(picture), QUrl::fromLocalFile(dir.filePath(QStringLiteral("two.png"))) });
    EXPECT_FALSE(model->canDropMimeData(&two, Qt::CopyAction, 2, 0, QModelIndex()));
    EXPECT_TRUE(model->canDropMimeData(&two, Qt::CopyAction, -1, -1, QModelIndex()));
    delete form;
}
