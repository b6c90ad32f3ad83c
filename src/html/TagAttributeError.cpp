#include "html/TagAttribute.h"

#include "support/KELSyntaxCheckError.h"

std::optional<KELSyntaxCheckError> TagAttribute::errorForAttributeValue(const QString& value) const
{
    const QString message = errorMessageForAttributeValue(value);
    if (message.isEmpty())
        return std::nullopt;
    KELSyntaxCheckError error = KELSyntaxCheckError::error();
    error.setTitle(QStringLiteral("Invalid Attribute Value"));
    error.setDescription(message);
    return error;
}
