#pragma once
// Shows a name on one line: every whitespace or line break becomes one space.

#include <QString>
#include <QVariant>

class KELCodeNavigatorTextValueTransformer
{
public:
    /// A string with its whitespace suppressed; anything else gives the empty string.
    static QString transformedValue(const QVariant& value)
    {
        if (value.typeId() != QMetaType::QString)
            return QString();
        QString text = value.toString();
        for (QChar& c : text)
            if (c.isSpace())
                c = u' ';
        return text;
    }
    static bool allowsReverseTransformation() { return false; }
};
