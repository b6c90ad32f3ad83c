#include "componentui/KELComponentLibraryController.h"

#include "componentui/KELComponentLibraryListView.h"
#include "componentui/KELComponentLibraryTileView.h"
#include "componentui/KELCoverFlowView.h"
#include "components/KELComponentManager.h"
#include "components/KELComponentSearchIndex.h"
#include "kit/Alert.h"
#include "kit/NotificationCenter.h"
#include "kit/UserDefaults.h"
#include "kit/document/Document.h"
#include "kit/document/WindowController.h"
#include "kit/document/WindowRestoration.h"
#include "support/DefaultsKeys.h"
#include "support/HelpUtils.h"

#include <QApplication>
#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QStackedWidget>
#include <QToolBar>
#include <QToolButton>

/// The library window as the application's windows know it: its frame is kept
/// under its autosave name, and it is saved at quit to come back at the next start.
class KELComponentLibraryWindowController : public kit::WindowController {
public:
    KELComponentLibraryWindowController() { setShouldCloseDocument(false); }
    QString restorationClassName() const override { return KELComponentLibraryController::RestorationClassName; }
    QList<kit::Document*> documentsForRestoration() const override { return {}; }
};

KELComponentLibraryController::OpenComponentHandler& KELComponentLibraryController::openComponentHandler()
{
    static OpenComponentHandler handler;
    return handler;
}

KELComponentLibraryController& KELComponentLibraryController::sharedInstance()
{
    // Kept for the life of the process and never destroyed: its window must not
    // outlive the application object in a static destructor.
    static auto* controller = new KELComponentLibraryController(KELComponentManager::sharedInstance().components(), nullptr);
    return *controller;
}

KELComponentLibraryController::KELComponentLibraryController(QList<std::shared_ptr<KELComponent>> catalogue,
                                                             KELComponentSearchIndex* index)
    : m_catalogue(std::move(catalogue)), m_index(index)
{
}

KELComponentLibraryController::~KELComponentLibraryController()
{
    if (m_searchToken)
        m_searchToken->setCancelled(true);
    if (m_searchObserver)
        kit::NotificationCenter::defaultCenter().removeObserver(m_searchObserver);
    if (m_windowController)
        m_windowController->setWindow(nullptr);
    m_windowController.reset();
    delete m_window.data();
}

void KELComponentLibraryController::registerWindowRestoration()
{
    kit::WindowRestoration::registerRestorationClass(RestorationClassName, [](const QVariantMap& saved) {
        KELComponentLibraryController& library = sharedInstance();
        library.showWindow();
        if (library.m_windowController)
            library.m_windowController->restoreState(saved.value(kit::WindowRestoration::StateKey).toMap());
    });
}

QMainWindow* KELComponentLibraryController::window()
{
    if (!m_window)
        buildWindow();
    return m_window;
}

void KELComponentLibraryController::buildWindow()
{
    m_window = new QMainWindow;
    m_window->setWindowTitle(QStringLiteral("Component Library"));
    m_window->setObjectName(QStringLiteral("ComponentLibrary"));
    m_window->resize(900, 640);
    m_windowController = std::make_unique<KELComponentLibraryWindowController>();
    m_windowController->setWindow(m_window);
    m_windowController->setWindowFrameAutosaveName(FrameAutosaveName);

    m_stack = new QStackedWidget(m_window);
    m_tileView = new KELComponentLibraryTileScrollView(m_stack);
    m_listView = new KELComponentLibraryListView(m_stack);
    m_coverFlowView = new KELCoverFlowView(m_stack);
    for (KELComponentView* view : std::initializer_list<KELComponentView*>{m_tileView, m_listView, m_coverFlowView}) {
        view->setDataSource(this);
        view->setDelegate(this);
        m_stack->addWidget(view->viewWidget());
    }
    m_window->setCentralWidget(m_stack);

    m_toolbar = new QToolBar(QStringLiteral("Component Library"), m_window);
    m_toolbar->setObjectName(QStringLiteral("KELComponentLibraryBar"));
    m_toolbar->setMovable(false);
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);

    auto* modes = new QWidget(m_toolbar);
    modes->setObjectName(QStringLiteral("Component Library View Mode"));
    modes->setToolTip(QStringLiteral("View"));
    auto* modesLayout = new QHBoxLayout(modes);
    modesLayout->setContentsMargins(0, 0, 0, 0);
    modesLayout->setSpacing(0);
    m_viewModeSegmentedControl = new QButtonGroup(modes);
    m_viewModeSegmentedControl->setExclusive(true);
    const QStringList titles {QStringLiteral("Tiles"), QStringLiteral("List"), QStringLiteral("Cover Flow")};
    for (int i = 0; i < titles.size(); ++i) {
        auto* button = new QToolButton(modes);
        button->setText(titles.at(i));
        button->setCheckable(true);
        button->setAutoRaise(false);
        m_viewModeSegmentedControl->addButton(button, i);
        modesLayout->addWidget(button);
    }
    // The control keeps the last choice in the defaults (cover flow at first).
    const int saved = int(std::clamp<qint64>(kit::UserDefaults::standard().integerValue(KELComponentLibrarySelectedViewKey), 0, 2));
    m_viewModeSegmentedControl->button(saved)->setChecked(true);
    connect(m_viewModeSegmentedControl, &QButtonGroup::idClicked, this, [this](int id) { selectView(id); });
    m_toolbar->addWidget(modes);

    auto* spring = new QWidget(m_toolbar);
    spring->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_toolbar->addWidget(spring);

    auto* help = new QToolButton(m_toolbar);
    help->setObjectName(QStringLiteral("KELComponentLibraryHelpIdentifier"));
    help->setIcon(QIcon::fromTheme(QStringLiteral("help-contents")));
    help->setText(QStringLiteral("Help"));
    help->setToolTip(QStringLiteral("Component Library Help"));
    connect(help, &QToolButton::clicked, this, [this] { showHelp(); });
    m_toolbar->addWidget(help);

    m_toolbarSearchField = new QLineEdit(m_toolbar);
    m_toolbarSearchField->setObjectName(QStringLiteral("Component Library Search"));
    m_toolbarSearchField->setPlaceholderText(QStringLiteral("Search"));
    m_toolbarSearchField->setToolTip(QStringLiteral("Search"));
    m_toolbarSearchField->setAccessibleName(QStringLiteral("Search components"));
    m_toolbarSearchField->setClearButtonEnabled(true);
    m_toolbarSearchField->setMinimumWidth(200);
    m_toolbarSearchField->setMaximumWidth(260);
    // The list narrows as the user types.
    connect(m_toolbarSearchField, &QLineEdit::textChanged, this, [this] { performSearch(); });
    m_toolbar->addWidget(m_toolbarSearchField);
    m_window->addToolBar(Qt::TopToolBarArea, m_toolbar);

    selectView(m_viewModeSegmentedControl->checkedId());
}

