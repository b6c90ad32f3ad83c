#include "support/StringAdditions.h"

#include "support/DefaultsKeys.h"
#include "kit/StringEncodings.h"
#include "kit/UserDefaults.h"
#include "support/UtilityFunctions.h"

#include <QDir>
#include <QRegularExpression>
#include <QUrl>

#include <pwd.h>
#include <unistd.h>

QStringList pathComponents(const QString& path)
{
    QStringList components;
    if (path.startsWith(QLatin1Char('/')))
        components.append(QStringLiteral("/"));
    for (const QString& piece : path.split(QLatin1Char('/'), Qt::SkipEmptyParts))
        components.append(piece);
    return components;
}

static QString joinPathComponents(const QStringList& components)
{
    if (components.isEmpty())
        return QString();
    if (components.first() == QLatin1String("/"))
        return QLatin1Char('/') + components.mid(1).join(QLatin1Char('/'));
    return components.join(QLatin1Char('/'));
}

QString stringByExpandingTildeInPath(const QString& path)
{
    if (!path.startsWith(QLatin1Char('~')))
        return path;
    const qsizetype slash = path.indexOf(QLatin1Char('/'));
    const QString user = path.mid(1, slash < 0 ? -1 : slash - 1);
    QString home;
    if (user.isEmpty()) {
        home = UtilityFunctions::homeDirectory();
    } else {
        const QByteArray name = user.toLocal8Bit();
        if (const passwd* entry = getpwnam(name.constData()))
            home = QString::fromLocal8Bit(entry->pw_dir);
        else
            return path; // an unknown user: leave the path alone
    }
    const QString rest = slash < 0 ? QString() : path.mid(slash);
    if (home.endsWith(QLatin1Char('/')) && rest.startsWith(QLatin1Char('/')))
        home.chop(1);
    return home + rest;
}

QString stringByStandardizingPath(const QString& path)
{
    if (path.isEmpty())
        return path;
    return QDir::cleanPath(stringByExpandingTildeInPath(path));
}

bool isEqualToPath(const QString& path, const QString& other)
{
    return pathComponents(stringByStandardizingPath(path)) == pathComponents(stringByStandardizingPath(other));
}

bool isSubpathOfString(const QString& path, const QString& other)
{
    const QStringList mine = pathComponents(stringByStandardizingPath(path));
    const QStringList theirs = pathComponents(stringByStandardizingPath(other));
    if (mine.isEmpty() || mine.size() > theirs.size())
        return false;
    for (qsizetype i = 0; i < mine.size(); ++i) {
        if (mine[i] != theirs[i])
            return false;
    }
    return true;
}

// Case-insensitive comparison in which runs of digits compare by their numeric value.
int compareNumericCaseInsensitive(const QString& a, const QString& b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype ei = i, ej = j;
            while (ei < a.size() && a[ei].isDigit())
                ++ei;
            while (ej < b.size() && b[ej].isDigit())
                ++ej;
            // Leading zeros carry no value.
            qsizetype si = i, sj = j;
            while (si + 1 < ei && a[si].digitValue() == 0)
                ++si;
            while (sj + 1 < ej && b[sj].digitValue() == 0)
                ++sj;
            if (ei - si != ej - sj)
                return ei - si < ej - sj ? -1 : 1;
            for (qsizetype k = 0; k < ei - si; ++k) {
                const int da = a[si + k].digitValue(), db = b[sj + k].digitValue();
                if (da != db)
                    return da < db ? -1 : 1;
            }
            i = ei;
            j = ej;
            continue;
        }
        const char16_t ca = a[i].toCaseFolded().unicode();
        const char16_t cb = b[j].toCaseFolded().unicode();
        if (ca != cb)
            return ca < cb ? -1 : 1;
        ++i;
        ++j;
    }
    const qsizetype restA = a.size() - i, restB = b.size() - j;
    if (restA == restB)
        return 0;
    return restA < restB ? -1 : 1;
}

int comparePathsForDisplay(const QString& path, const QString& other)
{
    const QStringList mine = pathComponents(stringByStandardizingPath(path));
    const QStringList theirs = pathComponents(stringByStandardizingPath(other));
    const qsizetype shared = std::min(mine.size(), theirs.size());
    for (qsizetype i = 0; i < shared; ++i) {
        if (const int order = compareNumericCaseInsensitive(mine[i], theirs[i]))
            return order;
    }
    if (mine.size() == theirs.size())
        return 0;
    return mine.size() < theirs.size() ? -1 : 1;
}

