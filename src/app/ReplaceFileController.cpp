#include "app/ReplaceFileController.h"

#include "app/KELFileManager.h"
#include "kit/Alert.h"

#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

ReplaceFileController::ReplaceFileController(const QList<FilePair>& pairs)
    : m_pairs(pairs)
{
    m_panel = new QDialog;
    m_panel->setWindowTitle(QStringLiteral("Replace"));
    m_panel->setAttribute(Qt::WA_DeleteOnClose, false);
    auto* layout = new QVBoxLayout(m_panel);
    auto* top = new QHBoxLayout;
    m_icon = new QLabel;
    m_text = new QLabel;
    m_text->setWordWrap(true);
    m_text->setMinimumWidth(320);
    top->addWidget(m_icon, 0, Qt::AlignTop);
    top->addWidget(m_text, 1);
    layout->addLayout(top);
    m_applyAll = new QCheckBox(QStringLiteral("Apply to All"));
    layout->addWidget(m_applyAll);
    auto* buttons = new QHBoxLayout;
    m_stop = new QPushButton(QStringLiteral("Stop"));
    m_dontReplace = new QPushButton(QStringLiteral("Don't Replace"));
    m_replace = new QPushButton(QStringLiteral("Replace"));
    m_replace->setDefault(true);
    buttons->addWidget(m_stop);
    buttons->addStretch();
    buttons->addWidget(m_dontReplace);
    buttons->addWidget(m_replace);
    layout->addLayout(buttons);
    connect(m_replace, &QPushButton::clicked, this, &ReplaceFileController::replace);
    connect(m_dontReplace, &QPushButton::clicked, this, &ReplaceFileController::dontReplace);
    connect(m_stop, &QPushButton::clicked, this, &ReplaceFileController::stop);
    connect(m_panel, &QDialog::rejected, this, &ReplaceFileController::stop);

    const bool several = m_pairs.size() >= 2;
    m_applyAll->setVisible(several);
    m_dontReplace->setVisible(several);
    QFileIconProvider icons;
    if (!m_pairs.isEmpty())
        m_icon->setPixmap(icons.icon(QFileInfo(m_pairs.first().oldPath())).pixmap(48, 48));
    updateText();
}

ReplaceFileController::~ReplaceFileController()
{
    delete m_panel;
}

void ReplaceFileController::showWindow()
{
    m_panel->show();
    m_panel->raise();
}

QString ReplaceFileController::questionForPair(const FilePair& pair)
{
    const QDateTime source = QFileInfo(pair.oldPath()).lastModified();
    const QDateTime existing = QFileInfo(pair.newPath()).lastModified();
    QString article = QStringLiteral("An"), which = QStringLiteral("one");
    if (source.isValid() && existing.isValid() && source != existing) {
        if (source < existing) {
            article = QStringLiteral("A newer");
            which = QStringLiteral("older one");
        } else {
            article = QStringLiteral("An older");
            which = QStringLiteral("newer one");
        }
    }
    return QStringLiteral("%1 item named \"%2\" already exists in this location. Do you want to replace it with the %3 you are moving?")
        .arg(article, QFileInfo(pair.oldPath()).fileName(), which);
}

QString ReplaceFileController::questionText() const
{
    return m_text->text();
}

void ReplaceFileController::updateText()
{
    if (!m_pairs.isEmpty())
        m_text->setText(questionForPair(m_pairs.first()));
}

bool ReplaceFileController::doReplace(const FilePair& pair)
{
    if (QDir::cleanPath(pair.oldPath()) == QDir::cleanPath(pair.newPath()))
        return true;
    kit::Error error;
    if (KELFileManager::defaultManager().replaceItem(pair.oldPath(), pair.newPath(), pair.isMove(), &error))
        return true;
    kit::Alert alert;
    const bool folder = QFileInfo(pair.oldPath()).isDir();
    alert.setMessageText(QStringLiteral("Copy Failed"));
    QString text = QStringLiteral("The %1 \"%2\" could not be copied.")
                       .arg(folder ? QStringLiteral("folder") : QStringLiteral("file"), QFileInfo(pair.oldPath()).fileName());
    if (!error.localizedRecoverySuggestion().isEmpty())
        text += QLatin1Char(' ') + error.localizedRecoverySuggestion();
    alert.setInformativeText(text);
    alert.addButton(QStringLiteral("OK"));
    alert.runModal();
    return false;
}

void ReplaceFileController::replace()
{
    if (m_applyAll->isChecked()) {
        while (!m_pairs.isEmpty()) {
            const FilePair pair = m_pairs.takeFirst();
            if (!doReplace(pair))
                break;
        }
        close();
        return;
    }
    if (m_pairs.isEmpty() || !doReplace(m_pairs.first())) {
        close();
        return;
    }
    m_pairs.removeFirst();
    if (m_pairs.isEmpty())
        close();
    else
        updateText();
}

void ReplaceFileController::dontReplace()
{
    if (m_applyAll->isChecked() || m_pairs.size() <= 1) {
        m_pairs.clear();
        close();
        return;
    }
    m_pairs.removeFirst();
    updateText();
}

void ReplaceFileController::stop()
{
    close();
}

void ReplaceFileController::close()
{
    if (m_closed)
        return;
    m_closed = true;
    if (m_panel)
        m_panel->hide();
    Q_EMIT finished();
    deleteLater();
}
