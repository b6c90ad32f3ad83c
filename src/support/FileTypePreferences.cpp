#include "support/FileTypePreferences.h"

#include "support/DefaultsKeys.h"
#include "support/Notifications.h"
#include "kit/Alert.h"
#include "kit/NotificationCenter.h"
#include "kit/UserDefaults.h"
#include "support/FileExtensionFormatter.h"
#include "support/HelpUtils.h"
#include "support/KELFileTypeManager.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

// The registry's entries, shown sorted by their own order.
class FileTypeTableModel : public QAbstractTableModel {
public:
    using Entry = std::shared_ptr<KELExtensionType>;

    explicit FileTypeTableModel(QObject* parent) : QAbstractTableModel(parent) { reload(); }

    void reload()
    {
        beginResetModel();
        m_rows = KELFileTypeManager::sharedInstance().extensionTypes();
        sortRows();
        endResetModel();
    }

    // Re-sorts the rows after an edit, keeping selection and editors on their entries.
    void rearrange()
    {
        const QList<Entry> before = m_rows;
        QList<Entry> after = m_rows;
        std::stable_sort(after.begin(), after.end(), [](const Entry& a, const Entry& b) { return a->compare(*b) < 0; });
        if (after == before)
            return;
        Q_EMIT layoutAboutToBeChanged();
        m_rows = after;
        QModelIndexList from, to;
        for (const QModelIndex& index : persistentIndexList()) {
            from.append(index);
            const qsizetype row = index.row() < before.size() ? m_rows.indexOf(before[index.row()]) : -1;
            to.append(row < 0 ? QModelIndex() : createIndex(int(row), index.column()));
        }
        changePersistentIndexList(from, to);
        Q_EMIT layoutChanged();
    }

    Entry entryAt(int row) const { return row >= 0 && row < m_rows.size() ? m_rows[row] : Entry(); }
    int rowOf(const Entry& entry) const { return int(m_rows.indexOf(entry)); }

    void appendEntry(const Entry& entry)
    {
        auto& registry = KELFileTypeManager::sharedInstance();
        auto entries = registry.extensionTypes();
        entries.append(entry);
        registry.setExtensionTypes(entries);
        beginInsertRows(QModelIndex(), int(m_rows.size()), int(m_rows.size()));
        m_rows.append(entry);
        endInsertRows();
        rearrange();
    }

    void removeEntries(const QList<Entry>& removed)
    {
        auto& registry = KELFileTypeManager::sharedInstance();
        auto entries = registry.extensionTypes();
        for (const Entry& entry : removed)
            entries.removeAll(entry);
        registry.setExtensionTypes(entries);
        reload();
    }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(m_rows.size());
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : 2; }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return QVariant();
        return section == FileTypePreferences::extensionColumn ? tr("Extension") : tr("Type");
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        return QAbstractTableModel::flags(index) | Qt::ItemIsEditable;
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        const Entry entry = entryAt(index.row());
        if (!entry)
            return QVariant();
        if (index.column() == FileTypePreferences::typeColumn)
            return role == Qt::DisplayRole || role == Qt::EditRole ? QVariant(entry->typeName()) : QVariant();
        const bool placeholder = !entry->extension() || entry->extension()->isEmpty();
        switch (role) {
        case Qt::DisplayRole:
            if (!entry->extension())
                return tr("Enter Value");
            return entry->extension()->isEmpty() ? tr("(No Extension)") : *entry->extension();
        case Qt::EditRole:
            return entry->extension().value_or(QString());
        case Qt::ForegroundRole:
            return placeholder ? QVariant(QPalette().brush(QPalette::Disabled, QPalette::Text)) : QVariant();
        default:
            return QVariant();
        }
    }

    // The entry's own check of an edited extension; the value comes back cleaned.
    bool validate(const QModelIndex& index, std::optional<QString>& value, kit::Error* error) const
    {
        const Entry entry = entryAt(index.row());
        return entry && entry->validateExtension(value, error);
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override
    {
        const Entry entry = entryAt(index.row());
        if (!entry || role != Qt::EditRole)
            return false;
        if (index.column() == FileTypePreferences::typeColumn) {
            if (value.toString().isEmpty() || value.toString() == entry->typeName())
                return false;
            entry->setTypeName(value.toString());
        } else {
            std::optional<QString> extension = value.toString();
            if (!entry->validateExtension(extension, nullptr))
                return false;
            if (extension == entry->extension())
                return false;
            const QModelIndex row = index.siblingAtColumn(FileTypePreferences::extensionColumn);
            entry->setExtension(extension);
            Q_EMIT dataChanged(row, row);
            return true;
        }
        Q_EMIT dataChanged(index, index);
        return true;
    }

private:
    void sortRows()
    {
        std::stable_sort(m_rows.begin(), m_rows.end(), [](const Entry& a, const Entry& b) { return a->compare(*b) < 0; });
    }

    QList<Entry> m_rows;
};

