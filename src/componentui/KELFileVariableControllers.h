#pragma once
// The file and image editors: a local file (chosen, or dropped on the file well)
// or a typed URL; the image editor also keeps the image's width and height, with
// an optional locked proportion, and fetches remote images to learn their size.

#include "componentui/KELSimpleVariableControllers.h"
#include "componentui/KELURLAsyncConnection.h"

#include <QLabel>
#include <QPointer>
#include <QUrl>
#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QMimeData;
class QSpinBox;
class QStackedWidget;

/// Shows a path as its last components joined by arrows; accepts dropped files
/// when editable and the owner approves the first one.
/// The local files among dragged or pasted URLs, in their order.
QStringList KELLocalFilePaths(const QMimeData* data);

class KELFileView : public QLabel {
    Q_OBJECT
public:
    explicit KELFileView(QWidget* parent = nullptr);
    static inline const QString NoneText = QStringLiteral("(None Selected)");
    /// The path as shown: at most maxComponents trailing components joined by " ➞ ".
    static QString displayText(const QString& path, int maxComponents);
    void setFileName(const QString& path);
    const QString& fileName() const { return m_fileName; }
    void setEditable(bool on) { m_editable = on; }
    void setMaxComponents(int count) { m_maxComponents = count; }
    /// Whether a drop of these paths is taken.
    bool acceptsDrop(const QStringList& paths) const;
    std::function<bool(const QString&)> shouldAcceptFile;

Q_SIGNALS:
    void fileDropped(const QString& path);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QString m_fileName;
    bool m_editable = true;
    int m_maxComponents = 2;
};

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
    KELFileView* fileView() const { return m_fileView; }
    QLineEdit* urlTextField() const { return m_urlField; }

protected:
    KELFileVariableController(const KELComponentVariable& variable, const QString& className);
    QWidget* makeView() override;
    virtual void didSelectLocalPath() { }
    /// Extra controls below the panes (the image's size).
    virtual void addControls(QWidget*) { }
    void setKey(const QString& key, const QVariant& value);
    void updateControls();

    int m_selectedViewIndex = 0;
    QString m_localPath;
    QString m_url = QStringLiteral("http://");
    QPointer<QComboBox> m_typePopUp;
    QPointer<QStackedWidget> m_panes;
    QPointer<KELFileView> m_fileView;
    QPointer<QLineEdit> m_urlField;
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
    void setFetchTimeoutForTesting(int milliseconds) { m_fetchTimeout = milliseconds; }

    QUrl fileUrl() const override;
    bool allowsDirectories() const override { return false; }
    QStringList allowedFileTypes() const override;
    QVariant value(const QString& key) const override;
    void setValue(const QString& key, const QVariant& value) override;
    KELComponentValueMap rootKeyPaths() const override;
    QStringList restorableStateKeyPaths() const override;
    bool undoEnabledForKey(const QString& key) const override;
    QVariant objectValue() const override;
    void initializationComplete() override;
    void controllerWillClose() override;

protected:
    void didSelectLocalPath() override;
    void addControls(QWidget* box) override;

private:
    void cancelFetch();
    void setSizeText(const QString& key, const QString& text);
    void updateSizeControls();
    QString m_widthTextValue = QStringLiteral("100");
    QString m_heightTextValue = QStringLiteral("100");
    bool m_lockedProportion = true;
    double m_proportionValue = 1.0;
    bool m_sizeUndoEnabled = true;
    QUrl m_defaultUrl;
    std::unique_ptr<KELURLAsyncConnection> m_connection;
    int m_fetchTimeout = 60000;
    QPointer<QSpinBox> m_widthField;
    QPointer<QSpinBox> m_heightField;
    QPointer<QCheckBox> m_lockBox;
};
