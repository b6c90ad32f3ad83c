#include "project/KELGetInfoController.h"

#include "kit/WindowPlacement.h"

#include "document/KELFilePrefsManager.h"
#include "document/MyDocument.h"
#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "kit/Alert.h"
#include "support/KELEncodingManager.h"
#include "support/KELEncodingPopUpButtonCell.h"
#include "support/KELFileTypeManager.h"
#include "support/UtilityFunctions.h"
#include "syntax/SyntaxManager.h"
#include "syntax/SyntaxType.h"

#include <QCloseEvent>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include "project/KELGetInfoView.h"

namespace {
std::optional<QPoint>& cascadePoint()
{
    static std::optional<QPoint> point;
    return point;
}

KELGetInfoController::FileChooser& fileChooser()
{
    static KELGetInfoController::FileChooser chooser;
    return chooser;
}

QLabel* valueLabel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}
} // namespace

KELGetInfoController::KELGetInfoController(const QString& path, QObject* parent) : QObject(parent), m_path(path)
{
    buildWindow();
}

KELGetInfoController::~KELGetInfoController()
{
    m_closing = true;
    delete m_window.data();
}

void KELGetInfoController::resetCascadeForTesting()
{
    cascadePoint().reset();
}

void KELGetInfoController::setFileChooserForTesting(FileChooser chooser)
{
    fileChooser() = std::move(chooser);
}

QWidget* KELGetInfoController::window() const
{
    return m_window;
}

KELFilePrefs& KELGetInfoController::filePrefs()
{
    return KELFilePrefsManager::sharedFilePrefsManager().filePrefsForFile(m_path);
}

void KELGetInfoController::buildWindow()
{
    auto* dialog = new QDialog;
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    dialog->setObjectName(QStringLiteral("GetInfo"));
    m_window = dialog;
    auto* outer = new QVBoxLayout(dialog);
    outer->setContentsMargins(8, 8, 8, 0);
    outer->setSizeConstraint(QLayout::SetFixedSize);
    m_view = new KELGetInfoView(dialog);
    outer->addWidget(m_view);

    // Summary and details.
    auto* main = new QWidget(m_view);
    auto* grid = new QGridLayout(main);
    grid->setContentsMargins(0, 0, 0, 0);
    m_icon = new QLabel(main);
    m_icon->setFixedSize(32, 32);
    m_fileName = valueLabel(main);
    QFont bold = m_fileName->font();
    bold.setBold(true);
    m_fileName->setFont(bold);
    m_titleSize = valueLabel(main);
    m_titleModified = valueLabel(main);
    auto* summary = new QVBoxLayout;
    summary->addWidget(m_fileName);
    auto* summaryLine = new QHBoxLayout;
    summaryLine->addWidget(m_titleSize);
    summaryLine->addStretch();
    summary->addLayout(summaryLine);
    summary->addWidget(m_titleModified);
    grid->addWidget(m_icon, 0, 0, Qt::AlignTop);
    grid->addLayout(summary, 0, 1);
    m_kind = valueLabel(main);
    m_size = valueLabel(main);
    m_created = valueLabel(main);
    m_modified = valueLabel(main);
    m_location = valueLabel(main);
    const std::pair<const char*, QLabel*> rows[] = {
        {"Kind:", m_kind}, {"Size:", m_size}, {"Created:", m_created}, {"Modified:", m_modified}, {"Where:", m_location}};
    int row = 1;
    for (const auto& [title, field] : rows) {
        auto* label = new QLabel(QString::fromLatin1(title), main);
        label->setAlignment(Qt::AlignRight | Qt::AlignTop);
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row, 1);
        ++row;
    }
    m_view->addSection(main);

    updateGetInfoValues();
    if (!m_window)
        return;

    SyntaxType* type = SyntaxManager::sharedInstance().typeForPath(m_path);
    KELFilePrefs& prefs = filePrefs();
    if (type && type->usesPreviewFile() && !QFileInfo(m_path).isDir()) {
        m_previewFileView = new QWidget(m_view);
        m_previewFileView->setObjectName(QStringLiteral("previewFileView"));
        auto* layout = new QGridLayout(m_previewFileView);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(new QLabel(QStringLiteral("Preview File:"), m_previewFileView), 0, 0);
        m_previewFilePath = valueLabel(m_previewFileView);
        m_previewFilePath->setWordWrap(true);
        layout->addWidget(m_previewFilePath, 0, 1, 1, 2);
        auto* choose = new QPushButton(QStringLiteral("Choose…"), m_previewFileView);
        m_clearPreviewFile = new QPushButton(QStringLiteral("Clear"), m_previewFileView);
        layout->addWidget(choose, 1, 1);
        layout->addWidget(m_clearPreviewFile, 1, 2);
        connect(choose, &QPushButton::clicked, this, [this] { choosePreviewFile(); });
        connect(m_clearPreviewFile, &QPushButton::clicked, this, [this] { clearPreviewFile(); });
        updatePreviewFile(prefs.currentPreviewFile());
        m_view->addSection(m_previewFileView);
    }
    if (type && !QFileInfo(m_path).isDir()) {
        m_encodingView = new QWidget(m_view);
        m_encodingView->setObjectName(QStringLiteral("encodingView"));
        auto* layout = new QHBoxLayout(m_encodingView);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(new QLabel(QStringLiteral("Text Encoding:"), m_encodingView));
        // With no encoding chosen for the file, the pop-up says so ("Automatic")
        // rather than showing the first encoding as if it had been chosen.
        const bool chosen = prefs.encoding() != kit::NoEncoding;
        m_encodingPopUp = new KELEncodingPopUpButtonCell(!chosen, prefs.encoding(), m_encodingView);
        layout->addWidget(m_encodingPopUp, 1);
        connect(m_encodingPopUp, qOverload<int>(&QComboBox::activated), this, [this] { selectEncoding(); });
        m_view->addSection(m_encodingView);
    }

    // The first window opens over the window in front; each new one cascades from the last.
    dialog->adjustSize();
    if (!cascadePoint()) {
        kit::centerWindow(dialog, QApplication::activeWindow());
        cascadePoint() = kit::windowFrame(dialog).topLeft();
    }
    cascadePoint() = kit::cascadeTopLeftFromPoint(dialog, *cascadePoint());
    dialog->installEventFilter(this);
}

