// libFuzzer target for Find's expressions: the input gives the pattern kind and
// options, a search string and a text (as raw UTF-16, lone surrogates and all).
// The search string is turned into an expression as the Find panel does and
// searched for over the text: matches stay inside the text and the range, come in
// order, and a literal search finds exactly what a plain string search finds.
#include "editor/FindParameters.h"
#include "editor/OGRegularExpression.h"

#include <cstddef>
#include <cstdint>

namespace {

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool limited = [] {
        // Small texts only: keep each search short, as the panel's time limit would.
        OGRegularExpression::setRetryLimits(200000, 2000000);
        return true;
    }();
    (void)limited;
    if (size < 2)
        return 0;
    const uint8_t flags = data[0];
    const qint64 kind = flags % 3;
    OgreOption options = OgreNoneOption;
    if (flags & 0x10)
        options |= OgreIgnoreCaseOption;
    if (flags & 0x20)
        options |= OgreMultilineOption;
    const bool commas = flags & 0x40;

    // The search string (UTF-8) runs up to the first NUL; the text follows as UTF-16.
    const char* begin = reinterpret_cast<const char*>(data) + 1;
    const char* end = reinterpret_cast<const char*>(data) + size;
    const char* nul = static_cast<const char*>(memchr(begin, 0, size_t(end - begin)));
    if (!nul)
        return 0;
    const QString search = QString::fromUtf8(begin, qsizetype(nul - begin));
    const qsizetype units = (end - nul - 1) / 2;
    QString text(units, Qt::Uninitialized);
    memcpy(text.data(), nul + 1, size_t(units) * 2);

    const FindParameters parameters(search, std::nullopt, options, kind, kind);
    const std::optional<OGRegularExpression> expression = parameters.findExpression();
    if (!expression)
        return 0;
    (void)FindParameters::getRegexForSearchString(search, kind, commas);

    const qsizetype from = text.isEmpty() ? 0 : qsizetype(flags) % (text.size() + 1);
    const kit::Range range(from, text.size() - from);
    kit::Error error;
    const QList<OGRegularExpressionMatch> all = expression->allMatchesInString(text, options, range, &error);
    qsizetype previous = -1;
    for (const OGRegularExpressionMatch& match : all) {
        const kit::Range r = match.rangeOfMatchedString();
        check(r.location >= range.location && r.end() <= range.end());
        check(r.location > previous || (r.location == previous && r.length == 0) || previous < 0);
        previous = r.location;
        for (qsizetype g = 1; g < match.count(); ++g) {
            const kit::Range group = match.rangeOfSubstringAtIndex(g);
            check(group.isNotFound() || (group.location >= 0 && group.end() <= text.size()));
        }
        (void)match.matchedString();
    }
    kit::Error firstError;
    const std::optional<OGRegularExpressionMatch> first = expression->matchInString(text, options, range, &firstError);
    if (error.isNull() && firstError.isNull()) {
        check(first.has_value() == !all.isEmpty());
        if (first)
            check(first->rangeOfMatchedString().location == all.first().rangeOfMatchedString().location);
    }

    // A literal search finds what a plain search finds (case kept; the engine
    // sees U+FFFD where the text has an unpaired surrogate).
    if (kind == FindRegexTypeNone && !(options & OgreIgnoreCaseOption) && !search.isEmpty() && firstError.isNull()
        && !search.contains(QChar::ReplacementCharacter)) {
        const qsizetype plain = text.indexOf(search, from);
        if (first)
            check(first->rangeOfMatchedString().location == plain && first->rangeOfMatchedString().length == search.size());
        else
            check(plain < 0);
    }
    return 0;
}
