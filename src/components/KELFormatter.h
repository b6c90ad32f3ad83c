#pragma once
// Cleaners of what the user types into a variable's editor. Each answers the
// cleaned text, or none when the text is not acceptable.

#include "support/KELXMLNode.h"

#include <QString>
#include <memory>
#include <limits>
#include <optional>

class KELFormatter {
public:
    virtual ~KELFormatter() = default;
    /// The formatter a "formatter" element names by its "type"; null (and a log
    /// line) for an unknown type.
    static std::unique_ptr<KELFormatter> formatterWithNode(const KELXMLNode& node);
    virtual std::optional<QString> formatString(const std::optional<QString>& text) const;
};

/// Integers, held within limits; the count and image editors make it themselves.
class KELIntFormatter : public KELFormatter {
public:
    std::optional<QString> formatString(const std::optional<QString>& text) const override;
    std::optional<qint64> minValue() const { return m_minValue; }
    std::optional<qint64> maxValue() const { return m_maxValue; }
    void setMinValue(std::optional<qint64> value) { m_minValue = value; }
    void setMaxValue(std::optional<qint64> value) { m_maxValue = value; }

private:
    std::optional<qint64> m_minValue;
    std::optional<qint64> m_maxValue;
};

/// Texts usable as CSS ids (and file names): an ASCII letter first, then letters,
/// digits, "-" and "_".
class KELCSSIdFormatter : public KELFormatter {
public:
    explicit KELCSSIdFormatter(bool lowerCase = false) : m_lowerCase(lowerCase) { }
    std::optional<QString> formatString(const std::optional<QString>& text) const override;
    bool lowerCase() const { return m_lowerCase; }

private:
    bool m_lowerCase = false;
};

/// Decimal numbers within limits, with a least and a most number of decimals
/// (extra decimals are cut, not rounded).
class KELDoubleFormatter : public KELFormatter {
public:
    std::optional<QString> formatString(const std::optional<QString>& text) const override;
    std::optional<double> minValue, maxValue;
    std::optional<qint64> minPrecision, maxPrecision;
};

/// Texts no longer than a number of characters.
class KELStringFormatter : public KELFormatter {
public:
    std::optional<QString> formatString(const std::optional<QString>& text) const override;
    quint64 maxLength = std::numeric_limits<quint64>::max();
};

/// The leading decimal integer of a text after blanks, saturated to the 64-bit
/// range; none when there is none. The variables' integer attributes read with it.
std::optional<qint64> scanInteger(const QString& text);
/// The leading decimal number of a text after blanks; none when there is none or
/// it is not finite.
std::optional<double> scanDouble(const QString& text);
