#include "support/KELXMLNode.h"

#include <libxml/tree.h>

namespace {

// Takes a string libxml2 allocated and frees it.
std::optional<QString> takeString(xmlChar* text)
{
    if (!text)
        return std::nullopt;
    QString result = QString::fromUtf8(reinterpret_cast<const char*>(text));
    xmlFree(text);
    return result;
}

} // namespace

QString KELXMLNode::nodeName() const
{
    return m_node->name ? QString::fromUtf8(reinterpret_cast<const char*>(m_node->name)) : QString();
}

bool KELXMLNode::isTextNode() const
{
    return xmlNodeIsText(m_node);
}

std::optional<QString> KELXMLNode::valueForAttribute(const QString& name) const
{
    if (m_node->type != XML_ELEMENT_NODE)
        return std::nullopt;
    const QByteArray key = name.toUtf8();
    return takeString(xmlGetProp(m_node, reinterpret_cast<const xmlChar*>(key.constData())));
}

std::optional<QString> KELXMLNode::contents() const
{
    if (xmlNodeIsText(m_node) || m_node->type == XML_CDATA_SECTION_NODE)
        return takeString(xmlNodeGetContent(m_node));
    if (!m_node->children)
        return std::nullopt;
    return takeString(xmlNodeListGetString(m_doc.get(), m_node->children, 1));
}

QList<KELXMLNode> KELXMLNode::children(bool includeBlank) const
{
    QList<KELXMLNode> result;
    if (m_node->type == XML_ENTITY_REF_NODE)
        return result; // its children belong to the entity declaration, shared by every reference
    for (xmlNodePtr child = m_node->children; child; child = child->next) {
        if (child->type == XML_COMMENT_NODE)
            continue;
        if (!includeBlank && xmlIsBlankNode(child))
            continue;
        result.append(KELXMLNode(m_doc, child));
    }
    return result;
}

QList<KELXMLNode> KELXMLNode::childNodes() const
{
    return children(false);
}

QList<KELXMLNode> KELXMLNode::childNodesIncludingBlank() const
{
    return children(true);
}

std::optional<KELXMLNode> KELXMLNode::childNodeWithName(const QString& name) const
{
    for (const KELXMLNode& child : childNodes()) {
        if (child.nodeName() == name)
            return child;
    }
    return std::nullopt;
}
