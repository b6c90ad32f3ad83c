#include "checker/KELSyntaxCheckResult.h"

#include <algorithm>

int KELSyntaxCheckTypeResult::displayOrderForType(const QString& typeName)
{
    if (typeName == QLatin1String("PHP"))
        return 0;
    if (typeName == QLatin1String("HTML"))
        return 1;
    if (typeName == QLatin1String("CSS"))
        return 2;
    if (typeName == QLatin1String("JavaScript"))
        return 3;
    return 4;
}

int KELSyntaxCheckTypeResult::compareForDisplay(const KELSyntaxCheckTypeResult& other) const
{
    const int a = displayOrderForType(m_typeName);
    const int b = displayOrderForType(other.m_typeName);
    return a == b ? 0 : (a < b ? -1 : 1);
}

QList<KELSyntaxCheckError> KELSyntaxCheckTypeResult::errorsWithLevel(qint32 level) const
{
    QList<KELSyntaxCheckError> out;
    for (const KELSyntaxCheckError& e : m_errors)
        if (e.level() == level)
            out.append(e);
    return out;
}

void KELSyntaxCheckResult::establishType(const QString& typeName, bool usesGeneratedSourceText)
{
    auto it = m_typeResults.find(typeName);
    if (it == m_typeResults.end())
        it = m_typeResults.insert(typeName, KELSyntaxCheckTypeResult(typeName));
    it->setUsesGeneratedSourceText(usesGeneratedSourceText);
}

void KELSyntaxCheckResult::addErrors(const QList<KELSyntaxCheckError>& errors, const QString& typeName)
{
    auto it = m_typeResults.find(typeName);
    if (it == m_typeResults.end())
        it = m_typeResults.insert(typeName, KELSyntaxCheckTypeResult(typeName));
    it->addErrors(errors);
}

void KELSyntaxCheckResult::addError(const KELSyntaxCheckError& error, const QString& typeName)
{
    addErrors({ error }, typeName);
}

QList<const KELSyntaxCheckTypeResult*> KELSyntaxCheckResult::orderedPointers() const
{
    QList<const KELSyntaxCheckTypeResult*> list;
    for (const KELSyntaxCheckTypeResult& r : m_typeResults)
        list.append(&r);
    std::stable_sort(list.begin(), list.end(),
        [](const KELSyntaxCheckTypeResult* a, const KELSyntaxCheckTypeResult* b) { return a->compareForDisplay(*b) < 0; });
    return list;
}

QList<KELSyntaxCheckTypeResult> KELSyntaxCheckResult::orderedTypeResults() const
{
    QList<KELSyntaxCheckTypeResult> list;
    for (const KELSyntaxCheckTypeResult* r : orderedPointers())
        list.append(*r);
    return list;
}

const KELSyntaxCheckTypeResult* KELSyntaxCheckResult::typeResultForType(const QString& typeName) const
{
    auto it = m_typeResults.constFind(typeName);
    return it == m_typeResults.constEnd() ? nullptr : &*it;
}

KELSyntaxCheckTypeResult* KELSyntaxCheckResult::typeResultForType(const QString& typeName)
{
    auto it = m_typeResults.find(typeName);
    return it == m_typeResults.end() ? nullptr : &*it;
}

QList<KELSyntaxCheckError> KELSyntaxCheckResult::errorsFromSourceText(bool generated) const
{
    QList<KELSyntaxCheckError> out;
    for (const KELSyntaxCheckTypeResult* r : orderedPointers())
        if (r->usesGeneratedSourceText() == generated)
            out += r->errors();
    return out;
}

void KELSyntaxCheckResult::populateLocations(const QString& documentText)
{
    for (bool generated : { false, true }) {
        QList<KELSyntaxCheckError*> errors;
        for (const KELSyntaxCheckTypeResult* r : orderedPointers()) {
            if (r->usesGeneratedSourceText() != generated)
                continue;
            for (KELSyntaxCheckError& e : m_typeResults[r->typeName()].mutableErrors())
                errors.append(&e);
        }
        KELSyntaxCheckError::populateLocationsOfErrors(errors, generated ? m_generatedSourceText.value_or(QString()) : documentText);
    }
}
