#pragma once
// Matches a structure of a grammar against a piece of text the way the
// colouring engine matches a structure it has found (start, end and text
// matchers, sequences and options with their occurrence counts), to check that
// the shipped grammars take the text of today's languages as complete.

#include "syntax/SyntaxType.h"

namespace syntaxtest {

struct ProbeResult
{
    bool valid = false;
    qsizetype covered = 0;
};

inline ProbeResult probe(const SyntaxType& type, const SyntaxStructure* element, const QString& string,
    kit::Range range, kit::Range maxRange, int depth)
{
    const SyntaxStructure* s = element->isReference() ? type.structureWithName(element->name()) : element;
    if (!s)
        return {};
    const qsizetype loc = range.location, len = range.length;
    bool valid = len != 0;
    qsizetype bodyStart = loc, bodyEnd = loc + len;
    if (s->start()) {
        const qsizetype m = s->start()->longestMatchInString(string, range, false);
        if (m == kit::NotFound)
            valid = false;
        else if (s->excludeStartFromBody())
            bodyStart = loc + m;
    }
    if (s->end()) {
        const qsizetype m = s->end()->longestMatchInString(string, kit::Range(bodyStart, bodyEnd - bodyStart), true);
        if (m == kit::NotFound) {
            if (!(s->end()->endOfContents() && bodyEnd == maxRange.end()))
                valid = false;
        } else if (!s->end()->matchOutsideRange()) {
            bodyEnd -= m;
        }
    }
    qsizetype c = bodyStart;
    if (valid && s->text()) {
        const qsizetype m = s->text()->longestMatchInString(string, kit::Range(c, bodyEnd - c), false);
        if (m == kit::NotFound)
            valid = false;
        else
            c += m;
    }
    auto repeat = [&](const SyntaxStructure* e, qsizetype from, qsizetype* to) {
        quint64 count = 0;
        qsizetype at = from;
        while ((e->maxOccurs() == SyntaxUnlimited || count < e->maxOccurs()) && at <= bodyEnd) {
            const ProbeResult r = probe(type, e, string, kit::Range(at, bodyEnd - at), maxRange, depth + 1);
            if (!r.valid)
                break;
            at += r.covered;
            ++count;
        }
        *to = at;
        return count >= e->minOccurs();
    };
    if (valid && s->sequence()) {
        for (const auto& e : *s->sequence()) {
            qsizetype to = c;
            if (!repeat(e.get(), c, &to)) {
                valid = false;
                break;
            }
            c = to;
        }
    } else if (valid && s->option()) {
        bool taken = false;
        for (const auto& e : *s->option()) {
            qsizetype to = c;
            if (repeat(e.get(), c, &to)) {
                c = to;
                taken = true;
                break;
            }
        }
        valid = taken;
    }
    const bool plain = s->end() && !s->text() && !s->sequence() && !s->option();
    const bool complete = valid && (!s->end() || plain || c == bodyEnd);
    qsizetype covered = (complete && (c == bodyEnd || plain)) ? len : c - loc;
    if (depth == 0 && !s->isStartOnlyStructure())
        covered = len;
    return { complete && c > loc, covered };
}

/// Probes a root structure over the first `length` characters of the string.
inline ProbeResult probeRoot(const SyntaxType& type, const QString& name, const QString& string, qsizetype length)
{
    const SyntaxStructure* s = type.structureWithName(name);
    if (!s)
        return {};
    return probe(type, s, string, kit::Range(0, length), kit::Range(0, string.size()), 0);
}

} // namespace syntaxtest
