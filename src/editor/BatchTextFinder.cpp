#include "editor/BatchTextFinder.h"

#include "support/DefaultsKeys.h"
#include "editor/DocumentContents.h"
#include "editor/EditorDocument.h"
#include "support/KELErrors.h"
#include "support/Notifications.h"
#include "editor/KELHTMLView.h"
#include "editor/TextFinder.h"
#include "kit/Alert.h"
#include "kit/Error.h"
#include "kit/NotificationCenter.h"
#include "kit/UndoManager.h"
#include "kit/UserDefaults.h"
#include "support/KELFileTypeManager.h"
#include "support/UtilityFunctions.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTextDocument>
#include <QTimer>
#include <thread>
#include <utility>

using kit::Range;

namespace {

constexpr int kItemRole = Qt::UserRole + 7;
constexpr int kMarkRole = Qt::UserRole + 8;
constexpr qsizetype kHistoryLimit = 10;
// The progress bar counts tenths of a percent: 40 files advance it by 2.5 % each.
constexpr int kProgressScale = 1000;
// Results reach the outline at most this often (ms), so that a long list is laid out
// a few times a second, not once per file.
constexpr qint64 kShowInterval = 100;
// The worker hands over what it found at most this often (ms).
constexpr qint64 kBatchInterval = 30;

// A search stops after this many matches: more rows than anyone reads, and each
// one costs memory and the outline's time.
constexpr qsizetype kResultLimit = 20000;

qsizetype& resultLimitValue()
{
    static qsizetype limit = kResultLimit;
    return limit;
}

// Draws a match row with the match in bold.
class MatchTitleDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QPoint mark = index.data(kMarkRole).toPoint();
        if (mark.y() <= 0) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QString text = opt.text;
        opt.text.clear();
        opt.widget->style()->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
        QTextDocument document;
        document.setDefaultFont(opt.font);
        document.setDocumentMargin(0);
        document.setHtml(text.left(mark.x()).toHtmlEscaped() + QStringLiteral("<b>")
            + text.mid(mark.x(), mark.y()).toHtmlEscaped() + QStringLiteral("</b>")
            + text.mid(mark.x() + mark.y()).toHtmlEscaped());
        const QRect area = opt.widget->style()->subElementRect(QStyle::SE_ItemViewItemText, &opt, opt.widget);
        painter->save();
        painter->translate(area.topLeft() + QPoint(0, (area.height() - int(document.size().height())) / 2));
        painter->setClipRect(QRect(QPoint(0, 0), area.size()));
        QAbstractTextDocumentLayout::PaintContext context;
        context.palette = opt.palette;
        if (opt.state & QStyle::State_Selected)
            context.palette.setColor(QPalette::Text, opt.palette.color(QPalette::HighlightedText));
        document.documentLayout()->draw(painter, context);
        painter->restore();
    }
};

std::function<BatchFindProjectFiles()>& projectFilesProvider()
{
    static std::function<BatchFindProjectFiles()> provider;
    return provider;
}

QString sourceName(DocumentContents& source)
{
    const QUrl url = source.fileURL();
    if (url.isLocalFile())
        return QFileInfo(url.toLocalFile()).fileName();
    return source.displayName();
}

QString fileNameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

Range lineRangeOf(const QString& text, Range range)
{
    qsizetype start = range.location;
    while (start > 0 && text.at(start - 1) != QLatin1Char('\n') && text.at(start - 1) != QLatin1Char('\r'))
        --start;
    qsizetype end = range.location + range.length;
    while (end < text.size() && text.at(end) != QLatin1Char('\n') && text.at(end) != QLatin1Char('\r'))
        ++end;
    if (end < text.size()) // the line's terminator belongs to it
        end += (text.at(end) == QLatin1Char('\r') && end + 1 < text.size() && text.at(end + 1) == QLatin1Char('\n')) ? 2 : 1;
    return Range(start, end - start);
}

QString spaced(QString s)
{
    for (QChar& c : s)
        if (c.isSpace())
            c = QLatin1Char(' ');
    return s;
}

// The matches of one text, on the worker thread; at most limit of them.
QList<std::shared_ptr<BatchTextOutlineViewItem>> matchItems(const QString& text, const OGRegularExpression& expression,
    OgreOption options, BatchTextOutlineViewItem* parent, qsizetype limit)
{
    QList<std::shared_ptr<BatchTextOutlineViewItem>> items;
    const QList<OGRegularExpressionMatch> matches = expression.allMatchesInString(text, options, Range(0, text.size()));
    for (const OGRegularExpressionMatch& match : matches) {
        if (items.size() >= limit)
            break;
        auto item = std::make_shared<BatchTextOutlineViewItem>();
        item->parent = parent;
        item->matchRange = match.rangeOfMatchedString();
        item->title = batchFindSnippet(text, item->matchRange, &item->titleMark);
        items << item;
    }
    return items;
}

// Binary data (zero bytes) in a file's first block: such a file is never searched.
// UTF-16 and UTF-32 text holds zero bytes; its byte-order mark says so.
bool looksBinary(const QByteArray& head)
{
    const bool wideText = head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF")
        || head.startsWith(QByteArray("\x00\x00\xFE\xFF", 4));
    return !wideText && head.contains('\0');
}

// The open document of a file item, none when it is a file on disk or has closed.
EditorDocument* liveDocument(const BatchTextOutlineViewItem* item)
{
    return item->wasOpenDocument ? dynamic_cast<EditorDocument*>(item->openDocument.data()) : nullptr;
}

