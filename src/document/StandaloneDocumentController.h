#pragma once
// The window of documents that belong to no project: a tabbed editor (or one
// document at a time), the code navigator sliding in on the left, a frame kept
// across runs, and restoration of its untitled documents from their side files.

#include "document/DocumentWindowController.h"
#include "document/KELSplitView.h"

#include <QByteArray>
#include <QSet>


inline const QString KELStandaloneFrameAutosaveName = QStringLiteral("KELStandaloneFrameAutosaveName");
inline const QString KELStandaloneShowCodeNavigatorKey = QStringLiteral("KELStandaloneShowCodeNavigatorKey");
inline const QString KELStandaloneCodeNavigatorSplitPositionKey = QStringLiteral("KELStandaloneCodeNavigatorSplitPositionKey");
inline const QString KELStandaloneDocumentControllerUsesTabsKey = QStringLiteral("KELStandaloneDocumentControllerUsesTabs");
inline const QString KELUntitledAutosaveURLsKey = QStringLiteral("KELUntitledAutosaveURLs");
inline const QString KELStandaloneDocumentControllerRestoredDocumentDataKey = QStringLiteral("KELStandaloneDocumentControllerRestoredDocumentData");

class StandaloneDocumentController : public DocumentWindowController {
    Q_OBJECT
public:
    /// Tabs as "Use Tabbed Interface in Standalone Documents" says.
    StandaloneDocumentController();
    explicit StandaloneDocumentController(bool usesTabs);
    ~StandaloneDocumentController() override;

    static inline const QString RestorationClassName = QStringLiteral("StandaloneDocumentController");
    QString restorationClassName() const override { return RestorationClassName; }
    /// Remakes a saved window with its documents (the restorer of this class).
    static StandaloneDocumentController* restoreWindow(const QVariantMap& savedWindow);

    void windowDidLoad() override;
    void encodeRestorableState(QVariantMap& state) const override;
    void restoreState(const QVariantMap& state) override;

    QList<QUrl> untitledAutosaveRestoreURLs() const override { return m_untitledAutosaveRestoreURLs; }
    void addAutosaveURL(const QUrl& url) override;
    QSet<QUrl> autosaveURLsToPersist() const { return m_autosaveURLsToPersist; }
    void addDocument(MyDocument* document) override;
    void removeDocument(MyDocument* document) override;
    /// A new untitled document in this window (not shown by itself).
    MyDocument* makeUntitledDocument() override;

    // -- Navigator
    KELSplitView* navigatorSplitView() const { return m_splitView; }
    bool isShowingCodeNavigator() const override;
    void showCodeNavigator(bool show, bool animate) override;
    /// Where the divider may go when the user drags it.
    int constrainSplitPosition(int proposed) const;
    void splitViewDidResizeSubviews();
    /// The navigator's width when shown, from the stored width.
    int navigatorWidthForShowing() const;

protected:
    QWidget* makeCentralView(QWidget* editorArea) override;

private:
    void restoreDocument(MyDocument* document, const QVariantMap& state);

    QPointer<KELSplitView> m_splitView;
    QList<QUrl> m_untitledAutosaveRestoreURLs;
    QSet<QUrl> m_autosaveURLsToPersist;
    QVariantMap m_documentRestoreData;
};
