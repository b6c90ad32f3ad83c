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

// The kind of a script by the value of its "type" attribute; classic without one.
ScriptKind scriptKind(const std::optional<QString>& type)
{
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

// What the checks of one tag need to know of the run they belong to.
struct TagCheckContext {
    const TagChecker& vocabulary;
    bool html5;
    const KELSyntaxCheckTypeHTML::OpenNameCounts* openNames;
    KELSyntaxCheckResult& errors;
    bool generated;
};

QStringView partOf(const QString& text, kit::Range range)
{
    return QStringView(text).mid(range.location, range.length);
}

// A view of part of the text as a QString, made without copying; it must not outlive
// the text.
QString unsharedPartOf(const QString& text, kit::Range range)
{
    return QString::fromRawData(text.constData() + range.location, range.length);
}

// The checks of one complete tag: its style attributes, and for an opening tag the
// vocabulary (is the element known, are its attributes and their values, does it
// stand inside an element it needs).
void checkTag(const TagScan& scan, const QString& tagName, const QString& text, const TagCheckContext& context)
{
    for (const TagScan::Attribute& attribute : scan.attributes) {
        if (partOf(text, attribute.name).compare(QLatin1String("style"), Qt::CaseInsensitive) == 0)
            KELSyntaxCheckTypeCSSCheck::sharedInstance().checkForStyleAttributeErrors(context.errors, text, attribute.value,
                context.generated);
    }
    if (scan.isCloseTag)
        return;

    const TagChecker& vocabulary = context.vocabulary;
    const bool html5 = context.html5;
    KELSyntaxCheckResult& errors = context.errors;
    const kit::Range location = scan.location;
    const Tag* definition = vocabulary.tag(tagName);
    if (!definition) {
        const bool markup = !tagName.isEmpty()
            && (tagName == QLatin1String("kelphperror") || tagName.startsWith(u'!') || tagName.startsWith(u'?'));
        // Custom elements are valid wherever HTML5 is.
        const bool custom = html5 && tagName.contains(u'-');
        if (!markup && !custom)
            errors.addError(makeError(QStringLiteral("Unrecognized Tag"),
                                QStringLiteral("The <%1> tag is not recognized as part of the HTML specification. ").arg(tagName), location),
                HTMLType);
        return;
    }
    const QList<TagAttribute>& known = definition->attributes();
    for (const TagScan::Attribute& attribute : scan.attributes) {
        const QStringView name = partOf(text, attribute.name);
        const LowerCaseView lowerName(name);
        const QStringView lower = lowerName.view();
        const TagAttribute* found = nullptr;
        for (qsizetype d = known.size() - 1; d >= 0; --d) {
            if (known.at(d).name() == lower) {
                found = &known.at(d);
                break;
            }
        }
        if (found) {
            if (std::optional<KELSyntaxCheckError> error = found->errorForAttributeValue(unsharedPartOf(text, attribute.value))) {
                error->setTextRange(location);
                errors.addError(*error, HTMLType);
            }
        } else if (!(html5 && (lower.startsWith(QLatin1String("data-")) || lower.startsWith(QLatin1String("aria-"))))) {
            errors.addError(makeError(QStringLiteral("Unrecognized Attribute"),
                                QStringLiteral("The \"%1\" attribute is not recognized as a valid attribute for the <%2> tag.")
                                    .arg(name.toString(), tagName),
                                location),
                HTMLType);
        }
    }
    const QStringList& containedBy = definition->containedBy();
    const KELSyntaxCheckTypeHTML::OpenNameCounts* openNames = context.openNames;
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
            errors.addError(makeError(QStringLiteral("Invalid Tag Nesting"), definition->containedByErrorStringWithTagName(tagName), location),
                HTMLType);
    }
}

ScriptKind scriptKind(const TagScan& scan, const QString& text)
{
    std::optional<QString> type;
    for (const TagScan::Attribute& attribute : scan.attributes) {
        if (partOf(text, attribute.name).compare(QLatin1String("type"), Qt::CaseInsensitive) == 0) {
            type = text.mid(attribute.value.location, attribute.value.length);
            break;
        }
    }
    return scriptKind(type);
}

} // namespace

// The walk over the tags keeps the elements open around the current place on a stack.
// The tree, when one is wanted, is built alongside; the check alone needs no tree, and
// so makes no nodes and no tag objects.
class KELSyntaxCheckTypeHTML::Walk {
public:
    struct Open {
        QString name;
        kit::Range location;
        TagEnclosure* node; // null without a tree
    };

