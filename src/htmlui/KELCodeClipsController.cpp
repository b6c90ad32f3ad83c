#include "htmlui/KELCodeClipsController.h"
#include "kit/WindowPlacement.h"

#include "editor/KELCodeClipSource.h"
#include "html/KELCodeClipsManager.h"
#include "kit/Alert.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDragMoveEvent>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

namespace {

// Takes moved ids out of an order, keeping row at the same gap between the others.
void takeMovedIds(QList<qint64>& order, const QList<qint64>& ids, int* row)
{
    for (qint64 id : ids) {
        const qsizetype at = order.indexOf(id);
        if (at >= 0) {
            order.removeAt(at);
            if (at < *row)
                --*row;
        }
    }
}

void insertIds(QList<qint64>& order, const QList<qint64>& ids, int row)
{
    for (qsizetype k = 0; k < ids.size(); ++k)
        order.insert(row + k, ids[k]);
}

// Which clips or groups a drag carries, so that a drop in this window moves
// them rather than copying; only trusted from this very process.
const QString DraggedIdsType = QStringLiteral("application/x-kelp-code-clip-ids");

QByteArray draggedIdsData(bool groups, const QList<qint64>& ids)
{
    QStringList parts { QString::number(QCoreApplication::applicationPid()), groups ? QStringLiteral("g") : QStringLiteral("c") };
    for (qint64 id : ids)
        parts.append(QString::number(id));
    return parts.join(QLatin1Char(' ')).toUtf8();
}

QList<qint64> draggedIds(const QMimeData* data, bool groups)
{
    QList<qint64> ids;
    if (!data || !data->hasFormat(DraggedIdsType))
        return ids;
    const QStringList parts = QString::fromUtf8(data->data(DraggedIdsType)).split(QLatin1Char(' '));
    if (parts.size() < 2 || parts[0] != QString::number(QCoreApplication::applicationPid())
        || parts[1] != (groups ? QLatin1String("g") : QLatin1String("c")))
        return ids;
    for (qsizetype i = 2; i < parts.size(); ++i)
        ids.append(parts[i].toLongLong());
    return ids;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Model

KELCodeClipTableModel::KELCodeClipTableModel(bool groups, KELCodeClipsController* controller)
    : QAbstractTableModel(controller)
    , m_groups(groups)
    , m_controller(controller)
{
}

void KELCodeClipTableModel::reload()
{
    beginResetModel();
    m_ids.clear();
    KELCodeClipsManager& store = KELCodeClipsManager::sharedInstance();
    if (m_groups) {
        for (const KELCodeClipGroup& g : store.groups())
            m_ids.append(g.id());
    } else if (const qint64 group = m_controller->selectedGroupId()) {
        for (const KELCodeClip& c : store.clipsInGroup(group))
            m_ids.append(c.id());
    }
    endResetModel();
}

QVariant KELCodeClipTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return QVariant();
    KELCodeClipsManager& store = KELCodeClipsManager::sharedInstance();
    const qint64 id = idAtRow(index.row());
    if (m_groups) {
        const std::optional<KELCodeClipGroup> g = store.group(id);
        return g ? g->groupName() : QString();
    }
    const std::optional<KELCodeClip> c = store.clip(id);
    return c ? c->name() : QString();
}

bool KELCodeClipTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    const qint64 id = idAtRow(index.row());
    if (m_groups)
        KELCodeClipsManager::sharedInstance().setGroupName(id, value.toString());
    else
        KELCodeClipsManager::sharedInstance().setClipName(id, value.toString());
    return true;
}

Qt::ItemFlags KELCodeClipTableModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = Qt::ItemIsDropEnabled;
    if (index.isValid())
        f |= Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDragEnabled;
    return f;
}

QStringList KELCodeClipTableModel::mimeTypes() const
{
    if (m_groups)
        return { KELCodeClipGroupsPboardType, KELCodeClipsPboardType };
    return { KELCodeClipsPboardType, KELCodeClipsContentPboardType };
}

