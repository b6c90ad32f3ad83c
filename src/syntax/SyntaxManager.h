#pragma once
// The registry of languages: every syntax definition of the bundle, looked up by
// name, file path or document, and the colour groups the preferences edit.

#include "syntax/ColoringGroup.h"
#include "syntax/SyntaxType.h"

#include <QHash>
#include <QList>
#include <QString>
#include <functional>
#include <map>
#include <memory>

class SyntaxManager
{
public:
    /// What the manager needs of a document: its file, if it has one.
    class Document
    {
    public:
        virtual ~Document() = default;
        /// The path of the document's file; empty while it is untitled.
        virtual QString fileURLPath() const = 0;
    };

    /// The registry of the bundle's "Syntax" folder, read on first use.
    static SyntaxManager& sharedInstance();
    /// Tests: read the shared registry again on next use (from the current
    /// resources folder).
    static void resetSharedInstanceForTesting();

    /// Reads every "*.xml" file of the folder, in file-name order.
    explicit SyntaxManager(const QString& syntaxFolder);
    ~SyntaxManager();
    SyntaxManager(const SyntaxManager&) = delete;
    SyntaxManager& operator=(const SyntaxManager&) = delete;

    /// The type of that name; null for no name or an unknown one.
    SyntaxType* typeForName(const QString& name) const;
    /// The type the file-type registry gives the path; null when it names no type.
    SyntaxType* typeForPath(const QString& path) const;
    /// The document's type; "Plain Text" when its file type names no syntax type.
    /// Never null: a built-in empty "Plain Text" stands in when no definition has it.
    SyntaxType* typeForDocument(const Document& document) const;

    /// Every type, ordered by name.
    QList<SyntaxType*> allTypes() const;
    /// The types without a parent type, in the order of allTypes().
    QList<SyntaxType*> rootTypes() const;
    /// The first root type marked default; null when none is.
    SyntaxType* defaultType() const;

    /// The groups of a style, sorted by name; groups named "Text" are not listed.
    QList<ColoringGroup*> sortedColoringGroupsForStyle(const SyntaxColoringStyle* style, const SyntaxType* type) const;
    ColoringGroup* coloringGroupForRule(const SyntaxColoringRule* rule, const SyntaxType* type) const;
    /// Colouring on, the default style current, every listed group at its default colour.
    void resetToDefaults(SyntaxType* type);

    /// Type names of paths and documents come from the file-type registry
    /// (KELFileTypeManager); tests may answer them instead (null restores it).
    using TypeNameForPath = std::function<QString(const QString& path)>;
    using TypeNameForDocument = std::function<QString(const Document& document)>;
    static void setFileTypeResolvers(TypeNameForPath forPath, TypeNameForDocument forDocument);
    QString fileTypeNameForPath(const QString& path) const;
    QString fileTypeNameForDocument(const Document& document) const;

    /// Makes the file-type registry offer the types of the shared registry (their
    /// names, parents, deferrals, default extensions and the default type). Called
    /// once at start-up.
    static void installAsFileTypeProvider();

    /// The name of the last-resort type.
    static QString plainTextTypeName() { return QStringLiteral("Plain Text"); }

private:
    void load(const QString& folder);
    void checkChains();
    void buildColoringGroups();

    std::map<QString, std::unique_ptr<SyntaxType>> m_syntaxTypes;
    std::map<QString, std::unique_ptr<ColoringGroup>> m_ruleColoringGroup;
    QHash<QString, QList<ColoringGroup*>> m_styleColoringGroups;
};
