#include "app/RegisteredDefaults.h"

#include "support/DefaultsKeys.h"
#include "html/QuickInsertManager.h"
#include "kit/Types.h"
#include "kit/UserDefaults.h"
#include "support/PreferenceController2.h"
#include "support/UtilityFunctions.h"

#include <QColor>
#include <QGuiApplication>
#include <QPalette>

QList<KELRegisteredDefault> KELRegisteredDefaultsTable(const QString& defaultFileTypeName)
{
    using kit::UserDefaults;
    // The desktop's selection colour needs the application object; a plain blue stands in without one.
    const QColor selection = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
        ? QGuiApplication::palette().color(QPalette::Active, QPalette::Highlight)
        : QColor(0x30, 0x8c, 0xc6);
    const QStringList php = UtilityFunctions::sharedInstance().availablePHPLocations();
    const qlonglong noEncoding = qlonglong(kit::NoEncoding);

    QList<KELRegisteredDefault> table = {
        {KELBackgroundColorKey, UserDefaults::colorToString(QColor(Qt::white))},
        {KELTextColorKey, UserDefaults::colorToString(QColor(Qt::black))},
        {KELSelectionColorKey, UserDefaults::colorToString(selection)},
        // Tag 5 of the preferences' browser pop-up: the desktop's default browser.
        {KELSelectedPreviewBrowserKey, qlonglong(5)},
        // Empty: the desktop's default browser.
        {KELDefaultBrowserKey, QString()},
        {KELCustomUserBrowserKey, QString()},
        {KELPHPLocationKey, php.isEmpty() ? QStringLiteral("/usr/bin/php") : php.first()},
        {KELLineNumbers, false},
        {KELShowCodeFoldingInGutter, true},
        {KELShowPreviewErrorsInGutter, true},
        {KELOrganizeTagsSpacer, qlonglong(1)},
        {KELOrganizeTagsNumSpaces, qlonglong(1)},
        {KELAutoIndentAfterNewlineKey, true},
        {KELWordWrap, true},
        {KELWordWrapMode, qlonglong(0)},
        {KELIndentWrappedLines, true},
        {KELFontKey, PreferenceController2::defaultFont().toString()},
        {KELCreateNewDocumentKey, true},
        {KELShouldGetNewDocCodeFromAFileKey, false},
        {KELCodeForNewDocumentsKey, QString()},
        {KELDefaultFileExtensionKey, QStringLiteral("html")},
        {KELDefaultEncodingForOpen, noEncoding},
        {KELDefaultEncodingForSave, noEncoding},
        {KELShouldWrapInsertedTagsAroundSelectedTextKey, qlonglong(0)},
        {KELShouldCapitalizeTagsKey, false},
        {KELUserAgreesToTheUserAgreementKey, false},
        {KELQuickInsertItemsKey, QuickInsertManager::defaultItemsArchive()},
        {KELUseVerticalDividerInLivePreviewKey, false},
        {KELDisplayImagesInLivePreviewKey, true},
        {KELDownloadInternetFilesInLivePreviewKey, true},
        {KELLivePreviewShowAlerts, false},
        {KELFindRegexTypeKey, qlonglong(1)},
        {KELBatchFindRegexTypeKey, qlonglong(1)},
        {KELBatchFindRegexTypeForFilesKey, qlonglong(1)},
        {KELUseTabbedInterfaceInProjectsKey, true},
        {KELUseTabbedInterfaceInStandaloneDocumentsKey, true},
        {KELOpenQuicklyLocalKey, true},
        {KELCheckSpellingAsYouType, true},
        {KELAutomaticallyCorrectSpelling, false},
        {KELAutomaticTextReplacement, false},
        {KELSmartDashes, false},
        {KELDataDetectors, false},
        {KELLinkDetectors, false},
        {KELSmartQuotes, false},
        {KELSmartInsertDelete, false},
        {KELPrintDocumentEnableTextColoring, false},
        {KELPrintDocumentEnableLineNumbering, false},
        {KELNavigatorSelectedViewOption, qlonglong(0)},
        {KELShowHTML5Completions, true},
        {KELShowCSS3Completions, true},
        {KELErrorCheckerShowWarnings, true},
        {KELComponentLibrarySelectedViewKey, qlonglong(2)},
    };
    if (!defaultFileTypeName.isEmpty())
        table.append({KELDefaultFileTypeKey, defaultFileTypeName});
    table.append({KELRecentDocumentsLimitKey, qlonglong(10)});
    return table;
}

void KELRegisterDefaults()
{
    KELRegisterDefaults(QString());
}

void KELRegisterDefaults(const QString& defaultFileTypeName)
{
    QVariantMap registration;
    for (const KELRegisteredDefault& row : KELRegisteredDefaultsTable(defaultFileTypeName))
        registration.insert(row.key, row.value);
    auto& defaults = kit::UserDefaults::standard();
    defaults.registerDefaults(registration);
    defaults.removeValue(KELWebKitStandardFontKey);
    defaults.removeValue(KELWebKitDefaultFontSizeKey);
}

void KELCopyLegacyDefaultKey(const QString& oldKey, const QString& newKey)
{
    auto& defaults = kit::UserDefaults::standard();
    if (!defaults.hasPersistentValue(oldKey))
        return;
    if (!defaults.hasPersistentValue(newKey))
        defaults.setValue(newKey, defaults.value(oldKey));
    defaults.removeValue(oldKey);
}

void KELMoveLegacyDefaults()
{
    KELCopyLegacyDefaultKey(KELLegacyOrganizeTagsWithSpaceOrTabKey, KELOrganizeTagsSpacer);
    KELCopyLegacyDefaultKey(KELLegacyLineNumbersKey, KELLineNumbers);
    KELCopyLegacyDefaultKey(KELLegacyWordWrapKey, KELWordWrap);
    KELCopyLegacyDefaultKey(KELLegacyWordWrapModeKey, KELWordWrapMode);
}
