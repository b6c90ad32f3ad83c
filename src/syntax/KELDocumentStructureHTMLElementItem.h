#pragma once
// An outline item made from an HTML tag.

#include "syntax/KELDocumentStructureItem.h"

class KELDocumentStructureHTMLElementItem : public KELDocumentStructureItem
{
public:
    using KELDocumentStructureItem::KELDocumentStructureItem;
    const QString& elementName() const { return m_elementName; }
    void setElementName(const QString& n) { m_elementName = n; }

private:
    QString m_elementName;
};
