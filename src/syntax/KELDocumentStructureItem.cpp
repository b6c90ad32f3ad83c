#include "syntax/KELDocumentStructureItem.h"

#include <QFileInfo>

namespace {
KELDocumentStructureItem::ProjectDirectoryResolver& projectResolver()
{
    static KELDocumentStructureItem::ProjectDirectoryResolver resolver;
    return resolver;
}
} // namespace

KELDocumentStructureItem::KELDocumentStructureItem(const QString& typeName)
    : m_typeName(typeName)
{
}

KELDocumentStructureItem::~KELDocumentStructureItem() = default;

void KELDocumentStructureItem::setProjectDirectoryResolver(ProjectDirectoryResolver resolver)
{
    projectResolver() = std::move(resolver);
}

QUrl KELDocumentStructureItem::linkedURLWithBase(const QUrl& base) const
{
    const QUrl relative(m_linkedPath);
    const QUrl url = base.isEmpty() ? relative : base.resolved(relative);
    if (m_linkedPath.startsWith(QLatin1Char('/')) && url.isLocalFile() && !QFileInfo::exists(url.toLocalFile())
        && projectResolver()) {
        const QString directory = projectResolver()(base.isLocalFile() ? base.toLocalFile() : base.path());
        if (!directory.isEmpty()) {
            const QString candidate = directory + m_linkedPath;
            if (QFileInfo::exists(candidate))
                return QUrl::fromLocalFile(candidate);
        }
    }
    return url;
}
