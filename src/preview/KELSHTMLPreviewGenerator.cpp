#include "preview/KELSHTMLPreviewGenerator.h"

#include "html/TagInstance.h"
#include "kit/Log.h"
#include "kit/StringEncodings.h"
#include "preview/KELDocumentURLProtocol.h"

#include <QRegularExpression>

namespace {
const QString kLimitError = QStringLiteral("[Error: Total number of includes exceeds maximum (100)]");
const QString kNoAttributeError = QStringLiteral("[Error: No file or virtual attribute found in include]");
const QString kFailedError = QStringLiteral("[Error: Preview generation failed for %1]");
const QString kOutsideSiteError = QStringLiteral("[Error: %1 lies outside the site's folders]");

const QRegularExpression& includePattern()
{
    // The shortest run from "<!--#include" to the next "-->", in any case, across lines.
    static const QRegularExpression pattern(QStringLiteral("<!--#include.*?-->"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    return pattern;
}

int hexValue(QChar c)
{
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        return c.unicode() - '0';
    if (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
        return c.unicode() - 'a' + 10;
    if (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
        return c.unicode() - 'A' + 10;
    return -1;
}
} // namespace

KELSHTMLPreviewGenerator::KELSHTMLPreviewGenerator(KELPreviewDocument* document, const QString& fileName)
    : KELPreviewGenerator(document, fileName)
{
}

KELSHTMLPreviewGenerator::~KELSHTMLPreviewGenerator()
{
    // The includes' failures must not complete this page while it goes.
    abandonGeneration();
    for (auto& generator : m_subGenerators) {
        if (generator)
            generator->terminatePreview();
    }
}

std::optional<QString> KELSHTMLPreviewGenerator::decodePercentEscapes(const QString& text)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('%')) {
            bytes += QString(c).toUtf8();
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int high = hexValue(text.at(i + 1));
        const int low = hexValue(text.at(i + 2));
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes += char(high * 16 + low);
        i += 2;
    }
    return kit::decodeString(bytes, kit::UTF8StringEncoding);
}

std::optional<TagInstance> KELSHTMLPreviewGenerator::tagForIncludeComment(const QString& comment)
{
    QString text = comment;
    text.replace(QLatin1String("<!--"), QLatin1String("<"));
    text.replace(QLatin1String("-->"), QLatin1String(">"));
    if (!text.startsWith(QLatin1Char('<')) || !text.endsWith(QLatin1Char('>')))
        return std::nullopt;
    const QString inner = text.mid(1, text.size() - 2);
    TagInstance tag;
    tag.setLocation({ 0, text.size() });
    qsizetype i = 0;
    const qsizetype n = inner.size();
    while (i < n && !inner.at(i).isSpace())
        ++i;
    tag.setName(inner.left(i));
    tag.setNameRange({ 1, i });
    while (i < n) {
        while (i < n && (inner.at(i).isSpace() || inner.at(i) == QLatin1Char('/')))
            ++i;
        if (i >= n)
            break;
        const qsizetype nameStart = i;
        while (i < n && !inner.at(i).isSpace() && inner.at(i) != QLatin1Char('='))
            ++i;
        const QString name = inner.mid(nameStart, i - nameStart);
        while (i < n && inner.at(i).isSpace())
            ++i;
        if (i >= n || inner.at(i) != QLatin1Char('=')) {
            tag.addAttribute(name, QString());
            continue;
        }
        ++i;
        while (i < n && inner.at(i).isSpace())
            ++i;
        QString value;
        if (i < n && (inner.at(i) == QLatin1Char('"') || inner.at(i) == QLatin1Char('\''))) {
            const QChar quote = inner.at(i++);
            const qsizetype valueStart = i;
            while (i < n && inner.at(i) != quote)
                ++i;
            value = inner.mid(valueStart, i - valueStart);
            if (i < n)
                ++i;
        } else {
            const qsizetype valueStart = i;
            while (i < n && !inner.at(i).isSpace())
                ++i;
            value = inner.mid(valueStart, i - valueStart);
        }
        tag.addAttribute(name, value);
    }
    return tag;
}

void KELSHTMLPreviewGenerator::performGeneration()
{
    int ownCounter = 0;
    const bool outermost = m_totalIncludes == nullptr;
    if (outermost)
        m_totalIncludes = &ownCounter;

    m_parts.clear();
    // Finished generators may still be on the stack of a callback.
    for (auto& generator : m_subGenerators) {
        if (generator)
            generator.release()->deleteLater();
    }
    m_subGenerators.clear();
    m_shtmlPartsComplete = 0;
    m_shtmlParts = 1;

    const Contents contents = docContents();
    if (!contents.text) {
        // A page that is neither open nor readable has no preview.
        m_totalIncludes = nullptr;
        finishGeneration(false, std::nullopt);
        return;
    }
    const QString text = *contents.text;
    m_shtmlEncoding = contents.encoding;
    qsizetype position = 0;
    while (position < text.size()) {
        const QRegularExpressionMatch match = includePattern().match(text, position);
        if (!match.hasMatch()) {
            m_parts.append(text.mid(position));
            break;
        }
        ++*m_totalIncludes;
        m_parts.append(text.mid(position, match.capturedStart() - position));
        const qsizetype partIndex = m_parts.size() - 1;

        std::optional<QString> path;
        if (const auto tag = tagForIncludeComment(match.captured())) {
            if (const auto virtualPath = tag->valueForAttribute(QStringLiteral("virtual")))
                path = decodePercentEscapes(*virtualPath);
            if (!path || path->isEmpty())
                path = tag->valueForAttribute(QStringLiteral("file"));
        }
        position = match.capturedEnd();

        if (*m_totalIncludes > MaximumIncludes) {
            m_parts[partIndex] += kLimitError;
            m_subGenerators.push_back(nullptr);
            continue;
        }
        if (!path || path->isEmpty()) {
            m_parts[partIndex] += kNoAttributeError;
            m_subGenerators.push_back(nullptr);
            continue;
        }
        const QString resolved = pathWithRelativePath(*path);
        if (resolved.isEmpty()) {
            m_parts[partIndex] += kFailedError.arg(*path);
            m_subGenerators.push_back(nullptr);
            continue;
        }
        // As a web server of the site would: nothing outside its folders is read
        // or run (a PHP file there included here would run with the user's rights).
        if (!KELDocumentURLProtocol::isPathInsideFolders(resolved, siteFolders())) {
            kit::log(QStringLiteral("Include of %1 refused: it lies outside the site's folders (%2)")
                         .arg(resolved, siteFolders().join(QStringLiteral(", "))));
            m_parts[partIndex] += kOutsideSiteError.arg(*path);
            m_subGenerators.push_back(nullptr);
            continue;
        }
        std::unique_ptr<KELPreviewGenerator> generator = generatorWithFileName(resolved);
        generator->setSiteFolders(siteFolders());
        if (auto* nested = qobject_cast<KELSHTMLPreviewGenerator*>(generator.get()))
            nested->setTotalIncludes(m_totalIncludes);
        ++m_shtmlParts;
        KELPreviewGenerator* started = generator.get();
        m_subGenerators.push_back(std::move(generator));
        started->generatePreview(
            [this](KELPreviewGenerator* sub, bool success, const std::optional<KELPreviewGeneratorResult>& result,
                void*) { didCompleteSHTMLIncludeGeneration(sub, success, result); },
            nullptr, StringResult, 0);
        if (auto* nested = qobject_cast<KELSHTMLPreviewGenerator*>(started))
            nested->setTotalIncludes(nullptr);
    }
    m_totalIncludes = nullptr;
    completedSHTMLPart();
}

void KELSHTMLPreviewGenerator::didCompleteSHTMLIncludeGeneration(
    KELPreviewGenerator* generator, bool success, const std::optional<KELPreviewGeneratorResult>& result)
{
    if (!isPreviewing())
        return;
    qsizetype index = -1;
    for (size_t i = 0; i < m_subGenerators.size(); ++i) {
        if (m_subGenerators[i].get() == generator) {
            index = qsizetype(i);
            break;
        }
    }
    if (index < 0)
        return;
    if (index < m_parts.size()) {
        if (success && result)
            m_parts[index] += result->previewFileContents();
        else
            m_parts[index] += kFailedError.arg(generator->fileName());
    }
    completedSHTMLPart();
}

void KELSHTMLPreviewGenerator::completedSHTMLPart()
{
    ++m_shtmlPartsComplete;
    if (m_shtmlPartsComplete >= m_shtmlParts)
        processSHTMLPreviewComplete();
}

void KELSHTMLPreviewGenerator::processSHTMLPreviewComplete()
{
    const auto result = resultForContent(m_parts.join(QString()), m_shtmlEncoding);
    finishGeneration(result.has_value(), result);
}

void KELSHTMLPreviewGenerator::terminatePreview() { KELPreviewGenerator::terminatePreview(); }

void KELSHTMLPreviewGenerator::terminateDependents()
{
    for (auto& generator : m_subGenerators) {
        if (generator)
            generator->terminatePreview();
    }
}
