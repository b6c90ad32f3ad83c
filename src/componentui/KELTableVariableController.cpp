#include "componentui/KELTableVariableController.h"

#include "componentui/KELFileVariableControllers.h"
#include "componentui/KELSimpleVariableControllers.h"
#include "componentui/KELVariableViews.h"

#include <QCollator>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QLineEdit>
#include <QPalette>
#include <QVBoxLayout>
#include <algorithm>

namespace {

KELTableVariableColumnDataSource* columnSource(KELVariableController* controller)
{
    return dynamic_cast<KELTableVariableColumnDataSource*>(controller);
}

} // namespace

// --- Model

int KELTableVariableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_controller.count());
}

int KELTableVariableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_controller.tableVariable().columns().size());
}

QVariant KELTableVariableModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole && role != Qt::EditRole && role != Qt::DecorationRole && role != Qt::ForegroundRole
        && role != Qt::ToolTipRole)
        return QVariant();
    auto* source = columnSource(m_controller.dataSourceForColumn(index.column(), index.row()));
    if (!source)
        return QVariant();
    const QVariant value = source->objectValue();
    const bool isFile = dynamic_cast<KELFileVariableController*>(source);
    if (role == Qt::DecorationRole)
        return KELURLFormatter::iconForObjectValue(value);
    if (role == Qt::ForegroundRole)
        return isFile && !value.isValid() ? QVariant(QPalette().color(QPalette::Disabled, QPalette::Text)) : QVariant();
    if (role == Qt::ToolTipRole)
        return value.metaType().id() == QMetaType::QUrl ? QVariant(value.toUrl().toDisplayString(QUrl::PreferLocalFile)) : QVariant();
    if (value.metaType().id() == QMetaType::QUrl)
        return KELURLFormatter::stringForObjectValue(value).value_or(QString());
    // A file cell without a file shows its placeholder.
    if (!value.isValid() && role == Qt::DisplayRole && isFile)
        return KELFileView::NoneText;
    return value;
}

bool KELTableVariableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole)
        return false;
    auto* source = columnSource(m_controller.dataSourceForColumn(index.column(), index.row()));
    if (!source)
        return false;
    m_controller.m_isEditing = true;
    source->setObjectValue(value);
    m_controller.m_isEditing = false;
    return true;
}

QVariant KELTableVariableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    const auto& columns = m_controller.tableVariable().columns();
    return section >= 0 && section < columns.size() ? QVariant(columns.at(section).name()) : QVariant();
}

Qt::ItemFlags KELTableVariableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
    auto* source = columnSource(m_controller.dataSourceForColumn(index.column(), index.row()));
    if (source && source->isCellEditable() && !dynamic_cast<KELFileVariableController*>(source))
        flags |= Qt::ItemIsEditable;
    return flags;
}

QStringList KELTableVariableModel::mimeTypes() const
{
    return { KELTableVariableController::PboardType, QStringLiteral("text/uri-list") };
}

QMimeData* KELTableVariableModel::mimeData(const QModelIndexList& indexes) const
{
    QList<qsizetype> rows;
    for (const QModelIndex& index : indexes) {
        if (!rows.contains(index.row()))
            rows.append(index.row());
    }
    std::sort(rows.begin(), rows.end());
    QStringList text;
    for (qsizetype row : rows)
        text << QString::number(row);
    auto* data = new QMimeData;
    data->setData(KELTableVariableController::PboardType, text.join(QLatin1Char(',')).toUtf8());
    return data;
}

static QList<qsizetype> draggedRows(const QMimeData* data)
{
    QList<qsizetype> rows;
    for (const QByteArray& part : data->data(KELTableVariableController::PboardType).split(',')) {
        bool ok = false;
        const qsizetype row = part.toLongLong(&ok);
        if (ok)
            rows.append(row);
    }
    return rows;
}

bool KELTableVariableModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int row, int, const QModelIndex& parent) const
{
    if (data->hasFormat(KELTableVariableController::PboardType))
        return row >= 0 && !parent.isValid(); // between rows only
    // Files go onto a row; several may also go onto the table as a whole, never
    // into the gap between two rows.
    const QStringList paths = KELLocalFilePaths(data);
    if (parent.isValid())
        return m_controller.canAcceptFiles(paths, parent.row());
    return row < 0 && paths.size() > 1 && m_controller.canAcceptFiles(paths, -1);
}

