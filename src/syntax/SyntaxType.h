#pragma once
// One language: its identity and settings, grammar, colouring styles,
// completions, words and copyright notices, read from one definition file.

#include "syntax/ColoringResult.h"
#include "syntax/StructureValid.h"
#include "syntax/SyntaxCompletionResult.h"
#include "syntax/SyntaxStructureStack.h"
#include "syntax/SyntaxColoringStyle.h"
#include "syntax/SyntaxCompletion.h"
#include "syntax/SyntaxCopyright.h"
#include "syntax/SyntaxStructure.h"
#include "syntax/SyntaxText.h"
#include "syntax/SyntaxWordDictionary.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVarLengthArray>
#include <QColor>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <vector>

class SyntaxManager;
class SyntaxXMLNode;
class SyntaxInfo;
class SyntaxCompletionResult;
class SyntaxCompletionRange;
class StructureTreeNode;
class ColoringRuleRange;
class SyntaxColoringRule;
class KELSyntaxTextView;
namespace kit {
class TextStorage;
using AttributeKey = int;
using AttributeValueId = quint32;
}

class SyntaxType
{
public:
    SyntaxType();
    ~SyntaxType();
    SyntaxType(const SyntaxType&) = delete;
    SyntaxType& operator=(const SyntaxType&) = delete;

    /// Reads a definition file. Null when the file cannot be parsed or is not a
    /// valid definition; `problem` then says why.
    static std::unique_ptr<SyntaxType> typeWithPath(const QString& path, QString* problem = nullptr);

    // Identity.
    const QString& typeName() const { return m_typeName; }
    /// "SyntaxType:" + name: the text attribute that holds the parse state.
    const QString& typeAttribute() const { return m_typeAttribute; }
    /// The key of typeAttribute() (its values are shared by every storage).
    kit::AttributeKey typeKey() const { return m_typeKey; }
    void setTypeName(const QString& name);
    const QString& mimeType() const { return m_mimeType; }
    const QString& parentTypeName() const { return m_parentTypeName; }
    const QString& deferToTypeName() const { return m_deferToTypeName; }
    bool isDefaultType() const { return m_isDefaultType; }
    bool usesPreviewFile() const { return m_usesPreviewFile; }
    const QStringList& defaultExtensions() const { return m_defaultExtensions; }
    void setParentTypeName(const QString& n) { m_parentTypeName = n; }
    void setDeferToTypeName(const QString& n) { m_deferToTypeName = n; }
    void setDefaultExtensions(const QStringList& e) { m_defaultExtensions = e; }

    // Grammar.
    const QHash<QString, SyntaxStructure*>& structures() const { return m_structures; }
    SyntaxStructure* structureWithName(const QString& name) const { return m_structures.value(name); }
    const QList<SyntaxStructure*>& rootStructures() const { return m_rootStructures; }
    const QList<SyntaxStructure*>& structuresWithStart() const { return m_structuresWithStart; }
    /// Working state of the engine: one per root structure with a start pattern.
    std::vector<StructureValid>& structureValidsWithStartStructureMatch() const { return m_structureValids; }
    qsizetype maxStartEndLength() const { return m_maxStartEndLength; }

    // Styles, completions, words.
    const std::vector<std::unique_ptr<SyntaxColoringStyle>>& coloringStyles() const { return m_coloringStyles; }
    const std::vector<std::unique_ptr<SyntaxCompletion>>& syntaxCompletions() const { return m_syntaxCompletions; }
    const SyntaxWordDictionary& words() const { return *m_words; }
    const SyntaxCopyright* copyrightWithId(const QString& id) const;
    QStringList copyrightIds() const;

    /// Orders types by name without regard to case.
    int compare(const SyntaxType& other) const;

    /// The manager that owns this type (it resolves parent and deferral names).
    SyntaxManager* manager() const;
    void setManager(SyntaxManager* m) { m_manager = m; }

