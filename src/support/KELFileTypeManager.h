#pragma once
// Classifies every file by a type name: a language of the syntax definitions or one
// of the pseudo-types, from the user's mapping of file extensions.

#include "support/KELExtensionType.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

/// Posted (without object) after the user changed the file-type settings.
inline const QString KELFileTypesDidChangeNotification = QStringLiteral("KELFileTypesDidChangeNotification");

// Type names the program tests for.
inline const QString KELFolderTypeName = QStringLiteral("Folder");
inline const QString KELBinaryTypeName = QStringLiteral("Binary");
inline const QString KELPDFTypeName = QStringLiteral("PDF");
inline const QString KELSVGTypeName = QStringLiteral("SVG");
inline const QString KELImageTypeName = QStringLiteral("Image");
inline const QString KELHiddenTypeName = QStringLiteral("Hidden");
inline const QString KELPlainTextTypeName = QStringLiteral("Plain Text");
inline const QString KELHTMLTypeName = QStringLiteral("HTML");
inline const QString KELPHPTypeName = QStringLiteral("PHP");
inline const QString KELCSSTypeName = QStringLiteral("CSS");
inline const QString KELSHTMLTypeName = QStringLiteral("SHTML");
inline const QString KELJavaScriptTypeName = QStringLiteral("JavaScript");

/// What the registry needs to know of one syntax type.
struct KELFileTypeSyntaxInfo {
    QString typeName;
    QString parentTypeName;   // empty for a root type
    QString deferToTypeName;  // empty when the type defers to none
    QStringList defaultExtensions;
    bool isDefault = false;
};

class KELFileTypeManager {
public:
    using ExtensionTypeList = QList<std::shared_ptr<KELExtensionType>>;

    /// The one registry; reads the mapping from the user defaults when first used.
    static KELFileTypeManager& sharedInstance();

    /// The syntax types whose names and default extensions the registry offers: those
    /// of the installed provider, else a built-in list of the bundled languages.
    static QList<KELFileTypeSyntaxInfo> syntaxTypes();
    /// Installs where the syntax types come from (the syntax manager, at start-up), then
    /// rebuilds the type names and re-reads the mapping. Null restores the built-in list.
    using SyntaxTypesProvider = std::function<QList<KELFileTypeSyntaxInfo>()>;
    static void setSyntaxTypesProvider(SyntaxTypesProvider provider);

    /// The live mapping; lookups take the first matching entry.
    const ExtensionTypeList& extensionTypes() const { return m_extensionTypes; }
    void setExtensionTypes(ExtensionTypeList extensionTypes);
    ExtensionTypeList allExtensionTypes() const { return m_extensionTypes; }

    /// Every type name the user may choose (the root syntax types and "Hidden"),
    /// sorted ignoring case; newFileTypeNames leaves out "Hidden".
    QStringList allTypeNames() const { return m_typeNames; }
    QStringList newFileTypeNames() const;

    /// The type of documents without a file ("KELDefaultFileTypeKey").
    QString defaultTypeName() const;

    /// The type of a document's file, or the default type when it has no file.
    /// Works with anything that has fileURL(): the document, its placeholder.
    template <typename Document>
    QString typeNameForDocument(const Document* document) const
    {
        return typeNameForDocumentURL(document ? document->fileURL() : QUrl());
    }
    QString typeNameForDocumentURL(const QUrl& fileURL) const;
    QString typeNameForPath(const QString& path) const;
    /// "Folder" for an existing folder; else the extension's type. A text type whose
    /// file holds binary data is "Binary"; a "Binary" file this application opens by
    /// default is "Plain Text".
    QString typeNameForURL(const QUrl& url) const;
    /// The extension's type, or "Binary" when it has none.
    QString typeNameForExtension(const QString& extension) const;
    /// The user's mapping (ignoring case), then "PDF", "SVG" and "Image" by extension.
    std::optional<QString> nonDefaultTypeNameForExtension(const std::optional<QString>& extension) const;

    /// Whether the first type is the second or defers to it, directly or through others.
    bool typeNameIsKindOfType(const QString& typeName, const QString& kindTypeName) const;

    /// A mapped extension, or one of the well-known non-text extensions.
    bool isRecognizedExtension(const std::optional<QString>& extension) const;

    /// Reads, writes and resets the mapping in the user defaults.
    void readDefaults();
    void writeDefaults() const;
    void resetToDefaults();

    /// A path's extension: what follows the last point of its last component, empty
    /// when there is none or the only point starts the name (".htaccess").
    static QString pathExtension(const QString& path);

    /// Finds the desktop's default application for a file (a desktop-entry id or an
    /// executable path; empty when none). Tests replace it; null restores the desktop's.
    using DefaultApplicationLookup = std::function<QString(const QString& path)>;
    void setDefaultApplicationLookupForTesting(DefaultApplicationLookup lookup);

private:
    KELFileTypeManager();
    KELFileTypeManager(const KELFileTypeManager&) = delete;
    KELFileTypeManager& operator=(const KELFileTypeManager&) = delete;

    void buildTypeNames();
    bool isOpenedByThisApplication(const QString& path) const;
    bool looksBinary(const QString& path) const;

    QStringList m_typeNames;
    ExtensionTypeList m_extensionTypes;
    DefaultApplicationLookup m_defaultApplicationLookup;
    mutable QHash<QString, bool> m_openedHereByContentType;
    struct SniffedFile {
        qint64 size;
        qint64 modified;
        bool binary;
    };
    mutable QHash<QString, SniffedFile> m_sniffed;
};
