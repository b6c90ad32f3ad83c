#include "syntax/KELCodeNavigatorViewController.h"

#include "syntax/KELSyntaxTextView.h"
#include "kit/Alert.h"
#include "kit/Log.h"
#include "kit/UserDefaults.h"
#include "syntax/KELCodeNavigatorSearchFieldCell.h"
#include "syntax/KELCodeNavigatorTableView.h"
#include "syntax/KELCodeNavigatorTextValueTransformer.h"
#include "syntax/KELCodeNavigatorView.h"
#include "syntax/KELDocumentStructure.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QTimer>

using kit::Range;

namespace {

const QString ViewOptionKey = QStringLiteral("KELNavigatorSelectedViewOption");
constexpr int ImageColumn = 0;
constexpr int TextColumn = 1;

KELDocumentStructureItemRef itemOf(const QVariant& value)
{
    return value.value<KELDocumentStructureItemRef>();
}

} // namespace

// The list's content: the filter's published array.
class KELCodeNavigatorViewController::ItemModel : public QAbstractTableModel
{
public:
    using QAbstractTableModel::QAbstractTableModel;

    QList<KELDocumentStructureItemRef> items;

    void setItems(QList<KELDocumentStructureItemRef> newItems)
    {
        beginResetModel();
        items = std::move(newItems);
        endResetModel();
    }
    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : int(items.size()); }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 2; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= items.size())
            return {};
        const KELDocumentStructureItemRef& item = items[index.row()];
        if (index.column() == TextColumn && (role == Qt::DisplayRole || role == Qt::ToolTipRole))
            return KELCodeNavigatorTextValueTransformer::transformedValue(item->name());
        if (index.column() == ImageColumn && role == Qt::DecorationRole)
            return iconForImageName(item->imageName());
        if (index.column() == ImageColumn && role == Qt::ToolTipRole && !item->linkedPath().isEmpty())
            return item->linkedPath();
        return {};
    }
};

KELCodeNavigatorViewController::KELCodeNavigatorViewController(QObject* parent)
    : QObject(parent)
{
    m_openURL = [](const QUrl& url) { QDesktopServices::openUrl(url); };
}

KELCodeNavigatorViewController::~KELCodeNavigatorViewController()
{
    cleanupBindings();
    // A pane nobody placed in a window goes with its controller (unless the pane is
    // what is taking the controller down).
    bool ownedByView = false;
    for (QObject* o = parent(); o && m_view; o = o->parent())
        ownedByView = ownedByView || o == m_view;
    if (m_view && !m_view->parentWidget() && !ownedByView)
        delete m_view.data();
}

KELCodeNavigatorView* KELCodeNavigatorViewController::navigatorView()
{
    if (!m_view)
        loadView();
    return m_view;
}

void KELCodeNavigatorViewController::loadView()
{
    // The filter follows the current document's outline from the start.
    if (!m_arrayFilter) {
        m_arrayFilter = new KELArrayFilter(this);
        m_arrayFilter->bindSourceArray(this, &KELCodeNavigatorViewController::itemsChanged,
            [this] { return currentItems(); });
        connect(m_arrayFilter, &KELArrayFilter::filteredArrayChanged, this,
            &KELCodeNavigatorViewController::filteredArrayChanged);
    }

    m_view = new KELCodeNavigatorView();
    m_model = new ItemModel(m_view);
    KELCodeNavigatorTableView* table = m_view->itemsTableView();
    table->setModel(m_model);
    table->setIconSize(QSize(14, 14));
    table->horizontalHeader()->setSectionResizeMode(ImageColumn, QHeaderView::Fixed);
    table->horizontalHeader()->resizeSection(ImageColumn, 20);
    connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        &KELCodeNavigatorViewController::selectionChanged);
    connect(table, &QAbstractItemView::clicked, this, &KELCodeNavigatorViewController::tableClicked);

    KELCodeNavigatorSearchFieldCell* field = m_view->searchField();
    connect(field, &QLineEdit::textChanged, this, &KELCodeNavigatorViewController::setSearchString);

    m_viewOptionMenu = new QMenu(m_view);
    const QStringList titles { tr("All Items"), tr("Content Only"), tr("References Only") };
    for (int tag = 0; tag < titles.size(); ++tag) {
        QAction* action = m_viewOptionMenu->addAction(titles[tag]);
        action->setCheckable(true);
        action->setData(tag);
        connect(action, &QAction::triggered, this, [this, tag] { selectViewOption(tag); });
        m_viewOptionActions.append(action);
    }
    QAction* menuAction = field->addAction(iconForImageName(QStringLiteral("NavSearch")), QLineEdit::LeadingPosition);
    connect(menuAction, &QAction::triggered, this, [this, field] {
        m_viewOptionMenu->popup(field->mapToGlobal(QPoint(0, field->height())));
    });

    connect(&kit::UserDefaults::standard(), &kit::UserDefaults::valueChanged, this, [this](const QString& key) {
        if (key == ViewOptionKey) {
            updateArrayFilterPredicate();
            updateSearchPlaceholderText();
        }
    });

    m_selectedItems.clear();
    updateArrayFilterPredicate();
    updateSearchPlaceholderText();
    filteredArrayChanged();
}

