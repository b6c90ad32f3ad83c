#pragma once
// The one Find/Replace panel: searches the active document's editor forwards or
// backwards with wrap-around, replaces one match or all of them (in the whole text or
// the selection) as one undo step, finds the next non-ASCII character and turns the
// selected characters into HTML character references. Its search is also the
// regular-expression search other parts of the program use.

#include "editor/FindParameters.h"
#include "kit/Types.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>

class KELHTMLView;
class QButtonGroup;
class QCheckBox;
class QDialog;
class QLabel;
class QLineEdit;
class QPushButton;

class TextFinder : public QObject
{
    Q_OBJECT
public:
    static constexpr int ReplaceAllScopeEntireText = 42;
    static constexpr int ReplaceAllScopeSelection = 43;

    static TextFinder& sharedInstance();

    // --- Searching (also used by other parts of the program).
    /// The match after (or before) the selection, with wrap when asked; {0, 0} when
    /// nothing matched or the pattern is invalid (then an alert says so).
    kit::Range findString(const QString& search, const QString& text, kit::Range selectedRange, bool forwards,
        OgreOption options, bool wrap, qint64 regexType);
    /// The same on the text of the active editor, with the kind from "Find Regex Type".
    kit::Range findString(const QString& search, kit::Range selectedRange, bool forwards, OgreOption options,
        bool wrap);
    /// The first (forwards) or last (backwards) match inside the range of the active editor's text.
    kit::Range findString(const QString& search, kit::Range range, bool forwards, OgreOption options);

    // --- The search text.
    QString findString() const { return m_findString; }
    void setFindString(const QString& string) { setFindString(string, true); }
    void setFindString(const QString& string, bool writeToPasteboard);
    void loadFindStringFromPasteboard();
    void loadFindStringToPasteboard();

    // --- The panel.
    QDialog* findPanel();
    void orderFrontFindPanel();
    QLineEdit* findTextField() { findPanel(); return m_findField; }
    QLineEdit* replaceTextField() { findPanel(); return m_replaceField; }
    QCheckBox* ignoreCaseButton() { findPanel(); return m_ignoreCase; }
    QButtonGroup* replaceAllScopeMatrix() { findPanel(); return m_scope; }
    QLabel* statusField() { findPanel(); return m_status; }
    bool lastFindWasSuccessful() const { return m_lastFindWasSuccessful; }

    // --- Commands.
    KELHTMLView* textObjectToSearchIn() const;
    /// Menu command with the item's tag: 1 show panel, 2 next, 3 previous, 7 use selection.
    void performFindPanelAction(int tag);
    bool validateFindPanelAction(const QString& action) const;
    void findNext();
    void findPrevious();
    bool find(bool forwards);
    void findNextAndOrderFindPanelOut();
    void replace();
    void replaceAndFind();
    void replaceAll();
    void takeFindStringFromSelection();
    void jumpToSelection();
    void findNonAscii();
    void replaceWithHTMLCode();

    /// How long one Find or Replace All may search before it stops with "Search
    /// took too long" (the program stays responsive while it waits).
    static constexpr int DefaultSearchTimeLimitMilliseconds = 1000;
    int searchTimeLimit() const { return m_searchTimeLimit; }
    void setSearchTimeLimit(int milliseconds) { m_searchTimeLimit = milliseconds > 0 ? milliseconds : DefaultSearchTimeLimitMilliseconds; }

    // --- For tests: the editor searched, and the entity table.
    void setTextViewProviderForTesting(std::function<KELHTMLView*()> provider);
    void setEntityLookupForTesting(std::function<std::optional<QString>(const QString&)> lookup);

private:
    TextFinder();
    void loadUI();
    void setStatus(const QString& text);
    OgreOption panelOptions() const;
    void reportInvalidPattern(qint64 regexType, bool fileExpression = false);
    /// The search of findString; with a time limit (interactive finds) it runs in
    /// a separate process and sets tooLong when it was stopped.
    kit::Range findInText(const QString& search, const QString& text, kit::Range selectedRange, bool forwards,
        OgreOption options, bool wrap, qint64 regexType, int timeLimit, bool* tooLong);
    void reportSearchTookTooLong();
    std::optional<QString> entityReference(const QString& character) const;

    QString m_findString;
    bool m_lastFindWasSuccessful = false;
    int m_searchTimeLimit = DefaultSearchTimeLimitMilliseconds;
    bool m_searching = false;
    QPointer<QDialog> m_panel;
    QLineEdit* m_findField = nullptr;
    QLineEdit* m_replaceField = nullptr;
    QCheckBox* m_ignoreCase = nullptr;
    QPushButton* m_findNextButton = nullptr;
    QButtonGroup* m_scope = nullptr;
    QLabel* m_status = nullptr;
    std::function<KELHTMLView*()> m_viewProvider;
    std::function<std::optional<QString>(const QString&)> m_entityLookup;

    friend class BatchTextFinder;
};

/// The "Invalid Regular Expression" alert for a refused search or file pattern.
void showInvalidRegularExpressionAlert(qint64 regexType, bool fileExpression);