    Walk(const QString& text, KELSyntaxCheckResult* result, bool generated, bool buildTree)
        : text(text)
        , result(result)
        , generated(generated)
        , buildTree(buildTree)
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

    /// Turns the void elements among the open ones from `from` on into leaves and ends
    /// them all.
    void popFrom(size_t from)
    {
        std::vector<TagEnclosure*> leaves;
        for (size_t k = open.size(); k-- > from;) {
            --openNames[open[k].name];
            if (buildTree && isVoid(open[k].name))
                leaves.push_back(open[k].node);
        }
        shiftOutermostFirst(leaves);
        open.resize(from);
    }

    /// Ends the open elements that a start tag of this name ends without their end
    /// tags (a new <li> the one before it, a <td> the cell before it), looking up
    /// through elements that may end so and void elements.
    void endImpliedBy(const QString& name)
    {
        if (!impliedEndStartTags.contains(name))
            return;
        while (true) {
            std::optional<size_t> ended;
            for (size_t k = open.size(); k-- > 0;) {
                const QString& openName = open[k].name;
                if (const QSet<QString>* closers = vocabulary.impliedEndStartTags(openName)) {
                    if (closers->contains(name)) {
                        ended = k;
                        break;
                    }
                } else if (!isVoid(openName)) {
                    break;
                }
            }
            if (!ended)
                return;
            popFrom(*ended);
        }
    }

    void report(const KELSyntaxCheckError& error, const QString& type = HTMLType)
    {
        if (result)
            result->addError(error, type);
    }

    const QString& text;
    KELSyntaxCheckResult* result;
    bool generated;
    bool buildTree;
    const TagChecker& vocabulary;
    bool html5;
    const QSet<QString>& singleTags;
    const QSet<QString>& impliedEndStartTags; // every start tag that ends some element
    std::vector<Open> open; // outermost first
    OpenNameCounts openNames; // how many of each name are open
};

KELSyntaxCheckTypeHTML& KELSyntaxCheckTypeHTML::sharedInstance()
{
    static KELSyntaxCheckTypeHTML instance;
    return instance;
}

void KELSyntaxCheckTypeHTML::checkForErrors(KELSyntaxCheckResult& result, const QString& text, kit::Range range, bool generatedSource)
{
    result.establishType(typeName(), generatedSource);
    walkText(text, range, &result, generatedSource, false, false);
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
    return walkText(text, range, errors, generatedSource, markNewLines, true);
}