std::optional<QString> absolutePathFromBaseDirPath(const QString& path, const QString& baseDir)
{
    if (path.startsWith(QLatin1Char('~')))
        return stringByExpandingTildeInPath(path);
    if (path.startsWith(QLatin1Char('/')))
        return path;
    QStringList result = pathComponents(stringByExpandingTildeInPath(baseDir));
    if (path.startsWith(QLatin1Char('.'))) {
        for (const QString& component : pathComponents(path)) {
            if (component == QLatin1String("."))
                continue;
            if (component == QLatin1String("..")) {
                if (result.size() <= 1)
                    return std::nullopt; // would climb above the root
                result.removeLast();
                continue;
            }
            result.append(component);
        }
        return joinPathComponents(result);
    }
    result.append(pathComponents(path));
    return joinPathComponents(result);
}

QString stringWithTagNameCase(const QString& string)
{
    if (kit::UserDefaults::standard().boolValue(KELShouldCapitalizeTagsKey))
        return string.toUpper();
    return string.toLower();
}

QString stringByEncodingURLForInsert(const QString& string)
{
    // Characters that may stand in a URL as they are; the rest is escaped.
    static const QByteArray legal = QByteArrayLiteral("!#$&'()*+,/:;=?@");
    QString escaped = QString::fromLatin1(QUrl::toPercentEncoding(string, legal));
    escaped.replace(QLatin1Char('\''), QLatin1String("%27"));
    escaped.replace(QLatin1Char('&'), QLatin1String("%26"));
    return escaped;
}

static std::optional<QString> unescape(const QString& text, kit::StringEncoding encoding)
{
    // Anything left unescaped must be plain ASCII for the bytes to make sense.
    for (QChar c : text) {
        if (c.unicode() > 0x7f)
            return std::nullopt;
    }
    return kit::decodeString(QByteArray::fromPercentEncoding(text.toLatin1()), encoding);
}

QHash<QString, QString> queryDictionaryUsingEncoding(const QString& query, kit::StringEncoding encoding)
{
    QHash<QString, QString> result;
    static const QRegularExpression separators(QStringLiteral("[&;]+"));
    for (const QString& piece : query.split(separators, Qt::SkipEmptyParts)) {
        const QStringList parts = piece.split(QLatin1Char('='));
        if (parts.size() != 2)
            continue;
        const std::optional<QString> key = unescape(parts[0], encoding);
        const std::optional<QString> value = unescape(parts[1], encoding);
        if (!key || !value)
            continue;
        result.insert(*key, *value);
    }
    return result;
}

QString stringBySuppressingWhitespace(const QString& string)
{
    QString result = string;
    for (QChar& c : result) {
        if (c.isSpace())
            c = QLatin1Char(' ');
    }
    return result;
}

bool containsString(const QString& receiver, const QString& string, qsizetype index)
{
    if (string.isNull() || index < 0 || index > receiver.size() || string.size() > receiver.size() - index)
        return false;
    return QStringView(receiver).mid(index, string.size()) == string;
}

// The end of the line that starts at start, its line break included.
static qsizetype lineEnd(const QString& text, qsizetype start)
{
    for (qsizetype i = start; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\r')
            return (i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) ? i + 2 : i + 1;
        if (c == u'\n' || c == 0x2028 || c == 0x2029 || c == 0x85)
            return i + 1;
    }
    return text.size();
}

static bool isLineBreak(char16_t c)
{
    return c == u'\n' || c == u'\r' || c == 0x2028 || c == 0x2029 || c == 0x85;
}

kit::Range rangeForLineNumber(const QString& text, qsizetype lineNumber)
{
    if (lineNumber < 1)
        return kit::Range(kit::NotFound, 0);
    qsizetype start = 0;
    qsizetype line = 1;
    while (start < text.size()) {
        const qsizetype end = lineEnd(text, start);
        if (line == lineNumber)
            return kit::Range(start, end - start);
        start = end;
        ++line;
    }
    return kit::Range(kit::NotFound, 0);
}

qsizetype baseIndentLevelAtIndex(const QString& text, qsizetype index)
{
    const QString unit = UtilityFunctions::indentSpacerSpring();
    if (index < 0 || index >= text.size() || unit.isEmpty())
        return 0;
    qsizetype start = index;
    while (start > 0 && !isLineBreak(text[start - 1].unicode()))
        --start;
    qsizetype level = 0;
    for (qsizetype at = start; at < index && containsString(text, unit, at); at += unit.size())
        ++level;
    return level;
}

QString indentedStringWithBaseIndentLevel(const QString& text, qsizetype level)
{
    if (text.isEmpty() || level <= 0)
        return text;
    const QString prefix = UtilityFunctions::indentSpacerSpring().repeated(level);
    QString result;
    result.reserve(text.size() + prefix.size() * 4);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        result.append(c);
        if (!isLineBreak(c.unicode()))
            continue;
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) {
            result.append(text[++i]);
        }
        result.append(prefix);
    }
    return result;
}
