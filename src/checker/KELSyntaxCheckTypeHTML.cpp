#include "checker/KELSyntaxCheckTypeHTML.h"

#include "support/DefaultsKeys.h"
#include "checker/KELSyntaxCheckTypeCSSCheck.h"
#include "checker/KELSyntaxCheckTypeJavaScript.h"
#include "html/TagChecker.h"
#include "html/TagReader.h"
#include "kit/UserDefaults.h"

#include <QSet>

#include <algorithm>
#include <map>
#include <mutex>

namespace {

const QString HTMLType = QStringLiteral("HTML");

bool isBlank(QChar c)
{
    return c.isSpace();
}

KELSyntaxCheckError makeError(const QString& title, const QString& description, kit::Range range)
{
    KELSyntaxCheckError error = KELSyntaxCheckError::error();
    error.setTitle(title);
    error.setDescription(description);
    error.setTextRange(range);
    return error;
}

// Script types whose body is classic JavaScript; any other declared type (JSON data,
// templates, other languages) is not script for the engine.
enum class ScriptKind { Classic, Module, Other };

// Turns the tags of an open chain (innermost first) that need no closing tag into
// leaves. Outermost first, every node moves up once: innermost first would move
// each one again at every level, quadratic in pages of thousands of unclosed <p>.
void shiftOutermostFirst(const std::vector<TagEnclosure*>& chain)
{
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        (*it)->shiftEnclosedObjectsToParent();
}

ScriptKind scriptKind(const TagInstance& tag)
{
    const std::optional<QString> type = tag.valueForAttribute(QStringLiteral("type"));
    if (!type)
        return ScriptKind::Classic;
    QString essence = type->section(u';', 0, 0).trimmed().toLower();
    if (essence.isEmpty())
        return ScriptKind::Classic;
    if (essence == QLatin1String("module"))
        return ScriptKind::Module;
    static const QSet<QString> javaScriptTypes {
        QStringLiteral("text/javascript"), QStringLiteral("application/javascript"), QStringLiteral("application/ecmascript"),
        QStringLiteral("text/ecmascript"), QStringLiteral("application/x-javascript"), QStringLiteral("application/x-ecmascript"),
        QStringLiteral("text/x-javascript"), QStringLiteral("text/x-ecmascript"), QStringLiteral("text/jscript"),
        QStringLiteral("text/livescript"), QStringLiteral("text/javascript1.0"), QStringLiteral("text/javascript1.1"),
        QStringLiteral("text/javascript1.2"), QStringLiteral("text/javascript1.3"), QStringLiteral("text/javascript1.4"),
        QStringLiteral("text/javascript1.5"),
    };
    return javaScriptTypes.contains(essence) ? ScriptKind::Classic : ScriptKind::Other;
}

// The line PHP names in its message: the last "line" followed by blanks and a
// number (an earlier "line" may be part of a path or a name).
quint64 phpErrorLine(const QString& message)
{
    qsizetype from = message.size();
    while (from > 0) {
        const qsizetype at = message.lastIndexOf(QLatin1String("line"), from - 1, Qt::CaseInsensitive);
        if (at < 0)
            break;
        qsizetype k = at + 4;
        while (k < message.size() && isBlank(message.at(k)))
            ++k;
        qsizetype runEnd = k;
        while (runEnd < message.size() && message.at(runEnd).isLetterOrNumber())
            ++runEnd;
        bool ok = false;
        const quint64 line = message.mid(k, runEnd - k).toULongLong(&ok);
        if (ok && line > 0)
            return line;
        from = at;
    }
    return 0;
}

// The name sets the walk asks about at every tag, worked out once per vocabulary
// (a vocabulary never changes once read).
struct WalkSets {
    QSet<QString> singleTags;
    QSet<QString> impliedEndStartTags; // every start tag that ends some element
};

const WalkSets& walkSetsFor(const TagChecker& vocabulary)
{
    static std::mutex mutex;
    static std::map<const TagChecker*, WalkSets> cache;
    const std::lock_guard<std::mutex> lock(mutex);
    const auto found = cache.find(&vocabulary);
    if (found != cache.end())
        return found->second;
    WalkSets sets;
    for (const QString& name : vocabulary.tagNames()) {
        if (const QSet<QString>* closers = vocabulary.impliedEndStartTags(name))
            sets.impliedEndStartTags.unite(*closers);
    }
    for (const QString& name : vocabulary.singleTags()) {
        // An element whose end tag may be left out holds its content like any other.
        if (!vocabulary.impliedEndStartTags(name))
            sets.singleTags.insert(name);
    }
    return cache.emplace(&vocabulary, std::move(sets)).first->second;
}

} // namespace

