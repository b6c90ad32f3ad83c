#include "kit/GuessDialog.h"

#include "kit/SpellChecker.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace kit {

GuessDialog::GuessDialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Spelling"));
    auto* layout = new QGridLayout(this);
    m_status = new QLabel(this);
    m_field = new QLineEdit(this);
    m_field->setAccessibleName(tr("Correction"));
    m_guesses = new QListWidget(this);
    m_change = new QPushButton(tr("Change"), this);
    m_findNext = new QPushButton(tr("Find Next"), this);
    m_ignore = new QPushButton(tr("Ignore"), this);
    m_learn = new QPushButton(tr("Learn"), this);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : { m_change, m_findNext, m_ignore, m_learn }) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    buttons->addStretch();
    layout->addWidget(m_status, 0, 0, 1, 2);
    layout->addWidget(m_field, 1, 0);
    layout->addWidget(m_guesses, 2, 0);
    layout->addLayout(buttons, 1, 1, 2, 1);

    connect(m_guesses, &QListWidget::currentTextChanged, m_field, &QLineEdit::setText);
    connect(m_guesses, &QListWidget::itemDoubleClicked, this, [this] {
        if (onChange && !m_word.isEmpty())
            onChange(replacement());
    });
    connect(m_change, &QPushButton::clicked, this, [this] {
        if (onChange && !m_word.isEmpty())
            onChange(replacement());
    });
    connect(m_findNext, &QPushButton::clicked, this, [this] {
        if (onFindNext)
            onFindNext();
    });
    connect(m_ignore, &QPushButton::clicked, this, [this] {
        if (onIgnore && !m_word.isEmpty())
            onIgnore(m_word);
    });
    connect(m_learn, &QPushButton::clicked, this, [this] {
        if (onLearn && !m_word.isEmpty())
            onLearn(m_word);
    });
}

void GuessDialog::showWord(const QString& word, SpellChecker& checker)
{
    m_word = word;
    m_guesses->clear();
    m_field->setText(word);
    const bool has = !word.isEmpty();
    m_status->setText(has ? tr("Not in the dictionary: %1").arg(word) : tr("No misspelled words were found."));
    if (has)
        m_guesses->addItems(checker.guessesForWord(word));
    m_change->setEnabled(has);
    m_ignore->setEnabled(has);
    m_learn->setEnabled(has);
}

QString GuessDialog::replacement() const { return m_field->text(); }

} // namespace kit
