// The colouring pass: one forward walk over part of a text that finds where
// structures start and end, colours them, and leaves the stack of open
// structures on the text so a later pass can resume anywhere.

#include "syntax/KELSyntaxTextView.h"
#include "kit/Log.h"
#include "kit/text/TextStorage.h"
#include "syntax/ColoringGroup.h"
#include "syntax/SyntaxInfo.h"
#include "syntax/SyntaxManager.h"
#include "syntax/SyntaxStructureObserver.h"
#include "syntax/SyntaxTextAttributes.h"
#include "syntax/SyntaxType.h"

#include <QSet>
#include <algorithm>

using kit::Range;

namespace {

bool isWhitespaceOrNewline(QChar c) { return c.isSpace() || kit::TextStorage::isLineTerminator(c); }

// Words after which "/" starts a regular expression rather than a division.
// "this" is not among them: "this / 2" divides.
const QSet<QString>& regexKeywords()
{
    static const QSet<QString> words { QStringLiteral("break"), QStringLiteral("case"), QStringLiteral("catch"),
        QStringLiteral("continue"), QStringLiteral("default"), QStringLiteral("delete"), QStringLiteral("do"),
        QStringLiteral("else"), QStringLiteral("finally"), QStringLiteral("for"), QStringLiteral("function"),
        QStringLiteral("if"), QStringLiteral("in"), QStringLiteral("instanceof"), QStringLiteral("new"),
        QStringLiteral("return"), QStringLiteral("switch"), QStringLiteral("throw"), QStringLiteral("try"),
        QStringLiteral("typeof"), QStringLiteral("var"), QStringLiteral("void"), QStringLiteral("while"),
        QStringLiteral("with") };
    return words;
}

// Whether `inner` holds every name of `outer` and more, outermost first.
bool isNestedIn(const SyntaxStructureStack& inner, const SyntaxStructureStack& outer)
{
    const QStringList& a = inner.structures();
    const QStringList& b = outer.structures();
    if (a.size() <= b.size())
        return false;
    for (qsizetype i = 0; i < b.size(); ++i)
        if (a[i] != b[i])
            return false;
    return true;
}

// The types being coloured, outermost first: a type that embeds another that
// embeds it again (directly or further down) would recurse without end.
constexpr qsizetype MaxTypeNesting = 16;
thread_local QList<const SyntaxType*> t_typesBeingColored;

class TypeColoringScope
{
public:
    explicit TypeColoringScope(const SyntaxType* type) { t_typesBeingColored.append(type); }
    ~TypeColoringScope() { t_typesBeingColored.removeLast(); }
    TypeColoringScope(const TypeColoringScope&) = delete;
    TypeColoringScope& operator=(const TypeColoringScope&) = delete;
};

// Whether colouring `nested` inside the types being coloured now would close a
// cycle or nest too deep; says so in the log once per chain.
bool nestingIsCut(const SyntaxType* nested)
{
    const bool cycle = t_typesBeingColored.contains(nested);
    if (!cycle && t_typesBeingColored.size() < MaxTypeNesting)
        return false;
    QStringList chain;
    for (const SyntaxType* t : std::as_const(t_typesBeingColored))
        chain << t->typeName();
    chain << nested->typeName();
    const QString text = chain.join(QStringLiteral(" -> "));
    thread_local QSet<QString> reported;
    if (!reported.contains(text)) {
        reported.insert(text);
        kit::log(cycle
                ? QStringLiteral("Error: syntax types embed each other (%1); the inner region is coloured as text")
                      .arg(text)
                : QStringLiteral("Error: syntax types nest deeper than %1 levels (%2); the inner region is coloured "
                                 "as text")
                      .arg(MaxTypeNesting)
                      .arg(text));
    }
    return true;
}

} // namespace

std::optional<SyntaxCompletionResult> SyntaxType::colorHTMLView(
    KELSyntaxTextView* view, SyntaxInfo& info, bool startCompletions, qsizetype* correctColoringIndex)
{
    if (!view || !view->textStorage())
        return std::nullopt;
    return colorHTMLView(view->textStorage(), info, startCompletions, correctColoringIndex);
}

