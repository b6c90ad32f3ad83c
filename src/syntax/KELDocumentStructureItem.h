#pragma once
// One entry of a document's outline: a tag, a function, a selector, a bookmark
// comment. Items store their distance from the previous item rather than an
// absolute location, so an edit shifts one number instead of every later item.

#include "kit/Types.h"

#include <QString>
#include <QUrl>
#include <functional>
#include <memory>

class KELDocumentStructureItem
{
public:
    /// Flags of segmentType().
    enum SegmentFlag : qint32 { OpensSegment = 1, ClosesSegment = 2 };

    explicit KELDocumentStructureItem(const QString& typeName = QString());
    virtual ~KELDocumentStructureItem();
    KELDocumentStructureItem(const KELDocumentStructureItem&) = delete;
    KELDocumentStructureItem& operator=(const KELDocumentStructureItem&) = delete;

    static std::shared_ptr<KELDocumentStructureItem> itemWithTypeName(const QString& typeName)
    {
        return std::make_shared<KELDocumentStructureItem>(typeName);
    }

    qint32 segmentType() const { return m_segmentType; }
    void setSegmentType(qint32 t) { m_segmentType = t; }
    bool opensSegment() const { return m_segmentType & OpensSegment; }
    bool closesSegment() const { return m_segmentType & ClosesSegment; }

    const QString& name() const { return m_name; }
    void setName(const QString& n) { m_name = n; }
    const QString& typeName() const { return m_typeName; }
    void setTypeName(const QString& n) { m_typeName = n; }
    /// Path or URL the item refers to; null for content items.
    const QString& linkedPath() const { return m_linkedPath; }
    void setLinkedPath(const QString& p) { m_linkedPath = p; }
    /// Name of the navigator icon ("NavElement", "NavLink", ...); empty for none.
    const QString& imageName() const { return m_imageName; }
    void setImageName(const QString& n) { m_imageName = n; }

    qsizetype offsetFromPreviousItem() const { return m_offsetFromPreviousItem; }
    void setOffsetFromPreviousItem(qsizetype o) { m_offsetFromPreviousItem = o; }
    /// Length of the text range reported for the item.
    qsizetype length() const { return m_length; }
    void setLength(qsizetype l) { m_length = l; }
    /// The item's own extent (a tag, a function header, a comment).
    qsizetype docStructureLength() const { return m_docStructureLength; }
    void setDocStructureLength(qsizetype l) { m_docStructureLength = l; }
    /// Cached location; valid only through the structure's correct index.
    qsizetype absoluteLocation() const { return m_absoluteLocation; }
    void setAbsoluteLocation(qsizetype l) { m_absoluteLocation = l; }
    bool appearsInOutline() const { return m_appearsInOutline; }
    void setAppearsInOutline(bool v) { m_appearsInOutline = v; }

    /// What the navigator selects.
    virtual qsizetype selectionLength() const { return m_docStructureLength; }
    /// Where a fold's contents begin, counted from the item's location.
    virtual qsizetype preFoldLength() const { return m_docStructureLength; }

    /// linkedPath resolved against the base. A site-root path ("/...") that names no
    /// existing file is looked up in the folder of the project holding the base.
    QUrl linkedURLWithBase(const QUrl& base) const;
    /// How linkedURLWithBase() finds the project folder for a path (empty: none).
    using ProjectDirectoryResolver = std::function<QString(const QString& path)>;
    static void setProjectDirectoryResolver(ProjectDirectoryResolver resolver);

private:
    qint32 m_segmentType = 0;
    QString m_name;
    QString m_typeName;
    QString m_linkedPath;
    QString m_imageName;
    qsizetype m_offsetFromPreviousItem = 0;
    qsizetype m_length = 0;
    qsizetype m_docStructureLength = 0;
    qsizetype m_absoluteLocation = 0;
    bool m_appearsInOutline = true;
};

using KELDocumentStructureItemRef = std::shared_ptr<KELDocumentStructureItem>;