void KELCodeNavigatorViewController::cleanupBindings()
{
    if (m_arrayFilter)
        m_arrayFilter->unbindSourceArray();
    for (const QMetaObject::Connection& c : std::as_const(m_structureConnections))
        disconnect(c);
    m_structureConnections.clear();
}

void KELCodeNavigatorViewController::setCurrentDocument(
    KELDocumentStructure* structure, KELSyntaxTextView* textView, std::function<QUrl()> fileURL)
{
    m_fileURL = std::move(fileURL);
    m_textView = textView;
    if (structure == m_structure)
        return;
    for (const QMetaObject::Connection& c : std::as_const(m_structureConnections))
        disconnect(c);
    m_structureConnections.clear();
    m_structure = structure;
    if (structure) {
        m_structureConnections.append(connect(structure, &KELDocumentStructure::itemsInserted, this,
            &KELCodeNavigatorViewController::structureChanged));
        m_structureConnections.append(connect(structure, &KELDocumentStructure::itemsRemoved, this,
            &KELCodeNavigatorViewController::structureChanged));
        m_structureConnections.append(
            connect(structure, &QObject::destroyed, this, [this] { setCurrentDocument(nullptr, nullptr); }));
    }
    if (m_view)
        m_view->itemsTableView()->clearSelection();
    m_selectedItems.clear();
    Q_EMIT itemsChanged();
}

void KELCodeNavigatorViewController::structureChanged()
{
    // A colouring pass reports items one by one; the list is read once per turn.
    if (m_structureChangePending)
        return;
    m_structureChangePending = true;
    QTimer::singleShot(0, this, [this] {
        m_structureChangePending = false;
        Q_EMIT itemsChanged();
    });
}

QVariantList KELCodeNavigatorViewController::currentItems() const
{
    QVariantList list;
    if (!m_structure)
        return list;
    const QList<KELDocumentStructureItemRef>& items = m_structure->allItems();
    list.reserve(items.size());
    for (const KELDocumentStructureItemRef& item : items)
        list.append(QVariant::fromValue(item));
    return list;
}

void KELCodeNavigatorViewController::setSearchPredicate(KELArrayFilter::Predicate predicate)
{
    m_searchPredicate = std::move(predicate);
    updateArrayFilterPredicate();
}

void KELCodeNavigatorViewController::setSearchString(const QString& text)
{
    if (text.isEmpty()) {
        setSearchPredicate({});
        return;
    }
    setSearchPredicate([text](const QVariant& value) {
        const KELDocumentStructureItemRef item = itemOf(value);
        return item && item->name().contains(text, Qt::CaseInsensitive);
    });
}

int KELCodeNavigatorViewController::viewOption()
{
    return int(kit::UserDefaults::standard().integerValue(ViewOptionKey));
}

