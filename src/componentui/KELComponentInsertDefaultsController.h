#pragma once
// Which folder receives a component's included files when it goes into a
// document: the file's own choice, its project's choice, else "KelpComponents"
// in the project folder or beside the document. Stores the user's choice for the
// file or for the whole project.

#include <QString>
#include <functional>

class MyDocument;
class KELFilePrefs;

class KELComponentInsertDefaultsController {
public:
    static KELComponentInsertDefaultsController& sharedInstance();

    static inline const QString FolderName = QStringLiteral("/KelpComponents");

    /// True when nothing is at the path yet (it can be made) or it is a writable
    /// folder; false for a file, or a folder that cannot be written.
    static bool isValidDirectoryPath(const QString& path);

    /// The folder proposed for a document (see the order above); for a document
    /// never saved, home/Sites/KelpComponents.
    QString defaultScriptsPath(const MyDocument* document) const;
    /// The same for a document at a path (empty: never saved).
    QString defaultScriptsPathForFile(const QString& documentPath) const;
    /// Whether the document's own preferences hold a folder.
    bool hasDefaultPathFromFileSettings(const MyDocument* document) const;
    /// Stores the choice for the project (clearing the file's own) or for the file;
    /// nothing for a document never saved.
    void setDefaultScriptsPath(const QString& path, const MyDocument* document, bool projectDefault);
    void setDefaultScriptsPathForFile(const QString& path, const QString& documentPath, bool projectDefault);

    /// The folder of the open project holding the path; empty with none.
    static QString projectDirectoryContainingPath(const QString& path);
    /// The preferences of the open project holding the path; null with none.
    static KELFilePrefs* projectPrefsForPath(const QString& path);

    /// Tests: the home folder and the writability check.
    void setHomeDirectoryForTesting(const QString& home) { m_home = home; }
    static void setWritableCheckForTesting(std::function<bool(const QString&)> check);

private:
    QString homeDirectory() const;
    QString m_home;
};