QMimeData* KELCodeClipTableModel::mimeData(const QModelIndexList& indexes) const
{
    KELCodeClipsManager& store = KELCodeClipsManager::sharedInstance();
    QList<int> rows;
    for (const QModelIndex& i : indexes)
        if (!rows.contains(i.row()))
            rows.append(i.row());
    std::sort(rows.begin(), rows.end());
    QList<qint64> ids;
    QVariantList archives;
    QStringList contents;
    for (int row : rows) {
        const qint64 id = idAtRow(row);
        ids.append(id);
        if (m_groups) {
            if (const std::optional<KELCodeClipGroup> g = store.group(id))
                archives.append(KELCodeClipGroup::archive(*g, store.clipsInGroup(id)));
        } else if (const std::optional<KELCodeClip> c = store.clip(id)) {
            archives.append(c->archive());
            contents.append(c->content().isNull() ? QStringLiteral("") : c->content());
        }
    }
    auto* data = new QMimeData;
    data->setData(m_groups ? KELCodeClipGroupsPboardType : KELCodeClipsPboardType, codeClipArchivesData(archives));
    if (!m_groups) {
        data->setData(KELCodeClipsContentPboardType, codeClipsContentData(contents));
        data->setText(contents.join(QLatin1Char('\n')));
    }
    data->setData(DraggedIdsType, draggedIdsData(m_groups, ids));
    return data;
}

bool KELCodeClipTableModel::canDropMimeData(
    const QMimeData* data, Qt::DropAction, int row, int, const QModelIndex& parent) const
{
    if (!data)
        return false;
    if (m_groups && data->hasFormat(KELCodeClipsPboardType))
        return parent.isValid(); // clips go onto a group
    if (parent.isValid() && row < 0)
        return false; // between rows only
    return data->hasFormat(m_groups ? KELCodeClipGroupsPboardType : KELCodeClipsPboardType);
}

bool KELCodeClipTableModel::dropMimeData(
    const QMimeData* data, Qt::DropAction action, int row, int column, const QModelIndex& parent)
{
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    const bool copy = action != Qt::MoveAction;
    if (m_groups && data->hasFormat(KELCodeClipsPboardType)) {
        // Clips dropped on a group are appended to it.
        const std::optional<QVariantList> archives = codeClipArchivesFromData(data->data(KELCodeClipsPboardType));
        if (!archives)
            return false;
        return m_controller->dropClips(*archives, draggedIds(data, false), idAtRow(parent.row()), -1, copy);
    }
    const QString type = m_groups ? KELCodeClipGroupsPboardType : KELCodeClipsPboardType;
    const std::optional<QVariantList> archives = codeClipArchivesFromData(data->data(type));
    if (!archives)
        return false;
    if (m_groups)
        return m_controller->dropGroups(*archives, draggedIds(data, true), row, copy);
    return m_controller->dropClips(*archives, draggedIds(data, false), m_controller->selectedGroupId(), row, copy);
}

// ---------------------------------------------------------------------------------------------
// Tables

KELCodeClipAbstractTableView::KELCodeClipAbstractTableView(
    bool groups, KELCodeClipsController* controller, QWidget* parent)
    : QTableView(parent)
    , m_groups(groups)
    , m_controller(controller)
{
    horizontalHeader()->hide();
    horizontalHeader()->setStretchLastSection(true);
    verticalHeader()->hide();
    setShowGrid(false);
    setSelectionBehavior(SelectRows);
    setSelectionMode(ExtendedSelection);
    setEditTriggers(DoubleClicked | EditKeyPressed);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    setDragDropOverwriteMode(false);
    m_springTimer.setSingleShot(true);
    m_springTimer.setInterval(600);
    connect(&m_springTimer, &QTimer::timeout, this, [this] { performSpringLoadedSelect(); });
}