void KELCodeNavigatorViewController::selectViewOption(int tag)
{
    if (tag < ShowAll || tag > ShowReferencesOnly)
        return;
    kit::UserDefaults::standard().setValue(ViewOptionKey, tag);
    updateViewOptionMenu();
}

KELArrayFilter::Predicate KELCodeNavigatorViewController::displayedItemsPredicate(int option)
{
    return [option](const QVariant& value) {
        const KELDocumentStructureItemRef item = itemOf(value);
        if (!item || !item->appearsInOutline())
            return false;
        if (option == ShowContentOnly)
            return item->linkedPath().isEmpty();
        if (option == ShowReferencesOnly)
            return !item->linkedPath().isEmpty();
        return true;
    };
}

void KELCodeNavigatorViewController::updateArrayFilterPredicate()
{
    if (!m_arrayFilter)
        return;
    KELArrayFilter::Predicate displayed = displayedItemsPredicate(viewOption());
    if (m_searchPredicate) {
        KELArrayFilter::Predicate search = m_searchPredicate;
        m_arrayFilter->setFilterPredicate(
            [displayed, search](const QVariant& value) { return search(value) && displayed(value); });
    } else {
        m_arrayFilter->setFilterPredicate(displayed);
    }
}

void KELCodeNavigatorViewController::updateSearchPlaceholderText()
{
    updateViewOptionMenu();
    if (!m_view)
        return;
    QString placeholder;
    switch (viewOption()) {
    case ShowContentOnly:
        placeholder = tr("Showing Content Only");
        break;
    case ShowReferencesOnly:
        placeholder = tr("Showing References Only");
        break;
    default:
        placeholder = tr("Navigator");
        break;
    }
    m_view->searchField()->setPlaceholderText(placeholder);
}

void KELCodeNavigatorViewController::updateViewOptionMenu()
{
    if (!m_viewOptionMenu)
        return;
    const int option = viewOption();
    for (QAction* action : std::as_const(m_viewOptionActions))
        action->setChecked(action->data().toInt() == option);
}

QList<KELDocumentStructureItemRef> KELCodeNavigatorViewController::arrangedObjects() const
{
    return m_model ? m_model->items : QList<KELDocumentStructureItemRef>();
}

void KELCodeNavigatorViewController::filteredArrayChanged()
{
    if (!m_model || !m_arrayFilter)
        return;
    QList<KELDocumentStructureItemRef> items;
    for (const QVariant& value : m_arrayFilter->filteredArray())
        if (KELDocumentStructureItemRef item = itemOf(value))
            items.append(item);
    // Keep the chosen entry selected across the refresh, without going to it again.
    const KELDocumentStructureItemRef selected = m_selectedItems.value(0);
    m_restoringSelection = true;
    m_model->setItems(items);
    if (selected) {
        const qsizetype row = items.indexOf(selected);
        if (row >= 0 && m_view)
            m_view->itemsTableView()->selectRow(int(row));
    }
    m_restoringSelection = false;
    const QList<KELDocumentStructureItemRef> now = selected && items.contains(selected)
        ? QList<KELDocumentStructureItemRef> { selected }
        : QList<KELDocumentStructureItemRef>();
    m_selectedItems = now;
}

void KELCodeNavigatorViewController::selectionChanged()
{
    if (!m_view || !m_model || m_restoringSelection)
        return;
    QList<KELDocumentStructureItemRef> selection;
    for (const QModelIndex& index : m_view->itemsTableView()->selectionModel()->selectedRows())
        if (index.row() < m_model->items.size())
            selection.append(m_model->items[index.row()]);
    const bool changed = selection != m_selectedItems;
    m_selectedItems = selection;
    if (!changed || selection.isEmpty() || !m_structure)
        return;
    const Range r = m_structure->textRangeToSelectForItem(selection.first().get());
    if (r.location == kit::NotFound)
        return;
    // An entry whose text has gone (the outline lags behind an edit) moves nothing.
    if (m_textView) {
        if (r.end() > m_textView->string().size())
            return;
        m_textView->setSelectedRange(r);
        m_textView->scrollRangeToVisible(r);
        m_textView->showFindIndicatorForRange(r);
    }
    Q_EMIT didSelectRange(r);
}

