#pragma once
// One element definition of a vocabulary: its attributes in name order and the
// elements one of which must enclose it.

#include "html/TagAttribute.h"

#include <QList>
#include <QStringList>

class Tag {
public:
    Tag() = default;

    /// The attributes in ascending case-insensitive order of name.
    const QList<TagAttribute>& attributes() const { return m_attributes; }
    /// The definition of the named attribute (exact name), or null.
    const TagAttribute* attribute(const QString& name) const;

    /// Inserts at its place in name order, before an existing attribute of equal name.
    void addAttribute(const TagAttribute& attribute);
    void addAttribute(const QString& name, qint64 type);
    void addAttributes(const QStringList& names, qint64 type);
    void addCustomAttribute(const QString& name, const QStringList& values);
    void addCustomCombinationAttribute(const QString& name, const QStringList& values);

    /// Lower-case names of elements one of which must enclose this one; empty when any place will do.
    const QStringList& containedBy() const { return m_containedBy; }
    void setContainedBy(const QStringList& names) { m_containedBy = names; }

    /// The "Invalid Tag Nesting" message for an element of this definition; containedBy must not be empty.
    QString containedByErrorStringWithTagName(const QString& tagName) const;

private:
    friend class TagTableReader;
    QList<TagAttribute> m_attributes;
    QStringList m_containedBy;
};
