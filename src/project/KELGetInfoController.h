#pragma once
// The Get Info window of one file or folder: name, icon, kind, size, dates and
// location; for text files also the preview file (for languages previewed
// through a separate file) and the text encoding kept for the file.

#include "kit/Types.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class KELEncodingPopUpButtonCell;
class KELFilePrefs;
class KELGetInfoView;
class QDialog;
class QLabel;
class QPushButton;
class QWidget;

class KELGetInfoController : public QObject {
    Q_OBJECT
public:
    explicit KELGetInfoController(const QString& path, QObject* parent = nullptr);
    ~KELGetInfoController() override;

    const QString& path() const { return m_path; }
    QWidget* window() const;
    void showWindow();

    /// Reads the item again; closes the window when it is gone.
    void updateGetInfoValues();
    void choosePreviewFile();
    void clearPreviewFile();
    void selectEncoding();
    void updatePreviewFile(const QString& path);

    // The shown values (for the window and for tests).
    QString fileNameText() const;
    QString kindText() const;
    QString sizeText() const;
    QString titleSizeText() const;
    QString modifiedText() const;
    QString titleModifiedText() const;
    QString createdText() const;
    QString locationText() const;
    QString previewFileText() const;
    bool showsPreviewFileSection() const { return m_previewFileView != nullptr; }
    bool showsEncodingSection() const { return m_encodingView != nullptr; }
    KELEncodingPopUpButtonCell* encodingPopUp() const { return m_encodingPopUp; }

    /// The size in the size field and in the summary ("1023 bytes" / "1023 b", "1.0 KB" ...).
    static void sizeTexts(quint64 size, QString* sizeText, QString* titleSizeText);
    /// "Folder", "Image (w × h pixels)", "Image", or "<type name> Document".
    static QString kindForPath(const QString& path);
    static QString formatDate(const QDateTime& date);
    /// The folder holding the item, at most its last four components, one per line.
    static QString locationForPath(const QString& path);

    /// Tests: what the open panel answers (an empty string cancels).
    using FileChooser = std::function<QString(const QString& startFolder)>;
    static void setFileChooserForTesting(FileChooser chooser);
    /// Tests: the next window opens as the first of the run does.
    static void resetCascadeForTesting();

Q_SIGNALS:
    void windowClosed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildWindow();
    KELFilePrefs& filePrefs();

    QString m_path;
    QPointer<QDialog> m_window;
    KELGetInfoView* m_view = nullptr;
    QLabel* m_icon = nullptr;
    QLabel* m_fileName = nullptr;
    QLabel* m_titleSize = nullptr;
    QLabel* m_titleModified = nullptr;
    QLabel* m_kind = nullptr;
    QLabel* m_size = nullptr;
    QLabel* m_created = nullptr;
    QLabel* m_modified = nullptr;
    QLabel* m_location = nullptr;
    QWidget* m_previewFileView = nullptr;
    QLabel* m_previewFilePath = nullptr;
    QPushButton* m_clearPreviewFile = nullptr;
    QWidget* m_encodingView = nullptr;
    KELEncodingPopUpButtonCell* m_encodingPopUp = nullptr;
    bool m_closing = false;
};
