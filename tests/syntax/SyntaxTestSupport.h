#pragma once
// Helpers of the syntax tests: definitions written into a temporary folder.

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace syntaxtest {

/// A definition file with the seven parts in order; each argument is the
/// inner XML of one part.
inline QString definition(const QString& rootAttributes, const QString& extensions = {}, const QString& structures = {},
    const QString& grammar = {}, const QString& styles = {}, const QString& completions = {},
    const QString& words = QStringLiteral("<words/>"), const QString& copyrights = {})
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<syntax %1>"
                          "<extensions>%2</extensions><structures>%3</structures><grammar>%4</grammar>"
                          "<styles>%5</styles><completions>%6</completions>%7<copyrights>%8</copyrights></syntax>\n")
        .arg(rootAttributes, extensions, structures, grammar, styles, completions, words, copyrights);
}

inline bool writeFile(const QString& path, const QString& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    f.write(content.toUtf8());
    return true;
}

} // namespace syntaxtest
