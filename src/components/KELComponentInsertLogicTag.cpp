#include "components/KELComponentInsertLogicTag.h"

#include "components/KELComponentDefaultImageManager.h"
#include "components/KELComponentTagNameRegistry.h"
#include "components/KELExpression.h"
#include "kit/Log.h"
#include "support/StringAdditions.h"
#include "support/UtilityFunctions.h"

#include <QFileInfo>
#include <QImageReader>

#include <functional>

namespace {

// The loop budget of the rendering under way. Renderings nest (a template
// included from a template), and the outermost one owns the budget.
struct RenderBudget {
    int depth = 0;
    qint64 rounds = 0;
};
thread_local RenderBudget renderBudget;

struct RenderScope {
    RenderScope()
    {
        if (renderBudget.depth++ == 0)
            renderBudget.rounds = 0;
    }
    ~RenderScope() { --renderBudget.depth; }
};

std::unique_ptr<KELComponentInsertLogicTag> makeTag(const QString& className);

bool isTrueAttribute(const KELXMLNode& node, const QString& name)
{
    return node.valueForAttribute(name).value_or(QString()).compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

} // namespace

KELComponentInsertLogicTag::~KELComponentInsertLogicTag() = default;

bool KELComponentInsertLogicTag::booleanValue(const QVariant& value)
{
    return KELExpression::booleanValue(value);
}

void KELComponentInsertLogicTag::initWithNode(const KELXMLNode& node)
{
    m_removeBlankLines = isTrueAttribute(node, QStringLiteral("removeBlankLines"));
    for (const KELXMLNode& child : node.childNodesIncludingBlank()) {
        if (child.isTextNode()) {
            m_children.push_back(std::make_unique<KELComponentInsertText>(child.contents().value_or(QString())));
            continue;
        }
        const QString name = child.nodeName();
        const QString className = KELComponentTagNameRegistry::sharedInstance().classForTagName(name);
        std::unique_ptr<KELComponentInsertLogicTag> tag = className.isEmpty() ? nullptr : logicTagWithNode(className, child);
        if (!tag) {
            kit::log(QStringLiteral("No tag class defined for logic tag: %1").arg(name));
            continue;
        }
        m_children.push_back(std::move(tag));
    }
    readAttributes(node);
}

std::unique_ptr<KELComponentInsertLogicTag> KELComponentInsertLogicTag::logicTagWithNode(const QString& className, const KELXMLNode& node)
{
    std::unique_ptr<KELComponentInsertLogicTag> tag = makeTag(className);
    if (tag)
        tag->initWithNode(node);
    return tag;
}

void KELComponentInsertLogicTag::appendContentToString(QString& target, KELComponentResolver& resolver) const
{
    RenderScope scope;
    QString content;
    render(content, resolver);
    if (m_removeBlankLines)
        removeBlankLinesFromString(content);
    target += content;
}

void KELComponentInsertLogicTag::render(QString& target, KELComponentResolver& resolver) const
{
    renderChildren(target, resolver);
}

void KELComponentInsertLogicTag::renderChildren(QString& target, KELComponentResolver& resolver) const
{
    for (const auto& child : m_children)
        child->appendContentToString(target, resolver);
}

void KELComponentInsertLogicTag::removeBlankLinesFromString(QString& text)
{
    qsizetype lineStart = 0;
    bool blank = true;
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text.at(i);
        if (UtilityFunctions::isNewLineCharacter(c)) {
            if (blank) {
                text.remove(lineStart, i + 1 - lineStart);
                i = lineStart;
                continue;
            }
            lineStart = i + 1;
            blank = true;
        } else if (c != QLatin1Char(' ') && c != QLatin1Char('\t')) {
            blank = false;
        }
        ++i;
    }
}

// --- Primary

std::unique_ptr<KELComponentInsertPrimary> KELComponentInsertPrimary::logicTagWithNode(const KELXMLNode& node)
{
    std::unique_ptr<KELComponentInsertPrimary> tag(new KELComponentInsertPrimary);
    tag->initWithNode(node);
    return tag;
}

