#include "support/UtilityFunctions.h"

#include "support/DefaultsKeys.h"
#include "kit/Alert.h"
#include "kit/Log.h"
#include "kit/StringEncodings.h"
#include "kit/TemporaryFolder.h"
#include "kit/UserDefaults.h"
#include "kit/text/TextView.h"
#include "support/KELEncodingManager.h"
#include "support/StringAdditions.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFontDatabase>
#include <QStandardPaths>

#include <cerrno>
#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>
#include <vector>

namespace {

UtilityFunctions::FileEncodingLookup& fileEncodingLookup()
{
    static UtilityFunctions::FileEncodingLookup lookup;
    return lookup;
}

bool isExecutableFile(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

QString encodingName(kit::StringEncoding encoding)
{
    return KELEncodingManager::nameForEncoding(encoding).value_or(QString::number(encoding));
}

} // namespace

UtilityFunctions::UtilityFunctions()
    : m_phpLocations{QStringLiteral("/usr/bin/php"), QStringLiteral("/usr/local/bin/php"),
                     QStringLiteral("/usr/local/php/bin/php")}
{
}

UtilityFunctions& UtilityFunctions::sharedInstance()
{
    static UtilityFunctions instance;
    return instance;
}

bool UtilityFunctions::checkMinOSVersion(qint32) const
{
    return true;
}

bool UtilityFunctions::checkMinOSYosemite() const
{
    return true;
}

quint64 UtilityFunctions::processorClockSpeedInMHz()
{
    QFile file(QStringLiteral("/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq"));
    if (file.open(QIODevice::ReadOnly)) {
        bool ok = false;
        const quint64 kiloHertz = file.readAll().trimmed().toULongLong(&ok);
        if (ok && kiloHertz >= 1000)
            return kiloHertz / 1000;
    }
    return 2000;
}

bool UtilityFunctions::isAppLaunched(const QString& nameOrPath)
{
    QString name = QFileInfo(nameOrPath).fileName();
    if (name.endsWith(QLatin1String(".desktop")))
        name.chop(8);
    if (name.isEmpty())
        return false;
    // The kernel keeps at most 15 characters of a program's name.
    const QString shortName = name.left(15);
    const QDir proc(QStringLiteral("/proc"));
    for (const QString& entry : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (entry.isEmpty() || !entry[0].isDigit())
            continue;
        QFile comm(proc.filePath(entry) + QStringLiteral("/comm"));
        if (!comm.open(QIODevice::ReadOnly))
            continue;
        const QString running = QString::fromLocal8Bit(comm.readAll().trimmed());
        if (!running.isEmpty() && (running == name || running == shortName))
            return true;
    }
    return false;
}

QString UtilityFunctions::currentApplicationName()
{
    return QStringLiteral("Kelp Studio");
}

QString UtilityFunctions::appSupportDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QString UtilityFunctions::tempDirectory()
{
    return kit::temporaryFolder();
}

QString UtilityFunctions::makeTempDirectory(const QString& nameTemplate)
{
    const QString parent = tempDirectory();
    if (parent.isEmpty() || !QDir().mkpath(parent)) {
        kit::log(QStringLiteral("Could not make the temporary folder %1").arg(parent));
        return QString();
    }
    QByteArray path = QFile::encodeName(parent + QLatin1Char('/') + nameTemplate);
    std::vector<char> buffer(path.constData(), path.constData() + path.size() + 1);
    if (!mkdtemp(buffer.data())) {
        kit::log(QStringLiteral("Could not make a temporary folder from %1: %2")
                     .arg(nameTemplate, QString::fromLocal8Bit(strerror(errno))));
        return QString();
    }
    return QFile::decodeName(QByteArray(buffer.data()));
}

QString UtilityFunctions::homeDirectory()
{
    passwd entry;
    passwd* result = nullptr;
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? size_t(size) : 16384);
    const int status = getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result);
    if (status != 0 || !result || !result->pw_dir) {
        kit::log(QStringLiteral("Could not get home directory %1").arg(status ? status : errno));
        return QStringLiteral("/");
    }
    return QFile::decodeName(QByteArray(result->pw_dir));
}

QIcon UtilityFunctions::iconForPath(const QString& path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return QIcon();
    static QFileIconProvider provider;
    return provider.icon(info);
}