void KELGetInfoController::showWindow()
{
    if (!m_window)
        return;
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

bool KELGetInfoController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window) {
        if (event->type() == QEvent::WindowActivate)
            updateGetInfoValues();
        else if (event->type() == QEvent::Close && !m_closing)
            Q_EMIT windowClosed();
    }
    return QObject::eventFilter(watched, event);
}

// ---------------------------------------------------------------- values

void KELGetInfoController::sizeTexts(quint64 size, QString* sizeText, QString* titleSizeText)
{
    QString text;
    QString title;
    if (size <= 1023) {
        text = QStringLiteral("%1 bytes").arg(size);
        title = QStringLiteral("%1 b").arg(size);
    } else if (size < 10240) {
        text = title = QString::asprintf("%.1f KB", double(size) / 1024.0);
    } else if (size < 1048576) {
        text = title = QString::asprintf("%.0f KB", double(size) / 1024.0);
    } else if (size < 10485760) {
        text = title = QString::asprintf("%.1f MB", double(size) / 1048576.0);
    } else {
        text = title = QString::asprintf("%.0f MB", double(size) / 1048576.0);
    }
    if (sizeText)
        *sizeText = text;
    if (titleSizeText)
        *titleSizeText = title;
}

QString KELGetInfoController::kindForPath(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return QStringLiteral("Folder");
    const QString type = KELFileTypeManager::sharedInstance().typeNameForPath(path);
    if (type == KELImageTypeName) {
        QImageReader reader(path);
        const QSize size = reader.size();
        if (size.isValid() && size.width() > 0 && size.height() > 0)
            return QStringLiteral("Image (%1 \u00d7 %2 pixels)").arg(size.width()).arg(size.height());
        return QStringLiteral("Image");
    }
    return QStringLiteral("%1 Document").arg(type);
}

QString KELGetInfoController::formatDate(const QDateTime& date)
{
    if (!date.isValid())
        return QString();
    return QLocale().toString(date, QStringLiteral("MMM d, yyyy h:mm AP"));
}

QString KELGetInfoController::locationForPath(const QString& path)
{
    QString folder = QFileInfo(path).absolutePath();
    QStringList components = folder.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (components.isEmpty())
        return QStringLiteral("/");
    if (components.size() > 4)
        components = components.mid(components.size() - 4);
    QStringList lines;
    for (qsizetype i = 0; i < components.size(); ++i)
        lines << (i == 0 ? components[i] : QStringLiteral("\u25b8 ") + components[i]);
    return lines.join(QLatin1Char('\n'));
}