void KELComponentInsertPrimary::readAttributes(const KELXMLNode& node)
{
    m_insertType = node.valueForAttribute(QStringLiteral("type")) == QStringLiteral("head") ? Head : Body;
    // Templates are written with their own indentation: blank lines go unless asked to stay.
    if (!node.valueForAttribute(QStringLiteral("removeBlankLines")))
        m_removeBlankLines = true;
}

void KELComponentInsertPrimary::render(QString& target, KELComponentResolver& resolver) const
{
    renderChildren(target, resolver);
}

// --- Conditions

void KELComponentIfTag::readAttributes(const KELXMLNode& node)
{
    m_condition = KELComponentExpression::fromAttribute(node, QStringLiteral("condition"));
}

void KELComponentIfTag::render(QString& target, KELComponentResolver& resolver) const
{
    if (m_condition && booleanValue(m_condition->evaluateWithResolver(resolver)))
        renderChildren(target, resolver);
}

void KELComponentChooseTag::render(QString& target, KELComponentResolver& resolver) const
{
    for (const auto& child : m_children) {
        if (const auto* when = dynamic_cast<const KELComponentWhenTag*>(child.get())) {
            if (when->m_condition && booleanValue(when->m_condition->evaluateWithResolver(resolver))) {
                // The condition is not asked again: it may have effects.
                QString content;
                when->renderChildren(content, resolver);
                if (when->m_removeBlankLines)
                    removeBlankLinesFromString(content);
                target += content;
                return;
            }
        } else if (dynamic_cast<const KELComponentOtherwiseTag*>(child.get())) {
            child->appendContentToString(target, resolver);
            return;
        }
    }
}

void KELComponentIsSetTag::readAttributes(const KELXMLNode& node)
{
    m_var = node.valueForAttribute(QStringLiteral("var")).value_or(QString());
}

void KELComponentIsSetTag::render(QString& target, KELComponentResolver& resolver) const
{
    if (booleanValue(resolver.evaluateVariable(m_var)))
        renderChildren(target, resolver);
}

// --- Loops and variables

void KELComponentForLoopTag::readAttributes(const KELXMLNode& node)
{
    m_init = KELComponentExpression::fromAttribute(node, QStringLiteral("init"));
    m_test = KELComponentExpression::fromAttribute(node, QStringLiteral("test"));
    m_count = KELComponentExpression::fromAttribute(node, QStringLiteral("count"));
}

void KELComponentForLoopTag::render(QString& target, KELComponentResolver& resolver) const
{
    if (m_init)
        m_init->evaluateWithResolver(resolver);
    if (!m_test)
        return;
    const auto holds = [&] {
        const QVariant result = m_test->evaluateWithResolver(resolver);
        if (KELExpression::isNumber(result))
            return booleanValue(result);
        return result.isValid();
    };
    // A template whose test never turns false must not hang the preview.
    qint64 rounds = 0;
    while (holds()) {
        if (rounds >= MaximumLoopRounds || renderBudget.rounds >= MaximumRenderRounds || target.size() > MaximumOutputLength) {
            kit::log(QStringLiteral("Template loop stopped after %1 rounds: %2").arg(rounds).arg(m_test->expressionString()));
            return;
        }
        ++rounds;
        ++renderBudget.rounds;
        renderChildren(target, resolver);
        if (m_count)
            m_count->evaluateWithResolver(resolver);
    }
}

void KELComponentSetTag::readAttributes(const KELXMLNode& node)
{
    m_var = node.valueForAttribute(QStringLiteral("var")).value_or(QString());
}

void KELComponentSetTag::render(QString&, KELComponentResolver& resolver) const
{
    QString value;
    renderChildren(value, resolver);
    resolver.setValueForVariable(value, m_var);
}

