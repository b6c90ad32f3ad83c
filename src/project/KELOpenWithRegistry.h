#pragma once
// Where Open With learns which applications open a file: the desktop's
// application registry (GIO over the installed desktop entries and the user's
// mimeapps.list). Applications are named by the path of their desktop entry.

#include <QIcon>
#include <QString>
#include <QStringList>
#include <memory>

class KELOpenWithRegistry {
public:
    virtual ~KELOpenWithRegistry() = default;
    /// Every application that can open the file.
    virtual QStringList applicationsForFile(const QString& path) = 0;
    /// The file's default application; empty when it has none.
    virtual QString defaultApplicationForFile(const QString& path) = 0;
    /// The application's name as the desktop shows it; empty when unknown.
    virtual QString nameOfApplication(const QString& application) = 0;
    /// The application's version; empty when it states none.
    virtual QString versionOfApplication(const QString&) { return QString(); }
    virtual QIcon iconOfApplication(const QString&) { return QIcon(); }
    /// Opens the files in the application; false with a reason when it fails.
    virtual bool openFiles(const QStringList& paths, const QString& application, QString* reason) = 0;

    /// The registry in use (the desktop's unless a test installed another).
    static KELOpenWithRegistry& shared();
    static void setSharedForTesting(std::unique_ptr<KELOpenWithRegistry> registry);
};