class KELSyntaxCheckTypeHTML::Walk {
public:
    Walk(KELSyntaxCheckTypeHTML& owner, const QString& text, KELSyntaxCheckResult* result, bool generated)
        : owner(owner)
        , text(text)
        , result(result)
        , generated(generated)
        , vocabulary(TagChecker::currentTagChecker())
        , html5(kit::UserDefaults::standard().boolValue(KELShowHTML5Completions))
        , singleTags(walkSetsFor(vocabulary).singleTags)
        , impliedEndStartTags(walkSetsFor(vocabulary).impliedEndStartTags)
    {
    }

    bool isVoid(const QString& name) const
    {
        return singleTags.contains(name) || name.startsWith(u'!') || name.startsWith(u'?');
    }

    /// Whether the element may end without its end tag.
    bool mayEndImplicitly(const QString& name) const { return vocabulary.impliedEndStartTags(name) != nullptr; }

    /// Ends the open elements that a start tag of this name ends without their end
    /// tags (a new <li> the one before it, a <td> the cell before it), looking up
    /// through elements that may end so and void elements; answers the new current
    /// enclosure.
    TagEnclosure* endImpliedBy(TagEnclosure* current, const QString& name, OpenNameCounts& openNames) const
    {
        if (!impliedEndStartTags.contains(name))
            return current;
        while (true) {
            TagEnclosure* ended = nullptr;
            for (TagEnclosure* e = current; e && e->tag(); e = e->parent()) {
                const QString& open = e->tag()->name();
                if (const QSet<QString>* closers = vocabulary.impliedEndStartTags(open)) {
                    if (closers->contains(name)) {
                        ended = e;
                        break;
                    }
                } else if (!isVoid(open)) {
                    break;
                }
            }
            if (!ended)
                return current;
            std::vector<TagEnclosure*> leaves;
            for (TagEnclosure* e = current;; e = e->parent()) {
                --openNames[e->tag()->name()];
                if (isVoid(e->tag()->name()))
                    leaves.push_back(e);
                if (e == ended)
                    break;
            }
            shiftOutermostFirst(leaves);
            current = ended->parent();
        }
    }

    void report(const KELSyntaxCheckError& error, const QString& type = HTMLType)
    {
        if (result)
            result->addError(error, type);
    }

    KELSyntaxCheckTypeHTML& owner;
    const QString& text;
    KELSyntaxCheckResult* result;
    bool generated;
    const TagChecker& vocabulary;
    bool html5;
    const QSet<QString>& singleTags;
    const QSet<QString>& impliedEndStartTags; // every start tag that ends some element
};

KELSyntaxCheckTypeHTML& KELSyntaxCheckTypeHTML::sharedInstance()
{
    static KELSyntaxCheckTypeHTML instance;
    return instance;
}

void KELSyntaxCheckTypeHTML::checkForErrors(KELSyntaxCheckResult& result, const QString& text, kit::Range range, bool generatedSource)
{
    result.establishType(typeName(), generatedSource);
    releaseTree(parseText(text, range, &result, generatedSource, false));
}

void KELSyntaxCheckTypeHTML::releaseTree(std::unique_ptr<TagEnclosure> root)
{
    // A tree lets go of its nodes without recursion, however deep the page.
    root.reset();
}

