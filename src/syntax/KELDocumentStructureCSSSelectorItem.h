#pragma once
// An outline item made from a CSS selector; selects only the selector text.

#include "syntax/KELDocumentStructureItem.h"

class KELDocumentStructureCSSSelectorItem : public KELDocumentStructureItem
{
public:
    using KELDocumentStructureItem::KELDocumentStructureItem;
    qsizetype selectionLength() const override { return m_selectionLength; }
    void setSelectionLength(qsizetype l) { m_selectionLength = l; }

private:
    qsizetype m_selectionLength = 0;
};
