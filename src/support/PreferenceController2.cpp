// The preferences window: eight panes chosen from a toolbar, the window's top
// edge fixed while it resizes to the pane shown. Settings are written to the
// user defaults at once and broadcast where the editor must follow them.

#include "support/PreferenceController2.h"
#include "support/KELInstalledBrowsers.h"

#include "support/DefaultsKeys.h"
#include "support/InterfaceHelpers.h"
#include "support/Notifications.h"
#include "kit/Alert.h"
#include "kit/Log.h"
#include "kit/NotificationCenter.h"
#include "kit/UserDefaults.h"
#include "support/FileExtensionFormatter.h"
#include "support/FileTypePreferences.h"
#include "support/HelpUtils.h"
#include "support/KELEncodingManager.h"
#include "support/KELEncodingPopUpButtonCell.h"
#include "support/UtilityFunctions.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QScreen>
#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>
#include <cmath>

namespace {

const QString GeneralIdentifier = QStringLiteral("KELGeneralPreferencesToolbarIdentifier");
const QString ColorsIdentifier = QStringLiteral("KELColorsPreferencesToolbarIdentifier");
const QString DocumentsIdentifier = QStringLiteral("KELDocumentsPreferencesToolbarIdentifier");
const QString EditingIdentifier = QStringLiteral("KELEditingPreferencesToolbarIdentifier");
const QString FileTypesIdentifier = QStringLiteral("KELFileTypesPreferencesToolbarIdentifier");
const QString FindIdentifier = QStringLiteral("KELFindPreferencesToolbarIdentifier");
const QString PreviewIdentifier = QStringLiteral("KELPreviewPreferencesToolbarIdentifier");
const QString SymbolsIdentifier = QStringLiteral("KELQuickInsertPreferencesToolbarIdentifier");
const QString SelectedItemKey = QStringLiteral("KELSelectedPreferencesItem");
const QString FrameKey = QStringLiteral("NSWindow Frame PrefWindow2");

constexpr int CustomBrowserTag = 4;
constexpr int DefaultBrowserTag = 5;
constexpr int PickBrowserTag = -1;

PreferenceController2::BrowserFinder& browserFinder()
{
    static PreferenceController2::BrowserFinder finder;
    return finder;
}

QString findBrowser(const QString& name)
{
    if (browserFinder())
        return browserFinder()(name);
    return QStandardPaths::findExecutable(name);
}

void post(const QString& name, const QVariantMap& info = {})
{
    kit::NotificationCenter::defaultCenter().post(name, &PreferenceController2::sharedInstance(), info);
}

// A check box bound to a boolean setting; an optional broadcast after each change.
QCheckBox* boundCheckBox(const QString& title, const QString& key, const QString& notification = {})
{
    auto* box = new QCheckBox(title);
    box->setObjectName(key);
    box->setChecked(kit::UserDefaults::standard().boolValue(key));
    QObject::connect(box, &QCheckBox::toggled, box, [key, notification](bool on) {
        kit::UserDefaults::standard().setValue(key, on);
        if (!notification.isEmpty())
            post(notification, {{QStringLiteral("value"), on}});
    });
    return box;
}

QComboBox* boundRegexTypePopUp(const QString& key)
{
    auto* popUp = new QComboBox;
    popUp->setObjectName(key);
    for (int type = 0; type < 3; ++type)
        popUp->addItem(PreferenceController2::nameForRegexType(type), type);
    popUp->setCurrentIndex(int(std::clamp<qint64>(kit::UserDefaults::standard().integerValue(key), 0, 2)));
    QObject::connect(popUp, &QComboBox::currentIndexChanged, popUp, [key, popUp](int index) {
        kit::UserDefaults::standard().setValue(key, popUp->itemData(index).toLongLong());
    });
    return popUp;
}

void paintWell(QPushButton* well, const QColor& color)
{
    if (!well)
        return;
    QPixmap swatch(36, 14);
    swatch.fill(color.isValid() ? color : QColor(Qt::transparent));
    well->setIcon(QIcon(swatch));
    well->setIconSize(swatch.size());
    well->setProperty("color", color);
}

QIcon paneIcon(const QString& identifier)
{
    QStyle* style = QApplication::style();
    if (identifier == GeneralIdentifier)
        return style->standardIcon(QStyle::SP_ComputerIcon);
    if (identifier == ColorsIdentifier)
        return QIcon::fromTheme(QStringLiteral("preferences-desktop-color"), style->standardIcon(QStyle::SP_DesktopIcon));
    if (identifier == DocumentsIdentifier)
        return style->standardIcon(QStyle::SP_FileIcon);
    if (identifier == EditingIdentifier)
        return QIcon::fromTheme(QStringLiteral("accessories-text-editor"), style->standardIcon(QStyle::SP_FileDialogDetailedView));
    if (identifier == FileTypesIdentifier)
        return style->standardIcon(QStyle::SP_FileDialogListView);
    if (identifier == FindIdentifier)
        return QIcon::fromTheme(QStringLiteral("edit-find"), style->standardIcon(QStyle::SP_FileDialogContentsView));
    if (identifier == PreviewIdentifier)
        return QIcon::fromTheme(QStringLiteral("document-print-preview"), style->standardIcon(QStyle::SP_DesktopIcon));
    return QIcon::fromTheme(QStringLiteral("insert-text"), style->standardIcon(QStyle::SP_FileDialogInfoView));
}

} // namespace

