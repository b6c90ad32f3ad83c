#include "html/KELHTML4TagChecker.h"

QStringList KELHTML4TagChecker::tableFileNames()
{
    return { QStringLiteral("HTML4Tags.txt") };
}

KELHTML4TagChecker::KELHTML4TagChecker()
    : TagChecker(resourceTablePaths(tableFileNames()))
{
}

KELHTML4TagChecker& KELHTML4TagChecker::sharedInstance()
{
    static KELHTML4TagChecker instance;
    return instance;
}
