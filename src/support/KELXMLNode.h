#pragma once
// One node of a parsed XML tree, for reading. A node keeps its tree alive.

#include <QList>
#include <QString>
#include <memory>
#include <optional>

struct _xmlDoc;
struct _xmlNode;

class KELXMLNode {
public:
    KELXMLNode(std::shared_ptr<_xmlDoc> doc, _xmlNode* node) : m_doc(std::move(doc)), m_node(node) {}

    /// The node's name ("text" for text nodes).
    QString nodeName() const;
    bool isTextNode() const;
    /// The attribute's value, entities resolved; nullopt when the element has no such attribute.
    std::optional<QString> valueForAttribute(const QString& name) const;
    /// A text or CDATA node's text; for other nodes, the text of their own text
    /// and entity children (not of child elements). nullopt when there is none.
    std::optional<QString> contents() const;
    /// The children in order, without comments and whitespace-only text.
    QList<KELXMLNode> childNodes() const;
    /// The children in order, without comments.
    QList<KELXMLNode> childNodesIncludingBlank() const;
    /// The first of childNodes() with that exact name.
    std::optional<KELXMLNode> childNodeWithName(const QString& name) const;

    _xmlNode* xmlNode() const { return m_node; }

private:
    QList<KELXMLNode> children(bool includeBlank) const;

    std::shared_ptr<_xmlDoc> m_doc;
    _xmlNode* m_node = nullptr;
};
