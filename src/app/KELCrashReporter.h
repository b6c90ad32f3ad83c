#pragma once
// Crash reports: a signal handler writes a short report into the folder
// "CrashReports" under the application data folder when the program crashes;
// at the next start the newest report written since the last check is offered
// to the user as a prepared mail message to the support address.

#include <QDateTime>
#include <QString>
#include <QUrl>
#include <functional>

class KELCrashReporter {
public:
    static KELCrashReporter& sharedInstance();

    /// The address crash reports go to.
    static QString supportEmailAddress();
    /// The folder reports are written to and looked for in.
    QString crashReportFolder() const;
    void setCrashReportFolder(const QString& folder) { m_folder = folder; }

    /// Installs the handler for fatal signals (once per process).
    void installCrashHandler();

    /// Looks for a report newer than the last check and offers to mail it; the
    /// check date moves to now whatever the answer.
    void detectCrashes();
    void setCrashCheckDate(const QDateTime& date);
    QDateTime lastCrashCheck() const;

    /// The newest report below the folder written after the date (empty when none).
    QString newestReportSince(const QDateTime& date) const;
    /// The mail message for a report's text.
    static QUrl mailURLForReport(const QString& reportText);

    /// What opens the mail message (replaceable for tests).
    using URLOpener = std::function<bool(const QUrl&)>;
    void setURLOpenerForTesting(URLOpener opener) { m_opener = std::move(opener); }

private:
    KELCrashReporter() = default;
    QString m_folder;
    URLOpener m_opener;
};
