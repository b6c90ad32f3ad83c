#pragma once
// The named HTML colours, read once from the resource "ColorNames.plist".

#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

class KELColorUtils {
public:
    static KELColorUtils& sharedInstance();

    /// Every colour name of the table (callers sort them as they need).
    QStringList htmlColorNames() const;
    /// The hexadecimal text of the name, letter case ignored; nullopt when unknown.
    std::optional<QString> htmlHexForColorName(const QString& name) const;
    /// Every known colour name in lower case: the table's and the CSS colour keywords.
    static const QSet<QString>& knownColorNames();

    /// A table read from another file (tests); an unreadable file gives an empty table.
    explicit KELColorUtils(const QString& path);

private:
    QMap<QString, QString> m_colors;
};
