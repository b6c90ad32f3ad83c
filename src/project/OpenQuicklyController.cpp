#include "project/OpenQuicklyController.h"
#include "support/InterfaceHelpers.h"

#include "support/DefaultsKeys.h"
#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "kit/UserDefaults.h"
#include "project/ImageAndTextCell.h"
#include "project/OpenQuicklyLocalSearch.h"
#include "project/OpenQuicklySpotlightSearch.h"
#include "project/ProjectDocumentController.h"
#include "project/ProjectFileIndex.h"
#include "project/ProjectServices.h"
#include "support/HelpUtils.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

namespace {
// A panel opened again within this time offers the projects' files as they were listed.
constexpr qint64 kRelistAfterMs = 10000;
// The rows of the projects' files are kept this long after the panel closed, for
// the next time it opens.
constexpr int kKeepRowsAfterCloseMs = 60000;
} // namespace

// The file list: one row per file name, sorted by name ignoring case.
class OpenQuicklyFileListModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;
    /// The local search hands its rows over in order already.
    void setResults(QList<OpenQuicklyResultRef> results, bool sorted = false)
    {
        if (!sorted) {
            std::stable_sort(results.begin(), results.end(), [](const OpenQuicklyResultRef& a, const OpenQuicklyResultRef& b) {
                return a->fileName().compare(b->fileName(), Qt::CaseInsensitive) < 0;
            });
        }
        beginResetModel();
        m_results = std::move(results);
        endResetModel();
    }
    const QList<OpenQuicklyResultRef>& results() const { return m_results; }
    int rowCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : int(m_results.size()); }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : 1; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_results.size())
            return QVariant();
        const QString name = m_results[index.row()]->fileName();
        if (role == Qt::DisplayRole)
            return name;
        if (role == Qt::DecorationRole) {
            static QFileIconProvider provider;
            return provider.icon(QFileInfo(name));
        }
        return QVariant();
    }

private:
    QList<OpenQuicklyResultRef> m_results;
};

// The folder list: the folders of the selected name's documents.
class OpenQuicklyFolderListModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;
    void setResult(OpenQuicklyResultRef result)
    {
        beginResetModel();
        m_result = std::move(result);
        endResetModel();
    }
    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() || !m_result ? 0 : int(m_result->documents().size());
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : 1; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!m_result || !index.isValid() || index.row() >= m_result->documents().size())
            return QVariant();
        const DocumentContents* document = m_result->documents()[index.row()].get();
        if (role == Qt::DisplayRole)
            return OpenQuicklyController::folderValue(document);
        if (role == Qt::ToolTipRole)
            return document && !document->fileURL().isEmpty() ? document->fileURL().toLocalFile() : QString();
        if (role == Qt::DecorationRole && document && !document->fileURL().isEmpty()) {
            const QString folder = QFileInfo(document->fileURL().toLocalFile()).absolutePath();
            if (QFileInfo(folder).isDir()) {
                static QFileIconProvider provider;
                return provider.icon(QFileIconProvider::Folder);
            }
        }
        return QVariant();
    }

private:
    OpenQuicklyResultRef m_result;
};

OpenQuicklyController& OpenQuicklyController::sharedInstance()
{
    static OpenQuicklyController* controller = new OpenQuicklyController;
    return *controller;
}

OpenQuicklyController::OpenQuicklyController()
{
    m_releaseRowsTimer.setSingleShot(true);
    connect(&m_releaseRowsTimer, &QTimer::timeout, this, [] { OpenQuicklyLocalSearch::releaseCachedRows(); });
    buildWindow();
}

OpenQuicklyController::~OpenQuicklyController()
{
    useSearch(nullptr);
    m_localSearch.reset();
    m_spotlightSearch.reset();
    delete m_window.data();
}

QString OpenQuicklyController::folderValue(const DocumentContents* document)
{
    if (!document)
        return QString();
    if (document->fileURL().isEmpty())
        return QStringLiteral("(No Folder)");
    return QFileInfo(document->fileURL().toLocalFile()).absolutePath();
}

