#pragma once
// The preview of server-side-include pages: every "<!--#include virtual|file=... -->"
// comment is replaced by the preview of the file it names, recursively, with at
// most 100 includes in the whole nesting tree.

#include "preview/KELPreviewGenerator.h"

#include <QList>
#include <QStringList>
#include <optional>
#include <vector>

class TagInstance;

class KELSHTMLPreviewGenerator : public KELPreviewGenerator
{
    Q_OBJECT
public:
    static constexpr int MaximumIncludes = 100;

    ~KELSHTMLPreviewGenerator() override;

    void terminatePreview() override;

    /// The include counter shared by an outermost page and the pages it includes.
    int* totalIncludes() const { return m_totalIncludes; }
    void setTotalIncludes(int* counter) { m_totalIncludes = counter; }

    /// The include comment parsed as one tag (its "<!--" and "-->" taken as "<" and ">").
    static std::optional<TagInstance> tagForIncludeComment(const QString& comment);
    /// Percent escapes decoded as UTF-8; none when an escape is malformed or the
    /// bytes are not UTF-8.
    static std::optional<QString> decodePercentEscapes(const QString& text);

protected:
    friend class KELPreviewGenerator;
    KELSHTMLPreviewGenerator(KELPreviewDocument* document, const QString& fileName);

    void performGeneration() override;
    void terminateDependents() override;

private:
    void didCompleteSHTMLIncludeGeneration(
        KELPreviewGenerator* generator, bool success, const std::optional<KELPreviewGeneratorResult>& result);
    void completedSHTMLPart();
    void processSHTMLPreviewComplete();

    QStringList m_parts;
    // In step with m_parts; null where the include was replaced by an error text.
    std::vector<std::unique_ptr<KELPreviewGenerator>> m_subGenerators;
    kit::StringEncoding m_shtmlEncoding = kit::NoEncoding;
    qint64 m_shtmlParts = 0;
    qint64 m_shtmlPartsComplete = 0;
    int* m_totalIncludes = nullptr;
};
