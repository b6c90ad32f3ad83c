#pragma once
// An error with a domain, a code, user info and recovery options, as shown in alerts.

#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <functional>
#include <memory>

namespace kit {

inline const QString ErrorDomainCocoa = QStringLiteral("NSCocoaErrorDomain");
inline const QString ErrorDomainPOSIX = QStringLiteral("NSPOSIXErrorDomain");
inline const QString ErrorDomainOS = QStringLiteral("NSOSStatusErrorDomain");

// User-info keys.
inline const QString LocalizedDescriptionKey = QStringLiteral("NSLocalizedDescription");
inline const QString LocalizedFailureReasonKey = QStringLiteral("NSLocalizedFailureReason");
inline const QString LocalizedRecoverySuggestionKey = QStringLiteral("NSLocalizedRecoverySuggestion");
inline const QString LocalizedRecoveryOptionsKey = QStringLiteral("NSLocalizedRecoveryOptions");
inline const QString FilePathErrorKey = QStringLiteral("NSFilePath");
inline const QString UnderlyingErrorKey = QStringLiteral("NSUnderlyingError");
inline const QString StringEncodingErrorKey = QStringLiteral("NSStringEncoding");
inline const QString HelpAnchorErrorKey = QStringLiteral("NSHelpAnchor");

// Common codes of the Cocoa domain that the system reports.
enum CocoaErrorCode : int {
    FileNoSuchFileError = 4,
    FileReadUnknownError = 256,
    FileReadNoSuchFileError = 260,
    FileReadInapplicableStringEncodingError = 261,
    FileReadCorruptFileError = 259,
    FileWriteUnknownError = 512,
    FileWriteFileExistsError = 516,
    FileWriteInapplicableStringEncodingError = 517,
    FileWriteOutOfSpaceError = 640,
    UserCancelledError = 3072,
    FileReadTooLargeError = 263,
};

class Error {
public:
    Error() = default;
    Error(QString domain, int code, QVariantMap userInfo = {});

    bool isNull() const { return m_domain.isEmpty() && m_code == 0; }
    explicit operator bool() const { return !isNull(); }

    const QString& domain() const { return m_domain; }
    int code() const { return m_code; }
    const QVariantMap& userInfo() const { return m_userInfo; }
    QVariantMap& userInfo() { return m_userInfo; }

    /// The message shown as the alert's main text; falls back to a generic one.
    QString localizedDescription() const;
    QString localizedFailureReason() const;
    QString localizedRecoverySuggestion() const;
    QStringList localizedRecoveryOptions() const;
    void setRecoveryOptions(const QStringList& options) { m_userInfo[LocalizedRecoveryOptionsKey] = options; }

    /// Called with the chosen option's index; answers whether recovery succeeded.
    using RecoveryAttempter = std::function<bool(int optionIndex)>;
    void setRecoveryAttempter(RecoveryAttempter attempter) { m_attempter = std::make_shared<RecoveryAttempter>(std::move(attempter)); }
    bool hasRecoveryAttempter() const { return bool(m_attempter); }
    bool attemptRecovery(int optionIndex) const { return m_attempter && (*m_attempter)(optionIndex); }

    bool isUserCancelled() const { return m_domain == ErrorDomainCocoa && m_code == UserCancelledError; }

    static Error withDescription(const QString& domain, int code, const QString& description, const QString& suggestion = {});
    static Error userCancelled() { return Error(ErrorDomainCocoa, UserCancelledError); }

private:
    QString m_domain;
    int m_code = 0;
    QVariantMap m_userInfo;
    std::shared_ptr<RecoveryAttempter> m_attempter;
};

/// Stores an error through an optional out-parameter.
inline void setError(Error* out, Error value)
{
    if (out)
        *out = std::move(value);
}

} // namespace kit