void OpenQuicklyController::buildWindow()
{
    auto* dialog = new QDialog;
    dialog->setObjectName(QStringLiteral("OpenQuickly"));
    dialog->setWindowTitle(QStringLiteral("Open Quickly"));
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    dialog->resize(520, 460);
    m_window = dialog;
    auto* layout = new QVBoxLayout(dialog);
    auto* top = new QHBoxLayout;
    m_fileRegexField = new QLineEdit(dialog);
    m_fileRegexField->setObjectName(QStringLiteral("fileRegexField"));
    m_fileRegexField->setAccessibleName(QStringLiteral("File name"));
    m_fileRegexField->setPlaceholderText(QStringLiteral("File name (* matches anything)"));
    m_progressIndicator = makeProgressIndicator(dialog);
    top->addWidget(m_fileRegexField, 1);
    top->addWidget(m_progressIndicator);
    layout->addLayout(top);

    auto makeList = [dialog](const QString& name) {
        auto* table = new QTableView(dialog);
        table->setObjectName(name);
        table->horizontalHeader()->hide();
        table->horizontalHeader()->setStretchLastSection(true);
        table->verticalHeader()->hide();
        table->verticalHeader()->setDefaultSectionSize(18);
        table->setSelectionBehavior(QAbstractItemView::SelectRows);
        table->setSelectionMode(QAbstractItemView::SingleSelection);
        table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        table->setShowGrid(false);
        table->setItemDelegate(new ImageAndTextCell(table));
        table->setTextElideMode(Qt::ElideLeft);
        return table;
    };
    m_fileTableView = makeList(QStringLiteral("fileTableView"));
    m_folderTableView = makeList(QStringLiteral("folderTableView"));
    m_fileModel = new OpenQuicklyFileListModel(this);
    m_folderModel = new OpenQuicklyFolderListModel(this);
    m_fileTableView->setModel(m_fileModel);
    m_folderTableView->setModel(m_folderModel);
    layout->addWidget(m_fileTableView, 3);
    layout->addWidget(m_folderTableView, 1);

    auto* bottom = new QHBoxLayout;
    auto* help = new QPushButton(QStringLiteral("?"), dialog);
    help->setFixedWidth(28);
    help->setAccessibleName(QStringLiteral("Help"));
    m_localSearchButton = new QCheckBox(QStringLiteral("Search only open documents and projects"), dialog);
    m_localSearchButton->setObjectName(QStringLiteral("localSearchButton"));
    m_cancelButton = new QPushButton(QStringLiteral("Cancel"), dialog);
    m_openButton = new QPushButton(QStringLiteral("Open"), dialog);
    m_openButton->setObjectName(QStringLiteral("openButton"));
    m_openButton->setDefault(true);
    m_openButton->setEnabled(false);
    bottom->addWidget(help);
    bottom->addWidget(m_localSearchButton);
    bottom->addStretch();
    bottom->addWidget(m_cancelButton);
    bottom->addWidget(m_openButton);
    layout->addLayout(bottom);

    // Without a locate database there is only the local search.
    m_spotlightSearch = std::make_unique<OpenQuicklySpotlightSearch>();
    const bool systemSearch = m_spotlightSearch->isAvailable();
    m_localSearchButton->setChecked(!systemSearch || kit::UserDefaults::standard().boolValue(KELOpenQuicklyLocalKey));
    m_localSearchButton->setEnabled(systemSearch);

    connect(m_fileRegexField, &QLineEdit::textChanged, this, [this] { handleRegexChange(); });
    connect(m_fileTableView->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { fileSelectionChanged(); });
    connect(m_folderTableView->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { folderSelectionChanged(); });
    connect(m_fileTableView, &QTableView::doubleClicked, this, [this] { open(); });
    connect(m_folderTableView, &QTableView::doubleClicked, this, [this] { open(); });
    connect(m_openButton, &QPushButton::clicked, this, [this] { open(); });
    connect(m_cancelButton, &QPushButton::clicked, this, [this] { cancel(); });
    connect(help, &QPushButton::clicked, this, [this] { showHelp(); });
    connect(m_localSearchButton, &QCheckBox::toggled, this, [this] { changeLocalSearch(); });
    dialog->installEventFilter(this);
    m_fileRegexField->installEventFilter(this);
}

void OpenQuicklyController::showWindow()
{
    if (!m_window)
        return;
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    // The panel is fresh each time it comes forward, also when the desktop does
    // not report the activation; when it does, that activation is this same one.
    windowDidBecomeKey();
    m_shownNow = true;
}

