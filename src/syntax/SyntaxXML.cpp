#include "syntax/SyntaxXML.h"

#include <QFile>
#include <libxml/parser.h>
#include <libxml/tree.h>

bool SyntaxXMLNode::isElement() const { return m_node && m_node->type == XML_ELEMENT_NODE; }

bool SyntaxXMLNode::isText() const
{
    return m_node && (m_node->type == XML_TEXT_NODE || m_node->type == XML_CDATA_SECTION_NODE);
}

QString SyntaxXMLNode::nodeName() const
{
    if (!isElement() || !m_node->name)
        return QString();
    return QString::fromUtf8(reinterpret_cast<const char*>(m_node->name));
}

QString SyntaxXMLNode::valueForAttribute(const char* name) const
{
    if (!isElement())
        return QString();
    xmlChar* value = xmlGetProp(m_node, reinterpret_cast<const xmlChar*>(name));
    if (!value)
        return QString();
    QString result = QString::fromUtf8(reinterpret_cast<const char*>(value));
    if (result.isNull())
        result = QLatin1String("");
    xmlFree(value);
    return result;
}

bool SyntaxXMLNode::hasAttribute(const char* name) const
{
    return isElement() && xmlHasProp(m_node, reinterpret_cast<const xmlChar*>(name)) != nullptr;
}

static bool isIgnorable(xmlNode* n)
{
    if (n->type == XML_COMMENT_NODE || n->type == XML_PI_NODE)
        return true;
    if (n->type == XML_TEXT_NODE)
        return xmlIsBlankNode(n);
    return n->type != XML_ELEMENT_NODE && n->type != XML_CDATA_SECTION_NODE;
}

QList<SyntaxXMLNode> SyntaxXMLNode::childNodes() const
{
    QList<SyntaxXMLNode> result;
    if (!isElement())
        return result;
    for (xmlNode* c = m_node->children; c; c = c->next)
        if (!isIgnorable(c))
            result.append(SyntaxXMLNode(c));
    return result;
}

SyntaxXMLNode SyntaxXMLNode::firstChild() const
{
    if (!isElement())
        return SyntaxXMLNode();
    for (xmlNode* c = m_node->children; c; c = c->next)
        if (!isIgnorable(c))
            return SyntaxXMLNode(c);
    return SyntaxXMLNode();
}

QString SyntaxXMLNode::contents() const
{
    if (!m_node)
        return QString();
    xmlChar* text = xmlNodeGetContent(m_node);
    if (!text)
        return QString();
    QString result = QString::fromUtf8(reinterpret_cast<const char*>(text));
    xmlFree(text);
    if (result.isEmpty())
        return QString();
    return result;
}

namespace {
// libxml2 reports through a callback; keep the first message for the log line.
void collectError(void* ctx, xmlErrorPtr error)
{
    auto* out = static_cast<QString*>(ctx);
    if (out->isEmpty() && error && error->message)
        *out = QStringLiteral("line %1: %2").arg(error->line).arg(QString::fromUtf8(error->message).trimmed());
}
} // namespace

SyntaxXMLDocument::SyntaxXMLDocument(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = file.errorString();
        return;
    }
    // Definitions are small; anything near the parser's int limit is not one.
    constexpr qint64 kMaxDefinitionSize = 64 * 1024 * 1024;
    if (file.size() > kMaxDefinitionSize) {
        m_error = QStringLiteral("file too large (%1 bytes)").arg(file.size());
        return;
    }
    const QByteArray data = file.readAll();
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    if (!ctxt) {
        m_error = QStringLiteral("out of memory");
        return;
    }
    // Collect the parser's messages for the log line; the handler that was
    // installed before is put back afterwards.
    const xmlStructuredErrorFunc previousHandler = xmlStructuredError;
    void* const previousContext = xmlStructuredErrorContext;
    xmlSetStructuredErrorFunc(&m_error, collectError);
    // No network, no external entities or DTD loading, no entity expansion beyond the built-in ones.
    const int options = XML_PARSE_NONET | XML_PARSE_NOCDATA | XML_PARSE_NOWARNING;
    m_doc = xmlCtxtReadMemory(ctxt, data.constData(), int(data.size()), path.toUtf8().constData(), nullptr, options);
    xmlFreeParserCtxt(ctxt);
    xmlSetStructuredErrorFunc(previousContext, previousHandler);
    if (!m_doc) {
        if (m_error.isEmpty())
            m_error = QStringLiteral("not well-formed XML");
        return;
    }
    if (!xmlDocGetRootElement(m_doc)) {
        xmlFreeDoc(m_doc);
        m_doc = nullptr;
        m_error = QStringLiteral("no root element");
    }
}

SyntaxXMLDocument::~SyntaxXMLDocument()
{
    if (m_doc)
        xmlFreeDoc(m_doc);
}

SyntaxXMLNode SyntaxXMLDocument::rootNode() const
{
    return m_doc ? SyntaxXMLNode(xmlDocGetRootElement(m_doc)) : SyntaxXMLNode();
}
