#pragma once
// Where windows open: a new window opens where its owner says, or centred on the
// window it belongs to (the key window), and always wholly on that window's
// screen, title bar included. Frames are top-left points of the whole frame, as
// the window manager draws it.

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QString>

class QScreen;
class QWidget;

namespace kit {

/// The screen the window is on; for a window not shown yet, the screen of the
/// window it belongs to, else the primary screen.
QScreen* screenForWindow(const QWidget* window, const QWidget* reference = nullptr);
/// The frame the window manager puts around the window: its own once shown,
/// else that of another shown window.
QMargins expectedFrameMargins(const QWidget* window);
/// The window's frame on screen (or where it will be, for a window not shown yet).
QRect windowFrame(const QWidget* window);
/// A frame moved (and, when larger, shrunk) to lie wholly inside the area.
QRect frameInsideArea(const QRect& frame, const QRect& area);

/// Moves the window so that its frame's top-left corner is at the point.
void setWindowFrameTopLeft(QWidget* window, const QPoint& topLeft);
/// Moves (and if need be shrinks) the window so its whole frame is on its screen.
void keepWindowOnScreen(QWidget* window);
/// Centres the window on the reference window (on the screen when there is none),
/// wholly on that screen.
void centerWindow(QWidget* window, const QWidget* reference);
/// Puts the window's frame top-left at the point (a null point leaves it where it
/// is), wholly on screen, and answers the point for the next window of a cascade.
QPoint cascadeTopLeftFromPoint(QWidget* window, const QPoint& point);

/// Places a window that has no place yet (never moved, no saved frame): centred on
/// the reference window (the key window when null). Every window is kept wholly on
/// screen. Answers whether the window was moved.
bool placeWindow(QWidget* window, const QWidget* reference = nullptr);

/// Keeps a window's frame under an autosave name (for windows without a window
/// controller): a frame saved under the name is applied now (wholly on screen),
/// and the frame is saved again as the window moves, resizes, hides or closes.
/// Answers whether a saved frame was applied.
bool keepWindowFrame(QWidget* window, const QString& autosaveName);

/// From now on every window that shows for the first time is placed as by
/// placeWindow() (a window that was positioned keeps its place but is kept on
/// screen), and checked again once the window manager has framed it.
void installWindowPlacement();

} // namespace kit
