#include "html/KELHTML5TagChecker.h"

QStringList KELHTML5TagChecker::tableFileNames()
{
    return { QStringLiteral("HTML5Tags.txt"), QStringLiteral("HTML5TagsAdditions.txt") };
}

KELHTML5TagChecker::KELHTML5TagChecker()
    : TagChecker(resourceTablePaths(tableFileNames()))
{
}

KELHTML5TagChecker& KELHTML5TagChecker::sharedInstance()
{
    static KELHTML5TagChecker instance;
    return instance;
}
