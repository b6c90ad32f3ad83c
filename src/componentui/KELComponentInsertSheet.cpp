#include "componentui/KELComponentInsertSheet.h"

#include "componentui/KELComponentController.h"
#include "componentui/KELComponentInsertDefaultsController.h"
#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "kit/Alert.h"
#include "project/ProjectDocumentController.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
constexpr int PlainRowHeight = 18;
constexpr int WarningRowHeight = 64;

QList<MyDocument*> visibleDocuments()
{
    MyDocumentController* documents = MyDocumentController::sharedDocumentController();
    return documents ? documents->visibleDocuments() : QList<MyDocument*>();
}
} // namespace

KELComponentInsertSheet::KELComponentInsertSheet(KELComponentController& controller, QWidget* parent)
    : QDialog(parent), m_controller(controller)
{
    setWindowTitle(QStringLiteral("Insert Component"));
    setWindowModality(Qt::WindowModal);
    setMinimumWidth(460);
    auto* layout = new QVBoxLayout(this);

    auto* documentRow = new QHBoxLayout;
    documentRow->addWidget(new QLabel(QStringLiteral("Insert into:"), this));
    m_documentPopUpButton = new QComboBox(this);
    QFont bold = m_documentPopUpButton->font();
    bold.setBold(true);
    m_documentPopUpButton->setFont(bold);
    documentRow->addWidget(m_documentPopUpButton, 1);
    layout->addLayout(documentRow);

    auto* alertRow = new QHBoxLayout;
    m_alertImageView = new QLabel(this);
    m_documentAlertTextField = new QLabel(this);
    m_documentAlertTextField->setWordWrap(true);
    alertRow->addWidget(m_alertImageView);
    alertRow->addWidget(m_documentAlertTextField, 1);
    layout->addLayout(alertRow);

    layout->addWidget(new QLabel(QStringLiteral("Files that will be written:"), this));
    m_filesTableView = new QTableWidget(0, 2, this);
    m_filesTableView->horizontalHeader()->hide();
    m_filesTableView->verticalHeader()->hide();
    m_filesTableView->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_filesTableView->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_filesTableView->setSelectionMode(QAbstractItemView::NoSelection);
    m_filesTableView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_filesTableView->setWordWrap(true);
    layout->addWidget(m_filesTableView, 1);

    m_scriptsPathView = new QWidget(this);
    auto* scriptsLayout = new QVBoxLayout(m_scriptsPathView);
    scriptsLayout->setContentsMargins(0, 0, 0, 0);
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(new QLabel(QStringLiteral("Folder for the files:"), m_scriptsPathView));
    m_scriptsPathTextField = new QLineEdit(m_scriptsPathView);
    m_scriptsPathTextField->setReadOnly(true);
    m_scriptsPathTextField->setAccessibleName(QStringLiteral("Folder for the files"));
    pathRow->addWidget(m_scriptsPathTextField, 1);
    m_scriptsPathBrowseButton = new QPushButton(QStringLiteral("Browse…"), m_scriptsPathView);
    pathRow->addWidget(m_scriptsPathBrowseButton);
    scriptsLayout->addLayout(pathRow);
    m_projectDefaultCheckBox = new QCheckBox(QStringLiteral("Use this folder for the whole project"), m_scriptsPathView);
    scriptsLayout->addWidget(m_projectDefaultCheckBox);
    layout->addWidget(m_scriptsPathView);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_completeInsertButton = new QPushButton(QStringLiteral("Insert"), this);
    m_completeInsertButton->setDefault(true);
    buttons->addWidget(cancel);
    buttons->addWidget(m_completeInsertButton);
    layout->addLayout(buttons);

    connect(cancel, &QPushButton::clicked, this, &KELComponentInsertSheet::cancelInsert);
    connect(m_completeInsertButton, &QPushButton::clicked, this, [this] { completeInsert(); });
    connect(m_scriptsPathBrowseButton, &QPushButton::clicked, this, &KELComponentInsertSheet::browseForScriptsDirectory);
    connect(m_documentPopUpButton, qOverload<int>(&QComboBox::activated), this, [this] {
        const MyDocument* document = selectedDocument();
        if (!document || m_insertDocumentURL != document->fileURL() || m_insertDocumentURL.isEmpty())
            updateSelectedDocumentFields();
    });
}

