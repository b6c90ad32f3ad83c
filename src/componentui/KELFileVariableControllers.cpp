#include "componentui/KELFileVariableControllers.h"

#include "components/KELComponentDefaultImageManager.h"
#include "kit/Log.h"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImage>
#include <QImageReader>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStackedWidget>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const QString SelectedViewIndexKey = QStringLiteral("selectedViewIndex");
const QString LocalPathKey = QStringLiteral("localPath");
const QString UrlKey = QStringLiteral("url");
const QString FileUrlKey = QStringLiteral("fileUrl");
const QString ObjectValueKey = QStringLiteral("objectValue");
const QString WidthTextKey = QStringLiteral("widthTextValue");
const QString HeightTextKey = QStringLiteral("heightTextValue");
const QString LockedKey = QStringLiteral("lockedProportion");
const QString LocalPathFromFileViewKey = QStringLiteral("localPathFromFileView");
} // namespace

// --- File editor

KELFileVariableController::KELFileVariableController(const KELComponentVariable& variable)
    : KELFileVariableController(variable, QStringLiteral("KELFileVariableController"))
{
}

KELFileVariableController::KELFileVariableController(const KELComponentVariable& variable, const QString& className)
    : KELVariableController(variable, className)
{
    setKeyPathsAffectingKey(FileUrlKey, { SelectedViewIndexKey, LocalPathKey, UrlKey });
    setKeyPathsAffectingKey(ObjectValueKey, { SelectedViewIndexKey, LocalPathKey, UrlKey });
    setKeyPathsAffectingKey(LocalPathFromFileViewKey, { LocalPathKey });
}

KELFileVariableController::~KELFileVariableController() = default;

QUrl KELFileVariableController::urlFromText(const QString& text)
{
    if (text.isEmpty())
        return QUrl();
    QUrl url(text, QUrl::StrictMode);
    if (url.isValid())
        return url;
    return QUrl::fromEncoded(QUrl::toPercentEncoding(text, "!#$&'()*+,/:;=?@[]~%"), QUrl::TolerantMode);
}

QUrl KELFileVariableController::fileUrl() const
{
    if (m_selectedViewIndex != 0)
        return urlFromText(m_url);
    return m_localPath.isEmpty() ? QUrl() : QUrl::fromLocalFile(m_localPath);
}

void KELFileVariableController::setFileUrl(const QUrl& url)
{
    if (url.isEmpty()) {
        setKey(m_selectedViewIndex != 0 ? UrlKey : LocalPathKey, QString());
        return;
    }
    // One named step for the changes that follow.
    if (KELComponentUndoManager* manager = undoManager()) {
        auto action = KELComponentUndoAction::undoAction();
        action->setActionName(url.isLocalFile() ? QStringLiteral("Select Local File") : QStringLiteral("Select URL"));
        manager->registerUndoForKeyPath(FileUrlKey, *this, action);
    }
    if (url.isLocalFile()) {
        setKey(SelectedViewIndexKey, 0);
        setKey(LocalPathKey, url.toLocalFile());
        didSelectLocalPath();
    } else {
        setKey(SelectedViewIndexKey, 1);
        setKey(UrlKey, url.toString());
    }
}

bool KELFileVariableController::isValidFileUrl(const QUrl& url) const
{
    if (!url.isLocalFile())
        return true;
    const QString path = url.toLocalFile();
    const QStringList types = allowedFileTypes();
    if (!types.isEmpty() && !types.contains(QFileInfo(path).suffix().toLower()))
        return false;
    const QFileInfo info(path);
    if (!info.exists())
        return true;
    if (info.isDir())
        return allowsDirectories();
    return allowsFiles();
}

QString KELFileVariableController::audioMimeType(const QUrl& url)
{
    if (url.isEmpty())
        return QStringLiteral("audio/mpeg");
    const QString extension = QFileInfo(url.path()).suffix().toLower();
    if (extension == QLatin1String("oga") || extension == QLatin1String("ogg") || extension == QLatin1String("ogv") || extension == QLatin1String("spx"))
        return QStringLiteral("audio/ogg");
    if (extension == QLatin1String("mp3"))
        return QStringLiteral("audio/mpeg");
    if (extension == QLatin1String("m4a") || extension == QLatin1String("mp4"))
        return QStringLiteral("audio/mp4");
    return QStringLiteral("audio/") + extension;
}

