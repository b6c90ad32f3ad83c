#pragma once
// The window of one opened component: the variable editors on the left, the live
// preview or the generated files on the right, undo of every edit, and the Insert
// sheet that puts the component into an open document.

#include "componentui/KELComponentInsertSheet.h"
#include "componentui/KELComponentUndoManager.h"
#include "componentui/KELVariableController.h"
#include "components/KELComponent.h"
#include "components/KELComponentCodeGenerator.h"
#include "components/KELComponentDefinition.h"

#include "editor/KELHTMLView.h"
#include "kit/Responder.h"

#include <QMainWindow>
#include <QWebEngineView>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QListWidget;
class QSplitter;
class QStackedWidget;
class QTabBar;
class QPushButton;
class QWebEngineView;
class KELComponentWindow;
class KELComponentInsertSheet;
class KELHTMLView;
class MyDocument;

class KELComponentWindowController;

class KELComponentController : public QObject, public kit::Responder {
    Q_OBJECT
public:
    /// The window's menus: the preview commands (Show Source View, Preview
    /// Component, Preview Component With Browser, Refresh), Help, Close and the
    /// one undo of the window, which its fields' own undo never bypasses.
    void registerActions();
    /// Opens a window for the component and shows it; the window owns the
    /// controller and destroys it when it closes. Null (with a log line) when the
    /// component's definition cannot be read or gives no editors.
    static KELComponentController* openComponentWindow(const std::shared_ptr<KELComponent>& component);
    /// Lets a component name open a window of another kind (the image map).
    using Maker = std::function<KELComponentController*(const std::shared_ptr<KELComponent>&)>;
    static void registerControllerForComponentName(const QString& componentName, Maker maker);

    ~KELComponentController() override;

    KELComponentWindow* window() const { return m_window; }
    const std::shared_ptr<KELComponent>& component() const { return m_component; }
    const std::shared_ptr<KELComponentDefinition>& componentDefinition() const { return m_compDef; }
    const std::shared_ptr<KELVariableController>& rootController() const { return m_rootController; }
    KELComponentUndoManager* undoManager();
    KELComponentCodeGenerator& codeGenerator() { return *m_codeGenerator; }

    // --- Right pane
    bool sourceViewIsSelected() const;
    bool isLivePreviewing() const { return !sourceViewIsSelected(); }
    /// Shows the side the preview/source switch selects and regenerates it.
    virtual void switchPreviewSource();
    void togglePreviewSource();
    /// Regenerates the shown side.
    virtual void updatePreviewAndSourceView();
    void refresh() { updatePreviewAndSourceView(); }
    /// Writes the preview page (and loads it when asked); answers its path.
    virtual QString performPreviewCodeGeneration(bool load);
    /// Generates the page an insert would make, keeps its result; answers its path.
    QString performPreInsertCodeGeneration();
    void updateSelectedSourceFileContent();
    /// Opens the preview page in a browser (empty: the default one).
    void previewInBrowser(const QString& browser = QString());
    void showHelp();

    /// The test page the component is put into.
    QString bareBonesHTMLContent() const;
    const QString& previewDirectory() const { return m_previewDirectoryPath; }
    const QString& preInsertDirectory() const { return m_preInsertDirectoryPath; }
    const KELCodeGeneratorResult& preInsertCodeGeneratorResult() const { return m_preInsertResult; }
    const QString& preInsertHtmlContent() const { return m_preInsertHtmlContent; }
    /// The same result, for the sheet to mark the files an insert would overwrite.
    KELCodeGeneratorResult& preInsertResultForWarnings() { return m_preInsertResult; }

    /// Pause between an edit and the regeneration (0.25 s).
    void setPreviewDelay(int milliseconds) { m_previewDelay = milliseconds; }
    bool isPreviewPending() const { return m_previewTimer.isActive(); }
    /// How many times the shown side was regenerated (a burst of edits makes one).
    int regenerationCount() const { return m_regenerationCount; }

    // --- Insert
    /// Opens the Insert sheet.
    void insert();
    KELComponentInsertSheet* insertSheet() const { return m_insertSheet; }

    // --- Window restoration
    void encodeRestorableState(QVariantMap& state) const;
    void restoreState(const QVariantMap& state);
    static inline const QString RestorationClassName = QStringLiteral("KELComponentController");
    /// Lets component windows come back at the next start: a saved window opens
    /// the component of its name again with its values and frame.
    static void registerWindowRestoration();
    /// Remakes a window saved at the last quit (none when the component is gone).
    static KELComponentController* restoreWindow(const QVariantMap& savedWindow);
    /// The frame autosave name all component windows share.
    static inline const QString FrameAutosaveName = QStringLiteral("KELComponentWindow");
    /// Gives the window the frame saved under the name (the first window of the
    /// kind), or cascades it from the window of the kind opened before.
    void setWindowFrameAutosaveNameOrCascade(const QString& name);
    KELComponentWindowController* windowController() const { return m_windowController.get(); }

