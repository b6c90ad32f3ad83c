#pragma once
// The text encodings the user works with: their names, the list of enabled
// encodings kept in the settings, and the panel that edits that list.

#include "kit/Types.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <optional>

class QDialog;
class QListWidget;
class KELEncodingPopUpButtonCell;

/// Posted (no object) whenever the enabled encodings change; every encoding pop-up refills.
inline const QString KELEncodingsListChangedNotification = QStringLiteral("EncodingsListChanged");

class KELEncodingManager : public QObject {
    Q_OBJECT
public:
    static KELEncodingManager& sharedInstance();

    /// "Plain Text (ASCII)" for ASCII, else the encoding's display name; nullopt when it has none.
    static std::optional<QString> nameForEncoding(kit::StringEncoding encoding);
    /// The IANA charset name; nullopt for "no encoding" and for encodings without one.
    static std::optional<QString> IANANameForEncoding(kit::StringEncoding encoding);
    /// Every encoding with a name: ASCII, then Unicode, then grouped by script.
    static QList<kit::StringEncoding> allAvailableStringEncodings();
    /// The ordering of allAvailableStringEncodings() on core encoding values:
    /// negative when a sorts first, 0 when equal, positive otherwise.
    static int compareCoreEncodings(quint32 a, quint32 b);

    /// The enabled encodings in the stored order (ASCII, UTF-16, UTF-8 when none are stored).
    QList<kit::StringEncoding> enabledEncodings();

    /// Fills the pop-up: an "Automatic" entry when withDefaultEntry, the enabled
    /// encodings (plus selectedEncoding when it is not among them), a separator and
    /// the item that opens the panel; selects selectedEncoding.
    void setupPopUpCell(KELEncodingPopUpButtonCell* cell, kit::StringEncoding selectedEncoding, bool withDefaultEntry);

    /// After the list changed: optionally store it, re-tick the panel and tell the pop-ups.
    void noteEncodingListChange(bool writeDefaults, bool updateList, bool postNotification);

    /// Shows the panel listing every encoding with a check box.
    void showPanel();
    void setupEncodingsList();
    /// The panel's actions.
    void encodingListChanged();
    void clearAll();
    void selectAll();
    void revertToDefault();

    /// The panel and its list (null until first shown).
    QDialog* panel() const;
    QListWidget* encodingMatrix() const;

    /// Tests: forget the cached list and close the panel.
    void resetForTesting();

private:
    KELEncodingManager();
    void buildPanel();

    std::optional<QList<kit::StringEncoding>> m_encodings;
    QPointer<QDialog> m_panel;
    QPointer<QListWidget> m_matrix;
};
