// The language parsers the structure registry starts with.

#include "syntax/KELDocumentStructureCSSBlockParser.h"
#include "syntax/KELDocumentStructureCSSParser.h"
#include "syntax/KELDocumentStructureHTMLParser.h"
#include "syntax/KELDocumentStructureJavaScriptParser.h"
#include "syntax/KELDocumentStructurePHPParser.h"

QHash<QString, std::shared_ptr<KELDocumentStructureParser>> KELDocumentStructureParser::builtInParsers()
{
    return {
        { KELDocumentStructureHTMLParser::staticTypeName(), KELDocumentStructureHTMLParser::parser() },
        { KELDocumentStructurePHPParser::staticTypeName(), KELDocumentStructurePHPParser::parser() },
        { KELDocumentStructureJavaScriptParser::staticTypeName(), KELDocumentStructureJavaScriptParser::parser() },
        { KELDocumentStructureCSSParser::staticTypeName(), KELDocumentStructureCSSParser::parser() },
        { KELDocumentStructureCSSBlockParser::staticTypeName(), KELDocumentStructureCSSBlockParser::parser() },
    };
}