    /// What the preview does with a navigation: pages of the component load; a link
    /// the user follows elsewhere opens in the browser; anything else is refused.
    enum class NavigationDecision { Load, OpenExternally, Ignore };
    static NavigationDecision navigationDecision(const QUrl& url, bool linkClicked, bool isMainFrame);
    /// A fresh preview URL for the page (through the document scheme).
    static QUrl previewURL(const QString& pagePath, const QStringList& extraFolders = {});
    /// What the preview page may read besides its own folder.
    QStringList previewReadableFolders() const;
    /// The syntax a generated file is coloured as: HTML for the page (none), CSS for
    /// a style sheet, JavaScript for every other include.
    static QString syntaxNameForInclude(const KELComponentInclude* include);
    /// The generated files the source side lists (sorted, binary files left out).
    QList<KELCodeGeneratorFile> sourceFiles() const;
    std::optional<KELCodeGeneratorFile> selectedSourceFile() const;
    QListWidget* sourceFileList() const { return m_sourceFiles; }
    KELHTMLView* sourceTextView() const { return m_sourceTextView; }
    /// The syntax the source view shows ("HTML", "CSS", "JavaScript", or "Image").
    const QString& shownSourceSyntax() const { return m_shownSourceSyntax; }
    QWebEngineView* webView() const { return m_webView; }
    QTabBar* previewSourceSegmentedControl() const { return m_previewSourceSegmentedControl; }
    QPushButton* insertButton() const { return m_insertButton; }
    /// The page of the latest preview generation.
    const QString& previewHtmlContent() const { return m_previewHtmlContent; }
    /// The sheet inserted the component: the window closes after this event.
    void insertDidComplete();

    /// Where links the preview cannot show go (the desktop's browser; tests swap it).
    static void setExternalURLOpener(std::function<void(const QUrl&)> opener);
    static void openExternalURL(const QUrl& url);

    /// Whether the window may close; asks when it has changes.
    bool windowShouldClose();

    static inline const QString ComponentNameKey = QStringLiteral("KELComponentControllerComponentName");
    static inline const QString RootControllerKey = QStringLiteral("KELComponentControllerRootController");

Q_SIGNALS:
    /// After each regeneration of the shown side.
    void previewUpdated();

protected:
    explicit KELComponentController(const std::shared_ptr<KELComponent>& component);
    /// Builds the window; false when the component gives no editors.
    virtual bool setUpWindow();
    /// The widget of the right pane's preview side (a web view here).
    virtual QWidget* makePreviewWidget();
    /// A change of any variable reached the window.
    virtual void variableDidChange(const QString& keyPath);
    void updatePreviewAndSourceViewFromTimer();
    void showWindow();
    virtual QWidget* makeSourceView();
    void fillSourceFiles();

    std::shared_ptr<KELComponent> m_component;
    std::shared_ptr<KELComponentDefinition> m_compDef;
    std::shared_ptr<KELVariableController> m_rootController;
    std::unique_ptr<KELComponentUndoManager> m_undoManager;
    std::unique_ptr<KELComponentCodeGenerator> m_codeGenerator;
    QPointer<KELComponentWindow> m_window;
    QPointer<QWidget> m_variableView;
    QPointer<QWidget> m_previewWidget;
    QPointer<QWebEngineView> m_webView;
    QPointer<QStackedWidget> m_previewSourceContentView;
    QPointer<QWidget> m_sourceContentView;
    QPointer<QListWidget> m_sourceFiles;
    QPointer<KELHTMLView> m_sourceTextView;
    QPointer<QLabel> m_sourceImageView;
    QPointer<QStackedWidget> m_sourceStack;
    QPointer<QTabBar> m_previewSourceSegmentedControl;
    QPointer<QPushButton> m_insertButton;
    QPointer<QSplitter> m_splitter;
    QPointer<KELComponentInsertSheet> m_insertSheet;

private:
    QTimer m_previewTimer;
    int m_previewDelay = 250;
    int m_regenerationCount = 0;
    std::unique_ptr<QTemporaryDir> m_previewDirectory;
    std::unique_ptr<QTemporaryDir> m_preInsertDirectory;
    QString m_previewDirectoryPath;
    QString m_preInsertDirectoryPath;
    KELCodeGeneratorResult m_preInsertResult;
    QString m_preInsertHtmlContent;
    QString m_previewHtmlContent;
    QList<KELCodeGeneratorFile> m_shownSourceFiles;
    QString m_shownSourceSyntax;
    bool m_fillingSourceFiles = false;
    quint64 m_notificationToken = 0;
    quint64 m_activeDocumentToken = 0;
    std::unique_ptr<KELComponentWindowController> m_windowController;
};

/// Opens the window of a component (what the library window and the Insert menu call).
KELComponentController* KELOpenComponentWindow(const std::shared_ptr<KELComponent>& component);
/// The same by the component's name; null when no component has that name.
KELComponentController* KELOpenComponentWindowNamed(const QString& name);

/// The component window: its close asks its controller first.
class KELComponentWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit KELComponentWindow(KELComponentController* controller);
    KELComponentController* controller() const { return m_controller; }
    /// Commits a pending text edit by taking the focus away and back.
    bool endEditing();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QPointer<KELComponentController> m_controller;
};
