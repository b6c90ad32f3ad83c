#pragma once
// The shipped value of every setting, and the move of settings kept under older names.
// Start-up calls KELMoveLegacyDefaults() first (so it sees only what the user
// stored), then KELRegisterDefaults(), once the QApplication exists (the
// selection colour and the default font come from the desktop).

#include <QList>
#include <QString>
#include <QVariant>

struct KELRegisteredDefault {
    QString key;
    QVariant value;
};

/// The registered defaults in registration order. KELDefaultFileTypeKey is
/// included only when defaultFileTypeName is not empty.
QList<KELRegisteredDefault> KELRegisteredDefaultsTable(const QString& defaultFileTypeName = {});

/// Registers the table with the standard user defaults and then removes the
/// stale web-view settings from the user's stored ones.
void KELRegisterDefaults();
/// The same with the syntax manager's default type registered under KELDefaultFileTypeKey.
void KELRegisterDefaults(const QString& defaultFileTypeName);

/// Moves the settings stored under older key names to their current keys.
void KELMoveLegacyDefaults();
/// Moves one setting: nothing when the old key holds nothing; the value moves
/// unchanged when the new key holds nothing; the old key is removed in any case.
void KELCopyLegacyDefaultKey(const QString& oldKey, const QString& newKey);