bool OpenQuicklyController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window) {
        if (event->type() == QEvent::WindowActivate) {
            if (!std::exchange(m_shownNow, false))
                windowDidBecomeKey();
        } else if (event->type() == QEvent::WindowDeactivate) {
            m_shownNow = false;
        } else if (event->type() == QEvent::Close || event->type() == QEvent::Hide) {
            m_shownNow = false;
            windowWillClose();
        }
    } else if (watched == m_fileRegexField && event->type() == QEvent::KeyPress) {
        // Up and down move through the file list while typing.
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Down || key->key() == Qt::Key_Up) {
            const int rows = m_fileModel->rowCount();
            if (rows > 0) {
                const QModelIndex current = m_fileTableView->currentIndex();
                int row = current.isValid() ? current.row() : -1;
                row = qBound(0, row + (key->key() == Qt::Key_Down ? 1 : -1), rows - 1);
                m_fileTableView->selectRow(row);
            }
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void OpenQuicklyController::windowDidBecomeKey()
{
    m_releaseRowsTimer.stop();
    m_fileRegexField->setFocus(Qt::OtherFocusReason);
    // A local search sees the documents open now; the system search is kept.
    if (!m_search || m_search->isLocal()) {
        // The projects are listed again in the background (unless they just were),
        // for changes in folders the tree does not watch; what they list now is
        // offered meanwhile.
        if (MyDocumentController* controller = MyDocumentController::sharedDocumentController()) {
            for (DocumentWindowController* window : controller->projectDocuments()) {
                if (auto* project = qobject_cast<ProjectDocumentController*>(window)) {
                    project->fileIndex()->refresh(kRelistAfterMs);
                    connect(project->fileIndex(), &ProjectFileIndex::filesChanged, this,
                        &OpenQuicklyController::projectFilesChanged, Qt::UniqueConnection);
                }
            }
        }
        resetSearch();
    }
}

void OpenQuicklyController::projectFilesChanged()
{
    // The rows follow the projects' files while the panel is open.
    if (m_resetPending || !m_window || !m_window->isVisible() || !m_search || !m_search->isLocal())
        return;
    m_resetPending = true;
    QTimer::singleShot(0, this, [this] {
        m_resetPending = false;
        if (m_window && m_window->isVisible() && m_search && m_search->isLocal()) {
            const QString kept = m_selectedDocumentFileName;
            resetSearch();
            m_selectedDocumentFileName = kept;
        }
    });
}

void OpenQuicklyController::windowWillClose()
{
    if (m_search || !m_fileRegexField->text().isEmpty()) {
        setSearch(nullptr);
        m_fileRegexField->blockSignals(true);
        m_fileRegexField->clear();
        m_fileRegexField->blockSignals(false);
    }
    // Nothing of this search is shown when the panel comes back.
    m_fileModel->setResults({});
    m_folderModel->setResult(nullptr);
    updateOpenButton();
    m_releaseRowsTimer.start(kKeepRowsAfterCloseMs);
}

void OpenQuicklyController::useSearch(OpenQuicklySearch* search)
{
    OpenQuicklySearch* old = m_search;
    m_search = search;
    if (old && old != search) {
        old->stop();
        old->setDelegate(nullptr);
    }
    if (search)
        search->setDelegate(this);
}

void OpenQuicklyController::setSearch(std::unique_ptr<OpenQuicklySearch> search)
{
    OpenQuicklySearch* raw = search.get();
    useSearch(raw);
    if (raw)
        m_localSearch = std::move(search);
    else
        m_localSearch.reset();
}

void OpenQuicklyController::resetSearch()
{
    m_selectedDocumentFileName.clear();
    setProgressIndicatorAnimating(m_progressIndicator, true);
    if (!m_localSearchButton->isChecked()) {
        useSearch(m_spotlightSearch.get());
        m_localSearch.reset();
    } else {
        setSearch(std::make_unique<OpenQuicklyLocalSearch>());
    }
    m_fileModel->setResults(m_search ? m_search->currentResults() : QList<OpenQuicklyResultRef>());
    m_folderModel->setResult(selectedResult());
    updateOpenButton();
    setProgressIndicatorAnimating(m_progressIndicator, false);
    handleRegexChange();
}

void OpenQuicklyController::changeLocalSearch()
{
    kit::UserDefaults::standard().setValue(KELOpenQuicklyLocalKey, m_localSearchButton->isChecked());
    resetSearch();
}

void OpenQuicklyController::handleRegexChange()
{
    if (!m_search)
        return;
    QString text = m_fileRegexField->text();
    if (text.isEmpty()) {
        m_search->stop();
        setProgressIndicatorAnimating(m_progressIndicator, false);
        if (!m_search->isLocal())
            m_fileModel->setResults({});
        return;
    }
    // Typed text matches the start of a name.
    if (!text.contains(QLatin1Char('*')))
        text += QLatin1Char('*');
    m_search->setSearchString(text);
    m_search->start();
    setProgressIndicatorAnimating(m_progressIndicator, true);
}

OpenQuicklyResultRef OpenQuicklyController::selectedResult() const
{
    const QModelIndexList rows = m_fileTableView->selectionModel()->selectedRows();
    if (rows.isEmpty() || rows.constFirst().row() >= m_fileModel->results().size())
        return nullptr;
    return m_fileModel->results()[rows.constFirst().row()];
}

std::shared_ptr<DocumentContents> OpenQuicklyController::selectedDocument() const
{
    const OpenQuicklyResultRef result = selectedResult();
    const QModelIndexList rows = m_folderTableView->selectionModel()->selectedRows();
    if (!result || rows.isEmpty() || rows.constFirst().row() >= result->documents().size())
        return nullptr;
    return result->documents()[rows.constFirst().row()];
}

void OpenQuicklyController::fileSelectionChanged()
{
    m_folderModel->setResult(selectedResult());
    if (!m_updating && m_folderModel->rowCount() > 0)
        m_folderTableView->selectRow(0);
    updateOpenButton();
}

void OpenQuicklyController::folderSelectionChanged()
{
    if (!m_updating) {
        const std::shared_ptr<DocumentContents> document = selectedDocument();
        m_selectedDocumentFileName = document && !document->fileURL().isEmpty() ? document->fileURL().toLocalFile() : QString();
    }
    updateOpenButton();
}

void OpenQuicklyController::updateOpenButton()
{
    m_openButton->setEnabled(!m_fileTableView->selectionModel()->selectedRows().isEmpty()
                             && !m_folderTableView->selectionModel()->selectedRows().isEmpty());
}

void OpenQuicklyController::willUpdateSearchResults()
{
    const QModelIndexList files = m_fileTableView->selectionModel()->selectedRows();
    const QModelIndexList folders = m_folderTableView->selectionModel()->selectedRows();
    m_selectedFileRow = files.isEmpty() ? -1 : files.constFirst().row();
    m_selectedFolderRow = folders.isEmpty() ? -1 : folders.constFirst().row();
    const OpenQuicklyResultRef selected = selectedResult();
    m_selectedFileName = selected ? selected->fileName() : QString();
}

void OpenQuicklyController::didUpdateSearchResults()
{
    const int fileScroll = m_fileTableView->verticalScrollBar()->value();
    m_updating = true;
    m_fileModel->setResults(m_search ? m_search->currentResults() : QList<OpenQuicklyResultRef>(), m_search && m_search->isLocal());
    int fileRow = -1;
    if (m_selectedFileRow == 0 && m_selectedFolderRow == 0) {
        fileRow = 0; // the top row stays selected while the list changes
    } else if (!m_selectedFileName.isEmpty()) {
        const auto& results = m_fileModel->results();
        for (qsizetype i = 0; i < results.size(); ++i) {
            if (results[i]->fileName() == m_selectedFileName)
                fileRow = int(i);
        }
    } else if (m_selectedFileRow < 0 && m_fileModel->rowCount() > 0) {
        fileRow = 0;
    }
    if (fileRow >= 0 && fileRow < m_fileModel->rowCount())
        m_fileTableView->selectRow(fileRow);
    m_folderModel->setResult(selectedResult());
    int folderRow = -1;
    if (m_selectedFolderRow <= 0 || m_selectedDocumentFileName.isEmpty()) {
        folderRow = m_folderModel->rowCount() > 0 ? 0 : -1;
    } else if (const OpenQuicklyResultRef result = selectedResult()) {
        for (qsizetype i = 0; i < result->documents().size(); ++i) {
            const QUrl url = result->documents()[i]->fileURL();
            if (!url.isEmpty() && url.toLocalFile() == m_selectedDocumentFileName)
                folderRow = int(i);
        }
    }
    if (folderRow >= 0)
        m_folderTableView->selectRow(folderRow);
    m_updating = false;
    m_fileTableView->verticalScrollBar()->setValue(fileScroll);
    updateOpenButton();
}

void OpenQuicklyController::searchComplete()
{
    setProgressIndicatorAnimating(m_progressIndicator, false);
    Q_EMIT searchDidComplete();
}

void OpenQuicklyController::open()
{
    const std::shared_ptr<DocumentContents> document = selectedDocument();
    if (m_window)
        m_window->close();
    if (!document)
        return;
    if (auto* open = dynamic_cast<MyDocument*>(document.get())) {
        open->showWindows();
        return;
    }
    if (!document->fileURL().isEmpty() && ProjectServices::shared().openFiles)
        ProjectServices::shared().openFiles({document->fileURL().toLocalFile()});
}

void OpenQuicklyController::cancel()
{
    if (m_window)
        m_window->close();
}

void OpenQuicklyController::showHelp()
{
    HelpUtils::showHelpForKey(QStringLiteral("KELOpenQuicklyHelpKey"));
}
