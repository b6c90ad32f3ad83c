#include "project/KELOpenWithApplication.h"

#include "project/KELOpenWithRegistry.h"
#include "support/StringAdditions.h"

#include <QRegularExpression>
#include <QFileInfo>

namespace {
// Digit runs compared by value, other characters one by one.
int compareVersions(const QString& a, const QString& b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype ei = i;
            qsizetype ej = j;
            while (ei < a.size() && a[ei].isDigit())
                ++ei;
            while (ej < b.size() && b[ej].isDigit())
                ++ej;
            const QString na = a.mid(i, ei - i).remove(QRegularExpression(QStringLiteral("^0+")));
            const QString nb = b.mid(j, ej - j).remove(QRegularExpression(QStringLiteral("^0+")));
            if (na.size() != nb.size())
                return na.size() < nb.size() ? -1 : 1;
            if (na != nb)
                return na < nb ? -1 : 1;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j] ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

QString applicationIdentifier(const QUrl& url)
{
    return url.isLocalFile() ? url.toLocalFile() : url.toString();
}
} // namespace

KELOpenWithApplication::KELOpenWithApplication(const QUrl& applicationURL) : m_applicationURL(applicationURL) {}

void KELOpenWithApplication::setApplicationURL(const QUrl& url)
{
    m_applicationURL = url;
    m_version.reset();
    m_name.reset();
}

QString KELOpenWithApplication::version() const
{
    if (!m_version)
        m_version = KELOpenWithRegistry::shared().versionOfApplication(applicationIdentifier(m_applicationURL));
    return *m_version;
}

QString KELOpenWithApplication::applicationName() const
{
    if (!m_name) {
        QString name = KELOpenWithRegistry::shared().nameOfApplication(applicationIdentifier(m_applicationURL));
        if (name.isEmpty())
            name = QFileInfo(m_applicationURL.path()).completeBaseName();
        m_name = name;
    }
    return *m_name;
}

QString KELOpenWithApplication::displayString() const
{
    const QString v = version();
    if (m_isVersionDisplayed && !v.isEmpty())
        return QStringLiteral("%1 (%2)").arg(applicationName(), v);
    return applicationName();
}

int KELOpenWithApplication::appLocation() const
{
    const QString path = m_applicationURL.path();
    const QString volumes = QStringLiteral("/Volumes");
    if (!isSubpathOfString(volumes, path))
        return 1;
    return pathComponents(path).contains(QStringLiteral("Backups.backupdb")) ? 3 : 2;
}

int KELOpenWithApplication::compareNameAndVersion(const KELOpenWithApplication& other) const
{
    const int names = applicationName().compare(other.applicationName(), Qt::CaseInsensitive);
    if (names != 0)
        return names < 0 ? -1 : 1;
    const QString mine = version();
    const QString theirs = other.version();
    if (!mine.isEmpty() && !theirs.isEmpty()) {
        // The higher version comes first.
        return compareVersions(theirs, mine);
    }
    if (!mine.isEmpty())
        return -1;
    if (!theirs.isEmpty())
        return 1;
    return 0;
}

int KELOpenWithApplication::compare(const KELOpenWithApplication& other) const
{
    const int order = compareNameAndVersion(other);
    if (order != 0)
        return order;
    const int a = appLocation();
    const int b = other.appLocation();
    return a < b ? -1 : (a > b ? 1 : 0);
}
