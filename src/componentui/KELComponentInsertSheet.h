#pragma once
// The sheet through which a component goes into an open document: the files the
// insert will write (with their warnings), the target document, the folder that
// receives the included files, and why inserting is not possible when it is not.

#include "components/KELComponentCodeGenerator.h"

#include <QDialog>
#include <QList>
#include <QPointer>
#include <QString>
#include <QUrl>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QWidget;
class KELComponentController;
class MyDocument;

class KELComponentInsertSheet : public QDialog {
    Q_OBJECT
public:
    explicit KELComponentInsertSheet(KELComponentController& controller, QWidget* parent);
    ~KELComponentInsertSheet() override;

    static inline const QString NoDocumentItem = QStringLiteral("Please, open a document.");
    static inline const QString NoDocumentAlert = QStringLiteral(
        "A document must be opened in order to insert a component. Please, open an HTML or PHP document.");
    static inline const QString UntitledDocumentAlert = QStringLiteral(
        "This component uses external script/image files. You need to save your Untitled document before inserting this component.");

    /// Fills the sheet for the latest trial generation before it opens.
    void prepare();
    /// The document chosen in the pop-up; null with none.
    MyDocument* selectedDocument() const;
    const QString& scriptsDirectory() const { return m_scriptsDirectory; }
    void setScriptsDirectory(const QString& path);
    const QUrl& insertDocumentURL() const { return m_insertDocumentURL; }

    /// Refills the document list and, when the choice changed, the fields.
    void updateInsertDocumentFields();
    void updateDocumentsList();
    void updateSelectedDocumentFields();
    void updateInsertIncludeWarningMessages();
    /// Inserts into the chosen document and closes the sheet.
    bool completeInsert();
    void cancelInsert();
    void browseForScriptsDirectory();

    // What the sheet shows (tests read them).
    QComboBox* documentPopUpButton() const { return m_documentPopUpButton; }
    QPushButton* completeInsertButton() const { return m_completeInsertButton; }
    QLabel* documentAlertTextField() const { return m_documentAlertTextField; }
    QWidget* scriptsPathView() const { return m_scriptsPathView; }
    QCheckBox* projectDefaultCheckBox() const { return m_projectDefaultCheckBox; }
    QTableWidget* filesTableView() const { return m_filesTableView; }

    /// "Script", "Style", "Image", "Text", else "File".
    static QString fileTypeWord(int includeType);

protected:
    bool event(QEvent* event) override;

private:
    void reloadFiles();
    void refreshScriptsPath();

    KELComponentController& m_controller;
    QComboBox* m_documentPopUpButton = nullptr;
    QPushButton* m_completeInsertButton = nullptr;
    QLabel* m_documentAlertTextField = nullptr;
    QLabel* m_alertImageView = nullptr;
    QWidget* m_scriptsPathView = nullptr;
    QLineEdit* m_scriptsPathTextField = nullptr;
    QPushButton* m_scriptsPathBrowseButton = nullptr;
    QCheckBox* m_projectDefaultCheckBox = nullptr;
    QTableWidget* m_filesTableView = nullptr;
    QList<QPointer<MyDocument>> m_documents;
    QString m_scriptsDirectory;
    QUrl m_insertDocumentURL;
    bool m_isBrowsingForScripts = false;
};