// The table, able to finish an edit in progress before rows are added.
class FileTypeTableView : public QTableView {
public:
    using QTableView::QTableView;

    // Commits the open editor; false when its value is refused (the editor stays open).
    bool endEditing();
};

namespace {

// Extensions are edited in a line edit that drops a leading point; a duplicate is
// reported and the edit stays open for correction.
class ExtensionDelegate : public QStyledItemDelegate {
public:
    ExtensionDelegate(FileTypeTableModel* model, QObject* parent) : QStyledItemDelegate(parent), m_model(model) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override
    {
        m_editedIndex = index;
        auto* editor = new QLineEdit(parent);
        editor->setFrame(false);
        editor->setValidator(new FileExtensionFormatter(editor));
        return editor;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        auto* line = static_cast<QLineEdit*>(editor);
        line->setText(index.data(Qt::EditRole).toString());
        line->selectAll();
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        // A refused value leaves the entry as it was.
        model->setData(index, static_cast<QLineEdit*>(editor)->text(), Qt::EditRole);
    }

    // Checks the editor's value; reports a refusal to the user.
    bool acceptEditor(QWidget* editor, const QModelIndex& index) const
    {
        std::optional<QString> value = static_cast<QLineEdit*>(editor)->text();
        kit::Error error;
        if (m_model->validate(index, value, &error))
            return true;
        m_presentingError = true;
        kit::Alert::fromError(error).runModal();
        m_presentingError = false;
        if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            line->setFocus();
            line->selectAll();
        }
        return false;
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        auto* editor = qobject_cast<QWidget*>(object);
        if (editor && event->type() == QEvent::FocusOut && m_presentingError)
            return true; // the error alert took the focus; the edit goes on afterwards
        if (editor && event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            const bool commits =
                key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Tab || key == Qt::Key_Backtab;
            if (commits && !acceptEditor(editor, m_editedIndex))
                return true;
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    FileTypeTableModel* m_model;
    mutable QPersistentModelIndex m_editedIndex;
    mutable bool m_presentingError = false;
};

// Type names are chosen from a pop-up; a choice applies at once.
class TypeDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        auto* popUp = new QComboBox(parent);
        popUp->addItems(KELFileTypeManager::sharedInstance().allTypeNames());
        connect(popUp, &QComboBox::activated, this, [this, popUp](int) {
            auto* self = const_cast<TypeDelegate*>(this);
            Q_EMIT self->commitData(popUp);
            Q_EMIT self->closeEditor(popUp);
        });
        return popUp;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        auto* popUp = static_cast<QComboBox*>(editor);
        popUp->setCurrentIndex(popUp->findText(index.data(Qt::EditRole).toString()));
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        model->setData(index, static_cast<QComboBox*>(editor)->currentText(), Qt::EditRole);
    }
};

} // namespace

