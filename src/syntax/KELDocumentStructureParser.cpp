#include "syntax/KELDocumentStructureParser.h"

#include <QHash>

namespace {
QHash<QString, std::shared_ptr<KELDocumentStructureParser>>& registry()
{
    static QHash<QString, std::shared_ptr<KELDocumentStructureParser>> parsers
        = KELDocumentStructureParser::builtInParsers();
    return parsers;
}
} // namespace

KELDocumentStructureParser::~KELDocumentStructureParser() = default;

KELDocumentStructureParser* KELDocumentStructureParser::parserForType(const QString& typeName)
{
    const auto it = registry().constFind(typeName);
    return it == registry().constEnd() ? nullptr : it.value().get();
}

void KELDocumentStructureParser::registerParser(
    const QString& typeName, std::shared_ptr<KELDocumentStructureParser> parser)
{
    if (parser)
        registry().insert(typeName, std::move(parser));
    else
        registry().remove(typeName);
}

KELDocumentStructureItemRef KELDocumentStructureParser::parseSyntaxStructure(
    const QString&, const QString&, kit::Range, kit::Range*)
{
    return nullptr;
}

bool KELDocumentStructureParser::itemClosesItem(
    const KELDocumentStructureItem&, const KELDocumentStructureItem&, bool* matched)
{
    if (matched)
        *matched = false;
    return false;
}

bool KELDocumentStructureParser::itemIsSuggestedCodeFold(const KELDocumentStructureItem&)
{
    return true;
}
