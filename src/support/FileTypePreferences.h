#pragma once
// The "File Types" pane of the preferences window: the table of file extensions and
// their type names, the default type of new documents, add, remove, reset and help.

#include <QPointer>
#include <QWidget>

class QComboBox;
class QPushButton;
class QTableView;
class FileTypeTableModel;
class FileTypeTableView;

class FileTypePreferences : public QWidget {
    Q_OBJECT
public:
    /// The pane the preferences window shows; made on first use. The window that
    /// takes it as a child owns it from then on.
    static FileTypePreferences* sharedInstance();

    explicit FileTypePreferences(QWidget* parent = nullptr);
    ~FileTypePreferences() override;

    QWidget* view() { return this; }
    QTableView* fileTypeTableView() const;
    QPushButton* addButton() const { return m_addButton; }
    QPushButton* removeButton() const { return m_removeButton; }
    QPushButton* resetButton() const { return m_resetButton; }
    QPushButton* helpButton() const { return m_helpButton; }
    QComboBox* defaultTypePopUpButton() const { return m_defaultTypePopUp; }

    /// Column of the extensions and of the type names.
    static constexpr int extensionColumn = 0;
    static constexpr int typeColumn = 1;

    // The pane's actions.
    void addExtension();
    void removeExtension();
    void resetToDefaults();
    void defaultTypeChanged();
    void showFileTypesHelp();

    /// Stores the mapping in the user defaults.
    void writeDefaults();
    /// Tells the colouring and everyone else who follows the file types that they changed.
    void sendColoringNotification();

private:
    void rearrangeObjects();
    void reloadDefaultTypePopUp();

    FileTypeTableModel* m_model = nullptr;
    FileTypeTableView* m_table = nullptr;
    QPushButton* m_addButton = nullptr;
    QPushButton* m_removeButton = nullptr;
    QPushButton* m_resetButton = nullptr;
    QPushButton* m_helpButton = nullptr;
    QComboBox* m_defaultTypePopUp = nullptr;
};