bool FileTypeTableView::endEditing()
{
    if (state() != QAbstractItemView::EditingState)
        return true;
    const QModelIndex index = currentIndex();
    QWidget* editor = indexWidget(index);
    if (!editor)
        return true;
    if (index.column() == FileTypePreferences::extensionColumn) {
        auto* delegate = static_cast<ExtensionDelegate*>(itemDelegateForColumn(FileTypePreferences::extensionColumn));
        if (!delegate->acceptEditor(editor, index))
            return false;
    }
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    return true;
}

FileTypePreferences* FileTypePreferences::sharedInstance()
{
    static QPointer<FileTypePreferences> pane;
    if (!pane)
        pane = new FileTypePreferences; // owned by the preferences window once it shows it
    return pane;
}

FileTypePreferences::FileTypePreferences(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FileTypePreferences"));
    m_model = new FileTypeTableModel(this);
    m_table = new FileTypeTableView(this);
    m_table->setObjectName(QStringLiteral("fileTypeTableView"));
    m_table->setModel(m_model);
    m_table->setItemDelegateForColumn(extensionColumn, new ExtensionDelegate(m_model, m_table));
    m_table->setItemDelegateForColumn(typeColumn, new TypeDelegate(m_table));
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
        | QAbstractItemView::SelectedClicked);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->horizontalHeader()->setSectionsClickable(false);
    m_table->setColumnWidth(extensionColumn, 160);

    m_addButton = new QPushButton(QStringLiteral("+"), this);
    m_addButton->setObjectName(QStringLiteral("addButton"));
    m_addButton->setToolTip(tr("Add an extension"));
    m_removeButton = new QPushButton(QStringLiteral("\u2212"), this);
    m_removeButton->setObjectName(QStringLiteral("removeButton"));
    m_removeButton->setToolTip(tr("Remove the selected extensions"));
    m_addButton->setAccessibleName(tr("Add extension"));
    m_removeButton->setAccessibleName(tr("Remove extensions"));
    m_resetButton = new QPushButton(tr("Reset to Defaults"), this);
    m_resetButton->setObjectName(QStringLiteral("resetButton"));
    // Clicking + or - must not take the focus from an edit in progress: the edit is
    // checked and finished first.
    m_addButton->setFocusPolicy(Qt::NoFocus);
    m_removeButton->setFocusPolicy(Qt::NoFocus);
    m_helpButton = new QPushButton(QStringLiteral("?"), this);
    m_helpButton->setObjectName(QStringLiteral("helpButton"));
    m_helpButton->setToolTip(tr("Help"));
    m_helpButton->setAccessibleName(tr("Help"));
    m_defaultTypePopUp = new QComboBox(this);
    m_defaultTypePopUp->setObjectName(QStringLiteral("defaultTypePopUpButton"));

    auto* editRow = new QHBoxLayout;
    editRow->addWidget(m_addButton);
    editRow->addWidget(m_removeButton);
    editRow->addStretch();
    editRow->addWidget(m_resetButton);
    auto* defaultRow = new QHBoxLayout;
    defaultRow->addWidget(new QLabel(tr("Default type for new documents:"), this));
    defaultRow->addWidget(m_defaultTypePopUp);
    defaultRow->addStretch();
    defaultRow->addWidget(m_helpButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Files open and are coloured by the type of their extension."), this));
    layout->addWidget(m_table, 1);
    layout->addLayout(editRow);
    layout->addLayout(defaultRow);

    connect(m_addButton, &QPushButton::clicked, this, &FileTypePreferences::addExtension);
    connect(m_removeButton, &QPushButton::clicked, this, &FileTypePreferences::removeExtension);
    connect(m_resetButton, &QPushButton::clicked, this, &FileTypePreferences::resetToDefaults);
    connect(m_helpButton, &QPushButton::clicked, this, &FileTypePreferences::showFileTypesHelp);
    connect(m_defaultTypePopUp, &QComboBox::activated, this, [this](int) {
        kit::UserDefaults::standard().setValue(KELDefaultFileTypeKey, m_defaultTypePopUp->currentText());
        defaultTypeChanged();
    });
    connect(&kit::UserDefaults::standard(), &kit::UserDefaults::valueChanged, this, [this](const QString& key) {
        if (key == KELDefaultFileTypeKey)
            reloadDefaultTypePopUp();
    });
    reloadDefaultTypePopUp();

    auto& center = kit::NotificationCenter::defaultCenter();
    center.addObserver(KELExtensionValueChangedNotification, nullptr, [this](const kit::Notification&) {
        rearrangeObjects();
        const QModelIndexList selected = m_table->selectionModel()->selectedRows();
        if (!selected.isEmpty())
            m_table->scrollTo(selected.first());
        sendColoringNotification();
    }, this);
    center.addObserver(KELExtensionTypeNameChangedNotification, nullptr,
        [this](const kit::Notification&) { sendColoringNotification(); }, this);
    center.addObserver(KELPreferencesWindowWillCloseNotification, nullptr, [this](const kit::Notification&) { writeDefaults(); },
        this);
}

