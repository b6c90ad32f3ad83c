#pragma once
// Stands for an external editor client on the session bus: records the notices it gets.

#include <QList>
#include <QObject>
#include <QStringList>

class TestClient : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kelpstudio.ExternalEditorClient")
public:
    QList<QStringList> calls;
public Q_SLOTS:
    void FileModified(const QString& path, const QString& newPath, const QString& token)
    {
        calls << QStringList{path, newPath, token};
    }
};
