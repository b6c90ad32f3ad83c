// Matching one structure's grammar over its text and colouring it by the
// current style's rules.

#include "kit/Log.h"
#include "kit/text/TextStorage.h"
#include "syntax/ColoringGroup.h"
#include "syntax/SyntaxColoringRule.h"
#include "syntax/SyntaxManager.h"
#include "syntax/SyntaxStructureMatch.h"
#include "syntax/SyntaxTextAttributes.h"
#include "syntax/SyntaxType.h"

#include <QSet>
#include <QVarLengthArray>
#include <algorithm>

using kit::Range;

namespace {

// Grammars nest a few levels deep; a definition that goes further (or refers to
// a structure that is already being matched at the same place) would recurse
// until the stack runs out, so the match is cut there and counts as failed.
constexpr int MaxStructureDepth = 64;

struct ActiveStructure
{
    const SyntaxStructure* structure;
    qsizetype location;
};
thread_local std::vector<ActiveStructure> t_activeStructures;

// One log line per cut structure and kind of cut, not one per character coloured.
void reportCut(const QString& typeName, const QString& structureName, bool cycle)
{
    thread_local QSet<QString> reported;
    const QString key = typeName + QLatin1Char('\n') + structureName + (cycle ? QStringLiteral("\nc") : QString());
    if (reported.contains(key))
        return;
    reported.insert(key);
    if (cycle)
        kit::log(QStringLiteral("Error: structure %1 of syntax type %2 refers to itself without consuming text; "
                                "the reference is cut")
                     .arg(structureName, typeName));
    else
        kit::log(QStringLiteral("Error: structures of syntax type %1 nest deeper than %2 levels at structure %3; "
                                "the match is cut")
                     .arg(typeName)
                     .arg(MaxStructureDepth)
                     .arg(structureName));
}

// Marks a structure as being matched at a place for as long as it lives.
class ActiveStructureScope
{
public:
    ActiveStructureScope(const SyntaxStructure* s, qsizetype location)
    {
        t_activeStructures.push_back({ s, location });
    }
    ~ActiveStructureScope() { t_activeStructures.pop_back(); }
    ActiveStructureScope(const ActiveStructureScope&) = delete;
    ActiveStructureScope& operator=(const ActiveStructureScope&) = delete;
};

// Colours through the text storage; a range that no longer fits the text is cut
// to it rather than trusted.
void setColor(kit::TextStorage* storage, kit::AttributeValueId color, Range range)
{
    syntaxattributes::set(storage, kit::ForegroundColorKey, color, range);
}

// Element `depth` of a rule's path: its apply elements, then its match elements.
const SyntaxStructure* ruleElement(const SyntaxColoringRule* rule, int depth, int* pathLength)
{
    const auto& apply = rule->applyStructures();
    const auto& match = rule->matchStructures();
    *pathLength = int(apply.size() + match.size());
    if (depth < int(apply.size()))
        return apply[size_t(depth)].get();
    if (depth < *pathLength)
        return match[size_t(depth) - apply.size()].get();
    return nullptr;
}

// A path element matches a structure of the same name whose own text, when the
// element has a text matcher, is wholly matched by it.
bool elementMatches(
    const SyntaxStructure* element, const SyntaxStructure* structure, const SyntaxText& text, Range ownText)
{
    if (!element || element->nameId() != structure->nameId())
        return false;
    if (!element->text())
        return true;
    if (ownText.location == kit::NotFound)
        return false;
    return element->text()->longestMatchInString(text, ownText, false) == ownText.length;
}

} // namespace

void SyntaxType::preparePass()
{
    m_pass = PassSettings();
    m_pass.valid = true;
    m_pass.coloringEnabled = coloringEnabled();
    m_pass.style = currentStyle();
    m_pass.baseColor = plainTextColor();
    m_pass.baseColorId = syntaxattributes::colorId(m_pass.baseColor);
    m_pass.textColorId = syntaxattributes::colorId(ColoringGroup::textColor());
    m_pass.lookups = std::make_shared<PassSettings::Lookups>();
}

