#pragma once
// The application delegate: start-up, the application-wide commands and quit.

#include "kit/Error.h"
#include "kit/Responder.h"
#include "support/Notifications.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>
#include <functional>

#include <QDialog>

class QMenu;
struct KELOpenRequest;

class AppController : public QObject, public kit::Responder {
    Q_OBJECT
public:
    static AppController& sharedInstance();

    /// Runs once before the delegate exists: registers every default, moves the
    /// legacy keys and drops stale settings.
    static void initialize();

    /// Whether an untitled document is made at start-up ("Create New Document").
    bool applicationShouldOpenUntitledFile() const;
    /// After the event loop starts: the user agreement, then the crash check.
    /// Answers false when the user declined the agreement (the application quits).
    bool applicationDidFinishLaunching();
    /// The quit sequence.
    void applicationWillTerminate();

    /// The Quit command: asks about every unsaved document with all windows still
    /// open; once every document agreed, saves the windows for the next start,
    /// closes them, runs the quit sequence and ends the process. Cancel keeps
    /// everything running. A second request while one runs is ignored.
    void terminate();
    bool isTerminating() const { return m_terminating; }
    /// How the process ends (QCoreApplication::exit by default; tests record it).
    void setExitFunction(std::function<void(int)> exitFunction) { m_exit = std::move(exitFunction); }
    /// Tests: quitting may be tried again.
    void resetTerminationForTesting() { m_terminated = m_terminating = false; }

    // -- Opening files handed over from outside (command line, file manager)
    enum OpenReply { OpenReplySuccess = 0, OpenReplyCancel = 1, OpenReplyFailure = 2 };
    /// Opens the files; files without a text extension are first offered as text,
    /// externally, or not at all.
    OpenReply openFiles(const QStringList& paths, bool promptForExternal);
    OpenReply openFile(const QString& path, bool promptForExternal);
    /// Opens what a command line asked for (files, possibly for an external editor client).
    void openRequest(const KELOpenRequest& request);
    /// Opens one file through the document controller; failures are shown.
    bool openFile(const QString& path);
    /// Tests: what opens a file as a document (the document controller by default)
    /// and what hands a file to the desktop.
    using FileOpener = std::function<bool(const QString& path, kit::Error* error)>;
    void setFileOpenerForTesting(FileOpener opener) { m_fileOpener = std::move(opener); }
    using ExternalOpener = std::function<bool(const QString& path)>;
    void setExternalOpenerForTesting(ExternalOpener opener) { m_externalOpener = std::move(opener); }

    // -- Recent projects ("Recent Projects", newest first, at most 10)
    static constexpr int MaximumRecentProjects = 10;
    void addRecentProjectDirectory(const QString& path);
    void cleanupRecentProjects();
    /// Rebuilds the Recent Projects submenu of every menu bar.
    void updateRecentProjects();
    void clearRecentProjectDocuments();
    void openRecentProject(const QString& path);
    /// Removes a project's saved window settings.
    void removeProjectDefaults(const QString& path);
    /// Fills an Open Recent menu from the document controller's recent documents.
    void buildRecentDocumentsMenu(QMenu* menu);
    /// Fills a Recent Projects menu from the list.
    void buildRecentProjectsMenu(QMenu* menu);
    /// The three autosave names of a project window (outline, frame, split view),
    /// made by the project window from the folder path.
    struct ProjectAutosaveNames {
        QString outline;
        QString frame;
        QString splitView;
    };
    using ProjectAutosaveNamer = std::function<ProjectAutosaveNames(const QString& folder)>;
    static void setProjectAutosaveNamer(ProjectAutosaveNamer namer);
    static ProjectAutosaveNames projectAutosaveNames(const QString& folder);
    /// The menu titles of recent project folders: the folder name, with its parent
    /// added where two entries share a name.
    static QStringList recentProjectTitles(const QStringList& paths);

    // -- Close Window and Close Tab keys follow the window's tabs
    /// Ctrl+W closes the tab when the window has several tabs (or is a project
    /// with any), else the window; Ctrl+Shift+W always closes the window.
    void updateCloseWindowCommands(QWidget* window);
    static bool windowWantsTabCloseKey(QWidget* window);

    // -- Commands whose windows come with later parts of the program
    static QStringList unavailableCommands();
    /// Window > Component Library, and the library's workers stopped at quit.
    void installComponentLibraryCommand();

private:
    AppController();
    void registerCommands();
    /// Code clips and Quick Insert (AppControllerClips.cpp).
    void registerClipCommands();
    /// New, Open, Page Setup, Help and the View menu's settings and live preview.
    void registerDocumentCommands();
    bool m_terminated = false;
    bool m_terminating = false;
    std::function<void(int)> m_exit;
    FileOpener m_fileOpener;
    ExternalOpener m_externalOpener;
};

/// The agreement panel shown until the user agrees to the licence once.
class UserAgreementController : public QObject {
    Q_OBJECT
public:
    UserAgreementController();
    ~UserAgreementController() override;
    /// Runs the panel modally while the user has not agreed; answers whether the
    /// user agreed (true at once when already agreed).
    bool showWindow();
    QDialog* panel() const { return m_panel; }
    void agree();
    void quit();

private:
    QPointer<QDialog> m_panel;
    bool m_quit = false;
};
