#pragma once
// One foldable region of a document: opened by one outline item, closed by
// another (or not within the scanned text).

#include "kit/Types.h"
#include "syntax/KELDocumentStructureItem.h"

#include <QPointer>
#include <memory>

class KELDocumentStructure;

class KELDocumentStructureSegment
{
public:
    KELDocumentStructureSegment(
        KELDocumentStructure* structure, KELDocumentStructureItemRef openItem, qsizetype contentsLocation);
    virtual ~KELDocumentStructureSegment();

    KELDocumentStructure* documentStructure() const { return m_structure; }
    const KELDocumentStructureItemRef& openItem() const { return m_openItem; }
    void setOpenItem(KELDocumentStructureItemRef item) { m_openItem = std::move(item); }
    /// Null when the region is not closed in the scanned text.
    const KELDocumentStructureItemRef& closeItem() const { return m_closeItem; }
    void setCloseItem(KELDocumentStructureItemRef item) { m_closeItem = std::move(item); }

    /// Where the foldable contents begin.
    qsizetype contentsLocation() const { return m_contentsLocation; }
    /// The foldable contents. While unknown, they are worked out from the open item
    /// (a scan to its closing item) and kept; (contentsLocation, 0) when that fails.
    kit::Range contentsRange() const;
    void setContentsRange(kit::Range range) { m_contentsRange = range; }
    /// The range as it stands, without completing it.
    kit::Range knownContentsRange() const { return m_contentsRange; }

    /// Ascending by contentsLocation: -1, 0 or 1.
    int compareByLocation(const KELDocumentStructureSegment& other) const;

private:
    QPointer<KELDocumentStructure> m_structure;
    KELDocumentStructureItemRef m_openItem;
    KELDocumentStructureItemRef m_closeItem;
    qsizetype m_contentsLocation = 0;
    mutable kit::Range m_contentsRange { kit::NotFound, 0 };
};

using KELDocumentStructureSegmentRef = std::shared_ptr<KELDocumentStructureSegment>;
