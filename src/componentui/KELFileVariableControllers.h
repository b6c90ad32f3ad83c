#pragma once
// The file and image editors: a local file (chosen, or dropped on the file well)
// or a typed URL; the image editor also keeps the image's width and height, with
// an optional locked proportion, and fetches remote images to learn their size.

#include "componentui/KELFileView.h"
#include "componentui/KELSimpleVariableControllers.h"
#include "componentui/KELURLAsyncConnection.h"

#include <QImageReader>
#include <QLabel>
#include <QPointer>
#include <QUrl>
#include <functional>

class QCheckBox;
class QComboBox;
class QFileDialog;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QStackedWidget;
class QTimer;

class KELFileVariableController : public KELVariableController, public KELTableVariableColumnDataSource {
public:
    explicit KELFileVariableController(const KELComponentVariable& variable);
    ~KELFileVariableController() override;

    /// The URL the text of the current mode stands for; none for an empty text.
    virtual QUrl fileUrl() const;
    void setFileUrl(const QUrl& url);
    /// Whether the editor takes the URL (type, files or folders allowed).
    bool isValidFileUrl(const QUrl& url) const;
    static QString audioMimeType(const QUrl& url);
    static QString videoMimeType(const QUrl& url);
    /// A typed URL as it stands, else percent-escaped; none for an empty text.
    static QUrl urlFromText(const QString& text);

    virtual bool allowsFiles() const { return true; }
    virtual bool allowsDirectories() const { return true; }
    /// Lower-case extensions; empty: any.
    virtual QStringList allowedFileTypes() const { return {}; }

    QVariant value(const QString& key) const override;
    void setValue(const QString& key, const QVariant& value) override;
    KELComponentValueMap rootKeyPaths() const override;
    QStringList restorableStateKeyPaths() const override;
    QVariant objectValue() const override;
    void setObjectValue(const QVariant& value) override;
    void controllerWillClose() override;
    KELFileView* fileView() const { return m_fileView; }
    QLineEdit* urlTextField() const { return m_urlField; }
    QPushButton* selectButton() const { return m_selectButton; }

    /// Opens the panel that chooses a file (folders: a folder) as a sheet on the
    /// editor's window; the choice becomes the local file.
    QFileDialog* selectFile(bool folders = false);

protected:
    KELFileVariableController(const KELComponentVariable& variable, const QString& className);
    QWidget* makeView() override;
    virtual void didSelectLocalPath() { }
    /// Extra controls below the panes (the image's size).
    virtual void addControls(QWidget*) { }
    /// The URL field was typed into.
    virtual void urlWasTyped(const QString& text);
    void setKey(const QString& key, const QVariant& value);
    void updateControls();

    int m_selectedViewIndex = 0;
    QString m_localPath;
    QString m_url = QStringLiteral("http://");
    QPointer<QComboBox> m_typePopUp;
    QPointer<QStackedWidget> m_panes;
    QPointer<KELFileView> m_fileView;
    QPointer<QLineEdit> m_urlField;
    QPointer<QPushButton> m_selectButton;
};

class KELImageFileVariableController : public KELFileVariableController {
public:
    explicit KELImageFileVariableController(const KELComponentVariable& variable);
    ~KELImageFileVariableController() override;
    const KELComponentImageFileVariable& imageVariable() const;

    static constexpr qint64 MaximumDimension = 9999;
    static qint64 clampedDimension(const QString& text);
    qint64 width() const { return clampedDimension(m_widthTextValue); }
    qint64 height() const { return clampedDimension(m_heightTextValue); }
    /// The size typed into one field; the other follows when the proportion is locked.
    void setWidthTextValueSynced(const QString& text);
    void setHeightTextValueSynced(const QString& text);
    /// The image's own size becomes the size (proportion kept with it).
    void applyImageSize(const QSize& size);
    /// Fetches the typed URL's image to learn its size (one at a time).
    void fetch();
    bool isFetching() const { return m_connection && m_connection->isRunning(); }
    /// Whether a fetch waits for the typing to pause.
    bool fetchIsPending() const;
    void setFetchTimeoutForTesting(int milliseconds) { m_fetchTimeout = milliseconds; }
    /// How long typing must pause before the typed URL is fetched.
    static constexpr int FetchDelayMilliseconds = 600;

    /// Why the chosen picture cannot be shown; empty when it can (or is still loading).
    const QString& pictureProblem() const { return m_pictureProblem; }
    /// What the form says under the picture's controls (loading, or the problem).
    QString pictureStatusText() const;
    /// The problem of a picture that cannot be read, from its reader; empty when it reads.
    static QString problemReadingPicture(QImageReader& reader, QSize* size = nullptr);

    QUrl fileUrl() const override;
    bool allowsDirectories() const override { return false; }
    QStringList allowedFileTypes() const override;
    QVariant value(const QString& key) const override;
    void setValue(const QString& key, const QVariant& value) override;
    KELComponentValueMap rootKeyPaths() const override;
    QStringList restorableStateKeyPaths() const override;
    QVariant objectValue() const override;
    void initializationComplete() override;
    void controllerWillClose() override;

protected:
    void didSelectLocalPath() override;
    void addControls(QWidget* box) override;
    void urlWasTyped(const QString& text) override;

private:
    void cancelFetch();
    void setSizeText(const QString& key, const QString& text);
    void updateSizeControls();
    /// Reads the picture in the background; the result lands in the form.
    void checkPicture(const QString& path, const QByteArray& data, bool applySize);
    void pictureChecked(const QSize& size, const QString& problem, bool applySize);
    void setPictureStatus(const QString& problem, bool loading);
    QString m_widthTextValue = QStringLiteral("100");
    QString m_heightTextValue = QStringLiteral("100");
    bool m_lockedProportion = true;
    double m_proportionValue = 1.0;
    QUrl m_defaultUrl;
    std::unique_ptr<KELURLAsyncConnection> m_connection;
    int m_fetchTimeout = 60000;
    quint64 m_pictureCheck = 0;
    bool m_pictureLoading = false;
    bool m_checkingFetchedData = false;
    QString m_pictureProblem;
    QPointer<QTimer> m_fetchDelay;
    QPointer<QSpinBox> m_widthField;
    QPointer<QSpinBox> m_heightField;
    QPointer<QCheckBox> m_lockBox;
    QPointer<QLabel> m_pictureStatus;
};