const SyntaxType::PassSettings::Lookups::Candidates& SyntaxType::candidatesFor(const SyntaxStructure* structure)
{
    if (!m_pass.lookups)
        m_pass.lookups = std::make_shared<PassSettings::Lookups>();
    auto& candidates = m_pass.lookups->candidates;
    const int name = structure->nameId();
    auto it = candidates.find(name);
    if (it != candidates.end())
        return it.value();
    // A path's first element must name the structure; the others are never looked at.
    PassSettings::Lookups::Candidates found;
    if (m_pass.style) {
        for (ColoringRuleRange& r : m_pass.style->coloringRuleRanges()) {
            int pathLength = 0;
            const SyntaxStructure* first = ruleElement(r.rule, 0, &pathLength);
            if (first && first->nameId() == name)
                found.rules.push_back(&r);
        }
    }
    for (StructureValid& v : m_structureValids) {
        const auto& path = v.structure->startStructureMatch()->matchStructures();
        if (!path.empty() && path.front()->nameId() == name)
            found.valids.push_back(&v);
    }
    return candidates.insert(name, std::move(found)).value();
}

const SyntaxStructure* SyntaxType::referenceTarget(const SyntaxStructure* element)
{
    if (!m_pass.lookups)
        m_pass.lookups = std::make_shared<PassSettings::Lookups>();
    auto& targets = m_pass.lookups->targets;
    const size_t name = size_t(element->nameId());
    if (name >= targets.size())
        targets.resize(name + 1);
    if (!targets[name])
        targets[name] = structureWithName(element->name());
    return *targets[name];
}

QColor SyntaxType::plainTextColor() const
{
    const SyntaxColoringStyle* style = m_pass.valid ? m_pass.style : currentStyle();
    if (style && !style->textRules().isEmpty())
        if (ColoringGroup* group = manager()->coloringGroupForRule(style->textRules().last(), this))
            return group->color();
    return ColoringGroup::textColor();
}

kit::AttributeValueId SyntaxType::colorForRule(const SyntaxColoringRule* rule)
{
    auto it = m_pass.ruleColors.constFind(rule);
    if (it != m_pass.ruleColors.constEnd())
        return it.value();
    ColoringGroup* group = manager()->coloringGroupForRule(rule, this);
    const kit::AttributeValueId color = syntaxattributes::colorId(group ? group->color() : rule->defaultColor());
    m_pass.ruleColors.insert(rule, color);
    return color;
}

ColoringResult SyntaxType::efficientColorKELHTMLView(
    kit::TextStorage* storage, Range range, Range maxRange, const SyntaxStructure* structure)
{
    ColoringResult result;
    if (!m_pass.valid)
        preparePass();
    const bool enabled = m_pass.coloringEnabled;
    if (range.length == 0) {
        result.range = range;
        return result;
    }
    const kit::AttributeValueId base = m_pass.baseColorId;
    // The rules' colours are collected and laid over the base colour once the
    // structure's extent is known: a start-only structure learns it only from the
    // match, and text no rule colours must not keep a colour from before an edit.
    QVarLengthArray<std::pair<Range, kit::AttributeValueId>, 16> ops;
    auto* const outerOps = m_pass.colorOps;
    m_pass.colorOps = &ops;

    // Only the rules and start patterns whose path begins with this structure can
    // match below it; no others are read or set.
    const PassSettings::Lookups::Candidates& candidates = candidatesFor(structure);
    QVarLengthArray<ColoringRuleRange*, 32> rules;
    for (ColoringRuleRange* r : candidates.rules) {
        r->valid = false;
        rules.push_back(r);
    }
    QVarLengthArray<StructureValid*, 32> valids;
    for (StructureValid* v : candidates.valids) {
        v->valid = false;
        valids.push_back(v);
    }
    bool valid = true;
    const Range covered
        = efficientColorHtmlView(storage, range, maxRange, structure, &valid, std::span(rules.data(), size_t(rules.size())),
            std::span(valids.data(), size_t(valids.size())), 0, enabled);
    m_pass.colorOps = outerOps;
    if (enabled) {
        // Lay the rules' colours over the base colour first, then write only the
        // pieces whose colour changes.
        using Pieces = QVarLengthArray<std::pair<Range, kit::AttributeValueId>, 16>;
        Pieces pieces { { structure->isStartOnlyStructure() ? covered : range, base } };
        Pieces next;
        for (const auto& [r, color] : ops) {
            next.clear();
            for (const auto& [piece, pieceColor] : pieces) {
                const Range overlap = Range::intersection(piece, r);
                if (overlap.length <= 0) {
                    next.emplace_back(piece, pieceColor);
                    continue;
                }
                if (overlap.location > piece.location)
                    next.emplace_back(Range(piece.location, overlap.location - piece.location), pieceColor);
                if (overlap.end() < piece.end())
                    next.emplace_back(Range(overlap.end(), piece.end() - overlap.end()), pieceColor);
            }
            next.emplace_back(r, color);
            std::sort(next.begin(), next.end(),
                [](const auto& a, const auto& b) { return a.first.location < b.first.location; });
            std::swap(pieces, next);
        }
        for (const auto& [piece, color] : pieces)
            setColor(storage, color, piece);
    }
    for (const StructureValid* v : valids) {
        if (v->valid) {
            result.startStructureMatch = v->structure;
            break;
        }
    }
    result.range = covered;
    if (!enabled)
        setColor(storage, m_pass.textColorId, range);
    return result;
}

