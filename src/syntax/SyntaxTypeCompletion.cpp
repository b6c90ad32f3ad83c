// Completion search: the structures a pass colours around the cursor are
// matched into trees (partial matches kept), the language's completion
// definitions are matched against those trees, and the words of those that
// apply, filtered by what is typed, become the entries of the request.

#include "support/DefaultsKeys.h"
#include "html/KELCodeClipsManager.h"
#include "kit/Log.h"
#include "kit/UserDefaults.h"
#include "kit/text/TextStorage.h"
#include "syntax/KELCodeClipCompletion.h"
#include "syntax/StructureTreeNode.h"
#include "syntax/SyntaxCompletionRange.h"
#include "syntax/SyntaxType.h"
#include "syntax/SyntaxWordRange.h"

#include <QSet>
#include <algorithm>

using kit::Range;

namespace {

// Element `depth` of a path made of two lists, one after the other.
const SyntaxStructure* pathElement(const SyntaxCompletion::Structures& first,
    const SyntaxCompletion::Structures& second, int depth, int* pathLength)
{
    *pathLength = int(first.size() + second.size());
    if (depth < int(first.size()))
        return first[size_t(depth)].get();
    if (depth < *pathLength)
        return second[size_t(depth) - first.size()].get();
    return nullptr;
}

// A path element matches a node of the same name whose whole text, when the
// element has a text matcher, the matcher takes.
bool elementMatchesNode(const SyntaxStructure* element, const StructureTreeNode* node, const SyntaxText& text)
{
    if (!element || !node->structure || element->name() != node->structure->name())
        return false;
    if (!element->text())
        return true;
    return element->text()->longestMatchInString(text, node->range, false) == node->range.length;
}

bool containsIndex(Range r, qsizetype index) { return r.location <= index && index <= r.end(); }

} // namespace

bool SyntaxType::showCompletionsForStandard(const QString& standard)
{
    if (standard == QLatin1String("HTML5"))
        return kit::UserDefaults::standard().boolValue(KELShowHTML5Completions);
    if (standard == QLatin1String("CSS3"))
        return kit::UserDefaults::standard().boolValue(KELShowCSS3Completions);
    return true;
}

std::unique_ptr<StructureTreeNode> SyntaxType::buildStructureTreeForString(const SyntaxText& text, Range range,
    Range maxRange, const SyntaxStructure* s, bool* validOut, bool includeInvalid) const
{
    auto node = StructureTreeNode::structureTreeNode();
    node->structure = s;
    const qsizetype loc = range.location;
    const qsizetype len = range.length;

    if (s->isSimpleStructure() && m_rootStructures.contains(const_cast<SyntaxStructure*>(s))) {
        node->range = range;
        if (validOut)
            *validOut = true;
        return node;
    }

    bool valid = len != 0;
    const bool pseudo = s == SyntaxStructure::startStructure() || s == SyntaxStructure::endStructure();
    qsizetype bodyStart = loc;
    qsizetype bodyEnd = loc + len;
    if (s->start()) {
        const qsizetype m = s->start()->longestMatchInString(text, range, false);
        if (m == kit::NotFound) {
            valid = false;
        } else {
            auto start = StructureTreeNode::structureTreeNode();
            start->structure = SyntaxStructure::startStructure();
            start->range = Range(loc, m);
            node->subStructures.push_back(std::move(start));
            if (s->excludeStartFromBody())
                bodyStart = loc + m;
        }
    }
    if (s->end()) {
        const qsizetype m = s->end()->longestMatchInString(text, Range(bodyStart, bodyEnd - bodyStart), true);
        if (m != kit::NotFound) {
            auto end = StructureTreeNode::structureTreeNode();
            end->structure = SyntaxStructure::endStructure();
            end->range = Range(bodyEnd - m, m);
            node->subStructures.push_back(std::move(end));
            bodyEnd -= m;
        } else if (!(s->end()->endOfContents() && bodyEnd >= maxRange.end())) {
            valid = false;
        }
    }

    qsizetype c = bodyStart;
    // How far partial matches of children reach: text typed so far belongs to the
    // structure being typed, so its node covers it (and the cursor after it).
    qsizetype reach = c;
    if ((valid || includeInvalid) && s->text()) {
        const qsizetype m = s->text()->longestMatchInString(text, Range(c, bodyEnd - c), false);
        if (m == kit::NotFound)
            valid = false;
        else
            c += m;
    }

    // Matches one element repeatedly from `from`; answers whether it reached its
    // minimum, the position after its matches in `to`.
    auto repeat = [&](const SyntaxStructure* element, qsizetype from, qsizetype* to) {
        const SyntaxStructure* target = element->isReference() ? structureWithName(element->name()) : element;
        quint64 count = 0;
        qsizetype at = from;
        if (target) {
            while ((element->maxOccurs() == SyntaxUnlimited || count < element->maxOccurs()) && at <= bodyEnd) {
                bool childValid = false;
                auto child = buildStructureTreeForString(
                    text, Range(at, bodyEnd - at), maxRange, target, &childValid, includeInvalid);
                if (!childValid) {
                    // A partial match counts as being typed only when it runs up to the
                    // cursor; an optional one that the following text contradicts ("cl"
                    // then " id": no "=") is dropped, so the next element starts there.
                    const bool typedSoFar = child->range.end() >= bodyEnd || count < element->minOccurs();
                    if (includeInvalid && typedSoFar) {
                        reach = std::max(reach, child->range.end());
                        node->subStructures.push_back(std::move(child));
                    }
                    break;
                }
                const qsizetype next = child->range.end();
                node->subStructures.push_back(std::move(child));
                ++count;
                // An element that matches nothing would repeat for ever.
                if (next <= at)
                    break;
                at = next;
            }
        }
        *to = at;
        return count >= element->minOccurs();
    };

    if ((valid || includeInvalid) && s->sequence()) {
        for (const auto& element : *s->sequence()) {
            qsizetype to = c;
            if (!repeat(element.get(), c, &to)) {
                valid = false;
                break;
            }
            c = to;
        }
    } else if ((valid || includeInvalid) && s->option()) {
        bool taken = false;
        for (const auto& element : *s->option()) {
            const size_t before = node->subStructures.size();
            qsizetype to = c;
            if (repeat(element.get(), c, &to)) {
                c = to;
                taken = true;
                break;
            }
            if (includeInvalid) {
                for (auto& child : node->subStructures)
                    child->incompleteStructure = true;
            } else {
                node->subStructures.resize(before);
            }
        }
        if (!taken)
            valid = false;
    }
    if (pseudo)
        c = loc + len;

    const bool plain = !s->text() && !s->sequence() && !s->option();
    const qsizetype covered = includeInvalid ? std::max(c, reach) : c;
    if (!valid || (s->end() && !plain && c < bodyEnd)) {
        node->range = Range(loc, covered - loc);
        node->incompleteStructure = true;
    } else {
        node->range = (c == bodyEnd || plain) ? range : Range(loc, covered - loc);
    }
    if (validOut)
        *validOut = !node->incompleteStructure && (c > loc || plain);
    return node;
}

