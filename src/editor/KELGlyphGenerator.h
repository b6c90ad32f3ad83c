#pragma once
// Display mapping of tokens: each placeholder or fold becomes one display unit, so its
// characters are never shaped and a fold costs the same however long it is.

#include "kit/text/LayoutManager.h"

#include <QList>
#include <functional>

class KELGlyphGenerator {
public:
    using SizeFunction = std::function<qreal(qsizetype tokenStart)>;
    /// The tokens (each with its full range) that meet range, in text order.
    static void displayUnits(const kit::TextStorage* ts, kit::Range range, const SizeFunction& width,
                             QList<kit::DisplayUnit>& out);
};