Range SyntaxType::efficientColorHtmlView(kit::TextStorage* storage, Range range, Range maxRange,
    const SyntaxStructure* s, bool* validOut, std::span<ColoringRuleRange* const> ruleRanges,
    std::span<StructureValid* const> structureValids, int depth, bool enabled)
{
    const SyntaxText text(storage);
    const qsizetype loc = range.location;
    const qsizetype len = range.length;
    const bool pseudo = s == SyntaxStructure::startStructure() || s == SyntaxStructure::endStructure();
    if (!pseudo) {
        const bool cycle = std::any_of(t_activeStructures.begin(), t_activeStructures.end(),
            [&](const ActiveStructure& a) { return a.structure == s && a.location == loc; });
        if (cycle || depth > MaxStructureDepth) {
            reportCut(m_typeName, s->name(), cycle);
            if (validOut)
                *validOut = false;
            return Range(loc, 0);
        }
    }
    const ActiveStructureScope active(s, loc);
    bool valid = len != 0;

    Range startRange(kit::NotFound, 0);
    Range endRange(kit::NotFound, 0);
    qsizetype bodyStart = loc;
    qsizetype bodyEnd = loc + len;
    if (s->start()) {
        const qsizetype m = s->start()->longestMatchInString(text, range, false);
        if (m == kit::NotFound) {
            valid = false;
        } else {
            startRange = Range(loc, m);
            if (s->excludeStartFromBody())
                bodyStart = loc + m;
        }
    }
    if (s->end()) {
        const qsizetype m = s->end()->longestMatchInString(text, Range(bodyStart, bodyEnd - bodyStart), true);
        if (m != kit::NotFound && s->end()->matchOutsideRange()) {
            endRange = Range(bodyEnd, 0);
        } else if (m != kit::NotFound) {
            endRange = Range(bodyEnd - m, m);
            bodyEnd -= m;
        } else if (!(s->end()->endOfContents() && bodyEnd >= maxRange.end())) {
            valid = false;
        }
    }
    qsizetype c = bodyStart;
    Range ownText = pseudo ? range : Range(kit::NotFound, 0);
    if (valid && s->text()) {
        const qsizetype m = s->text()->longestMatchInString(text, Range(c, bodyEnd - c), false);
        if (m == kit::NotFound) {
            valid = false;
        } else {
            ownText = Range(c, m);
            c += m;
        }
    }

    // Rules and start patterns whose path goes on below this level.
    QVarLengthArray<ColoringRuleRange*, 16> nextRules;
    QVarLengthArray<ColoringRuleRange*, 16> noted;
    for (ColoringRuleRange* rr : ruleRanges) {
        int pathLength = 0;
        const SyntaxStructure* element = ruleElement(rr->rule, depth, &pathLength);
        if (!elementMatches(element, s, text, ownText))
            continue;
        if (depth < pathLength - 1) {
            if (!rr->valid)
                nextRules.push_back(rr);
        } else {
            rr->valid = true;
        }
        if (depth == int(rr->rule->applyStructures().size()) - 1)
            noted.push_back(rr);
    }
    QVarLengthArray<StructureValid*, 16> nextValids;
    for (StructureValid* sv : structureValids) {
        const auto& path = sv->structure->startStructureMatch()->matchStructures();
        if (depth >= int(path.size()) || !elementMatches(path[size_t(depth)].get(), s, text, ownText))
            continue;
        if (depth < int(path.size()) - 1) {
            if (!sv->valid)
                nextValids.push_back(sv);
        } else {
            sv->valid = true;
        }
    }

    const std::span<ColoringRuleRange* const> nextRuleSpan(nextRules.data(), size_t(nextRules.size()));
    const std::span<StructureValid* const> nextValidSpan(nextValids.data(), size_t(nextValids.size()));
    if (!nextRules.empty() || !nextValids.empty()) {
        if (startRange.location != kit::NotFound)
            efficientColorHtmlView(storage, startRange, maxRange, SyntaxStructure::startStructure(), nullptr,
                nextRuleSpan, nextValidSpan, depth + 1, enabled);
        if (endRange.location != kit::NotFound)
            efficientColorHtmlView(storage, endRange, maxRange, SyntaxStructure::endStructure(), nullptr,
                nextRuleSpan, nextValidSpan, depth + 1, enabled);
    }

    auto repeat = [&](const SyntaxStructure* element, qsizetype from, qsizetype* to) {
        const SyntaxStructure* target = element->isReference() ? referenceTarget(element) : element;
        quint64 count = 0;
        qsizetype at = from;
        if (target) {
            while ((element->maxOccurs() == SyntaxUnlimited || count < element->maxOccurs()) && at <= bodyEnd) {
                bool childValid = true;
                const Range r = efficientColorHtmlView(storage, Range(at, bodyEnd - at), maxRange, target, &childValid,
                    nextRuleSpan, nextValidSpan, depth + 1, enabled);
                if (!childValid)
                    break;
                at = r.end();
                ++count;
            }
        }
        *to = at;
        return count >= element->minOccurs();
    };
    if (valid && s->sequence()) {
        for (const auto& element : *s->sequence()) {
            qsizetype to = c;
            if (!repeat(element.get(), c, &to)) {
                valid = false;
                break;
            }
            c = to;
        }
    } else if (valid && s->option()) {
        bool taken = false;
        for (const auto& element : *s->option()) {
            qsizetype to = c;
            if (repeat(element.get(), c, &to)) {
                c = to;
                taken = true;
                break;
            }
        }
        valid = taken;
    }
    if (pseudo)
        c = loc + len;

    const bool plain = s->end() && !s->text() && !s->sequence() && !s->option();
    const bool complete = valid && (!s->end() || plain || c == bodyEnd);
    qsizetype covered = (complete && (c == bodyEnd || plain)) ? len : c - loc;
    if (depth == 0 && !s->isStartOnlyStructure())
        covered = len;

    // The earliest rule of the style is set last, so its colour wins.
    for (auto it = noted.rbegin(); it != noted.rend(); ++it) {
        ColoringRuleRange* rr = *it;
        if (enabled && rr->valid && (complete || rr->rule->applyInvalid() || (depth == 0 && s->isSimpleStructure()))) {
            if (m_pass.colorOps)
                m_pass.colorOps->emplace_back(Range(loc, covered), colorForRule(rr->rule));
            else
                setColor(storage, colorForRule(rr->rule), Range(loc, covered));
        }
        rr->valid = false;
    }
    if (validOut)
        *validOut = complete && c > loc;
    return Range(loc, covered);
}
