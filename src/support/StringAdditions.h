#pragma once
// String helpers shared by the whole system: path comparison and conversion,
// tag-name case, URL escaping, line ranges and indentation levels.
// Each takes the string it works on as its first parameter.

#include "kit/Types.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

// Paths. Comparisons work on path components after standardisation (tilde
// expansion, "." and ".." resolved, redundant and trailing slashes dropped) and
// are exact: Linux file systems tell letter case apart.

/// The components of a path: "/" first for an absolute path, then every non-empty piece.
QStringList pathComponents(const QString& path);
/// The path with "~" expanded and cleaned ("." and ".." resolved, no trailing slash).
QString stringByStandardizingPath(const QString& path);
/// "~" and "~user" at the start replaced by the home folder.
QString stringByExpandingTildeInPath(const QString& path);

bool isEqualToPath(const QString& path, const QString& other);
/// Whether path is other or one of its ancestors.
bool isSubpathOfString(const QString& path, const QString& other);
/// Ordering for file lists: component by component, ignoring case, digit runs by
/// numeric value; fewer components first. Answers -1, 0 or 1.
int comparePathsForDisplay(const QString& path, const QString& other);
/// The same order for two names (no "/"): ignoring case, digit runs by value.
int compareNumericCaseInsensitive(const QString& a, const QString& b);
/// A path relative to baseDir made absolute; nullopt when ".." climbs above the root.
std::optional<QString> absolutePathFromBaseDirPath(const QString& path, const QString& baseDir);

// Markup and URLs.

/// Upper case when "Should Capitalize Tags" is on, else lower case.
QString stringWithTagNameCase(const QString& string);
/// Percent-escaped for a URL in UTF-8, with "'" and "&" escaped as well.
QString stringByEncodingURLForInsert(const QString& string);
/// The pairs of a query string ("a=1&b=2;c=3"), unescaped in the given encoding.
/// Pieces that are not one key and one value, or that do not decode, are skipped.
QHash<QString, QString> queryDictionaryUsingEncoding(const QString& query, kit::StringEncoding encoding);
/// Every whitespace or line-break character replaced by one space (same length).
QString stringBySuppressingWhitespace(const QString& string);
/// Whether string occurs in receiver exactly at index. A null string never does;
/// an empty one does at any index up to the length.
bool containsString(const QString& receiver, const QString& string, qsizetype index);

// Lines and indentation.

/// The range of a 1-based line, line end included; NotFound for 0 or a line beyond the text.
kit::Range rangeForLineNumber(const QString& text, qsizetype lineNumber);
/// Whole indent units at the start of the line holding index, counting only units
/// that start before index.
qsizetype baseIndentLevelAtIndex(const QString& text, qsizetype index);
/// Every line after the first prefixed with level indent units.
QString indentedStringWithBaseIndentLevel(const QString& text, qsizetype level);
