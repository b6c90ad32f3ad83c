#pragma once
// One tag as read from a text: its name, its attributes with their values in text
// order, whether it closes or closes itself, and where it stands.

#include "kit/Types.h"

#include <QString>
#include <QStringList>
#include <optional>

class TagInstance {
public:
    TagInstance() = default;

    const QString& name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    /// Where the name stands; location NotFound until set.
    kit::Range nameRange() const { return m_nameRange; }
    void setNameRange(kit::Range range) { m_nameRange = range; }
    bool isCloseTag() const { return m_isCloseTag; }
    void setIsCloseTag(bool flag) { m_isCloseTag = flag; }
    /// A tag written with "/" before its ">".
    bool isXHTMLCloseTag() const { return m_isXHTMLCloseTag; }
    void setIsXHTMLCloseTag(bool flag) { m_isXHTMLCloseTag = flag; }
    /// The whole tag, "<" to ">" inclusive.
    kit::Range location() const { return m_location; }
    void setLocation(kit::Range range) { m_location = range; }
    /// The tag paired with this one; not owned, never followed after its tree is gone.
    TagInstance* matchingTag() const { return m_matchingTag; }
    void setMatchingTag(TagInstance* tag) { m_matchingTag = tag; }

    /// Attribute names as written, in text order; a name may occur more than once.
    const QStringList& attributes() const { return m_attributes; }
    /// The value of each attribute, at the same index.
    const QStringList& values() const { return m_values; }
    void setAttributes(const QStringList& names) { m_attributes = names; }
    void setValues(const QStringList& values) { m_values = values; }
    void addAttribute(const QString& name, const QString& value);

    /// The value of the first attribute named so, ignoring case; nothing for a null
    /// name or when no attribute with a value matches.
    std::optional<QString> valueForAttribute(const QString& name) const;

    /// "name: ...\nattributes: ...\nvalues: ..." for logs.
    QString description() const;

private:
    QString m_name;
    kit::Range m_nameRange { kit::NotFound, 0 };
    QStringList m_attributes;
    QStringList m_values;
    bool m_isCloseTag = false;
    bool m_isXHTMLCloseTag = false;
    kit::Range m_location { 0, 0 };
    TagInstance* m_matchingTag = nullptr;
};