KELComponentInsertSheet::~KELComponentInsertSheet() = default;

bool KELComponentInsertSheet::event(QEvent* event)
{
    // Coming back to the sheet (from another window) refreshes its documents.
    if (event->type() == QEvent::WindowActivate && isVisible() && !m_isBrowsingForScripts)
        updateInsertDocumentFields();
    return QDialog::event(event);
}

void KELComponentInsertSheet::prepare()
{
    m_documentPopUpButton->clear();
    m_documents.clear();
    reloadFiles();
    updateInsertDocumentFields();
}

MyDocument* KELComponentInsertSheet::selectedDocument() const
{
    const int index = m_documentPopUpButton->currentIndex();
    return index >= 0 && index < m_documents.size() ? m_documents.at(index).data() : nullptr;
}

void KELComponentInsertSheet::setScriptsDirectory(const QString& path)
{
    m_scriptsDirectory = path;
    refreshScriptsPath();
}

void KELComponentInsertSheet::updateInsertDocumentFields()
{
    const MyDocument* remembered = selectedDocument();
    updateDocumentsList();
    const MyDocument* now = selectedDocument();
    if (!now || now != remembered)
        updateSelectedDocumentFields();
}

void KELComponentInsertSheet::updateDocumentsList()
{
    m_documentPopUpButton->clear();
    m_documents.clear();
    for (MyDocument* document : visibleDocuments()) {
        m_documents.append(document);
        m_documentPopUpButton->addItem(document->displayName());
    }
    if (m_documents.isEmpty()) {
        m_documentPopUpButton->addItem(NoDocumentItem);
        m_documentPopUpButton->setCurrentIndex(0);
        m_documentPopUpButton->setEnabled(false);
        return;
    }
    m_documentPopUpButton->setCurrentIndex(0);
    m_documentPopUpButton->setEnabled(true);
}

void KELComponentInsertSheet::updateSelectedDocumentFields()
{
    MyDocument* document = selectedDocument();
    m_insertDocumentURL = document ? document->fileURL() : QUrl();
    const KELCodeGeneratorResult& result = m_controller.preInsertCodeGeneratorResult();
    const bool untitled = document && !document->fileURL().isLocalFile();
    QString alert;
    if (!document)
        alert = NoDocumentAlert;
    else if (untitled && m_controller.codeGenerator().requiresIncludedFiles() && result.hasIncludedFiles())
        alert = UntitledDocumentAlert;
    m_documentAlertTextField->setText(alert);
    m_completeInsertButton->setEnabled(alert.isEmpty());
    if (alert.isEmpty())
        m_alertImageView->clear();
    else
        m_alertImageView->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));

    auto& defaults = KELComponentInsertDefaultsController::sharedInstance();
    m_scriptsDirectory = defaults.defaultScriptsPath(document);
    m_scriptsPathView->setVisible(result.hasIncludedFiles());
    m_scriptsPathBrowseButton->setEnabled(document != nullptr);
    refreshScriptsPath();

    const QString path = document && document->fileURL().isLocalFile() ? document->fileURL().toLocalFile() : QString();
    const bool inProject = !KELComponentInsertDefaultsController::projectDirectoryContainingPath(path).isEmpty();
    m_projectDefaultCheckBox->setVisible(inProject);
    m_projectDefaultCheckBox->setChecked(!defaults.hasDefaultPathFromFileSettings(document));
    updateInsertIncludeWarningMessages();
}

void KELComponentInsertSheet::refreshScriptsPath()
{
    if (!selectedDocument()) {
        m_scriptsPathTextField->setText(QStringLiteral("N/A"));
        m_scriptsPathTextField->setEnabled(false);
        return;
    }
    m_scriptsPathTextField->setEnabled(true);
    m_scriptsPathTextField->setText(QDir::toNativeSeparators(m_scriptsDirectory).replace(QLatin1Char('/'), QStringLiteral(" ➞ ")).trimmed());
    m_scriptsPathTextField->setToolTip(m_scriptsDirectory);
}

