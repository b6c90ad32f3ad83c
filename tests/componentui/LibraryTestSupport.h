#pragma once
// Small catalogues of component folders for the library tests, and a wait that
// runs the event loop.

#include "components/KELComponent.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QThread>
#include <functional>

namespace librarytest {

struct ComponentSpec {
    QString name;
    QString group;
    QString description;
    QImage image = {};
};

inline std::shared_ptr<KELComponent> makeComponent(const QString& root, const ComponentSpec& spec)
{
    const QString folder = root + QLatin1Char('/') + QString(spec.name).replace(QLatin1Char(' '), QLatin1Char('_'));
    QDir().mkpath(folder);
    QString image;
    if (!spec.image.isNull()) {
        spec.image.save(folder + QStringLiteral("/preview.png"));
        image = QStringLiteral(" image=\"preview.png\"");
    }
    QFile file(folder + QStringLiteral("/Component.xml"));
    file.open(QIODevice::WriteOnly);
    file.write(QStringLiteral("<component%1><name>%2</name><description>%3</description><group>%4</group></component>")
                   .arg(image, spec.name.toHtmlEscaped(), spec.description.toHtmlEscaped(), spec.group.toHtmlEscaped())
                   .toUtf8());
    file.close();
    return KELComponent::componentWithDirectoryPath(folder);
}

inline QList<std::shared_ptr<KELComponent>> makeCatalogue(const QString& root, const QList<ComponentSpec>& specs)
{
    QList<std::shared_ptr<KELComponent>> components;
    for (const ComponentSpec& spec : specs)
        components << makeComponent(root, spec);
    return components;
}

inline QStringList names(const QList<std::shared_ptr<KELComponent>>& components)
{
    QStringList list;
    for (const auto& component : components)
        list << component->name().value_or(QString());
    return list;
}

/// Runs the event loop until the condition holds or the time is up.
inline bool waitFor(const std::function<bool()>& condition, int milliseconds = 60000)
{
    QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

} // namespace librarytest