bool KELTableVariableModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column, const QModelIndex& parent)
{
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    if (data->hasFormat(KELTableVariableController::PboardType))
        return m_controller.moveRows(draggedRows(data), row);
    return m_controller.acceptFiles(KELLocalFilePaths(data), parent.isValid() ? parent.row() : -1);
}

// --- Cells

KELTableVariableCellDelegate::KELTableVariableCellDelegate(QObject* parent) : QStyledItemDelegate(parent) { }

QWidget* KELTableVariableCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    // Each keystroke reaches the row's editor at once, so the preview follows the typing.
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        auto* self = const_cast<KELTableVariableCellDelegate*>(this);
        connect(line, &QLineEdit::textEdited, self, [self, line] { Q_EMIT self->commitData(line); });
    }
    return editor;
}

void KELTableVariableCellDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (!line) {
        QStyledItemDelegate::setEditorData(editor, index);
        return;
    }
    // A change made elsewhere (undo, the detail view) while the cell is edited: the
    // cell takes it with the caret at the end; the cell's own typing is left alone.
    const QString text = index.data(Qt::EditRole).toString();
    if (line->text() != text)
        line->setText(text);
}

void KELTableVariableModel::reload()
{
    beginResetModel();
    endResetModel();
}

// --- Controller

KELTableVariableController::KELTableVariableController(const KELComponentVariable& variable) : KELIndexedVariableController(variable) { }

KELTableVariableController::~KELTableVariableController()
{
    delete m_model;
}

const KELComponentTableVariable& KELTableVariableController::tableVariable() const
{
    return static_cast<const KELComponentTableVariable&>(variable());
}

QString KELTableVariableController::dataSourceKeyPath(const KELComponentTableColumn& column, KELVariableController& row)
{
    const QString& keyPath = column.keyPath();
    if (keyPath.isEmpty() || dynamic_cast<KELVariableController*>(toObject(row.valueForKeyPath(keyPath)).get()))
        return keyPath;
    // A key path that names an editor's value ("shape.value", as the templates
    // write it) stands for that editor: it is what shows and edits the value.
    const qsizetype dot = keyPath.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return keyPath;
    const QString editorPath = keyPath.left(dot);
    auto* editor = dynamic_cast<KELVariableController*>(toObject(row.valueForKeyPath(editorPath)).get());
    return editor && columnSource(editor) ? editorPath : keyPath;
}

KELVariableController* KELTableVariableController::dataSourceForColumn(const KELComponentTableColumn& column, KELVariableController& row)
{
    const QString keyPath = dataSourceKeyPath(column, row);
    if (keyPath.isEmpty())
        return &row;
    return dynamic_cast<KELVariableController*>(toObject(row.valueForKeyPath(keyPath)).get());
}

KELVariableController* KELTableVariableController::dataSourceForColumn(int column, qsizetype row)
{
    const auto& columns = tableVariable().columns();
    if (row < 0 || row >= count() || column < 0 || column >= columns.size())
        return nullptr;
    KELVariableController* child = variableControllerForIndex(row);
    return child ? dataSourceForColumn(columns.at(column), *child) : nullptr;
}

KELFileVariableController* KELTableVariableController::fileDataSourceAtRow(qsizetype row)
{
    for (int column = 0; column < tableVariable().columns().size(); ++column) {
        if (auto* file = dynamic_cast<KELFileVariableController*>(dataSourceForColumn(column, row)))
            return file;
    }
    return nullptr;
}

QList<int> KELTableVariableController::columnWidths(const QList<KELComponentTableColumn>& columns, int* stretchColumn)
{
    QList<int> widths;
    int stretch = -1;
    for (int i = 0; i < columns.size(); ++i) {
        if (!columns.at(i).width() && stretch < 0) {
            stretch = i;
            widths.append(1000);
        } else {
            widths.append(int(columns.at(i).width().value_or(50)));
        }
    }
    if (stretchColumn)
        *stretchColumn = stretch;
    return widths;
}