namespace {

// Gives the window a new height with its top edge where it was (its frame was
// `before`); a tall pane never pushes the window past the bottom of its screen.
void setWindowHeightKeepingTop(QWidget* window, const QRect& before, int height)
{
    int top = before.y();
    if (QScreen* screen = window->screen()) {
        const QRect available = screen->availableGeometry();
        const int frame = std::max(0, window->frameGeometry().height() - before.height());
        height = std::min(height, available.height() - frame);
        if (top + height > available.bottom())
            top = std::max(available.top() + frame, available.bottom() - height);
    }
    window->setGeometry(before.x(), top, before.width(), height);
}

} // namespace

PreferenceController2& PreferenceController2::sharedInstance()
{
    static PreferenceController2* controller = new PreferenceController2;
    return *controller;
}

PreferenceController2::PreferenceController2() = default;

PreferenceController2::~PreferenceController2()
{
    delete m_window;
}

void PreferenceController2::setBrowserFinderForTesting(BrowserFinder finder) { browserFinder() = std::move(finder); }

void PreferenceController2::resetWindowForTesting()
{
    // The file-type pane outlives the window: it is shared.
    if (FileTypePreferences* fileTypes = FileTypePreferences::sharedInstance(); fileTypes && m_window && m_window->isAncestorOf(fileTypes))
        fileTypes->setParent(nullptr);
    delete m_window;
    m_window = nullptr;
    m_items.clear();
    m_shownIdentifier.clear();
    m_toolbar = nullptr;
    m_toolbarGroup = nullptr;
    m_stack = nullptr;
    m_colorsView = nullptr;
    m_colorStack = nullptr;
    m_colorLanguage = nullptr;
    m_textColorWell = m_backgroundColorWell = m_selectionColorWell = nullptr;
    m_transparency = nullptr;
    m_transparencyLabel = nullptr;
    m_browserPopUp = nullptr;
    m_phpLocation = nullptr;
    m_dividerGroup = m_wrapModeGroup = nullptr;
    m_fontName = nullptr;
    m_newDocCode = nullptr;
}

std::function<void(PreferenceController2&)>& PreferenceController2::windowDidLoadHandler()
{
    static std::function<void(PreferenceController2&)> handler;
    return handler;
}

QWidget* PreferenceController2::window()
{
    if (!m_window)
        windowDidLoad();
    return m_window;
}

void PreferenceController2::showWindow()
{
    window()->show();
    m_window->raise();
    m_window->activateWindow();
}

QString PreferenceController2::pickFile(const QString& title, const QString& folder)
{
    if (m_filePicker)
        return m_filePicker(title, folder);
    return QFileDialog::getOpenFileName(m_window, title, folder);
}

// ---------------------------------------------------------------- window

namespace {
class PreferencesWindow : public QWidget {
public:
    std::function<void()> willClose;
protected:
    void closeEvent(QCloseEvent* event) override
    {
        if (willClose)
            willClose();
        QWidget::closeEvent(event);
    }
};
} // namespace

void PreferenceController2::windowDidLoad()
{
    auto* window = new PreferencesWindow;
    window->willClose = [this] { windowWillClose(); };
    m_window = window;
    window->setObjectName(QStringLiteral("PrefWindow2"));
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    m_toolbar = new QToolBar(window);
    m_toolbar->setObjectName(QStringLiteral("KELPreferencesToolbar"));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolbar->setMovable(false);
    layout->addWidget(m_toolbar);
    m_stack = new QStackedWidget(window);
    layout->addWidget(m_stack, 1);

    FileTypePreferences* fileTypes = FileTypePreferences::sharedInstance();
    m_items = {
        {QStringLiteral("General"), GeneralIdentifier, QStringLiteral("Preferences"), makeGeneralPane(), {}},
        {QStringLiteral("Colors"), ColorsIdentifier, QStringLiteral("ColorPanel"), makeColorsPane(), {}},
        {QStringLiteral("Documents"), DocumentsIdentifier, QStringLiteral("genericdoc32"), makeDocumentsPane(), {}},
        {QStringLiteral("Editing"), EditingIdentifier, QStringLiteral("write_256"), makeEditingPane(), {}},
        {QStringLiteral("File Types"), FileTypesIdentifier, QStringLiteral("categories_256"), fileTypes->view(), {}},
        {QStringLiteral("Find"), FindIdentifier, QStringLiteral("Find"), makeFindPane(), {}},
        {QStringLiteral("Preview"), PreviewIdentifier, QStringLiteral("Preview"), makePreviewPane(), {}},
        {QStringLiteral("Symbols"), SymbolsIdentifier, QStringLiteral("insert_symbol_256"), makeSymbolsPane(), {}},
    };
    m_toolbarGroup = new QActionGroup(window);
    m_toolbarGroup->setExclusive(true);
    for (const PreferenceItem& item : std::as_const(m_items)) {
        m_stack->addWidget(item.view);
        QAction* action = m_toolbar->addAction(paneIcon(item.identifier), item.name);
        action->setObjectName(item.identifier);
        action->setCheckable(true);
        m_toolbarGroup->addAction(action);
        const QString identifier = item.identifier;
        connect(action, &QAction::triggered, this, [this, identifier] { showPreferencesPane(identifier); });
    }
    QString selected = kit::UserDefaults::standard().stringValue(SelectedItemKey);
    if (!itemWithIdentifier(selected))
        selected = GeneralIdentifier;
    // Panes of the layers above (colouring, completion, Quick Insert) join here.
    if (windowDidLoadHandler())
        windowDidLoadHandler()(*this);
    showPreferencesPane(selected);
    const QByteArray frame = QByteArray::fromBase64(kit::UserDefaults::standard().stringValue(FrameKey).toLatin1());
    if (frame.isEmpty() || !window->restoreGeometry(frame))
        window->resize(620, window->sizeHint().height());
    updateColorButtons();
}

