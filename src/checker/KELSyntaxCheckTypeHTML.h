#pragma once
// The HTML check, which is also the program's HTML tag parser: one walk from left
// to right follows the nesting of the tags (building their tree for the parser; the
// check needs none), checks each opening tag against the current vocabulary,
// reports tags closed out of order or never closed, turns PHP errors embedded as
// <kelphperror> elements into records, and hands script bodies to the JavaScript
// check and style bodies and attributes to the CSS check.
// Organize Tags and the character-entity lookup live here too.

#include "checker/KELSyntaxCheckType.h"
#include "html/TagEnclosure.h"
#include "html/TagInstance.h"

#include <QHash>
#include <QSet>
#include <memory>
#include <optional>

class TagChecker;
namespace kit {
class TextView;
class TextStorage;
}

class KELSyntaxCheckTypeHTML : public KELSyntaxCheckType {
public:
    static KELSyntaxCheckTypeHTML& sharedInstance();
    QString typeName() const override { return QStringLiteral("HTML"); }

    using KELSyntaxCheckType::checkForErrors;
    void checkForErrors(KELSyntaxCheckResult& result, const QString& text, kit::Range range, bool generatedSource) override;

    /// The tree of the whole text, without checks.
    std::unique_ptr<TagEnclosure> parseText(const QString& text);
    /// The walk; errors are collected only with a result. With markNewLines, the first
    /// character of every line that does not start with a tag gets a leaf whose tag has
    /// no name.
    std::unique_ptr<TagEnclosure> parseText(const QString& text, kit::Range range, KELSyntaxCheckResult* errors, bool generatedSource,
        bool markNewLines);
    /// One tag over exactly the range, which must start with "<" and end with ">".
    std::shared_ptr<TagInstance> tagInRange(kit::Range range, const QString& text);

    /// The names of the elements open around a tag, each with how many of that name are open.
    using OpenNameCounts = QHash<QString, qsizetype>;
    /// The readers of one tag at the "<" at `start`, reading no further than `last`;
    /// each answers the index of the last character it consumed. With `openNames`, an
    /// element that belongs inside certain others is checked against them.
    qsizetype tagSkippingComments(qsizetype start, qsizetype last, TagInstance& tag, const OpenNameCounts* openNames, const QString& text,
        KELSyntaxCheckResult* errors, bool generatedSource);
    qsizetype tagStartingFrom(qsizetype start, qsizetype last, TagInstance& tag, const OpenNameCounts* openNames, const QString& text,
        KELSyntaxCheckResult* errors, bool generatedSource);
    /// The index just after the first "?>" (or "-->") in [from, last]; last + 1 without one.
    static qsizetype indexAfterPHPClose(qsizetype from, qsizetype last, const QString& text);
    static qsizetype indexAfterCommentClose(qsizetype from, qsizetype last, const QString& text);

    /// Re-indents the text of the view by tag nesting, as one undoable edit.
    void organizeTags(kit::TextView* textView);
    /// The indentation of the given text, as Organize Tags makes it (for callers without a view).
    QString organizedText(const QString& text);

    /// The named reference ("&eacute;") of one character; nothing when it has none.
    std::optional<QString> entityReferenceForCharacter(const QString& character);
    void loadCharacterRefDict();
    /// Destroys a tree without deep recursion, however deep it nests.
    static void releaseTree(std::unique_ptr<TagEnclosure> root);

    /// Tests: read the entity table from another file.
    void setCharacterRefPathForTesting(const QString& path);

private:
    class Walk;
    struct Edit {
        qsizetype location;
        qsizetype length;
        QString text;
    };
    struct SpacingFrame;
    /// The walk of parseText; without a tree it only checks, and answers null.
    std::unique_ptr<TagEnclosure> walkText(const QString& text, kit::Range range, KELSyntaxCheckResult* errors, bool generatedSource,
        bool markNewLines, bool buildTree);
    SpacingFrame beginSpacing(const TagEnclosure& enclosure, QList<Edit>& edits, const QString& text, qint64 level,
        const QSet<QString>& nonStructural);
    void spaceTagsInEnclosure(const TagEnclosure& enclosure, QList<Edit>& edits, const QString& text, qint64 level, const TagChecker& vocabulary);
    void spaceTagWithRange(kit::Range range, QList<Edit>& edits, const QString& text, qint64 level);
    QList<Edit> organizeEdits(const QString& text);

    QString m_indentUnit;
    QHash<QString, QString> m_characterRefDict;
    bool m_characterRefDictLoaded = false;
    QString m_characterRefPath;
};