std::optional<SyntaxCompletionResult> SyntaxType::colorHTMLView(
    kit::TextStorage* storage, SyntaxInfo& info, bool startCompletions, qsizetype* correctColoringIndex)
{
    SyntaxType* root = rootType();
    return (root ? root : this)->rootTypeColorKELHTMLView(storage, info, startCompletions, correctColoringIndex);
}

std::optional<SyntaxCompletionResult> SyntaxType::rootTypeColorKELHTMLView(
    kit::TextStorage* storage, SyntaxInfo& info, bool startCompletions, qsizetype* correctColoringIndex)
{
    if (!storage)
        return std::nullopt;
    storage->beginEditing();
    std::optional<SyntaxCompletionResult> completions;
    if (info.cursorIndex() != kit::NotFound)
        completions.emplace();

    const qsizetype length = storage->length();
    Range range = info.colorRange();
    if (range.location == kit::NotFound)
        range = Range(0, 0);
    // A range computed before the text changed is cut to the text as it is.
    range.location = std::clamp<qsizetype>(range.location, 0, length);
    range.length = std::clamp<qsizetype>(range.length, 0, length - range.location);
    if (correctColoringIndex && *correctColoringIndex != 0 && *correctColoringIndex < range.location)
        range = Range(*correctColoringIndex, range.end() - *correctColoringIndex);
    const qsizetype maxLength = qsizetype(std::min<quint64>(info.maxColoringLength(), quint64(length) + 1));
    if (info.switchIndex() > range.location + maxLength)
        info.setSwitchIndex(range.location + maxLength);

    colorKELHTMLView(storage, range, Range(0, length), completions ? &*completions : nullptr, startCompletions, info);
    if (completions)
        finishCompletions(SyntaxText(storage), info.cursorIndex(), *completions, startCompletions);

    storage->endEditing();
    if (correctColoringIndex && (qsizetype(info.finalColoringIndex()) > *correctColoringIndex || info.brokeEarly()))
        *correctColoringIndex = qsizetype(info.finalColoringIndex());
    return completions;
}

