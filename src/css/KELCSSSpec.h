#pragma once
// The one CSS grammar of the checker: pseudo selectors, at-rules, the property
// table, the document and declaration-block checks and the grammar of attr().
// The tables are data (resources/CSS/CSSGrammar.txt), compiled once on first use.

#include "css/KELCSSPropertyDefinition.h"
#include "css/KELCSSPseudoClassDefinition.h"
#include "css/KELCSSPseudoElementDefinition.h"
#include "css/KELCSSDeclarationBlockDefinition.h"
#include "css/KELCSSAtRuleDefinition.h"
#include "css/KELCSSDocumentDefinition.h"

#include <QSet>
#include <QHash>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

class KELCSSPropertyFunctionValueDefinition;

class KELCSSSpec {
public:
    static KELCSSSpec& sharedInstance();
    /// A grammar built from another data file (tests of the data, tools).
    static std::unique_ptr<KELCSSSpec> createFromFile(const QString& path);
    ~KELCSSSpec();

    const KELCSSPseudoClassDefinition* pseudoClassDefinitionForName(const QString& name) const;
    const KELCSSPseudoElementDefinition* pseudoElementDefinitionForName(const QString& name) const;
    const KELCSSAtRuleDefinition* atRuleForName(const QString& name) const;
    const KELCSSAtRuleDefinition* marginAtRuleForName(const QString& name) const;
    const KELCSSDocumentDefinition* documentDefinition() const { return m_documentDefinition.get(); }
    const KELCSSDeclarationBlockDefinition* standardDeclarationBlockDefinition() const { return m_standardBlock.get(); }
    /// The descriptors an at-rule body may hold ("font-face", "property" ...), or null.
    const KELCSSDeclarationBlockDefinition* descriptorBlockDefinition(const QString& table) const
    {
        const auto it = m_descriptorBlocks.constFind(table);
        return it == m_descriptorBlocks.constEnd() ? nullptr : it->get();
    }
    const KELCSSPropertyFunctionValueDefinition* attrFunction() const { return m_attrFunction; }

    /// Functions that take length expressions like calc(), with their argument counts (max 0 = any).
    struct MathFunction {
        int minArguments = 1;
        int maxArguments = 1;
    };
    bool isMathFunction(const QString& name) const { return m_mathFunctions.contains(name.toLower()); }
    MathFunction mathFunction(const QString& name) const { return m_mathFunctions.value(name.toLower()); }
    /// Functions such as var() that stand for values only known later; the grammar
    /// of the whole function token, or null.
    const KELCSSPropertyValueDefinition* substitutionFunction(const QString& name) const { return m_substitutions.value(name.toLower()); }
    /// Keywords every property accepts on their own (inherit, initial ...).
    bool isCSSWideKeyword(const QString& word) const { return m_wideKeywords.contains(word.toLower()); }

    /// The vendor prefix of a name ("-webkit-" of "-webkit-box"), or an empty string.
    static QString vendorPrefix(const QString& name);
    /// The warning for a vendor-specific item of that prefix, given once per prefix and
    /// check run (the run's userInfo remembers it); nothing once given. `kind` is the
    /// kind of item ("property", "value", "pseudo-class" ...).
    static std::optional<KELSyntaxCheckError> vendorWarning(const QString& itemName, const QString& kind, const QString& prefix, kit::Range range,
        QVariantMap* userInfo);

    /// Names of the property table as given, in table order, and those added for today's CSS.
    const QStringList& givenPropertyNames() const { return m_givenPropertyNames; }
    const QStringList& addedPropertyNames() const { return m_addedPropertyNames; }
    /// Every problem met while reading the grammar data ("line N: ...").
    const QStringList& loadErrors() const { return m_loadErrors; }
    /// The value grammar of a property of the standard table, or null.
    const KELCSSPropertyValueDefinition* propertyValueDef(const QString& name) const;
    /// Builds a grammar from notation text against this grammar's names (tests).
    const KELCSSPropertyValueDefinition* compileForTesting(const QString& notation, QString* error = nullptr);

private:
    KELCSSSpec();
    void load(const QString& path);
    friend class KELCSSGrammarBuilder;

    QHash<QString, std::shared_ptr<KELCSSPseudoClassDefinition>> m_pseudoClasses;
    QHash<QString, std::shared_ptr<KELCSSPseudoElementDefinition>> m_pseudoElements;
    QHash<QString, std::shared_ptr<KELCSSAtRuleDefinition>> m_atRules;
    QHash<QString, std::shared_ptr<KELCSSAtRuleDefinition>> m_marginAtRules;
    std::vector<std::unique_ptr<KELCSSPseudoClassDefinition>> m_sharedPseudoClasses;
    std::unique_ptr<KELCSSDocumentDefinition> m_documentDefinition;
    std::unique_ptr<KELCSSDeclarationBlockDefinition> m_standardBlock;
    QHash<QString, std::shared_ptr<KELCSSDeclarationBlockDefinition>> m_descriptorBlocks;
    std::vector<std::unique_ptr<KELCSSPropertyDefinition>> m_propertyDefinitions;
    std::vector<std::unique_ptr<KELCSSPropertyValueDefinition>> m_nodes;
    QHash<QString, const KELCSSPropertyValueDefinition*> m_propertyRoots;
    const KELCSSPropertyFunctionValueDefinition* m_attrFunction = nullptr;
    QHash<QString, MathFunction> m_mathFunctions;
    QHash<QString, const KELCSSPropertyValueDefinition*> m_substitutions;
    QSet<QString> m_wideKeywords;
    QStringList m_givenPropertyNames;
    QStringList m_addedPropertyNames;
    QStringList m_loadErrors;
    std::unique_ptr<class KELCSSGrammarBuilder> m_builder;
};
