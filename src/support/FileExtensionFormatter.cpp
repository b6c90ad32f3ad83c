#include "support/FileExtensionFormatter.h"

FileExtensionFormatter::FileExtensionFormatter(QObject* parent) : QValidator(parent) {}

std::optional<QString> FileExtensionFormatter::stringForObjectValue(const QVariant& value)
{
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    return std::nullopt;
}

bool FileExtensionFormatter::getObjectValue(QVariant* value, const QString& string)
{
    if (value)
        *value = string;
    return true;
}

bool FileExtensionFormatter::isPartialStringValid(const QString& partialString, QString* newEditingString)
{
    if (!partialString.startsWith(QLatin1Char('.')))
        return true;
    if (newEditingString)
        *newEditingString = partialString.mid(1);
    return false;
}

QValidator::State FileExtensionFormatter::validate(QString& input, int& position) const
{
    QString replacement;
    if (!isPartialStringValid(input, &replacement)) {
        // The line edit takes the corrected text in place of the typed one.
        input = replacement;
        position = qMax(0, position - 1);
    }
    return Acceptable;
}