QString KELFileVariableController::videoMimeType(const QUrl& url)
{
    if (url.isEmpty())
        return QStringLiteral("video/mp4");
    const QString extension = QFileInfo(url.path()).suffix().toLower();
    if (extension == QLatin1String("ogv"))
        return QStringLiteral("video/ogg");
    if (extension == QLatin1String("mpg"))
        return QStringLiteral("video/mpeg");
    return QStringLiteral("video/") + extension;
}

QVariant KELFileVariableController::value(const QString& key) const
{
    if (key == FileUrlKey) {
        const QUrl url = fileUrl();
        return url.isEmpty() ? QVariant() : QVariant(url);
    }
    if (key == ObjectValueKey)
        return objectValue();
    if (key == SelectedViewIndexKey)
        return m_selectedViewIndex;
    if (key == LocalPathKey || key == LocalPathFromFileViewKey)
        return m_localPath;
    if (key == UrlKey)
        return m_url;
    if (key == QLatin1String("audioMimeType"))
        return audioMimeType(fileUrl());
    if (key == QLatin1String("videoMimeType"))
        return videoMimeType(fileUrl());
    return KELVariableController::value(key);
}

void KELFileVariableController::setKey(const QString& key, const QVariant& value)
{
    if (this->value(key) == value)
        return;
    willChangeValueForKey(key);
    if (key == SelectedViewIndexKey)
        m_selectedViewIndex = int(KELExpression::integerValue(value));
    else if (key == LocalPathKey)
        m_localPath = KELExpression::stringValue(value);
    else if (key == UrlKey)
        m_url = KELExpression::stringValue(value);
    didChangeValueForKey(key);
    updateControls();
}

void KELFileVariableController::setValue(const QString& key, const QVariant& value)
{
    if (key == FileUrlKey) {
        setFileUrl(value.metaType().id() == QMetaType::QUrl ? value.toUrl() : urlFromText(KELExpression::stringValue(value)));
        return;
    }
    if (key == SelectedViewIndexKey || key == LocalPathKey || key == UrlKey) {
        setKey(key, value);
        if (key == LocalPathKey)
            didSelectLocalPath();
        return;
    }
    if (key == LocalPathFromFileViewKey) {
        // A file dropped on the well.
        setKey(LocalPathKey, value);
        didSelectLocalPath();
        return;
    }
    KELVariableController::setValue(key, value);
}

KELComponentValueMap KELFileVariableController::rootKeyPaths() const
{
    return { { SelectedViewIndexKey, KELComponentValue::componentValue(QStringLiteral("Change File Type")) },
        { LocalPathKey, KELComponentValue::componentValue(QStringLiteral("Select Local File")) },
        { UrlKey, KELComponentValue::componentValue(QStringLiteral("Edit URL"), true) } };
}

QStringList KELFileVariableController::restorableStateKeyPaths() const
{
    return { SelectedViewIndexKey, LocalPathKey, UrlKey };
}

QVariant KELFileVariableController::objectValue() const
{
    return value(FileUrlKey);
}

void KELFileVariableController::setObjectValue(const QVariant& value)
{
    if (!value.isValid()) {
        setFileUrl(QUrl());
        return;
    }
    if (value.metaType().id() == QMetaType::QString) {
        setFileUrl(QUrl::fromLocalFile(value.toString()));
        return;
    }
    if (value.metaType().id() == QMetaType::QUrl) {
        setFileUrl(value.toUrl());
        return;
    }
    kit::log(QStringLiteral("File object value must be a url: %1").arg(value.toString()));
}

void KELFileVariableController::updateControls()
{
    if (m_typePopUp && m_typePopUp->currentIndex() != (m_selectedViewIndex == 0 ? 0 : 1)) {
        const QSignalBlocker blocker(m_typePopUp);
        m_typePopUp->setCurrentIndex(m_selectedViewIndex == 0 ? 0 : 1);
    }
    if (m_panes)
        m_panes->setCurrentIndex(m_selectedViewIndex == 0 ? 0 : 1);
    if (m_urlField && m_urlField->text() != m_url) {
        const int cursor = m_urlField->cursorPosition();
        m_urlField->setText(m_url);
        m_urlField->setCursorPosition(qMin(cursor, int(m_url.size())));
    }
}

