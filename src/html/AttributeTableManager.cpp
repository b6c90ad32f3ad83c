#include "html/AttributeTableManager.h"

#include "support/StringAdditions.h"

#include <QComboBox>
#include <QCompleter>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

// ---------------------------------------------------------------------------------------------
// ValueTableColumn

ValueTableColumn::ValueTableColumn(const QString& identifier, AttributeTableManager* manager, QObject* parent)
    : QStyledItemDelegate(parent)
    , m_identifier(identifier)
    , m_manager(manager)
{
}

bool ValueTableColumn::offersValues(qint64 type)
{
    return type == TagAttribute::TextDirection || type == TagAttribute::Shape || type == TagAttribute::TargetFrame
        || type == TagAttribute::Custom || type == TagAttribute::CustomCombination;
}

QWidget* ValueTableColumn::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const
{
    const int row = index.row();
    m_manager->setEditingRow(row);
    // Each keystroke goes to the table at once, so the include box follows the typing.
    auto typed = [manager = m_manager, row](const QString& text) {
        manager->setData(manager->index(row, AttributeTableManager::ValueColumn), text);
    };
    const TagAttribute& attribute = m_manager->attributes().at(row);
    if (offersValues(attribute.type())) {
        auto* box = new QComboBox(parent);
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        const QStringList values = attribute.customValues();
        box->addItems(values);
        box->setMaxVisibleItems(qMin<int>(5, qMax<int>(1, values.size())));
        box->completer()->setCompletionMode(QCompleter::InlineCompletion);
        box->completer()->setCaseSensitivity(Qt::CaseInsensitive);
        connect(box, &QComboBox::editTextChanged, box, typed);
        return box;
    }
    auto* field = new QLineEdit(parent);
    field->setFrame(false);
    connect(field, &QLineEdit::textEdited, field, typed);
    return field;
}

void ValueTableColumn::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    const QString value = index.data(Qt::EditRole).toString();
    if (auto* box = qobject_cast<QComboBox*>(editor)) {
        if (box->currentText() != value) {
            const QSignalBlocker blocker(box);
            box->setEditText(value);
        }
    } else if (auto* field = qobject_cast<QLineEdit*>(editor)) {
        if (field->text() != value)
            field->setText(value);
    }
}

void ValueTableColumn::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    if (auto* box = qobject_cast<QComboBox*>(editor))
        model->setData(index, box->currentText());
    else if (auto* field = qobject_cast<QLineEdit*>(editor))
        model->setData(index, field->text());
}

void ValueTableColumn::destroyEditor(QWidget* editor, const QModelIndex& index) const
{
    if (m_manager->editingRow() == index.row())
        m_manager->setEditingRow(-1);
    QStyledItemDelegate::destroyEditor(editor, index);
}

// ---------------------------------------------------------------------------------------------
// AttributeTableView

AttributeTableView::AttributeTableView(AttributeTableManager* manager, QWidget* parent)
    : QTableView(parent)
    , m_manager(manager)
{
    setObjectName(QStringLiteral("attributeTable"));
    setModel(manager);
    setItemDelegateForColumn(AttributeTableManager::ValueColumn,
                             new ValueTableColumn(QStringLiteral("value"), manager, this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked
                    | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(22);
    horizontalHeader()->setSectionsMovable(false);
    horizontalHeader()->setSectionResizeMode(AttributeTableManager::IncludeColumn, QHeaderView::Fixed);
    horizontalHeader()->setSectionResizeMode(AttributeTableManager::AttributeColumn, QHeaderView::Interactive);
    horizontalHeader()->setStretchLastSection(true);
    setColumnWidth(AttributeTableManager::IncludeColumn, 24);
    setColumnWidth(AttributeTableManager::AttributeColumn, 120);
    setColumnWidth(AttributeTableManager::ValueColumn, 120);
    setShowGrid(false);
    setWordWrap(false);
}

void AttributeTableView::commitOpenEditor()
{
    if (state() != QAbstractItemView::EditingState)
        return;
    const QModelIndex current = currentIndex();
    QWidget* editor = current.isValid() ? indexWidget(current) : nullptr;
    if (!editor)
        return;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void AttributeTableView::mousePressEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && index.isValid() && index.column() == AttributeTableManager::IncludeColumn) {
        // The box flips on the press itself; the click goes no further.
        commitOpenEditor();
        if (!selectionModel()->isRowSelected(index.row(), QModelIndex()))
            selectRow(index.row());
        m_manager->changeShouldIncludeAtRow(index.row());
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

void AttributeTableView::keyPressEvent(QKeyEvent* event)
{
    // Space on a row flips its box, as it would on a check box.
    const QModelIndex index = currentIndex();
    if (event->key() == Qt::Key_Space && index.isValid() && state() != QAbstractItemView::EditingState
        && index.column() != AttributeTableManager::ValueColumn) {
        m_manager->changeShouldIncludeAtRow(index.row());
        return;
    }
    QTableView::keyPressEvent(event);
}

// ---------------------------------------------------------------------------------------------
// AttributeTableManager

AttributeTableManager::AttributeTableManager(const Tag& tag, const QString& tagName,
                                             const QList<TagAttribute>& attributes, QObject* parent)
    : QAbstractTableModel(parent)
    , m_tag(tag)
    , m_tagName(tagName)
    , m_attributes(attributes)
{
    for (const TagAttribute& attribute : m_attributes) {
        // "KELNoValue" (written without a value) counts as included, shown empty.
        m_shouldInclude.append(!attribute.value().isEmpty());
        m_values.append(attribute.value() == TagAttribute::NoValueMarker ? QString() : attribute.value());
    }
    m_tableView = new AttributeTableView(this);
}

AttributeTableManager::AttributeTableManager(const Tag& tag, const QString& tagName, QObject* parent)
    : AttributeTableManager(tag, tagName, tag.attributes(), parent)
{
}

AttributeTableManager::~AttributeTableManager()
{
    if (m_tableView) {
        m_tableView->setModel(nullptr);
        delete m_tableView.data();
    }
}

int AttributeTableManager::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_attributes.size());
}

int AttributeTableManager::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant AttributeTableManager::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_attributes.size())
        return {};
    const int row = index.row();
    switch (index.column()) {
    case IncludeColumn:
        if (role == Qt::CheckStateRole)
            return m_shouldInclude.at(row) ? Qt::Checked : Qt::Unchecked;
        return {};
    case AttributeColumn: {
        const QString& name = m_attributes.at(row).name();
        if (role == Qt::DisplayRole)
            return name;
        // Attributes the element does not define show in red.
        if (role == Qt::ForegroundRole && row >= m_tag.attributes().size() && name != QLatin1String("/"))
            return QColor(Qt::red);
        return {};
    }
    case ValueColumn:
        if (role == Qt::DisplayRole || role == Qt::EditRole)
            return m_values.at(row);
        return {};
    }
    return {};
}

