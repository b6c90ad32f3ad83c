#pragma once
// The regular-expression engine used by find, batch find, Open Quickly and the
// template scanner: Oniguruma with Ruby syntax, over UTF-16 so that every index
// and range is a QString index. A compiled expression is immutable: several threads
// may search with one at the same time.

#include "editor/OGRegularExpressionMatch.h"
#include "kit/Error.h"
#include "kit/Types.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

/// Option bits, combined with "|". They carry the engine's own values.
using OgreOption = quint32;
inline constexpr OgreOption OgreNoneOption = 0;
/// Case is ignored.
inline constexpr OgreOption OgreIgnoreCaseOption = 1u << 0;
/// "." also matches a line end.
inline constexpr OgreOption OgreMultilineOption = 1u << 2;

/// Errors of compiling or running an expression; the code is the engine's error code.
inline const QString OgreErrorDomain = QStringLiteral("OGRegularExpressionErrorDomain");
/// The code of a search stopped because it ran too long (by time or by its
/// backtracking limits).
inline constexpr int OgreSearchTookTooLongError = -1000;
/// Whether the error says that a search was stopped for running too long.
bool isSearchTookTooLongError(const kit::Error& error);

class OGRegularExpressionEnumerator;

class OGRegularExpression {
public:
    /// Whether regularExpressionWithString would succeed with these options.
    static bool isValidExpressionString(const QString& pattern, OgreOption options = OgreNoneOption);

    /// The compiled expression, or nothing (and an error) when the pattern is invalid.
    static std::optional<OGRegularExpression> regularExpressionWithString(const QString& pattern,
        OgreOption options = OgreNoneOption, kit::Error* error = nullptr);

    const QString& expressionString() const;
    OgreOption options() const;
    /// The number of capture groups.
    qsizetype numberOfGroups() const;

    /// The pieces of `text` between the matches, in order; an empty text gives no pieces.
    /// Empty matches at the text's ends or right after the previous split are not split points.
    QStringList splitString(const QString& text) const;

    /// The first match that lies inside `range` (the whole text when omitted). The text is
    /// treated as ending at the range's end ("$", "\z"), while "\A" and look-behind still
    /// see the text before the range. `options` are search-time bits; the compile-time
    /// ones (ignore case, multiline) were fixed when the expression was made.
    /// A search that exceeds the engine's backtracking limits gives up: no match, and the error.
    std::optional<OGRegularExpressionMatch> matchInString(const QString& text) const;
    std::optional<OGRegularExpressionMatch> matchInString(const QString& text, OgreOption options, kit::Range range,
        kit::Error* error = nullptr) const;

    /// Every match inside the range, in text order. After an empty match the search
    /// moves on by one character. Stops at the first failure (the matches so far are kept).
    QList<OGRegularExpressionMatch> allMatchesInString(const QString& text) const;
    QList<OGRegularExpressionMatch> allMatchesInString(const QString& text, OgreOption options, kit::Range range,
        kit::Error* error = nullptr) const;

    /// The matches inside the range, as allMatchesInString finds them (at most
    /// maxMatches of them; 0 for all), searched in a separate process that is
    /// stopped once it has run for `milliseconds`: a pattern that backtracks without
    /// end cannot hold the program up. On timeout, nothing and an error whose code is
    /// OgreSearchTookTooLongError. `whileWaiting` runs every few milliseconds meanwhile
    /// (to keep windows painted).
    std::optional<QList<OGRegularExpressionMatch>> matchesInStringWithTimeLimit(const QString& text,
        OgreOption options, kit::Range range, qsizetype maxMatches, int milliseconds,
        const std::function<void()>& whileWaiting = {}, kit::Error* error = nullptr) const;

    /// Successive matches, as allMatchesInString finds them, one at a time.
    OGRegularExpressionEnumerator matchEnumeratorInString(const QString& text) const;
    OGRegularExpressionEnumerator matchEnumeratorInString(const QString& text, OgreOption options, kit::Range range) const;

    /// Backtracking limits per match attempt and per search (0 = none). The defaults keep a
    /// pathological pattern on a long text to well under a second.
    static void setRetryLimits(unsigned long perMatch, unsigned long perSearch);
    static unsigned long retryLimitInMatch();
    static unsigned long retryLimitInSearch();

    struct Impl;

private:
    explicit OGRegularExpression(std::shared_ptr<const Impl> impl) : d(std::move(impl)) {}
    friend class OGRegularExpressionEnumerator;

    std::shared_ptr<const Impl> d;
};

// Callers of matchEnumeratorInString get the enumerator with this header.
#include "editor/OGRegularExpressionEnumerator.h"