QFileDialog* KELFileVariableController::selectFile(bool folders)
{
    QWidget* owner = m_selectButton ? m_selectButton->window() : nullptr;
    auto* panel = new QFileDialog(owner, folders ? QStringLiteral("Select Folder") : QStringLiteral("Select File"));
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setOption(QFileDialog::DontUseNativeDialog);
    panel->setLabelText(QFileDialog::Accept, QStringLiteral("Select"));
    panel->setFileMode(folders ? QFileDialog::Directory : QFileDialog::ExistingFile);
    if (folders)
        panel->setOption(QFileDialog::ShowDirsOnly);
    if (!m_localPath.isEmpty())
        panel->setDirectory(QFileInfo(m_localPath).path());
    QStringList filters;
    for (const QString& type : allowedFileTypes())
        filters << QStringLiteral("*.") + type;
    if (!folders && !filters.isEmpty())
        panel->setNameFilter(QStringLiteral("Files (%1)").arg(filters.join(QLatin1Char(' '))));
    const std::weak_ptr<kit::KeyValueObject> weakSelf = shared_from_this();
    QObject::connect(panel, &QFileDialog::fileSelected, panel, [weakSelf](const QString& path) {
        auto self = std::static_pointer_cast<KELFileVariableController>(weakSelf.lock());
        if (self && !path.isEmpty())
            self->setFileUrl(QUrl::fromLocalFile(path));
    });
    panel->setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    panel->open();
    return panel;
}

void KELFileVariableController::urlWasTyped(const QString& text)
{
    setValue(UrlKey, text);
}

void KELFileVariableController::controllerWillClose()
{
    if (m_fileView)
        m_fileView->unbind(KELFileView::FileNameBinding);
    KELVariableController::controllerWillClose();
}

QWidget* KELFileVariableController::makeView()
{
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    m_typePopUp = new QComboBox(box);
    m_typePopUp->addItems({ QStringLiteral("Local File"), QStringLiteral("URL") });
    m_typePopUp->setAccessibleName(QStringLiteral("%1 Kind").arg(name()));
    layout->addWidget(m_typePopUp, 0, Qt::AlignLeft);
    m_panes = new QStackedWidget(box);

    // The local pane: the file well, and beside it the buttons that choose and clear.
    auto* local = new QWidget;
    auto* localLayout = new QHBoxLayout(local);
    localLayout->setContentsMargins(0, 0, 0, 0);
    m_fileView = new KELFileView(local);
    m_fileView->setEditable(true);
    m_fileView->setMultiLine(true);
    m_fileView->setMaxComponents(2);
    m_fileView->setAccessibleName(name());
    m_fileView->bind(KELFileView::FileNameBinding, shared_from_this(), LocalPathFromFileViewKey);
    const std::weak_ptr<kit::KeyValueObject> weakSelf = shared_from_this();
    m_fileView->shouldAcceptDropForFileName = [weakSelf](const QString& path) {
        auto self = std::static_pointer_cast<KELFileVariableController>(weakSelf.lock());
        return self && self->isValidFileUrl(QUrl::fromLocalFile(path));
    };
    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(2);
    m_selectButton = new QPushButton(QStringLiteral("Select…"), local);
    if (allowsFiles() && allowsDirectories()) {
        // A file or a folder: the button offers both.
        auto* menu = new QMenu(m_selectButton);
        menu->addAction(QStringLiteral("File…"), m_selectButton, [this] { selectFile(false); });
        menu->addAction(QStringLiteral("Folder…"), m_selectButton, [this] { selectFile(true); });
        m_selectButton->setMenu(menu);
    } else {
        QObject::connect(m_selectButton, &QPushButton::clicked, m_selectButton, [this] { selectFile(!allowsFiles()); });
    }
    auto* clear = new QPushButton(QStringLiteral("Clear"), local);
    buttons->addWidget(m_selectButton);
    buttons->addWidget(clear);
    buttons->addStretch(1);
    localLayout->addWidget(m_fileView, 1);
    localLayout->addLayout(buttons);
    m_panes->addWidget(local);

    auto* urlPane = new QWidget;
    auto* urlLayout = new QVBoxLayout(urlPane);
    urlLayout->setContentsMargins(0, 0, 0, 0);
    m_urlField = new QLineEdit(urlPane);
    m_urlField->setAccessibleName(QStringLiteral("%1 URL").arg(name()));
    urlLayout->addWidget(m_urlField);
    urlLayout->addStretch(1);
    m_panes->addWidget(urlPane);
    layout->addWidget(m_panes);
    addControls(box);
    updateControls();

    QObject::connect(m_typePopUp, qOverload<int>(&QComboBox::activated), m_typePopUp,
        [this](int index) { setValue(SelectedViewIndexKey, index); });
    QObject::connect(clear, &QPushButton::clicked, clear, [this] { setValue(LocalPathKey, QString()); });
    QObject::connect(m_urlField, &QLineEdit::textEdited, m_urlField, [this](const QString& text) { urlWasTyped(text); });
    KELVariableView* row = KELMakeVariableRow(*this, box);
    static_cast<QHBoxLayout*>(row->layout())->setAlignment(row->layout()->itemAt(0)->widget(), Qt::AlignTop);
    return row;
}

