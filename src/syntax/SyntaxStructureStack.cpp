#include "syntax/SyntaxStructureStack.h"

SyntaxStructureStack::SyntaxStructureStack(const QString& string)
{
    if (!string.isEmpty())
        m_stack = string.split(QLatin1Char('.'));
}

QString SyntaxStructureStack::stackString() const
{
    if (m_stack.isEmpty())
        return QString();
    return m_stack.join(QLatin1Char('.'));
}

QString SyntaxStructureStack::popStructureName()
{
    if (m_stack.isEmpty())
        return QString();
    return m_stack.takeLast();
}
