#pragma once
// An outline item made from a brace of a C-like language; marks braces that fold.

#include "syntax/KELDocumentStructureItem.h"

class KELDocumentStructureBraceItem : public KELDocumentStructureItem
{
public:
    using KELDocumentStructureItem::KELDocumentStructureItem;
};