bool AttributeTableManager::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.row() >= m_attributes.size())
        return false;
    const int row = index.row();
    if (index.column() == IncludeColumn && role == Qt::CheckStateRole) {
        m_shouldInclude[row] = value.toInt() == Qt::Checked;
        Q_EMIT dataChanged(this->index(row, IncludeColumn), this->index(row, IncludeColumn));
        return true;
    }
    if (index.column() == ValueColumn && role == Qt::EditRole) {
        setValueAtRow(row, value.toString());
        return true;
    }
    return false;
}

void AttributeTableManager::setValueAtRow(int row, const QString& value)
{
    if (row != m_editRow) {
        m_editRow = row;
        m_initialIncludeState = m_shouldInclude.at(row);
    }
    // Clearing a typed value puts the box back as it was before the editing began.
    m_shouldInclude[row] = value.isEmpty() ? m_initialIncludeState : true;
    const bool changed = m_values.at(row) != value;
    m_values[row] = value;
    Q_EMIT dataChanged(index(row, IncludeColumn), index(row, IncludeColumn));
    if (changed)
        Q_EMIT dataChanged(index(row, ValueColumn), index(row, ValueColumn));
}

Qt::ItemFlags AttributeTableManager::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == ValueColumn)
        flags |= Qt::ItemIsEditable;
    return flags;
}

QVariant AttributeTableManager::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case IncludeColumn:
        return QString();
    case AttributeColumn:
        return QLatin1Char('<') + m_tagName + QStringLiteral("> Attributes");
    case ValueColumn:
        return tr("Value");
    }
    return {};
}

void AttributeTableManager::changeShouldIncludeAtRow(int row)
{
    if (row < 0 || row >= m_shouldInclude.size())
        return;
    m_shouldInclude[row] = !m_shouldInclude.at(row);
    Q_EMIT dataChanged(index(row, IncludeColumn), index(row, IncludeColumn));
}

void AttributeTableManager::endEditing()
{
    const int row = m_editingRow;
    if (m_tableView)
        m_tableView->commitOpenEditor();
    if (row < 0 || row >= m_values.size())
        return;
    if (!m_values.at(row).isEmpty() && !m_shouldInclude.at(row)) {
        m_shouldInclude[row] = true;
        Q_EMIT dataChanged(index(row, IncludeColumn), index(row, IncludeColumn));
    }
}

QString AttributeTableManager::quotedAttributeValue(const QString& value)
{
    const bool doubleQuote = value.contains(QLatin1Char('"'));
    const bool singleQuote = value.contains(QLatin1Char('\''));
    if (doubleQuote && !singleQuote)
        return QLatin1Char('\'') + value + QLatin1Char('\'');
    if (doubleQuote) {
        QString escaped = value;
        escaped.replace(QLatin1Char('"'), QStringLiteral("&quot;"));
        return QLatin1Char('"') + escaped + QLatin1Char('"');
    }
    return QLatin1Char('"') + value + QLatin1Char('"');
}

QString AttributeTableManager::insertString(bool selfClosing)
{
    endEditing();
    QString text = QLatin1Char('<') + stringWithTagNameCase(m_tagName);
    for (int row = 0; row < m_attributes.size(); ++row) {
        if (!m_shouldInclude.at(row))
            continue;
        const TagAttribute& attribute = m_attributes.at(row);
        text += QLatin1Char(' ') + attribute.name();
        const QString& value = m_values.at(row);
        if (value.isEmpty() && attribute.type() == TagAttribute::Boolean)
            continue;
        text += QLatin1Char('=') + quotedAttributeValue(value);
    }
    if (selfClosing)
        text += QLatin1Char('/');
    text += QLatin1Char('>');
    return text;
}
