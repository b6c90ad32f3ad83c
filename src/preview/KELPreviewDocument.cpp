#include "preview/KELPreviewDocument.h"

#include "preview/KELPreviewSite.h"
#include "support/StringAdditions.h"

#include <QRandomGenerator>

namespace {
QList<KELPreviewDocument*>& liveDocuments()
{
    static QList<KELPreviewDocument*> list;
    return list;
}
// 128 random bits from the system's source, as 32 hexadecimal digits: a page in
// the preview cannot find another document's token by counting or guessing.
QString newToken()
{
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    QString token;
    for (quint32 w : words)
        token += QStringLiteral("%1").arg(w, 8, 16, QLatin1Char('0'));
    return token;
}
KELPreviewDocument::ProjectDirectoryLookup& projectLookup()
{
    static KELPreviewDocument::ProjectDirectoryLookup lookup;
    return lookup;
}
} // namespace

KELPreviewDocument::KELPreviewDocument()
    : m_token(newToken())
{
    liveDocuments().append(this);
}

KELPreviewDocument::~KELPreviewDocument()
{
    liveDocuments().removeAll(this);
    previewDocumentDidClose();
}

QString KELPreviewDocument::previewTokenString() const { return m_token; }

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
    // A document opened through a link names the same file by another path.
    const QString real = KELPreviewSite::realPath(path);
    if (real.isEmpty())
        return nullptr;
    for (KELPreviewDocument* document : liveDocuments()) {
        const QString own = document->previewFilePath();
        if (!own.isEmpty() && KELPreviewSite::realPath(own) == real)
            return document;
    }
    return nullptr;
}

KELPreviewDocument* KELPreviewDocument::documentForToken(const QString& token)
{
    if (token.size() != 32)
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