// --- Image editor

KELImageFileVariableController::KELImageFileVariableController(const KELComponentVariable& variable)
    : KELFileVariableController(variable, QStringLiteral("KELImageFileVariableController"))
{
    setKeyPathsAffectingKey(QStringLiteral("width"), { WidthTextKey });
    setKeyPathsAffectingKey(QStringLiteral("height"), { HeightTextKey });
    setKeyPathsAffectingKey(FileUrlKey, { SelectedViewIndexKey, LocalPathKey, UrlKey });
}

KELImageFileVariableController::~KELImageFileVariableController()
{
    cancelFetch();
}

const KELComponentImageFileVariable& KELImageFileVariableController::imageVariable() const
{
    return static_cast<const KELComponentImageFileVariable&>(variable());
}

QStringList KELImageFileVariableController::allowedFileTypes() const
{
    static const QStringList types = [] {
        QStringList list;
        for (const QByteArray& format : QImageReader::supportedImageFormats())
            list << QString::fromLatin1(format).toLower();
        return list;
    }();
    return types;
}

qint64 KELImageFileVariableController::clampedDimension(const QString& text)
{
    return qBound<qint64>(0, scanInteger(text).value_or(0), MaximumDimension);
}

QUrl KELImageFileVariableController::fileUrl() const
{
    const QUrl own = KELFileVariableController::fileUrl();
    if (!own.isEmpty() && !own.path().isEmpty())
        return own;
    return m_defaultUrl;
}

QVariant KELImageFileVariableController::objectValue() const
{
    const QUrl url = fileUrl();
    return url.isEmpty() || url == m_defaultUrl ? QVariant() : QVariant(url);
}

void KELImageFileVariableController::setSizeText(const QString& key, const QString& text)
{
    QString& stored = key == WidthTextKey ? m_widthTextValue : m_heightTextValue;
    if (stored == text)
        return;
    willChangeValueForKey(key);
    stored = text;
    didChangeValueForKey(key);
    updateSizeControls();
}

void KELImageFileVariableController::setWidthTextValueSynced(const QString& text)
{
    cancelFetch();
    setSizeText(WidthTextKey, text);
    if (m_lockedProportion && m_proportionValue > 0)
        setSizeText(HeightTextKey, QString::number(qint64(double(width()) / m_proportionValue)));
}

void KELImageFileVariableController::setHeightTextValueSynced(const QString& text)
{
    cancelFetch();
    setSizeText(HeightTextKey, text);
    if (m_lockedProportion && m_proportionValue > 0)
        setSizeText(WidthTextKey, QString::number(qint64(double(height()) * m_proportionValue)));
}

void KELImageFileVariableController::applyImageSize(const QSize& size)
{
    setSizeText(WidthTextKey, QString::number(size.width()));
    setSizeText(HeightTextKey, QString::number(size.height()));
    m_proportionValue = height() > 0 ? double(width()) / double(height()) : 0;
}

QVariant KELImageFileVariableController::value(const QString& key) const
{
    if (key == QLatin1String("width"))
        return qlonglong(width());
    if (key == QLatin1String("height"))
        return qlonglong(height());
    if (key == WidthTextKey)
        return m_widthTextValue;
    if (key == HeightTextKey)
        return m_heightTextValue;
    if (key == LockedKey)
        return m_lockedProportion;
    if (key == QLatin1String("proportionValue"))
        return m_proportionValue;
    if (key == QLatin1String("urlWithFetch"))
        return m_url;
    return KELFileVariableController::value(key);
}

