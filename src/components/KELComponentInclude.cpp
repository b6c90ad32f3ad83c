#include "components/KELComponentInclude.h"

#include "components/KELComponent.h"
#include "components/KELComponentManager.h"
#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "kit/Log.h"
#include "kit/Resources.h"
#include "support/ColorAdditions.h"
#include "support/KELComponentChecksum.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>

namespace {

bool isTrue(const std::optional<QString>& text)
{
    return text && text->compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

// Letters, digits, "-" and "_" only: a typed id becomes part of a file name and
// must not name another folder.
QString fileNameSafeId(const QString& id)
{
    QString safe;
    for (QChar c : id) {
        if (c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_'))
            safe += c;
        else
            safe += QLatin1Char('_');
    }
    return safe;
}

// "folder/name.ext" → {"folder/name", "ext"}; a name without extension has an empty one.
std::pair<QString, QString> splitExtension(const QString& path)
{
    const QFileInfo info(path);
    const QString suffix = info.suffix();
    if (suffix.isEmpty() || info.fileName() == QLatin1Char('.') + suffix)
        return { path, QString() };
    return { path.left(path.size() - suffix.size() - 1), suffix };
}

QString joinExtension(const QString& base, const QString& extension)
{
    return extension.isEmpty() ? base : base + QLatin1Char('.') + extension;
}

bool isInside(const QString& path, const QString& directory)
{
    const QString folder = QDir::cleanPath(QDir(directory).absolutePath());
    const QString clean = QDir::cleanPath(QDir(directory).absoluteFilePath(path));
    return clean.startsWith(folder + QLatin1Char('/'));
}

} // namespace

KELComponentInclude::~KELComponentInclude() = default;

std::unique_ptr<KELComponentInclude> KELComponentInclude::includeWithNode(const KELXMLNode& node)
{
    static const QStringList types = { QStringLiteral("script"), QStringLiteral("style"), QStringLiteral("image"),
        QStringLiteral("text"), QStringLiteral("binary") };
    const QString typeName = node.valueForAttribute(QStringLiteral("type")).value_or(QString());
    const qsizetype type = types.indexOf(typeName);
    if (type < 0) {
        kit::log(QStringLiteral("Unrecognized include type: %1").arg(typeName));
        return nullptr;
    }
    std::unique_ptr<KELComponentInclude> include;
    if (type == Image)
        include.reset(new KELComponentImageInclude);
    else
        include.reset(new KELComponentTextInclude);
    include->m_type = Type(type);
    include->initInternalWithNode(node);
    return include;
}

void KELComponentInclude::initInternalWithNode(const KELXMLNode& node)
{
    m_resourceName = node.valueForAttribute(QStringLiteral("resource")).value_or(QString());
    m_varName = node.valueForAttribute(QStringLiteral("var"));
    m_uniqueFileVarName = node.valueForAttribute(QStringLiteral("uniqueFileVar"));
    m_includeCopyrightNotice = isTrue(node.valueForAttribute(QStringLiteral("copyright")));
    m_condition = KELComponentExpression::fromAttribute(node, QStringLiteral("condition"));
    for (const KELXMLNode& child : node.childNodes()) {
        if (!child.isTextNode())
            readChildNode(child);
    }
}

void KELComponentInclude::readChildNode(const KELXMLNode& node)
{
    kit::log(QStringLiteral("Failed to read node in include %1 with name %2").arg(m_resourceName, node.nodeName()));
}

QString KELComponentInclude::copyrightString()
{
    static const QString text = [] {
        QFile file(kit::resourcePath(QStringLiteral("KELComponentIncludeCopyright.txt")));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }();
    return text;
}

bool KELComponentInclude::conditionSatisfied(KELComponentResolver& resolver) const
{
    return !m_condition || KELComponentInsertLogicTag::booleanValue(m_condition->evaluateWithResolver(resolver));
}

std::optional<QString> KELComponentInclude::pathForResourceName(const QString& name, const KELComponent& component)
{
    for (const QString& folder : { component.path(), KELComponentManager::componentsSharedResourcesDirectory() }) {
        const QString path = folder + QLatin1Char('/') + name;
        if (isInside(name, folder) && QFileInfo(path).isFile())
            return path;
    }
    return std::nullopt;
}

std::optional<QString> KELComponentInclude::destinationPathForDestinationDirectory(const QString& directory,
    KELComponentResolver& resolver, KELInsertType insertType) const
{
    QString path = directory + QLatin1Char('/') + m_resourceName;
    if (m_uniqueFileVarName) {
        const auto [base, extension] = splitExtension(path);
        if (const std::optional<QString> id = resolver.uniqueIdForVariable(*m_uniqueFileVarName)) {
            path = joinExtension(base + QLatin1Char('_') + fileNameSafeId(*id), extension);
            if (insertType == KELInsertType::Insert && QFileInfo::exists(path)) {
                const auto [uniqueBase, uniqueExtension] = splitExtension(path);
                for (int number = 2; number <= 999; ++number) {
                    const QString candidate = joinExtension(QStringLiteral("%1_%2").arg(uniqueBase).arg(number), uniqueExtension);
                    if (!QFileInfo::exists(candidate)) {
                        path = candidate;
                        break;
                    }
                }
            }
        } else {
            kit::log(QStringLiteral("nil expression value: %1").arg(*m_uniqueFileVarName));
        }
    }
    if (!isInside(path.mid(directory.size() + 1), directory)) {
        kit::log(QStringLiteral("Include %1 would be written outside %2").arg(m_resourceName, directory));
        return std::nullopt;
    }
    return path;
}

bool KELComponentInclude::writeFile(const QString& path, const QByteArray& bytes, KELInsertType insertType, QStringList* problems)
{
    bool written = false;
    QString reason;
    if (!QDir().mkpath(QFileInfo(path).path())) {
        reason = QStringLiteral("the folder could not be made");
    } else if (insertType == KELInsertType::Insert) {
        QSaveFile file(path);
        written = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
        reason = file.errorString();
    } else {
        QFile file(path);
        if (file.size() == bytes.size() && file.open(QIODevice::ReadOnly) && file.readAll() == bytes)
            return true;
        file.close();
        written = file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
        file.close();
        written = written && file.error() == QFileDevice::NoError;
        reason = file.errorString();
    }
    if (!written) {
        kit::log(QStringLiteral("Component file could not be written: %1 (%2)").arg(path, reason));
        if (problems)
            problems->append(QStringLiteral("The file “%1” could not be written: %2").arg(QFileInfo(path).fileName(), reason));
    }
    return written;
}

void KELComponentInclude::reloadOpenDocument(const QString& path, QStringList* problems)
{
    MyDocumentController* controller = MyDocumentController::sharedDocumentController();
    if (!controller)
        return;
    auto* document = qobject_cast<MyDocument*>(controller->documentForURL(QUrl::fromLocalFile(path)));
    if (!document)
        return;
    // Reverting would throw away what the user typed: keep it and say so.
    if (document->isDocumentEdited()) {
        kit::log(QStringLiteral("Open document with unsaved changes was not reloaded: %1").arg(path));
        if (problems)
            problems->append(QStringLiteral("The open document “%1” has unsaved changes, so it still shows them; the file on disk "
                                            "now holds the component's version.")
                                 .arg(QFileInfo(path).fileName()));
        return;
    }
    document->revertToSaved();
}

std::unique_ptr<KELComponentInclude> KELComponentInclude::includeWithResourceName(const QString& resourceName, Type type)
{
    std::unique_ptr<KELComponentInclude> include(new KELComponentInclude);
    include->m_resourceName = resourceName;
    include->m_type = type;
    return include;
}

std::optional<QString> KELComponentInclude::performCopy(const KELComponent& component, const QString& destinationDirectory,
    KELComponentResolver& resolver, KELInsertType insertType, QStringList* problems) const
{
    if (!conditionSatisfied(resolver))
        return std::nullopt;
    const std::optional<QString> source = pathForResourceName(m_resourceName, component);
    if (!source) {
        kit::log(QStringLiteral("Resource %1 not found for component at path %2").arg(m_resourceName, component.path()));
        return std::nullopt;
    }
    const std::optional<QString> destination = destinationPathForDestinationDirectory(destinationDirectory, resolver, insertType);
    if (!destination)
        return std::nullopt;
    QFile file(*source);
    if (!file.open(QIODevice::ReadOnly)) {
        kit::log(QStringLiteral("Resource %1 could not be read: %2").arg(m_resourceName, file.errorString()));
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (m_type == Script || m_type == Style || m_type == Text) {
        QString text = QString::fromUtf8(bytes);
        if (m_includeCopyrightNotice)
            text.prepend(copyrightString());
        appendChecksum(text);
        if (!writeFile(*destination, text.toUtf8(), insertType, problems))
            return std::nullopt;
        reloadOpenDocument(*destination, problems);
    } else if (!writeFile(*destination, bytes, insertType, problems)) {
        return std::nullopt;
    }
    return destination;
}

// --- Checksums: one definition, shared with the documents

quint32 KELComponentInclude::computeChecksum(const QString& text)
{
    return KELComponentChecksum::computeChecksum(text);
}

void KELComponentInclude::appendChecksum(QString& text)
{
    KELComponentChecksum::appendChecksum(text);
}

bool KELComponentInclude::verifyChecksumForFileContents(const std::optional<QString>& text)
{
    return KELComponentChecksum::verifyChecksumForFileContents(text);
}

bool KELComponentInclude::verifyChecksumForFile(const QString& path)
{
    return KELComponentChecksum::verifyChecksumForFile(path);
}

// --- Text from a template

void KELComponentTextInclude::readChildNode(const KELXMLNode& node)
{
    if (node.nodeName() != QLatin1String("insert")) {
        KELComponentInclude::readChildNode(node);
        return;
    }
    if (m_insertPrimary) {
        kit::log(QStringLiteral("Include %1 has multiple insert tags").arg(m_resourceName));
        return;
    }
    m_insertPrimary = KELComponentInsertPrimary::logicTagWithNode(node);
}

std::optional<QString> KELComponentTextInclude::performCopy(const KELComponent& component, const QString& destinationDirectory,
    KELComponentResolver& resolver, KELInsertType insertType, QStringList* problems) const
{
    if (!m_insertPrimary)
        return KELComponentInclude::performCopy(component, destinationDirectory, resolver, insertType, problems);
    if (!conditionSatisfied(resolver))
        return std::nullopt;
    const std::optional<QString> destination = destinationPathForDestinationDirectory(destinationDirectory, resolver, insertType);
    if (!destination)
        return std::nullopt;
    // Links the template makes are relative to the file it writes.
    resolver.setValueForVariable(*destination, QStringLiteral("DOCPATH"));
    QString text = m_includeCopyrightNotice ? copyrightString() : QString();
    m_insertPrimary->appendContentToString(text, resolver);
    if (!writeFile(*destination, text.toUtf8(), insertType, problems))
        return std::nullopt;
    reloadOpenDocument(*destination, problems);
    return destination;
}

// --- Images

KELComponentImageIncludeFilter::KELComponentImageIncludeFilter(const KELXMLNode& node)
{
    maskResourceName = node.valueForAttribute(QStringLiteral("mask")).value_or(QString());
    colorExpression = KELComponentExpression::fromAttribute(node, QStringLiteral("color"));
    condition = KELComponentExpression::fromAttribute(node, QStringLiteral("condition"));
}

KELComponentImageIncludeOverlay::KELComponentImageIncludeOverlay(const KELXMLNode& node)
{
    resourceName = node.valueForAttribute(QStringLiteral("image")).value_or(QString());
}

void KELComponentImageInclude::readChildNode(const KELXMLNode& node)
{
    if (node.nodeName() == QLatin1String("filter"))
        m_filters.emplace_back(std::in_place_type<KELComponentImageIncludeFilter>, node);
    else if (node.nodeName() == QLatin1String("overlay"))
        m_filters.emplace_back(std::in_place_type<KELComponentImageIncludeOverlay>, node);
    else
        KELComponentInclude::readChildNode(node);
}

QImage KELComponentImageInclude::createImageFromPath(const QString& path)
{
    const QString extension = QFileInfo(path).suffix().toLower();
    QByteArray format;
    if (extension == QLatin1String("jpg") || extension == QLatin1String("jpeg"))
        format = "jpeg";
    else if (extension == QLatin1String("png"))
        format = "png";
    else
        return QImage();
    QImageReader reader(path, format);
    const QImage image = reader.read();
    if (image.isNull())
        return QImage();
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

std::optional<QColor> KELComponentImageInclude::applyFilter(QImage& image, const KELComponentImageIncludeFilter& filter,
    const KELComponent& component, KELComponentResolver& resolver)
{
    if (filter.condition && !KELComponentInsertLogicTag::booleanValue(filter.condition->evaluateWithResolver(resolver)))
        return std::nullopt;
    const std::optional<QString> maskPath = pathForResourceName(filter.maskResourceName, component);
    if (!maskPath) {
        kit::log(QStringLiteral("Mask not found: %1").arg(filter.maskResourceName));
        return std::nullopt;
    }
    const QVariant value = filter.colorExpression ? filter.colorExpression->evaluateWithResolver(resolver) : QVariant();
    QColor color;
    if (value.metaType().id() == QMetaType::QColor)
        color = value.value<QColor>();
    else if (value.metaType().id() == QMetaType::QString)
        color = colorWithHtmlHexValue(value.toString());
    if (!color.isValid()) {
        kit::log(QStringLiteral("Color could not be determined (%1) for mask %2").arg(KELExpression::stringValue(value), filter.maskResourceName));
        return std::nullopt;
    }
    const QImage mask = createImageFromPath(*maskPath);
    if (mask.size() != image.size()) {
        kit::log(QStringLiteral("Mask dimensions (%1) do not match source context dimensions").arg(*maskPath));
        return color;
    }
    const QColor rgb = color.toRgb();
    const int cr = rgb.red();
    const int cg = rgb.green();
    const int cb = rgb.blue();
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        const auto* maskRow = reinterpret_cast<const QRgb*>(mask.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int m = qAlpha(maskRow[x]);
            const QRgb p = row[x];
            row[x] = qRgba((qRed(p) * (255 - m) + m * cr) / 255, (qGreen(p) * (255 - m) + m * cg) / 255,
                (qBlue(p) * (255 - m) + m * cb) / 255, (65025 - (255 - qAlpha(p)) * (255 - m)) / 255);
        }
    }
    return color;
}

void KELComponentImageInclude::applyOverlay(QImage& image, const KELComponentImageIncludeOverlay& overlay, const KELComponent& component)
{
    const std::optional<QString> path = pathForResourceName(overlay.resourceName, component);
    if (!path) {
        kit::log(QStringLiteral("Mask not found: %1").arg(overlay.resourceName));
        return;
    }
    const QImage top = createImageFromPath(*path);
    if (top.size() != image.size()) {
        kit::log(QStringLiteral("Resource dimensions (%1) do not match source context dimensions").arg(*path));
        return;
    }
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        const auto* topRow = reinterpret_cast<const QRgb*>(top.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb o = topRow[x];
            const QRgb p = row[x];
            const int oa = qAlpha(o);
            row[x] = qRgba((qRed(o) * 255 + qRed(p) * (255 - oa)) / 255, (qGreen(o) * 255 + qGreen(p) * (255 - oa)) / 255,
                (qBlue(o) * 255 + qBlue(p) * (255 - oa)) / 255, (65025 - (255 - qAlpha(p)) * (255 - oa)) / 255);
        }
    }
}

std::optional<QString> KELComponentImageInclude::performCopy(const KELComponent& component, const QString& destinationDirectory,
    KELComponentResolver& resolver, KELInsertType insertType, QStringList* problems) const
{
    if (m_filters.empty())
        return KELComponentInclude::performCopy(component, destinationDirectory, resolver, insertType, problems);
    if (!conditionSatisfied(resolver))
        return std::nullopt;
    const std::optional<QString> source = pathForResourceName(m_resourceName, component);
    if (!source) {
        kit::log(QStringLiteral("Resource %1 not found for component at path %2").arg(m_resourceName, component.path()));
        return std::nullopt;
    }
    QImage image = createImageFromPath(*source);
    if (image.isNull())
        return std::nullopt;
    QString suffix;
    for (const Filter& entry : m_filters) {
        if (const auto* filter = std::get_if<KELComponentImageIncludeFilter>(&entry)) {
            const std::optional<QColor> used = applyFilter(image, *filter, component, resolver);
            suffix += used ? QLatin1Char('_') + htmlHexValue(*used) : QStringLiteral("_n");
        } else {
            applyOverlay(image, std::get<KELComponentImageIncludeOverlay>(entry), component);
        }
    }
    const std::optional<QString> base = destinationPathForDestinationDirectory(destinationDirectory, resolver, insertType);
    if (!base)
        return std::nullopt;
    const auto [stem, extension] = splitExtension(*base);
    const QString destination = joinExtension(stem + suffix.toUpper(), extension);
    const QString lower = extension.toLower();
    const QByteArray format = lower == QLatin1String("jpg") || lower == QLatin1String("jpeg") ? "jpeg" : "png";
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, format);
        if (!writer.write(format == "jpeg" ? image.convertToFormat(QImage::Format_RGB32) : image)) {
            kit::log(QStringLiteral("Component image could not be encoded: %1").arg(destination));
            return std::nullopt;
        }
    }
    if (!writeFile(destination, bytes, insertType, problems))
        return std::nullopt;
    return destination;
}