void SyntaxType::colorKELHTMLView(kit::TextStorage* storage, Range range, Range maxRange,
    SyntaxCompletionResult* completionResult, bool startCompletions, SyntaxInfo& info)
{
    const SyntaxText text(storage);
    const qsizetype textLength = text.size();
    maxRange = Range::intersection(maxRange, Range(0, textLength));
    const qsizetype maxStart = maxRange.location;
    const qsizetype maxEnd = maxRange.end();
    const bool isHTML = m_typeName == QLatin1String("HTML");
    const bool isJavaScript = m_typeName == QLatin1String("JavaScript");
    const bool isCSS = m_typeName == QLatin1String("CSS");
    const PassSettings saved = m_pass;
    const TypeColoringScope coloring(this);
    preparePass();

    SyntaxStructureStack stack;
    const SyntaxStructure* open = nullptr;
    qsizetype openStart = 0;
    qsizetype bodyStart = 0;
    qsizetype lastClosePosition = kit::NotFound;
    qsizetype startOnlyClosePosition = kit::NotFound;
    const qsizetype cursorIndex = completionResult ? info.cursorIndex() : kit::NotFound;

    const qsizetype k = m_maxStartEndLength;
    const qsizetype back = std::min(k, range.location);
    const Range passRange = Range::intersection(maxRange, Range(range.location - back, range.length + k + back));
    qsizetype passStart = passRange.location;
    qsizetype plannedEnd = passRange.end();
    qsizetype i = passStart;

    auto startMatch = [&](const SyntaxStructure* s, qsizetype at) {
        return s->start()->longestMatchInString(text, Range(at, maxEnd - at), false);
    };

    // Resume from the parse state stored before the pass start.
    if (passStart > maxStart) {
        const qsizetype lowest = std::max(maxStart, passStart - 1999);
        for (qsizetype p = passStart - 1; p >= lowest; --p) {
            Range run;
            const SyntaxStructureStack stored = storedStackAt(storage, p, &run, maxRange);
            const SyntaxStructure* s = stored.isEmpty() ? nullptr : structureWithName(stored.currentStructureName());
            if (s && (s->isStartOnlyStructure() || (isCSS && s->name() == QLatin1String("selector")))) {
                passStart = i = run.location;
                break;
            }
            if (s && s->isSimpleStructure() && p == run.end() - 1 && stored.structures().size() == 1
                && !isNestedIn(storedStackAt(storage, p + 1), stored)) {
                // The structure closed right after p (nothing nested in it starts
                // there): resume at p + 1 with nothing open. Taking it as open from p
                // would never find its end text.
                passStart = i = p + 1;
                lastClosePosition = p + 1;
                break;
            }
            if (s && s->isSimpleStructure()) {
                open = s;
                stack = stored;
                openStart = bodyStart = p;
                bool startFound = false;
                if (s->start()) {
                    // The structure began where its stored state begins; a start text
                    // found nearer could be part of its body or end ("//*/").
                    if (run.location >= lowest) {
                        const qsizetype m = startMatch(s, run.location);
                        if (m != kit::NotFound) {
                            openStart = run.location;
                            bodyStart = run.location + m;
                            startFound = true;
                        }
                    }
                    const qsizetype maxBack = std::min<qsizetype>(s->start()->maxLength(), 500) + 1;
                    for (qsizetype q = p; !startFound && q > p - maxBack && q >= maxStart; --q) {
                        const qsizetype m = startMatch(s, q);
                        if (m != kit::NotFound) {
                            openStart = q;
                            bodyStart = q + m;
                            startFound = true;
                        }
                    }
                }
                if (!startFound && s->end()) {
                    // The end text may already have begun before p.
                    bodyStart = std::max(maxStart, p - std::max<qsizetype>(0, s->end()->maxLength() - 1));
                }
                // Read on from its start: adjacent structures of one kind share a run
                // of state, so one may have ended between its start and p.
                passStart = startFound ? openStart : p;
                i = passStart + 1;
                break;
            }
            if (s && s->start() && run.location >= lowest) {
                // Inside a structure with content: it started where its stored state
                // starts. Re-open that one; another structure's start found on the
                // way back (a ":" inside a declaration) would misread the text.
                const qsizetype m = startMatch(s, run.location);
                if (m != kit::NotFound) {
                    stack = stored;
                    open = s;
                    openStart = passStart = run.location;
                    bodyStart = run.location + m;
                    i = run.location + 1;
                    break;
                }
            }
            const SyntaxStructure* found = nullptr;
            qsizetype foundLength = 0;
            for (const SyntaxStructure* candidate : std::as_const(m_rootStructures)) {
                if (!candidate->start() || (isJavaScript && candidate->name() == QLatin1String("regex")))
                    continue;
                const qsizetype m = startMatch(candidate, p);
                if (m != kit::NotFound) {
                    found = candidate;
                    foundLength = m;
                    break;
                }
            }
            if (found) {
                stack.pushStructureName(found->name());
                open = found;
                openStart = p;
                bodyStart = p + foundLength;
                passStart = p;
                i = p + 1;
                break;
            }
        }
    }

    auto openNamedByStack = [&]() -> const SyntaxStructure* {
        return stack.isEmpty() ? nullptr : structureWithName(stack.currentStructureName());
    };

    for (;;) {
        if (i > plannedEnd && (i > maxEnd || i >= plannedEnd + 2000 || !open || open->isSimpleStructure()))
            break;
        if (info.switchIndex() < i) {
            info.setBrokeEarly(true);
            break;
        }
        if (open && open->end()) {
            const qsizetype m = open->end()->longestMatchInString(text, Range(bodyStart, i - bodyStart), true);
            if (m != kit::NotFound) {
                const ColoringResult result = parseAndColorKELHTMLView(storage, Range(openStart, i - openStart),
                    maxRange, open, stack, completionResult, false, startCompletions, info);
                stack.popStructureName();
                open = openNamedByStack();
                if (open)
                    openStart = bodyStart = i;
                lastClosePosition = i;
                const SyntaxStructure* next = result.startStructureMatch;
                if (next && isHTML && i >= 2 && text.at(i - 2) == QLatin1Char('/')
                    && text.at(i - 1) == QLatin1Char('>'))
                    next = nullptr;
                if (next) {
                    stack.pushStructureName(next->name());
                    open = next;
                    openStart = bodyStart = i;
                    // A body that ends where its end text starts may end right here:
                    // look at this position again.
                    if (next->end() && next->end()->matchOutsideRange())
                        --i;
                }
                if (i > plannedEnd)
                    break;
            }
        }

        const bool gated = isHTML && i < textLength && text.at(i) != QLatin1Char('<') && i != info.cursorIndex();
        if (!gated && i <= maxEnd) {
            for (const SyntaxStructure* candidate : std::as_const(m_structuresWithStart)) {
                if (open && !candidate->canInterrupt(open))
                    continue;
                const qsizetype m = startMatch(candidate, i);
                if (m == kit::NotFound)
                    continue;
                if (isJavaScript && candidate->name() == QLatin1String("regex")
                    && !regexMayStartAtIndex(storage, i,
                        open ? kit::NotFound : (lastClosePosition != kit::NotFound ? lastClosePosition : passStart)))
                    continue;
                if (open) {
                    m_pass.extentKnown = true;
                    parseAndColorKELHTMLView(storage, Range(openStart, i - openStart), maxRange, open, stack,
                        completionResult, true, startCompletions, info);
                    m_pass.extentKnown = false;
                    if (!(open->isSimpleStructure() && candidate->isSimpleStructure() && candidate->canNest(open)))
                        stack.clearStack();
                } else {
                    const qsizetype from = lastClosePosition != kit::NotFound ? lastClosePosition : passStart;
                    colorAsTextKELHTMLView(storage, Range(from, i - from), maxRange, info);
                }
                stack.pushStructureName(candidate->name());
                openStart = i;
                bodyStart = i + m;
                if (candidate->isStartOnlyStructure()) {
                    const ColoringResult result = parseAndColorKELHTMLView(storage, Range(i, maxEnd - i), maxRange,
                        candidate, stack, completionResult, false, startCompletions, info);
                    stack.popStructureName();
                    const qsizetype end = result.range.end();
                    if (end - 1 > i)
                        i = end - 1;
                    lastClosePosition = end;
                    startOnlyClosePosition = end;
                    open = openNamedByStack();
                    if (open)
                        openStart = bodyStart = end;
                } else {
                    open = candidate;
                }
                break;
            }
        }

        // Structures that could start at the cursor offer what may be typed there.
        if (startCompletions && i == cursorIndex && (!open || openStart == i) && !m_structuresWithStart.isEmpty()
            && startOnlyClosePosition != i) {
            for (const SyntaxStructure* candidate : std::as_const(m_structuresWithStart))
                determineCompletionsForKELHTMLView(storage, Range(i, 0), maxRange, candidate, i, completionResult);
        }

        ++i;
        if (i > plannedEnd && i < maxEnd)
            plannedEnd = newEndForRangeExtensionForIndex(i, storage, stack, maxRange, open ? openStart : kit::NotFound,
                open ? kit::NotFound : (lastClosePosition != kit::NotFound ? lastClosePosition : passStart));
    }

    if (i - 1 > qsizetype(info.finalColoringIndex()))
        info.setFinalColoringIndex(quint64(i - 1));
    if (i - 1 <= maxEnd) {
        if (open) {
            const Range r = Range::intersection(Range(openStart, i - openStart), maxRange);
            const bool finished = open->end() && open->end()->endOfContents() && i - 1 >= maxEnd;
            parseAndColorKELHTMLView(
                storage, r, maxRange, open, stack, completionResult, !finished, startCompletions, info);
        } else {
            const qsizetype from = lastClosePosition != kit::NotFound ? lastClosePosition : passStart;
            colorAsTextKELHTMLView(storage, Range(from, i - from), maxRange, info);
        }
    }
    m_pass = saved;
}

