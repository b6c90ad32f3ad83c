#pragma once
// The attribute table of one element: a row per attribute with a box that says
// whether it is written, its name, and its value (a combo box where the type
// offers values). Advanced Insert and the editor's Edit Tag panel both use it to
// compose a start tag.

#include "html/Tag.h"
#include "html/TagAttribute.h"

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTableView>

class AttributeTableManager;

/// The value column's cells: an editable combo box listing the attribute's
/// offered values for the enumerated types, a line edit for the rest. Every
/// change of the text reaches the manager at once, so the include box follows
/// the typing.
class ValueTableColumn : public QStyledItemDelegate {
    Q_OBJECT
public:
    ValueTableColumn(const QString& identifier, AttributeTableManager* manager, QObject* parent = nullptr);

    QString identifier() const { return m_identifier; }
    /// Types whose cells offer a list of values.
    static bool offersValues(qint64 type);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void destroyEditor(QWidget* editor, const QModelIndex& index) const override;

private:
    QString m_identifier;
    AttributeTableManager* m_manager;
};

class AttributeTableView : public QTableView {
    Q_OBJECT
public:
    explicit AttributeTableView(AttributeTableManager* manager, QWidget* parent = nullptr);

    AttributeTableManager* manager() const { return m_manager; }
    /// Writes the open value editor (if any) into the table and closes it.
    void commitOpenEditor();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    AttributeTableManager* m_manager;
};

class AttributeTableManager : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { IncludeColumn = 0, AttributeColumn = 1, ValueColumn = 2 };

    /// The table over the given attributes (the tag editor passes the ones found in the text).
    AttributeTableManager(const Tag& tag, const QString& tagName, const QList<TagAttribute>& attributes,
                          QObject* parent = nullptr);
    /// The table over the tag's own attributes.
    AttributeTableManager(const Tag& tag, const QString& tagName, QObject* parent = nullptr);
    ~AttributeTableManager() override;

    /// The table to show; the manager deletes it with itself unless a widget owns it by then.
    AttributeTableView* tableView() const { return m_tableView; }
    const QString& tagName() const { return m_tagName; }
    const Tag& tag() const { return m_tag; }
    const QList<TagAttribute>& attributes() const { return m_attributes; }
    bool shouldInclude(int row) const { return m_shouldInclude.value(row); }
    QString value(int row) const { return m_values.value(row); }

    /// The composed start tag; with a "/" before ">" when selfClosing.
    QString insertString(bool selfClosing = false);
    /// Flips the row's include state (rows outside the table are ignored).
    void changeShouldIncludeAtRow(int row);
    /// Includes the row being edited when its value is not empty.
    void endEditing();

    /// The row whose value cell is open, or -1 (kept by the value column).
    void setEditingRow(int row) { m_editingRow = row; }
    int editingRow() const { return m_editingRow; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    /// The value as an attribute value: in double quotes, or single quotes when it
    /// holds a double quote and no single one; with both, double quotes and the
    /// double quotes inside written as "&quot;" so the tag stays whole.
    static QString quotedAttributeValue(const QString& value);

private:
    void setValueAtRow(int row, const QString& value);

    Tag m_tag;
    QString m_tagName;
    QList<TagAttribute> m_attributes;
    QList<bool> m_shouldInclude;
    QList<QString> m_values;
    QPointer<AttributeTableView> m_tableView;
    int m_editRow = -1;
    bool m_initialIncludeState = false;
    int m_editingRow = -1;
};
