// Parse-state queries and the lookup of nested languages.

#include "kit/text/TextStorage.h"
#include "syntax/SyntaxManager.h"
#include "syntax/SyntaxStructureStack.h"
#include "syntax/SyntaxType.h"

using kit::Range;

SyntaxStructureStack SyntaxType::storedStackAt(
    const kit::TextStorage* storage, qsizetype location, Range* longest, Range limit) const
{
    if (!storage || location < 0 || location >= storage->length()) {
        if (longest)
            *longest = Range(location, 0);
        return SyntaxStructureStack();
    }
    Range run;
    const kit::AttributeValueId id = storage->valueIdAt(m_typeKey, location, longest ? &run : nullptr);
    if (longest) {
        if (limit.location == kit::NotFound)
            limit = Range(0, storage->length());
        *longest = location >= limit.location && location < limit.end()
            ? Range::intersection(run, limit)
            : Range(std::clamp(location, limit.location, limit.end()), 0);
    }
    return stackForValueId(id);
}

bool SyntaxType::textViewHasStructure(
    const kit::TextStorage* storage, const QString& structureName, qsizetype location, Range* longest) const
{
    Range run;
    const SyntaxStructureStack stack = storedStackAt(storage, location, &run);
    if (!stack.structures().contains(structureName))
        return false;
    if (longest)
        *longest = run;
    return true;
}

bool SyntaxType::htmlViewIsTextInRange(kit::TextStorage* storage, Range range)
{
    SyntaxType* root = rootType();
    return (root ? root : this)->rootTypeHtmlViewIsTextInRange(storage, range);
}

bool SyntaxType::rootTypeHtmlViewIsTextInRange(const kit::TextStorage* storage, Range range) const
{
    if (!storage || range.location < 0 || range.location >= storage->length())
        return range.length == 0;
    Range run;
    const kit::AttributeValueId id = storage->valueIdAt(m_typeKey, range.location, &run);
    if (id != 0 && !stackForValueId(id).isEmpty())
        return false;
    return run.location <= range.location && run.end() >= range.end();
}

SyntaxType* SyntaxType::nestedSyntaxTypeForKELHTMLView(const kit::TextStorage* storage, qsizetype index, Range* range)
{
    SyntaxType* root = rootType();
    if (!root)
        root = this;
    const qsizetype length = storage ? storage->length() : 0;
    if (length == 0)
        return root;
    if (index >= length || index < 0)
        index = length - 1;
    Range found(kit::NotFound, 0);
    SyntaxType* answer = root->recursiveNestedSyntaxTypeForKELHTMLView(storage, index, range ? &found : nullptr);
    if (range)
        *range = found.location == kit::NotFound ? Range(0, length) : found;
    return answer;
}

SyntaxType* SyntaxType::recursiveNestedSyntaxTypeForKELHTMLView(
    const kit::TextStorage* storage, qsizetype index, Range* range)
{
    // Types that embed each other leave states that lead back round: the walk
    // stops at the first type met twice.
    thread_local QList<const SyntaxType*> visited;
    if (visited.contains(this) || visited.size() >= 16)
        return this;
    visited.append(this);
    struct Leave
    {
        ~Leave() { visited.removeLast(); }
    } leave;
    Range run;
    const SyntaxStructureStack stack = storedStackAt(storage, index, &run);
    const SyntaxStructure* structure = stack.isEmpty() ? nullptr : structureWithName(stack.currentStructureName());
    if (structure && !structure->typeRef().isEmpty() && manager()) {
        SyntaxType* nested = manager()->typeForName(structure->typeRef());
        if (nested && nested != this && !visited.contains(nested)) {
            SyntaxType* answer = nested->recursiveNestedSyntaxTypeForKELHTMLView(storage, index, range);
            if (range && range->location == kit::NotFound)
                *range = run;
            return answer;
        }
    }
    // A nested sub-type (a CSS declaration block inside CSS) answers for itself:
    // its parent only lends it colours and settings.
    return this;
}
