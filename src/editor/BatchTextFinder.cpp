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

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTextDocument>
#include <QTimer>
#include <QTreeWidget>
#include <thread>

using kit::Range;

namespace {

constexpr int kItemRole = Qt::UserRole + 7;
constexpr int kMarkRole = Qt::UserRole + 8;

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
constexpr qsizetype kHistoryLimit = 10;

std::function<QStringList()>& projectFilesProvider()
{
    static std::function<QStringList()> provider;
    return provider;
}

QString sourceName(DocumentContents& source)
{
    const QUrl url = source.fileURL();
    if (url.isLocalFile())
        return QFileInfo(url.toLocalFile()).fileName();
    return source.displayName();
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

// The matches of one text, on the worker thread.
QList<std::shared_ptr<BatchTextOutlineViewItem>> matchItems(
    const QString& text, const OGRegularExpression& expression, OgreOption options, BatchTextOutlineViewItem* parent)
{
    QList<std::shared_ptr<BatchTextOutlineViewItem>> items;
    const QList<OGRegularExpressionMatch> matches = expression.allMatchesInString(text, options, Range(0, text.size()));
    for (const OGRegularExpressionMatch& match : matches) {
        auto item = std::make_shared<BatchTextOutlineViewItem>();
        item->parent = parent;
        item->matchRange = match.rangeOfMatchedString();
        item->title = batchFindSnippet(text, item->matchRange, &item->titleMark);
        items << item;
    }
    return items;
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
    if (document) {
        const QUrl url = document->fileURL();
        if (url.isLocalFile()) {
            const QFileInfo info(url.toLocalFile());
            name = QStringLiteral("%1 - %2").arg(info.fileName(), info.dir().dirName());
        } else {
            name = document->displayName();
        }
    }
    return QStringLiteral("(%1) %2").arg(containedItemsArray.size()).arg(name);
}

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
// The finder

struct BatchTextFinder::Job
{
    quint64 id = 0;
    std::atomic<bool> finding {true};
    FindParameters parameters;
    std::optional<OGRegularExpression> expression;
    QList<std::shared_ptr<DocumentContents>> sources;
    // Open documents among the sources, watched so a closed one is not read; used on
    // the main thread only.
    QList<QPointer<QObject>> documentGuards;
    QList<bool> isDocument;
};

BatchTextFinder& BatchTextFinder::shared()
{
    static BatchTextFinder* finder = new BatchTextFinder; // kept for the process
    return *finder;
}

BatchTextFinder::BatchTextFinder()
{
    auto& center = kit::NotificationCenter::defaultCenter();
    center.addObserver(KELDocumentDidCloseNotification, nullptr, [this](const kit::Notification&) { scheduleUpdate(); }, this);
    center.addObserver(QStringLiteral("KELProjectDidCloseNotification"), nullptr,
        [this](const kit::Notification&) { scheduleUpdate(); }, this);
    // A worker must not outlive the application it reports to.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &BatchTextFinder::cancel);
}

BatchTextFinder::~BatchTextFinder()
{
    if (m_job)
        m_job->finding = false;
}

void BatchTextFinder::setProjectFilesProvider(std::function<QStringList()> provider)
{
    projectFilesProvider() = std::move(provider);
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
    m_ignoreCase = new QCheckBox(tr("Ignore case"), window);
    grid->addWidget(new QLabel(tr("Find:"), window), 0, 0);
    grid->addWidget(m_findCombo, 0, 1);
    grid->addWidget(new QLabel(tr("Replace:"), window), 1, 0);
    grid->addWidget(m_replaceField, 1, 1);
    grid->addWidget(new QLabel(tr("Files:"), window), 2, 0);
    grid->addWidget(m_fileField, 2, 1);
    grid->addWidget(m_ignoreCase, 3, 1);
    m_outline = new QTreeWidget(window);
    m_outline->setHeaderHidden(true);
    m_outline->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_outline->setItemDelegate(new MatchTitleDelegate(m_outline));
    QFont small = m_outline->font();
    small.setPointSize(11);
    m_outline->setFont(small);
    grid->addWidget(m_outline, 4, 0, 1, 2);
    m_progress = new QProgressBar(window);
    m_progress->setRange(0, 100);
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
    connect(m_replaceAllButton, &QPushButton::clicked, this, &BatchTextFinder::replaceAll);
    connect(m_replaceSelectedButton, &QPushButton::clicked, this, &BatchTextFinder::replaceSelected);
    connect(m_findCombo, &QComboBox::editTextChanged, this,
        [this](const QString& text) { m_findButton->setEnabled(isFinding() || !text.isEmpty()); });
    connect(m_outline, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* row) {
        openItem(static_cast<BatchTextOutlineViewItem*>(row->data(0, kItemRole).value<void*>()));
    });
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now && m_window && now->window() == m_window)
            scheduleUpdate();
    });
    m_window = window;
    resetValues();
    m_findCombo->addItems(m_history.historyItems());
    m_findCombo->setEditText(TextFinder::sharedInstance().findString());
    window->resize(560, 480);
    return window;
}

