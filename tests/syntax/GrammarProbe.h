#pragma once
// Matches a structure of a shipped grammar against a piece of text with the
// colouring engine's own matcher (start, end and text matchers, sequences and
// options with their occurrence counts), colouring nothing, to check that the
// grammars take the text of today's languages as complete.

#include "kit/text/TextStorage.h"
#include "syntax/SyntaxType.h"

namespace syntaxtest {

struct ProbeResult
{
    bool valid = false;
    qsizetype covered = 0;
};

/// Probes a root structure over the first `length` characters of the string.
inline ProbeResult probeRoot(const SyntaxType& type, const QString& name, const QString& string, qsizetype length)
{
    const SyntaxStructure* s = type.structureWithName(name);
    if (!s)
        return {};
    kit::TextStorage storage(string);
    bool valid = true;
    const kit::Range covered = const_cast<SyntaxType&>(type).efficientColorHtmlView(
        &storage, kit::Range(0, length), kit::Range(0, string.size()), s, &valid, {}, {}, 0, false);
    return { valid, covered.length };
}

} // namespace syntaxtest