QStringList UtilityFunctions::availablePHPLocations() const
{
    QStringList found;
    for (const QString& candidate : m_phpLocations) {
        if (isExecutableFile(candidate))
            found.append(candidate);
    }
    return found;
}

bool UtilityFunctions::canFindPHP(bool showAlerts)
{
    auto& defaults = kit::UserDefaults::standard();
    const QString location = defaults.stringValue(KELPHPLocationKey);
    // A folder is never an interpreter, however its permission bits read.
    if (isExecutableFile(location))
        return true;
    for (const QString& candidate : m_phpLocations) {
        if (isExecutableFile(candidate)) {
            defaults.setValue(KELPHPLocationKey, candidate);
            return true;
        }
    }
    if (showAlerts) {
        kit::Alert alert;
        if (!location.isEmpty() && QFileInfo(location).isFile()) {
            alert.setMessageText(QStringLiteral("Cannot Execute PHP"));
            alert.setInformativeText(QStringLiteral(
                "You do not have execute permissions for the PHP Command Line Interface. Please, correct the "
                "permissions for the PHP executable, or update the PHP location in the \"Preview\" section of the "
                "Preferences."));
        } else {
            alert.setMessageText(QStringLiteral("Cannot Find PHP"));
            alert.setInformativeText(QStringLiteral(
                "The file specified for the PHP Command Line Interface does not exist. Please, specify the correct "
                "location in the \"Preview\" section of the Preferences. The PHP location must be set correctly in "
                "order to preview and check syntax for PHP files."));
        }
        alert.addButton(QStringLiteral("OK"));
        alert.runModal();
    }
    return false;
}

void UtilityFunctions::setFileEncodingLookup(FileEncodingLookup lookup)
{
    fileEncodingLookup() = std::move(lookup);
}

namespace {

// The read chain over bytes already read. The stored encoding and the open default
// are asked for only when the chain reaches them.
std::optional<QString> decodeWithChain(const QByteArray& data, const QUrl& url, kit::StringEncoding documentEncoding,
    const std::function<kit::StringEncoding()>& storedEncoding, const std::function<kit::StringEncoding()>& openDefaultEncoding,
    kit::StringEncoding* usedEncoding, kit::Error* error)
{
    // The caller learns of the first failure only.
    bool errorTaken = false;
    auto fail = [&](const kit::Error& failure) {
        if (!errorTaken) {
            kit::setError(error, failure);
            errorTaken = true;
        }
    };
    auto succeed = [&](const QString& text, kit::StringEncoding encoding) -> std::optional<QString> {
        if (usedEncoding && encoding != kit::NoEncoding)
            *usedEncoding = encoding;
        return text;
    };
    const QString path = url.isLocalFile() ? url.toLocalFile() : url.toString();
    const QString urlText = url.toString();

    auto attempt = [&](kit::StringEncoding encoding, const QString& logFormat) -> std::optional<QString> {
        kit::Error failure;
        std::optional<QString> text = kit::decodeString(data, encoding, &failure);
        if (text)
            return text;
        if (failure.isNull())
            failure = kit::Error(kit::ErrorDomainCocoa, kit::FileReadInapplicableStringEncodingError);
        failure.userInfo()[kit::FilePathErrorKey] = path;
        if (!logFormat.isEmpty())
            kit::log(logFormat.arg(urlText, encodingName(encoding), failure.localizedDescription()));
        fail(failure);
        return std::nullopt;
    };

    if (documentEncoding != kit::NoEncoding) {
        if (auto text = attempt(documentEncoding, QStringLiteral("Could not open URL %1 with document encoding %2: %3")))
            return succeed(*text, documentEncoding);
    }
    const kit::StringEncoding stored = storedEncoding();
    if (stored != kit::NoEncoding) {
        if (auto text = attempt(stored, QStringLiteral("Could not open URL %1 with file prefs encoding %2: %3")))
            return succeed(*text, stored);
    }
    const kit::StringEncoding openDefault = openDefaultEncoding();
    if (openDefault != kit::NoEncoding && openDefault != 0) {
        if (auto text = attempt(openDefault, QStringLiteral("Could not open URL %1 with encoding %2: %3")))
            return succeed(*text, openDefault);
    }
    QString passedOver;
    kit::StringEncoding detected = kit::detectStringEncoding(data, nullptr, &passedOver);
    if (!passedOver.isEmpty())
        kit::log(QStringLiteral("Could not open URL %1 with its declared encoding %2: the file does not read in it")
                     .arg(urlText, passedOver));
    // Plain ASCII is UTF-8 byte for byte: taken as UTF-8, the first "é" typed
    // needs no other encoding, and the bytes written stay the same.
    if (detected == kit::ASCIIStringEncoding)
        detected = kit::UTF8StringEncoding;
    if (detected != kit::NoEncoding) {
        if (auto text = attempt(detected, QString()))
            return succeed(*text, detected);
    }
    kit::Error detectionError(kit::ErrorDomainCocoa, kit::FileReadInapplicableStringEncodingError,
                              {{kit::FilePathErrorKey, path},
                               {kit::LocalizedDescriptionKey,
                                QStringLiteral("The text encoding of \u201c%1\u201d could not be determined.")
                                    .arg(QFileInfo(path).fileName())}});
    fail(detectionError);
    kit::log(QStringLiteral("Could not open URL %1 with automatic encoding: %2")
                 .arg(urlText, detectionError.localizedDescription()));
    if (auto text = attempt(kit::UTF8StringEncoding, QString()))
        return succeed(*text, kit::UTF8StringEncoding);
    if (auto text = attempt(kit::ASCIIStringEncoding, QString()))
        return succeed(*text, kit::ASCIIStringEncoding);
    return std::nullopt;
}

} // namespace

