#pragma once
// Attribute writes of the colouring engine that skip text already holding the
// value: re-colouring unchanged text then costs a run lookup only, and the text
// storage records no change to redraw. Keys and values are ids (colours and parse
// states are shared keys, so their ids are the same in every storage).

#include "kit/text/TextStorage.h"

namespace syntaxattributes {

inline void set(kit::TextStorage* storage, kit::AttributeKey key, kit::AttributeValueId id, kit::Range range)
{
    storage->setValueId(key, id, range);
}

inline void remove(kit::TextStorage* storage, kit::AttributeKey key, kit::Range range)
{
    set(storage, key, 0, range);
}

/// The id of a colour as the foreground colour.
inline kit::AttributeValueId colorId(const QColor& color)
{
    return kit::sharedAttributeValueId(kit::ForegroundColorKey, QVariant(color));
}

} // namespace syntaxattributes