qsizetype SyntaxType::newEndForRangeExtensionForIndex(qsizetype i, const kit::TextStorage* storage,
    const SyntaxStructureStack& stack, Range maxRange, qsizetype openStart, qsizetype plainFrom)
{
    const SyntaxText text(storage);
    const qsizetype maxEnd = maxRange.end();
    if (i > maxEnd)
        return i - 1;
    const bool isJavaScript = m_typeName == QLatin1String("JavaScript");
    SyntaxStructureStack copy = stack;
    Range run;
    const SyntaxStructureStack stored = storedStackAt(storage, i, &run, Range(i, maxEnd - i));
    if (run.location == kit::NotFound || run.length == 0)
        run = Range(i, std::max<qsizetype>(0, maxEnd - i));

    const SyntaxStructure* open = stack.isEmpty() ? nullptr : structureWithName(stack.currentStructureName());
    const SyntaxStructure* considered = nullptr;
    bool endNoted = false;
    if (open) {
        if (open->end()
            && open->end()->longestMatchInString(text, Range(maxRange.location, i - maxRange.location), true)
                != kit::NotFound) {
            copy.popStructureName();
            considered = copy.isEmpty() ? nullptr : structureWithName(copy.currentStructureName());
        } else {
            considered = open;
        }
        if (considered && considered->end()
            && considered->end()->longestMatchInString(text, Range(maxRange.location, i + 1 - maxRange.location), true)
                != kit::NotFound)
            endNoted = true;
    }
    for (const SyntaxStructure* s : std::as_const(m_rootStructures)) {
        if (!s->start() || (considered && !s->canInterrupt(considered)))
            continue;
        if (isJavaScript && s->name() == QLatin1String("regex") && !regexMayStartAtIndex(storage, i, plainFrom))
            continue;
        if (s->start()->longestMatchInString(text, Range(i, maxEnd - i), false) == kit::NotFound)
            continue;
        if (!considered || !s->canNest(considered))
            copy.clearStack();
        copy.pushStructureName(s->name());
        if (!s->isStartOnlyStructure() && s->end()
            && s->end()->longestMatchInString(text, Range(i, std::min<qsizetype>(1, maxEnd - i)), true)
                != kit::NotFound)
            endNoted = true;
        break;
    }
    qsizetype answer;
    if (stored == copy && !endNoted) {
        answer = i - 1;
        // Whether a slash starts a regular expression depends on the text before
        // it, which the stored state does not show: look at the next slash first.
        if (isJavaScript && !open) {
            qsizetype j = i;
            while (j < maxEnd && isWhitespaceOrNewline(text.at(j)))
                ++j;
            if (j < maxEnd && text.at(j) == QLatin1Char('/'))
                answer = j;
        }
        // Inside a simple structure the old state agrees here, but the old parse may
        // have ended the structure sooner, or the old structure here began after
        // ours and so ends elsewhere: go on to the end of the stored run unless the
        // same structure ends there.
        if (open && open->isSimpleStructure() && open->end() && run.end() < maxEnd) {
            const qsizetype r = run.end();
            const bool laterStart = openStart != kit::NotFound && run.location > openStart;
            if (laterStart
                || open->end()->longestMatchInString(text, Range(maxRange.location, r - maxRange.location), true)
                    == kit::NotFound)
                answer = r;
        }
    } else {
        answer = run.end();
        if (open && answer < maxEnd - 1) {
            Range next;
            const SyntaxStructureStack after = storedStackAt(storage, answer, &next, Range(answer, maxEnd - answer));
            if (after == stack && next.location != kit::NotFound)
                answer = next.end();
        }
    }
    if (open && open->end() && open->end()->escapeChar()) {
        const QChar escape(open->end()->escapeChar());
        while (answer >= 0 && answer < text.size() - 1 && text.at(answer) == escape)
            ++answer;
    }
    return answer;
}