    /// This type when it has no parent; else the top of the parent chain. A
    /// parent that names no type, or a chain that loops, makes the type its own root.
    const SyntaxType* ancestorType() const;
    SyntaxType* ancestorType();
    /// The type that colours documents of this type: the ancestor, then the
    /// types it defers to. A deferral that loops stops at the ancestor.
    SyntaxType* rootType();
    /// Whether the parent chain or the deferral chain loops (the names on it).
    bool hasParentCycle(QStringList* chain = nullptr) const;
    bool hasDeferralCycle(QStringList* chain = nullptr) const;

    // Settings, kept per root type in the user defaults.
    QString currentStyleUserDefaultsKey() const;
    QString currentStyleName() const;
    void setCurrentStyleName(const QString& name);
    const SyntaxColoringStyle* currentStyle() const;
    const SyntaxColoringStyle* defaultStyle() const;
    const SyntaxColoringStyle* styleWithName(const QString& name) const;
    QString coloringEnabledUserDefaultsKey() const;
    bool coloringEnabled() const;
    void setColoringEnabled(bool enabled);
    bool supportsCodeCompletion() const { return !m_syntaxCompletions.empty(); }
    QString completionTypeUserDefaultsKey() const;
    bool usesAutoCompletion() const;
    void setUsesAutoCompletion(bool automatic);

    // The colouring engine: one forward pass over part of a text, resumable
    // anywhere from the parse state it leaves in the text storage.
    /// Colours the request's range (through the root type). Answers the completion
    /// result when the request has a cursor index. `correctColoringIndex` (may be
    /// null): text before it is known to be coloured; the pass may advance it.
    std::optional<SyntaxCompletionResult> colorHTMLView(
        kit::TextStorage* storage, SyntaxInfo& info, bool startCompletions, qsizetype* correctColoringIndex);
    std::optional<SyntaxCompletionResult> colorHTMLView(
        KELSyntaxTextView* view, SyntaxInfo& info, bool startCompletions, qsizetype* correctColoringIndex);
    std::optional<SyntaxCompletionResult> rootTypeColorKELHTMLView(
        kit::TextStorage* storage, SyntaxInfo& info, bool startCompletions, qsizetype* correctColoringIndex);
    /// The pass itself: colours `range`, reading and running on within `maxRange`.
    void colorKELHTMLView(kit::TextStorage* storage, kit::Range range, kit::Range maxRange,
        SyntaxCompletionResult* completionResult, bool startCompletions, SyntaxInfo& info);
    /// A new planned end for a pass that has run past its planned end at `index`.
    /// `openStart`: where the open structure began in this pass (when known);
    /// `plainFrom`: where the plain text this pass has read but not yet cleared begins.
    qsizetype newEndForRangeExtensionForIndex(qsizetype index, const kit::TextStorage* storage,
        const SyntaxStructureStack& stack, kit::Range maxRange, qsizetype openStart = kit::NotFound,
        qsizetype plainFrom = kit::NotFound);
    /// Colours one structure (the top of `stack`) over the range.
    ColoringResult parseAndColorKELHTMLView(kit::TextStorage* storage, kit::Range range, kit::Range maxRange,
        const SyntaxStructure* structure, const SyntaxStructureStack& stack, SyntaxCompletionResult* completionResult,
        bool endMissing, bool startCompletions, SyntaxInfo& info);
    /// Colours the range as plain text and clears its parse state.
    void colorAsTextKELHTMLView(kit::TextStorage* storage, kit::Range range, kit::Range maxRange, SyntaxInfo& info);
    /// Matches one structure's grammar over the range and colours it by the style's rules.
    ColoringResult efficientColorKELHTMLView(
        kit::TextStorage* storage, kit::Range range, kit::Range maxRange, const SyntaxStructure* structure);
    /// The recursive matcher; answers the range the structure covers.
    kit::Range efficientColorHtmlView(kit::TextStorage* storage, kit::Range range, kit::Range maxRange,
        const SyntaxStructure* structure, bool* valid, std::span<ColoringRuleRange* const> ruleRanges,
        std::span<StructureValid* const> structureValids, int depth, bool coloringEnabled);
    /// Whether a JavaScript regular expression may start at the index (what stands
    /// before it must expect an expression).
    /// Text from `plainFrom` on is plain text whose stored state is still to be
    /// cleared by the running pass.
    bool regexMayStartAtIndex(
        const kit::TextStorage* storage, qsizetype index, qsizetype plainFrom = kit::NotFound) const;
    /// Clears the parse state of the languages nested in this one over the range:
    /// text this language now colours itself belongs to none of them.
    /// `keep` (with the languages nested in it) is left alone.
    void clearNestedParseStateInRange(
        kit::TextStorage* storage, kit::Range range, const SyntaxType* keep = nullptr);
    /// The languages reachable through nested structures, this one excepted.
    const QList<const SyntaxType*>& nestedTypes();
    /// The colour of plain text: the style's last text rule, else the editor's text colour.
    QColor plainTextColor() const;

