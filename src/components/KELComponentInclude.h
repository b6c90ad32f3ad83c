#pragma once
// A resource file that a component puts beside the page: a script, style sheet,
// image, text or binary file from the component's folder (or the shared folder),
// copied, copied with a copyright header and a checksum comment, generated from a
// template, or recoloured through masks and overlays.

#include "components/KELComponentExpression.h"
#include "components/KELComponentInsertLogicTag.h"
#include "components/KELComponentResolver.h"
#include "support/KELXMLNode.h"

#include <QImage>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

class KELComponent;

/// Where a generation writes: 0 the preview, 1 the trial before an insert, 2 the insert.
enum class KELInsertType { Preview = 0, PreInsert = 1, Insert = 2 };

class KELComponentInclude {
public:
    enum Type { Script = 0, Style = 1, Image = 2, Text = 3, Binary = 4 };

    virtual ~KELComponentInclude();
    /// The include an "include" element describes; null (and a log line) for an unknown type.
    static std::unique_ptr<KELComponentInclude> includeWithNode(const KELXMLNode& node);
    /// A plain copy of one resource (a picture the page links to), as an include of that type.
    static std::unique_ptr<KELComponentInclude> includeWithResourceName(const QString& resourceName, Type type);

    Type type() const { return m_type; }
    const QString& resourceName() const { return m_resourceName; }
    const std::optional<QString>& varName() const { return m_varName; }
    const KELComponentExpression* condition() const { return m_condition.get(); }
    bool isUnique() const { return m_uniqueFileVarName.has_value(); }
    bool includeCopyrightNotice() const { return m_includeCopyrightNotice; }
    /// The copyright header put at the top of copied text files.
    static QString copyrightString();

    bool conditionSatisfied(KELComponentResolver& resolver) const;
    /// The resource in the component's folder, else in the shared folder; none when in neither.
    static std::optional<QString> pathForResourceName(const QString& name, const KELComponent& component);
    /// Where the file goes. Unique includes carry the variable's id (made safe for a
    /// file name); in an insert an existing file is not overwritten but numbered.
    /// None when the path would leave the destination folder.
    std::optional<QString> destinationPathForDestinationDirectory(const QString& directory, KELComponentResolver& resolver,
        KELInsertType insertType) const;

    /// Writes the file; its path, or none when nothing was written (condition false,
    /// resource missing, or a failed write: then `problems` gets a line for the user).
    virtual std::optional<QString> performCopy(const KELComponent& component, const QString& destinationDirectory,
        KELComponentResolver& resolver, KELInsertType insertType, QStringList* problems) const;

    // --- Checksums of generated text files
    static quint32 computeChecksum(const QString& text);
    static void appendChecksum(QString& text);
    static bool verifyChecksumForFileContents(const std::optional<QString>& text);
    static bool verifyChecksumForFile(const QString& path);

protected:
    KELComponentInclude() = default;
    void initInternalWithNode(const KELXMLNode& node);
    virtual void readChildNode(const KELXMLNode& node);
    /// Writes bytes; logs and notes a failure. Into the user's folder (an insert) the
    /// old file stays until the new one is complete on disk; the private preview
    /// folders, rewritten after every edit, are written plainly and only when changed.
    static bool writeFile(const QString& path, const QByteArray& bytes, KELInsertType insertType, QStringList* problems);
    /// After a text file was written: an open document of it shows the new text, unless
    /// it has unsaved edits (then those stay, and the user is told).
    static void reloadOpenDocument(const QString& path, QStringList* problems);

    QString m_resourceName;
    std::optional<QString> m_varName;
    std::optional<QString> m_uniqueFileVarName;
    Type m_type = Script;
    bool m_includeCopyrightNotice = false;
    std::unique_ptr<KELComponentExpression> m_condition;
};

class KELComponentTextInclude : public KELComponentInclude {
public:
    const KELComponentInsertPrimary* insertPrimary() const { return m_insertPrimary.get(); }
    std::optional<QString> performCopy(const KELComponent& component, const QString& destinationDirectory,
        KELComponentResolver& resolver, KELInsertType insertType, QStringList* problems) const override;

protected:
    void readChildNode(const KELXMLNode& node) override;

private:
    std::unique_ptr<KELComponentInsertPrimary> m_insertPrimary;
    friend class KELComponentInclude;
};

class KELComponentImageIncludeFilter {
public:
    explicit KELComponentImageIncludeFilter(const KELXMLNode& node);
    QString maskResourceName;
    std::unique_ptr<KELComponentExpression> colorExpression;
    std::unique_ptr<KELComponentExpression> condition;
};

class KELComponentImageIncludeOverlay {
public:
    explicit KELComponentImageIncludeOverlay(const KELXMLNode& node);
    QString resourceName;
};

class KELComponentImageInclude : public KELComponentInclude {
public:
    using Filter = std::variant<KELComponentImageIncludeFilter, KELComponentImageIncludeOverlay>;
    const std::vector<Filter>& filters() const { return m_filters; }

    std::optional<QString> performCopy(const KELComponent& component, const QString& destinationDirectory,
        KELComponentResolver& resolver, KELInsertType insertType, QStringList* problems) const override;

    /// A JPEG or PNG (by extension, any case) in the working format; a null image otherwise.
    static QImage createImageFromPath(const QString& path);
    /// Recolours the pixels under the mask; the colour used, or none when the filter applied none.
    static std::optional<QColor> applyFilter(QImage& image, const KELComponentImageIncludeFilter& filter,
        const KELComponent& component, KELComponentResolver& resolver);
    /// Draws the overlay over the image (source-over, premultiplied).
    static void applyOverlay(QImage& image, const KELComponentImageIncludeOverlay& overlay, const KELComponent& component);

protected:
    void readChildNode(const KELXMLNode& node) override;

private:
    std::vector<Filter> m_filters;
    friend class KELComponentInclude;
};