void adoptDocument(BatchTextOutlineViewItem* item, EditorDocument* document)
{
    item->document = std::shared_ptr<DocumentContents>(std::shared_ptr<DocumentContents>(), document);
    item->openDocument = document->documentObject();
    item->wasOpenDocument = true;
}

} // namespace

QString batchFindSnippet(const QString& text, Range match, Range* mark)
{
    const Range line = lineRangeOf(text, match);
    QString snippet;
    Range marked(kit::NotFound, 0);
    if (line.length <= 200) {
        snippet = text.mid(line.location, line.length);
        marked = Range(match.location - line.location, match.length);
    } else if (match.length <= 90) {
        const qsizetype start = qMax<qsizetype>(0, match.location - (90 - match.length) / 2);
        snippet = text.mid(start, 90);
        marked = Range(match.location - start, match.length);
    } else {
        snippet = text.mid(line.location, 90) + QStringLiteral("...") + text.mid(line.location + line.length - 90, 90);
    }
    if (mark)
        *mark = marked;
    return spaced(snippet);
}

QString BatchTextOutlineViewItem::generateFileNameTitle() const
{
    QString name;
    if (!filePath.isEmpty()) {
        const QFileInfo info(filePath);
        name = QStringLiteral("%1 - %2").arg(info.fileName(), info.dir().dirName());
    } else if (document) {
        name = document->displayName();
    }
    return QStringLiteral("(%1) %2").arg(containedItemsArray.size()).arg(name);
}

// ---------------------------------------------------------------------------------------------
// The results as a tree: files, and the matches in each.

class BatchFindResultsModel : public QAbstractItemModel
{
public:
    BatchFindResultsModel(const QList<std::shared_ptr<BatchTextOutlineViewItem>>& files, QObject* parent)
        : QAbstractItemModel(parent), m_files(files)
    {
    }
    BatchTextOutlineViewItem* itemForIndex(const QModelIndex& index) const
    {
        return index.isValid() ? static_cast<BatchTextOutlineViewItem*>(index.internalPointer()) : nullptr;
    }
    QModelIndex indexForFile(const BatchTextOutlineViewItem* file) const
    {
        return file && file->row >= 0 ? createIndex(file->row, 0, const_cast<BatchTextOutlineViewItem*>(file)) : QModelIndex();
    }
    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override
    {
        if (column != 0 || row < 0)
            return QModelIndex();
        if (!parent.isValid())
            return row < m_files.size() ? createIndex(row, 0, m_files[row].get()) : QModelIndex();
        BatchTextOutlineViewItem* file = itemForIndex(parent);
        if (!file || file->parent || row >= file->containedItemsArray.size())
            return QModelIndex();
        return createIndex(row, 0, file->containedItemsArray[row].get());
    }
    QModelIndex parent(const QModelIndex& child) const override
    {
        BatchTextOutlineViewItem* item = itemForIndex(child);
        return item && item->parent ? indexForFile(item->parent) : QModelIndex();
    }
    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        if (!parent.isValid())
            return int(m_files.size());
        BatchTextOutlineViewItem* item = itemForIndex(parent);
        return item && !item->parent ? int(item->containedItemsArray.size()) : 0;
    }
    int columnCount(const QModelIndex& = QModelIndex()) const override { return 1; }
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override { return rowCount(parent) > 0; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        BatchTextOutlineViewItem* item = itemForIndex(index);
        if (!item)
            return QVariant();
        switch (role) {
        case Qt::DisplayRole:
            return item->title;
        case kItemRole:
            return QVariant::fromValue<void*>(item);
        case kMarkRole:
            if (item->parent && item->titleMark.location != kit::NotFound)
                return QPoint(int(item->titleMark.location), int(item->titleMark.length));
            return QVariant();
        default:
            return QVariant();
        }
    }
    void beginAppend(int first, int last) { beginInsertRows(QModelIndex(), first, last); }
    void endAppend() { endInsertRows(); }
    void beginInsertAt(int row) { beginInsertRows(QModelIndex(), row, row); }
    void endInsertAt() { endInsertRows(); }
    void beginRemoveAt(int row) { beginRemoveRows(QModelIndex(), row, row); }
    void endRemoveAt() { endRemoveRows(); }
    void beginReset() { beginResetModel(); }
    void endReset() { endResetModel(); }

private:
    const QList<std::shared_ptr<BatchTextOutlineViewItem>>& m_files;
};

// ---------------------------------------------------------------------------------------------
// History

BatchTextFinderHistory::BatchTextFinderHistory()
{
    m_items = kit::UserDefaults::standard().stringListValue(KELBatchFindHistoryKey);
    while (m_items.size() > kHistoryLimit)
        m_items.removeLast();
}

void BatchTextFinderHistory::addHistoryItem(const QString& item)
{
    m_items.removeAll(item);
    m_items.prepend(item);
    trimHistoryItems();
}

void BatchTextFinderHistory::setHistoryItems(const QStringList& items)
{
    m_items = items;
    trimHistoryItems();
}

void BatchTextFinderHistory::trimHistoryItems()
{
    while (m_items.size() > kHistoryLimit)
        m_items.removeLast();
    kit::UserDefaults::standard().setValue(KELBatchFindHistoryKey, m_items);
}

// ---------------------------------------------------------------------------------------------
// The job a worker runs

struct BatchTextFinder::Batch
{
    // File items with matches, and every open document searched.
    QList<std::shared_ptr<BatchTextOutlineViewItem>> items;
    // Files searched that hold no match.
    QStringList unmatched;
    int progress = -1;
};