const PreferenceItem* PreferenceController2::itemWithIdentifier(const QString& identifier) const
{
    for (const PreferenceItem& item : m_items)
        if (item.identifier == identifier)
            return &item;
    return nullptr;
}

QWidget* PreferenceController2::paneView(const QString& identifier) const
{
    const PreferenceItem* item = itemWithIdentifier(identifier);
    return item ? item->view : nullptr;
}

void PreferenceController2::showPreferencesPane(const QString& identifier)
{
    if (!m_window)
        windowDidLoad();
    // End an edit in progress first, so the value typed is stored.
    if (QWidget* focus = QApplication::focusWidget(); focus && m_window->isAncestorOf(focus))
        focus->clearFocus();
    const PreferenceItem* item = itemWithIdentifier(identifier);
    if (!item) {
        kit::log(QStringLiteral("preference item not found with id: %1").arg(identifier));
        if (QAction* shown = m_toolbar->findChild<QAction*>(m_shownIdentifier))
            shown->setChecked(true);
        return;
    }
    kit::UserDefaults::standard().setValue(SelectedItemKey, identifier);
    // Keep the top edge where it is while the window fits the new pane.
    const QRect before = m_window->geometry();
    m_stack->setCurrentWidget(item->view);
    for (int i = 0; i < m_stack->count(); ++i)
        m_stack->widget(i)->setSizePolicy(QSizePolicy::Ignored, i == m_stack->currentIndex() ? QSizePolicy::Preferred : QSizePolicy::Ignored);
    m_stack->adjustSize();
    if (m_window->isVisible()) {
        int height = std::max({m_toolbar->sizeHint().height() + item->view->sizeHint().height(), 200,
                               m_window->minimumSizeHint().height()});
        setWindowHeightKeepingTop(m_window, before, height);
    }
    m_shownIdentifier = identifier;
    m_window->setWindowTitle(item->name);
    for (QAction* action : m_toolbarGroup->actions())
        action->setChecked(action->objectName() == identifier);
}

void PreferenceController2::windowWillClose()
{
    if (m_window)
        kit::UserDefaults::standard().setValue(FrameKey, QString::fromLatin1(m_window->saveGeometry().toBase64()));
    sendColoringNotification();
    kit::NotificationCenter::defaultCenter().post(KELPreferencesWindowWillCloseNotification, m_window.data());
}

// ---------------------------------------------------------------- General

QWidget* PreferenceController2::makeGeneralPane()
{
    auto* pane = new QWidget;
    auto* form = new QFormLayout(pane);
    form->addRow(boundCheckBox(QStringLiteral("Create a new document at start-up"), KELCreateNewDocumentKey));
    form->addRow(boundCheckBox(QStringLiteral("Show standalone documents in tabs"), KELUseTabbedInterfaceInStandaloneDocumentsKey));
    form->addRow(boundCheckBox(QStringLiteral("Show project documents in tabs"), KELUseTabbedInterfaceInProjectsKey));

    auto* fontRow = new QHBoxLayout;
    m_fontName = new QLabel;
    m_fontName->setObjectName(QStringLiteral("fontName"));
    auto* setFont = new QPushButton(QStringLiteral("Select…"));
    auto* defaultFontButton = new QPushButton(QStringLiteral("Default"));
    fontRow->addWidget(m_fontName, 1);
    fontRow->addWidget(setFont);
    fontRow->addWidget(defaultFontButton);
    form->addRow(QStringLiteral("Editor font:"), fontRow);
    m_fontName->setText(fontDescription());
    connect(setFont, &QPushButton::clicked, this, [this] {
        bool ok = false;
        const QFont current = kit::UserDefaults::standard().fontValue(KELFontKey);
        const QFont font = QFontDialog::getFont(&ok, current == QFont() ? defaultFont() : current, m_window,
                                                QStringLiteral("Editor Font"), QFontDialog::MonospacedFonts);
        if (ok)
            setEditorFont(font);
    });
    connect(defaultFontButton, &QPushButton::clicked, this, [this] { useDefaultFont(); });

    form->addRow(boundCheckBox(QStringLiteral("Start new documents with the text of a file"), KELShouldGetNewDocCodeFromAFileKey));
    auto* templateRow = new QHBoxLayout;
    m_newDocCode = new KELPathLabel;
    m_newDocCode->setObjectName(QStringLiteral("newDocCode"));
    auto* choose = new QPushButton(QStringLiteral("Choose…"));
    templateRow->addWidget(m_newDocCode, 1);
    templateRow->addWidget(choose);
    form->addRow(QStringLiteral("Template:"), templateRow);
    connect(choose, &QPushButton::clicked, this, [this] {
        const QString stored = kit::UserDefaults::standard().stringValue(KELCodeForNewDocumentsKey);
        const QString picked = pickFile(QStringLiteral("Select"), stored.isEmpty() ? QString() : QFileInfo(stored).absolutePath());
        if (!picked.isEmpty())
            setNewDocumentCodePath(picked);
    });
    updateNewDocCodeTextField();

    auto* extension = new QLineEdit(kit::UserDefaults::standard().stringValue(KELDefaultFileExtensionKey));
    extension->setObjectName(QStringLiteral("defaultFileExtensionBox"));
    extension->setValidator(new FileExtensionFormatter(extension));
    connect(extension, &QLineEdit::editingFinished, extension, [extension] {
        kit::UserDefaults::standard().setValue(KELDefaultFileExtensionKey, extension->text());
    });
    form->addRow(QStringLiteral("Default extension:"), extension);
    return pane;
}