void KELCodeNavigatorViewController::tableClicked(const QModelIndex& index)
{
    if (index.column() == ImageColumn && index.row() < m_model->items.size()
        && !m_model->items[index.row()]->linkedPath().isEmpty())
        goToFile();
}

void KELCodeNavigatorViewController::goToFile()
{
    if (!m_view || !m_model)
        return;
    const QModelIndexList rows = m_view->itemsTableView()->selectionModel()->selectedRows();
    if (rows.isEmpty() || rows.first().row() >= m_model->items.size())
        return;
    const KELDocumentStructureItemRef item = m_model->items[rows.first().row()];
    if (item->linkedPath().isEmpty())
        return;
    const QUrl documentURL = m_fileURL ? m_fileURL() : QUrl();
    const QUrl base = documentURL.isEmpty() ? QUrl::fromLocalFile(QDir::homePath() + QLatin1Char('/')) : documentURL;
    const QUrl url = item->linkedURLWithBase(base);

    if (url.isLocalFile()) {
        if (!documentURL.isEmpty() && url.adjusted(QUrl::NormalizePathSegments) == base.adjusted(QUrl::NormalizePathSegments))
            return; // a link to the document itself
        const QString path = url.toLocalFile();
        if (QFileInfo(path).isFile()) {
            if (!m_openFile || !m_openFile(path))
                kit::log(QStringLiteral("Code navigator: no way to open %1").arg(path));
            return;
        }
        kit::Alert alert;
        alert.setMessageText(tr("No file exists at ") + QLatin1Char('"') + path + QLatin1Char('"'));
        alert.setInformativeText(QString());
        alert.addButton(tr("OK"));
        alert.runModal();
        return;
    }
    // Links come from the document's text: only web pages go to the desktop, never
    // another scheme's handler.
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https")) {
        if (m_openURL)
            m_openURL(url);
        return;
    }
    kit::Alert alert;
    alert.setMessageText(tr("The link \"%1\" was not opened.").arg(item->linkedPath()));
    alert.setInformativeText(tr("Only web pages (http and https) and local files are opened from the navigator."));
    alert.addButton(tr("OK"));
    alert.runModal();
}

QIcon KELCodeNavigatorViewController::iconForImageName(const QString& imageName)
{
    static QHash<QString, QIcon> cache;
    if (imageName.isEmpty())
        return QIcon();
    const auto it = cache.constFind(imageName);
    if (it != cache.constEnd())
        return it.value();
    struct Glyph
    {
        const char* name;
        const char* text;
        QColor colour;
    };
    static const Glyph glyphs[] = {
        { "NavElement", "<>", QColor(0x3a, 0x7b, 0xd5) },
        { "NavLink", "@", QColor(0x2e, 0x9d, 0x5b) },
        { "NavBookmark", "!", QColor(0xd9, 0x8c, 0x1f) },
        { "NavFunction", "f", QColor(0x8e, 0x44, 0xad) },
        { "NavClass", "C", QColor(0xc0, 0x39, 0x2b) },
        { "NavSelector", "#", QColor(0x16, 0xa0, 0x85) },
        { "NavSearch", "\xe2\x96\xbe", QColor(0x80, 0x80, 0x80) },
    };
    QPixmap pixmap(28, 28);
    pixmap.fill(Qt::transparent);
    for (const Glyph& glyph : glyphs) {
        if (imageName != QLatin1String(glyph.name))
            continue;
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(glyph.colour);
        painter.drawRoundedRect(QRectF(1, 1, 26, 26), 6, 6);
        QFont font = painter.font();
        font.setPixelSize(16);
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(QRectF(0, 0, 28, 28), Qt::AlignCenter, QString::fromUtf8(glyph.text));
    }
    QIcon icon(pixmap);
    cache.insert(imageName, icon);
    return icon;
}