ColoringResult SyntaxType::parseAndColorKELHTMLView(kit::TextStorage* storage, Range range, Range maxRange,
    const SyntaxStructure* s, const SyntaxStructureStack& stack, SyntaxCompletionResult* completionResult,
    bool endMissing, bool startCompletions, SyntaxInfo& info)
{
    SyntaxStructureObserver* observer = info.observer();
    const kit::AttributeValueId stackId = stackValueId(stack);
    if (s->isStartOnlyStructure()) {
        ColoringResult result = efficientColorKELHTMLView(storage, range, maxRange, s);
        const Range extent = result.range;
        if (extent.length > 0) {
            syntaxattributes::set(storage, m_typeKey, stackId, extent);
            clearNestedParseStateInRange(storage, extent);
        }
        determineCompletionsForKELHTMLView(storage, extent, maxRange, s, info.cursorIndex(), completionResult);
        if (observer) {
            observer->clearedSyntaxStructuresOfType(m_typeName, SyntaxText(storage), extent);
            observer->foundSyntaxStructure(s->name(), m_typeName, SyntaxText(storage), extent);
        }
        return result;
    }
    if (range.length > 0)
        syntaxattributes::set(storage, m_typeKey, stackId, range);
    if (observer)
        observer->clearedSyntaxStructuresOfType(m_typeName, SyntaxText(storage), range);

    ColoringResult result;
    SyntaxType* nested = nullptr;
    if (s->isSimpleStructure() && !s->typeRef().isEmpty() && range.length > 0) {
        nested = manager()->typeForName(s->typeRef());
        if (nested == this)
            nested = nullptr;
    }
    if (nested && nestingIsCut(nested)) {
        nested = nullptr;
        clearNestedParseStateInRange(storage, range);
        colorAsTextKELHTMLView(storage, range, maxRange, info);
        if (range.length > 0)
            syntaxattributes::set(storage, m_typeKey, stackId, range);
    } else if (nested) {
        const SyntaxText text(storage);
        const qsizetype a = range.location;
        const qsizetype n = range.length;
        Range run;
        storedStackAt(storage, a, &run);
        Range nestedRange = run;
        // Without its end text the nested language may run on through the rest of
        // the parent's state, unless another structure is known to start at a + n
        // (what lies beyond is left over from an older parse).
        if (!endMissing || m_pass.extentKnown)
            nestedRange = Range(run.location, a + n - run.location);
        nestedRange = Range::intersection(nestedRange, maxRange);
        clearNestedParseStateInRange(storage, range, nested);
        nested->colorKELHTMLView(storage, range, nestedRange, completionResult, startCompletions, info);
        if (observer) {
            if (nestedRange.location == a && s->start()) {
                const qsizetype m = s->start()->longestMatchInString(text, nestedRange, false);
                if (m != kit::NotFound)
                    observer->foundSyntaxStructure(QStringLiteral("typeStart"), nested->typeName(), text, Range(a, m));
            }
            if (nestedRange.end() == a + n && s->end()) {
                const qsizetype m = s->end()->longestMatchInString(text, range, true);
                if (m != kit::NotFound)
                    observer->foundSyntaxStructure(QStringLiteral("typeEnd"), nested->typeName(), text,
                        s->end()->matchOutsideRange() ? Range(a + n, m) : Range(a + n - m, m));
            }
        }
    } else if (!endMissing || s->isSimpleStructure()) {
        clearNestedParseStateInRange(storage, range);
        result = efficientColorKELHTMLView(storage, range, maxRange, s);
        determineCompletionsForKELHTMLView(storage, range, maxRange, s, info.cursorIndex(), completionResult);
    } else {
        if (!info.brokeEarly())
            colorAsTextKELHTMLView(storage, range, maxRange, info);
        if (range.length > 0)
            syntaxattributes::set(storage, m_typeKey, stackId, range);
        determineCompletionsForKELHTMLView(storage, range, maxRange, s, info.cursorIndex(), completionResult);
    }
    result.range = range;
    if (observer)
        observer->foundSyntaxStructure(s->name(), m_typeName, SyntaxText(storage), range);
    return result;
}

