#include "support/KELXMLDocument.h"

#include "kit/Log.h"

#include <QFile>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <limits>

std::shared_ptr<_xmlDoc> KELXMLDocument::parse(const QByteArray& data, const QString& baseUrl, const char* encoding)
{
    static const bool initialised = [] {
        xmlInitParser();
        return true;
    }();
    Q_UNUSED(initialised);
    if (data.isEmpty() || data.size() > std::numeric_limits<int>::max())
        return nullptr;
    // Never reach the network, never load a DTD or an external entity: data files
    // may come from outside the application.
    const int options = XML_PARSE_NONET;
    const QByteArray url = baseUrl.toUtf8();
    xmlDocPtr doc = xmlReadMemory(data.constData(), int(data.size()), url.isEmpty() ? nullptr : url.constData(),
                                  encoding, options);
    if (!doc)
        return nullptr;
    return std::shared_ptr<_xmlDoc>(doc, xmlFreeDoc);
}

std::optional<KELXMLDocument> KELXMLDocument::fromPath(const QString& path)
{
    QFile file(path);
    std::shared_ptr<_xmlDoc> doc;
    if (file.open(QIODevice::ReadOnly))
        doc = parse(file.readAll(), path, nullptr);
    if (!doc) {
        kit::log(QStringLiteral("File could not be parsed: %1").arg(path));
        return std::nullopt;
    }
    return KELXMLDocument(std::move(doc));
}

std::optional<KELXMLDocument> KELXMLDocument::fromContents(const QString& contents)
{
    // The bytes are UTF-8 whatever the text's own declaration says.
    std::shared_ptr<_xmlDoc> doc = parse(contents.toUtf8(), QString(), "UTF-8");
    if (!doc) {
        kit::log(QStringLiteral("XML contents could not be parsed"));
        return std::nullopt;
    }
    return KELXMLDocument(std::move(doc));
}

std::optional<KELXMLNode> KELXMLDocument::rootNode() const
{
    xmlNodePtr root = xmlDocGetRootElement(m_doc.get());
    if (!root)
        return std::nullopt;
    return KELXMLNode(m_doc, root);
}
