// libFuzzer target for the XML data-file reader: any bytes, read as UTF-8,
// go through KELXMLDocument::fromContents and the whole tree is walked with
// the node accessors.
#include "support/KELXMLDocument.h"
#include "support/KELXMLNode.h"

#include <QCoreApplication>

#include <libxml/xmlerror.h>

#include <cstddef>
#include <cstdint>
#include <vector>

static void ignoreXmlMessage(void*, const char*, ...) { }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "xml_reader_fuzz";
    static char* argv[] = { name, nullptr };
    static QCoreApplication app(argc, argv);
    // libxml2's own messages would flood the output; the readers report through their results.
    static const bool quiet = [] {
        xmlSetGenericErrorFunc(nullptr, ignoreXmlMessage);
        return true;
    }();
    (void)quiet;

    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    std::optional<KELXMLNode> root;
    {
        // The document object goes away first: nodes keep the tree alive.
        const std::optional<KELXMLDocument> doc = KELXMLDocument::fromContents(text);
        if (!doc)
            return 0;
        root = doc->rootNode();
    }
    if (!root)
        return 0;
    // Walk without recursion, as deep as the parser let the tree nest.
    std::vector<KELXMLNode> pending { *root };
    size_t visited = 0;
    while (!pending.empty() && visited < 100000) {
        const KELXMLNode node = pending.back();
        pending.pop_back();
        ++visited;
        (void)node.nodeName();
        (void)node.contents();
        (void)node.valueForAttribute(QStringLiteral("name"));
        (void)node.childNodeWithName(QStringLiteral("key"));
        (void)node.childNodesIncludingBlank();
        for (const KELXMLNode& child : node.childNodes())
            pending.push_back(child);
    }
    return 0;
}