const QList<const SyntaxType*>& SyntaxType::nestedTypes()
{
    if (!m_nestedTypes) {
        QList<const SyntaxType*> types;
        QList<const SyntaxType*> pending { this };
        QSet<const SyntaxType*> seen { this };
        while (!pending.isEmpty()) {
            const SyntaxType* type = pending.takeFirst();
            for (const SyntaxStructure* s : type->m_rootStructures) {
                if (s->typeRef().isEmpty())
                    continue;
                const SyntaxType* nested = manager()->typeForName(s->typeRef());
                if (!nested || seen.contains(nested))
                    continue;
                seen.insert(nested);
                pending.append(nested);
                types.append(nested);
            }
        }
        m_nestedTypes = types;
    }
    return *m_nestedTypes;
}

void SyntaxType::clearNestedParseStateInRange(kit::TextStorage* storage, Range range, const SyntaxType* keep)
{
    range = Range::intersection(range, Range(0, storage->length()));
    if (range.length <= 0)
        return;
    const QList<const SyntaxType*>& types = nestedTypes();
    if (types.isEmpty())
        return;
    const QList<const SyntaxType*>* keptNested = keep ? &const_cast<SyntaxType*>(keep)->nestedTypes() : nullptr;
    for (const SyntaxType* type : types) {
        if (type == keep || (keptNested && keptNested->contains(type)))
            continue;
        syntaxattributes::remove(storage, type->typeKey(), range);
    }
}

