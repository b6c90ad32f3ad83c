#pragma once
// The names of the template tags: element name → tag class name, read from the
// bundle resource "KELComponentTags.plist".

#include <QHash>
#include <QString>

class KELComponentTagNameRegistry {
public:
    static KELComponentTagNameRegistry& sharedInstance();
    /// Reads the registry file (logged when it cannot be read: then no tag is known).
    explicit KELComponentTagNameRegistry(const QString& path);

    /// The class name for an element name; empty when the name is not registered.
    QString classForTagName(const QString& name) const { return m_registry.value(name); }
    const QHash<QString, QString>& registry() const { return m_registry; }

private:
    QHash<QString, QString> m_registry;
};
