#pragma once
// Temporary folder trees for the project tests.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

namespace projecttest {

inline bool writeFile(const QString& path, const QByteArray& bytes = "<p>x</p>\n")
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    return file.write(bytes) == bytes.size();
}

/// Makes each entry under root: names ending in "/" are folders, others files.
inline void makeTree(const QString& root, const QStringList& entries)
{
    for (const QString& entry : entries) {
        if (entry.endsWith(QLatin1Char('/')))
            QDir().mkpath(root + QLatin1Char('/') + entry);
        else
            writeFile(root + QLatin1Char('/') + entry);
    }
}

} // namespace projecttest
