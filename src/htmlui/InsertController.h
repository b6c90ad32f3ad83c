#pragma once
// Base of the insert panels (Meta Tag, Color, Advanced Insert): one floating
// panel each, made once and shown again and again; a Help button that opens the
// panel's help page; and the editor of the document in front, which receives
// what the panel composes.

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class KELHTMLView;
class QDialog;
class QPushButton;

class InsertController : public QObject {
    Q_OBJECT
public:
    explicit InsertController(QObject* parent = nullptr);
    ~InsertController() override;

    /// The panel, made on first use.
    QDialog* window();
    virtual void showWindow();
    void close();

    /// The key of the panel's help page.
    virtual QString helpKey() const { return QString(); }
    void showHelp();

    /// The editor of the document in front (the last active document window), or null.
    static KELHTMLView* frontEditor();
    /// Tests put a view of their own in front.
    static void setEditorProviderForTesting(std::function<KELHTMLView*()> provider);

    /// Inserts start and end in place of the view's selection, in one undo step.
    /// With the default "Should Wrap Inserted Tags Around Selected Text" at 0 the
    /// selected text goes between them and stays selected; otherwise it is replaced
    /// and the caret ends after the insertion.
    static void insertAroundSelection(KELHTMLView* view, const QString& start, const QString& end,
                                      const QString& undoAction);

protected:
    /// Builds the panel's widgets into the window.
    virtual void loadWindow(QDialog* window) = 0;
    /// The panel is going away (closed by the user or by the controller).
    virtual void windowWillClose() {}
    /// A Help button wired to showHelp().
    QPushButton* makeHelpButton(QWidget* parent);
    /// The frame is kept under this name in the defaults.
    virtual QString frameAutosaveName() const = 0;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QDialog> m_window;
    bool m_frameRestored = false;
};
