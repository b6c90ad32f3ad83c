#pragma once
// Property lists: XML (read and written) and the old brace form (read).
// dict → QVariantMap, array → QVariantList, string → QString, integer → qlonglong,
// real → double, true/false → bool, date → QDateTime (UTC), data → QByteArray.

#include "kit/Error.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

namespace kit {

/// Reads a property list file; invalid QVariant and an error naming the file and
/// the problem when it cannot be read or is malformed.
QVariant readPropertyList(const QString& path, kit::Error* error = nullptr);
QVariant propertyListFromData(const QByteArray& data, kit::Error* error = nullptr);

/// The XML form of a value (with the XML declaration and the DOCTYPE line).
/// QColor and QFont are written as strings; unsupported values become empty strings.
QByteArray propertyListData(const QVariant& value);
/// Writes the XML form safely (a failed write leaves the old file as it was).
bool writePropertyList(const QVariant& value, const QString& path, kit::Error* error = nullptr);

} // namespace kit