void KELComponentEvaluateTag::readAttributes(const KELXMLNode& node)
{
    m_value = KELComponentExpression::fromAttribute(node, QStringLiteral("value"));
}

void KELComponentEvaluateTag::render(QString&, KELComponentResolver& resolver) const
{
    if (m_value)
        m_value->evaluateWithResolver(resolver);
}

// --- Printing

void KELComponentPrintTag::readAttributes(const KELXMLNode& node)
{
    m_value = KELComponentExpression::fromAttribute(node, QStringLiteral("value"));
    if (const std::optional<QString> chars = node.valueForAttribute(QStringLiteral("escapeChars"))) {
        QSet<QChar> set;
        for (QChar c : *chars)
            set.insert(c);
        m_escapeChars = set;
    }
    if (node.valueForAttribute(QStringLiteral("encode")))
        m_encode = isTrueAttribute(node, QStringLiteral("encode"));
    const QString newLines = node.valueForAttribute(QStringLiteral("newLineEncoding")).value_or(QString()).toLower();
    m_newLineEncoding = newLines == QLatin1String("html") ? NewLineHTML
        : newLines == QLatin1String("script")             ? NewLineScript
        : newLines == QLatin1String("none")               ? NewLineNone
                                                          : NewLineSpace;
}

QString KELComponentPrintTag::encodeString(const QString& text, NewLineEncoding newLines, const std::optional<QSet<QChar>>& escapeChars)
{
    QString result;
    result.reserve(text.size());
    for (QChar c : text) {
        if (UtilityFunctions::isNewLineCharacter(c)) {
            switch (newLines) {
            case NewLineNone:
                result += c;
                break;
            case NewLineSpace:
                result += QLatin1Char(' ');
                break;
            case NewLineScript:
                result += QStringLiteral("\\n");
                break;
            case NewLineHTML:
                result += QStringLiteral("<br/>");
                break;
            }
        } else if (escapeChars) {
            if (escapeChars->contains(c))
                result += QLatin1Char('\\');
            result += c;
        } else if (c == QLatin1Char('"')) {
            result += QStringLiteral("&quot;");
        } else if (c == QLatin1Char('&')) {
            result += QStringLiteral("&amp;");
        } else if (c == QLatin1Char('\'')) {
            result += QStringLiteral("&#39;");
        } else if (c == QLatin1Char('<')) {
            result += QStringLiteral("&lt;");
        } else if (c == QLatin1Char('>')) {
            result += QStringLiteral("&gt;");
        } else {
            result += c;
        }
    }
    return result;
}

std::optional<QString> KELComponentPrintTag::convertToString(const QVariant& value, KELComponentResolver&) const
{
    if (!value.isValid())
        return std::nullopt;
    return KELExpression::stringValue(value);
}

void KELComponentPrintTag::render(QString& target, KELComponentResolver& resolver) const
{
    const QVariant value = m_value ? m_value->evaluateWithResolver(resolver) : QVariant();
    const std::optional<QString> text = convertToString(value, resolver);
    if (!text)
        kit::log(QStringLiteral("nil expression value: %1").arg(m_value ? m_value->expressionString() : QString()));
    else
        target += m_encode ? encodeString(*text, m_newLineEncoding, m_escapeChars) : *text;
    renderChildren(target, resolver);
}

void KELComponentURLTag::readAttributes(const KELXMLNode& node)
{
    KELComponentPrintTag::readAttributes(node);
    m_relativeToPath = KELComponentExpression::fromAttribute(node, QStringLiteral("rel"));
}

