#pragma once
// One entry of the file-type mapping: a file extension and the type name it maps to.

#include "kit/Error.h"

#include <QString>
#include <memory>
#include <optional>

/// Posted with the entry as object after its extension changed.
inline const QString KELExtensionValueChangedNotification = QStringLiteral("KELExtensionValueChangedNotification");
/// Posted with the entry as object after its type name changed.
inline const QString KELExtensionTypeNameChangedNotification = QStringLiteral("KELExtensionTypeNameChangedNotification");

class KELExtensionType {
public:
    /// The type name of a new entry: "HTML".
    static QString defaultNewExtenstionTypeName();

    /// An extension without its point; "" stands for files without extension, and no
    /// value marks an entry that maps nothing yet.
    static std::shared_ptr<KELExtensionType> extensionTypeWithExtension(std::optional<QString> extension,
        const QString& typeName);

    /// A blank entry of type "HTML": its extension is "" unless some entry of the shared
    /// registry already stands for files without extension, then none.
    KELExtensionType();
    KELExtensionType(std::optional<QString> extension, QString typeName);

    const std::optional<QString>& extension() const { return m_extension; }
    void setExtension(std::optional<QString> extension);
    const QString& typeName() const { return m_typeName; }
    void setTypeName(const QString& typeName);

    /// Checks an edited extension against the other entries of the shared registry:
    /// drops one leading point; a value another entry already has (ignoring case) is
    /// refused with an error of domain "KELErrorDomain", code 1; a second "" becomes no value.
    bool validateExtension(std::optional<QString>& value, kit::Error* error) const;

    /// The pane's order: extensions ignoring case, then "", then entries without value.
    int compare(const KELExtensionType& other) const;

private:
    std::optional<QString> m_extension;
    QString m_typeName;
};