QString PreferenceController2::fontDescription() const
{
    QFont font = kit::UserDefaults::standard().fontValue(KELFontKey);
    if (font == QFont() || font.family().isEmpty())
        font = defaultFont();
    return QStringLiteral("%1 %2").arg(font.family()).arg(font.pointSizeF());
}

void PreferenceController2::setEditorFont(const QFont& font)
{
    kit::UserDefaults::standard().setFont(KELFontKey, font);
    if (m_fontName)
        m_fontName->setText(fontDescription());
    post(KELSetFontNotification, {{QStringLiteral("font"), font}});
}

void PreferenceController2::useDefaultFont()
{
    setEditorFont(defaultFont());
}

void PreferenceController2::setNewDocumentCodePath(const QString& path)
{
    kit::UserDefaults::standard().setValue(KELCodeForNewDocumentsKey, path);
    updateNewDocCodeTextField();
}

void PreferenceController2::updateNewDocCodeTextField()
{
    if (!m_newDocCode)
        return;
    // Whole components with their icons, as many as fit the field, counted from the file.
    m_newDocCode->setPath(kit::UserDefaults::standard().stringValue(KELCodeForNewDocumentsKey));
}

// ---------------------------------------------------------------- Colors

QWidget* PreferenceController2::makeColorsPane()
{
    m_colorsView = new QWidget;
    auto* layout = new QVBoxLayout(m_colorsView);
    m_colorLanguage = new QComboBox;
    m_colorLanguage->setObjectName(QStringLiteral("colorLanguage"));
    m_colorLanguage->addItem(QStringLiteral("General"));
    layout->addWidget(m_colorLanguage);
    m_colorStack = new QStackedWidget;
    layout->addWidget(m_colorStack);

    auto* general = new QWidget;
    auto* form = new QFormLayout(general);
    auto makeWell = [this](const QString& name, std::function<void(const QColor&)> changed) {
        auto* well = new QPushButton;
        well->setObjectName(name);
        connect(well, &QPushButton::clicked, this, [this, well, changed] {
            const QColor color = QColorDialog::getColor(well->property("color").value<QColor>(), m_window,
                                                        QStringLiteral("Colors"));
            if (color.isValid())
                changed(color);
        });
        return well;
    };
    m_textColorWell = makeWell(QStringLiteral("textColorWell"), [this](const QColor& c) { changeTextColor(c); });
    m_backgroundColorWell = makeWell(QStringLiteral("backgroundColorWell"), [this](const QColor& c) { changeBackgroundColor(c); });
    m_selectionColorWell = makeWell(QStringLiteral("selectionColorWell"), [this](const QColor& c) { changeSelectionColor(c); });
    form->addRow(QStringLiteral("Text:"), m_textColorWell);
    form->addRow(QStringLiteral("Background:"), m_backgroundColorWell);
    form->addRow(QStringLiteral("Selection:"), m_selectionColorWell);
    m_transparency = new QSlider(Qt::Horizontal);
    m_transparency->setObjectName(QStringLiteral("transparency"));
    m_transparency->setRange(0, 1000);
    m_transparencyLabel = new QLabel;
    form->addRow(m_transparencyLabel, m_transparency);
    connect(m_transparency, &QSlider::valueChanged, this, [this](int value) { changeTransparency(value / 1000.0); });
    auto* reset = new QPushButton(QStringLiteral("Reset to Default Colors"));
    reset->setObjectName(QStringLiteral("resetColors"));
    connect(reset, &QPushButton::clicked, this, [this] { resetColoringToDefault(); });
    auto* help = new QPushButton(QStringLiteral("Help"));
    connect(help, &QPushButton::clicked, this, [] { HelpUtils::showHelpForKey(QStringLiteral("KELColoringHelpKey")); });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(reset);
    buttons->addStretch();
    buttons->addWidget(help);
    form->addRow(buttons);
    m_colorStack->addWidget(general);
    connect(m_colorLanguage, &QComboBox::currentIndexChanged, this, [this](int index) { selectColorLanguage(index); });
    return m_colorsView;
}

void PreferenceController2::addColoringPane(const QString& typeName, QWidget* view)
{
    window();
    for (PreferenceItem& item : m_items) {
        if (item.identifier == ColorsIdentifier) {
            item.children.append({typeName, QString(), QString(), view, {}});
            break;
        }
    }
    // A window made without the colours pane has nowhere to put it.
    if (!m_colorStack || !m_colorLanguage)
        return;
    m_colorStack->addWidget(view);
    // Hidden sub-panes take no room: the window fits the one shown.
    view->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    m_colorLanguage->addItem(typeName);
}