void BatchTextFinder::showWindow()
{
    QWidget* w = window();
    w->show();
    w->raise();
    w->activateWindow();
    m_findCombo->setFocus();
}

void BatchTextFinder::resetValues()
{
    window();
    m_findCombo->setEditText(QString());
    m_replaceField->clear();
    m_findButton->setEnabled(false);
    m_replaceAllButton->setEnabled(false);
    m_replaceSelectedButton->setEnabled(false);
    m_shownItems.clear();
    m_allItems.clear();
    reloadOutline();
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

QList<std::shared_ptr<DocumentContents>> BatchTextFinder::allSources() const
{
    QList<std::shared_ptr<DocumentContents>> sources;
    EditorDocumentSource* controller = EditorDocumentSource::available();
    if (controller)
        sources = controller->allDocumentsAndPlaceholders();
    if (projectFilesProvider()) {
        for (const QString& path : projectFilesProvider()()) {
            const QUrl url = QUrl::fromLocalFile(path);
            bool known = false;
            for (const auto& source : sources)
                known = known || source->fileURL() == url;
            if (known)
                continue;
            // An open file is searched in its document, with its unsaved text.
            EditorDocument* open = controller ? controller->documentForURL(url) : nullptr;
            if (open)
                sources << std::shared_ptr<DocumentContents>(std::shared_ptr<DocumentContents>(), open);
            else if (EditorDocumentSource* registered = EditorDocumentSource::shared())
                sources << registered->placeholderForPath(path);
        }
    }
    return sources;
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
    const std::optional<OGRegularExpression> findExpression = parameters.findExpression();
    if (!findExpression) {
        showInvalidRegularExpressionAlert(parameters.searchRegexType(), false);
        return false;
    }
    const std::optional<OGRegularExpression> fileExpression = parameters.fileExpression();
    if (!fileExpression) {
        showInvalidRegularExpressionAlert(parameters.fileRegexType(), true);
        return false;
    }
    QList<std::shared_ptr<DocumentContents>> kept;
    KELFileTypeManager& types = KELFileTypeManager::sharedInstance();
    for (const std::shared_ptr<DocumentContents>& source : allSources()) {
        const QString name = sourceName(*source);
        const auto match = fileExpression->matchInString(name, OgreIgnoreCaseOption, Range(0, name.size()));
        if (!match)
            continue;
        const QString type = types.typeNameForDocumentURL(source->fileURL());
        if (type == QLatin1String("Binary") || type == QLatin1String("Image"))
            continue;
        kept << source;
    }
    parameters.setDocuments(kept);
    m_shownItems.clear();
    m_allItems.clear();
    reloadOutline();
    m_history.addHistoryItem(search);
    m_findCombo->blockSignals(true);
    m_findCombo->clear();
    m_findCombo->addItems(m_history.historyItems());
    m_findCombo->setEditText(search);
    m_findCombo->blockSignals(false);
    m_lastFindParameters = parameters;
    m_status->setText(tr("Performing Find..."));
    startJob(kept, false);
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

void BatchTextFinder::startJob(const QList<std::shared_ptr<DocumentContents>>& sources, bool refresh)
{
    if (m_job)
        m_job->finding = false; // a job still running stops before its next file
    auto job = std::make_shared<Job>();
    job->id = ++m_jobCounter;
    job->parameters = *m_lastFindParameters;
    job->expression = m_lastFindParameters->findExpression();
    job->sources = sources;
    for (const auto& source : sources) {
        auto* document = dynamic_cast<EditorDocument*>(source.get());
        job->documentGuards << QPointer<QObject>(document ? document->documentObject() : nullptr);
        job->isDocument << (document != nullptr);
    }
    m_job = job;
    setFindingWidgets(true);
    QPointer<BatchTextFinder> self(this);
    std::thread([job, self, refresh] {
        const qsizetype count = job->sources.size();
        for (qsizetype index = 0; index < count && job->finding.load(); ++index) {
            const int progress = int((index + 1) * 100 / count);
            QMetaObject::invokeMethod(qApp, [self, progress, id = job->id] {
                if (self && self->m_job && self->m_job->id == id)
                    self->m_progress->setValue(progress);
            }, Qt::QueuedConnection);
            // The text is read where documents live; the main thread never waits on us.
            std::shared_ptr<DocumentContents> source = job->sources.at(index);
            auto item = std::make_shared<BatchTextOutlineViewItem>();
            item->document = source;
            std::optional<QString> text;
            QMetaObject::invokeMethod(qApp, [&text, source, job, index, item] {
                item->wasOpenDocument = job->isDocument.at(index);
                item->openDocument = job->documentGuards.at(index);
                if (!item->wasOpenDocument || item->openDocument)
                    text = source->docContents();
            }, Qt::BlockingQueuedConnection);
            if (!job->finding.load())
                break;
            if (text) {
                item->searchedText = std::make_shared<const QString>(*text);
                item->containedItemsArray = matchItems(*text, *job->expression, job->parameters.options(), item.get());
            }
            QMetaObject::invokeMethod(qApp, [self, item, id = job->id, refresh] {
                if (self)
                    self->addOutlineViewItem(id, item, refresh);
            }, Qt::QueuedConnection);
        }
        QMetaObject::invokeMethod(qApp, [self, id = job->id, refresh] {
            if (self)
                self->jobFinished(id, refresh);
        }, Qt::QueuedConnection);
    }).detach();
}

void BatchTextFinder::addOutlineViewItem(quint64 jobId, std::shared_ptr<BatchTextOutlineViewItem> item, bool refresh)
{
    if (!m_job || m_job->id != jobId)
        return; // a cancelled job's late result
    item->title = item->generateFileNameTitle();
    if (refresh) {
        // Replace the earlier result of the same source.
        for (auto* list : {&m_allItems, &m_shownItems}) {
            for (auto& existing : *list) {
                if (existing->document == item->document)
                    existing = item;
            }
        }
        if (!m_allItems.contains(item))
            m_allItems << item;
        if (item->containedItemsCount() == 0)
            m_shownItems.removeAll(item);
        else if (!m_shownItems.contains(item))
            m_shownItems << item;
    } else {
        if (!m_allItems.contains(item))
            m_allItems << item;
        if (item->containedItemsCount() > 0 && !m_shownItems.contains(item))
            m_shownItems << item;
    }
    reloadOutline();
}

void BatchTextFinder::jobFinished(quint64 jobId, bool refresh)
{
    if (!m_job || m_job->id != jobId)
        return;
    const bool completed = m_job->finding.exchange(false);
    if (completed)
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

void BatchTextFinder::reloadOutline()
{
    if (!m_outline)
        return;
    m_outline->clear();
    for (const auto& file : m_shownItems) {
        auto* row = new QTreeWidgetItem(m_outline, {file->title});
        row->setData(0, kItemRole, QVariant::fromValue<void*>(file.get()));
        for (const auto& match : file->containedItemsArray) {
            auto* child = new QTreeWidgetItem(row, {match->title});
            child->setData(0, kItemRole, QVariant::fromValue<void*>(match.get()));
            if (match->titleMark.location != kit::NotFound)
                child->setData(0, kMarkRole, QPoint(int(match->titleMark.location), int(match->titleMark.length)));
        }
        row->setExpanded(true);
    }
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
    QList<std::shared_ptr<DocumentContents>> edited;
    QList<std::shared_ptr<BatchTextOutlineViewItem>> kept;
    for (const auto& item : m_allItems) {
        EditorDocument* document = liveDocument(item.get());
        if (item->wasOpenDocument && (!document || document->documentClosed()))
            continue;
        if (!document && controller && item->document->fileURL().isLocalFile()) {
            // A file opened since the search is searched again in its document.
            if (EditorDocument* open = controller->documentForURL(item->document->fileURL())) {
                adoptDocument(item.get(), open);
                edited << item->document;
                kept << item;
                continue;
            }
        }
        kept << item;
        if (document) {
            const std::optional<QString> now = document->docContents();
            if (!item->searchedText || !now || *now != *item->searchedText)
                edited << item->document;
        }
    }
    m_allItems = kept;
    for (qsizetype k = m_shownItems.size() - 1; k >= 0; --k)
        if (!m_allItems.contains(m_shownItems.at(k)))
            m_shownItems.removeAt(k);
    reloadOutline();
    if (!edited.isEmpty() && m_window && m_window->isVisible()) {
        m_status->setText(tr("Updating Results..."));
        startJob(edited, true);
    }
}

// ---------------------------------------------------------------------------------------------
// Opening and replacing

void BatchTextFinder::openItem(BatchTextOutlineViewItem* item)
{
    if (!item)
        return;
    BatchTextOutlineViewItem* file = item->parent ? item->parent : item;
    EditorDocumentSource* controller = EditorDocumentSource::available();
    EditorDocument* document = liveDocument(file);
    if (document && (!controller || !controller->isOpenDocument(document)))
        document = nullptr;
    if (!document) {
        const QUrl url = file->document->fileURL();
        if (!url.isLocalFile() || !controller)
            return;
        kit::Error error;
        document = controller->openDocument(url, true, &error);
        if (!document) {
            kit::Alert::presentError(error, m_window);
            return;
        }
        adoptDocument(file, document);
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
    qsizetype skipped = 0;
    const qsizetype replaced = doReplaceForItems(items, &skipped);
    Q_UNUSED(replaced);
}

void BatchTextFinder::replaceSelected()
{
    QSet<BatchTextOutlineViewItem*> chosen;
    for (QTreeWidgetItem* row : m_outline->selectedItems()) {
        auto* item = static_cast<BatchTextOutlineViewItem*>(row->data(0, kItemRole).value<void*>());
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
    for (BatchTextOutlineViewItem* item : items)
        if (item && item->parent && !files.contains(item->parent))
            files << item->parent;
    const QString replacement = m_replaceField->text();
    EditorDocumentSource* controller = EditorDocumentSource::available();
    QStringList locked;
    qsizetype replaced = 0;
    qsizetype skipped = 0;
    for (BatchTextOutlineViewItem* file : files) {
        EditorDocument* document = liveDocument(file);
        if (!document && controller && file->document->fileURL().isLocalFile()) {
            kit::Error error;
            document = controller->openDocument(file->document->fileURL(), false, &error);
            if (document)
                adoptDocument(file, document);
        }
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
