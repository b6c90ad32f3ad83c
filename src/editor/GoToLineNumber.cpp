#include "editor/GoToLineNumber.h"
#include "kit/WindowPlacement.h"

#include "editor/EditorDocument.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

GoToLineNumber& GoToLineNumber::shared()
{
    static GoToLineNumber* controller = new GoToLineNumber; // kept for the process
    return *controller;
}

QDialog* GoToLineNumber::window()
{
    if (m_window)
        return m_window;
    auto* window = new QDialog(nullptr, Qt::Tool);
    window->setObjectName(QStringLiteral("GoToLineNumber"));
    window->setWindowTitle(tr("Go to Line"));
    kit::keepWindowFrame(window, QStringLiteral("GoToLineNumber"));
    auto* layout = new QVBoxLayout(window);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(tr("Line:"), window));
    m_field = new QLineEdit(window);
    m_field->setObjectName(QStringLiteral("lineNumberField"));
    m_field->setAccessibleName(tr("Line"));
    // Digits with an optional sign; the value is clamped as it is typed.
    m_field->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9]*")), m_field));
    row->addWidget(m_field);
    layout->addLayout(row);
    auto* buttons = new QHBoxLayout;
    auto* cancel = new QPushButton(tr("Cancel"), window);
    cancel->setAutoDefault(false);
    auto* ok = new QPushButton(tr("Go"), window);
    ok->setDefault(true);
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(ok);
    layout->addLayout(buttons);
    connect(m_field, &QLineEdit::textEdited, this, &GoToLineNumber::controlTextDidChange);
    connect(ok, &QPushButton::clicked, this, &GoToLineNumber::select);
    connect(cancel, &QPushButton::clicked, this, &GoToLineNumber::cancel);
    m_window = window;
    return window;
}

QLineEdit* GoToLineNumber::lineNumberField()
{
    window();
    return m_field;
}

void GoToLineNumber::showWindow()
{
    QDialog* w = window();
    w->show();
    w->raise();
    w->activateWindow();
    m_field->setFocus();
    m_field->selectAll();
}

void GoToLineNumber::controlTextDidChange()
{
    const QString text = m_field->text();
    if (text.isEmpty() || text == QLatin1String("-"))
        return;
    bool ok = false;
    qint64 value = text.toLongLong(&ok);
    if (!ok) // too many digits for a number: the sign tells which end
        value = text.startsWith(QLatin1Char('-')) ? 0 : MaximumLineNumber;
    const qint64 clamped = qBound<qint64>(0, value, MaximumLineNumber);
    if (QString::number(clamped) != text)
        m_field->setText(QString::number(clamped));
}

void GoToLineNumber::select()
{
    window();
    controlTextDidChange();
    const qint64 line = m_field->text().toLongLong();
    bool hasDocument = false;
    bool shown = false;
    if (m_shower) {
        shown = m_shower(line, &hasDocument);
    } else {
        if (EditorDocumentSource* documents = EditorDocumentSource::available())
            shown = documents->showLineNumberInActiveDocument(line, &hasDocument);
    }
    if (!hasDocument || !shown)
        beep();
}

void GoToLineNumber::cancel()
{
    if (m_window)
        m_window->close();
}

void GoToLineNumber::setLineShowerForTesting(std::function<bool(qint64, bool*)> shower)
{
    m_shower = std::move(shower);
}

void GoToLineNumber::beep()
{
    ++m_beeps;
    QApplication::beep();
}