struct BatchTextFinder::Job
{
    struct OpenSource
    {
        std::shared_ptr<DocumentContents> source;
        // Watched so that a document closed meanwhile is not read (main thread only).
        QPointer<QObject> guard;
        bool isDocument = false;
        QString path;
    };

    quint64 id = 0;
    bool refresh = false;
    std::atomic<bool> finding {true};
    OgreOption options = OgreNoneOption;
    // Compiled for this job: only its worker uses them.
    std::optional<OGRegularExpression> expression;
    std::optional<OGRegularExpression> fileExpression;
    QList<OpenSource> openSources;
    // Files searched in their open documents, not on disk.
    QSet<QString> openPaths;
    BatchFindProjectFiles projectFiles;
    kit::StringEncoding openDefault = kit::NoEncoding;
    qsizetype limit = 0;

    void run(QPointer<BatchTextFinder> self);
};

void BatchTextFinder::Job::run(QPointer<BatchTextFinder> self)
{
    QElapsedTimer clock;
    clock.start();
    qint64 lastPost = 0;
    auto batch = std::make_shared<Batch>();
    qsizetype found = 0;
    bool limited = false;

    auto post = [&](bool force) {
        if (!force && clock.elapsed() - lastPost < kBatchInterval)
            return;
        QCoreApplication* app = QCoreApplication::instance();
        if (!app)
            return;
        QMetaObject::invokeMethod(app, [self, jobId = id, batch] {
            if (self)
                self->takeBatch(jobId, batch);
        }, Qt::QueuedConnection);
        batch = std::make_shared<Batch>();
        lastPost = clock.elapsed();
    };

    // Progress counts the open documents and the files the projects held last time.
    const qsizetype expected = openSources.size() + (refresh ? 0 : projectFiles.expectedCount);
    qsizetype done = 0;
    auto advance = [&] {
        ++done;
        batch->progress = int(qMin<qsizetype>(done * kProgressScale / qMax<qsizetype>(1, expected), kProgressScale - 1));
    };

    // Open documents: their text, with unsaved changes, is read where they live.
    for (const OpenSource& open : std::as_const(openSources)) {
        if (!finding.load() || limited)
            break;
        auto item = std::make_shared<BatchTextOutlineViewItem>();
        item->document = open.source;
        item->filePath = open.path;
        item->wasOpenDocument = open.isDocument;
        item->openDocument = open.guard;
        std::optional<QString> text;
        QCoreApplication* app = QCoreApplication::instance();
        if (!app)
            break;
        QMetaObject::invokeMethod(app, [&text, &open] {
            if (!open.isDocument || open.guard)
                text = open.source->docContents();
        }, Qt::BlockingQueuedConnection);
        if (!finding.load())
            break;
        if (text) {
            if (open.isDocument)
                item->searchedText = std::make_shared<const QString>(*text);
            item->containedItemsArray = matchItems(*text, *expression, options, item.get(), limit - found);
            found += item->containedItemsCount();
            limited = found >= limit;
        }
        batch->items << item;
        advance();
        post(false);
    }

    // The projects' files, read here as the walk through their folders finds them;
    // names and types the search leaves out are passed by, and so is binary data.
    QHash<QString, bool> searchableByExtension;
    auto searchFile = [&](const QString& path) {
        if (!finding.load() || limited)
            return false;
        if (openPaths.contains(path))
            return true;
        const QString name = fileNameOf(path);
        if (fileExpression && !fileExpression->matchInString(name, OgreIgnoreCaseOption, Range(0, name.size())))
            return true;
        advance();
        const QString extension = KELFileTypeManager::pathExtension(path).toLower();
        auto searchable = searchableByExtension.constFind(extension);
        if (searchable == searchableByExtension.constEnd()) {
            // The file types live on the main thread: asked once per extension.
            bool yes = true;
            QCoreApplication* app = QCoreApplication::instance();
            if (!app)
                return false;
            QMetaObject::invokeMethod(app, [&yes, &extension, &path] {
                KELFileTypeManager& types = KELFileTypeManager::sharedInstance();
                QString type = types.typeNameForExtension(extension);
                if (type == KELBinaryTypeName)
                    type = types.typeNameForPath(path); // the desktop may give such files to us
                yes = type != KELBinaryTypeName && type != KELImageTypeName;
            }, Qt::BlockingQueuedConnection);
            searchable = searchableByExtension.insert(extension, yes);
        }
        if (!*searchable)
            return true;
        QFile file(path);
        std::optional<QString> text;
        if (file.open(QIODevice::ReadOnly)) {
            QByteArray data = file.read(4096);
            if (looksBinary(data)) {
                post(false);
                return true;
            }
            data += file.readAll();
            text = projectFiles.decode ? projectFiles.decode(data, path)
                                       : UtilityFunctions::stringContentsForData(data, path, kit::NoEncoding,
                                           kit::NoEncoding, openDefault, nullptr);
        }
        QList<std::shared_ptr<BatchTextOutlineViewItem>> matches;
        auto item = std::make_shared<BatchTextOutlineViewItem>();
        if (text)
            matches = matchItems(*text, *expression, options, item.get(), limit - found);
        if (matches.isEmpty()) {
            batch->unmatched << path;
        } else {
            item->filePath = path;
            item->containedItemsArray = std::move(matches);
            found += item->containedItemsCount();
            limited = found >= limit;
            batch->items << item;
        }
        post(false);
        return true;
    };
    if (!refresh && projectFiles.walk && finding.load() && !limited)
        projectFiles.walk(searchFile);
    post(true);
    if (QCoreApplication* app = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(app, [self, jobId = id, refresh = refresh, limited] {
            if (self)
                self->jobFinished(jobId, refresh, limited);
        }, Qt::QueuedConnection);
    }
}