void KELComponentInsertSheet::updateInsertIncludeWarningMessages()
{
    KELCodeGeneratorResult& result = m_controller.preInsertResultForWarnings();
    m_controller.codeGenerator().populateWarningsOnResult(result, KELComponentCodeGeneratorResourcePaths(m_scriptsDirectory));
    std::stable_sort(result.includes().begin(), result.includes().end(),
        [](const KELCodeGeneratorFile& a, const KELCodeGeneratorFile& b) { return a.compareWithWarningsFirst(b); });
    reloadFiles();
}

QString KELComponentInsertSheet::fileTypeWord(int includeType)
{
    switch (includeType) {
    case 0:
        return QStringLiteral("Script");
    case 1:
        return QStringLiteral("Style");
    case 2:
        return QStringLiteral("Image");
    case 3:
        return QStringLiteral("Text");
    default:
        return QStringLiteral("File");
    }
}

void KELComponentInsertSheet::reloadFiles()
{
    const QList<KELCodeGeneratorFile>& files = m_controller.preInsertCodeGeneratorResult().includes();
    m_filesTableView->setRowCount(int(files.size()));
    for (int row = 0; row < files.size(); ++row) {
        const KELCodeGeneratorFile& file = files.at(row);
        QString text = QFileInfo(file.insertedResourceName()).fileName();
        const bool warned = file.insertWarning() && !file.insertWarning()->isEmpty();
        if (warned)
            text += QStringLiteral("\nWarning: ") + *file.insertWarning();
        auto* name = new QTableWidgetItem(text);
        QFont font = name->font();
        font.setBold(true);
        name->setFont(font);
        if (warned)
            name->setForeground(QColor::fromRgbF(0.7f, 0, 0));
        m_filesTableView->setItem(row, 0, name);
        m_filesTableView->setItem(row, 1, new QTableWidgetItem(fileTypeWord(file.include() ? int(file.include()->type()) : -1)));
        m_filesTableView->setRowHeight(row, warned ? WarningRowHeight : PlainRowHeight + 6);
    }
}

void KELComponentInsertSheet::browseForScriptsDirectory()
{
    const QString start = QFileInfo(m_scriptsDirectory).isDir() ? m_scriptsDirectory : QFileInfo(m_scriptsDirectory).path();
    m_isBrowsingForScripts = true;
    const QString chosen = QFileDialog::getExistingDirectory(this, QStringLiteral("Select Scripts Folder"), start);
    m_isBrowsingForScripts = false;
    if (!chosen.isEmpty())
        setScriptsDirectory(chosen);
    updateInsertIncludeWarningMessages();
}

void KELComponentInsertSheet::cancelInsert()
{
    reject();
}

bool KELComponentInsertSheet::completeInsert()
{
    MyDocument* document = selectedDocument();
    if (!document || !m_completeInsertButton->isEnabled())
        return false;
    const bool hasIncludes = m_controller.preInsertCodeGeneratorResult().hasIncludedFiles();
    const KELCodeGeneratorResult result = m_controller.codeGenerator().generateCodeInDocument(
        *document, KELComponentCodeGeneratorResourcePaths(m_scriptsDirectory), KELInsertType::Insert);
    if (hasIncludes) {
        // Stored once the insert has made the folder: a stored folder is a link to an existing one.
        KELComponentInsertDefaultsController::sharedInstance().setDefaultScriptsPath(
            m_scriptsDirectory, document, m_projectDefaultCheckBox->isVisible() && m_projectDefaultCheckBox->isChecked());
        MyDocumentController* documents = MyDocumentController::sharedDocumentController();
        if (auto* project = documents ? dynamic_cast<ProjectDocumentController*>(documents->projectDocumentContainingPath(m_scriptsDirectory)) : nullptr)
            project->updateDirectory();
    }
    accept();
    document->showWindows();
    if (!result.problems().isEmpty()) {
        // What could not be written is said, not passed over.
        kit::Alert alert;
        alert.setMessageText(QStringLiteral("The component was inserted, but not everything went well."));
        alert.setInformativeText(result.problems().join(QLatin1Char('\n')));
        alert.addButton(QStringLiteral("OK"));
        alert.runModal();
    }
    m_controller.insertDidComplete();
    return true;
}
