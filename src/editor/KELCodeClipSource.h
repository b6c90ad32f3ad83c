#pragma once
// What the editor asks of the code-clip store: the Clips menu of the context menu and
// the clip data that clip windows put on the clipboard or drag. The store registers
// itself with setShared(); without one the editor offers no Clips menu.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

class QMenu;

/// Clipboard and drag data of dragged or copied clips: their contents, in order.
inline const QString KELCodeClipsContentPboardType = QStringLiteral("application/x-kelp-code-clips");

class KELCodeClipSource
{
public:
    virtual ~KELCodeClipSource() = default;
    /// Fills the menu with the stored clips; each item's action sends "insertCodeClip:"
    /// with the clip's content as the QAction's data.
    virtual void menuNeedsUpdate(QMenu* menu) = 0;

    static KELCodeClipSource* shared();
    static void setShared(KELCodeClipSource* source);
};

/// The clip data for a list of clip contents, and back (none when the data is not clip data).
QByteArray codeClipsContentData(const QStringList& contents);
std::optional<QStringList> codeClipsFromContentData(const QByteArray& data);
