#pragma once
// Owns one window widget and links it to a document: the window title follows
// the document's name and edited state, the frame is saved and restored under
// an autosave name, and closing the window lets the document go.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <memory>

#include <QWidget>

namespace kit {

class Document;

class WindowController : public QObject {
    Q_OBJECT
public:
    /// Takes ownership of the window (which may also be given later).
    explicit WindowController(QWidget* window = nullptr, QObject* parent = nullptr);
    ~WindowController() override;

    QWidget* window() const { return m_window; }
    void setWindow(QWidget* window);
    bool isWindowLoaded() const { return m_window != nullptr; }
    /// Makes the window when there is none (the default makes a plain widget).
    virtual void loadWindow();
    virtual void windowDidLoad() {}

    Document* document() const { return m_document; }
    virtual void setDocument(Document* document);

    /// Shows the window and brings it to the front.
    virtual void showWindow();
    /// Closes the window (which ends this controller when it owns itself).
    virtual void close();

    /// The title shown for the document's name (the default: the name itself).
    virtual QString windowTitleForDocumentDisplayName(const QString& displayName) const { return displayName; }
    virtual void synchronizeWindowTitleWithDocumentName();

    /// Whether closing the window closes the document (asking to save first).
    bool shouldCloseDocument() const { return m_shouldCloseDocument; }
    void setShouldCloseDocument(bool flag) { m_shouldCloseDocument = flag; }

    /// The controller deletes itself once its window has closed.
    bool ownsItself() const { return m_ownsItself; }
    void setOwnsItself(bool flag) { m_ownsItself = flag; }

    /// Frame save and restore under "NSWindow Frame <name>" in the user defaults.
    /// The frame is kept as the user moves and resizes the window.
    QString windowFrameAutosaveName() const { return m_frameAutosaveName; }
    /// Sets the name and, when a frame is stored under it, applies that frame.
    /// One window at a time has a name: false (and nothing set) when another
    /// window of the application uses it.
    bool setWindowFrameAutosaveName(const QString& name);
    void saveFrameUsingName(const QString& name) const;
    bool setFrameUsingName(const QString& name);
    static QString frameDefaultsKey(const QString& name);

    /// Restoration: a stable class name the restoration store uses to remake the
    /// window, and the state handed back then.
    virtual QString restorationClassName() const { return QString(); }
    virtual void encodeRestorableState(QVariantMap& state) const;
    virtual void restoreState(const QVariantMap& state);
    /// The documents the window shows, saved with it for restoration.
    virtual QList<Document*> documentsForRestoration() const;

    /// Every live window controller, oldest first.
    static QList<WindowController*> allWindowControllers();

    /// The window is asking to close: answer whether it may (the default asks
    /// the document through canCloseDocument when shouldCloseDocument is set).
    /// done is called with the answer, possibly later.
    virtual void windowShouldClose(std::function<void(bool)> done);
    /// The window is closing.
    virtual void windowWillClose();

Q_SIGNALS:
    void windowClosed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_window;
    QPointer<Document> m_document;
    QString m_frameAutosaveName;
    bool m_shouldCloseDocument = true;
    bool m_ownsItself = false;
    bool m_closeApproved = false;
    bool m_closing = false;
};

} // namespace kit
