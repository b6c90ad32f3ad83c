#pragma once
// A parsed expression of the component templates' expression language, and the
// value rules the templates share with it (truth, text, numbers).
//
// Values are QVariants: invalid (nil), bool, qlonglong, double, QString, QUrl,
// QColor, a list, or an object (kit::KeyValueObjectPtr). The data source answers
// names by key-value access; assignments store into it under bare names only.

#include "kit/KeyValueObject.h"

#include <QString>
#include <QVariant>
#include <memory>

/// Objects that expressions may index with x[i] (an indexed variable editor). An
/// object value is indexed when its KeyValueObject also derives from this.
class KELExpressionIndexed {
public:
    virtual ~KELExpressionIndexed() = default;
    virtual qsizetype count() const = 0;
    /// nil past the end.
    virtual QVariant objectAtIndex(qsizetype index) const = 0;
};

struct KELExpressionNode;

class KELExpression {
public:
    explicit KELExpression(std::unique_ptr<KELExpressionNode> root);
    ~KELExpression();
    KELExpression(const KELExpression&) = delete;
    KELExpression& operator=(const KELExpression&) = delete;

    /// The value, or nil; never throws, and never fails on a missing name.
    QVariant evaluateWithDataSource(kit::KeyValueObject& dataSource) const;

    // --- The value rules
    /// nil false; a number by its value; a string when it is not empty (so "false"
    /// and "0" are true); any other value true.
    static bool booleanValue(const QVariant& value);
    /// How a value reads as text: numbers in their shortest form (3.0 gives 3),
    /// booleans as 1 and 0, nil as nothing, URLs absolute, objects by description.
    static QString stringValue(const QVariant& value);
    /// The leading integer of a text (0 without one); numbers cut toward zero.
    static qint64 integerValue(const QVariant& value);
    static bool isNumber(const QVariant& value);
    /// The shortest text that reads back as the same double.
    static QString formatDouble(double value);

    /// Longest text an expression may build; beyond it the result is nil.
    static constexpr qsizetype MaximumStringLength = 4 * 1024 * 1024;

private:
    std::unique_ptr<KELExpressionNode> m_root;
};
