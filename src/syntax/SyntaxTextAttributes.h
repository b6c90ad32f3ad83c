#pragma once
// Attribute writes of the colouring engine that skip text already holding the
// value: re-colouring unchanged text then costs lookups only, and the text
// storage records no change to redraw.

#include "kit/text/TextStorage.h"

#include <QVariant>

namespace syntaxattributes {

/// Whether the whole range already holds the value (an invalid value: none).
inline bool holds(const kit::TextStorage* storage, const QString& key, const QVariant& value, kit::Range range)
{
    kit::Range run;
    const QVariant current = storage->attribute(key, range.location, &run, range);
    return run.location <= range.location && run.end() >= range.end() && current == value;
}

inline void set(kit::TextStorage* storage, const QString& key, const QVariant& value, kit::Range range)
{
    range = kit::Range::intersection(range, kit::Range(0, storage->length()));
    if (range.length > 0 && !holds(storage, key, value, range))
        storage->addAttribute(key, value, range);
}

inline void remove(kit::TextStorage* storage, const QString& key, kit::Range range)
{
    range = kit::Range::intersection(range, kit::Range(0, storage->length()));
    if (range.length > 0 && !holds(storage, key, QVariant(), range))
        storage->removeAttribute(key, range);
}

} // namespace syntaxattributes