std::optional<QString> UtilityFunctions::stringContentsForURL(const QUrl& url, kit::StringEncoding documentEncoding,
                                                              kit::StringEncoding* usedEncoding, kit::Error* error)
{
    const QString path = url.isLocalFile() ? url.toLocalFile() : url.toString();
    QFile file(path);
    if (!url.isLocalFile() || !file.open(QIODevice::ReadOnly)) {
        const bool missing = !QFileInfo::exists(path);
        kit::setError(error, kit::Error(kit::ErrorDomainCocoa, missing ? kit::FileReadNoSuchFileError : kit::FileReadUnknownError,
                        {{kit::FilePathErrorKey, path},
                         {kit::LocalizedDescriptionKey,
                          missing ? QStringLiteral("The file \u201c%1\u201d couldn\u2019t be opened because there is "
                                                   "no such file.")
                                        .arg(QFileInfo(path).fileName())
                                  : QStringLiteral("The file \u201c%1\u201d couldn\u2019t be opened.")
                                        .arg(QFileInfo(path).fileName())}}));
        return std::nullopt;
    }
    const QByteArray data = file.readAll();
    const auto stored = [&path] { return storedFileEncoding(path); };
    return decodeWithChain(data, url, documentEncoding, stored, &UtilityFunctions::openDefaultEncoding, usedEncoding, error);
}

kit::StringEncoding UtilityFunctions::storedFileEncoding(const QString& path)
{
    const auto& lookup = fileEncodingLookup();
    return lookup ? lookup(path) : kit::NoEncoding;
}

kit::StringEncoding UtilityFunctions::openDefaultEncoding()
{
    return kit::StringEncoding(kit::UserDefaults::standard().integerValue(KELDefaultEncodingForOpen));
}

std::optional<QString> UtilityFunctions::stringContentsForData(const QByteArray& data, const QString& path,
    kit::StringEncoding documentEncoding, kit::StringEncoding storedEncoding, kit::StringEncoding openDefault,
    kit::StringEncoding* usedEncoding, kit::Error* error)
{
    return decodeWithChain(data, QUrl::fromLocalFile(path), documentEncoding, [storedEncoding] { return storedEncoding; },
        [openDefault] { return openDefault; }, usedEncoding, error);
}

std::optional<QString> UtilityFunctions::stringContentsForURL(const QUrl& url, kit::StringEncoding* usedEncoding,
                                                              kit::Error* error)
{
    return stringContentsForURL(url, kit::NoEncoding, usedEncoding, error);
}