void PreferenceController2::selectColorLanguage(int index)
{
    if (!m_colorStack || index < 0 || index >= m_colorStack->count())
        return;
    QWidget* old = m_colorStack->currentWidget();
    QWidget* shown = m_colorStack->widget(index);
    if (m_colorLanguage->currentIndex() != index)
        m_colorLanguage->setCurrentIndex(index);
    if (old == shown && m_colorStack->currentIndex() == index)
        return;
    const int oldHeight = old ? old->sizeHint().height() : 0;
    m_colorStack->setCurrentIndex(index);
    // The stack sizes to its shown sub-pane only, not to the largest of them.
    for (int i = 0; i < m_colorStack->count(); ++i)
        m_colorStack->widget(i)->setSizePolicy(QSizePolicy::Ignored, i == index ? QSizePolicy::Preferred : QSizePolicy::Ignored);
    m_colorStack->updateGeometry();
    if (!m_window || !m_window->isVisible() || old == shown)
        return;
    const QRect before = m_window->geometry();
    // The layouts take the new sub-pane's sizes now, so the window's least height is that of the pane shown.
    for (QWidget* w = m_colorStack; w; w = w->isWindow() ? nullptr : w->parentWidget())
        if (QLayout* layout = w->layout())
            layout->activate();
    // The window grows or shrinks by the difference of the two sub-panes, its top edge fixed.
    const int height = std::max(before.height() + shown->sizeHint().height() - oldHeight, m_window->minimumSizeHint().height());
    setWindowHeightKeepingTop(m_window, before, height);
}

void PreferenceController2::updateColorButtons()
{
    const QColor background = colorForKey(KELBackgroundColorKey);
    paintWell(m_textColorWell, colorForKey(KELTextColorKey));
    paintWell(m_backgroundColorWell, background);
    paintWell(m_selectionColorWell, colorForKey(KELSelectionColorKey));
    if (m_transparency) {
        const QSignalBlocker block(m_transparency);
        m_transparency->setValue(int(std::lround((1.0 - (background.isValid() ? background.alphaF() : 1.0)) * 1000)));
    }
    updateTransparencyField();
}

double PreferenceController2::transparency() const
{
    return m_transparency ? m_transparency->value() / 1000.0 : 0.0;
}

QString PreferenceController2::transparencyLabel(double value)
{
    const int percent = int(value * 100);
    if (percent < 1)
        return QStringLiteral("Transparency: Off");
    return QStringLiteral("Transparency: %1%").arg(percent);
}

QString PreferenceController2::transparencyText() const
{
    return m_transparencyLabel ? m_transparencyLabel->text() : QString();
}

void PreferenceController2::updateTransparencyField()
{
    if (m_transparencyLabel)
        m_transparencyLabel->setText(transparencyLabel(transparency()));
}

void PreferenceController2::setColorForKey(const QColor& color, const QString& key)
{
    setColor(color, key);
    const QVariantMap info{{QStringLiteral("color"), color}};
    if (key == KELTextColorKey) {
        paintWell(m_textColorWell, color);
        post(KELTextColorChangedNotification, info);
    } else if (key == KELBackgroundColorKey) {
        paintWell(m_backgroundColorWell, color);
        if (m_transparency) {
            const QSignalBlocker block(m_transparency);
            m_transparency->setValue(int(std::lround((1.0 - color.alphaF()) * 1000)));
        }
        updateTransparencyField();
        post(KELBackgroundColoringChangedNotification, info);
    } else if (key == KELSelectionColorKey) {
        paintWell(m_selectionColorWell, color);
        post(KELSelectionColorChangedNotification, info);
    }
}

void PreferenceController2::changeTextColor(const QColor& color)
{
    setColorForKey(color, KELTextColorKey);
}

void PreferenceController2::changeBackgroundColor(const QColor& color)
{
    QColor c = color;
    c.setAlphaF(float(1.0 - transparency()));
    setColorForKey(c, KELBackgroundColorKey);
}

void PreferenceController2::changeSelectionColor(const QColor& color)
{
    QColor c = color;
    const double alpha = 1.0 - transparency();
    c.setAlphaF(float(alpha > 0.5 ? alpha : 0.5));
    setColorForKey(c, KELSelectionColorKey);
}

void PreferenceController2::changeTransparency(double value)
{
    window();
    if (m_transparency && std::lround(value * 1000) != m_transparency->value()) {
        const QSignalBlocker block(m_transparency);
        m_transparency->setValue(int(std::lround(value * 1000)));
    }
    updateTransparencyField();
    const QColor background = m_backgroundColorWell->property("color").value<QColor>();
    const QColor selection = m_selectionColorWell->property("color").value<QColor>();
    changeBackgroundColor(background.isValid() ? background : QColor(Qt::white));
    changeSelectionColor(selection.isValid() ? selection : QApplication::palette().color(QPalette::Highlight));
}

void PreferenceController2::resetColoringToDefault()
{
    kit::Alert alert;
    alert.setMessageText(QStringLiteral("Reset to Default Colors"));
    alert.setInformativeText(QStringLiteral("Are you sure that you want to reset all coloring preferences to their default "
                                            "values? This action cannot be undone."));
    alert.addButton(QStringLiteral("Reset to Default Colors"));
    alert.addButton(QStringLiteral("Cancel"));
    if (alert.runModal() != kit::Alert::FirstButtonReturn)
        return;
    setColorForKey(QColor(Qt::white), KELBackgroundColorKey);
    setColorForKey(QColor(Qt::black), KELTextColorKey);
    setColorForKey(QApplication::palette().color(QPalette::Highlight), KELSelectionColorKey);
    sendColoringNotification();
}

