#include "syntax/KELDocumentStructureSegment.h"

#include "syntax/KELDocumentStructure.h"

KELDocumentStructureSegment::KELDocumentStructureSegment(
    KELDocumentStructure* structure, KELDocumentStructureItemRef openItem, qsizetype contentsLocation)
    : m_structure(structure)
    , m_openItem(std::move(openItem))
    , m_contentsLocation(contentsLocation)
{
}

KELDocumentStructureSegment::~KELDocumentStructureSegment() = default;

kit::Range KELDocumentStructureSegment::contentsRange() const
{
    if (m_contentsRange.location != kit::NotFound)
        return m_contentsRange;
    if (m_structure && m_openItem) {
        const KELDocumentStructureSegmentRef found = m_structure->structureSegmentForOpenItem(m_openItem);
        if (found && found->m_contentsRange.location != kit::NotFound) {
            m_contentsRange = found->m_contentsRange;
            return m_contentsRange;
        }
    }
    return kit::Range(m_contentsLocation, 0);
}

int KELDocumentStructureSegment::compareByLocation(const KELDocumentStructureSegment& other) const
{
    if (m_contentsLocation < other.m_contentsLocation)
        return -1;
    return m_contentsLocation > other.m_contentsLocation ? 1 : 0;
}