void KELComponentLibraryController::showWindow()
{
    QMainWindow* w = window();
    if (!w->isVisible()) {
        const QSignalBlocker blocker(m_toolbarSearchField);
        m_toolbarSearchField->clear();
        setSearchToken(nullptr);
        if (m_selectedView)
            m_selectedView->reloadComponents();
    }
    // The name is given up while the window is closed.
    if (m_windowController)
        m_windowController->setWindowFrameAutosaveName(FrameAutosaveName);
    w->show();
    w->raise();
    w->activateWindow();
}

void KELComponentLibraryController::selectView(int mode)
{
    window();
    // Another view comes in the window: a full-screen cover flow goes home first.
    if (m_coverFlowView && m_coverFlowView->isInFullScreenMode())
        m_coverFlowView->fullScreenAction();
    KELComponentView* next = mode == CoverFlowMode && m_coverFlowView ? static_cast<KELComponentView*>(m_coverFlowView)
                           : mode != TileMode                         ? static_cast<KELComponentView*>(m_listView)
                                                                      : static_cast<KELComponentView*>(m_tileView);
    if (QAbstractButton* button = m_viewModeSegmentedControl->button(mode)) {
        button->setChecked(true);
        kit::UserDefaults::standard().setValue(KELComponentLibrarySelectedViewKey, qlonglong(mode));
    }
    QWidget* focus = QApplication::focusWidget();
    const bool hadFocus = m_selectedView && focus
        && (focus == m_selectedView->viewWidget() || m_selectedView->viewWidget()->isAncestorOf(focus));
    m_stack->setCurrentWidget(next->viewWidget());
    m_selectedView = next;
    if (hadFocus)
        next->componentSelectionView()->setFocus(Qt::OtherFocusReason);
    next->reloadComponents();
}

void KELComponentLibraryController::performSearch()
{
    const QString text = m_toolbarSearchField->text();
    if (text.trimmed().isEmpty()) {
        setSearchToken(nullptr);
        if (m_selectedView)
            m_selectedView->reloadComponents();
        return;
    }
    auto token = std::make_shared<KELComponentSearchToken>(text);
    setSearchToken(token);
    KELComponentSearchIndex& index = m_index ? *m_index : KELComponentSearchIndex::sharedInstance();
    index.performSearch(token);
}

void KELComponentLibraryController::setSearchToken(std::shared_ptr<KELComponentSearchToken> token)
{
    if (m_searchToken) {
        m_searchToken->setCancelled(true);
        kit::NotificationCenter::defaultCenter().removeObserver(m_searchObserver);
        m_searchObserver = 0;
    }
    m_searchToken = std::move(token);
    if (m_searchToken)
        m_searchObserver = kit::NotificationCenter::defaultCenter().addObserver(
            KELComponentSearchResultsUpdatedNotification, m_searchToken.get(),
            [this](const kit::Notification&) { searchResultsDidUpdate(); }, this);
}

void KELComponentLibraryController::searchResultsDidUpdate()
{
    if (m_selectedView)
        m_selectedView->reloadComponents();
}

QList<std::shared_ptr<KELComponent>> KELComponentLibraryController::components() const
{
    return m_searchToken ? m_searchToken->searchResults() : m_catalogue;
}

void KELComponentLibraryController::componentWasSelected(const std::shared_ptr<KELComponent>& component)
{
    if (!component)
        return;
    const WindowKind kind = component->name() == QStringLiteral("Image Map") ? WindowKind::ImageMap : WindowKind::Component;
    if (openComponentHandler()) {
        openComponentHandler()(component, kind);
        return;
    }
    kit::Alert alert;
    alert.setMessageText(QStringLiteral("The component window is not available yet."));
    alert.setInformativeText(QStringLiteral("“%1” cannot be opened in this version.").arg(component->name().value_or(QString())));
    alert.setAlertStyle(kit::Alert::InformationalStyle);
    alert.beginSheet(m_window, [](int) {});
}

void KELComponentLibraryController::showHelp()
{
    HelpUtils::showHelpForKey(KELComponentLibraryHelpKey);
}