std::unique_ptr<TagEnclosure> KELSyntaxCheckTypeHTML::walkText(const QString& text, kit::Range range, KELSyntaxCheckResult* errors,
    bool generatedSource, bool markNewLines, bool buildTree)
{
    Walk walk(text, errors, generatedSource, buildTree);
    std::vector<Walk::Open>& open = walk.open;
    OpenNameCounts& openNames = walk.openNames;
    std::unique_ptr<TagEnclosure> root = buildTree ? std::make_unique<TagEnclosure>(nullptr) : nullptr;
    const auto currentNode = [&]() { return open.empty() ? root.get() : open.back().node; };
    const qsizetype end = range.isNotFound() ? 0 : qMin(range.end(), text.size());
    qsizetype i = range.isNotFound() ? 0 : qMax<qsizetype>(0, range.location);
    bool walkEnded = false;
    TagScan scan; // reused for every tag

    while (i < end && !walkEnded) {
        const QChar c = text.at(i);
        if (c != u'<') {
            if (markNewLines && buildTree
                && (c == u'\n' || c == u'\r' || c == QChar(0x2028) || c == QChar(0x2029) || c == QChar(0x85))) {
                qsizetype k = i + 1;
                while (k < end && isBlank(text.at(k)))
                    ++k;
                if (k < end && text.at(k) != u'<') {
                    auto marker = std::make_shared<TagInstance>();
                    marker->setLocation(kit::Range(k, 1));
                    TagEnclosure* parent = currentNode();
                    auto node = std::make_unique<TagEnclosure>(parent);
                    node->setTag(marker);
                    parent->addEnclosed(std::move(node));
                }
                i = k;
            } else {
                ++i;
            }
            continue;
        }
        const qsizetype last = end - 1;
        if (i + 1 <= last && text.at(i + 1) == u'?') {
            i = indexAfterPHPClose(i + 1, last, text);
            continue;
        }
        if (i + 3 <= last && QStringView(text).mid(i + 1, 3) == QLatin1String("!--")) {
            i = indexAfterCommentClose(i + 1, last, text);
            continue;
        }
        bool complete = false;
        const qsizetype j = TagReader::scanTag(i, last, text, scan, &complete);
        qsizetype next = j + 1;
        if (!complete) {
            i = next;
            continue;
        }
        const QString name = TagReader::lowerCaseName(partOf(text, scan.nameRange));
        if (errors)
            checkTag(scan, name, text, TagCheckContext { walk.vocabulary, walk.html5, &openNames, *errors, generatedSource });
        if (name.isEmpty()) {
            i = next;
            continue;
        }
        // "<" before something that cannot start a tag name ("<%= x %>" in a code sample,
        // "<>") is reported where it stands but opens no element, so the elements around
        // it keep their structure.
        if (const QChar first = name.at(0); !(first.isLetter() || first == u'!' || first == u'?' || first == u'/')) {
            i = next;
            continue;
        }
        std::shared_ptr<TagInstance> tag;
        if (buildTree) {
            tag = std::make_shared<TagInstance>();
            TagReader::fillTag(scan, name, text, *tag);
        }
        if (!scan.isCloseTag) {
            walk.endImpliedBy(name);
            TagEnclosure* added = nullptr;
            if (buildTree) {
                TagEnclosure* parent = currentNode();
                auto node = std::make_unique<TagEnclosure>(parent);
                node->setTag(tag);
                added = parent->addEnclosed(std::move(node));
            }
            if (!scan.isXHTMLCloseTag) {
                open.push_back({ name, scan.location, added });
                ++openNames[name];
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
                            switch (scriptKind(scan, text)) {
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
            std::optional<size_t> match;
            if (openNames.value(name) > 0) {
                for (size_t k = open.size(); k-- > 0;) {
                    if (open[k].name == name) {
                        match = k;
                        break;
                    }
                }
            }
            if (!match) {
                walk.report(makeError(QStringLiteral("Unmatched Tag"),
                    QStringLiteral("The </%1> tag attempts to close an element that is not open. ").arg(name), scan.location));
                if (buildTree) {
                    TagEnclosure* parent = currentNode();
                    auto node = std::make_unique<TagEnclosure>(parent);
                    node->setTag(tag);
                    parent->addEnclosed(std::move(node));
                }
            } else {
                for (size_t k = open.size(); k-- > *match + 1;) {
                    const QString& openName = open[k].name;
                    if (!walk.isVoid(openName) && !walk.mayEndImplicitly(openName)) {
                        const qsizetype start = open[k].location.location;
                        walk.report(makeError(QStringLiteral("Unmatched Tag"),
                            QStringLiteral("The <%1> tag is closed implicitly by the </%2> tag. ").arg(openName, name),
                            kit::Range(start, scan.location.end() - start)));
                    }
                }
                const Walk::Open matched = open[*match];
                walk.popFrom(*match + 1);
                --openNames[matched.name];
                open.pop_back();
                if (buildTree) {
                    matched.node->setCloseTag(tag);
                    matched.node->tag()->setMatchingTag(tag.get());
                    tag->setMatchingTag(matched.node->tag().get());
                }

                if (matched.name == QLatin1String("kelphperror") && errors) {
                    const qsizetype from = matched.location.end();
                    const qsizetype to = scan.location.location;
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

    for (size_t k = open.size(); k-- > 0;) {
        const QString& name = open[k].name;
        if (!walk.isVoid(name) && !walk.mayEndImplicitly(name))
            walk.report(makeError(QStringLiteral("Unmatched Tag"), QStringLiteral("The <%1> tag is not closed. ").arg(name), open[k].location));
    }
    walk.popFrom(0);
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
    TagScan scan;
    bool complete = false;
    const qsizetype result = TagReader::scanTag(s, e, text, scan, &complete);
    if (!complete)
        return result;
    const QString name = TagReader::lowerCaseName(partOf(text, scan.nameRange));
    TagReader::fillTag(scan, name, text, tag);
    if (errors) {
        const bool html5 = kit::UserDefaults::standard().boolValue(KELShowHTML5Completions);
        checkTag(scan, name, text, TagCheckContext { TagChecker::currentTagChecker(), html5, openNames, *errors, generatedSource });
    }
    return result;
}

std::shared_ptr<TagInstance> KELSyntaxCheckTypeHTML::tagInRange(kit::Range range, const QString& text)
{
    return TagReader::tagInRange(range, text);
}