    // Parse state kept in the text (attribute typeAttribute(), value the stack string).
    /// The value id a stack is stored under, and the stack of a stored value id.
    kit::AttributeValueId stackValueId(const SyntaxStructureStack& stack) const;
    const SyntaxStructureStack& stackForValueId(kit::AttributeValueId id) const;
    /// The stack stored at the location; empty outside every structure.
    SyntaxStructureStack storedStackAt(const kit::TextStorage* storage, qsizetype location,
        kit::Range* longestEffectiveRange = nullptr, kit::Range limit = kit::Range(kit::NotFound, 0)) const;
    /// Whether the stack stored at the location holds the structure at any depth;
    /// `longestEffectiveRange` then receives the run of that stored value.
    bool textViewHasStructure(const kit::TextStorage* storage, const QString& structureName, qsizetype location,
        kit::Range* longestEffectiveRange = nullptr) const;
    /// Whether no structure of the root type touches the range.
    bool htmlViewIsTextInRange(kit::TextStorage* storage, kit::Range range);
    bool rootTypeHtmlViewIsTextInRange(const kit::TextStorage* storage, kit::Range range) const;

    // Nested types.
    /// The innermost type at the index and (when asked) the range of text it governs.
    SyntaxType* nestedSyntaxTypeForKELHTMLView(const kit::TextStorage* storage, qsizetype index, kit::Range* range);
    SyntaxType* recursiveNestedSyntaxTypeForKELHTMLView(
        const kit::TextStorage* storage, qsizetype index, kit::Range* range);

    // Completion search (SyntaxTypeCompletion.cpp).
    /// The parse tree of one structure over the range; `includeInvalidStructures`
    /// keeps partial matches (text typed so far). `valid` receives whether it matched.
    std::unique_ptr<StructureTreeNode> buildStructureTreeForString(const SyntaxText& string, kit::Range range,
        kit::Range maxRange, const SyntaxStructure* structure, bool* valid, bool includeInvalidStructures) const;
    /// Adds the words offered at the cursor inside a structure over the range (nothing
    /// unless the cursor lies within it, both ends included).
    void determineCompletionsForKELHTMLView(const kit::TextStorage* storage, kit::Range range, kit::Range maxRange,
        const SyntaxStructure* structure, qsizetype cursorIndex, SyntaxCompletionResult* result) const;
    /// Searches one list of completion definitions against a tree.
    void determineCompletionsForStructureTree(const SyntaxText& text, const StructureTreeNode* tree,
        qsizetype cursorIndex, SyntaxCompletionResult* result,
        const std::vector<std::unique_ptr<SyntaxCompletion>>& completions) const;
    /// Whether completions and words of a standard are offered ("HTML5" and "CSS3"
    /// follow their settings; every other standard, or none, always).
    static bool showCompletionsForStandard(const QString& standard);
    /// After a pass: adds the code clips named by the word before the cursor (when
    /// asked, or when the pass found entries), removes repeated words and sorts.
    static void finishCompletions(
        const SyntaxText& text, qsizetype cursorIndex, SyntaxCompletionResult& result, bool startCompletions);