std::optional<QString> KELComponentURLTag::convertToString(const QVariant& value, KELComponentResolver& resolver) const
{
    QUrl url;
    if (value.metaType().id() == QMetaType::QUrl) {
        url = value.toUrl();
    } else if (value.metaType().id() == QMetaType::QString) {
        const QString text = value.toString();
        if (text.startsWith(QLatin1Char('/'))) {
            url = QUrl::fromLocalFile(text);
        } else {
            url = QUrl(text, QUrl::StrictMode);
            if (!url.isValid()) {
                // A typed address that is no URL as it stands ("page one.html") is
                // written as one the page can use, its blanks and the like escaped.
                const QUrl tolerant(text, QUrl::TolerantMode);
                return tolerant.isValid() ? tolerant.toString(QUrl::FullyEncoded) : stringByEncodingURLForInsert(text);
            }
        }
    } else {
        return std::nullopt;
    }
    if (!url.isLocalFile())
        return url.toString(QUrl::FullyEncoded);
    // A stock picture of the program's folders is linked as a copy beside the page.
    QString target = url.toLocalFile();
    if (const std::optional<QString> copy = resolver.copyOfLinkedFile(target)) {
        target = *copy;
        url = QUrl::fromLocalFile(target);
    }

    QString base;
    if (m_relativeToPath) {
        const QVariant relative = m_relativeToPath->evaluateWithResolver(resolver);
        if (relative.metaType().id() == QMetaType::QUrl)
            base = relative.toUrl().toLocalFile();
        else if (relative.metaType().id() == QMetaType::QString)
            base = relative.toString();
        else if (relative.isValid())
            kit::log(QStringLiteral("Unexpected type for relativeTo: %1").arg(KELExpression::stringValue(relative)));
    }
    if (base.isEmpty())
        base = resolver.evaluateVariable(QStringLiteral("DOCPATH")).toString();
    // A page that has no location yet (an untitled document) links by absolute URL.
    if (base.isEmpty())
        return url.toString(QUrl::FullyEncoded);
    const QString relative = UtilityFunctions::relativePathFromDirectory(QFileInfo(base).path(), target);
    return stringByEncodingURLForInsert(relative);
}

// --- Ids, selection, preview and pictures

void KELComponentUniqueTag::readAttributes(const KELXMLNode& node)
{
    m_var = node.valueForAttribute(QStringLiteral("var")).value_or(QString());
}

void KELComponentUniqueTag::render(QString& target, KELComponentResolver& resolver) const
{
    if (const std::optional<QString> id = resolver.uniqueIdForVariable(m_var))
        target += *id;
    else
        kit::log(QStringLiteral("nil expression value: %1").arg(m_var));
    renderChildren(target, resolver);
}

void KELComponentSelectionTag::render(QString& target, KELComponentResolver& resolver) const
{
    const QVariant selection = resolver.evaluateVariable(QStringLiteral("SELECTION"));
    if (selection.isValid())
        target += KELExpression::stringValue(selection);
}

void KELComponentCenterPreviewTag::render(QString& target, KELComponentResolver& resolver) const
{
    if (!booleanValue(resolver.evaluateVariable(QStringLiteral("PREVIEW")))) {
        renderChildren(target, resolver);
        return;
    }
    target += QStringLiteral("\n\t\t <div style=\"top: 0; left: 0; width: 100%; height: 100%; position: absolute; display: table\">"
                             "\n\t\t <div style=\"height: 100%; display: table-cell; vertical-align: middle; text-align: center;\">"
                             "\n\t\t <div style=\"display: inline-block; font-family: Helvetica; font-size: 16px; padding: 10px; text-align: left;\">");
    renderChildren(target, resolver);
    target += QStringLiteral("</div>\n</div>\n</div>\n");
}

void KELComponentRandomImageTag::readAttributes(const KELXMLNode& node)
{
    m_maxWidth = KELComponentExpression::fromAttribute(node, QStringLiteral("maxWidth"));
    m_maxHeight = KELComponentExpression::fromAttribute(node, QStringLiteral("maxHeight"));
    m_index = KELComponentExpression::fromAttribute(node, QStringLiteral("index"));
}