void PreferenceController2::sendColoringNotification()
{
    auto& center = kit::NotificationCenter::defaultCenter();
    center.post(KELColoringSettingsChangedNotification);
    center.post(KELColoringSettingsChangedSecondNotification);
}

// ---------------------------------------------------------------- Documents

QWidget* PreferenceController2::makeDocumentsPane()
{
    auto* pane = new QWidget;
    auto* form = new QFormLayout(pane);
    auto& defaults = kit::UserDefaults::standard();
    for (const auto& [title, key] : {std::pair{QStringLiteral("Encoding for opening:"), KELDefaultEncodingForOpen},
                                     std::pair{QStringLiteral("Encoding for saving:"), KELDefaultEncodingForSave}}) {
        auto* popUp = new KELEncodingPopUpButtonCell;
        popUp->setObjectName(key);
        const qint64 stored = defaults.value(key).isValid() ? defaults.integerValue(key) : qint64(kit::NoEncoding);
        KELEncodingManager::sharedInstance().setupPopUpCell(popUp, kit::StringEncoding(stored), true);
        const QString k = key;
        connect(popUp, &QComboBox::activated, popUp, [popUp, k] {
            kit::UserDefaults::standard().setValue(k, qlonglong(popUp->selectedEncoding()));
        });
        form->addRow(title, popUp);
    }
    form->addRow(boundCheckBox(QStringLiteral("Wrap lines"), KELWordWrap));
    if (auto* wrap = pane->findChild<QCheckBox*>(KELWordWrap))
        connect(wrap, &QCheckBox::toggled, this, [this](bool on) { setWordWrap(on); });
    auto* modes = new QWidget;
    auto* modesLayout = new QHBoxLayout(modes);
    modesLayout->setContentsMargins(0, 0, 0, 0);
    m_wrapModeGroup = new QButtonGroup(modes);
    auto* byCharacter = new QRadioButton(QStringLiteral("At any character"));
    auto* byWord = new QRadioButton(QStringLiteral("At word boundaries"));
    m_wrapModeGroup->addButton(byCharacter, 0); // row 0 stores 1
    m_wrapModeGroup->addButton(byWord, 1);
    modesLayout->addWidget(byCharacter);
    modesLayout->addWidget(byWord);
    (defaults.integerValue(KELWordWrapMode) == 1 ? byCharacter : byWord)->setChecked(true);
    connect(m_wrapModeGroup, &QButtonGroup::idClicked, this, [this](int row) { chooseWordWrapMode(row == 0 ? 1 : 0); });
    form->addRow(QStringLiteral("Wrap:"), modes);
    form->addRow(boundCheckBox(QStringLiteral("Indent wrapped lines"), KELIndentWrappedLines));
    form->addRow(boundCheckBox(QStringLiteral("Show line numbers"), KELLineNumbers));
    form->addRow(boundCheckBox(QStringLiteral("Show code folding in the gutter"), KELShowCodeFoldingInGutter));
    form->addRow(boundCheckBox(QStringLiteral("Show preview errors in the gutter"), KELShowPreviewErrorsInGutter));
    form->addRow(boundCheckBox(QStringLiteral("Print with colours"), KELPrintDocumentEnableTextColoring));
    form->addRow(boundCheckBox(QStringLiteral("Print with line numbers"), KELPrintDocumentEnableLineNumbering));
    auto* help = new QPushButton(QStringLiteral("Text Encodings Help"));
    connect(help, &QPushButton::clicked, this, [] { HelpUtils::showHelpForKey(QStringLiteral("KELTextEncodingsHelpKey")); });
    form->addRow(help);
    return pane;
}

void PreferenceController2::setWordWrap(bool wrap)
{
    kit::UserDefaults::standard().setValue(KELWordWrap, wrap);
    post(KELWordWrapNotification, {{QStringLiteral("value"), wrap}});
}

void PreferenceController2::chooseWordWrapMode(int mode)
{
    kit::UserDefaults::standard().setValue(KELWordWrapMode, qlonglong(mode));
    post(KELWordWrapNotification, {{QStringLiteral("value"), mode}});
}

// ---------------------------------------------------------------- Editing and Find

