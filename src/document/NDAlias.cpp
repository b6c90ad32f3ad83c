#include "document/NDAlias.h"

#include <QFileInfo>

std::optional<NDAlias> NDAlias::aliasWithPath(const QString& path, const QString&)
{
    std::optional<kit::FileReference> ref = kit::FileReference::fromPath(path);
    if (!ref)
        return std::nullopt;
    NDAlias alias;
    alias.m_ref = std::move(*ref);
    return alias;
}

std::optional<NDAlias> NDAlias::aliasWithURL(const QUrl& url, const QUrl& fromURL)
{
    if (!url.isLocalFile())
        return std::nullopt;
    return aliasWithPath(url.toLocalFile(), fromURL.isLocalFile() ? fromURL.toLocalFile() : QString());
}

std::optional<NDAlias> NDAlias::aliasWithData(const QByteArray& data)
{
    std::optional<kit::FileReference> ref = kit::FileReference::fromData(data);
    if (!ref)
        return std::nullopt;
    NDAlias alias;
    alias.m_ref = std::move(*ref);
    return alias;
}

QString NDAlias::path() const
{
    return m_ref.resolvedPath();
}

QUrl NDAlias::url() const
{
    const QString resolved = path();
    return resolved.isEmpty() ? QUrl() : QUrl::fromLocalFile(resolved);
}

QString NDAlias::displayName() const
{
    const QString resolved = path();
    return resolved.isEmpty() ? QString() : QFileInfo(resolved).fileName();
}

bool NDAlias::setPath(const QString& path, const QString&)
{
    return m_ref.setPath(path);
}

bool NDAlias::setURL(const QUrl& url, const QUrl&)
{
    return url.isLocalFile() && m_ref.setPath(url.toLocalFile());
}

void NDAlias::setAllowUserInteraction(bool allow)
{
    if (allow)
        m_mountFlags &= ~MountFlagNoUserInteraction;
    else
        m_mountFlags |= MountFlagNoUserInteraction;
}

void NDAlias::setTryFileIDFirst(bool flag)
{
    if (flag)
        m_mountFlags |= MountFlagTryFileIDFirst;
    else
        m_mountFlags &= ~MountFlagTryFileIDFirst;
    m_ref.setTryFileIDFirst(flag);
}

bool NDAlias::isEqualToAlias(const NDAlias& other) const
{
    return m_ref.isSameItem(other.m_ref);
}