void KELImageFileVariableController::setValue(const QString& key, const QVariant& value)
{
    if (key == WidthTextKey || key == HeightTextKey) {
        cancelFetch();
        setSizeText(key, KELExpression::stringValue(value));
        if (isUndoing() || isRedoing())
            m_proportionValue = height() > 0 ? double(width()) / double(height()) : 0;
        return;
    }
    if (key == QLatin1String("widthTextValueSynced") || key == QLatin1String("width")) {
        setWidthTextValueSynced(KELExpression::stringValue(value));
        return;
    }
    if (key == QLatin1String("heightTextValueSynced") || key == QLatin1String("height")) {
        setHeightTextValueSynced(KELExpression::stringValue(value));
        return;
    }
    if (key == LockedKey) {
        const bool on = KELExpression::booleanValue(value);
        if (on == m_lockedProportion)
            return;
        willChangeValueForKey(LockedKey);
        m_lockedProportion = on;
        didChangeValueForKey(LockedKey);
        if (m_lockBox)
            m_lockBox->setChecked(on);
        return;
    }
    if (key == QLatin1String("proportionValue")) {
        m_proportionValue = value.toDouble();
        return;
    }
    if (key == QLatin1String("urlWithFetch")) {
        setKey(UrlKey, value);
        fetch();
        return;
    }
    if (key == SelectedViewIndexKey) {
        setKey(SelectedViewIndexKey, value);
        cancelFetch();
        if (m_selectedViewIndex != 0)
            fetch();
        else
            didSelectLocalPath();
        return;
    }
    KELFileVariableController::setValue(key, value);
}

KELComponentValueMap KELImageFileVariableController::rootKeyPaths() const
{
    KELComponentValueMap paths = KELFileVariableController::rootKeyPaths();
    paths.insert(WidthTextKey, KELComponentValue::componentValue(QStringLiteral("Change %1 Width").arg(name()), true));
    paths.insert(HeightTextKey, KELComponentValue::componentValue(QStringLiteral("Change %1 Height").arg(name()), true));
    paths.insert(LockedKey, KELComponentValue::componentValue(QStringLiteral("Lock/Unlock %1 Dimensions").arg(name())));
    return paths;
}

QStringList KELImageFileVariableController::restorableStateKeyPaths() const
{
    return KELFileVariableController::restorableStateKeyPaths()
        + QStringList { WidthTextKey, HeightTextKey, LockedKey, QStringLiteral("proportionValue") };
}

void KELImageFileVariableController::initializationComplete()
{
    KELFileVariableController::initializationComplete();
    if (!imageVariable().useDefaultImage())
        return;
    QList<quint64> indices;
    for (const qsizetype i : indexPath())
        indices << quint64(qMax<qsizetype>(0, i));
    m_defaultUrl = KELComponentDefaultImageManager::sharedInstance().defaultImageForIndices(indices.isEmpty() ? QList<quint64> { 0 } : indices);
    const QSize size = QImageReader(m_defaultUrl.toLocalFile()).size();
    if (size.isValid()) {
        applyImageSize(size);
        if (const auto defaultWidth = imageVariable().defaultWidth())
            setWidthTextValueSynced(QString::number(*defaultWidth));
    }
}

void KELImageFileVariableController::controllerWillClose()
{
    cancelFetch();
    ++m_pictureCheck;
    KELFileVariableController::controllerWillClose();
}

void KELImageFileVariableController::didSelectLocalPath()
{
    cancelFetch();
    if (m_localPath.isEmpty()) {
        ++m_pictureCheck;
        setPictureStatus(QString(), false);
        return;
    }
    QImageReader reader(m_localPath);
    const QSize size = reader.size();
    if (size.isValid())
        applyImageSize(size);
    // The size comes from the file's header; whether the picture itself reads is
    // learnt in the background.
    checkPicture(m_localPath, QByteArray(), false);
}

void KELImageFileVariableController::cancelFetch()
{
    if (m_fetchDelay)
        m_fetchDelay->stop();
    bool cancelled = false;
    if (m_connection) {
        m_connection->cancel();
        m_connection.reset();
        cancelled = true;
    }
    // A fetched picture still being read must not set its size after an edit.
    if (m_checkingFetchedData) {
        ++m_pictureCheck;
        m_checkingFetchedData = false;
        cancelled = true;
    }
    if (cancelled && m_pictureLoading)
        setPictureStatus(QString(), false);
}

bool KELImageFileVariableController::fetchIsPending() const
{
    return m_fetchDelay && m_fetchDelay->isActive();
}