void KELCodeClipAbstractTableView::keyPressEvent(QKeyEvent* event)
{
    if (state() != EditingState) {
        if (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) {
            if (m_groups)
                m_controller->removeSelectedGroups();
            else
                m_controller->removeSelectedClips();
            return;
        }
        if (!m_groups && event->key() == Qt::Key_Left) {
            m_controller->groupsTableView()->setFocus();
            return;
        }
        if (m_groups && event->key() == Qt::Key_Right) {
            m_controller->clipsTableView()->setFocus();
            return;
        }
    }
    QTableView::keyPressEvent(event);
}

void KELCodeClipAbstractTableView::dragMoveEvent(QDragMoveEvent* event)
{
    QTableView::dragMoveEvent(event);
    if (!m_groups || !event->mimeData()->hasFormat(KELCodeClipsPboardType))
        return;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (!index.isValid()) {
        event->ignore();
        return;
    }
    if (index.row() != m_springRow || !m_springTimer.isActive()) {
        m_springRow = index.row();
        m_springTimer.start();
    }
    event->setDropAction((event->possibleActions() & Qt::MoveAction) && !(event->modifiers() & Qt::ControlModifier)
            ? Qt::MoveAction
            : Qt::CopyAction);
    event->accept();
}

void KELCodeClipAbstractTableView::dragLeaveEvent(QDragLeaveEvent* event)
{
    cancelSpringLoadedSelect();
    QTableView::dragLeaveEvent(event);
}

void KELCodeClipAbstractTableView::dropEvent(QDropEvent* event)
{
    cancelSpringLoadedSelect();
    QTableView::dropEvent(event);
}

void KELCodeClipAbstractTableView::performSpringLoadedSelect()
{
    const int row = m_springRow;
    const QModelIndexList selected = selectionModel() ? selectionModel()->selectedRows() : QModelIndexList();
    if (!(selected.size() == 1 && selected.first().row() == row) && row >= 0 && model() && row < model()->rowCount())
        selectRow(row);
    cancelSpringLoadedSelect();
}

void KELCodeClipAbstractTableView::cancelSpringLoadedSelect()
{
    m_springTimer.stop();
    m_springRow = -1;
}

// ---------------------------------------------------------------------------------------------
// Window

KELCodeClipsController& KELCodeClipsController::sharedInstance()
{
    static KELCodeClipsController* instance = new KELCodeClipsController;
    return *instance;
}

