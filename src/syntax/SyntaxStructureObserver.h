#pragma once
// Receives the structures a colouring pass clears and finds (usually the
// document's structure outline). "typeStart" and "typeEnd" mark the ends of a
// nested language's text.

#include "kit/Types.h"
#include "syntax/SyntaxText.h"

#include <QString>

class SyntaxStructureObserver
{
public:
    virtual ~SyntaxStructureObserver() = default;
    virtual void clearedSyntaxStructuresOfType(const QString& typeName, const SyntaxText& text, kit::Range range) = 0;
    virtual void foundSyntaxStructure(
        const QString& structureName, const QString& typeName, const SyntaxText& text, kit::Range range)
        = 0;
};
