#include "kit/Error.h"

#include <QCoreApplication>

namespace kit {

Error::Error(QString domain, int code, QVariantMap userInfo)
    : m_domain(std::move(domain)), m_code(code), m_userInfo(std::move(userInfo))
{
}

QString Error::localizedDescription() const
{
    const QString d = m_userInfo.value(LocalizedDescriptionKey).toString();
    if (!d.isEmpty())
        return d;
    const QString path = m_userInfo.value(FilePathErrorKey).toString();
    const QString name = path.isEmpty() ? QString() : QStringLiteral("“%1” ").arg(path.section(QLatin1Char('/'), -1));
    if (m_domain == ErrorDomainCocoa) {
        switch (m_code) {
        case FileReadNoSuchFileError:
        case FileNoSuchFileError:
            return QStringLiteral("The file %1couldn’t be opened because there is no such file.").arg(name);
        case FileReadInapplicableStringEncodingError:
            return QStringLiteral("The file %1couldn’t be opened using text encoding.").arg(name);
        case FileWriteInapplicableStringEncodingError:
            return QStringLiteral("The file %1couldn’t be saved using text encoding.").arg(name);
        case FileWriteFileExistsError:
            return QStringLiteral("The file %1couldn’t be saved because a file with the same name already exists.").arg(name);
        case UserCancelledError:
            return QStringLiteral("The operation was cancelled.");
        default:
            break;
        }
        if (m_code >= 256 && m_code < 512)
            return QStringLiteral("The file %1couldn’t be opened.").arg(name);
        if (m_code >= 512 && m_code < 768)
            return QStringLiteral("The file %1couldn’t be saved.").arg(name);
    }
    return QStringLiteral("The operation couldn’t be completed. (%1 error %2.)").arg(m_domain).arg(m_code);
}

QString Error::localizedFailureReason() const { return m_userInfo.value(LocalizedFailureReasonKey).toString(); }
QString Error::localizedRecoverySuggestion() const { return m_userInfo.value(LocalizedRecoverySuggestionKey).toString(); }
QStringList Error::localizedRecoveryOptions() const { return m_userInfo.value(LocalizedRecoveryOptionsKey).toStringList(); }

Error Error::withDescription(const QString& domain, int code, const QString& description, const QString& suggestion)
{
    QVariantMap info;
    info[LocalizedDescriptionKey] = description;
    if (!suggestion.isEmpty())
        info[LocalizedRecoverySuggestionKey] = suggestion;
    return Error(domain, code, info);
}

} // namespace kit