void KELImageFileVariableController::urlWasTyped(const QString& text)
{
    // The typed address is fetched once the typing pauses, not at every keystroke.
    cancelFetch();
    setKey(UrlKey, text);
    if (!m_fetchDelay) {
        m_fetchDelay = new QTimer(m_urlField);
        m_fetchDelay->setSingleShot(true);
        m_fetchDelay->setInterval(FetchDelayMilliseconds);
        QObject::connect(m_fetchDelay, &QTimer::timeout, m_fetchDelay, [this] { fetch(); });
    }
    m_fetchDelay->start();
}

void KELImageFileVariableController::fetch()
{
    cancelFetch();
    ++m_pictureCheck;
    const QUrl url = urlFromText(m_url);
    if (url.isEmpty() || (url.host().isEmpty() && !url.isLocalFile())) {
        setPictureStatus(QString(), false);
        return;
    }
    setPictureStatus(QString(), true);
    const std::weak_ptr<kit::KeyValueObject> weakSelf = shared_from_this();
    m_connection = std::make_unique<KELURLAsyncConnection>(
        url,
        [weakSelf](KELURLAsyncConnection& connection, const QByteArray& data) {
            auto self = std::static_pointer_cast<KELImageFileVariableController>(weakSelf.lock());
            if (!self || self->m_connection.get() != &connection)
                return;
            self->checkPicture(QString(), data, true);
            // The connection is done; it goes on a later turn, not inside its own callback.
            QTimer::singleShot(0, [weakSelf, done = &connection] {
                auto owner = std::static_pointer_cast<KELImageFileVariableController>(weakSelf.lock());
                if (owner && owner->m_connection.get() == done)
                    owner->m_connection.reset();
            });
        },
        [weakSelf](KELURLAsyncConnection& connection, const kit::Error& error) {
            auto self = std::static_pointer_cast<KELImageFileVariableController>(weakSelf.lock());
            if (!self || self->m_connection.get() != &connection)
                return;
            self->setPictureStatus(error.localizedDescription(), false);
        },
        m_fetchTimeout);
}

QString KELImageFileVariableController::problemReadingPicture(QImageReader& reader, QSize* size)
{
    // Asked before the header is read: a handler checks the data's first bytes.
    const bool readable = reader.canRead();
    if (!readable && reader.error() == QImageReader::UnsupportedFormatError)
        return QStringLiteral("it is not a picture in a format the program reads");
    const QSize header = readable ? reader.size() : QSize();
    if (size)
        *size = header;
    if (!readable || !header.isValid())
        return QStringLiteral("the file is damaged or incomplete");
    // The reader refuses pictures that would take more memory than its limit allows.
    const qint64 limit = qint64(QImageReader::allocationLimit()) * 1024 * 1024;
    if (limit > 0 && qint64(header.width()) * qint64(header.height()) * 4 > limit)
        return QStringLiteral("at %1 × %2 pixels it is larger than the %3 MB a picture may take")
            .arg(header.width())
            .arg(header.height())
            .arg(QImageReader::allocationLimit());
    if (reader.read().isNull())
        return reader.error() == QImageReader::UnknownError || reader.errorString().isEmpty()
            ? QStringLiteral("the file is damaged or incomplete")
            : QStringLiteral("the file is damaged or incomplete (%1)").arg(reader.errorString());
    return QString();
}

void KELImageFileVariableController::checkPicture(const QString& path, const QByteArray& data, bool applySize)
{
    const quint64 token = ++m_pictureCheck;
    const std::weak_ptr<kit::KeyValueObject> weakSelf = shared_from_this();
    // Reading a whole picture may take a while: it happens away from the form.
    QThread* worker = QThread::create([path, data, token, weakSelf, applySize] {
        QBuffer buffer;
        buffer.setData(data);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader;
        if (path.isEmpty())
            reader.setDevice(&buffer);
        else
            reader.setFileName(path);
        QSize size;
        const QString problem = problemReadingPicture(reader, &size);
        QMetaObject::invokeMethod(
            qApp,
            [weakSelf, token, size, problem, applySize] {
                auto self = std::static_pointer_cast<KELImageFileVariableController>(weakSelf.lock());
                if (self && self->m_pictureCheck == token)
                    self->pictureChecked(size, problem, applySize);
            },
            Qt::QueuedConnection);
    });
    QObject::connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    m_checkingFetchedData = applySize;
    setPictureStatus(QString(), true);
    worker->start();
}

