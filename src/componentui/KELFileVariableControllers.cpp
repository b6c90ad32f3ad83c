#include "componentui/KELFileVariableControllers.h"

#include "components/KELComponentDefaultImageManager.h"
#include "kit/Log.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImage>
#include <QImageReader>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStackedWidget>
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
} // namespace

// --- KELFileView

KELFileView::KELFileView(QWidget* parent) : QLabel(parent)
{
    setAcceptDrops(true);
    setWordWrap(true);
    setFileName(QString());
}

QString KELFileView::displayText(const QString& path, int maxComponents)
{
    if (path.isEmpty())
        return NoneText;
    QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (maxComponents > 0 && parts.size() > maxComponents)
        parts = parts.mid(parts.size() - maxComponents);
    return parts.join(QStringLiteral(" ➞ "));
}

void KELFileView::setFileName(const QString& path)
{
    m_fileName = path;
    setText(displayText(path, m_maxComponents));
    setToolTip(path);
    setEnabled(true);
    setStyleSheet(path.isEmpty() ? QStringLiteral("color: gray;") : QString());
}

bool KELFileView::acceptsDrop(const QStringList& paths) const
{
    if (!m_editable || paths.isEmpty())
        return false;
    return !shouldAcceptFile || shouldAcceptFile(paths.first());
}

QStringList KELLocalFilePaths(const QMimeData* data)
{
    QStringList paths;
    if (!data)
        return paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    return paths;
}

void KELFileView::dragEnterEvent(QDragEnterEvent* event)
{
    if (acceptsDrop(KELLocalFilePaths(event->mimeData())))
        event->acceptProposedAction();
    else
        event->ignore();
}

void KELFileView::dropEvent(QDropEvent* event)
{
    const QStringList paths = KELLocalFilePaths(event->mimeData());
    if (!acceptsDrop(paths)) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    Q_EMIT fileDropped(paths.first());
}

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
    if (key == LocalPathKey)
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
    if (m_fileView && m_fileView->fileName() != m_localPath)
        m_fileView->setFileName(m_localPath);
    if (m_urlField && m_urlField->text() != m_url) {
        const int cursor = m_urlField->cursorPosition();
        m_urlField->setText(m_url);
        m_urlField->setCursorPosition(qMin(cursor, int(m_url.size())));
    }
}