KELCodeClipsController::KELCodeClipsController()
    : QWidget(nullptr, Qt::Window)
{
    setWindowTitle(tr("Code Clips"));
    setObjectName(QStringLiteral("KELCodeClipsWindow"));
    resize(720, 480);
    kit::keepWindowFrame(this, QStringLiteral("KELCodeClipsWindowFrame"));
    m_groupsModel = new KELCodeClipTableModel(true, this);
    m_clipsModel = new KELCodeClipTableModel(false, this);
    m_groupsView = new KELCodeClipAbstractTableView(true, this, this);
    m_groupsView->setModel(m_groupsModel);
    m_clipsView = new KELCodeClipAbstractTableView(false, this, this);
    m_clipsView->setModel(m_clipsModel);

    m_addGroup = new QPushButton(QStringLiteral("+"), this);
    m_removeGroup = new QPushButton(QStringLiteral("−"), this);
    m_addClip = new QPushButton(QStringLiteral("+"), this);
    m_removeClip = new QPushButton(QStringLiteral("−"), this);
    m_addGroup->setToolTip(tr("New Group"));
    m_removeGroup->setToolTip(tr("Remove Group"));
    m_addClip->setToolTip(tr("New Clip"));
    m_removeClip->setToolTip(tr("Remove Clip"));
    // The buttons show only a sign: their names are what they do.
    for (QPushButton* button : {m_addGroup, m_removeGroup, m_addClip, m_removeClip})
        button->setAccessibleName(button->toolTip());
    m_placeholder = new QPushButton(tr("Insert Selection Placeholder"), this);
    m_completionName = new QLineEdit(this);
    m_command = new QComboBox(this);
    m_command->addItem(tr("None"), KELCodeClip::NoCommand);
    for (int digit = 0; digit <= 9; ++digit)
        m_command->addItem(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_0 + digit)).toString(QKeySequence::NativeText),
            digit);
    m_content = new QPlainTextEdit(this);
    m_content->setPlaceholderText(tr("Enter Clip's Content"));
    m_content->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto* left = new QWidget(this);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(new QLabel(tr("Groups"), left));
    leftLayout->addWidget(m_groupsView);
    auto* groupButtons = new QHBoxLayout;
    groupButtons->addWidget(m_addGroup);
    groupButtons->addWidget(m_removeGroup);
    groupButtons->addStretch();
    leftLayout->addLayout(groupButtons);

    auto* right = new QWidget(this);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addWidget(new QLabel(tr("Clips"), right));
    rightLayout->addWidget(m_clipsView, 1);
    auto* clipButtons = new QHBoxLayout;
    clipButtons->addWidget(m_addClip);
    clipButtons->addWidget(m_removeClip);
    clipButtons->addStretch();
    rightLayout->addLayout(clipButtons);
    auto* form = new QFormLayout;
    form->addRow(tr("Completion name:"), m_completionName);
    form->addRow(tr("Shortcut:"), m_command);
    rightLayout->addLayout(form);
    rightLayout->addWidget(m_content, 2);
    rightLayout->addWidget(m_placeholder, 0, Qt::AlignLeft);

    auto* splitter = new QSplitter(this);
    splitter->addWidget(left);
    splitter->addWidget(right);
    splitter->setStretchFactor(1, 2);
    m_storeProblem = new QLabel(this);
    m_storeProblem->setWordWrap(true);
    m_storeProblem->setObjectName(QStringLiteral("KELCodeClipsStoreProblem"));
    m_storeProblem->setStyleSheet(QStringLiteral("QLabel { background: #fff3cd; color: #533f03; padding: 6px; }"));
    m_storeProblem->hide();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_storeProblem);
    layout->addWidget(splitter);

    m_contentTimer.setSingleShot(true);
    m_contentTimer.setInterval(400);
    connect(&m_contentTimer, &QTimer::timeout, this, [this] { commitContent(); });
    connect(m_content, &QPlainTextEdit::textChanged, this, [this] {
        if (m_updating || !m_detailClip)
            return;
        m_contentPending = true;
        m_contentTimer.start();
    });
    connect(m_completionName, &QLineEdit::editingFinished, this, [this] {
        if (m_updating || !m_detailClip)
            return;
        commitContent();
        const QString stored = KELCodeClipsManager::sharedInstance().setClipCompletionName(
            m_detailClip, m_completionName->text());
        if (stored != m_completionName->text())
            m_completionName->setText(stored);
    });
    connect(m_command, &QComboBox::activated, this, [this](int index) {
        if (m_updating || !m_detailClip)
            return;
        // What was typed goes first: the store's change refreshes the fields.
        commitContent();
        const int chosen = m_command->itemData(index).toInt();
        const int stored = KELCodeClipsManager::sharedInstance().setClipCommand(
            m_detailClip, chosen, &KELCodeClipsManager::askToChangeCommand);
        if (stored != chosen)
            updateDetail();
    });
    connect(m_addGroup, &QPushButton::clicked, this, [this] { addGroup(); });
    connect(m_removeGroup, &QPushButton::clicked, this, [this] { removeSelectedGroups(); });
    connect(m_addClip, &QPushButton::clicked, this, [this] { addClip(); });
    connect(m_removeClip, &QPushButton::clicked, this, [this] { removeSelectedClips(); });
    connect(m_placeholder, &QPushButton::clicked, this, [this] { insertSelectionPlaceholder(); });
    connect(m_groupsView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        [this] { groupSelectionChanged(); });
    connect(m_clipsView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        [this] { clipSelectionChanged(); });
    reload();
    selectGroup(KELCodeClipsManager::sharedInstance().defaultGroup().id());
}

bool KELCodeClipsController::ask(const QString& title)
{
    kit::Alert alert;
    alert.setMessageText(title);
    alert.setInformativeText(tr("This action cannot be undone."));
    alert.addButton(tr("Delete"));
    alert.addButton(tr("Cancel"));
    return alert.runModal() == kit::Alert::FirstButtonReturn;
}