QWidget* PreferenceController2::makeEditingPane()
{
    auto* pane = new QWidget;
    auto* form = new QFormLayout(pane);
    form->addRow(boundCheckBox(QStringLiteral("Indent after a new line"), KELAutoIndentAfterNewlineKey));
    form->addRow(boundCheckBox(QStringLiteral("Write tag names in capitals"), KELShouldCapitalizeTagsKey));
    auto* spacer = new QComboBox;
    spacer->setObjectName(KELOrganizeTagsSpacer);
    // The setting is an integer: non-zero indents with a tab, zero with spaces.
    spacer->addItem(QStringLiteral("Tabs"), qlonglong(1));
    spacer->addItem(QStringLiteral("Spaces"), qlonglong(0));
    spacer->setCurrentIndex(kit::UserDefaults::standard().integerValue(KELOrganizeTagsSpacer) != 0 ? 0 : 1);
    connect(spacer, &QComboBox::currentIndexChanged, spacer, [spacer] {
        kit::UserDefaults::standard().setValue(KELOrganizeTagsSpacer, spacer->currentData().toLongLong());
    });
    form->addRow(QStringLiteral("Indent with:"), spacer);
    auto* spaces = new QSpinBox;
    spaces->setObjectName(KELOrganizeTagsNumSpaces);
    spaces->setRange(1, 16);
    spaces->setValue(int(kit::UserDefaults::standard().integerValue(KELOrganizeTagsNumSpaces)));
    connect(spaces, &QSpinBox::valueChanged, spaces, [](int n) {
        kit::UserDefaults::standard().setValue(KELOrganizeTagsNumSpaces, qlonglong(n));
    });
    form->addRow(QStringLiteral("Spaces per level:"), spaces);
    form->addRow(boundCheckBox(QStringLiteral("Check spelling while typing"), KELCheckSpellingAsYouType, KELUpdatedTextSettingsNotification));
    form->addRow(boundCheckBox(QStringLiteral("Correct spelling automatically"), KELAutomaticallyCorrectSpelling, KELUpdatedTextSettingsNotification));
    form->addRow(boundCheckBox(QStringLiteral("Smart quotes"), KELSmartQuotes, KELUpdatedTextSettingsNotification));
    form->addRow(boundCheckBox(QStringLiteral("Smart dashes"), KELSmartDashes, KELUpdatedTextSettingsNotification));
    form->addRow(boundCheckBox(QStringLiteral("Complete HTML5 tags"), KELShowHTML5Completions));
    form->addRow(boundCheckBox(QStringLiteral("Complete CSS3 properties"), KELShowCSS3Completions));
    // The code completion settings join here with completion.
    auto* completion = new QWidget;
    completion->setObjectName(QStringLiteral("completionControls"));
    new QVBoxLayout(completion);
    form->addRow(completion);
    return pane;
}

QWidget* PreferenceController2::makeFindPane()
{
    auto* pane = new QWidget;
    auto* form = new QFormLayout(pane);
    form->addRow(QStringLiteral("Find patterns:"), boundRegexTypePopUp(KELFindRegexTypeKey));
    form->addRow(QStringLiteral("Batch find patterns:"), boundRegexTypePopUp(KELBatchFindRegexTypeKey));
    form->addRow(QStringLiteral("Batch find file patterns:"), boundRegexTypePopUp(KELBatchFindRegexTypeForFilesKey));
    form->addRow(boundCheckBox(QStringLiteral("Open Quickly searches the project only"), KELOpenQuicklyLocalKey));
    auto* help = new QPushButton(QStringLiteral("Regular Expressions Help"));
    connect(help, &QPushButton::clicked, this, [] { HelpUtils::showHelpForKey(QStringLiteral("KELRegexHelpKey")); });
    form->addRow(help);
    return pane;
}

QWidget* PreferenceController2::makeSymbolsPane()
{
    // The Quick Insert editor fills this pane.
    auto* pane = new QWidget;
    auto* layout = new QVBoxLayout(pane);
    auto* note = new QLabel(QStringLiteral("The symbols of the Quick Insert menu are edited here."));
    note->setWordWrap(true);
    layout->addWidget(note);
    layout->addStretch();
    return pane;
}

// ---------------------------------------------------------------- Preview

QWidget* PreferenceController2::makePreviewPane()
{
    auto* pane = new QWidget;
    auto* form = new QFormLayout(pane);
    m_browserPopUp = new QComboBox;
    m_browserPopUp->setObjectName(QStringLiteral("browserPopUp"));
    form->addRow(QStringLiteral("Preview in:"), m_browserPopUp);
    fillBrowserPopUp();
    connect(m_browserPopUp, &QComboBox::activated, this, [this](int index) {
        chooseBrowserWithTag(m_browserPopUp->itemData(index).toMap().value(QStringLiteral("tag")).toInt());
    });

    auto* phpRow = new QHBoxLayout;
    m_phpLocation = new QComboBox;
    m_phpLocation->setObjectName(QStringLiteral("phpLocation"));
    m_phpLocation->setEditable(true);
    m_phpLocation->addItems(UtilityFunctions::sharedInstance().availablePHPLocations());
    m_phpLocation->setCurrentText(kit::UserDefaults::standard().stringValue(KELPHPLocationKey));
    connect(m_phpLocation->lineEdit(), &QLineEdit::editingFinished, this, [this] {
        const QString path = m_phpLocation->currentText();
        if (path != kit::UserDefaults::standard().stringValue(KELPHPLocationKey) && !setPHPLocation(path))
            m_phpLocation->setCurrentText(kit::UserDefaults::standard().stringValue(KELPHPLocationKey));
    });
    auto* browse = new QPushButton(QStringLiteral("Browse…"));
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString picked = pickFile(QStringLiteral("Select"), QStringLiteral("/"));
        if (!picked.isEmpty() && setPHPLocation(picked))
            m_phpLocation->setCurrentText(picked);
    });
    phpRow->addWidget(m_phpLocation, 1);
    phpRow->addWidget(browse);
    form->addRow(QStringLiteral("PHP:"), phpRow);

    auto* dividers = new QWidget;
    auto* dividerLayout = new QHBoxLayout(dividers);
    dividerLayout->setContentsMargins(0, 0, 0, 0);
    m_dividerGroup = new QButtonGroup(dividers);
    auto* vertical = new QRadioButton(QStringLiteral("Side by side"));
    auto* horizontal = new QRadioButton(QStringLiteral("Above and below"));
    m_dividerGroup->addButton(vertical, 0);
    m_dividerGroup->addButton(horizontal, 1);
    dividerLayout->addWidget(vertical);
    dividerLayout->addWidget(horizontal);
    (kit::UserDefaults::standard().boolValue(KELUseVerticalDividerInLivePreviewKey) ? vertical : horizontal)->setChecked(true);
    connect(m_dividerGroup, &QButtonGroup::idClicked, this, [this](int row) { chooseLiveDivider(row == 0); });
    form->addRow(QStringLiteral("Live preview:"), dividers);
    form->addRow(boundCheckBox(QStringLiteral("Show images in the live preview"), KELDisplayImagesInLivePreviewKey,
                               KELLivePreviewShowImagesChangedNotification));
    form->addRow(boundCheckBox(QStringLiteral("Download files from the internet in the live preview"),
                               KELDownloadInternetFilesInLivePreviewKey, KELLivePreviewDownloadFilesChangedNotification));
    form->addRow(boundCheckBox(QStringLiteral("Show script alerts of the live preview"), KELLivePreviewShowAlerts));
    return pane;
}