std::optional<QString> UtilityFunctions::stringForNewDocument(kit::StringEncoding* encoding)
{
    auto& defaults = kit::UserDefaults::standard();
    if (defaults.boolValue(KELShouldGetNewDocCodeFromAFileKey)) {
        const QString path = defaults.stringValue(KELCodeForNewDocumentsKey);
        if (path.isEmpty())
            return std::nullopt;
        return stringContentsForURL(QUrl::fromLocalFile(path), encoding, nullptr);
    }
    QString skeleton = QStringLiteral(
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" \"http://www.w3.org/TR/html4/loose.dtd\">"
        "\n<html>\n\n\t<head>\n\t\t<title></title>\n\t</head>\n\t<body>\n\n\n\t</body>\n</html>");
    skeleton.replace(QLatin1Char('\t'), indentSpacerSpring());
    return skeleton;
}

std::optional<QByteArray> UtilityFunctions::dataForNewDocument()
{
    kit::StringEncoding encoding = kit::NoEncoding;
    const std::optional<QString> text = stringForNewDocument(&encoding);
    if (!text)
        return std::nullopt;
    if (encoding == kit::NoEncoding) {
        const auto openDefault =
            kit::StringEncoding(kit::UserDefaults::standard().integerValue(KELDefaultEncodingForOpen));
        encoding = (openDefault != kit::NoEncoding && openDefault != 0) ? openDefault : kit::UTF8StringEncoding;
    }
    if (auto data = kit::encodeString(*text, encoding))
        return data;
    // The chosen encoding cannot hold the text: UTF-8 always can.
    return kit::encodeString(*text, kit::UTF8StringEncoding);
}

bool UtilityFunctions::isNewLineCharacter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x0a && u <= 0x0d) || u == 0x85 || u == 0x2028 || u == 0x2029;
}

QString UtilityFunctions::indentSpacerSpring()
{
    const auto& defaults = kit::UserDefaults::standard();
    if (defaults.integerValue(KELOrganizeTagsSpacer) != 0)
        return QStringLiteral("\t");
    const qint64 spaces = std::max<qint64>(1, defaults.integerValue(KELOrganizeTagsNumSpaces));
    return QString(qsizetype(std::min<qint64>(spaces, 64)), QLatin1Char(' '));
}

QChar UtilityFunctions::indentSpacerChar()
{
    return kit::UserDefaults::standard().integerValue(KELOrganizeTagsSpacer) != 0 ? QLatin1Char('\t')
                                                                                   : QLatin1Char(' ');
}

QString UtilityFunctions::relativePathFromDirectory(const QString& directory, const QString& path)
{
    const QStringList from = pathComponents(stringByStandardizingPath(directory));
    const QStringList to = pathComponents(stringByStandardizingPath(path));
    qsizetype shared = 0;
    while (shared < from.size() && shared < to.size() && from[shared] == to[shared])
        ++shared;
    QString result;
    for (qsizetype i = shared; i < from.size(); ++i)
        result += QStringLiteral("../");
    if (shared < to.size()) {
        const QStringList rest = to.mid(shared);
        const QFileInfo target(path);
        const bool isFolder = target.exists() ? target.isDir() : QFileInfo(rest.last()).suffix().isEmpty();
        if (isFolder) {
            for (const QString& component : rest)
                result += component + QLatin1Char('/');
        } else {
            result += rest.join(QLatin1Char('/'));
        }
    }
    return result;
}

QStringList UtilityFunctions::arrayByRemovingSubPaths(const QStringList& paths)
{
    QStringList kept;
    for (const QString& path : paths) {
        bool drop = false;
        for (const QString& other : paths) {
            if (!isEqualToPath(other, path) && isSubpathOfString(other, path)) {
                drop = true;
                break;
            }
        }
        if (!drop) {
            for (const QString& already : kept) {
                if (isEqualToPath(already, path)) {
                    drop = true;
                    break;
                }
            }
        }
        if (!drop)
            kept.append(path);
    }
    return kept;
}

QList<QUrl> UtilityFunctions::arrayByRemovingSubPaths(const QList<QUrl>& urls)
{
    QStringList paths;
    for (const QUrl& url : urls)
        paths.append(url.toLocalFile());
    const QStringList kept = arrayByRemovingSubPaths(paths);
    QList<QUrl> result;
    qsizetype next = 0;
    for (qsizetype i = 0; i < urls.size() && next < kept.size(); ++i) {
        if (paths[i] == kept[next]) {
            result.append(urls[i]);
            ++next;
        }
    }
    return result;
}

void UtilityFunctions::normalizeTextView(kit::TextView* textView)
{
    if (!textView)
        return;
    textView->setAllowsUndo(true);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(12.0);
    textView->setFont(font);
}
