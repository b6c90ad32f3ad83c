#pragma once
// Small readers shared by the PHP, JavaScript and CSS structure parsers.

#include "kit/Types.h"
#include "syntax/KELDocumentStructureItem.h"

#include <QString>

namespace structureparsing {

inline bool isNameStart(QChar c, bool dollar)
{
    return c.isLetter() || c == u'_' || (dollar && c == u'$');
}

inline bool isNameCharacter(QChar c, bool dollar)
{
    return c.isLetterOrNumber() || c == u'_' || (dollar && c == u'$');
}

inline qsizetype skipWhitespace(const QString& text, qsizetype p, qsizetype limit)
{
    while (p < limit && text.at(p).isSpace())
        ++p;
    return p;
}

/// "function" or "class" followed by a name: an item named by it, reaching from
/// the keyword to the name's end; null when no name follows.
KELDocumentStructureItemRef namedDeclarationItem(const QString& typeName, const QString& text, kit::Range keyword,
    bool dollarInNames, const QString& imageName);

/// Brace items fold: "{" opens, anything else ("}") closes.
KELDocumentStructureItemRef braceItem(const QString& typeName, const QString& text, kit::Range range);

/// Marks of a nested language's region: "typeStart" opens, "typeEnd" closes.
KELDocumentStructureItemRef subtypeItem(const QString& typeName, const QString& structureName, kit::Range range);

} // namespace structureparsing
