#include "editor/OGRegularExpression.h"

#include "kit/Log.h"

#include <oniguruma.h>

#include <atomic>
#include <mutex>

static_assert(OgreIgnoreCaseOption == ONIG_OPTION_IGNORECASE);
static_assert(OgreMultilineOption == ONIG_OPTION_MULTILINE);

namespace {

#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
OnigEncoding utf16() { return ONIG_ENCODING_UTF16_LE; }
#else
OnigEncoding utf16() { return ONIG_ENCODING_UTF16_BE; }
#endif

// Defaults measured on typical hardware: 10 million retries take about 0.1 s.
std::atomic<unsigned long> g_retryLimitInMatch{10'000'000};
std::atomic<unsigned long> g_retryLimitInSearch{100'000'000};

void initializeEngine()
{
    static std::once_flag once;
    std::call_once(once, [] {
        OnigEncoding encodings[] = {utf16()};
        onig_initialize(encodings, 1);
    });
}

const OnigUChar* bytes(const QString& s, qsizetype index = 0)
{
    return reinterpret_cast<const OnigUChar*>(s.utf16() + index);
}

QString errorText(int code, OnigErrorInfo* info)
{
    OnigUChar buffer[ONIG_MAX_ERROR_MESSAGE_LEN];
    const int length = info ? onig_error_code_to_str(buffer, code, info) : onig_error_code_to_str(buffer, code);
    return QString::fromLatin1(reinterpret_cast<const char*>(buffer), length);
}

// Search-time bits only: compile-time ones are part of the compiled expression.
OnigOptionType searchOptions(OgreOption options)
{
    return options & (ONIG_OPTION_NOTBOL | ONIG_OPTION_NOTEOL);
}

} // namespace

struct OGRegularExpression::Impl {
    regex_t* regex = nullptr;
    QString pattern;
    OgreOption options = OgreNoneOption;

    ~Impl()
    {
        if (regex)
            onig_free(regex);
    }

    enum class Result { Match, NoMatch, Failed };

    // One search in [start, end) of `text`, which counts as ending at `end`.
    Result search(const QString& text, qsizetype start, qsizetype end, OgreOption opts, QList<kit::Range>* groups,
        kit::Error* error) const
    {
        OnigRegion* region = onig_region_new();
        OnigMatchParam* param = onig_new_match_param();
        onig_initialize_match_param(param);
        onig_set_retry_limit_in_match_of_match_param(param, g_retryLimitInMatch.load());
        onig_set_retry_limit_in_search_of_match_param(param, g_retryLimitInSearch.load());
        const int r = onig_search_with_param(regex, bytes(text), bytes(text, end), bytes(text, start), bytes(text, end),
            region, searchOptions(opts), param);
        Result result = Result::NoMatch;
        if (r >= 0) {
            result = Result::Match;
            groups->clear();
            for (int i = 0; i < region->num_regs; ++i) {
                if (region->beg[i] == ONIG_REGION_NOTPOS)
                    groups->append(kit::Range(kit::NotFound, 0));
                else
                    groups->append(kit::Range(region->beg[i] / 2, (region->end[i] - region->beg[i]) / 2));
            }
        } else if (r != ONIG_MISMATCH) {
            result = Result::Failed;
            const QString message = errorText(r, nullptr);
            kit::log(QStringLiteral("Regular expression search stopped (%1): %2").arg(message, pattern));
            kit::setError(error, kit::Error::withDescription(OgreErrorDomain, r, message));
        }
        onig_free_match_param(param);
        onig_region_free(region, 1);
        return result;
    }

    // The next search position after a match ending at `end`: an empty match steps
    // over one character (both halves of a surrogate pair).
    static qsizetype advance(const QString& text, kit::Range match)
    {
        if (match.length > 0)
            return match.end();
        qsizetype next = match.location + 1;
        if (next < text.size() && text.at(next - 1).isHighSurrogate() && text.at(next).isLowSurrogate())
            ++next;
        return next;
    }
};

namespace {

// Clamps a caller's range to the text.
kit::Range clampRange(const QString& text, kit::Range range)
{
    if (range.isNotFound() || range.location < 0 || range.length < 0)
        return kit::Range(0, 0);
    const qsizetype start = qMin(range.location, text.size());
    const qsizetype end = qMin(start + qMin(range.length, text.size()), text.size());
    return kit::Range(start, end - start);
}

} // namespace