void KELImageFileVariableController::pictureChecked(const QSize& size, const QString& problem, bool applySize)
{
    m_checkingFetchedData = false;
    if (!problem.isEmpty()) {
        setPictureStatus(problem, false);
        return;
    }
    setPictureStatus(QString(), false);
    if (!applySize || !size.isValid() || (size.width() == width() && size.height() == height()))
        return;
    // The fetched size is one step: undoing it gives back the sizes from before the fetch.
    if (KELComponentUndoManager* manager = undoManager()) {
        auto action = KELComponentUndoAction::undoAction();
        action->setActionName(QStringLiteral("Change %1 Size").arg(name()));
        manager->registerUndoForKeyPath(FileUrlKey, *this, action);
    }
    applyImageSize(size);
}

void KELImageFileVariableController::setPictureStatus(const QString& problem, bool loading)
{
    m_pictureProblem = problem;
    m_pictureLoading = loading;
    if (!m_pictureStatus)
        return;
    const QString text = pictureStatusText();
    m_pictureStatus->setText(text);
    m_pictureStatus->setVisible(!text.isEmpty());
}

QString KELImageFileVariableController::pictureStatusText() const
{
    if (!m_pictureProblem.isEmpty()) {
        QString reason = m_pictureProblem;
        while (reason.endsWith(QLatin1Char('.')))
            reason.chop(1);
        return QStringLiteral("The picture could not be loaded: %1.").arg(reason);
    }
    return m_pictureLoading ? QStringLiteral("Loading the picture…") : QString();
}

void KELImageFileVariableController::updateSizeControls()
{
    if (m_widthField && m_widthField->value() != width()) {
        const QSignalBlocker blocker(m_widthField);
        m_widthField->setValue(int(width()));
    }
    if (m_heightField && m_heightField->value() != height()) {
        const QSignalBlocker blocker(m_heightField);
        m_heightField->setValue(int(height()));
    }
}

void KELImageFileVariableController::addControls(QWidget* box)
{
    auto* layout = static_cast<QVBoxLayout*>(box->layout());
    if (imageVariable().showDimensions()) {
        // Width and height on one line, the proportion lock on the next.
        auto* sizes = new QHBoxLayout;
        m_widthField = new QSpinBox(box);
        m_heightField = new QSpinBox(box);
        for (QSpinBox* field : { m_widthField.data(), m_heightField.data() }) {
            field->setRange(0, int(MaximumDimension));
            field->setKeyboardTracking(true);
        }
        m_widthField->setAccessibleName(QStringLiteral("%1 Width").arg(name()));
        m_heightField->setAccessibleName(QStringLiteral("%1 Height").arg(name()));
        auto* widthLabel = new QLabel(QStringLiteral("Width:"), box);
        auto* heightLabel = new QLabel(QStringLiteral("Height:"), box);
        widthLabel->setBuddy(m_widthField);
        heightLabel->setBuddy(m_heightField);
        sizes->addWidget(widthLabel);
        sizes->addWidget(m_widthField);
        sizes->addWidget(heightLabel);
        sizes->addWidget(m_heightField);
        sizes->addStretch(1);
        layout->addLayout(sizes);
        m_lockBox = new QCheckBox(QStringLiteral("Keep proportion"), box);
        m_lockBox->setChecked(m_lockedProportion);
        layout->addWidget(m_lockBox);
        updateSizeControls();
        QObject::connect(m_widthField, qOverload<int>(&QSpinBox::valueChanged), m_widthField,
            [this](int v) { setWidthTextValueSynced(QString::number(v)); });
        QObject::connect(m_heightField, qOverload<int>(&QSpinBox::valueChanged), m_heightField,
            [this](int v) { setHeightTextValueSynced(QString::number(v)); });
        QObject::connect(m_lockBox, &QCheckBox::toggled, m_lockBox, [this](bool on) { setValue(LockedKey, on); });
    }
    // Why a picture does not show, or that it is still coming.
    m_pictureStatus = new QLabel(box);
    m_pictureStatus->setWordWrap(true);
    m_pictureStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont small = m_pictureStatus->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    m_pictureStatus->setFont(small);
    layout->addWidget(m_pictureStatus);
    setPictureStatus(m_pictureProblem, m_pictureLoading);
}
