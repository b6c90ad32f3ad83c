#pragma once
// One CSS token as the parser read it: identifier, number, string, function, block ...

#include "css/KELParsedCSSSlabs.h"
#include "css/KELParsedCSSObject.h"
#include "kit/Types.h"

#include <QList>
#include <QString>
#include <memory>
#include <vector>

class KELParsedCSSValue;
using KELParsedCSSValues = QList<const KELParsedCSSValue*>;

class KELParsedCSSValue : public KELParsedCSSObject {
public:
    KEL_PARSED_CSS_SLABS(KELParsedCSSValue)
    enum Type : qint32 {
        Identifier = 0, Number = 1, Dimension = 2, Percentage = 3, String = 4, URI = 5, Hash = 6,
        UnicodeRange = 7, Function = 8, Delimiter = 9, Block = 10, URLToken = 11,
    };

    explicit KELParsedCSSValue(qint32 type = Identifier) : m_type(type) {}
    KELParsedCSSValue(const KELParsedCSSValue&) = delete;
    KELParsedCSSValue& operator=(const KELParsedCSSValue&) = delete;
    ~KELParsedCSSValue() override;
    static std::unique_ptr<KELParsedCSSValue> valueWithType(qint32 type) { return std::make_unique<KELParsedCSSValue>(type); }

    qint32 type() const { return m_type; }
    void setType(qint32 type) { m_type = type; }
    const QString& name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    float value() const { return m_value; }
    void setValue(float value) { m_value = value; }
    const KELParsedCSSValues& subvalues() const { return m_subvalues ? *m_subvalues : noSubvalues(); }
    void addSubvalue(std::unique_ptr<KELParsedCSSValue> value);
    kit::Range textRange() const override { return m_textRange; }
    void setTextRange(kit::Range range) { m_textRange = range; }

    /// Display name of a token type; empty for unicode ranges and unknown numbers.
    static QString nameForType(qint64 type);
    /// How the token shows in messages: 12px, 50%, #abc, rgb(), block ...
    QString description() const;
    bool isWhitespace() const;

    QString itemTypeName() const override;
    QString itemName() const override { return description(); }

    /// The shortest text that reads back as the same single-precision value.
    static QString formatFloat(float value);

private:
    qint32 m_type;
    QString m_name;
    float m_value = 0;
    kit::Range m_textRange { kit::NotFound, 0 };
    static const KELParsedCSSValues& noSubvalues();
    // Owns the subvalues. Most tokens have none, and a large sheet has hundreds of
    // thousands of tokens: no list until the first.
    std::unique_ptr<KELParsedCSSValues> m_subvalues;
};
