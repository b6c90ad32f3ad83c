#pragma once
// Colours as HTML hexadecimal text, comparison with a tolerance, and the fixed
// colours of panes and image backgrounds.

#include <QColor>
#include <QString>

/// Parses "#rgb", "rrggbb" and longer (extra characters ignored); any other length,
/// and the empty text, give white. Non-hex characters count as 0.
QColor colorWithHtmlHexValue(const QString& text, qreal alpha = 1.0);
/// Six lower-case hexadecimal digits, red first, no "#"; alpha is not written.
QString htmlHexValue(const QColor& color);
/// Whether two colours match within delta per channel; colours that are both
/// practically transparent (alpha below delta) match. An invalid other never matches.
bool isRGBAEqual(const QColor& color, const QColor& other, qreal delta);

int intValueForHexChar(QChar c);
/// One or two hexadecimal digits as a channel value from 0.0 to 1.0 (one digit is doubled).
qreal floatForRGBString(const QString& text);
/// At least two lower-case hexadecimal digits.
QString stringForRGBInt(qint64 value);

/// Borders of panes, lists and framed views.
QColor viewBorderColor();
/// Background of panes and source lists.
QColor viewBackgroundColor();
/// Background behind shown images.
QColor imageBackgroundColor();