void KELComponentRandomImageTag::render(QString& target, KELComponentResolver& resolver) const
{
    const qint64 index = m_index ? KELExpression::integerValue(m_index->evaluateWithResolver(resolver)) : 0;
    auto found = m_randomImageUrls.find(index);
    if (found == m_randomImageUrls.end()) {
        ImageInfo info;
        info.url = KELComponentDefaultImageManager::sharedInstance().defaultImageForIndex(quint64(index));
        info.size = QSizeF(QImageReader(info.url.toLocalFile()).size());
        found = m_randomImageUrls.insert(index, info);
    }
    const auto limit = [&resolver](const std::unique_ptr<KELComponentExpression>& expression) {
        if (!expression)
            return -1.0;
        const QVariant value = expression->evaluateWithResolver(resolver);
        bool ok = false;
        const double number = KELExpression::stringValue(value).toDouble(&ok);
        return ok ? number : 0.0;
    };
    const QSizeF size = KELComponentDefaultImageManager::scaleDownSize(found->size, QSizeF(limit(m_maxWidth), limit(m_maxHeight)));
    // The stock picture is linked as a copy beside the page where the generator makes one.
    QString source = found->url.toString(QUrl::FullyEncoded);
    if (const std::optional<QString> copy = resolver.copyOfLinkedFile(found->url.toLocalFile())) {
        const QString base = resolver.evaluateVariable(QStringLiteral("DOCPATH")).toString();
        source = base.isEmpty() ? QUrl::fromLocalFile(*copy).toString(QUrl::FullyEncoded)
                                : stringByEncodingURLForInsert(UtilityFunctions::relativePathFromDirectory(QFileInfo(base).path(), *copy));
    }
    target += QStringLiteral("<img src=\"%1\" width=\"%2\" height=\"%3\" border=\"0\"/>")
                  .arg(source)
                  .arg(qint64(size.width()))
                  .arg(qint64(size.height()));
    renderChildren(target, resolver);
}

// --- The classes the tag registry names

namespace {

std::unique_ptr<KELComponentInsertLogicTag> makeTag(const QString& className)
{
    // Classes are named in the registry file; each name maps to its maker here.
    using Factory = std::function<std::unique_ptr<KELComponentInsertLogicTag>()>;
    static const QHash<QString, Factory> factories = {
        { QStringLiteral("KELComponentIfTag"), [] { return std::make_unique<KELComponentIfTag>(); } },
        { QStringLiteral("KELComponentChooseTag"), [] { return std::make_unique<KELComponentChooseTag>(); } },
        { QStringLiteral("KELComponentWhenTag"), [] { return std::make_unique<KELComponentWhenTag>(); } },
        { QStringLiteral("KELComponentOtherwiseTag"), [] { return std::make_unique<KELComponentOtherwiseTag>(); } },
        { QStringLiteral("KELComponentIsSetTag"), [] { return std::make_unique<KELComponentIsSetTag>(); } },
        { QStringLiteral("KELComponentForLoopTag"), [] { return std::make_unique<KELComponentForLoopTag>(); } },
        { QStringLiteral("KELComponentSetTag"), [] { return std::make_unique<KELComponentSetTag>(); } },
        { QStringLiteral("KELComponentEvaluateTag"), [] { return std::make_unique<KELComponentEvaluateTag>(); } },
        { QStringLiteral("KELComponentPrintTag"), [] { return std::make_unique<KELComponentPrintTag>(); } },
        { QStringLiteral("KELComponentURLTag"), [] { return std::make_unique<KELComponentURLTag>(); } },
        { QStringLiteral("KELComponentUniqueTag"), [] { return std::make_unique<KELComponentUniqueTag>(); } },
        { QStringLiteral("KELComponentSelectionTag"), [] { return std::make_unique<KELComponentSelectionTag>(); } },
        { QStringLiteral("KELComponentCenterPreviewTag"), [] { return std::make_unique<KELComponentCenterPreviewTag>(); } },
        { QStringLiteral("KELComponentRandomImageTag"), [] { return std::make_unique<KELComponentRandomImageTag>(); } },
    };
    const auto found = factories.constFind(className);
    if (found == factories.cend())
        return nullptr;
    return found.value()();
}

} // namespace
