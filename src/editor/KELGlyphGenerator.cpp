#include "editor/KELGlyphGenerator.h"

#include "editor/KELTokenParser.h"
#include "kit/text/TextStorage.h"

void KELGlyphGenerator::displayUnits(const kit::TextStorage* ts, kit::Range range, const SizeFunction& width,
                                     QList<kit::DisplayUnit>& out)
{
    const qsizetype n = ts->length();
    range = kit::Range::intersection(range, kit::Range(0, n));
    if (range.length <= 0)
        return;
    for (const kit::AttributeRun& run : ts->valueRuns(KELTokenIdAttributeName, range)) {
        kit::Range whole;
        ts->attribute(KELTokenIdAttributeName, run.start, &whole);
        if (!out.isEmpty() && out.last().range.location == whole.location)
            continue;
        const int type = KELTokenParser::tokenTypeAt(ts, whole.location);
        if (type == 0)
            continue;
        kit::DisplayUnit u;
        u.range = whole;
        u.kind = type;
        u.width = width ? width(whole.location) : 0;
        out.append(u);
    }
}