void PreferenceController2::fillBrowserPopUp()
{
    auto& defaults = kit::UserDefaults::standard();
    m_browserPopUp->clear();
    auto add = [this](const QString& title, int tag, const QString& value) {
        m_browserPopUp->addItem(title, QVariantMap{{QStringLiteral("tag"), tag}, {QStringLiteral("value"), value}});
    };
    add(QStringLiteral("Default Browser"), DefaultBrowserTag, QString());
    // The browsers installed, by name with their icons; the stored value is the desktop entry.
    int tag = 1;
    for (const KELBrowser& browser : KELInstalledBrowsers()) {
        while (tag == CustomBrowserTag || tag == DefaultBrowserTag)
            ++tag;
        if (tag > 20)
            break;
        m_browserPopUp->addItem(browser.icon, browser.name,
                                QVariantMap{{QStringLiteral("tag"), tag++}, {QStringLiteral("value"), browser.identifier}});
    }
    int selected = defaults.value(KELSelectedPreviewBrowserKey).isValid() ? int(defaults.integerValue(KELSelectedPreviewBrowserKey)) : DefaultBrowserTag;
    QString custom = defaults.stringValue(KELCustomUserBrowserKey);
    if (!custom.isEmpty() && !QFileInfo::exists(custom))
        custom = findBrowser(QFileInfo(custom).fileName());
    if (!custom.isEmpty()) {
        m_browserPopUp->insertItem(std::min(5, m_browserPopUp->count()), iconForPathOrGeneric(custom),
                                   menuPathString(custom, false),
                                   QVariantMap{{QStringLiteral("tag"), CustomBrowserTag}, {QStringLiteral("value"), custom}});
    } else if (selected == CustomBrowserTag) {
        // The program picked from disk is gone: back to the desktop's browser.
        selected = DefaultBrowserTag;
        defaults.setValue(KELSelectedPreviewBrowserKey, qlonglong(DefaultBrowserTag));
        defaults.setValue(KELDefaultBrowserKey, QString());
    }
    add(QStringLiteral("Other…"), PickBrowserTag, QString());
    for (int i = 0; i < m_browserPopUp->count(); ++i)
        if (m_browserPopUp->itemData(i).toMap().value(QStringLiteral("tag")).toInt() == selected)
            m_browserPopUp->setCurrentIndex(i);
}

int PreferenceController2::selectedBrowserTag() const
{
    return m_browserPopUp ? m_browserPopUp->currentData().toMap().value(QStringLiteral("tag")).toInt() : DefaultBrowserTag;
}

void PreferenceController2::chooseBrowserWithTag(int tag)
{
    window();
    auto& defaults = kit::UserDefaults::standard();
    if (tag == PickBrowserTag) {
        const QString picked = pickFile(QStringLiteral("Select"), QStringLiteral("/usr/bin"));
        if (picked.isEmpty()) {
            fillBrowserPopUp(); // back on the stored choice
            return;
        }
        defaults.setValue(KELSelectedPreviewBrowserKey, qlonglong(CustomBrowserTag));
        defaults.setValue(KELDefaultBrowserKey, picked);
        defaults.setValue(KELCustomUserBrowserKey, picked);
        fillBrowserPopUp();
        return;
    }
    for (int i = 0; i < m_browserPopUp->count(); ++i) {
        const QVariantMap data = m_browserPopUp->itemData(i).toMap();
        if (data.value(QStringLiteral("tag")).toInt() == tag) {
            defaults.setValue(KELSelectedPreviewBrowserKey, qlonglong(tag));
            defaults.setValue(KELDefaultBrowserKey, data.value(QStringLiteral("value")).toString());
            m_browserPopUp->setCurrentIndex(i);
            return;
        }
    }
}

bool PreferenceController2::setPHPLocation(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile() || !info.isExecutable()) {
        kit::Alert alert;
        alert.setMessageText(QStringLiteral("Execute Permission Error"));
        alert.setInformativeText(QStringLiteral("You do not have execute permissions for the selected file. Please, correct "
                                                "the permissions before setting the PHP location."));
        alert.addButton(QStringLiteral("OK"));
        alert.runModal();
        return false;
    }
    kit::UserDefaults::standard().setValue(KELPHPLocationKey, path);
    return true;
}

void PreferenceController2::chooseLiveDivider(bool vertical)
{
    kit::UserDefaults::standard().setValue(KELUseVerticalDividerInLivePreviewKey, vertical);
    post(KELLivePreviewDividerChangedNotification, {{QStringLiteral("value"), vertical}});
}