// ---------------------------------------------------------------------------------------------
// The finder

BatchTextFinder& BatchTextFinder::shared()
{
    static BatchTextFinder* finder = new BatchTextFinder; // kept for the process
    return *finder;
}

BatchTextFinder::BatchTextFinder()
{
    auto& center = kit::NotificationCenter::defaultCenter();
    center.addObserver(KELDocumentDidCloseNotification, nullptr, [this](const kit::Notification&) { scheduleUpdate(); }, this);
    center.addObserver(QStringLiteral("KELProjectDidCloseNotification"), nullptr, [this](const kit::Notification&) {
        m_projectClosed = true;
        scheduleUpdate();
    }, this);
    // A worker must not outlive the application it reports to.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &BatchTextFinder::cancel);
    // The text of the last find may have changed in another window.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            loadFindStringFromPasteboard();
    });
}

BatchTextFinder::~BatchTextFinder()
{
    if (m_job)
        m_job->finding = false;
}

void BatchTextFinder::setProjectFilesProvider(std::function<BatchFindProjectFiles()> provider)
{
    projectFilesProvider() = std::move(provider);
}

qsizetype BatchTextFinder::resultLimit()
{
    return resultLimitValue();
}

void BatchTextFinder::setResultLimitForTesting(qsizetype limit)
{
    resultLimitValue() = limit > 0 ? limit : kResultLimit;
}

BatchFindProjectFiles BatchTextFinder::projectFiles() const
{
    return projectFilesProvider() ? projectFilesProvider()() : BatchFindProjectFiles();
}