std::optional<OGRegularExpression> OGRegularExpression::regularExpressionWithString(const QString& pattern,
    OgreOption options, kit::Error* error)
{
    initializeEngine();
    auto impl = std::make_shared<Impl>();
    impl->pattern = pattern;
    impl->options = options;
    OnigErrorInfo info;
    const OnigOptionType compileOptions = options & (ONIG_OPTION_IGNORECASE | ONIG_OPTION_MULTILINE);
    const int r = onig_new(&impl->regex, bytes(pattern), bytes(pattern, pattern.size()), compileOptions, utf16(),
        ONIG_SYNTAX_RUBY, &info);
    if (r != ONIG_NORMAL) {
        impl->regex = nullptr;
        kit::setError(error, kit::Error::withDescription(OgreErrorDomain, r, errorText(r, &info)));
        return std::nullopt;
    }
    return OGRegularExpression(std::move(impl));
}

bool OGRegularExpression::isValidExpressionString(const QString& pattern, OgreOption options)
{
    return regularExpressionWithString(pattern, options).has_value();
}

const QString& OGRegularExpression::expressionString() const { return d->pattern; }
OgreOption OGRegularExpression::options() const { return d->options; }
qsizetype OGRegularExpression::numberOfGroups() const { return onig_number_of_captures(d->regex); }

void OGRegularExpression::setRetryLimits(unsigned long perMatch, unsigned long perSearch)
{
    g_retryLimitInMatch = perMatch;
    g_retryLimitInSearch = perSearch;
}
unsigned long OGRegularExpression::retryLimitInMatch() { return g_retryLimitInMatch; }
unsigned long OGRegularExpression::retryLimitInSearch() { return g_retryLimitInSearch; }

std::optional<OGRegularExpressionMatch> OGRegularExpression::matchInString(const QString& text) const
{
    return matchInString(text, OgreNoneOption, kit::Range(0, text.size()));
}

std::optional<OGRegularExpressionMatch> OGRegularExpression::matchInString(const QString& text, OgreOption options,
    kit::Range range, kit::Error* error) const
{
    const kit::Range r = clampRange(text, range);
    QList<kit::Range> groups;
    if (d->search(text, r.location, r.end(), options, &groups, error) != Impl::Result::Match)
        return std::nullopt;
    return OGRegularExpressionMatch(text, std::move(groups));
}

QList<OGRegularExpressionMatch> OGRegularExpression::allMatchesInString(const QString& text) const
{
    return allMatchesInString(text, OgreNoneOption, kit::Range(0, text.size()));
}

QList<OGRegularExpressionMatch> OGRegularExpression::allMatchesInString(const QString& text, OgreOption options,
    kit::Range range, kit::Error* error) const
{
    OGRegularExpressionEnumerator matches = matchEnumeratorInString(text, options, range);
    QList<OGRegularExpressionMatch> result = matches.allObjects();
    if (!matches.error().isNull())
        kit::setError(error, matches.error());
    return result;
}

OGRegularExpressionEnumerator OGRegularExpression::matchEnumeratorInString(const QString& text) const
{
    return matchEnumeratorInString(text, OgreNoneOption, kit::Range(0, text.size()));
}

OGRegularExpressionEnumerator OGRegularExpression::matchEnumeratorInString(const QString& text, OgreOption options,
    kit::Range range) const
{
    return OGRegularExpressionEnumerator(*this, text, options, clampRange(text, range));
}

QStringList OGRegularExpression::splitString(const QString& text) const
{
    QStringList pieces;
    if (text.isEmpty())
        return pieces;
    qsizetype pieceStart = 0;
    OGRegularExpressionEnumerator matches = matchEnumeratorInString(text);
    while (const auto match = matches.nextObject()) {
        const kit::Range r = match->rangeOfMatchedString();
        if (r.length == 0 && (r.location == 0 || r.location == text.size() || r.location == pieceStart))
            continue;
        pieces.append(text.mid(pieceStart, r.location - pieceStart));
        pieceStart = r.end();
    }
    pieces.append(text.mid(pieceStart));
    return pieces;
}

OGRegularExpressionEnumerator::OGRegularExpressionEnumerator(OGRegularExpression expression, QString text,
    OgreOption options, kit::Range range)
    : m_expression(std::move(expression)), m_text(std::move(text)), m_options(options), m_position(range.location),
      m_end(range.end())
{
}

std::optional<OGRegularExpressionMatch> OGRegularExpressionEnumerator::nextObject()
{
    if (m_done || m_position > m_end) {
        m_done = true;
        return std::nullopt;
    }
    QList<kit::Range> groups;
    const auto result = m_expression.d->search(m_text, m_position, m_end, m_options, &groups, &m_error);
    if (result != OGRegularExpression::Impl::Result::Match) {
        m_done = true;
        return std::nullopt;
    }
    m_position = OGRegularExpression::Impl::advance(m_text, groups.first());
    return OGRegularExpressionMatch(m_text, std::move(groups));
}

QList<OGRegularExpressionMatch> OGRegularExpressionEnumerator::allObjects()
{
    QList<OGRegularExpressionMatch> result;
    while (auto match = nextObject())
        result.append(std::move(*match));
    return result;
}