FileTypePreferences::~FileTypePreferences() = default;

QTableView* FileTypePreferences::fileTypeTableView() const
{
    return m_table;
}

void FileTypePreferences::addExtension()
{
    if (!m_table->endEditing())
        return;
    auto entry = std::make_shared<KELExtensionType>();
    m_model->appendEntry(entry);
    const QModelIndex index = m_model->index(m_model->rowOf(entry), extensionColumn);
    m_table->setCurrentIndex(index);
    m_table->scrollTo(index);
    m_table->setFocus();
    m_table->edit(index);
}

void FileTypePreferences::removeExtension()
{
    QList<FileTypeTableModel::Entry> removed;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows())
        removed.append(m_model->entryAt(index.row()));
    if (removed.isEmpty())
        return;
    m_model->removeEntries(removed);
    sendColoringNotification();
}

void FileTypePreferences::resetToDefaults()
{
    kit::Alert alert;
    alert.setMessageText(tr("Are you sure that you want to reset all file types to their default values?"));
    alert.setInformativeText(tr("This action cannot be undone."));
    alert.addButton(tr("Reset to Defaults"));
    alert.addButton(tr("Cancel"));
    QPointer<FileTypePreferences> self(this);
    alert.beginSheet(window(), [self](int response) {
        if (!self || response != kit::Alert::FirstButtonReturn)
            return;
        KELFileTypeManager::sharedInstance().resetToDefaults();
        self->m_model->reload();
        self->reloadDefaultTypePopUp();
        self->sendColoringNotification();
    });
}

void FileTypePreferences::defaultTypeChanged()
{
    sendColoringNotification();
}

void FileTypePreferences::showFileTypesHelp()
{
    HelpUtils::showHelpForKey(KELFileTypesHelpKey);
}

void FileTypePreferences::writeDefaults()
{
    KELFileTypeManager::sharedInstance().writeDefaults();
}

void FileTypePreferences::sendColoringNotification()
{
    auto& center = kit::NotificationCenter::defaultCenter();
    center.post(KELColoringSettingsChangedNotification);
    center.post(KELColoringSettingsChangedSecondNotification);
    center.post(KELFileTypesDidChangeNotification);
}

void FileTypePreferences::rearrangeObjects()
{
    m_model->rearrange();
}

void FileTypePreferences::reloadDefaultTypePopUp()
{
    const QString current = KELFileTypeManager::sharedInstance().defaultTypeName();
    m_defaultTypePopUp->clear();
    m_defaultTypePopUp->addItems(KELFileTypeManager::sharedInstance().newFileTypeNames());
    m_defaultTypePopUp->setCurrentIndex(m_defaultTypePopUp->findText(current));
}
