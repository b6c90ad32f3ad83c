#pragma once
// A repeated variable shown as the rows of a table, one column per column
// definition; text cells edit in place, the selected row's full editor shows below
// the table, rows move by dragging (one undo step), and files dropped from a file
// manager fill the rows' file columns.

#include "componentui/KELIndexedVariableController.h"

#include <QAbstractTableModel>
#include <QList>
#include <QSet>
#include <QPointer>
#include <QStringList>
#include <QStyledItemDelegate>
#include <QTableView>

class KELTableVariableController;
class KELFileVariableController;

/// The rows of a table editor as a Qt model.
class KELTableVariableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit KELTableVariableModel(KELTableVariableController& controller) : m_controller(controller) { }
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction | Qt::CopyAction; }
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column, const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column, const QModelIndex& parent) override;
    void reload();

private:
    KELTableVariableController& m_controller;
};

/// Edits text cells in place, handing every keystroke to the row's editor.
class KELTableVariableCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit KELTableVariableCellDelegate(QObject* parent = nullptr);
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
};

class KELTableVariableController : public KELIndexedVariableController {
public:
    explicit KELTableVariableController(const KELComponentVariable& variable);
    ~KELTableVariableController() override;

    static inline const QString PboardType = QStringLiteral("application/x-kel-table-variable");

    const KELComponentTableVariable& tableVariable() const;
    QTableView* tableView() const { return m_tableView; }

    /// The object a column shows for a row's editor: the value at the column's key
    /// path, or the editor itself without one.
    static KELVariableController* dataSourceForColumn(const KELComponentTableColumn& column, KELVariableController& row);
    /// The key path of that object from the row: the column's, or for a column
    /// that names an editor's value ("shape.value"), the editor's ("shape").
    static QString dataSourceKeyPath(const KELComponentTableColumn& column, KELVariableController& row);
    KELVariableController* dataSourceForColumn(int column, qsizetype row);
    /// The first file column's editor of a row; null without one.
    KELFileVariableController* fileDataSourceAtRow(qsizetype row);

    /// Column widths: the first without a width stretches (1000), the others their
    /// width or 50.
    static QList<int> columnWidths(const QList<KELComponentTableColumn>& columns, int* stretchColumn = nullptr);

    /// Moves rows to the gap before row; one undo step "Move <name>".
    bool moveRows(const QList<qsizetype>& rows, qsizetype gapBeforeRow);
    /// Files dropped on the table: one path onto row, several filling empty rows first.
    bool acceptFiles(const QStringList& paths, qsizetype row);
    bool canAcceptFiles(const QStringList& paths, qsizetype row);

    void setSelectedIndex(qsizetype index) override;
    void controllerWillClose() override;

protected:
    QWidget* makeView() override;
    void updateViews() override;
    /// With detail, the selected row's editor shows below the table.
    bool childrenShowViews() const override;
    void updateContentView() override;

private:
    friend class KELTableVariableModel;
    void selectionChanged();
    QPointer<QTableView> m_tableView;
    KELTableVariableModel* m_model = nullptr;
    QPointer<QWidget> m_noSelectionView;
    QPointer<QWidget> m_multiSelectionView;
    bool m_isEditing = false;
    bool m_updatingSelection = false;
    QSet<KELVariableController*> m_observedRows;
};