QWidget* BatchTextFinder::window()
{
    if (m_window)
        return m_window;
    auto* window = new QWidget(nullptr, Qt::Window);
    window->setObjectName(QStringLiteral("KELBatchFindPanelFrame"));
    window->setWindowTitle(tr("Batch Find"));
    auto* grid = new QGridLayout(window);
    m_findCombo = new QComboBox(window);
    m_findCombo->setEditable(true);
    m_findCombo->setInsertPolicy(QComboBox::NoInsert);
    m_replaceField = new QLineEdit(window);
    m_fileField = new QLineEdit(window);
    m_fileField->setPlaceholderText(tr("*.html, *.css"));
    m_findCombo->setAccessibleName(tr("Find"));
    m_replaceField->setAccessibleName(tr("Replace"));
    m_fileField->setAccessibleName(tr("Files"));
    m_ignoreCase = new QCheckBox(tr("Ignore case"), window);
    grid->addWidget(new QLabel(tr("Find:"), window), 0, 0);
    grid->addWidget(m_findCombo, 0, 1);
    grid->addWidget(new QLabel(tr("Replace:"), window), 1, 0);
    grid->addWidget(m_replaceField, 1, 1);
    grid->addWidget(new QLabel(tr("Files:"), window), 2, 0);
    grid->addWidget(m_fileField, 2, 1);
    grid->addWidget(m_ignoreCase, 3, 1);
    m_outline = new QTreeView(window);
    m_outline->setObjectName(QStringLiteral("searchResultsOutlineView"));
    m_outline->setHeaderHidden(true);
    m_outline->setUniformRowHeights(true);
    m_outline->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_outline->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_outline->setItemDelegate(new MatchTitleDelegate(m_outline));
    m_model = new BatchFindResultsModel(m_shownItems, this);
    m_outline->setModel(m_model);
    QFont small = m_outline->font();
    small.setPointSize(11);
    m_outline->setFont(small);
    grid->addWidget(m_outline, 4, 0, 1, 2);
    m_progress = new QProgressBar(window);
    m_progress->setRange(0, kProgressScale);
    m_progress->setTextVisible(false);
    m_progress->hide();
    m_status = new QLabel(window);
    grid->addWidget(m_status, 5, 0, 1, 2);
    grid->addWidget(m_progress, 6, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    m_replaceAllButton = new QPushButton(tr("Replace All"), window);
    m_replaceSelectedButton = new QPushButton(tr("Replace Selected"), window);
    m_findButton = new QPushButton(tr("Find"), window);
    m_findButton->setDefault(true);
    buttons->addWidget(m_replaceAllButton);
    buttons->addWidget(m_replaceSelectedButton);
    buttons->addStretch();
    buttons->addWidget(m_findButton);
    grid->addLayout(buttons, 7, 0, 1, 2);
    connect(m_findButton, &QPushButton::clicked, this, [this] {
        if (isFinding())
            cancel();
        else
            find();
    });
    // Return in the fields finds, as the default button of a dialog would; while a
    // search runs the button is Cancel, which Return does not press.
    for (QLineEdit* field : {m_findCombo->lineEdit(), m_replaceField, m_fileField}) {
        connect(field, &QLineEdit::returnPressed, this, [this] {
            if (!isFinding())
                find();
        });
    }
    connect(m_replaceAllButton, &QPushButton::clicked, this, &BatchTextFinder::replaceAll);
    connect(m_replaceSelectedButton, &QPushButton::clicked, this, &BatchTextFinder::replaceSelected);
    connect(m_findCombo, &QComboBox::editTextChanged, this,
        [this](const QString& text) { m_findButton->setEnabled(isFinding() || !text.isEmpty()); });
    // Picking a row, with the mouse or the arrow keys, opens its match.
    connect(m_outline->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { currentRowChanged(); });
    window->installEventFilter(this);
    m_window = window;
    resetValues();
    m_findCombo->addItems(m_history.historyItems());
    loadFindStringFromPasteboard();
    window->resize(560, 480);
    return window;
}

bool BatchTextFinder::eventFilter(QObject* watched, QEvent* event)
{
    // Coming back to the window shows what changed meanwhile.
    if (watched == m_window && event->type() == QEvent::WindowActivate)
        scheduleUpdate();
    return QObject::eventFilter(watched, event);
}

void BatchTextFinder::showWindow()
{
    QWidget* w = window();
    w->show();
    w->raise();
    w->activateWindow();
    m_findCombo->setFocus();
}

void BatchTextFinder::loadFindStringFromPasteboard()
{
    if (!m_window)
        return;
    if (m_window->isVisible() && !m_findCombo->currentText().isEmpty())
        return;
    const QString text = TextFinder::sharedInstance().findString();
    if (!text.isEmpty())
        m_findCombo->setEditText(text);
}

void BatchTextFinder::resetValues()
{
    window();
    m_findCombo->setEditText(QString());
    m_replaceField->clear();
    m_findButton->setEnabled(false);
    m_replaceAllButton->setEnabled(false);
    m_replaceSelectedButton->setEnabled(false);
    clearResults();
}

void BatchTextFinder::clearResults()
{
    m_pendingBatches.clear();
    if (m_model)
        m_model->beginReset();
    m_shownItems.clear();
    m_allItems.clear();
    m_itemsByPath.clear();
    m_unmatchedFiles.clear();
    if (m_model)
        m_model->endReset();
}

bool BatchTextFinder::isFinding() const
{
    return m_job && m_job->finding.load();
}

void BatchTextFinder::cancel()
{
    if (m_job)
        m_job->finding = false;
}

bool BatchTextFinder::find()
{
    window();
    const QString search = m_findCombo->currentText();
    if (search.isEmpty())
        return false;
    TextFinder::sharedInstance().setFindString(search);
    auto& defaults = kit::UserDefaults::standard();
    OgreOption options = OgreMultilineOption;
    if (m_ignoreCase->isChecked())
        options |= OgreIgnoreCaseOption;
    FindParameters parameters(search, m_fileField->text(), options, defaults.integerValue(KELBatchFindRegexTypeKey),
        defaults.integerValue(KELBatchFindRegexTypeForFilesKey));
    std::optional<OGRegularExpression> findExpression = parameters.findExpression();
    if (!findExpression) {
        showInvalidRegularExpressionAlert(parameters.searchRegexType(), false);
        return false;
    }
    std::optional<OGRegularExpression> fileExpression = parameters.fileExpression();
    if (!fileExpression) {
        showInvalidRegularExpressionAlert(parameters.fileRegexType(), true);
        return false;
    }

    auto job = std::make_shared<Job>();
    job->options = parameters.options();
    job->expression = std::move(findExpression);
    job->limit = resultLimit();
    job->openDefault = kit::StringEncoding(defaults.integerValue(KELDefaultEncodingForOpen));
    job->projectFiles = projectFiles();
    // Open documents and tabs not loaded yet: few, taken here. The project's files
    // are listed, filtered and read by the worker.
    QList<std::shared_ptr<DocumentContents>> kept;
    KELFileTypeManager& types = KELFileTypeManager::sharedInstance();
    if (EditorDocumentSource* controller = EditorDocumentSource::available()) {
        for (const std::shared_ptr<DocumentContents>& source : controller->allDocumentsAndPlaceholders()) {
            const QUrl url = source->fileURL();
            const QString path = url.isLocalFile() ? url.toLocalFile() : QString();
            if (!path.isEmpty() && job->openPaths.contains(path))
                continue;
            if (!path.isEmpty())
                job->openPaths.insert(path); // searched here or left out by its name, never on disk
            const QString name = sourceName(*source);
            if (!fileExpression->matchInString(name, OgreIgnoreCaseOption, Range(0, name.size())))
                continue;
            const QString type = types.typeNameForDocumentURL(url);
            if (type == KELBinaryTypeName || type == KELImageTypeName)
                continue;
            auto* document = dynamic_cast<EditorDocument*>(source.get());
            job->openSources.append(
                Job::OpenSource {source, QPointer<QObject>(document ? document->documentObject() : nullptr), document != nullptr, path});
            kept << source;
        }
    }
    job->fileExpression = std::move(fileExpression);
    parameters.setDocuments(kept);

    clearResults();
    m_history.addHistoryItem(search);
    m_findCombo->blockSignals(true);
    m_findCombo->clear();
    m_findCombo->addItems(m_history.historyItems());
    m_findCombo->setEditText(search);
    m_findCombo->blockSignals(false);
    m_lastFindParameters = parameters;
    m_status->setText(tr("Performing Find..."));
    startJob(job);
    return true;
}

void BatchTextFinder::setFindingWidgets(bool finding)
{
    m_progress->setValue(0);
    m_progress->setVisible(finding);
    m_findButton->setText(finding ? tr("Cancel") : tr("Find"));
    m_findButton->setDefault(!finding);
    m_findButton->setEnabled(finding || !m_findCombo->currentText().isEmpty());
    if (finding) {
        m_replaceAllButton->setEnabled(true);
        m_replaceSelectedButton->setEnabled(true);
    }
}

void BatchTextFinder::startJob(std::shared_ptr<Job> job)
{
    if (m_job)
        m_job->finding = false; // a job still running stops before its next file
    job->id = ++m_jobCounter;
    m_job = job;
    m_pendingBatches.clear();
    m_lastShown = 0;
    setFindingWidgets(true);
    // Before the projects were ever listed there is no count to measure against.
    const bool unknownTotal = !job->refresh && job->projectFiles.walk && job->projectFiles.expectedCount == 0;
    m_progress->setRange(0, unknownTotal ? 0 : kProgressScale);
    QPointer<BatchTextFinder> self(this);
    std::thread([job, self] { job->run(self); }).detach();
}

void BatchTextFinder::takeBatch(quint64 jobId, std::shared_ptr<Batch> batch)
{
    if (!m_job || m_job->id != jobId)
        return; // a cancelled job's late result
    m_pendingBatches << batch;
    if (m_showScheduled)
        return;
    m_showScheduled = true;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const qint64 wait = m_lastShown == 0 ? 0 : qBound<qint64>(0, kShowInterval - (now - m_lastShown), kShowInterval);
    QTimer::singleShot(int(wait), this, [this] { showPendingResults(); });
}

void BatchTextFinder::showPendingResults()
{
    m_showScheduled = false;
    if (m_pendingBatches.isEmpty())
        return;
    m_lastShown = QDateTime::currentMSecsSinceEpoch();
    const bool refresh = m_job && m_job->refresh;
    const QList<std::shared_ptr<Batch>> batches = std::exchange(m_pendingBatches, {});
    QList<std::shared_ptr<BatchTextOutlineViewItem>> added;
    int progress = -1;
    for (const std::shared_ptr<Batch>& batch : batches) {
        if (batch->progress >= 0)
            progress = batch->progress;
        for (const QString& path : std::as_const(batch->unmatched))
            m_unmatchedFiles.insert(path);
        for (const std::shared_ptr<BatchTextOutlineViewItem>& item : std::as_const(batch->items)) {
            item->title = item->generateFileNameTitle();
            if (refresh) {
                replaceItem(item);
                continue;
            }
            m_allItems << item;
            if (!item->filePath.isEmpty())
                m_itemsByPath.insert(item->filePath, item.get());
            if (item->containedItemsCount() > 0)
                added << item;
        }
    }
    addShownItems(added);
    if (progress >= 0 && m_progress)
        m_progress->setValue(progress);
    Q_EMIT resultsAdded();
}

void BatchTextFinder::addShownItems(const QList<std::shared_ptr<BatchTextOutlineViewItem>>& items)
{
    if (items.isEmpty())
        return;
    const int first = int(m_shownItems.size());
    m_model->beginAppend(first, first + int(items.size()) - 1);
    for (const auto& item : items) {
        item->row = int(m_shownItems.size());
        m_shownItems << item;
    }
    m_model->endAppend();
    // New files show their matches; the outline lays itself out once for all of them.
    for (const auto& item : items)
        m_outline->expand(m_model->indexForFile(item.get()));
}

void BatchTextFinder::removeShownItems(const QSet<BatchTextOutlineViewItem*>& items)
{
    if (items.isEmpty())
        return;
    if (items.size() <= 8) {
        for (BatchTextOutlineViewItem* item : items)
            removeShownItem(item);
        return;
    }
    // Many at once (a project closed): one new list.
    m_model->beginReset();
    QList<std::shared_ptr<BatchTextOutlineViewItem>> shown;
    for (const auto& item : std::as_const(m_shownItems)) {
        if (items.contains(item.get())) {
            item->row = -1;
            continue;
        }
        item->row = int(shown.size());
        shown << item;
    }
    m_shownItems = shown;
    m_model->endReset();
    for (const auto& item : std::as_const(m_shownItems))
        m_outline->expand(m_model->indexForFile(item.get()));
}

void BatchTextFinder::removeShownItem(BatchTextOutlineViewItem* item)
{
    if (!item || item->row < 0 || item->row >= m_shownItems.size() || m_shownItems.at(item->row).get() != item)
        return;
    const int row = item->row;
    m_model->beginRemoveAt(row);
    m_shownItems.removeAt(row);
    item->row = -1;
    for (int i = row; i < m_shownItems.size(); ++i)
        m_shownItems[i]->row = i;
    m_model->endRemoveAt();
}

void BatchTextFinder::replaceItem(const std::shared_ptr<BatchTextOutlineViewItem>& item)
{
    // The earlier result of the same source: the same open document or the same file.
    qsizetype at = -1;
    for (qsizetype i = 0; i < m_allItems.size() && at < 0; ++i) {
        const auto& existing = m_allItems.at(i);
        if ((item->openDocument && existing->openDocument == item->openDocument)
            || (!item->filePath.isEmpty() && existing->filePath == item->filePath)
            || existing->document == item->document)
            at = i;
    }
    std::shared_ptr<BatchTextOutlineViewItem> old = at >= 0 ? m_allItems.at(at) : nullptr;
    if (old)
        m_allItems[at] = item;
    else
        m_allItems << item;
    if (!item->filePath.isEmpty())
        m_itemsByPath.insert(item->filePath, item.get());
    const int row = old ? old->row : -1;
    if (row >= 0 && item->containedItemsCount() > 0) {
        // In the same place, so the rows around keep their selection.
        m_model->beginRemoveAt(row);
        m_shownItems.removeAt(row);
        old->row = -1;
        m_model->endRemoveAt();
        m_model->beginInsertAt(row);
        item->row = row;
        m_shownItems.insert(row, item);
        m_model->endInsertAt();
        m_outline->expand(m_model->indexForFile(item.get()));
    } else if (row >= 0) {
        removeShownItem(old.get());
    } else if (item->containedItemsCount() > 0) {
        addShownItems({item});
    }
}

void BatchTextFinder::jobFinished(quint64 jobId, bool refresh, bool limited)
{
    if (!m_job || m_job->id != jobId)
        return;
    showPendingResults();
    const bool completed = m_job->finding.exchange(false);
    if (completed && limited)
        m_status->setText(tr("%1 Found (a search stops at %2 matches)").arg(numberOfResults()).arg(resultLimit()));
    else if (completed)
        m_status->setText(tr("%1 Found").arg(numberOfResults()));
    else
        m_status->setText(refresh ? tr("Update Cancelled") : tr("Find Cancelled"));
    setFindingWidgets(false);
    Q_EMIT findFinished();
}

qsizetype BatchTextFinder::numberOfResults() const
{
    qsizetype count = 0;
    for (const auto& item : m_shownItems)
        count += item->containedItemsCount();
    return count;
}

// ---------------------------------------------------------------------------------------------
// Refreshing

void BatchTextFinder::scheduleUpdate()
{
    if (m_updatePending)
        return;
    m_updatePending = true;
    QTimer::singleShot(0, this, [this] {
        m_updatePending = false;
        updateFindResults();
    });
}

void BatchTextFinder::updateFindResults()
{
    if (isFinding() || m_disableFindUpdates || !m_lastFindParameters)
        return;
    EditorDocumentSource* controller = EditorDocumentSource::available();
    QList<std::shared_ptr<BatchTextOutlineViewItem>> edited;

    // Files opened since they were searched are searched again in their documents.
    if (controller) {
        for (const std::shared_ptr<DocumentContents>& source : controller->allDocumentsAndPlaceholders()) {
            auto* document = dynamic_cast<EditorDocument*>(source.get());
            const QUrl url = document ? document->fileURL() : QUrl();
            if (!url.isLocalFile())
                continue;
            const QString path = url.toLocalFile();
            if (m_unmatchedFiles.remove(path)) {
                auto item = std::make_shared<BatchTextOutlineViewItem>();
                item->filePath = path;
                adoptDocument(item.get(), document);
                m_allItems << item;
                m_itemsByPath.insert(path, item.get());
            }
        }
        for (const auto& item : std::as_const(m_allItems)) {
            if (item->wasOpenDocument || item->filePath.isEmpty())
                continue;
            if (EditorDocument* open = controller->documentForURL(QUrl::fromLocalFile(item->filePath)))
                adoptDocument(item.get(), open);
        }
    }

    // Closed documents and the files of closed projects leave the results.
    const BatchFindProjectFiles projects = projectFiles();
    QList<std::shared_ptr<BatchTextOutlineViewItem>> kept;
    QSet<BatchTextOutlineViewItem*> dropped;
    for (const auto& item : std::as_const(m_allItems)) {
        EditorDocument* document = liveDocument(item.get());
        bool drop = false;
        if (item->wasOpenDocument)
            drop = !document || document->documentClosed();
        else
            drop = !item->filePath.isEmpty() && (!projects.contains || !projects.contains(item->filePath));
        if (drop) {
            dropped.insert(item.get());
            if (m_itemsByPath.value(item->filePath) == item.get())
                m_itemsByPath.remove(item->filePath);
            continue;
        }
        kept << item;
        if (document) {
            const std::optional<QString> now = document->docContents();
            if (!item->searchedText || !now || *now != *item->searchedText)
                edited << item;
        }
    }
    removeShownItems(dropped);
    m_allItems = kept;
    if (m_projectClosed) {
        m_projectClosed = false;
        for (auto it = m_unmatchedFiles.begin(); it != m_unmatchedFiles.end();) {
            if (!projects.contains || !projects.contains(*it))
                it = m_unmatchedFiles.erase(it);
            else
                ++it;
        }
    }

    if (!edited.isEmpty() && m_window && m_window->isVisible()) {
        auto job = std::make_shared<Job>();
        job->refresh = true;
        job->options = m_lastFindParameters->options();
        job->expression = m_lastFindParameters->findExpression();
        job->limit = resultLimit();
        if (!job->expression)
            return;
        for (const auto& item : std::as_const(edited)) {
            auto* document = liveDocument(item.get());
            job->openSources.append(Job::OpenSource {item->document, item->openDocument, document != nullptr, item->filePath});
        }
        m_status->setText(tr("Updating Results..."));
        startJob(job);
    }
}

// ---------------------------------------------------------------------------------------------
// Opening and replacing

EditorDocument* BatchTextFinder::openDocumentOf(BatchTextOutlineViewItem* file, bool display, QString* failure)
{
    EditorDocumentSource* controller = EditorDocumentSource::available();
    EditorDocument* document = liveDocument(file);
    if (document && (!controller || !controller->isOpenDocument(document)))
        document = nullptr;
    if (document)
        return document;
    if (file->filePath.isEmpty() || !controller)
        return nullptr;
    const QUrl url = QUrl::fromLocalFile(file->filePath);
    document = controller->documentForURL(url);
    if (!document) {
        kit::Error error;
        document = controller->openDocument(url, display, &error);
        if (!document) {
            if (failure && error)
                *failure = error.localizedDescription();
            if (display && error && !error.isUserCancelled())
                kit::Alert::presentError(error, m_window);
            return nullptr;
        }
    }
    adoptDocument(file, document);
    return document;
}

void BatchTextFinder::currentRowChanged()
{
    if (!m_outline || !m_outline->selectionModel())
        return;
    const QModelIndex current = m_outline->currentIndex();
    if (!current.isValid() || !m_outline->selectionModel()->isSelected(current))
        return;
    openItem(static_cast<BatchTextOutlineViewItem*>(current.data(kItemRole).value<void*>()));
}

void BatchTextFinder::openItem(BatchTextOutlineViewItem* item)
{
    if (!item)
        return;
    BatchTextOutlineViewItem* file = item->parent ? item->parent : item;
    const bool wasOpen = liveDocument(file) != nullptr;
    EditorDocument* document = openDocumentOf(file, true, nullptr);
    if (!document)
        return;
    if (!wasOpen && !file->searchedText) {
        // The file was searched on disk and has just been read from there: only an
        // edit from now on needs a new search.
        if (const std::optional<QString> text = document->docContents())
            file->searchedText = std::make_shared<const QString>(*text);
    }
    m_disableFindUpdates = true;
    document->showWindows();
    if (item->parent) {
        if (KELHTMLView* view = document->textView()) {
            const qsizetype length = view->string().size();
            const Range range = Range::intersection(item->matchRange, Range(0, length));
            view->setSelectedRange(range);
            view->scrollRangeToVisible(range);
            QPointer<KELHTMLView> guard(view);
            QTimer::singleShot(0, view, [guard, range] {
                if (guard)
                    guard->showFindIndicatorForRange(range);
            });
        }
    }
    if (m_window) {
        m_window->raise();
        m_window->activateWindow();
    }
    m_disableFindUpdates = false;
}

void BatchTextFinder::replaceAll()
{
    QList<BatchTextOutlineViewItem*> items;
    for (const auto& file : m_shownItems)
        for (const auto& match : file->containedItemsArray)
            items << match.get();
    doReplaceForItems(items);
}

void BatchTextFinder::replaceSelected()
{
    QSet<BatchTextOutlineViewItem*> chosen;
    for (const QModelIndex& row : m_outline->selectionModel()->selectedRows()) {
        auto* item = static_cast<BatchTextOutlineViewItem*>(row.data(kItemRole).value<void*>());
        if (!item)
            continue;
        if (item->parent) {
            chosen.insert(item);
        } else {
            for (const auto& match : item->containedItemsArray)
                chosen.insert(match.get());
        }
    }
    doReplaceForItems(QList<BatchTextOutlineViewItem*>(chosen.begin(), chosen.end()));
}

qsizetype BatchTextFinder::doReplaceForItems(const QList<BatchTextOutlineViewItem*>& items, qsizetype* skippedOut)
{
    window();
    if (!m_lastFindParameters)
        return 0;
    const std::optional<OGRegularExpression> expression = m_lastFindParameters->findExpression();
    const OgreOption options = m_lastFindParameters->options();
    const QSet<BatchTextOutlineViewItem*> chosen(items.begin(), items.end());
    QList<BatchTextOutlineViewItem*> files;
    QSet<BatchTextOutlineViewItem*> seen;
    for (BatchTextOutlineViewItem* item : items) {
        if (item && item->parent && !seen.contains(item->parent)) {
            seen.insert(item->parent);
            files << item->parent;
        }
    }
    const QString replacement = m_replaceField->text();
    QStringList locked;
    qsizetype replaced = 0;
    qsizetype skipped = 0;
    for (BatchTextOutlineViewItem* file : files) {
        EditorDocument* document = openDocumentOf(file, false, nullptr);
        if (!document)
            continue;
        if (document->isDocumentLocked()) {
            locked << document->displayName();
            continue;
        }
        KELHTMLView* view = document->textView();
        if (!view || !expression)
            continue;
        kit::UndoManager* undo = view->editorUndoManager();
        if (undo)
            undo->beginUndoGrouping();
        qsizetype offset = 0;
        for (const auto& match : file->containedItemsArray) {
            const QString text = view->string();
            Range moved(match->matchRange.location + offset, match->matchRange.length);
            if (moved.location + moved.length > text.size())
                break;
            match->matchRange = moved;
            if (!chosen.contains(match.get()))
                continue;
            // The text may have changed since the search: replace only a range that
            // still holds a match of the search, exactly.
            const auto now = expression->matchInString(text, options, moved);
            if (!now || now->rangeOfMatchedString().location != moved.location
                || now->rangeOfMatchedString().length != moved.length) {
                ++skipped;
                continue;
            }
            view->replaceCharactersWithUndoInRange(moved, replacement);
            offset += replacement.size() - moved.length;
            match->matchRange.length = replacement.size();
            ++replaced;
        }
        if (undo) {
            undo->setActionName(QStringLiteral("Replace Selected"));
            undo->endUndoGrouping();
            undo->setActionName(QStringLiteral("Replace Selected"));
        }
    }
    if (!locked.isEmpty()) {
        const QString description = locked.size() == 1
            ? QStringLiteral("Replace could not be performed for the document \"%1\" because it is locked.").arg(locked.first())
            : QStringLiteral("Replace could not be performed for some documents because they are locked.");
        kit::Error error = kit::Error::withDescription(KELErrorDomain, KELErrorLockedDocument, description);
        error.setRecoveryOptions({QStringLiteral("OK")});
        kit::Alert::presentError(error, m_window);
    }
    if (skipped > 0)
        m_status->setText(tr("%1 replaced, %2 skipped because the text changed since the search").arg(replaced).arg(skipped));
    else
        m_status->setText(tr("%1 replaced").arg(replaced));
    if (skippedOut)
        *skippedOut = skipped;
    updateFindResults();
    return replaced;
}