    /// A type with a name and nothing else (the built-in last resort).
    static std::unique_ptr<SyntaxType> emptyType(const QString& name);

private:
    bool read(const SyntaxXMLNode& root, QString* problem);
    void resolveInterrupts();
    void determineCompletionMatches(const SyntaxText& text, const StructureTreeNode* node,
        const QList<SyntaxCompletionRange*>& inPlay, int depth) const;
    void determineCompletionApplies(const SyntaxText& text, const StructureTreeNode* node, qsizetype cursorIndex,
        const QList<SyntaxCompletionRange*>& inPlay, int depth) const;
    const SyntaxType* typeNamed(const QString& name) const;

    QString m_typeName;
    QString m_typeAttribute;
    kit::AttributeKey m_typeKey = -1;
    // Stack id -> stored value id (UnknownValue until asked), value id -> stack.
    mutable std::vector<kit::AttributeValueId> m_stackValueIds;
    mutable std::vector<std::optional<SyntaxStructureStack>> m_valueStacks;
    QString m_mimeType;
    QString m_parentTypeName;
    QString m_deferToTypeName;
    bool m_isDefaultType = false;
    bool m_usesPreviewFile = false;
    QStringList m_defaultExtensions;

    std::vector<std::unique_ptr<SyntaxStructure>> m_ownedStructures;
    QHash<QString, SyntaxStructure*> m_structures;
    QList<SyntaxStructure*> m_rootStructures;
    QList<SyntaxStructure*> m_structuresWithStart;
    mutable std::vector<StructureValid> m_structureValids;
    qsizetype m_maxStartEndLength = 1;

    std::vector<std::unique_ptr<SyntaxColoringStyle>> m_coloringStyles;
    std::vector<std::unique_ptr<SyntaxCompletion>> m_syntaxCompletions;
    std::unique_ptr<SyntaxWordDictionary> m_words;
    std::map<QString, std::unique_ptr<SyntaxCopyright>> m_copyrights;

    SyntaxManager* m_manager = nullptr;

    // Working state of one pass (one request runs at a time, on the main thread).
    struct PassSettings {
        bool valid = false;
        bool coloringEnabled = true;
        const SyntaxColoringStyle* style = nullptr;
        QColor baseColor;
        kit::AttributeValueId baseColorId = 0;
        kit::AttributeValueId textColorId = 0;
        QHash<const SyntaxColoringRule*, kit::AttributeValueId> ruleColors;
        // Colours the rules give one structure, applied over its base colour.
        QVarLengthArray<std::pair<kit::Range, kit::AttributeValueId>, 16>* colorOps = nullptr;
        // The unfinished structure being coloured ends where another starts.
        bool extentKnown = false;
        // What the grammar walk looks up per structure, worked out once a pass
        // (shared, so saving and restoring the settings copies no tables).
        struct Lookups {
            // By structure name id: the rules and start patterns whose path begins
            // with that name, in the style's and the type's order.
            struct Candidates {
                std::vector<ColoringRuleRange*> rules;
                std::vector<StructureValid*> valids;
            };
            QHash<int, Candidates> candidates;
            // By name id: the structure a reference names (null: none); unset
            // entries are not looked up yet.
            std::vector<std::optional<const SyntaxStructure*>> targets;
        };
        std::shared_ptr<Lookups> lookups;
    };
    PassSettings m_pass;
    std::optional<QList<const SyntaxType*>> m_nestedTypes;
    void preparePass();
    const PassSettings::Lookups::Candidates& candidatesFor(const SyntaxStructure* structure);
    const SyntaxStructure* referenceTarget(const SyntaxStructure* element);
    kit::AttributeValueId colorForRule(const SyntaxColoringRule* rule);
};
