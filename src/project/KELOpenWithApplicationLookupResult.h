#pragma once
// The applications that open a set of files, and the one they all open with by default.

#include "project/KELOpenWithApplication.h"

#include <QList>
#include <optional>

class KELOpenWithApplicationLookupResult {
public:
    static KELOpenWithApplicationLookupResult lookupResult() { return {}; }

    QList<KELOpenWithApplication>& applications() { return m_applications; }
    const QList<KELOpenWithApplication>& applications() const { return m_applications; }
    const std::optional<KELOpenWithApplication>& defaultApplication() const { return m_defaultApplication; }
    void setDefaultApplication(std::optional<KELOpenWithApplication> application) { m_defaultApplication = std::move(application); }

    /// Sorts, keeps one entry per name and version (none from backups), and shows
    /// versions where two entries share a name.
    void cleanupApplications();

private:
    QList<KELOpenWithApplication> m_applications;
    std::optional<KELOpenWithApplication> m_defaultApplication;
};
