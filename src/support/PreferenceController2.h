#pragma once
// The preferences window's controller. The class operations below are read all
// over the program, long before the window is ever opened.

#include <QColor>
#include <QFont>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class QAction;
class QActionGroup;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QStackedWidget;
class QToolBar;
class QWidget;
class KELPathLabel;

/// One pane of the preferences window (a toolbar item), with the panes below it.
struct PreferenceItem {
    QString name;
    QString identifier;
    QString imageName;
    QWidget* view = nullptr;
    QList<PreferenceItem> children;
};

class PreferenceController2 : public QObject {
    Q_OBJECT
public:
    /// The one controller (the window is made when first shown).
    static PreferenceController2& sharedInstance();
    ~PreferenceController2() override;

    QWidget* window();
    /// Called once the window is built, before a pane is shown: adds the panes of
    /// the layers above.
    static std::function<void(PreferenceController2&)>& windowDidLoadHandler();
    void showWindow();
    const QList<PreferenceItem>& items() const { return m_items; }
    const PreferenceItem* itemWithIdentifier(const QString& identifier) const;
    QString shownIdentifier() const { return m_shownIdentifier; }
    /// Shows a pane; an unknown identifier is logged and changes nothing.
    void showPreferencesPane(const QString& identifier);
    /// The Colors pane's language pop-up: 0 the general colours, i the view of child i-1.
    void selectColorLanguage(int index);
    /// Where the colouring panes of the languages go when they exist.
    void addColoringPane(const QString& typeName, QWidget* view);
    /// Where later parts put their controls (the Symbols pane, completion in Editing).
    QWidget* paneView(const QString& identifier) const;

    // Colours and transparency.
    void setColorForKey(const QColor& color, const QString& key);
    void changeTextColor(const QColor& color);
    void changeBackgroundColor(const QColor& color);
    void changeSelectionColor(const QColor& color);
    /// The slider's value, 0 to 1.
    void changeTransparency(double value);
    double transparency() const;
    QString transparencyText() const;
    static QString transparencyLabel(double value);
    void resetColoringToDefault();
    void sendColoringNotification();

    // Preview.
    /// Chooses the browser item with the tag (-1 asks for a program on disk).
    void chooseBrowserWithTag(int tag);
    int selectedBrowserTag() const;
    /// Sets the PHP interpreter: refused (with an alert) unless it is an executable file.
    bool setPHPLocation(const QString& path);
    void chooseLiveDivider(bool vertical);
    void chooseWordWrapMode(int mode);
    void setWordWrap(bool wrap);

    // Font.
    void setEditorFont(const QFont& font);
    void useDefaultFont();
    QString fontDescription() const;

    // New documents.
    void setNewDocumentCodePath(const QString& path);

    void windowWillClose();

    /// Tests: what answers the file and font dialogs.
    using FilePicker = std::function<QString(const QString& title, const QString& folder)>;
    void setFilePickerForTesting(FilePicker picker) { m_filePicker = std::move(picker); }
    /// Tests: installed browsers offered (name -> program path); null uses the system.
    using BrowserFinder = std::function<QString(const QString& name)>;
    static void setBrowserFinderForTesting(BrowserFinder finder);
    /// Tests: drop the window so it is built again.
    void resetWindowForTesting();

    /// The colour stored under a settings key, cached after the first read; an
    /// invalid colour when nothing is stored (then nothing is cached).
    static QColor colorForKey(const QString& key);
    /// Stores a colour under its key, in the cache and in the settings.
    static void setColor(const QColor& color, const QString& key);
    /// The editor's default font: the system's fixed-pitch font at 11 points.
    static QFont defaultFont();
    /// "None" for 0, "Simple" for 1, "Advanced" for anything else.
    static QString nameForRegexType(qint64 type);

    /// Tests: forget the cached colours.
    static void resetColorCacheForTesting();

private:
    PreferenceController2();
    void windowDidLoad();
    QWidget* makeGeneralPane();
    QWidget* makeColorsPane();
    QWidget* makeDocumentsPane();
    QWidget* makeEditingPane();
    QWidget* makeFindPane();
    QWidget* makePreviewPane();
    QWidget* makeSymbolsPane();
    void fillBrowserPopUp();
    void updateTransparencyField();
    void updateNewDocCodeTextField();
    void updateColorButtons();
    QString pickFile(const QString& title, const QString& folder);

    QPointer<QWidget> m_window;
    QToolBar* m_toolbar = nullptr;
    QActionGroup* m_toolbarGroup = nullptr;
    QStackedWidget* m_stack = nullptr;
    QList<PreferenceItem> m_items;
    QString m_shownIdentifier;
    QWidget* m_colorsView = nullptr;
    QStackedWidget* m_colorStack = nullptr;
    QComboBox* m_colorLanguage = nullptr;
    QPushButton* m_textColorWell = nullptr;
    QPushButton* m_backgroundColorWell = nullptr;
    QPushButton* m_selectionColorWell = nullptr;
    QSlider* m_transparency = nullptr;
    QLabel* m_transparencyLabel = nullptr;
    QComboBox* m_browserPopUp = nullptr;
    QComboBox* m_phpLocation = nullptr;
    QButtonGroup* m_dividerGroup = nullptr;
    QButtonGroup* m_wrapModeGroup = nullptr;
    QLabel* m_fontName = nullptr;
    KELPathLabel* m_newDocCode = nullptr;
    FilePicker m_filePicker;
};