std::unique_ptr<TagEnclosure> KELSyntaxCheckTypeHTML::parseText(const QString& text)
{
    return parseText(text, kit::Range(0, text.size()), nullptr, false, false);
}

qsizetype KELSyntaxCheckTypeHTML::indexAfterPHPClose(qsizetype from, qsizetype last, const QString& text)
{
    return TagReader::indexAfterPHPClose(from, last, text);
}

qsizetype KELSyntaxCheckTypeHTML::indexAfterCommentClose(qsizetype from, qsizetype last, const QString& text)
{
    const qsizetype at = text.indexOf(QLatin1String("-->"), from);
    return at >= 0 && at + 2 <= last ? at + 3 : last + 1;
}

std::unique_ptr<TagEnclosure> KELSyntaxCheckTypeHTML::parseText(const QString& text, kit::Range range, KELSyntaxCheckResult* errors,
    bool generatedSource, bool markNewLines)
{
    Walk walk(*this, text, errors, generatedSource);
    auto root = std::make_unique<TagEnclosure>(nullptr);
    TagEnclosure* current = root.get();
    const qsizetype end = range.isNotFound() ? 0 : qMin(range.end(), text.size());
    qsizetype i = range.isNotFound() ? 0 : qMax<qsizetype>(0, range.location);
    bool walkEnded = false;
    OpenNameCounts openNames; // names of the enclosures from the current one up

    while (i < end && !walkEnded) {
        const QChar c = text.at(i);
        if (c != u'<') {
            if (markNewLines && (c == u'\n' || c == u'\r' || c == QChar(0x2028) || c == QChar(0x2029) || c == QChar(0x85))) {
                qsizetype k = i + 1;
                while (k < end && isBlank(text.at(k)))
                    ++k;
                if (k < end && text.at(k) != u'<') {
                    auto marker = std::make_shared<TagInstance>();
                    marker->setLocation(kit::Range(k, 1));
                    auto node = std::make_unique<TagEnclosure>(current);
                    node->setTag(marker);
                    current->addEnclosed(std::move(node));
                }
                i = k;
            } else {
                ++i;
            }
            continue;
        }
        auto tag = std::make_shared<TagInstance>();
        const qsizetype j = tagSkippingComments(i, end - 1, *tag, &openNames, text, errors, generatedSource);
        qsizetype next = j + 1;
        if (tag->name().isEmpty()) {
            i = next;
            continue;
        }
        // "<" before something that cannot start a tag name ("<%= x %>" in a code sample,
        // "<>") is reported where it stands but opens no element, so the elements around
        // it keep their structure.
        if (const QChar first = tag->name().at(0);
            !(first.isLetter() || first == u'!' || first == u'?' || first == u'/')) {
            i = next;
            continue;
        }
        if (!tag->isCloseTag()) {
            current = walk.endImpliedBy(current, tag->name(), openNames);
            auto node = std::make_unique<TagEnclosure>(current);
            node->setTag(tag);
            TagEnclosure* added = current->addEnclosed(std::move(node));
            if (!tag->isXHTMLCloseTag()) {
                current = added;
                ++openNames[tag->name()];
                const QString& name = tag->name();
                if (name == QLatin1String("script") || name == QLatin1String("style")) {
                    const QString closer = QStringLiteral("</") + name;
                    const qsizetype p = text.indexOf(closer, j + 1, Qt::CaseInsensitive);
                    if (p < 0) {
                        walkEnded = true;
                        break;
                    }
                    const kit::Range body(j + 1, p - (j + 1));
                    if (errors) {
                        if (name == QLatin1String("style")) {
                            KELSyntaxCheckTypeCSSCheck::sharedInstance().checkForErrors(*errors, text, body, generatedSource);
                        } else if (body.length > 0) {
                            switch (scriptKind(*tag)) {
                            case ScriptKind::Classic:
                                KELSyntaxCheckTypeJavaScript::sharedInstance().checkForErrors(*errors, text, body, generatedSource);
                                break;
                            case ScriptKind::Module:
                                KELSyntaxCheckTypeJavaScript::sharedInstance().checkModuleForErrors(*errors, text, body, generatedSource);
                                break;
                            case ScriptKind::Other:
                                break;
                            }
                        }
                    }
                    next = p;
                } else if (name == QLatin1String("kelphperror")) {
                    const qsizetype p = text.indexOf(QLatin1String("</kelphperror"), j + 1);
                    if (p < 0) {
                        walkEnded = true;
                        break;
                    }
                    next = p;
                }
            }
        } else {
            // Counting the open names keeps a stray closing tag from walking a deep nesting.
            TagEnclosure* match = openNames.value(tag->name()) > 0 ? current : nullptr;
            while (match && match->tag() && match->tag()->name() != tag->name())
                match = match->parent();
            if (!match || !match->tag()) {
                walk.report(makeError(QStringLiteral("Unmatched Tag"),
                    QStringLiteral("The </%1> tag attempts to close an element that is not open. ").arg(tag->name()), tag->location()));
                auto node = std::make_unique<TagEnclosure>(current);
                node->setTag(tag);
                current->addEnclosed(std::move(node));
            } else {
                --openNames[match->tag()->name()];
                std::vector<TagEnclosure*> leaves;
                for (TagEnclosure* e = current; e != match; e = e->parent()) {
                    const QString& name = e->tag()->name();
                    --openNames[name];
                    if (walk.isVoid(name)) {
                        leaves.push_back(e);
                    } else if (!walk.mayEndImplicitly(name)) {
                        const qsizetype start = e->tag()->location().location;
                        walk.report(makeError(QStringLiteral("Unmatched Tag"),
                            QStringLiteral("The <%1> tag is closed implicitly by the </%2> tag. ").arg(name, tag->name()),
                            kit::Range(start, tag->location().end() - start)));
                    }
                }
                shiftOutermostFirst(leaves);
                match->setCloseTag(tag);
                match->tag()->setMatchingTag(tag.get());
                tag->setMatchingTag(match->tag().get());
                current = match->parent();

                if (match->tag()->name() == QLatin1String("kelphperror") && errors) {
                    const qsizetype from = match->tag()->location().end();
                    const qsizetype to = tag->location().location;
                    if (to > from && to <= text.size()) {
                        KELSyntaxCheckError error = KELSyntaxCheckError::error();
                        error.setTitle(QStringLiteral("PHP Error"));
                        error.setDescription(text.mid(from, to - from).trimmed());
                        error.setLineNumber(phpErrorLine(error.description()));
                        walk.report(error, QStringLiteral("PHP"));
                    }
                }
            }
        }
        i = next;
    }

    std::vector<TagEnclosure*> leaves;
    for (TagEnclosure* e = current; e && e != root.get(); e = e->parent()) {
        const QString& name = e->tag()->name();
        if (walk.isVoid(name))
            leaves.push_back(e);
        else if (!walk.mayEndImplicitly(name))
            walk.report(makeError(QStringLiteral("Unmatched Tag"), QStringLiteral("The <%1> tag is not closed. ").arg(name), e->tag()->location()));
    }
    shiftOutermostFirst(leaves);
    return root;
}

