#include "support/KELFileTypeManager.h"

#include "support/DefaultsKeys.h"
#include "support/Notifications.h"
#include "kit/NotificationCenter.h"
#include "kit/UserDefaults.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeDatabase>
#include <QSet>
#include <QStandardPaths>

#include <gio/gio.h>

namespace {

// The application's name as it appears in the paths of its installed programs.
const QString kApplicationName = QStringLiteral("Kelp Studio");
const QString kApplicationId = QStringLiteral("kelp-studio");

// Extensions of files that are not text but that users commonly meet in a site.
const QStringList kKnownNonTextExtensions = {
    QStringLiteral("doc"), QStringLiteral("docx"), QStringLiteral("pages"), QStringLiteral("rtf"),
    QStringLiteral("pps"), QStringLiteral("ppt"), QStringLiteral("pptx"), QStringLiteral("xls"),
    QStringLiteral("xlsx"), QStringLiteral("ai"), QStringLiteral("ps"), QStringLiteral("svg"),
    QStringLiteral("aac"), QStringLiteral("mid"), QStringLiteral("midi"), QStringLiteral("mp3"),
    QStringLiteral("wav"), QStringLiteral("mpa"), QStringLiteral("wma"), QStringLiteral("m4p"),
    QStringLiteral("avi"), QStringLiteral("mov"), QStringLiteral("mp4"), QStringLiteral("mpg"),
    QStringLiteral("swf"), QStringLiteral("wmv"), QStringLiteral("zip"), QStringLiteral("sit"),
    QStringLiteral("dmg"),
};

const QSet<QString>& imageExtensions()
{
    static const QSet<QString> extensions = [] {
        QSet<QString> set;
        for (const QByteArray& format : QImageReader::supportedImageFormats())
            set.insert(QString::fromLatin1(format).toLower());
        return set;
    }();
    return extensions;
}

bool isPseudoType(const QString& typeName)
{
    return typeName == KELFolderTypeName || typeName == KELBinaryTypeName || typeName == KELPDFTypeName
        || typeName == KELSVGTypeName || typeName == KELImageTypeName || typeName == KELHiddenTypeName;
}

// The desktop's default application for a file's content type: its executable's
// path, else its desktop-entry id. Looked up once per content type.
QString desktopDefaultApplication(const QString& path)
{
    static QHash<QString, QString> byContentType;
    const QString contentType = QMimeDatabase().mimeTypeForFile(path).name();
    const auto found = byContentType.constFind(contentType);
    if (found != byContentType.constEnd())
        return *found;
    QString application;
    if (GAppInfo* info = g_app_info_get_default_for_type(contentType.toUtf8().constData(), FALSE)) {
        if (const char* executable = g_app_info_get_executable(info)) {
            const QString name = QString::fromUtf8(executable);
            const QString resolved = QStandardPaths::findExecutable(name);
            application = resolved.isEmpty() ? name : resolved;
        }
        if (application.isEmpty())
            if (const char* id = g_app_info_get_id(info))
                application = QString::fromUtf8(id);
        g_object_unref(info);
    }
    byContentType.insert(contentType, application);
    return application;
}

} // namespace

static KELFileTypeManager::SyntaxTypesProvider& syntaxTypesProvider()
{
    static KELFileTypeManager::SyntaxTypesProvider provider;
    return provider;
}

QList<KELFileTypeSyntaxInfo> KELFileTypeManager::syntaxTypes()
{
    if (syntaxTypesProvider()) {
        QList<KELFileTypeSyntaxInfo> types = syntaxTypesProvider()();
        if (!types.isEmpty())
            return types;
    }
    // Until a provider is installed: the languages of the bundled syntax definitions
    // and their extensions, so that no text file of theirs counts as binary.
    // "" stands for files without extension (README, Makefile, .htaccess).
    return {
        {KELHTMLTypeName, {}, {}, {"html", "htm", "xhtml", "xht"}, true},
        {KELCSSTypeName, {}, {}, {"css"}, false},
        {QStringLiteral("CSS Block"), KELCSSTypeName, {}, {}, false},
        {KELJavaScriptTypeName, {}, {}, {"js", "mjs", "cjs"}, false},
        {KELPHPTypeName, {}, KELHTMLTypeName, {"php", "phtml", "php3", "php4", "php5", "php7", "php8", "phps", "inc"},
            false},
        {KELSHTMLTypeName, {}, KELHTMLTypeName, {"shtml", "shtm", "stm"}, false},
        {KELPlainTextTypeName, {}, {}, {"txt", "text", "", "md", "json", "xml", "csv", "log"}, false},
    };
}

