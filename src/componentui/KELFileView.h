#pragma once
// The file well of the file and image editors: one chosen file shown as its path
// components with their icons, joined by arrows or one to a line, that takes a
// file dragged from a file manager and can be bound to a value by key path; and
// the formatter that shows a URL in a table cell as its file's name.

#include "kit/KeyValueObject.h"

#include <QFont>
#include <QIcon>
#include <QString>
#include <QVariant>
#include <QWidget>
#include <functional>
#include <optional>

class QMimeData;

/// The local files among dragged or pasted URLs, in their order.
QStringList KELLocalFilePaths(const QMimeData* data);

class KELFileView : public QWidget {
    Q_OBJECT
public:
    explicit KELFileView(QWidget* parent = nullptr);
    ~KELFileView() override;

    static inline const QString NoneText = QStringLiteral("(None Selected)");
    static inline const QString FileNameBinding = QStringLiteral("fileName");

    /// Only an editable view takes drops.
    bool editable() const { return m_editable; }
    void setEditable(bool on) { m_editable = on; }
    /// Each component on a line of its own.
    bool multiLine() const { return m_multiLine; }
    void setMultiLine(bool on);
    /// The full path shown; empty for none.
    const QString& fileName() const { return m_fileName; }
    void setFileName(const QString& path);
    const QString& defaultText() const { return m_defaultText; }
    void setDefaultText(const QString& text);
    /// At most this many trailing components (-1: all).
    int maxComponents() const { return m_maxComponents; }
    void setMaxComponents(int count);
    QFont textFont() const { return m_font; }
    void setTextFont(const QFont& font);

    /// Asked with the first dropped file's path; none means yes.
    std::function<bool(const QString&)> shouldAcceptDropForFileName;

    /// The components shown, each with its icon, for the width the view has (or would have).
    struct Component {
        QString name;
        QIcon icon;
    };
    QList<Component> displayComponents(int width = -1) const;
    /// The text shown: the components joined by " ➞ " (by line breaks in multi-line
    /// mode), or the default text.
    QString displayValue(int width = -1) const;
    /// The size the text needs, with 8 points of margin on each side and 4 above and below.
    QSize sizeToFitContents() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    /// Binds "fileName" to the value at keyPath of object (both ways: a drop writes it
    /// back). A previous binding goes first. Other names are not bindings of this view.
    bool bind(const QString& binding, const kit::KeyValueObjectPtr& object, const QString& keyPath);
    void unbind(const QString& binding);
    bool isBound() const { return m_boundToken >= 0; }

    /// Whether a drop of these paths would be taken (a copy), and by which file.
    bool acceptsDrop(const QStringList& paths) const;
    bool dragIsHovering() const { return m_dragIsHovering; }

Q_SIGNALS:
    /// A file was dropped and taken (after the bound value was written).
    void fileDropped(const QString& path);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void setDragIsHovering(bool on);
    void displayChanged();
    int lineHeight() const;
    int componentWidth(const Component& component) const;
    int arrowWidth() const;

    bool m_editable = false;
    bool m_multiLine = false;
    QString m_fileName;
    QString m_defaultText = NoneText;
    int m_maxComponents = -1;
    QFont m_font;
    bool m_dragIsHovering = false;
    std::weak_ptr<kit::KeyValueObject> m_boundObject;
    QString m_boundKeyPath;
    int m_boundToken = -1;
};

/// Shows a URL (never parses text): a file URL as its file's name with its icon,
/// any other URL as its full text; anything that is not a URL as nothing.
class KELURLFormatter {
public:
    static std::optional<QString> stringForObjectValue(const QVariant& value);
    static QIcon iconForObjectValue(const QVariant& value);
};
