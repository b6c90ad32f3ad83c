#pragma once
// What the HTML vocabulary reads from the rest of the system: the setting that
// picks the HTML5 or the HTML 4 table, and the known colour names.

#include <QString>

/// The user default "KELShowHTML5Completions", read at every call.
bool showHTML5Completions();

/// Whether a lower-case text is a known colour name ("red", "rebeccapurple" ...).
bool isHTMLColorName(const QString& lowerCaseName);