QWidget* KELFileVariableController::makeView()
{
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    m_typePopUp = new QComboBox(box);
    m_typePopUp->addItems({ QStringLiteral("Local File"), QStringLiteral("URL") });
    layout->addWidget(m_typePopUp);
    m_panes = new QStackedWidget(box);
    auto* local = new QWidget;
    auto* localLayout = new QHBoxLayout(local);
    localLayout->setContentsMargins(0, 0, 0, 0);
    m_fileView = new KELFileView(local);
    const std::weak_ptr<kit::KeyValueObject> weakSelf = shared_from_this();
    m_fileView->shouldAcceptFile = [weakSelf](const QString& path) {
        auto self = std::static_pointer_cast<KELFileVariableController>(weakSelf.lock());
        return self && self->isValidFileUrl(QUrl::fromLocalFile(path));
    };
    auto* select = new QPushButton(QStringLiteral("Select…"), local);
    auto* clear = new QPushButton(QStringLiteral("Clear"), local);
    localLayout->addWidget(m_fileView, 1);
    localLayout->addWidget(select);
    localLayout->addWidget(clear);
    m_panes->addWidget(local);
    m_urlField = new QLineEdit;
    m_panes->addWidget(m_urlField);
    layout->addWidget(m_panes);
    addControls(box);
    updateControls();

    QObject::connect(m_typePopUp, qOverload<int>(&QComboBox::activated), m_typePopUp,
        [this](int index) { setValue(SelectedViewIndexKey, index); });
    QObject::connect(m_fileView, &KELFileView::fileDropped, m_fileView, [this](const QString& path) { setFileUrl(QUrl::fromLocalFile(path)); });
    QObject::connect(clear, &QPushButton::clicked, clear, [this] { setValue(LocalPathKey, QString()); });
    QObject::connect(select, &QPushButton::clicked, select, [this, select] {
        QStringList filters;
        for (const QString& type : allowedFileTypes())
            filters << QStringLiteral("*.") + type;
        const QString path = QFileDialog::getOpenFileName(select->window(), QStringLiteral("Select"), QFileInfo(m_localPath).path(),
            filters.isEmpty() ? QString() : QStringLiteral("Files (%1)").arg(filters.join(QLatin1Char(' '))));
        if (!path.isEmpty())
            setFileUrl(QUrl::fromLocalFile(path));
    });
    QObject::connect(m_urlField, &QLineEdit::textEdited, m_urlField, [this](const QString& text) { setValue(UrlKey, text); });
    return KELMakeVariableRow(*this, box);
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

bool KELImageFileVariableController::undoEnabledForKey(const QString& key) const
{
    return m_sizeUndoEnabled || (key != WidthTextKey && key != HeightTextKey);
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
    KELFileVariableController::controllerWillClose();
}

void KELImageFileVariableController::didSelectLocalPath()
{
    cancelFetch();
    const QSize size = QImageReader(m_localPath).size();
    if (size.isValid())
        applyImageSize(size);
}

void KELImageFileVariableController::cancelFetch()
{
    if (m_connection) {
        m_connection->cancel();
        m_connection.reset();
    }
}

void KELImageFileVariableController::fetch()
{
    cancelFetch();
    const QUrl url = urlFromText(m_url);
    if (url.isEmpty() || (url.host().isEmpty() && !url.isLocalFile()))
        return;
    m_connection = std::make_unique<KELURLAsyncConnection>(
        url,
        [this](KELURLAsyncConnection&, const QByteArray& data) {
            QImage image;
            if (image.loadFromData(data) && !image.isNull()) {
                // The fetched size is what the image is, not an edit of the user's.
                m_sizeUndoEnabled = false;
                applyImageSize(image.size());
                m_sizeUndoEnabled = true;
            }
            QTimer::singleShot(0, [this, connection = m_connection.get()] {
                if (m_connection.get() == connection)
                    m_connection.reset();
            });
        },
        [](KELURLAsyncConnection&, const kit::Error&) {}, m_fetchTimeout);
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
    if (!imageVariable().showDimensions())
        return;
    auto* row = new QHBoxLayout;
    m_widthField = new QSpinBox(box);
    m_heightField = new QSpinBox(box);
    for (QSpinBox* field : { m_widthField.data(), m_heightField.data() })
        field->setRange(0, int(MaximumDimension));
    m_lockBox = new QCheckBox(QStringLiteral("Keep proportion"), box);
    m_lockBox->setChecked(m_lockedProportion);
    row->addWidget(new QLabel(QStringLiteral("Width:"), box));
    row->addWidget(m_widthField);
    row->addWidget(new QLabel(QStringLiteral("Height:"), box));
    row->addWidget(m_heightField);
    row->addWidget(m_lockBox);
    static_cast<QVBoxLayout*>(box->layout())->addLayout(row);
    updateSizeControls();
    QObject::connect(m_widthField, qOverload<int>(&QSpinBox::valueChanged), m_widthField,
        [this](int v) { setWidthTextValueSynced(QString::number(v)); });
    QObject::connect(m_heightField, qOverload<int>(&QSpinBox::valueChanged), m_heightField,
        [this](int v) { setHeightTextValueSynced(QString::number(v)); });
    QObject::connect(m_lockBox, &QCheckBox::toggled, m_lockBox, [this](bool on) { setValue(LockedKey, on); });
    QObject::connect(m_urlField, &QLineEdit::textEdited, m_urlField, [this] { fetch(); });
}
