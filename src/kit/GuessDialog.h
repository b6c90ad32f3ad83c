#pragma once
// The spelling panel: shows the misspelled word with the checker's guesses and lets
// the user change it, skip to the next one, ignore it or learn it.

#include <QDialog>
#include <functional>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace kit {

class SpellChecker;

class GuessDialog : public QDialog
{
    Q_OBJECT
public:
    explicit GuessDialog(QWidget* parent = nullptr);

    /// Shows a word and the checker's guesses for it; an empty word says that none is left.
    void showWord(const QString& word, SpellChecker& checker);
    QString word() const { return m_word; }
    /// The replacement: the field's text (a chosen guess fills it).
    QString replacement() const;

    // What the buttons do; the view that opened the panel sets them.
    std::function<void(const QString& replacement)> onChange;
    std::function<void()> onFindNext;
    std::function<void(const QString& word)> onIgnore;
    std::function<void(const QString& word)> onLearn;

    QPushButton* changeButton() const { return m_change; }
    QPushButton* findNextButton() const { return m_findNext; }
    QPushButton* ignoreButton() const { return m_ignore; }
    QPushButton* learnButton() const { return m_learn; }
    QListWidget* guessList() const { return m_guesses; }

private:
    QString m_word;
    QLabel* m_status = nullptr;
    QLineEdit* m_field = nullptr;
    QListWidget* m_guesses = nullptr;
    QPushButton* m_change = nullptr;
    QPushButton* m_findNext = nullptr;
    QPushButton* m_ignore = nullptr;
    QPushButton* m_learn = nullptr;
};

} // namespace kit