KELFileTypeManager& KELFileTypeManager::sharedInstance()
{
    // Made once, also when first asked from several threads at once.
    static KELFileTypeManager instance;
    return instance;
}

void KELFileTypeManager::setSyntaxTypesProvider(SyntaxTypesProvider provider)
{
    syntaxTypesProvider() = std::move(provider);
    KELFileTypeManager& registry = sharedInstance();
    registry.buildTypeNames();
    registry.readDefaults();
}

KELFileTypeManager::KELFileTypeManager()
{
    buildTypeNames();
    readDefaults();
    kit::NotificationCenter::defaultCenter().addObserver(KELApplicationWillTerminateNotification,
        nullptr, [this](const kit::Notification&) { writeDefaults(); });
}

void KELFileTypeManager::buildTypeNames()
{
    m_typeNames.clear();
    for (const KELFileTypeSyntaxInfo& type : syntaxTypes())
        if (type.parentTypeName.isEmpty() && !m_typeNames.contains(type.typeName))
            m_typeNames.append(type.typeName);
    if (!m_typeNames.contains(KELHiddenTypeName))
        m_typeNames.append(KELHiddenTypeName);
    std::sort(m_typeNames.begin(), m_typeNames.end(),
        [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
}

void KELFileTypeManager::setExtensionTypes(ExtensionTypeList extensionTypes)
{
    m_extensionTypes = std::move(extensionTypes);
}

QStringList KELFileTypeManager::newFileTypeNames() const
{
    QStringList names = m_typeNames;
    names.removeAll(KELHiddenTypeName);
    return names;
}

QString KELFileTypeManager::defaultTypeName() const
{
    const QString stored = kit::UserDefaults::standard().stringValue(KELDefaultFileTypeKey);
    if (!stored.isEmpty())
        return stored;
    // Nothing registered or stored: untitled documents still get a language.
    for (const KELFileTypeSyntaxInfo& type : syntaxTypes())
        if (type.isDefault)
            return type.typeName;
    return KELPlainTextTypeName;
}

QString KELFileTypeManager::typeNameForDocumentURL(const QUrl& fileURL) const
{
    if (fileURL.isEmpty())
        return defaultTypeName();
    return typeNameForURL(fileURL);
}

QString KELFileTypeManager::typeNameForPath(const QString& path) const
{
    return typeNameForURL(QUrl::fromLocalFile(path));
}

QString KELFileTypeManager::typeNameForURL(const QUrl& url) const
{
    const bool isFile = url.isLocalFile();
    const QString path = isFile ? url.toLocalFile() : url.path();
    const QFileInfo info(path);
    if (isFile && info.isDir())
        return KELFolderTypeName;
    const QString type = typeNameForExtension(pathExtension(path));
    if (!isFile)
        return type;
    if (type != KELBinaryTypeName) {
        // An extension says text, but the contents may not be: such a file must not
        // open as a text document and be saved back mangled.
        if (!isPseudoType(type) && info.isFile() && looksBinary(path))
            return KELBinaryTypeName;
        return type;
    }
    return isOpenedByThisApplication(path) ? KELPlainTextTypeName : KELBinaryTypeName;
}

QString KELFileTypeManager::typeNameForExtension(const QString& extension) const
{
    return nonDefaultTypeNameForExtension(extension).value_or(KELBinaryTypeName);
}

std::optional<QString> KELFileTypeManager::nonDefaultTypeNameForExtension(const std::optional<QString>& extension) const
{
    if (!extension)
        return std::nullopt;
    for (const auto& entry : m_extensionTypes)
        if (entry->extension() && entry->extension()->compare(*extension, Qt::CaseInsensitive) == 0)
            return entry->typeName();
    const QString lower = extension->toLower();
    if (lower == QLatin1String("pdf"))
        return KELPDFTypeName;
    if (lower == QLatin1String("svg"))
        return KELSVGTypeName;
    if (!lower.isEmpty() && imageExtensions().contains(lower))
        return KELImageTypeName;
    return std::nullopt;
}

bool KELFileTypeManager::typeNameIsKindOfType(const QString& typeName, const QString& kindTypeName) const
{
    const QList<KELFileTypeSyntaxInfo> types = syntaxTypes();
    QSet<QString> visited; // a cycle in the definitions ends the walk
    QString current = typeName;
    while (!visited.contains(current)) {
        if (current == kindTypeName)
            return true;
        visited.insert(current);
        const auto type = std::find_if(types.begin(), types.end(),
            [&](const KELFileTypeSyntaxInfo& t) { return t.typeName == current; });
        if (type == types.end() || type->deferToTypeName.isEmpty())
            return false;
        current = type->deferToTypeName;
    }
    return false;
}

bool KELFileTypeManager::isRecognizedExtension(const std::optional<QString>& extension) const
{
    if (!extension)
        return false;
    if (nonDefaultTypeNameForExtension(extension))
        return true;
    return kKnownNonTextExtensions.contains(extension->toLower());
}

void KELFileTypeManager::readDefaults()
{
    const QVariantMap stored = kit::UserDefaults::standard().mapValue(KELFileExtensionTypesKey);
    const QList<KELFileTypeSyntaxInfo> types = syntaxTypes();
    ExtensionTypeList entries;
    for (const QString& name : m_typeNames) {
        QStringList extensions;
        if (stored.contains(name)) {
            for (const QVariant& value : stored.value(name).toList())
                if (value.typeId() == QMetaType::QString)
                    extensions.append(value.toString());
        } else {
            for (const KELFileTypeSyntaxInfo& type : types)
                if (type.typeName == name)
                    extensions = type.defaultExtensions;
        }
        for (const QString& extension : extensions)
            entries.append(KELExtensionType::extensionTypeWithExtension(extension, name));
    }
    m_extensionTypes = entries;
}

void KELFileTypeManager::writeDefaults() const
{
    QVariantMap stored;
    for (const auto& entry : m_extensionTypes) {
        if (!entry->extension())
            continue;
        QVariantList extensions = stored.value(entry->typeName()).toList();
        extensions.append(entry->extension()->toLower());
        stored.insert(entry->typeName(), extensions);
    }
    for (const QString& name : m_typeNames)
        if (!stored.contains(name))
            stored.insert(name, QVariantList());
    kit::UserDefaults::standard().setValue(KELFileExtensionTypesKey, stored);
}

void KELFileTypeManager::resetToDefaults()
{
    kit::UserDefaults::standard().removeValue(KELFileExtensionTypesKey);
    kit::UserDefaults::standard().removeValue(KELDefaultFileTypeKey);
    readDefaults();
}

QString KELFileTypeManager::pathExtension(const QString& path)
{
    QString name = path;
    while (name.size() > 1 && name.endsWith(QLatin1Char('/')))
        name.chop(1);
    name = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot <= 0 ? QString() : name.mid(dot + 1);
}

void KELFileTypeManager::setDefaultApplicationLookupForTesting(DefaultApplicationLookup lookup)
{
    m_defaultApplicationLookup = std::move(lookup);
}

bool KELFileTypeManager::isOpenedByThisApplication(const QString& path) const
{
    const QString application =
        m_defaultApplicationLookup ? m_defaultApplicationLookup(path) : desktopDefaultApplication(path);
    if (application.isEmpty())
        return false;
    return application.contains(kApplicationName) || application.contains(kApplicationId)
        || application == QCoreApplication::applicationFilePath();
}

bool KELFileTypeManager::looksBinary(const QString& path) const
{
    const QFileInfo info(path);
    const qint64 size = info.size();
    const qint64 modified = info.lastModified().toMSecsSinceEpoch();
    const auto cached = m_sniffed.constFind(path);
    if (cached != m_sniffed.constEnd() && cached->size == size && cached->modified == modified)
        return cached->binary;

    QFile file(path);
    bool binary = false;
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray head = file.read(4096);
        // UTF-16 and UTF-32 text holds zero bytes; its byte-order mark says so.
        const bool wideText = head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF")
            || head.startsWith(QByteArray("\x00\x00\xFE\xFF", 4));
        binary = !wideText && head.contains('\0');
    }
    if (m_sniffed.size() > 10000)
        m_sniffed.clear();
    m_sniffed.insert(path, {size, modified, binary});
    return binary;
}
