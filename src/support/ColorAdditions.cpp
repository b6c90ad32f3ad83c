#include "support/ColorAdditions.h"

#include <cmath>

int intValueForHexChar(QChar c)
{
    const char16_t u = c.toLower().unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return 0;
}

qreal floatForRGBString(const QString& text)
{
    const QString lower = text.toLower();
    const int first = lower.isEmpty() ? 0 : intValueForHexChar(lower[0]);
    const int second = lower.size() > 1 ? intValueForHexChar(lower[1]) : first;
    return (16 * first + second) / 255.0;
}

QString stringForRGBInt(qint64 value)
{
    QString text = QString::number(value, 16);
    if (text.size() < 2)
        text.prepend(QLatin1Char('0'));
    return text;
}

QColor colorWithHtmlHexValue(const QString& text, qreal alpha)
{
    const QColor white = QColor::fromRgbF(1.0, 1.0, 1.0, float(alpha));
    QString digits = text;
    if (digits.startsWith(QLatin1Char('#')))
        digits.remove(0, 1);
    QString red, green, blue;
    if (digits.size() >= 6) {
        red = digits.mid(0, 2);
        green = digits.mid(2, 2);
        blue = digits.mid(4, 2);
    } else if (digits.size() == 3) {
        red = digits.mid(0, 1);
        green = digits.mid(1, 1);
        blue = digits.mid(2, 1);
    } else {
        return white;
    }
    return QColor::fromRgbF(float(floatForRGBString(red)), float(floatForRGBString(green)),
                            float(floatForRGBString(blue)), float(alpha));
}

QString htmlHexValue(const QColor& color)
{
    const QColor rgb = color.toRgb();
    // 16-bit channels hold value × 257 for 8-bit values; integer division truncates
    // exactly where value × 255 in floating point could fall just short.
    auto channel = [](quint16 value) { return stringForRGBInt(value / 257); };
    const QRgba64 wide = rgb.rgba64();
    return channel(wide.red()) + channel(wide.green()) + channel(wide.blue());
}

bool isRGBAEqual(const QColor& color, const QColor& other, qreal delta)
{
    if (!other.isValid())
        return false;
    const QColor a = color.toRgb();
    const QColor b = other.toRgb();
    if (a.alphaF() < delta && b.alphaF() < delta)
        return true;
    return std::abs(a.redF() - b.redF()) < delta && std::abs(a.greenF() - b.greenF()) < delta
        && std::abs(a.blueF() - b.blueF()) < delta && std::abs(a.alphaF() - b.alphaF()) < delta;
}

QColor viewBorderColor()
{
    const float white = 0.7059999704360962f;
    return QColor::fromRgbF(white, white, white, 1.0f);
}

QColor viewBackgroundColor()
{
    return QColor::fromRgbF(0.92f, 0.92f, 0.92f, 1.0f);
}

QColor imageBackgroundColor()
{
    return QColor::fromRgbF(0.5f, 0.5f, 0.5f, 1.0f);
}
