#pragma once
// One entry of a document window's tab bar: an open text document, a file not
// opened yet (its document attaches when first asked for), an untitled document
// known by its side file, or an image shown read-only. It carries its geometry
// for the bar's slide animation and archives itself for window restoration.

#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include "document/MyDocument.h"
class TabView;

/// The drag data type of a tab dragged between bars of this application.
inline const QString KELTabPBoardType = QStringLiteral("application/x-kelp-studio-tab");

/// Shared with the bar.
constexpr double KELTabHeight = 24.0;
constexpr double KELTabScrollerWidth = 20.0;

class Tab : public QObject {
    Q_OBJECT
public:
    explicit Tab(const QString& path, QObject* parent = nullptr);
    explicit Tab(MyDocument* document, QObject* parent = nullptr);
    /// A tab read back from an archive (see encodeWithCoder); the document is not attached.
    static Tab* fromArchive(const QVariantMap& archive, QObject* parent = nullptr);
    ~Tab() override;

    /// The attached document, attaching one lazily first (see updateDocument).
    MyDocument* document();
    /// The attached document without trying to attach one.
    MyDocument* safeDocument() const { return m_document; }
    void setDocument(MyDocument* document);

    /// The attached document's path, else the stored path.
    QString path() const;
    void setPath(const QString& path);
    QString name() const;
    QString directory() const;
    /// "name (directory)", or the name alone; the tool tip and menu title.
    QString description() const;
    QUrl autosaveURL();
    void setAutosaveURL(const QUrl& url) { m_autosaveURL = url; }
    bool isEdited() const;
    bool isImage() const { return m_isImage; }
    void setIsImage(bool image);
    bool isPlaceholder() const { return m_placeholder; }
    void setPlaceholder(bool placeholder) { m_placeholder = placeholder; }
    const QVariantMap& documentRestoreData() const { return m_documentRestoreData; }

    TabView* tabView() const { return m_tabView; }
    void setTabView(TabView* view) { m_tabView = view; }

    // Geometry in bar coordinates before scrolling.
    double tabX = 0, tabXRight = 0, targetTabX = 0, targetTabXRight = 0;
    QRectF tabRect;
    QRectF closeRect;

    QRectF tabRectWithScrollersVisible(bool scrollersVisible, double scrollOffset) const;
    static QRectF targetTabRect(double tabWidth, bool scrollersVisible, double scrollOffset, qsizetype index);

    // Menu actions, forwarded to the bar.
    void selectTab();
    void display();
    void requestClose();
    void openInNewWindow();
    void revealInDocumentTree();
    void close();
    void invalidateRestorableState();

    /// Keys "path", "autosaveURL", "isImage", "documentRestoreData".
    QVariantMap encodeWithCoder() const;

    /// Attaches the open document of the path (only when it belongs to this bar's
    /// window) or the untitled document of the side file.
    void updateDocument();

private:
    void init();
    void pathChanged();
    void willMoveURLToTrash(const QUrl& url);
    void stopObservingDocument();

    QString m_path;
    QPointer<MyDocument> m_document;
    QUrl m_autosaveURL;
    QVariantMap m_documentRestoreData;
    bool m_isImage = false;
    bool m_placeholder = false;
    QPointer<TabView> m_tabView;
    QList<quint64> m_documentObservers;
};
