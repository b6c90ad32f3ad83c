#include "preview/KELPreviewDocument.h"

#include "support/StringAdditions.h"

namespace {
QList<KELPreviewDocument*>& liveDocuments()
{
    static QList<KELPreviewDocument*> list;
    return list;
}
quint64 s_nextToken = 1;
KELPreviewDocument::ProjectDirectoryLookup& projectLookup()
{
    static KELPreviewDocument::ProjectDirectoryLookup lookup;
    return lookup;
}
} // namespace

KELPreviewDocument::KELPreviewDocument()
    : m_token(s_nextToken++)
{
    liveDocuments().append(this);
}

KELPreviewDocument::~KELPreviewDocument()
{
    liveDocuments().removeAll(this);
    previewDocumentDidClose();
}

QString KELPreviewDocument::previewTokenString() const { return QStringLiteral("0x") + QString::number(m_token, 16); }

quint64 KELPreviewDocument::tokenFromString(const QString& text)
{
    QString digits = text.trimmed();
    if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        digits = digits.mid(2);
    bool ok = false;
    const quint64 value = digits.toULongLong(&ok, 16);
    return ok ? value : 0;
}

QList<KELPreviewDocument*> KELPreviewDocument::documents() { return liveDocuments(); }

KELPreviewDocument* KELPreviewDocument::documentForPath(const QString& path)
{
    if (path.isEmpty())
        return nullptr;
    const QString wanted = stringByStandardizingPath(path);
    for (KELPreviewDocument* document : liveDocuments()) {
        const QString own = document->previewFilePath();
        if (!own.isEmpty() && stringByStandardizingPath(own) == wanted)
            return document;
    }
    return nullptr;
}

KELPreviewDocument* KELPreviewDocument::documentForToken(quint64 token)
{
    if (token == 0)
        return nullptr;
    for (KELPreviewDocument* document : liveDocuments()) {
        if (document->m_token == token)
            return document;
    }
    return nullptr;
}

void KELPreviewDocument::setProjectDirectoryLookup(ProjectDirectoryLookup lookup)
{
    projectLookup() = std::move(lookup);
}

QString KELPreviewDocument::projectDirectoryContainingPath(const QString& path)
{
    return projectLookup() ? projectLookup()(path) : QString();
}

quint64 KELPreviewDocument::addCloseObserver(std::function<void()> observer)
{
    const quint64 id = m_nextObserverId++;
    m_closeObservers.append({ id, std::move(observer) });
    return id;
}

void KELPreviewDocument::removeCloseObserver(quint64 id)
{
    for (qsizetype i = 0; i < m_closeObservers.size(); ++i) {
        if (m_closeObservers[i].first == id) {
            m_closeObservers.removeAt(i);
            return;
        }
    }
}

void KELPreviewDocument::previewDocumentDidClose()
{
    // An observer usually removes itself while being told.
    while (!m_closeObservers.isEmpty()) {
        auto observer = m_closeObservers.takeFirst();
        if (observer.second)
            observer.second();
    }
}

KELPreviewDocumentAdapter::KELPreviewDocumentAdapter(const void* document, Functions functions)
    : m_object(document)
    , m_functions(std::move(functions))
{
}
