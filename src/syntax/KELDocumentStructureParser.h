#pragma once
// Turns the structures a colouring pass reports for one language into outline
// items, and knows that language's comments and how its items pair into folds.
// One shared parser per syntax type name; types without one produce no items.

#include "kit/Types.h"
#include "syntax/KELDocumentStructureItem.h"

#include <QHash>
#include <QString>
#include <memory>

class KELSyntaxTextView;

class KELDocumentStructureParser
{
public:
    virtual ~KELDocumentStructureParser();

    /// The parser registered for the type; null for a type without one.
    static KELDocumentStructureParser* parserForType(const QString& typeName);
    /// Installs (or, with null, removes) the parser of a type. The language
    /// parsers register here; tests put in their own.
    static void registerParser(const QString& typeName, std::shared_ptr<KELDocumentStructureParser> parser);
    /// The language parsers the registry starts with, by type name.
    static QHash<QString, std::shared_ptr<KELDocumentStructureParser>> builtInParsers();

    /// The type name the parser is registered under.
    virtual QString typeName() const { return QString(); }

    /// At most one item for a reported structure. `actualRange` holds the reported
    /// range on entry and receives the item's range when it differs.
    virtual KELDocumentStructureItemRef parseSyntaxStructure(
        const QString& structureName, const QString& text, kit::Range range, kit::Range* actualRange);

    // Comments.
    virtual bool supportsComments() const { return false; }
    virtual bool usesMultiLineComments() const { return false; }
    virtual QString lineCommentString() const { return QStringLiteral("//"); }
    virtual QString multiLineCommentStartString() const { return QStringLiteral("/*"); }
    virtual QString multiLineCommentEndString() const { return QStringLiteral("*/"); }
    /// The structure that holds a block comment; null when the grammar has none.
    virtual QString commentStructureName() const { return QString(); }
    virtual QString commentEscape() const { return QString(); }
    /// Where the line's own line comment starts; NotFound when it has none.
    qsizetype effectiveCommentLocationInText(const QString& text, kit::Range lineRange) const;
    virtual bool isCommented(KELSyntaxTextView* view, kit::Range range);
    /// The range adjusted to the new text; `changeInLength` (when given) grows by
    /// the change made.
    virtual kit::Range addComments(KELSyntaxTextView* view, kit::Range range, qsizetype* changeInLength);
    virtual kit::Range removeComments(KELSyntaxTextView* view, kit::Range range, qsizetype* changeInLength);

    // Folds.
    /// Whether the fold scan goes on below `openItem` after trying to pair it with
    /// `closingItem`; `matched` says whether the two pair up.
    virtual bool itemClosesItem(
        const KELDocumentStructureItem& closingItem, const KELDocumentStructureItem& openItem, bool* matched);
    virtual bool itemIsSuggestedCodeFold(const KELDocumentStructureItem& openItem);
    virtual qsizetype minimumFoldLength() const { return 1; }

    /// Bookmark comments: a comment whose text starts with "!" names an item.
    KELDocumentStructureItemRef parseLineCommentInText(const QString& text, kit::Range range, kit::Range* actualRange);
    KELDocumentStructureItemRef parseMultiLineCommentInText(
        const QString& text, kit::Range range, kit::Range* actualRange);
};
