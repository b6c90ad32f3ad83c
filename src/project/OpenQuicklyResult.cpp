#include "project/OpenQuicklyResult.h"

bool OpenQuicklyResult::compareDocumentsForOpenQuickly(const DocumentContents& a, const DocumentContents& b)
{
    const QUrl urlA = a.fileURL();
    const QUrl urlB = b.fileURL();
    const bool hasA = !urlA.isEmpty();
    const bool hasB = !urlB.isEmpty();
    if (hasA && hasB)
        return urlA.path().compare(urlB.path(), Qt::CaseInsensitive) < 0;
    if (!hasA && !hasB)
        return a.displayName().compare(b.displayName(), Qt::CaseInsensitive) < 0;
    return !hasA;
}
