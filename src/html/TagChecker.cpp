#include "html/TagChecker.h"

#include "html/KELHTML4TagChecker.h"
#include "html/KELHTML5TagChecker.h"
#include "html/TagTableReader.h"
#include "html/VocabularyServices.h"
#include "kit/Resources.h"

TagChecker& TagChecker::currentTagChecker()
{
    if (showHTML5Completions())
        return KELHTML5TagChecker::sharedInstance();
    return KELHTML4TagChecker::sharedInstance();
}

TagChecker::TagChecker(const QStringList& tablePaths)
{
    TagTableReader reader(*this);
    for (const QString& path : tablePaths)
        reader.readFile(path);
    reader.finish();
}

const Tag* TagChecker::tag(const QString& name) const
{
    const auto found = m_tags.constFind(name);
    return found == m_tags.constEnd() ? nullptr : found->get();
}

std::shared_ptr<const Tag> TagChecker::sharedTag(const QString& name) const
{
    return m_tags.value(name);
}

QStringList TagChecker::resourceTablePaths(const QStringList& fileNames)
{
    QStringList paths;
    for (const QString& name : fileNames)
        paths.append(kit::resourcesPath() + QLatin1Char('/') + name);
    return paths;
}
