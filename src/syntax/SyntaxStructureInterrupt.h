#pragma once
// A structure that may interrupt another, and whether it may also nest in it.

#include <QString>

class SyntaxStructureInterrupt
{
public:
    SyntaxStructureInterrupt(QString structureName, bool canNest)
        : m_structureName(std::move(structureName))
        , m_canNest(canNest)
    {
    }
    const QString& structureName() const { return m_structureName; }
    bool canNest() const { return m_canNest; }

private:
    QString m_structureName;
    bool m_canNest = false;
};
