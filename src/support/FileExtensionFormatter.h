#pragma once
// Cleans file extensions typed into the file-type table: a leading point is dropped.

#include <QValidator>
#include <QVariant>
#include <optional>

class FileExtensionFormatter : public QValidator {
    Q_OBJECT
public:
    explicit FileExtensionFormatter(QObject* parent = nullptr);

    /// A string unchanged; anything else has no text.
    static std::optional<QString> stringForObjectValue(const QVariant& value);
    /// The typed string unchanged; always succeeds.
    static bool getObjectValue(QVariant* value, const QString& string);
    /// A partial string that begins with "." is refused and replaced by the same
    /// string without its first character; every other one is accepted.
    static bool isPartialStringValid(const QString& partialString, QString* newEditingString);

    State validate(QString& input, int& position) const override;
};