qsizetype KELSyntaxCheckTypeHTML::tagSkippingComments(qsizetype start, qsizetype last, TagInstance& tag, const OpenNameCounts* openNames,
    const QString& text, KELSyntaxCheckResult* errors, bool generatedSource)
{
    if (start + 1 <= last && text.at(start + 1) == u'?')
        return indexAfterPHPClose(start + 1, last, text) - 1;
    if (start + 3 <= last && QStringView(text).mid(start + 1, 3) == QLatin1String("!--"))
        return indexAfterCommentClose(start + 1, last, text) - 1;
    return tagStartingFrom(start, last, tag, openNames, text, errors, generatedSource);
}

qsizetype KELSyntaxCheckTypeHTML::tagStartingFrom(qsizetype s, qsizetype e, TagInstance& tag, const OpenNameCounts* openNames,
    const QString& text, KELSyntaxCheckResult* errors, bool generatedSource)
{
    bool complete = false;
    TagReader::AttributeRead styleCheck;
    if (errors)
        styleCheck = [&](const QString& name, kit::Range value) {
            if (name.compare(QLatin1String("style"), Qt::CaseInsensitive) == 0)
                KELSyntaxCheckTypeCSSCheck::sharedInstance().checkForStyleAttributeErrors(*errors, text, value, generatedSource);
        };
    const qsizetype result = TagReader::readTag(s, e, tag, text, &complete, styleCheck);
    if (!complete || !errors || tag.isCloseTag())
        return result;

    // 6. The vocabulary.
    const TagChecker& vocabulary = TagChecker::currentTagChecker();
    const bool html5 = kit::UserDefaults::standard().boolValue(KELShowHTML5Completions);
    const QString& tagName = tag.name();
    const Tag* definition = vocabulary.tag(tagName);
    if (!definition) {
        const bool markup = !tagName.isEmpty()
            && (tagName == QLatin1String("kelphperror") || tagName.startsWith(u'!') || tagName.startsWith(u'?'));
        // Custom elements are valid wherever HTML5 is.
        const bool custom = html5 && tagName.contains(u'-');
        if (!markup && !custom)
            errors->addError(makeError(QStringLiteral("Unrecognized Tag"),
                                 QStringLiteral("The <%1> tag is not recognized as part of the HTML specification. ").arg(tagName),
                                 tag.location()),
                HTMLType);
        return result;
    }
    const QList<TagAttribute>& known = definition->attributes();
    for (qsizetype k = 0; k < tag.attributes().size(); ++k) {
        const QString& name = tag.attributes().at(k);
        const QString lower = name.toLower();
        const TagAttribute* found = nullptr;
        for (qsizetype d = known.size() - 1; d >= 0; --d) {
            if (known.at(d).name() == lower) {
                found = &known.at(d);
                break;
            }
        }
        if (found) {
            if (std::optional<KELSyntaxCheckError> error = found->errorForAttributeValue(tag.values().at(k))) {
                error->setTextRange(tag.location());
                errors->addError(*error, HTMLType);
            }
        } else if (!(html5 && (lower.startsWith(QLatin1String("data-")) || lower.startsWith(QLatin1String("aria-"))))) {
            errors->addError(makeError(QStringLiteral("Unrecognized Attribute"),
                                 QStringLiteral("The \"%1\" attribute is not recognized as a valid attribute for the <%2> tag.").arg(name, tagName),
                                 tag.location()),
                HTMLType);
        }
    }
    const QStringList& containedBy = definition->containedBy();
    if (!containedBy.isEmpty() && openNames) {
        // Looked up by name rather than by walking the ancestors: each of thousands of
        // unclosed <li> would otherwise walk all the ones before it.
        const auto isOpen = [openNames, html5, &vocabulary](const QString& container) {
            if (openNames->value(container) > 0)
                return true;
            if (!html5)
                return false;
            // HTML lets a page leave out the start tags of html, head and body: the html
            // element always stands, and at the top level an element is in the head or
            // the body that the page leaves implied.
            if (container == QLatin1String("html"))
                return true;
            if (container != QLatin1String("head") && container != QLatin1String("body"))
                return false;
            for (auto it = openNames->cbegin(); it != openNames->cend(); ++it) {
                const QString& open = it.key();
                if (it.value() > 0 && open != QLatin1String("html") && !open.startsWith(u'!') && !open.startsWith(u'?')
                    && !vocabulary.singleTags().contains(open))
                    return false;
            }
            return true;
        };
        const bool inside = std::any_of(containedBy.begin(), containedBy.end(), isOpen);
        if (!inside)
            errors->addError(makeError(QStringLiteral("Invalid Tag Nesting"), definition->containedByErrorStringWithTagName(tagName), tag.location()),
                HTMLType);
    }
    return result;
}

std::shared_ptr<TagInstance> KELSyntaxCheckTypeHTML::tagInRange(kit::Range range, const QString& text)
{
    return TagReader::tagInRange(range, text);
}