void KELCodeClipsController::reload()
{
    // Follow the store in use (tests replace it), refreshing on each of its changes.
    KELCodeClipsManager* current = &KELCodeClipsManager::sharedInstance();
    if (m_store != current) {
        if (m_store)
            disconnect(m_store, nullptr, this, nullptr);
        m_store = current;
        connect(current, &KELCodeClipsManager::clipsChanged, this, [this] {
            if (!m_updating)
                reload();
        });
        connect(current, &KELCodeClipsManager::willSaveClips, this, [this] { commitContent(); });
        connect(current, &KELCodeClipsManager::storeProblemChanged, this, [this] { updateStoreProblem(); });
        connect(current, &KELCodeClipsManager::idChanged, this, [this](bool group, qint64 from, qint64 to) {
            if (!group && m_detailClip == from)
                m_detailClip = to;
        });
    }
    updateStoreProblem();
    const QList<qint64> groups = selectedGroupIds();
    const QList<qint64> clips = selectedClipIds();
    m_updating = true;
    m_groupsModel->reload();
    for (qint64 id : groups)
        if (m_groupsModel->rowOfId(id) >= 0)
            m_groupsView->selectionModel()->select(m_groupsModel->index(m_groupsModel->rowOfId(id), 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
    m_clipsModel->reload();
    for (qint64 id : clips)
        if (m_clipsModel->rowOfId(id) >= 0)
            m_clipsView->selectionModel()->select(m_clipsModel->index(m_clipsModel->rowOfId(id), 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
    m_updating = false;
    updateDetail();
}

QList<qint64> KELCodeClipsController::selectedGroupIds() const
{
    QList<qint64> ids;
    if (!m_groupsView || !m_groupsView->selectionModel())
        return ids;
    QModelIndexList rows = m_groupsView->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end());
    for (const QModelIndex& i : rows)
        ids.append(m_groupsModel->idAtRow(i.row()));
    return ids;
}

qint64 KELCodeClipsController::selectedGroupId() const
{
    const QList<qint64> ids = selectedGroupIds();
    return ids.isEmpty() ? 0 : ids.first();
}

QList<qint64> KELCodeClipsController::selectedClipIds() const
{
    QList<qint64> ids;
    if (!m_clipsView || !m_clipsView->selectionModel())
        return ids;
    QModelIndexList rows = m_clipsView->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end());
    for (const QModelIndex& i : rows)
        ids.append(m_clipsModel->idAtRow(i.row()));
    return ids;
}

qint64 KELCodeClipsController::selectedClipId() const
{
    const QList<qint64> ids = selectedClipIds();
    return ids.size() == 1 ? ids.first() : 0;
}

void KELCodeClipsController::selectGroup(qint64 id)
{
    const int row = m_groupsModel->rowOfId(id);
    if (row >= 0)
        m_groupsView->selectRow(row);
}

void KELCodeClipsController::selectClip(qint64 id)
{
    const int row = m_clipsModel->rowOfId(id);
    if (row >= 0)
        m_clipsView->selectRow(row);
}

void KELCodeClipsController::groupSelectionChanged()
{
    if (m_updating)
        return;
    commitContent();
    m_clipsModel->reload();
    m_removeGroup->setEnabled(canRemoveGroups());
    updateDetail();
}

void KELCodeClipsController::clipSelectionChanged()
{
    if (m_updating)
        return;
    commitContent();
    updateDetail();
}

void KELCodeClipsController::updateDetail()
{
    commitContent();
    const qint64 id = selectedClipId();
    const std::optional<KELCodeClip> clip = KELCodeClipsManager::sharedInstance().clip(id);
    const bool wasUpdating = m_updating;
    m_updating = true;
    m_detailClip = clip ? id : 0;
    m_completionName->setEnabled(bool(clip));
    m_command->setEnabled(bool(clip));
    m_content->setEnabled(bool(clip));
    m_placeholder->setEnabled(bool(clip));
    m_removeClip->setEnabled(!selectedClipIds().isEmpty());
    m_removeGroup->setEnabled(canRemoveGroups());
    if (m_completionName->text() != (clip ? clip->completionName() : QString()))
        m_completionName->setText(clip ? clip->completionName() : QString());
    m_command->setCurrentIndex(clip ? std::max(0, m_command->findData(clip->command())) : 0);
    const QString content = clip ? clip->content() : QString();
    if (m_content->toPlainText() != content)
        m_content->setPlainText(content);
    m_updating = wasUpdating;
}

void KELCodeClipsController::commitContent()
{
    m_contentTimer.stop();
    if (!m_contentPending)
        return;
    m_contentPending = false;
    if (!m_detailClip)
        return;
    // Only the content changes: the tables need no reload (which would end an edit in them).
    const bool wasUpdating = m_updating;
    m_updating = true;
    KELCodeClipsManager::sharedInstance().setClipContent(m_detailClip, m_content->toPlainText());
    m_updating = wasUpdating;
}

void KELCodeClipsController::updateStoreProblem()
{
    const KELCodeClipsManager& store = KELCodeClipsManager::sharedInstance();
    const QString problem = store.storeProblem();
    m_storeProblem->setText(problem);
    m_storeProblem->setVisible(!problem.isEmpty());
    m_addGroup->setEnabled(store.canEdit());
    m_addClip->setEnabled(store.canEdit());
}

bool KELCodeClipsController::canRemoveGroups() const
{
    const QList<qint64> ids = selectedGroupIds();
    if (ids.isEmpty())
        return false;
    for (qint64 id : ids) {
        const std::optional<KELCodeClipGroup> g = KELCodeClipsManager::sharedInstance().group(id);
        if (g && g->isDefault())
            return false;
    }
    return true;
}

void KELCodeClipsController::removeSelectedGroups()
{
    if (!canRemoveGroups()) {
        QApplication::beep();
        return;
    }
    const QList<qint64> ids = selectedGroupIds();
    if (!ask(tr("Are you sure that you want to delete the selected Group%1?")
                 .arg(ids.size() > 1 ? QStringLiteral("s") : QString())))
        return;
    KELCodeClipsManager::sharedInstance().removeGroups(ids);
    selectGroup(KELCodeClipsManager::sharedInstance().defaultGroup().id());
}

void KELCodeClipsController::removeSelectedClips()
{
    const QList<qint64> ids = selectedClipIds();
    if (ids.isEmpty()) {
        QApplication::beep();
        return;
    }
    if (!ask(tr("Are you sure that you want to delete the selected Clip%1?")
                 .arg(ids.size() > 1 ? QStringLiteral("s") : QString())))
        return;
    commitContent();
    KELCodeClipsManager::sharedInstance().removeClips(ids);
}

void KELCodeClipsController::addGroup()
{
    commitContent();
    const KELCodeClipGroup g = KELCodeClipsManager::sharedInstance().newGroup();
    selectGroup(g.id());
    m_groupsView->setFocus();
    m_groupsView->edit(m_groupsModel->index(m_groupsModel->rowOfId(g.id()), 0));
}

void KELCodeClipsController::addClip()
{
    commitContent();
    qint64 group = selectedGroupId();
    if (!group)
        group = KELCodeClipsManager::sharedInstance().defaultGroup().id();
    const KELCodeClip c = KELCodeClipsManager::sharedInstance().newClipInGroup(group);
    selectGroup(group);
    selectClip(c.id());
    m_clipsView->setFocus();
    m_clipsView->edit(m_clipsModel->index(m_clipsModel->rowOfId(c.id()), 0));
}

void KELCodeClipsController::manageCodeClips()
{
    reload();
    show();
    raise();
    activateWindow();
}

void KELCodeClipsController::newClip()
{
    manageCodeClips();
    newClipWithContent(std::nullopt);
}

void KELCodeClipsController::newClipFromSelection(const std::optional<QString>& selection)
{
    manageCodeClips();
    newClipWithContent(selection);
}

void KELCodeClipsController::newClipWithContent(const std::optional<QString>& content)
{
    commitContent();
    KELCodeClipsManager& store = KELCodeClipsManager::sharedInstance();
    if (!store.canEdit()) {
        kit::Alert alert;
        alert.setMessageText(tr("The clip cannot be made now."));
        alert.setInformativeText(store.storeProblem());
        alert.addButton(tr("OK"));
        alert.runModal();
        return;
    }
    const KELCodeClipGroup group = store.defaultGroup();
    selectGroup(group.id());
    const KELCodeClip clip = store.newClipInGroup(group.id());
    if (content)
        store.setClipContent(clip.id(), *content);
    selectClip(clip.id());
    m_clipsView->setFocus();
    m_clipsView->edit(m_clipsModel->index(m_clipsModel->rowOfId(clip.id()), 0));
}

void KELCodeClipsController::insertSelectionPlaceholder()
{
    m_content->setFocus();
    m_content->insertPlainText(QStringLiteral("<##>"));
}

bool KELCodeClipsController::dropClips(
    const QVariantList& archives, const QList<qint64>& ids, qint64 groupId, int row, bool copy)
{
    KELCodeClipsManager& store = KELCodeClipsManager::sharedInstance();
    if (!groupId || archives.isEmpty())
        return false;
    commitContent();
    QList<qint64> order;
    for (const KELCodeClip& c : store.clipsInGroup(groupId))
        order.append(c.id());
    if (row < 0 || row > order.size())
        row = int(order.size());
    QList<qint64> dropped;
    if (!copy && ids.size() == archives.size()) {
        // A move inside this window keeps the clips themselves.
        takeMovedIds(order, ids, &row);
        dropped = ids;
    } else {
        m_updating = true;
        for (const QVariant& archive : archives) {
            KELCodeClip clip = KELCodeClip::fromArchive(archive.toMap());
            // A copy never shares its shortcut with the original.
            if (copy)
                clip.setCommand(KELCodeClip::NoCommand);
            dropped.append(store.insertClip(clip, groupId, order.size()).id());
        }
        m_updating = false;
    }
    insertIds(order, dropped, row);
    store.setClipOrder(groupId, order);
    reload();
    if (selectedGroupId() == groupId)
        for (qint64 id : dropped)
            m_clipsView->selectionModel()->select(m_clipsModel->index(m_clipsModel->rowOfId(id), 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
    return true;
}

bool KELCodeClipsController::dropGroups(const QVariantList& archives, const QList<qint64>& ids, int row, bool copy)
{
    KELCodeClipsManager& store = KELCodeClipsManager::sharedInstance();
    if (archives.isEmpty())
        return false;
    QList<qint64> order;
    for (const KELCodeClipGroup& g : store.groups())
        order.append(g.id());
    if (row < 0 || row > order.size())
        row = int(order.size());
    QList<qint64> dropped;
    if (!copy && ids.size() == archives.size()) {
        takeMovedIds(order, ids, &row);
        dropped = ids;
    } else {
        m_updating = true;
        for (const QVariant& archive : archives) {
            QList<KELCodeClip> clips;
            KELCodeClipGroup group = KELCodeClipGroup::fromArchive(archive.toMap(), &clips);
            if (copy) {
                group.setDefault(false);
                group.setGroupName(tr("%1 copy").arg(group.groupName()));
                // One digit, one clip: the copies leave the shortcuts to the originals.
                for (KELCodeClip& clip : clips)
                    clip.setCommand(KELCodeClip::NoCommand);
            }
            dropped.append(store.insertGroup(group, clips, order.size()).id());
        }
        m_updating = false;
    }
    insertIds(order, dropped, row);
    store.setGroupOrder(order);
    reload();
    return true;
}

void KELCodeClipsController::closeEvent(QCloseEvent* event)
{
    commitContent();
    KELCodeClipsManager::sharedInstance().saveClips();
    QWidget::closeEvent(event);
}
