#pragma once
// Marks where the text of a nested language starts or ends.

#include "syntax/KELDocumentStructureItem.h"

class KELDocumentStructureSubtypeItem : public KELDocumentStructureItem
{
public:
    using KELDocumentStructureItem::KELDocumentStructureItem;
};
