#pragma once
// A message to the user with buttons: run modally or as a window-modal sheet.

#include "kit/Error.h"

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace kit {

class Alert {
public:
    enum Style { WarningStyle = 0, InformationalStyle = 1, CriticalStyle = 2 };

    /// Responses: the first button added answers 1000, the next 1001 and so on.
    static constexpr int FirstButtonReturn = 1000;
    static constexpr int SecondButtonReturn = 1001;
    static constexpr int ThirdButtonReturn = 1002;

    Alert() = default;

    QString messageText() const { return m_messageText; }
    void setMessageText(const QString& text) { m_messageText = text; }
    QString informativeText() const { return m_informativeText; }
    void setInformativeText(const QString& text) { m_informativeText = text; }

    /// Adds a button at the right end; returns its response. The first button is
    /// the default one (Return); one titled "Cancel" answers Escape; one titled
    /// "Don't Save" answers Ctrl+D. With no button, an "OK" button is shown.
    int addButton(const QString& title);
    QStringList buttonTitles() const { return m_buttons; }

    Style alertStyle() const { return m_style; }
    void setAlertStyle(Style style) { m_style = style; }

    bool showsSuppressionButton() const { return m_showsSuppression; }
    void setShowsSuppressionButton(bool shows) { m_showsSuppression = shows; }
    QString suppressionButtonTitle() const;
    void setSuppressionButtonTitle(const QString& title) { m_suppressionTitle = title; }
    /// The suppression check box's state after the alert ran.
    bool suppressionChecked() const { return m_suppressionChecked; }
    void setSuppressionChecked(bool checked) { m_suppressionChecked = checked; }

    /// Shows the alert application-modal and answers the chosen button's response.
    int runModal();
    /// Shows the alert as a window-modal sheet on window (application-modal when
    /// window is null) and calls done with the response once the user answers.
    /// The alert is copied; read the suppression state through the copy given to
    /// doneWithAlert instead.
    void beginSheet(QWidget* window, std::function<void(int)> done);
    void beginSheet(QWidget* window, std::function<void(int, const Alert&)> doneWithAlert);

    /// An alert for an error: its description, its recovery suggestion as the
    /// informative text and its recovery options as buttons ("OK" when none).
    static Alert fromError(const kit::Error& error);

    /// Shows the error and, when it has recovery options and an attempter, lets it
    /// recover with the chosen option. Answers whether recovery succeeded.
    static bool presentError(const kit::Error& error, QWidget* window = nullptr);
    static void presentErrorSheet(const kit::Error& error, QWidget* window, std::function<void(bool recovered)> done = {});

    /// Tests: answer alerts without showing them. The responder gets the alert
    /// (its message text is also logged as "Alert: <text>") and returns the
    /// response; sheets then complete at once. Null restores real alerts.
    static void setResponderForTesting(std::function<int(const Alert&)> responder);
    /// Tests: the suppression state that answered alerts report.
    static void setSuppressionCheckedForTesting(bool checked);

private:
    QString m_messageText;
    QString m_informativeText;
    QStringList m_buttons;
    Style m_style = WarningStyle;
    bool m_showsSuppression = false;
    bool m_suppressionChecked = false;
    QString m_suppressionTitle;
};

} // namespace kit
