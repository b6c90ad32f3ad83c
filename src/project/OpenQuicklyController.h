#pragma once
// The Open Quickly panel: type part of a file name, pick the file from the list
// of names and the list of folders holding files of that name, and open it.
// The check box chooses between the open documents and projects, and the whole
// computer (when a locate database is installed).

#include "project/OpenQuicklySearch.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <memory>

class QCheckBox;
class QDialog;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableView;
class OpenQuicklyFileListModel;
class OpenQuicklyFolderListModel;
class OpenQuicklySpotlightSearch;

class OpenQuicklyController : public QObject, public OpenQuicklySearchDelegate {
    Q_OBJECT
public:
    static OpenQuicklyController& sharedInstance();
    OpenQuicklyController();
    ~OpenQuicklyController() override;

    QDialog* window() const { return m_window; }
    void showWindow();

    // Actions
    void open();
    void cancel();
    void changeLocalSearch();
    void showHelp();

    void handleRegexChange();
    void resetSearch();
    OpenQuicklySearch* search() const { return m_search; }
    /// Makes the search the active one (null: none); the old one stops.
    void setSearch(std::unique_ptr<OpenQuicklySearch> search);
    OpenQuicklyResultRef selectedResult() const;
    std::shared_ptr<DocumentContents> selectedDocument() const;
    const QString& selectedDocumentFileName() const { return m_selectedDocumentFileName; }

    QLineEdit* fileRegexField() const { return m_fileRegexField; }
    QTableView* fileTableView() const { return m_fileTableView; }
    QTableView* folderTableView() const { return m_folderTableView; }
    QCheckBox* localSearchButton() const { return m_localSearchButton; }
    QPushButton* openButton() const { return m_openButton; }
    /// The folder text of a document: its folder, or "(No Folder)" when it has no file.
    static QString folderValue(const DocumentContents* document);

    // OpenQuicklySearchDelegate
    void willUpdateSearchResults() override;
    void didUpdateSearchResults() override;
    void searchComplete() override;

Q_SIGNALS:
    /// The search ended for the current text (tests wait for it).
    void searchDidComplete();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildWindow();
    void windowDidBecomeKey();
    void windowWillClose();
    void fileSelectionChanged();
    void folderSelectionChanged();
    void updateOpenButton();
    void projectFilesChanged();

    QPointer<QDialog> m_window;
    QLineEdit* m_fileRegexField = nullptr;
    QTableView* m_fileTableView = nullptr;
    QTableView* m_folderTableView = nullptr;
    QCheckBox* m_localSearchButton = nullptr;
    QPushButton* m_openButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QProgressBar* m_progressIndicator = nullptr;
    OpenQuicklyFileListModel* m_fileModel = nullptr;
    OpenQuicklyFolderListModel* m_folderModel = nullptr;
    void useSearch(OpenQuicklySearch* search);
    OpenQuicklySearch* m_search = nullptr;
    std::unique_ptr<OpenQuicklySearch> m_localSearch;
    std::unique_ptr<OpenQuicklySpotlightSearch> m_spotlightSearch;
    int m_selectedFileRow = -1;
    int m_selectedFolderRow = -1;
    QString m_selectedFileName;
    QString m_selectedDocumentFileName;
    bool m_updating = false;
    bool m_resetPending = false;
    // Shown and made fresh; its activation, when it comes, needs nothing more.
    bool m_shownNow = false;
    QTimer m_releaseRowsTimer;
};
