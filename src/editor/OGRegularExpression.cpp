#include "editor/OGRegularExpression.h"

#include "kit/Log.h"

#include <oniguruma.h>

#include <QElapsedTimer>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <mutex>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

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

// The engine reads a high surrogate as the first half of a pair whatever follows
// it, so a lone one would swallow the next character (hiding a match there) or,
// at the end, reach past the text. Searches run on a copy of the same length in
// which such halves are U+FFFD; the copy is made only when one occurs.
QString withoutLoneSurrogates(const QString& text)
{
    const qsizetype n = text.size();
    const QChar* p = text.constData();
    qsizetype i = 0;
    for (; i < n; ++i) {
        if (p[i].isHighSurrogate()) {
            if (i + 1 < n && p[i + 1].isLowSurrogate()) {
                ++i;
                continue;
            }
            break;
        }
        if (p[i].isLowSurrogate())
            break;
    }
    if (i >= n)
        return text;
    QString copy = text;
    QChar* q = copy.data();
    for (; i < n; ++i) {
        if (q[i].isHighSurrogate() && i + 1 < n && q[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        if (q[i].isSurrogate())
            q[i] = QChar::ReplacementCharacter;
    }
    return copy;
}

bool isRetryLimitCode(int code) { return code == ONIGERR_RETRY_LIMIT_IN_MATCH_OVER || code == ONIGERR_RETRY_LIMIT_IN_SEARCH_OVER; }

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
            if (isRetryLimitCode(r))
                kit::setError(error, tooLongError());
            else
                kit::setError(error, kit::Error::withDescription(OgreErrorDomain, r, message));
        }
        onig_free_match_param(param);
        onig_region_free(region, 1);
        return result;
    }

    static kit::Error tooLongError()
    {
        return kit::Error::withDescription(OgreErrorDomain, OgreSearchTookTooLongError,
            QStringLiteral("The search took too long."),
            QStringLiteral("The regular expression needs too much work on this text. Try a simpler expression."));
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
    if (d->search(withoutLoneSurrogates(text), r.location, r.end(), options, &groups, error) != Impl::Result::Match)
        return std::nullopt;
    return OGRegularExpressionMatch(text, std::move(groups));
}

bool isSearchTookTooLongError(const kit::Error& error)
{
    return error.domain() == OgreErrorDomain && error.code() == OgreSearchTookTooLongError;
}

namespace {

// What a search process sends back, as a stream of integers: per match the
// number of ranges and each range; then the end marker and the outcome (0, or
// the engine's error code).
constexpr qint64 EndOfMatches = -1;

bool writeAll(int fd, const void* data, size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= size_t(n);
    }
    return true;
}

} // namespace

