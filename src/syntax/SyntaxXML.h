#pragma once
// A small read-only view of an XML file for the syntax definition readers.
// Child lists leave out whitespace-only text and comments, so layout and
// comments between elements never count as children.

#include <QList>
#include <QString>
#include <memory>

struct _xmlDoc;
struct _xmlNode;

class SyntaxXMLNode
{
public:
    SyntaxXMLNode() = default;
    explicit SyntaxXMLNode(_xmlNode* node)
        : m_node(node)
    {
    }

    bool isNull() const { return m_node == nullptr; }
    bool isElement() const;
    bool isText() const;

    /// The element's name; empty for text nodes.
    QString nodeName() const;
    /// The attribute's value; a null string when the element has no such attribute.
    QString valueForAttribute(const char* name) const;
    bool hasAttribute(const char* name) const;
    /// Children in document order without whitespace-only text and comments.
    QList<SyntaxXMLNode> childNodes() const;
    /// The first child (in the sense of childNodes()) or a null node.
    SyntaxXMLNode firstChild() const;
    /// The text of the node with entities replaced; null when there is none.
    QString contents() const;

private:
    _xmlNode* m_node = nullptr;
};

class SyntaxXMLDocument
{
public:
    /// Parses the file without network access or external entities. Check
    /// isValid(); errorString() tells why it could not be read.
    explicit SyntaxXMLDocument(const QString& path);
    ~SyntaxXMLDocument();
    SyntaxXMLDocument(const SyntaxXMLDocument&) = delete;
    SyntaxXMLDocument& operator=(const SyntaxXMLDocument&) = delete;

    bool isValid() const { return m_doc != nullptr; }
    QString errorString() const { return m_error; }
    SyntaxXMLNode rootNode() const;

private:
    _xmlDoc* m_doc = nullptr;
    QString m_error;
};
