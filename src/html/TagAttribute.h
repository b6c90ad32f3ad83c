#pragma once
// One attribute of an element definition, or one attribute with a value, and the
// check of a value against the attribute's type.

#include <QString>
#include <QStringList>
#include <optional>

class KELSyntaxCheckError;

class TagAttribute {
public:
    /// Type codes (8 and 9 are not used; an unlisted code is never checked).
    enum Type : qint64 {
        NoType = 0,
        FreeText = 1,
        Coordinates = 2,
        TextDirection = 3,
        Color = 4,
        Number = 5,
        PositiveNumber = 6,
        PositiveNumberOrPercentage = 7,
        Shape = 10,
        TargetFrame = 11,
        Boolean = 12,
        FontSize = 13,
        Character = 14,
        MultiLength = 15,
        DateTime = 16,
        NotDefined = 99,
        Custom = 100,
        CustomCombination = 101,
    };

    /// Value of a type-99 attribute that was written without a value.
    static inline const QString NoValueMarker = QStringLiteral("KELNoValue");

    TagAttribute() = default;
    /// Codes 3, 10 and 11 get their preset values.
    TagAttribute(const QString& name, qint64 type);
    TagAttribute(const QString& name, qint64 type, const QString& value);
    /// Type 100: one of the values.
    static TagAttribute custom(const QString& name, const QStringList& values);
    /// Type 101: a combination of the values.
    static TagAttribute customCombination(const QString& name, const QStringList& values);

    /// A copy with the same name, type and value; types 100 and 101 keep their list,
    /// any other type gets its presets again.
    TagAttribute tempCopy() const;

    const QString& name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    qint64 type() const { return m_type; }
    void setType(qint64 type) { m_type = type; }
    const QString& value() const { return m_value; }
    void setValue(const QString& value) { m_value = value; }
    /// The offered values; one empty value when none were set.
    QStringList customValues() const;
    void setCustomValues(const QStringList& values) { m_customValues = values; }

    /// The user's message when the value does not suit the type; empty when it does.
    QString errorMessageForAttributeValue(const QString& value) const;
    /// An "Invalid Attribute Value" error record, or nothing when the value suits the type.
    std::optional<KELSyntaxCheckError> errorForAttributeValue(const QString& value) const;

    static bool isCoords(const QString& s);
    static bool isNumber(const QString& s);
    static bool isPositiveNumber(const QString& s);
    static bool isRGBColor(const QString& s);

private:
    QString m_name;
    qint64 m_type = NoType;
    QString m_value = QStringLiteral("");
    std::optional<QStringList> m_customValues;
};