void KELGetInfoController::updateGetInfoValues()
{
    const QFileInfo info(m_path);
    if (!info.exists() && !info.isSymLink()) {
        if (m_window && !m_closing)
            m_window->close();
        return;
    }
    const bool folder = info.isDir();
    const QString name = info.fileName().isEmpty() ? m_path : info.fileName();
    m_fileName->setText(name);
    m_window->setWindowTitle(name);
    m_window->setWindowFilePath(m_path);
    m_icon->setPixmap(UtilityFunctions::iconForPath(m_path).pixmap(32, 32));

    const QDateTime modified = info.lastModified();
    m_modified->setText(formatDate(modified));
    m_titleModified->setText(modified.isValid() ? QStringLiteral("Modified: %1").arg(formatDate(modified)) : QString());
    m_created->setText(formatDate(info.birthTime()));
    m_kind->setText(kindForPath(m_path));
    if (folder) {
        m_size->clear();
        m_titleSize->clear();
    } else {
        QString size;
        QString title;
        sizeTexts(quint64(info.size()), &size, &title);
        m_size->setText(size);
        m_titleSize->setText(title);
    }
    m_location->setText(locationForPath(m_path));
}

QString KELGetInfoController::fileNameText() const { return m_fileName->text(); }
QString KELGetInfoController::kindText() const { return m_kind->text(); }
QString KELGetInfoController::sizeText() const { return m_size->text(); }
QString KELGetInfoController::titleSizeText() const { return m_titleSize->text(); }
QString KELGetInfoController::modifiedText() const { return m_modified->text(); }
QString KELGetInfoController::titleModifiedText() const { return m_titleModified->text(); }
QString KELGetInfoController::createdText() const { return m_created->text(); }
QString KELGetInfoController::locationText() const { return m_location->text(); }
QString KELGetInfoController::previewFileText() const { return m_previewFilePath ? m_previewFilePath->text() : QString(); }

// ---------------------------------------------------------------- preview file

void KELGetInfoController::updatePreviewFile(const QString& path)
{
    if (!m_previewFilePath)
        return;
    m_clearPreviewFile->setHidden(path.isEmpty());
    m_previewFilePath->setText(path.isEmpty() ? QString() : path.split(QLatin1Char('/'), Qt::SkipEmptyParts).join(QStringLiteral(" \u25b8 ")));
}

void KELGetInfoController::choosePreviewFile()
{
    const QString current = filePrefs().currentPreviewFile();
    const QString start = QFileInfo(current.isEmpty() ? m_path : current).absolutePath();
    QString chosen;
    if (fileChooser()) {
        chosen = fileChooser()(start);
    } else {
        QFileDialog panel(m_window, QString(), start);
        panel.setFileMode(QFileDialog::ExistingFile);
        panel.setLabelText(QFileDialog::Accept, QStringLiteral("Select"));
        if (panel.exec() == QDialog::Accepted && !panel.selectedFiles().isEmpty())
            chosen = panel.selectedFiles().constFirst();
    }
    if (chosen.isEmpty())
        return;
    updatePreviewFile(chosen);
    KELFilePrefs& prefs = filePrefs();
    prefs.setCurrentPreviewFile(chosen);
    KELFilePrefsManager::sharedFilePrefsManager().saveFilePrefs(prefs);
}

void KELGetInfoController::clearPreviewFile()
{
    updatePreviewFile(QString());
    KELFilePrefs& prefs = filePrefs();
    prefs.setCurrentPreviewFile(QString());
    KELFilePrefsManager::sharedFilePrefsManager().saveFilePrefs(prefs);
}

// ---------------------------------------------------------------- encoding

void KELGetInfoController::selectEncoding()
{
    if (!m_encodingPopUp)
        return;
    const QVariant data = m_encodingPopUp->currentData(KELEncodingPopUpButtonCell::EncodingRole);
    const kit::StringEncoding chosen = data.isValid() ? kit::StringEncoding(data.toULongLong()) : kit::NoEncoding;
    KELFilePrefs& prefs = filePrefs();
    if (chosen == prefs.encoding())
        return;
    prefs.setEncoding(chosen);
    KELFilePrefsManager::sharedFilePrefsManager().saveFilePrefs(prefs);
    MyDocumentController* controller = MyDocumentController::sharedDocumentController();
    auto* document = controller ? qobject_cast<MyDocument*>(controller->documentForURL(QUrl::fromLocalFile(m_path))) : nullptr;
    if (!document)
        return;
    const bool differs = document->documentEncoding() != chosen;
    const bool clean = !document->isDocumentEdited();
    document->setDocumentEncoding(chosen);
    if (!differs || !clean)
        return;
    kit::Alert alert;
    alert.setMessageText(QStringLiteral("Would you like to reload the document \"%1\" using the selected encoding?")
                             .arg(QFileInfo(m_path).fileName()));
    alert.setInformativeText(QString());
    alert.addButton(QStringLiteral("Reload"));
    alert.addButton(QStringLiteral("Cancel"));
    if (alert.runModal() == kit::Alert::FirstButtonReturn) {
        document->revertToSaved();
        document->showWindows();
    }
}