std::optional<QList<OGRegularExpressionMatch>> OGRegularExpression::matchesInStringWithTimeLimit(
    const QString& text, OgreOption options, kit::Range range, qsizetype maxMatches, int milliseconds,
    const std::function<void()>& whileWaiting, kit::Error* error) const
{
    const kit::Range r = clampRange(text, range);
    const QString searched = withoutLoneSurrogates(text);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        kit::setError(error, kit::Error::withDescription(OgreErrorDomain, ONIGERR_MEMORY,
            QStringLiteral("The search could not be started.")));
        return std::nullopt;
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        kit::setError(error, kit::Error::withDescription(OgreErrorDomain, ONIGERR_MEMORY,
            QStringLiteral("The search could not be started.")));
        return std::nullopt;
    }
    if (pid == 0) {
        // The child only searches and writes integers: no Qt, no exit handlers.
        ::close(fds[0]);
        const OnigUChar* start = bytes(searched);
        const OnigUChar* end = bytes(searched, r.end());
        OnigRegion* region = onig_region_new();
        OnigMatchParam* param = onig_new_match_param();
        onig_initialize_match_param(param);
        // The clock bounds this search: no backtracking limit cuts it short.
        onig_set_retry_limit_in_match_of_match_param(param, ~0UL);
        onig_set_retry_limit_in_search_of_match_param(param, 0); // 0: none
        qsizetype position = r.location;
        qsizetype found = 0;
        int outcome = 0;
        std::vector<qint64> out;
        while (position <= r.end() && (maxMatches <= 0 || found < maxMatches)) {
            const int result = onig_search_with_param(d->regex, start, end, bytes(searched, position), end, region,
                searchOptions(options), param);
            if (result < 0) {
                outcome = result == ONIG_MISMATCH ? 0 : result;
                break;
            }
            out.clear();
            out.push_back(region->num_regs);
            for (int i = 0; i < region->num_regs; ++i) {
                if (region->beg[i] == ONIG_REGION_NOTPOS) {
                    out.push_back(kit::NotFound);
                    out.push_back(0);
                } else {
                    out.push_back(region->beg[i] / 2);
                    out.push_back((region->end[i] - region->beg[i]) / 2);
                }
            }
            if (!writeAll(fds[1], out.data(), out.size() * sizeof(qint64)))
                ::_exit(1);
            ++found;
            position = Impl::advance(searched, kit::Range(out[1], out[2]));
        }
        const qint64 tail[2] = { EndOfMatches, outcome };
        writeAll(fds[1], tail, sizeof tail);
        ::_exit(0);
    }

    ::close(fds[1]);
    QElapsedTimer clock;
    clock.start();
    QByteArray received;
    bool timedOut = false;
    for (;;) {
        const qint64 left = milliseconds - clock.elapsed();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        pollfd wait { fds[0], POLLIN, 0 };
        const int ready = ::poll(&wait, 1, int(qMin<qint64>(left, whileWaiting ? 20 : left)));
        if (ready > 0) {
            char buffer[65536];
            const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
            if (n > 0) {
                received.append(buffer, n);
                continue;
            }
            if (n == 0 || errno != EINTR)
                break; // the end of the answer (or of the process)
        }
        if (whileWaiting)
            whileWaiting();
    }
    ::close(fds[0]);
    if (timedOut)
        ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    if (timedOut) {
        kit::log(QStringLiteral("Regular expression search stopped after %1 ms: %2").arg(milliseconds).arg(d->pattern));
        kit::setError(error, Impl::tooLongError());
        return std::nullopt;
    }

    // Read back what the process found.
    const auto* values = reinterpret_cast<const qint64*>(received.constData());
    const qsizetype count = received.size() / qsizetype(sizeof(qint64));
    QList<OGRegularExpressionMatch> matches;
    qsizetype i = 0;
    while (i < count && values[i] != EndOfMatches) {
        const qint64 groups = values[i++];
        if (groups <= 0 || i + 2 * groups > count)
            break;
        QList<kit::Range> ranges;
        for (qint64 g = 0; g < groups; ++g, i += 2)
            ranges.append(kit::Range(values[i], values[i + 1]));
        matches.append(OGRegularExpressionMatch(text, std::move(ranges)));
    }
    if (i + 1 >= count || values[i] != EndOfMatches) {
        kit::log(QStringLiteral("Regular expression search ended without an answer: %1").arg(d->pattern));
        kit::setError(error, kit::Error::withDescription(OgreErrorDomain, ONIGERR_MEMORY,
            QStringLiteral("The search ended unexpectedly.")));
        return std::nullopt;
    }
    const int outcome = int(values[i + 1]);
    if (outcome != 0) {
        kit::log(QStringLiteral("Regular expression search stopped (%1): %2").arg(errorText(outcome, nullptr), d->pattern));
        kit::setError(error, isRetryLimitCode(outcome)
                ? Impl::tooLongError()
                : kit::Error::withDescription(OgreErrorDomain, outcome, errorText(outcome, nullptr)));
        return std::nullopt;
    }
    return matches;
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
    : m_expression(std::move(expression)), m_text(std::move(text)), m_searched(withoutLoneSurrogates(m_text)),
      m_options(options), m_position(range.location), m_end(range.end())
{
}

std::optional<OGRegularExpressionMatch> OGRegularExpressionEnumerator::nextObject()
{
    if (m_done || m_position > m_end) {
        m_done = true;
        return std::nullopt;
    }
    QList<kit::Range> groups;
    const auto result = m_expression.d->search(m_searched, m_position, m_end, m_options, &groups, &m_error);
    if (result != OGRegularExpression::Impl::Result::Match) {
        m_done = true;
        return std::nullopt;
    }
    m_position = OGRegularExpression::Impl::advance(m_searched, groups.first());
    return OGRegularExpressionMatch(m_text, std::move(groups));
}

QList<OGRegularExpressionMatch> OGRegularExpressionEnumerator::allObjects()
{
    QList<OGRegularExpressionMatch> result;
    while (auto match = nextObject())
        result.append(std::move(*match));
    return result;
}
