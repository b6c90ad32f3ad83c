#pragma once
// Turns a component definition and the values of its variables into HTML and puts
// it into a page: a preview page, a trial page that lists the files an insert would
// write, or an open document (as one undoable edit). It copies the included files,
// links scripts and style sheets in the head, and is the resolver the templates
// read their values from.

#include "components/KELComponentDefinition.h"
#include "components/KELComponentInclude.h"
#include "components/KELComponentResolver.h"
#include "kit/KeyValueObject.h"
#include "kit/Types.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <variant>

class KELHTMLView;
class MyDocument;

class KELComponentCodeGeneratorResourcePaths {
public:
    KELComponentCodeGeneratorResourcePaths() = default;
    explicit KELComponentCodeGeneratorResourcePaths(QString scriptsPath) : m_scriptsPath(std::move(scriptsPath)) { }
    const QString& scriptsPath() const { return m_scriptsPath; }
    void setScriptsPath(const QString& path) { m_scriptsPath = path; }
    /// Every kind of included file goes to the one folder.
    const QString& pathForType(KELComponentInclude::Type) const { return m_scriptsPath; }

private:
    QString m_scriptsPath;
};

/// One resource file a generation wrote.
class KELCodeGeneratorFile {
public:
    KELCodeGeneratorFile(QString insertedResourceName, const KELComponentInclude* include)
        : m_insertedResourceName(std::move(insertedResourceName)), m_include(include) { }
    /// The path relative to the destination folder.
    const QString& insertedResourceName() const { return m_insertedResourceName; }
    void setInsertedResourceName(const QString& name) { m_insertedResourceName = name; }
    QString insertedResourceDisplayName() const;
    const KELComponentInclude* include() const { return m_include; }
    const std::optional<QString>& insertWarning() const { return m_insertWarning; }
    void setInsertWarning(const std::optional<QString>& warning) { m_insertWarning = warning; }
    /// Files with a warning first, then by display name regardless of case.
    bool compareWithWarningsFirst(const KELCodeGeneratorFile& other) const;

private:
    QString m_insertedResourceName;
    const KELComponentInclude* m_include = nullptr;
    std::optional<QString> m_insertWarning;
};

class KELCodeGeneratorResult {
public:
    QList<KELCodeGeneratorFile>& includes() { return m_includes; }
    const QList<KELCodeGeneratorFile>& includes() const { return m_includes; }
    void addInclude(const KELCodeGeneratorFile& file) { m_includes.append(file); }
    bool hasIncludedFiles() const { return !m_includes.isEmpty(); }
    const KELComponentCodeGeneratorResourcePaths& paths() const { return m_paths; }
    void setPaths(const KELComponentCodeGeneratorResourcePaths& paths) { m_paths = paths; }
    QString pathForInclude(const KELCodeGeneratorFile& file) const;
    /// What went wrong that the user should hear of (files not written, open documents
    /// left with their unsaved edits); empty when all went well.
    QStringList& problems() { return m_problems; }
    const QStringList& problems() const { return m_problems; }

private:
    QList<KELCodeGeneratorFile> m_includes;
    KELComponentCodeGeneratorResourcePaths m_paths;
    QStringList m_problems;
};

class KELComponentCodeGenerator : public KELComponentResolver {
public:
    /// The root controller answers each variable's name with its editor, whose
    /// properties ("value", "count" ...) the templates read by key path.
    KELComponentCodeGenerator(kit::KeyValueObjectPtr rootController, std::shared_ptr<KELComponentDefinition> definition);
    ~KELComponentCodeGenerator() override;

    /// Generates into a whole page (which has a body element) located at htmlLocation.
    KELCodeGeneratorResult generateCodeWithHtmlTemplate(QString& page, const QString& htmlLocation,
        const KELComponentCodeGeneratorResourcePaths& resourcesDirectory, KELInsertType insertType);
    /// Generates into an open document at its selection, as one undoable edit named
    /// "Insert Component".
    KELCodeGeneratorResult generateCodeInDocument(MyDocument& document, const KELComponentCodeGeneratorResourcePaths& resourcesDirectory,
        KELInsertType insertType);
    /// Marks the files of a trial generation that would overwrite a different file
    /// in the folder of an insert.
    void populateWarningsOnResult(KELCodeGeneratorResult& result, const KELComponentCodeGeneratorResourcePaths& insertPaths) const;
    bool requiresIncludedFiles() const;

    // --- The resolver
    QVariant evaluateVariable(const QString& keyPath) override;
    /// Stores only among the generator's own variables: a template never writes
    /// into the editors it reads.
    void setValueForVariable(const QVariant& value, const QString& keyPath) override;
    std::optional<QString> uniqueIdForVariable(const QString& keyPath) override;
    /// A file of the component's folder or the shared folder (a stock picture) is
    /// copied, as included files are, into the folder of the run's included files.
    std::optional<QString> copyOfLinkedFile(const QString& path) override;

    /// A variable of this run, else the root controller's value for the key.
    QVariant value(const QString& key) const;
    void setValue(const QString& key, const QVariant& value);
    void resetCustomVariables();

    const kit::KeyValueObjectPtr& rootController() const { return m_rootController; }
    const std::shared_ptr<KELComponentDefinition>& componentDefinition() const { return m_compDef; }

    /// Contents of the first element of that name (case-insensitive): from the end of its
    /// opening tag to the start of its closing tag; none without both.
    static std::optional<kit::Range> findRangeOfTagContents(const QString& name, const QString& html);
    /// The document insertion range from its body's contents and its selection.
    static kit::Range insertionRange(std::optional<kit::Range> body, kit::Range selection, qsizetype textLength);

    static inline const QString OverwriteWarning = QStringLiteral(
        "This file will overwrite an existing file with the same name. This file differs from the existing one, so any changes "
        "that have been made to the existing file will be lost. To avoid replacing the existing file, select a different folder.");

private:
    using HtmlObject = std::variant<QString*, KELHTMLView*>;
    KELCodeGeneratorResult generate(HtmlObject html, const QString& location, const KELComponentCodeGeneratorResourcePaths& paths,
        KELInsertType insertType, kit::Range bodyRange);
    QList<KELCodeGeneratorFile> processIncludes(HtmlObject html, const QString& location,
        const KELComponentCodeGeneratorResourcePaths& paths, kit::Range& bodyRange, KELInsertType insertType, QStringList* problems);
    void addScriptTags(const QStringList& scripts, const QStringList& styles, HtmlObject html, kit::Range& bodyRange);
    void insertHeadContent(const QString& content, HtmlObject html, kit::Range& bodyRange);
    kit::Range insertHTMLText(const QString& text, HtmlObject html, kit::Range range);
    static QString htmlText(HtmlObject html);

    kit::KeyValueObjectPtr m_rootController;
    std::shared_ptr<KELComponentDefinition> m_compDef;
    /// The run under way, for files copied while the templates render.
    struct Run {
        KELComponentCodeGeneratorResourcePaths paths;
        KELInsertType insertType = KELInsertType::Preview;
        QStringList* problems = nullptr;
        /// Linked file → its copy, once per run.
        QHash<QString, QString> copies;
        QList<KELCodeGeneratorFile> files;
    };
    std::optional<Run> m_run;
    /// The includes that stand for linked files, by resource name (kept: the result's files point to them).
    QHash<QString, std::shared_ptr<KELComponentInclude>> m_linkedFileIncludes;
    QHash<QString, QVariant> m_customVariables;
    QSet<QString> m_htmlIds;
    qint64 m_previewId = 0;
};