void SyntaxType::determineCompletionsForKELHTMLView(const kit::TextStorage* storage, Range range, Range maxRange,
    const SyntaxStructure* structure, qsizetype cursorIndex, SyntaxCompletionResult* result) const
{
    if (!result || !storage || !structure || cursorIndex == kit::NotFound || !containsIndex(range, cursorIndex))
        return;
    if (m_syntaxCompletions.empty())
        return;
    const SyntaxText text(storage);
    const qsizetype a = range.location;
    bool valid = false;
    auto tree = buildStructureTreeForString(text, Range(a, cursorIndex - a), maxRange, structure, &valid, true);
    tree->range = Range(a, cursorIndex - a);
    determineCompletionsForStructureTree(text, tree.get(), cursorIndex, result, m_syntaxCompletions);
}

void SyntaxType::determineCompletionMatches(const SyntaxText& text, const StructureTreeNode* node,
    const QList<SyntaxCompletionRange*>& inPlay, int depth) const
{
    QList<SyntaxCompletionRange*> next;
    for (qsizetype k = inPlay.size() - 1; k >= 0; --k) {
        SyntaxCompletionRange* cr = inPlay[k];
        const SyntaxCompletion* c = cr->completion();
        int pathLength = 0;
        const SyntaxStructure* element = pathElement(c->rootStructures(), c->matchStructures(), depth, &pathLength);
        if (!elementMatchesNode(element, node, text))
            continue;
        if (depth == pathLength - 1)
            cr->setValid(true);
        else
            next.prepend(cr);
    }
    if (next.isEmpty())
        return;
    for (const auto& child : node->subStructures)
        determineCompletionMatches(text, child.get(), next, depth + 1);
}

void SyntaxType::determineCompletionApplies(const SyntaxText& text, const StructureTreeNode* node, qsizetype cursorIndex,
    const QList<SyntaxCompletionRange*>& inPlay, int depth) const
{
    QList<SyntaxCompletionRange*> next;
    for (qsizetype k = inPlay.size() - 1; k >= 0; --k) {
        SyntaxCompletionRange* cr = inPlay[k];
        const SyntaxCompletion* c = cr->completion();
        int pathLength = 0;
        const SyntaxStructure* element = pathElement(c->rootStructures(), c->applyStructures(), depth, &pathLength);
        if (!elementMatchesNode(element, node, text))
            continue;
        if (depth < pathLength - 1) {
            next.prepend(cr);
            continue;
        }
        if (containsIndex(node->range, cursorIndex)) {
            if (cr->range().location == kit::NotFound || node->range.location < cr->range().location)
                cr->setRange(node->range);
            if (!c->nestedCompletions().empty())
                cr->addApplyStructureTree(node);
        }
    }
    if (next.isEmpty())
        return;
    for (const auto& child : node->subStructures)
        determineCompletionApplies(text, child.get(), cursorIndex, next, depth + 1);
}

