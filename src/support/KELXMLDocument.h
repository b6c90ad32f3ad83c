#pragma once
// A parsed XML data file, read-only. Nodes handed out share ownership of the
// parsed tree, so they stay valid after the document object is gone.

#include "support/KELXMLNode.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

class KELXMLDocument {
public:
    /// Parses a file; nullopt (and a log line) when it cannot be read or parsed.
    static std::optional<KELXMLDocument> fromPath(const QString& path);
    /// Parses text; nullopt (and a log line) when it is not well-formed XML.
    static std::optional<KELXMLDocument> fromContents(const QString& contents);

    /// The root element; nullopt for a document without one.
    std::optional<KELXMLNode> rootNode() const;

private:
    explicit KELXMLDocument(std::shared_ptr<_xmlDoc> doc) : m_doc(std::move(doc)) {}
    static std::shared_ptr<_xmlDoc> parse(const QByteArray& data, const QString& baseUrl, const char* encoding);

    std::shared_ptr<_xmlDoc> m_doc;
};
