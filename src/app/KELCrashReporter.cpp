#include "app/KELCrashReporter.h"

#include "support/DefaultsKeys.h"
#include "kit/Alert.h"
#include "kit/StringEncodings.h"
#include "kit/UserDefaults.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <csignal>
#include <cstring>
#include <ctime>
#include <execinfo.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Everything the signal handler needs is prepared beforehand: it may only make
// async-signal-safe calls.
char g_reportPrefix[4096];
bool g_installed = false;

void writeAll(int fd, const char* text)
{
    size_t left = std::strlen(text);
    while (left > 0) {
        const ssize_t n = ::write(fd, text, left);
        if (n <= 0)
            return;
        text += n;
        left -= size_t(n);
    }
}

// Digits of a non-negative number into buffer (no allocation).
void formatNumber(long value, char* buffer)
{
    char digits[32];
    int n = 0;
    if (value <= 0)
        digits[n++] = '0';
    while (value > 0 && n < 31) {
        digits[n++] = char('0' + value % 10);
        value /= 10;
    }
    for (int i = 0; i < n; ++i)
        buffer[i] = digits[n - 1 - i];
    buffer[n] = 0;
}

void crashHandler(int sig)
{
    char path[4200];
    char number[32];
    std::strcpy(path, g_reportPrefix);
    formatNumber(long(std::time(nullptr)), number);
    std::strcat(path, number);
    std::strcat(path, "-");
    formatNumber(long(::getpid()), number);
    std::strcat(path, number);
    std::strcat(path, ".crash");
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd >= 0) {
        writeAll(fd, "Process: Kelp Studio\nSignal: ");
        formatNumber(sig, number);
        writeAll(fd, number);
        writeAll(fd, " (");
        writeAll(fd, sig == SIGSEGV ? "SIGSEGV" : sig == SIGBUS ? "SIGBUS" : sig == SIGFPE ? "SIGFPE" : sig == SIGILL ? "SIGILL" : "SIGABRT");
        writeAll(fd, ")\n\nBacktrace:\n");
        void* frames[64];
        const int count = ::backtrace(frames, 64);
        ::backtrace_symbols_fd(frames, count, fd);
        ::close(fd);
    }
    // Let the default action end the process (and write a core file where enabled).
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

} // namespace

KELCrashReporter& KELCrashReporter::sharedInstance()
{
    static KELCrashReporter reporter;
    return reporter;
}

QString KELCrashReporter::supportEmailAddress()
{
    return QStringLiteral("crash-reports@kelp-studio.org");
}

QString KELCrashReporter::crashReportFolder() const
{
    if (!m_folder.isEmpty())
        return m_folder;
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/CrashReports");
}

void KELCrashReporter::installCrashHandler()
{
    if (g_installed)
        return;
    const QString folder = crashReportFolder();
    QDir().mkpath(folder);
    const QByteArray prefix = QFile::encodeName(folder + QLatin1Char('/') + QCoreApplication::applicationName()
                                                + QLatin1Char('_'));
    if (prefix.size() >= int(sizeof(g_reportPrefix)) - 1)
        return;
    std::memcpy(g_reportPrefix, prefix.constData(), size_t(prefix.size()) + 1);
    // The first call loads the unwinder, which must not happen inside the handler.
    void* frames[2];
    ::backtrace(frames, 2);
    for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
        std::signal(sig, crashHandler);
    g_installed = true;
}

QDateTime KELCrashReporter::lastCrashCheck() const
{
    return kit::UserDefaults::standard().value(KELLastCrashCheckKey).toDateTime();
}

void KELCrashReporter::setCrashCheckDate(const QDateTime& date)
{
    kit::UserDefaults::standard().setValue(KELLastCrashCheckKey, date);
}

QString KELCrashReporter::newestReportSince(const QDateTime& date) const
{
    const QString folder = crashReportFolder();
    const QString name = QCoreApplication::applicationName();
    QString candidate;
    QDateTime candidateDate;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = path.mid(folder.size() + 1);
        if (!relative.contains(name) || QFileInfo(path).suffix() != QLatin1String("crash"))
            continue;
        const QDateTime modified = QFileInfo(path).lastModified();
        if (!modified.isValid() || modified <= date)
            continue;
        if (candidate.isEmpty() || modified > candidateDate) {
            candidate = path;
            candidateDate = modified;
        }
    }
    return candidate;
}

QUrl KELCrashReporter::mailURLForReport(const QString& reportText)
{
    const QString body = QStringLiteral("Description of what you were doing when the crash occurred:")
                         + QString(8, QLatin1Char('\n')) + QStringLiteral("Crash Log:\n") + reportText
                         + QLatin1Char('\n');
    const QString subject = QStringLiteral("%1 Crash Log").arg(QCoreApplication::applicationName());
    // Everything but the unreserved characters is escaped, so "&", "#", "+" and
    // "?" in the log reach the mail program intact.
    const QByteArray url = "mailto:" + QUrl::toPercentEncoding(supportEmailAddress(), "@") + "?SUBJECT="
                           + QUrl::toPercentEncoding(subject) + "&BODY=" + QUrl::toPercentEncoding(body);
    return QUrl::fromEncoded(url, QUrl::StrictMode);
}

void KELCrashReporter::detectCrashes()
{
    const QDateTime last = lastCrashCheck();
    if (last.isValid()) {
        const QString report = newestReportSince(last);
        if (!report.isEmpty()) {
            kit::Alert alert;
            alert.setMessageText(QStringLiteral("Crash Detected"));
            alert.setInformativeText(
                QStringLiteral("%1 has detected that a crash occurred the last time that it was used. If you send the "
                               "crash log to Kelp Software, it will help Kelp Software to fix the problem for a future "
                               "release. Would you like to send an email with the crash log to Kelp Software?")
                    .arg(QCoreApplication::applicationName()));
            alert.addButton(QStringLiteral("Send Crash Log..."));
            alert.addButton(QStringLiteral("Cancel"));
            if (alert.runModal() == kit::Alert::FirstButtonReturn) {
                QFile file(report);
                QByteArray data;
                // A mail link has room for a report, not for a runaway file.
                constexpr qint64 MaximumReportBytes = 64 * 1024;
                if (file.open(QIODevice::ReadOnly))
                    data = file.read(MaximumReportBytes);
                if (data.size() == MaximumReportBytes) {
                    // Cut at a character boundary so the text still reads as UTF-8.
                    qsizetype end = data.size();
                    while (end > 0 && (uchar(data[end - 1]) & 0xC0) == 0x80)
                        --end;
                    if (end > 0 && uchar(data[end - 1]) >= 0xC0)
                        --end;
                    if (end < data.size() && end > data.size() - 4)
                        data.truncate(end);
                }
                QString text;
                if (auto utf8 = kit::decodeString(data, kit::UTF8StringEncoding))
                    text = *utf8;
                else
                    text = kit::decodeString(data, kit::MacOSRomanStringEncoding).value_or(QString::fromLatin1(data));
                const QUrl url = mailURLForReport(text);
                if (m_opener)
                    m_opener(url);
                else
                    QDesktopServices::openUrl(url);
            }
        }
    }
    setCrashCheckDate(QDateTime::currentDateTime());
}