bool KELTableVariableController::moveRows(const QList<qsizetype>& rows, qsizetype gapBeforeRow)
{
    if (rows.isEmpty() || gapBeforeRow < 0 || gapBeforeRow > count())
        return false;
    for (qsizetype row : rows) {
        if (row < 0 || row >= count())
            return false;
    }
    qsizetype target = gapBeforeRow;
    for (qsizetype row : rows) {
        if (row < gapBeforeRow)
            --target;
    }
    QList<qsizetype> to;
    for (qsizetype i = 0; i < rows.size(); ++i)
        to.append(target + i);
    if (m_tableView)
        m_tableView->closePersistentEditor(m_tableView->currentIndex());
    moveVariableControllersFromIndexes(rows, to);
    if (m_tableView) {
        m_tableView->clearSelection();
        for (qsizetype row : std::as_const(to))
            m_tableView->selectionModel()->select(m_model->index(int(row), 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    return true;
}

bool KELTableVariableController::canAcceptFiles(const QStringList& paths, qsizetype row)
{
    if (paths.isEmpty() || count() == 0 || !fileDataSourceAtRow(0))
        return false;
    if (paths.size() > 1)
        return true;
    KELFileVariableController* file = row >= 0 && row < count() ? fileDataSourceAtRow(row) : nullptr;
    return file && file->isValidFileUrl(QUrl::fromLocalFile(paths.first()));
}

bool KELTableVariableController::acceptFiles(const QStringList& dropped, qsizetype row)
{
    if (dropped.isEmpty() || count() == 0)
        return false;
    QStringList paths = dropped;
    QCollator collator;
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(paths.begin(), paths.end(), [&collator](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
    if (paths.size() == 1) {
        KELFileVariableController* file = row >= 0 && row < count() ? fileDataSourceAtRow(row) : nullptr;
        if (!file || !file->isValidFileUrl(QUrl::fromLocalFile(paths.first())))
            return false;
        file->setObjectValue(paths.first());
        return true;
    }
    // Empty rows first, then the others; a path a row refuses is passed over for good.
    QList<qsizetype> rows;
    for (qsizetype i = 0; i < count(); ++i) {
        if (KELFileVariableController* file = fileDataSourceAtRow(i); file && !file->objectValue().isValid())
            rows.append(i);
    }
    for (qsizetype i = 0; i < count(); ++i) {
        if (!rows.contains(i))
            rows.append(i);
    }
    bool took = false;
    qsizetype next = 0;
    for (qsizetype r : std::as_const(rows)) {
        KELFileVariableController* file = fileDataSourceAtRow(r);
        while (file && next < paths.size() && !file->isValidFileUrl(QUrl::fromLocalFile(paths.at(next))))
            ++next;
        if (next >= paths.size())
            break;
        if (file) {
            file->setObjectValue(paths.at(next++));
            took = true;
        }
    }
    return took;
}

void KELTableVariableController::setSelectedIndex(qsizetype index)
{
    KELIndexedVariableController::setSelectedIndex(index);
    if (!m_tableView || m_updatingSelection)
        return;
    m_updatingSelection = true;
    if (index >= 0 && index < count())
        m_tableView->selectRow(int(index));
    else
        m_tableView->clearSelection();
    m_updatingSelection = false;
    selectionChanged();
}

void KELTableVariableController::selectionChanged()
{
    if (!m_tableView)
        return;
    QList<int> rows;
    for (const QModelIndex& index : m_tableView->selectionModel()->selectedRows())
        rows.append(index.row());
    if (!m_updatingSelection) {
        m_updatingSelection = true;
        KELIndexedVariableController::setSelectedIndex(rows.size() == 1 ? rows.first() : -1);
        m_updatingSelection = false;
    }
    auto* frame = qobject_cast<KELVariableIndexView*>(m_indexView.data());
    if (!frame || !tableVariable().showDetail())
        return;
    // No row: the no-selection view; several: the multiple-selection view; one: its editor.
    QWidget* shown = nullptr;
    if (rows.isEmpty())
        shown = m_noSelectionView;
    else if (rows.size() > 1)
        shown = m_multiSelectionView;
    else if (KELVariableController* child = variableControllerForIndex(rows.first()))
        shown = child->view();
    frame->setContentView(shown);
}

void KELTableVariableController::updateContentView()
{
    selectionChanged();
}

bool KELTableVariableController::childrenShowViews() const
{
    return tableVariable().showDetail() || KELIndexedVariableController::childrenShowViews();
}

void KELTableVariableController::controllerWillClose()
{
    if (m_tableView)
        m_tableView->setModel(nullptr);
    KELIndexedVariableController::controllerWillClose();
}

QWidget* KELTableVariableController::makeView()
{
    const auto type = indexedVariable().indexedType();
    if (type == KELComponentIndexedVariable::Regular || type == KELComponentIndexedVariable::Collapsible)
        return KELIndexedVariableController::makeView();
    // The table stands on the band; the selected row's editor shows below it.
    auto* frame = new KELVariableIndexView;
    auto* header = new QWidget(frame);
    auto* layout = new QVBoxLayout(header);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->addWidget(formatTitle(displayTitle(), header));
    m_model = new KELTableVariableModel(*this);
    m_tableView = new QTableView(header);
    m_tableView->setModel(m_model);
    m_tableView->setItemDelegate(new KELTableVariableCellDelegate(m_tableView));
    m_tableView->setAccessibleName(name());
    m_tableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tableView->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    m_tableView->setDragDropMode(QAbstractItemView::DragDrop);
    m_tableView->setDragDropOverwriteMode(false);
    m_tableView->setDefaultDropAction(Qt::MoveAction);
    m_tableView->setDropIndicatorShown(true);
    m_tableView->setAcceptDrops(true);
    m_tableView->verticalHeader()->hide();
    m_tableView->setAlternatingRowColors(true);
    if (tableVariable().smallSize()) {
        QFont small = m_tableView->font();
        small.setPointSizeF(small.pointSizeF() * 0.85);
        m_tableView->setFont(small);
    }
    if (const auto height = tableVariable().rowHeight())
        m_tableView->verticalHeader()->setDefaultSectionSize(int(*height));
    // Tall enough for a few rows and the header, never less.
    const int rowHeight = m_tableView->verticalHeader()->defaultSectionSize();
    m_tableView->setMinimumHeight(m_tableView->horizontalHeader()->sizeHint().height() + 4 * rowHeight + 2 * m_tableView->frameWidth());
    int stretch = -1;
    const QList<int> widths = columnWidths(tableVariable().columns(), &stretch);
    for (int i = 0; i < widths.size(); ++i) {
        if (i == stretch)
            m_tableView->horizontalHeader()->setSectionResizeMode(i, QHeaderView::Stretch);
        else
            m_tableView->setColumnWidth(i, widths.at(i));
    }
    layout->addWidget(m_tableView);
    frame->setHeaderView(header);
    if (tableVariable().showDetail()) {
        auto* none = new QLabel(QStringLiteral("No Selection"), frame);
        auto* several = new QLabel(QStringLiteral("Multiple Selection"), frame);
        for (QLabel* label : { none, several }) {
            label->setAlignment(Qt::AlignCenter);
            label->setMinimumHeight(40);
            label->setForegroundRole(QPalette::PlaceholderText);
            label->hide();
        }
        m_noSelectionView = none;
        m_multiSelectionView = several;
        frame->setContentView(none);
    }
    m_indexView = frame;
    QObject::connect(m_tableView->selectionModel(), &QItemSelectionModel::selectionChanged, m_tableView, [this] { selectionChanged(); });
    return frame;
}

void KELTableVariableController::updateViews()
{
    if (!m_tableView) {
        KELIndexedVariableController::updateViews();
        return;
    }
    // Rows follow every value their cells show.
    for (qsizetype row = 0; row < count(); ++row) {
        KELVariableController* child = variableControllerForIndex(row);
        if (!child || m_observedRows.contains(child))
            continue;
        m_observedRows.insert(child);
        const std::weak_ptr<kit::KeyValueObject> weakSelf = shared_from_this();
        for (const KELComponentTableColumn& column : tableVariable().columns()) {
            const QString source = dataSourceKeyPath(column, *child);
            const QString path = source.isEmpty() ? QStringLiteral("objectValue") : source + QStringLiteral(".objectValue");
            child->addObserver(path, [weakSelf](const kit::KeyValueChange&) {
                auto self = std::static_pointer_cast<KELTableVariableController>(weakSelf.lock());
                if (self && !self->m_isEditing && self->m_model)
                    Q_EMIT self->m_model->dataChanged(self->m_model->index(0, 0),
                        self->m_model->index(self->m_model->rowCount() - 1, self->m_model->columnCount() - 1));
            });
        }
    }
    const qsizetype selected = selectedIndex();
    m_model->reload();
    if (selected >= 0 && selected < count())
        m_tableView->selectRow(int(selected));
    selectionChanged();
}