void SyntaxType::determineCompletionsForStructureTree(const SyntaxText& text, const StructureTreeNode* tree,
    qsizetype cursorIndex, SyntaxCompletionResult* result,
    const std::vector<std::unique_ptr<SyntaxCompletion>>& completions) const
{
    if (!tree || !result || completions.empty())
        return;
    std::vector<SyntaxCompletionRange> ranges;
    ranges.reserve(completions.size());
    for (const auto& c : completions)
        ranges.emplace_back(c.get());
    QList<SyntaxCompletionRange*> all;
    all.reserve(qsizetype(ranges.size()));
    for (SyntaxCompletionRange& r : ranges)
        all.append(&r);
    determineCompletionMatches(text, tree, all, 0);
    determineCompletionApplies(text, tree, cursorIndex, all, 0);

    for (const SyntaxCompletionRange& cr : ranges) {
        const SyntaxCompletion* c = cr.completion();
        if (!cr.valid() || !showCompletionsForStandard(c->standard()))
            continue;
        if (!c->nestedCompletions().empty())
            for (const StructureTreeNode* applied : cr.applyStructureTrees())
                determineCompletionsForStructureTree(text, applied, cursorIndex, result, c->nestedCompletions());
        const Range r = cr.range();
        if (r.location == kit::NotFound || r.location > cursorIndex || r.end() < cursorIndex)
            continue;
        const QString typed = text.mid(r.location, cursorIndex - r.location);
        bool added = false;
        for (const SyntaxWordRef& ref : c->applyWordRefs()) {
            const SyntaxWord* word = m_words->objectForKey(ref.wordId());
            if (!word) {
                kit::log(QStringLiteral("no completion word with id: %1").arg(ref.wordId()));
                continue;
            }
            // Upper-casing element names changes nothing here: the test ignores case.
            if (!typed.isEmpty() && !word->storedInsertValue().startsWith(typed, Qt::CaseInsensitive))
                continue;
            if (!showCompletionsForStandard(word->standard()))
                continue;
            result->completions().append(SyntaxWordRange::wordRangeWithWord(
                word, r, copyrightWithId(word->copyrightRef()), m_typeName));
            added = true;
        }
        if (added) {
            const Range m = result->maxCompletionRange();
            result->setMaxCompletionRange(m.location == kit::NotFound ? r : Range::unionOf(m, r));
        }
    }
}

void SyntaxType::finishCompletions(
    const SyntaxText& text, qsizetype cursorIndex, SyntaxCompletionResult& result, bool startCompletions)
{
    if (cursorIndex == kit::NotFound || cursorIndex < 0 || cursorIndex > text.size())
        return;
    QList<std::shared_ptr<KELCompletion>>& list = result.completions();
    if (startCompletions || !list.isEmpty()) {
        qsizetype wordStart = cursorIndex;
        while (wordStart > 0 && text.at(wordStart - 1).isLetterOrNumber())
            --wordStart;
        const Range wordRange(wordStart, cursorIndex - wordStart);
        const QList<KELCodeClip> clips
            = KELCodeClipsManager::sharedInstance().findClipsWithCompletionNamePrefix(text.mid(wordStart, wordRange.length));
        for (const KELCodeClip& clip : clips)
            list.append(std::make_shared<KELCodeClipCompletion>(clip, wordRange));
        if (!clips.isEmpty()) {
            const Range m = result.maxCompletionRange();
            result.setMaxCompletionRange(m.location == kit::NotFound ? wordRange : Range::unionOf(m, wordRange));
        }
    }
    // Of entries offering the same word, the one latest in the list stays.
    QSet<const SyntaxWord*> seen;
    for (qsizetype k = list.size() - 1; k >= 0; --k) {
        const auto* wordRange = dynamic_cast<const SyntaxWordRange*>(list[k].get());
        if (!wordRange)
            continue;
        if (seen.contains(wordRange->word()))
            list.removeAt(k);
        else
            seen.insert(wordRange->word());
    }
    std::stable_sort(list.begin(), list.end(),
        [](const std::shared_ptr<KELCompletion>& a, const std::shared_ptr<KELCompletion>& b) {
            return a->compare(*b) < 0;
        });
}
