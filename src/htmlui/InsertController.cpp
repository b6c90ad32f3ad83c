#include "htmlui/InsertController.h"

#include "support/DefaultsKeys.h"
#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "editor/KELHTMLView.h"
#include "kit/UserDefaults.h"
#include "kit/text/TextStorage.h"
#include "kit/document/WindowController.h"
#include "support/HelpUtils.h"

#include <QCloseEvent>
#include <QDialog>
#include <QPushButton>

namespace {

std::function<KELHTMLView*()>& editorProvider()
{
    static std::function<KELHTMLView*()> provider;
    return provider;
}

} // namespace

InsertController::InsertController(QObject* parent)
    : QObject(parent)
{
}

InsertController::~InsertController()
{
    delete m_window.data();
}

QDialog* InsertController::window()
{
    if (!m_window) {
        auto* panel = new QDialog(nullptr, Qt::Tool);
        panel->setAttribute(Qt::WA_DeleteOnClose, false);
        panel->installEventFilter(this);
        m_window = panel;
        loadWindow(panel);
    }
    return m_window;
}

void InsertController::showWindow()
{
    QDialog* panel = window();
    if (!m_frameRestored) {
        m_frameRestored = true;
        const QVariant stored
            = kit::UserDefaults::standard().value(kit::WindowController::frameDefaultsKey(frameAutosaveName()));
        if (stored.typeId() == QMetaType::QByteArray)
            panel->restoreGeometry(stored.toByteArray());
    }
    panel->show();
    panel->raise();
    panel->activateWindow();
}

void InsertController::close()
{
    if (m_window && m_window->isVisible())
        m_window->close();
}

bool InsertController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window && (event->type() == QEvent::Close || event->type() == QEvent::Hide)
        && m_window->isVisible()) {
        kit::UserDefaults::standard().setValue(kit::WindowController::frameDefaultsKey(frameAutosaveName()),
                                               m_window->saveGeometry());
        windowWillClose();
    }
    return QObject::eventFilter(watched, event);
}

void InsertController::showHelp()
{
    HelpUtils::showHelpForKey(helpKey());
}

QPushButton* InsertController::makeHelpButton(QWidget* parent)
{
    auto* button = new QPushButton(tr("Help"), parent);
    button->setObjectName(QStringLiteral("helpButton"));
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, &InsertController::showHelp);
    return button;
}

KELHTMLView* InsertController::frontEditor()
{
    if (editorProvider())
        return editorProvider()();
    MyDocumentController* controller = MyDocumentController::sharedDocumentController();
    MyDocument* document = controller ? controller->activeDocument() : nullptr;
    return document ? document->textView() : nullptr;
}

void InsertController::setEditorProviderForTesting(std::function<KELHTMLView*()> provider)
{
    editorProvider() = std::move(provider);
}

void InsertController::insertAroundSelection(KELHTMLView* view, const QString& start, const QString& end,
                                             const QString& undoAction)
{
    if (kit::UserDefaults::standard().integerValue(KELShouldWrapInsertedTagsAroundSelectedTextKey) != 0) {
        view->insertUntypedString(start + end, undoAction);
        return;
    }
    const kit::Range selected = view->selectedRange();
    const QString text = start + view->textStorage()->substring(selected) + end;
    view->insertUntypedString(text, undoAction, kit::Range(selected.location + start.size(), selected.length));
}
