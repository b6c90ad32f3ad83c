#pragma once
// The Go to Line panel: the user types a line number and the current document selects
// that line. The panel stays open for the next jump.

#include <QObject>
#include <QPointer>
#include <functional>

class QDialog;
class QLineEdit;

class GoToLineNumber : public QObject
{
    Q_OBJECT
public:
    static GoToLineNumber& shared();
    static constexpr qint64 MaximumLineNumber = 999999;

    void showWindow();
    QDialog* window();
    QLineEdit* lineNumberField();

    /// The field's value clamped to 0...999999 and written back.
    void controlTextDidChange();
    /// Shows the line in the current document; a beep when there is none or the line is not there.
    void select();
    void cancel();

    /// For tests: what select() asks to show a line (false: no document or no such line);
    /// an empty function restores the current document.
    void setLineShowerForTesting(std::function<bool(qint64 line, bool* hasDocument)> shower);
    int beepCountForTesting() const { return m_beeps; }

private:
    GoToLineNumber() = default;
    void beep();

    QPointer<QDialog> m_window;
    QLineEdit* m_field = nullptr;
    std::function<bool(qint64, bool*)> m_shower;
    int m_beeps = 0;
};