void SyntaxType::colorAsTextKELHTMLView(kit::TextStorage* storage, Range range, Range maxRange, SyntaxInfo& info)
{
    const Range r = Range::intersection(range, maxRange);
    if (r.length <= 0)
        return;
    syntaxattributes::remove(storage, m_typeKey, r);
    clearNestedParseStateInRange(storage, r);
    if (SyntaxStructureObserver* observer = info.observer())
        observer->clearedSyntaxStructuresOfType(m_typeName, SyntaxText(storage), r);
    syntaxattributes::set(storage, kit::ForegroundColorKey, m_pass.coloringEnabled ? m_pass.baseColorId : m_pass.textColorId, r);
}

bool SyntaxType::regexMayStartAtIndex(const kit::TextStorage* storage, qsizetype q, qsizetype plainFrom) const
{
    const SyntaxText text(storage);
    const qsizetype lowest = q - 3999;
    static const QString operators = QStringLiteral("[{}(,;:+-*/%=&|!><");
    qsizetype p = q - 1;
    for (;;) {
        if (p < 0)
            return true;
        if (p < lowest)
            return false;
        const QChar c = text.at(p);
        if (isWhitespaceOrNewline(c)) {
            --p;
            continue;
        }
        Range run(p, 1);
        // What this pass has read as plain text still carries the state of an
        // older parse: it does not count.
        const SyntaxStructureStack stack = p >= plainFrom ? SyntaxStructureStack() : storedStackAt(storage, p, &run);
        const QString top = stack.currentStructureName();
        if (top == QLatin1String("commentBlock") || top == QLatin1String("commentLine")) {
            p = std::min(p, run.location) - 1;
            continue;
        }
        if (operators.contains(c))
            return true;
        if (top == QLatin1String("variable") && run.length > 0 && run.end() <= text.size()) {
            // The run may go on into the text being re-read (typed after the word).
            const qsizetype wordEnd = std::min({ run.end(), q, plainFrom });
            return wordEnd > run.location && regexKeywords().contains(text.mid(run.location, wordEnd - run.location));
        }
        return false;
    }
}
